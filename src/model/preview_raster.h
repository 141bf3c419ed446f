// The preview picture: a model's faces drawn on the CPU with a z-buffer,
// orthographic, from a camera that turns about the model (by default the
// three-quarter view from the front and above). Front faces are lit by
// their vertex normals (ambient, a key light from the upper left and a
// weaker fill, both fixed to the camera) in their material's diffuse
// colour or texture; back faces are drawn in one plain colour of their own
// so inside-out faces show. A bar as long as 100 cm sits below.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/store.h"
#include "util/image.h"

namespace molv {

inline constexpr int kPreviewSize = 512;

// Where the preview is seen from. The default is the picture `--preview`
// writes.
struct PreviewCamera {
    double yaw = 35;    // degrees the viewer has walked round to the model's right
    double pitch = 25;  // degrees from above; held within -89..89
    double zoom = 1;    // 1: the model fitted as in the default view; held within 0.05..50
    // A cheaper picture for while the view is being dragged: one sample a
    // pixel instead of four, and large models at half the resolution.
    bool light = false;
    friend bool operator==(const PreviewCamera&, const PreviewCamera&) = default;
};

// How a view turns the camera, the same in every window: a drag of dx, dy
// pixels (x right, y down) orbits, the model following the hand (right
// turns its front to the right, down tips its top toward the viewer); a
// wheel of `notches` (positive away from the user) zooms in. The light flag
// is left as it was.
inline constexpr double kPreviewDegreesPerPixel = 0.5, kPreviewZoomPerNotch = 1.15;
PreviewCamera orbitPreview(PreviewCamera camera, double dx, double dy);
PreviewCamera zoomPreview(PreviewCamera camera, double notches);

// What the preview draws, apart from any store: a list of triangles with
// their corners' positions, normals and first texture coordinates, and the
// materials they name. A plain value: it can be copied to another thread
// and kept after the store is gone; textures are shared, never changed.
struct PreviewScene {
    struct Material {
        Colour diffuse{200, 200, 200, 255};
        std::shared_ptr<const Image> texture;  // sampled with the first UV set; null: the colour
    };
    std::vector<Vec3> positions, normals;           // one each per vertex
    std::vector<std::array<float, 2>> uvs;          // one per vertex
    std::vector<std::array<std::uint32_t, 3>> triangles;  // vertex indices
    std::vector<std::int32_t> triangleMaterial;     // one per triangle; out of range: light grey
    std::vector<Material> materials;

    bool empty() const { return triangles.empty(); }
};

// The faces the store's face groups hold, each with its group's MtlID as
// its material. Faces, vertices or coordinates that are out of range or not
// finite are left out, never read; normals and texture coordinates that are
// not finite read as none.
PreviewScene makePreviewScene(const ModelStore& model, std::vector<PreviewScene::Material> materials);

// Memory a caller drawing frame after frame keeps between them, so a frame
// does not begin by asking the system for tens of megabytes. Its contents
// are of no use outside renderPreview.
struct PreviewScratch {
    std::vector<float> depth, w1, w2;
    std::vector<std::int32_t> id;
    std::vector<std::array<float, 3>> screen;
};

// A size x size picture (16 to 4096 pixels a side). The model is fitted as
// seen from the default camera and turns about that framing's middle, so
// turning it never changes its size. Triangles naming missing vertices are
// left out. The same scene and camera give the same pixels on every run.
Image renderPreview(const PreviewScene& scene, int size, const PreviewCamera& camera = {},
                    PreviewScratch* scratch = nullptr);

}  // namespace molv
