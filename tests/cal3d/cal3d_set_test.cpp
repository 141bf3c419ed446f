// The prop set as files: skeleton, materials, viewer configuration and the
// mesh written by writeCal3d, with their names and failures.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "cal3d/cal3d_set.h"
#include "cal3d_test_models.h"
#include "support/cal3d_check.h"

using namespace molv;
using namespace molv::test;

namespace {

struct Cal3dSet : ModelFixture {
    std::string dir = tempDir("c3dset");

    std::string cfgText(const std::string& base) { return readFile(dir + base + ".cfg"); }
};

TEST_F(Cal3dSet, DefaultSkeletonIsTheFixed87Bytes) {
    EXPECT_TRUE(matchesGolden(defaultCsfBytes(), "default.csf.hex"));
    EXPECT_EQ(writeDefaultCsf(ctx, dir + "model"), "model.csf");
    EXPECT_EQ(readFile(dir + "model.csf"), defaultCsfBytes());
}

TEST_F(Cal3dSet, SkeletonStoreIsWrittenFieldByField) {
    twoBoneSkeleton();
    ASSERT_TRUE(writeSkeletonCsf(ctx, dir + "s.csf", false));
    EXPECT_TRUE(matchesGolden(readFile(dir + "s.csf"), "two_bones.csf.hex"));
}

TEST_F(Cal3dSet, ConfigurationNamesEveryFile) {
    m.dssAddMesh("chair", 0);
    material("Red Metal-2");
    material("a - b");
    material("skipped");
    m.Materials[2].id = -1;
    material("Red Metal-2");  // same name, own ID: own file
    grid(1, 0);
    grid(1, 3);
    ASSERT_TRUE(test::writeSet(ctx, dir + "chair.cmf"));
    EXPECT_TRUE(matchesGolden(cfgText("chair"), "chair.cfg"));
    EXPECT_TRUE(std::filesystem::exists(dir + "chair_a_b[1].crf"));
    EXPECT_FALSE(std::filesystem::exists(dir + "chair_skipped[-1].crf"));
}

TEST_F(Cal3dSet, MaterialFileGoldenBytes) {
    m.dssAddMesh("m", 0);
    std::int32_t i = material("wood", Colour{51, 51, 51, 255}, {"wood.bmp"});
    Material& mt = m.Materials[static_cast<std::size_t>(i)];
    mt.diffuse = Colour{204, 204, 204, 255};
    mt.specular = Colour{0, 0, 0, 255};
    mt.shininess = 25;
    material("plain");
    ASSERT_TRUE(writeMaterialCrf(ctx, 0, dir + "w.crf"));
    EXPECT_TRUE(matchesGolden(readFile(dir + "w.crf"), "wood.crf.hex"));
    ASSERT_TRUE(writeMaterialCrf(ctx, 1, dir + "p.crf"));
    EXPECT_TRUE(matchesGolden(readFile(dir + "p.crf"), "plain.crf.hex"));  // nMaps 0, nothing after it
    // A material the store does not have is reported, not written.
    EXPECT_FALSE(writeMaterialCrf(ctx, 2, dir + "none.crf"));
    EXPECT_FALSE(std::filesystem::exists(dir + "none.crf"));
    EXPECT_TRUE(ui.sawBox("none.crf"));
}

TEST_F(Cal3dSet, TextureFilesAreLookedUpInTheSourceFolderOnly) {
    m.dssAddMesh("m", 0);
    const std::string elsewhere = test::tempDir("cal3d-elsewhere");
    writeFile(elsewhere + "far.bmp", "x");
    std::filesystem::create_directories(dir + "model");
    writeFile(dir + "up.bmp", "x");
    writeFile(dir + "model/wood.bmp", "x");
    writeFile(dir + "model/here.bmp", "x");
    material("wood", {}, {"wood.bmp", "gone.bmp", elsewhere + "far.bmp", "../up.bmp", "C:\\maps\\here.bmp"});
    ctx.app.srcFolder = dir + "model/";
    ASSERT_TRUE(writeMaterialCrf(ctx, 0, dir + "w.crf"));
    EXPECT_TRUE(ui.sawLog("   ( texture file: wood.bmp )"));
    EXPECT_TRUE(ui.sawLog("   ( texture file: gone.bmp  -  Not Found in " + dir + "model/ )"));
    // Files that exist, but outside the model's folder, are not found.
    EXPECT_TRUE(ui.sawLog("   ( texture file: " + elsewhere + "far.bmp  -  Not Found in " + dir + "model/ )"));
    EXPECT_TRUE(ui.sawLog("   ( texture file: ../up.bmp  -  Not Found in " + dir + "model/ )"));
    // A foreign folder is read as the model's own.
    EXPECT_TRUE(ui.sawLog("   ( texture file: C:\\maps\\here.bmp )"));
    // The material names each map by its file name only: no folder of the
    // source's machine, and no "../" out of the set's folder.
    EXPECT_TRUE(matchesGolden(readFile(dir + "w.crf"), "map_names.crf.hex"));
}

// The mesh is written last: the skeleton, material and configuration
// written before it must not stay behind as part of a set (found by
// fuzz_convert, with a material name too long for a file name).
TEST_F(Cal3dSet, AFailedMeshWriteLeavesWhatStoodThere) {
    m.dssAddMesh("m", 0);
    material("red");
    grid(1, 0);
    std::filesystem::create_directory(dir + "model.cmf");  // the mesh cannot take its name
    EXPECT_FALSE(test::writeSet(ctx, dir + "model.cmf"));
    EXPECT_TRUE(ui.sawBox(dir + "model.cmf"));
    EXPECT_TRUE(std::filesystem::is_directory(dir + "model.cmf"));
    std::vector<std::string> left;
    for (auto& e : std::filesystem::directory_iterator(dir)) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"model.cmf"});
    EXPECT_TRUE(ui.sawLog("Nothing of " + dir + "model was put in place"));
}

// Material names come from the source file: they must not steer a file out
// of the output folder or add lines to the configuration.
TEST_F(Cal3dSet, MaterialNamesCannotLeaveTheOutputFolder) {
    // Names in use show in the configurations of chair.cfg and hostile_names.cfg.
    EXPECT_EQ(cleanMaterialName("..\\x"), "__x");
    EXPECT_EQ(cleanMaterialName("c:<>|?*\"q"), "c_______q");
    // Latin-1 bytes are read as Latin-1, so both systems make the same name.
    EXPECT_EQ(cleanMaterialName("Terraind\xe6k"), "Terraind\xc3\xa6k");
    EXPECT_EQ(cleanMaterialName("Terraind\xc3\xa6k"), "Terraind\xc3\xa6k");
    m.dssAddMesh("m", 0);
    material("../../evil");
    material("x\r\nmaterial=/etc/passwd");
    grid(1, 0);
    ASSERT_TRUE(test::writeSet(ctx, dir + "model.cmf"));
    EXPECT_TRUE(std::filesystem::exists(dir + "model_____evil[0].crf"));
    EXPECT_TRUE(matchesGolden(cfgText("model"), "hostile_names.cfg"));
    std::size_t files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) ++files, (void)e;
    EXPECT_EQ(files, 5u);  // csf, cfg, cmf and the two materials: no prop template outside developer mode
}

TEST_F(Cal3dSet, LargerFacesWeighMoreInVertexNormals) {
    m.dssAddMesh("m", 0);
    vertex(0, 0, 0);
    vertex(2, 0, 0);
    vertex(0, 0, 2);  // floor triangle, area 2, normal up
    vertex(0, 1, 0);  // wall triangle x=0 plane, area 1
    m.AddFaceGroup(false, -1, 0);
    face(0, 1, 2);
    face(0, 2, 3);
    calcVertexNormals(ctx, ctx.model);
    EXPECT_EQ(faceNormal(m, 0), (Vec3{0, 4, 0}));
    EXPECT_EQ(faceNormal(m, 1), (Vec3{2, 0, 0}));
    const Vec3 n = m.Normals[0];
    EXPECT_NEAR(n.x, 2 / std::sqrt(20.0), 1e-6);
    EXPECT_NEAR(n.y, 4 / std::sqrt(20.0), 1e-6);
    EXPECT_EQ(m.Normals[1], (Vec3{0, 1, 0}));
    EXPECT_EQ(m.Normals[3], (Vec3{1, 0, 0}));
}

TEST_F(Cal3dSet, WritesTheSetInOrder) {
    m.dssAddMesh("m", 0);
    material("w");
    grid(1, 0);
    ASSERT_TRUE(test::writeSet(ctx, dir + "model.cmf"));
    const std::vector<std::string> steps = {"Write CAL3D: model", "Write Skeleton CSF: ", "Write c3d viewer CFG: ",
                                            "Write Material[0] CRF: ", "Write Mesh CMF: "};
    std::vector<std::string> order;
    for (auto& l : ui.log)
        for (const std::string& k : steps)
            if (l.rfind(k, 0) == 0) order.push_back(k);
    EXPECT_EQ(order, steps);
    EXPECT_TRUE(ui.sawLog("Write Mesh CMF: " + dir + "model.cmf, 4 vertices, 2 triangles."));
    EXPECT_FALSE(ui.sawLog("left out"));  // no face was
}

TEST_F(Cal3dSet, AnimationHeader) {
    ASSERT_TRUE(writeCaf(ctx, dir + "a.caf"));
    EXPECT_EQ(readFile(dir + "a.caf"), std::string("   \0", 4) + std::string(12, '\0'));
    EXPECT_TRUE(ui.sawBox(dir + "a.caf saved"));
}

}  // namespace
