// The Anim8or writer's exact text for stores no reader makes (the written
// text of every case is writer_round_trip_test.cpp's), and what of the
// Anim8or reader a case's listing cannot show (cases/an8_* pin its stores):
// submesh bookkeeping, and files larger than 16-bit numbers hold.
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

// The expected text is kept with LF line ends; the writer ends lines with CR LF.
void expectWritten(const char* golden, const std::string& got) {
    std::string want;
    for (char c : test::readFile(test::dataPath(std::string("formats/") + golden))) {
        if (c == '\n') want += '\r';
        want += c;
    }
    ASSERT_FALSE(want.empty()) << golden;
    EXPECT_EQ(want, got) << test::firstDifference(want, got);
}

// --- writer: exact texts -------------------------------------------------

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

// --- reader ---------------------------------------------------------------

// cases/an8_two_meshes.an8 pins the store; here the counts its listing does
// not show, which the mesh writer relies on.
TEST_F(An8Test, TwoMeshesKeepTheirSubmeshBookkeeping) {
    ASSERT_TRUE(read(test::readFile(test::dataPath("cases/an8_two_meshes.an8"))));
    EXPECT_EQ(m.nSubMeshes, 2);
    EXPECT_EQ(m.Meshes[0].num_Vertices, 10);
    EXPECT_EQ(m.Meshes[0].num_Faces, 6);
    EXPECT_EQ(m.Meshes[0].num_FaceGrps, 2);
    EXPECT_EQ(group(1).FgFaces[1], 5);
    EXPECT_EQ(mtl(0).nMaps, 2);
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

}  // namespace
}  // namespace molv
