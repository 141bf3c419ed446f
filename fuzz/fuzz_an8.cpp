// Anim8or files.
// seeds: an8
#include "formats/an8_reader.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.an8");
    LoadAn8Text(env, input, env.srcFile);
    checkStore(run);
}

}  // namespace molv::fuzz
