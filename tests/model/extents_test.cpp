#include "model/extents.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "support/harness.h"

namespace molv {
namespace {

class ExtentsTest : public ::testing::Test, public test::TestContext {
protected:
    ExtentsTest() {
        // The fix-ups off, as in a plain resize; tests switch them on where needed.
        ctx.settings.autoResize = false;
        ctx.settings.autoZeroBsHt = false;
        ctx.settings.autoCentre = false;
    }

    // The twin is the same point with the height third, as the readers store it.
    void vertex(float x, float y, float z) {
        std::int32_t i = -1;
        m.AddVertex(i, x, y, z, x, z, y);
    }

    // The cube from (-1, 0, -1) to (1, 4, 1) as one mesh.
    void cube() {
        m.dssAddMesh("cube", 0);
        for (float x : {-1.0f, 1.0f})
            for (float y : {0.0f, 4.0f})
                for (float z : {-1.0f, 1.0f}) vertex(x, y, z);
    }

    Vec3 at(int i) const { return vtx(i).pos; }
    // The measured box, lowest corner first.
    using Box = std::pair<Vec3, Vec3>;
    Box box() const { return {m.minPos, m.maxPos}; }
};

TEST_F(ExtentsTest, CubeExtents) {
    cube();
    SetMaxMinsM(ctx, ctx.model);
    EXPECT_EQ(box(), (Box{{-1, 0, -1}, {1, 4, 1}}));
    EXPECT_EQ(m.ctrPos, (Vec3{0, 2, 0}));
    EXPECT_EQ(m.spanPos, (Vec3{2, 4, 2}));
    EXPECT_EQ(m.spanZup, (Vec3{2, 2, 4}));
    EXPECT_EQ(m.ctrZup, (Vec3{0, 0, 2}));
    EXPECT_EQ(m.maxSpan, 4.0f);
    EXPECT_EQ(ExtentsText(ctx.model, true),
              "avg RT(x)= 0.00   UP(y)= 2.00   BK(z)= 0.00\r\n"
              "min RT(x)= -1.00   UP(y)= 0.00   BK(z)= -1.00\r\n"
              "max RT(x)= 1.00   UP(y)= 4.00   BK(z)= 1.00\r\n"
              "Span RT(x)= 2.00   UP(y)= 4.00   BK(z)= 2.00");
    EXPECT_EQ(ExtentsText(ctx.model, false).find('\n'), std::string::npos);
    EXPECT_EQ(ExtentsText(ctx.model, false).substr(0, 44), "avg RT(x)= 0.00   UP(y)= 2.00   BK(z)= 0.00\r");
}

TEST_F(ExtentsTest, CentreOnAllAxesAndAtAGivenHeight) {
    cube();
    CentreModel(ctx, ctx.model, false, 0);
    EXPECT_EQ(box(), (Box{{-1, -2, -1}, {1, 2, 1}}));
    EXPECT_EQ(m.ctrZup, (Vec3{0, 0, 0}));
    // As before a write: the middle at height 80.
    CentreModel(ctx, ctx.model, true, 80 - m.spanPos.y / 2);
    EXPECT_EQ(m.ctrPos, (Vec3{0, 80, 0}));
    EXPECT_EQ(m.minZup.z, 78.0f);
}

TEST_F(ExtentsTest, ATwinThatIsNotThePositionSwappedIsMeasuredAndMovedApart) {
    cube();
    // As a raw glTF read or a switched axis gives: the twin is not pos with y and z swapped.
    std::int32_t i = -1;
    m.AddVertex(i, 0, 0, 0, 0, 0, 10);
    SetMaxMinsM(ctx, ctx.model);
    EXPECT_EQ(m.spanPos, (Vec3{2, 4, 2}));
    EXPECT_EQ(m.spanZup, (Vec3{2, 2, 10}));
    EXPECT_EQ(m.maxSpan, 10.0f);
    CentreModel(ctx, ctx.model, true, 1, true);
    EXPECT_EQ(at(0), (Vec3{-1, 1, -1}));
    EXPECT_EQ(m.zupOf(0), (Vec3{-1, -1, 1}));
    EXPECT_EQ(m.zupOf(8), (Vec3{0, 0, 11}));
}

TEST_F(ExtentsTest, ResizeDoublesAboutTheCentre) {
    cube();
    ctx.dbgLevel = 1;
    EXPECT_TRUE(ResizeModel(ctx, "8", false, false));
    EXPECT_EQ(box(), (Box{{-2, -2, -2}, {2, 6, 2}}));
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

// A cancelled or empty answer, or a span that would destroy the model,
// changes nothing.
TEST_F(ExtentsTest, RefusedOrCancelledSpansChangeNothing) {
    cube();
    SetMaxMinsM(ctx, ctx.model);  // the fix-ups measure before they resize
    ctx.settings.autoZeroBsHt = true;
    ui.inputs.push_back(std::nullopt);
    ui.inputs.push_back(std::string("  "));
    EXPECT_FALSE(ResizeModel(ctx, "", false, false));
    EXPECT_FALSE(ResizeModel(ctx, "", false, false));
    ASSERT_EQ(ui.prompts.size(), 2u);
    EXPECT_NE(ui.prompts[0].find("This will reset Zero Base height "), std::string::npos);
    EXPECT_TRUE(ui.boxes.empty());
    for (const char* bad : {"abc", "-8", "0", "8cm", "1e39"}) EXPECT_FALSE(ResizeModel(ctx, bad, false, true)) << bad;
    EXPECT_EQ(ui.boxes.size(), 5u);
    EXPECT_EQ(ui.boxes[0].text, "Span must be a number above 0: abc");
    EXPECT_EQ(box(), (Box{{-1, 0, -1}, {1, 4, 1}}));
}

TEST_F(ExtentsTest, OnlyVerticesThatFacesUseAreMeasured) {
    cube();
    vertex(1000, -50, 3);           // 8: a leftover no face uses
    vertex(3e38f, 3e38f, -3e38f);   // 9: another, near the largest float
    // Faces over the cube's eight corners, and one naming a vertex that does
    // not exist: it is not written, so its corners do not count either.
    m.AddFace(0, 0, 0, 1, 2);
    m.AddFace(0, 0, 3, 4, 5);
    m.AddFace(0, 0, 5, 6, 7);
    m.AddFace(0, 0, 8, 9, 42);
    SetMaxMinsM(ctx, ctx.model);
    EXPECT_EQ(box(), (Box{{-1, 0, -1}, {1, 4, 1}}));
    EXPECT_EQ(m.maxSpan, 4.0f);

    // The fix-ups follow: lowest used point at 0, centred, largest span 100;
    // the leftovers move along and stay at the edge of the float range.
    ctx.settings.autoZeroBsHt = true;
    ctx.settings.dflt_autosize = 100;
    EXPECT_TRUE(ResizeModel(ctx, "100", false, false));
    CentreModel(ctx, ctx.model, true, 0);
    EXPECT_EQ(box(), (Box{{-25, 0, -25}, {25, 100, 25}}));
    EXPECT_EQ(m.minZup.z, 0.0f);
    EXPECT_EQ(at(8).x, 25000.0f);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(std::isfinite(at(9)[k])) << k;
        EXPECT_TRUE(std::isfinite(zup(9)[k])) << k;
    }
}

TEST_F(ExtentsTest, WithoutFacesEveryVertexIsMeasured) {
    cube();
    vertex(10, -5, 3);
    m.AddFace(0, 0, 0, 1, 99);  // names a missing vertex: uses nothing
    SetMaxMinsM(ctx, ctx.model);
    EXPECT_EQ(box(), (Box{{-1, -5, -1}, {10, 4, 3}}));
    // Measuring one mesh: a second mesh of points counts all its vertices,
    // the first (with faces) only what its faces use.
    m.AddFace(0, 0, 0, 1, 2);
    m.dssAddMesh("points", 0);
    vertex(7, 7, 7);
    vertex(8, 9, 10);
    SetMaxMinsM(ctx, ctx.model, 1);
    EXPECT_EQ(box(), (Box{{7, 7, 7}, {8, 9, 10}}));
    SetMaxMinsM(ctx, ctx.model, 0);
    EXPECT_EQ(box(), (Box{{-1, 0, -1}, {-1, 4, 1}}));
}

// Large models are measured in two halves at once; the box must be the one
// a single sweep finds, down to which of 0 and -0 came first.
TEST_F(ExtentsTest, LargeModelsMeasureAsOneSweepWould) {
    constexpr int n = 150000;
    m.dssAddMesh("grid", 0);
    for (int i = 0; i < n; ++i) {
        const float y = i == 10 ? -0.0f : i == n - 10 ? 0.0f : -1.0f - static_cast<float>(i % 7);
        const float x = i == n / 2 ? 2000.0f : static_cast<float>(i % 1000) - (i == n - 5 ? 5000.0f : 0.0f);
        vertex(x, y, static_cast<float>(i) * 0.5f);
    }
    vertex(1e6f, 1e6f, 1e6f);  // no face uses it
    for (int i = 0; i + 2 < n; i += 3) m.AddFace(0, 0, i, i + 1, i + 2);

    const auto oneSweep = [&] {
        Vec3 mn{9e9f, 9e9f, 9e9f}, mx{-9e9f, -9e9f, -9e9f};
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < 3; ++k) {
                if (at(i)[k] > mx[k]) mx[k] = at(i)[k];
                if (at(i)[k] < mn[k]) mn[k] = at(i)[k];
            }
        return Box{mn, mx};
    };
    SetMaxMinsM(ctx, ctx.model);
    EXPECT_EQ(box(), oneSweep());
    EXPECT_EQ(m.minPos.x, -4005.0f);
    EXPECT_EQ(m.maxPos.x, 2000.0f);  // the vertex where the halves meet
    EXPECT_TRUE(std::signbit(m.maxPos.y));  // -0 came first

    ctx.settings.autoZeroBsHt = true;
    EXPECT_TRUE(ResizeModel(ctx, "100", false, true));
    CentreModel(ctx, ctx.model, true, 0, true);
    EXPECT_EQ(box(), oneSweep());
    EXPECT_EQ(m.minPos.y, 0.0f);
    EXPECT_EQ(m.maxSpan, 100.0f);
}

}  // namespace
}  // namespace molv
