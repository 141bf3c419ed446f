#include "support/context_calls.h"
#include "model/extents.h"

#include <gtest/gtest.h>

#include <cmath>

#include "convert/context.h"
#include "core/scripted_ui.h"

namespace molv {
namespace {

class ExtentsTest : public ::testing::Test {
protected:
    ScriptedUI ui;
    Context ctx{ui};
    ModelStore& m = ctx.model;

    ExtentsTest() {
        // The fix-ups off, as in a plain resize; tests switch them on where needed.
        ctx.settings.autoResize = false;
        ctx.settings.autoZeroBsHt = false;
        ctx.settings.autoCentre = false;
    }

    // zup_pos holds the same point with the height third, as the readers store it.
    void vertex(float x, float y, float z) {
        std::int32_t i = -1;
        m.AddVertex(i, x, y, z, x, z, y, 0, false);
    }

    // The cube from (-1, 0, -1) to (1, 4, 1) as one mesh.
    void cube() {
        m.dssAddMesh("cube", 0);
        for (float x : {-1.0f, 1.0f})
            for (float y : {0.0f, 4.0f})
                for (float z : {-1.0f, 1.0f}) vertex(x, y, z);
    }

    Vec3 at(int i) const { return m.Vertices[static_cast<std::size_t>(i)].pos; }
    Vec3 zupAt(int i) const { return m.Vertices[static_cast<std::size_t>(i)].zup_pos; }
};

TEST_F(ExtentsTest, CubeExtents) {
    cube();
    SetMaxMinsM(ctx);
    EXPECT_EQ(m.minPos, (Vec3{-1, 0, -1}));
    EXPECT_EQ(m.maxPos, (Vec3{1, 4, 1}));
    EXPECT_EQ(m.ctrPos, (Vec3{0, 2, 0}));
    EXPECT_EQ(m.spanPos, (Vec3{2, 4, 2}));
    EXPECT_EQ(m.spanZup, (Vec3{2, 2, 4}));
    EXPECT_EQ(m.ctrZup, (Vec3{0, 0, 2}));
    EXPECT_EQ(m.maxSpan, 4.0f);
    EXPECT_EQ(m.minPos.y, 0.0f);  // the base height
    EXPECT_EQ(ExtentsText(ctx, true),
              "avg RT(x)= 0.00   UP(y)= 2.00   BK(z)= 0.00\r\n"
              "min RT(x)= -1.00   UP(y)= 0.00   BK(z)= -1.00\r\n"
              "max RT(x)= 1.00   UP(y)= 4.00   BK(z)= 1.00\r\n"
              "Span RT(x)= 2.00   UP(y)= 4.00   BK(z)= 2.00");
    EXPECT_EQ(ExtentsText(ctx, false).find('\n'), std::string::npos);
    EXPECT_EQ(ExtentsText(ctx, false).substr(0, 44), "avg RT(x)= 0.00   UP(y)= 2.00   BK(z)= 0.00\r");
}

TEST_F(ExtentsTest, EmptyModelMeasuresNegativeSpans) {
    m.dssAddMesh("empty", 0);
    SetMaxMinsM(ctx);
    EXPECT_FLOAT_EQ(m.spanPos.x, -1.8e10f);
    EXPECT_FLOAT_EQ(m.maxSpan, -1.8e10f);
    EXPECT_EQ(m.ctrPos, Vec3{});
    // Nothing to move, nothing to crash on.
    CentreModel(ctx, true, 0);
    ResizeModel(ctx, "100", false, true);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ExtentsTest, MaxSpanIsTheLargestAndTheHeightTestSeesZup) {
    m.dssAddMesh("flat", 0);
    std::int32_t i = -1;
    m.AddVertex(i, 0, 0, 0, 0, 0, 0, 0, false);
    i = -1;
    m.AddVertex(i, 2, 2, 2, 5, 1, 1, 0, false);
    SetMaxMinsM(ctx);
    EXPECT_EQ(m.spanPos, (Vec3{2, 2, 2}));
    // A zup_pos that disagrees with pos decides when its x span leads.
    EXPECT_EQ(m.maxSpan, 5.0f);
}

TEST_F(ExtentsTest, OnlyTheGivenMeshAndOnlyMeshRunsAreMeasured) {
    cube();
    m.dssAddMesh("far", 0);
    vertex(100, 100, 100);
    // A vertex outside every run (a split copy before the reader fixed the run).
    std::int32_t loose = -1;
    m.AddVertex(loose, -500, -500, -500, -500, -500, -500, 0, false);
    m.Meshes[1].num_Vertices = 1;
    m.Meshes[1].vtx_ndx_end = m.Meshes[1].vtx_ndx_stt;
    SetMaxMinsM(ctx, 0);
    EXPECT_EQ(m.maxPos, (Vec3{1, 4, 1}));
    SetMaxMinsM(ctx);
    EXPECT_EQ(m.maxPos, (Vec3{100, 100, 100}));
    EXPECT_EQ(m.minPos, (Vec3{-1, 0, -1}));
    // Runs pointing past the vertices are clipped, not followed.
    m.Meshes[1].vtx_ndx_end = 1000000;
    m.Meshes[0].vtx_ndx_stt = -50;
    SetMaxMinsM(ctx);
    EXPECT_EQ(m.minPos, (Vec3{-500, -500, -500}));
    SetMaxMinsM(ctx, 5);  // no such mesh: nothing measured
    EXPECT_FLOAT_EQ(m.maxSpan, -1.8e10f);
}

TEST_F(ExtentsTest, CentreWithZeroBase) {
    cube();
    for (int i = 0; i < 8; ++i) m.Vertices[static_cast<std::size_t>(i)].pos.x += 10;
    for (int i = 0; i < 8; ++i) m.Vertices[static_cast<std::size_t>(i)].zup_pos.x += 10;
    for (int i = 0; i < 8; ++i) m.Vertices[static_cast<std::size_t>(i)].pos.y += 3;
    for (int i = 0; i < 8; ++i) m.Vertices[static_cast<std::size_t>(i)].zup_pos.z += 3;
    CentreModel(ctx, true, 0);
    EXPECT_EQ(m.minPos, (Vec3{-1, 0, -1}));
    EXPECT_EQ(m.maxPos, (Vec3{1, 4, 1}));
    EXPECT_EQ(m.minZup, (Vec3{-1, -1, 0}));
    EXPECT_TRUE(m.modelCentred);
}

TEST_F(ExtentsTest, CentreOnAllAxesAndAtAGivenHeight) {
    cube();
    CentreModel(ctx, false, 0);
    EXPECT_EQ(m.minPos, (Vec3{-1, -2, -1}));
    EXPECT_EQ(m.maxPos, (Vec3{1, 2, 1}));
    EXPECT_EQ(m.ctrZup, (Vec3{0, 0, 0}));
    // As before a write: the middle at height 80.
    CentreModel(ctx, true, 80 - m.spanPos.y / 2);
    EXPECT_EQ(m.ctrPos, (Vec3{0, 80, 0}));
    EXPECT_EQ(m.minZup.z, 78.0f);
}

TEST_F(ExtentsTest, OverlappingRunsMoveEachVertexOnce) {
    cube();
    m.dssAddMesh("alias", 0);
    m.SetMeshRanges(1, 4, -1, -1, 2, 0, 0);  // vertices 2..5, shared with the cube
    for (int i = 0; i < 8; ++i) m.Vertices[static_cast<std::size_t>(i)].pos.x += 10;
    CentreModel(ctx, false, 0);
    EXPECT_EQ(at(0).x, -1.0f);
    EXPECT_EQ(at(3).x, -1.0f);
    EXPECT_EQ(at(7).x, 1.0f);
}

TEST_F(ExtentsTest, ResizeDoublesAboutTheCentre) {
    cube();
    ctx.dbgLevel = 1;
    EXPECT_TRUE(ResizeModel(ctx, "8", false, false));
    EXPECT_EQ(m.minPos, (Vec3{-2, -2, -2}));
    EXPECT_EQ(m.maxPos, (Vec3{2, 6, 2}));
    EXPECT_EQ(m.maxSpan, 8.0f);
    EXPECT_EQ(m.spanZup, (Vec3{4, 4, 8}));
    EXPECT_TRUE(ui.prompts.empty());
    // The extents after the fix-ups, then the factor.
    ASSERT_GE(ui.log.size(), 5u);
    EXPECT_EQ(ui.log[ui.log.size() - 5].rfind("avg RT(x)= 0.00   UP(y)= 2.00", 0), 0u);
    EXPECT_EQ(ui.log[ui.log.size() - 2].rfind("Span RT(x)= 4.00   UP(y)= 8.00   BK(z)= 4.00", 0), 0u);
    EXPECT_EQ(ui.log.back(), "Scaled 2");
}

TEST_F(ExtentsTest, ResizeAsksWhenNoSpanIsGiven) {
    cube();
    ui.inputs.push_back(std::string("6:r"));
    std::string span;
    EXPECT_TRUE(ResizeModel(ctx, "", false, false, &span));
    EXPECT_EQ(span, "6");
    ASSERT_EQ(ui.prompts.size(), 1u);
    EXPECT_EQ(ui.prompts[0],
              "Current max span=4.00, Enter new max span.\r(with one optional constraint which will fix to that span in "
              "that dir nnn[:R|U|B]\rThis will AFFECT Zero Base height ");
    // Only x is scaled, by 6 / 2.
    EXPECT_EQ(m.spanPos, (Vec3{6, 4, 2}));
    EXPECT_EQ(m.minPos, (Vec3{-3, 0, -1}));
    EXPECT_EQ(m.spanZup, (Vec3{6, 2, 4}));
    EXPECT_EQ(m.maxSpan, 6.0f);
}

TEST_F(ExtentsTest, ConstraintGivenAsTextScalesOneDirection) {
    cube();
    EXPECT_TRUE(ResizeModel(ctx, "8:U", false, true));
    EXPECT_EQ(m.spanPos, (Vec3{2, 8, 2}));
    EXPECT_EQ(m.minPos.y, -2.0f);
    // The height of zup_pos follows the height of pos.
    EXPECT_EQ(m.spanZup, (Vec3{2, 2, 8}));
    EXPECT_EQ(m.maxSpan, 8.0f);
    // Squeezing the height keeps the measured span honest.
    EXPECT_TRUE(ResizeModel(ctx, "1:u", false, true));
    EXPECT_EQ(m.spanPos, (Vec3{2, 1, 2}));
    EXPECT_EQ(m.maxSpan, 2.0f);
    // Unknown constraints are ignored; several add up, the last sets the span.
    EXPECT_TRUE(ResizeModel(ctx, "4:x:r:b", false, true));
    EXPECT_EQ(m.spanPos, (Vec3{4, 1, 4}));
}

TEST_F(ExtentsTest, ResizeAfterTheFixupsKeepsTheTypedSpan) {
    cube();
    ctx.settings.autoResize = true;
    ctx.settings.autoZeroBsHt = true;
    ctx.settings.dflt_autosize = 100;
    EXPECT_TRUE(ResizeModel(ctx, "8", false, false));
    // Resized to 8 and put back on the ground by the fix-ups, not resized again to 100.
    EXPECT_EQ(m.maxSpan, 8.0f);
    EXPECT_EQ(m.minPos, (Vec3{-2, 0, -2}));
    EXPECT_EQ(m.maxPos, (Vec3{2, 8, 2}));
    EXPECT_TRUE(ctx.settings.autoResize);
    EXPECT_TRUE(m.modelCentred);
}

TEST_F(ExtentsTest, ResizeInsideTheFixupsRunsNothingElse) {
    cube();
    ctx.settings.autoZeroBsHt = true;
    EXPECT_TRUE(ResizeModel(ctx, "8", false, true));
    EXPECT_EQ(m.minPos.y, -2.0f);  // not re-based
    EXPECT_FALSE(m.modelCentred);
}

TEST_F(ExtentsTest, CancelledOrEmptyAnswerChangesNothing) {
    cube();
    ctx.settings.autoZeroBsHt = true;
    ui.inputs.push_back(std::nullopt);
    ui.inputs.push_back(std::string("  "));
    EXPECT_FALSE(ResizeModel(ctx, "", false, false));
    EXPECT_FALSE(ResizeModel(ctx, "", false, false));
    ASSERT_EQ(ui.prompts.size(), 2u);
    EXPECT_NE(ui.prompts[0].find("This will reset Zero Base height "), std::string::npos);
    EXPECT_EQ(m.maxPos, (Vec3{1, 4, 1}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ExtentsTest, SinglePointHasNoSpan) {
    m.dssAddMesh("dot", 0);
    vertex(1, 2, 3);
    EXPECT_FALSE(ResizeModel(ctx, "100", false, false));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "No non-zero span");
    EXPECT_EQ(at(0), (Vec3{1, 2, 3}));
}

TEST_F(ExtentsTest, FlatDirectionCannotBeStretched) {
    m.dssAddMesh("plane", 0);
    vertex(0, 0, 0);
    vertex(2, 3, 0);
    EXPECT_FALSE(ResizeModel(ctx, "5:b", false, true));
    EXPECT_TRUE(ui.sawBox("No non-zero span"));
    EXPECT_EQ(at(1), (Vec3{2, 3, 0}));
}

TEST_F(ExtentsTest, SpansThatWouldDestroyTheModelAreRefused) {
    cube();
    for (const char* bad : {"abc", "-8", "0", "8cm", "1e39"}) {
        EXPECT_FALSE(ResizeModel(ctx, bad, false, true)) << bad;
    }
    EXPECT_EQ(ui.boxes.size(), 5u);
    EXPECT_EQ(ui.boxes[0].text, "Span must be a number above 0: abc");
    EXPECT_EQ(m.maxPos, (Vec3{1, 4, 1}));
    EXPECT_EQ(m.minPos, (Vec3{-1, 0, -1}));
}

TEST_F(ExtentsTest, SpanThatWouldOverflowIsRefused) {
    cube();
    EXPECT_FALSE(ResizeModel(ctx, "2e39", false, true));  // a float cannot hold the corners
    EXPECT_TRUE(ResizeModel(ctx, "1e38", false, true));
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].text.find("too large"), std::string::npos);
    EXPECT_TRUE(std::isfinite(m.maxPos.y));
}

TEST_F(ExtentsTest, ScaledLineUsesTheShortestForm) {
    cube();
    ctx.dbgLevel = 1;
    EXPECT_TRUE(ResizeModel(ctx, "10", false, true));
    EXPECT_EQ(ui.log.back(), "Scaled 2.5");
    ctx.dbgLevel = 0;
    ui.log.clear();
    EXPECT_TRUE(ResizeModel(ctx, "20", false, true));
    EXPECT_TRUE(ui.log.empty());
}

}  // namespace
}  // namespace molv
