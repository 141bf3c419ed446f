#include "cal3d/crf_reader.h"

#include <algorithm>

#include "cal3d/cal3d_store.h"
#include "core/diagnostics.h"
#include "model/io_env.h"
#include "model/store.h"
#include "util/binio.h"
#include "util/fileio.h"
#include "util/numfmt.h"
#include "util/paths.h"

namespace molv {

namespace {

std::string dropNuls(std::string_view s) {
    std::string t;
    for (char c : s)
        if (c != '\0') t += c;
    return t;
}

std::string colourText(Colour c) {
    return " " + std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + " " +
           std::to_string(c.a);
}

Colour readColour(ByteReader& r) {
    Colour c;
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    c.a = r.u8();
    return c;
}

ReadResult failAt(const std::string& source, std::size_t at, const std::string& what) {
    return ReadResult::failedAt(source + " at byte " + std::to_string(at) + ": " + what, source,
                                static_cast<std::int64_t>(at));
}

}  // namespace

std::int32_t materialNumberOf(std::string_view fileName) {
    const std::string_view name = lastComponent(fileName);
    const std::size_t open = name.find('[');
    if (open == std::string_view::npos) return -1;
    const std::size_t close = name.find(']', open + 1);
    if (close == std::string_view::npos || close == open + 1 || close - open - 1 > 4) return -1;
    std::int32_t n = 0;
    for (char c : name.substr(open + 1, close - open - 1)) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n <= kMaxMaterialNumber ? n : -1;
}

ReadResult readCrfBytes(ReadEnv& env, std::string_view bytes, const std::string& source, std::int32_t n) {
    std::string name;
    if (n < 0) {
        n = materialNumberOf(source);
        if (n < 0) return ReadResult::failed("[MaterialNum] not found in filename " + source, source);
        name = baseName(source);
    } else {
        if (n > kMaxMaterialNumber) return ReadResult::failed("Material number " + std::to_string(n) + " is too large", source);
        name = env.modelName;
    }
    env.diag.logMsg("Materials[" + std::to_string(n) + "]  CRF file: " + source + "    Name:" + name);
    ByteReader r(bytes);
    if (r.size() < 8 || r.bytes(4) != std::string_view("CRF\0", 4))
        return failAt(source, 0, "not a Cal3D material: it does not start with CRF");
    Material mt;
    mt.version = r.i32();
    mt.id = n;
    mt.name = name;
    mt.ambient = readColour(r);
    mt.diffuse = readColour(r);
    mt.specular = readColour(r);
    mt.shininess = r.f32();
    const std::size_t countAt = r.pos();
    mt.nMaps = r.i32();
    if (!r.ok()) return failAt(source, r.size(), "the file ends inside the material's colours");
    env.diag.logMsg("Ambient=" + colourText(mt.ambient));
    env.diag.logMsg("Diffusive=" + colourText(mt.diffuse));
    env.diag.logMsg("Specular=" + colourText(mt.specular));
    env.diag.logMsg("shininess=" + numText(mt.shininess));
    env.diag.logMsg("num_TextureFiles=" + std::to_string(mt.nMaps));
    if (mt.nMaps < 0 || std::int64_t{mt.nMaps} * 4 > static_cast<std::int64_t>(r.left()))
        return failAt(source, countAt, "map count " + std::to_string(mt.nMaps) + " runs past the end");
    mt.maps.assign(static_cast<std::size_t>(mt.nMaps) + 1, std::string());
    for (std::int32_t k = 0; k < mt.nMaps; ++k) {
        const std::size_t at = r.pos();
        const std::int32_t len = r.i32();
        if (!r.ok()) return failAt(source, r.size(), "the file ends inside map " + std::to_string(k));
        if (len < 0 || static_cast<std::size_t>(len) > r.left())
            return failAt(source, at, "Bad name length: " + std::to_string(len));
        // Only the file's own name: maps are looked for in the model's folder.
        const std::string map(lastComponent(dropNuls(r.bytes(static_cast<std::size_t>(len)))));
        mt.maps[static_cast<std::size_t>(k)] = map;
        env.diag.logMsg("Texture_name=" + map);
    }
    env.diag.logMsg("--------------------");
    storeMaterial(env.model, n, std::move(mt));
    return {};
}

ReadResult readCrfFile(ReadEnv& env, const std::string& path, std::int32_t number) {
    std::string bytes, err;
    if (!fileExists(path) || !readWholeFile(path, bytes, err)) return ReadResult::failed("Not found: " + path, path);
    return readCrfBytes(env, bytes, path, number);
}

ReadResult readCrf(ReadEnv& env, const std::string& path) { return readCrfFile(env, path, 0); }

}  // namespace molv
