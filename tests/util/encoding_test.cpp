#include "util/encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace molv {
namespace {

// UTF-16 bytes of the units, little or big endian, after an optional mark.
std::string units(std::initializer_list<unsigned> us, bool little, bool mark = true) {
    std::string b;
    if (mark) b += little ? "\xFF\xFE" : "\xFE\xFF";
    for (unsigned u : us) {
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        b += little ? lo : hi;
        b += little ? hi : lo;
    }
    return b;
}

TEST(Encoding, MarksAreRecognised) {
    EXPECT_EQ(stripUtf8Bom("\xEF\xBB\xBFv 1"), "v 1");
    EXPECT_EQ(stripUtf8Bom("\xEF\xBB"), "\xEF\xBB");
    EXPECT_EQ(utf16Mark("\xFF\xFE"), Utf16Mark::LittleEndian);
    EXPECT_EQ(utf16Mark("\xFE\xFF"), Utf16Mark::BigEndian);
    EXPECT_EQ(utf16Mark("\xFF"), Utf16Mark::None);
    EXPECT_EQ(utf16ToUtf8("plain"), "plain");
}

TEST(Encoding, Utf16BothOrdersWithPairs) {
    for (bool little : {true, false}) {
        // "v é 😀": a surrogate pair makes one four-byte character.
        EXPECT_EQ(utf16ToUtf8(units({'v', ' ', 0xE9, ' ', 0xD83D, 0xDE00}, little)), "v \xC3\xA9 \xF0\x9F\x98\x80");
        // An odd last byte is no unit.
        EXPECT_EQ(utf16ToUtf8(units({'a'}, little) + "x"), "a");
    }
}

TEST(Encoding, LoneSurrogatesBecomeQuestionMarksOrFail) {
    for (bool little : {true, false}) {
        EXPECT_EQ(utf16ToUtf8(units({'a', 0xD800, 'b'}, little)), "a?b");
        EXPECT_EQ(utf16ToUtf8(units({'a', 0xDC00}, little)), "a?");
        EXPECT_EQ(utf16ToUtf8(units({0xD83D}, little)), "?");
        std::string out;
        std::size_t bad = 0;
        const std::string b = units({'a', 'b', 0xDC00, 'c'}, little, false);
        EXPECT_FALSE(appendUtf16(out, b, 0, little, LoneSurrogate::Fail, &bad));
        EXPECT_EQ(bad, 4u);
    }
}

}  // namespace
}  // namespace molv
