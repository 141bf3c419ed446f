#include "util/text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "convert/context.h"
#include "core/scripted_ui.h"
#include "support/test_support.h"

namespace molv {
namespace {

using Tokens = std::vector<std::string>;

// Tokens 1..count (index 0 must be empty).
Tokens toks(std::string_view text, std::string_view seps, bool keep = false) {
    Tokens t = splitTokens(text, seps, keep);
    EXPECT_FALSE(t.empty());
    EXPECT_EQ(t.front(), "");
    return Tokens(t.begin() + 1, t.end());
}

TEST(SplitTokens, QuotedSeparatorsStayInToken) {
    EXPECT_EQ(toks("a,\"b c\",d", ","), (Tokens{"a", "b c", "d"}));
    EXPECT_EQ(toks("a,\"b c\",d", "!q,"), (Tokens{"a", "\"b c\"", "d"}));
    // Text after the closing quote stays in the token.
    EXPECT_EQ(toks("a,\"b c\" ,d", ","), (Tokens{"a", "b c ", "d"}));
    EXPECT_EQ(toks("\"x,y\"z,w", ","), (Tokens{"x,yz", "w"}));
}

TEST(SplitTokens, DoubledQuoteGivesOneQuote) {
    // The character after a dropped quote is taken without a quote test.
    EXPECT_EQ(toks("a\"\"b", " "), (Tokens{"a\"b"}));
}

TEST(SplitTokens, UnclosedQuoteRunsToEnd) {
    EXPECT_EQ(toks("a \"b c d", " "), (Tokens{"a", "b c d"}));
    EXPECT_EQ(toks("\"", " "), (Tokens{""}));
}

TEST(SplitTokens, BlankRunsGiveNoEmptyTokens) {
    EXPECT_EQ(toks("  a   b \t c  ", " "), (Tokens{"a", "b", "c"}));
    // Tabs are skipped between tokens but are no separator themselves.
    EXPECT_EQ(toks("a\tb", " "), (Tokens{"a\tb"}));
    EXPECT_EQ(toks("", " "), Tokens{});
    EXPECT_EQ(toks("   ", " "), Tokens{});
    EXPECT_EQ(splitTokens("a b", " ").size(), 3u);  // count = size - 1
}

TEST(SplitTokens, AdjacentSeparatorsGiveEmptyTokens) {
    EXPECT_EQ(toks("1//3", "/"), (Tokens{"1", "", "3"}));
    EXPECT_EQ(toks("1/2/", "/"), (Tokens{"1", "2"}));  // a trailing separator adds nothing
    EXPECT_EQ(toks("a,,b", ","), (Tokens{"a", "", "b"}));
}

TEST(SplitTokens, KeepSeparatorsAsTokens) {
    EXPECT_EQ(toks("x=1", "!k="), (Tokens{"x", "=", "1"}));
    EXPECT_EQ(toks("x=1", "=", true), (Tokens{"x", "=", "1"}));
    EXPECT_EQ(toks("=1", "!k="), (Tokens{"=", "1"}));
    EXPECT_EQ(toks("a b=c", "!k ="), (Tokens{"a", "b", "=", "c"}));  // blanks are never kept
    EXPECT_EQ(toks("x==y", "!k="), (Tokens{"x", "=", "=", "y"}));
}

TEST(SplitTokens, QuoteOptions) {
    EXPECT_EQ(toks("'a b' c", " "), (Tokens{"'a", "b'", "c"}));
    EXPECT_EQ(toks("'a b' c", "!' "), (Tokens{"a b", "c"}));
    EXPECT_EQ(toks("`a b` c", "!` "), (Tokens{"a b", "c"}));
    EXPECT_EQ(toks("^a b^ c", "!^ "), (Tokens{"a b", "c"}));
    EXPECT_EQ(toks("!a b! c", "!! "), (Tokens{"a b", "c"}));
    EXPECT_EQ(toks("a b", "!  "), (Tokens{"a", "b"}));
    // "!rq": quotes end the token and never quote.
    EXPECT_EQ(toks("ab\"c d\"e", "!rq "), (Tokens{"ab", "c", "d", "e"}));
    // Several options in a row.
    EXPECT_EQ(toks("'a,b',\"c,d\"", "!q!',"), (Tokens{"'a,b'", "\"c,d\""}));
}

TEST(SplitTokens, CommandLineKeepsQuotedPathWhole) {
    EXPECT_EQ(splitCommandLine("-dbg \"C:\\my models\\chair.3ds\"", ""),
              (Tokens{"", "-dbg", "C:\\my models\\chair.3ds"}));
    EXPECT_EQ(splitCommandLine("", ""), Tokens{""});
}

TEST(SplitTokens, LongTextHasNo16BitLimit) {
    std::string text;
    for (int i = 0; i < 40000; ++i) text += "w ";
    text += std::string(70000, 'x');
    Tokens t = splitTokens(text, " ");
    ASSERT_EQ(t.size(), 40002u);
    EXPECT_EQ(t.back().size(), 70000u);
}

TEST(NextToken, WalksTokensAndReportsDelimiters) {
    const std::string line = "mesh { name = \"Cube 1\" }";
    std::size_t pos = 1;
    std::string tok, delim = "x";
    ASSERT_TRUE(nextToken(line, tok, pos, 0, "!q {}=", &delim));
    EXPECT_EQ(tok, "mesh");
    EXPECT_EQ(delim, " ");
    EXPECT_EQ(pos, 6u);
    ASSERT_TRUE(nextToken(line, tok, pos, 0, "!q {}=", &delim));
    EXPECT_EQ(tok, "");
    EXPECT_EQ(delim, "{");
    ASSERT_TRUE(nextToken(line, tok, pos, 0, "!q {}=", &delim));
    EXPECT_EQ(tok, "name");
    ASSERT_TRUE(nextToken(line, tok, pos, 0, "!q {}=", &delim));
    EXPECT_EQ(tok, "");
    EXPECT_EQ(delim, "=");
    ASSERT_TRUE(nextToken(line, tok, pos, 0, "!q {}=", &delim));
    EXPECT_EQ(tok, "Cube 1");
    EXPECT_EQ(delim, "\"");
    ASSERT_TRUE(nextToken(line, tok, pos, 0, "!q {}=", &delim));
    EXPECT_EQ(tok, "");
    EXPECT_EQ(delim, "}");
    EXPECT_EQ(pos, line.size() + 1);
    EXPECT_FALSE(nextToken(line, tok, pos, 0, "!q {}=", &delim));
}

TEST(NextToken, QuotedWordsWithQOption) {
    std::string tok;
    std::size_t pos = 0;  // 0 counts as 1
    ASSERT_TRUE(nextToken("\"two words\"", tok, pos, 0, "!q "));
    EXPECT_EQ(tok, "two words");
    // Without "!q" the blank ends the token; the quote is stripped.
    pos = 1;
    ASSERT_TRUE(nextToken("\"two words\"", tok, pos, 0, " "));
    EXPECT_EQ(tok, "two");
}

TEST(NextToken, XmlAttributes) {
    const std::string t = "mesh id=\"a b\"  count=\"3\" name=\"x=y\"/>";
    std::size_t pos = 6;
    std::string name, value, delim;
    std::vector<std::pair<std::string, std::string>> got;
    while (nextToken(t, name, pos, 0, "!q=/>", &delim) && delim == "=") {
        ASSERT_TRUE(nextToken(t, value, pos, 0, "!q=/>", &delim));
        got.emplace_back(name, value);
    }
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], (std::pair<std::string, std::string>{"id", "a b"}));
    EXPECT_EQ(got[1], (std::pair<std::string, std::string>{"count", "3"}));
    EXPECT_EQ(got[2].second, "x=y");
}

TEST(NextToken, EndPositionAndBackQuote) {
    std::string tok;
    std::size_t pos = 1;
    ASSERT_TRUE(nextToken("abc def", tok, pos, 2, " "));
    EXPECT_EQ(tok, "ab");
    EXPECT_EQ(pos, 3u);
    EXPECT_FALSE(nextToken("abc def", tok, pos, 2, " "));
    pos = 1;
    ASSERT_TRUE(nextToken("`x` y", tok, pos, 0, " "));
    EXPECT_EQ(tok, "x");
    pos = 1;
    ASSERT_TRUE(nextToken("^x^ y", tok, pos, 0, "!^ "));
    EXPECT_EQ(tok, "x");
    pos = 100;
    EXPECT_FALSE(nextToken("abc", tok, pos, 0, " "));
    pos = 1;
    EXPECT_FALSE(nextToken("", tok, pos, 0, " "));
}

TEST(FindField, EmptyFieldsAndLastField) {
    std::string f;
    EXPECT_EQ(getField("a,,b", 1, ","), "a");
    EXPECT_EQ(findField("a,,b", f, 2, ","), 3u);
    EXPECT_EQ(f, "");
    EXPECT_EQ(getField("a,,b", 3, ","), "b");
    EXPECT_EQ(getField("a,,b", -1, ","), "b");
    EXPECT_EQ(getField("a,,b", 0, ","), "a");
    EXPECT_EQ(findField("a,,b", f, 4, ","), 0u);  // no such field
    EXPECT_EQ(f, "");
    EXPECT_EQ(getField("abc", -1, ","), "abc");
    EXPECT_EQ(getField("a,b", -2, ","), "");
    EXPECT_EQ(getField("a,", 2, ","), "");
}

TEST(FindField, TrimsAndRemovesQuotes) {
    EXPECT_EQ(getField("key = \" file name.jpg \" ", 2, "="), "file name.jpg");
    EXPECT_EQ(getField("v  1 2", 2, " "), "");  // two blanks: an empty field between
    EXPECT_EQ(getField(" v 1", 1, " "), "");    // a leading blank: empty field 1
    EXPECT_EQ(getField("name[12].crf", 2, "[]"), "12");
    EXPECT_EQ(getField("`abc`", 1, ","), "abc");
    EXPECT_EQ(getField("\"abc", 1, ","), "abc");  // unclosed quote keeps its text
    EXPECT_EQ(getField("\"", 1, ","), "");
    EXPECT_EQ(getField("^x^,y", 1, "!^,"), "x");
}

TEST(XmlEscape, EntitiesAndNbsp) {
    EXPECT_EQ(xmlEscape("a & b"), "a&nbsp;&amp;&nbsp;b");
    EXPECT_EQ(xmlEscape("<a href='x'>\"q\""), "&lt;a href=&#039;x&#039;&gt;&quot;q&quot;");
    EXPECT_EQ(xmlEscape("a b"), "a b");
    EXPECT_EQ(xmlEscape("a  <"), "a &nbsp;&lt;");
    EXPECT_EQ(xmlEscape("& "), "&amp;&nbsp;");
    EXPECT_EQ(xmlEscape(""), "");
}

TEST(TextHelpers, SkipLeadingControls) {
    EXPECT_EQ(skipLeadingControls("\t \r\n<tag>"), "<tag>");
    EXPECT_EQ(skipLeadingControls("   "), " ");  // the last character is kept
    EXPECT_EQ(skipLeadingControls("\x01"), "\x01");
    EXPECT_EQ(skipLeadingControls(""), "");
    EXPECT_EQ(skipLeadingControls(" \xC3\xA9"), "\xC3\xA9");  // UTF-8 is not a control
}

TEST(TextHelpers, CleanFileName) {
    EXPECT_EQ(cleanFileName("Bob's \"big\" chair, red&blue"), "Bobs_big_chair__red_blue");
    EXPECT_EQ(cleanFileName("plain-name_1.cmf"), "plain-name_1.cmf");
}

TEST(TextHelpers, StartsWithAndCase) {
    EXPECT_TRUE(startsWith("<!DOCTYPE x", "<!DOCTYPE"));
    EXPECT_FALSE(startsWith("<!doctype x", "<!DOCTYPE"));
    EXPECT_TRUE(startsWithNoCase("<!doctype x", "<!DOCTYPE "));
    EXPECT_FALSE(startsWithNoCase("<!doc", "<!DOCTYPE"));
    EXPECT_TRUE(startsWith("abc", ""));
    EXPECT_EQ(toUpperAscii("aBc\xC3\xA9"), "ABC\xC3\xA9");
    EXPECT_EQ(toLowerAscii("aBC"), "abc");
    EXPECT_EQ(trimView(" \t x y \r\n"), "x y");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(trimView(" \t x\r\n", " \t"), "x\r\n");  // line ends kept when asked
    EXPECT_TRUE(equalsNoCase("MtlLib", "mtllib"));
    EXPECT_FALSE(equalsNoCase("mtllib", "mtllibs"));
}

std::vector<std::string> readAll(std::string_view bytes, std::size_t max = 0) {
    TextReader r(bytes);
    std::vector<std::string> out;
    std::string line;
    while (r.readLineText(line, max)) out.push_back(line);
    return out;
}

TEST(TextReader, LineEndsAndDroppedBytes) {
    EXPECT_EQ(readAll("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(readAll("a\n"), std::vector<std::string>{"a"});
    EXPECT_EQ(readAll(""), std::vector<std::string>{});
    EXPECT_EQ(readAll("\n\n"), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(readAll(std::string_view("a\0b\x1A" "c\r\r\n", 8)), std::vector<std::string>{"abc"});
    // A lone CR does not end a line.
    EXPECT_EQ(readAll("a\rb\n"), std::vector<std::string>{"ab"});
}

TEST(TextReader, LineViewPointsIntoCleanBytes) {
    const std::string bytes("clean\r\nwith\0nul\nlast", 20);
    TextReader r(bytes);
    std::string_view v;
    ASSERT_TRUE(r.readLineView(v));
    EXPECT_EQ(v, "clean");
    EXPECT_EQ(v.data(), bytes.data());  // no copy
    ASSERT_TRUE(r.readLineView(v));
    EXPECT_EQ(v, "withnul");
    ASSERT_TRUE(r.readLineView(v));
    EXPECT_EQ(v, "last");
    EXPECT_EQ(v.data(), bytes.data() + 16);
    EXPECT_FALSE(r.readLineView(v));
    EXPECT_TRUE(v.empty());
}

// Reference reader: one byte at a time, as the format describes it.
struct RefReader {
    std::string_view b;
    std::size_t i = 0;
    char until(std::string& out, std::string_view stops, std::size_t max) {
        out.clear();
        std::size_t taken = 0;
        while (i < b.size() && (max == 0 || taken < max)) {
            char c = b[i++];
            ++taken;
            if (c == '\n' || stops.find(c) != std::string_view::npos) return c;
            if (c != '\r' && c != '\0' && c != 26) out.push_back(c);
        }
        return '\0';
    }
};

TEST(TextReader, MatchesByteAtATimeReferenceOnNoisyInput) {
    std::mt19937 rng(12345);
    const char alphabet[] = {'a', 'b', '>', '<', '\r', '\n', '\0', 26, ' '};
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        const int len = static_cast<int>(rng() % 200);
        for (int k = 0; k < len; ++k) bytes.push_back(alphabet[rng() % sizeof alphabet]);
        const std::size_t max = rng() % 3 == 0 ? rng() % 7 : 0;
        const bool useUntil = rng() % 2 == 0;
        TextReader r(bytes);
        RefReader ref{bytes};
        std::string got, want;
        int guard = 0;
        while (ref.i < bytes.size()) {
            ASSERT_LT(++guard, 1000);
            if (useUntil) {
                char w = ref.until(want, "<>", max);
                char g = r.readUntil(got, "<>", max);
                ASSERT_EQ(g, w) << round;
            } else {
                ref.until(want, {}, max);
                ASSERT_TRUE(r.readLineText(got, max));
            }
            ASSERT_EQ(got, want) << round;
            ASSERT_EQ(r.offset(), ref.i) << round;
        }
        EXPECT_TRUE(r.atEnd());
        EXPECT_FALSE(r.readLineText(got));
    }
}

TEST(TextReader, MaximumCutsLinesAndZeroMeansNoLimit) {
    EXPECT_EQ(readAll("abcdef\ngh", 4), (std::vector<std::string>{"abcd", "ef", "gh"}));
    std::string big(5 * 1024 * 1024, 'x');
    big[12345] = 'y';
    std::string bytes = big + "\r\nnext\n";
    TextReader r(bytes);
    std::string line;
    ASSERT_TRUE(r.readLineText(line));
    EXPECT_EQ(line.size(), big.size());
    EXPECT_EQ(line, big);
    EXPECT_EQ(r.lineNo(), 1);
    ASSERT_TRUE(r.readLineText(line));
    EXPECT_EQ(line, "next");
    EXPECT_EQ(r.lineNo(), 2);
    EXPECT_FALSE(r.readLineText(line));
    EXPECT_TRUE(r.atEnd());
}

TEST(TextReader, ReadUntilStopsAndCountsLines) {
    const std::string xml = "<a x=\"1\"><b/>\r\n  <c>t</c>\nrest";
    TextReader r(xml);
    std::string piece;
    EXPECT_EQ(r.readUntil(piece, ">"), '>');
    EXPECT_EQ(piece, "<a x=\"1\"");
    EXPECT_EQ(r.lineNo(), 1);
    EXPECT_EQ(r.readUntil(piece, ">"), '>');
    EXPECT_EQ(piece, "<b/");
    EXPECT_EQ(r.readUntil(piece, ">"), '\n');  // the line feed ends a piece too
    EXPECT_EQ(piece, "");
    EXPECT_EQ(r.lineNo(), 1);
    EXPECT_EQ(r.readUntil(piece, ">"), '>');
    EXPECT_EQ(piece, "  <c");
    EXPECT_EQ(r.lineNo(), 2);
    EXPECT_EQ(r.readUntil(piece, "<>"), '<');
    EXPECT_EQ(piece, "t");
    EXPECT_EQ(r.readUntil(piece, ">"), '>');
    EXPECT_EQ(r.readUntil(piece, ">"), '\n');
    EXPECT_EQ(r.readUntil(piece, ">"), '\0');  // end of the bytes
    EXPECT_EQ(piece, "rest");
    EXPECT_EQ(r.lineNo(), 3);
    EXPECT_EQ(r.readUntil(piece, ">"), '\0');
    EXPECT_EQ(piece, "");
    EXPECT_EQ(r.offset(), xml.size());

    TextReader m("abcdef>");
    EXPECT_EQ(m.readUntil(piece, ">", 3), '\0');  // maximum reached
    EXPECT_EQ(piece, "abc");
    EXPECT_EQ(m.readUntil(piece, ">"), '>');
    EXPECT_EQ(piece, "def");
}

TEST(TextReader, ReadUntilOnLongSingleLineIsLinear) {
    // One-line documents with many tags: every piece must cost only its own
    // length.
    std::string doc;
    for (int i = 0; i < 200000; ++i) doc += "<p/>";
    TextReader r(doc);
    std::string piece;
    int n = 0;
    while (r.readUntil(piece, ">") == '>') ++n;
    EXPECT_EQ(n, 200000);
}

TEST(ReadTextLines, TrimsSkipsAndCounts) {
    const std::string dir = test::tempDir("text");
    test::writeFile(dir + "l.txt", "  one \r\n\r\n two\n\x1A");
    std::vector<std::string> lines;
    // The lone character 26 at the end makes an empty last line.
    EXPECT_EQ(readTextLines(dir + "l.txt", lines, 0, false, false), 4);
    EXPECT_EQ(lines, (std::vector<std::string>{"", "one", "", "two", ""}));
    EXPECT_EQ(readTextLines(dir + "l.txt", lines, 0, true, true), 2);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(readTextLines(dir + "l.txt", lines, 1, true, true), 1);
    EXPECT_EQ(lines, (std::vector<std::string>{"one"}));

    std::string err;
    EXPECT_EQ(readTextLines(dir + "missing.txt", lines, 0, false, false, &err), 0);
    EXPECT_EQ(lines, std::vector<std::string>{""});
    EXPECT_NE(err.find("missing.txt"), std::string::npos);
}

TEST(ReadTextLines, ManyLinesBeyond16Bits) {
    const std::string dir = test::tempDir("text");
    std::string body;
    for (int i = 0; i < 40000; ++i) body += "l" + std::to_string(i) + "\n";
    test::writeFile(dir + "many.txt", body);
    std::vector<std::string> lines;
    EXPECT_EQ(readTextLines(dir + "many.txt", lines, 0, false, false), 40000);
    EXPECT_EQ(lines[40000], "l39999");
}

TEST(WriteHexBytes, WritesBytesAndReplacesLongerFile) {
    const std::string dir = test::tempDir("text");
    const std::string path = dir + "d.csf";
    test::writeFile(path, std::string(100, 'z'));
    std::string err;
    ASSERT_TRUE(writeHexBytes(path, "43 53 46 00  0c ff\t1", &err));
    EXPECT_EQ(test::readFile(path), std::string("CSF\0\x0c\xff\x01", 7));
    EXPECT_TRUE(err.empty());

    ASSERT_TRUE(writeHexBytes(path, "41 zz 100 42", &err));
    EXPECT_EQ(test::readFile(path), std::string("A\0\0B", 4));
    EXPECT_NE(err.find("zz"), std::string::npos);

    err.clear();
    EXPECT_FALSE(writeHexBytes(dir + "no/such/dir/x.csf", "00", &err));
    EXPECT_FALSE(err.empty());
}

}  // namespace
}  // namespace molv
