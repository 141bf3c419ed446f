// The host's text materials.
// seeds: txm
#include "formats/txm_reader.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("wood.txm");
    readTextMaterialText(env, input, env.srcFile);
    checkStore(run);
}

}  // namespace molv::fuzz
