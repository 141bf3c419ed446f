// The Wavefront reader where a small case file cannot show it: answers to
// its questions, libraries outside the model's folder, sizes and speed.
// The small cases are under tests/data/cases (reader_cases_test.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/harness.h"
#include "support/test_support.h"

namespace molv {
namespace {

using test::tempDir;
using test::writeFile;

struct ObjTest : ::testing::Test, test::TestContext {
    std::string dir;

    void SetUp() override { dir = tempDir("obj"); }
    bool load(std::string_view text, const std::string& name = "m.obj") {
        return test::readObjText(ctx, text, dir + name).ok();
    }
    void lib(std::string_view text, const std::string& name = "m.mtl") { writeFile(dir + name, text); }
};

const char* const kSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

// --- texture coordinates -----------------------------------------------

TEST_F(ObjTest, AVertexWithThousandsOfTextureVerticesStaysCheap) {
    // Once a linear search through the vertex's copies per corner: 40000
    // faces like these took minutes.
    const int n = 20000;
    std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    for (int i = 1; i <= n; ++i) text += "vt " + std::to_string(i) + " 0\n";
    for (int round = 0; round < 2; ++round)
        for (int i = 1; i <= n; ++i) {
            const std::string t = std::to_string(i);
            text += "f 1/" + t + " 2/" + t + " 3/" + t + "\n";
        }
    ASSERT_TRUE(load(text));
    ASSERT_EQ(m.ttlnum_Vertices, 3 * n);  // one store vertex per pair, the second round reuses them
    ASSERT_EQ(m.ttlnum_Faces, 2 * n);
    for (int f = 0; f < n; ++f) {
        EXPECT_EQ(face(f), face(f + n));
        EXPECT_EQ(vtx(face(f)[0]).UVs[0].u, static_cast<float>(f + 1));
    }
}

// --- materials ---------------------------------------------------------

const char* const kLib = "# two materials\nnewmtl Red Metal\nKa 0.2 0.2 0.2\nKd 1 0 0\nKs 0.5 0.5 0.5\nNs 96\nd 0.75\n"
                         "map_Kd red metal.png\nnewmtl Red Wood\nKd 0.6 0.3 0.1\n";

// Cancel on either question gives up the read there.
TEST(ObjCancel, UnknownMaterialOrMissingLibraryGivesUpTheRead) {
    const std::string dir = tempDir("obj-cancel");
    writeFile(dir + "m.mtl", kLib);
    for (const std::string& text : {std::string("mtllib m.mtl\n") + kSquare + "usemtl chrome\nf 1 2 3\n",
                                    std::string("mtllib nowhere.mtl\n") + kSquare}) {
        test::TestContext t;
        t.ui.answers.push_back(Answer::Cancel);
        EXPECT_FALSE(test::readObjText(t.ctx, text, dir + "m.obj").ok()) << text;
        EXPECT_TRUE(t.ctx.app.readAbort);
        EXPECT_EQ(t.m.ttlnum_Faces, 0);
        EXPECT_EQ(t.m.ttlnum_Vertices, text.find("nowhere") != std::string::npos ? 0 : 4);
    }
}

// Thousands of missing libraries: the first asks (OK goes on), a few more
// are logged, the rest counted. One of each is a case
// (cases/obj_missing_library); thousands of unknown material names are
// hostile/many_unknown_usemtl.obj.
TEST_F(ObjTest, ThousandsOfMissingLibrariesAreLoggedThenCounted) {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "mtllib x" + std::to_string(i % 2500) + ".mtl\n";
    ASSERT_TRUE(load(text + kSquare + "f 1 2 3\n"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Cannot find material file: (" + dir + "x0.mtl)");
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::OkCancel);
    EXPECT_TRUE(ui.sawLog("Cannot find material file: (" + dir + "x9.mtl)"));
    EXPECT_TRUE(ui.sawLog("2500 material libraries named in " + dir + "m.obj were not found"));
    EXPECT_FALSE(ui.sawLog("x10.mtl"));
}

// --- where libraries are looked for ------------------------------------

TEST_F(ObjTest, LibraryIsOnlyLookedForInsideTheModelsFolder) {
    const std::string elsewhere = tempDir("obj-elsewhere");
    writeFile(elsewhere + "far.mtl", "newmtl far\n");
    writeFile(elsewhere + "up.mtl", "newmtl up\n");
    std::filesystem::create_directories(dir + "model");
    std::filesystem::create_directories(dir + "model/mats");
    writeFile(dir + "up.mtl", "newmtl parent\n");
    writeFile(dir + "model/mats/near.mtl", "newmtl near\n");
    const std::string text = "mtllib " + elsewhere + "far.mtl\nmtllib ../up.mtl\nmtllib mats\\near.mtl\n" +
                             "mtllib ../model/mats/../../up.mtl\n";
    ASSERT_TRUE(load(text, "model/m.obj"));
    // Neither the absolute name nor the climbing ones reach out of the
    // folder: they are looked for there by their file names. The first
    // missing library asks; the next is logged, once.
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Cannot find material file: (" + dir + "model/far.mtl)");
    EXPECT_TRUE(ui.sawLog("Cannot find material file: (" + dir + "model/up.mtl)"));
    EXPECT_TRUE(ui.sawLog("2 material libraries named in " + dir + "model/m.obj were not found"));
    for (int i = 0; i < m.nMaterials; ++i) {
        EXPECT_NE(mtl(i).name, "far");
        EXPECT_NE(mtl(i).name, "up");
        EXPECT_NE(mtl(i).name, "parent");
    }
    EXPECT_EQ(mtl(0).name, "near");  // a sub-folder inside is fine
}

// --- large files -------------------------------------------------------

// A textured grid of about 4 MB in two materials; texture numbers run in
// another order than vertex numbers.
std::string texturedGrid(int n, const char* eol) {
    std::string text = std::string("mtllib m.mtl") + eol;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) text += "v " + std::to_string(i * 0.37) + " " + std::to_string(j * 0.11) + " 0.5" + eol;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) text += "vt " + std::to_string((i % 10) / 9.0) + " " + std::to_string(j / 200.0) + eol;
    for (int j = 0; j < n; ++j) {
        text += std::string(j % 2 ? "usemtl Red Wood" : "usemtl Red Metal") + eol;
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i + 1, b = a + 1, c = a + n + 2, d = a + n + 1;
            const int ta = (n + 1) * (n + 1) + 1 - a;
            text += "f " + std::to_string(a) + "/" + std::to_string(ta) + " " + std::to_string(b) + "/" +
                    std::to_string(ta - 1) + " " + std::to_string(c) + "/" + std::to_string(ta - n - 2) + " " +
                    std::to_string(d) + "/" + std::to_string(ta - n - 1) + eol;
        }
    }
    return text;
}

TEST_F(ObjTest, LargeFilesReadInPiecesLikeTheWholeText) {
    // Large files are counted and read in blocks of whole lines, whatever
    // the line ends.
    lib(kLib);
    const std::string text = texturedGrid(200, "\n");
    ASSERT_GT(text.size(), 3u << 20);
    ASSERT_TRUE(load(text, "grid.obj"));
    EXPECT_EQ(m.ttlnum_Faces, 2 * 200 * 200);
    // Positions as the file gives them, wherever a piece boundary fell.
    for (int k : {0, 1, 200, 201, 20000, 201 * 201 - 1}) {
        const Vec3 want{static_cast<float>((k % 201) * 0.37), static_cast<float>((k / 201) * 0.11), -0.5f};
        EXPECT_NEAR(vtx(k).pos.x, want.x, 1e-4) << k;
        EXPECT_NEAR(vtx(k).pos.y, want.y, 1e-4) << k;
        EXPECT_NEAR(vtx(k).pos.z, want.z, 1e-4) << k;
    }
    const std::string want = test::storeListing(m);
    for (const char* eol : {"\n", "\r", "\r\n"}) {
        test::TestContext f;
        writeFile(dir + "file.obj", texturedGrid(200, eol));
        ASSERT_TRUE(test::readFile(f.ctx, dir + "file.obj").ok());
        EXPECT_EQ(test::storeListing(f.m), want) << "line ends " << (eol[0] == '\r' ? (eol[1] ? "CR LF" : "CR") : "LF");
        EXPECT_TRUE(f.ui.boxes.empty());
    }
}

TEST_F(ObjTest, FaceLineOfSeveralMegabytesReadsWhole) {
    // One polygon of 300000 corners, about 2.4 MB on one line: more than
    // the reader's block, which must grow to hold it.
    const int n = 300000;
    std::string text;
    for (int i = 0; i < n; ++i) text += "v " + std::to_string(i) + " 1 2\n";
    text += "# " + std::string(3u << 20, 'x') + "\nf";
    for (int i = 1; i <= n; ++i) text += "  " + std::to_string(i);
    text += "\nf 1 2 3";
    writeFile(dir + "long.obj", text);
    ASSERT_TRUE(test::readFile(ctx, dir + "long.obj").ok());
    EXPECT_EQ(m.ttlnum_Vertices, n);
    ASSERT_EQ(m.ttlnum_Faces, n - 2 + 1);
    EXPECT_EQ(face(n - 3)[0], n - 1);
    EXPECT_EQ(face(n - 2)[0], 2);
    EXPECT_EQ(vtx(n - 1).pos.x, static_cast<float>(n - 1));
}

}  // namespace
}  // namespace molv
