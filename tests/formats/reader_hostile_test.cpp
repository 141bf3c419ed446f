// Every reader on hostile input: nothing, every cut of a small valid file,
// noise, another format's bytes, lying counts and indices. Each read must
// end, fail with a message or keep what it could, and leave a store whose
// references all hold. Under ASan+UBSan this also proves nothing is read
// outside the input. The table at the end pins particular messages.
#include <gtest/gtest.h>

#include <cstdlib>

#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/cal3d_samples.h"
#include "support/dae_build.h"
#include "support/gltf_build.h"
#include "support/harness.h"
#include "support/tds_build.h"
#include "support/test_support.h"

namespace molv {
namespace {

using test::Format;
using test::TestContext;
namespace b3 = test3ds;

// What every writer relies on, whatever the input was.
::testing::AssertionResult storeIsSound(const ModelStore& m) {
    const std::string fault = storeFault(m);
    if (fault.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << fault;
}

const char* const kCubeObj =
    "o cube\nv -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 -1\nusemtl red\n"
    "f 1/1/1 4/4/1 3/3/1 2/2/1\nf 5/1 6/2 7/3 8/4\ng side\nf -1/-1 -2/-2 -3/-3\nf 0 1 2\nl 1 2\np 3\n";
const char* const kMtl = "newmtl red\nKa 0.2 0.2 0.2\nKd 1 0 0 1\nNs 96\nd 0.5\nmap_Kd -s 2 2 1 red.png\nnewmtl b\nKd 0.5\n";
const char* const kTxm =
    "name=wood\nambient=51 51 51 255\ndiffusive=200 100 0 255\nspecular=255 255 255 255\nshininess=12\n"
    "num_maps=1\ntexture_name=wood.png\nbogus=1\n";

std::string rich3ds() {
    using namespace b3;
    std::string mats = material(matName("Red") + colourBytes(0xA020, 200, 0, 0) + percent(0xA040, 20) + texMap("red.png")) +
                       material(matName("Blue") + colourFloats(0xA020, 0, 0, 1) + percentFloat(0xA050, 0.5f));
    std::string a = object("A", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}) +
                                        texVerts({{0, 0}, {1, 0}, {0, 1}, {1, 1}}) + localAxis({0.5f, 0.5f, 0}) +
                                        faces({{0, 1, 2}, {1, 3, 2}}, faceGroup("Red", {0}) + faceGroup("Blue", {1}) +
                                                                          chunk(0x4150, u32(1) + u32(1)))));
    std::string b = object("B", trimesh(vertices({{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}) + faces({{0, 1, 2}})));
    return mainChunk(editor(mats + a + b) + keyframer(node("A", -1) + node("B", 0)));
}

std::string sampleOf(Format f) {
    switch (f) {
        case Format::Obj: return kCubeObj;
        case Format::Mtl: return kMtl;
        case Format::Tds: return rich3ds();
        case Format::Dae: return daetest::quadDoc();
        // Two meshes, a quad, a textured point used with two texture coordinates,
        // corners with normals, a comment over two lines, escapes in a string.
        case Format::An8: return test::readFile(test::dataPath("formats/an8_sample.an8"));
        case Format::Txm: return kTxm;
        case Format::Gltf: {
            gltftest::Mesh m;
            m.uv = {0, 0, 1, 0, 0, 1, 1, 1};
            m.materials = R"([{"name": "Red", "pbrMetallicRoughness": {"baseColorFactor": [1, 0, 0, 1]}}])";
            m.material = 0;
            m.nodes = R"([{"children": [1], "translation": [1, 2, 3]}, {"mesh": 0, "scale": [-1, 1, 1]}])";
            return gltftest::doc(m);
        }
        case Format::Cmf: return test::cmfSample();
        case Format::Csf: return test::csfSample();
        case Format::Crf: return test::crfSample();
        case Format::Xmf: return test::kXmfSample;
        case Format::Xsf: return test::kXsfSample;
        case Format::Xrf: return test::kXrfSample;
    }
    return {};
}

// One read; checks the store and that a failure told the user why.
// Returns whether the read succeeded.
bool readChecked(Format f, std::string_view bytes, const std::string& what) {
    TestContext t;
    t.ctx.dbgLevel = 1;  // the detail lines run too
    const ReadResult r = test::readBytes(t.ctx, f, bytes, std::string("bad.") + test::formatName(f));
    EXPECT_TRUE(storeIsSound(t.m)) << what;
    if (!r.ok()) {
        EXPECT_FALSE(t.ui.boxes.empty()) << what << ": failed silently";
    }
    return r.ok();
}

const Format kAllFormats[] = {Format::Obj, Format::Mtl, Format::Tds, Format::Dae, Format::An8, Format::Txm, Format::Cmf,
                              Format::Csf, Format::Crf, Format::Xmf, Format::Xsf, Format::Xrf, Format::Gltf};

struct ReaderHostile : ::testing::TestWithParam<Format> {};

TEST_P(ReaderHostile, ValidSampleReadsWithoutComplaint) {
    TestContext t;
    const std::string s = sampleOf(GetParam());
    ASSERT_TRUE(test::readBytes(t.ctx, GetParam(), s, "good").ok());
    EXPECT_TRUE(storeIsSound(t.m));
    const Format f = GetParam();
    if (f != Format::Mtl && f != Format::Txm && f != Format::Csf && f != Format::Crf && f != Format::Xsf && f != Format::Xrf) {
        EXPECT_GT(t.m.ttlnum_Faces, 0);
    }
}

// Prefix 0 is the empty input. A binary Cal3D file says how long it is, and
// a Collada document must close its root: every cut of those is a failed read.
TEST_P(ReaderHostile, EveryTruncatedPrefix) {
    const Format f = GetParam();
    const std::string s = sampleOf(f);
    const bool sized = f == Format::Cmf || f == Format::Csf || f == Format::Crf;
    const std::size_t mustFailBelow = sized ? s.size() : f == Format::Dae ? s.find("</COLLADA>") + 10 : 0;
    for (std::size_t n = 0; n < s.size(); ++n) {
        const bool ok = readChecked(f, std::string_view(s).substr(0, n), "prefix " + std::to_string(n));
        if (n < mustFailBelow) {
            EXPECT_FALSE(ok) << "prefix " << n;
        }
    }
}

TEST_P(ReaderHostile, DamagedBytes) {
    // Bytes changed (favouring 0xFF, which makes lengths and counts huge),
    // dropped and repeated.
    const std::string base = sampleOf(GetParam());
    std::mt19937 rng(20240611);
    const char alphabet[] = "0123456789 /-.+eE\t\r\n<>\"=#vf\x00\xff";
    for (int round = 0; round < 1500; ++round) {
        std::string t = base;
        const int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits && !t.empty(); ++e) {
            const std::size_t at = rng() % t.size();
            switch (rng() % 4) {
                case 0: t[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
                case 1: t[at] = static_cast<char>(rng() % 3 == 0 ? 0xFF : rng() & 0xFF); break;
                case 2: t.erase(at, 1 + rng() % 6); break;
                default: t.insert(at, t.substr(at, 1 + rng() % 12)); break;
            }
        }
        readChecked(GetParam(), t, "round " + std::to_string(round));
    }
}

TEST_P(ReaderHostile, NoiseAndOtherFormats) {
    std::mt19937 rng(77);
    for (int round = 0; round < 200; ++round) {
        std::string t(rng() % 400, '\0');
        for (char& c : t) c = static_cast<char>(rng() & 0xFF);
        readChecked(GetParam(), t, "noise " + std::to_string(round));
    }
    for (Format other : kAllFormats)
        readChecked(GetParam(), sampleOf(other), std::string("bytes of ") + test::formatName(other));
}

INSTANTIATE_TEST_SUITE_P(AllReaders, ReaderHostile, ::testing::ValuesIn(kAllFormats),
                         [](const ::testing::TestParamInfo<Format>& p) { return std::string(test::formatName(p.param)); });

// The real documents at every (sampled) cut.
TEST(ReaderHostileFiles, CutsOfRealFiles) {
    const struct {
        Format f;
        const char* rel;
        std::size_t step;
    } files[] = {{Format::Tds, "3ds/CameraRollAnimWithChildObject.3ds", 1},
                 {Format::Dae, "dae/pycollada_scene.dae", 7},
                 {Format::Gltf, "gltf/BoxTextured.glb", 1}};
    for (const auto& file : files) {
        const std::string s = test::readFile(test::dataPath(file.rel));
        ASSERT_FALSE(s.empty()) << file.rel;
        for (std::size_t n = 0; n < s.size(); n += file.step)
            readChecked(file.f, std::string_view(s).substr(0, n), std::string(file.rel) + " cut at " + std::to_string(n));
    }
}

// --- pinned cases --------------------------------------------------------

std::string daeTri(std::string_view p, std::string_view count = "1", std::string_view positions = "0 0 0 1 0 0 0 1 0",
                   std::string_view scene = {}) {
    return daetest::wrapDoc(daetest::geometry("g", positions,
                                              std::string("<triangles count=\"") + std::string(count) + "\">\n" +
                                                  "<input semantic=\"VERTEX\" source=\"#g-v\" offset=\"0\"/>\n<p>" +
                                                  std::string(p) + "</p>\n</triangles>\n"),
                            scene);
}

std::string tdsHugeCounts() {
    using namespace b3;
    std::string v = u16(65535) + f32(0) + f32(0) + f32(0) + f32(1) + f32(0) + f32(0) + f32(0) + f32(1) + f32(0);
    std::string fc = u16(65535) + u16(0) + u16(1) + u16(2) + u16(0);
    std::string tv = u16(65535) + f32(0.5f) + f32(0.5f);
    std::string fg = cstr("Red") + u16(65535) + u16(0);
    return mainChunk(editor(material(matName("Red")) +
                            object("T", trimesh(chunk(0x4110, v) + chunk(0x4140, tv) + chunk(0x4120, fc) + chunk(0x4130, fg)))));
}

std::string tdsZeroLengthChunk() {
    return b3::mainChunk(b3::editor(b3::triangleObject("A") + b3::chunkWithLength(0x1234, 0, "") + b3::triangleObject("B")));
}

std::string tdsLongVertexChunk() {
    using namespace b3;
    std::string verts = vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    verts.replace(2, 4, u32(1000));
    return mainChunk(editor(object("T", trimesh(verts + faces({{0, 1, 2}})))));
}

std::string tdsMainTooLong() {
    using namespace b3;
    std::string bytes = mainChunk(editor(triangleObject("A") + triangleObject("B")));
    bytes.replace(2, 4, u32(0x7FFFFFF0));
    return bytes;
}

std::string tdsGroups(std::initializer_list<b3::Tri> tris, const std::string& groups) {
    using namespace b3;
    return mainChunk(editor(material(matName("Red")) + material(matName("Blue")) +
                            object("T", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}) + faces(tris, groups)))));
}

std::string tdsShortChunks() {
    using namespace b3;
    std::string obj = object("T", trimesh(vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + chunk(0x4160, f32(1) + f32(2)) +
                                          faces({{0, 1, 2}})));
    std::string mat = material(matName("M") + chunk(0xA020, chunk(0x0011, "\x01")) + chunk(0xA040, chunk(0x0030, "\x01")));
    return mainChunk(editor(mat + obj) + keyframer(chunk(0xB002, chunk(0xB010, cstr("T") + u16(0)))));
}

std::string tdsManyDamaged() {
    using namespace b3;
    std::string body;
    for (int i = 0; i < 200; ++i) body += object("T", trimesh(chunk(0x4110, u16(100)) + faces({{0, 1, 2}})));
    return mainChunk(editor(body));
}

std::string tdsDeepNesting() {
    const std::string inner = b3::triangleObject("T");
    const int depth = 50001;
    std::string bytes;
    for (int i = 0; i < depth; ++i)
        bytes += b3::u16(i % 2 ? 0x3D3D : 0x4D4D) + b3::u32(static_cast<std::uint32_t>(6 * (depth - i) + inner.size()));
    return bytes + inner;
}

std::string tdsPiledUpLists() {
    using namespace b3;
    std::string v = u16(2000), t = u16(2000);
    for (int i = 0; i < 2000; ++i) {
        v += f32(0) + f32(0) + f32(0);
        t += f32(0.5f) + f32(0.5f);
    }
    std::string uvs;
    for (int i = 0; i < 300; ++i) uvs += chunk(0x4140, t);
    return mainChunk(editor(object("T", trimesh(chunk(0x4110, v) + uvs))));
}

// Node n0 holds leaf; each n<i> instances n<i-1> twice.
std::string chainLibrary(int levels, std::string_view leaf) {
    std::string lib = "<library_nodes>\n<node id=\"n0\">" + std::string(leaf) + "</node>\n";
    for (int i = 1; i <= levels; ++i) {
        const std::string below = "<instance_node url=\"#n" + std::to_string(i - 1) + "\"/>";
        lib += "<node id=\"n" + std::to_string(i) + "\">" + below + below + "</node>\n";
    }
    return lib + "</library_nodes>\n";
}

std::string chainTop(int levels) {
    return "<node id=\"root\">\n<instance_node url=\"#n" + std::to_string(levels) + "\"/>\n</node>\n";
}

// The scene places n<levels>: 2^levels paths.
std::string daeDoublingChain(int levels, std::string_view leaf, std::string_view p = "0 1 2",
                             std::string_view count = "1", std::string_view positions = "0 0 0 1 0 0 0 1 0") {
    return daetest::edit(daeTri(p, count, positions, chainTop(levels)), "</COLLADA>",
                         chainLibrary(levels, leaf) + "</COLLADA>");
}

std::string repeat(std::string_view s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

// One object with one material "M" and one mesh of the given body.
std::string an8Object(std::string_view meshBody) {
    return "object { \"o\"\n  material { \"M\" }\n  mesh {\n" + std::string(meshBody) + "  }\n}\n";
}
// Counts, material list and three points (lines 4 to 6 of an8Object).
const char* const kAn8Tri =
    "    /* 3 points, 1 faces, 0 uvCoords */\n    materiallist { materialname { \"M\" } }\n"
    "    points { (0 0 0) (1 0 0) (0 1 0) }\n";
std::string an8Faces(std::string_view faces) { return an8Object(std::string(kAn8Tri) + "    faces { " + std::string(faces) + " }\n"); }
// A geometry of `prims` one-triangle primitives placed 2^levels times.
std::string daeManyPrimitives(int levels, int prims) {
    const std::string prim =
        "<triangles count=\"1\">\n<input semantic=\"VERTEX\" source=\"#g-v\" offset=\"0\"/>\n<p>0 1 2</p>\n</triangles>\n";
    const std::string doc =
        daetest::wrapDoc(daetest::geometry("g", "0 0 0 1 0 0 0 1 0", repeat(prim, prims)), chainTop(levels));
    return daetest::edit(doc, "</COLLADA>", chainLibrary(levels, "<instance_geometry url=\"#g\"/>") + "</COLLADA>");
}

// Nodes 0..levels-1 each holding the next twice; the last places the mesh.
std::string gltfDoublingChain(int levels) {
    std::string nodes = "[";
    for (int i = 0; i < levels; ++i) nodes += "{\"children\": [" + std::to_string(i + 1) + ", " + std::to_string(i + 1) + "]}, ";
    nodes += "{\"mesh\": 0}]";
    return gltftest::docWith([&](gltftest::Mesh& m) { m.nodes = nodes; });
}
// The sample with a 32-bit field replaced.
std::string patched(std::string s, std::initializer_list<std::pair<std::size_t, std::int32_t>> fields) {
    for (auto [at, v] : fields)
        for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    return s;
}
// Offsets in cmfSample: submesh 0's header at 12, vertex 1's influence count
// at 148, the third corner of its face at 292; in csfSample: the bone count at 8,
// the first name length at 12, the first child count at 83; in crfSample: the map
// count at 24, the first name length at 28.
std::string cmf(std::initializer_list<std::pair<std::size_t, std::int32_t>> f) { return patched(test::cmfSample(), f); }
std::string csf(std::initializer_list<std::pair<std::size_t, std::int32_t>> f) { return patched(test::csfSample(), f); }
std::string crf(std::initializer_list<std::pair<std::size_t, std::int32_t>> f) { return patched(test::crfSample(), f); }

struct Row;
void PrintTo(const Row& r, std::ostream* os);

// Large inputs are made when their test runs: every test runs in a process of
// its own, and building them all up front cost each process a quarter second.
struct Input {
    std::shared_ptr<const std::string> bytes;
    std::string (*make)() = nullptr;
    Input(std::string s) : bytes(std::make_shared<const std::string>(std::move(s))) {}
    Input(const char* s) : Input(std::string(s)) {}
    Input(std::string (*m)()) : make(m) {}
    std::string get() const { return make ? make() : *bytes; }
};

struct Row {
    const char* name;
    Format f;
    Input input;
    bool ok;
    std::vector<std::string> said;  // each in a box or a log line
    int faces = -1;                 // -1: not checked
    int vertices = -1;
};

std::vector<Row> rows() {
    using daetest::edit;
    using daetest::quadDoc;
    auto xmf = [](std::string_view from, std::string_view to) { return edit(test::kXmfSample, from, to); };
    auto xsf = [](std::string_view from, std::string_view to) { return edit(test::kXsfSample, from, to); };
    auto xrf = [](std::string_view from, std::string_view to) { return edit(test::kXrfSample, from, to); };
    auto gltf = [](std::string_view from, std::string_view to) { return gltftest::edit(gltftest::doc({}), from, to); };
    const std::string tri = "v 0 0 0\nv 1 0 0\nv 1 1 0\n";
    std::string bigObj = tri;
    for (int i = 0; i < 500; ++i) bigObj += "f 1 2 99\n";
    return {
        {"ObjNumbersTooBigOrOdd", Format::Obj,
         tri + "f 99999999999999999999999 1 2\nf -99999999999999999999 1 2\nf 2147483648 1 2\nf -2147483649 1 2\n"
               "f 1e3 1 2\nf 1/99999999999 2/1 3/1\nf - 1 2\nf / 1 2\nf // 1 2\nf 1/ 2 3\n",
         true,
         {"bad.obj line 4: face skipped, vertex number \"99999999999999999999999\"",
          "line 5: face skipped, vertex number \"-99999999999999999999\"", "line 6: face skipped, vertex number \"2147483648\"",
          "line 9: face skipped, texture vertex number \"99999999999\"", "line 10: face skipped, vertex number \"-\""},
         1},
        {"ObjManyBadFacesOneBox", Format::Obj, bigObj, true, {"500 faces skipped"}, 0},
        {"ObjNulAndControlBytes", Format::Obj, std::string("v 0 0 0\0\nv 1\x01 0 0\nv 1 1 0\n\0\0\0\nf 1 2 3\n", 38), true, {}, 1, 3},
        {"TdsEmpty", Format::Tds, "", false, {"The 3DS file bad.3ds is empty"}},
        {"TdsText", Format::Tds, "v 1 2 3\nf 1 2 3\n", false, {"The file bad.3ds is not a 3DS file: it holds no MAIN chunk (0x4D4D)"}, 0},
        {"TdsZeroLengthChunk", Format::Tds, tdsZeroLengthChunk(), true, {"bad.3ds: byte offset 0x00006A", "length 0 is below"}, 1},
        {"TdsChunkPastItsParent", Format::Tds, tdsLongVertexChunk(), true,
         {"chunk 0x4110 (TRI_VERTEXL vertices): length 1000 runs past the end"}, 0, 3},
        {"TdsMainLongerThanTheFile", Format::Tds, tdsMainTooLong(), true, {}, 2},
        {"TdsHugeCounts", Format::Tds, tdsHugeCounts(), true,
         {"vertex count 65535 runs past the chunk's end; 3 vertices read",
          "face count 65535 runs past the chunk's end; 1 faces read",
          "texture vertex count 65535 runs past the chunk's end; 1 read", "face count 65535 runs past the chunk's end; 1 read"},
         1, 3},
        {"TdsCornerBeyondTheMesh", Format::Tds, tdsGroups({{0, 1, 2}, {0, 7, 2}, {1, 3, 2}}, b3::faceGroup("Red", {2, 1})), true,
         {"1 face(s) name a vertex beyond its 4 vertices; skipped"}, 2},
        {"TdsGroupMemberBeyondTheFaces", Format::Tds, tdsGroups({{0, 1, 2}}, b3::faceGroup("Red", {5, 0, 40000})), true,
         // At the first bad member (5), not a later one.
         {"byte offset 0x0000A3: face group (Red) of mesh 0: 2 face number(s) beyond the mesh's 1 faces; skipped"}, 1},
        {"TdsMemberEqualToTheFaceCount", Format::Tds, tdsGroups({{0, 1, 2}, {1, 3, 2}}, b3::faceGroup("Red", {2, 0})), true,
         {"face group (Red) of mesh 0: 1 face number(s) beyond the mesh's 2 faces; skipped"}, 2},
        {"TdsFaceInTwoGroups", Format::Tds, tdsGroups({{0, 1, 2}}, b3::faceGroup("Red", {0, 0}) + b3::faceGroup("Blue", {0})),
         true, {"already in another group"}, 1},
        {"TdsFacesBeforeVertices", Format::Tds,
         b3::mainChunk(b3::editor(b3::object("T", b3::trimesh(b3::faces({{0, 1, 2}}) + b3::vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}))))),
         true, {}, 0},
        {"TdsUnterminatedName", Format::Tds, b3::mainChunk(b3::editor(b3::chunk(0x4000, "NoZeroByteHere"))), true,
         {"object name has no terminating zero byte"}, 0},
        {"TdsShortFixedChunks", Format::Tds, tdsShortChunks(), true,
         {"shorter than its 48 bytes of axes and origin", "shorter than its three colour bytes",
          "shorter than its 16-bit percentage", "node header cut short"},
         1},
        {"TdsDamageLinesCapped", Format::Tds, tdsManyDamaged, true, {"further problems not listed"}},
        {"TdsDeepNesting", Format::Tds, tdsDeepNesting, true, {}, 0},
        {"TdsPiledUpUvLists", Format::Tds, tdsPiledUpLists, true, {"already has 8 texture vertex lists; this one is skipped"}},
        {"DaeIndexBeyondPositions", Format::Dae, daeTri("0 1 2 0 1 7 2 1 0 -1 0 1", "4"), true,
         {"Index 7 in p is beyond the 3 positions of geometry g; 2 triangles left out\r\n(at line 19 in bad.dae)"}, 2},
        {"DaeTextureIndexBeyondItsSource", Format::Dae,
         edit(quadDoc(), "<p>0 0 0 1 0 1 2 0 2 0 0 3 2 0 2 3 0 4</p>", "<p>0 0 0 1 0 1 2 0 2 0 0 3 2 0 2 3 0 5</p>"), true,
         {"Texture index 5 in p is beyond the 5 texture coordinates of source Quad-mesh-uvs"}, 1, 4},
        {"DaeCountsBeyondTheData", Format::Dae,
         edit(daeTri("0 1 1", "5", "0 0 0 1 0 0"), "<accessor stride=\"3\">", "<accessor count=\"1000\" stride=\"3\">"), true,
         {"Source g-pos counts 1000 positions, its float_array holds 2", "p holds 1 triangles, count says 5"}, 1, 2},
        {"DaeHugeArrayCount", Format::Dae,
         edit(daeTri("0 1 2"), "<float_array id=\"a\">", "<float_array id=\"a\" count=\"99999999999999999999\">"), true, {}, 1},
        {"DaeVcountBeyondTheIndices", Format::Dae,
         daetest::wrapDoc(daetest::geometry("g", "0 0 0 1 0 0 0 1 0",
                                            "<polylist count=\"3\">\n<input semantic=\"VERTEX\" source=\"#g-v\" offset=\"0\"/>\n"
                                            "<vcount>3 4 9</vcount>\n<p>0 1 2 0 1 2 1</p>\n</polylist>\n")),
         true, {"vcount asks for more corners than p holds; 1 polygons left out"}, 3},
        {"DaeIndicesNotWholeNumbers", Format::Dae, daeTri("0 1 x 0 1.5 2 0 1 99999999999"), true,
         {"3 entries of p or vcount are not whole numbers"}, 0},
        {"DaePositionsNotNumbers", Format::Dae, daeTri("0 1 2", "1", "0 0 0 nan 0 0 0 1e999 0"), true,
         {"float_array of source g-pos: 2 values are not numbers and read as 0 (at line 10)"}, 1, 3},
        {"DaeMismatchedClosingTag", Format::Dae,
         edit(quadDoc(), "</source>\n<source id=\"Quad-mesh-normals\">", "</mesh>\n<source id=\"Quad-mesh-normals\">"), false,
         {"***** ERROR: Mismatched tags: source : /mesh\r\n(at line 63 in bad.dae)\r\n</mesh>"}, 0},
        {"DaeUnclosedRoot", Format::Dae, quadDoc().substr(0, quadDoc().find("</COLLADA>")), false,
         {"the document ends before <COLLADA> (opened at line 2) is closed"}},
        {"DaeStrayClosingTag", Format::Dae, quadDoc() + "</extra>\n", false, {"Mismatched tags:  : /extra"}},
        {"DaeHtml", Format::Dae, "<html><body/></html>", false, {"not a Collada document"}},
        {"DaeNoElements", Format::Dae, "<?xml version=\"1.0\"?>", false, {"not a Collada document"}},
        {"DaeNestingTooDeep", Format::Dae, "<COLLADA>" + repeat("<node>", 5000), false, {"elements nested deeper than 1000"}},
        {"DaeNodeInstancesItself", Format::Dae,
         daeTri("0 1 2", "1", "0 0 0 1 0 0 0 1 0",
                "<node id=\"a\">\n<instance_geometry url=\"#g\"/>\n<node id=\"b\">\n<instance_node url=\"#a\"/>\n"
                "</node>\n</node>\n"),
         true, {"Node a instances itself"}, 1},
        {"DaeExplodingInstances", Format::Dae, daeDoublingChain(20, "<instance_geometry url=\"#g\"/>"), false,
         {"The scene places geometries more than 30000 times (node n0 at line 34 in bad.dae)"}, 0},
        {"DaeNoVertexInput", Format::Dae,
         daetest::wrapDoc(daetest::geometry("g", "0 0 0 1 0 0 0 1 0",
                                            "<triangles count=\"1\">\n<input semantic=\"TEXCOORD\" source=\"#t\" offset=\"0\"/>\n"
                                            "<p>0 1 2</p>\n</triangles>\n")),
         true, {"Triangles without a VERTEX input are left out"}, 0},
        {"DaeVertexOffsetBeyondP", Format::Dae,
         daetest::wrapDoc(daetest::geometry("g", "0 0 0 1 0 0 0 1 0",
                                            "<triangles count=\"1\">\n<input semantic=\"VERTEX\" source=\"#g-v\" offset=\"999\"/>\n"
                                            "<p>0 1 2</p>\n</triangles>\n")),
         true, {}, 0},
        // Scene walks bounded in what they place and in the steps they take,
        // not only in placements.
        {"DaePlacementsPastTheVertexLimit", Format::Dae,
         daeDoublingChain(15, "<instance_geometry url=\"#g\"/>", "0 1 2", "1", repeat("0 ", 2100)), false,
         {"The scene places more than 10000000 vertices (node n0 at line 34 in bad.dae)"}, 0, 0},
        {"DaePlacementsPastTheTriangleLimit", Format::Dae,
         daeDoublingChain(15, "<instance_geometry url=\"#g\"/>", repeat("0 1 2 ", 1200), "1200"), false,
         {"The scene places more than 20000000 triangles"}, 0},
        {"DaePlacedPrimitivesPastTheLimit", Format::Dae, daeManyPrimitives(13, 30), false,
         {"The scene places more than 200000 primitives (face groups)"}, 0},
        {"DaeDoublingChainPlacingNothing", Format::Dae, daeDoublingChain(40, ""), false, {"visited more than 2000000 times"}, 0},
        {"DaeMissingInstancesCountAsSteps", Format::Dae, daeDoublingChain(20, repeat("<instance_geometry url=\"#none\"/>", 2000)), false,
         {"visited more than 2000000 times"}, 0},
        {"An8NoCountsLine", Format::An8, an8Object("    points { (0 0 0) (1 0 0) (0 1 0) }\n    faces { 3 0 0 -1 ( (0) (1) (2) ) }\n"),
         false, {"bad.an8 line 4: Error, submesh_num_vertices = 0, probably no /* points/faces/UVcoords */ line"}, 0},
        {"An8Truncated", Format::An8, an8Object(kAn8Tri).substr(0, an8Object(kAn8Tri).find("(1 0 0)")), false,
         {"bad.an8 line 6: the file ends before chunk points (opened at line 6) is closed"}},
        {"An8TruncatedInsideAPoint", Format::An8, an8Object(kAn8Tri).substr(0, an8Object(kAn8Tri).find("(1 0 0)") + 6), false,
         {"bad.an8 line 6: the file ends before chunk points (opened at line 6) is closed"}},
        {"An8ClosingBraceWithoutOpening", Format::An8, an8Faces("3 0 0 -1 ( (0) (1) (2) )") + "}\n", false, {"bad.an8 line 10: Bad }"}},
        {"An8HugeCount", Format::An8, an8Object("    /* 99999999999 points, 1 faces, 0 uvCoords */\n"), false,
         {"line 4: count \"99999999999\" is not a whole number from 0 to 2147483647"}},
        {"An8HugePointNumber", Format::An8, an8Faces("3 0 0 -1 ( (0) (1) (99999999999) )"), false,
         {"line 7: corner number \"99999999999\" is not a whole number"}, 0},
        {"An8PointBeyondTheMesh", Format::An8, an8Faces("3 0 0 -1 ( (0) (1) (3) ) 3 0 0 -1 ( (-1) (1) (2) ) 3 0 0 -1 ( (0) (1) (2) )"),
         true,
         {"bad.an8 line 7: face skipped, point number 3 names none of the 3 points of its mesh",
          "face skipped, point number -1 names none"},
         1, 3},
        {"An8MaterialNumberBeyondTheList", Format::An8, an8Faces("3 0 3 -1 ( (0) (1) (2) )"), true,
         {"Bad Local MatlNum: 3( max=0)\r\n(at line 7 in bad.an8)"}, 1},
        {"An8MaterialNameInAnotherCase", Format::An8,
         an8Object("    /* 3 points, 1 faces, 0 uvCoords */\n    materiallist { materialname { \"m\" } }\n"
                   "    points { (0 0 0) (1 0 0) (0 1 0) }\n    faces { 3 0 0 -1 ( (0) (1) (2) ) }\n"),
         true, {"Material (m) not found\r\n(at line 5 in bad.an8)"}, 1},
        {"An8TexCoordsWithoutTheirCount", Format::An8, an8Object(std::string(kAn8Tri) + "    texcoords { (0 0) }\n"), false,
         {"line 7: Error, submesh_num_text_vertices  = 0"}},
        {"An8TextureNumberBeyondTheMesh", Format::An8,
         an8Object("    /* 3 points, 1 faces, 1 uvCoords */\n    materiallist { materialname { \"M\" } }\n"
                   "    points { (0 0 0) (1 0 0) (0 1 0) }\n    texcoords { (0 0) }\n"
                   "    faces { 3 4 0 -1 ( (0 0) (1 9) (2 0) ) }\n"),
         true, {"line 8: face skipped, texture coordinate number 9 names none of the 1 of its mesh"}, 0},
        {"An8CornerNumbersAgainstTheFlags", Format::An8, an8Faces("3 4 0 -1 ( (0) (1) (2) )"), false,
         {"line 7: a corner with fewer numbers than the face's flags 4 give"}, 0},
        // Found by fuzz_an8: a count beyond int64 was converted before its range was checked.
        {"An8CountBeyondAnyInteger", Format::An8, an8Faces("3 0 0 -1 ( (0) (1) (2) ) 7" + std::string(55, '7')), false,
         {"line 7: corner count \"7777777"}, 1},
        {"An8UnclosedString", Format::An8, "object { \"o\n}\n", false,
         {"bad.an8 line 1: a string is not closed before the end of its line"}},
        {"An8DeepNesting", Format::An8, +[] { return repeat("object { ", 20000) + an8Faces("3 0 0 -1 ( (0) (1) (2) )") + repeat("}", 20000); },
         true, {}, 0},
        {"An8DeepUnknownChunks", Format::An8, +[] { return repeat("x { ", 200000) + repeat("} ", 200000) + an8Faces("3 0 0 -1 ( (0) (1) (2) )"); },
         true, {}, 1},
        {"GltfBrokenJson", Format::Gltf, "{\"asset\": {\"version\": \"2.0\"},\n\"scenes\": [}\n", false,
         {"Cannot read the glTF file bad.gltf: [json.exception.parse_error.101] parse error at line 2"}},
        {"GltfNotAnObject", Format::Gltf, "[1, 2]", false, {"Cannot read the glTF file bad.gltf: Root element is not a JSON object"}},
        {"GltfAccessorBeyondItsView", Format::Gltf, gltf("\"count\": 4,", "\"count\": 40,"),
         false, {"accessor 0 (POSITION of primitive 0 of mesh \"m\") needs 480 bytes of buffer view 0, which holds 48"}, 0},
        {"GltfViewBeyondItsBuffer", Format::Gltf, gltf("\"byteOffset\": 48, \"byteLength\": 12", "\"byteOffset\": 56, \"byteLength\": 12"),
         false, {"buffer view 1 (bytes 56 to 68) lies beyond the 60 bytes of buffer 0"}, 0},
        {"GltfHugeCountAndOffset", Format::Gltf,
         gltf("\"count\": 4,", "\"byteOffset\": 18446744073709551615, \"count\": 18446744073709551615,"), false, {}, 0},
        {"GltfStrideBelowTheElement", Format::Gltf, gltf("\"byteLength\": 48}", "\"byteLength\": 48, \"byteStride\": 4}"), false,
         {"buffer view 0 has a byte stride of 4, less than the 12 bytes"}, 0},
        {"GltfIndexBeyondTheVertices", Format::Gltf, gltftest::docWith([](gltftest::Mesh& m) { m.idx = {0, 1, 2, 1, 3, 7}; }), false,
         {"index 7 (corner 5) of primitive 0 of mesh \"m\" is beyond its 4 vertices"}, 0},
        {"GltfMissingAccessor", Format::Gltf, gltf("\"POSITION\": 0", "\"POSITION\": 9"), false,
         {"POSITION of primitive 0 of mesh \"m\" names accessor 9, which does not exist"}},
        {"GltfMissingBufferFile", Format::Gltf, gltftest::docWith([](gltftest::Mesh& m) { m.bufferUri = "none.bin"; }), false,
         {"Cannot read the glTF file bad.gltf: File not found : none.bin"}},
        {"GltfBufferOutsideItsFolder", Format::Gltf, gltftest::docWith([](gltftest::Mesh& m) { m.bufferUri = "..%2Fup.bin"; }), false,
         {"The glTF file bad.gltf refers to \"../up.bin\", which is outside its folder"}},
        {"GltfBufferAbsolute", Format::Gltf, gltftest::docWith([](gltftest::Mesh& m) { m.bufferUri = "/etc/passwd"; }), false,
         {"refers to \"/etc/passwd\", which is outside its folder"}},
        {"GltfPositionsNotFinite", Format::Gltf, gltftest::docWith([](gltftest::Mesh& m) { m.pos[3] = std::numeric_limits<float>::infinity(); }), false,
         {"position 1 of primitive 0 of mesh \"m\" is not a finite number"}},
        {"GltfStripAndFan", Format::Gltf, gltftest::docWith([](gltftest::Mesh& m) { m.idx = {0, 1, 2, 3, 0, 1}, m.mode = 5; }), true, {}, 4, 4},
        {"GltfPointsLeftOut", Format::Gltf, gltftest::docWith([](gltftest::Mesh& m) { m.mode = 0; }), true, {"points and lines are left out"}, 0},
        {"GltfNodeIsItsOwnAncestor", Format::Gltf, gltftest::docWith([](gltftest::Mesh& m) { m.nodes = R"([{"mesh": 0, "children": [1]}, {"children": [0]}])"; }),
         true, {"Node 0 of bad.gltf is its own ancestor"}, 2},
        {"GltfExplodingInstances", Format::Gltf, gltfDoublingChain(20), false,
         {"The glTF file bad.gltf: the scene places more than 30000 meshes (node 20); the file is not read"}, 0},
        {"GltfCompressed", Format::Gltf, gltftest::docWith([](gltftest::Mesh& m) { m.extra = R"("extensionsRequired": ["KHR_draco_mesh_compression"],)"; }),
         false, {"its meshes are compressed (KHR_draco_mesh_compression), which is not supported"}, 0},
        {"CmfNotAMesh", Format::Cmf, "CSF" + test::cmfSample().substr(3), false, {"bad.cmf is not a Cal3D mesh"}, 0},
        {"CmfHugeSubmeshCount", Format::Cmf, cmf({{8, 0x7FFFFFFF}}), false,
         {"bad.cmf at byte 8 (0x000008): submesh count 2147483647 does not fit the"}, 0},
        {"CmfNegativeSubmeshCount", Format::Cmf, cmf({{8, -1}}), false, {"submesh count -1 does not fit"}, 0},
        {"CmfHugeVertexCount", Format::Cmf, cmf({{16, 1000000000}}), false,
         {"00000C: Bad data:  material_thread_id=0 num_submesh_Vertices=1000000000 num_submesh_Faces=1",
          "(submesh 0 of bad.cmf at byte 12)"},
         0, 0},
        {"CmfHugeFaceAndSpringCounts", Format::Cmf, cmf({{20, 0x7FFFFFFF}, {28, 0x7FFFFFFF}}), false, {"Bad data:"}, 0, 0},
        {"CmfNegativeCountsAndTooManyMaps", Format::Cmf, cmf({{32, 11}}), false, {"num_maps=11"}, 0},
        // The mesh writer writes material thread ids of any size.
        {"CmfLargeMaterialThreadId", Format::Cmf, cmf({{12, 4000}}), true, {}, 3, 7},
        {"CmfInfluenceCountOver100", Format::Cmf, cmf({{148, 101}}), false,
         {"bad.cmf at byte 148 (0x000094): Bad number influences: 101 (vertex 1)"}, 0},
        {"CmfInfluenceCountNegative", Format::Cmf, cmf({{148, -5}}), false, {"Bad number influences: -5"}, 0},
        {"CmfCornerBeyondTheSubmesh", Format::Cmf, cmf({{292, 3}}), false,
         {"bad.cmf at byte 284 (0x00011C): face 0 of submesh 0 names vertex 3 of its 3"}, 0},
        {"CsfHugeBoneCount", Format::Csf, csf({{8, 0x7FFFFFFF}}), false, {"bad.csf at byte 8: bone count 2147483647 does not fit"}},
        {"CsfHugeNameLength", Format::Csf, csf({{12, 0x7FFFFFF0}}), false,
         {"bad.csf at byte 12: bone 0: name length 2147483632 runs past the end"}},
        {"CsfHugeChildCount", Format::Csf, csf({{83, 0x40000000}}), false,
         {"bad.csf at byte 83: bone 0 (Pelvis): child count 1073741824 runs past the end"}},
        {"CrfHugeMapCount", Format::Crf, crf({{24, 0x7FFFFFFF}}), false, {"bad.crf at byte 24: map count 2147483647 runs past the end"}},
        {"CrfHugeNameLength", Format::Crf, crf({{28, -2}}), false, {"bad.crf at byte 28: Bad name length: -2"}},
        {"XmfVertexIdBeyondTheSubmesh", Format::Xmf, xmf("<VERTEX ID=\"2\" NUMINFLUENCES=\"1\">\n            <POS>2 0 1",
                                                                 "<VERTEX ID=\"3\" NUMINFLUENCES=\"1\">\n            <POS>2 0 1"), false,
         {"bad.xmf line 24: vertex ID \"3\" is not one of the submesh's 3 vertices"}, 0},
        {"XmfMoreTexcoordsThanAnnounced", Format::Xmf, xmf("NUMTEXCOORDS=\"2\"", "NUMTEXCOORDS=\"1\""), false,
         {"bad.xmf line 7: more TEXCOORD elements than the submesh's 1"}, 0},
        {"XmfMoreInfluencesThanAnnounced", Format::Xmf, xmf("NUMINFLUENCES=\"6\"", "NUMINFLUENCES=\"5\""), false,
         {"more INFLUENCE elements than the 5 announced"}, 0},
        {"XmfInfluenceCountOver100", Format::Xmf, xmf("NUMINFLUENCES=\"6\"", "NUMINFLUENCES=\"101\""), false,
         {"Bad number influences: 101"}, 0},
        {"XmfCornerBeyondTheSubmesh", Format::Xmf, xmf("<FACE VERTEXID=\"0 1 2\" />\n    </SUBMESH>\n</MESH>",
                                                        "<FACE VERTEXID=\"0 1 3\" />\n    </SUBMESH>\n</MESH>"),
         false, {"face names vertex 3 of the submesh's 3"}, 1},
        {"XmfMoreFacesThanAnnounced", Format::Xmf, xmf("NUMFACES=\"1\" MATERIAL=\"1\"", "NUMFACES=\"0\" MATERIAL=\"1\""),
         false, {"more FACE elements than the submesh's 0"}, 1},
        {"XmfHugeCounts", Format::Xmf, xmf("NUMVERTICES=\"3\" NUMFACES=\"1\" MATERIAL=\"0\"",
                                            "NUMVERTICES=\"2000000000\" NUMFACES=\"1\" MATERIAL=\"0\""), false,
         {"bad.xmf line 2: Bad data:  material_thread_id=0 num_submesh_Vertices=2000000000"}, 0, 0},
        {"XmfNotANumber", Format::Xmf, xmf("NUMVERTICES=\"3\" NUMFACES=\"1\" MATERIAL=\"0\"",
                                            "NUMVERTICES=\"3x\" NUMFACES=\"1\" MATERIAL=\"0\""), false,
         {"a SUBMESH attribute is not a whole number"}, 0},
        // The older form: a HEADER element, names in lower case, NORMFLOAT.
        {"XmfOlderForm", Format::Xmf,
         "<header magic=\"XMF\" version=\"910\" />\n<mesh numsubmesh=\"1\">\n"
         "<submesh numvertices=\"3\" numfaces=\"1\" material=\"0\" numlodsteps=\"0\" numsprings=\"0\" numtexcoords=\"0\">\n"
         "<vertex id=\"0\" numinfluences=\"0\">\n<pos>0 0 0</pos>\n<normfloat>0 0 1</normfloat>\n</vertex>\n"
         "<vertex id=\"1\" numinfluences=\"0\">\n<pos>1 0 0</pos>\n</vertex>\n"
         "<face vertexid=\"0 1 2\" />\n</submesh>\n</mesh>\n",
         true, {}, 1, 3},
        // Found by fuzz_xmf, fuzz_xsf, fuzz_xrf: numbers beyond int64 were converted before their range was checked.
        {"XmfVersionBeyondAnyInteger", Format::Xmf, xmf("VERSION=\"1100\"", "VERSION=\"1e39\""), true, {}, 2},
        // Found by fuzz_xmf: a collapse id or count beyond the int range was converted unchecked.
        {"XmfCollapseIdBeyondInt", Format::Xmf, xmf("<POS>1 0 0.5</POS>", "<POS>1 0 0.5</POS>\n            <COLLAPSEID>2147483648</COLLAPSEID>"),
         false, {"bad.xmf line 13: vertex 1: COLLAPSEID \"2147483648\" is not a whole number from -2147483648 to 2147483647"}, 0},
        {"XmfCollapseCountBeyondFloat", Format::Xmf, xmf("<POS>2 0 1</POS>", "<POS>2 0 1</POS>\n            <COLLAPSECOUNT>1e39</COLLAPSECOUNT>"),
         false, {"vertex 2: COLLAPSECOUNT \"1e39\" is not a whole number"}, 0},
        {"XmfCollapseCountNotWhole", Format::Xmf, xmf("<POS>2 0 1</POS>", "<POS>2 0 1</POS>\n            <COLLAPSECOUNT>1.5</COLLAPSECOUNT>"),
         false, {"vertex 2: COLLAPSECOUNT \"1.5\" is not a whole number"}, 0},
        {"XmfPositionBeyondAFloat", Format::Xmf, xmf("<POS>2 0 1</POS>", "<POS>2 0 1e39</POS>"), false,
         {"bad.xmf line 25: POS needs three numbers"}, 0},
        {"XmfCollapseAtTheIntLimits", Format::Xmf,
         edit(xmf("<POS>0 0 0</POS>", "<POS>0 0 0</POS>\n            <COLLAPSEID>-2147483648</COLLAPSEID>"),
              "<POS>1 0 0.5</POS>", "<POS>1 0 0.5</POS>\n            <COLLAPSECOUNT>2147483647</COLLAPSECOUNT>"),
         true, {}, 2, 6},
        {"XrfColourBeyondAnyInteger", Format::Xrf, xrf("204 128 0", "3418888818888888888888 128 0"), false,
         {"bad.xrf line 3: DIFFUSE needs four whole numbers"}},
        {"XsfBoneIdBeyondTheCount", Format::Xsf, xsf("<BONE ID=\"2\"", "<BONE ID=\"3\""), false,
         {"bad.xsf line 16: bone ID \"3\" is not one of the 3 bones"}},
        {"XsfMoreChildrenThanAnnounced", Format::Xsf, xsf("NUMCHILDS=\"2\"", "NUMCHILDS=\"1\""), false,
         {"bad.xsf line 9: more CHILDID elements than the 1 NUMCHILDS announces"}},
        {"XsfHugeBoneCount", Format::Xsf, xsf("NUMBONES=\"3\"", "NUMBONES=\"2000000000\""), false,
         {"bone count \"2000000000\" does not fit the file"}},
        {"XsfHugeChildCount", Format::Xsf, xsf("NUMCHILDS=\"2\"", "NUMCHILDS=\"2000000000\""), false,
         {"child count \"2000000000\" does not fit the file"}},
        {"XrfMoreMapsThanAnnounced", Format::Xrf, xrf("NUMMAPS=\"2\"", "NUMMAPS=\"1\""), false,
         {"bad.xrf line 7: more MAP elements than the 1 NUMMAPS announces"}},
        {"XrfNoMaterial", Format::Xrf, test::kXsfSample, false, {"no MATERIAL element: not a Cal3D XML material"}},
        {"TxmNameClimbsOut", Format::Txm, "name=../up\n", false, {"bad.txm line 1: the name \"../up\" is not a plain file name"}},
        {"TxmNameWithFolders", Format::Txm, "shininess=2\nname=a\\b\n", false, {"line 2: the name \"a\\b\" is not a plain file name"}},
        {"TxmNameAbsolute", Format::Txm, "name=/etc/passwd\n", false, {"the name \"/etc/passwd\" is not a plain file name"}},
        {"TxmMapBeyondItsCount", Format::Txm, "num_maps=1\ntexture_name=a.png\ntexture_name=b.png\n", false,
         {"bad.txm line 3: more texture_name lines than the 1 maps num_maps announced at line 1"}},
        {"TxmMapBeforeItsCount", Format::Txm, "texture_name=a.png\nnum_maps=1\n", false,
         {"bad.txm line 1: texture_name before the num_maps line"}},
        {"TxmHugeMapCount", Format::Txm, "num_maps=4000000000\n", false, {"num_maps \"4000000000\" is not a whole number from 0 to 1000"}},
    };
}

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

struct Pinned : ::testing::TestWithParam<Row> {};

TEST_P(Pinned, ReadsAsExpected) {
    const Row& row = GetParam();
    TestContext t;
    const ReadResult r = test::readBytes(t.ctx, row.f, row.input.get(), std::string("bad.") + test::formatName(row.f));
    EXPECT_EQ(r.ok(), row.ok);
    EXPECT_TRUE(storeIsSound(t.m));
    std::string log;
    for (auto& l : t.ui.log) log += l;  // the list wraps long lines
    std::string boxes;
    for (const auto& b : t.ui.boxes) boxes += "\n  " + b.text;
    for (const auto& s : row.said)
        EXPECT_TRUE(t.ui.sawBox(s) || log.find(s) != std::string::npos) << "not said: " << s << "\nboxes:" << boxes;
    if (row.faces >= 0) {
        EXPECT_EQ(t.m.ttlnum_Faces, row.faces);
    }
    if (row.vertices >= 0) {
        EXPECT_EQ(t.m.ttlnum_Vertices, row.vertices);
    }
    EXPECT_LE(t.ui.boxes.size(), 10u);  // damage is summed up, not a box per fault
    EXPECT_LE(t.ui.log.size(), 100u);
    if (r.status == ReadResult::Status::Failed) {
        // Where the read stopped: the file, and the line the message names.
        EXPECT_NE(r.where().find("bad."), std::string::npos) << r.where();
        const std::string named = r.file + " line ";
        if (const std::size_t at = r.message.find(named); at != std::string::npos) {
            EXPECT_EQ(r.line, std::atoll(r.message.c_str() + at + named.size())) << r.message;
            EXPECT_NE(r.where().find(" line " + std::to_string(r.line)), std::string::npos) << r.where();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Pinned, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace molv
