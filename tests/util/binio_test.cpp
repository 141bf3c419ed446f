// Byte buffers, small vectors and angles: the building blocks of the writers.
#include "util/binio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "support/test_support.h"
#include "util/smallvec.h"
#include "util/trig.h"

namespace molv {
namespace {

std::string bytesOf(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s.push_back(static_cast<char>(b));
    return s;
}

TEST(ByteWriter, LittleEndianGoldenBytes) {
    ByteWriter w;
    w.u8(0xAB);
    w.i16(-2);
    w.i16(0x1234);
    w.i32(0x01020304);
    w.i32(-1);
    w.u32(0x80000000u);
    w.f32(1.0f);
    w.f32(-2.5f);
    const std::string want = bytesOf({0xAB, 0xFE, 0xFF, 0x34, 0x12, 0x04, 0x03, 0x02, 0x01, 0xFF, 0xFF, 0xFF,
                                      0xFF, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x20,
                                      0xC0});
    EXPECT_EQ(test::firstDifference(want, w.bytes()), "");
}

TEST(ByteReader, RefusesToReadPastItsEnd) {
    const std::string data = bytesOf({1, 2, 3});
    ByteReader r(data);
    EXPECT_EQ(r.i16(), 0x0201);
    EXPECT_EQ(r.i32(), 0);  // only one byte left
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.pos(), 2u);  // a failed read does not move
    EXPECT_EQ(r.u8(), 0);    // failure sticks, even though a byte is left
    EXPECT_FALSE(r.ok());

    ByteReader s(data);
    EXPECT_TRUE(s.bytes(4).empty());
    EXPECT_FALSE(s.ok());

    ByteReader k(data);
    EXPECT_FALSE(k.skip(static_cast<std::size_t>(-1)));  // huge count must not wrap
    EXPECT_FALSE(k.ok());

    ByteReader e;
    EXPECT_EQ(e.u8(), 0);
    EXPECT_FALSE(e.ok());
}

TEST(ByteReader, SubCursorIsBoundedToItsChunk) {
    const std::string data = bytesOf({1, 0, 2, 0, 0, 0, 9});
    ByteReader r(data);
    EXPECT_EQ(r.i16(), 1);
    ByteReader chunk = r.sub(4);
    EXPECT_EQ(r.pos(), 6u);
    EXPECT_EQ(chunk.size(), 4u);
    EXPECT_EQ(chunk.i32(), 2);
    EXPECT_EQ(chunk.u8(), 0);  // the parent's next byte is outside the chunk
    EXPECT_FALSE(chunk.ok());
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.u8(), 9);

    ByteReader big(data);
    ByteReader none = big.sub(8);
    EXPECT_FALSE(big.ok());
    EXPECT_EQ(none.size(), 0u);
    EXPECT_EQ(none.i32(), 0);
    EXPECT_FALSE(none.ok());
}

struct Influence {
    int bone;
    float weight;
};

TEST(SmallVec, PushBackOfOwnElementSurvivesGrowth) {
    SmallVec<Influence, 1> v;
    v.push_back({7, 0.5f});
    v.push_back(v[0]);  // grows while the argument lives in the old storage
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[1].bone, 7);
    EXPECT_EQ(v[1].weight, 0.5f);
    for (int i = 0; i < 20; ++i) v.push_back(v[v.size() - 1]);
    EXPECT_EQ(v[21].bone, 7);
}

// Copies own their elements and moves hand them over, inline or spilled;
// the record stays as small as its inline room and two counts.
TEST(SmallVec, CopiesAndMovesInlineAndSpilled) {
    static_assert(sizeof(SmallVec<Influence, 1>) == 12);
    for (int n : {1, 5}) {
        SmallVec<Influence, 1> a;
        for (int i = 0; i < n; ++i) a.push_back({i, 0.25f});
        SmallVec<Influence, 1> copy = a;
        a[0].bone = 99;
        EXPECT_EQ(copy[0].bone, 0) << n;
        SmallVec<Influence, 1> moved = std::move(copy);
        ASSERT_EQ(moved.size(), static_cast<std::uint32_t>(n));
        EXPECT_EQ(moved[static_cast<std::uint32_t>(n - 1)].bone, n - 1);
        EXPECT_TRUE(copy.empty());
        copy = moved;
        moved = std::move(a);
        EXPECT_EQ(moved[0].bone, 99);
        EXPECT_EQ(copy.size(), static_cast<std::uint32_t>(n));
    }
}

TEST(Trig, QuarterTurnsAreExact) {
    for (const double deg : {0.0, 90.0, -90.0, 180.0, 270.0, 360.0, -450.0, 720.0}) {
        const SinCos sc = sinCosDegrees(deg);
        const long k = std::lround(deg / 90.0);
        const double s[4] = {0, 1, 0, -1}, c[4] = {1, 0, -1, 0};
        EXPECT_EQ(sc.s, s[((k % 4) + 4) % 4]) << deg;
        EXPECT_EQ(sc.c, c[((k % 4) + 4) % 4]) << deg;
    }
}

// Within a few ulps of the C library: only the last bits may differ from
// one library to another.
TEST(Trig, AgreesWithTheCLibrary) {
    for (double x = -20.0; x <= 20.0; x += 0.0137) {
        const SinCos r = sinCosRadians(x);
        EXPECT_NEAR(r.s, std::sin(x), 4e-16) << x;
        EXPECT_NEAR(r.c, std::cos(x), 4e-16) << x;
        // Degrees are reduced exactly; the C library's argument is rounded.
        const SinCos d = sinCosDegrees(x * 17.0);
        const double a = x * 17.0 * (3.14159265358979323846 / 180.0);
        EXPECT_NEAR(d.s, std::sin(a), 2e-15) << x;
        EXPECT_NEAR(d.c, std::cos(a), 2e-15) << x;
    }
    EXPECT_TRUE(std::isnan(sinCosRadians(NAN).s));
    EXPECT_TRUE(std::isnan(sinCosDegrees(INFINITY).c));
}

}  // namespace
}  // namespace molv
