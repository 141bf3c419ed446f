// The line-oriented tag reader under the Cal3D XML readers: line and
// character mode.
#include "cal3d/xml_tag.h"

#include <gtest/gtest.h>

#include <string>

#include "support/harness.h"
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
        : doc_(std::move(doc)), src_(doc_), charMode_(charMode) {}
    Tag next() {
        Tag t;
        t.ok = readXmlTag(ctx, src_, t.name, t.text, t.closing, t.attrs, charMode_);
        return t;
    }

    std::string doc_;
    XmlSource src_;
    test::TestContext t;
    ScriptedUI& ui = t.ui;
    Context& ctx = t.ctx;
    bool charMode_;
};

TEST(XmlTagLine, MismatchedClosingTagFails) {
    TagReader r("<float>1</floot>\n<next/>\n");
    Tag t = r.next();
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(r.src_.error(), "Mismatched tags: float : /floot");
    ASSERT_EQ(r.ui.boxes.size(), 1u);
    EXPECT_EQ(r.ui.boxes[0].text, "***** ERROR: Mismatched tags: float : /floot");
}

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

}  // namespace
}  // namespace molv
