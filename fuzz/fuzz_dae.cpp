// Collada documents.
// seeds: dae
#include "formats/dae_reader.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.dae");
    LoadDaeBytes(env, input);
    checkStore(run);
}

}  // namespace molv::fuzz
