// The prop template beside a set written in developer mode.
#include <gtest/gtest.h>

#include "cal3d_test_models.h"

using namespace molv;
using namespace molv::test;

namespace {

struct PropTemplate : ModelFixture {
    std::string dir = tempDir("template");
};

TEST_F(PropTemplate, TheChairByteForByte) {
    ctx.app.devMode = true;
    const std::int32_t i = material("wood", Colour{51, 51, 51, 255}, {"wood.bmp"});
    Material& mt = m.Materials[static_cast<std::size_t>(i)];
    mt.diffuse = Colour{204, 204, 204, 255};
    mt.specular = Colour{0, 0, 0, 255};
    mt.shininess = 25;
    m.dssAddMesh("chair", 0);
    grid(1, 0);
    ASSERT_TRUE(writeSet(ctx, dir + "chair.cmf"));
    EXPECT_TRUE(matchesGolden(readFile(dir + "chair.template"), "chair.template"));
}

TEST_F(PropTemplate, SeveralMapsCloseTheirMaterialOnceAndNamesAreEscaped) {
    ctx.app.devMode = true;
    material("a&b", Colour{128, 0, 0, 255}, {"x<1>.png", "y.png"});
    material("plain");
    m.dssAddMesh("m", 0);
    grid(1, 0);
    grid(1, 1, 1.0f);
    ASSERT_TRUE(writeSet(ctx, dir + "m.cmf"));
    // One <maps> block for the material with two maps, <maps/> for the other.
    EXPECT_TRUE(matchesGolden(readFile(dir + "m.template"), "escaped.template"));
}

}  // namespace
