// The preview of a converted prop: the Cal3D set as written, read back from
// its files and drawn (model/preview_raster.h), for `--preview FILE.png`
// and the window.
#pragma once
#include <string>

#include "model/preview_raster.h"
#include "util/image.h"

namespace molv {

class Diagnostics;
struct Context;

struct PreviewPicture {
    bool ok = false;
    std::string message;  // why there is no picture
    Image image;
};

// What a turnable preview draws: the triangles, materials and textures of
// a written set, apart from any store or context.
struct LoadedScene {
    bool ok = false;
    std::string message;  // why there is no scene
    PreviewScene scene;
};

// Reads the set whose viewer configuration is cfgPath (its materials and
// mesh) into a store of its own and keeps what the preview draws. Texture
// maps the materials name are looked for in textureFolder only; one that
// is missing or not a readable BMP, PNG, JPEG or TGA image gives one log
// line through `log`, and its material is drawn in its diffuse colour.
LoadedScene loadWrittenSet(Diagnostics& log, const std::string& cfgPath, const std::string& textureFolder);

// The scene of the set the last write of ctx produced (textures from the
// source's folder); fails when that write was no Cal3D set.
LoadedScene lastSetScene(Context& ctx);

// loadWrittenSet drawn from the default camera.
PreviewPicture renderWrittenSet(Diagnostics& log, const std::string& cfgPath, const std::string& textureFolder,
                                int size = kPreviewSize);

// lastSetScene drawn from the default camera.
PreviewPicture renderLastSet(Context& ctx, int size = kPreviewSize);

// renderLastSet written as a PNG file at pngPath, whole (through a
// temporary file). On failure a message naming pngPath is shown and the
// result is false; the set itself is left as it was written.
bool writePreview(Context& ctx, const std::string& pngPath, int size = kPreviewSize);

}  // namespace molv
