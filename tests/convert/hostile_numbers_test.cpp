// Hostile numbers and sizes through whole conversions: non-finite values
// from every reader, models far from the origin or wider than a float, and
// documents that declare more than they hold or nest without end.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <string>

#include "convert/driver.h"
#include "model/extents.h"
#include "support/cal3d_samples.h"
#include "support/dae_build.h"
#include "support/gltf_build.h"
#include "support/harness.h"
#include "support/run_folder.h"
#include "support/tds_build.h"
#include "support/test_support.h"
#include "util/fileio.h"
#include "util/numfmt.h"

namespace molv {
namespace {

using test::tempDir;
using test::writeFile;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

using HostileNumbers = test::RunFolder;

std::string tdsTriangle(float x, float u) {
    using namespace test3ds;
    return mainChunk(editor(object("tri", trimesh(vertices({{x, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + faces({{0, 1, 2}}) +
                                                 texVerts({{u, 0}, {1, 0}, {0, 1}})))));
}

std::string gltfWithUv(float u) {
    return gltftest::docWith([&](gltftest::Mesh& g) { g.uv = {u, 0, 1, 0, 0, 1, 1, 1}; });
}

std::string xmfWith(const char* pos) {
    return daetest::edit(test::kXmfSample, "<POS>1 0 0.5</POS>", std::string("<POS>") + pos + "</POS>");
}

// One rule for every source: a number that is not finite refuses the file,
// naming it and where the number is; nothing is written.
TEST_F(HostileNumbers, NonFiniteNumbersRefuseTheFile) {
    const struct {
        const char* name;
        std::string bytes;
        bool dev;
        const char* where;  // part of the message
    } rows[] = {
        {"nan.obj", "v nan 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", false, "nan.obj line 1"},
        {"inf.obj", "v 0 0 0\nv 1 0 0\nv 0 1 -inf\nf 1 2 3\n", false, "inf.obj line 3"},
        {"overflow.obj", "v 0 0 0\nv 1e39 0 0\nv 0 1 0\nf 1 2 3\n", false, "overflow.obj line 2"},
        {"uv.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt NaN 0\nvt 0 1\nf 1/1 2/2 3/3\n", false, "uv.obj line 5"},
        {"pos.3ds", tdsTriangle(kNaN, 0), false, "vertex 0 of mesh \"tri\": position (nan"},
        {"uv.3ds", tdsTriangle(0, kInf), false, "vertex 0 of mesh \"tri\": UV (inf"},
        {"uv.gltf", gltfWithUv(kNaN), false, "UV (nan"},
        {"scale.dae",
         daetest::edit(daetest::quadDoc(), "<matrix sid=\"transform\">1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</matrix>",
                       "<scale>1e38 1e38 1e38</scale>"),
         false, "position (inf"},
        {"nan.xmf", xmfWith("nan 0 0.5"), true, "POS needs three numbers"},
    };
    for (const auto& r : rows) {
        ui.boxes.clear();
        ctx.app.devMode = r.dev;
        writeFile(dir + r.name, r.bytes);
        const std::string out = dir + std::string(r.name) + ".cmf";
        EXPECT_FALSE(test::convert(ctx, dir + r.name, out)) << r.name;
        EXPECT_TRUE(ui.sawBox(r.where)) << r.name << ": " << (ui.boxes.empty() ? "" : ui.boxes.back().text);
        EXPECT_FALSE(fileExists(out)) << r.name;
    }
}

// Any finite model normalises to the set size, however far out or wide it
// is: extents, centre and scale are worked out in double.
TEST_F(HostileNumbers, FarAndWideModelsNormaliseToTheSetSize) {
    const struct {
        float lo, hi;
    } rows[] = {
        {0, 1e10f},        // used to collapse to a point
        {0, 1e9f},         // used to come out 128 wide
        {9.5e9f, 9.6e9f},  // wholly beyond the measuring start value
        {-9.9e9f, -9.6e9f},
        {-3e38f, 3e38f},  // wider than a float holds
        {1e30f, 3e30f},
        {0, 10},  // the ordinary case, for comparison
    };
    menuAutos(true, true, false);
    ctx.settings.dflt_autosize = 100;
    for (const auto& r : rows) {
        const std::string text =
            "v " + numText(r.lo) + " 0 0\nv " + numText(r.hi) + " 0 0\nv " + numText(r.lo) + " 1 1\nf 1 2 3\n";
        writeFile(dir + "far.obj", text);
        ui.boxes.clear();
        ASSERT_TRUE(test::convert(ctx, dir + "far.obj", dir + "far.cmf")) << r.lo << ".." << r.hi;
        SetMaxMinsM(ctx, m);
        EXPECT_NEAR(m.spanPos.x, 100, 1e-3) << r.lo << ".." << r.hi;
        EXPECT_NEAR(m.ctrPos.x, 0, 1e-3) << r.lo << ".." << r.hi;
        EXPECT_EQ(m.minPos.y, 0) << r.lo << ".." << r.hi;
        EXPECT_TRUE(fileExists(dir + "far.cmf"));
    }
}

// Small documents that ask for unbounded depth or memory are refused at
// once, with the reason.
TEST_F(HostileNumbers, DeepOrEmptyDeclarationsAreRefusedQuickly) {
    const auto nest = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    const struct {
        const char* what;
        std::string doc;
        const char* message;  // "" when it reads
    } rows[] = {
        {"extras 20000 deep", gltftest::docWith([&](gltftest::Mesh& g) { g.extra = "\"extras\": " + nest(20000) + ",\n"; }),
         "nests deeper than 512 levels"},
        {"node extras deep", gltftest::docWith([&](gltftest::Mesh& g) {
             g.nodes = "[{\"mesh\": 0, \"extras\": {\"a\": " + nest(600) + "}}]";
         }),
         "nests deeper than 512 levels"},
        {"brackets inside strings", gltftest::docWith([&](gltftest::Mesh& g) {
             g.extra = "\"extras\": \"" + std::string(20000, '[') + "\\\"" + "\",\n";
         }),
         ""},
        {"extras 500 deep", gltftest::docWith([&](gltftest::Mesh& g) { g.extra = "\"extras\": " + nest(500) + ",\n"; }),
         ""},
        {"10M positions without data",
         gltftest::edit(gltftest::docWith([](gltftest::Mesh& g) { g.idx.clear(); }),
                        "{\"bufferView\": 0, \"componentType\": 5126, \"count\": 4",
                        "{\"componentType\": 5126, \"count\": 10000000"),
         "declares 10000000 elements without a buffer view"},
    };
    for (const auto& r : rows) {
        auto t = test::makeContext();
        const auto start = std::chrono::steady_clock::now();
        const ReadResult res = test::readGltfBytes(t->ctx, r.doc);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << r.what;
        if (*r.message == '\0') {
            EXPECT_TRUE(res.ok()) << r.what << ": " << res.message;
        } else {
            EXPECT_FALSE(res.ok()) << r.what;
            EXPECT_NE(res.message.find(r.message), std::string::npos) << r.what << ": " << res.message;
        }
    }
}

}  // namespace
}  // namespace molv
