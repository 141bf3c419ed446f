// Every model under tests/data written by other people's tools, and the
// bundled example, converted as a user would convert it. The written prop
// set must load in the real Cal3D library and match the store, and the
// store's developer summary (plus what the user was told) must equal the
// golden dump kept beside the model as <file>.dump.
//
// MOLV_UPDATE_GOLDEN=1 rewrites the dumps instead of comparing; review the
// difference before committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cal3d_check.h"
#include "support/harness.h"
#include "support/test_support.h"

namespace molv {
namespace {

namespace fs = std::filesystem;

// Each under tests/data, or "../../examples/..." for the example.
std::vector<std::string> models() {
    std::vector<std::string> out;
    // The other folders hold hand-made inputs that their own tests read.
    for (const std::string dir : {"3ds/", "dae/", "gltf/", "obj/", "shell/"})
        for (const std::string& rel : test::filesUnder(test::dataPath(dir), {".obj", ".3ds", ".dae", ".gltf", ".glb"}))
            out.push_back(dir + rel);
    out.push_back("../../examples/stool.obj");
    return out;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (auto i = s.find(from); !from.empty() && i != std::string::npos; i = s.find(from, i + to.size()))
        s.replace(i, from.size(), to);
    return s;
}

struct RealFile : ::testing::TestWithParam<std::string> {};

TEST_P(RealFile, ConvertsLoadsInCal3dAndMatchesItsDump) {
    // The dump of the example lies in tests/data/examples.
    const std::string dumpRel = (GetParam().starts_with("../../") ? GetParam().substr(6) : GetParam()) + ".dump";
    // Convert a copy, so nothing is written beside the data; companions
    // (libraries, textures) come along with the whole folder.
    const fs::path src(test::dataPath(GetParam()));
    const std::string dir = test::tempDir("real");
    for (const auto& e : fs::directory_iterator(src.parent_path()))
        if (e.is_regular_file()) fs::copy_file(e.path(), dir + e.path().filename().string());
    const std::string copy = dir + src.filename().string();

    auto t = test::makeContext(true);
    const bool ok = test::convert(t->ctx, copy);
    std::string dump = std::string("convert: ") + (ok ? "ok" : "failed") + "\n";
    for (const auto& b : t->ui.boxes) dump += "box: " + replaceAll(replaceAll(b.text, "\r\n", " | "), dir, "") + "\n";
    for (const auto& line : test::dumpModel(t->ctx)) dump += replaceAll(line, dir, "") + "\n";

    test::expectGolden(test::dataPath(dumpRel), dump);
    EXPECT_EQ(dump.find(dir), std::string::npos);

    if (!ok) return;  // the dump says why, and that is pinned
    if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const std::string base = copy.substr(0, copy.rfind('.'));
    const auto info = test::loadCal3dSet(base);
    ASSERT_TRUE(info.ok()) << info.error;
    EXPECT_TRUE(test::cal3dMatchesStore(t->m, info));
    EXPECT_EQ(info.materials.size(), info.cfgMaterials.size());
}

INSTANTIATE_TEST_SUITE_P(Data, RealFile, ::testing::ValuesIn(models()), [](const ::testing::TestParamInfo<std::string>& p) {
    return test::testName(p.param.substr(p.param.find_last_of('/') + 1));
});

}  // namespace
}  // namespace molv
