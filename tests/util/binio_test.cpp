#include "util/binio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "support/test_support.h"
#include "util/paths.h"

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

}  // namespace
}  // namespace molv
