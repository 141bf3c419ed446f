// Every model under tests/data written by other people's tools, and the
// bundled example, converted as a user would convert it. The written prop
// set must load in the real Cal3D library and match the store, and the
// store's developer summary (plus what the user was told) must equal the
// golden dump kept beside the model as <file>.dump.
//
// MOLV_UPDATE_GOLDEN=1 rewrites the dumps instead of comparing; review the
// difference before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/cal3d_check.h"
#include "support/harness.h"
#include "support/test_support.h"

namespace molv {
namespace {

namespace fs = std::filesystem;

struct Model {
    std::string rel;     // under tests/data, or "../../examples/..." for the example
    std::string golden;  // dump file, under tests/data
};

void PrintTo(const Model& m, std::ostream* os) { *os << m.rel; }

std::vector<Model> models() {
    std::vector<Model> out;
    // The other folders hold hand-made inputs that their own tests read.
    for (const std::string dir : {"3ds/", "dae/", "gltf/", "obj/", "shell/"})
        for (const std::string& rel : test::filesUnder(test::dataPath(dir), {".obj", ".3ds", ".dae", ".gltf", ".glb"}))
            out.push_back({dir + rel, dir + rel + ".dump"});
    out.push_back({"../../examples/stool.obj", "examples/stool.obj.dump"});
    return out;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (auto i = s.find(from); !from.empty() && i != std::string::npos; i = s.find(from, i + to.size()))
        s.replace(i, from.size(), to);
    return s;
}

struct RealFile : ::testing::TestWithParam<Model> {};

TEST_P(RealFile, ConvertsLoadsInCal3dAndMatchesItsDump) {
    const Model& model = GetParam();
    // Convert a copy, so nothing is written beside the data; companions
    // (libraries, textures) come along with the whole folder.
    const fs::path src(test::dataPath(model.rel));
    const std::string dir = test::tempDir("real");
    for (const auto& e : fs::directory_iterator(src.parent_path()))
        if (e.is_regular_file()) fs::copy_file(e.path(), dir + e.path().filename().string());
    const std::string copy = dir + src.filename().string();

    auto t = test::makeContext(true);
    const bool ok = test::convert(t->ctx, copy);
    std::string dump = std::string("convert: ") + (ok ? "ok" : "failed") + "\n";
    for (const auto& b : t->ui.boxes) dump += "box: " + replaceAll(replaceAll(b.text, "\r\n", " | "), dir, "") + "\n";
    for (const auto& line : test::dumpModel(t->ctx)) dump += replaceAll(line, dir, "") + "\n";

    const std::string golden = test::dataPath(model.golden);
    if (std::getenv("MOLV_UPDATE_GOLDEN")) {
        test::writeFile(golden, dump);
    } else {
        const std::string want = test::readFile(golden);
        ASSERT_FALSE(want.empty()) << "no golden dump " << model.golden << " (MOLV_UPDATE_GOLDEN=1 writes it)";
        EXPECT_EQ(want, dump) << model.golden;
    }
    EXPECT_EQ(dump.find(dir), std::string::npos);

    if (!ok) return;  // the dump says why, and that is pinned
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const std::string base = copy.substr(0, copy.rfind('.'));
    const auto info = test::loadCal3dSet(base);
    ASSERT_TRUE(info.ok()) << info.error;
    EXPECT_TRUE(test::cal3dMatchesStore(t->m, info));
    EXPECT_EQ(info.materials.size(), info.cfgMaterials.size());
}

INSTANTIATE_TEST_SUITE_P(Data, RealFile, ::testing::ValuesIn(models()), [](const ::testing::TestParamInfo<Model>& p) {
    return test::testName(p.param.rel.substr(p.param.rel.find_last_of('/') + 1));
});

}  // namespace
}  // namespace molv
