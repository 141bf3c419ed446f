#include "util/smallvec.h"

#include <gtest/gtest.h>

#include <utility>

namespace molv {
namespace {

struct Influence {
    int bone;
    float weight;
};

TEST(SmallVec, PushBackOfOwnElementSurvivesGrowth) {
    SmallVec<Influence, 1> v;
    v.push_back({7, 0.5f});
    // Each push grows while its argument lives in the old storage.
    for (int i = 0; i < 21; ++i) v.push_back(v[v.size() - 1]);
    ASSERT_EQ(v.size(), 22u);
    EXPECT_EQ(v[1].weight, 0.5f);
    EXPECT_EQ(v[21].bone, 7);
}

// Copies own their elements and moves hand them over, inline or spilled;
// the record stays as small as its inline room and two counts.
TEST(SmallVec, CopiesAndMovesInlineAndSpilled) {
    static_assert(sizeof(SmallVec<Influence, 1>) == 12);
    for (int n : {1, 5}) {
        SmallVec<Influence, 1> a;
        for (int i = 0; i < n; ++i) a.push_back({i, 0.25f});
        SmallVec<Influence, 1> copy = a;
        a[0].bone = 99;
        EXPECT_EQ(copy[0].bone, 0) << n;
        SmallVec<Influence, 1> moved = std::move(copy);
        ASSERT_EQ(moved.size(), static_cast<std::uint32_t>(n));
        EXPECT_EQ(moved[static_cast<std::uint32_t>(n - 1)].bone, n - 1);
        EXPECT_TRUE(copy.empty());
        copy = moved;
        moved = std::move(a);
        EXPECT_EQ(moved[0].bone, 99);
        EXPECT_EQ(copy.size(), static_cast<std::uint32_t>(n));
    }
}

}  // namespace
}  // namespace molv
