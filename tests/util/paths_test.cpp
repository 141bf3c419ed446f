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

TEST(SplitPath, DrivesSharesAndBothSeparators) {
    expectParts("C:/models/chair.3ds", "C:", "/models/", "chair", "3ds");
    expectParts("D:\\models/sub\\chair.obj", "D:", "\\models/sub\\", "chair", "obj");
    expectParts("\\\\server\\share\\m\\x.dae", "\\\\server\\share", "\\m\\", "x", "dae");
    expectParts("//server/share/x.dae", "//server/share", "/", "x", "dae");
    expectParts("\"C:\\my models\\chair.3ds\" -x", "C:", "\\my models\\", "chair", "3ds");
    expectParts("C:\\a/b\\c.obj", "C:", "\\a/", "b\\c", "obj", '/');  // only the given separator
}

TEST(Paths, AbsoluteNames) {
    EXPECT_TRUE(isAbsolutePath("/data/x.obj"));
    for (const char* relative : {"", "x.obj", "sub/x.obj", "sub\\x.obj", ".\\x.obj"})
        EXPECT_FALSE(isAbsolutePath(relative)) << relative;
#ifdef _WIN32
    for (const char* absolute : {"C:\\x.obj", "c:/m/x.obj", "\\x.obj", "\\\\server\\share\\x.obj"})
        EXPECT_TRUE(isAbsolutePath(absolute)) << absolute;
#else
    EXPECT_FALSE(isAbsolutePath("C:\\x.obj"));  // a file name like any other
#endif
}

// Names from file content joined to a folder: both separators count.
TEST(NamesFromContent, StayInsideTheirFolder) {
    for (const char* ok : {"hair", "models/hair", "a\\b.cfg", "x..y", ".hidden", "a/./b"})
        EXPECT_TRUE(staysInside(ok)) << ok;
    for (const char* bad : {"", "..", "../x", "a/../b", "a\\..\\b", "a/..", "/etc/x", "\\\\server\\x", "c:x",
                            "C:\\x", "...", "a/.. /b"})
        EXPECT_FALSE(staysInside(bad)) << bad;
    EXPECT_EQ(lastComponent("models\\arm/hair"), "hair");
    EXPECT_EQ(lastComponent("hair"), "hair");
    EXPECT_EQ(lastComponent("models/"), "");
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
