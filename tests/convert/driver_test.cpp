// The conversion driver: output names, the fix-ups between read and write,
// the questions before a Cal3D write, and what the dispatch refuses.
#include <gtest/gtest.h>
#include <optional>
#include <string>

#include "model/extents.h"
#include "convert/driver.h"
#include "support/harness.h"
#include "support/run_folder.h"
#include "support/test_support.h"
#include "util/fileio.h"
#include "util/paths.h"

namespace molv {
namespace {

using test::tempDir;
using test::writeFile;

const char* const kTri = "v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n";

struct DriverTest : test::RunFolder {
    // An axis-aligned box of 8 vertices and 12 faces, as a reader leaves it.
    void box(Vec3 lo, Vec3 hi) {
        m.dssAddMesh("box", 0);
        std::int32_t mtl = m.AddMaterial("paint");
        const std::int32_t group = m.AddFaceGroup(false, mtl, 0);
        std::int32_t v[8];
        for (int i = 0; i < 8; ++i) {
            float x = (i & 1) ? hi.x : lo.x, y = (i & 2) ? hi.y : lo.y, z = (i & 4) ? hi.z : lo.z;
            std::int32_t n = -1;
            v[i] = m.AddVertex(n, x, y, z, x, z, y);
        }
        const int tri[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
        for (auto& t : tri) {
            std::int32_t rel = m.Meshes[0].num_Faces;
            m.AddFace(0, 0, v[t[0]], v[t[1]], v[t[2]]);
            m.AddFaceToGroup(0, group, false, rel, -1);
        }
        SetMaxMinsM(ctx, ctx.model);
    }
    bool source(const std::string& name, std::string_view text = kTri) {
        writeFile(dir + name, text);
        ctx.app.srcFile = dir + name;
        return readDispatch(ctx, true);
    }
};

TEST_F(DriverTest, OutputNames) {
    const std::pair<const char*, const char*> rows[] = {
        {"models/my chair.3ds", "models/my_chair.cmf"},
        {"a&b,c's.obj", "a_b_cs.cmf"},
        {"my \"best\" set/x y.dae", "my \"best\" set/x_y.cmf"},
        {"C:\\models\\chair.big.3DS", "C:\\models\\chair.big.cmf"},
        // A Cal3D source is never overwritten.
        {"set/model.cmf", "set/model_1.cmf"},
        {"model.CRF", "model_1.crf"},
        {"viewer.cfg", "viewer_1.cfg"},
        {"walk.caf", "walk_1.caf"},
        {"skel.csf", "skel.ans"},
        {"wood.txm", "wood.crf"},
        {"noext", "noext.cmf"},
        {"arm.bodypart", ""},
    };
    for (const auto& [src, out] : rows) EXPECT_EQ(outputNameFor(ctx, src), out) << src;
    outputNameFor(ctx, "models/my chair.3DS");
    EXPECT_EQ(ctx.app.srcBase, "models/my chair");
    EXPECT_EQ(ctx.app.srcExt, "3ds");
    EXPECT_EQ(ctx.app.outFile, "models/my_chair.cmf");
    EXPECT_FALSE(knownTypeListed("*.3ds;*.obj;*.dae", "ob"));
    EXPECT_TRUE(knownTypeListed("*.3ds;*.obj;*.dae", "dae"));
}

TEST_F(DriverTest, Cal3dSourcesSkipTheFixUpsUnlessForcedOrWriting) {
    box({10, 10, 10}, {12, 14, 16});
    ctx.app.srcExt = "cmf";
    menuAutos(true, true, true);
    runAutos(ctx, false);
    EXPECT_TRUE(ui.sawLog("Srctype cmf, AUTOS not run"));
    SetMaxMinsM(ctx, ctx.model);
    EXPECT_FLOAT_EQ(m.minPos.x, 10);
    runAutos(ctx, true);
    EXPECT_NEAR(m.maxSpan, 100, 1e-3);
    m.ClearModel();
    box({10, 10, 10}, {12, 14, 16});
    ctx.settings.forceAuto = true;
    runAutos(ctx, false);
    EXPECT_NEAR(m.maxSpan, 100, 1e-3);
}

// The fix-ups say when their last step left the extents measured, and the
// driver then does not measure again: in every combination of settings
// those extents must be what a fresh measurement gives.
TEST_F(DriverTest, FixUpsLeaveTheExtentsTheyClaimToHaveMeasured) {
    for (int k = 0; k < 8; ++k) {
        m.ClearModel();
        box({10, -3, 7}, {12, 14, 160});
        menuAutos(k & 1, k & 2, k & 4);
        const bool measured = runAutos(ctx, false);
        EXPECT_EQ(measured, k != 0) << k;
        if (!measured) continue;
        const Vec3 mn = m.minPos, mx = m.maxPos, zmn = m.minZup, zmx = m.maxZup, ctr = m.ctrPos;
        const float span = m.maxSpan;
        SetMaxMinsM(ctx, m);
        EXPECT_TRUE(mn == m.minPos && mx == m.maxPos && zmn == m.minZup && zmx == m.maxZup && ctr == m.ctrPos &&
                    span == m.maxSpan)
            << k;
    }
}

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

// The questions before a Cal3D write, answered by a script.
TEST_F(DriverTest, WriteQuestions) {
    const float any = -1e9f;
    const struct {
        const char* what;
        Vec3 lo, hi;
        bool centred;
        const char* input;                 // to the span question; null: the default, "^X": cancel
        Answer answer;                     // to the centring question
        bool written;
        const char* prompt;  // "" for none
        float maxSpan, ctrY, minX;
    } rows[] = {
        {"in range", {-75, 0, -10}, {75, 40, 10}, true, nullptr, Answer::Yes, true, "", 150, any, any},
        {"small", {-7.5f, 0, -1}, {7.5f, 4, 1}, true, nullptr, Answer::Yes, true,
         "Max Span is 15, enter new span ('=' to retain)", 50, any, any},
        {"large", {-125, 0, -1}, {125, 4, 1}, true, "100", Answer::Yes, true,
         "Max Span is 250, enter new span ('=' to retain)", 100, any, any},
        {"equals", {-125, 0, -1}, {125, 4, 1}, true, "=", Answer::Yes, true, "Max Span is 250", 250, any, any},
        {"empty", {-125, 0, -1}, {125, 4, 1}, true, "", Answer::Yes, false, "Max Span is 250", 250, any, any},
        {"cancelled", {-125, 0, -1}, {125, 4, 1}, true, "^X", Answer::Yes, false, "Max Span is 250", 250, any, any},
        {"uncentred", {10, 10, 10}, {110, 50, 30}, false, nullptr, Answer::Yes, true, "", 100, 80, -50},
        {"not centred", {10, 10, 10}, {110, 50, 30}, false, nullptr, Answer::No, true, "", 100, any, 10},
        {"centring cancelled", {10, 10, 10}, {110, 50, 30}, false, nullptr, Answer::Cancel, false, "", 100, any, 10},
        {"unmeasured", {-50, 0, -10}, {50, 40, 10}, true, nullptr, Answer::Yes, true, "", 100, any, any},
    };
    menuAutos(false, false, false);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        m.ClearModel();
        ui.boxes.clear();
        ui.prompts.clear();
        ui.log.clear();
        ctx.logList.clear(&ui);
        box(r.lo, r.hi);
        m.modelCentred = r.centred;
        if (std::string(r.what) == "unmeasured") m.maxSpan = 0;
        ui.inputs.clear();
        if (r.input) ui.inputs.push_back(std::string(r.input) == "^X" ? std::nullopt : std::optional<std::string>(r.input));
        ui.answers = {r.answer};
        ctx.app.srcFile = dir + "model.obj";
        ctx.app.srcExt = "obj";
        ctx.app.outFile = dir + r.what + ".cmf";
        EXPECT_EQ(writeDispatch(ctx), r.written);
        EXPECT_EQ(fileExists(ctx.app.outFile), r.written);
        EXPECT_EQ(ui.sawLog("Write complete"), r.written);
        if (*r.prompt) {
            ASSERT_EQ(ui.prompts.size(), 1u);
            EXPECT_EQ(ui.prompts[0].rfind(r.prompt, 0), 0u) << ui.prompts[0];
        } else {
            EXPECT_TRUE(ui.prompts.empty());
        }
        EXPECT_EQ(ui.sawBox("Model not centred LR/FB: centre?"), !r.centred);
        EXPECT_NEAR(m.maxSpan, r.maxSpan, 1e-3);
        if (r.ctrY != any) {
            EXPECT_NEAR(m.ctrPos.y, r.ctrY, 1e-3);
        }
        if (r.minX != any) {
            EXPECT_NEAR(m.minPos.x, r.minX, 1e-3);
        }
    }
    EXPECT_TRUE(fileExists(dir + "in range.csf"));
    EXPECT_TRUE(fileExists(dir + "in range.cfg"));
    EXPECT_EQ(ctx.app.outBase, dir + "unmeasured");
    EXPECT_EQ(ctx.app.outName, "unmeasured");
}

TEST_F(DriverTest, WritersByOutputName) {
    box({-50, 0, -10}, {50, 40, 10});
    m.modelCentred = true;
    ctx.app.srcExt = "obj";
    ctx.app.srcFile = dir + "my chair.obj";
    ctx.app.outFile.clear();  // derived from the source
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_EQ(ctx.app.outFile, dir + "my_chair.cmf");
    EXPECT_TRUE(fileExists(dir + "my_chair.cmf"));
    ctx.app.outFile = dir + "paint.crf";
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_EQ(test::readFile(dir + "paint.crf").substr(0, 4), std::string("CRF\0", 4));
    // A model without a skeleton gives no boneless skeleton file.
    ctx.app.outFile = dir + "bones.csf";
    EXPECT_FALSE(writeDispatch(ctx));
    EXPECT_TRUE(ui.sawBox("No skeleton loaded: nothing to write to " + dir + "bones.csf"));
    EXPECT_FALSE(fileExists(dir + "bones.csf"));
    ctx.app.outFile = dir + "model.xyz";
    EXPECT_FALSE(writeDispatch(ctx));
    EXPECT_TRUE(ui.sawBox("Save: unhandled extension(xyz)"));
    EXPECT_FALSE(fileExists(ctx.app.outFile));
    // A figure needs a skeleton; without one nothing is written.
    ctx.app.outFile = dir + "model.ans";
    EXPECT_FALSE(writeDispatch(ctx));
    EXPECT_TRUE(ui.sawBox("No skeleton loaded: nothing to write to " + dir + "model.ans"));
    EXPECT_FALSE(fileExists(ctx.app.outFile));
    // Anim8or and Wavefront text, without the questions of a Cal3D write.
    m.modelCentred = false;
    ui.boxes.clear();
    ctx.app.outFile = dir + "model.an8";
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_EQ(test::readFile(dir + "model.an8").substr(0, 8), "header {");
    ctx.app.outFile = dir + "model.OBJ";
    EXPECT_TRUE(writeDispatch(ctx));
    EXPECT_EQ(test::readFile(dir + "model.obj").substr(0, 17), "mtllib model.mtl\r");
    EXPECT_EQ(test::readFile(dir + "model.mtl").substr(0, 13), "newmtl paint\r");
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
    // A source without a Cal3D path writes nothing, and is not asked about.
    ctx.app.srcExt = "an8";
    ctx.app.outFile = dir + "an8.cmf";
    EXPECT_FALSE(writeDispatch(ctx));
    EXPECT_TRUE(ui.sawBox("need to setup write_an8_cmf()"));
    EXPECT_FALSE(ui.sawBox("Model not centred"));
    EXPECT_TRUE(ui.prompts.empty());
    EXPECT_FALSE(fileExists(dir + "an8.cmf"));
}

TEST_F(DriverTest, ReadDispatchRefusals) {
    EXPECT_FALSE(source("thing.xyz", "data"));
    EXPECT_TRUE(ui.sawBox("Unrecognised filetype: xyz"));
    EXPECT_FALSE(source("empty.obj", ""));
    EXPECT_TRUE(ui.sawBox("Empty file (0 bytes): " + dir + "empty.obj"));
    ctx.app.knownTypes.clear();  // developer mode: every type goes to the dispatch
    for (const char* ext : {"quodex", "zzz"}) {
        EXPECT_FALSE(source(std::string("src.") + ext, "not empty")) << ext;
        EXPECT_TRUE(ui.sawBox(std::string("Unknown filetype: .") + ext)) << ext;
    }
    // The binary Cal3D readers refuse what is not theirs, naming the file.
    for (const char* ext : {"cmf", "csf", "crf", "xmf"}) {
        EXPECT_FALSE(source(std::string("src.") + ext, "not empty")) << ext;
        EXPECT_TRUE(ui.sawBox(dir + "src." + ext)) << ext;
    }
    EXPECT_FALSE(source("other.rtml", "<x/>"));
    EXPECT_TRUE(ui.sawBox("Unknown filetype: .rtml"));
    const auto boxes = ui.boxes.size();
    EXPECT_FALSE(source("StateMachine.obj"));
    EXPECT_EQ(ui.boxes.size(), boxes);
    EXPECT_FALSE(ui.sawLog("Read complete"));
    // An animation has no reader but completes.
    EXPECT_TRUE(source("walk.caf", "CAF"));
    EXPECT_TRUE(ui.sawLog("Read complete: 0 Vertices,0 Faces"));
}

TEST_F(DriverTest, ReadTakesTheMenuSettingsAndSavesThem) {
    ctx.menu.marks.autoResize = false;
    ctx.settings.autoResize = true;
    EXPECT_TRUE(source("tri.obj"));
    EXPECT_FALSE(ctx.settings.autoResize);
    EXPECT_TRUE(fileExists(dir + "molvconv.cfg"));
    EXPECT_TRUE(ui.sawLog("-- READ: " + dir + "tri.obj--"));
    EXPECT_EQ(ctx.app.srcFolder, dir);
    EXPECT_EQ(ctx.app.srcBase, dir + "tri");
    EXPECT_EQ(ctx.app.modelName, "tri");
    EXPECT_FALSE(ui.sawLog("All Maxs/Mins"));
    // Developer mode summarises every geometry read.
    ctx.app.devMode = true;
    ctx.app.knownTypes.clear();
    ctx.menu.tSrcFile = dir + "tri.obj";
    EXPECT_TRUE(source("tri.obj"));
    EXPECT_TRUE(ui.sawLog("All Maxs/Mins"));
}

TEST_F(DriverTest, LoadFile) {
    writeFile(dir + "thing.ob", "v 0 0 0");
    ctx.app.srcFile = dir + "thing.ob";
    EXPECT_FALSE(LoadFile(ctx, true));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Unknown filetype: .ob");
    EXPECT_FALSE(fileExists(dir + "molvconv.cfg"));  // refused before the read

    writeFile(ctx.logFileName, "old line\r\n");
    writeFile(dir + "tri.obj", kTri);
    ctx.app.srcFile = dir + "tri.obj";
    EXPECT_TRUE(LoadFile(ctx));
    EXPECT_FALSE(fileExists(ctx.logFileName));
    EXPECT_EQ(m.ttlnum_Faces, 1);

    // Developer mode has no list: every registered type is read, others
    // refused; the panel's second number caps the detail lines.
    ctx.app.devMode = true;
    ctx.app.knownTypes.clear();
    ctx.menu.tSrcFile = ctx.app.srcFile;
    ctx.menu.tKF2 = "7";
    EXPECT_TRUE(LoadFile(ctx));
    EXPECT_EQ(ctx.detailLimit, 7);
    ctx.app.srcFile = dir + "thing.ob";
    EXPECT_FALSE(LoadFile(ctx));
    EXPECT_EQ(ui.boxes.back().text, "Unknown filetype: .ob");
}

TEST_F(DriverTest, ConversionResults) {
    // A reader that gives up: nothing is written; the next read starts afresh.
    writeFile(dir + "lost.obj", "mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    ui.answers.push_back(Answer::Cancel);
    EXPECT_FALSE(test::convert(ctx, dir + "lost.obj"));
    EXPECT_TRUE(ctx.app.readAbort);
    EXPECT_FALSE(ui.sawLog("Read complete"));
    EXPECT_FALSE(fileExists(dir + "lost.cmf"));
    // Nothing to write.
    writeFile(dir + "points.obj", "v 0 0 0\nv 1 0 0\n");
    EXPECT_FALSE(test::convert(ctx, dir + "points.obj"));
    EXPECT_FALSE(ctx.app.readAbort);
    EXPECT_TRUE(ui.sawBox("Nothing to convert: no faces read from " + dir + "points.obj"));
    EXPECT_FALSE(fileExists(dir + "points.cmf"));
    // The set goes where it is named, not beside the source.
    menuAutos(false, false, false);
    writeFile(dir + "box.obj", test::readFile(test::dataPath("shell/box.obj")));
    ASSERT_TRUE(test::convert(ctx, dir + "box.obj", dir + "named.cmf"));
    EXPECT_EQ(ui.log.back(), "Write complete");
    EXPECT_TRUE(fileExists(dir + "named.cmf"));
    EXPECT_FALSE(fileExists(dir + "box.cmf"));
}

TEST_F(DriverTest, ListingsAndTextMaterialsAreNotGeometry) {
    ctx.app.devMode = true;
    ctx.app.knownTypes.clear();
    // A catalogue is listed, whatever its case and extension, and nothing else
    // happens: no write, no questions about an empty model.
    writeFile(dir + "Site_Descriptors.rtml.bak", "<model>a/b.xml</model>\n");
    ASSERT_TRUE(test::convert(ctx, dir + "Site_Descriptors.rtml.bak"));
    EXPECT_TRUE(fileExists(dir + baseName(dir.substr(0, dir.size() - 1)) + "_prop_info.txt"));
    EXPECT_FALSE(ui.sawLog("Read complete"));
    EXPECT_FALSE(ui.sawLog("-- WRITE"));
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
    // A body part gives its configuration; the read is the whole job.
    writeFile(dir + "arm.bodypart",
              "<quodex.things.BodyPart>\n<name>Arm</name>\n<meshes>\n<string>arm</string>\n</meshes>\n</quodex.things.BodyPart>\n");
    ASSERT_TRUE(test::convert(ctx, dir + "arm.bodypart"));
    EXPECT_EQ(test::readFile(dir + "arm.cfg"), "# arm\r\nscale=1.0\r\nskeleton = arm.csf\r\nmesh=arm.cmf\r\n");
    EXPECT_EQ(ctx.app.outFile, dir + "arm.cfg");
    EXPECT_FALSE(ui.sawLog("-- WRITE"));
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;
    EXPECT_TRUE(ui.prompts.empty());
    // A text material is written as the material file it names.
    writeFile(dir + "wood.txm", "name=oak\ndiffusive=200 100 50 255\n");
    ASSERT_TRUE(test::convert(ctx, dir + "wood.txm"));
    EXPECT_EQ(test::readFile(dir + "oak.crf").substr(0, 4), std::string("CRF\0", 4));
    EXPECT_FALSE(fileExists(dir + "wood.crf"));
    // ... unless the command line names another, which is not geometry either.
    ASSERT_FALSE(test::convert(ctx, dir + "wood.txm", dir + "wood.cmf"));
    EXPECT_TRUE(ui.sawBox("need to setup write_txm_cmf()"));
    EXPECT_FALSE(ui.sawBox("Model not centred"));
    EXPECT_TRUE(ui.prompts.empty());
    // A listing that fails is a failed conversion.
    writeFile(dir + "empty_descriptors.rtml", "<list/>\n");
    EXPECT_FALSE(test::convert(ctx, dir + "empty_descriptors.rtml"));
    EXPECT_TRUE(ctx.app.readAbort);
    EXPECT_TRUE(ui.sawBox("No models - try Bodyparts.rtml"));
}

TEST_F(DriverTest, Anim8orSourceToAWavefrontOutput) {
    ctx.app.devMode = true;
    ctx.app.knownTypes.clear();
    menuAutos(false, false, false);
    writeFile(dir + "tri.an8",
              "object { \"o\"\n material { \"M\" }\n mesh {\n  /* 3 points, 1 faces, 0 uvCoords */\n"
              "  materiallist { materialname { \"M\" } }\n  points { (0 0 0) (10 0 0) (0 10 0) }\n"
              "  faces { 3 0 0 -1 ( (0) (1) (2) ) }\n }\n}\n");
    ASSERT_TRUE(test::convert(ctx, dir + "tri.an8", dir + "tri.obj"));
    EXPECT_EQ(test::readFile(dir + "tri.obj"),
              "mtllib tri.mtl\r\nv  0  0  0 \r\nv  10  0  0 \r\nv  0  10  0 \r\nf  1  2  3 \r\n");
    EXPECT_TRUE(ui.sawLog("Read complete: 3 Vertices,1 Faces"));
    EXPECT_TRUE(ui.prompts.empty());
}

TEST_F(DriverTest, AModelWithMoreMaterialsThanTheLimitIsRefusedBeforeWriting) {
    // Each material is a file of the set: a library of a few hundred
    // kilobytes must not make the conversion write tens of thousands.
    std::string lib, obj = "mtllib many.mtl\n" + std::string(kTri);
    for (int i = 0; i <= kMaxMaterials; ++i) lib += "newmtl m" + std::to_string(i) + "\n";
    writeFile(dir + "many.mtl", lib);
    writeFile(dir + "many.obj", obj);
    EXPECT_FALSE(test::convert(ctx, dir + "many.obj"));
    EXPECT_TRUE(ctx.app.readAbort);
    EXPECT_TRUE(ui.sawBox(dir + "many.obj holds 4098 materials, more than the 4096 a prop set may have"));
    EXPECT_FALSE(fileExists(dir + "many.cmf"));
    EXPECT_FALSE(fileExists(dir + "many.cfg"));
    EXPECT_FALSE(fileExists(dir + "many_m0[0].crf"));
    // At the limit it is read.
    lib.erase(lib.rfind("newmtl"));
    lib.erase(lib.rfind("newmtl"));
    writeFile(dir + "many.mtl", lib);
    test::TestContext again;
    again.ctx.app.srcFile = dir + "many.obj";
    EXPECT_TRUE(readDispatch(again.ctx));
    EXPECT_EQ(again.m.nMaterials, kMaxMaterials);
}

}  // namespace
}  // namespace molv
