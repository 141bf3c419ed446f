// Files written by the real Cal3D library (CalSaver: tests/data/cal3d) are
// read here, written back as a prop set, and loaded by Cal3D again with every
// value unchanged.
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

// calsaver.*: a three-bone skeleton, a mesh of two submeshes (two texture
// coordinate sets in the first, a vertex with six influences) and a material
// with two maps; calsaver_springs.*: the mesh with two springs in the second
// submesh, and the whole set as XML.
std::string lib(const std::string& name) { return dataPath("cal3d/" + name); }

// "" when Cal3D reads the same values, springs aside, from the source mesh
// and from the mesh written beside outBase.
std::string sameMesh(const std::string& mesh, const std::string& skeleton, const std::string& outBase) {
    Cal3dMeshData want, got;
    std::string err;
    if (!loadCal3dMesh(mesh, skeleton, want, err) || !loadCal3dMesh(outBase + ".cmf", outBase + ".csf", got, err))
        return err;
    return meshDifference(want, got, false);
}

// A run in developer mode that keeps the normals read, and a fresh folder.
struct Cal3dReaderInterop : ::testing::Test, TestContext {
    std::string dir = tempDir("c3dread");
    Cal3dReaderInterop() : TestContext(true) { ctx.settings.reCalcNormals = false; }
};
using Cal3dXmlInterop = Cal3dReaderInterop;

TEST_F(Cal3dReaderInterop, LibraryFilesReadAndLoadBackTheSame) {
    ASSERT_TRUE(readCsf(ctx, lib("calsaver.csf")).ok());
    // Each submesh's thread names a material.
    ASSERT_TRUE(readCrfFile(ctx, lib("calsaver.crf"), 0).ok());
    ASSERT_TRUE(readCrfFile(ctx, lib("calsaver.crf"), 1).ok());
    ASSERT_TRUE(readCmf(ctx, lib("calsaver_springs.cmf")).ok());

    ASSERT_TRUE(writeSet(ctx, dir + "out.cmf"));
    auto info = loadCal3dSet(dir + "out");
    ASSERT_TRUE(info.ok()) << info.error;
    ASSERT_EQ(info.materials.size(), 2u);
    EXPECT_EQ(info.materials[1].maps, (std::vector<std::string>{"wood.png", "bump.png"}));
    EXPECT_EQ(info.materials[0].diffuse[1], 128);
    EXPECT_EQ(info.materials[0].shininess, 25.5f);
    EXPECT_EQ(sameMesh(lib("calsaver_springs.cmf"), lib("calsaver.csf"), dir + "out"), "");
    // Cal3D saves the library's skeleton and ours alike.
    std::string err;
    ASSERT_TRUE(resaveWithCal3d(lib("calsaver.csf"), dir + "a.csf", err)) << err;
    ASSERT_TRUE(resaveWithCal3d(dir + "out.csf", dir + "b.csf", err)) << err;
    EXPECT_EQ(firstDifference(readFile(dir + "a.csf"), readFile(dir + "b.csf")), "");
}

// The dispatch: a Cal3D mesh, skeleton and material each convert in
// developer mode without the geometry questions for the last two.
TEST_F(Cal3dReaderInterop, DispatchConvertsEachBinaryFile) {
    for (const char* e : {".csf", ".cmf", ".crf"}) writeFile(dir + "lib" + e, readFile(lib("calsaver") + e));
    EXPECT_TRUE(convert(ctx, dir + "lib.csf"));
    EXPECT_NE(readFile(dir + "lib.ans").find("        bone { \"Spine\"\r\n"), std::string::npos);
    EXPECT_TRUE(convert(ctx, dir + "lib.crf"));
    EXPECT_TRUE(fileExists(dir + "lib_1.crf"));
    EXPECT_TRUE(convert(ctx, dir + "lib.cmf"));
    EXPECT_TRUE(fileExists(dir + "lib_1.cmf"));
    auto info = loadCal3dSet(dir + "lib_1");
    EXPECT_TRUE(info.meshLoaded) << info.error;
    ASSERT_EQ(info.submeshes.size(), 2u);
    EXPECT_EQ(info.submeshes[1].vertexCount, 5);
}

TEST_F(Cal3dXmlInterop, LibraryXmlThroughAConfigurationLoadsBackTheSame) {
    for (const char* e : {".xsf", ".xmf", ".xrf"}) writeFile(dir + "lib" + e, readFile(lib("calsaver_springs") + e));
    writeFile(dir + "lib.cfg", "# x\r\nscale=1.0\r\nskeleton=lib.xsf\r\nmesh=lib.xmf\r\nmaterial=lib.xrf\r\nmaterial=lib.xrf\r\n");
    ctx.app.srcFile = dir + "lib.cfg";
    ASSERT_TRUE(test_detail::read(ctx, [&](ReadEnv& e) { return readCfg(e, dir + "lib.cfg"); }).ok());
    EXPECT_TRUE(ui.sawBox("Spring not handled"));
    EXPECT_EQ(ctx.skel.num_Bones, 3);

    ASSERT_TRUE(writeSet(ctx, dir + "out.cmf"));
    auto info = loadCal3dSet(dir + "out");
    ASSERT_TRUE(info.ok()) << info.error;
    ASSERT_EQ(info.materials.size(), 2u);
    EXPECT_NE(info.cfgMaterials[0], info.cfgMaterials[1]);  // two materials never share a file name
    EXPECT_EQ(info.materials[0].maps, (std::vector<std::string>{"wood.png", "bump.png"}));
    EXPECT_EQ(sameMesh(dir + "lib.xmf", dir + "lib.xsf", dir + "out"), "");
}

// Debian's converter turns the library's binary files into XML; read here,
// they give what Cal3D reads from them, and the same skeleton and material
// as their binary twins.
TEST_F(Cal3dXmlInterop, ConverterXmlReadsLikeItsBinaryTwin) {
    if (std::system("command -v cal3d_converter >/dev/null 2>&1") != 0) GTEST_SKIP() << "cal3d_converter not installed";
    for (const char* e : {"sf", "mf", "rf"}) {
        const std::string cmd =
            "cd '" + dir + "' && cal3d_converter '" + lib("calsaver.c") + e + "' twin.x" + e + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << e;
    }
    TestContext bin(true);
    const ReadResult rx = test_detail::read(ctx, [&](ReadEnv& e) { return readXmf(e, dir + "twin.xmf"); });
    ASSERT_TRUE(rx.ok()) << rx.message;
    ASSERT_TRUE(readCsf(bin.ctx, lib("calsaver.csf")).ok());
    ASSERT_TRUE(test_detail::read(ctx, [&](ReadEnv& e) { return readXsf(e, dir + "twin.xsf"); }).ok());
    EXPECT_EQ(firstDifference(skeletonCsfBytes(bin.ctx.skel), skeletonCsfBytes(ctx.skel)), "");
    ASSERT_TRUE(readCrfFile(bin.ctx, lib("calsaver.crf"), 0).ok());
    ASSERT_TRUE(test_detail::read(ctx, [&](ReadEnv& e) { return readXrf(e, dir + "twin.xrf", 0); }).ok());
    EXPECT_EQ(materialCrfBytes(bin.m.Materials[0]), materialCrfBytes(m.Materials[0]));
    ASSERT_TRUE(writeSet(ctx, dir + "out.cmf"));
    EXPECT_EQ(sameMesh(dir + "twin.xmf", dir + "twin.xsf", dir + "out"), "");
}

// Meshes the library wrote with level-of-detail steps: every collapse id and
// count reaches the binary mesh unchanged.
TEST_F(Cal3dXmlInterop, LibraryCollapseDataReachesTheBinaryMesh) {
    for (const char* name : {"lod_grid", "lod_two_submeshes"}) {
        SCOPED_TRACE(name);
        const std::string out = dir + name, src = lib(std::string(name) + ".xmf");
        TestContext t(true);
        t.ctx.settings.reCalcNormals = false;
        const ReadResult r = test_detail::read(t.ctx, [&](ReadEnv& e) { return readXmf(e, src); });
        ASSERT_TRUE(r.ok()) << r.message;
        bool collapses = false;
        for (std::int32_t i = 0; i < t.m.ttlnum_Vertices; ++i) collapses |= t.m.collapseId(i) > 0;
        EXPECT_TRUE(collapses);
        ASSERT_TRUE(writeSet(t.ctx, out + ".cmf"));
        EXPECT_EQ(sameMesh(src, out + ".csf", out), "");
    }
}

}  // namespace
