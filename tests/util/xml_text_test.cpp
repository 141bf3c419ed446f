#include "util/xml_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace molv {
namespace {

// The forward scanner; after an error it only ever gives that error again.
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
                if (c.next() != XmlCursor::Error) out.push_back("went on after an error");
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
    EXPECT_EQ(events("<"), (std::vector<std::string>{"ERROR a tag without a name@1"}));
}

TEST(XmlText, EntitiesAndCharacterReferences) {
    EXPECT_EQ(decodeXmlText("&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos;"), "<a> & \"b\" 'c'");
    EXPECT_EQ(decodeXmlText("&#65;&#x42;&#x20AC;&#128512;"), "AB\xE2\x82\xAC\xF0\x9F\x98\x80");
    // Unknown or malformed references stay as written.
    EXPECT_EQ(decodeXmlText("&nbsp; & x &#; &#xZZ; &#0; &#xD800; &#99999999;"),
              "&nbsp; & x &#; &#xZZ; &#0; &#xD800; &#99999999;");
}

}  // namespace
}  // namespace molv
