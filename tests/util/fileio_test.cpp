#include "util/fileio.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "util/fspath.h"
#include "util/paths.h"

namespace molv {
namespace {

long processNumber() {
#ifdef _WIN32
    return static_cast<long>(::_getpid());
#else
    return static_cast<long>(::getpid());
#endif
}

TEST(FileIo, FailedAtomicWriteLeavesOldFileIntact) {
    const std::string dir = test::tempDir("fileio");
    const std::string path = dir + "model.cmf";
    std::string err;
    ASSERT_TRUE(writeFileAtomic(path, "old contents", err));
    // Whatever holds the usual temporary name is left alone: the write
    // takes another name.
    const std::string tmp = path + ".tmp" + std::to_string(processNumber());
    std::filesystem::create_directory(tmp);
    EXPECT_TRUE(writeFileAtomic(path, "new", err)) << err;
    EXPECT_EQ(test::readFile(path), "new");
    EXPECT_TRUE(std::filesystem::is_directory(tmp));
    std::filesystem::remove(tmp);

    // A target that cannot be replaced (a folder) fails and leaves no
    // temporary file behind.
    const std::string sub = dir + "sub";
    std::filesystem::create_directory(sub);
    std::filesystem::create_directory(sub + "/inner");
    EXPECT_FALSE(writeFileAtomic(sub, "x", err));
    EXPECT_TRUE(folderExists(sub));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);  // model.cmf and sub

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

}  // namespace
}  // namespace molv
