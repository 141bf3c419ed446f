// The mesh file byte for byte, and its vertex numbering per face group.
#include <gtest/gtest.h>

#include "cal3d/cmf_writer.h"
#include "cal3d_test_models.h"
#include "support/harness.h"

using namespace molv;
using namespace molv::test;

namespace {

struct CmfWriter : ModelFixture {
    // One mesh, one material, two faces over three vertices with UVs and
    // hand-set normals.
    void twoFaces() {
        m.dssAddMesh("box", 0);
        material("wood");
        std::int32_t a = vertex(1, 2, 3), b = vertex(4, 5, 6), c = vertex(0, 0, 0);
        uv(a, 0.5f, 0.25f);
        uv(b, 1, 0);
        uv(c, 0, 1);
        m.normalAt(0) = Vec3{0, 1, 0};
        m.normalAt(1) = Vec3{1, 0, 0};
        m.normalAt(2) = Vec3{0, 0, 1};
        m.num_Normals = 3;
        m.AddFaceGroup(true, 0, 0);
        face(0, 1, 2, true);  // stored (2, 1, 0), written third..first: 0 1 2
        face(0, 2, 1, true);  // stored (1, 2, 0): 0 2 1
    }
};

TEST_F(CmfWriter, GoldenBytesOfOneSubmesh) {
    twoFaces();
    const std::string want = buildCmf(ctx);
    EXPECT_TRUE(matchesGolden(want, "two_faces.cmf.hex"));

    // A spring count with no spring records would make a reader take vertex
    // bytes for springs: the count goes out as 0, the detail levels as they are.
    m.FaceGrps[0].num_springs = 4;
    m.FaceGrps[0].num_lod_steps = 2;
    CmfResult res;
    std::string lods = want;
    lods[24] = 2;
    EXPECT_EQ(firstDifference(lods, buildCmf(ctx, &res)), "");
    EXPECT_EQ(res.droppedSprings, 1);
}

TEST_F(CmfWriter, EmptyStoreIsTwelveBytes) {
    m.dssAddMesh("empty", 0);
    m.AddFaceGroup(false, -1, 0);
    EXPECT_TRUE(matchesGolden(buildCmf(ctx), "empty.cmf.hex"));
}

// Faces naming a vertex that does not exist are left out and counted: their
// vertices are not written, and a group left with no usable face is no submesh.
TEST_F(CmfWriter, VerticesAreNumberedInStoreOrderPerGroup) {
    m.dssAddMesh("m", 0);
    for (int i = 0; i < 13; ++i) vertex(static_cast<float>(i), 0, 0);
    m.AddFaceGroup(false, -1, 0);
    face(11, 12, 10);  // stored (10, 12, 11) -> written 1 2 0
    face(0, 1, 13);    // beyond ttlnum_Vertices
    m.AddFaceGroup(false, -1, 0);
    face(-4, 5, 6);  // negative
    face(12, 3, 4);  // vertex 12 again, in another group: its own local number
    m.AddFaceGroup(false, -1, 0);
    face(7, 8, 99);
    CmfResult res;
    const std::string bytes = buildCmf(ctx, &res);
    EXPECT_EQ(res.submeshes, 2);
    EXPECT_EQ(res.skippedFaces, 3);
    EXPECT_TRUE(matchesGolden(bytes, "numbered.cmf.hex"));
}

TEST_F(CmfWriter, InfluencesAndThePropBone) {
    m.dssAddMesh("m", 0);
    vertex(0, 0, 0);
    vertex(1, 0, 0);
    vertex(0, 1, 0);
    // More influences than one record buffer holds: the record spills.
    VertexSkin& v1 = m.skinAt(1);
    constexpr int kMany = 20;
    for (int k = 0; k < kMany; ++k) v1.Influences.push_back(Influence{3 + k, 0.125f * static_cast<float>(k)});
    v1.num_Influences = kMany;
    ctx.settings.dflt_boneID = 5;
    m.AddFaceGroup(false, -1, 0);
    face(0, 1, 2);
    EXPECT_TRUE(matchesGolden(buildCmf(ctx), "influences.cmf.hex"));
}

// The file is streamed in pieces, its submesh count set last: it must hold
// the very bytes built in memory, across several pieces and with a group
// that gives no submesh.
TEST_F(CmfWriter, StreamedFileEqualsTheBytesBuilt) {
    m.dssAddMesh("m", 0);
    material("a");
    grid(110, 0);
    m.AddFaceGroup(false, -1, 0);
    face(0, 1, 1000000);  // no usable face: not counted
    grid(60, 0, 1);
    const std::string want = buildCmf(ctx);
    ASSERT_GT(want.size(), std::size_t{1} << 20);  // more than one piece
    const std::string dir = tempDir("cmfstream");
    ASSERT_TRUE(writeCmf(ctx, dir + "mesh"));
    EXPECT_EQ(firstDifference(want, readFile(dir + "mesh.cmf")), "");
    EXPECT_EQ(want.substr(8, 4), std::string("\2\0\0\0", 4));
}

}  // namespace
