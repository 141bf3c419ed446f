#include "util/paths.h"

#include <gtest/gtest.h>

#include "util/fileio.h"

namespace molv {
namespace {

// splitPath and the text edits are called by nothing in src/ today; they keep
// these few checks while they stay in the library.
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

TEST(Paths, JoinPath) {
    EXPECT_EQ(joinPath("a", "b.txt"), std::string("a") + pathSep() + "b.txt");
    EXPECT_EQ(joinPath("a/", "b.txt"), "a/b.txt");
    EXPECT_EQ(joinPath("a\\", "b.txt"), "a\\b.txt");
    EXPECT_EQ(joinPath("", "b.txt"), "b.txt");
}

TEST(Paths, CompanionFilesAreLookedForInsideTheModelsFolderOnly) {
    const struct {
        const char* name;
        const char* want;
    } cases[] = {
        {"wood.png", "m/wood.png"},
        {"maps/wood.png", "m/maps/wood.png"},
        {"maps\\wood.png", "m/maps/wood.png"},
        {"./wood.png", "m/./wood.png"},
        {"/etc/passwd", "m/passwd"},
        {"\\\\server\\share\\wood.png", "m/wood.png"},
        {"C:\\Users\\me\\wood.png", "m/wood.png"},
        {"C:wood.png", "m/wood.png"},
        {"../wood.png", "m/wood.png"},
        {"maps/../../wood.png", "m/wood.png"},
        {"..\\..\\etc\\passwd", "m/passwd"},
        {"..", ""},
        {"maps/", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(companionPath("m/", c.name), c.want) << c.name;
    EXPECT_EQ(companionPath("", "/etc/passwd"), "passwd");
}

}  // namespace
}  // namespace molv
