#include "util/xml_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace molv {
namespace {

// The forward scanner.

std::vector<std::string> events(std::string_view doc) {
    XmlCursor c(doc);
    std::vector<std::string> out;
    for (;;) {
        switch (c.next()) {
            case XmlCursor::StartTag:
                out.push_back("<" + std::string(c.name()) + (c.selfClosing() ? "/" : "") + "@" +
                              std::to_string(c.line()));
                break;
            case XmlCursor::EndTag:
                out.push_back("</" + std::string(c.name()) + "@" + std::to_string(c.line()));
                break;
            case XmlCursor::Text:
                if (c.isCData() || c.text().find_first_not_of(" \t\r\n") != std::string_view::npos)
                    out.push_back("'" + std::string(c.text()) + "'");
                break;
            case XmlCursor::End:
                return out;
            case XmlCursor::Error:
                out.push_back("ERROR " + c.error() + "@" + std::to_string(c.line()));
                return out;
        }
    }
}

TEST(XmlCursor, YieldsTagsAndTextWhateverTheLayout) {
    EXPECT_EQ(events("<?xml version=\"1.0\"?>\n<!DOCTYPE c [ <!ENTITY x \"<>\"> ]>\n<c><a\n k='1'\n/>t<!-- no -->"
                     "<![CDATA[<raw>]]></c\n>"),
              (std::vector<std::string>{"<c@3", "<a/@3", "'t'", "'<raw>'", "</c@5"}));
}

TEST(XmlCursor, BrokenMarkupIsAnError) {
    EXPECT_EQ(events("<a>\n<!-- open"), (std::vector<std::string>{"<a@1", "ERROR comment not closed@2"}));
    EXPECT_EQ(events("<a>\n<b x=\"1>"), (std::vector<std::string>{"<a@1", "ERROR tag <b> not closed@2"}));
    EXPECT_EQ(events("<a><b <c>"), (std::vector<std::string>{"<a@1", "ERROR tag <b> not closed with \">\"@1"}));
    EXPECT_EQ(events("< a>"), (std::vector<std::string>{"ERROR a tag without a name@1"}));
    XmlCursor c("<");
    EXPECT_EQ(c.next(), XmlCursor::Error);
    EXPECT_EQ(c.next(), XmlCursor::Error);  // stays failed
}

// Encodings and entities.

TEST(XmlText, EntitiesAndCharacterReferences) {
    EXPECT_EQ(decodeXmlText("&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos;"), "<a> & \"b\" 'c'");
    EXPECT_EQ(decodeXmlText("&#65;&#x42;&#x20AC;&#128512;"), "AB\xE2\x82\xAC\xF0\x9F\x98\x80");
    // Unknown or malformed references stay as written.
    EXPECT_EQ(decodeXmlText("&nbsp; & x &#; &#xZZ; &#0; &#xD800; &#99999999;"),
              "&nbsp; & x &#; &#xZZ; &#0; &#xD800; &#99999999;");
}

std::string utf16(std::u16string_view s, bool little, bool mark) {
    std::string out;
    if (mark) out += little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t c : s) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        if (little)
            out += lo, out += hi;
        else
            out += hi, out += lo;
    }
    return out;
}

TEST(XmlText, Utf16IsConvertedToUtf8) {
    for (bool little : {true, false})
        for (bool mark : {true, false}) {
            std::string b = utf16(u"<a n=\"\u00e9\U0001F600\"/>", little, mark);
            ASSERT_TRUE(xmlNeedsRecoding(b));
            std::string err;
            ASSERT_TRUE(makeXmlUtf8(b, err)) << err;
            EXPECT_EQ(b, "<a n=\"\xC3\xA9\xF0\x9F\x98\x80\"/>");
            EXPECT_FALSE(xmlNeedsRecoding(b));
        }
}

TEST(XmlText, BrokenUtf16IsRefused) {
    std::string err;
    std::string odd = utf16(u"<a/>", true, true) + "x";
    EXPECT_FALSE(makeXmlUtf8(odd, err));
    EXPECT_NE(err.find("odd number of bytes"), std::string::npos);
    std::string lone = utf16(u"<a>", true, true);
    lone.append("\x00\xD8", 2);  // a high surrogate followed by "<"
    lone.append("<\0", 2);
    EXPECT_FALSE(makeXmlUtf8(lone, err));
    EXPECT_NE(err.find("unpaired surrogate"), std::string::npos);
    std::string utf32("\xFF\xFE\0\0<\0\0\0", 8);
    EXPECT_FALSE(makeXmlUtf8(utf32, err));
    EXPECT_NE(err.find("UTF-32"), std::string::npos);
}

TEST(XmlText, Utf8MarkIsRemovedAndPlainTextLeftAlone) {
    std::string b = "\xEF\xBB\xBF<a/>";
    std::string err;
    ASSERT_TRUE(makeXmlUtf8(b, err));
    EXPECT_EQ(b, "<a/>");
    std::string plain = "<a/>";
    EXPECT_FALSE(xmlNeedsRecoding(plain));
    ASSERT_TRUE(makeXmlUtf8(plain, err));
    EXPECT_EQ(plain, "<a/>");
}

}  // namespace
}  // namespace molv
