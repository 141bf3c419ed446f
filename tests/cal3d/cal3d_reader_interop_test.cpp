// Files written by the real Cal3D library (CalSaver) are read here, written
// back as a prop set, and loaded by Cal3D again with every value unchanged.
#include <gtest/gtest.h>

#include "support/cal3d_check.h"
#include "support/harness.h"
#include "support/test_support.h"
#include "util/fileio.h"

using namespace molv;
using namespace molv::test;

namespace {

TEST(Cal3dReaderInterop, LibraryFilesReadAndLoadBackTheSame) {
    if (!cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const std::string dir = tempDir("c3dread");
    std::string err;
    ASSERT_TRUE(saveCal3dSample(dir + "lib", false, true, err)) << err;

    TestContext t(true);
    Context& ctx = t.ctx;
    ctx.settings.reCalcNormals = false;
    ASSERT_TRUE(readCsf(ctx, dir + "lib.csf").ok());
    ASSERT_EQ(ctx.skel.num_Bones, 3);
    EXPECT_EQ(ctx.skel.Bones[1].name, "Spine");
    // Each submesh's thread names a material.
    ASSERT_TRUE(readCrfFile(ctx, dir + "lib.crf", 0).ok());
    ASSERT_TRUE(readCrfFile(ctx, dir + "lib.crf", 1).ok());
    EXPECT_EQ(t.m.Materials[0].maps[0], "wood.png");
    ASSERT_TRUE(readCmf(ctx, dir + "lib.cmf").ok());
    ASSERT_EQ(t.m.nFaceGrps, 2);
    EXPECT_EQ(t.m.FaceGrps[1].num_springs, 2);
    EXPECT_EQ(t.m.Vertices[1].num_Influences, 6);

    ASSERT_TRUE(writeSet(ctx, dir + "out.cmf"));
    auto info = loadCal3dSet(dir + "out");
    ASSERT_TRUE(info.ok()) << info.error;
    EXPECT_EQ(info.boneNames, (std::vector<std::string>{"Pelvis", "Spine", "Head"}));
    ASSERT_EQ(info.materials.size(), 2u);
    EXPECT_EQ(info.materials[1].maps, (std::vector<std::string>{"wood.png", "bump.png"}));
    EXPECT_EQ(info.materials[0].diffuse[1], 128);
    EXPECT_EQ(info.materials[0].shininess, 25.5f);

    Cal3dMeshData want, got;
    ASSERT_TRUE(loadCal3dMesh(dir + "lib.cmf", dir + "lib.csf", want, err)) << err;
    ASSERT_TRUE(loadCal3dMesh(dir + "out.cmf", dir + "out.csf", got, err)) << err;
    // Springs are not kept; everything else is.
    EXPECT_EQ(meshDifference(want, got, false), "");
    SkeletonStore a, b;
    ASSERT_TRUE(loadCal3dSkeleton(dir + "lib.csf", a, err)) << err;
    ASSERT_TRUE(loadCal3dSkeleton(dir + "out.csf", b, err)) << err;
    EXPECT_EQ(firstDifference(skeletonCsfBytes(a), skeletonCsfBytes(b)), "");
}

// The dispatch: a Cal3D mesh, skeleton and material each convert in
// developer mode without the geometry questions for the last two.
TEST(Cal3dReaderInterop, DispatchConvertsEachBinaryFile) {
    if (!cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const std::string dir = tempDir("c3ddisp");
    std::string err;
    ASSERT_TRUE(saveCal3dSample(dir + "lib", false, false, err)) << err;
    TestContext t(true);
    EXPECT_TRUE(convert(t.ctx, dir + "lib.crf"));
    EXPECT_TRUE(fileExists(dir + "lib_1.crf"));
    EXPECT_TRUE(convert(t.ctx, dir + "lib.cmf"));
    EXPECT_TRUE(fileExists(dir + "lib_1.cmf"));
    auto info = loadCal3dSet(dir + "lib_1");
    EXPECT_TRUE(info.meshLoaded) << info.error;
    ASSERT_EQ(info.submeshes.size(), 2u);
    EXPECT_EQ(info.submeshes[1].vertexCount, 5);
}

}  // namespace
