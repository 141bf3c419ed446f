// The mesh file byte for byte, and its vertex numbering per face group.
#include <gtest/gtest.h>

#include "cal3d/cmf_writer.h"
#include "cal3d_test_models.h"
#include "util/binio.h"
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
    const std::string want = hexBytes({
        0x43, 0x4D, 0x46, 0x00, 0x0A, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // "CMF", 778, 1 submesh
        0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // thread 0, 3 vertices, 2 faces
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // lod 0, springs 0, 1 map
        // vertex 0: (1, 2, 3) as x z y; normal (0, 1, 0) as 0 0 1
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x40, 0x40, 0x00, 0x00, 0x00, 0x40,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                          // collapse id, count
        0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x3E,                          // uv 0.5 0.25
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F,  // 1 influence: bone 0, 1.0
        // vertex 1: (4, 5, 6); normal (1, 0, 0)
        0x00, 0x00, 0x80, 0x40, 0x00, 0x00, 0xC0, 0x40, 0x00, 0x00, 0xA0, 0x40,
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F,
        // vertex 2: (0, 0, 0); normal (0, 0, 1) as 0 1 0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F,
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F,
        // faces
        0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
    });
    EXPECT_EQ(firstDifference(want, buildCmf(ctx)), "");

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
    m.AddFaceGroup(false, -1, 0);  // a group without faces is neither written nor counted
    const std::string want = hexBytes({0x43, 0x4D, 0x46, 0x00, 0x0A, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(firstDifference(want, buildCmf(ctx)), "");
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
    ByteReader r(bytes);
    EXPECT_EQ(res.submeshes, 2);
    EXPECT_EQ(res.skippedFaces, 3);
    r.skip(8);
    EXPECT_EQ(r.i32(), 2);
    r.skip(4);
    ASSERT_EQ(r.i32(), 3);
    EXPECT_EQ(r.i32(), 1);
    r.skip(12);
    std::vector<float> xs;
    for (int k = 0; k < 3; ++k) {
        xs.push_back(r.f32());
        r.skip(8 + 12 + 8 + 4 + 8);  // y z, normal, collapse, influence
    }
    EXPECT_EQ(xs, (std::vector<float>{10, 11, 12}));
    EXPECT_EQ(r.i32(), 1);
    EXPECT_EQ(r.i32(), 2);
    EXPECT_EQ(r.i32(), 0);
    // second submesh: vertices 3, 4, 12 -> 0, 1, 2; face stored (4, 3, 12)
    r.skip(4);
    ASSERT_EQ(r.i32(), 3);
    EXPECT_EQ(r.i32(), 1);
    r.skip(12 + 3 * 44);
    EXPECT_EQ(r.i32(), 2);
    EXPECT_EQ(r.i32(), 0);
    EXPECT_EQ(r.i32(), 1);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.atEnd());
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
    const std::string bytes = buildCmf(ctx);
    ByteReader r(bytes);
    r.skip(12 + 24);
    r.skip(32);
    EXPECT_EQ(r.i32(), 1);
    EXPECT_EQ(r.i32(), 5);
    EXPECT_EQ(r.f32(), 1.0f);
    r.skip(32);
    EXPECT_EQ(r.i32(), kMany);
    for (int k = 0; k < kMany; ++k) {
        EXPECT_EQ(r.i32(), 3 + k);
        EXPECT_EQ(r.f32(), 0.125f * static_cast<float>(k));
    }
    r.skip(32);
    EXPECT_EQ(r.i32(), 1);  // the next vertex starts where the record ended
    EXPECT_EQ(r.i32(), 5);
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
    EXPECT_EQ(want.substr(8, 4), hexBytes({0x02, 0x00, 0x00, 0x00}));
}

}  // namespace
