// Cal3D XML materials. What was read is written as a binary material, which
// must read again and write the same bytes.
// seeds: xrf
#include "cal3d/cal3d_set.h"
#include "cal3d/cal3d_xml_readers.h"
#include "cal3d/crf_reader.h"
#include "fuzz/harness.h"
#include "model/store.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.xrf");
    if (!readXrfText(env, input, env.srcFile, 0).ok()) return;
    checkStore(run);
    const std::string first = materialCrfBytes(run.ctx.model.Materials[0]);
    const ReadResult r = readCrfBytes(env, first, env.srcFile, 0);
    if (!r.ok()) fault("the material written from a read XML material does not read: " + r.message);
    if (materialCrfBytes(run.ctx.model.Materials[0]) != first) fault("an XML material written, read and written again changed");
}

}  // namespace molv::fuzz
