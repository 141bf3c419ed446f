// The preview's rasteriser on a store it must not trust: faces naming
// missing vertices, coordinates that are not numbers, groups naming missing
// faces and materials.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

#include "model/preview_raster.h"
#include "support/harness.h"
#include "support/test_support.h"
#include "util/image.h"

namespace molv {
namespace {

// The picture is the golden one under tests/data/preview/, allowing for
// rounding across compilers (a few pixels a little off). MOLV_UPDATE_GOLDEN=1
// rewrites the pictures; look at them before committing.
void expectGolden(const Image& img, const std::string& name) {
    SCOPED_TRACE(name);
    const std::string path = test::dataPath("preview/" + name);
    if (std::getenv("MOLV_UPDATE_GOLDEN")) {
        test::writeFile(path, encodePng(img));
        return;
    }
    Image want;
    std::string err;
    ASSERT_TRUE(decodeImage(test::readFile(path), path, want, err)) << err;
    ASSERT_EQ(want.rgb.size(), img.rgb.size());
    int differing = 0;
    for (std::size_t i = 0; i < img.rgb.size(); i += 3)
        for (std::size_t k = 0; k < 3; ++k)
            if (std::abs(int(want.rgb[i + k]) - int(img.rgb[i + k])) > 8) {
                ++differing;
                break;
            }
    EXPECT_LE(differing, 40);
}

TEST(PreviewRaster, DrawsWhatIsSoundAndSkipsTheRest) {
    test::TestContext tc;
    ModelStore& m = tc.m;
    m.dssAddMesh("m", 0);
    const std::int32_t g = m.AddFaceGroup(false, 0, 0);
    for (int i = 0; i < 6; ++i) {
        std::int32_t n = -1;
        const float x = (i % 3 == 1) ? 40.0f : 0.0f, y = (i % 3 == 2) ? 40.0f : 0.0f;
        m.AddVertex(n, x + (i >= 3 ? 50.0f : 0.0f), y, 0, x, 0, y);
    }
    for (int f = 0; f < 3; ++f) {
        m.AddFace(0, 0, 0, 1, 2);
        m.AddFaceToGroup(0, g, false, f, -1);
    }
    // Face 1: a corner beyond the vertices; face 2: a corner not a number.
    m.VFaces[1].vtx[2] = 1000;
    m.VFaces[2] = Face{{3, 4, 5}};
    m.Vertices[4].pos.x = std::numeric_limits<float>::quiet_NaN();
    m.normalAt(0) = Vec3{std::numeric_limits<float>::infinity(), 0, 0};
    FaceGroup& fg = m.FaceGrps[static_cast<std::size_t>(g)];
    fg.FgGlblFaces.push_back(-7);
    fg.FgGlblFaces.push_back(1 << 30);
    fg.nFcs = static_cast<std::int32_t>(fg.FgGlblFaces.size()) + 5;
    fg.MtlID = 9;  // no such material

    const PreviewScene scene = makePreviewScene(m, {PreviewScene::Material{}});
    EXPECT_EQ(scene.triangles.size(), 1u);
    EXPECT_EQ(scene.positions.size(), 3u);
    // The one sound triangle, lit as if it had no normal.
    expectGolden(renderPreview(scene, 64), "sound_triangle.png");
    EXPECT_EQ(renderPreview(scene, 1).width, 16);

    // Nothing sound: nothing to draw.
    m.VFaces[0].vtx[0] = -1;
    EXPECT_TRUE(makePreviewScene(m, {}).empty());
}

// Two quads 60 cm square side by side, 20 cm apart: the left one faces the
// front (+z), the right one the back, so from the front the right one shows
// its back. Each in a material of its own.
PreviewScene twoQuads() {
    PreviewScene s;
    s.materials = {{Colour{60, 160, 220, 255}, nullptr}, {Colour{240, 200, 40, 255}, nullptr}};
    const auto quad = [&](float x0, float dir, std::int32_t mat) {
        const auto base = static_cast<std::uint32_t>(s.positions.size());
        for (const auto& [x, y] : {std::pair{0.0f, 0.0f}, {60.0f, 0.0f}, {60.0f, 60.0f}, {0.0f, 60.0f}}) {
            s.positions.push_back(Vec3{x0 + x, y, 0});
            s.normals.push_back(Vec3{0, 0, dir});
            s.uvs.push_back({0, 0});
        }
        const std::uint32_t back = dir < 0 ? 1 : 0;  // the other winding
        s.triangles.push_back({base, base + 1 + back, base + 2 - back});
        s.triangles.push_back({base, base + 2 + back, base + 3 - back});
        s.triangleMaterial.insert(s.triangleMaterial.end(), 2, mat);
    };
    quad(-70, 1, 0);
    quad(10, -1, 1);
    return s;
}

// The orbit view: a face seen from behind is drawn in the back colour, never
// in its material, from whichever side; turning keeps the model's size. A
// large model's light picture is drawn at half the resolution.
TEST(PreviewRaster, OrbitViewGoldenPicturesWithABackFacingQuad) {
    const PreviewScene scene = twoQuads();
    const PreviewScene none;
    PreviewScene large = scene;
    large.triangles.resize(250000, {0, 0, 0});  // as many again, of no area
    const struct {
        const char* golden;
        const PreviewScene& scene;
        int size;
        PreviewCamera camera;
    } rows[] = {
        {"orbit_default.png", scene, 64, {}},
        {"orbit_default.png", scene, 64, {35 + 360, 25, 1, false}},  // turned right round
        // From behind the quads swap sides, and the yellow one shows its front.
        {"orbit_behind.png", scene, 64, {180, 0, 1, false}},
        // From below, zoomed in: both halves stay on their sides.
        {"orbit_below.png", scene, 64, {-20, -50, 1.4, false}},
        {"orbit_light_large.png", large, 96, {35, 25, 1, true}},
        {"nothing.png", none, 64, {}},  // the background and the bar only
    };
    for (const auto& row : rows) expectGolden(renderPreview(row.scene, row.size, row.camera), row.golden);
}

// Turning and zooming: cameras out of range are held in range, never a fault.
TEST(PreviewRaster, CameraCases) {
    const PreviewScene scene = twoQuads();
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const PreviewCamera odd[] = {{nan, nan, nan, false}, {inf, 500, 1e9, true}, {-1e300, -90, 0, false}, {0, 89, -3, true}};
    for (const PreviewCamera& c : odd) EXPECT_EQ(renderPreview(scene, 48, c).width, 48);
    // Pitch is held at 89 degrees, so beyond it nothing changes.
    EXPECT_EQ(renderPreview(scene, 48, {10, 95, 1, false}).rgb, renderPreview(scene, 48, {10, 89, 1, false}).rgb);

    // Dragging and the wheel, as every view turns the camera.
    const struct {
        double dx, dy, notches;
        PreviewCamera want;
    } moves[] = {
        {20, 0, 0, {25, 25, 1, false}},       // right: the front turns right
        {0, -30, 0, {35, 10, 1, false}},      // up: seen from lower down
        {0, 1000, 0, {35, 89, 1, false}},     // no further than straight down
        {-650, 0, 0, {35 + 325 - 360, 25, 1, false}},
        {0, 0, -1, {35, 25, 1 / kPreviewZoomPerNotch, false}},
        {0, 0, 100, {35, 25, 50, false}},     // zoom held in range
        {std::nan(""), 5, std::nan(""), {35, 25, 1, false}},
    };
    for (const auto& m : moves) {
        const PreviewCamera got = zoomPreview(orbitPreview({}, m.dx, m.dy), m.notches);
        EXPECT_NEAR(got.yaw, m.want.yaw, 1e-9) << m.dx << " " << m.dy;
        EXPECT_NEAR(got.pitch, m.want.pitch, 1e-9) << m.dx << " " << m.dy;
        EXPECT_NEAR(got.zoom, m.want.zoom, 1e-9) << m.notches;
    }

    // Scratch memory kept between frames of other sizes, cameras and
    // scenes leaves nothing behind in the next picture.
    PreviewScratch scratch;
    const PreviewCamera turned{120, -30, 2, false};
    for (int size : {200, 48, 96}) {
        EXPECT_EQ(renderPreview(scene, size, turned, &scratch).rgb, renderPreview(scene, size, turned).rgb) << size;
        EXPECT_EQ(renderPreview(PreviewScene{}, size, {}, &scratch).rgb, renderPreview(PreviewScene{}, size).rgb);
        EXPECT_EQ(renderPreview(scene, size, {35, 25, 1, true}, &scratch).rgb,
                  renderPreview(scene, size, {35, 25, 1, true}).rgb);
    }

    // A scene put together by hand naming vertices it lacks draws the rest.
    PreviewScene broken = scene;
    broken.triangles.push_back({0, 1, 4000});
    broken.triangleMaterial.clear();
    broken.normals.resize(2);
    EXPECT_EQ(renderPreview(broken, 48).width, 48);
}

}  // namespace
}  // namespace molv
