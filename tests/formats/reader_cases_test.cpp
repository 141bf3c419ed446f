// Small hand-written models, each read as a user's file would be and
// compared with the listing kept beside it (<file>.expect): the read's
// outcome, what the user was told, and the whole store. A new case is two
// files; MOLV_UPDATE_GOLDEN=1 writes the listings, to be reviewed before
// they are committed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/harness.h"
#include "support/store_listing.h"
#include "support/test_support.h"

namespace molv {
namespace {

std::vector<std::string> cases() {
    std::vector<std::string> out;
    for (const std::string& rel : test::filesUnder(test::dataPath("cases"), {".obj", ".3ds", ".dae", ".gltf", ".an8"}))
        out.push_back(rel);  // libraries, buffers and pictures beside them are companions
    return out;
}

// The case is read by its bare name from inside its folder, so messages
// name it alike on every machine and the log list wraps them alike.
struct InFolder {
    std::filesystem::path was = std::filesystem::current_path();
    explicit InFolder(const std::string& dir) { std::filesystem::current_path(dir); }
    ~InFolder() { std::filesystem::current_path(was); }
};

struct ReaderCase : ::testing::TestWithParam<std::string> {};

TEST_P(ReaderCase, MatchesItsListing) {
    const std::string dir = test::dataPath("cases/");
    test::TestContext t;
    bool ok = false;
    {
        InFolder in(dir);
        ok = test::readFile(t.ctx, GetParam()).ok();
    }
    std::string got = std::string("read: ") + (ok ? "ok" : "failed") + "\n";
    for (const auto& b : t.ui.boxes) got += "box: " + b.text + "\n";
    // A line the log list wrapped is one line here.
    std::string whole;
    for (const auto& piece : t.ui.everyLogLine) {
        whole += piece;
        if (piece.size() == LogList::kWrap) continue;
        got += "log: " + whole + "\n";
        whole.clear();
    }
    if (!whole.empty()) got += "log: " + whole + "\n";
    got += test::storeListing(t.m);

    const std::string golden = dir + GetParam() + ".expect";
    if (std::getenv("MOLV_UPDATE_GOLDEN")) {
        test::writeFile(golden, got);
        return;
    }
    const std::string want = test::readFile(golden);
    ASSERT_FALSE(want.empty()) << "no listing " << GetParam() << ".expect (MOLV_UPDATE_GOLDEN=1 writes it)";
    EXPECT_EQ(want, got);
}

INSTANTIATE_TEST_SUITE_P(Data, ReaderCase, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return test::testName(info.param); });

}  // namespace
}  // namespace molv
