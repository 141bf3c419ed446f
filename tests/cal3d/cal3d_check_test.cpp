// The interop checker itself, on a prop set assembled byte by byte.
#include <gtest/gtest.h>

#include "support/cal3d_check.h"
#include "support/test_support.h"
#include "util/binio.h"

using namespace molv;
using namespace molv::test;

namespace {

std::string handMadeMesh(int threadId) {
    ByteWriter w;
    w.raw(std::string_view("CMF\0", 4));
    w.i32(778);
    w.i32(1);
    for (int v : {threadId, 3, 1, 0, 0, 1}) w.i32(v);
    for (int i = 0; i < 3; ++i) {
        w.f32(static_cast<float>(i)); w.f32(0); w.f32(0);  // position
        w.f32(0); w.f32(0); w.f32(1);                      // normal
        w.i32(0); w.i32(0);                                // collapse
        w.f32(0.5f); w.f32(0.25f);                         // uv
        w.i32(1); w.i32(0); w.f32(1.0f);                   // one influence
    }
    w.i32(2); w.i32(1); w.i32(0);
    return w.bytes();
}

std::string handMadeMaterial() {
    ByteWriter w;
    w.raw(std::string_view("CRF\0", 4));
    w.i32(700);
    for (int c : {51, 51, 51, 255, 204, 204, 204, 255, 0, 0, 0, 255}) w.u8(static_cast<std::uint8_t>(c));
    w.f32(25.0f);
    w.i32(1);
    w.lenString("wood.bmp");
    return w.bytes();
}

std::string oneBoneSkeleton() {
    ByteWriter w;
    w.raw(std::string_view("CSF\0", 4));
    w.i32(1000);
    w.i32(1);
    w.lenString("Bone01");
    for (int i = 0; i < 3; ++i) w.f32(0);
    for (float f : {0.f, 0.f, 0.f, 1.f}) w.f32(f);
    for (int i = 0; i < 3; ++i) w.f32(0);
    for (float f : {0.f, 0.f, 0.f, 1.f}) w.f32(f);
    w.i32(-1);
    w.i32(0);
    return w.bytes();
}

}  // namespace

TEST(Cal3dCheck, ReadsAHandMadeSet) {
    if (!cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    std::string dir = tempDir("c3dcheck");
    writeFile(dir + "m.csf", oneBoneSkeleton());
    writeFile(dir + "m.cmf", handMadeMesh(4));
    writeFile(dir + "m_mat[0].crf", handMadeMaterial());
    writeFile(dir + "m.cfg", "# cal3d model configuration file\r\nscale=1.0\r\nskeleton=m.csf\r\nmesh=m.cmf\r\n"
                             "material=m_mat[0].crf\r\n");
    auto info = loadCal3dSet(dir + "m");
    ASSERT_TRUE(info.ok()) << info.error;
    EXPECT_EQ(info.boneCount, 1);
    EXPECT_EQ(info.boneNames.at(0), "Bone01");
    ASSERT_EQ(info.submeshes.size(), 1u);
    EXPECT_EQ(info.submeshes[0].materialThreadId, 4);
    EXPECT_EQ(info.submeshes[0].vertexCount, 3);
    EXPECT_EQ(info.submeshes[0].faceCount, 1);
    EXPECT_EQ(info.submeshes[0].mapCount, 1);
    EXPECT_EQ(info.totalTriangles, 1);
    ASSERT_EQ(info.materials.size(), 1u);
    EXPECT_EQ(info.materials[0].ambient[0], 51);
    EXPECT_EQ(info.materials[0].diffuse[1], 204);
    EXPECT_EQ(info.materials[0].specular[3], 255);
    EXPECT_FLOAT_EQ(info.materials[0].shininess, 25.0f);
    ASSERT_EQ(info.materials[0].maps.size(), 1u);
    EXPECT_EQ(info.materials[0].maps[0], "wood.bmp");
}

TEST(Cal3dCheck, NamesTheFileCal3dRejects) {
    if (!cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    std::string dir = tempDir("c3dcheck");
    writeFile(dir + "m.csf", oneBoneSkeleton());
    std::string mesh = handMadeMesh(0);
    mesh[0] = 'X';
    writeFile(dir + "m.cmf", mesh);
    writeFile(dir + "m.cfg", "skeleton=m.csf\r\nmesh=m.cmf\r\nmaterial=missing.crf\r\n");
    auto info = loadCal3dSet(dir + "m");
    EXPECT_FALSE(info.ok());
    EXPECT_TRUE(info.skeletonLoaded);
    EXPECT_FALSE(info.meshLoaded);
    EXPECT_FALSE(info.materialsLoaded);
    EXPECT_NE(info.error.find("m.cmf"), std::string::npos) << info.error;
    EXPECT_NE(info.error.find("missing.crf"), std::string::npos) << info.error;
}

TEST(Cal3dCheck, FlagsFaceCornersOutsideTheSubmesh) {
    if (!cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    std::string dir = tempDir("c3dcheck");
    writeFile(dir + "m.csf", oneBoneSkeleton());
    std::string mesh = handMadeMesh(0);
    ByteWriter last;
    last.i32(7);
    mesh.replace(mesh.size() - 4, 4, last.bytes());
    writeFile(dir + "m.cmf", mesh);
    writeFile(dir + "m.cfg", "skeleton=m.csf\r\nmesh=m.cmf\r\n");
    auto info = loadCal3dSet(dir + "m");
    EXPECT_TRUE(info.meshLoaded);
    EXPECT_FALSE(info.facesInRange);
    EXPECT_FALSE(info.ok());
}
