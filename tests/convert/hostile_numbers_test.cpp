// Hostile numbers and sizes through whole conversions: models far from the
// origin or wider than a float, and documents that declare more than they
// hold or nest without end (non-finite values: DriverTest.RefusedSources).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>

#include "convert/driver.h"
#include "model/extents.h"
#include "support/gltf_build.h"
#include "support/harness.h"
#include "support/run_folder.h"
#include "support/test_support.h"
#include "util/fileio.h"
#include "util/numfmt.h"

namespace molv {
namespace {

using test::tempDir;
using test::writeFile;

using HostileNumbers = test::RunFolder;

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
