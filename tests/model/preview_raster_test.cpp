// The preview's rasteriser on a store it must not trust: faces naming
// missing vertices, coordinates that are not numbers, groups naming missing
// faces and materials.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/preview_raster.h"
#include "support/harness.h"

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
        m.AddVertex(n, x + (i >= 3 ? 50.0f : 0.0f), y, 0, x, 0, y, i, false);
    }
    for (int f = 0; f < 3; ++f) {
        m.AddFace(0, 0, 0, 1, 2);
        m.AddFaceToGroup(0, g, false, f, -1);
    }
    // Face 1: a corner beyond the vertices; face 2: a corner not a number.
    m.VFaces[1].vtx[2] = 1000;
    m.VFaces[2] = Face{{3, 4, 5}};
    m.Vertices[4].pos.x = std::numeric_limits<float>::quiet_NaN();
    m.Normals[0] = Vec3{std::numeric_limits<float>::infinity(), 0, 0};
    FaceGroup& fg = m.FaceGrps[static_cast<std::size_t>(g)];
    fg.FgGlblFaces.push_back(-7);
    fg.FgGlblFaces.push_back(1 << 30);
    fg.nFcs = static_cast<std::int32_t>(fg.FgGlblFaces.size()) + 5;
    fg.MtlID = 9;  // no such material

    const Image a = renderPreview(m, {PreviewMaterial{}}, 64);
    ASSERT_EQ(a.width, 64);
    EXPECT_GT(inkedPixels(a, 48), 100);  // the one sound triangle
    EXPECT_EQ(renderPreview(m, {}, 64).rgb, a.rgb);  // the same pixels every time
    EXPECT_EQ(renderPreview(m, {}, 1).width, 16);

    // Nothing sound: the background and the bar only.
    m.VFaces[0].vtx[0] = -1;
    EXPECT_EQ(inkedPixels(renderPreview(m, {}, 64), 48), 0);
}

}  // namespace
}  // namespace molv
