#include "model/vecmath.h"

#include <gtest/gtest.h>

namespace molv {
namespace {

TEST(VecMath, MatrixBuilders) {
    Mat4 i = MatIdentity();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(i(r, c), r == c ? 1.0f : 0.0f);
    Mat4 s = MatScale(Vec3{2, 3, 4});
    EXPECT_EQ(s.row(0), (Vec4{2, 0, 0, 0}));
    EXPECT_EQ(s.row(3), (Vec4{0, 0, 0, 1}));
    Mat4 t = MatTranslate(Vec3{10, 20, 30});
    EXPECT_EQ(t.row(3), (Vec4{10, 20, 30, 1}));
    EXPECT_EQ(t.row(0), (Vec4{1, 0, 0, 0}));
    Mat4 f = MatFromRows(Vec4{1, 2, 3, 4}, Vec4{5, 6, 7, 8}, Vec4{9, 10, 11, 12},
                         Vec4{13, 14, 15, 16});
    EXPECT_EQ(f(1, 2), 7.0f);
    EXPECT_EQ(MatTranspose(f)(2, 1), 7.0f);
    EXPECT_EQ(MatTranspose(f).row(0), (Vec4{1, 5, 9, 13}));
    EXPECT_EQ(MatTranspose(MatTranspose(f)), f);
    EXPECT_EQ(MatMul(f, MatIdentity()), f);
    EXPECT_EQ(MatMul(MatIdentity(), f), f);
    EXPECT_EQ(MatRotate(0, 1.0), Mat4{});
    EXPECT_EQ(MatRotate(4, 1.0), Mat4{});
}

}  // namespace
}  // namespace molv
