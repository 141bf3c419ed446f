// Mesh transform: world origins along parent chains, origin moves and the
// hierarchy links, including chains that are broken or cyclic.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/transform.h"
#include "convert/context.h"
#include "core/scripted_ui.h"
#include "support/harness.h"

using namespace molv;

namespace {

struct Fixture {
    molv::test::TestContext tc_;
    ScriptedUI& ui = tc_.ui;
    Context& ctx = tc_.ctx;
    ModelStore& m = ctx.model;
    // A mesh with the vertices given as store positions.
    std::int32_t addMesh(std::initializer_list<Vec3> pts) {
        std::int32_t idx = m.dssAddMesh("m" + std::to_string(m.meshCount), 0);
        std::int32_t first = m.AddMeshVertices(idx, static_cast<std::int32_t>(pts.size()));
        for (const Vec3& p : pts) {
            std::int32_t v = first++;
            m.AddVertex(v, p.x, p.y, p.z, p.x, p.z, p.y, 0, false);
        }
        return idx;
    }
    Mesh& mesh(std::int32_t i) { return m.Meshes[static_cast<std::size_t>(i)]; }
    const Vec3& pos(std::int32_t v) { return m.Vertices[static_cast<std::size_t>(v)].pos; }
};

void expectVec(const Vec3& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-5);
    EXPECT_NEAR(v.y, y, 1e-5);
    EXPECT_NEAR(v.z, z, 1e-5);
}

}  // namespace

TEST(MeshTransform, FreshMeshIsTheIdentity) {
    Fixture f;
    std::int32_t a = f.addMesh({{1, 2, 3}});
    EXPECT_EQ(MeshTransform(f.mesh(a)), MatIdentity());
    expectVec(MeshWorldOrigin(f.m, a), 0, 0, 0);
}

TEST(MeshTransform, WorldOriginFollowsTheParentChain) {
    Fixture f;
    std::int32_t parent = f.addMesh({});
    std::int32_t child = f.addMesh({});
    f.mesh(parent).position = Vec3{5, 0, 0};
    f.mesh(child).position = Vec3{1, 0, 0};
    f.mesh(child).parent = static_cast<std::int16_t>(parent);
    expectVec(MeshWorldOrigin(f.m, child), 6, 0, 0);
}

TEST(MeshTransform, SetParentReexpressesPositionAndKeepsTheWorldOrigin) {
    Fixture f;
    std::int32_t a = f.addMesh({{0, 0, 0}});
    std::int32_t b = f.addMesh({{0, 0, 0}});
    std::int32_t c = f.addMesh({{0, 0, 0}});
    f.mesh(a).position = Vec3{1, 0, 0};
    f.mesh(b).position = Vec3{3, 1, 0};
    f.mesh(c).position = Vec3{6, 1, 2};
    // Child linked before its own parent is linked: order does not matter.
    ASSERT_TRUE(SetMeshParent(f.m, c, b));
    ASSERT_TRUE(SetMeshParent(f.m, b, a));
    EXPECT_EQ(f.mesh(c).parent, b);
    expectVec(f.mesh(b).position, 2, 1, 0);
    expectVec(f.mesh(c).position, 3, 0, 2);
    expectVec(MeshWorldOrigin(f.m, c), 6, 1, 2);
    expectVec(MeshWorldOrigin(f.m, b), 3, 1, 0);
    expectVec(f.pos(2), 0, 0, 0);  // vertices stay
}

TEST(MeshTransform, LinksThatCloseACycleAreRefused) {
    Fixture f;
    std::int32_t a = f.addMesh({});
    std::int32_t b = f.addMesh({});
    std::int32_t c = f.addMesh({});
    f.mesh(a).position = Vec3{1, 2, 3};
    EXPECT_FALSE(SetMeshParent(f.m, a, a));
    ASSERT_TRUE(SetMeshParent(f.m, b, a));
    ASSERT_TRUE(SetMeshParent(f.m, c, b));
    EXPECT_FALSE(SetMeshParent(f.m, a, c));
    EXPECT_EQ(f.mesh(a).parent, -1);
    expectVec(f.mesh(a).position, 1, 2, 3);
}

namespace {
// Positions of a forest linked one by one and in one batch agree.
void expectSameAsOneByOne(std::initializer_list<MeshLink> links, int meshes) {
    Fixture one, batch;
    for (int i = 0; i < meshes; ++i) {
        one.addMesh({});
        batch.addMesh({});
        const Vec3 p{static_cast<float>(i * 3 + 1), static_cast<float>(i % 5) - 2.5f, static_cast<float>(i * i % 7)};
        one.mesh(i).position = p;
        batch.mesh(i).position = p;
    }
    std::vector<bool> want;
    for (const MeshLink& l : links) want.push_back(SetMeshParent(one.m, l.mesh, l.parent));
    EXPECT_EQ(SetMeshParents(batch.m, std::vector<MeshLink>(links)), want);
    for (int i = 0; i < meshes; ++i) {
        EXPECT_EQ(batch.mesh(i).parent, one.mesh(i).parent) << i;
        expectVec(batch.mesh(i).position, one.mesh(i).position.x, one.mesh(i).position.y, one.mesh(i).position.z);
        const Vec3 w = MeshWorldOrigin(one.m, i);
        expectVec(MeshWorldOrigin(batch.m, i), w.x, w.y, w.z);
    }
}
}  // namespace

TEST(MeshTransform, BatchRefusesExactlyTheLinksThatCloseCycles) {
    // 0 -> 1 -> 2 -> 0: the third link closes the cycle; 3 -> 3 is refused.
    expectSameAsOneByOne({{0, 1}, {1, 2}, {2, 0}, {3, 3}, {4, 0}}, 5);
    expectSameAsOneByOne({{1, 0}, {0, 1}, {2, 1}, {7, 0}, {-1, 0}}, 3);
}

