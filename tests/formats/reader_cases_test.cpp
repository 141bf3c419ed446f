// Small hand-written models, each read as a user's file would be and
// compared with the listing kept beside it (<file>.expect): the read's
// outcome, what the user was told, and the whole store. A new case is two
// files; MOLV_UPDATE_GOLDEN=1 writes the listings, to be reviewed before
// they are committed.
#include <gtest/gtest.h>

#include <cstdlib>
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

std::string stripped(std::string s, const std::string& dir) {
    for (auto i = s.find(dir); i != std::string::npos; i = s.find(dir, i)) s.erase(i, dir.size());
    return s;
}

struct ReaderCase : ::testing::TestWithParam<std::string> {};

TEST_P(ReaderCase, MatchesItsListing) {
    const std::string dir = test::dataPath("cases/");
    const std::string path = dir + GetParam();
    test::TestContext t;
    const bool ok = test::readFile(t.ctx, path).ok();
    std::string got = std::string("read: ") + (ok ? "ok" : "failed") + "\n";
    for (const auto& b : t.ui.boxes) got += "box: " + stripped(b.text, dir) + "\n";
    // A line the log list wrapped is joined again before the folder is
    // taken out, so the listing does not depend on where the data lies.
    std::string whole;
    for (const auto& piece : t.ui.everyLogLine) {
        whole += piece;
        if (piece.size() == LogList::kWrap) continue;
        got += "log: " + stripped(whole, dir) + "\n";
        whole.clear();
    }
    got += test::storeListing(t.m);

    const std::string golden = path + ".expect";
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
