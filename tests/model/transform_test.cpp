// Mesh transform: world origins along parent chains, origin moves and the
// hierarchy links, including chains that are broken or cyclic.
#include <gtest/gtest.h>

#include "model/transform.h"
#include "support/harness.h"

using namespace molv;

namespace {

// `n` meshes without vertices.
struct Meshes : test::TestContext {
    explicit Meshes(int n) {
        for (int i = 0; i < n; ++i) m.dssAddMesh("m" + std::to_string(i), 0);
    }
    Mesh& mesh(std::int32_t i) { return m.Meshes[static_cast<std::size_t>(i)]; }
};

void expectVec(const Vec3& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-5);
    EXPECT_NEAR(v.y, y, 1e-5);
    EXPECT_NEAR(v.z, z, 1e-5);
}

TEST(MeshTransform, SetParentReexpressesPositionAndKeepsTheWorldOrigin) {
    Meshes f(3);
    EXPECT_EQ(MeshTransform(f.mesh(0)), MatIdentity());
    expectVec(MeshWorldOrigin(f.m, 0), 0, 0, 0);
    f.mesh(0).position = Vec3{1, 0, 0};
    f.mesh(1).position = Vec3{3, 1, 0};
    f.mesh(2).position = Vec3{6, 1, 2};
    // Child linked before its own parent is linked: order does not matter.
    ASSERT_TRUE(SetMeshParent(f.m, 2, 1));
    ASSERT_TRUE(SetMeshParent(f.m, 1, 0));
    EXPECT_EQ(f.mesh(2).parent, 1);
    expectVec(f.mesh(1).position, 2, 1, 0);
    expectVec(f.mesh(2).position, 3, 0, 2);
    expectVec(MeshWorldOrigin(f.m, 2), 6, 1, 2);
    expectVec(MeshWorldOrigin(f.m, 1), 3, 1, 0);
    // A scaled parent scales where its children are, not where it is.
    f.mesh(0).scale = Vec3{2, 1, 1};
    expectVec(MeshWorldOrigin(f.m, 2), 11, 1, 2);
}

TEST(MeshTransform, LinksThatCloseACycleAreRefused) {
    Meshes f(3);
    f.mesh(0).position = Vec3{1, 2, 3};
    EXPECT_FALSE(SetMeshParent(f.m, 0, 0));
    ASSERT_TRUE(SetMeshParent(f.m, 1, 0));
    ASSERT_TRUE(SetMeshParent(f.m, 2, 1));
    EXPECT_FALSE(SetMeshParent(f.m, 0, 2));
    EXPECT_EQ(f.mesh(0).parent, -1);
    expectVec(f.mesh(0).position, 1, 2, 3);
}

// Positions of a forest linked one by one and in one batch agree.
void expectSameAsOneByOne(std::initializer_list<MeshLink> links, int meshes) {
    Meshes one(meshes), batch(meshes);
    for (int i = 0; i < meshes; ++i) {
        const Vec3 p{static_cast<float>(i * 3 + 1), static_cast<float>(i % 5) - 2.5f, static_cast<float>(i * i % 7)};
        one.mesh(i).position = batch.mesh(i).position = p;
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

TEST(MeshTransform, BatchRefusesExactlyTheLinksThatCloseCycles) {
    // 0 -> 1 -> 2 -> 0: the third link closes the cycle; 3 -> 3 is refused.
    expectSameAsOneByOne({{0, 1}, {1, 2}, {2, 0}, {3, 3}, {4, 0}}, 5);
    expectSameAsOneByOne({{1, 0}, {0, 1}, {2, 1}, {7, 0}, {-1, 0}}, 3);
}

}  // namespace
