// 3DS reader on files built byte by byte: each chunk case and setting.
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
};

std::string redMaterial(std::string_view name) {
    return material(matName(name) + colourBytes(0xA010, 10, 20, 30) + colourBytes(0xA020, 200, 0, 0) +
                    colourBytes(0xA030, 255, 255, 255) + percent(0xA040, 25) + percent(0xA041, 5) +
                    percent(0xA050, 40));
}

TEST(Read3DS, UnclaimedFacesJoinTheFilesOwnDefaultMaterialBesideTheNamedGroup) {
    Fixture f;
    std::string obj = object("Quad", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}) +
                                             faces({{0, 1, 2}, {0, 2, 3}}, faceGroup("Red", {1}))));
    ASSERT_TRUE(f.read(mainChunk(editor(redMaterial("Red") + material(matName("default")) + obj))));
    ASSERT_EQ(f.m.nFaceGrps, 2);
    EXPECT_EQ(f.group(0).MtlID, 0);
    ASSERT_EQ(f.group(0).nFcs, 1);
    EXPECT_EQ(f.group(0).FgFaces[0], 1);
    EXPECT_EQ(f.group(1).MtlID, 1);  // the file's "default", matched without regard to case
    ASSERT_EQ(f.group(1).nFcs, 1);
    EXPECT_EQ(f.group(1).FgFaces[0], 0);
    EXPECT_EQ(f.m.nMaterials, 2);  // nothing synthesised
    EXPECT_EQ(f.mesh(0).num_FaceGrps, 2);
    EXPECT_EQ(f.m.collapseId(3), -1);  // no level of detail: no vertex collapses
}

TEST(Read3DS, FloatColoursAndPercentagesOfOtherExportersAreRead) {
    Fixture f;
    std::string m = material(matName("F") + colourFloats(0xA020, 1.0f, 0.5f, 0.0f) + percentFloat(0xA040, 0.3f) +
                             percentFloat(0xA050, 0.5f)) +
                    // Components that round past the byte range are clamped.
                    material(matName("G") + colourFloats(0xA020, 1.002f, -0.01f, 0.999f));
    ASSERT_TRUE(f.read(mainChunk(editor(m))));
    EXPECT_EQ(f.mtl(0).diffuse, (Colour{255, 128, 0, 0}));
    EXPECT_EQ(f.mtl(1).diffuse, (Colour{255, 0, 255, 0}));
    EXPECT_NEAR(f.mtl(0).shininess, 30.0f, 1e-4);
    EXPECT_NEAR(f.mtl(0).transparency, 50.0f, 1e-4);
}

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

TEST(Read3DS, UnknownMaterialIsToldOnceAndGetsTheDefault) {
    Fixture f;
    std::string a = object("A", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + faces({{0, 1, 2}}, faceGroup("Nowhere", {0}))));
    std::string b = object("B", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + faces({{0, 1, 2}}, faceGroup("NOWHERE", {0}))));
    ASSERT_TRUE(f.read(mainChunk(editor(redMaterial("Red") + a + b))));
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].text, "Cannot find material(Nowhere)");
    ASSERT_EQ(f.m.nMaterials, 2);
    EXPECT_EQ(f.mtl(1).name, "Default");
    EXPECT_EQ(f.group(0).MtlID, 1);
    EXPECT_EQ(f.group(1).MtlID, 1);
}

TEST(Read3DS, EmptyFaceGroupIsShown) {
    Fixture f;
    std::string obj = object("T", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + faces({{0, 1, 2}}, faceGroup("Red", {}))));
    ASSERT_TRUE(f.read(mainChunk(editor(redMaterial("Red") + obj))));
    EXPECT_TRUE(f.ui.sawBox("Zero faces in FaceGroup 0"));
    ASSERT_EQ(f.m.nFaceGrps, 2);  // the empty one, then the default group taking the face
    EXPECT_EQ(f.group(0).nFcs, 0);
    EXPECT_EQ(f.group(1).nFcs, 1);
}

TEST(Read3DS, TextureVerticesAreFlippedByTheSettingAndAShortListIsShown) {
    for (bool flip : {true, false}) {
        Fixture f;
        f.ctx.settings.flip_3DS_UV_Vs = flip;
        std::string obj = object("T", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) +
                                              texVerts({{0.5f, 0.25f}, {1, 0}, {0, 1}}) + faces({{0, 1, 2}})));
        ASSERT_TRUE(f.read(mainChunk(editor(obj))));
        EXPECT_EQ(f.mesh(0).num_UVsets, 1);
        ASSERT_EQ(f.vtx(0).num_UVs, 1);
        EXPECT_FLOAT_EQ(f.vtx(0).UVs[0].u, 0.5f);
        EXPECT_FLOAT_EQ(f.vtx(0).UVs[0].v, flip ? 0.75f : 0.25f);
        EXPECT_FLOAT_EQ(f.vtx(2).UVs[0].v, flip ? 0.0f : 1.0f);
        EXPECT_EQ(f.group(0).num_maps, 1);
    }
    // A short list leaves the rest at zero.
    Fixture f;
    f.ctx.settings.flip_3DS_UV_Vs = false;
    ASSERT_TRUE(f.read(mainChunk(editor(object("T", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) +
                                                            texVerts({{0.5f, 0.5f}}) + faces({{0, 1, 2}})))))));
    EXPECT_TRUE(f.ui.sawBox("Num tex verts (1) <> Verts (3)"));
    ASSERT_EQ(f.vtx(2).num_UVs, 1);
    EXPECT_FLOAT_EQ(f.vtx(2).UVs[0].u, 0.0f);
}

TEST(Read3DS, ObjectOriginMovesVerticesUnlessOffsetsAreIgnored) {
    for (bool ignore : {false, true}) {
        Fixture f;
        f.ctx.dbgLevel = 1;
        f.ctx.settings.ignore_3ds_ofs = ignore;
        std::string obj = object("T", trimesh(vertices({{10, 20, 30}, {11, 20, 30}, {10, 21, 30}}) +
                                              localAxis({10, 20, 30}) + faces({{0, 1, 2}})));
        ASSERT_TRUE(f.read(mainChunk(editor(obj))));
        if (ignore) {
            EXPECT_EQ(f.vtx(0).pos, (Vec3{10, 30, 20}));
            EXPECT_EQ(f.mesh(0).position, (Vec3{0, 0, 0}));
        } else {
            EXPECT_EQ(f.vtx(0).pos, (Vec3{0, 0, 0}));
            EXPECT_EQ(f.vtx(1).pos, (Vec3{1, 0, 0}));
            EXPECT_EQ(f.vtx(2).pos, (Vec3{0, 0, 1}));
            EXPECT_EQ(f.mesh(0).position, (Vec3{10, 30, 20}));
        }
        EXPECT_EQ(f.zup(0), (Vec3{10, 20, 30}));  // never moved
        EXPECT_TRUE(f.ui.sawLog(" Set Origin :  x:y:z: 10.00  30.00  20.00"));
    }
}

// ------------------------------------------------------------- keyframer

// Three objects whose origins sit at x = 1, 3 and 6 (file coordinates).
std::string threeObjects() {
    auto obj = [](const char* name, float x) {
        return object(name, trimesh(vertices({{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}}) + localAxis({x, 0, 0}) +
                                    faces({{0, 1, 2}})));
    };
    return obj("Base", 1) + obj("Arm", 3) + obj("Hand", 6);
}

TEST(Read3DSKeyframer, ParentsLinkMeshesAndPositionsBecomeRelative) {
    Fixture f;
    f.ctx.settings.ignore_3ds_ofs = false;
    // Node numbers in file order; Hand comes before its parent Arm.
    std::string kf = keyframer(node("Base", -1) + node("hand", 2) + node("Arm", 0));
    ASSERT_TRUE(f.read(mainChunk(editor(threeObjects()) + kf)));
    ASSERT_EQ(f.m.meshCount, 3);
    EXPECT_EQ(f.mesh(0).parent, -1);
    EXPECT_EQ(f.mesh(1).parent, 0);
    EXPECT_EQ(f.mesh(2).parent, 1);
    EXPECT_EQ(f.mesh(0).position, (Vec3{1, 0, 0}));
    EXPECT_EQ(f.mesh(1).position, (Vec3{2, 0, 0}));
    EXPECT_EQ(f.mesh(2).position, (Vec3{3, 0, 0}));
    // Vertices are not moved by the hierarchy.
    EXPECT_EQ(f.vtx(6).pos, (Vec3{0, 0, 0}));
}

TEST(Read3DSKeyframer, BrokenParentNumbersNeverLoopOrIndexOutside) {
    Fixture f;
    // Arm -> Hand -> Arm is a cycle; a parent number 99 names no node; a
    // camera node of the same name as a mesh is not that mesh.
    std::string kf = keyframer(node("Base", 99) + node("Arm", 2) + node("Hand", 1) + node("Base", -1, -1, 0xB003));
    ASSERT_TRUE(f.read(mainChunk(editor(threeObjects()) + kf)));
    EXPECT_EQ(f.mesh(0).parent, -1);
    EXPECT_TRUE(f.ui.sawLog("parent number 99 names no node"));
    // One of the two links is made, the one that would close the cycle is refused.
    EXPECT_TRUE((f.mesh(1).parent == 2) != (f.mesh(2).parent == 1));
    EXPECT_TRUE(f.ui.sawLog("would close a cycle"));
}

}  // namespace
