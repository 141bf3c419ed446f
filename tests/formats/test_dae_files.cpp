// Collada documents written by third-party tools (Maya, 3ds Max, Blender,
// Cinema 4D, Lightwave, the FBX exporter, assimp's exporter, pycollada):
// read into the store, then converted end to end and loaded back with the
// real Cal3D library.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "formats/dae_reader.h"
#include "shell/context.h"
#include "shell/driver.h"
#include "shell/scripted_ui.h"
#include "support/cal3d_check.h"
#include "support/test_support.h"

using namespace molv;

namespace {

struct Expect {
    const char* file;
    int meshes;
    int triangles;  // as the visual scene places them, every instance counted
    int materials;
    // What the document gives reason to tell the user; nothing else may show.
    const char* box;
    int boxes;
};

// Triangle counts taken with pycollada (see tests/data/dae/README.md).
const Expect kFiles[] = {
    {"cube_UTF16LE.dae", 1, 12, 1, "", 0},
    {"cube_UTF8BOM.dae", 1, 12, 1, "", 0},
    {"cube_emptyTags.dae", 1, 12, 0, "", 0},
    {"cube_tristrips.dae", 1, 12, 1, "", 0},
    {"cube_xmlspecialchars.dae", 1, 12, 1, "", 0},
    {"cube_with_2UVs.DAE", 1, 12, 2, "", 0},
    {"ConcavePolygon.dae", 1, 64, 1, "", 0},
    {"box_nested_animation.dae", 1, 12, 1, "", 0},
    {"regr01.dae", 1, 172, 7, "", 0},
    {"Cinema4D.dae", 3, 1296, 1, "Zero UV span", 3},
    {"teapot_instancenodes.DAE", 2, 2048, 1, "", 0},
    {"kwxport_test_vcolors.dae", 1, 12, 3, "Unexpected Triangles Input (COLOR)", 1},
    {"library_animation_clips.dae", 1, 52, 1, "Unexpected Triangles Input (COLOR)", 1},
    {"lights.dae", 0, 0, 0, "", 0},
    {"earthCylindrical.DAE", 2, 1920, 1, "", 0},
    {"sphere.dae", 1, 760, 1, "", 0},
    {"cube_assimp.dae", 2, 12, 3, "", 0},
    {"boxtextured_assimp.dae", 1, 12, 2, "", 0},
    {"test1_assimp.dae", 9, 108, 3, "", 0},
    {"pycollada_scene.dae", 3, 16, 2, "", 0},
};

class RealDae : public ::testing::TestWithParam<Expect> {};

std::string nameOf(const ::testing::TestParamInfo<Expect>& p) {
    std::string n = p.param.file;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

struct Loaded {
    ScriptedUI ui;
    Context ctx{ui};
    bool ok = false;
};

std::unique_ptr<Loaded> loadFile(const std::string& file) {
    auto l = std::make_unique<Loaded>();
    l->ctx.app.srcFile = file;
    l->ctx.app.modelName = file.substr(0, file.find('.'));
    l->ok = LoadDae(l->ctx, test::dataPath("dae/" + file)).ok();
    return l;
}

struct Box3 {
    Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
};

// Extents of the positions as the document gives them (zup_pos keeps the
// document's axes for Z_UP documents).
Box3 zupExtents(const ModelStore& m) {
    Box3 b;
    for (std::int32_t i = 0; i < m.ttlnum_Vertices; ++i) {
        const Vec3& p = m.Vertices[static_cast<std::size_t>(i)].zup_pos;
        for (int k = 0; k < 3; ++k) {
            b.lo[k] = std::min(b.lo[k], p[k]);
            b.hi[k] = std::max(b.hi[k], p[k]);
        }
    }
    return b;
}

void expectBox(const Box3& b, Vec3 lo, Vec3 hi, float tol) {
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(b.lo[k], lo[k], tol) << "axis " << k;
        EXPECT_NEAR(b.hi[k], hi[k], tol) << "axis " << k;
    }
}

}  // namespace

TEST_P(RealDae, ReadsEveryPlacedTriangle) {
    const Expect& e = GetParam();
    auto l = loadFile(e.file);
    ASSERT_TRUE(l->ok) << (l->ui.boxes.empty() ? std::string() : l->ui.boxes.back().text);
    const ModelStore& m = l->ctx.model;
    EXPECT_EQ(m.meshCount, e.meshes);
    EXPECT_EQ(m.ttlnum_Faces, e.triangles);
    EXPECT_EQ(m.nMaterials, e.materials);
    int expectedBoxes = 0;
    for (auto& b : l->ui.boxes) {
        if (e.boxes > 0 && b.text.find(e.box) != std::string::npos)
            ++expectedBoxes;
        else
            ADD_FAILURE() << "box: " << b.text;
    }
    EXPECT_EQ(expectedBoxes, e.boxes);
    // Every face is in exactly one group and names a vertex of its own mesh.
    std::int64_t grouped = 0;
    for (std::int32_t g = 0; g < m.nFaceGrps; ++g) grouped += m.FaceGrps[static_cast<std::size_t>(g)].nFcs;
    EXPECT_EQ(grouped, e.triangles);
    for (std::int32_t mi = 0; mi < m.meshCount; ++mi) {
        const Mesh& me = m.Meshes[static_cast<std::size_t>(mi)];
        for (std::int32_t f = me.face_ndx_stt; f <= me.face_ndx_end; ++f)
            for (int k = 0; k < 3; ++k) {
                std::int32_t v = m.VFaces[static_cast<std::size_t>(f)].vtx[k];
                ASSERT_GE(v, me.vtx_ndx_stt);
                ASSERT_LE(v, me.vtx_ndx_end);
            }
    }
}

TEST_P(RealDae, ConvertsToACal3dSetTheLibraryLoads) {
    const Expect& e = GetParam();
    const std::string dir = test::tempDir("daefile");
    const std::string src = dir + e.file;
    std::filesystem::copy_file(test::dataPath(std::string("dae/") + e.file), src);
    ScriptedUI ui;
    Context ctx(ui);
    ctx.app.workdir = dir;
    ctx.app.logFileName = dir + "0molvconv.log";
    const bool ok = convertFile(ctx, src, "");
    if (e.triangles == 0) {
        EXPECT_FALSE(ok);  // nothing to write is a failure, not an empty set
        return;
    }
    ASSERT_TRUE(ok) << (ui.boxes.empty() ? std::string() : ui.boxes.back().text);
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const std::string base = src.substr(0, src.rfind('.'));
    auto info = test::loadCal3dSet(base);
    ASSERT_TRUE(info.ok()) << info.error;
    EXPECT_EQ(info.totalTriangles, e.triangles);
    EXPECT_TRUE(test::cal3dMatchesStore(ctx.model, info));
}

INSTANTIATE_TEST_SUITE_P(Files, RealDae, ::testing::ValuesIn(kFiles), nameOf);

// --- Placement: extents of the placed geometry, as pycollada computes them ---

TEST(RealDaeDetail, NodeMatricesPlaceEachObject) {
    auto l = loadFile("test1_assimp.dae");
    ASSERT_TRUE(l->ok);
    expectBox(zupExtents(l->ctx.model), {-10.343f, -0.19416f, -10.155f}, {9.8509f, 10.23f, 10.248f}, 2e-3f);
}

TEST(RealDaeDetail, InstanceNodePlacesTheTeapotTwice) {
    auto l = loadFile("teapot_instancenodes.DAE");
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->ctx.model;
    ASSERT_EQ(m.meshCount, 2);
    EXPECT_EQ(m.Meshes[0].num_Faces, 1024);
    EXPECT_EQ(m.Meshes[1].num_Faces, 1024);
    expectBox(zupExtents(m), {-189.91f, -40.955f, 0.0f}, {70.821f, 48.697f, 68.568f}, 0.02f);
}

TEST(RealDaeDetail, NestedTranslateRotateScale) {
    auto l = loadFile("pycollada_scene.dae");
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->ctx.model;
    expectBox(zupExtents(m), {-2, 0, 0}, {11, 2, 7}, 1e-4f);
    // pyr1 is moved by (10, 0, 0): its apex (0.5, 0.5, 1) lands at (10.5, 0.5, 1).
    const Vertex& apex = m.Vertices[static_cast<std::size_t>(m.Meshes[0].vtx_ndx_stt + 4)];
    EXPECT_NEAR(apex.zup_pos.x, 10.5f, 1e-5);
    EXPECT_NEAR(apex.zup_pos.y, 0.5f, 1e-5);
    EXPECT_NEAR(apex.zup_pos.z, 1.0f, 1e-5);
    // pyr2: scaled by 2, turned 90 degrees about z, lifted by 5.
    const Vertex& apex2 = m.Vertices[static_cast<std::size_t>(m.Meshes[1].vtx_ndx_stt + 4)];
    EXPECT_NEAR(apex2.zup_pos.x, -1.0f, 1e-5);
    EXPECT_NEAR(apex2.zup_pos.y, 1.0f, 1e-5);
    EXPECT_NEAR(apex2.zup_pos.z, 7.0f, 1e-5);
    // Z_UP: the store is y-up.
    EXPECT_NEAR(apex2.pos.y, 7.0f, 1e-5);
    EXPECT_NEAR(apex2.pos.z, 1.0f, 1e-5);
}

TEST(RealDaeDetail, YUpDocumentStaysUpright) {
    auto l = loadFile("cube_assimp.dae");
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->ctx.model;
    // The first position (-1, -1, 1) of a Y_UP document: y stays up, z turns
    // to the store's back axis.
    const Vertex& v = m.Vertices[0];
    EXPECT_EQ(v.pos, (Vec3{-1, -1, -1}));
    EXPECT_EQ(v.zup_pos, (Vec3{-1, -1, -1}));
    const Vertex& top = m.Vertices[2];  // (1, 1, 1)
    EXPECT_EQ(top.pos, (Vec3{1, 1, -1}));
    EXPECT_EQ(top.zup_pos, (Vec3{1, -1, 1}));
}

// --- Materials --------------------------------------------------------------------

TEST(RealDaeDetail, SameSymbolBoundPerInstance) {
    auto l = loadFile("cube_assimp.dae");
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->ctx.model;
    ASSERT_EQ(m.nFaceGrps, 2);
    EXPECT_EQ(m.FaceGrps[0].MatlSymbol, "defaultMaterial");
    EXPECT_EQ(m.FaceGrps[1].MatlSymbol, "defaultMaterial");
    EXPECT_EQ(m.Materials[static_cast<std::size_t>(m.FaceGrps[0].MtlID)].name, "wood");
    EXPECT_EQ(m.Materials[static_cast<std::size_t>(m.FaceGrps[1].MtlID)].name, "red");
    const Material& wood = m.Materials[1];
    EXPECT_EQ(wood.diffuse, (Colour{255, 255, 255, 0}));
    EXPECT_EQ(wood.ambient, (Colour{255, 255, 255, 0}));
    EXPECT_EQ(wood.specular, (Colour{26, 26, 26, 0}));
    EXPECT_FLOAT_EQ(wood.shininess, 32);
    ASSERT_EQ(wood.nMaps, 1);
    EXPECT_EQ(wood.maps[0], "cube_assimp_wood.png");
    const Material& red = m.Materials[2];
    EXPECT_EQ(red.diffuse, (Colour{255, 0, 0, 0}));
    EXPECT_EQ(red.ambient, (Colour{26, 0, 0, 0}));
    EXPECT_FLOAT_EQ(red.transparency, 0.5f);
    EXPECT_EQ(red.nMaps, 0);
    EXPECT_EQ(m.Materials[0].use_count, 0);  // DefaultMaterial: bound by nobody
}

TEST(RealDaeDetail, EffectsBeforeMaterialsAndImagesAfterThem) {
    auto l = loadFile("pycollada_scene.dae");
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->ctx.model;
    ASSERT_EQ(m.nMaterials, 2);
    const Material& brick = m.Materials[0];
    EXPECT_EQ(brick.name, "brick-mat");
    EXPECT_EQ(brick.diffuse, (Colour{255, 255, 255, 0}));
    EXPECT_EQ(brick.specular, (Colour{76, 76, 76, 0}));  // 0.3 x 255 is just below 76.5
    EXPECT_FLOAT_EQ(brick.shininess, 20);
    ASSERT_EQ(brick.nMaps, 1);
    EXPECT_EQ(brick.maps[0], "pycollada_scene_brick wall.png");
    EXPECT_EQ(m.Materials[1].diffuse, (Colour{51, 102, 230, 0}));
    // Both pyramids bind brickref and plainref; the quads plainref.
    std::vector<std::string> bound;
    for (std::int32_t g = 0; g < m.nFaceGrps; ++g)
        bound.push_back(m.Materials[static_cast<std::size_t>(m.FaceGrps[static_cast<std::size_t>(g)].MtlID)].name);
    EXPECT_EQ(bound, (std::vector<std::string>{"brick-mat", "plain-mat", "brick-mat", "plain-mat", "plain-mat"}));
}

TEST(RealDaeDetail, OneLineDocumentWithSixMaterialGroups) {
    auto l = loadFile("regr01.dae");
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->ctx.model;
    ASSERT_EQ(m.nFaceGrps, 6);
    std::vector<std::string> bound;
    for (std::int32_t g = 0; g < m.nFaceGrps; ++g)
        bound.push_back(m.Materials[static_cast<std::size_t>(m.FaceGrps[static_cast<std::size_t>(g)].MtlID)].name);
    EXPECT_EQ(bound, (std::vector<std::string>{"Mur", "Vindue", "Doer", "Tag", "Fundament", "Vindskede"}));
    const Material& vindue = m.Materials[2];
    EXPECT_FLOAT_EQ(vindue.transparency, 0.4f);
    ASSERT_EQ(vindue.nMaps, 1);
    EXPECT_EQ(vindue.maps[0], "regr01_transp.png");
    // "Material_001" is bound by the scene but used by no triangles.
    EXPECT_TRUE(l->ui.sawLog("Failed to Bind instance_material symbol Material_001 to target Material_001"));
}

TEST(RealDaeDetail, DecimalCommasAreNumbers) {
    auto l = loadFile("earthCylindrical.DAE");
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->ctx.model;
    for (auto& line : l->ui.log) EXPECT_EQ(line.find("not numbers"), std::string::npos) << line;
    // First position "0,000000 0,000000 34,693176" of a sphere moved by
    // (-7,589569 -14,885468 0) and turned 147,42 degrees about z.
    EXPECT_NEAR(m.Vertices[0].zup_pos.x, -7.589569f, 1e-4);
    EXPECT_NEAR(m.Vertices[0].zup_pos.y, -14.885468f, 1e-4);
    EXPECT_NEAR(m.Vertices[0].zup_pos.z, 34.693176f, 1e-4);
    EXPECT_EQ(m.Materials[0].ambient, (Colour{255, 255, 255, 0}));  // diffuse texture
    ASSERT_EQ(m.Materials[0].nMaps, 1);
    EXPECT_EQ(m.Materials[0].maps[0], "earthCylindrical_EarthCylindric.jpg");
}

TEST(RealDaeDetail, EntitiesInIdsAndUrls) {
    auto l = loadFile("cube_xmlspecialchars.dae");
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->ctx.model;
    EXPECT_EQ(m.Meshes[0].name, "\"&<box-lib>&\"");
    EXPECT_EQ(m.FaceGrps[0].MtlID, 0);
    EXPECT_EQ(m.Materials[0].use_count, 1);
}

TEST(RealDaeDetail, Utf16AndUtf8CopiesReadAlike) {
    auto a = loadFile("cube_UTF16LE.dae");
    auto b = loadFile("cube_UTF8BOM.dae");
    ASSERT_TRUE(a->ok);
    ASSERT_TRUE(b->ok);
    const ModelStore& ma = a->ctx.model;
    const ModelStore& mb = b->ctx.model;
    ASSERT_EQ(ma.ttlnum_Vertices, mb.ttlnum_Vertices);
    for (std::int32_t i = 0; i < ma.ttlnum_Vertices; ++i)
        EXPECT_EQ(ma.Vertices[static_cast<std::size_t>(i)].pos, mb.Vertices[static_cast<std::size_t>(i)].pos);
    ASSERT_EQ(ma.ttlnum_Faces, mb.ttlnum_Faces);
    for (std::int32_t f = 0; f < ma.ttlnum_Faces; ++f)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(ma.VFaces[static_cast<std::size_t>(f)].vtx[k], mb.VFaces[static_cast<std::size_t>(f)].vtx[k]);
}

TEST(RealDaeDetail, TextureCoordinatesFromSourcesWithoutUvInTheirIds) {
    auto l = loadFile("cube_with_2UVs.DAE");
    ASSERT_TRUE(l->ok);
    const ModelStore& m = l->ctx.model;
    // Set 1 of the two sets, three numbers per coordinate: every corner of
    // the 12 triangles has its own texture coordinate.
    EXPECT_EQ(m.ttlnum_Vertices, 36);
    EXPECT_EQ(m.FaceGrps[0].num_maps, 1);
    for (std::int32_t i = 0; i < m.ttlnum_Vertices; ++i) {
        const Vertex& v = m.Vertices[static_cast<std::size_t>(i)];
        EXPECT_EQ(v.num_UVs, 1);
        EXPECT_GE(v.uv_id, 0);
    }
}
