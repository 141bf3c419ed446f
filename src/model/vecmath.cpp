#include "model/vecmath.h"

#include <cmath>

#include "util/trig.h"

namespace molv {

namespace {
inline float f(double v) { return static_cast<float>(v); }
}  // namespace

Quat MakeQuat(float x, float y, float z, float w) { return Quat{x, y, z, w}; }
Vec4 PointOf(const Vec3& v) { return Vec4{v.x, v.y, v.z, 1.0f}; }
Vec3 ZeroVec() { return Vec3{0, 0, 0}; }

Vec3 VecSub(const Vec3& a, const Vec3& b) {
    return Vec3{f(double(a.x) - b.x), f(double(a.y) - b.y), f(double(a.z) - b.z)};
}

Vec3 VecScale(const Vec3& v, double s) { return Vec3{f(v.x * s), f(v.y * s), f(v.z * s)}; }

float VecDot(const Vec3& a, const Vec3& b) {
    return f(double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z);
}

float Vec4Dot(const Vec4& a, const Vec4& b) {
    return f(double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z + double(a.w) * b.w);
}

Vec3 VecCross(const Vec3& a, const Vec3& b) {
    return Vec3{f(double(a.y) * b.z - double(a.z) * b.y), f(-(double(a.x) * b.z - double(a.z) * b.x)),
                f(double(a.x) * b.y - double(a.y) * b.x)};
}

float VecLength(const Vec3& v) {
    return f(std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z));
}

Vec3 VecNormalize(const Vec3& v) {
    const float len = VecLength(v);
    if (len == 0.0f) return ZeroVec();
    return VecScale(v, 1.0 / len);
}

bool VecIsZero(const Vec3& v) { return v.x == 0 && v.y == 0 && v.z == 0; }

float CosBetween(const Vec3& a, const Vec3& b) {
    if (VecIsZero(a) || VecIsZero(b)) return 0.0f;
    return VecDot(VecNormalize(a), VecNormalize(b));
}

double ArcCos(double x) {
    if (x == 1.0) return 0.0;
    if (x == -1.0) return kPi;
    if (std::fabs(x) >= 1.0) return 0.0;
    return std::atan(-x / std::sqrt(1.0 - x * x)) + 2.0 * std::atan(1.0);
}

double RadToDeg(double a) { return a * 180.0 / kPi; }

Mat4 MatIdentity() {
    Mat4 r;
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
    return r;
}

Mat4 MatScale(const Vec3& s) {
    Mat4 r;
    r.m[0][0] = s.x;
    r.m[1][1] = s.y;
    r.m[2][2] = s.z;
    r.m[3][3] = 1.0f;
    return r;
}

Mat4 MatTranslate(const Vec3& t) {
    Mat4 r = MatIdentity();
    r.m[3][0] = t.x;
    r.m[3][1] = t.y;
    r.m[3][2] = t.z;
    return r;
}

Mat4 MatRotate(int axis, double angle) {
    const SinCos sc = sinCosRadians(angle);
    const float c = f(sc.c), s = f(sc.s);
    switch (axis) {
        case 1:
            return MatFromRows(Vec4{1, 0, 0, 0}, Vec4{0, c, s, 0}, Vec4{0, -s, c, 0}, Vec4{0, 0, 0, 1});
        case 2:
            return MatFromRows(Vec4{c, 0, -s, 0}, Vec4{0, 1, 0, 0}, Vec4{s, 0, c, 0}, Vec4{0, 0, 0, 1});
        case 3:
            return MatFromRows(Vec4{c, s, 0, 0}, Vec4{-s, c, 0, 0}, Vec4{0, 0, 1, 0}, Vec4{0, 0, 0, 1});
        default:
            return Mat4{};
    }
}

Mat4 MatFromRows(const Vec4& r0, const Vec4& r1, const Vec4& r2, const Vec4& r3) {
    Mat4 r;
    const Vec4* rows[4] = {&r0, &r1, &r2, &r3};
    for (int i = 0; i < 4; ++i) {
        r.m[i][0] = rows[i]->x;
        r.m[i][1] = rows[i]->y;
        r.m[i][2] = rows[i]->z;
        r.m[i][3] = rows[i]->w;
    }
    return r;
}

Mat4 MatTranspose(const Mat4& m) {
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = m.m[j][i];
    return r;
}

Mat4 MatMul(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = Vec4Dot(a.row(i), b.col(j));
    return r;
}

Vec3 TransformPoint(const Vec3& p, const Mat4& m) {
    const Vec4 h = PointOf(p);
    return Vec3{Vec4Dot(h, m.col(0)), Vec4Dot(h, m.col(1)), Vec4Dot(h, m.col(2))};
}

Quat QuatMul(const Quat& a, const Quat& b) {
    const double ax = a.x, ay = a.y, az = a.z, aw = a.w;
    const double bx = b.x, by = b.y, bz = b.z, bw = b.w;
    return Quat{f(ax * bw + aw * bx + ay * bz - az * by), f(ay * bw + aw * by + az * bx - ax * bz),
                f(az * bw + aw * bz + ax * by - ay * bx), f(aw * bw - ax * bx - ay * by - az * bz)};
}

Quat QuatInverse(const Quat& q) {
    const double n = double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z + double(q.w) * q.w;
    // A zero quaternion has no inverse; answer zero rather than NaNs that
    // would spread through every vertex they touch.
    if (n == 0.0) return Quat{};
    return Quat{f(-q.x / n), f(-q.y / n), f(-q.z / n), f(q.w / n)};
}

Vec3 QuatRotate(const Vec3& v, const Quat& q) {
    if (q.x == 0 && q.y == 0 && q.z == 0) return v;
    const Quat r = QuatMul(QuatMul(q, Quat{v.x, v.y, v.z, 0}), QuatInverse(q));
    return Vec3{r.x, r.y, r.z};
}

Vec3 QuatXAxis(const Quat& q) { return QuatRotate(Vec3{1, 0, 0}, q); }

Vec3 DirToAngles(const Vec3& d) {
    float a = f(ArcCos(CosBetween(Vec3{d.x, 0, d.y}, Vec3{0, 0, 1})));
    float b = f(ArcCos(CosBetween(Vec3{d.x, d.z, d.y}, Vec3{d.x, 0, d.y})));
    if (d.x < 0) a = -a;
    if (d.z > 0) b = -b;
    return Vec3{0, b, a};
}

Vec3 QuatToAngles(const Quat& q) { return DirToAngles(QuatXAxis(q)); }

NormalMatrix NormalMatrixOf(const Mat4& m) {
    const Vec3 o = TransformPoint(Vec3{}, m);
    const Vec3 a0 = VecSub(TransformPoint(Vec3{1, 0, 0}, m), o);
    const Vec3 a1 = VecSub(TransformPoint(Vec3{0, 1, 0}, m), o);
    const Vec3 a2 = VecSub(TransformPoint(Vec3{0, 0, 1}, m), o);
    NormalMatrix nm{VecCross(a1, a2), VecCross(a2, a0), VecCross(a0, a1), 0};
    const double det = VecDot(a0, nm.c0);
    if (det != 0 && std::isfinite(det)) nm.sign = det < 0 ? -1.0 : 1.0;
    return nm;
}

Vec3 TransformNormal(const Vec3& n, const NormalMatrix& nm) {
    if (nm.sign == 0) return {};
    const double s = nm.sign;
    const Vec3 &c0 = nm.c0, &c1 = nm.c1, &c2 = nm.c2;
    const Vec3 r{static_cast<float>(s * (n.x * c0.x + n.y * c1.x + n.z * c2.x)),
                 static_cast<float>(s * (n.x * c0.y + n.y * c1.y + n.z * c2.y)),
                 static_cast<float>(s * (n.x * c0.z + n.y * c1.z + n.z * c2.z))};
    const double len = std::sqrt(static_cast<double>(r.x) * r.x + static_cast<double>(r.y) * r.y +
                                 static_cast<double>(r.z) * r.z);
    if (!(len > 0) || !std::isfinite(len)) return {};
    return Vec3{static_cast<float>(r.x / len), static_cast<float>(r.y / len), static_cast<float>(r.z / len)};
}

}  // namespace molv
