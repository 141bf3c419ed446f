// Cal3D XML meshes. What was read is written as a binary mesh and must read
// again.
// seeds: xmf
#include "cal3d/cal3d_xml_readers.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.xmf");
    const bool ok = readXmfText(env, input, env.srcFile).ok();
    checkStore(run);
    if (!ok) return;
    checkMeshReadsBack(run, "XML mesh");
}

}  // namespace molv::fuzz
