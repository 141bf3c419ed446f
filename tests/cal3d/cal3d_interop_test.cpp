// Every prop set written here is loaded by the real Cal3D library; its mesh
// or skeleton, saved again by Cal3D, must give our bytes but for the version.
// (Files named *_interop_test.cpp are built only with Cal3D.)
#include <gtest/gtest.h>

#include <cstring>

#include "cal3d/cal3d_set.h"
#include "cal3d_test_models.h"
#include "support/cal3d_check.h"
#include "support/harness.h"

using namespace molv;
using namespace molv::test;

namespace {

struct Cal3dInterop : ModelFixture {
    std::string dir = tempDir("c3dinterop");

    // Writes the set, loads it with Cal3D, compares with the store and has
    // Cal3D save the mesh again.
    Cal3dSetInfo writeAndLoad() {
        EXPECT_TRUE(test::writeSet(ctx, dir + "model.cmf"));
        auto info = loadCal3dSet(dir + "model");
        EXPECT_TRUE(info.ok()) << info.error;
        EXPECT_TRUE(cal3dMatchesStore(m, info));
        expectResaveGivesOurBytes("model.cmf");
        return info;
    }

    void expectResaveGivesOurBytes(const std::string& file) {
        std::string err;
        ASSERT_TRUE(resaveWithCal3d(dir + file, dir + "resaved_" + file, err)) << err;
        std::string ours = readFile(dir + file);
        std::string theirs = readFile(dir + "resaved_" + file);
        ASSERT_GE(ours.size(), 12u);
        ASSERT_GE(theirs.size(), 12u);
        theirs.replace(4, 4, ours.substr(4, 4));  // Cal3D writes its own version
        EXPECT_EQ(firstDifference(ours, theirs), "");
    }
};

TEST_F(Cal3dInterop, SeveralMeshesGroupsAndMaterials) {
    material("wood", Colour{51, 51, 51, 255}, {"wood.bmp"});
    for (int k = 1; k < 4; ++k) material("mat " + std::to_string(k), Colour{static_cast<std::uint8_t>(k), 0, 0, 255});
    m.dssAddMesh("a", 0);
    grid(2, 2);
    grid(3, 0);
    m.AddFaceGroup(false, 1, 0);  // empty group: no submesh
    m.dssAddMesh("b", 0);
    grid(4, 3);
    grid(2, 2);
    auto info = writeAndLoad();
    EXPECT_EQ(info.totalTriangles, 8 + 18 + 32 + 8);
    ASSERT_EQ(info.materials.size(), 4u);
    EXPECT_EQ(info.materials[0].maps, (std::vector<std::string>{"wood.bmp"}));
    EXPECT_EQ(info.materials[0].ambient[0], 51);
}

// Influences name the bones of the skeleton given; a spring count without
// springs does not break the mesh.
TEST_F(Cal3dInterop, InfluencesOfALoadedSkeletonAndASpringCount) {
    twoBoneSkeleton();
    ctx.settings.dflt_boneID = 1;
    m.dssAddMesh("m", 0);
    grid(2, -1);
    VertexSkin& v = m.skinAt(4);
    v.Influences.push_back(Influence{0, 0.5f});
    v.Influences.push_back(Influence{1, 0.5f});
    v.num_Influences = 2;
    m.FaceGrps[0].num_springs = 6;
    auto info = writeAndLoad();
    EXPECT_EQ(info.boneNames, (std::vector<std::string>{"Root", "Arm  "}));  // the padding as Cal3D reads it
    ASSERT_EQ(info.submeshes.size(), 1u);
    EXPECT_EQ(info.submeshes[0].springCount, 0);
    EXPECT_TRUE(ui.sawLog("springs"));
}

TEST_F(Cal3dInterop, BoneTreeResavedByCal3dGivesOurBytes) {
    SkeletonStore& s = ctx.skel;
    s.skl_version = 1000;
    s.num_Bones = 4;
    s.Bones.assign(5, Bone{});
    const char* names[] = {"Hips", "Spine", "LeftLeg", "RightLeg"};
    for (int i = 0; i < 4; ++i) {
        const float f = static_cast<float>(i);
        s.Bones[static_cast<std::size_t>(i)] = Bone{static_cast<std::int32_t>(std::strlen(names[i]) + 1), names[i],
                                                    {f * 0.5f, 0, -1.25f}, {0, 0.6f, 0, 0.8f}, {0, -f, 0},
                                                    {0, -0.6f, 0, 0.8f}, i == 0 ? -1 : 0, 0, {}};
    }
    s.Bones[0].chldrn = {1, 2, 3};
    s.Bones[0].num_chldrn = 3;
    ASSERT_TRUE(writeSkeletonCsf(ctx, dir + "s.csf", false));
    expectResaveGivesOurBytes("s.csf");
}

}  // namespace
