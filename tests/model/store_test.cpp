#include "model/store.h"

#include <gtest/gtest.h>

#include "model/checks.h"
#include "convert/context.h"
#include "core/scripted_ui.h"
#include "support/test_support.h"

namespace molv {
namespace {

class StoreTest : public ::testing::Test {
protected:
    ScriptedUI ui;
    Context ctx{ui};
    ModelStore& m = ctx.model;

    std::int32_t vertex(float x, float y, float z) {
        std::int32_t i = -1;
        m.AddVertex(i, x, y, z, x, z, y, 0, false);
        return i;
    }
};

TEST_F(StoreTest, ClearModelLeavesOneZeroedElementEverywhere) {
    m.dssAddMesh("a", 3);
    m.AddMaterial("mat");
    m.AddFaceGroup(true, 0, 0);
    m.AddFace(0, 0, 0, 1, 2);
    m.AddFaceToGroup(0, 0, true, 0, -1);
    m.num_Normals = 3;
    m.num_TexVerts = 4;
    m.nSubMeshes = 2;
    m.ClearModel();
    EXPECT_EQ(m.Meshes.size(), 1u);
    EXPECT_EQ(m.Materials.size(), 1u);
    EXPECT_EQ(m.FaceGrps.size(), 1u);
    EXPECT_EQ(m.Vertices.size(), 1u);
    EXPECT_EQ(m.Normals.size(), 1u);
    EXPECT_EQ(m.VFaces.size(), 1u);
    EXPECT_EQ(m.Materials[0].use_count, 0);
    EXPECT_EQ(m.Materials[0].name, "");
    EXPECT_EQ(m.FaceGrps[0].nFcs, 0);
    EXPECT_EQ(m.Vertices[0].pos, Vec3{});
    EXPECT_EQ(m.VFaces[0].vtx[0], 0);
    EXPECT_EQ(m.ttlnum_Vertices, 0);
    EXPECT_EQ(m.ttlnum_Faces, 0);
    EXPECT_EQ(m.nFaceGrps, 0);
    EXPECT_EQ(m.nMaterials, 0);
    EXPECT_EQ(m.maxVert, 0);
    EXPECT_EQ(m.num_Normals, 0);
    EXPECT_EQ(m.num_TexVerts, 0);
    EXPECT_EQ(m.nSubMeshes, 0);
    EXPECT_EQ(m.meshCount, 0);
    EXPECT_EQ(m.meshRange.first, 0);
    EXPECT_EQ(m.meshRange.count, 0);
    EXPECT_EQ(m.meshRange.last, -1);
    EXPECT_EQ(m.badFaceReports, 0);
    ctx.app.devMode = true;
    DumpModel(ctx);
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0], "Meshes.Length=0");
}

TEST_F(StoreTest, MeshRunsStartWhereTheirFirstItemLands) {
    EXPECT_EQ(m.dssAddMesh("a", 0), 0);
    EXPECT_EQ(m.Meshes[0].num_Vertices, 0);
    EXPECT_EQ(m.Meshes[0].vtx_ndx_end, m.Meshes[0].vtx_ndx_stt - 1);
    EXPECT_EQ(m.dssAddMesh("b", 3), 1);
    EXPECT_EQ(m.Meshes[1].vtx_ndx_stt, 0);
    EXPECT_EQ(m.Meshes[1].vtx_ndx_end, 2);
    EXPECT_EQ(m.currVtxBase, 0);
    // A later block add to the empty mesh starts it at the then current total.
    EXPECT_EQ(m.AddMeshVertices(0, 2), 3);
    EXPECT_EQ(m.Meshes[0].vtx_ndx_stt, 3);
    EXPECT_EQ(m.Meshes[0].vtx_ndx_end, 4);
    EXPECT_EQ(m.ttlnum_Vertices, 5);
    EXPECT_EQ(m.Vertices.size(), 6u);  // one spare
    EXPECT_EQ(m.Normals.size(), 6u);
    EXPECT_EQ(m.meshRange.count, 2);
    EXPECT_EQ(m.meshRange.last, 1);
    EXPECT_EQ(m.meshCount, 2);
    EXPECT_EQ(m.Meshes.size(), 3u);
    EXPECT_EQ(m.Meshes[1].name, "b");
    EXPECT_EQ(m.Meshes[1].parent, -1);
    EXPECT_EQ(m.Meshes[1].scale, (Vec3{1, 1, 1}));
    EXPECT_EQ(m.MeshNdx, 1);
}

TEST_F(StoreTest, SetMeshRangesKeepsStartsOfZeroAndSkipsNegativeCounts) {
    m.dssAddMesh("a", 4);
    m.SetMeshRanges(0, 2, -1, 3, 0, 7, 5);
    EXPECT_EQ(m.Meshes[0].vtx_ndx_stt, 0);
    EXPECT_EQ(m.Meshes[0].num_Vertices, 2);
    EXPECT_EQ(m.Meshes[0].vtx_ndx_end, 1);
    EXPECT_EQ(m.Meshes[0].num_Faces, 0);  // negative count: untouched
    EXPECT_EQ(m.Meshes[0].face_ndx_stt, 0);
    EXPECT_EQ(m.Meshes[0].face_grp_ndx_stt, 5);
    EXPECT_EQ(m.Meshes[0].face_grp_ndx_end, 7);
}

TEST_F(StoreTest, AddFaceStoresCornersReversedAndCountsPerGroup) {
    m.dssAddMesh("a", 20);
    m.AddFaceGroup(false, -1, 0);
    EXPECT_EQ(m.AddFace(0, 10, 1, 2, 3), 0);
    EXPECT_EQ(m.VFaces[0].vtx[0], 13);
    EXPECT_EQ(m.VFaces[0].vtx[1], 12);
    EXPECT_EQ(m.VFaces[0].vtx[2], 11);
    EXPECT_EQ(m.AddFace(0, 0, 4, 5, 6), 1);
    EXPECT_EQ(m.maxVert, 13);
    EXPECT_EQ(m.ttlnum_Faces, 2);
    EXPECT_EQ(m.Meshes[0].num_Faces, 2);
    EXPECT_EQ(m.Meshes[0].face_ndx_end, 1);
    // A new group restarts the position count.
    m.AddFaceGroup(false, -1, 0);
    EXPECT_EQ(m.AddFace(0, 0, 0, 1, 2), 0);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(StoreTest, SecondMeshFacesStartAtTheRunningTotal) {
    m.dssAddMesh("a", 3);
    m.AddFace(0, 0, 0, 1, 2);
    m.AddFace(0, 0, 0, 1, 2);
    m.dssAddMesh("b", 3);
    m.AddFace(1, m.currVtxBase, 0, 1, 2);
    EXPECT_EQ(m.Meshes[1].face_ndx_stt, 2);
    EXPECT_EQ(m.Meshes[1].face_ndx_end, 2);
    EXPECT_EQ(m.VFaces[2].vtx[0], 5);
    EXPECT_EQ(m.VFaces[2].vtx[2], 3);
}

TEST_F(StoreTest, CornerBeyondTheVerticesIsReportedOncePerRead) {
    m.dssAddMesh("a", 3);
    m.AddFace(0, 0, 0, 1, 2);
    EXPECT_TRUE(ui.boxes.empty());
    // Index 3 is the spare element, not a vertex.
    m.AddFace(0, 0, 1, 2, 3);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Vertex 3 > ttlnum_Vertices 3 @ line 0\r\nMesh=0, ttlnum_Faces=1, currFgnum=0\r\n", 0),
              0u)
        << ui.boxes[0].text;
    for (int i = 0; i < 100000; ++i) m.AddFace(0, 0, 1000000, 7, 8);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(m.badFaceReports, 100001);
    EXPECT_EQ(m.ttlnum_Faces, 100002);  // kept all the same
    // Good faces after bad ones are not counted.
    m.AddFace(0, 0, 0, 1, 2);
    EXPECT_EQ(m.badFaceReports, 100001);
    ReportBadFaceSummary(ctx);
    EXPECT_TRUE(ui.sawLog("100001 faces name vertices that do not exist"));
}

TEST_F(StoreTest, NegativeCornerIsReported) {
    m.dssAddMesh("a", 3);
    m.AddFace(0, 0, -1, 1, 2);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Vertex -1 < 0 @ line ", 0), 0u) << ui.boxes[0].text;
    // Sums of wild values do not overflow.
    m.AddFace(0, 2147483000, 2147483000, 0, 0);
    EXPECT_EQ(m.VFaces[1].vtx[2], 2147483647);
    EXPECT_EQ(m.badFaceReports, 2);
}

TEST_F(StoreTest, AxisSwitchesApplyToPosOnly) {
    m.dssAddMesh("a", 0);
    struct Case {
        bool yz, xz;
        Vec3 want;
    } cases[] = {{false, false, {1, 2, 3}}, {true, false, {1, -3, 2}}, {false, true, {-3, 2, 1}}, {true, true, {-2, -3, 1}}};
    for (const Case& c : cases) {
        ctx.settings.switch_obj_yz = c.yz;
        ctx.settings.switch_xz = c.xz;
        std::int32_t i = -1;
        m.AddVertex(i, 1, 2, 3, 4, 5, 6, 0, false);
        EXPECT_EQ(m.Vertices[static_cast<std::size_t>(i)].pos, c.want) << c.yz << c.xz;
        EXPECT_EQ(m.Vertices[static_cast<std::size_t>(i)].zup_pos, (Vec3{4, 5, 6}));
        EXPECT_EQ(m.Vertices[static_cast<std::size_t>(i)].mark, -1);
        EXPECT_EQ(m.Vertices[static_cast<std::size_t>(i)].uv_id, -1);
        EXPECT_EQ(m.Vertices[static_cast<std::size_t>(i)].UVs.size(), 1u);
    }
    EXPECT_EQ(m.ttlnum_Vertices, 4);
    EXPECT_EQ(m.Meshes[0].num_Vertices, 4);
    EXPECT_EQ(m.Meshes[0].vtx_ndx_end, 3);
}

TEST_F(StoreTest, AddVertexGrowsVerticesInSteps) {
    m.dssAddMesh("a", 0);
    vertex(0, 0, 0);
    EXPECT_EQ(m.Vertices.size(), 1001u);
    EXPECT_EQ(m.Normals.size(), 1001u);
    for (int i = 1; i < 1000; ++i) vertex(0, 0, 0);
    EXPECT_EQ(m.Vertices.size(), 1001u);
    vertex(0, 0, 0);  // index 1000 is the upper index: grow to 1000 beyond it
    EXPECT_EQ(m.Vertices.size(), 2001u);
    EXPECT_EQ(m.Normals.size(), 2001u);
    // Setting an existing vertex by index does not grow.
    std::int32_t i = 5;
    m.AddVertex(i, 9, 9, 9, 9, 9, 9, 0, false);
    EXPECT_EQ(i, 5);
    EXPECT_EQ(m.ttlnum_Vertices, 1001);
    EXPECT_EQ(m.Vertices[5].pos, (Vec3{9, 9, 9}));
}

TEST_F(StoreTest, SetVertexUVSplitsOnASecondTextureVertex) {
    m.dssAddMesh("a", 0);
    vertex(1, 2, 3);
    vertex(4, 5, 6);
    m.Normals[0] = Vec3{0, 1, 0};
    EXPECT_EQ(m.SetVertexUV(0, 0, 7, UV{0.25f, 0.5f}), 0);
    EXPECT_EQ(m.Vertices[0].uv_id, 7);
    EXPECT_EQ(m.Vertices[0].num_UVs, 1);
    EXPECT_EQ(m.Vertices[0].UVs[0].u, 0.25f);
    // The same texture vertex again: nothing changes.
    EXPECT_EQ(m.SetVertexUV(0, 0, 7, UV{0.9f, 0.9f}), 0);
    EXPECT_EQ(m.ttlnum_Vertices, 2);
    EXPECT_EQ(m.Vertices[0].UVs[0].u, 0.25f);
    EXPECT_EQ(m.Vertices[0].num_UVs, 1);
    // Another one: a copy at the end with the new pair.
    EXPECT_EQ(m.SetVertexUV(0, 0, 8, UV{0.75f, 1.0f}), 2);
    EXPECT_EQ(m.currVtxNdx, 2);
    EXPECT_EQ(m.ttlnum_Vertices, 3);
    EXPECT_EQ(m.Vertices[2].pos, (Vec3{1, 2, 3}));
    EXPECT_EQ(m.Vertices[2].zup_pos, (Vec3{1, 3, 2}));
    EXPECT_EQ(m.Vertices[2].uv_id, 8);
    EXPECT_EQ(m.Vertices[2].num_UVs, 1);
    EXPECT_EQ(m.Vertices[2].UVs[0].u, 0.75f);
    EXPECT_EQ(m.Vertices[2].UVs[0].v, 1.0f);
    EXPECT_EQ(m.Normals[2], Vec3{});
    // The original keeps its pair; the mesh run is the reader's to fix.
    EXPECT_EQ(m.Vertices[0].uv_id, 7);
    EXPECT_EQ(m.Vertices[0].UVs[0].u, 0.25f);
    EXPECT_EQ(m.Meshes[0].num_Vertices, 2);
    EXPECT_EQ(m.meshVtxCount, 3);
    // Base + number addresses the vertex; outside the vertices nothing is touched.
    EXPECT_EQ(m.SetVertexUV(1, 0, 3, UV{}), 1);
    EXPECT_EQ(m.SetVertexUV(0, 50, 3, UV{}), 50);
    EXPECT_EQ(m.SetVertexUV(0, -4, 3, UV{}), -4);
    EXPECT_EQ(m.ttlnum_Vertices, 3);
}

TEST_F(StoreTest, SetFaceGroupMaterialCountsEveryLink) {
    m.dssAddMesh("a", 0);
    m.AddMaterial("m0");
    m.AddMaterial("m1");
    EXPECT_EQ(m.Materials[1].id, 1);
    EXPECT_EQ(m.Materials.size(), 3u);
    std::int32_t g = m.AddFaceGroup(false, -1, 0);
    EXPECT_EQ(m.FaceGrps[g].MtlID, 0);
    EXPECT_TRUE(m.SetFaceGroupMaterial(g, 1));
    EXPECT_FALSE(m.SetFaceGroupMaterial(g, 1));
    EXPECT_EQ(m.Materials[1].use_count, 2);
    // Material 0 is the group's initial value: linking it counts but changes nothing.
    EXPECT_FALSE(m.SetFaceGroupMaterial(m.AddFaceGroup(false, -1, 0), 0));
    EXPECT_EQ(m.Materials[0].use_count, 1);
    // AddFaceGroup with a material links it.
    std::int32_t g2 = m.AddFaceGroup(true, 1, 9);
    EXPECT_EQ(m.Materials[1].use_count, 3);
    EXPECT_EQ(m.FaceGrps[g2].MtlID, 1);
    EXPECT_EQ(m.FaceGrps[g2].num_maps, 1);
    EXPECT_EQ(m.FaceGrps[g2].face_base, 9);
    EXPECT_EQ(m.FaceGrps[g2].gFgID, g2);
    EXPECT_EQ(m.FaceGrps[g2].FgFaces.size(), 2u);
    EXPECT_EQ(m.currFgnum, g2);
    EXPECT_EQ(m.Meshes[0].num_FaceGrps, 3);
    EXPECT_EQ(m.Meshes[0].face_grp_ndx_end, 2);
    // Links to materials that do not exist change nothing.
    EXPECT_FALSE(m.SetFaceGroupMaterial(g, 5));
    EXPECT_FALSE(m.SetFaceGroupMaterial(77, 1));
    EXPECT_EQ(m.Materials[1].use_count, 3);
}

TEST_F(StoreTest, VFacesGrowAtTheThousandthFace) {
    m.dssAddMesh("a", 3);
    m.AddFace(0, 0, 0, 1, 2);
    EXPECT_EQ(m.VFaces.size(), 1001u);
    for (int i = 1; i < 999; ++i) m.AddFace(0, 0, 0, 1, 2);
    EXPECT_EQ(m.VFaces.size(), 1001u);
    m.AddFace(0, 0, 0, 1, 2);  // the 1000th
    EXPECT_EQ(m.VFaces.size(), 2000u);
    m.AddFace(0, 0, 0, 1, 2);
    EXPECT_EQ(m.VFaces.size(), 2000u);
}

TEST_F(StoreTest, GroupMemberListsGrowAtTheFirstMemberThenInHundreds) {
    m.dssAddMesh("a", 3);
    std::int32_t g = m.AddFaceGroup(false, -1, 0);
    const FaceGroup& fg = m.FaceGrps[static_cast<std::size_t>(g)];
    for (int i = 0; i < 300; ++i) m.AddFace(0, 0, 0, 1, 2);
    m.AddFaceToGroup(0, g, false, 0, -1);
    EXPECT_EQ(fg.FgFaces.size(), 101u);
    EXPECT_EQ(fg.FgGlblFaces.size(), 101u);
    for (int i = 1; i < 99; ++i) m.AddFaceToGroup(0, g, false, i, -1);
    EXPECT_EQ(fg.FgFaces.size(), 101u);
    m.AddFaceToGroup(0, g, true, 99, -1);  // the 100th member
    EXPECT_EQ(fg.FgFaces.size(), 200u);
    EXPECT_EQ(fg.FgGlblFaces.size(), 200u);
    EXPECT_EQ(fg.nFcs, 100);
    EXPECT_EQ(fg.num_maps, 1);
    EXPECT_EQ(fg.FgFaces[99], 99);
    EXPECT_EQ(fg.FgGlblFaces[99], 99);
}

TEST_F(StoreTest, GroupMemberGlobalIndexFollowsTheMeshStart) {
    m.dssAddMesh("a", 3);
    m.AddFace(0, 0, 0, 1, 2);
    m.dssAddMesh("b", 3);
    std::int32_t g = m.AddFaceGroup(false, -1, 1);
    m.AddFace(1, 3, 0, 1, 2);
    m.AddFace(1, 3, 0, 1, 2);
    m.AddFaceToGroup(1, g, false, 1, -1);
    m.AddFaceToGroup(1, g, false, 0, 42 - 41);
    EXPECT_EQ(m.FaceGrps[g].FgFaces[0], 1);
    EXPECT_EQ(m.FaceGrps[g].FgGlblFaces[0], 2);
    EXPECT_EQ(m.FaceGrps[g].FgGlblFaces[1], 1);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(StoreTest, GroupMemberBeyondTheFacesIsReportedOnce) {
    m.dssAddMesh("a", 3);
    std::int32_t g = m.AddFaceGroup(false, -1, 0);
    m.AddFace(0, 0, 0, 1, 2);
    m.AddFaceToGroup(0, g, false, 5, -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Face# 5 in facegroup 0 exceeds ttlnum_Faces  1\r\nVFace# 5 (FG-Face# 0", 0), 0u)
        << ui.boxes[0].text;
    for (int i = 0; i < 5000; ++i) m.AddFaceToGroup(0, g, false, 9, -1);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(m.badGroupFaceReports, 5001);
    EXPECT_EQ(m.FaceGrps[g].nFcs, 5001);  // kept, as the file said
    // A group that does not exist is ignored.
    m.AddFaceToGroup(0, 99, false, 0, -1);
    m.AddFaceToGroup(0, -1, false, 0, -1);
    EXPECT_EQ(m.nFaceGrps, 1);
}

TEST_F(StoreTest, BadMeshIndicesNeverReachOutsideTheArrays) {
    m.dssAddMesh("a", 3);
    std::int32_t g = m.AddFaceGroup(false, -1, 0);
    m.AddFace(-1, 0, 0, 1, 2);
    m.AddFace(40000, 0, 0, 1, 2);
    EXPECT_EQ(m.ttlnum_Faces, 2);
    EXPECT_EQ(m.Meshes[0].num_Faces, 0);
    m.SetMeshRanges(-3, 1, 1, 1, 1, 1, 1);
    m.SetMeshRanges(7, 1, 1, 1, 1, 1, 1);
    EXPECT_EQ(m.AddMeshVertices(-2, 4), 3);
    EXPECT_EQ(m.ttlnum_Vertices, 7);
    m.AddFaceToGroup(-9, g, false, 0, -1);
    EXPECT_EQ(m.FaceGrps[g].FgGlblFaces[0], 0);
    // A current mesh set from outside to nothing valid.
    m.MeshNdx = 1234;
    m.AddFaceGroup(false, -1, 0);
    std::int32_t i = -1;
    m.AddVertex(i, 1, 2, 3, 1, 3, 2, 0, false);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(m.nFaceGrps, 2);
}

TEST_F(StoreTest, VertexCountThatWouldOverflowAddsNothing) {
    m.dssAddMesh("a", 3);
    EXPECT_EQ(m.AddMeshVertices(0, 2147483647), 3);
    EXPECT_EQ(m.ttlnum_Vertices, 3);
    EXPECT_EQ(m.Meshes[0].num_Vertices, 3);
    EXPECT_TRUE(ui.sawBox("Too many vertices"));
    EXPECT_EQ(m.AddMeshVertices(0, -5), 3);
    EXPECT_EQ(m.ttlnum_Vertices, 3);
}

TEST_F(StoreTest, MeshCountIsBoundedBySixteenBits) {
    for (int i = 0; i < 32767; ++i) ASSERT_EQ(m.dssAddMesh("m", 0), i);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(m.dssAddMesh("one too many", 0), -1);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(m.meshRange.last, 32766);
    m.AddFace(-1, 0, 0, 0, 0);  // what a reader would do with the -1
    EXPECT_EQ(m.ttlnum_Faces, 1);
}

TEST_F(StoreTest, GetFaceCountSaturatesAtSixteenBits) {
    m.dssAddMesh("a", 3);
    for (int i = 0; i < 40000; ++i) m.AddFace(0, 0, 0, 1, 2);
    EXPECT_EQ(m.GetFaceCount(), 32767);
}

TEST_F(StoreTest, MaterialLogLineAtLevelOne) {
    m.AddMaterial("wood");
    EXPECT_TRUE(ui.log.empty());
    ctx.dbgLevel = 1;
    m.AddMaterial("stone");
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0], "Material: [1]  ID: stone");
}

TEST_F(StoreTest, DetailLinesInTheLogFile) {
    const std::string dir = test::tempDir("store_detail");
    ctx.logFileName = dir + "0molvconv.log";
    ctx.dbgLevel = 2;
    m.readPos = 0x1A2B;
    m.dssAddMesh("a", 0);
    std::int32_t i = -1;
    m.AddVertex(i, 1.5f, -2, 3.126f, 0, 0, 0, 7, true);
    vertex(0, 0, 0);
    vertex(0, 0, 0);
    m.SetVertexUV(0, 0, 1, UV{});
    m.SetVertexUV(0, 0, 2, UV{});
    m.AddFace(0, 0, 0, 1, 2);
    const std::string log = test::readFile(ctx.logFileName);
    EXPECT_NE(log.find("---------------\r\ndssAddMesh: MeshNdx 0, face_ndx_stt=0, face_grp_ndx_stt 0, vtx_ndx_stt 0\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("V:    1A2B:[7] 1.50 -2.00 3.13\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("               +V:1A2B[3]v 1.50 -2.00 3.13\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("F:      001A2B:[     0]f               0        1        2 \r\n"), std::string::npos) << log;
}

TEST_F(StoreTest, DetailLinesStopAtTheLimit) {
    const std::string dir = test::tempDir("store_limit");
    ctx.logFileName = dir + "0molvconv.log";
    ctx.dbgLevel = 2;
    m.detailLimit = 2;
    m.dssAddMesh("a", 3);
    for (int i = 0; i < 5; ++i) m.AddFace(0, 0, 0, 1, 2);
    const std::string log = test::readFile(ctx.logFileName);
    std::size_t n = 0;
    for (std::size_t p = log.find("F:"); p != std::string::npos; p = log.find("F:", p + 1)) ++n;
    EXPECT_EQ(n, 2u);
    // Level 3 is not level 2: no face lines at all.
    ctx.dbgLevel = 3;
    m.detailLimit = 0;
    m.dssAddMesh("b", 3);
    m.AddFace(1, 3, 0, 1, 2);
    EXPECT_EQ(test::readFile(ctx.logFileName).find("F:", log.size()), std::string::npos);
}

// A grid of about half a million vertices and a million triangles, built
// the way a reader builds it, must stay well inside 100 MB.
std::size_t buildGrid(ModelStore& m, int n, bool reserve) {
    m.dssAddMesh("grid", 0);
    if (reserve) m.reserveFor(std::int64_t{n} * n, 2LL * (n - 1) * (n - 1));
    const std::int32_t mat = m.AddMaterial("m");
    const std::int32_t g = m.AddFaceGroup(true, mat, 0);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            std::int32_t i = -1;
            m.AddVertex(i, float(x), 0, float(y), float(x), float(y), 0, i, false);
            m.SetVertexUV(0, i, i, UV{float(x) / n, float(y) / n});
        }
    for (int y = 0; y + 1 < n; ++y)
        for (int x = 0; x + 1 < n; ++x) {
            const std::int32_t a = y * n + x, b = a + 1, c = a + n, d = c + 1;
            m.AddFace(0, 0, a, b, c);
            m.AddFaceToGroup(0, g, true, m.ttlnum_Faces - 1, -1);
            m.AddFace(0, 0, b, d, c);
            m.AddFaceToGroup(0, g, true, m.ttlnum_Faces - 1, -1);
        }
    EXPECT_EQ(m.ttlnum_Vertices, n * n);
    const std::int64_t faces = 2LL * (n - 1) * (n - 1);
    EXPECT_EQ(m.ttlnum_Faces, faces);
    EXPECT_EQ(m.FaceGrps[g].nFcs, faces);
    return m.memoryEstimate();
}

#if defined(__SANITIZE_ADDRESS__)
constexpr int kGrid = 240;  // same shape, smaller: the sanitizers are slow
#else
constexpr int kGrid = 708;  // 501264 vertices, 999698 triangles
#endif
constexpr std::size_t kGridFaces = 2u * (kGrid - 1) * (kGrid - 1);

TEST_F(StoreTest, MillionTriangleGridFitsInUnderHundredMegabytes) {
    const std::size_t bytes = buildGrid(m, kGrid, false);
    EXPECT_TRUE(ui.boxes.empty());
    // Under 100 bytes a triangle, i.e. under 100 MB for a million.
    EXPECT_LT(bytes, kGridFaces * 100) << bytes;
    std::printf("grid of %zu faces: %.1f MB\n", kGridFaces, double(bytes) / 1e6);
}

TEST_F(StoreTest, ReservedGridCarriesNoSpareRoom) {
    const std::size_t bytes = buildGrid(m, kGrid, true);
    EXPECT_EQ(m.Vertices.capacity(), std::size_t{kGrid} * kGrid + 1001);
    EXPECT_EQ(m.VFaces.capacity(), kGridFaces + 1001);
    EXPECT_LT(bytes, kGridFaces * 90) << bytes;
    std::printf("reserved grid of %zu faces: %.1f MB\n", kGridFaces, double(bytes) / 1e6);
}

}  // namespace
}  // namespace molv
