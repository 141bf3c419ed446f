#include "formats/xml_tag.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/context.h"
#include "core/scripted_ui.h"
#include "util/assoc_array.h"

namespace molv {
namespace {

struct Tag {
    std::string name, text, closing;
    AssocArray attrs;
    bool ok = false;
};

class TagReader {
public:
    explicit TagReader(std::string doc, bool charMode = false)
        : doc_(std::move(doc)), src_(doc_), ctx(ui), charMode_(charMode) {}
    Tag next() {
        Tag t;
        t.ok = readXmlTag(ctx, src_, t.name, t.text, t.closing, t.attrs, charMode_);
        return t;
    }
    // Names of all tags up to the end (or the first failure, marked "FAIL").
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (;;) {
            Tag t = next();
            if (!t.ok) {
                if (!src_.atEnd()) out.push_back("FAIL");
                return out;
            }
            out.push_back(t.name);
        }
    }

    std::string doc_;
    XmlSource src_;
    ScriptedUI ui;
    Context ctx;
    bool charMode_;
};

// --- Line mode ------------------------------------------------------------

TEST(XmlTagLine, ElementWithTextAndClosingTagOnOneLine) {
    TagReader r("  <color sid=\"d\">0.8 0.5 0.25 1</color>\n");
    Tag t = r.next();
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.name, "color");
    EXPECT_EQ(t.text, "0.8 0.5 0.25 1");
    EXPECT_EQ(t.closing, "/color");
    EXPECT_EQ(t.attrs.getValue("sid"), "d");
    EXPECT_EQ(r.ctx.xml.xmlLine, "<color sid=\"d\">0.8 0.5 0.25 1</color>");
    EXPECT_TRUE(r.ui.boxes.empty());
    EXPECT_TRUE(r.ctx.lastErrText.empty());
}

TEST(XmlTagLine, OpeningTagWithQuotedAttributes) {
    TagReader r("<accessor count=\"12\" source=\"#a b\" stride=\"3\">\n");
    Tag t = r.next();
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.name, "accessor");
    EXPECT_EQ(t.attrs.count(), 3);
    EXPECT_EQ(t.attrs.getValue("count"), "12");
    EXPECT_EQ(t.attrs.getValue("SOURCE"), "#a b");
    EXPECT_EQ(t.attrs.getValue("stride"), "3");
    EXPECT_EQ(t.text, "");
    EXPECT_EQ(t.closing, "");
}

TEST(XmlTagLine, SelfClosingTags) {
    TagReader r("<input semantic=\"VERTEX\" source=\"#m-v\" offset=\"0\"/>\n<br/>\n");
    Tag t = r.next();
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.name, "input");
    EXPECT_EQ(t.closing, "/");
    EXPECT_EQ(t.attrs.getValue("offset"), "0");
    EXPECT_EQ(t.attrs.getValue("source"), "#m-v");
    t = r.next();
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.name, "br/");
    EXPECT_EQ(t.closing, "/");
}

TEST(XmlTagLine, AttributeValuesKeepTheirEntities) {
    TagReader r("<image id=\"a&amp;b\" name='x'>\n");
    Tag t = r.next();
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.attrs.getValue("id"), "a&amp;b");
    EXPECT_EQ(decodeXmlText(t.attrs.getValue("id")), "a&b");
}

TEST(XmlTagLine, MismatchedClosingTagFails) {
    TagReader r("<float>1</floot>\n<next/>\n");
    Tag t = r.next();
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(r.ctx.lastErrText, "Mismatched tags: float : /floot");
    ASSERT_EQ(r.ui.boxes.size(), 1u);
    EXPECT_EQ(r.ui.boxes[0].text, "***** ERROR: Mismatched tags: float : /floot");
}

TEST(XmlTagLine, CommentsDoctypeAndProcessingInstructionsAreSkipped) {
    TagReader r(
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE doc [\n"
        "  <!ELEMENT doc ANY>\n"
        "]>\n"
        "<!-- a comment\n"
        "  <inside/>\n"
        "  spread over lines -->\n"
        "<!DOCTYPE short>\n"
        "<doc>\n"
        "<!-- one line -->\n"
        "</doc>\n");
    EXPECT_EQ(r.names(), (std::vector<std::string>{"doc", "!-- one line --", "/doc"}));
    EXPECT_EQ(r.ctx.xml.xmlLineNo, 11);
}

TEST(XmlTagLine, TwoOpeningTagsOnALineAreAMismatch) {
    TagReader r("<a><b>\n");
    Tag t = r.next();
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(r.ctx.lastErrText, "Mismatched tags: a : b");
}

TEST(XmlTagLine, ExtraTextAfterAnElementIsAWarning) {
    TagReader r("<a>1</a> trailing\n");
    r.ctx.dbgLevel = 1;
    Tag t = r.next();
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.name, "a");
    EXPECT_EQ(r.ctx.lastErrText, "Extra : <a>1</a> trailing");
    EXPECT_TRUE(r.ui.sawLog("***** WARNING: Extra : <a>1</a> trailing"));
    EXPECT_TRUE(r.ui.boxes.empty());
}

TEST(XmlTagLine, ClosingTagAloneAndLineNumbers) {
    TagReader r("\r\n<a>\r\n\r\n   </a>\r\n");
    Tag t = r.next();
    EXPECT_EQ(t.name, "a");
    EXPECT_EQ(r.ctx.xml.xmlLineNo, 2);
    t = r.next();
    EXPECT_EQ(t.name, "/a");
    EXPECT_EQ(r.ctx.xml.xmlLineNo, 4);
    EXPECT_FALSE(r.next().ok);
}

TEST(XmlTagLine, Utf8MarkIsSkipped) {
    TagReader r("\xEF\xBB\xBF<doc>\n");
    EXPECT_EQ(r.next().name, "doc");
}

// --- Character mode ---------------------------------------------------------

TEST(XmlTagChar, SeveralTagsOnOneLine) {
    TagReader r("<a><b k=\"1\">t</b><c/><d></d></a>", true);
    Tag t = r.next();
    EXPECT_EQ(t.name, "a");
    EXPECT_EQ(t.closing, "");
    t = r.next();
    EXPECT_EQ(t.name, "b");
    EXPECT_EQ(t.text, "t");
    EXPECT_EQ(t.closing, "/b");
    EXPECT_EQ(t.attrs.getValue("k"), "1");
    t = r.next();
    EXPECT_EQ(t.name, "c/");
    t = r.next();
    EXPECT_EQ(t.name, "d");
    EXPECT_EQ(t.closing, "/d");
    t = r.next();
    EXPECT_EQ(t.name, "/a");
    EXPECT_FALSE(r.next().ok);
}

TEST(XmlTagChar, StartTagSpreadOverLines) {
    TagReader r("<doc>\n<source\n   id=\"p\"\n   name=\"q\">1 2\n3</source>\n</doc>\n", true);
    EXPECT_EQ(r.next().name, "doc");
    EXPECT_EQ(r.ctx.xml.xmlLineNo, 1);
    Tag t = r.next();
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.name, "source");
    EXPECT_EQ(t.attrs.getValue("id"), "p");
    EXPECT_EQ(t.attrs.getValue("name"), "q");
    EXPECT_EQ(t.text, "1 2\n3");
    EXPECT_EQ(t.closing, "/source");
    EXPECT_EQ(r.ctx.xml.xmlLineNo, 2);
    EXPECT_EQ(r.next().name, "/doc");
    EXPECT_EQ(r.ctx.xml.xmlLineNo, 6);
}

TEST(XmlTagChar, CommentsAndDeclarationsArePassedOver) {
    TagReader r("<?xml version='1.0'?><!DOCTYPE d [<!ENTITY e \"x>y\">]><!-- c\n > --><d/>", true);
    EXPECT_EQ(r.names(), (std::vector<std::string>{"d/"}));
}

TEST(XmlTagChar, MismatchFails) {
    TagReader r("<a><b>x</c></a>", true);
    EXPECT_EQ(r.next().name, "a");
    EXPECT_FALSE(r.next().ok);
    EXPECT_EQ(r.ctx.lastErrText, "Mismatched tags: b : /c");
}

TEST(XmlTagChar, UnclosedTagAtTheEndStops) {
    TagReader r("<a><b k=\"v", true);
    EXPECT_EQ(r.next().name, "a");
    Tag t = r.next();  // what there is of it
    EXPECT_TRUE(t.ok);
    EXPECT_FALSE(r.next().ok);
}

// --- readXmlElement -----------------------------------------------------------

TEST(XmlElement, KeepsThePathOfOpenElements) {
    std::string doc = "<a>\n<b x=\"1\">\n<c>v</c>\n<d/>\n</b>\n</a>\n";
    XmlSource src(doc);
    ScriptedUI ui;
    Context ctx(ui);
    std::string name, path, text;
    AssocArray attrs;
    std::vector<std::string> paths;
    while (true) {
        path.clear();
        if (!readXmlElement(ctx, src, name, path, text, attrs)) break;
        paths.push_back(name + "|" + path + "|" + ctx.xml.xmlPath);
    }
    // A self-closing element gives no path; a closing tag keeps the name.
    EXPECT_EQ(paths, (std::vector<std::string>{"a|a|a", "b|a__b|a__b", "c|a__b__c|a__b", "d||a__b", "d||a", "d||"}));
    EXPECT_EQ(ctx.xml.xmlDepth, 0);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(XmlElement, ClosingTagWithNothingOpenIsAnUnderflow) {
    std::string doc = "</a>\n";
    XmlSource src(doc);
    ScriptedUI ui;
    Context ctx(ui);
    std::string name, path, text;
    AssocArray attrs;
    EXPECT_FALSE(readXmlElement(ctx, src, name, path, text, attrs));
    EXPECT_TRUE(ui.sawBox("tag nesting underflow"));
}

TEST(XmlElement, NestingDeeperThanTheStackIsRefused) {
    std::string doc;
    for (int i = 0; i < kXmlMaxDepth + 5; ++i) doc += "<e" + std::to_string(i) + ">\n";
    XmlSource src(doc);
    ScriptedUI ui;
    Context ctx(ui);
    std::string name, path, text;
    AssocArray attrs;
    int read = 0;
    while (readXmlElement(ctx, src, name, path, text, attrs)) ++read;
    EXPECT_EQ(read, kXmlMaxDepth);
    EXPECT_EQ(ctx.xml.xmlDepth, kXmlMaxDepth);
    EXPECT_TRUE(ui.sawBox("tag nesting too deep"));
    EXPECT_TRUE(ui.sawBox("at line 21"));
}

// --- Forward scanner ----------------------------------------------------------

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

TEST(XmlCursor, LineTextIsTheItemsLineCapped) {
    std::string doc = "<a>\n   <b k=\"1\">x</b> tail\n" + std::string(500, 'y') + "<c/>";
    XmlCursor c(doc);
    ASSERT_EQ(c.next(), XmlCursor::StartTag);
    ASSERT_EQ(c.next(), XmlCursor::Text);
    ASSERT_EQ(c.next(), XmlCursor::StartTag);
    EXPECT_EQ(c.name(), "b");
    EXPECT_EQ(c.lineText(), "<b k=\"1\">x</b> tail");
    while (c.next() != XmlCursor::StartTag) {
    }
    EXPECT_EQ(c.name(), "c");
    EXPECT_EQ(c.lineText(40).size(), 40u);
}

TEST(XmlCursor, AttributesAreFoundAndDecoded) {
    std::string_view raw = " id=\"a&amp;b&#x20;c\"  Name = 'q&quot;' empty=\"\"";
    std::string v;
    EXPECT_TRUE(xmlAttr(raw, "ID", v));
    EXPECT_EQ(v, "a&b c");
    EXPECT_TRUE(xmlAttr(raw, "name", v));
    EXPECT_EQ(v, "q\"");
    EXPECT_TRUE(xmlAttr(raw, "empty", v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(xmlAttr(raw, "missing", v));
    EXPECT_FALSE(xmlAttr(" broken=\"x", "broken", v));
    EXPECT_FALSE(xmlAttr(" noquote=x", "noquote", v));
}

// --- Encodings and entities -------------------------------------------------------

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
