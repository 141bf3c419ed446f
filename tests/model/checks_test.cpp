#include "model/checks.h"

#include <gtest/gtest.h>

#include "support/harness.h"

namespace molv {
namespace {

class ChecksTest : public ::testing::Test, public test::TestContext {
protected:
    // Three vertices, one face (0, 1, 2) in one face group.
    std::int32_t triangle() {
        m.dssAddMesh("tri", 3);
        std::int32_t g = m.AddFaceGroup(false, -1, 0);
        m.AddFace(0, 0, 2, 1, 0);
        m.AddFaceToGroup(0, g, false, 0, -1);
        return g;
    }
};

TEST_F(ChecksTest, VertexUsageLineCountsTheSpareAndClipsRunsBeyondTheArrays) {
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

TEST_F(ChecksTest, MemberBeyondTheFacesIsReportedOnce) {
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
