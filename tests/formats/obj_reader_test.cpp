// The Wavefront reader's store contents: geometry, texture splitting, face
// numbering forms, face groups and materials.
#include <gtest/gtest.h>

#include <array>
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
    bool loadMtl(std::string_view text) { return test::readMtlText(ctx, text, "x.mtl").ok(); }
    void lib(std::string_view text, const std::string& name = "m.mtl") { writeFile(dir + name, text); }
    std::vector<int> groupFaces(int g) const {
        const FaceGroup& fg = group(g);
        return std::vector<int>(fg.FgGlblFaces.begin(), fg.FgGlblFaces.begin() + fg.nFcs);
    }
    std::vector<std::array<int, 3>> faces() const {
        std::vector<std::array<int, 3>> out;
        for (int f = 0; f < m.ttlnum_Faces; ++f) out.push_back(face(f));
        return out;
    }
};

using A3 = std::array<int, 3>;
using Faces = std::vector<A3>;

const char* const kSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

// --- geometry ----------------------------------------------------------

TEST_F(ObjTest, QuadBecomesTwoReversedTrianglesAndPentagonAFan) {
    ASSERT_TRUE(load(std::string(kSquare) + "v 0 2 0\nf 1 2 3 4\nf 1 2 3 4 5\n"));
    EXPECT_EQ(faces(), (Faces{{2, 1, 0}, {3, 2, 0}, {2, 1, 0}, {3, 2, 0}, {4, 3, 0}}));
    const Mesh& me = m.Meshes[0];
    EXPECT_EQ(me.name, "OBJ_Mesh_0");
    EXPECT_EQ(me.num_Vertices, 5);
    EXPECT_EQ(me.vtx_ndx_end, 4);
    EXPECT_EQ(me.num_Faces, 5);
    EXPECT_EQ(me.face_ndx_end, 4);
}

TEST_F(ObjTest, NumbersAreReadExactlyAsTheGeneralParserWould) {
    // Short forms take the fast path, long ones the general parser; both
    // must give the nearest float.
    ASSERT_TRUE(load("v 0.1 -0.30000001 123456.789\nv 1.00000000000000000001 1e-30 3.4028234e38\n"
                     "v 0.000000000000000000000000000001 7e22 -0\n"));
    const Vec3 want[] = {{0.1f, -0.30000001f, -123456.789f}, {1.0f, 1e-30f, -3.4028234e38f}, {1e-30f, 7e22f, 0.0f}};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(vtx(i).pos, want[i]) << i;
}

// --- face numbering ----------------------------------------------------

TEST_F(ObjTest, NegativeNumbersCountBackFromTheLastRead) {
    ASSERT_TRUE(load("v 0 0 0\nv 1 0 0\nv 1 1 0\nf -3 -2 -1\n"
                     "v 5 5 5\nvt 0 0\nvt 1 0\nvt 1 1\nf -4/-3 -3/-2 -1/-1\n"));
    EXPECT_EQ(faces(), (Faces{{2, 1, 0}, {3, 1, 0}}));
    EXPECT_EQ(vtx(0).uv_id, 1);
    EXPECT_EQ(vtx(3).uv_id, 3);
    EXPECT_EQ(vtx(3).UVs[0].u, 1.0f);
}

TEST_F(ObjTest, FileUsingVertexZeroCountsFromZeroWhateverItsName) {
    ASSERT_TRUE(load("v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 0\n", "mesh.obj"));
    EXPECT_EQ(faces(), (Faces{{0, 2, 1}}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ObjTest, OutOfRangeNumbersSkipTheFaceAndNameFileAndLine) {
    ASSERT_TRUE(load(std::string(kSquare) + "vt 0 0\nvn 0 0 1\n"
                     "f 1 2 3\n"      // line 7: fine
                     "f 1 2 9\n"      // line 8: vertex 9 of 4
                     "f 1/2 2/1 3/1\n"  // line 9: texture vertex 2 of 1
                     "f 1//2 2//1 3//1\n"  // line 10: normal 2 of 1: kept, normals computed
                     "f -5 1 2\n"     // line 11: relative before the first
                     "f 1 2 x\n"      // line 12: not a number
                     "f 2 3 4\n"));
    EXPECT_EQ(faces(), (Faces{{2, 1, 0}, {2, 1, 0}, {3, 2, 1}}));
    EXPECT_TRUE(m.cornerNormals.empty());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].text.find(dir + "m.obj line 8"), std::string::npos) << ui.boxes[0].text;
    EXPECT_NE(ui.boxes[0].text.find("\"9\""), std::string::npos);
    EXPECT_TRUE(ui.sawLog("line 9: face skipped, texture vertex number \"2\""));
    EXPECT_FALSE(ui.sawLog("line 10:"));
    EXPECT_TRUE(ui.sawLog("1 faces in " + dir + "m.obj name normals that do not exist; their normals are computed"));
    EXPECT_TRUE(ui.sawLog("line 11:"));
    EXPECT_TRUE(ui.sawLog("line 12:"));
    EXPECT_TRUE(ui.sawLog("4 faces skipped"));
}

// --- texture coordinates -----------------------------------------------

TEST_F(ObjTest, VertexUsedWithTwoTextureVerticesIsSplitOnceEach) {
    std::string text = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 2 2\nv 3 0 0\n";
    for (int i = 1; i <= 9; ++i) text += "vt 0." + std::to_string(i) + " 0.5\n";
    text += "f 5/7 1/1 2/2\n"   // vertex 4 takes texture 7
            "f 5/9 2/2 3/3\n"   // a copy of vertex 4 carries texture 9
            "f 5/9 3/3 4/4\n"   // the same pair again: that copy, not a new one
            "f 5/7 4/4 6/5\n";  // the original again
    ASSERT_TRUE(load(text));
    ASSERT_EQ(m.ttlnum_Vertices, 7);
    EXPECT_EQ(vtx(4).uv_id, 7);
    EXPECT_EQ(vtx(4).UVs[0].u, 0.7f);
    EXPECT_EQ(vtx(6).uv_id, 9);
    EXPECT_EQ(vtx(6).num_UVs, 1);
    EXPECT_EQ(vtx(6).UVs[0].u, 0.9f);
    EXPECT_EQ(vtx(6).pos, vtx(4).pos);
    EXPECT_EQ((std::vector<int>{face(0)[2], face(1)[2], face(2)[2], face(3)[2]}), (std::vector<int>{4, 6, 6, 4}));
    EXPECT_EQ(m.Meshes[0].num_Vertices, 7);
    EXPECT_EQ(m.Meshes[0].vtx_ndx_end, 6);
    EXPECT_EQ(group(0).num_maps, 1);
}

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

TEST_F(ObjTest, SplitCopiesDoNotShiftTheNumbersOfLaterVertices) {
    // Object files of several parts define vertices after faces that split
    // earlier ones; the later numbers must still name the file's vertices.
    ASSERT_TRUE(load("v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\n"
                     "f 1/1 2/2 3/3\nf 1/2 3/3 2/1\n"
                     "v 7 7 7\nv 8 8 8\nv 9 9 9\nf 4/1 5/2 6/3\n"));
    ASSERT_EQ(m.ttlnum_Faces, 3);
    const A3 last = face(2);
    EXPECT_EQ(vtx(last[0]).pos, (Vec3{9, 9, -9}));
    EXPECT_EQ(vtx(last[1]).pos, (Vec3{8, 8, -8}));
    EXPECT_EQ(vtx(last[2]).pos, (Vec3{7, 7, -7}));
}

// --- face groups -------------------------------------------------------

TEST_F(ObjTest, RunsOfFacesShareAGroupAndOtherLinesStartANewOne) {
    ASSERT_TRUE(load(std::string(kSquare) +
                     "f 1 2 3\n# note\n\nf 1 3 4\n"  // one run, comment inside
                     "s 1\nf 1 2 4\n"                // any other keyword ends it
                     "g part\nf 2 3 4\n"));
    ASSERT_EQ(m.nFaceGrps, 3);
    EXPECT_EQ(groupFaces(0), (std::vector<int>{0, 1}));
    EXPECT_EQ(groupFaces(1), (std::vector<int>{2}));
    EXPECT_EQ(groupFaces(2), (std::vector<int>{3}));
    EXPECT_EQ(group(2).FgFaces[0], 3);
    EXPECT_EQ(m.Meshes[0].num_FaceGrps, 3);
}

// --- materials ---------------------------------------------------------

const char* const kLib = "# two materials\nnewmtl Red Metal\nKa 0.2 0.2 0.2\nKd 1 0 0\nKs 0.5 0.5 0.5\nNs 96\nd 0.75\n"
                         "map_Kd red metal.png\nnewmtl Red Wood\nKd 0.6 0.3 0.1\n";

TEST_F(ObjTest, LibraryMaterialsAndTheSynthesisedDefault) {
    lib(kLib);
    ASSERT_TRUE(load(std::string("mtllib m.mtl\n") + kSquare + "usemtl Red Wood\nf 1 2 3\nusemtl red metal\nf 1 3 4\n"));
    ASSERT_EQ(m.nMaterials, 3);
    const Material& a = mtl(0);
    EXPECT_EQ(a.name, "Red Metal");
    EXPECT_EQ(a.id, 0);
    EXPECT_EQ(a.ambient, (Colour{51, 51, 51, 0}));
    EXPECT_EQ(a.diffuse, (Colour{255, 0, 0, 0}));
    EXPECT_EQ(a.specular, (Colour{128, 128, 128, 0}));  // 127.5 rounds to even
    EXPECT_FLOAT_EQ(a.shininess, 9.6f);
    EXPECT_FLOAT_EQ(a.transparency, 0.25f);
    ASSERT_EQ(a.nMaps, 1);
    EXPECT_EQ(a.maps[0], "red metal.png");
    EXPECT_EQ(mtl(1).name, "Red Wood");
    const Material& d = mtl(2);
    EXPECT_EQ(d.name, "Default");
    EXPECT_EQ(d.ambient, (Colour{178, 178, 178, 0}));
    EXPECT_EQ(d.diffuse, (Colour{178, 178, 178, 0}));
    EXPECT_EQ(d.specular, (Colour{255, 255, 255, 0}));
    EXPECT_FLOAT_EQ(d.shininess, 10.0f);
    ASSERT_EQ(m.nFaceGrps, 2);
    EXPECT_EQ(group(0).MtlID, 1);
    EXPECT_EQ(group(1).MtlID, 0);
    EXPECT_EQ(mtl(0).use_count, 1);
    EXPECT_EQ(mtl(1).use_count, 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.sawLog("Material: 0 : Red Metal"));
    EXPECT_TRUE(ui.sawLog("Synthesising Material 2 Default"));
}

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

// Missing libraries and unknown material names: the first asks (OK goes
// on), a few more are logged, the rest counted; no group points at a
// material that is not there. "@" stands for the model's folder.
TEST(ObjLibraries, QuestionsLogLinesAndMaterials) {
    struct Row {
        const char* name;
        std::vector<std::pair<std::string, std::string>> libs;
        std::string text;
        std::string box;                   // the one question
        std::vector<std::string> said, unsaid;
        std::vector<std::string> materials;  // empty: not checked
        std::vector<std::pair<int, int>> groupMaterial;
        std::size_t boxes = 1;  // the question first
    };
    std::string manyLibs, manyNames = std::string("mtllib m.mtl\n") + kSquare;
    for (int i = 0; i < 5000; ++i) manyLibs += "mtllib x" + std::to_string(i % 2500) + ".mtl\n";
    for (int i = 0; i < 30000; ++i) manyNames += "usemtl x" + std::to_string(i % 15000) + "\nf 1 2 3\n";
    const Row rows[] = {
        // Names differing only in case are one name: one question, nothing counted.
        {"UnknownName", {{"m.mtl", kLib}},
         std::string("mtllib m.mtl\n") + kSquare + "usemtl chrome\nf 1 2 3\nusemtl Red Wood\nf 1 3 4\nusemtl CHROME\nf 2 3 4\n",
         "Material not found (chrome)", {}, {"material names in"}, {}, {{0, 0}, {1, 1}, {2, 0}}},
        {"MissingLibrary", {}, std::string("mtllib nowhere.mtl\n") + kSquare + "usemtl a\nf 1 2 3\n",
         "Cannot find material file: (@nowhere.mtl)", {}, {}, {"Default"}, {{0, 0}}, 2},
        // Found beside the object whatever folder it names; "m.mtl" does not exist.
        {"LibraryBeside", {{"lib one.mtl", "newmtl a\n"}, {"two.mtl", "newmtl b\n"}, {"three.mtl", "newmtl c\n"}},
         "mtllib lib one.mtl\nmtllib C:\\Users\\me\\models\\two.mtl\nmtllib three.mtl m.mtl\n",
         "Cannot find material file: (@m.mtl)", {}, {}, {"a", "Default", "b", "c"}, {}},
        {"ThousandsOfLibraries", {}, manyLibs + kSquare + "f 1 2 3\n", "Cannot find material file: (@x0.mtl)",
         {"Cannot find material file: (@x9.mtl)", "2500 material libraries named in @m.obj were not found"},
         {"x10.mtl"}, {}, {}},
        {"ThousandsOfNames", {{"m.mtl", kLib}}, manyNames + "usemtl Red Wood\nf 1 3 4\n", "Material not found (x0)",
         {"Material not found (x1)", "Material not found (x9)",
          "15000 material names in @m.obj are not in its material libraries"},
         {"Material not found (x10)"}, {}, {{0, 0}, {29999, 0}, {30000, 1}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string dir = tempDir(std::string("obj-") + r.name);
        auto at = [&](std::string t) {
            for (std::size_t k; (k = t.find('@')) != std::string::npos;) t.replace(k, 1, dir);
            return t;
        };
        for (const auto& [name, text] : r.libs) writeFile(dir + name, text);
        test::TestContext t;
        ASSERT_TRUE(test::readObjText(t.ctx, r.text, dir + "m.obj").ok());
        ASSERT_EQ(t.ui.boxes.size(), r.boxes);
        EXPECT_EQ(t.ui.boxes[0].text, at(r.box));
        EXPECT_EQ(t.ui.boxes[0].buttons, Buttons::OkCancel);
        for (const auto& s : r.said) EXPECT_TRUE(t.ui.sawLog(at(s))) << s;
        for (const auto& s : r.unsaid) EXPECT_FALSE(t.ui.sawLog(s)) << s;
        if (!r.materials.empty()) {
            std::vector<std::string> names;
            for (int i = 0; i < t.m.nMaterials; ++i) names.push_back(t.m.Materials[static_cast<std::size_t>(i)].name);
            EXPECT_EQ(names, r.materials);
        }
        for (auto [g, mtl] : r.groupMaterial) EXPECT_EQ(t.m.FaceGrps[static_cast<std::size_t>(g)].MtlID, mtl) << g;
    }
}

TEST_F(ObjTest, ColoursAreClampedAndOneValueStandsForThree) {
    ASSERT_TRUE(loadMtl("newmtl x\nKa 1.5 -0.2 0.5\n  Kd\t0.5\nKs  0.2  0.4 0.6 0.9\nnewmtl y\nKd 0.2 0.4 0.6 1 1\n"));
    EXPECT_EQ(mtl(0).ambient, (Colour{255, 0, 128, 0}));
    EXPECT_EQ(mtl(0).diffuse, (Colour{128, 128, 128, 0}));
    EXPECT_EQ(mtl(0).specular, (Colour{51, 102, 153, 0}));  // a fourth number is not read
    EXPECT_EQ(mtl(1).diffuse, (Colour{51, 102, 153, 0}));
}

TEST_F(ObjTest, TextureOptionsAreSkippedBeforeTheMapName) {
    ASSERT_TRUE(loadMtl("newmtl x\nmap_Kd -s 2 2 1 -o 0.5 -clamp on -mm 0 1 maps\\wood grain.jpg\n"
                        "map_Kd -s 2 tex.png\nmap_Kd\nmap_Kd -bogus.png\n"));
    ASSERT_EQ(mtl(0).nMaps, 3);
    EXPECT_EQ(mtl(0).maps[0], "maps\\wood grain.jpg");
    EXPECT_EQ(mtl(0).maps[1], "tex.png");
    EXPECT_EQ(mtl(0).maps[2], "-bogus.png");
}

TEST_F(ObjTest, UnhandledLibraryKeywordsShowOneBoxThenLogEachKeywordOnce) {
    ASSERT_TRUE(loadMtl("newmtl a\nTf 1 1 1\nillum 2\nNi 1.5\nKe 0 0 0\nnewmtl b\n\tTf 1 1 1\nmap_Bump n.png\n"
                        "TF 0 0 0\nmap_bump m.png\n"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Unhandled Material parameter:(Tf 1 1 1)");
    EXPECT_TRUE(ui.sawLog("Unhandled Material parameter:(map_Bump n.png)"));
    EXPECT_FALSE(ui.sawLog("m.png"));  // a keyword already met is only counted
    EXPECT_TRUE(ui.sawLog("5 lines of x.mtl hold unhandled parameters (2 different keywords)"));
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
    const std::string want = test::storeText(m);
    for (const char* eol : {"\n", "\r", "\r\n"}) {
        test::TestContext f;
        writeFile(dir + "file.obj", texturedGrid(200, eol));
        ASSERT_TRUE(test::readFile(f.ctx, dir + "file.obj").ok());
        EXPECT_EQ(test::storeText(f.m), want) << "line ends " << (eol[0] == '\r' ? (eol[1] ? "CR LF" : "CR") : "LF");
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
