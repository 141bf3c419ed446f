#include "model/store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "model/checks.h"
#include "model/material_cull.h"
#include "model/store_fill.h"
#include "support/harness.h"

namespace molv {
namespace {

// Through StoreFill, which tells the user what the store refused.
class StoreTest : public ::testing::Test, public test::TestContext {
protected:
    StoreFill fill{m, ctx, {}};
    // Three vertices, one face (0, 1, 2) in one face group, straight into
    // the store.
    std::int32_t triangle() {
        m.dssAddMesh("tri", 3);
        std::int32_t g = m.AddFaceGroup(false, -1, 0);
        m.AddFace(0, 0, 2, 1, 0);
        m.AddFaceToGroup(0, g, false, 0, -1);
        return g;
    }
};

// The box names the first corner that is missing, or the last one below 0;
// only the read's first such face raises it.
TEST(StoreFillTest, MissingCornerTheBoxNames) {
    for (const auto& [a, b, c, head] : {std::tuple{0, 1, 7, "Vertex 7 > ttlnum_Vertices 3"},
                                        {9, 1, 2, "Vertex 9 > ttlnum_Vertices 3"}, {-2, 1, 99, "Vertex -2 < 0"},
                                        {-1, -4, 2, "Vertex -1 < 0"}, {0, 1, 3, "Vertex 3 > ttlnum_Vertices 3"}}) {
        test::TestContext tc;
        StoreFill fill{tc.m, tc.ctx, {}};
        fill.dssAddMesh("a", 3);
        fill.AddFace(0, 0, 0, 1, 2);
        fill.AddFace(0, 0, a, b, c);
        fill.AddFace(0, 0, -5, 50, 2);
        ASSERT_EQ(tc.ui.boxes.size(), 1u) << head;
        EXPECT_EQ(tc.ui.boxes[0].text.rfind(std::string(head) + " @ line 0\r\nMesh=0, ttlnum_Faces=1,", 0), 0u)
            << tc.ui.boxes[0].text;
        EXPECT_EQ(tc.m.badFaceReports, 2);
    }
}

// Colours from glTF and Collada factors: rounded, clamped, and a NaN is black
// rather than whatever the cast of it would give.
TEST(StoreColour, FactorsBecomeClampedBytes) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct { double v; int byte; } rows[] = {
        {0.0, 0}, {1.0, 255}, {0.5, 128}, {0.2, 51}, {-0.1, 0}, {1.5, 255},
        {std::nan(""), 0}, {inf, 255}, {-inf, 0},
    };
    for (const auto& r : rows) EXPECT_EQ(colourByte(r.v), r.byte) << r.v;
}

// However many faces are bad, one box per read and one line at its end;
// the faces are kept all the same.
TEST_F(StoreTest, BadFacesAreCountedAndReportedOncePerRead) {
    fill.dssAddMesh("a", 3);
    for (int i = 0; i < 100000; ++i) fill.AddFace(0, 0, 1000000, 7, 8);
    EXPECT_EQ(ui.boxes.size(), 1u);
    fill.AddFace(0, 0, 0, 1, 2);
    EXPECT_EQ(m.badFaceReports, 100000);
    EXPECT_EQ(m.ttlnum_Faces, 100001);
    ReportBadFaceSummary(ctx, ctx.model);
    EXPECT_TRUE(ui.sawLog("100000 faces name vertices that do not exist"));
}

// Where the read is: the current mesh and its first vertex, what was added
// to it, and each face's place in its group. A second fill over the same
// store (a configuration's mesh after its materials) goes on at the last
// mesh and group.
TEST_F(StoreTest, FillKeepsWhereTheReadIs) {
    fill.dssAddMesh("a", 2);
    std::int32_t v = -1;
    fill.AddVertex(v, 0, 0, 0, 0, 0, 0, 0, false);
    fill.AddFaceGroup(false, -1, 0);
    EXPECT_EQ(fill.AddFace(0, 0, 0, 1, 2), 0);
    EXPECT_EQ(fill.AddFace(0, 0, 2, 1, 0), 1);
    EXPECT_EQ(fill.AddFaceGroup(false, -1, 0), 1);
    EXPECT_EQ(fill.AddFace(0, 0, 1, 2, 0), 0);
    const FillCursor& at = fill.cursor();
    EXPECT_EQ(at.meshVtxCount, 1);  // a block add is not counted
    EXPECT_EQ(at.meshFaceCount, 3);
    EXPECT_EQ(at.meshFgCount, 2);

    EXPECT_EQ(fill.dssAddMesh("b", 0), 1);
    EXPECT_EQ(at.MeshNdx, 1);
    EXPECT_EQ(at.currVtxBase, 3);
    EXPECT_EQ(at.meshVtxCount + at.meshFaceCount + at.meshFgCount, 0);
    for (int i = 0; i < 3; ++i) {
        std::int32_t n = -1;
        fill.AddVertex(n, 1, 1, 1, 1, 1, 1, i, false);
    }
    EXPECT_EQ(fill.AddFaceGroup(true, -1, 0), 2);
    EXPECT_EQ(fill.AddFace(at.MeshNdx, at.currVtxBase, 0, 1, 2), 0);
    fill.SetVertexNormal(at.currVtxBase + 1, Vec3{0, 1, 0});
    fill.SetVertexUV(at.currVtxBase, 1, 0, UV{});
    EXPECT_EQ(fill.SetVertexUV(at.currVtxBase, 1, 1, UV{}), 6);  // split: a vertex more
    ASSERT_GT(m.vertexNormals.size(), 6u);
    EXPECT_EQ(m.vertexNormals[6], (Vec3{0, 1, 0}));  // and the source's normal with it
    fill.SetMeshRanges();
    const Mesh& b = m.Meshes[1];
    EXPECT_EQ(b.vtx_ndx_stt, 3);
    EXPECT_EQ(b.num_Vertices, 4);
    EXPECT_EQ(b.num_Faces, 1);
    EXPECT_EQ(b.face_ndx_stt, 3);
    EXPECT_EQ(b.num_FaceGrps, 1);
    EXPECT_EQ(b.face_grp_ndx_stt, 2);
    EXPECT_EQ(m.Meshes[0].num_FaceGrps, 2);  // groups go to the mesh added last

    StoreFill next{m, ctx, {}};
    EXPECT_EQ(next.cursor().MeshNdx, 1);
    EXPECT_EQ(next.cursor().currFgnum, 2);
}

TEST_F(StoreTest, GroupMemberBeyondTheFacesIsReportedOnce) {
    fill.dssAddMesh("a", 3);
    std::int32_t g = fill.AddFaceGroup(false, -1, 0);
    fill.AddFace(0, 0, 0, 1, 2);
    fill.AddFaceToGroup(0, g, false, 5, -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Face# 5 in facegroup 0 exceeds ttlnum_Faces  1\r\nVFace# 5 (FG-Face# 0", 0), 0u)
        << ui.boxes[0].text;
    for (int i = 0; i < 5000; ++i) fill.AddFaceToGroup(0, g, false, 9, -1);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(m.badGroupFaceReports, 5001);
    EXPECT_EQ(m.FaceGrps[g].nFcs, 5001);  // kept, as the file said
    // A group that does not exist is ignored.
    fill.AddFaceToGroup(0, 99, false, 0, -1);
    fill.AddFaceToGroup(0, -1, false, 0, -1);
    EXPECT_EQ(m.nFaceGrps, 1);
}

TEST_F(StoreTest, VertexCountThatWouldOverflowAddsNothing) {
    fill.dssAddMesh("a", 3);
    EXPECT_EQ(fill.AddMeshVertices(0, 2147483647), 3);
    EXPECT_EQ(m.ttlnum_Vertices, 3);
    EXPECT_EQ(m.Meshes[0].num_Vertices, 3);
    EXPECT_TRUE(ui.sawBox("Too many vertices"));
    EXPECT_EQ(fill.AddMeshVertices(0, -5), 3);
    EXPECT_EQ(m.ttlnum_Vertices, 3);
}

TEST_F(StoreTest, MeshCountIsBoundedBySixteenBits) {
    for (int i = 0; i < 32767; ++i) ASSERT_EQ(fill.dssAddMesh("m", 0), i);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(fill.dssAddMesh("one too many", 0), -1);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(m.meshRange.last, 32766);
    fill.AddFace(-1, 0, 0, 0, 0);  // what a reader would do with the -1
    EXPECT_EQ(m.ttlnum_Faces, 1);
}

// Only face groups that become submeshes keep a material: a group whose
// faces all name a missing vertex does not, nor does one with no faces.
TEST_F(StoreTest, CullingKeepsTheMaterialsOfWrittenGroupsRenumbered) {
    m.dssAddMesh("a", 3);
    for (const char* n : {"unused", "broken", "kept", "empty", "alsoKept"}) m.AddMaterial(n);
    auto group = [&](std::int32_t material, std::int32_t a, std::int32_t b, std::int32_t c) {
        const std::int32_t g = m.AddFaceGroup(false, material, 0);
        const std::int32_t f = m.ttlnum_Faces;
        m.AddFace(0, 0, a, b, c);
        m.AddFaceToGroup(0, g, false, f, f);
        return g;
    };
    const std::int32_t broken = group(1, 0, 1, 7);
    const std::int32_t kept = group(2, 0, 1, 2);
    const std::int32_t empty = m.AddFaceGroup(false, 3, 0);
    const std::int32_t alsoKept = group(4, 2, 1, 0);
    const std::int32_t unknown = group(-1, 0, 1, 2);
    m.FaceGrps[static_cast<std::size_t>(unknown)].MtlID = 9;
    m.SetMeshRanges(0, 3, m.ttlnum_Faces, m.nFaceGrps, 0, 0, 0);

    EXPECT_EQ(CullUnusedMaterials(ctx.model), (std::vector<std::string>{"unused", "broken", "empty"}));
    ASSERT_EQ(m.nMaterials, 2);
    EXPECT_EQ(m.Materials[0].name + m.Materials[1].name, "keptalsoKept");
    EXPECT_EQ(m.Materials[1].id, 1);
    EXPECT_EQ(m.Materials.size(), 3u);
    std::vector<std::int32_t> ids;
    for (std::int32_t g : {kept, alsoKept, broken, empty, unknown}) ids.push_back(m.FaceGrps[static_cast<std::size_t>(g)].MtlID);
    EXPECT_EQ(ids, (std::vector<std::int32_t>{0, 1, -1, -1, 9}));  // 9 names no material: left as it is
    // Everything in use: nothing changes.
    EXPECT_TRUE(CullUnusedMaterials(ctx.model).empty());
    EXPECT_EQ(m.nMaterials, 2);
}

// The check before writing: what it counts and what it refuses to follow.
TEST_F(StoreTest, VertexUsageLineCountsTheSpareAndClipsRunsBeyondTheArrays) {
    triangle();
    const CheckResult r = CheckModel(ctx, ctx.model);
    EXPECT_EQ(r.unused, 1);
    EXPECT_EQ(r.withUVs, 0);
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0], "ttlnum_Vertices=3, 0 with UVs, 1 unused");
    // Group runs and member counts beyond the arrays are clipped, not followed.
    m.FaceGrps[0].nFcs = 50;
    m.Meshes[0].face_grp_ndx_end = 40;
    m.meshRange.last = 9;
    CheckModel(ctx, ctx.model);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.log.back(), "ttlnum_Vertices=3, 0 with UVs, 1 unused");
}

TEST_F(StoreTest, MemberBeyondTheFacesIsReportedOnce) {
    std::int32_t g = triangle();
    m.FaceGrps[g].FgFaces[0] = 5;
    const CheckResult r = CheckModel(ctx, ctx.model);
    EXPECT_EQ(r.badFaces, 1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "Face# 5 in facegroup exceeds ttlnum_Faces  1\r\nVFace# 5 (FG-Face# 0, face_ndx_stt 0, Facegrp# 0 "
              "(GlblFgID 0), Mesh# 0\r\nFaces in FG = 1, Matl-ID=0, Matl-symbol=");
    // The face is not followed: every vertex counts as unused.
    EXPECT_EQ(ui.log.back(), "ttlnum_Vertices=3, 0 with UVs, 4 unused");
    for (std::int32_t f : {1, -3}) {  // the spare face (== ttlnum_Faces), a negative one
        m.FaceGrps[g].FgFaces[0] = f;
        EXPECT_EQ(CheckModel(ctx, ctx.model).badFaces, 1) << f;
    }
}

}  // namespace
}  // namespace molv
