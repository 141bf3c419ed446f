// The line-oriented tag reader under the Cal3D XML readers: line and
// character mode.
#include "cal3d/xml_tag.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/harness.h"
#include "util/assoc_array.h"

namespace molv {
namespace {

struct Tag {
    std::string name, text, closing;
    AssocArray attrs;
    bool ok = false;
};

struct TagReader : test::TestContext {
    std::string doc;  // the source reads it in place
    XmlSource src;
    bool charMode;
    explicit TagReader(std::string d, bool chars = false) : doc(std::move(d)), src(doc), charMode(chars) {}
    Tag next() {
        Tag t;
        t.ok = readXmlTag(ctx, src, t.name, t.text, t.closing, t.attrs, charMode);
        return t;
    }
};

TEST(XmlTagLine, MismatchedClosingTagFails) {
    TagReader r("<float>1</floot>\n<next/>\n");
    Tag t = r.next();
    EXPECT_FALSE(t.ok);
    EXPECT_EQ(r.src.error(), "Mismatched tags: float : /floot");
    ASSERT_EQ(r.ui.boxes.size(), 1u);
    EXPECT_EQ(r.ui.boxes[0].text, "***** ERROR: Mismatched tags: float : /floot");
}

// Each tag as "name text closing k", k its attribute of that name.
TEST(XmlTagChar, SeveralTagsOnOneLine) {
    TagReader r("<a><b k=\"1\">t</b><c/><d></d></a>", true);
    std::vector<std::string> got;
    for (Tag t = r.next(); t.ok; t = r.next())
        got.push_back(t.name + " " + t.text + " " + t.closing + " " + t.attrs.getValue("k"));
    EXPECT_EQ(got, (std::vector<std::string>{"a   ", "b t /b 1", "c/  / ", "d  /d ", "/a   "}));
}

}  // namespace
}  // namespace molv
