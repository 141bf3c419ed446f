// Wavefront material libraries on their own.
// seeds: mtl
#include "formats/mtl_reader.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.mtl");
    LoadMtlText(env, input, env.srcFile);
    checkStore(run);
}

}  // namespace molv::fuzz
