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

// Text that is not UTF-8 is read as Latin-1 byte by byte; well-formed
// sequences around it are kept.
TEST(Encoding, IllFormedUtf8IsReadAsLatin1) {
    const struct {
        const char* in;
        const char* out;  // nullptr: well-formed, left alone
    } rows[] = {
        {"plain", nullptr},
        {"Caf\xC3\xA9 \xF0\x9F\x98\x80 \xE2\x82\xAC", nullptr},
        {"Caf\xE9", "Caf\xC3\xA9"},
        {"\xE9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},         // Latin-1 before UTF-8
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                 // an overlong "/"
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},  // a surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},  // beyond U+10FFFF
        {"cut \xE2\x82", "cut \xC3\xA2\xC2\x82"},
    };
    for (const auto& r : rows) {
        std::string out = "untouched";
        EXPECT_EQ(latin1Repaired(r.in, out), r.out != nullptr) << r.in;
        EXPECT_EQ(out, r.out ? r.out : "untouched") << r.in;
    }
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
