#include "model/normals.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "model/store.h"
#include "support/harness.h"

namespace molv {
namespace {

Vec3 unitOf(const Vec3& n) {
    const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    return Vec3{n.x / len, n.y / len, n.z / len};
}

bool near(const Vec3& got, const Vec3& want) {
    return std::fabs(got.x - want.x) < 1e-5 && std::fabs(got.y - want.y) < 1e-5 && std::fabs(got.z - want.z) < 1e-5;
}

// The twin is the same point with the height third, as the readers store it.
std::int32_t addVertex(ModelStore& m, const Vec3& p) {
    std::int32_t i = -1;
    m.AddVertex(i, p.x, p.y, p.z, p.x, p.z, p.y);
    return i;
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
        for (const Vec3& p : {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{0, 1, 0}}) addVertex(m, p);
        m.AddFace(0, 0, 0, 1, 2);
        m.SetFaceNormals(0, Vec3{1, 0, 0}, Vec3{2, 0, 0}, Vec3{});
        ASSERT_EQ(resolveNormals(tc.ctx, m, NormalChoice{keepOwn, true}), 0);
        const Vec3 face = unitOf(faceNormal(m, 0));
        for (std::size_t v = 0; v < 3; ++v)
            EXPECT_TRUE(near(m.Normals[v], keepOwn && v < 2 ? Vec3{1, 0, 0} : face)) << v;
    }
}

// A 3DS mesh is split per face: no vertex has two corners. A four-sided
// pyramid so split, its sides in one smoothing group and its base in none,
// gets smooth sides (the apex points up; each rim corner of a side takes
// that side and the one before) and a flat base. The same with one apex
// vertex for all sides (and spare vertices, so that counts alone do not
// tell the two apart).
TEST(Normals, AMeshSplitPerFaceSmoothsByItsGroups) {
    for (const bool oneApex : {false, true}) {
        SCOPED_TRACE(oneApex);
        test::TestContext tc;
        ModelStore& m = tc.ctx.model;
        m.dssAddMesh("pyramid", 0);
        auto vertex = [&](const Vec3& p) { return addVertex(m, p); };
        const Vec3 apex{0, 1, 0}, rim[4] = {{1, 0, 1}, {1, 0, -1}, {-1, 0, -1}, {-1, 0, 1}};
        const std::int32_t top = oneApex ? vertex(apex) : -1;
        std::vector<std::array<std::int32_t, 3>> corners;
        auto face = [&](const Vec3& a, const Vec3& b, const Vec3& c, std::uint32_t group) {
            const std::array<std::int32_t, 3> v = {a == apex && top >= 0 ? top : vertex(a), vertex(b), vertex(c)};
            m.AddFace(0, 0, v[0], v[1], v[2]);
            m.faceSmoothing.push_back(group);
            corners.push_back(v);
        };
        for (int i = 0; i < 4; ++i) face(apex, rim[(i + 1) % 4], rim[i], 1);
        face(rim[0], rim[1], rim[2], 0);
        face(rim[0], rim[2], rim[3], 0);
        while (m.ttlnum_Vertices < 18) vertex(Vec3{5, 5, 5});
        ASSERT_EQ(resolveNormals(tc.ctx, m, NormalChoice{false, true}), 0);
        auto normal = [&](std::int32_t v) { return m.Normals[static_cast<std::size_t>(v)]; };
        for (int i = 0; i < 4; ++i) {
            const auto& v = corners[static_cast<std::size_t>(i)];
            EXPECT_TRUE(near(normal(v[0]), Vec3{0, 1, 0})) << "apex of side " << i;
            const Vec3 own = unitOf(faceNormal(m, i)), before = unitOf(faceNormal(m, (i + 3) % 4));
            EXPECT_TRUE(near(normal(v[2]), unitOf(Vec3{own.x + before.x, own.y + before.y, own.z + before.z}))) << i;
        }
        for (int f = 4; f < 6; ++f)
            for (std::int32_t v : corners[static_cast<std::size_t>(f)]) EXPECT_TRUE(near(normal(v), Vec3{0, -1, 0})) << v;
    }
}

// A change of material is an edge: a pyramid whose sides have materials of
// their own, one per side or one per pair of sides, keeps a corner apart
// (copied) wherever the material changes and smooth where it does not.
// These positions are more than the model's vertices.
TEST(Normals, MaterialsSplitAPyramidsNormals) {
    constexpr int kSides = 12;
    // Sides per material; copies made (of the apex plus of the rim).
    for (const auto& [perMaterial, copies] : {std::pair{1, (kSides - 1) + kSides}, {2, (kSides / 2 - 1) + kSides / 2}}) {
        test::TestContext tc;
        ModelStore& m = tc.ctx.model;
        m.dssAddMesh("pyramid", 0);
        addVertex(m, Vec3{0, 1, 0});
        for (int i = 0; i < kSides; ++i) {
            const double a = 2 * std::numbers::pi * i / kSides;
            addVertex(m, Vec3{static_cast<float>(std::cos(a)), 0, static_cast<float>(std::sin(a))});
        }
        for (int i = 0; i < kSides / perMaterial; ++i) m.AddMaterial("side" + std::to_string(i));
        // Every other side first: the rest then meet positions seen before
        // the table of positions grew.
        for (int j = 0; j < kSides; ++j) {
            const int i = j < kSides / 2 ? 2 * j : 2 * (j - kSides / 2) + 1;
            const std::int32_t g = m.AddFaceGroup(false, i / perMaterial, 0);
            m.AddFace(0, 0, 0, 1 + i, 1 + (i + 1) % kSides);
            m.AddFaceToGroup(0, g, false, j, j);
        }
        ASSERT_EQ(resolveNormals(tc.ctx, m, NormalChoice{true, true}), copies) << perMaterial;
        // A corner that no side of the same material shares is flat.
        std::map<std::int32_t, int> uses;
        for (std::int32_t f = 0; f < m.ttlnum_Faces; ++f)
            for (std::int32_t v : m.VFaces[static_cast<std::size_t>(f)].vtx) ++uses[v];
        for (std::int32_t f = 0; f < m.ttlnum_Faces; ++f)
            for (std::int32_t v : m.VFaces[static_cast<std::size_t>(f)].vtx)
                EXPECT_TRUE(uses[v] > 1 || near(m.Normals[static_cast<std::size_t>(v)], unitOf(faceNormal(m, f))))
                    << f << " " << v;
    }
}

// A vertex whose corners disagree is copied; the copy carries everything
// the vertex carries beside the record (its z-up twin, the Cal3D level of
// detail fields, its influences), and the vertices after it move along
// with theirs.
TEST(Normals, ACopiedVertexKeepsItsSideFields) {
    test::TestContext tc;
    ModelStore& m = tc.ctx.model;
    m.dssAddMesh("two", 0);
    for (const Vec3& p : {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, -1, 0}}) {
        std::int32_t i = -1;
        m.AddVertex(i, p.x, p.y, p.z, p.x + 10, p.z + 20, p.y + 30);
    }
    m.setCollapse(0, 5, 2);
    m.setCollapse(1, -1, 0);
    m.skinAt(0).Influences.push_back(Influence{7, 1.0f});
    m.skinAt(0).num_Influences = 1;
    m.AddFace(0, 0, 0, 1, 2);
    m.AddFace(0, 0, 0, 3, 1);
    m.SetFaceNormals(0, Vec3{0, 0, 1}, Vec3{0, 0, 1}, Vec3{0, 0, 1});
    m.SetFaceNormals(1, Vec3{1, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 0, 0});
    ASSERT_GT(resolveNormals(tc.ctx, m, NormalChoice{true, true}), 0);
    // Each vertex is followed by its copies: vertex 0 is 0 and 1 now.
    const auto zup = [&](std::int32_t v) { return m.zupOf(v); };
    EXPECT_EQ(m.Vertices[1].pos, (Vec3{0, 0, 0}));
    EXPECT_EQ(zup(1), (Vec3{10, 20, 30}));
    EXPECT_EQ(m.collapseId(1), 5);
    EXPECT_EQ(m.faceCollapseCount(1), 2);
    ASSERT_EQ(m.skinOf(1).num_Influences, 1);
    EXPECT_EQ(m.skinOf(1).Influences[0].boneId, 7);
    // Old vertex 1 follows vertex 0's copies.
    std::int32_t one = 1;
    while (one < m.ttlnum_Vertices && !(m.Vertices[static_cast<std::size_t>(one)].pos == Vec3{1, 0, 0})) ++one;
    ASSERT_LT(one, m.ttlnum_Vertices);
    EXPECT_EQ(zup(one), (Vec3{11, 20, 30}));
    EXPECT_EQ(m.collapseId(one), -1);
    EXPECT_EQ(m.skinOf(one).num_Influences, 0);
    EXPECT_EQ(m.Meshes[0].num_Vertices, m.ttlnum_Vertices);
}

}  // namespace
}  // namespace molv
