// The Wavefront reader on text as real files come: line ends of every
// system, byte order marks, very long lines, blocks of a large file, and
// damaged input that must never break the store's invariants.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "formats/mtl_reader.h"
#include "formats/obj_reader.h"
#include "convert/context.h"
#include "core/scripted_ui.h"
#include "support/test_support.h"

namespace molv {
namespace {

using test::tempDir;
using test::writeFile;

struct Loaded {
    ScriptedUI ui;
    Context ctx{ui};
};

// Every face corner names a stored vertex, every group member a stored
// face and every group's material exists.
::testing::AssertionResult storeConsistent(const ModelStore& m) {
    for (int f = 0; f < m.ttlnum_Faces; ++f)
        for (int c : m.VFaces[static_cast<std::size_t>(f)].vtx)
            if (c < 0 || c >= m.ttlnum_Vertices)
                return ::testing::AssertionFailure() << "face " << f << " names vertex " << c;
    int members = 0;
    for (int g = 0; g < m.nFaceGrps; ++g) {
        const FaceGroup& fg = m.FaceGrps[static_cast<std::size_t>(g)];
        members += fg.nFcs;
        for (int i = 0; i < fg.nFcs; ++i)
            if (fg.FgGlblFaces[static_cast<std::size_t>(i)] < 0 ||
                fg.FgGlblFaces[static_cast<std::size_t>(i)] >= m.ttlnum_Faces)
                return ::testing::AssertionFailure() << "group " << g << " names a missing face";
        if (fg.nFcs > 0 && (fg.MtlID < 0 || fg.MtlID >= m.nMaterials))
            return ::testing::AssertionFailure() << "group " << g << " names material " << fg.MtlID;
    }
    if (members != m.ttlnum_Faces) return ::testing::AssertionFailure() << "faces outside every group";
    for (int v = 0; v < m.ttlnum_Vertices; ++v) {
        const Vertex& x = m.Vertices[static_cast<std::size_t>(v)];
        if (x.UVs.size() < 1) return ::testing::AssertionFailure() << "vertex " << v << " without a UV entry";
    }
    const Mesh& me = m.Meshes[0];
    if (me.num_Vertices != m.ttlnum_Vertices || me.num_Faces != m.ttlnum_Faces)
        return ::testing::AssertionFailure() << "mesh runs do not cover the store";
    return ::testing::AssertionSuccess();
}

// The same model as stored by two reads.
::testing::AssertionResult sameModel(const ModelStore& a, const ModelStore& b) {
    if (a.ttlnum_Vertices != b.ttlnum_Vertices || a.ttlnum_Faces != b.ttlnum_Faces || a.nFaceGrps != b.nFaceGrps ||
        a.nMaterials != b.nMaterials)
        return ::testing::AssertionFailure() << "counts differ: " << a.ttlnum_Vertices << "/" << b.ttlnum_Vertices
                                             << " vertices, " << a.ttlnum_Faces << "/" << b.ttlnum_Faces << " faces";
    for (int v = 0; v < a.ttlnum_Vertices; ++v) {
        const Vertex& x = a.Vertices[static_cast<std::size_t>(v)];
        const Vertex& y = b.Vertices[static_cast<std::size_t>(v)];
        if (!(x.pos == y.pos) || x.uv_id != y.uv_id || x.UVs[0].u != y.UVs[0].u || x.UVs[0].v != y.UVs[0].v)
            return ::testing::AssertionFailure() << "vertex " << v << " differs";
    }
    for (int f = 0; f < a.ttlnum_Faces; ++f)
        for (int k = 0; k < 3; ++k)
            if (a.VFaces[static_cast<std::size_t>(f)].vtx[k] != b.VFaces[static_cast<std::size_t>(f)].vtx[k])
                return ::testing::AssertionFailure() << "face " << f << " differs";
    for (int g = 0; g < a.nFaceGrps; ++g)
        if (a.FaceGrps[static_cast<std::size_t>(g)].nFcs != b.FaceGrps[static_cast<std::size_t>(g)].nFcs ||
            a.FaceGrps[static_cast<std::size_t>(g)].MtlID != b.FaceGrps[static_cast<std::size_t>(g)].MtlID)
            return ::testing::AssertionFailure() << "group " << g << " differs";
    return ::testing::AssertionSuccess();
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t i = s.find(from); i != std::string::npos; i = s.find(from, i + to.size())) s.replace(i, from.size(), to);
    return s;
}

const char* const kCube =
    "mtllib cube.mtl\n"
    "o cube\n"
    "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "vn 0 0 -1\nvn 0 0 1\n"
    "usemtl red\n"
    "f 1/1/1 4/4/1 3/3/1 2/2/1\n"
    "f 5/1/2 6/2/2 7/3/2 8/4/2\n"
    "usemtl blue\n"
    "f 1/1 2/2 6/3 5/4\n"
    "f 2/1 3/2 7/3 6/4\n"
    "f 3/1 4/2 8/3 7/4\n"
    "f 4/1 1/2 5/3 8/4\n";
const char* const kCubeMtl = "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\nmap_Kd blue.png\n";

struct RobustTest : ::testing::Test {
    std::string dir;
    void SetUp() override {
        dir = tempDir("objrobust");
        writeFile(dir + "cube.mtl", kCubeMtl);
    }
    void readFile(Loaded& l, std::string_view text, const std::string& name = "cube.obj") {
        writeFile(dir + name, text);
        ASSERT_TRUE(LoadObj(l.ctx, dir + name).ok());
    }
};

TEST_F(RobustTest, EveryLineEndAndByteOrderMarkGivesTheSameModel) {
    Loaded plain;
    readFile(plain, kCube);
    ASSERT_EQ(plain.ctx.model.ttlnum_Faces, 12);
    ASSERT_EQ(plain.ctx.model.nFaceGrps, 2);
    ASSERT_TRUE(storeConsistent(plain.ctx.model));
    const std::string cube = kCube;
    std::string noFinal = cube.substr(0, cube.size() - 1);
    const std::pair<const char*, std::string> variants[] = {
        {"crlf", replaceAll(cube, "\n", "\r\n")},
        {"cr", replaceAll(cube, "\n", "\r")},
        {"no final newline", noFinal},
        {"crlf, no final newline", replaceAll(noFinal, "\n", "\r\n")},
        {"bom", "\xEF\xBB\xBF" + cube},
        {"bom crlf", "\xEF\xBB\xBF" + replaceAll(cube, "\n", "\r\n")},
        {"tabs", replaceAll(cube, " ", "\t")},
        {"blank runs", replaceAll(cube, " ", " \t  ")},
        {"trailing blanks", replaceAll(cube, "\n", " \t\n")},
        {"ctrl-z end", cube + "\x1a"},
    };
    for (const auto& [what, text] : variants) {
        SCOPED_TRACE(what);
        Loaded file, mem;
        readFile(file, text);
        EXPECT_TRUE(file.ui.boxes.empty()) << file.ui.boxes[0].text;
        EXPECT_TRUE(sameModel(plain.ctx.model, file.ctx.model));
        ASSERT_TRUE(LoadObjText(mem.ctx, text, dir + "cube.obj").ok());
        EXPECT_TRUE(sameModel(plain.ctx.model, mem.ctx.model));
    }
}

TEST_F(RobustTest, LibraryWithCrlfBomAndTabsReadsTheSame) {
    Loaded l;
    writeFile(dir + "cube.mtl", "\xEF\xBB\xBFnewmtl red\r\n\tKd\t1 0 0\r\nnewmtl blue\r\n  Kd  0 0 1\r\n\tmap_Kd blue.png");
    readFile(l, kCube);
    const ModelStore& m = l.ctx.model;
    ASSERT_EQ(m.nMaterials, 3);
    EXPECT_EQ(m.Materials[0].diffuse, (Colour{255, 0, 0, 0}));
    EXPECT_EQ(m.Materials[1].diffuse, (Colour{0, 0, 255, 0}));
    ASSERT_EQ(m.Materials[1].nMaps, 1);
    EXPECT_EQ(m.Materials[1].maps[0], "blue.png");
    EXPECT_TRUE(l.ui.boxes.empty());
}

TEST_F(RobustTest, FaceLineOfSeveralMegabytesReadsWhole) {
    // One polygon of 300000 corners, about 2.4 MB on one line: more than
    // the reader's block, which must grow to hold it.
    const int n = 300000;
    std::string text;
    text.reserve(static_cast<std::size_t>(n) * 40);
    for (int i = 0; i < n; ++i) text += "v " + std::to_string(i) + " 1 2\n";
    text += "# " + std::string(3u << 20, 'x') + "\n";
    text += "f";
    for (int i = 1; i <= n; ++i) text += "  " + std::to_string(i);
    text += "\nf 1 2 3";
    Loaded l;
    readFile(l, text, "long.obj");
    const ModelStore& m = l.ctx.model;
    EXPECT_EQ(m.ttlnum_Vertices, n);
    ASSERT_EQ(m.ttlnum_Faces, n - 2 + 1);
    EXPECT_EQ(m.VFaces[static_cast<std::size_t>(n - 3)].vtx[0], n - 1);
    EXPECT_EQ(m.VFaces[static_cast<std::size_t>(n - 2)].vtx[0], 2);
    EXPECT_EQ(m.Vertices[static_cast<std::size_t>(n - 1)].pos.x, static_cast<float>(n - 1));
    EXPECT_TRUE(storeConsistent(m));
}

// A textured grid of about 4 MB in two materials; texture numbers run in
// another order than vertex numbers.
std::string texturedGrid(int n) {
    std::string text = "mtllib cube.mtl\n";
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) text += "v " + std::to_string(i * 0.37) + " " + std::to_string(j * 0.11) + " 0.5\n";
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) text += "vt " + std::to_string((i % 10) / 9.0) + " " + std::to_string(j / 200.0) + "\n";
    for (int j = 0; j < n; ++j) {
        text += j % 2 ? "usemtl red\n" : "usemtl blue\n";
        for (int i = 0; i < n; ++i) {
            int a = j * (n + 1) + i + 1, b = a + 1, c = a + n + 2, d = a + n + 1;
            // Texture numbers run in another order than vertex numbers.
            int ta = (n + 1) * (n + 1) + 1 - a, tb = ta - 1, tc = ta - n - 2, td = ta - n - 1;
            text += "f " + std::to_string(a) + "/" + std::to_string(ta) + " " + std::to_string(b) + "/" +
                    std::to_string(tb) + " " + std::to_string(c) + "/" + std::to_string(tc) + " " + std::to_string(d) +
                    "/" + std::to_string(td) + "\n";
        }
    }
    return text;
}

TEST_F(RobustTest, LargeFileReadInBlocksEqualsTheTextRead) {
    // Large files are counted in pieces and read by two threads; many block
    // and piece boundaries fall inside lines.
    const int n = 200;
    const std::string text = texturedGrid(n);
    ASSERT_GT(text.size(), 3u << 20);
    Loaded file, mem;
    readFile(file, text, "grid.obj");
    ASSERT_TRUE(LoadObjText(mem.ctx, text, dir + "grid.obj").ok());
    EXPECT_EQ(file.ctx.model.ttlnum_Faces, 2 * n * n);
    EXPECT_TRUE(sameModel(file.ctx.model, mem.ctx.model));
    EXPECT_TRUE(storeConsistent(file.ctx.model));
}

TEST_F(RobustTest, LargeFileWithOldMacLineEndsReadsTheSame) {
    const std::string text = texturedGrid(200);
    Loaded lf, cr;
    readFile(lf, text, "lf.obj");
    readFile(cr, replaceAll(text, "\n", "\r"), "cr.obj");
    EXPECT_EQ(cr.ctx.model.ttlnum_Faces, 2 * 200 * 200);
    EXPECT_TRUE(sameModel(lf.ctx.model, cr.ctx.model));
}

TEST_F(RobustTest, VertexZeroNearTheEndOfALargeFileMakesItCountFromZero) {
    // The one face that uses vertex 0 comes last, in another piece of the
    // count than the start of the file.
    std::string text;
    const int n = 120000;
    for (int i = 0; i < n; ++i) text += "v " + std::to_string(i) + ".5 1.25 -2.75\n";
    int faces = 1;
    for (int i = 1; i + 2 < n; i += 3, ++faces)
        text += "f " + std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(i + 2) + "\n";
    text += "f 0 1 2\n";
    ASSERT_GT(text.size(), 3u << 20);
    Loaded file, mem;
    readFile(file, text, "zero.obj");
    ASSERT_TRUE(LoadObjText(mem.ctx, text, dir + "zero.obj").ok());
    const ModelStore& m = file.ctx.model;
    ASSERT_EQ(m.ttlnum_Faces, faces);
    EXPECT_EQ(m.VFaces[0].vtx[2], 1);  // "f 1 2 3" names vertices 1, 2, 3 of 0..n-1
    EXPECT_EQ(m.VFaces[static_cast<std::size_t>(m.ttlnum_Faces - 1)].vtx[2], 0);
    EXPECT_TRUE(file.ui.boxes.empty());
    EXPECT_TRUE(sameModel(m, mem.ctx.model));
}

TEST_F(RobustTest, HugeAndOddNumbersInFacesAreReportedNotUsed) {
    Loaded l;
    ASSERT_TRUE(LoadObjText(l.ctx,
                            "v 0 0 0\nv 1 0 0\nv 1 1 0\n"
                            "f 99999999999999999999999 1 2\n"
                            "f -99999999999999999999 1 2\n"
                            "f 2147483648 1 2\n"
                            "f -2147483649 1 2\n"
                            "f 1e3 1 2\n"
                            "f 1/99999999999 2/1 3/1\n"
                            "f - 1 2\nf / 1 2\nf // 1 2\nf 1/ 2 3\n",
                            dir + "odd.obj").ok());
    EXPECT_EQ(l.ctx.model.ttlnum_Faces, 1);  // only "1/ 2 3"
    EXPECT_TRUE(storeConsistent(l.ctx.model));
    // The user sees each number as the file wrote it.
    ASSERT_EQ(l.ui.boxes.size(), 1u);
    EXPECT_NE(l.ui.boxes[0].text.find("line 4: face skipped, vertex number \"99999999999999999999999\""),
              std::string::npos)
        << l.ui.boxes[0].text;
    EXPECT_TRUE(l.ui.sawLog("line 5: face skipped, vertex number \"-99999999999999999999\""));
    EXPECT_TRUE(l.ui.sawLog("line 6: face skipped, vertex number \"2147483648\""));
    EXPECT_TRUE(l.ui.sawLog("line 9: face skipped, texture vertex number \"99999999999\""));
    EXPECT_TRUE(l.ui.sawLog("line 10: face skipped, vertex number \"-\""));
}

TEST_F(RobustTest, NulBytesAndControlCharactersDoNotDerailReading) {
    Loaded l;
    std::string text("v 0 0 0\0\nv 1\x01 0 0\nv 1 1 0\n\0\0\0\nf 1 2 3\n", 38);
    ASSERT_TRUE(LoadObjText(l.ctx, text, dir + "nul.obj").ok());
    EXPECT_EQ(l.ctx.model.ttlnum_Vertices, 3);
    EXPECT_EQ(l.ctx.model.ttlnum_Faces, 1);
    EXPECT_TRUE(storeConsistent(l.ctx.model));
}

TEST_F(RobustTest, DamagedTextNeverBreaksTheStore) {
    // Deterministic damage of a valid file: bytes changed, dropped and
    // repeated. Each result must read without crashing and leave a store
    // whose references all hold.
    const std::string base = std::string(kCube) + "f -1/-1 -2/-2 -3/-3\nf 0 1 2\nl 1 2\np 3\n";
    std::mt19937 rng(20240611);
    const char alphabet[] = "0123456789 /-.+eE\t\r\nvftnum#\x00\xff";
    for (int round = 0; round < 3000; ++round) {
        std::string t = base;
        int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits && !t.empty(); ++e) {
            std::size_t at = rng() % t.size();
            switch (rng() % 3) {
                case 0: t[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
                case 1: t.erase(at, 1 + rng() % 6); break;
                default: t.insert(at, t.substr(at, 1 + rng() % 12)); break;
            }
        }
        Loaded l;
        l.ctx.dbgLevel = static_cast<std::int16_t>(round % 3);
        LoadObjText(l.ctx, t, dir + "cube.obj");
        ASSERT_TRUE(storeConsistent(l.ctx.model)) << "round " << round << ":\n" << t;
        Loaded lm;
        LoadMtlText(lm.ctx, t, dir + "x.mtl");
    }
}

}  // namespace
}  // namespace molv
