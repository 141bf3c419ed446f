// One whole conversion as the command line runs it: the input becomes a
// source file (3D Studio when it starts with the MAIN chunk's id, Collada
// when its first non-blank byte is "<" or it has a UTF-16 mark, else
// Wavefront, with the input beside it as "model.mtl" too) and the Cal3D
// set is written beside it, in the run's folder. A conversion that fails
// must leave nothing but its source behind.
// seeds: obj 3ds dae
#include "convert/driver.h"
#include "fuzz/harness.h"

namespace molv::fuzz {

namespace {

const char* typeOf(std::string_view in) {
    if (in.size() >= 2 && in[0] == 0x4D && in[1] == 0x4D) return "3ds";
    if (in.size() >= 2 && ((in[0] == '\xFF' && in[1] == '\xFE') || (in[0] == '\xFE' && in[1] == '\xFF'))) return "dae";
    const std::size_t first = in.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && in[first] == '<') return "dae";
    if (in.substr(0, 3) == "\xEF\xBB\xBF" && in.find('<') != std::string_view::npos && in.find('<') < 64) return "dae";
    return "obj";
}

}  // namespace

void fuzzOne(Run& run, std::string_view input) {
    const std::string ext = typeOf(input);
    const std::string src = run.put("model." + ext, input);
    if (ext == "obj") run.put("model.mtl", input);
    const std::vector<std::string> before = run.files();
    const bool ok = convert(run.ctx, ConversionRequest(src)).ok();
    checkStore(run);
    if (!ok && run.files() != before) {
        std::string left;
        for (const std::string& f : run.files()) left += " " + f;
        fault("the conversion failed but left files behind:" + left);
    }
}

}  // namespace molv::fuzz
