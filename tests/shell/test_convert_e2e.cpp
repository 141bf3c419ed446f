// Whole conversions as the command line runs them: a Wavefront object
// written here, read, fixed up and written as a Cal3D prop set, which the
// Cal3D library must then load.
#include <gtest/gtest.h>

#include <string>

#include "convert/context.h"
#include "convert/driver.h"
#include "shell/run_exe.h"
#include "core/scripted_ui.h"
#include "support/cal3d_check.h"
#include "support/test_support.h"
#include "util/fileio.h"

namespace molv {
namespace {

using test::tempDir;
using test::writeFile;

// A 2 x 3 x 4 box with texture coordinates, two materials and a library.
const char* const kBoxObj =
    "# box\n"
    "mtllib box.mtl\n"
    "v 0 0 0\nv 2 0 0\nv 2 3 0\nv 0 3 0\n"
    "v 0 0 4\nv 2 0 4\nv 2 3 4\nv 0 3 4\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "g sides\n"
    "usemtl wood\n"
    "f 1/1 2/2 3/3 4/4\n"
    "f 5/1 8/4 7/3 6/2\n"
    "f 1/1 5/2 6/3 2/4\n"
    "f 4/1 3/2 7/3 8/4\n"
    "g ends\n"
    "usemtl steel\n"
    "f 1/1 4/2 8/3 5/4\n"
    "f 2/1 6/2 7/3 3/4\n";

const char* const kBoxMtl =
    "newmtl wood\n"
    "Ka 0.2 0.1 0.0\nKd 0.8 0.5 0.2\nKs 0.1 0.1 0.1\nNs 20\n"
    "map_Kd wood grain.png\n"
    "newmtl steel\n"
    "Kd 0.6 0.6 0.7\n";

struct ConvertTest : ::testing::Test {
    ScriptedUI ui;
    Context ctx{ui};
    std::string dir;

    void SetUp() override {
        dir = tempDir("convert");
        ctx.app.configDir = dir;
        ctx.app.workdir = dir;
        ctx.logFileName = dir + "0molvconv.log";
    }
    std::string writeBox(const std::string& name) {
        writeFile(dir + name, kBoxObj);
        writeFile(dir + "box.mtl", kBoxMtl);
        return dir + name;
    }
    void expectLoadsInCal3d(const std::string& outBase) {
        if (!test::cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
        auto info = test::loadCal3dSet(outBase);
        ASSERT_TRUE(info.ok()) << info.error;
        EXPECT_TRUE(test::cal3dMatchesStore(ctx.model, info));
        EXPECT_EQ(info.totalTriangles, 12);
        EXPECT_EQ(info.boneCount, 1);
        // The library's two, and the reader's own "Default".
        EXPECT_EQ(info.materials.size(), static_cast<std::size_t>(ctx.model.nMaterials));
        EXPECT_GE(info.materials.size(), 2u);
    }
};

TEST_F(ConvertTest, ObjBecomesALoadablePropSet) {
    std::string src = writeBox("my chair.obj");
    ASSERT_TRUE(convertFile(ctx, src, ""));
    EXPECT_EQ(ctx.app.outFile, dir + "my_chair.cmf");
    for (const char* f : {"my_chair.cmf", "my_chair.cfg", "my_chair.csf"})
        EXPECT_TRUE(fileExists(dir + f)) << f;
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
    EXPECT_TRUE(ui.prompts.empty());
    EXPECT_TRUE(ui.sawLog("Read complete: "));
    EXPECT_TRUE(ui.sawLog(" Vertices,12 Faces"));
    EXPECT_EQ(ui.log.back(), "Write complete");
    // Default fix-ups: largest span 100, standing on height 0.
    EXPECT_NEAR(ctx.model.maxSpan, 100, 1e-3);
    EXPECT_NEAR(ctx.model.minPos.y, 0, 1e-3);
    expectLoadsInCal3d(dir + "my_chair");
}

TEST_F(ConvertTest, NamedOutputGoesWhereItIsTold) {
    std::string src = writeBox("box.obj");
    std::string err;
    ASSERT_TRUE(makeFolder(dir + "out", err)) << err;
    ASSERT_TRUE(convertFile(ctx, src, dir + "out/prop.cmf"));
    EXPECT_TRUE(fileExists(dir + "out/prop.cmf"));
    EXPECT_TRUE(fileExists(dir + "out/prop.cfg"));
    EXPECT_FALSE(fileExists(dir + "box.cmf"));
    expectLoadsInCal3d(dir + "out/prop");
}

TEST_F(ConvertTest, ScriptedRunTakesEveryDefault) {
    // No fix-ups: the model arrives uncentred and 4 units across, so both
    // questions come up; unanswered they take Yes and 50.
    ctx.menu.m_s_autoresize = ctx.menu.m_s_autozerobsht = ctx.menu.m_s_autocentre = false;
    std::string src = writeBox("box.obj");
    std::string text = test::readFile(src);
    text.replace(text.find("usemtl steel"), 12, "usemtl brass");  // not in the library
    writeFile(src, text);
    ASSERT_TRUE(convertFile(ctx, src, ""));
    EXPECT_TRUE(ui.sawBox("Material not found (brass)"));
    EXPECT_TRUE(ui.sawBox("Model not centred LR/FB: centre?"));
    ASSERT_EQ(ui.prompts.size(), 1u);
    EXPECT_EQ(ui.prompts[0], "Max Span is 4, enter new span ('=' to retain)");
    EXPECT_NEAR(ctx.model.maxSpan, 50, 1e-3);
    EXPECT_EQ(ui.log.back(), "Write complete");
    EXPECT_TRUE(fileExists(dir + "box.cmf"));
}

TEST_F(ConvertTest, UnwritableOutputFailsAndSaysWhichFile) {
    std::string src = writeBox("box.obj");
    EXPECT_FALSE(convertFile(ctx, src, dir + "no such folder/prop.cmf"));
    EXPECT_TRUE(ui.sawBox(dir + "no such folder/prop."));
    EXPECT_FALSE(ui.sawLog("Write complete"));
}

TEST_F(ConvertTest, MissingEmptyOrFacelessSourcesFail) {
    EXPECT_FALSE(convertFile(ctx, dir + "absent.obj", ""));
    EXPECT_TRUE(ui.sawBox("Not found: " + dir + "absent.obj"));
    writeFile(dir + "empty.obj", "");
    EXPECT_FALSE(convertFile(ctx, dir + "empty.obj", ""));
    EXPECT_TRUE(ui.sawBox("Not found: " + dir + "empty.obj"));
    writeFile(dir + "points.obj", "v 0 0 0\nv 1 0 0\n");
    EXPECT_FALSE(convertFile(ctx, dir + "points.obj", ""));
    EXPECT_TRUE(ui.sawBox("Nothing to convert: no faces read from " + dir + "points.obj"));
    EXPECT_FALSE(fileExists(dir + "points.cmf"));
    EXPECT_FALSE(ui.sawLog("Write complete"));
}

TEST_F(ConvertTest, ReaderThatGivesUpWritesNothing) {
    writeFile(dir + "lost.obj", "mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    ui.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(convertFile(ctx, dir + "lost.obj", ""));
    EXPECT_TRUE(ctx.app.readAbort);
    EXPECT_FALSE(ui.sawLog("-- WRITE"));
    EXPECT_FALSE(fileExists(dir + "lost.cmf"));
}

TEST_F(ConvertTest, LargeModelIsWarnedAbout) {
    // 113 x 113 vertices: 2 x 112 x 112 = 25088 triangles.
    const int n = 113;
    std::string obj;
    obj.reserve(1 << 20);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) obj += "v " + std::to_string(i) + " " + std::to_string(j) + " 0\n";
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i) {
            int a = j * n + i + 1, b = a + 1, c = a + n + 1, d = a + n;
            obj += "f " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + "\n";
            obj += "f " + std::to_string(a) + " " + std::to_string(c) + " " + std::to_string(d) + "\n";
        }
    writeFile(dir + "sheet.obj", obj);
    ASSERT_TRUE(convertFile(ctx, dir + "sheet.obj", ""));
    EXPECT_TRUE(ui.sawLog("Read complete: 12769 Vertices,25088 Faces"));
    EXPECT_TRUE(ui.sawLog("WARNING - 25088 faces is impractically large"));
    EXPECT_TRUE(fileExists(dir + "sheet.cmf"));
}

// The program itself, as a script would run it.
TEST_F(ConvertTest, ProgramExitStatusFollowsTheResult) {
    if (test::exePath().empty()) GTEST_SKIP() << "MOLV_EXE not set";
    std::string home = tempDir("home");
    writeBox("box.obj");
    auto ok = test::runExe({"box.obj"}, dir, test::userEnv(home));
    EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
    EXPECT_TRUE(fileExists(dir + "box.cmf"));
    EXPECT_TRUE(fileExists(dir + "box.cfg"));

    auto bad = test::runExe({"-o", "no such folder/prop.cmf", "box.obj"}, dir, test::userEnv(home));
    EXPECT_NE(bad.status, 0);
    EXPECT_EQ((bad.out + bad.err).find("Conversion complete"), std::string::npos);
    EXPECT_NE((bad.out + bad.err).find("prop."), std::string::npos) << bad.out << bad.err;

    auto missing = test::runExe({"nothing here.obj"}, dir, test::userEnv(home));
    EXPECT_NE(missing.status, 0);
    EXPECT_NE((missing.out + missing.err).find("Not found: "), std::string::npos) << missing.out << missing.err;
}

}  // namespace
}  // namespace molv
