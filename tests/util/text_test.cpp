#include "util/text.h"
#include "support/harness.h"

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

TEST(SplitTokens, CommandLineKeepsQuotedPathWhole) {
    EXPECT_EQ(splitCommandLine("-dbg \"C:\\my models\\chair.3ds\"", ""),
              (Tokens{"", "-dbg", "C:\\my models\\chair.3ds"}));
    EXPECT_EQ(splitCommandLine("", ""), Tokens{""});
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
