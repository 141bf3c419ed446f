// The preview picture: the store's faces drawn on the CPU with a z-buffer,
// an orthographic three-quarter view from the front, lit by the vertex
// normals (ambient plus one light, both sides of a face), each face in its
// material's diffuse colour or texture, and a bar as long as 100 cm below.
#pragma once
#include <vector>

#include "model/store.h"
#include "util/image.h"

namespace molv {

struct PreviewMaterial {
    Colour diffuse{200, 200, 200, 255};
    const Image* texture = nullptr;  // sampled with the first UV set; nullptr: the colour
};

inline constexpr int kPreviewSize = 512;

// A size x size picture (16 to 4096 pixels a side) of the faces the store's
// face groups hold; a group's MtlID indexes `materials`, and a group without
// one is drawn light grey. Faces, vertices or coordinates that are out of
// range or not finite are left out, never read. The same store gives the
// same pixels on every run.
Image renderPreview(const ModelStore& model, const std::vector<PreviewMaterial>& materials, int size);

}  // namespace molv
