// The Wavefront reader reports its progress against what the count found,
// which the window's progress bar shows.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "support/harness.h"

using namespace molv;

namespace {

struct ProgressUI : test::TestUI {
    std::vector<std::pair<std::int64_t, std::int64_t>> calls;
    ProgressUI() { recordStatus = true; }
    void progress(std::int64_t done, std::int64_t total) override { calls.emplace_back(done, total); }
};

}  // namespace

TEST(ObjProgress, ReportsItemsTakenOfThoseCounted) {
    // 300 triangles, each behind its own three vertices: enough separate
    // runs of lines that the reader's status falls due once.
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += "v 0 0 " + std::to_string(i) + "\nv 1 0 " + std::to_string(i) + "\nv 0 1 " + std::to_string(i) + "\n";
        text += "f -3 -2 -1\n";
    }
    ProgressUI ui;
    Context ctx(ui);
    ASSERT_TRUE(test::readObjText(ctx, text).ok());
    ASSERT_FALSE(ui.calls.empty());
    for (auto [done, total] : ui.calls) {
        EXPECT_EQ(total, 900 + 300);
        EXPECT_GT(done, 0);
        EXPECT_LT(done, total);
    }
}
