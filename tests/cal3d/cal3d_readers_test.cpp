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
    const ModelStore& b = back.m;
    ASSERT_EQ(b.meshCount, 1);
    EXPECT_EQ(b.Meshes[0].name, "cmf");
    EXPECT_EQ(b.ttlnum_Vertices, 13);
    EXPECT_EQ(b.ttlnum_Faces, 10);
    EXPECT_EQ(firstDifference(first, buildCmf(back.ctx)), "");
}

TEST_F(CmfReader, SpringsAreSkippedAndEveryValueStored) {
    ASSERT_TRUE(readCmfBytes(ctx, cmfSample(), "s.cmf").ok());
    ASSERT_EQ(m.nFaceGrps, 2);
    EXPECT_EQ(m.Meshes[0].num_FaceGrps, 2);
    EXPECT_EQ(m.Meshes[0].cmf_version, 1000);
    const FaceGroup& g0 = m.FaceGrps[0];
    EXPECT_EQ(g0.num_springs, 1);
    EXPECT_EQ(g0.num_maps, 2);
    EXPECT_EQ(m.FaceGrps[1].MtlID, 1);
    const Vertex& v1 = m.Vertices[1];
    ASSERT_EQ(m.skinOf(1).num_Influences, 6);
    EXPECT_EQ(m.skinOf(1).Influences[5].boneId, 5);
    ASSERT_EQ(v1.UVs.size(), 2u);
    EXPECT_EQ(v1.UVs[1].v, 0.5f);
    // Cal3D's z-up (x, y, z) becomes the store's (x, z, y).
    EXPECT_EQ(m.Vertices[2].pos.y, 1.0f);
    EXPECT_EQ(m.zupOf(2).z, 1.0f);
    EXPECT_EQ(m.Normals[0].y, 0.8f);
    // Corners after the spring record, stored in reverse order on the submesh's base.
    EXPECT_EQ(m.VFaces[0].vtx[0], 2);
    EXPECT_EQ(m.VFaces[2].vtx[0], 3 + 3);
    EXPECT_EQ(m.FaceGrps[1].FgGlblFaces[1], 2);
}

TEST(CsfReader, DefaultSkeletonRoundTripsAndAFailedReadKeepsTheOldOne) {
    TestContext t;
    ASSERT_TRUE(readCsfBytes(t.ctx, defaultCsfBytes(), "d.csf").ok());
    const SkeletonStore& s = t.ctx.skel;
    ASSERT_EQ(s.num_Bones, 1);
    EXPECT_EQ(s.Bones[0].name, "Bone01");
    EXPECT_EQ(s.Bones[0].PBID, -1);
    EXPECT_EQ(s.Bones[0].num_chldrn, 0);
    EXPECT_EQ(firstDifference(defaultCsfBytes(), skeletonCsfBytes(s)), "");
    const std::string three = csfSample();
    EXPECT_FALSE(readCsfBytes(t.ctx, std::string_view(three).substr(0, three.size() - 1), "cut.csf").ok());
    EXPECT_EQ(s.num_Bones, 1);
    EXPECT_EQ(s.Bones[0].name, "Bone01");
    ASSERT_TRUE(readCsfBytes(t.ctx, three, "s.csf").ok());
    EXPECT_EQ(s.Bones[0].chldrn, (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(firstDifference(three, skeletonCsfBytes(s)), "");

    // The developer listing has a line for each bone read, also when a later
    // bone fails, and starts afresh with each read.
    t.ctx.dbgLevel = 1;
    t.ctx.app.workdir = tempDir("csflisting");
    const std::string listing = t.ctx.app.workdir + "0molvconv2.log";
    EXPECT_FALSE(readCsfBytes(t.ctx, std::string_view(three).substr(0, three.size() - 1), "cut.csf").ok());
    const std::string cut = readFile(listing);
    EXPECT_EQ(cut.rfind("0: Pelvis ", 0), 0u) << cut;
    EXPECT_NE(cut.find("\r\n1: Left Thigh "), std::string::npos) << cut;
    EXPECT_EQ(cut.find("\r\n2: "), std::string::npos) << cut;
    ASSERT_TRUE(readCsfBytes(t.ctx, three, "s.csf").ok());
    const std::string whole = readFile(listing);
    EXPECT_EQ(whole.rfind("0: Pelvis ", 0), 0u) << whole;
    EXPECT_NE(whole.find("\r\n2: Right_Thigh_12345678 "), std::string::npos) << whole;
    EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 3);
    EXPECT_EQ(whole.substr(whole.size() - 2), "\r\n");
}

TEST(CrfReader, NumberAndNameFromTheFileName) {
    TestContext t;
    const ModelStore& m = t.m;
    ASSERT_TRUE(readCrfBytes(t.ctx, crfSample(), "dir/chair_Red_Metal_2[3].crf", -1).ok());
    EXPECT_EQ(m.nMaterials, 4);
    const Material& mt = m.Materials[3];
    EXPECT_EQ(mt.id, 3);
    EXPECT_EQ(mt.name, "chair_Red_Metal_2[3]");
    EXPECT_EQ(mt.diffuse, (Colour{204, 128, 0, 255}));
    EXPECT_EQ(mt.shininess, 25.0f);
    // Only the last path component of a map name is kept.
    EXPECT_EQ(std::vector<std::string>(mt.maps.begin(), mt.maps.begin() + mt.nMaps),
              (std::vector<std::string>{"wood.bmp", "bump.png"}));

    EXPECT_FALSE(readCrfBytes(t.ctx, crfSample(), "wood.crf", -1).ok());
    EXPECT_TRUE(t.ui.sawBox("[MaterialNum] not found in filename wood.crf"));
    EXPECT_FALSE(readCrfBytes(t.ctx, crfSample(), "w[99999999999].crf", -1).ok());
    // A failed read leaves the material as it was.
    EXPECT_FALSE(readCrfBytes(t.ctx, crfSample().substr(0, 40), "c[3].crf", -1).ok());
    EXPECT_EQ(m.Materials[3].name, "chair_Red_Metal_2[3]");
    EXPECT_EQ(m.Materials[3].nMaps, 2);

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
    EXPECT_EQ(dev.m.nMaterials, 2);
    EXPECT_EQ(dev.m.Materials[0].maps[0], "red.png");
    EXPECT_EQ(dev.m.Materials[1].name, "set_blue[1]");
    EXPECT_EQ(dev.m.nFaceGrps, 2);
    EXPECT_EQ(dev.m.ttlnum_Faces, m.ttlnum_Faces);

    TestContext user;
    EXPECT_FALSE(readCfgText(user.ctx, cfg, dir + "set.cfg").ok());
    EXPECT_TRUE(user.ui.sawBox("Config contains non-XML file (possibly a binary-CAL3D config)"));
    // The ".x" test is the extension's, not a ".x" anywhere in the name.
    TestContext user2;
    EXPECT_FALSE(readCfgText(user2.ctx, "mesh=a.xmf.cmf\n", dir + "set.cfg").ok());
    EXPECT_TRUE(user2.ui.sawBox("Config contains non-XML file"));
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
    const std::string head =
        "  header {\r\n  version { \"0.96 beta\" }\r\n  build { \"2007.07.31\" }\r\n}\r\nenvironment {\r\n"
        "  grid { 1 10 50 50 }\r\n  framerate { 24 }\r\n}\r\n figure { \"figure01\"\r\n";
    EXPECT_EQ(buildAn8Figure(t.ctx.skel),
              head + "    bone { \"Bone01\"\r\n      length { 3 }\r\n"
                     "      orientation { (1.0958673e-06 -0.7071068 1.0959309e-06 0.70710677) }\r\n    }\r\n}\r\n");

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
    EXPECT_NE(f.find("    bone { \"a\"\r\n      length { 5 }\r\n"), std::string::npos);
    EXPECT_NE(f.find("        bone { \"b\"\r\n          length { 0.111 }\r\n"), std::string::npos);
    EXPECT_NE(f.find("            bone { \"c\\\"d\"\r\n"), std::string::npos);
    EXPECT_NE(f.find("    bone { \"root2\"\r\n"), std::string::npos);
    EXPECT_NE(f.find("        bone { \"e\"\r\n"), std::string::npos);

    TestContext none;
    EXPECT_FALSE(test_detail::write(none.ctx, [&](WriteEnv& e) { return writeAn8Figure(e, "x.ans"); }));
    EXPECT_TRUE(none.ui.sawBox("No skeleton loaded"));
}

}  // namespace
