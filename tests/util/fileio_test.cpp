#include "util/fileio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "util/fspath.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {
namespace {

// Without a set: a target that cannot be replaced (a folder) fails and
// leaves no temporary behind. (A planted temporary name is passed by the
// same way with a set: see FileSet.)
TEST(FileIo, FailedAtomicWriteLeavesNoTemporary) {
    const std::string dir = test::tempDir("fileio");
    std::string err;
    std::filesystem::create_directories(dir + "sub/inner");
    EXPECT_FALSE(writeFileAtomic(dir + "sub", "x", err));
    EXPECT_TRUE(folderExists(dir + "sub"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    EXPECT_FALSE(writeFileAtomic(dir + "no/such/folder/x.cmf", "x", err));
}

// Written in pieces: nothing takes the target's name until commit, a count
// patched in place lands where it was written, and a file dropped or
// patched outside what was written leaves the old target and no temporary.
TEST(FileIo, AtomicFileInPieces) {
    const std::string dir = test::tempDir("fileio");
    const std::string path = dir + "m.cmf";
    std::string err;
    ASSERT_TRUE(writeFileAtomic(path, "old", err));
    {
        AtomicFile f(path);
        f.write("0123456789");
        f.write("abc");
        EXPECT_EQ(test::readFile(path), "old");
    }
    EXPECT_EQ(test::readFile(path), "old");
    {
        AtomicFile f(path);
        f.write("0123456789");
        f.patch(10, "x");
        EXPECT_FALSE(f.ok());
        EXPECT_FALSE(f.commit(err));
        EXPECT_FALSE(err.empty());
    }
    EXPECT_EQ(test::readFile(path), "old");
    AtomicFile f(path);
    f.write("0123456789");
    f.patch(2, "AB");
    f.write("xyz");
    ASSERT_TRUE(f.commit(err)) << err;
    EXPECT_EQ(test::readFile(path), "01AB456789xyz");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST(FileIo, NamesOutsideAscii) {
    const std::string dir = test::tempDir("fileio");
    const std::string folder = dir + "стул café";
    std::string err;
    ASSERT_TRUE(makeFolder(folder + "/ü", err)) << err;
    EXPECT_TRUE(folderExists(folder));
    EXPECT_TRUE(folderExists(folder + pathSep()));  // with its closing separator
    const std::string file = folder + pathSep() + "стул café.obj";
    // Windows' rename refuses an existing target; a second conversion into
    // the same names must still replace every file.
    ASSERT_TRUE(writeFileAtomic(file, "first, longer contents", err)) << err;
    ASSERT_TRUE(writeFileAtomic(file, "v 1 2 3\r\nv 4 5 6\r\n", err)) << err;
    EXPECT_TRUE(fileExists(file));
    EXPECT_FALSE(fileExists(folder));
    EXPECT_EQ(fileSize(file), 18);
    std::string back;
    ASSERT_TRUE(readWholeFile(file, back, err)) << err;
    EXPECT_EQ(back, "v 1 2 3\r\nv 4 5 6\r\n");
    EXPECT_TRUE(appendLineToFile(file, "f 1 2 3"));
    EXPECT_EQ(fileSize(file), 27);
    // The name as the file system lists it is the name given.
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(fsPath(folder))) names.push_back(utf8Path(e.path().filename()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ü", "стул café.obj"}));
    deleteFile(file);
    EXPECT_FALSE(fileExists(file));
    ASSERT_TRUE(writeLine(dir + "a.cfg", "x=1"));
    ASSERT_TRUE(writeLine(dir + "a.cfg", "y=2"));
    ASSERT_TRUE(appendLine(dir + "a.cfg", "z=3"));
    EXPECT_EQ(test::readFile(dir + "a.cfg"), "y=2\r\nz=3\r\n");
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
