// 3DS reader where a case's listing cannot show it (cases/tds_* pin the
// stores and messages): texture folders, the settings, mesh positions.
#include <gtest/gtest.h>

#include "formats/tds_reader.h"
#include "support/harness.h"
#include "support/tds_build.h"
#include "support/test_support.h"

using namespace molv;
using namespace molv::test3ds;

namespace {

struct Fixture : test::TestContext {
    bool read(const std::string& bytes) { return test::read3dsBytes(ctx, bytes, "t.3ds").ok(); }
    bool readCase(const std::string& name) { return read(test::readFile(test::dataPath("cases/" + name))); }
};

TEST(Read3DS, TexturesAreOnlyLookedForInTheModelsFolderAndASecondMapIsWarnedAbout) {
    Fixture f;
    const std::string dir = test::tempDir("3ds-tex"), elsewhere = test::tempDir("3ds-elsewhere");
    test::writeFile(dir + "wood.jpg", "x");
    test::writeFile(elsewhere + "far.jpg", "x");
    f.ctx.currentFolder = dir;
    ASSERT_TRUE(f.read(mainChunk(editor(material(matName("A") + texMap("WOOD\\..\\wood.jpg")) +
                                        material(matName("B") + texMap(elsewhere + "far.jpg")) +
                                        material(matName("C") + texMap("/etc/passwd")) +
                                        material(matName("D") + texMap("one.jpg") + texMap("two.jpg"))))));
    EXPECT_FALSE(f.ui.sawLog("Texture file not found: WOOD"));  // taken by its file name, which is there
    EXPECT_TRUE(f.ui.sawLog("*** Texture file not found: " + elsewhere + "far.jpg ***"));
    EXPECT_TRUE(f.ui.sawLog("*** Texture file not found: /etc/passwd ***"));
    EXPECT_EQ(f.mtl(1).maps[0], elsewhere + "far.jpg");  // the name itself is kept as written
    ASSERT_EQ(f.mtl(3).nMaps, 2);
    EXPECT_EQ(f.mtl(3).maps[0], "one.jpg");
    EXPECT_EQ(f.mtl(3).maps[1], "two.jpg");
    EXPECT_TRUE(f.ui.sawLog("Warning 101: More than one Map in a material: (one.jpg) (two.jpg) "));
    EXPECT_TRUE(f.ui.sawLog("*** Texture file not found: one.jpg ***"));
}

// The case's listing has them flipped, as by default.
TEST(Read3DS, TextureVerticesAreKeptWhenTheFlipIsOff) {
    Fixture f;
    f.ctx.settings.flip_3DS_UV_Vs = false;
    ASSERT_TRUE(f.readCase("tds_texture_vertices.3ds"));
    EXPECT_FLOAT_EQ(f.vtx(0).UVs[0].u, 0.5f);
    EXPECT_FLOAT_EQ(f.vtx(0).UVs[0].v, 0.25f);
    EXPECT_FLOAT_EQ(f.vtx(2).UVs[0].v, 1.0f);
}

TEST(Read3DS, ObjectOriginMovesVerticesUnlessOffsetsAreIgnored) {
    for (bool ignore : {false, true}) {
        Fixture f;
        f.ctx.dbgLevel = 1;
        f.ctx.settings.ignore_3ds_ofs = ignore;
        ASSERT_TRUE(f.readCase("tds_origin.3ds"));
        if (ignore) {
            EXPECT_EQ(f.mesh(0).position, (Vec3{0, 0, 0}));  // the case's listing has the vertices
        } else {
            EXPECT_EQ(f.vtx(0).pos, (Vec3{0, 0, 0}));
            EXPECT_EQ(f.vtx(1).pos, (Vec3{1, 0, 0}));
            EXPECT_EQ(f.vtx(2).pos, (Vec3{0, 0, 1}));
            EXPECT_EQ(f.mesh(0).position, (Vec3{10, 30, 20}));
        }
        EXPECT_EQ(f.zup(0), (Vec3{10, 20, 30}));  // never moved
        EXPECT_TRUE(f.ui.sawLog(" Set Origin :  x:y:z: 10.00  30.00  20.00"));
        EXPECT_EQ(f.m.collapseId(2), -1);  // no level of detail: no vertex collapses
    }
}

// Three objects whose origins sit at x = 1, 3 and 6 (file coordinates), their
// keyframer nodes in file order; Hand comes before its parent Arm.
TEST(Read3DSKeyframer, ParentsLinkMeshesAndPositionsBecomeRelative) {
    Fixture f;
    f.ctx.settings.ignore_3ds_ofs = false;
    ASSERT_TRUE(f.readCase("tds_hierarchy.3ds"));
    ASSERT_EQ(f.m.meshCount, 3);  // the case's listing pins the parents
    EXPECT_EQ(f.mesh(0).position, (Vec3{1, 0, 0}));
    EXPECT_EQ(f.mesh(1).position, (Vec3{2, 0, 0}));
    EXPECT_EQ(f.mesh(2).position, (Vec3{3, 0, 0}));
    // Vertices are not moved by the hierarchy.
    EXPECT_EQ(f.vtx(6).pos, (Vec3{0, 0, 0}));
}

}  // namespace
