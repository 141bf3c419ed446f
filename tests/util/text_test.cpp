#include "util/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    // A command line keeps a quoted path whole.
    EXPECT_EQ(splitCommandLine("-dbg \"C:\\my models\\chair.3ds\"", ""),
              (Tokens{"", "-dbg", "C:\\my models\\chair.3ds"}));
    EXPECT_EQ(splitCommandLine("", ""), Tokens{""});
}

TEST(NextToken, WalksTokensAndReportsDelimiters) {
    const std::string line = "mesh { name = \"Cube 1\" }";
    std::size_t pos = 1;
    std::string tok, delim;
    const std::pair<const char*, const char*> want[] = {{"mesh", " "}, {"", "{"}, {"name", " "},
                                                        {"", "="}, {"Cube 1", "\""}, {"", "}"}};
    for (const auto& [t, d] : want) {
        ASSERT_TRUE(nextToken(line, tok, pos, 0, "!q {}=", &delim)) << t;
        EXPECT_EQ(tok, t);
        EXPECT_EQ(delim, d) << t;
    }
    EXPECT_EQ(pos, line.size() + 1);
    EXPECT_FALSE(nextToken(line, tok, pos, 0, "!q {}=", &delim));
}

// Names go into lines of text files and into file names listed one a line.
TEST(TextHelpers, NamesCannotBreakLines) {
    EXPECT_EQ(oneLine("wood\r\nmap_Kd x"), "wood__map_Kd x");
    EXPECT_EQ(oneLine(std::string("a\0b\tc\x7f\xC3\xA9", 8), ' '), "a b c \xC3\xA9");
    EXPECT_EQ(cleanFileName("my set\nmaterial=x,y&z's"), "my_set_material=x_y_zs");
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

TEST(TextReader, ReadUntilStopsAndCountsLines) {
    const std::string xml = "<a x=\"1\"><b/>\r\n  <c>t</c>\nrest";
    TextReader r(xml);
    const struct {
        const char* stops;
        char stop;  // '\n' ends a piece too, '\0' the bytes
        const char* piece;
        int line;
    } want[] = {{">", '>', "<a x=\"1\"", 1}, {">", '>', "<b/", 1},  {">", '\n', "", 1}, {">", '>', "  <c", 2},
                {"<>", '<', "t", 2},        {">", '>', "/c", 2},   {">", '\n', "", 2}, {">", '\0', "rest", 3},
                {">", '\0', "", 3}};
    std::string piece;
    for (const auto& w : want) {
        EXPECT_EQ(r.readUntil(piece, w.stops), w.stop) << w.piece;
        EXPECT_EQ(piece, w.piece);
        EXPECT_EQ(r.lineNo(), w.line) << w.piece;
    }
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
