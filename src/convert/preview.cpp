#include "convert/preview.h"

#include <algorithm>
#include <map>

#include "cal3d/cfg_reader.h"
#include "convert/context.h"
#include "convert/registry.h"
#include "util/fileio.h"
#include "util/paths.h"

namespace molv {

PreviewPicture renderWrittenSet(Diagnostics& log, const std::string& cfgPath, const std::string& textureFolder,
                                int size) {
    PreviewPicture pic;
    QuietUI silent;  // the read-back reports through its result; its log would repeat the write's
    Diagnostics quiet(silent);
    // Default settings: the axes of the file, whatever the user's switches.
    const Settings settings;
    ModelStore store(quiet, settings);
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

    // Textures by file, so a map shared by materials is read once.
    std::map<std::string, Image> textures;
    std::map<std::string, bool> readable;
    std::vector<PreviewMaterial> materials(
        static_cast<std::size_t>(std::clamp<std::int32_t>(store.nMaterials, 0, static_cast<std::int32_t>(store.Materials.size()))));
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const Material& mt = store.Materials[i];
        materials[i].diffuse = mt.diffuse;
        if (mt.nMaps <= 0 || mt.maps.empty() || mt.maps[0].empty()) continue;
        const std::string& map = mt.maps[0];
        const std::string path = companionPath(textureFolder, map);
        auto known = readable.find(path);
        if (known == readable.end()) {
            std::string why;
            std::string bytes;
            Image img;
            if (path.empty() || !fileExists(path))
                why = "not found in " + textureFolder;
            else if (!readWholeFile(path, bytes, why) || !decodeImage(bytes, path, img, why))
                why = path + ": " + why;
            if (!why.empty())
                log.logMsg("Preview: texture " + map + " " + why + "; its material is shown in its colour");
            known = readable.emplace(path, why.empty()).first;
            if (why.empty()) textures.emplace(path, std::move(img));
        }
        if (known->second) materials[i].texture = &textures.at(path);
    }
    pic.image = renderPreview(store, materials, size);
    pic.ok = true;
    return pic;
}

PreviewPicture renderLastSet(Context& ctx, int size) {
    const AppState& a = ctx.app;
    const FormatEntry* out = formatFor(a.outExt);
    if (!out || !out->cal3dSet || a.outBase.empty() || a.writeFailed) {
        PreviewPicture pic;
        pic.message = "no Cal3D set was written" + (a.outFile.empty() ? std::string() : " (the output is " + a.outFile + ")");
        return pic;
    }
    return renderWrittenSet(ctx, a.outBase + ".cfg", a.srcFolder, size);
}

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
        ctx.lastErrText = err;
        ctx.msgBox("Cannot write the preview " + pngPath + ": " + err);
        return false;
    }
    ctx.logMsg("Preview: " + pngPath);
    return true;
}

}  // namespace molv
