// Every reader on hostile input: nothing, every cut of a small valid file,
// noise, another format's bytes, lying counts and indices. Each read must
// end, fail with a message or keep what it could, and leave a store whose
// references all hold. Under ASan+UBSan this also proves nothing is read
// outside the input. The table at the end pins what is said about inputs
// too large to keep as files.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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

// Each sample is also a case of its own (tests/data/cases/hostile/sample.*),
// where the whole store it reads into is pinned.
std::string sampleOf(Format f) {
    return test::readFile(test::dataPath(std::string("cases/hostile/sample.") + test::formatName(f)));
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

// Prefix 0 is the empty input. A binary Cal3D file says how long it is, and
// a Collada document must close its root: every cut of those is a failed read.
TEST_P(ReaderHostile, EveryTruncatedPrefix) {
    const Format f = GetParam();
    const std::string s = sampleOf(f);
    ASSERT_FALSE(s.empty()) << "no sample";
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

// --- large inputs, built when their row runs --------------------------------
// Fixed hostile inputs, and those of a few kilobytes, are cases in
// tests/data/cases/hostile/; these are made by loops.

std::string repeat(std::string_view s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
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
    return mainChunk(editor(object("T", trimesh(chunk(0x4110, v) + repeat(chunk(0x4140, t), 300)))));
}

// One object with material M holding one triangle.
const char* const kAn8Tri =
    "object { \"o\"\n  material { \"M\" }\n  mesh {\n    /* 3 points, 1 faces, 0 uvCoords */\n"
    "    materiallist { materialname { \"M\" } }\n    points { (0 0 0) (1 0 0) (0 1 0) }\n"
    "    faces { 3 0 0 -1 ( (0) (1) (2) ) }\n  }\n}\n";

struct Row {
    const char* name;
    Format f;
    std::string (*make)();
    const char* said;  // in a box or a log line; "" for nothing
    int faces;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

const Row kRows[] = {
    {"TdsDeepNesting", Format::Tds, tdsDeepNesting, "", 0},
    {"TdsPiledUpUvLists", Format::Tds, tdsPiledUpLists, "already has 8 texture vertex lists; this one is skipped", 0},
    {"An8DeepNesting", Format::An8, [] { return repeat("object { ", 20000) + kAn8Tri + repeat("}", 20000); }, "", 0},
    {"An8DeepUnknownChunks", Format::An8, [] { return repeat("x { ", 200000) + repeat("} ", 200000) + kAn8Tri; }, "",
     1},
};

struct Pinned : ::testing::TestWithParam<Row> {};

TEST_P(Pinned, ReadsAsExpected) {
    const Row& row = GetParam();
    TestContext t;
    const ReadResult r = test::readBytes(t.ctx, row.f, row.make(), std::string("bad.") + test::formatName(row.f));
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(storeIsSound(t.m));
    std::string log;
    for (auto& l : t.ui.log) log += l;  // the list wraps long lines
    EXPECT_TRUE(t.ui.sawBox(row.said) || log.find(row.said) != std::string::npos) << "not said: " << row.said;
    EXPECT_EQ(t.m.ttlnum_Faces, row.faces);
    EXPECT_LE(t.ui.boxes.size(), 10u);  // damage is summed up, not a box per fault
    EXPECT_LE(t.ui.log.size(), 100u);
}

INSTANTIATE_TEST_SUITE_P(Rows, Pinned, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace molv
