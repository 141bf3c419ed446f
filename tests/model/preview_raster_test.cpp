// The preview's rasteriser on a store it must not trust: faces naming
// missing vertices, coordinates that are not numbers, groups naming missing
// faces and materials.
#include <gtest/gtest.h>

#include <algorithm>
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

int inkedPixels(const Image& img, int belowRow) {
    int n = 0;
    for (int y = 0; y < belowRow; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y)[0] != img.at(0, 0)[0] || img.at(x, y)[1] != img.at(0, 0)[1]) ++n;
    return n;
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
    const Image a = renderPreview(scene, 64);
    ASSERT_EQ(a.width, 64);
    EXPECT_GT(inkedPixels(a, 48), 100);  // the one sound triangle
    EXPECT_EQ(renderPreview(makePreviewScene(m, {}), 64).rgb, a.rgb);  // the same pixels every time
    EXPECT_EQ(renderPreview(scene, 1).width, 16);

    // Nothing sound: the background and the bar only.
    m.VFaces[0].vtx[0] = -1;
    EXPECT_TRUE(makePreviewScene(m, {}).empty());
    EXPECT_EQ(inkedPixels(renderPreview(makePreviewScene(m, {}), 64), 48), 0);
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
        if (dir > 0) {
            s.triangles.push_back({base, base + 1, base + 2});
            s.triangles.push_back({base, base + 2, base + 3});
        } else {
            s.triangles.push_back({base, base + 2, base + 1});
            s.triangles.push_back({base, base + 3, base + 2});
        }
        s.triangleMaterial.insert(s.triangleMaterial.end(), 2, mat);
    };
    quad(-70, 1, 0);
    quad(10, -1, 1);
    return s;
}

enum Seen { kBackground, kBlue, kYellow, kBackSide, kOther };

Seen seenAt(const Image& img, double fx, double fy) {
    const std::uint8_t* p = img.at(static_cast<int>(fx * img.width), static_cast<int>(fy * img.height));
    const int r = p[0], g = p[1], b = p[2];
    if (r == 238 && g == 240 && b == 243) return kBackground;
    if (b > r + 40 && b > g) return kBlue;
    if (r > b + 60 && g > b + 60) return kYellow;
    if (r > g + 60 && b > g + 40) return kBackSide;
    return kOther;
}

// The orbit view at three angles: the golden pictures (64 pixels, a small
// tolerance for rounding across compilers) and what a person checks in
// them: a face seen from behind is drawn in the back colour, never in its
// material, from whichever side; turning keeps the model's size.
// MOLV_UPDATE_GOLDEN=1 rewrites the pictures; look at them before committing.
TEST(PreviewRaster, OrbitViewGoldenPicturesWithABackFacingQuad) {
    const PreviewScene scene = twoQuads();
    const struct {
        const char* golden;
        PreviewCamera camera;
        Seen left, right;  // the middles of the two quads, where they are drawn
        double leftX, rightX, y;
    } rows[] = {
        {"orbit_default.png", {}, kBlue, kBackSide, 0.27, 0.72, 0.4},
        // From behind the quads swap sides, and the yellow one shows its front.
        {"orbit_behind.png", {180, 0, 1, false}, kYellow, kBackSide, 0.28, 0.72, 0.42},
        // From below, zoomed in: both halves stay on their sides.
        {"orbit_below.png", {-20, -50, 1.4, false}, kBlue, kBackSide, 0.2, 0.8, 0.42},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.golden);
        const Image img = renderPreview(scene, 64, row.camera);
        const std::string goldenPath = test::dataPath(std::string("preview/") + row.golden);
        if (std::getenv("MOLV_UPDATE_GOLDEN")) {
            test::writeFile(goldenPath, encodePng(img));
            continue;
        }
        EXPECT_EQ(seenAt(img, row.leftX, row.y), row.left);
        EXPECT_EQ(seenAt(img, row.rightX, row.y), row.right);
        Image want;
        std::string err;
        ASSERT_TRUE(decodeImage(test::readFile(goldenPath), goldenPath, want, err)) << err;
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
}

// Turning and zooming: the default camera is the picture without one;
// turning right round comes back to it; a light picture is close to the
// full one; cameras out of range are held in range, never a fault.
TEST(PreviewRaster, CameraCases) {
    const PreviewScene scene = twoQuads();
    const Image still = renderPreview(scene, 96);
    EXPECT_EQ(renderPreview(scene, 96, PreviewCamera{}).rgb, still.rgb);
    EXPECT_EQ(renderPreview(scene, 96, {35 + 360, 25, 1, false}).rgb, still.rgb);
    EXPECT_NE(renderPreview(scene, 96, {36, 25, 1, false}).rgb, still.rgb);

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

    // A large model's light picture is drawn at half the resolution: 2 x 2
    // blocks of one colour above the bar, the same faces where they were.
    PreviewScene large = scene;
    large.triangles.resize(250000, {0, 0, 0});  // as many again, of no area
    const Image light = renderPreview(large, 96, {35, 25, 1, true});
    int uneven = 0;
    for (int y = 0; y < 72; y += 2)
        for (int x = 0; x < 96; x += 2)
            for (const auto& [dx, dy] : {std::pair{1, 0}, {0, 1}, {1, 1}})
                if (!std::equal(light.at(x, y), light.at(x, y) + 3, light.at(x + dx, y + dy))) ++uneven;
    EXPECT_EQ(uneven, 0);
    EXPECT_EQ(seenAt(light, 0.27, 0.4), kBlue);
    EXPECT_EQ(seenAt(light, 0.72, 0.4), kBackSide);

    // A scene put together by hand naming vertices it lacks draws the rest.
    PreviewScene broken = scene;
    broken.triangles.push_back({0, 1, 4000});
    broken.triangleMaterial.clear();
    broken.normals.resize(2);
    EXPECT_EQ(renderPreview(broken, 48).width, 48);
}

}  // namespace
}  // namespace molv
