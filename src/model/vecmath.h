// Small value types and pure functions for points, directions, rotations
// and 4x4 transforms. Arithmetic runs in double; every stored result is
// rounded to float, as the files we read and write hold floats.
//
// Matrices are row-major and act on row vectors from the left: p' = p x M.
// A translation sits in the fourth row, and MatMul(A, B) applies A first.
// Angles are in radians.
#pragma once

#include "model/vec3.h"

namespace molv {

struct Vec4 {
    float x = 0, y = 0, z = 0, w = 0;
    friend bool operator==(const Vec4&, const Vec4&) = default;
};

// Quaternion with the scalar part last: (x, y, z, w).
struct Quat {
    float x = 0, y = 0, z = 0, w = 0;
    friend bool operator==(const Quat&, const Quat&) = default;
};

struct Mat4 {
    float m[4][4] = {};
    float& operator()(int row, int col) { return m[row][col]; }
    float operator()(int row, int col) const { return m[row][col]; }
    Vec4 row(int i) const { return Vec4{m[i][0], m[i][1], m[i][2], m[i][3]}; }
    Vec4 col(int j) const { return Vec4{m[0][j], m[1][j], m[2][j], m[3][j]}; }
    friend bool operator==(const Mat4&, const Mat4&) = default;
};

inline constexpr double kPi = 3.14159265358979;

Quat MakeQuat(float x, float y, float z, float w);
Vec4 PointOf(const Vec3& v);
Vec3 ZeroVec();

Vec3 VecSub(const Vec3& a, const Vec3& b);
Vec3 VecScale(const Vec3& v, double s);
float VecDot(const Vec3& a, const Vec3& b);
float Vec4Dot(const Vec4& a, const Vec4& b);
Vec3 VecCross(const Vec3& a, const Vec3& b);
float VecLength(const Vec3& v);
// The zero vector stays zero rather than dividing by a zero length.
Vec3 VecNormalize(const Vec3& v);
bool VecIsZero(const Vec3& v);
// Cosine of the angle between a and b; 0 when either is the zero vector.
float CosBetween(const Vec3& a, const Vec3& b);
// Arc cosine in radians; arguments outside (-1, 1) other than -1 give 0.
double ArcCos(double x);
double RadToDeg(double a);

Mat4 MatIdentity();
Mat4 MatScale(const Vec3& s);
Mat4 MatTranslate(const Vec3& t);
// Rotation about axis 1 (x), 2 (y) or 3 (z); any other code gives the zero matrix.
Mat4 MatRotate(int axis, double angle);
Mat4 MatFromRows(const Vec4& r0, const Vec4& r1, const Vec4& r2, const Vec4& r3);
Mat4 MatTranspose(const Mat4& m);
Mat4 MatMul(const Mat4& a, const Mat4& b);
// (p, 1) x M, first three components; no division by w.
Vec3 TransformPoint(const Vec3& p, const Mat4& m);
// A surface normal carried along with the points TransformPoint moves (the
// inverse transpose of its linear part), unit length; zero when the
// transform flattens space. NormalMatrix is that part worked out once, for
// the many normals of one placed mesh.
struct NormalMatrix {
    Vec3 c0, c1, c2;  // columns of the inverse transpose, times the determinant
    double sign = 0;  // of the determinant; 0 when the transform flattens space
};
NormalMatrix NormalMatrixOf(const Mat4& m);
Vec3 TransformNormal(const Vec3& n, const NormalMatrix& nm);

Quat QuatMul(const Quat& a, const Quat& b);
// The zero quaternion is not guarded: callers hand in rotations.
Quat QuatInverse(const Quat& q);
Vec3 QuatRotate(const Vec3& v, const Quat& q);
Vec3 QuatXAxis(const Quat& q);
// (0, pitch, yaw) of a direction: the first component is always 0.
Vec3 DirToAngles(const Vec3& d);
Vec3 QuatToAngles(const Quat& q);

}  // namespace molv
