#include "model/normals.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/store.h"
#include "support/harness.h"

namespace molv {
namespace {

Vec3 unitOf(const Vec3& n) {
    const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    return Vec3{n.x / len, n.y / len, n.z / len};
}

// A source that gives normals for some corners only: those keep theirs
// (even one the face disagrees with), and the rest are worked out from the
// faces, whether kept normals are wanted or not.
TEST(Normals, CornersWithoutTheSourcesNormalAreWorkedOut) {
    for (const bool keepOwn : {true, false}) {
        SCOPED_TRACE(keepOwn);
        test::TestContext tc;
        ModelStore& m = tc.ctx.model;
        m.dssAddMesh("tri", 0);
        for (const Vec3& p : {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{0, 1, 0}}) {
            std::int32_t i = -1;
            m.AddVertex(i, p.x, p.y, p.z, p.x, p.z, p.y);
        }
        m.AddFace(0, 0, 0, 1, 2);
        m.SetFaceNormals(0, Vec3{1, 0, 0}, Vec3{2, 0, 0}, Vec3{});
        ASSERT_EQ(resolveNormals(tc.ctx, m, NormalChoice{keepOwn, true}), 0);
        const Vec3 face = unitOf(faceNormal(m, 0));
        for (std::int32_t v = 0; v < 3; ++v) {
            const Vec3 want = keepOwn && v < 2 ? Vec3{1, 0, 0} : face;
            const Vec3& got = m.Normals[static_cast<std::size_t>(v)];
            EXPECT_NEAR(got.x, want.x, 1e-6) << v;
            EXPECT_NEAR(got.y, want.y, 1e-6) << v;
            EXPECT_NEAR(got.z, want.z, 1e-6) << v;
        }
    }
}

}  // namespace
}  // namespace molv
