// The command line: rejoining argv so the splitter gives the words back,
// the switches, and the built program run end to end.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "shell/cmdline.h"
#include "convert/context.h"
#include "support/test_support.h"
#include "run_exe.h"
#include "util/text.h"

using namespace molv;
using namespace molv::test;

namespace {

std::vector<std::string> wordsOf(const std::string& line) {
    auto t = splitCommandLine(line, " ");
    return std::vector<std::string>(t.begin() + 1, t.end());
}

}  // namespace

// Every word of blanks, tabs, quotes and letters up to five characters
// long survives the trip through one command line text, next to another.
TEST(CommandLineJoin, EveryShortWordSurvivesTheSplitter) {
    const char alphabet[] = {'a', ' ', '"', '\t'};
    std::vector<std::string> words = {""};
    for (int len = 1; len <= 5; ++len) {
        std::vector<std::string> next;
        for (auto& w : words)
            for (char c : alphabet) next.push_back(w + c);
        for (auto& w : next) {
            std::vector<std::string> args = {w, "x y", "-o"};
            ASSERT_EQ(wordsOf(joinArguments(args)), args) << "word [" << w << "] as " << quoteWord(w);
            std::vector<std::string> rev = {"b", w};
            ASSERT_EQ(wordsOf(joinArguments(rev)), rev) << "word [" << w << "] as " << quoteWord(w);
        }
        words = std::move(next);
    }
}

TEST(CommandLineJoin, PlainWordsAreNotQuoted) {
    EXPECT_EQ(joinArguments({"-dbg", "C:\\models\\chair.3ds"}), "-dbg C:\\models\\chair.3ds");
    EXPECT_EQ(joinArguments({"my chair.obj"}), "\"my chair.obj\"");
    EXPECT_EQ(joinArguments({"", "a"}), "a");
}

TEST(CommandLineParse, SwitchesAndSourceWords) {
    CmdLineOptions o = parseCommandLine("-dbg /data/my chair.3ds");
    EXPECT_TRUE(o.dbg);
    EXPECT_TRUE(o.dbgExact);
    EXPECT_EQ(o.srcFile, "/data/my chair.3ds");

    o = parseCommandLine("-DBG chair.3ds");
    EXPECT_TRUE(o.dbg);
    EXPECT_FALSE(o.dbgExact);  // the log file stays in the work folder
    EXPECT_EQ(o.srcFile, "chair.3ds");

    o = parseCommandLine("-molv -x");
    EXPECT_EQ(o.srcFile, "");
    EXPECT_FALSE(o.dbg);
    EXPECT_TRUE(o.error.empty());
}

TEST(CommandLineParse, RunsOfBlanksCollapseButQuotedBlanksStay) {
    EXPECT_EQ(parseCommandLine("my    big   chair.obj").srcFile, "my big chair.obj");
    EXPECT_EQ(parseCommandLine("\"my    big\"   chair.obj").srcFile, "my    big chair.obj");
}

TEST(CommandLineParse, ANameContainingDbgIsNoSwitch) {
    CmdLineOptions o = parseCommandLine("/data/x-dbg.obj");
    EXPECT_FALSE(o.dbg);
    EXPECT_FALSE(o.dbgExact);
    EXPECT_EQ(o.srcFile, "/data/x-dbg.obj");
}

TEST(CommandLineParse, TerminalOptions) {
    CmdLineOptions o = parseCommandLine("--yes -q a.obj -o \"out dir/a b.obj\"");
    EXPECT_TRUE(o.yes);
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.srcFile, "a.obj");
    EXPECT_EQ(o.outFile, "out dir/a b.obj");

    o = parseCommandLine("a.obj --output=Out.AN8");
    EXPECT_EQ(o.outFile, "Out.AN8");  // the name keeps its case
    EXPECT_TRUE(parseCommandLine("--HELP").help);
    EXPECT_TRUE(parseCommandLine("-h").help);
    EXPECT_TRUE(parseCommandLine("--version").version);
    EXPECT_TRUE(parseCommandLine("-Y").yes);
}

TEST(CommandLineParse, OutputWithoutNameIsAUsageError) {
    EXPECT_FALSE(parseCommandLine("a.obj -o").error.empty());
    EXPECT_FALSE(parseCommandLine("a.obj --output=").error.empty());
}

TEST(CommandLineParse, DoubleDashEndsTheSwitches) {
    CmdLineOptions o = parseCommandLine("-q -- -odd name.obj");
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.srcFile, "-odd name.obj");
    EXPECT_TRUE(o.outFile.empty());
}

TEST(CommandLineHelp, ListsTheOptions) {
    std::string h = helpText("molvconv");
    for (const char* opt : {"--output", "-o,", "--yes", "--quiet", "-dbg", "--help", "--version"})
        EXPECT_NE(h.find(opt), std::string::npos) << opt;
    EXPECT_EQ(h.rfind(kTitle, 0), 0u);
}

// ---- The built program ----

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
    std::string home, cwd, config;
    std::vector<std::string> env;
};

TEST_F(Program, VersionPrintsTheTitle) {
    RunResult r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(kTitle) + "\n");
    EXPECT_EQ(r.err, "");
    // Asking for the version touches no folder.
    EXPECT_FALSE(std::filesystem::exists(config));
}

TEST_F(Program, HelpListsTheOptionsAndSucceeds) {
    RunResult r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--output"), std::string::npos);
    EXPECT_NE(r.out.find("--yes"), std::string::npos);
}

TEST_F(Program, WithoutSourceShowsHelpAndSetsUpTheFolders) {
    RunResult r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage:"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(config + "work"));

    r = run({"-molv", "-x"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage:"), std::string::npos);
}

TEST_F(Program, UsageErrors) {
    RunResult r = run({"a.obj", "-o"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("-o"), std::string::npos);
    r = run({"-o", "x.cmf"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
}

TEST_F(Program, MissingSourceFailsWithReasonOnStderr) {
    RunResult r = run({"--yes", "no such model.obj"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no such model.obj"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Conversion complete"), std::string::npos);
}

TEST_F(Program, DbgTracesStartUpToTheCurrentFolder) {
    RunResult r = run({"-dbg"});
    EXPECT_EQ(r.status, 0);
    std::string log = readFile(cwd + "0molvconv.log");
    EXPECT_EQ(log.rfind(std::string(kTitle) + "\r\nConfigDir=" + config + "\r\nL1\r\nL2\r\nL3\r\nL4\r\nL5\r\n", 0), 0u)
        << log;
    EXPECT_FALSE(std::filesystem::exists(config + "work/0molvconv.log"));
}

TEST_F(Program, ConfigurationFolderFollowsTheEnvironment) {
    std::string temp = tempDir("TEMP");
    env = userEnv(home, {"TEMP=" + temp});
    EXPECT_EQ(run({}).status, 0);
    EXPECT_TRUE(std::filesystem::is_directory(temp + "molvconv/work"));
    EXPECT_FALSE(std::filesystem::exists(config));

    std::string profile = tempDir("PROFILE");
    env = userEnv(home, {"TEMP=" + temp, "USERPROFILE=" + profile});
    EXPECT_EQ(run({}).status, 0);
    EXPECT_TRUE(std::filesystem::is_directory(profile + "application data/molvconv/work"));
}

TEST_F(Program, DeveloperModeNeedsTheNameAndTheMarker) {
    std::string bin = tempDir("bin");
    std::filesystem::create_symlink(exePath(), bin + "vtm3");
    RunResult r = runExe({}, cwd, env, "", bin + "vtm3");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.find("logfile="), std::string::npos);  // no marker yet

    std::filesystem::create_directories(config);
    writeFile(config + "molv.id", "");
    r = runExe({}, cwd, env, "", bin + "vtm3");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("logfile=" + config + "dev/0molvconv.log"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_directory(config + "dev"));

    // Another name with the marker in place stays a user's program.
    std::filesystem::create_symlink(exePath(), bin + "vtm");
    r = runExe({}, cwd, env, "", bin + "vtm");
    EXPECT_EQ(r.err.find("logfile="), std::string::npos);
}

TEST_F(Program, StartUpFailureNamesThePhaseAndFolder) {
    // The configuration folder's parent is a file: the folder cannot be made.
    writeFile(home + "blocker", "x");
    env = userEnv(home, {"TEMP=" + home + "blocker"});
    RunResult r = run({"a.obj"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Error in molvConv V0.2.49 code P3"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Probably a problem with the following path: \n" + home + "blocker/molvconv/"),
              std::string::npos)
        << r.err;
}

// A whole conversion: the example box converts beside a copy of itself.
TEST_F(Program, ConvertsAnObjAndSaysSoOnStdout) {
    std::filesystem::copy_file(dataPath("shell/box.obj"), cwd + "my box.obj");
    std::filesystem::copy_file(dataPath("shell/box.mtl"), cwd + "box.mtl");
    RunResult r = run({"my", "box.obj"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Conversion complete\n");
    EXPECT_NE(r.err.find("Read complete: "), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(cwd + "my_box.cmf"));

    // Quiet: the log lines go, the result stays.
    r = run({"-q", "my box.obj", "-o", "sub.cmf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Conversion complete\n");
    EXPECT_EQ(r.err.find("Read complete: "), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(cwd + "sub.cmf"));
}

TEST_F(Program, OutputNameChoosesTheWriter) {
    std::filesystem::copy_file(dataPath("shell/box.obj"), cwd + "box.obj");
    std::filesystem::copy_file(dataPath("shell/box.mtl"), cwd + "box.mtl");
    std::filesystem::create_directories(cwd + "out");
    RunResult r = run({"box.obj", "-o", "out/only.crf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(cwd + "out/only.crf"));
    r = run({"box.obj", "--output=out/only.csf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(cwd + "out/only.csf"));
    EXPECT_FALSE(std::filesystem::exists(cwd + "box.cmf"));
    EXPECT_FALSE(std::filesystem::exists(cwd + "out/only.cmf"));

    // An extension no writer takes is a failure, not a silent success.
    r = run({"box.obj", "-o", "out/x.xyz"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("xyz"), std::string::npos) << r.err;
}

TEST_F(Program, UnwritableOutputFails) {
    std::filesystem::copy_file(dataPath("shell/box.obj"), cwd + "box.obj");
    RunResult r = run({"box.obj", "-o", "missing folder/box.cmf"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out, "");
}

TEST_F(Program, RelativeSourceFromTheWorkFolder) {
    ASSERT_EQ(run({}).status, 0);  // creates the work folder
    std::filesystem::copy_file(dataPath("shell/box.obj"), config + "work/w.obj");
    RunResult r = run({"w.obj"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(config + "work/w.cmf"));
}
