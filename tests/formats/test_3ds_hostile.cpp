// 3DS reader on damaged and hostile input: lying lengths and counts,
// references outside the mesh, truncation at every byte and byte noise.
// Run under ASan+UBSan these also prove nothing is read outside the file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <random>

#include "formats/tds_reader.h"
#include "formats/test_3ds_build.h"
#include "convert/context.h"
#include "core/scripted_ui.h"
#include "support/test_support.h"

using namespace molv;
using namespace molv::test3ds;

namespace {

struct Fixture {
    ScriptedUI ui;
    Context ctx{ui};
    ModelStore& m = ctx.model;
    bool read(std::string_view bytes) { return Read3DSBytes(ctx, bytes, "bad.3ds").ok(); }
    // The log list wraps long lines at 120 characters; joined back here.
    bool sawLog(std::string_view part) const {
        std::string all;
        for (auto& l : ui.log) all += l;
        return all.find(part) != std::string::npos;
    }
};

// What every writer relies on, whatever the input was.
::testing::AssertionResult storeIsSound(const ModelStore& m) {
    for (std::int32_t f = 0; f < m.ttlnum_Faces; ++f)
        for (int k = 0; k < 3; ++k) {
            std::int32_t v = m.VFaces[static_cast<std::size_t>(f)].vtx[k];
            if (v < 0 || v >= m.ttlnum_Vertices)
                return ::testing::AssertionFailure() << "face " << f << " corner " << v << " of " << m.ttlnum_Vertices;
        }
    std::vector<int> uses(static_cast<std::size_t>(m.ttlnum_Faces), 0);
    for (std::int32_t g = 0; g < m.nFaceGrps; ++g) {
        const FaceGroup& fg = m.FaceGrps[static_cast<std::size_t>(g)];
        if (fg.nFcs > 0 && (fg.MtlID < 0 || fg.MtlID >= m.nMaterials))
            return ::testing::AssertionFailure() << "group " << g << " material " << fg.MtlID;
        for (std::int32_t i = 0; i < fg.nFcs; ++i) {
            std::int32_t gf = fg.FgGlblFaces[static_cast<std::size_t>(i)];
            if (gf < 0 || gf >= m.ttlnum_Faces)
                return ::testing::AssertionFailure() << "group " << g << " member " << gf;
            ++uses[static_cast<std::size_t>(gf)];
        }
        for (std::int32_t i = 0; i < fg.nFcs; ++i) {
            const std::int32_t gf = fg.FgGlblFaces[static_cast<std::size_t>(i)];
            for (int k = 0; k < 3; ++k) {
                const Vertex& v = m.Vertices[static_cast<std::size_t>(m.VFaces[static_cast<std::size_t>(gf)].vtx[k])];
                if (static_cast<std::int32_t>(v.UVs.size()) < fg.num_maps)
                    return ::testing::AssertionFailure() << "vertex of group " << g << " lacks UVs";
            }
        }
    }
    // Every face is in exactly one group: none vanish, none are written twice.
    for (std::int32_t f = 0; f < m.ttlnum_Faces; ++f)
        if (uses[static_cast<std::size_t>(f)] != 1)
            return ::testing::AssertionFailure() << "face " << f << " is in " << uses[static_cast<std::size_t>(f)] << " groups";
    for (std::int32_t i = 0; i < m.meshCount; ++i) {
        std::int32_t p = m.Meshes[static_cast<std::size_t>(i)].parent;
        if (p < -1 || p >= m.meshCount) return ::testing::AssertionFailure() << "mesh " << i << " parent " << p;
    }
    return ::testing::AssertionSuccess();
}

std::string richFile() {
    std::string mats = material(matName("Red") + colourBytes(0xA020, 200, 0, 0) + percent(0xA040, 20) + texMap("red.png")) +
                       material(matName("Blue") + colourFloats(0xA020, 0, 0, 1) + percentFloat(0xA050, 0.5f));
    std::string a = object("A", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}) +
                                        texVerts({{0, 0}, {1, 0}, {0, 1}, {1, 1}}) + localAxis({0.5f, 0.5f, 0}) +
                                        faces({{0, 1, 2}, {1, 3, 2}}, faceGroup("Red", {0}) + faceGroup("Blue", {1}) +
                                                                          chunk(0x4150, u32(1) + u32(1)))));
    std::string b = object("B", trimesh(vertices({{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}) + faces({{0, 1, 2}})));
    return mainChunk(editor(mats + a + b) + keyframer(node("A", -1) + node("B", 0)));
}

}  // namespace

TEST(Read3DSHostile, EmptyFileIsAFailure) {
    Fixture f;
    EXPECT_FALSE(f.read(""));
    EXPECT_TRUE(f.ctx.app.readAbort);
    EXPECT_TRUE(f.ui.sawBox("The 3DS file bad.3ds is empty"));
}

TEST(Read3DSHostile, TextFileIsNoThreeDsFile) {
    Fixture f;
    EXPECT_FALSE(f.read("v 1 2 3\nv 4 5 6\nf 1 2 3\n"));
    EXPECT_TRUE(f.ctx.app.readAbort);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].text, "The file bad.3ds is not a 3DS file: it holds no MAIN chunk (0x4D4D)");
    EXPECT_EQ(f.m.meshCount, 0);
}

TEST(Read3DSHostile, MissingFileIsAFailure) {
    Fixture f;
    EXPECT_FALSE(Read3DS(f.ctx, test::tempDir("3ds") + "none.3ds"));
    EXPECT_TRUE(f.ctx.app.readAbort);
    EXPECT_TRUE(f.ui.sawBox("Cannot read 3DS file"));
}

TEST(Read3DSHostile, LengthBelowSixEndsTheEnclosingChunkWithItsOffset) {
    Fixture f;
    // A zero-length chunk after the first object would loop forever if
    // taken as given.
    std::string body = triangleObject("A") + chunkWithLength(0x1234, 0, "") + triangleObject("B");
    ASSERT_TRUE(f.read(mainChunk(editor(body))));
    EXPECT_EQ(f.m.meshCount, 1);
    const std::size_t at = 6 + 10 + 6 + 10 + triangleObject("A").size();
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%06zX", at);
    ASSERT_FALSE(f.ui.boxes.empty());
    EXPECT_NE(f.ui.boxes[0].text.find(std::string("bad.3ds: byte offset ") + hex), std::string::npos) << f.ui.boxes[0].text;
    EXPECT_NE(f.ui.boxes[0].text.find("length 0 is below"), std::string::npos);
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, LengthPastTheEnclosingChunkIsCutThere) {
    Fixture f;
    // The vertex chunk claims 1000 bytes inside a mesh that has far fewer.
    std::string verts = vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    verts.replace(2, 4, u32(1000));
    std::string bytes = mainChunk(editor(object("T", trimesh(verts + faces({{0, 1, 2}})))));
    ASSERT_TRUE(f.read(bytes));
    EXPECT_TRUE(f.ui.sawBox("chunk 0x4110 (TRI_VERTEXL vertices): length 1000 runs past the end"));
    // The vertices were read up to the mesh's end; the faces chunk was
    // swallowed by the cut chunk, so no face.
    EXPECT_EQ(f.m.ttlnum_Vertices, 3);
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, MainLongerThanTheFileReadsWhatIsThere) {
    Fixture f;
    std::string bytes = mainChunk(editor(triangleObject("A") + triangleObject("B")));
    bytes.replace(2, 4, u32(0x7FFFFFF0));
    ASSERT_TRUE(f.read(bytes));
    EXPECT_EQ(f.m.ttlnum_Faces, 2);
    EXPECT_EQ(f.ui.boxes.size(), 1u);  // one box, the rest only logged
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, CancelAtTheDamageBoxGivesUpTheFile) {
    Fixture f;
    f.ui.answers.push_back(Answer::Cancel);
    std::string bytes = mainChunk(editor(triangleObject("A") + chunkWithLength(0x4000, 3, "") + triangleObject("B")));
    EXPECT_FALSE(f.read(bytes));
    EXPECT_TRUE(f.ctx.app.readAbort);
}

TEST(Read3DSHostile, HugeCountsReadOnlyWhatTheChunkHolds) {
    Fixture f;
    std::string v = u16(65535) + f32(0) + f32(0) + f32(0) + f32(1) + f32(0) + f32(0) + f32(0) + f32(1) + f32(0);
    std::string fc = u16(65535) + u16(0) + u16(1) + u16(2) + u16(0);
    std::string tv = u16(65535) + f32(0.5f) + f32(0.5f);
    std::string fg = cstr("Red") + u16(65535) + u16(0);
    std::string obj = object("T", trimesh(chunk(0x4110, v) + chunk(0x4140, tv) + chunk(0x4120, fc) + chunk(0x4130, fg)));
    ASSERT_TRUE(f.read(mainChunk(editor(material(matName("Red")) + obj))));
    EXPECT_EQ(f.m.ttlnum_Vertices, 3);
    EXPECT_EQ(f.m.ttlnum_Faces, 1);
    EXPECT_TRUE(f.sawLog("vertex count 65535 runs past the chunk's end; 3 vertices read"));
    EXPECT_TRUE(f.sawLog("face count 65535 runs past the chunk's end; 1 faces read"));
    EXPECT_TRUE(f.sawLog("texture vertex count 65535 runs past the chunk's end; 1 read"));
    EXPECT_TRUE(f.sawLog("face count 65535 runs past the chunk's end; 1 read"));
    ASSERT_EQ(f.m.nFaceGrps, 1);
    EXPECT_EQ(f.m.FaceGrps[0].nFcs, 1);
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, FaceCornersBeyondTheMeshAreSkippedAndGroupsStillFindTheirFaces) {
    Fixture f;
    // Face 1 names vertex 7 of a 4-vertex mesh: skipped. The group's member
    // 2 must still mean the file's third face.
    std::string obj = object("T", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}) +
                                          faces({{0, 1, 2}, {0, 7, 2}, {1, 3, 2}}, faceGroup("Red", {2, 1}))));
    ASSERT_TRUE(f.read(mainChunk(editor(material(matName("Red")) + obj))));
    ASSERT_EQ(f.m.ttlnum_Faces, 2);
    EXPECT_TRUE(f.sawLog("1 face(s) name a vertex beyond its 4 vertices; skipped"));
    const FaceGroup& g = f.m.FaceGrps[0];
    ASSERT_EQ(g.nFcs, 1);
    EXPECT_EQ(g.FgFaces[0], 1);  // store face 1 is the file's face 2
    EXPECT_EQ(f.m.VFaces[1].vtx[0], 2);
    EXPECT_EQ(f.m.VFaces[1].vtx[1], 3);
    EXPECT_EQ(f.m.VFaces[1].vtx[2], 1);
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, GroupMembersBeyondTheFacesAreReportedAndSkipped) {
    Fixture f;
    std::string obj = object("T", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) +
                                          faces({{0, 1, 2}}, faceGroup("Red", {5, 0, 40000}))));
    ASSERT_TRUE(f.read(mainChunk(editor(material(matName("Red")) + obj))));
    EXPECT_TRUE(f.sawLog("face group (Red) of mesh 0: 2 face number(s) beyond the mesh's 1 faces; skipped"));
    ASSERT_EQ(f.m.nFaceGrps, 1);
    EXPECT_EQ(f.m.FaceGrps[0].nFcs, 1);
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, FaceClaimedByTwoGroupsStaysInTheFirst) {
    Fixture f;
    std::string obj = object("T", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) +
                                          faces({{0, 1, 2}}, faceGroup("Red", {0, 0}) + faceGroup("Blue", {0}))));
    ASSERT_TRUE(f.read(mainChunk(editor(material(matName("Red")) + material(matName("Blue")) + obj))));
    EXPECT_EQ(f.m.FaceGrps[0].nFcs, 1);
    EXPECT_EQ(f.m.FaceGrps[1].nFcs, 0);
    EXPECT_TRUE(f.sawLog("already in another group"));
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, FacesBeforeAnyVertexAreAllSkipped) {
    Fixture f;
    std::string obj = object("T", trimesh(faces({{0, 1, 2}}) + vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}})));
    ASSERT_TRUE(f.read(mainChunk(editor(obj))));
    EXPECT_EQ(f.m.ttlnum_Faces, 0);
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, UnterminatedNamesAreReported) {
    Fixture f;
    std::string bytes = mainChunk(editor(chunk(0x4000, "NoZeroByteHere")));
    ASSERT_TRUE(f.read(bytes));
    EXPECT_TRUE(f.sawLog("object name has no terminating zero byte"));
    EXPECT_EQ(f.m.meshCount, 0);
}

TEST(Read3DSHostile, ShortFixedChunksAreReported) {
    Fixture f;
    std::string obj = object("T", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + chunk(0x4160, f32(1) + f32(2)) +
                                          faces({{0, 1, 2}})));
    std::string mat = material(matName("M") + chunk(0xA020, chunk(0x0011, "\x01")) + chunk(0xA040, chunk(0x0030, "\x01")));
    ASSERT_TRUE(f.read(mainChunk(editor(mat + obj) + keyframer(chunk(0xB002, chunk(0xB010, cstr("T") + u16(0)))))));
    EXPECT_TRUE(f.sawLog("shorter than its 48 bytes of axes and origin"));
    EXPECT_TRUE(f.sawLog("shorter than its three colour bytes"));
    EXPECT_TRUE(f.sawLog("shorter than its 16-bit percentage"));
    EXPECT_TRUE(f.sawLog("node header cut short"));
    EXPECT_EQ(f.m.Materials[0].diffuse, (Colour{}));
    EXPECT_EQ(f.m.ttlnum_Faces, 1);
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, DamageLinesAreCapped) {
    Fixture f;
    std::string body;
    for (int i = 0; i < 200; ++i)
        body += object("T", trimesh(chunk(0x4110, u16(100)) + faces({{0, 1, 2}})));
    ASSERT_TRUE(f.read(mainChunk(editor(body))));
    EXPECT_LE(f.ui.log.size(), 100u);
    EXPECT_TRUE(f.sawLog("further problems not listed"));
    EXPECT_EQ(f.ui.boxes.size(), 1u);
}

TEST(Read3DSHostile, EveryTruncatedPrefixReadsSafely) {
    const std::string full = richFile();
    for (std::size_t n = 0; n < full.size(); ++n) {
        Fixture f;
        f.read(std::string_view(full).substr(0, n));
        ASSERT_TRUE(storeIsSound(f.m)) << "prefix " << n;
    }
    Fixture f;
    ASSERT_TRUE(f.read(full));
    EXPECT_TRUE(f.ui.boxes.empty());
    EXPECT_EQ(f.m.ttlnum_Faces, 3);
    EXPECT_EQ(f.m.Meshes[1].parent, 0);
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, EveryTruncatedPrefixOfARealFileReadsSafely) {
    const std::string full = test::readFile(test::dataPath("3ds/CameraRollAnimWithChildObject.3ds"));
    ASSERT_FALSE(full.empty());
    for (std::size_t n = 0; n < full.size(); n += 1) {
        Fixture f;
        f.read(std::string_view(full).substr(0, n));
        ASSERT_TRUE(storeIsSound(f.m)) << "prefix " << n;
    }
}

TEST(Read3DSHostile, RandomByteNoiseNeverBreaksTheStore) {
    const std::string full = richFile();
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = full;
        const int flips = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < flips; ++k) {
            std::size_t at = rng() % bytes.size();
            // Lengths and counts are where damage matters: favour big values.
            bytes[at] = static_cast<char>(rng() % 3 == 0 ? 0xFF : rng() & 0xFF);
        }
        Fixture f;
        f.read(bytes);
        ASSERT_TRUE(storeIsSound(f.m)) << "round " << round;
    }
}

TEST(Read3DSHostile, DeepNestingDoesNotDeepenTheReader) {
    // 50000 containers inside each other: a reader that followed any
    // container anywhere would run out of stack.
    const std::string inner = triangleObject("T");
    const int depth = 50001;
    std::string bytes;
    for (int i = 0; i < depth; ++i) {
        const auto len = static_cast<std::uint32_t>(6 * (depth - i) + inner.size());
        bytes += u16(i % 2 ? 0x3D3D : 0x4D4D) + u32(len);
    }
    bytes += inner;
    Fixture f;
    EXPECT_TRUE(f.read(bytes));
    EXPECT_EQ(f.m.meshCount, 0);
}

namespace {
double secondsOf(Fixture& f, const std::string& bytes) {
    auto t0 = std::chrono::steady_clock::now();
    f.read(bytes);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
}  // namespace

// Sizes a small file can announce must not turn into quadratic work: each
// case below took minutes before it was made linear.
TEST(Read3DSHostile, KeyframerChainOfThousandsOfObjectsIsLinear) {
    std::string objs, nodes;
    const int n = 30000;
    for (int i = 0; i < n; ++i) {
        const std::string name = "o" + std::to_string(i);
        objs += object(name, trimesh(""));
        nodes += node(name, static_cast<std::int16_t>(i - 1));
    }
    // A chain of dummies between every object would be as bad.
    Fixture f;
    EXPECT_LT(secondsOf(f, mainChunk(editor(objs) + keyframer(nodes))), 10.0);
    ASSERT_EQ(f.m.meshCount, n);
    EXPECT_EQ(f.m.Meshes[n - 1].parent, n - 2);
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, DummyChainsAreWalkedOnce) {
    std::string nodes;
    const int dummies = 20000, meshes = 2000;
    for (int i = 0; i < dummies; ++i) nodes += node("$$$DUMMY", static_cast<std::int16_t>(i - 1));
    std::string objs;
    for (int i = 0; i < meshes; ++i) {
        objs += object("m" + std::to_string(i), trimesh(""));
        nodes += node("m" + std::to_string(i), static_cast<std::int16_t>(dummies - 1));
    }
    Fixture f;
    EXPECT_LT(secondsOf(f, mainChunk(editor(objs) + keyframer(nodes))), 10.0);
    EXPECT_EQ(f.m.Meshes[5].parent, -1);
}

TEST(Read3DSHostile, ThousandsOfMaterialsAndGroupsAreLinear) {
    std::string mats, groups;
    const int n = 40000;
    for (int i = 0; i < n; ++i) mats += material(matName("m" + std::to_string(i)));
    for (int i = 0; i < n; ++i) groups += faceGroup("M" + std::to_string(n - 1 - i), {0});
    for (int i = 0; i < n; ++i) groups += faceGroup("unknown" + std::to_string(i), {});
    std::string obj = object("T", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + faces({{0, 1, 2}}) + groups));
    Fixture f;
    EXPECT_LT(secondsOf(f, mainChunk(editor(mats + obj))), 10.0);
    EXPECT_EQ(f.m.FaceGrps[0].MtlID, n - 1);
    EXPECT_EQ(f.m.FaceGrps[0].nFcs, 1);
    EXPECT_LE(f.ui.boxes.size(), 10u);
    EXPECT_TRUE(storeIsSound(f.m));
}

TEST(Read3DSHostile, PiledUpUvListsAndMapsAreBounded) {
    std::string v = u16(2000), t = u16(2000);
    for (int i = 0; i < 2000; ++i) {
        v += f32(0) + f32(0) + f32(0);
        t += f32(0.5f) + f32(0.5f);
    }
    std::string uvs;
    for (int i = 0; i < 300; ++i) uvs += chunk(0x4140, t);
    std::string maps;
    for (int i = 0; i < 20000; ++i) maps += chunk(0xA200, chunk(0xA300, cstr("x")));
    Fixture f;
    EXPECT_LT(secondsOf(f, mainChunk(editor(material(matName("M") + maps) + object("T", trimesh(chunk(0x4110, v) + uvs))))), 10.0);
    EXPECT_EQ(f.m.Meshes[0].num_UVsets, 8);
    EXPECT_EQ(f.m.Vertices[1999].num_UVs, 8);
    EXPECT_TRUE(f.sawLog("already has 8 texture vertex lists; this one is skipped"));
    EXPECT_EQ(f.m.Materials[0].nMaps, 20000);
    EXPECT_LE(f.ui.log.size(), 100u);
}
