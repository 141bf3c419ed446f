// glTF documents and binary glTF files.
// seeds: gltf glb
#include "formats/gltf_reader.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    ReadEnv env = run.source("model.gltf");
    LoadGltfBytes(env, input);
    checkStore(run);
}

}  // namespace molv::fuzz
