// The Wavefront writer on stores no reader makes (the written text and log
// of every case are writer_round_trip_test.cpp's): library texts, which
// vertices are merged, faces that never name a wrong vertex, and what an
// empty store does.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/harness.h"
#include "support/test_support.h"
#include "util/fileio.h"

namespace molv {
namespace {

struct ObjWriterTest : ::testing::Test, test::TestContext {
    std::string dir;
    void SetUp() override {
        dir = test::tempDir("objw");
        m.dssAddMesh("m", 0);
        m.AddMaterial("paint");
        m.AddFaceGroup(false, 0, 0);
    }
    std::int32_t vertex(float x, float y, float z) {
        std::int32_t n = -1;
        return m.AddVertex(n, x, y, z, x, z, y);
    }
    void tri(std::int32_t a, std::int32_t b, std::int32_t c) {
        const std::int32_t global = m.ttlnum_Faces;
        m.AddFace(0, 0, a, b, c);
        m.AddFaceToGroup(0, 0, false, global, global);
    }
};

TEST_F(ObjWriterTest, DuplicatesOfTheFirstVertexAndNearMisses) {
    // A later copy of vertex 0 is written as vertex 1; positions one bit
    // apart, or equal in two coordinates only, stay apart; -0 is 0.
    const float x = 0.3f;
    const float nextX = std::nextafter(x, 1.0f);
    const std::int32_t v0 = vertex(x, 1, 1), v1 = vertex(nextX, 1, 1), v2 = vertex(x, 1, 2), v3 = vertex(x, 2, 1);
    const std::int32_t v4 = vertex(x, 1, 1), v5 = vertex(-0.0f, 0, 0), v6 = vertex(0, 0, 0);
    tri(v4, v1, v2);
    tri(v3, v5, v6);
    tri(v0, v6, v4);
    std::int32_t dup = 0;
    const std::vector<std::int32_t> keep = MergeDuplicateVertices(m, dup);
    EXPECT_EQ(keep, (std::vector<std::int32_t>{0, 1, 2, 3, 0, 5, 5}));
    EXPECT_EQ(dup, 2);
    const std::string text = buildObj(ctx, "lib.mtl");
    EXPECT_NE(text.find("f  1  2  3 \r\nf  4  5  5 \r\nf  1  5  1 \r\n"), std::string::npos) << text;
}

TEST_F(ObjWriterTest, LargeRunsOfEqualCoordinates) {
    // Every vertex on one x, sorted, half of them twice: a scan per equal x
    // or a quicksort on sorted keys would take hours here.
    const int n = 60000;
    for (int i = 0; i < n; ++i) vertex(1, static_cast<float>(i / 2), 0);
    std::int32_t dup = 0;
    const std::vector<std::int32_t> keep = MergeDuplicateVertices(m, dup);
    EXPECT_EQ(dup, n / 2);
    for (int i = 0; i < n; ++i) ASSERT_EQ(keep[static_cast<std::size_t>(i)], i - i % 2) << i;
}

TEST_F(ObjWriterTest, LibraryText) {
    Material& mt = m.Materials[0];
    mt.ambient = {178, 178, 178, 255};
    mt.diffuse = {255, 128, 0, 255};
    mt.specular = {0, 0, 1, 255};
    mt.transparency = 0.25f;
    mt.shininess = 3.2f;
    m.AddMaterial("");  // a name is made up rather than leaving "newmtl" bare
    m.Materials[1].transparency = 7;  // not a fraction: clamped
    const std::string paint = "newmtl paint\r\nKa  0.698039215686275 0.698039215686275 0.698039215686275\r\n"
                              "Kd  1 0.501960784313725 0\r\nKs  0 0 0.00392156862745098\r\nd 0.75\r\n";
    EXPECT_EQ(buildMtl(m, false), paint + "Ns 32\r\nnewmtl Material_1\r\nKa  0 0 0\r\nKd  0 0 0\r\nKs  0 0 0\r\nd 0\r\nNs 0\r\n");
    // The 3DS reader keeps percentages.
    m.Materials[0].transparency = 25;
    m.Materials[1].transparency = -3;
    const std::string pct = buildMtl(m, true);
    EXPECT_NE(pct.find(paint), std::string::npos);
    EXPECT_NE(pct.find("newmtl Material_1\r\nKa  0 0 0\r\nKd  0 0 0\r\nKs  0 0 0\r\nd 1\r\n"), std::string::npos);
}

TEST_F(ObjWriterTest, EmptyStoreWritesNothingAndFails) {
    EXPECT_FALSE(WriteObj(ctx, dir + "empty.obj"));
    EXPECT_TRUE(ui.sawBox("No Vertices loaded"));
    EXPECT_FALSE(fileExists(dir + "empty.obj"));
    EXPECT_FALSE(fileExists(dir + "empty.mtl"));
}

TEST_F(ObjWriterTest, FacesNamingMissingVerticesAreLeftOut) {
    const std::int32_t a = vertex(0, 0, 0), b = vertex(1, 0, 0), c = vertex(0, 1, 0);
    tri(a, b, c);
    tri(a, b, 7);   // the store itself reports this one
    tri(-4, b, c);
    ASSERT_TRUE(WriteObj(ctx, dir + "bad.obj"));
    const std::string text = test::readFile(dir + "bad.obj");
    EXPECT_EQ(text.substr(text.find("f ")), "f  1  2  3 \r\n");
    EXPECT_TRUE(ui.sawBox("2 faces name vertices that do not exist; left out of " + dir + "bad.obj"));
}

TEST_F(ObjWriterTest, AFailedWriteIsShownAndFails) {
    tri(vertex(0, 0, 0), vertex(1, 0, 0), vertex(0, 1, 0));
    EXPECT_FALSE(WriteObj(ctx, dir + "no such folder/x.obj"));
    EXPECT_TRUE(ui.sawBox("Cannot write " + dir + "no such folder/x.mtl"));
    EXPECT_TRUE(ctx.app.writeFailed);
}

}  // namespace
}  // namespace molv
