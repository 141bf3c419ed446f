#include "util/paths.h"

#include <gtest/gtest.h>

#include "util/fileio.h"

namespace molv {
namespace {

// Each part of a path alone.
TEST(PathPart, DrivesSharesQuotesAndBothSeparators) {
    const struct {
        const char *path, *drive, *folder, *name, *ext;
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
    };
    for (const auto& r : rows) {
        EXPECT_EQ(pathPart(r.path, kDrive) + "|" + pathPart(r.path, kFolder) + "|" + pathPart(r.path, kName) + "|" +
                      pathPart(r.path, kExt),
                  std::string(r.drive) + "|" + r.folder + "|" + r.name + "|" + r.ext);
    }
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
