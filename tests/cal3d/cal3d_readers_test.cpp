// The binary Cal3D readers: what they store, and that the writers give the
// same bytes back from it.
#include <gtest/gtest.h>

#include <algorithm>

#include "cal3d/an8_figure.h"
#include "cal3d_test_models.h"
#include "support/cal3d_samples.h"
#include "support/harness.h"
#include "support/test_support.h"

using namespace molv;
using namespace molv::test;

namespace {

struct CmfReader : ModelFixture {};

TEST_F(CmfReader, OurMeshReadBackIsWrittenAsTheSameBytes) {
    material("a");
    material("b");
    m.dssAddMesh("plate", 0);
    grid(2, 0);
    grid(1, 1, 2.0f);
    m.Meshes[0].cmf_version = 1000;
    for (int k = 0; k < 6; ++k) m.skinAt(4).Influences.push_back(Influence{k, 0.125f * static_cast<float>(k)});
    m.skinAt(4).num_Influences = 6;
    m.setCollapse(2, 7, 3);
    m.normalAt(3) = Vec3{0, 1, 0};
    const std::string first = buildCmf(ctx);

    TestContext back;
    ASSERT_TRUE(readCmfBytes(back.ctx, first, "m.cmf").ok());
    EXPECT_EQ(firstDifference(first, buildCmf(back.ctx)), "");
}

// The listing shows Cal3D's z-up (x, y, z) as the store's (x, z, y), and the
// corners after the spring record reversed on the submesh's base.
TEST_F(CmfReader, SpringsAreSkippedAndEveryValueStored) {
    ASSERT_TRUE(readCmfBytes(ctx, cmfSample(), "s.cmf").ok());
    EXPECT_TRUE(matchesGolden(storeListing(m), "sample.cmf.listing"));
    EXPECT_EQ(m.Meshes[0].num_FaceGrps, 2);
    EXPECT_EQ(m.Meshes[0].cmf_version, 1000);
    EXPECT_EQ(m.FaceGrps[0].num_springs, 1);
    ASSERT_EQ(m.skinOf(1).num_Influences, 6);
    EXPECT_EQ(m.skinOf(1).Influences[5].boneId, 5);
}

// The writer's bytes are pinned by golden files, so a skeleton written back
// as it was read shows every field read right.
TEST(CsfReader, SkeletonsRoundTripAndAFailedReadKeepsTheOldOne) {
    TestContext t;
    const SkeletonStore& s = t.ctx.skel;
    const std::string three = csfSample();
    ASSERT_TRUE(readCsfBytes(t.ctx, defaultCsfBytes(), "d.csf").ok());
    EXPECT_FALSE(readCsfBytes(t.ctx, std::string_view(three).substr(0, three.size() - 1), "cut.csf").ok());
    EXPECT_EQ(firstDifference(defaultCsfBytes(), skeletonCsfBytes(s)), "");
    ASSERT_TRUE(readCsfBytes(t.ctx, three, "s.csf").ok());
    EXPECT_EQ(firstDifference(three, skeletonCsfBytes(s)), "");

    // The developer listing has a line for each bone read, also when a later
    // bone fails, and starts afresh with each read.
    t.ctx.dbgLevel = 1;
    t.ctx.app.workdir = tempDir("csflisting");
    const std::string listing = t.ctx.app.workdir + "0molvconv2.log";
    EXPECT_FALSE(readCsfBytes(t.ctx, std::string_view(three).substr(0, three.size() - 1), "cut.csf").ok());
    EXPECT_TRUE(matchesGolden(readFile(listing), "sample_cut.csf.log"));
    ASSERT_TRUE(readCsfBytes(t.ctx, three, "s.csf").ok());
    EXPECT_TRUE(matchesGolden(readFile(listing), "sample.csf.log"));
}

TEST(CrfReader, NumberAndNameFromTheFileName) {
    TestContext t;
    const ModelStore& m = t.m;
    ASSERT_TRUE(readCrfBytes(t.ctx, crfSample(), "dir/chair_Red_Metal_2[3].crf", -1).ok());
    EXPECT_FALSE(readCrfBytes(t.ctx, crfSample(), "wood.crf", -1).ok());
    EXPECT_TRUE(t.ui.sawBox("[MaterialNum] not found in filename wood.crf"));
    EXPECT_FALSE(readCrfBytes(t.ctx, crfSample(), "w[99999999999].crf", -1).ok());
    EXPECT_FALSE(readCrfBytes(t.ctx, crfSample().substr(0, 40), "c[3].crf", -1).ok());
    // Material 3 as first read: the failed reads left it, and of a map name
    // only the last path component is kept.
    EXPECT_TRUE(matchesGolden(storeListing(m), "sample.crf.listing"));
    Material want = m.Materials[3];
    want.maps = {"wood.bmp", "bump.png"};
    EXPECT_EQ(materialCrfBytes(m.Materials[3]), materialCrfBytes(want));
}

TEST_F(CmfReader, ConfigurationLoadsOurSetAndKeepsToItsFolder) {
    const std::string dir = tempDir("cfgread");
    material("red", Colour{200, 0, 0, 255}, {"red.png"});
    material("blue");
    m.dssAddMesh("plate", 0);
    grid(2, 0);
    grid(1, 1, 1.0f);
    ASSERT_TRUE(writeSet(ctx, dir + "set.cmf"));

    TestContext dev(true);
    const std::string cfg = readFile(dir + "set.cfg");
    ASSERT_TRUE(readCfgText(dev.ctx, cfg, dir + "set.cfg").ok());
    EXPECT_TRUE(matchesGolden(storeListing(dev.m), "set.cfg.listing"));

    // Outside developer mode only XML files are read; the ".x" test is the
    // extension's, not a ".x" anywhere in the name.
    for (const std::string& text : {cfg, std::string("mesh=a.xmf.cmf\n")}) {
        TestContext user;
        EXPECT_FALSE(readCfgText(user.ctx, text, dir + "set.cfg").ok());
        EXPECT_TRUE(user.ui.sawBox("Config contains non-XML file (possibly a binary-CAL3D config)")) << text;
    }
    for (const char* line : {"mesh=../set.cmf", "skeleton=/etc/passwd.xsf", "material=sub/../../x[0].crf"}) {
        TestContext t(true);
        EXPECT_FALSE(readCfgText(t.ctx, line, dir + "set.cfg").ok()) << line;
        EXPECT_TRUE(t.ui.sawBox("does not lie in the configuration's folder")) << line;
    }
}

// A face naming a vertex the submesh does not have is refused, quoting
// the line it stands on; a second read counts its lines afresh.
TEST(XmfReader, ABrokenFaceIsRefusedWithItsLine) {
    std::string xmf = test::kXmfSample;
    const std::string good = "<FACE VERTEXID=\"0 1 2\" />";
    const std::size_t at = xmf.find(good);
    xmf.replace(at, good.size(), "<FACE VERTEXID=\"0 1 7\" />");
    const auto line = 1 + std::count(xmf.begin(), xmf.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    test::TestContext t;
    for (int read = 0; read < 2; ++read) {
        const ReadResult r = test::readBytes(t.ctx, test::Format::Xmf, xmf, "m.xmf");
        EXPECT_EQ(r.message, "m.xmf line " + std::to_string(line) +
                                 ": face names vertex 7 of the submesh's 3\r\n<FACE VERTEXID=\"0 1 7\" />");
        EXPECT_EQ(r.line, line);
    }
}

TEST(An8Figure, DefaultSkeletonAndBrokenHierarchies) {
    TestContext t;
    ASSERT_TRUE(readCsfBytes(t.ctx, defaultCsfBytes(), "d.csf").ok());
    EXPECT_TRUE(matchesGolden(buildAn8Figure(t.ctx.skel), "default.an8"));

    // A chain of three, a bone at its parent's origin, a cycle, a second
    // root, a missing child and a quote in a name.
    SkeletonStore s;
    s.num_Bones = 5;
    s.Bones.assign(6, Bone{});
    const char* names[] = {"a", "b", "c\"d", "root2", "e"};
    for (int i = 0; i < 5; ++i) s.Bones[static_cast<std::size_t>(i)].name = names[i];
    s.Bones[1].TrXYZ[0] = 3, s.Bones[1].TrXYZ[1] = 4;
    s.Bones[0].chldrn = {1}, s.Bones[1].chldrn = {2, 0, 99}, s.Bones[2].chldrn = {1};
    s.Bones[0].num_chldrn = 1, s.Bones[1].num_chldrn = 3, s.Bones[2].num_chldrn = 1;
    s.Bones[1].PBID = 0, s.Bones[2].PBID = 1, s.Bones[4].PBID = 3;
    s.Bones[3].chldrn = {4}, s.Bones[3].num_chldrn = 1;
    std::int32_t skipped = 0;
    const std::string f = buildAn8Figure(s, &skipped);
    EXPECT_EQ(skipped, 3);
    EXPECT_TRUE(matchesGolden(f, "broken_hierarchy.an8"));

    TestContext none;
    EXPECT_FALSE(test_detail::write(none.ctx, [&](WriteEnv& e) { return writeAn8Figure(e, "x.ans"); }));
    EXPECT_TRUE(none.ui.sawBox("No skeleton loaded"));
}

}  // namespace
