// The command line: rejoining argv and the switches.
#include <gtest/gtest.h>

#include "convert/cmdline.h"
#include "convert/process.h"
#include "convert/context.h"
#include "util/text.h"

using namespace molv;

TEST(CommandLineJoin, PlainWordsAreNotQuoted) {
    EXPECT_EQ(joinArguments({"-dbg", "C:\\models\\chair.3ds"}), "-dbg C:\\models\\chair.3ds");
    EXPECT_EQ(joinArguments({"my chair.obj"}), "\"my chair.obj\"");
    EXPECT_EQ(joinArguments({"", "a"}), "a");
}

// What Windows hands over is the whole line as typed; the program's own
// name goes before the words are split.
TEST(CommandLineWindows, ArgumentsFollowTheProgramName) {
    EXPECT_EQ(argumentsOf("molvconv.exe -dbg C:\\models\\chair.3ds"), "-dbg C:\\models\\chair.3ds");
    EXPECT_EQ(argumentsOf("\"C:\\Program Files\\molvConv\\molvconv.exe\"  \t\"my chair.obj\" "),
              "\"my chair.obj\" ");
    EXPECT_EQ(argumentsOf("molvconv"), "");
    EXPECT_EQ(argumentsOf("\"C:\\unclosed quote\\molvconv.exe"), "");
    EXPECT_EQ(argumentsOf(""), "");
    // Then splitCommandLine's rules: a backslash before a quote stays a
    // backslash, unquoted words with blanks are joined again.
    CmdLineOptions o = parseCommandLine(argumentsOf("molvconv.exe -o \"D:\\out dir\\\"a.cmf C:\\my  models\\chair.3ds"));
    EXPECT_EQ(o.outFile, "D:\\out dir\\a.cmf");
    EXPECT_EQ(o.srcFile, "C:\\my models\\chair.3ds");
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


namespace molv {
// The help lists exactly the outputs a writer exists for.
TEST(CommandLineHelp, ListsTheOutputsThatAreWritten) {
    const std::string h = helpText("molvconv");
    for (const char* ext : {".cmf", ".cfg", ".crf", ".csf", ".caf"})
        EXPECT_NE(h.find(std::string(ext) + "  Cal3D"), std::string::npos) << ext;
    EXPECT_NE(h.find(".an8  Anim8or\n"), std::string::npos);
    EXPECT_NE(h.find(".obj  Wavefront\n"), std::string::npos);
    EXPECT_NE(h.find(".ans  Anim8or figure\n"), std::string::npos);
    EXPECT_EQ(h.find(".xmf"), std::string::npos);
}
}  // namespace molv
