#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "util/fileio.h"

namespace molv {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

Names namesIn(const std::string& dir) {
    Names names;
    for (auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Writes each (name, bytes) into set, in order.
bool writeAll(FileSet& set, const std::string& dir, const std::vector<std::pair<std::string, std::string>>& files,
              std::string& err) {
    for (const auto& [name, bytes] : files)
        if (!writeFileAtomic(dir + name, bytes, err, &set)) return false;
    return true;
}

#ifndef _WIN32
// Hostile things standing where the set writes. In every row the thing
// planted is left as it was and nothing outside the folder is touched.
TEST(FileSet, HostileTargetsAreNeverFollowed) {
    enum Plant { kLink, kDanglingLink, kPipe, kFolder };
    const std::string tmp = "out.cmf.tmp" + std::to_string(::getpid());
    const struct {
        Plant plant;
        Names at;
        bool written;  // the set still lands (a planted temporary name is passed by)
    } rows[] = {
        {kLink, {tmp}, true},  {kLink, {tmp, tmp + "-1"}, true}, {kDanglingLink, {tmp}, true},
        {kLink, {"out.cmf"}, false}, {kPipe, {"out.cmf"}, false}, {kFolder, {"out.cmf"}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.plant) + " at " + row.at.back());
        const std::string dir = test::tempDir("fileset_hostile");
        const std::string outside = test::tempDir("fileset_outside");
        test::writeFile(outside + "victim.txt", "precious");
        for (const std::string& name : row.at) {
            if (row.plant == kPipe)
                ::mkfifo((dir + name).c_str(), 0600);
            else if (row.plant == kFolder)
                fs::create_directory(dir + name);
            else
                fs::create_symlink(outside + (row.plant == kLink ? "victim.txt" : "none"), dir + name);
        }
        const auto before = namesIn(dir);
        FileSet set;
        std::string err;
        EXPECT_EQ(writeAll(set, dir, {{"out.cmf", "MESH"}}, err) && set.commit(err), row.written) << err;
        EXPECT_EQ(test::readFile(outside + "victim.txt"), "precious");
        EXPECT_EQ(namesIn(outside), Names{"victim.txt"});
        auto after = namesIn(dir);
        if (row.written) {
            EXPECT_EQ(fs::symlink_status(dir + "out.cmf").type(), fs::file_type::regular);
            EXPECT_EQ(test::readFile(dir + "out.cmf"), "MESH");
            after.erase(std::remove(after.begin(), after.end(), "out.cmf"), after.end());
        }
        EXPECT_EQ(after, before);  // the planted things, and no temporary
    }
}
#endif

// The source and its companions are never replaced, whatever the name used.
TEST(FileSet, ProtectedFilesAreRefused) {
    const std::string dir = test::tempDir("fileset_protect");
    test::writeFile(dir + "m.obj", "v 0 0 0");
    FileSet set;
    set.protect(dir + "m.obj");
    std::string err;
    EXPECT_FALSE(writeFileAtomic(dir + "m.obj", "x", err, &set));
    EXPECT_FALSE(writeFileAtomic(dir + "." + std::string(1, fs::path::preferred_separator) + "m.obj", "x", err, &set));
    EXPECT_NE(err.find("source"), std::string::npos) << err;
    EXPECT_TRUE(set.commit(err));
    EXPECT_EQ(test::readFile(dir + "m.obj"), "v 0 0 0");
    EXPECT_EQ(namesIn(dir), Names{"m.obj"});
}

// Until commit nothing of a set is visible; then all of it is. A set
// dropped without a commit leaves no temporary. A rename that fails part
// way puts back every file the set replaced and removes the new ones: the
// older set stays whole.
TEST(FileSet, SetsLandWholeOrNotAtAll) {
    const std::string dir = test::tempDir("fileset");
    std::string err;
    {
        FileSet dropped;
        ASSERT_TRUE(writeAll(dropped, dir, {{"a.cfg", "C"}, {"a.cmf", "M"}}, err));
        AtomicFile half(dir + "a.csf", &dropped);
        half.write("part");
    }
    EXPECT_TRUE(namesIn(dir).empty());
    {
        FileSet old;
        ASSERT_TRUE(writeAll(old, dir, {{"a.csf", "old S"}, {"a.cmf", "old M"}, {"a.cfg", "old C"}}, err)) << err;
        for (const char* n : {"a.csf", "a.cfg", "a.cmf"}) EXPECT_FALSE(fs::exists(dir + n)) << n;
        ASSERT_TRUE(old.commit(err)) << err;
    }
    EXPECT_EQ(namesIn(dir), (Names{"a.cfg", "a.cmf", "a.csf"}));
    FileSet set;
    set.putLast(dir + "a.cfg");
    ASSERT_TRUE(writeAll(set, dir, {{"a.cfg", "new C"}, {"a.csf", "new S"}, {"a_x[0].crf", "new R"}, {"a.cmf", "new M"}},
                         err));
    // The configuration, renamed last, can no longer take its name.
    fs::remove(dir + "a.cfg");
    fs::create_directories(dir + "a.cfg/inner");
    EXPECT_FALSE(set.commit(err));
    EXPECT_NE(err.find("a.cfg"), std::string::npos) << err;
    EXPECT_EQ(namesIn(dir), (Names{"a.cfg", "a.cmf", "a.csf"}));
    EXPECT_EQ(test::readFile(dir + "a.csf"), "old S");
    EXPECT_EQ(test::readFile(dir + "a.cmf"), "old M");
}

#ifndef _WIN32
// Runs body in a child process that ends with what body returns; returns
// its wait status.
int inChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// Two threads here and two in another process commit sets onto one output
// at once: each commit lands whole, so every file ends up from one writer.
TEST(FileSet, ConcurrentCommitsOntoOneOutputNeverMix) {
    const std::string dir = test::tempDir("fileset_race");
    const char* names[] = {"a.csf", "a.cmf", "a_m[0].crf", "a.cfg"};
    auto writer = [&](char who) {
        for (int round = 0; round < 40; ++round) {
            FileSet set;
            std::string err;
            for (const char* n : names) writeFileAtomic(dir + n, std::string(1, who) + std::to_string(round), err, &set);
            set.commit(err);
        }
    };
    auto pair = [&](char a, char b) {
        std::thread ta(writer, a), tb(writer, b);
        ta.join();
        tb.join();
    };
    for (int trial = 0; trial < 3; ++trial) {
        const pid_t child = ::fork();
        if (child == 0) {
            pair('C', 'D');
            ::_exit(0);
        }
        pair('A', 'B');
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        const std::string first = test::readFile(dir + names[0]);
        for (const char* n : names) EXPECT_EQ(test::readFile(dir + n), first) << n;
    }
    EXPECT_EQ(namesIn(dir).size(), 4u);
}

// A stop signal, or a full disk (a file-size limit here: signal 0), while
// a set replaces an older one: the program ends by that signal or the
// write fails, and the folder is as it was, the older set whole.
TEST(FileSet, StopSignalsAndFullDisksLeaveTheOlderSetWhole) {
    for (int sig : {SIGINT, SIGTERM, 0}) {
        const std::string dir = test::tempDir("fileset_stop");
        test::writeFile(dir + "a.cmf", "old M");
        test::writeFile(dir + "a.cfg", "old C");
        const int status = inChild([&] {
            ::signal(SIGXFSZ, SIG_IGN);
            struct rlimit lim {4096, 4096};
            if (sig == 0) ::setrlimit(RLIMIT_FSIZE, &lim);
            // Failed opens give their slots back, or the temporaries below
            // would find none and outlive the signal.
            for (int i = 0; i < 300; ++i) AtomicFile(dir + "missing/x");
            FileSet set;
            std::string err;
            writeAll(set, dir, {{"a.cfg", "new C"}, {"a_m[0].crf", "new R"}}, err);
            AtomicFile mesh(dir + "a.cmf", &set);
            mesh.write(std::string(100000, 'M'));
            if (sig != 0) return ::raise(sig);
            return mesh.commit(err) && set.commit(err) ? 0 : 3;
        });
        if (sig != 0)
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        else
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
        EXPECT_EQ(namesIn(dir), (Names{"a.cfg", "a.cmf"})) << sig;
        EXPECT_EQ(test::readFile(dir + "a.cmf") + test::readFile(dir + "a.cfg"), "old Mold C") << sig;
    }
}
#endif

}  // namespace
}  // namespace molv
