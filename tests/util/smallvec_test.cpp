#include "util/smallvec.h"

#include <gtest/gtest.h>

namespace molv {
namespace {

struct Influence {
    int bone;
    float weight;
};

TEST(SmallVec, StaysInlineThenSpills) {
    SmallVec<int, 2> v;
    EXPECT_TRUE(v.empty());
    v.push_back(1);
    v.push_back(2);
    const int* inlineData = v.data();
    v.push_back(3);
    EXPECT_NE(v.data(), inlineData);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 3);
    for (int i = 4; i <= 100; ++i) v.push_back(i);
    int sum = 0;
    for (int x : v) sum += x;
    EXPECT_EQ(sum, 5050);
}

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

TEST(SmallVec, CopyAndMoveAreIndependent) {
    SmallVec<int, 2> a;
    for (int i = 0; i < 5; ++i) a.push_back(i);
    SmallVec<int, 2> b(a);
    b[0] = 99;
    EXPECT_EQ(a[0], 0);
    SmallVec<int, 2> c(std::move(a));
    EXPECT_EQ(c.size(), 5u);
    EXPECT_EQ(a.size(), 0u);
    a.push_back(4);  // a moved-from vector is usable
    EXPECT_EQ(a[0], 4);

    SmallVec<int, 4> small;
    small.push_back(1);
    SmallVec<int, 4> moved(std::move(small));
    EXPECT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0], 1);

    b = b;  // self-assignment keeps the contents
    EXPECT_EQ(b.size(), 5u);
    EXPECT_EQ(b[0], 99);
    b = c;
    EXPECT_EQ(b[0], 0);
    c = SmallVec<int, 2>();
    EXPECT_TRUE(c.empty());
}

TEST(SmallVec, ResizeZeroesNewElements) {
    SmallVec<Influence, 2> v;
    v.push_back({3, 1.0f});
    v.resize(5);
    ASSERT_EQ(v.size(), 5u);
    EXPECT_EQ(v[0].bone, 3);
    EXPECT_EQ(v[4].bone, 0);
    EXPECT_EQ(v[4].weight, 0.0f);
    v.resize(1);
    EXPECT_EQ(v.size(), 1u);
    v.resize(3);
    EXPECT_EQ(v[2].bone, 0);  // shrinking then growing zeroes again
    v.clear();
    EXPECT_TRUE(v.empty());
}

}  // namespace
}  // namespace molv
