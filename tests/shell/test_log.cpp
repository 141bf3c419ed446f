// The log list (wrapping, the 100-entry limit that keeps the first ten),
// the log file (one CR LF line per call, name frozen, failures swallowed)
// and the status text.
#include <gtest/gtest.h>

#include "convert/context.h"
#include "core/scripted_ui.h"
#include "support/test_support.h"

using namespace molv;
using namespace molv::test;

namespace {
std::vector<std::string> entries(const Context& ctx) {
    return std::vector<std::string>(ctx.logList.entries().begin(), ctx.logList.entries().end());
}
}  // namespace

TEST(LogList, LongLinesWrapAt120) {
    ScriptedUI ui;
    Context ctx(ui);
    std::string m;
    for (int i = 0; i < 250; ++i) m += static_cast<char>('a' + i % 26);
    ctx.logMsg(m);
    auto e = entries(ctx);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0], m.substr(0, 120));
    EXPECT_EQ(e[1], m.substr(120, 120));
    EXPECT_EQ(e[2], m.substr(240));
    EXPECT_EQ(ui.log, e);  // the window shows what the list holds
}

TEST(LogList, KeepsTheFirstTenAndDropsTheEleventh) {
    ScriptedUI ui;
    Context ctx(ui);
    for (int i = 0; i < 100; ++i) ctx.logMsg("line " + std::to_string(i));
    ASSERT_EQ(ctx.logList.entries().size(), 100u);
    ctx.logMsg("line 100");
    auto e = entries(ctx);
    ASSERT_EQ(e.size(), 100u);
    EXPECT_EQ(e[0], "line 0");
    EXPECT_EQ(e[9], "line 9");
    EXPECT_EQ(e[10], "line 11");
    EXPECT_EQ(e[99], "line 100");
    ctx.logMsg("line 101");
    e = entries(ctx);
    EXPECT_EQ(e[9], "line 9");
    EXPECT_EQ(e[10], "line 12");
    EXPECT_EQ(ui.log, e);
}

TEST(LogList, AWrappedMessagePastTheLimitStillKeepsTheFirstTen) {
    ScriptedUI ui;
    Context ctx(ui);
    for (int i = 0; i < 99; ++i) ctx.logMsg("x" + std::to_string(i));
    ctx.logMsg(std::string(360, 'y'));  // three entries at once
    auto e = entries(ctx);
    ASSERT_EQ(e.size(), 100u);
    EXPECT_EQ(e[9], "x9");
    EXPECT_EQ(e[10], "x12");
    EXPECT_EQ(e[99], std::string(120, 'y'));
}

TEST(LogList, LineFeedsCutFirstAndCarriageReturnsOtherwise) {
    ScriptedUI ui;
    Context ctx(ui);
    ctx.logMsg("one\r\ntwo\nthree");
    EXPECT_EQ(entries(ctx), (std::vector<std::string>{"one\r", "two", "three"}));
    ctx.logList.clear(&ui);
    ctx.logMsg("a\rb\r\rc\r");
    EXPECT_EQ(entries(ctx), (std::vector<std::string>{"a", "b", "c"}));
    ctx.logList.clear(&ui);
    ctx.logMsg("p\rq\nr");  // a line feed is present: the lone CR stays inside
    EXPECT_EQ(entries(ctx), (std::vector<std::string>{"p\rq", "r"}));
    EXPECT_TRUE(ui.log.size() == 2);
}

TEST(LogList, EmptyMessagesAndDeeperLevelsAddNothing) {
    ScriptedUI ui;
    Context ctx(ui);
    ctx.logMsg("");
    ctx.logMsg("\n\n");
    ctx.logMsg("detail", 1);
    EXPECT_TRUE(ctx.logList.entries().empty());
    ctx.dbgLevel = 1;
    ctx.logMsg("detail", 1);
    ctx.logMsg("deeper", 2);
    EXPECT_EQ(entries(ctx), std::vector<std::string>{"detail"});
    EXPECT_TRUE(ctx.logWanted(1));
    EXPECT_FALSE(ctx.logWanted(2));
}

TEST(LogFile, LinesEndInCrLfAndTheNameIsFrozen) {
    ScriptedUI ui;
    Context ctx(ui);
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

TEST(LogFile, FailuresAreSwallowed) {
    ScriptedUI ui;
    Context ctx(ui);
    ctx.logFileName = tempDir("nolog") + "missing/folder/x.log";
    ctx.logFile("lost");
    ctx.deleteLogFile();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.log.empty());
}

TEST(LogFile, IfDebugWritesOnlyAboveLevelZero) {
    ScriptedUI ui;
    Context ctx(ui);
    std::string dir = tempDir("logdbg");
    ctx.logFileName = dir + "d.log";
    ctx.logFileIfDebug("quiet", 1);
    ctx.dbgLevel = 1;
    ctx.logFileIfDebug("shown", 3);
    EXPECT_EQ(readFile(dir + "d.log"), "shown\r\n");
}

TEST(StatusText, IsBracketed) {
    ScriptedUI ui;
    ui.recordStatus = true;
    Context ctx(ui);
    ctx.showStatus("Complete");
    EXPECT_EQ(ui.statuses, std::vector<std::string>{"[ Complete ]"});
}

TEST(StatusText, DueIsRareAndNeverWhenNobodyLooks) {
    ScriptedUI ui;
    Context ctx(ui);
    int due = 0;
    for (int i = 0; i < 100000; ++i) due += ctx.statusDue() ? 1 : 0;
    EXPECT_EQ(due, 0);
    ui.recordStatus = true;
    for (int i = 0; i < 100000; ++i) due += ctx.statusDue() ? 1 : 0;
    EXPECT_GE(due, 1);
    EXPECT_LE(due, 100000 / 256 + 1);
}
