// Mesh transform: world origins along parent chains, origin moves and the
// hierarchy links, including chains that are broken or cyclic.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/transform.h"
#include "convert/context.h"
#include "core/scripted_ui.h"

using namespace molv;

namespace {

struct Fixture {
    ScriptedUI ui;
    Context ctx{ui};
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

TEST(MeshTransform, ScaleRotateThenTranslate) {
    Fixture f;
    std::int32_t a = f.addMesh({});
    f.mesh(a).scale = Vec3{2, 2, 2};
    f.mesh(a).rotation = Vec3{static_cast<float>(kPi / 2), 0, 0};  // about z
    f.mesh(a).position = Vec3{10, 0, 0};
    // (1, 0, 0) scaled to (2, 0, 0), turned to (0, 2, 0), moved to (10, 2, 0).
    expectVec(TransformPoint(Vec3{1, 0, 0}, MeshTransform(f.mesh(a))), 10, 2, 0);
}

TEST(MeshTransform, MoveOriginMovesVerticesAndBack) {
    Fixture f;
    std::int32_t a = f.addMesh({{10, 20, 30}, {11, 22, 33}});
    const Vec3 zup = f.m.Vertices[0].zup_pos;
    MoveMeshOrigin(f.m, a, Vec3{10, 20, 30});
    expectVec(f.pos(0), 0, 0, 0);
    expectVec(f.pos(1), 1, 2, 3);
    expectVec(f.mesh(a).position, 10, 20, 30);
    EXPECT_EQ(f.m.Vertices[0].zup_pos, zup);  // only pos moves
    MoveMeshOrigin(f.m, a, Vec3{0, 0, 0});
    expectVec(f.pos(0), 10, 20, 30);
    expectVec(f.pos(1), 11, 22, 33);
    expectVec(f.mesh(a).position, 0, 0, 0);
}

TEST(MeshTransform, MoveTouchesOnlyItsOwnMesh) {
    Fixture f;
    std::int32_t a = f.addMesh({{1, 1, 1}});
    std::int32_t b = f.addMesh({{5, 5, 5}});
    MoveMeshOrigin(f.m, b, Vec3{5, 5, 5});
    expectVec(f.pos(0), 1, 1, 1);
    expectVec(f.pos(1), 0, 0, 0);
    (void)a;
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

TEST(MeshTransform, IndicesOutsideTheStoreChangeNothing) {
    Fixture f;
    std::int32_t a = f.addMesh({{1, 1, 1}});
    EXPECT_FALSE(SetMeshParent(f.m, a, 7));
    EXPECT_FALSE(SetMeshParent(f.m, -1, a));
    EXPECT_FALSE(SetMeshParent(f.m, a, -1));
    MoveMeshOrigin(f.m, 3, Vec3{1, 1, 1});
    TransformMeshVertices(f.m, -2, MatTranslate(Vec3{1, 1, 1}));
    expectVec(f.pos(0), 1, 1, 1);
    expectVec(MeshWorldOrigin(f.m, 9), 0, 0, 0);
}

TEST(MeshTransform, WalkEndsOnBrokenOrCyclicParentsSetByHand) {
    Fixture f;
    std::int32_t a = f.addMesh({});
    std::int32_t b = f.addMesh({});
    f.mesh(a).position = Vec3{1, 0, 0};
    f.mesh(b).position = Vec3{2, 0, 0};
    f.mesh(a).parent = static_cast<std::int16_t>(b);
    f.mesh(b).parent = static_cast<std::int16_t>(a);
    // Bounded by the mesh count: two steps, then it stops.
    expectVec(MeshWorldOrigin(f.m, a), 3, 0, 0);
    EXPECT_TRUE(MeshHasAncestor(f.m, a, b));
    EXPECT_FALSE(MeshHasAncestor(f.m, a, 5));
    f.mesh(b).parent = 300;  // names no mesh
    expectVec(MeshWorldOrigin(f.m, a), 3, 0, 0);
}

TEST(MeshTransform, TransformAppliesToTheWholeRun) {
    Fixture f;
    std::int32_t a = f.addMesh({{1, 0, 0}, {0, 1, 0}});
    TransformMeshVertices(f.m, a, MatRotate(3, kPi / 2));
    expectVec(f.pos(0), 0, 1, 0);
    expectVec(f.pos(1), -1, 0, 0);
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

TEST(MeshTransform, BatchLinksAgreeWithOneByOne) {
    // Children before parents, parents before children, a branch.
    expectSameAsOneByOne({{3, 2}, {2, 1}, {1, 0}, {4, 1}, {5, 4}}, 6);
    expectSameAsOneByOne({{1, 0}, {2, 1}, {3, 2}}, 4);
}

TEST(MeshTransform, BatchRefusesExactlyTheLinksThatCloseCycles) {
    // 0 -> 1 -> 2 -> 0: the third link closes the cycle; 3 -> 3 is refused.
    expectSameAsOneByOne({{0, 1}, {1, 2}, {2, 0}, {3, 3}, {4, 0}}, 5);
    expectSameAsOneByOne({{1, 0}, {0, 1}, {2, 1}, {7, 0}, {-1, 0}}, 3);
}

TEST(MeshTransform, BatchFallsBackWhenItCannotShortcut) {
    // A rotated mesh and a mesh linked twice both need the one-by-one walk.
    Fixture f;
    for (int i = 0; i < 3; ++i) f.addMesh({});
    f.mesh(1).position = Vec3{1, 0, 0};
    f.mesh(2).position = Vec3{0, 2, 0};
    f.mesh(0).rotation = Vec3{static_cast<float>(kPi / 2), 0, 0};
    auto made = SetMeshParents(f.m, {{1, 0}, {2, 1}, {2, 0}});
    EXPECT_EQ(made, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(f.mesh(2).parent, 0);
    // Mesh 1 sits at x = 1 inside the turned mesh 0: world (0, 1, 0). The
    // walk re-expressed mesh 2 against that, then against mesh 0's origin.
    expectVec(MeshWorldOrigin(f.m, 1), 0, 1, 0);
    expectVec(f.mesh(2).position, 0, 1, 0);
}

TEST(MeshTransform, LongChainLinksInLinearTime) {
    Fixture f;
    const int n = 30000;
    std::vector<MeshLink> links;
    for (int i = 0; i < n; ++i) {
        f.m.dssAddMesh("c", 0);
        f.mesh(i).position = Vec3{static_cast<float>(i), 0, 0};
        if (i > 0) links.push_back({i, i - 1});
    }
    auto made = SetMeshParents(f.m, links);
    EXPECT_TRUE(std::all_of(made.begin(), made.end(), [](bool b) { return b; }));
    expectVec(f.mesh(n - 1).position, 1, 0, 0);
    EXPECT_EQ(f.mesh(n - 1).parent, n - 2);
}
