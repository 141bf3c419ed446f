// The conversion driver: output names, the fix-ups between read and write,
// the questions before a Cal3D write and the dispatch's refusals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <string>

#include "model/extents.h"
#include "convert/context.h"
#include "convert/driver.h"
#include "core/scripted_ui.h"
#include "support/test_support.h"
#include "util/fileio.h"

namespace molv {
namespace {

using test::tempDir;
using test::writeFile;

struct DriverTest : ::testing::Test {
    ScriptedUI ui;
    Context ctx{ui};
    ModelStore& m = ctx.model;
    std::string dir;

    void SetUp() override {
        dir = tempDir("driver");
        ctx.app.configDir = dir;
        ctx.app.workdir = dir + "work/";
        std::string err;
        ASSERT_TRUE(makeFolder(ctx.app.workdir, err)) << err;
        ctx.logFileName = dir + "0molvconv.log";
    }

    // Fix-ups as the Settings menu shows them; reads and writes take them over.
    void menuAutos(bool resize, bool zeroBase, bool centre) {
        ctx.menu.m_s_autoresize = resize;
        ctx.menu.m_s_autozerobsht = zeroBase;
        ctx.menu.m_s_autocentre = centre;
        ctx.settings.autoResize = resize;
        ctx.settings.autoZeroBsHt = zeroBase;
        ctx.settings.autoCentre = centre;
    }

    // An axis-aligned box of 8 vertices and 12 faces in one mesh with one
    // material, as a reader would leave it.
    void box(Vec3 lo, Vec3 hi) {
        m.dssAddMesh("box", 0);
        std::int32_t mtl = m.AddMaterial("paint");
        m.AddFaceGroup(false, mtl, 0);
        std::int32_t v[8];
        for (int i = 0; i < 8; ++i) {
            float x = (i & 1) ? hi.x : lo.x, y = (i & 2) ? hi.y : lo.y, z = (i & 4) ? hi.z : lo.z;
            std::int32_t n = -1;
            v[i] = m.AddVertex(n, x, y, z, x, z, y, i, false);
        }
        const int tri[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
        for (auto& t : tri) {
            std::int32_t rel = m.Meshes[0].num_Faces;
            m.AddFace(0, 0, v[t[0]], v[t[1]], v[t[2]]);
            m.AddFaceToGroup(0, m.currFgnum, false, rel, -1);
        }
        SetMaxMinsM(ctx);
    }

    int boxesAsking(const std::string& part) const {
        int n = 0;
        for (auto& b : ui.boxes)
            if (b.text.find(part) != std::string::npos) ++n;
        return n;
    }
};

// ---------------------------------------------------------------- names

TEST_F(DriverTest, OutputNameCleansTheFileNameAndKeepsTheFolder) {
    EXPECT_EQ(outputNameFor(ctx, "models/my chair.3ds"), "models/my_chair.cmf");
    EXPECT_EQ(ctx.app.srcBase, "models/my chair");
    EXPECT_EQ(ctx.app.srcExt, "3ds");
    EXPECT_EQ(ctx.app.outFile, "models/my_chair.cmf");
    EXPECT_EQ(outputNameFor(ctx, "a&b,c's.obj"), "a_b_cs.cmf");
    EXPECT_EQ(outputNameFor(ctx, "my \"best\" set/x y.dae"), "my \"best\" set/x_y.cmf");
    EXPECT_EQ(outputNameFor(ctx, "C:\\models\\chair.big.3DS"), "C:\\models\\chair.big.cmf");
    EXPECT_EQ(ctx.app.srcExt, "3ds");
}

TEST_F(DriverTest, OutputNameNeverOverwritesACal3dSource) {
    EXPECT_EQ(outputNameFor(ctx, "set/model.cmf"), "set/model_1.cmf");
    EXPECT_EQ(outputNameFor(ctx, "model.CRF"), "model_1.crf");
    EXPECT_EQ(outputNameFor(ctx, "viewer.cfg"), "viewer_1.cfg");
    EXPECT_EQ(outputNameFor(ctx, "walk.caf"), "walk_1.caf");
    EXPECT_EQ(outputNameFor(ctx, "skel.csf"), "skel.ans");
    EXPECT_EQ(outputNameFor(ctx, "wood.txm"), "wood.crf");
    EXPECT_EQ(outputNameFor(ctx, "noext"), "noext.cmf");
    EXPECT_EQ(outputNameFor(ctx, "arm.bodypart"), "");
}

TEST_F(DriverTest, KnownTypesMatchWholeEntries) {
    const std::string known = "*.3ds;*.obj;*.dae";
    EXPECT_TRUE(knownTypeListed(known, "3ds"));
    EXPECT_TRUE(knownTypeListed(known, "dae"));
    EXPECT_FALSE(knownTypeListed(known, "ob"));
    EXPECT_FALSE(knownTypeListed(known, "ds"));
    EXPECT_FALSE(knownTypeListed(known, ""));
    EXPECT_FALSE(knownTypeListed("", "obj"));
}

// ---------------------------------------------------------------- fix-ups

TEST_F(DriverTest, ZeroBaseWinsOverCentre) {
    box({10, 10, 10}, {12, 14, 16});
    ctx.app.srcExt = "obj";
    menuAutos(false, true, true);
    runAutos(ctx, false);
    EXPECT_FLOAT_EQ(m.minPos.y, 0);
    EXPECT_FLOAT_EQ(m.maxPos.y, 4);
    EXPECT_FLOAT_EQ(m.ctrPos.x, 0);
    EXPECT_FLOAT_EQ(m.ctrPos.z, 0);
    EXPECT_TRUE(m.modelCentred);
}

TEST_F(DriverTest, CentreAloneCentresAllThreeAxes) {
    box({10, 10, 10}, {12, 14, 16});
    ctx.app.srcExt = "obj";
    menuAutos(false, false, true);
    runAutos(ctx, false);
    EXPECT_FLOAT_EQ(m.ctrPos.y, 0);
    EXPECT_FLOAT_EQ(m.minPos.y, -2);
    EXPECT_FLOAT_EQ(m.ctrPos.x, 0);
}

TEST_F(DriverTest, NoFixUpLeavesTheModelAlone) {
    box({10, 10, 10}, {12, 14, 16});
    ctx.app.srcExt = "obj";
    menuAutos(false, false, false);
    runAutos(ctx, false);
    SetMaxMinsM(ctx);
    EXPECT_FLOAT_EQ(m.minPos.x, 10);
    EXPECT_FALSE(m.modelCentred);
}

TEST_F(DriverTest, AutoResizeScalesToTheSetSize) {
    box({0, 0, 0}, {2, 4, 1});
    ctx.app.srcExt = "3ds";
    menuAutos(true, true, false);
    ctx.settings.dflt_autosize = 100;
    runAutos(ctx, false);
    EXPECT_NEAR(m.maxSpan, 100, 1e-3);
    EXPECT_NEAR(m.spanPos.x, 50, 1e-3);
    EXPECT_NEAR(m.minPos.y, 0, 1e-3);
}

TEST_F(DriverTest, Cal3dSourcesSkipTheFixUpsUnlessForced) {
    for (const char* ext : {"cmf", "cfg"}) {
        ui.log.clear();
        ctx.logList.clear(&ui);
        m.ClearModel();
        box({10, 10, 10}, {12, 14, 16});
        ctx.app.srcExt = ext;
        menuAutos(true, true, true);
        ctx.settings.forceAuto = false;
        runAutos(ctx, false);
        EXPECT_TRUE(ui.sawLog(std::string("Srctype ") + ext + ", AUTOS not run")) << ext;
        SetMaxMinsM(ctx);
        EXPECT_FLOAT_EQ(m.minPos.x, 10) << ext;

        // From a write they run, and so they do when forced.
        runAutos(ctx, true);
        EXPECT_NEAR(m.maxSpan, 100, 1e-3) << ext;
        m.ClearModel();
        box({10, 10, 10}, {12, 14, 16});
        ctx.settings.forceAuto = true;
        runAutos(ctx, false);
        EXPECT_NEAR(m.maxSpan, 100, 1e-3) << ext;
        ctx.settings.forceAuto = false;
    }
}

// ---------------------------------------------------------------- read summary

TEST_F(DriverTest, ReadCompleteLineAndSizeWarnings) {
    box({0, 0, 0}, {1, 1, 1});
    logReadComplete(ctx);
    EXPECT_TRUE(ui.sawLog("Read complete: 8 Vertices,12 Faces"));
    EXPECT_FALSE(ui.sawLog("WARNING"));

    m.ttlnum_Faces = 25000;
    logReadComplete(ctx);
    EXPECT_EQ(ui.log.back(), "           ********** WARNING - 25000 faces is impractically large ********** ");

    EXPECT_EQ(faceCountVerdict(10000), "");
    EXPECT_EQ(faceCountVerdict(10001), "larger than recommended");
    EXPECT_EQ(faceCountVerdict(20000), "larger than recommended");
    EXPECT_EQ(faceCountVerdict(20001), "impractically large");
    EXPECT_EQ(faceCountVerdict(30001), "just getting silly");
}

// ---------------------------------------------------------------- Cal3D write questions

struct WriteTest : DriverTest {
    void SetUp() override {
        DriverTest::SetUp();
        ctx.app.srcFile = dir + "model.obj";
        ctx.app.srcExt = "obj";
        ctx.app.outFile = dir + "model.cmf";
        menuAutos(false, false, false);
    }
    bool written() const { return fileExists(dir + "model.cmf"); }
};

TEST_F(WriteTest, SpanInsideTheRangeAsksNothing) {
    box({-75, 0, -10}, {75, 40, 10});
    m.modelCentred = true;
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_TRUE(ui.prompts.empty());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.sawLog("-- WRITE " + dir + "model.cmf --"));
    EXPECT_TRUE(ui.sawLog("Write complete"));
    EXPECT_TRUE(written());
    EXPECT_TRUE(fileExists(dir + "model.csf"));
    EXPECT_TRUE(fileExists(dir + "model.cfg"));
    EXPECT_EQ(ctx.app.outBase, dir + "model");
    EXPECT_EQ(ctx.app.outName, "model");
}

TEST_F(WriteTest, SmallSpanAsksAndTakesTheDefault) {
    box({-7.5f, 0, -1}, {7.5f, 4, 1});
    m.modelCentred = true;
    EXPECT_TRUE(writeDispatch(ctx));
    ASSERT_EQ(ui.prompts.size(), 1u);
    EXPECT_EQ(ui.prompts[0], "Max Span is 15, enter new span ('=' to retain)");
    EXPECT_NEAR(m.maxSpan, 50, 1e-3);
    EXPECT_TRUE(written());
}

TEST_F(WriteTest, LargeSpanAsksAndTakesTheAnswer) {
    box({-125, 0, -1}, {125, 4, 1});
    m.modelCentred = true;
    ui.inputs.push_back(std::string("100"));
    EXPECT_TRUE(writeDispatch(ctx));
    ASSERT_EQ(ui.prompts.size(), 1u);
    EXPECT_EQ(ui.prompts[0], "Max Span is 250, enter new span ('=' to retain)");
    EXPECT_NEAR(m.maxSpan, 100, 1e-3);
}

TEST_F(WriteTest, EqualsKeepsTheSpan) {
    box({-125, 0, -1}, {125, 4, 1});
    m.modelCentred = true;
    ui.inputs.push_back(std::string("="));
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_FLOAT_EQ(m.maxSpan, 250);
    EXPECT_TRUE(written());
}

TEST_F(WriteTest, EmptyOrCancelledSpanAbandonsTheWrite) {
    box({-125, 0, -1}, {125, 4, 1});
    m.modelCentred = true;
    ui.inputs.push_back(std::string(""));
    EXPECT_FALSE(writeDispatch(ctx));
    ui.inputs.push_back(std::nullopt);
    EXPECT_FALSE(writeDispatch(ctx));
    EXPECT_FALSE(ui.sawLog("Write complete"));
    EXPECT_FALSE(written());
    EXPECT_FLOAT_EQ(m.maxSpan, 250);
}

TEST_F(WriteTest, UncentredModelIsCentredAroundHeight80ByDefault) {
    box({10, 10, 10}, {110, 50, 30});
    EXPECT_TRUE(writeDispatch(ctx));
    ASSERT_EQ(boxesAsking("Model not centred LR/FB: centre?"), 1);
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(ui.boxes[0].answer, Answer::Yes);  // what a script gets
    EXPECT_FLOAT_EQ(m.ctrPos.y, 80);
    EXPECT_FLOAT_EQ(m.ctrPos.x, 0);
    EXPECT_FLOAT_EQ(m.ctrPos.z, 0);
    EXPECT_TRUE(written());
}

TEST_F(WriteTest, CentringAnsweredNoLeavesTheModel) {
    box({10, 10, 10}, {110, 50, 30});
    ui.answers.push_back(Answer::No);
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_FLOAT_EQ(m.minPos.x, 10);
    EXPECT_TRUE(written());
}

TEST_F(WriteTest, CentringCancelledAbandonsTheWrite) {
    box({10, 10, 10}, {110, 50, 30});
    ui.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(writeDispatch(ctx));
    EXPECT_TRUE(ui.prompts.empty());
    EXPECT_FALSE(ui.sawLog("Write complete"));
    EXPECT_FALSE(written());
}

TEST_F(WriteTest, UnmeasuredModelIsMeasuredFirst) {
    box({-50, 0, -10}, {50, 40, 10});
    m.maxSpan = 0;
    m.modelCentred = true;
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_TRUE(ui.prompts.empty());
    EXPECT_FLOAT_EQ(m.maxSpan, 100);
}

TEST_F(WriteTest, SourceWithoutACal3dPathWritesNothing) {
    box({-50, 0, -10}, {50, 40, 10});
    m.modelCentred = true;
    ctx.app.srcExt = "an8";
    EXPECT_FALSE(writeDispatch(ctx));
    EXPECT_TRUE(ui.sawBox("need to setup write_an8_cmf()"));
    EXPECT_EQ(ui.log.back(), "Write complete");
    EXPECT_FALSE(written());
}

TEST_F(WriteTest, UnhandledOutputExtensions) {
    box({-50, 0, -10}, {50, 40, 10});
    for (const char* ext : {"xyz", "an8", "obj", "ans"}) {
        ctx.app.outFile = dir + "model." + ext;
        EXPECT_FALSE(writeDispatch(ctx)) << ext;
        EXPECT_TRUE(ui.sawBox(std::string("Save: unhandled extension(") + ext + ")")) << ext;
        EXPECT_EQ(ui.log.back(), "Write complete");
        EXPECT_FALSE(fileExists(ctx.app.outFile)) << ext;
    }
}

TEST_F(WriteTest, EmptyOutputNameIsDerivedFromTheSource) {
    box({-50, 0, -10}, {50, 40, 10});
    m.modelCentred = true;
    ctx.app.srcFile = dir + "my chair.obj";
    ctx.app.outFile.clear();
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_EQ(ctx.app.outFile, dir + "my_chair.cmf");
    EXPECT_TRUE(fileExists(dir + "my_chair.cmf"));
}

TEST_F(WriteTest, UnwritableOutputIsAFailureNamingTheFile) {
    box({-50, 0, -10}, {50, 40, 10});
    m.modelCentred = true;
    ctx.app.outFile = dir + "missing/model.cmf";
    EXPECT_FALSE(writeDispatch(ctx));
    EXPECT_TRUE(ctx.app.writeFailed);
    EXPECT_TRUE(ui.sawBox(dir + "missing/model."));
    EXPECT_FALSE(ui.sawLog("Write complete"));
    EXPECT_TRUE(ui.sawLog("Write FAILED: " + dir + "missing/model.cmf"));
}

TEST_F(WriteTest, SingleFileWritersByExtension) {
    box({-50, 0, -10}, {50, 40, 10});
    ctx.app.outFile = dir + "paint.crf";
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_TRUE(fileExists(dir + "paint.crf"));
    EXPECT_EQ(test::readFile(dir + "paint.crf").substr(0, 4), std::string("CRF\0", 4));
    ctx.app.outFile = dir + "bones.csf";
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_EQ(test::readFile(dir + "bones.csf").substr(0, 4), std::string("CSF\0", 4));
    EXPECT_TRUE(ui.prompts.empty());
}

// ---------------------------------------------------------------- read dispatch

TEST_F(DriverTest, UnrecognisedTypeIsRefusedWithoutEndingTheProgram) {
    writeFile(dir + "thing.xyz", "data");
    ctx.app.srcFile = dir + "thing.xyz";
    EXPECT_FALSE(readDispatch(ctx));
    EXPECT_TRUE(ui.sawBox("Unrecognised filetype: xyz"));
    EXPECT_FALSE(ui.sawLog("Read complete"));
}

TEST_F(DriverTest, MissingOrEmptySourceIsNotFound) {
    ctx.app.srcFile = dir + "absent.obj";
    EXPECT_FALSE(readDispatch(ctx));
    EXPECT_TRUE(ui.sawBox("Not found: " + dir + "absent.obj"));
    writeFile(dir + "empty.obj", "");
    ctx.app.srcFile = dir + "empty.obj";
    EXPECT_FALSE(readDispatch(ctx));
    EXPECT_TRUE(ui.sawBox("Not found: " + dir + "empty.obj"));
    EXPECT_FALSE(ui.sawLog("-- READ"));
}

TEST_F(DriverTest, TypesWithoutABuiltReaderAreUnknown) {
    ctx.app.knownTypes.clear();  // developer mode: every type goes to the dispatch
    for (const char* ext : {"cmf", "xmf", "cfg", "an8", "csf", "crf", "txm", "bodypart", "quodex", "zzz"}) {
        std::string path = dir + "src." + ext;
        writeFile(path, "not empty");
        ctx.app.srcFile = path;
        EXPECT_FALSE(readDispatch(ctx)) << ext;
        EXPECT_TRUE(ui.sawBox(std::string("Unknown filetype: .") + ext)) << ext;
    }
    writeFile(dir + "site_descriptors.rtml", "<x/>");
    ctx.app.srcFile = dir + "site_descriptors.rtml";
    EXPECT_FALSE(readDispatch(ctx));
    EXPECT_TRUE(ui.sawBox("Unknown filetype: .rtml"));
    EXPECT_FALSE(ui.sawLog("Read complete"));
}

TEST_F(DriverTest, AnimationHasNoReaderButCompletes) {
    ctx.app.knownTypes.clear();
    writeFile(dir + "walk.caf", "CAF");
    ctx.app.srcFile = dir + "walk.caf";
    EXPECT_TRUE(readDispatch(ctx));
    EXPECT_TRUE(ui.sawLog("Read complete: 0 Vertices,0 Faces"));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DriverTest, EqualsSignOrStateMachineReadsNothing) {
    ctx.app.knownTypes.clear();
    ctx.app.srcFile = dir + "a=b.obj";
    writeFile(ctx.app.srcFile, "v 0 0 0");
    EXPECT_FALSE(readDispatch(ctx));
    writeFile(dir + "StateMachine.obj", "v 0 0 0");
    ctx.app.srcFile = dir + "StateMachine.obj";
    EXPECT_FALSE(readDispatch(ctx));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(ui.sawLog("Read complete"));
}

TEST_F(DriverTest, ReadSavesTheSettingsAndTakesThemFromTheMenu) {
    writeFile(dir + "tri.obj", "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n");
    ctx.app.srcFile = dir + "tri.obj";
    ctx.menu.m_s_autoresize = false;
    ctx.settings.autoResize = true;
    EXPECT_TRUE(readDispatch(ctx));
    EXPECT_FALSE(ctx.settings.autoResize);
    EXPECT_TRUE(fileExists(dir + "molvconv.cfg"));
    EXPECT_TRUE(ui.sawLog("-- READ: " + dir + "tri.obj--"));
    EXPECT_EQ(ctx.app.srcFolder, dir);
    EXPECT_EQ(ctx.app.srcBase, dir + "tri");
    EXPECT_EQ(ctx.app.modelName, "tri");
}

TEST_F(DriverTest, DeveloperModeSummarisesEveryGeometryRead) {
    ctx.app.devMode = true;
    ctx.app.knownTypes.clear();
    writeFile(dir + "tri.obj", "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n");
    ctx.app.srcFile = dir + "tri.obj";
    ctx.menu.tSrcFile = ctx.app.srcFile;  // the developer panel names the source
    EXPECT_TRUE(readDispatch(ctx));
    EXPECT_TRUE(ui.sawLog("All Maxs/Mins"));
    EXPECT_TRUE(ui.sawLog("ttlnum_Vertices=3"));
    ui.log.clear();
    writeFile(dir + "walk.caf", "CAF");
    ctx.app.srcFile = ctx.menu.tSrcFile = dir + "walk.caf";
    EXPECT_TRUE(readDispatch(ctx));
    EXPECT_FALSE(ui.sawLog("All Maxs/Mins"));
}

TEST_F(DriverTest, BareNameComesFromTheWorkFolder) {
    const std::string name = "driver_bare_name_test_model.obj";
    ASSERT_FALSE(fileExists(name));
    writeFile(ctx.app.workdir + name, "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n");
    ctx.app.srcFile = name;
    EXPECT_TRUE(readDispatch(ctx));
    EXPECT_EQ(ctx.app.srcFile, ctx.app.workdir + name);
    // Companion files are looked for where the source was found.
    EXPECT_EQ(ctx.app.srcFolder, ctx.app.workdir);
    EXPECT_EQ(ctx.currentFolder, ctx.app.workdir);
}

TEST_F(DriverTest, BareNamePresentInTheCurrentFolderIsTakenFromThere) {
    char old[4096];
    ASSERT_NE(::getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    writeFile("my model.obj", "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n");
    writeFile(ctx.app.workdir + "my model.obj", "v 0 0 0\n");
    ctx.app.srcFile = "my model.obj";
    bool ok = readDispatch(ctx);
    EXPECT_EQ(::chdir(old), 0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ctx.app.srcFile, "my model.obj");
    EXPECT_EQ(ctx.app.srcFolder, "");
    EXPECT_EQ(ctx.app.modelName, "my_model");
    EXPECT_EQ(m.ttlnum_Faces, 1);
}

TEST_F(DriverTest, LoadFileRefusesTypesOutsideTheKnownList) {
    writeFile(dir + "thing.ob", "v 0 0 0");
    ctx.app.srcFile = dir + "thing.ob";
    EXPECT_FALSE(LoadFile(ctx));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Unknown filetype: .ob");
    EXPECT_FALSE(fileExists(dir + "molvconv.cfg"));  // refused before the read

    // Developer mode has no list: every registered type is read, others refused.
    ctx.app.devMode = true;
    ctx.app.knownTypes.clear();
    writeFile(dir + "tri.obj", "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n");
    ctx.app.srcFile = ctx.menu.tSrcFile = dir + "tri.obj";
    EXPECT_TRUE(LoadFile(ctx));
    EXPECT_EQ(m.ttlnum_Faces, 1);
    ctx.app.srcFile = dir + "thing.ob";
    EXPECT_FALSE(LoadFile(ctx));
    EXPECT_EQ(ui.boxes.back().text, "Unknown filetype: .ob");
}

TEST_F(DriverTest, DeveloperPanelDetailLimitReachesTheStore) {
    ctx.app.devMode = true;
    ctx.menu.tKF2 = "7";
    writeFile(dir + "tri.obj", "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n");
    ctx.app.srcFile = ctx.menu.tSrcFile = dir + "tri.obj";
    EXPECT_TRUE(readDispatch(ctx));
    EXPECT_EQ(m.detailLimit, 7);
}

TEST_F(DriverTest, LoadFileClearsTheLogFileAndReads) {
    writeFile(ctx.logFileName, "old line\r\n");
    writeFile(dir + "tri.obj", "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n");
    ctx.app.srcFile = dir + "tri.obj";
    EXPECT_TRUE(LoadFile(ctx));
    EXPECT_FALSE(fileExists(ctx.logFileName));
    EXPECT_EQ(m.ttlnum_Faces, 1);
    EXPECT_TRUE(ui.sawLog("Read complete: 3 Vertices,1 Faces"));
}

TEST_F(DriverTest, ReaderThatGivesUpIsNotComplete) {
    // The library named is missing; Cancel gives the file up.
    writeFile(dir + "lost.obj", "mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    ctx.app.srcFile = dir + "lost.obj";
    ui.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(readDispatch(ctx));
    EXPECT_TRUE(ctx.app.readAbort);
    EXPECT_FALSE(ui.sawLog("Read complete"));
    // A fresh read starts without the old abort.
    writeFile(dir + "tri.obj", "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n");
    ctx.app.srcFile = dir + "tri.obj";
    EXPECT_TRUE(readDispatch(ctx));
    EXPECT_FALSE(ctx.app.readAbort);
}

}  // namespace
}  // namespace molv
