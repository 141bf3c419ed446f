#include "model/vecmath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace molv {
namespace {

constexpr float kTol = 1e-6f;

void expectNear(const Vec3& want, const Vec3& got, float tol = kTol) {
    EXPECT_NEAR(want.x, got.x, tol);
    EXPECT_NEAR(want.y, got.y, tol);
    EXPECT_NEAR(want.z, got.z, tol);
}

void expectNear(const Mat4& want, const Mat4& got, float tol = kTol) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(want(i, j), got(i, j), tol) << "at " << i << "," << j;
}

Quat axisAngle(const Vec3& axis, double angle) {
    const Vec3 n = VecNormalize(axis);
    const double s = std::sin(angle / 2);
    return MakeQuat(float(n.x * s), float(n.y * s), float(n.z * s), float(std::cos(angle / 2)));
}

TEST(VecMath, BasicVectorOperations) {
    Vec3 a = MakeVec3(1, 2, 3);
    VecAdd(a, MakeVec3(10, 20, 30));
    EXPECT_EQ(a, MakeVec3(11, 22, 33));
    EXPECT_EQ(VecSub(a, MakeVec3(1, 2, 3)), MakeVec3(10, 20, 30));
    EXPECT_EQ(VecScale(MakeVec3(1, -2, 3), 2), MakeVec3(2, -4, 6));
    EXPECT_EQ(VecDot(MakeVec3(1, 2, 3), MakeVec3(4, 5, 6)), 32.0f);
    EXPECT_EQ(Vec4Dot(MakeVec4(1, 2, 3, 4), MakeVec4(5, 6, 7, 8)), 70.0f);
    EXPECT_EQ(Det2(1, 2, 3, 4), -2.0f);
    EXPECT_EQ(VecCross(MakeVec3(1, 0, 0), MakeVec3(0, 1, 0)), MakeVec3(0, 0, 1));
    EXPECT_EQ(VecCross(MakeVec3(0, 1, 0), MakeVec3(0, 0, 1)), MakeVec3(1, 0, 0));
    EXPECT_EQ(VecCross(MakeVec3(0, 0, 1), MakeVec3(1, 0, 0)), MakeVec3(0, 1, 0));
    EXPECT_EQ(VecLength(MakeVec3(3, 4, 12)), 13.0f);
    EXPECT_EQ(PointOf(MakeVec3(1, 2, 3)), MakeVec4(1, 2, 3, 1));
    EXPECT_EQ(UnitScale(), MakeVec3(1, 1, 1));
    EXPECT_TRUE(VecIsZero(ZeroVec()));
    EXPECT_FALSE(VecIsZero(MakeVec3(0, 0, 1e-30f)));
    EXPECT_TRUE(VecEqual(MakeVec3(1, 2, 3), MakeVec3(1, 2, 3)));
    EXPECT_FALSE(VecEqual(MakeVec3(1, 2, 3), MakeVec3(1, 2, 3.0000005f)));
}

TEST(VecMath, IntermediatesAreDoublePrecision) {
    // The squares overflow a float; the length itself does not.
    EXPECT_FLOAT_EQ(VecLength(MakeVec3(3e20f, 4e20f, 0)), 5e20f);
    EXPECT_FLOAT_EQ(VecDot(MakeVec3(3e20f, 0, 0), MakeVec3(1e-20f, 0, 0)), 3.0f);
    EXPECT_FLOAT_EQ(VecNormalize(MakeVec3(0, 3e25f, 4e25f)).z, 0.8f);
}

TEST(VecMath, NormalizeAndCosineGuardZero) {
    EXPECT_EQ(VecNormalize(ZeroVec()), ZeroVec());
    expectNear(MakeVec3(0.6f, 0, 0.8f), VecNormalize(MakeVec3(3, 0, 4)));
    EXPECT_EQ(CosBetween(ZeroVec(), MakeVec3(1, 0, 0)), 0.0f);
    EXPECT_EQ(CosBetween(MakeVec3(1, 0, 0), ZeroVec()), 0.0f);
    EXPECT_NEAR(CosBetween(MakeVec3(2, 0, 0), MakeVec3(5, 5, 0)), std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(CosBetween(MakeVec3(1, 0, 0), MakeVec3(-3, 0, 0)), -1.0, 1e-7);
}

TEST(VecMath, ArcCosAndAngleConversions) {
    EXPECT_EQ(ArcCos(1), 0.0);
    EXPECT_EQ(ArcCos(-1), kPi);
    EXPECT_NEAR(ArcCos(0), kPi / 2, 1e-12);
    EXPECT_NEAR(ArcCos(0.5), kPi / 3, 1e-12);
    EXPECT_NEAR(ArcCos(-0.5), 2 * kPi / 3, 1e-12);
    EXPECT_EQ(ArcCos(1.5), 0.0);
    EXPECT_EQ(ArcCos(-7), 0.0);
    EXPECT_NEAR(RadToDeg(kPi), 180.0, 1e-12);
    EXPECT_NEAR(DegToRad(90), kPi / 2, 1e-12);
    EXPECT_NEAR(DegToRad(RadToDeg(1.234)), 1.234, 1e-12);
}

TEST(VecMath, MatrixBuilders) {
    Mat4 i = MatIdentity();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(i(r, c), r == c ? 1.0f : 0.0f);
    Mat4 s = MatScale(MakeVec3(2, 3, 4));
    EXPECT_EQ(s.row(0), MakeVec4(2, 0, 0, 0));
    EXPECT_EQ(s.row(3), MakeVec4(0, 0, 0, 1));
    Mat4 t = MatTranslate(MakeVec3(10, 20, 30));
    EXPECT_EQ(t.row(3), MakeVec4(10, 20, 30, 1));
    EXPECT_EQ(t.row(0), MakeVec4(1, 0, 0, 0));
    Mat4 f = MatFromRows(MakeVec4(1, 2, 3, 4), MakeVec4(5, 6, 7, 8), MakeVec4(9, 10, 11, 12),
                         MakeVec4(13, 14, 15, 16));
    EXPECT_EQ(f(1, 2), 7.0f);
    EXPECT_EQ(MatTranspose(f)(2, 1), 7.0f);
    EXPECT_EQ(MatTranspose(f).row(0), MakeVec4(1, 5, 9, 13));
    EXPECT_EQ(MatTranspose(MatTranspose(f)), f);
    EXPECT_EQ(MatMul(f, MatIdentity()), f);
    EXPECT_EQ(MatMul(MatIdentity(), f), f);
    EXPECT_EQ(MatRotate(0, 1.0), Mat4{});
    EXPECT_EQ(MatRotate(4, 1.0), Mat4{});
}

TEST(VecMath, TransformPointRowVectorConvention) {
    expectNear(MakeVec3(11, 22, 33), TransformPoint(MakeVec3(1, 2, 3), MatTranslate(MakeVec3(10, 20, 30))));
    expectNear(MakeVec3(0, 1, 0), TransformPoint(MakeVec3(1, 0, 0), MatRotate(3, kPi / 2)));
    expectNear(MakeVec3(0, 0, 1), TransformPoint(MakeVec3(0, 1, 0), MatRotate(1, kPi / 2)));
    expectNear(MakeVec3(1, 0, 0), TransformPoint(MakeVec3(0, 0, 1), MatRotate(2, kPi / 2)));
    // No division by w: a matrix with a non-unit last column leaves x, y, z as they come.
    Mat4 w = MatIdentity();
    w(3, 3) = 5;
    w(0, 3) = 7;
    EXPECT_EQ(TransformPoint(MakeVec3(1, 2, 3), w), MakeVec3(1, 2, 3));
}

TEST(VecMath, MatMulAppliesLeftOperandFirst) {
    const Mat4 r = MatRotate(3, kPi / 2);
    const Mat4 t = MatTranslate(MakeVec3(10, 0, 0));
    // Rotate then move: (1,0,0) -> (0,1,0) -> (10,1,0).
    expectNear(MakeVec3(10, 1, 0), TransformPoint(MakeVec3(1, 0, 0), MatMul(r, t)), 1e-5f);
    // Move then rotate: (1,0,0) -> (11,0,0) -> (0,11,0).
    expectNear(MakeVec3(0, 11, 0), TransformPoint(MakeVec3(1, 0, 0), MatMul(t, r)), 1e-5f);
    // Same as applying one after the other.
    const Vec3 p = MakeVec3(0.3f, -2, 5);
    const Mat4 s = MatScale(MakeVec3(2, 3, 4));
    expectNear(TransformPoint(TransformPoint(TransformPoint(p, s), r), t),
               TransformPoint(p, MatMul(MatMul(s, r), t)), 1e-5f);
}

TEST(VecMath, RotationsAreOrthonormal) {
    for (int axis = 1; axis <= 3; ++axis) {
        const Mat4 r = MatRotate(axis, 0.7);
        expectNear(MatIdentity(), MatMul(r, MatTranspose(r)));
        expectNear(MatIdentity(), MatMul(r, MatRotate(axis, -0.7)));
    }
}

TEST(VecMath, QuatRotateEdgeCases) {
    const Vec3 v = MakeVec3(1.5f, -2, 7);
    EXPECT_EQ(QuatRotate(v, MakeQuat(0, 0, 0, 1)), v);
    // Zero vector part leaves v as it is, even with a non-unit w.
    EXPECT_EQ(QuatRotate(v, MakeQuat(0, 0, 0, 3)), v);
    const float h = float(std::sin(kPi / 4)), c = float(std::cos(kPi / 4));
    expectNear(MakeVec3(0, 1, 0), QuatRotate(MakeVec3(1, 0, 0), MakeQuat(0, 0, h, c)));
    EXPECT_EQ(QuatOf(MakeVec4(1, 2, 3, 4)), MakeQuat(1, 2, 3, 4));
}

TEST(VecMath, QuatAgreesWithMatRotate) {
    const Vec3 axes[3] = {MakeVec3(1, 0, 0), MakeVec3(0, 1, 0), MakeVec3(0, 0, 1)};
    const Vec3 p = MakeVec3(0.5f, -1.25f, 2);
    for (int a = 0; a < 3; ++a) {
        for (double ang : {0.3, 1.0, -2.0, kPi}) {
            expectNear(TransformPoint(p, MatRotate(a + 1, ang)), QuatRotate(p, axisAngle(axes[a], ang)), 1e-5f);
        }
    }
}

TEST(VecMath, QuatInverseAndProductIdentities) {
    const Quat q = axisAngle(MakeVec3(1, 2, -0.5f), 1.1);
    const Quat one = QuatMul(q, QuatInverse(q));
    EXPECT_NEAR(one.x, 0, kTol);
    EXPECT_NEAR(one.y, 0, kTol);
    EXPECT_NEAR(one.z, 0, kTol);
    EXPECT_NEAR(one.w, 1, kTol);
    // Inverse of a non-unit quaternion divides by the squared norm.
    EXPECT_EQ(QuatInverse(MakeQuat(0, 0, 0, 2)), MakeQuat(0, 0, 0, 0.5f));
    EXPECT_EQ(QuatInverse(MakeQuat(2, 0, 0, 0)), MakeQuat(-0.5f, 0, 0, 0));
    // Round trip through a rotation and its inverse.
    const Vec3 p = MakeVec3(3, -4, 5);
    expectNear(p, QuatRotate(QuatRotate(p, q), QuatInverse(q)), 1e-5f);
    // Composition: rotating by b then a equals rotating by a*b.
    const Quat b = axisAngle(MakeVec3(0, 1, 0), 0.4);
    expectNear(QuatRotate(QuatRotate(p, b), q), QuatRotate(p, QuatMul(q, b)), 1e-5f);
    // Rotation keeps lengths.
    EXPECT_NEAR(VecLength(QuatRotate(p, q)), VecLength(p), 1e-5);
}

TEST(VecMath, ZeroQuaternionInverseStaysFinite) {
    const Quat z = QuatInverse(Quat{});
    EXPECT_EQ(z, Quat{});
}

TEST(VecMath, DirectionAngles) {
    expectNear(MakeVec3(0, 0, float(kPi / 2)), DirToAngles(MakeVec3(1, 0, 0)));
    expectNear(MakeVec3(0, 0, -float(kPi / 2)), DirToAngles(MakeVec3(-1, 0, 0)));
    expectNear(MakeVec3(0, 0, 0), DirToAngles(MakeVec3(0, 1, 0)));
    // Straight along z: both reference vectors collapse to zero.
    expectNear(MakeVec3(0, -float(kPi / 2), float(kPi / 2)), DirToAngles(MakeVec3(0, 0, 1)));
    // Tilted down (z negative in the source's frame) gives a positive pitch, up a negative one.
    expectNear(MakeVec3(0, float(kPi / 4), float(kPi / 2)), DirToAngles(MakeVec3(1, 0, -1)));
    expectNear(MakeVec3(0, -float(kPi / 4), float(kPi / 2)), DirToAngles(MakeVec3(1, 0, 1)));
    // The first component is always 0.
    EXPECT_EQ(DirToAngles(MakeVec3(0.3f, 0.2f, -0.9f)).x, 0.0f);
    // The identity rotation points the x axis along x.
    expectNear(MakeVec3(0, 0, float(kPi / 2)), QuatToAngles(MakeQuat(0, 0, 0, 1)));
    expectNear(QuatXAxis(MakeQuat(0, 0, float(std::sin(kPi / 4)), float(std::cos(kPi / 4)))), MakeVec3(0, 1, 0));
}

}  // namespace
}  // namespace molv
