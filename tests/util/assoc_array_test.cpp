// The name/value table behind the settings file and XML attributes.
#include "util/assoc_array.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/harness.h"
#include "support/test_support.h"
#include "util/paths.h"

namespace molv {
namespace {

// Names in the order the link walk gives them.
std::vector<std::string> inOrder(const AssocArray& a) {
    std::vector<std::string> out;
    std::string n, v;
    std::int32_t i = -1;
    while (a.get_NameValueSeq(i, n, v)) out.push_back(n);
    return out;
}

TEST(AssocArray, NamesAreCaseInsensitiveAndKeptInOrder) {
    AssocArray a;
    EXPECT_TRUE(a.add("dflt_boneID", "3"));
    EXPECT_EQ(a.getValue("Dflt_BoneId"), "3");
    EXPECT_FALSE(a.NameExists("dflt_bone"));
    EXPECT_EQ(a.findValue("missing"), nullptr);
    EXPECT_FALSE(a.add("DFLT_BONEID", "4"));  // replaces
    EXPECT_FALSE(a.add("dflt_boneid", "5", true));
    EXPECT_EQ(a.getValue("dflt_boneid"), "4");
    // setvalue is called by nothing in src/ today.
    EXPECT_FALSE(a.setvalue("z", "1"));
    EXPECT_TRUE(a.setvalue("DFLT_boneid", "8"));
    for (const char* n : {"pear", "Apple", "fig"}) a.add(n, n);
    EXPECT_EQ(inOrder(a), (std::vector<std::string>{"APPLE", "DFLT_BONEID", "FIG", "PEAR"}));
    a.clear();
    EXPECT_EQ(a.count(), 0);
    EXPECT_FALSE(a.NameExists("fig"));
    a.add("only", "1");
    EXPECT_EQ(inOrder(a), std::vector<std::string>{"ONLY"});
}

TEST(AssocArray, GettersLeaveTheTargetOnMissingOrEmpty) {
    AssocArray a;
    a.add("empty", "");
    a.add("s", "text");
    std::string s = "keep";
    EXPECT_FALSE(a.getIfNotMT("missing", s));
    EXPECT_FALSE(a.getIfNotMT("empty", s));
    EXPECT_TRUE(a.getIfNotMT("S", s));
    EXPECT_EQ(s, "text");
    bool b = true;
    EXPECT_FALSE(a.getIfNotMTB("empty", b));
    EXPECT_FALSE(a.getIfNotMTB("s", b));
    EXPECT_TRUE(b);
}

TEST(AssocArray, NameValueFiles) {
    const std::string dir = test::tempDir("assoc");
    test::writeFile(dir + "c.cfg",
                    "; comment=1\r\n"
                    "  autoCentre = True  \r\n"
                    "=novalue\r\n"
                    "noequals\r\n"
                    "\r\n"
                    "path=C:\\a=b\r\n"
                    "AUTOCENTRE=False\r\n"
                    "[END]\r\n"
                    "after=1\r\n");
    AssocArray a;
    ASSERT_TRUE(a.load(dir + "c.cfg", "[END]"));
    EXPECT_EQ(a.count(), 2);
    EXPECT_EQ(a.getValue("autocentre"), "False");  // a later line replaces
    EXPECT_EQ(a.getValue("path"), "C:\\a=b");     // the first "=" splits
    EXPECT_FALSE(a.NameExists("after"));
    AssocArray all;
    ASSERT_TRUE(readNameValueFile(dir + "c.cfg", all));
    EXPECT_TRUE(all.NameExists("after"));
    EXPECT_FALSE(all.NameExists(""));
    AssocArray none;
    std::string err;
    EXPECT_FALSE(none.load(dir + "missing.cfg", {}, false, false, &err));
    EXPECT_NE(err.find("missing.cfg"), std::string::npos);
}

}  // namespace
}  // namespace molv
