// Cal3D XML meshes. What was read is written as a binary mesh and must read
// again.
// seeds: xmf
#include "cal3d/cal3d_xml_readers.h"
#include "cal3d/cmf_reader.h"
#include "cal3d/cmf_writer.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.xmf");
    const bool ok = readXmfText(env, input, env.srcFile).ok();
    checkStore(run);
    if (!ok) return;
    WriteEnv out = run.ctx.writeEnv();
    const std::string bytes = buildCmf(out);
    run.ctx.model.ClearModel();
    ReadEnv again = run.source("model.cmf");
    const ReadResult r = readCmfBytes(again, bytes, again.srcFile);
    if (!r.ok()) fault("the mesh written from a read XML mesh does not read: " + r.message);
    checkStore(run);
}

}  // namespace molv::fuzz
