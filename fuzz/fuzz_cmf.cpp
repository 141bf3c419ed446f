// Cal3D binary meshes. What was read is written and must read again.
// seeds: cmf
#include "cal3d/cmf_reader.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.cmf");
    const bool ok = readCmfBytes(env, input, env.srcFile).ok();
    checkStore(run);
    if (!ok) return;
    checkMeshReadsBack(run, "mesh");
}

}  // namespace molv::fuzz
