// 3DS files written by third-party tools (3ds Max, assimp's exporter):
// read into the store, then converted end to end and loaded back with the
// real Cal3D library.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/tds_reader.h"
#include "convert/context.h"
#include "convert/driver.h"
#include "core/scripted_ui.h"
#include "support/cal3d_check.h"
#include "support/test_support.h"

using namespace molv;

namespace {

struct Expect {
    const char* file;
    int meshes;
    int triangles;  // TRI_FACEL1 counts added up
    int vertices;   // TRI_VERTEXL counts added up
    int fileMaterials;
    bool synthesisedDefault;
};

// Counted by walking each file's chunks outside this project.
const Expect kFiles[] = {
    {"test1.3ds", 9, 108, 288, 3, false},
    {"fels.3ds", 1, 768, 386, 1, false},
    {"cubes_with_alpha.3DS", 5, 60, 130, 5, false},
    {"CameraRollAnimWithChildObject.3ds", 2, 24, 52, 0, true},
    {"spider_assimp.3ds", 19, 1368, 946, 6, false},
    {"cube_ply_assimp.3ds", 1, 12, 8, 1, false},
};

class Real3DS : public ::testing::TestWithParam<Expect> {};

std::string nameOf(const ::testing::TestParamInfo<Expect>& p) {
    std::string n = p.param.file;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

}  // namespace

TEST_P(Real3DS, ReadsEveryTriangleIntoAMaterialGroup) {
    const Expect& e = GetParam();
    ScriptedUI ui;
    Context ctx(ui);
    ASSERT_TRUE(Read3DS(ctx, test::dataPath(std::string("3ds/") + e.file)));
    const ModelStore& m = ctx.model;
    EXPECT_EQ(m.meshCount, e.meshes);
    EXPECT_EQ(m.ttlnum_Faces, e.triangles);
    EXPECT_EQ(m.ttlnum_Vertices, e.vertices);
    EXPECT_EQ(m.nMaterials, e.fileMaterials + (e.synthesisedDefault ? 1 : 0));
    // No damage, no unknown material: nothing to tell the user.
    for (auto& b : ui.boxes) ADD_FAILURE() << "box: " << b.text;
    std::int64_t grouped = 0;
    for (std::int32_t g = 0; g < m.nFaceGrps; ++g) {
        const FaceGroup& fg = m.FaceGrps[static_cast<std::size_t>(g)];
        grouped += fg.nFcs;
        EXPECT_LT(fg.MtlID, m.nMaterials);
    }
    EXPECT_EQ(grouped, e.triangles);
}

TEST_P(Real3DS, ConvertsToACal3dSetTheLibraryLoads) {
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const Expect& e = GetParam();
    const std::string dir = test::tempDir("3dsfile");
    const std::string src = dir + e.file;
    std::filesystem::copy_file(test::dataPath(std::string("3ds/") + e.file), src);
    ScriptedUI ui;
    Context ctx(ui);
    ctx.app.workdir = dir;
    ctx.logFileName = dir + "0molvconv.log";
    ASSERT_TRUE(convertFile(ctx, src, "")) << (ui.boxes.empty() ? std::string() : ui.boxes.back().text);
    const std::string base = src.substr(0, src.rfind('.'));
    auto info = test::loadCal3dSet(base);
    ASSERT_TRUE(info.ok()) << info.error;
    EXPECT_EQ(info.totalTriangles, e.triangles);
    EXPECT_TRUE(test::cal3dMatchesStore(ctx.model, info));
}

INSTANTIATE_TEST_SUITE_P(Files, Real3DS, ::testing::ValuesIn(kFiles), nameOf);

TEST(Real3DSDetail, Test1MaterialsAndGroups) {
    ScriptedUI ui;
    Context ctx(ui);
    ASSERT_TRUE(Read3DS(ctx, test::dataPath("3ds/test1.3ds")));
    const ModelStore& m = ctx.model;
    EXPECT_EQ(m.Materials[0].name, "2 - Default");
    EXPECT_EQ(m.Materials[0].ambient, (Colour{150, 150, 150, 0}));
    EXPECT_EQ(m.Materials[0].specular, (Colour{229, 229, 229, 0}));
    EXPECT_FLOAT_EQ(m.Materials[0].shininess, 10.0f);
    ASSERT_EQ(m.Materials[0].nMaps, 1);
    EXPECT_EQ(m.Materials[0].maps[0], "IMAGE1.JPG");
    EXPECT_EQ(m.Meshes[0].name, "Box01");
    EXPECT_EQ(m.Meshes[0].num_UVsets, 1);
    // Box01 uses "2 - Default".
    EXPECT_EQ(m.FaceGrps[0].MtlID, 0);
    EXPECT_EQ(m.FaceGrps[0].num_maps, 1);
}

TEST(Real3DSDetail, CameraParentLeavesTheChildBoxWithoutMeshParent) {
    ScriptedUI ui;
    Context ctx(ui);
    ASSERT_TRUE(Read3DS(ctx, test::dataPath("3ds/CameraRollAnimWithChildObject.3ds")));
    ASSERT_EQ(ctx.model.meshCount, 2);
    EXPECT_EQ(ctx.model.Meshes[0].parent, -1);
    EXPECT_EQ(ctx.model.Meshes[1].parent, -1);  // its parent node is the camera
    EXPECT_TRUE(ui.sawLog("face(s) in no material group"));
}

TEST(Real3DSDetail, AssimpExportKeepsFloatColoursAndItsDummyHierarchy) {
    ScriptedUI ui;
    Context ctx(ui);
    ASSERT_TRUE(Read3DS(ctx, test::dataPath("3ds/spider_assimp.3ds")));
    const ModelStore& m = ctx.model;
    // "Skin_1": diffuse 0.827 0.792 0.773 as floats.
    ASSERT_GE(m.nMaterials, 2);
    EXPECT_EQ(m.Materials[1].name, "Skin_1");
    EXPECT_EQ(m.Materials[1].diffuse, (Colour{211, 202, 197, 0}));
    EXPECT_EQ(m.Materials[1].ambient, (Colour{51, 51, 51, 0}));
    // Meshes hang under dummy nodes that are no meshes: no mesh parents.
    for (std::int32_t i = 0; i < m.meshCount; ++i) EXPECT_EQ(m.Meshes[static_cast<std::size_t>(i)].parent, -1);
}

TEST(Real3DSDetail, OffsetsMoveEveryObjectToItsOwnOrigin) {
    ScriptedUI ui;
    Context ctx(ui);
    ctx.settings.ignore_3ds_ofs = false;
    ASSERT_TRUE(Read3DS(ctx, test::dataPath("3ds/CameraRollAnimWithChildObject.3ds")));
    const Mesh& box = ctx.model.Meshes[0];
    // Box01's origin is (10.54, -0.85, 0) in the file, (x, z, y) in the store.
    EXPECT_NEAR(box.position.x, 10.5413f, 1e-3);
    EXPECT_NEAR(box.position.y, 0.0f, 1e-6);
    EXPECT_NEAR(box.position.z, -0.8547f, 1e-3);
    const Vertex& v = ctx.model.Vertices[static_cast<std::size_t>(box.vtx_ndx_stt)];
    EXPECT_NEAR(v.pos.x, v.zup_pos.x - 10.5413f, 1e-3);
    EXPECT_NEAR(v.pos.z, v.zup_pos.y + 0.8547f, 1e-3);
}
