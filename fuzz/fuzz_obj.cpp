// Wavefront object files. The input also lies beside the object as
// "model.mtl", so an "mtllib model.mtl" line reads the same bytes as its
// material library.
// seeds: obj mtl
#include "formats/obj_reader.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

void fuzzOne(Run& run, std::string_view input) {
    run.put("model.mtl", input);
    ReadEnv env = run.source("model.obj");
    LoadObjText(env, input, env.srcFile);
    checkStore(run);
}

}  // namespace molv::fuzz
