#include "util/assoc_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "convert/context.h"
#include "core/scripted_ui.h"
#include "support/test_support.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {
namespace {

std::string key(int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "k%05d", i);
    return buf;
}

// Names in the order the link walk gives them.
std::vector<std::string> inOrder(const AssocArray& a) {
    std::vector<std::string> out;
    std::string n, v;
    std::int32_t i = -1;
    while (a.get_NameValueSeq(i, n, v)) out.push_back(n);
    return out;
}

TEST(AssocArray, NamesAreCaseInsensitiveAndStoredUpper) {
    AssocArray a;
    EXPECT_TRUE(a.add("dflt_boneID", "3"));
    EXPECT_EQ(a.getValue("DFLT_BONEID"), "3");
    EXPECT_EQ(a.getValue("Dflt_BoneId"), "3");
    EXPECT_TRUE(a.NameExists("dflt_boneid"));
    EXPECT_FALSE(a.NameExists("dflt_bone"));
    std::string n, v;
    ASSERT_TRUE(a.get_NameValue(1, n, v));
    EXPECT_EQ(n, "DFLT_BONEID");
    EXPECT_EQ(a.getValue("missing"), "");
    EXPECT_EQ(a.findValue("missing"), nullptr);
}

TEST(AssocArray, AddReplacesUnlessNewOnly) {
    AssocArray a;
    EXPECT_TRUE(a.add("x", "1"));
    EXPECT_FALSE(a.add("X", "2"));
    EXPECT_EQ(a.getValue("x"), "2");
    EXPECT_FALSE(a.add("x", "3", true));
    EXPECT_EQ(a.getValue("x"), "2");
    EXPECT_EQ(a.count(), 1);
    EXPECT_EQ(a.getOrAdd("x", "9"), "2");
    EXPECT_EQ(a.getOrAdd("y", "9"), "9");
    EXPECT_EQ(a.count(), 2);
    EXPECT_FALSE(a.setvalue("z", "1"));
    EXPECT_FALSE(a.NameExists("z"));
    EXPECT_TRUE(a.setvalue("Y", "8"));
    EXPECT_EQ(a.getValue("y"), "8");
    EXPECT_TRUE(a.setOrAddValue("z", "1"));
    EXPECT_FALSE(a.setOrAddValue("z", "2"));
    EXPECT_EQ(a.getValue("z"), "2");
}

TEST(AssocArray, CursorReportsFoundOrSuccessor) {
    AssocArray a;
    a.add("b");  // entry 1
    a.add("d");  // entry 2
    EXPECT_EQ(a.getNameNdx("b"), 1);
    EXPECT_EQ(a.getNameNdx("c"), -2);  // would go before entry 2
    EXPECT_EQ(a.getNameNdx("a"), -1);
    EXPECT_EQ(a.getNameNdx("e"), 0);   // at the end
    EXPECT_EQ(a.cursor(), 0);
}

TEST(AssocArray, SeqWalksInNameOrderInsertionKeepsNumbers) {
    AssocArray a;
    for (const char* n : {"pear", "Apple", "fig", "banana", "cherry"}) a.add(n, n);
    EXPECT_EQ(inOrder(a), (std::vector<std::string>{"APPLE", "BANANA", "CHERRY", "FIG", "PEAR"}));
    std::string n, v;
    ASSERT_TRUE(a.get_NameValue(4, n, v));  // fourth inserted
    EXPECT_EQ(n, "BANANA");
    EXPECT_EQ(v, "banana");
    EXPECT_FALSE(a.get_NameValue(6, n, v));
    EXPECT_FALSE(a.get_NameValue(0, n, v));
    EXPECT_FALSE(a.get_NameValue(-1, n, v));
    EXPECT_TRUE(a.getNameValueNdx(5, n, v));
    EXPECT_EQ(n, "CHERRY");
    EXPECT_FALSE(a.getNameValueNdx(0, n, v));

    std::int32_t i = -1;
    int visited = 0;
    while (a.get_NameValueSeq(i, n, v)) ++visited;
    EXPECT_EQ(visited, 5);
    EXPECT_EQ(i, 0);
    EXPECT_FALSE(a.get_NameValueSeq(i, n, v));  // stays ended
    i = 99;
    EXPECT_FALSE(a.get_NameValueSeq(i, n, v));

    AssocArray empty;
    i = -1;
    EXPECT_FALSE(empty.get_NameValueSeq(i, n, v));
}

TEST(AssocArray, OrderIsByCharacterCode) {
    AssocArray a;
    for (const char* n : {"b", "_a", "a1", "a", "\xC3\xA9", "A0"}) a.add(n);
    EXPECT_EQ(inOrder(a), (std::vector<std::string>{"A", "A0", "A1", "B", "_A", "\xC3\xA9"}));
}

TEST(AssocArray, PartialNameFindsFirstThenContinues) {
    AssocArray a;
    a.add("texture2", "t2");
    a.add("colour", "c");
    a.add("texture1", "t1");
    a.add("texturz", "z");
    std::string val;
    EXPECT_EQ(a.getPartialName("tex", val), "TEXTURE1");
    EXPECT_EQ(val, "t1");
    EXPECT_EQ(a.getPartialName("tex", val, true), "TEXTURE2");
    EXPECT_EQ(val, "t2");
    EXPECT_EQ(a.getPartialName("texture", val, true), "");  // "TEXTURZ" does not match
    EXPECT_EQ(val, "t2");
    EXPECT_EQ(a.getPartialName("texture", val, true), "");
    EXPECT_EQ(a.getPartialName("col", val), "COLOUR");
    EXPECT_EQ(a.getPartialName("zzz", val), "");
    EXPECT_EQ(a.getPartialName("colour", val), "COLOUR");  // a whole name is a prefix too
}

TEST(AssocArray, IndexHoldsEveryStepthEntry) {
    AssocArray a;
    std::vector<int> order(250);
    for (int i = 0; i < 250; ++i) order[static_cast<std::size_t>(i)] = i;
    std::mt19937 rng(7);
    std::shuffle(order.begin(), order.end(), rng);
    for (int i : order) a.add(key(i), std::to_string(i));
    a.rebuild_Ndx();
    EXPECT_EQ(a.indexStep(), 2);
    ASSERT_EQ(a.indexCount(), 100);
    std::string n, v;
    for (int slot = 1; slot <= 100; ++slot) {
        ASSERT_TRUE(a.get_NameValue(a.indexEntry(slot), n, v));
        EXPECT_EQ(n, toUpperAscii(key(2 * slot - 1))) << slot;  // the 2nd, 4th, ... name in order
    }
    for (int i = 0; i < 250; ++i) EXPECT_EQ(a.getValue(key(i)), std::to_string(i));
}

TEST(AssocArray, IndexStepRoundsHalvesToEven) {
    AssocArray a;
    for (int i = 0; i < 350; ++i) a.add(key(i));
    a.rebuild_Ndx();
    EXPECT_EQ(a.indexStep(), 4);  // 3.5 -> 4
    AssocArray b;
    for (int i = 0; i < 5; ++i) b.add(key(i));
    b.rebuild_Ndx();
    EXPECT_EQ(b.indexStep(), 1);
    EXPECT_EQ(b.indexCount(), 5);
}

TEST(AssocArray, EntriesAddedAfterRebuildAreFound) {
    AssocArray a;
    for (int i = 0; i < 3000; i += 2) a.add(key(i), "even");
    a.rebuild_Ndx();
    for (int i = 1; i < 3000; i += 2) EXPECT_TRUE(a.add(key(i), "odd"));
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(a.getValue(key(i)), i % 2 ? "odd" : "even") << i;
    EXPECT_FALSE(a.NameExists("k99999"));
    EXPECT_FALSE(a.NameExists("a"));
    std::vector<std::string> names = inOrder(a);
    ASSERT_EQ(names.size(), 3000u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

TEST(AssocArray, SmallSetSearchesThroughTheIndex) {
    // Below the size where the ordered map takes over, searches start from
    // the sparse index; entries added after its rebuild must still be found
    // and linked in order.
    AssocArray a;
    for (int i = 0; i < 60; i += 2) a.add(key(i), "even");
    a.rebuild_Ndx();
    EXPECT_EQ(a.indexCount(), 30);
    for (int i = 1; i < 60; i += 2) EXPECT_TRUE(a.add(key(i), "odd"));
    EXPECT_TRUE(a.add("a", "first"));
    EXPECT_TRUE(a.add("z", "last"));
    EXPECT_EQ(a.count(), 62);
    for (int i = 0; i < 60; ++i) ASSERT_EQ(a.getValue(key(i)), i % 2 ? "odd" : "even") << i;
    EXPECT_EQ(a.getValue("A"), "first");
    EXPECT_EQ(a.getNameNdx("k00005x"), -a.getNameNdx("k00006"));
    std::vector<std::string> names = inOrder(a);
    ASSERT_EQ(names.size(), 62u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(names.front(), "A");
    EXPECT_EQ(names.back(), "Z");
}

TEST(AssocArray, ManyEntriesStayFast) {
    // Ids of a large Collada file: insertions and lookups must not walk the
    // whole list each time.
    AssocArray a;
    const int n = 100000;
    for (int i = 0; i < n; ++i) a.add("id" + std::to_string((i * 7919) % n), std::to_string(i));
    EXPECT_EQ(a.count(), n);
    for (int i = 0; i < n; i += 97) EXPECT_TRUE(a.NameExists("ID" + std::to_string(i)));
}

TEST(AssocArray, ClearEmptiesAndIsReusable) {
    AssocArray a;
    for (int i = 0; i < 30; ++i) a.add(key(i), "v");
    a.clear();
    EXPECT_EQ(a.count(), 0);
    EXPECT_FALSE(a.NameExists(key(3)));
    EXPECT_EQ(inOrder(a), std::vector<std::string>{});
    a.add("only", "1");
    EXPECT_EQ(inOrder(a), std::vector<std::string>{"ONLY"});
    std::string n, v;
    EXPECT_FALSE(a.get_NameValue(2, n, v));
}

TEST(AssocArray, Adebug) {
    AssocArray a;
    a.add("name", "value");
    EXPECT_EQ(a.adebug(1), "NAME: value");
    EXPECT_EQ(a.adebug(2), "");
    EXPECT_EQ(a.adebug(0), "");
}

TEST(AssocArray, TypedGettersLeaveTargetOnMissingOrEmpty) {
    AssocArray a;
    a.add("empty", "");
    a.add("s", "text");
    std::string s = "keep";
    EXPECT_FALSE(a.getIfNotMT("missing", s));
    EXPECT_FALSE(a.getIfNotMT("empty", s));
    EXPECT_EQ(s, "keep");
    EXPECT_TRUE(a.getIfNotMT("S", s));
    EXPECT_EQ(s, "text");

    std::int32_t l = 5;
    double d = 5;
    float f = 5;
    bool b = true;
    EXPECT_FALSE(a.getIfNotMTL("empty", l));
    EXPECT_FALSE(a.getIfNotMTD("missing", d));
    EXPECT_FALSE(a.getIfNotMTS("empty", f));
    EXPECT_FALSE(a.getIfNotMTB("empty", b));
    EXPECT_EQ(l, 5);
    EXPECT_EQ(d, 5.0);
    EXPECT_EQ(f, 5.0f);
    EXPECT_TRUE(b);
}

TEST(AssocArray, FlagGetterKnowsOnlySixWords) {
    AssocArray a;
    for (const char* v : {"Y", "true", "1"}) {
        a.add("f", v);
        bool b = false;
        EXPECT_TRUE(a.getIfNotMTB("f", b)) << v;
        EXPECT_TRUE(b) << v;
    }
    for (const char* v : {"n", "FALSE", "0"}) {
        a.add("f", v);
        bool b = true;
        EXPECT_TRUE(a.getIfNotMTB("f", b)) << v;
        EXPECT_FALSE(b) << v;
    }
    for (const char* v : {"yes", "no", "2", "-1", "T"}) {
        a.add("f", v);
        bool b = true;
        EXPECT_FALSE(a.getIfNotMTB("f", b)) << v;
        EXPECT_TRUE(b) << v;
    }
}

TEST(AssocArray, NumericGetters) {
    AssocArray a;
    a.add("half", "2.5");
    a.add("odd", "3.5");
    a.add("unit", "12.5cm");
    a.add("text", "abc");
    a.add("big", "1e10");
    a.add("huge", "1e300");
    a.add("nan", "nan");
    std::int32_t l = 0;
    EXPECT_TRUE(a.getIfNotMTL("half", l));
    EXPECT_EQ(l, 2);
    EXPECT_TRUE(a.getIfNotMTL("odd", l));
    EXPECT_EQ(l, 4);
    EXPECT_TRUE(a.getIfNotMTL("unit", l));  // the leading number counts
    EXPECT_EQ(l, 12);
    l = 7;
    EXPECT_FALSE(a.getIfNotMTL("text", l));
    EXPECT_FALSE(a.getIfNotMTL("big", l));  // beyond 32 bits
    EXPECT_FALSE(a.getIfNotMTL("nan", l));
    EXPECT_EQ(l, 7);
    double d = 0;
    EXPECT_TRUE(a.getIfNotMTD("huge", d));
    EXPECT_EQ(d, 1e300);
    float f = 1;
    EXPECT_FALSE(a.getIfNotMTS("huge", f));  // beyond float
    EXPECT_TRUE(a.getIfNotMTS("half", f));
    EXPECT_EQ(f, 2.5f);
    EXPECT_EQ(a.getValueN("unit"), 12.5);
    EXPECT_EQ(a.getValueN("text"), 0.0);
    EXPECT_EQ(a.getValueN("missing"), 0.0);
}

TEST(AssocArray, LoadReadsNameValueLines) {
    const std::string dir = test::tempDir("assoc");
    test::writeFile(dir + "c.cfg",
                    "; comment=1\r\n"
                    "  autoCentre = True  \r\n"
                    "=novalue\r\n"
                    "noequals\r\n"
                    "\r\n"
                    "dflt_BoneID=2\r\n"
                    "path=C:\\a=b\r\n"
                    "AUTOCENTRE=False\r\n"
                    "[END]\r\n"
                    "after=1\r\n");
    AssocArray a;
    ASSERT_TRUE(a.load(dir + "c.cfg", "[END]"));
    EXPECT_EQ(a.count(), 3);
    EXPECT_EQ(a.getValue("autocentre"), "False");  // a later line replaces
    EXPECT_EQ(a.getValue("DFLT_BONEID"), "2");
    EXPECT_EQ(a.getValue("path"), "C:\\a=b");     // the first "=" splits
    EXPECT_FALSE(a.NameExists("after"));
    EXPECT_FALSE(a.NameExists("; comment"));

    AssocArray all;
    ASSERT_TRUE(readNameValueFile(dir + "c.cfg", all));
    EXPECT_TRUE(all.NameExists("after"));
    EXPECT_FALSE(all.NameExists(""));

    std::string err;
    AssocArray none;
    EXPECT_FALSE(none.load(dir + "missing.cfg", {}, false, false, &err));
    EXPECT_NE(err.find("missing.cfg"), std::string::npos);
}

TEST(AssocArray, LoadEscapesEchoesAndWarnsOfEncryption) {
    const std::string dir = test::tempDir("assoc");
    test::writeFile(dir + "e.cfg", "title=a & b\n");
    AssocArray a;
    std::vector<std::string> echo;
    ASSERT_TRUE(a.load(dir + "e.cfg", {}, false, true, nullptr, &echo));
    EXPECT_EQ(a.getValue("TITLE"), "a&nbsp;&amp;&nbsp;b");
    EXPECT_EQ(echo, std::vector<std::string>{"title=a & b"});

    AssocArray enc;
    std::string err;
    ASSERT_TRUE(enc.load(dir + "e.cfg", {}, true, false, &err));
    EXPECT_EQ(err, "Encryption compilation not enabled ");
    EXPECT_EQ(enc.getValue("title"), "a & b");
}

TEST(AssocArray, SaveWritesNameOrderAndRoundTrips) {
    const std::string dir = test::tempDir("assoc");
    AssocArray a;
    a.add("zeta", "1");
    a.add("alpha", "two words");
    a.add("Mid", "");
    ASSERT_TRUE(a.save(dir + "s.cfg", "[END]"));
    EXPECT_EQ(test::readFile(dir + "s.cfg"), "ALPHA=two words\r\nMID=\r\nZETA=1\r\n[END]\r\n");
    AssocArray b;
    ASSERT_TRUE(b.load(dir + "s.cfg", "[END]"));
    EXPECT_EQ(inOrder(b), inOrder(a));
    EXPECT_EQ(b.getValue("alpha"), "two words");
    EXPECT_TRUE(b.NameExists("mid"));
    EXPECT_FALSE(a.save(dir + "no/such/dir/s.cfg"));
}

TEST(AssocArray, DumpLines) {
    AssocArray a;
    a.add("b", "2");
    a.add("a", "1");
    EXPECT_EQ(a.dumpLines(), (std::vector<std::string>{"B = 2", "A = 1"}));
    std::vector<std::string> dbg = a.dumpLines(true);
    ASSERT_GE(dbg.size(), 5u);
    EXPECT_EQ(dbg[0], "----------- Data: link pts fwd to next alpha sorted element");
    EXPECT_EQ(dbg[1], "Cnt: 2  Link0: 2");
    EXPECT_EQ(dbg[2], "1: N: B = 2  L: 0");
    EXPECT_EQ(dbg[3], "2: N: A = 1  L: 1");
    EXPECT_EQ(dbg[4], "----------- Index: link pts to data array element");

}

}  // namespace
}  // namespace molv
