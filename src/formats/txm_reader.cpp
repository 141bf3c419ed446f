// Text material reader: one name=value pair a line, keys in any case.
// The material file it names is written beside the source, so a name that
// would lead elsewhere is refused, as are texture_name lines beyond the
// announced num_maps (or before it).
#include "formats/txm_reader.h"

#include "core/diagnostics.h"
#include "model/io_env.h"
#include "model/store.h"
#include "model/store_fill.h"
#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

// More maps than any material file carries in practice; a larger count is
// a damaged file, not a reason to reserve memory.
constexpr std::int64_t kMaxMaps = 1000;

Colour colourOf(std::string_view value) {
    std::uint8_t b[4];
    parse4Bytes(value, b);  // clamped to 0..255
    return Colour{b[0], b[1], b[2], b[3]};
}

}  // namespace

ReadResult readTextMaterialText(ReadEnv& env, std::string_view text, const std::string& path) {
    Diagnostics& diag = env.diag;
    ModelStore& m = env.model;
    auto fail = [&](std::int64_t line, const std::string& why) {
        return ReadResult::failed(path + " line " + std::to_string(line) + ": " + why, path, line);
    };
    const std::int32_t id = StoreFill(env).AddMaterial("");
    Material* mt = &m.materialAt(id);
    const std::string folder = env.srcFolder.empty() ? folderOf(path) : env.srcFolder;
    std::int64_t mapsAnnounced = -1;  // -1: no num_maps line yet
    std::int64_t mapsLine = 0;
    LineCursor lines(text);
    std::string_view raw;
    while (lines.next(raw)) {
        const std::int64_t no = lines.lineNo();
        const std::string line = trim(raw);
        if (line.empty()) continue;
        const std::string key = toLowerAscii(getField(line, 1, "="));
        const std::string value = getField(line, 2, "=");
        if (key == "name") {
            // The material file is written beside the source under this name.
            if (!staysInside(value) || hasSeparator(value))
                return fail(no, "the name \"" + value + "\" is not a plain file name; the material file must stay in " +
                                    (folder.empty() ? std::string("the source's folder") : folder));
            mt->name = value;
            std::string out = folder + value;
            if (toLowerAscii(extOf(out)) != "crf") out += ".crf";
            env.outFile = out;
        } else if (key == "ambient") {
            mt->ambient = colourOf(value);
        } else if (key == "diffusive") {
            mt->diffuse = colourOf(value);
        } else if (key == "specular") {
            mt->specular = colourOf(value);
        } else if (key == "shininess") {
            mt->shininess = static_cast<float>(numOrZero(value));
        } else if (key == "num_maps") {
            const auto n = parseWholeNumber(value, 0, kMaxMaps);
            if (!n)
                return fail(no, "num_maps \"" + value + "\" is not a whole number from 0 to " + std::to_string(kMaxMaps));
            mapsAnnounced = *n;
            mapsLine = no;
            mt->nMaps = static_cast<std::int32_t>(mapsAnnounced);
            mt->maps.clear();
        } else if (key == "texture_name") {
            if (mapsAnnounced < 0) return fail(no, "texture_name before the num_maps line");
            if (static_cast<std::int64_t>(mt->maps.size()) >= mapsAnnounced)
                return fail(no, "more texture_name lines than the " + std::to_string(mapsAnnounced) +
                                    " maps num_maps announced at line " + std::to_string(mapsLine));
            mt->maps.push_back(value);
        } else {
            diag.logMsg("Unrecognised data: " + line, 0);
            continue;
        }
        diag.logMsg(line, 0);
    }
    if (mapsAnnounced > static_cast<std::int64_t>(mt->maps.size())) {
        diag.logMsg(path + ": num_maps announces " + std::to_string(mapsAnnounced) + " maps, " +
                        std::to_string(mt->maps.size()) + " are named",
                    0);
        mt->nMaps = static_cast<std::int32_t>(mt->maps.size());
    }
    return {};
}

ReadResult readTextMaterial(ReadEnv& env, const std::string& path) {
    std::string text, err;
    if (!readWholeFile(path, text, err)) return ReadResult::failed("Not found: " + path, path);
    return readTextMaterialText(env, text, path);
}

}  // namespace molv
