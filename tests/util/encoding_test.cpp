#include "util/encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "util/xml_text.h"

namespace molv {
namespace {

// UTF-16 bytes of the units, little or big endian, after an optional mark.
std::string units(std::u16string_view us, bool little, bool mark = true) {
    std::string b;
    if (mark) b += little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t u : us) {
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
    EXPECT_EQ(utf16Mark(std::string_view("\xFF\xFE", 1)), Utf16Mark::None);  // the mark's second byte is not there
    EXPECT_EQ(utf16ToUtf8("plain"), "plain");
}

TEST(Encoding, Utf16BothOrdersWithPairsAndLoneSurrogates) {
    for (bool little : {true, false}) {
        // A surrogate pair makes one four-byte character.
        EXPECT_EQ(utf16ToUtf8(units(u"v \u00e9 \U0001F600", little)), "v \xC3\xA9 \xF0\x9F\x98\x80");
        // An odd last byte is no unit.
        EXPECT_EQ(utf16ToUtf8(units(u"a", little) + "x"), "a");
        // A lone surrogate becomes a question mark, or fails where asked to.
        EXPECT_EQ(utf16ToUtf8(units(u"a\xD800" u"b", little)), "a?b");
        EXPECT_EQ(utf16ToUtf8(units(u"a\xDC00", little)), "a?");
        EXPECT_EQ(utf16ToUtf8(units(u"\xD83D", little)), "?");
        std::string out;
        std::size_t bad = 0;
        EXPECT_FALSE(appendUtf16(out, units(u"ab\xDC00" u"c", little, false), 0, little, LoneSurrogate::Fail, &bad));
        EXPECT_EQ(bad, 4u);
    }
}

// XML files are read as UTF-8 whatever they were written in.
TEST(XmlText, Utf16IsConvertedToUtf8) {
    for (bool little : {true, false})
        for (bool mark : {true, false}) {
            std::string b = units(u"<a n=\"\u00e9\U0001F600\"/>", little, mark);
            ASSERT_TRUE(xmlNeedsRecoding(b));
            std::string err;
            ASSERT_TRUE(makeXmlUtf8(b, err)) << err;
            EXPECT_EQ(b, "<a n=\"\xC3\xA9\xF0\x9F\x98\x80\"/>");
            EXPECT_FALSE(xmlNeedsRecoding(b));
        }
    std::string b = "\xEF\xBB\xBF<a/>";
    std::string err;
    ASSERT_TRUE(makeXmlUtf8(b, err));
    EXPECT_EQ(b, "<a/>");
    EXPECT_FALSE(xmlNeedsRecoding(b));
    ASSERT_TRUE(makeXmlUtf8(b, err));
    EXPECT_EQ(b, "<a/>");
}

TEST(XmlText, BrokenUtf16IsRefused) {
    const std::pair<std::string, const char*> rows[] = {
        {units(u"<a/>", true) + "x", "odd number of bytes"},
        {units(u"<a>\xD800<", true), "unpaired surrogate"},  // a high surrogate followed by "<"
        {std::string("\xFF\xFE\0\0<\0\0\0", 8), "UTF-32"},
    };
    for (auto [bytes, want] : rows) {
        std::string err;
        EXPECT_FALSE(makeXmlUtf8(bytes, err));
        EXPECT_NE(err.find(want), std::string::npos) << err;
    }
}

}  // namespace
}  // namespace molv
