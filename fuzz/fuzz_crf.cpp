// Cal3D binary materials. A material read and written must read again and
// write the same bytes.
// seeds: crf
#include "cal3d/cal3d_set.h"
#include "cal3d/crf_reader.h"
#include "fuzz/harness.h"
#include "model/store.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.crf");
    if (!readCrfBytes(env, input, env.srcFile, 0).ok()) return;
    checkStore(run);
    const std::string first = materialCrfBytes(run.ctx.model.Materials[0]);
    const ReadResult r = readCrfBytes(env, first, env.srcFile, 0);
    if (!r.ok()) fault("the material written from a read material does not read: " + r.message);
    if (materialCrfBytes(run.ctx.model.Materials[0]) != first) fault("a material written, read and written again changed");
}

}  // namespace molv::fuzz
