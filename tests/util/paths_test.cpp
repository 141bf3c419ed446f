#include "util/paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/context.h"
#include "core/scripted_ui.h"
#include "support/test_support.h"
#include "util/fileio.h"

namespace molv {
namespace {

void expectParts(std::string_view path, const char* drive, const char* folder, const char* name, const char* ext,
                 char sep = 0) {
    PathParts p = splitPath(path, sep);
    EXPECT_EQ(p.drive, drive) << path;
    EXPECT_EQ(p.folder, folder) << path;
    EXPECT_EQ(p.name, name) << path;
    EXPECT_EQ(p.ext, ext) << path;
}

TEST(SplitPath, WindowsPath) {
    expectParts("C:\\models\\chair.big.3ds", "C:", "\\models\\", "chair.big", "3ds");
    expectParts("C:chair.3ds", "C:", "", "chair", "3ds");
    expectParts("chair", "", "", "chair", "");
    expectParts("", "", "", "", "");
    expectParts(".cfg", "", "", "", "cfg");
    expectParts("dir.v2\\file", "", "dir.v2\\", "file", "");  // a dot in a folder is no extension
    expectParts("C:\\models\\", "C:", "\\models\\", "", "");
}

TEST(SplitPath, SlashPath) {
    expectParts("/home/u/models/chair.obj", "", "/home/u/models/", "chair", "obj");
    expectParts("textures/wood.jpg", "", "textures/", "wood", "jpg");
    expectParts("a/b.c/d", "", "a/b.c/", "d", "");
}

TEST(SplitPath, MixedSeparatorsSplitAtTheLastOfEither) {
    expectParts("C:\\models/sub\\chair.3ds", "C:", "\\models/sub\\", "chair", "3ds");
    expectParts("maps\\wood.png", "", "maps\\", "wood", "png");
    // A given separator is the only one.
    expectParts("a\\b/c.x", "", "a\\b/", "c", "x", '/');
    expectParts("a\\b/c.x", "", "a\\", "b/c", "x", '\\');
}

TEST(SplitPath, QuotedPathIgnoresQuotes) {
    expectParts("\"C:\\my models\\chair.3ds\"", "C:", "\\my models\\", "chair", "3ds");
    expectParts("\"C:\\a.b\" trailing \"x\"", "C:", "\\", "a", "b");
    expectParts("\"unclosed.obj", "", "", "unclosed", "obj");
}

TEST(SplitPath, UncServerAndShare) {
    expectParts("\\\\server\\share\\folder\\file.txt", "\\\\server\\share", "\\folder\\", "file", "txt");
    expectParts("//server/share/file.txt", "//server/share", "/", "file", "txt");
    expectParts("\\\\server", "\\\\server", "", "", "");
}

TEST(SplitPath, ColonAfterSeparatorIsNoDrive) {
    expectParts("/data/a:b.txt", "", "/data/", "a:b", "txt");
}

TEST(PathPart, MasksAndShorthands) {
    const std::string p = "C:\\models\\chair.big.3ds";
    EXPECT_EQ(pathPart(p, kDrive), "C:");
    EXPECT_EQ(pathPart(p, kDrive | kFolder), "C:\\models\\");
    EXPECT_EQ(folderOf(p), "C:\\models\\");
    EXPECT_EQ(extOf(p), "3ds");
    EXPECT_EQ(pathNoExt(p), "C:\\models\\chair.big");
    EXPECT_EQ(baseName(p), "chair.big");
    EXPECT_EQ(fileNameOf(p), "chair.big.3ds");
    EXPECT_EQ(pathPart(p, kDrive | kExt), "C:.3ds");
    EXPECT_EQ(pathPart(p, 15), p);
    EXPECT_EQ(pathPart(p, 0), "");
    EXPECT_EQ(extOf(".cfg"), "cfg");
    EXPECT_EQ(fileNameOf(".cfg"), ".cfg");
    EXPECT_EQ(baseName(".cfg"), "");
}

TEST(PathPart, NameWithoutExtensionGetsNoDot) {
    EXPECT_EQ(extOf("textures/wood"), "");
    EXPECT_EQ(fileNameOf("textures/wood"), "wood");
    EXPECT_EQ(pathPart("textures/wood", 15), "textures/wood");
    EXPECT_EQ(fileNameOf("chair."), "chair");
}

TEST(PathPart, JoinPath) {
    EXPECT_EQ(joinPath("a", "b.txt"), std::string("a") + pathSep() + "b.txt");
    EXPECT_EQ(joinPath("a/", "b.txt"), "a/b.txt");
    EXPECT_EQ(joinPath("a\\", "b.txt"), "a\\b.txt");
    EXPECT_EQ(joinPath("", "b.txt"), "b.txt");
}

TEST(WriteLine, CreateReplaceAndAppend) {
    const std::string dir = test::tempDir("paths");
    const std::string f = dir + "out.txt";
    ASSERT_TRUE(writeLine(f, "first"));
    ASSERT_TRUE(appendLine(f, "second"));
    ASSERT_TRUE(appendLine(f, "no newline", true));
    EXPECT_EQ(test::readFile(f), "first\r\nsecond\r\nno newline");
    ASSERT_TRUE(writeLine(f, "replaced"));
    EXPECT_EQ(test::readFile(f), "replaced\r\n");
    ASSERT_TRUE(writeLineTo(f, "bare", true, false));
    EXPECT_EQ(test::readFile(f), "bare");

    std::string err;
    EXPECT_FALSE(writeLine(dir + "no/such/dir/x.txt", "x", false, &err));
    EXPECT_NE(err.find("x.txt"), std::string::npos);
    EXPECT_FALSE(appendLine(dir + "no/such/dir/x.txt", "x"));
}

TEST(TextEdits, DeleteAndInsertChars) {
    std::string s = "abcdef";
    deleteChars(s, 2, 3);
    EXPECT_EQ(s, "aef");
    deleteChars(s, 3, 100);
    EXPECT_EQ(s, "ae");
    deleteChars(s, 10, 1);
    EXPECT_EQ(s, "ae");
    insertChars(s, 2, "XY");
    EXPECT_EQ(s, "aXYe");
    insertChars(s, 1, "<");
    EXPECT_EQ(s, "<aXYe");
    insertChars(s, 100, ">");
    EXPECT_EQ(s, "<aXYe>");
    insertChars(s, 0, "0");
    EXPECT_EQ(s, "0<aXYe>");
}

TEST(TextEdits, ReplaceAllCountsAndDoesNotRescan) {
    std::string s = "a-b - c";
    EXPECT_EQ(replaceAll(s, "-", "_"), 2);
    EXPECT_EQ(s, "a_b _ c");
    std::string m = "Mat  Name";
    EXPECT_EQ(replaceAll(m, " ", "_"), 2);
    EXPECT_EQ(replaceAll(m, "__", "_"), 1);
    EXPECT_EQ(m, "Mat_Name");
    std::string t = "___";
    EXPECT_EQ(replaceAll(t, "__", "_"), 1);  // no overlaps
    EXPECT_EQ(t, "__");
    std::string grow = "aa";
    EXPECT_EQ(replaceAll(grow, "a", "aa"), 2);  // inserted text is not searched again
    EXPECT_EQ(grow, "aaaa");
    std::string none = "abc";
    EXPECT_EQ(replaceAll(none, "", "x"), 0);
    EXPECT_EQ(replaceAll(none, "z", "x"), 0);
    EXPECT_EQ(none, "abc");
}

TEST(TextEdits, BubbleSortStrings) {
    std::vector<std::string> v = {"", "pear", "Apple", "apple", "_x", "B"};
    bubbleSortStrings(v, 5);
    EXPECT_EQ(v, (std::vector<std::string>{"", "Apple", "B", "_x", "apple", "pear"}));
    std::vector<std::string> z = {"c", "a", "b", "0"};
    bubbleSortStrings(z, 3, true);
    EXPECT_EQ(z, (std::vector<std::string>{"a", "b", "c", "0"}));
    bubbleSortStrings(z, 100, true);  // count clipped to the vector
    EXPECT_EQ(z, (std::vector<std::string>{"0", "a", "b", "c"}));
    std::vector<std::string> e;
    bubbleSortStrings(e, 3);
    EXPECT_TRUE(e.empty());
}

}  // namespace
}  // namespace molv
