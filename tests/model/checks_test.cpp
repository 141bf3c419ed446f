#include "support/context_calls.h"
#include "model/checks.h"

#include <gtest/gtest.h>

#include "model/vecmath.h"
#include "convert/context.h"
#include "core/scripted_ui.h"

namespace molv {
namespace {

class ChecksTest : public ::testing::Test {
protected:
    ScriptedUI ui;
    Context ctx{ui};
    ModelStore& m = ctx.model;

    // Three vertices, one face (0, 1, 2) in one face group.
    std::int32_t triangle() {
        m.dssAddMesh("tri", 3);
        std::int32_t g = m.AddFaceGroup(false, -1, 0);
        m.AddFace(0, 0, 2, 1, 0);
        m.AddFaceToGroup(0, g, false, 0, -1);
        return g;
    }
};

TEST_F(ChecksTest, VertexUsageLineCountsTheSpareAsUnused) {
    triangle();
    const CheckResult r = CheckModel(ctx);
    EXPECT_EQ(r.unused, 1);
    EXPECT_EQ(r.withUVs, 0);
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0], "ttlnum_Vertices=3, 0 with UVs, 1 unused");
    EXPECT_EQ(m.Vertices[0].mark, 1);
    EXPECT_EQ(m.Vertices[2].mark, 1);
    EXPECT_EQ(m.Vertices[3].mark, -999999);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ChecksTest, UnusedVerticesAndUVsAreCounted) {
    m.dssAddMesh("m", 5);
    for (int i = 0; i < 5; ++i) {
        std::int32_t k = i;
        m.AddVertex(k, 0, 0, 0, 0, 0, 0, 0, false);
    }
    m.SetVertexUV(0, 1, 1, UV{});
    m.SetVertexUV(0, 4, 2, UV{});
    std::int32_t g = m.AddFaceGroup(true, -1, 0);
    m.AddFace(0, 0, 0, 1, 2);
    m.AddFaceToGroup(0, g, true, 0, -1);
    const CheckResult r = CheckModel(ctx);
    EXPECT_EQ(r.withUVs, 2);
    EXPECT_EQ(r.unused, 3);  // vertices 3, 4 and the spare
    EXPECT_EQ(ui.log.back(), "ttlnum_Vertices=5, 2 with UVs, 3 unused");
}

TEST_F(ChecksTest, MemberBeyondTheFacesIsReportedOnce) {
    std::int32_t g = triangle();
    m.FaceGrps[g].FgFaces[0] = 5;
    const CheckResult r = CheckModel(ctx);
    EXPECT_EQ(r.badFaces, 1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "Face# 5 in facegroup exceeds ttlnum_Faces  1\r\nVFace# 5 (FG-Face# 0, face_ndx_stt 0, Facegrp# 0 "
              "(GlblFgID 0), Mesh# 0\r\nFaces in FG = 1, Matl-ID=0, Matl-symbol=");
    // The face is not followed: nothing is marked.
    EXPECT_EQ(m.Vertices[0].mark, -999999);
    EXPECT_EQ(ui.log.back(), "ttlnum_Vertices=3, 0 with UVs, 4 unused");
}

TEST_F(ChecksTest, MemberNamingTheSpareFaceIsReported) {
    std::int32_t g = triangle();
    m.FaceGrps[g].FgFaces[0] = 1;  // == ttlnum_Faces
    EXPECT_EQ(CheckModel(ctx).badFaces, 1);
    m.FaceGrps[g].FgFaces[0] = -3;
    EXPECT_EQ(CheckModel(ctx).badFaces, 1);
}

TEST_F(ChecksTest, CornersOutsideTheVerticesAreReportedNotMarked) {
    std::int32_t g = triangle();
    m.VFaces[0].vtx[0] = 3;  // the spare element
    m.VFaces[0].vtx[2] = -1;
    m.FaceGrps[g].MatlSymbol = "wood-sym";
    const CheckResult r = CheckModel(ctx);
    EXPECT_EQ(r.badCorners, 2);
    // The first in the checking order (vtx 0, then 2, then 1) with its context,
    // then one summary.
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Vertex# 3 in VFaces exceeds ttlnum_Vertices  3\r\nVFace# 0 (FG-Face# 0", 0), 0u);
    EXPECT_NE(ui.boxes[0].text.find("Matl-symbol=wood-sym"), std::string::npos);
    EXPECT_NE(ui.boxes[1].text.find("2 face corners name vertices that do not exist"), std::string::npos);
    EXPECT_EQ(m.Vertices[3].mark, -999999);
    EXPECT_EQ(m.Vertices[1].mark, 1);
    EXPECT_EQ(r.unused, 3);
}

TEST_F(ChecksTest, AMillionBadCornersGiveTwoBoxes) {
    m.dssAddMesh("bad", 2);
    std::int32_t g = m.AddFaceGroup(false, -1, 0);
    const int n = 350000;
    for (int i = 0; i < n; ++i) {
        m.AddFace(0, 0, 7 + i, -5 - i, 1 << 30);
        m.AddFaceToGroup(0, g, false, i, -1);
    }
    EXPECT_EQ(ui.boxes.size(), 1u);  // from AddFace, once
    const CheckResult r = CheckModel(ctx);
    EXPECT_EQ(r.badCorners, 3LL * n);
    EXPECT_EQ(ui.boxes.size(), 3u);
    EXPECT_NE(ui.boxes.back().text.find("1050000 face corners"), std::string::npos);
    EXPECT_EQ(r.unused, 3);
}

TEST_F(ChecksTest, GroupRunsAndMemberCountsBeyondTheArraysAreClipped) {
    std::int32_t g = triangle();
    m.FaceGrps[g].nFcs = 50;  // more than the list holds
    m.Meshes[0].face_grp_ndx_end = 40;
    m.meshRange.last = 9;
    CheckModel(ctx);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.log.back(), "ttlnum_Vertices=3, 0 with UVs, 1 unused");
}

TEST_F(ChecksTest, ReportFaceErrorWithoutAGroup) {
    ReportFaceError(ctx, "msg", 3, 4, 5, 6);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "msg\r\nVFace# 4 (FG-Face# 5, face_ndx_stt ?, Facegrp# 6 (GlblFgID ?), Mesh# 3\r\nFaces in FG = ?, "
              "Matl-ID=?, Matl-symbol=");
}

TEST_F(ChecksTest, DumpModelOutsideDeveloperModeDoesNothing) {
    triangle();
    m.Vertices[0].mark = 77;
    DumpModel(ctx);
    EXPECT_TRUE(ui.log.empty());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(m.Vertices[0].mark, 77);  // the check did not run
}

TEST_F(ChecksTest, DumpModelInDeveloperMode) {
    ctx.app.devMode = true;
    m.dssAddMesh("tri", 0);
    std::int32_t i = -1;
    m.AddVertex(i, -1, 0, 0, 0, 0, 0, 0, false);
    i = -1;
    m.AddVertex(i, 1, 2.5f, 0, 0, 0, 0, 0, false);
    i = -1;
    m.AddVertex(i, 0, 1, 3, 0, 0, 0, 0, false);
    m.AddMaterial("wood");
    m.AddMaterial("spare");
    Material& w = m.Materials[0];
    w.ambient = Colour{0x01, 0xAB, 0xFF, 0x00};
    w.diffuse = Colour{255, 128, 0, 255};
    w.specular = Colour{16, 32, 48, 64};
    w.shininess = 0.3f;
    w.nMaps = 2;
    w.maps = {"a.png", "b.jpg"};
    std::int32_t g = m.AddFaceGroup(false, 0, 0);
    m.AddFace(0, 0, 0, 1, 2);
    m.AddFaceToGroup(0, g, false, 0, -1);
    DumpModel(ctx);
    const std::vector<std::string> want = {
        "-----------------------",
        "Meshes: 1. maxVert# = 2 nFaceGrps=1",
        "nMaterials=2  ttlnum_Vertices=3  ttlnum_Faces=1",
        "All Maxs/Mins",
        "avg RT(x)= 0.00   UP(y)= 1.25   BK(z)= 1.50\r",
        "min RT(x)= -1.00   UP(y)= 0.00   BK(z)= 0.00\r",
        "max RT(x)= 1.00   UP(y)= 2.50   BK(z)= 3.00\r",
        "Span RT(x)= 2.00   UP(y)= 2.50   BK(z)= 3.00",
        "ttlnum_Vertices=3, 0 with UVs, 1 unused",
        "Material [0] FGrpID 0 : OK :    Am :01:AB:FF:00   Df :FF:80:00:FF   Sp :10:20:30:40   Sh :0.30 : wood : a.png : "
        "b.jpg",
        "Material [1] FGrpID 1 : not referenced :    Am :00:00:00:00   Df :00:00:00:00   Sp :00:00:00:00   Sh :0.00 : "
        "spare",
        "Msh[0] Fgrp[0]  gFgID=0   MtlID=0  nFcs=1",
        " - ",
        "BASE HEIGHT=0.00    MAX SPAN=3",
    };
    EXPECT_EQ(ui.log, want);
}

TEST_F(ChecksTest, VectorTexts) {
    EXPECT_EQ(XYZText(1, 2.5f, -3), " x:y:z: 1.00  2.50  -3.00");
    EXPECT_EQ(XYZText(Vec3{0, 0, 0}), " x:y:z: 0.00  0.00  0.00");
    EXPECT_EQ(XYText(1, -0.5f), " x:1.00 y:-0.50");
    EXPECT_EQ(RPYText(float(kPi / 2), 0, float(-kPi)), " r:p:y:  90.00    0.00  -180.00");
    EXPECT_EQ(RPYText(Vec3{float(kPi / 4), float(kPi), 0.0001f}), " r:p:y:  45.00  180.00    0.01");
}

}  // namespace
}  // namespace molv
