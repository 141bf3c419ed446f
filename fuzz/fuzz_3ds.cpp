// 3D Studio files.
// seeds: 3ds
#include "formats/tds_reader.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.3ds");
    Read3DSBytes(env, input, env.srcFile);
    checkStore(run);
}

}  // namespace molv::fuzz
