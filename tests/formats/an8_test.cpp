// The Anim8or writer's exact text for small stores, and the Anim8or reader's
// store contents: points, fans, several meshes, texture coordinates,
// materials, and files larger than 16-bit numbers hold.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "support/harness.h"
#include "support/test_support.h"

namespace molv {
namespace {

using A3 = std::array<int, 3>;

struct An8Test : ::testing::Test, test::TestContext {
    std::int32_t vertex(float x, float y, float z) {
        std::int32_t n = -1;
        return m.AddVertex(n, x, y, z, x, z, y);
    }
    // A triangle as a reader adds it (the store keeps the corners reversed).
    void tri(std::int32_t group, std::int32_t a, std::int32_t b, std::int32_t c) {
        const std::int32_t global = m.ttlnum_Faces;
        m.AddFace(0, 0, a, b, c);
        m.AddFaceToGroup(0, group, m.FaceGrps[static_cast<std::size_t>(group)].num_maps > 0, global, global);
    }
    std::string written(const std::string& object = "model") { return buildAn8(ctx, object); }
    bool read(std::string_view text) { return test::readAn8Text(ctx, text, "m.an8").ok(); }
};

// CR LF after each line, as the writer ends them.
std::string crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// The expected text is kept with LF line ends; the writer ends lines with CR LF.
void expectWritten(const char* golden, const std::string& got) {
    const std::string want = crlf(test::readFile(test::dataPath(std::string("formats/") + golden)));
    ASSERT_FALSE(want.empty()) << golden;
    EXPECT_EQ(want, got) << test::firstDifference(want, got);
}

// --- writer: exact texts -------------------------------------------------

TEST_F(An8Test, UntexturedQuadGolden) {
    m.dssAddMesh("quad", 0);
    const std::int32_t paint = m.AddMaterial("paint");
    Material& mt = m.Materials[0];
    mt.ambient = {51, 51, 51, 255};
    mt.diffuse = {178, 178, 178, 255};
    mt.specular = {255, 255, 255, 255};
    mt.shininess = 3.2f;
    m.AddFaceGroup(false, paint, 0);
    const std::int32_t v0 = vertex(0, 0, 1), v1 = vertex(1, 0, 1), v2 = vertex(1, 1, 1), v3 = vertex(0, 1, 1);
    tri(0, v0, v1, v2);
    tri(0, v0, v2, v3);
    expectWritten("an8_quad_written.an8", written("quad"));
}

TEST_F(An8Test, TexturedGroupWithTwoMapsAndAQuotedName) {
    m.dssAddMesh("m", 0);
    m.AddMaterial("unused");  // written all the same: material numbers stay the store's
    const std::int32_t wood = m.AddMaterial("wood");
    Material& mt = m.Materials[1];
    mt.diffuse = {255, 128, 0, 255};
    mt.shininess = 0;
    mt.nMaps = 2;
    mt.maps = {"C:\\maps\\wood \"old\".png", "grain.png"};
    m.AddFaceGroup(false, 0, 0);  // no faces: no mesh
    m.AddFaceGroup(true, wood, 0);
    std::int32_t v[5];
    const float uv[5][2] = {{0.25f, 0.75f}, {1, 0}, {1, 1}, {0, 1}, {0.5f, 0.5f}};
    for (int i = 0; i < 5; ++i) {
        v[i] = vertex(static_cast<float>(i), 0.5f, -2);
        m.SetVertexUV(0, v[i], i, UV{uv[i][0], uv[i][1]});
    }
    tri(1, v[0], v[1], v[2]);
    tri(1, v[2], v[3], v[4]);
    expectWritten("an8_textured_written.an8", written("a \"b\""));
}

TEST_F(An8Test, WriterKeepsEveryNumberAlignedAndExact) {
    // No materials; a point of a textured group without a pair; a value
    // that five decimals would round away; a group naming no material.
    m.dssAddMesh("m", 0);
    m.AddFaceGroup(true, -1, 0);
    m.FaceGrps[0].MtlID = 7;
    const std::int32_t a = vertex(1e-7f, 123456.79f, 0), b = vertex(0.1f, 0, 0), c = vertex(0, 0.1f, 0);
    m.SetVertexUV(0, a, 0, UV{0.5f, 0.5f});
    m.Vertices[static_cast<std::size_t>(b)].UVs.clear();
    m.SetVertexUV(0, c, 2, UV{1, 1});
    tri(0, a, b, c);
    const std::string text = written();
    EXPECT_NE(text.find("      /* 3 points, 1 faces, 3 uvCoords */\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("        (1e-07 123456.79 0) (0.1 0 0) (0 0.1 0)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("        (0.5 0.5) (0 1) (1 0)\r\n"), std::string::npos) << text;
    // The mesh names the plain material written for a store without any.
    EXPECT_NE(text.find("  material { \"Material_0\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("      material { \"Material_0\" }\r\n"), std::string::npos);
    EXPECT_EQ(text.find("Material_7"), std::string::npos);
}

TEST_F(An8Test, FourPointsEndTheTexcoordTextWithABlankLine) {
    m.dssAddMesh("m", 0);
    m.AddMaterial("x");
    m.AddFaceGroup(true, 0, 0);
    std::int32_t v[4];
    for (int i = 0; i < 4; ++i) {
        v[i] = vertex(static_cast<float>(i), 0, 0);
        m.SetVertexUV(0, v[i], i, UV{0, 0});
    }
    tri(0, v[0], v[1], v[2]);
    tri(0, v[0], v[2], v[3]);
    EXPECT_NE(written().find("      texcoords {\r\n        (0 1) (0 1) (0 1) (0 1)\r\n       \r\n      }\r\n"),
              std::string::npos);
}

// --- reader ---------------------------------------------------------------

// Other top-level chunks, a fan of six, two meshes, and no line end after
// the last brace.
TEST_F(An8Test, ReadsFansMeshesMaterialsAndTextureCopies) {
    ASSERT_TRUE(read(test::readFile(test::dataPath("formats/an8_two_meshes.an8"))));
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
    ASSERT_EQ(m.meshCount, 1);
    EXPECT_EQ(m.Meshes[0].name, "crown");
    EXPECT_EQ(m.nSubMeshes, 2);

    ASSERT_EQ(m.nMaterials, 2);
    EXPECT_EQ(mtl(0).name, "bark wood");
    EXPECT_EQ(mtl(0).ambient, (Colour{10, 20, 30, 0}));
    EXPECT_EQ(mtl(0).diffuse, (Colour{255, 0, 128, 0}));  // clamped and rounded
    EXPECT_EQ(mtl(0).specular, (Colour{1, 2, 3, 0}));
    EXPECT_FLOAT_EQ(mtl(0).shininess, 12.5f);
    ASSERT_EQ(mtl(0).nMaps, 2);
    EXPECT_EQ(mtl(0).maps[0], "bark.png");  // the texture's file, not its name, without the artist's folders
    EXPECT_EQ(mtl(0).maps[1], "loose.png");

    // The hexagon of the first mesh is a fan from its first corner, the
    // corners of each triangle reversed as every reader stores them.
    ASSERT_EQ(m.ttlnum_Faces, 6);
    EXPECT_EQ(face(0), (A3{2, 1, 0}));
    EXPECT_EQ(face(1), (A3{3, 2, 0}));
    EXPECT_EQ(face(3), (A3{5, 4, 0}));
    EXPECT_FLOAT_EQ(vtx(5).pos.z, -5);  // z negated
    // The second mesh's points follow the first's; its faces count from them.
    // Point 0 carries texture coordinate 0, then 1: one copy, vertex 9.
    EXPECT_EQ(face(4), (A3{8, 7, 6}));
    EXPECT_EQ(face(5), (A3{7, 8, 9}));
    ASSERT_EQ(m.ttlnum_Vertices, 10);
    EXPECT_EQ(m.Meshes[0].num_Vertices, 10);
    EXPECT_EQ(m.Meshes[0].num_Faces, 6);
    EXPECT_FLOAT_EQ(vtx(9).pos.y, 5);
    EXPECT_FLOAT_EQ(m.Vertices[9].UVs[0].v, 0.75f);  // v flipped back
    EXPECT_FLOAT_EQ(m.Vertices[6].UVs[0].v, 1.0f);

    // A group per mesh and local material number, each counting its faces.
    ASSERT_EQ(m.nFaceGrps, 2);
    EXPECT_EQ(group(0).MtlID, 0);
    EXPECT_EQ(group(0).nFcs, 4);
    EXPECT_EQ(group(0).num_maps, 0);
    EXPECT_EQ(group(1).MtlID, 1);
    EXPECT_EQ(group(1).nFcs, 2);
    EXPECT_EQ(group(1).num_maps, 1);
    EXPECT_EQ(group(1).FgGlblFaces[0], 4);
    EXPECT_EQ(group(1).FgFaces[1], 5);
    EXPECT_EQ(m.Meshes[0].num_FaceGrps, 2);
    EXPECT_TRUE(ui.sawLog("DONE"));
    // The mesh writer finds both groups through the store's bookkeeping.
    CmfResult cmf;
    buildCmf(ctx, &cmf);
    EXPECT_EQ(cmf.submeshes, 2);
    EXPECT_EQ(cmf.skippedFaces, 0);
}

TEST_F(An8Test, PointNumbersBeyondSixteenBits) {
    const int n = 40000;
    std::string text = "object { \"big\"\n material { \"M\" }\n mesh {\n  /* " + std::to_string(n) +
                       " points, 1 faces, 0 uvCoords */\n  materiallist { materialname { \"M\" } }\n  points {\n";
    for (int i = 0; i < n; ++i) text += "   (" + std::to_string(i) + " 0 0)\n";
    text += "  }\n  faces { 3 0 0 -1 ( (0) (32768) (39999) ) }\n }\n}\n";
    ASSERT_TRUE(read(text));
    EXPECT_TRUE(ui.boxes.empty());
    ASSERT_EQ(m.ttlnum_Vertices, n);
    ASSERT_EQ(m.ttlnum_Faces, 1);
    EXPECT_EQ(face(0), (A3{39999, 32768, 0}));
    EXPECT_FLOAT_EQ(vtx(32768).pos.x, 32768);
}

// What the store keeps through our writer and reader is RoundTrip's; here
// the text read back is written again unchanged.
TEST_F(An8Test, WrittenTextReadBackIsWrittenAgainUnchanged) {
    m.dssAddMesh("m", 0);
    m.AddMaterial("a");
    m.AddMaterial("b");
    m.Materials[1].diffuse = {1, 2, 3, 0};
    m.Materials[1].shininess = 0.3f;
    m.Materials[1].nMaps = 1;
    m.Materials[1].maps = {"wood.png"};
    m.AddFaceGroup(false, 0, 0);
    const std::int32_t a = vertex(0, 0, 0.1f), b = vertex(1, 0, 0), c = vertex(0, 1, 0), d = vertex(1, 1, 3);
    tri(0, a, b, c);
    m.AddFaceGroup(true, 1, 0);
    for (std::int32_t v : {b, c, d}) m.SetVertexUV(0, v, v, UV{0.1f * static_cast<float>(v), 0.3f});
    tri(1, b, d, c);
    const std::string first = written("m");
    auto back = test::makeContext();
    ASSERT_TRUE(test::readAn8Text(back->ctx, first, "m.an8").ok());
    EXPECT_EQ(back->m.ttlnum_Vertices, 6);  // each group its own points
    EXPECT_EQ(buildAn8(back->ctx, "m"), first);
}

}  // namespace
}  // namespace molv
