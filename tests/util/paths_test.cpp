#include "util/paths.h"

#include <gtest/gtest.h>

#include "util/fileio.h"

namespace molv {
namespace {

// splitPath and the text edits are called by nothing in src/ today; they keep
// these few checks while they stay in the library.
TEST(SplitPath, DrivesSharesQuotesAndBothSeparators) {
    const struct {
        const char *path, *drive, *folder, *name, *ext;
        char sep = 0;
    } rows[] = {
        {"C:\\models\\chair.big.3ds", "C:", "\\models\\", "chair.big", "3ds"},
        {"C:chair.3ds", "C:", "", "chair", "3ds"},
        {"", "", "", "", ""},
        {"C:\\models\\", "C:", "\\models\\", "", ""},
        {".cfg", "", "", "", "cfg"},
        {"dir.v2\\file", "", "dir.v2\\", "file", ""},  // a dot in a folder is no extension
        {"D:\\models/sub\\chair.obj", "D:", "\\models/sub\\", "chair", "obj"},
        {"\\\\server\\share\\m\\x.dae", "\\\\server\\share", "\\m\\", "x", "dae"},
        {"//server/share/x.dae", "//server/share", "/", "x", "dae"},
        {"\"C:\\my models\\chair.3ds\" -x", "C:", "\\my models\\", "chair", "3ds"},
        {"C:\\a/b\\c.obj", "C:", "\\a/", "b\\c", "obj", '/'},  // only the given separator
    };
    for (const auto& r : rows) {
        const PathParts p = splitPath(r.path, r.sep);
        EXPECT_EQ(p.drive + "|" + p.folder + "|" + p.name + "|" + p.ext,
                  std::string(r.drive) + "|" + r.folder + "|" + r.name + "|" + r.ext);
    }
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
    deleteChars(s, 3, 100);  // the count is clipped
    deleteChars(s, 10, 1);   // beyond the end: nothing
    EXPECT_EQ(s, "ae");
    insertChars(s, 2, "XY");
    insertChars(s, 100, ">");  // beyond the end: appended
    insertChars(s, 1, "<");
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
