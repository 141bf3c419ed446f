// Wavefront files written by other people's tools (see tests/data/obj/README)
// converted as a new user would convert them, each prop set then loaded by
// the Cal3D library; and the bundled example.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "formats/obj_reader.h"
#include "convert/context.h"
#include "convert/driver.h"
#include "core/scripted_ui.h"
#include "support/cal3d_check.h"
#include "support/test_support.h"
#include "util/fileio.h"

namespace molv {
namespace {

using test::dataPath;
using test::tempDir;

struct Case {
    const char* obj;
    std::vector<const char*> companions;  // libraries copied beside it
    int triangles;
    int submeshes;
    int materials;                    // the library's, plus "Default"
    std::vector<std::string> boxes;   // "@" stands for the folder
};

// Triangle and submesh counts were taken from the files with a separate
// count of face corners and of runs of f lines.
const Case kCases[] = {
    {"spider.obj", {"spider.mtl"}, 1368, 175, 6, {}},
    {"regr01.obj", {"regr01.mtl"}, 2710, 55, 13, {}},
    {"box_mat_with_spaces.obj", {"box_spaces.mtl"}, 12, 1, 13, {}},
    {"space_in_material_name.obj", {"space_in_material_name.mtl"}, 64, 1, 2,
     {"Unhandled Material parameter:(Tf 1 1 1)"}},
    {"concave_polygon.obj", {"concave_polygon.mtl"}, 64, 1, 2, {"Unhandled Material parameter:(Tf 1 1 1)"}},
    {"cube_usemtl.obj", {"cube_usemtl.mtl"}, 12, 12, 3, {"Material not found (mtl3)"}},
    {"regr_3429812.obj", {"regr_3429812.mtl"}, 4, 3, 2, {"Unhandled Material parameter:(Km 0.05)"}},
    {"empty_mat.obj", {"empty_mat.mtl"}, 256, 1, 2, {}},
    {"cube_mtllib_after_g.obj", {"cube_mtllib_after_g.mtl"}, 12, 1, 1,
     {"Cannot find material file: (@cube_mtllib_after_g.mat)", "Material not found (MyMaterial)"}},
    {"box_UTF16BE.obj", {}, 12, 1, 1, {}},
    {"box_longline.obj", {}, 944, 1, 1, {"Material not found (Defauli)"}},
    {"box_without_lineending.obj", {}, 12, 1, 1, {}},
    {"multiple_spaces.obj", {}, 1, 1, 1, {}},
    {"number_formats.obj", {}, 1, 1, 1, {}},
    {"testmixed.obj", {}, 12, 2, 1, {}},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.obj; }

struct RealWorld : ::testing::TestWithParam<Case> {};

std::string copyInto(const std::string& dir, const std::string& rel) {
    std::string name = std::filesystem::path(rel).filename().string();
    std::filesystem::copy_file(dataPath(rel), dir + name);
    return dir + name;
}

TEST_P(RealWorld, ConvertsAndLoadsInCal3d) {
    const Case& c = GetParam();
    std::string dir = tempDir("objreal");
    std::string src = copyInto(dir, std::string("obj/assimp/") + c.obj);
    for (const char* f : c.companions) copyInto(dir, std::string("obj/assimp/") + f);
    ScriptedUI ui;
    Context ctx(ui);
    ctx.app.configDir = ctx.app.workdir = dir;
    ctx.logFileName = dir + "0molvconv.log";
    ASSERT_TRUE(convertFile(ctx, src, ""));
    std::vector<std::string> boxes;
    for (auto& b : ui.boxes) boxes.push_back(b.text);
    std::vector<std::string> want;
    for (const std::string& b : c.boxes) {
        std::string t = b;
        if (auto at = t.find('@'); at != std::string::npos) t.replace(at, 1, dir);
        want.push_back(t);
    }
    EXPECT_EQ(boxes, want);
    EXPECT_EQ(ctx.model.ttlnum_Faces, c.triangles);
    EXPECT_EQ(ctx.model.nMaterials, c.materials);

    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    std::string base = src.substr(0, src.size() - 4);
    auto info = test::loadCal3dSet(base);
    ASSERT_TRUE(info.ok()) << info.error;
    EXPECT_TRUE(test::cal3dMatchesStore(ctx.model, info));
    EXPECT_EQ(info.totalTriangles, c.triangles);
    EXPECT_EQ(info.submeshes.size(), static_cast<std::size_t>(c.submeshes));
    EXPECT_EQ(info.materials.size(), static_cast<std::size_t>(c.materials));
    for (const auto& s : info.submeshes) {
        EXPECT_GE(s.materialThreadId, 0);
        EXPECT_LT(s.materialThreadId, c.materials);
    }
}

INSTANTIATE_TEST_SUITE_P(AssimpTestModels, RealWorld, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) {
                             std::string n = i.param.obj;
                             n = n.substr(0, n.size() - 4);
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

// What the reader makes of particular files, before any fix-up.
struct RealWorldStore : ::testing::Test {
    ScriptedUI ui;
    Context ctx{ui};
    ModelStore& m = ctx.model;
    std::string dir = tempDir("objstore");
    bool read(const char* name, std::vector<const char*> companions = {}) {
        std::string src = copyInto(dir, std::string("obj/assimp/") + name);
        for (const char* f : companions) copyInto(dir, std::string("obj/assimp/") + f);
        return LoadObj(ctx, src).ok();
    }
};

TEST_F(RealWorldStore, MilkShapeSpiderKeepsItsMaterialsAndTextureNames) {
    ASSERT_TRUE(read("spider.obj", {"spider.mtl"}));
    ASSERT_EQ(m.nMaterials, 6);
    const char* names[] = {"Skin", "Brusttex", "HLeibTex", "BeinTex", "Augentex", "Default"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(m.Materials[static_cast<std::size_t>(i)].name, names[i]);
    ASSERT_EQ(m.Materials[0].nMaps, 1);
    EXPECT_EQ(m.Materials[0].maps[0], ".\\wal67ar_small.jpg");
    EXPECT_EQ(m.Materials[0].diffuse, (Colour{211, 202, 197, 0}));
    EXPECT_EQ(m.ttlnum_Faces, 1368);
    // 762 positions, and the copies that carry a second texture vertex.
    EXPECT_GT(m.ttlnum_Vertices, 762);
    for (int g = 0; g < m.nFaceGrps; ++g) EXPECT_EQ(m.FaceGrps[static_cast<std::size_t>(g)].num_maps, 1);
}

TEST_F(RealWorldStore, MaterialNameWithBlanksIsMatchedWhole) {
    ASSERT_TRUE(read("box_mat_with_spaces.obj", {"box_spaces.mtl"}));
    EXPECT_EQ(m.Materials[0].name, "Material name with many, many spaces");
    ASSERT_EQ(m.nFaceGrps, 1);
    EXPECT_EQ(m.FaceGrps[0].MtlID, 0);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(RealWorldStore, NumberFormatsOfTheFormat) {
    ASSERT_TRUE(read("number_formats.obj"));
    ASSERT_EQ(m.ttlnum_Vertices, 15);
    auto pos = [&](int i) { return m.Vertices[static_cast<std::size_t>(i)].pos; };
    EXPECT_EQ(pos(1), (Vec3{1, 2, -3}));
    EXPECT_EQ(pos(2), (Vec3{1, 2, -3}));
    EXPECT_EQ(pos(3), (Vec3{-1, -2, 3}));
    EXPECT_EQ(pos(4), (Vec3{100, 20, -310}));
    EXPECT_EQ(pos(7).x, 100);  // "3.1+e2" is not a number: 0
    EXPECT_EQ(pos(7).z, 0);
    EXPECT_EQ(pos(10).x, 0.01f);
    EXPECT_EQ(pos(13), (Vec3{1e10f, 20, -3.1e10f}));
}

TEST_F(RealWorldStore, Utf16FileReadsLikeItsEightBitTwin) {
    ASSERT_TRUE(read("box_UTF16BE.obj"));
    ScriptedUI ui2;
    Context plain(ui2);
    ASSERT_TRUE(LoadObj(plain, copyInto(dir, "obj/assimp/box_without_lineending.obj")).ok());
    ASSERT_EQ(m.ttlnum_Vertices, 8);
    ASSERT_EQ(m.ttlnum_Faces, 12);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(m.Vertices[static_cast<std::size_t>(i)].pos, plain.model.Vertices[static_cast<std::size_t>(i)].pos);
    for (int f = 0; f < 12; ++f)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(m.VFaces[static_cast<std::size_t>(f)].vtx[k], plain.model.VFaces[static_cast<std::size_t>(f)].vtx[k]);
}

TEST(BundledExample, StoolConvertsWithItsTexturesFound) {
    std::string dir = tempDir("stool");
    for (const char* f : {"stool.obj", "stool.mtl", "stool_seat.bmp", "stool_leg.bmp"})
        copyInto(dir, std::string("../../examples/") + f);
    ScriptedUI ui;
    Context ctx(ui);
    ctx.app.configDir = ctx.app.workdir = dir;
    ctx.logFileName = dir + "0molvconv.log";
    ASSERT_TRUE(convertFile(ctx, dir + "stool.obj", ""));
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
    EXPECT_EQ(ctx.model.ttlnum_Faces, 108);
    EXPECT_TRUE(ui.sawLog("( texture file: stool_seat.bmp )"));
    EXPECT_TRUE(ui.sawLog("( texture file: stool_leg.bmp )"));
    EXPECT_FALSE(ui.sawLog("Not Found"));
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    auto info = test::loadCal3dSet(dir + "stool");
    ASSERT_TRUE(info.ok()) << info.error;
    EXPECT_TRUE(test::cal3dMatchesStore(ctx.model, info));
    EXPECT_EQ(info.totalTriangles, 108);
    EXPECT_EQ(info.submeshes.size(), 9u);  // a seat, four legs, four feet
    ASSERT_EQ(info.materials.size(), 4u);  // seat, leg, rubber, "Default"
    EXPECT_EQ(info.materials[0].maps, std::vector<std::string>{"stool_seat.bmp"});
    EXPECT_EQ(info.materials[1].maps, std::vector<std::string>{"stool_leg.bmp"});
    EXPECT_TRUE(info.materials[2].maps.empty());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(info.submeshes[static_cast<std::size_t>(i)].mapCount, 1);
    for (int i = 5; i < 9; ++i) EXPECT_EQ(info.submeshes[static_cast<std::size_t>(i)].mapCount, 0);
    // Its largest extent, the 46 cm height, is resized to 100.
    EXPECT_NEAR(ctx.model.maxSpan, 100, 1e-3);
}

}  // namespace
}  // namespace molv
