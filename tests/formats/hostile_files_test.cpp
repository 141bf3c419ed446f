// Every file under tests/data/hostile/: small inputs that once made a reader
// or the conversion take unbounded time or memory, or crash, kept as they
// were found. Each is read (or converted) and must end within the time
// bound, as its row says. A file without a row fails, so every new finding
// gets one; tests/data/hostile/README.md says where each came from.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/harness.h"
#include "support/test_support.h"

namespace molv {
namespace {

namespace fs = std::filesystem;

enum class How { Read, Convert };

struct Finding {
    const char* file;
    How how;
    bool ok;               // what the read or the conversion returns
    const char* said;      // in a box or the log; "" for nothing to check
    std::size_t boxesMax;  // questions and messages together
};

// Sanitizer builds on a loaded machine need their margin; the faults took
// minutes or never ended.
constexpr double kSecondsMax = 30;

const Finding kFindings[] = {
    {"instancing_size_bomb.dae", How::Convert, false, "The scene places more than 10000000 vertices", 1},
    {"instancing_doubling_chain.dae", How::Convert, false, "visited more than 2000000 times", 1},
    {"many_unknown_usemtl.obj", How::Read, true, "material names in", 1},
    {"many_unknown_keywords.mtl", How::Read, true, "hold unhandled parameters", 1},
    {"fuzz_xmf-collapse_id_beyond_int.xmf", How::Read, false, "line 150: vertex 16: COLLAPSEID", 1},
    {"fuzz_gltf-image_view_past_buffer.glb", How::Read, false, "is beyond its 24 vertices", 1},
    {"fuzz_gltf-bin_chunk_past_end.glb", How::Read, false, "its binary chunk runs past the end of the file", 1},
};

const Finding* findingFor(const std::string& name) {
    for (const Finding& f : kFindings)
        if (name == f.file) return &f;
    return nullptr;
}

std::vector<std::string> hostileFiles() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(test::dataPath("hostile")))
        if (e.is_regular_file() && e.path().filename() != "README.md") out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(HostileFiles, EveryFileHasItsRow) {
    const std::vector<std::string> files = hostileFiles();
    for (const std::string& f : files) EXPECT_TRUE(findingFor(f)) << f << " has no row in kFindings";
    for (const Finding& f : kFindings)
        EXPECT_TRUE(std::find(files.begin(), files.end(), f.file) != files.end()) << f.file << " is missing";
}

struct HostileFile : ::testing::TestWithParam<std::string> {};

TEST_P(HostileFile, EndsInBoundedTimeAsItsRowSays) {
    const Finding* f = findingFor(GetParam());
    ASSERT_TRUE(f);
    // A copy in a folder of its own: nothing is written beside the data,
    // and what a failed conversion leaves behind can be seen.
    const std::string dir = test::tempDir("hostile");
    const std::string src = dir + f->file;
    fs::copy_file(test::dataPath(std::string("hostile/") + f->file), src);
    test::TestContext t;
    const auto start = std::chrono::steady_clock::now();
    bool ok = false;
    if (f->how == How::Convert) {
        ok = test::convert(t.ctx, src);
    } else if (fs::path(src).extension() == ".mtl") {
        ok = test::readMtlText(t.ctx, test::readFile(src), src).ok();
    } else {
        ok = test::readFile(t.ctx, src).ok();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, kSecondsMax);
    EXPECT_EQ(ok, f->ok);
    std::string log;
    for (const auto& l : t.ui.log) log += l;
    if (*f->said) {
        EXPECT_TRUE(t.ui.sawBox(f->said) || log.find(f->said) != std::string::npos) << "not said: " << f->said;
    }
    EXPECT_LE(t.ui.boxes.size(), f->boxesMax);
    EXPECT_TRUE(storeFault(t.m).empty()) << storeFault(t.m);
    if (!ok) {
        // A failed conversion names the file and leaves nothing behind.
        EXPECT_TRUE(t.ui.sawBox(src) || log.find(src) != std::string::npos);
        std::vector<std::string> left;
        for (const auto& e : fs::directory_iterator(dir)) left.push_back(e.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{f->file});
    }
}

INSTANTIATE_TEST_SUITE_P(Data, HostileFile, ::testing::ValuesIn(hostileFiles()),
                         [](const ::testing::TestParamInfo<std::string>& p) { return test::testName(p.param); });

}  // namespace
}  // namespace molv
