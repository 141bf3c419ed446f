#include "convert/textures.h"

#include <filesystem>
#include <system_error>

#include "convert/context.h"
#include "model/store.h"
#include "util/fileio.h"
#include "util/fspath.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

// The file of that name in its folder, the name's case aside; "" when none
// or when several differ only in case (no guessing between them).
std::string caseInsensitiveMatch(const std::string& path) {
    const std::string folder = folderOf(path);
    const std::string want = toLowerAscii(fileNameOf(path));
    const std::string ext = extOf(path);
    if (ext.empty()) return {};
    std::string found;
    for (const std::string& name : filesWithExtension(folder, ext)) {
        if (toLowerAscii(name) != want) continue;
        if (!found.empty()) return {};
        found = joinPath(folder, name);
    }
    return found;
}

std::string lookIn(const std::string& folder, const std::string& map) {
    const std::string exact = companionPath(folder, map);
    if (exact.empty()) return {};
    if (fileExists(exact)) return exact;
    return caseInsensitiveMatch(exact);
}

}  // namespace

std::string findTextureFile(const std::string& srcFolder, const std::string& modelName, const std::string& map) {
    std::string found = lookIn(srcFolder, map);
    const std::string prefix = modelName + "_";
    if (found.empty() && !modelName.empty() && map.size() > prefix.size() && map.compare(0, prefix.size(), prefix) == 0)
        found = lookIn(srcFolder, map.substr(prefix.size()));
    return found;
}

std::vector<std::string> writtenMapNames(const ModelStore& m) {
    std::vector<std::string> names;
    const std::size_t nMaterials = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, m.nMaterials)), m.Materials.size());
    for (std::size_t i = 0; i < nMaterials; ++i) {
        const Material& mt = m.Materials[i];
        if (mt.id < 0) continue;  // not written
        const std::size_t nMaps = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, mt.nMaps)), mt.maps.size());
        for (std::size_t k = 0; k < nMaps; ++k) {
            const std::string& map = mt.maps[k];
            if (map.empty()) continue;
            bool seen = false;
            for (const std::string& n : names) seen = seen || n == map;
            if (!seen) names.push_back(map);
        }
    }
    return names;
}

void placeTextures(Context& ctx, const std::string& outFile) {
    const AppState& a = ctx.app;
    const std::string outFolder = folderOf(outFile);
    struct Place {
        std::string map, target, from;  // from: "" for embedded bytes
        const std::string* bytes = nullptr;
    };
    std::vector<Place> places;
    for (const std::string& map : writtenMapNames(ctx.model)) {
        Place p{map, companionPath(outFolder, map), {}, nullptr};
        if (p.target.empty()) continue;
        for (const auto& [name, bytes] : ctx.model.embeddedMaps)
            if (name == map) p.bytes = &bytes;
        if (!p.bytes) p.from = findTextureFile(a.srcFolder, a.modelName, map);
        if (!p.bytes && p.from.empty()) {
            ctx.warn("Texture " + map + " not found in " + a.srcFolder);
            continue;
        }
        places.push_back(std::move(p));
    }
    if (!ctx.settings.copyTextures) return;
    // Every file read for the set is a source, and a source is never replaced.
    auto isSource = [&](const std::string& path) {
        if (sameFile(path, a.srcFile)) return true;
        for (const Place& p : places)
            if (!p.from.empty() && sameFile(path, p.from)) return true;
        return false;
    };
    for (const Place& p : places) {
        if (!p.from.empty() && sameFile(p.from, p.target)) continue;  // already where the set is
        std::string bytes, err;
        if (p.bytes) {
            bytes = *p.bytes;
        } else if (!readWholeFile(p.from, bytes, err)) {
            ctx.warn("Texture " + p.map + " cannot be read: " + p.from + " (" + err + ")");
            continue;
        }
        if (fileExists(p.target)) {
            std::string there;
            if (readWholeFile(p.target, there, err) && there == bytes) continue;  // the same file already
            if (isSource(p.target)) {
                ctx.warn("Texture " + p.map + " not copied: " + p.target + " is a file of the source");
                continue;
            }
        }
        std::error_code ec;
        std::filesystem::create_directories(fsPath(folderOf(p.target)), ec);
        if (!writeFileAtomic(p.target, bytes, err)) {
            ctx.warn("Texture " + p.map + " could not be written to " + p.target + " (" + err + ")");
            continue;
        }
        ctx.logMsg(p.bytes ? "Texture written: " + p.target + " (embedded in the source)"
                           : "Texture copied: " + fileNameOf(p.from) + " -> " + p.target);
    }
}

}  // namespace molv
