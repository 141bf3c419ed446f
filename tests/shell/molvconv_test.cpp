// The built program run as a user or a script runs it: own home folder and
// environment, stdin no terminal. What it prints, its exit status, the
// folders it makes and the files it writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "convert/context.h"
#include "shell/run_exe.h"
#include "support/cal3d_check.h"
#include "support/test_support.h"

namespace molv::test {
namespace {

namespace fs = std::filesystem;

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        if (exePath().empty()) GTEST_SKIP() << "MOLV_EXE not set";
        home = tempDir("home");
        cwd = tempDir("cwd");
        env = userEnv(home);
        config = home + ".config/molvconv/";
    }
    RunResult run(const std::vector<std::string>& args, const std::string& input = "") {
        return runExe(args, cwd, env, input);
    }
    void box(const std::string& name = "box.obj") {
        fs::copy_file(dataPath("shell/box.obj"), cwd + name);
        fs::copy_file(dataPath("shell/box.mtl"), cwd + "box.mtl", fs::copy_options::skip_existing);
    }
    std::string home, cwd, config;
    std::vector<std::string> env;
};

TEST_F(Program, InformationAndUsage) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;  // a part of stdout ("" for none at all)
        std::string err;  // a part of stderr
    } rows[] = {
        {{"--version"}, 0, std::string(kTitle) + "\n", ""},
        {{"--help"}, 0, "--output", ""},
        {{}, 0, "Usage:", ""},
        {{"-molv", "-x"}, 0, "Usage:", ""},
        {{"a.obj", "-o"}, 2, "", "-o"},
        {{"-o", "x.cmf"}, 2, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.empty() ? "(none)" : row.args[0]);
        RunResult r = run(row.args);
        EXPECT_EQ(r.status, row.status);
        if (row.out.empty()) {
            EXPECT_EQ(r.out, "");
        }
        else EXPECT_NE(r.out.find(row.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    }
    // Only a run that may convert sets up the folders.
    EXPECT_TRUE(fs::is_directory(config + "work"));
    fs::remove_all(config);
    EXPECT_EQ(run({"--version"}).status, 0);
    EXPECT_FALSE(fs::exists(config));
}

TEST_F(Program, ConvertsAnObjAndSaysSoOnStdout) {
    box("my box.obj");
    RunResult r = run({"my", "box.obj"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Conversion complete\n");
    EXPECT_NE(r.err.find("-- READ: " + cwd + "my box.obj--"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Read complete: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Write complete"), std::string::npos) << r.err;
    if (cal3dAvailable()) {
        auto info = loadCal3dSet(cwd + "my_box");
        EXPECT_TRUE(info.ok()) << info.error;
    }

    // Quiet: the log lines go, the result stays.
    r = run({"-q", "my box.obj", "-o", "sub.cmf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Conversion complete\n");
    EXPECT_EQ(r.err.find("Read complete: "), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(cwd + "sub.cmf"));
}

TEST_F(Program, OutputNameChoosesTheWriter) {
    box();
    fs::create_directories(cwd + "out");
    RunResult r = run({"box.obj", "-o", "out/only.crf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(cwd + "out/only.crf"));
    r = run({"box.obj", "--output=out/only.csf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(cwd + "out/only.csf"));
    EXPECT_FALSE(fs::exists(cwd + "box.cmf"));
    EXPECT_FALSE(fs::exists(cwd + "out/only.cmf"));
    // Anim8or and Wavefront text, from a user's program.
    r = run({"box.obj", "-o", "out/box.an8"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Conversion complete\n");
    EXPECT_EQ(readFile(cwd + "out/box.an8").substr(0, 8), "header {");
    r = run({"box.obj", "-o", "out/copy.obj"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(cwd + "out/copy.obj").substr(0, 15), "mtllib copy.mtl");
    EXPECT_TRUE(fs::exists(cwd + "out/copy.mtl"));
    // An extension no writer takes is a failure, not a silent success.
    r = run({"box.obj", "-o", "out/x.xyz"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("xyz"), std::string::npos) << r.err;
}

TEST_F(Program, FailuresExitNonZeroAndSayWhy) {
    box();
    const struct {
        std::vector<std::string> args;
        std::string err;
    } rows[] = {
        {{"--yes", "no such model.obj"}, "Not found: "},
        {{"-o", "no such folder/prop.cmf", "box.obj"}, "no such folder/prop."},
    };
    for (const auto& row : rows) {
        RunResult r = run(row.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Conversion complete"), std::string::npos);
    }
    // A document the reader refuses.
    writeFile(cwd + "bad.dae", "<COLLADA>\n<library_geometries>\n");
    RunResult r = run({"bad.dae"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Conversion abandoned: could not read " + cwd + "bad.dae"), std::string::npos) << r.err;
}

TEST_F(Program, BareNameComesFromTheWorkFolderUnlessItIsHere) {
    ASSERT_EQ(run({}).status, 0);  // creates the work folder
    fs::copy_file(dataPath("shell/box.obj"), config + "work/w.obj");
    RunResult r = run({"w.obj"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(config + "work/w.cmf"));
    box("w.obj");
    r = run({"w.obj"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(cwd + "w.cmf"));
}

TEST_F(Program, DbgTracesStartUpToTheCurrentFolder) {
    RunResult r = run({"-dbg"});
    EXPECT_EQ(r.status, 0);
    std::string log = readFile(cwd + "0molvconv.log");
    EXPECT_EQ(log.rfind(std::string(kTitle) + "\r\nConfigDir=" + config + "\r\nL1\r\nL2\r\nL3\r\nL4\r\nL5\r\n", 0), 0u)
        << log;
    EXPECT_FALSE(fs::exists(config + "work/0molvconv.log"));
}

TEST_F(Program, ConfigurationFolderFollowsTheEnvironment) {
    std::string temp = tempDir("TEMP");
    env = userEnv(home, {"TEMP=" + temp});
    EXPECT_EQ(run({}).status, 0);
    EXPECT_TRUE(fs::is_directory(temp + "molvconv/work"));
    EXPECT_FALSE(fs::exists(config));

    std::string profile = tempDir("PROFILE");
    env = userEnv(home, {"TEMP=" + temp, "USERPROFILE=" + profile});
    EXPECT_EQ(run({}).status, 0);
    EXPECT_TRUE(fs::is_directory(profile + "application data/molvconv/work"));
}

TEST_F(Program, DeveloperModeNeedsTheNameAndTheMarker) {
    std::string bin = tempDir("bin");
    fs::create_symlink(exePath(), bin + "vtm3");
    RunResult r = runExe({}, cwd, env, "", bin + "vtm3");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.find("logfile="), std::string::npos);  // no marker yet

    fs::create_directories(config);
    writeFile(config + "molv.id", "");
    r = runExe({}, cwd, env, "", bin + "vtm3");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("logfile=" + config + "dev/0molvconv.log"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_directory(config + "dev"));

    // Another name with the marker in place stays a user's program.
    fs::create_symlink(exePath(), bin + "vtm");
    r = runExe({}, cwd, env, "", bin + "vtm");
    EXPECT_EQ(r.err.find("logfile="), std::string::npos);
}

TEST_F(Program, DeveloperModeListsCataloguesAndReadsAnim8or) {
    std::string bin = tempDir("bin");
    fs::create_symlink(exePath(), bin + "mc");
    fs::create_directories(config);
    writeFile(config + "molv.id", "");
    fs::create_directories(cwd + "props");
    writeFile(cwd + "props/descriptors.rtml", "<model>a/x.xml</model>\n");
    RunResult r = runExe({"props/descriptors.rtml"}, cwd, env, "", bin + "mc");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Conversion complete\n");
    EXPECT_EQ(readFile(cwd + "props/props_prop_info.txt"), " --- " + cwd + "props/descriptors.rtml ---\r\n\r\na/x.xml\r\n");
    EXPECT_EQ(r.err.find("centre"), std::string::npos) << r.err;
    // The model written as Anim8or reads back, and goes on to Wavefront.
    box();
    r = run({"box.obj", "-o", "box.an8"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = runExe({"box.an8", "-o", "again.obj"}, cwd, env, "", bin + "mc");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Read complete: "), std::string::npos) << r.err;
    EXPECT_EQ(readFile(cwd + "again.obj").substr(0, 16), "mtllib again.mtl");
    // A user's program does not read Anim8or.
    r = run({"box.an8", "-o", "more.obj"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(cwd + "more.obj"));
}

TEST_F(Program, StartUpFailureNamesThePhaseAndFolder) {
    // The configuration folder's parent is a file: the folder cannot be made.
    writeFile(home + "blocker", "x");
    env = userEnv(home, {"TEMP=" + home + "blocker"});
    RunResult r = run({"a.obj"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Error in molvConv V0.2.49 code P3"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Probably a problem with the following path: \n" + home + "blocker/molvconv/"), std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace molv::test
