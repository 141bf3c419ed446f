// Files written by the real Cal3D library (CalSaver) are read here, written
// back as a prop set, and loaded by Cal3D again with every value unchanged.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cal3d/cal3d_xml_readers.h"
#include "cal3d/cfg_reader.h"
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
    EXPECT_EQ(t.m.skinOf(1).num_Influences, 6);

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
    EXPECT_TRUE(convert(t.ctx, dir + "lib.csf"));
    EXPECT_NE(readFile(dir + "lib.ans").find("        bone { \"Spine\"\r\n"), std::string::npos);
    EXPECT_TRUE(convert(t.ctx, dir + "lib.crf"));
    EXPECT_TRUE(fileExists(dir + "lib_1.crf"));
    EXPECT_TRUE(convert(t.ctx, dir + "lib.cmf"));
    EXPECT_TRUE(fileExists(dir + "lib_1.cmf"));
    auto info = loadCal3dSet(dir + "lib_1");
    EXPECT_TRUE(info.meshLoaded) << info.error;
    ASSERT_EQ(info.submeshes.size(), 2u);
    EXPECT_EQ(info.submeshes[1].vertexCount, 5);
}

TEST(Cal3dXmlInterop, LibraryXmlThroughAConfigurationLoadsBackTheSame) {
    if (!cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const std::string dir = tempDir("c3dxml");
    std::string err;
    ASSERT_TRUE(saveCal3dSample(dir + "lib", true, true, err)) << err;
    writeFile(dir + "lib.cfg", "# x\r\nscale=1.0\r\nskeleton=lib.xsf\r\nmesh=lib.xmf\r\nmaterial=lib.xrf\r\nmaterial=lib.xrf\r\n");
    TestContext t(true);
    Context& ctx = t.ctx;
    ctx.settings.reCalcNormals = false;
    ctx.app.srcFile = dir + "lib.cfg";
    ASSERT_TRUE(test_detail::read(ctx, [&](ReadEnv& e) { return readCfg(e, dir + "lib.cfg"); }).ok());
    EXPECT_TRUE(t.ui.sawBox("Spring not handled"));
    EXPECT_EQ(ctx.skel.num_Bones, 3);
    ASSERT_EQ(t.m.nMaterials, 2);
    EXPECT_EQ(t.m.Materials[1].id, 1);  // two materials never share a file name
    EXPECT_EQ(t.m.Materials[1].maps[0], "wood.png");
    EXPECT_EQ(t.m.Meshes[0].num_FaceGrps, 2);  // every submesh is written
    EXPECT_EQ(t.m.skinOf(1).num_Influences, 6);

    ASSERT_TRUE(writeSet(ctx, dir + "out.cmf"));
    auto info = loadCal3dSet(dir + "out");
    ASSERT_TRUE(info.ok()) << info.error;
    ASSERT_EQ(info.materials.size(), 2u);
    EXPECT_NE(info.cfgMaterials[0], info.cfgMaterials[1]);
    EXPECT_EQ(info.materials[0].maps, (std::vector<std::string>{"wood.png", "bump.png"}));
    Cal3dMeshData want, got;
    ASSERT_TRUE(loadCal3dMesh(dir + "lib.xmf", dir + "lib.xsf", want, err)) << err;
    ASSERT_TRUE(loadCal3dMesh(dir + "out.cmf", dir + "out.csf", got, err)) << err;
    EXPECT_EQ(meshDifference(want, got, false), "");
}

// Debian's converter turns the library's binary files into XML; read here,
// they give what Cal3D reads from them, and the same skeleton and material
// as their binary twins.
TEST(Cal3dXmlInterop, ConverterXmlReadsLikeItsBinaryTwin) {
    if (!cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    if (std::system("command -v cal3d_converter >/dev/null 2>&1") != 0) GTEST_SKIP() << "cal3d_converter not installed";
    const std::string dir = tempDir("c3dconv");
    std::string err;
    ASSERT_TRUE(saveCal3dSample(dir + "lib", false, false, err)) << err;
    for (const char* e : {"sf", "mf", "rf"}) {
        const std::string cmd = "cd '" + dir + "' && cal3d_converter lib.c" + e + " twin.x" + e + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << e;
    }
    TestContext bin(true), xml(true);
    xml.ctx.settings.reCalcNormals = false;
    const ReadResult rx = test_detail::read(xml.ctx, [&](ReadEnv& e) { return readXmf(e, dir + "twin.xmf"); });
    ASSERT_TRUE(rx.ok()) << rx.message;
    ASSERT_TRUE(readCsf(bin.ctx, dir + "lib.csf").ok());
    ASSERT_TRUE(test_detail::read(xml.ctx, [&](ReadEnv& e) { return readXsf(e, dir + "twin.xsf"); }).ok());
    EXPECT_EQ(firstDifference(skeletonCsfBytes(bin.ctx.skel), skeletonCsfBytes(xml.ctx.skel)), "");
    ASSERT_TRUE(readCrfFile(bin.ctx, dir + "lib.crf", 0).ok());
    ASSERT_TRUE(test_detail::read(xml.ctx, [&](ReadEnv& e) { return readXrf(e, dir + "twin.xrf", 0); }).ok());
    EXPECT_EQ(materialCrfBytes(bin.m.Materials[0]), materialCrfBytes(xml.m.Materials[0]));
    ASSERT_TRUE(writeSet(xml.ctx, dir + "out.cmf"));
    Cal3dMeshData want, got;
    ASSERT_TRUE(loadCal3dMesh(dir + "twin.xmf", dir + "twin.xsf", want, err)) << err;
    ASSERT_TRUE(loadCal3dMesh(dir + "out.cmf", dir + "out.csf", got, err)) << err;
    EXPECT_EQ(meshDifference(want, got, false), "");
}

// Meshes the library wrote with level-of-detail steps (tests/data/cal3d):
// every collapse id and count reaches the binary mesh unchanged.
TEST(Cal3dXmlInterop, LibraryCollapseDataReachesTheBinaryMesh) {
    if (!cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    for (const char* name : {"lod_grid", "lod_two_submeshes"}) {
        SCOPED_TRACE(name);
        const std::string dir = tempDir(std::string("c3dlod_") + name);
        const std::string src = dataPath(std::string("cal3d/") + name + ".xmf");
        TestContext t(true);
        t.ctx.settings.reCalcNormals = false;
        const ReadResult r = test_detail::read(t.ctx, [&](ReadEnv& e) { return readXmf(e, src); });
        ASSERT_TRUE(r.ok()) << r.message;
        bool collapses = false;
        for (std::int32_t i = 0; i < t.m.ttlnum_Vertices; ++i) collapses |= t.m.collapseId(i) > 0;
        EXPECT_TRUE(collapses);
        ASSERT_TRUE(writeSet(t.ctx, dir + "out.cmf"));
        Cal3dMeshData want, got;
        std::string err;
        ASSERT_TRUE(loadCal3dMesh(src, dir + "out.csf", want, err)) << err;
        ASSERT_TRUE(loadCal3dMesh(dir + "out.cmf", dir + "out.csf", got, err)) << err;
        EXPECT_EQ(meshDifference(want, got, false), "");
    }
}

}  // namespace
