#include "util/fileio.h"

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


}  // namespace
}  // namespace molv
