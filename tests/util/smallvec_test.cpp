#include "util/smallvec.h"

#include <gtest/gtest.h>

namespace molv {
namespace {

struct Influence {
    int bone;
    float weight;
};

TEST(SmallVec, PushBackOfOwnElementSurvivesGrowth) {
    SmallVec<Influence, 1> v;
    v.push_back({7, 0.5f});
    v.push_back(v[0]);  // grows while the argument lives in the old storage
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[1].bone, 7);
    EXPECT_EQ(v[1].weight, 0.5f);
    for (int i = 0; i < 20; ++i) v.push_back(v[v.size() - 1]);
    EXPECT_EQ(v[21].bone, 7);
}

}  // namespace
}  // namespace molv
