// The command line: rejoining argv and the switches.
#include <gtest/gtest.h>


#include "convert/cmdline.h"
#include "convert/process.h"
#include "convert/context.h"
#include "core/settings.h"
#include "convert/registry.h"
#include "support/test_support.h"
#include "util/text.h"

using namespace molv;

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

// Each parse as one text: flags dbg, dbgExact, yes, quiet, help, version,
// then source | output | whether there is a usage error.
std::string parsed(const std::string& line) {
    const CmdLineOptions o = parseCommandLine(line);
    std::string f;
    for (bool b : {o.dbg, o.dbgExact, o.yes, o.quiet, o.help, o.version}) f += b ? '1' : '0';
    return f + " " + o.srcFile + "|" + o.outFile + "|" + (o.error.empty() ? "" : "error");
}

TEST(CommandLineParse, SwitchesSourceAndOutput) {
    for (const auto& [line, want] : test::arrowRows("shell/command_lines.txt"))
        EXPECT_EQ(parsed(line), want) << line;
}

TEST(CommandLineParse, SettingsApplyInOrderForTheRun) {
    const CmdLineOptions o =
        parseCommandLine("--set AUTOCENTRE=no --size 46.5 --no-resize --set=autoResize=TRUE --set dflt_boneID=-3 a.obj");
    ASSERT_EQ(o.error, "");
    Settings s;
    applyCommandLineSettings(s, o);
    EXPECT_FALSE(s.autoCentre);
    EXPECT_EQ(s.dflt_autosize, 46.5f);
    EXPECT_TRUE(s.autoResize);  // the later word wins
    EXPECT_EQ(s.dflt_boneID, -3);
}

namespace molv {
// The help lists every setting a user may set and exactly the outputs a
// writer exists for.
TEST(CommandLineHelp, ListsTheUserSettingsAndTheOutputsThatAreWritten) {
    const std::string h = helpText("molvconv");
    for (const SettingDef& d : settingsTable()) {
        const std::string key = "  " + std::string(d.key);
        EXPECT_EQ(h.find(key + " ") != std::string::npos, d.help != nullptr) << d.key;
        // The descriptions line up in one column.
        if (d.help) {
            const std::string gap(key.size() < 26 ? 27 - key.size() : 1, ' ');
            EXPECT_NE(h.find(key + gap + d.help), std::string::npos) << d.key;
        }
    }
    for (const char* ext : {".cmf", ".cfg", ".crf", ".csf", ".caf"})
        EXPECT_NE(h.find(std::string(ext) + "  Cal3D"), std::string::npos) << ext;
    EXPECT_NE(h.find(".an8  Anim8or\n"), std::string::npos);
    EXPECT_NE(h.find(".obj  Wavefront\n"), std::string::npos);
    EXPECT_NE(h.find(".ans  Anim8or figure\n"), std::string::npos);
    EXPECT_EQ(h.find(".xmf"), std::string::npos);
}
}  // namespace molv

namespace molv::test {
namespace {

// Wherever a user reads which types are converted, every type read is named.
TEST(TypesNamed, EveryReadTypeWhereverTheTypesAreListed) {
    const std::string root = dataPath("../../");
    const struct {
        const char* where;
        std::string text;
    } rows[] = {
        {"--help", helpText("molvconv")},
        {"desktop entry", readFile(root + "app/desktop/molvconv.desktop")},
        {"Windows README", readFile(root + "packaging/windows/README.txt")},
        {"README", readFile(root + "README.md")},
    };
    for (const auto& row : rows)
        for (const std::string& type : splitTokens(userTypes(), ";"))
            if (type.size() > 1) {
                EXPECT_NE(row.text.find(type.substr(1)), std::string::npos) << row.where << " leaves out " << type;
            }
}

}  // namespace
}  // namespace molv::test
