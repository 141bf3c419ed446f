// The prop set as files: skeleton, materials, viewer configuration and the
// mesh written by writeCal3d, with their names and failures.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "cal3d/cal3d_set.h"
#include "cal3d_test_models.h"
#include "support/cal3d_check.h"
#include "util/binio.h"

using namespace molv;
using namespace molv::test;

namespace {

const std::string kDefaultCsf = hexBytes({
    0x43, 0x53, 0x46, 0x00, 0xE8, 0x03, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00,
    0x42, 0x6F, 0x6E, 0x65, 0x30, 0x31, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xB7, 0x15, 0x93, 0xB5, 0xF4, 0x04, 0x35, 0x3F, 0xE6, 0x17, 0x93, 0xB5, 0xF3, 0x04, 0x35, 0x3F,
    0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00,
    0xB7, 0x15, 0x93, 0x35, 0xF4, 0x04, 0x35, 0xBF, 0xE6, 0x17, 0x93, 0x35, 0xF3, 0x04, 0x35, 0x3F,
    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00,
});

struct Cal3dSet : ModelFixture {
    std::string dir = tempDir("c3dset");

    std::string cfgText(const std::string& base) { return readFile(dir + base + ".cfg"); }

    void twoBoneSkeleton() {
        SkeletonStore& s = ctx.skel;
        s.skl_version = 1000;
        s.num_Bones = 2;
        s.Bones.assign(3, Bone{});
        s.Bones[0] = Bone{5, "Root", {0, 0, 0}, {0, 0, 0, 1}, {0, 0, 0}, {0, 0, 0, 1}, -1, 1, {1}};
        // A name length beyond the name: blank padded.
        s.Bones[1] = Bone{6, "Arm", {2.5f, 0, 0}, {0, 0, 0, 1}, {0, 0, 0}, {0, 0, 0, 1}, 0, 0, {}};
    }
};

TEST_F(Cal3dSet, DefaultSkeletonIsTheFixed87Bytes) {
    EXPECT_EQ(firstDifference(kDefaultCsf, defaultCsfBytes()), "");
    EXPECT_EQ(writeDefaultCsf(ctx, dir + "model"), "model.csf");
    EXPECT_EQ(firstDifference(kDefaultCsf, readFile(dir + "model.csf")), "");
}

TEST_F(Cal3dSet, SkeletonStoreIsWrittenFieldByField) {
    twoBoneSkeleton();
    ByteWriter w;
    w.raw(std::string_view("CSF\0", 4));
    for (int v : {1000, 2, 5}) w.i32(v);  // version, bones, name length
    w.raw(std::string_view("Root\0", 5));
    for (float f : {0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f}) w.f32(f);
    for (int v : {-1, 1, 1, 6}) w.i32(v);  // parent, children, the child, next name length
    w.raw(std::string_view("Arm  \0", 6));
    for (float f : {2.5f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f}) w.f32(f);
    for (int v : {0, 0}) w.i32(v);
    ASSERT_TRUE(writeSkeletonCsf(ctx, dir + "s.csf", false));
    EXPECT_EQ(firstDifference(w.bytes(), readFile(dir + "s.csf")), "");
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
    EXPECT_EQ(cfgText("chair"),
              "# cal3d model configuration file\r\nscale=1.0\r\nskeleton=chair.csf\r\nmesh=chair.cmf\r\n"
              "material=chair_Red_Metal_2[0].crf\r\nmaterial=chair_a_b[1].crf\r\n"
              "material=chair_Red_Metal_2[3].crf\r\n");
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
    const std::string want = hexBytes({
        0x43, 0x52, 0x46, 0x00, 0xBC, 0x02, 0x00, 0x00,  // "CRF", 700
        0x33, 0x33, 0x33, 0xFF, 0xCC, 0xCC, 0xCC, 0xFF, 0x00, 0x00, 0x00, 0xFF,
        0x00, 0x00, 0xC8, 0x41,                          // 25.0
        0x01, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00,  // 1 map, length 9
        0x77, 0x6F, 0x6F, 0x64, 0x2E, 0x62, 0x6D, 0x70, 0x00,
    });
    ASSERT_TRUE(writeMaterialCrf(ctx, 0, dir + "w.crf"));
    EXPECT_EQ(firstDifference(want, readFile(dir + "w.crf")), "");
    ASSERT_TRUE(writeMaterialCrf(ctx, 1, dir + "p.crf"));
    const std::string plain = readFile(dir + "p.crf");
    ASSERT_EQ(plain.size(), 28u);
    EXPECT_EQ(plain.substr(24), std::string(4, '\0'));  // nMaps 0, nothing after it
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
    const std::string crf = readFile(dir + "w.crf");
    for (const char* name : {"wood.bmp", "gone.bmp", "far.bmp", "up.bmp", "here.bmp"})
        EXPECT_NE(crf.find(std::string(name) + '\0'), std::string::npos) << name;
    for (const char* part : {"..", "/", "\\", "C:"}) EXPECT_EQ(crf.find(part), std::string::npos) << part;
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
    EXPECT_EQ(cleanMaterialName("Red Metal-2"), "Red_Metal_2");
    EXPECT_EQ(cleanMaterialName("a - b"), "a_b");
    EXPECT_EQ(cleanMaterialName("../../evil"), "____evil");
    EXPECT_EQ(cleanMaterialName("..\\x"), "__x");
    EXPECT_EQ(cleanMaterialName("a\r\nmesh=b"), "a__mesh=b");
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
    std::size_t lines = 0;
    for (char c : cfgText("model")) lines += c == '\n';
    EXPECT_EQ(lines, 6u);
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
