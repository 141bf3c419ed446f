#include "util/fileio.h"
#include "util/text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace molv {
namespace {

TEST(FileIo, WholeFileRoundTripKeepsEveryByte) {
    const std::string dir = test::tempDir("fileio");
    std::string bytes;
    for (int i = 0; i < 300000; ++i) bytes.push_back(static_cast<char>(i * 7));
    std::string err;
    ASSERT_TRUE(writeFileAtomic(dir + "a.bin", bytes, err)) << err;
    std::string back;
    ASSERT_TRUE(readWholeFile(dir + "a.bin", back, err)) << err;
    EXPECT_EQ(test::firstDifference(bytes, back), "");
    EXPECT_EQ(fileSize(dir + "a.bin"), 300000);

    ASSERT_TRUE(writeFileAtomic(dir + "empty", "", err));
    ASSERT_TRUE(readWholeFile(dir + "empty", back, err));
    EXPECT_TRUE(back.empty());
    EXPECT_TRUE(fileExists(dir + "empty"));
}

TEST(FileIo, ReadMissingFileFailsWithReason) {
    const std::string dir = test::tempDir("fileio");
    std::string out = "stale", err;
    EXPECT_FALSE(readWholeFile(dir + "missing.obj", out, err));
    EXPECT_FALSE(err.empty());
    EXPECT_TRUE(out.empty());
    err.clear();
    EXPECT_FALSE(readWholeFile(dir, out, err));  // a folder is not a file
    EXPECT_FALSE(err.empty());
}

TEST(FileIo, FailedAtomicWriteLeavesOldFileIntact) {
    const std::string dir = test::tempDir("fileio");
    const std::string path = dir + "model.cmf";
    std::string err;
    ASSERT_TRUE(writeFileAtomic(path, "old contents", err));
    // Block the temporary file's name with a folder, so the write fails
    // before anything reaches the target.
    const std::string tmp = path + ".tmp" + std::to_string(static_cast<long>(::getpid()));
    std::filesystem::create_directory(tmp);
    EXPECT_FALSE(writeFileAtomic(path, "new", err));
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(test::readFile(path), "old contents");
    std::filesystem::remove(tmp);

    // A target that cannot be replaced (a folder) fails and leaves no
    // temporary file behind.
    const std::string sub = dir + "sub";
    std::filesystem::create_directory(sub);
    std::filesystem::create_directory(sub + "/inner");
    EXPECT_FALSE(writeFileAtomic(sub, "x", err));
    EXPECT_TRUE(folderExists(sub));
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 2);  // model.cmf and sub

    EXPECT_FALSE(writeFileAtomic(dir + "no/such/folder/x.cmf", "x", err));
}

TEST(FileIo, AppendLineAddsCrLf) {
    const std::string dir = test::tempDir("fileio");
    ASSERT_TRUE(appendLineToFile(dir + "log.txt", "one"));
    ASSERT_TRUE(appendLineToFile(dir + "log.txt", ""));
    ASSERT_TRUE(appendLineToFile(dir + "log.txt", "two"));
    EXPECT_EQ(test::readFile(dir + "log.txt"), "one\r\n\r\ntwo\r\n");
    EXPECT_FALSE(appendLineToFile(dir + "no/such/log.txt", "x"));
}

TEST(FileIo, ExistenceQueries) {
    const std::string dir = test::tempDir("fileio");
    test::writeFile(dir + "f.txt", "abc");
    EXPECT_TRUE(fileExists(dir + "f.txt"));
    EXPECT_FALSE(fileExists(dir));  // a folder is not a file
    EXPECT_FALSE(fileExists(""));
    EXPECT_FALSE(fileExists(dir + "g.txt"));
    EXPECT_TRUE(folderExists(dir));
    EXPECT_FALSE(folderExists(dir + "f.txt"));
    EXPECT_FALSE(folderExists(""));
    EXPECT_FALSE(folderExists(dir + "*"));
    EXPECT_EQ(fileSize(dir + "f.txt"), 3);
    EXPECT_EQ(fileSize(dir + "g.txt"), 0);
    EXPECT_EQ(fileSize(dir), 0);
}

TEST(FileIo, DeleteFileIgnoresMissing) {
    const std::string dir = test::tempDir("fileio");
    test::writeFile(dir + "f.txt", "abc");
    deleteFile(dir + "f.txt");
    EXPECT_FALSE(fileExists(dir + "f.txt"));
    deleteFile(dir + "f.txt");  // nothing happens, nothing is thrown
    deleteFile("");
}

TEST(FileIo, MakeFolderCreatesNestedAndAcceptsExisting) {
    const std::string dir = test::tempDir("fileio");
    std::string err;
    EXPECT_TRUE(makeFolder(dir + "a/b/c", err)) << err;
    EXPECT_TRUE(folderExists(dir + "a/b/c"));
    EXPECT_TRUE(makeFolder(dir + "a/b/c", err));
    test::writeFile(dir + "file", "x");
    EXPECT_FALSE(makeFolder(dir + "file/sub", err));
    EXPECT_FALSE(err.empty());
}

std::vector<std::string> linesOf(std::string_view text) {
    LineCursor c(text);
    std::vector<std::string> out;
    std::string_view l;
    while (c.next(l)) out.emplace_back(l);
    return out;
}

TEST(LineCursor, LineEnds) {
    EXPECT_EQ(linesOf(""), std::vector<std::string>{});
    EXPECT_EQ(linesOf("a"), std::vector<std::string>{"a"});
    EXPECT_EQ(linesOf("a\n"), std::vector<std::string>{"a"});
    EXPECT_EQ(linesOf("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(linesOf("\n\n"), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(linesOf("a\r"), std::vector<std::string>{"a"});
    EXPECT_EQ(linesOf(std::string_view("a\0b\n", 4)), std::vector<std::string>{std::string("a\0b", 3)});
}

TEST(LineCursor, CountsLinesAndOffsets) {
    const std::string text = "one\r\ntwo\nthree";
    LineCursor c(text);
    std::string_view l;
    ASSERT_TRUE(c.next(l));
    EXPECT_EQ(c.lineNo(), 1);
    EXPECT_EQ(c.offset(text.data()), 5u);
    ASSERT_TRUE(c.next(l));
    ASSERT_TRUE(c.next(l));
    EXPECT_EQ(l, "three");
    EXPECT_EQ(c.lineNo(), 3);
    EXPECT_FALSE(c.next(l));
    EXPECT_EQ(c.lineNo(), 3);
}

}  // namespace
}  // namespace molv
