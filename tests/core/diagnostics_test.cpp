// The log list (wrapping, the 100-entry limit that keeps the first ten),
// the log file (one CR LF line per call, name frozen, failures swallowed)
// and the status text.
#include <gtest/gtest.h>

#include "convert/context.h"
#include "support/test_support.h"
#include "support/harness.h"

using namespace molv;
using namespace molv::test;

namespace {
struct DiagnosticsTest : ::testing::Test, TestContext {};

std::vector<std::string> entries(const Context& ctx) {
    return std::vector<std::string>(ctx.logList.entries().begin(), ctx.logList.entries().end());
}
}  // namespace

// The window shows what the list holds.
TEST_F(DiagnosticsTest, LogListWrapsAt120AndKeepsTheFirstTen) {
    std::string m;
    for (int i = 0; i < 250; ++i) m += static_cast<char>('a' + i % 26);
    ctx.logMsg(m);
    EXPECT_EQ(entries(ctx), (std::vector<std::string>{m.substr(0, 120), m.substr(120, 120), m.substr(240)}));
    EXPECT_EQ(ui.log, entries(ctx));

    // Lines 0 to 2 are the three pieces.
    for (int i = 3; i < 100; ++i) ctx.logMsg("line " + std::to_string(i));
    ASSERT_EQ(ctx.logList.entries().size(), 100u);
    ctx.logMsg("line 100");
    auto e = entries(ctx);
    ASSERT_EQ(e.size(), 100u);
    EXPECT_EQ(e[2], m.substr(240));
    EXPECT_EQ(e[9], "line 9");
    EXPECT_EQ(e[10], "line 11");
    EXPECT_EQ(e[99], "line 100");
    ctx.logMsg("line 101");
    e = entries(ctx);
    EXPECT_EQ(e[9], "line 9");
    EXPECT_EQ(e[10], "line 12");
    EXPECT_EQ(ui.log, e);
}

TEST_F(DiagnosticsTest, LogFileLinesEndInCrLfAndTheNameIsFrozen) {
    std::string dir = tempDir("logfile");
    ctx.logFile("before any name");  // nowhere to go yet: dropped, nothing frozen
    ctx.logFileName = dir + "a.log";
    ctx.logFile("first");
    ctx.logFileName = dir + "b.log";
    ctx.logFile("second", 3);
    EXPECT_EQ(readFile(dir + "a.log"), "first\r\nsecond\r\n");
    EXPECT_EQ(readFile(dir + "b.log"), "");
    EXPECT_EQ(ctx.frozenLogFileName(), dir + "a.log");
    ctx.deleteLogFile();
    EXPECT_EQ(readFile(dir + "a.log"), "");
    ctx.logFile("after delete");
    EXPECT_EQ(readFile(dir + "a.log"), "after delete\r\n");
}

TEST_F(DiagnosticsTest, StatusTextDueIsRareAndNeverWhenNobodyLooks) {
    int due = 0;
    for (int i = 0; i < 100000; ++i) due += ctx.statusDue() ? 1 : 0;
    EXPECT_EQ(due, 0);
    ui.recordStatus = true;
    for (int i = 0; i < 100000; ++i) due += ctx.statusDue() ? 1 : 0;
    EXPECT_GE(due, 1);
    EXPECT_LE(due, 100000 / 256 + 1);
}
