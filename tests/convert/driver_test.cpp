// The conversion driver: output names, the fix-ups between read and write,
// the questions before a Cal3D write, and what the dispatch refuses.
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>

#include "model/extents.h"
#include "convert/driver.h"
#include "support/harness.h"
#include "support/run_folder.h"
#include "support/test_support.h"
#include "util/fileio.h"
#include "util/paths.h"
#include "util/text.h"

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
    for (const auto& [source, want] : test::arrowRows("convert/output_names.txt"))
        EXPECT_EQ(outputNameFor(ctx, source), want == "(none)" ? "" : want) << source;
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

// The questions before a Cal3D write, answered as each row of
// tests/data/convert/write_questions.txt says.
TEST_F(DriverTest, WriteQuestions) {
    const std::string text = test::readFile(test::dataPath("convert/write_questions.txt"));
    ASSERT_NE(text, "");
    menuAutos(false, false, false);
    std::istringstream rows(text);
    for (std::string row; std::getline(rows, row);) {
        if (row.empty() || row.starts_with('#')) continue;
        SCOPED_TRACE(row);
        std::istringstream in(row);
        std::string name, centred, input, answer, arrow, written, ctrY, minX, prompt;
        Vec3 lo, hi;
        float span = 0;
        in >> name >> lo.x >> lo.y >> lo.z >> hi.x >> hi.y >> hi.z >> centred >> input >> answer;
        in >> arrow >> written >> span >> ctrY >> minX;
        std::getline(in >> std::ws, prompt);
        ASSERT_EQ(arrow, "=>");
        m.ClearModel();
        ui.boxes.clear();
        ui.prompts.clear();
        ui.log.clear();
        ctx.logList.clear(&ui);
        box(lo, hi);
        m.modelCentred = centred == "centred";
        if (name == "unmeasured") m.maxSpan = 0;
        ui.inputs.clear();
        if (input == "^X") ui.inputs.push_back(std::nullopt);
        if (input != "-" && input != "^X") ui.inputs.push_back(input == "(empty)" ? "" : input);
        ui.answers = {answer == "yes" ? Answer::Yes : answer == "no" ? Answer::No : Answer::Cancel};
        ctx.app.srcFile = dir + "model.obj";
        ctx.app.srcExt = "obj";
        ctx.app.outFile = dir + name + ".cmf";
        EXPECT_EQ(writeDispatch(ctx), written == "written");
        EXPECT_EQ(fileExists(ctx.app.outFile), written == "written");
        EXPECT_EQ(ui.sawLog("Write complete"), written == "written");
        if (!prompt.empty()) {
            ASSERT_EQ(ui.prompts.size(), 1u);
            EXPECT_EQ(ui.prompts[0].rfind(prompt, 0), 0u) << ui.prompts[0];
        } else {
            EXPECT_TRUE(ui.prompts.empty());
        }
        EXPECT_EQ(ui.sawBox("Model not centred LR/FB: centre?"), centred != "centred");
        EXPECT_NEAR(m.maxSpan, span, 1e-3);
        if (ctrY != "-") {
            EXPECT_NEAR(m.ctrPos.y, std::stof(ctrY), 1e-3);
        }
        if (minX != "-") {
            EXPECT_NEAR(m.minPos.x, std::stof(minX), 1e-3);
        }
    }
    EXPECT_TRUE(fileExists(dir + "in_range.csf"));
    EXPECT_TRUE(fileExists(dir + "in_range.cfg"));
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
    // Skeletons and figures need a skeleton. Anim8or and Wavefront text are
    // written without the questions of a Cal3D write, even for a model not
    // centred; a source without a Cal3D path writes nothing, unasked.
    const struct {
        std::string out;
        const char* srcExt;
        bool centred;
        std::string begins;  // the written file's first bytes; "": none written
        std::string box;     // the one message; "" for none
    } rows[] = {
        {"paint.crf", "obj", true, std::string("CRF\0", 4), ""},
        {"bones.csf", "obj", true, "", "No skeleton loaded: nothing to write to " + dir + "bones.csf"},
        {"model.xyz", "obj", true, "", "Save: unhandled extension(xyz)"},
        {"model.ans", "obj", true, "", "No skeleton loaded: nothing to write to " + dir + "model.ans"},
        {"model.an8", "obj", false, "header {", ""},
        {"model.OBJ", "obj", false, "mtllib model.mtl\r", ""},
        {"an8.cmf", "an8", false, "", "need to setup write_an8_cmf()"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.out);
        ui.boxes.clear();
        m.modelCentred = r.centred;
        ctx.app.srcExt = r.srcExt;
        ctx.app.outFile = dir + r.out;
        EXPECT_EQ(writeDispatch(ctx), !r.begins.empty());
        const std::size_t dot = r.out.find('.');  // the extension is written in lower case
        const std::string written = dir + r.out.substr(0, dot) + toLowerAscii(r.out.substr(dot));
        EXPECT_EQ(fileExists(written), !r.begins.empty());
        EXPECT_EQ(test::readFile(written).rfind(r.begins, 0), 0u);
        EXPECT_EQ(ui.boxes.size(), r.box.empty() ? 0u : 1u);
        EXPECT_TRUE(r.box.empty() || ui.sawBox(r.box));
        EXPECT_TRUE(ui.prompts.empty());
    }
    EXPECT_EQ(test::readFile(dir + "model.mtl").rfind("newmtl paint\r", 0), 0u);
}

// The sources in tests/data/convert/refused, each copied to the run's folder
// and refused at once with the message its list gives; nothing is written.
TEST_F(DriverTest, RefusedSources) {
    const std::string folder = test::dataPath("convert/refused/"), known = ctx.app.knownTypes;
    for (auto [name, want] : test::arrowRows("convert/refused/refused.txt")) {
        ctx.app.devMode = name.ends_with(" (developer)");
        ctx.app.knownTypes = known;
        if (ctx.app.devMode) name.erase(name.find(' '));
        if (const auto at = want.find("{dir}"); at != std::string::npos) want.replace(at, 5, dir);
        writeFile(dir + name, test::readFile(folder + name));
        ui.boxes.clear();
        const std::string out = dir + name + ".cmf";
        EXPECT_FALSE(test::convert(ctx, dir + name, out)) << name;
        EXPECT_TRUE(ui.sawBox(want)) << name << ": " << (ui.boxes.empty() ? "" : ui.boxes.back().text);
        EXPECT_FALSE(fileExists(out)) << name;
    }
}

// A state machine is no model but not the user's mistake: no message. An
// animation has no reader but completes.
TEST_F(DriverTest, ReadDispatchWithoutAMessage) {
    ctx.app.knownTypes.clear();
    EXPECT_FALSE(source("StateMachine.obj"));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(ui.sawLog("Read complete"));
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
    EXPECT_FALSE(ui.sawLog("All Maxs/Mins"));

    // Developer mode has no list (its refusals: RefusedSources) and
    // summarises every geometry read; the panel's second number caps the
    // detail lines.
    ctx.app.devMode = true;
    ctx.app.knownTypes.clear();
    ctx.menu.tSrcFile = ctx.app.srcFile;
    ctx.menu.tKF2 = "7";
    EXPECT_TRUE(LoadFile(ctx));
    EXPECT_EQ(ctx.detailLimit, 7);
    EXPECT_TRUE(ui.sawLog("All Maxs/Mins"));
}

// Listings, body parts and text materials: tests/data/shell/runs/listings_and_materials.run.
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
