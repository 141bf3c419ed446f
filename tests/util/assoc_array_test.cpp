// The name/value table behind the settings file and XML attributes.
#include "util/assoc_array.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "util/paths.h"

namespace molv {
namespace {

// Names are one whatever their case; the walk gives them sorted, each once.
TEST(AssocArray, NamesAreCaseInsensitiveAndWalkedInOrder) {
    AssocArray a;
    for (const char* n : {"pear", "Apple", "APPLE", "fig"}) a.add(n, n);
    EXPECT_EQ(a.getValue("apple"), "APPLE");
    std::vector<std::string> names;
    std::string n, v;
    std::int32_t i = -1;
    while (a.get_NameValueSeq(i, n, v)) names.push_back(n);
    EXPECT_EQ(names, (std::vector<std::string>{"APPLE", "FIG", "PEAR"}));
}

// A settings file (tests/data/util/names.cfg): comments, blanks and lines
// without a name are passed by, up to the end marker when one is given.
TEST(AssocArray, NameValueFiles) {
    const std::string cfg = test::dataPath("util/names.cfg");
    AssocArray a;
    ASSERT_TRUE(a.load(cfg, "[END]"));
    EXPECT_EQ(a.count(), 2);
    EXPECT_EQ(a.getValue("autocentre"), "False");  // a later line replaces
    EXPECT_EQ(a.getValue("path"), "C:\\a=b");     // the first "=" splits
    EXPECT_FALSE(a.NameExists("after"));
    AssocArray all;
    ASSERT_TRUE(readNameValueFile(cfg, all));
    EXPECT_TRUE(all.NameExists("after"));
    EXPECT_FALSE(all.NameExists(""));
    std::string err;
    EXPECT_FALSE(all.load(test::dataPath("util/missing.cfg"), {}, false, false, &err));
    EXPECT_NE(err.find("missing.cfg"), std::string::npos);
}

}  // namespace
}  // namespace molv
