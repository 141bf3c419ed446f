#include "convert/preview.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "cal3d/cfg_reader.h"
#include "convert/context.h"
#include "convert/registry.h"
#include "util/fileio.h"
#include "util/paths.h"

namespace molv {

namespace {

// A preview is a few hundred pixels wide: textures beyond this side are
// shown averaged down, and all of them together take at most the budget.
constexpr int kPreviewTextureSide = 1024;
constexpr std::size_t kPreviewTextureBytes = std::size_t{192} << 20;

Image downscaled(Image img) {
    const int f = (std::max(img.width, img.height) + kPreviewTextureSide - 1) / kPreviewTextureSide;
    if (f <= 1) return img;
    Image out((img.width + f - 1) / f, (img.height + f - 1) / f);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            unsigned sum[3] = {0, 0, 0}, n = 0;
            for (int sy = y * f; sy < std::min(img.height, (y + 1) * f); ++sy)
                for (int sx = x * f; sx < std::min(img.width, (x + 1) * f); ++sx, ++n)
                    for (int c = 0; c < 3; ++c) sum[c] += img.at(sx, sy)[c];
            for (int c = 0; c < 3; ++c) out.at(x, y)[c] = static_cast<std::uint8_t>((sum[c] + n / 2) / n);
        }
    return out;
}

}  // namespace

LoadedScene loadWrittenSet(Diagnostics& log, const std::string& cfgPath, const std::string& textureFolder) {
    LoadedScene pic;
    QuietUI silent;  // the read-back reports through its result; its log would repeat the write's
    Diagnostics quiet(silent);
    // Default settings: the axes of the file, whatever the user's switches.
    const Settings settings;
    ModelStore store;
    SkeletonStore skel;
    const std::string folder = folderOf(cfgPath);
    // Developer mode: a configuration naming binary files is read only so.
    ReadEnv env{quiet, store, settings, cfgPath, folder, baseName(cfgPath), folder, true, false, false, {}, {}, false,
                &skel};
    const ReadResult r = readCfg(env, cfgPath);
    if (!r.ok()) {
        pic.message = r.message.empty() ? "cannot read " + cfgPath : r.message;
        return pic;
    }

    // Textures by file, so a map shared by materials is read once, and by
    // content, so one picture under several names (links, copies) is
    // decoded once.
    std::map<std::string, std::shared_ptr<const Image>> textures;
    std::map<std::string, std::string> readable;  // path: the path whose picture it shows, "" when none
    std::map<std::pair<std::size_t, std::size_t>, std::string> byContent;
    std::size_t textureBytes = 0;
    std::vector<PreviewScene::Material> materials(
        static_cast<std::size_t>(std::clamp<std::int32_t>(store.nMaterials, 0, static_cast<std::int32_t>(store.Materials.size()))));
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const Material& mt = store.Materials[i];
        materials[i].diffuse = mt.diffuse;
        if (mt.nMaps <= 0 || mt.maps.empty() || mt.maps[0].empty()) continue;
        const std::string& map = mt.maps[0];
        // Beside the set first, where the host looks and where the maps are
        // copied (a picture held inside the source exists nowhere else);
        // then the source's folder, for a set written without its maps.
        std::string path = companionPath(folder, map);
        if (path.empty() || !fileExists(path)) path = companionPath(textureFolder, map);
        auto known = readable.find(path);
        if (known == readable.end()) {
            std::string why;
            std::string bytes;
            Image img;
            std::string same;
            if (path.empty() || !fileExists(path)) {
                why = "not found in " + textureFolder;
            } else if (!readWholeFile(path, bytes, why)) {
                why = path + ": " + why;
            } else {
                const std::pair<std::size_t, std::size_t> key{bytes.size(), std::hash<std::string>{}(bytes)};
                if (auto it = byContent.find(key); it != byContent.end()) {
                    same = it->second;
                } else if (!decodeImage(bytes, path, img, why)) {
                    why = path + ": " + why;
                } else {
                    img = downscaled(std::move(img));
                    if (textureBytes + img.rgb.size() > kPreviewTextureBytes)
                        why = "is beyond the preview's texture memory";
                    else
                        textureBytes += img.rgb.size();
                    byContent.emplace(key, path);
                }
            }
            if (!why.empty())
                log.logMsg("Preview: texture " + map + " " + why + "; its material is shown in its colour");
            std::string shows;
            if (why.empty()) shows = same.empty() ? path : readable.at(same);
            known = readable.emplace(path, shows).first;
            if (why.empty() && same.empty()) textures.emplace(path, std::make_shared<const Image>(std::move(img)));
        }
        if (!known->second.empty()) materials[i].texture = textures.at(known->second);
    }
    pic.scene = makePreviewScene(store, std::move(materials));
    pic.ok = true;
    return pic;
}

LoadedScene lastSetScene(Context& ctx) {
    const AppState& a = ctx.app;
    const FormatEntry* out = formatFor(a.outExt);
    if (!out || !out->cal3dSet || a.outBase.empty() || a.writeFailed) {
        LoadedScene s;
        s.message = "no Cal3D set was written" + (a.outFile.empty() ? std::string() : " (the output is " + a.outFile + ")");
        return s;
    }
    return loadWrittenSet(ctx, a.outBase + ".cfg", a.srcFolder);
}

namespace {
PreviewPicture drawn(const LoadedScene& s, int size) {
    PreviewPicture pic;
    pic.ok = s.ok;
    pic.message = s.message;
    if (s.ok) pic.image = renderPreview(s.scene, size);
    return pic;
}
}  // namespace

PreviewPicture renderWrittenSet(Diagnostics& log, const std::string& cfgPath, const std::string& textureFolder,
                                int size) {
    return drawn(loadWrittenSet(log, cfgPath, textureFolder), size);
}

PreviewPicture renderLastSet(Context& ctx, int size) { return drawn(lastSetScene(ctx), size); }

namespace {
// A new file or a regular one, never a link or a device, put in place whole.
bool writePicture(const std::string& path, std::string_view bytes, std::string& err) {
    FileSet files;
    if (!writeFileAtomic(path, bytes, err, &files)) {
        err = path + ": " + err;
        return false;
    }
    return files.commit(err);
}
}  // namespace

bool writePreview(Context& ctx, const std::string& pngPath, int size) {
    PreviewPicture pic = renderLastSet(ctx, size);
    std::string err;
    if (!pic.ok) {
        err = pic.message;
    } else {
        const std::string png = encodePng(pic.image);
        if (png.empty())
            err = "the picture could not be encoded";
        else if (!writePicture(pngPath, png, err) && err.empty())
            err = "write failed";
    }
    if (!err.empty()) {
        ctx.msgBox("Cannot write the preview " + pngPath + ": " + err);
        return false;
    }
    ctx.logMsg("Preview: " + pngPath);
    return true;
}

}  // namespace molv
