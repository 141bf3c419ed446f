// The console window system: questions at a prompt or answered by default
// without waiting, the throttled status line.
#include <gtest/gtest.h>

#include <cstdio>

#include "shell/console_ui.h"
#include "support/test_support.h"
#include "util/fspath.h"

using namespace molv;

namespace {

// The three standard files as files in a temporary folder (binary, so
// the bytes read back are the bytes written, on every system).
struct Streams {
    std::string dir = molv::test::tempDir("console");
    std::FILE* in = nullptr;
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;

    explicit Streams(const std::string& input) {
        molv::test::writeFile(dir + "in", input);
        in = openFile(dir + "in", "rb");
        out = openFile(dir + "out", "w+b");
        err = openFile(dir + "err", "w+b");
    }
    ~Streams() {
        std::fclose(in);
        std::fclose(out);
        std::fclose(err);
    }
    std::string outText() { return text(out, "out"); }
    std::string errText() { return text(err, "err"); }
    std::string text(std::FILE* f, const char* name) const {
        std::fflush(f);
        return molv::test::readFile(dir + name);
    }
    long consumed() { return std::ftell(in); }
};

}  // namespace

// Where each kind of text goes (messages and log to stderr, the result
// alone to stdout) is pinned by the program's runs in tests/data/shell/runs.

TEST(ConsoleUI, WithoutATerminalDefaultsAreTakenAtOnce) {
    Streams s("n\nno\n7\n");
    ConsoleUI ui(s.in, s.out, s.err, ConsoleOptions{});
    EXPECT_EQ(ui.messageBox("Model not centred LR/FB: centre?", Buttons::YesNoCancel, Answer::Yes), Answer::Yes);
    EXPECT_EQ(ui.messageBox("Go on?", Buttons::OkCancel, Answer::Ok), Answer::Ok);
    EXPECT_EQ(ui.messageBox("Sure?", Buttons::YesNo, Answer::No), Answer::No);
    EXPECT_EQ(ui.inputBox("Max Span is 5, enter new span ('=' to retain)", "", "50"), std::optional<std::string>("50"));
    EXPECT_EQ(s.consumed(), 0);  // nothing was read: nobody waits
    std::string e = s.errText();
    EXPECT_NE(e.find("Model not centred LR/FB: centre? [Yes]\n"), std::string::npos) << e;
    EXPECT_NE(e.find("Sure? [No]\n"), std::string::npos) << e;
    EXPECT_NE(e.find("enter new span ('=' to retain) [50]\n"), std::string::npos) << e;
    EXPECT_EQ(s.outText(), "");
}

// Lines typed on Windows end in CR LF.
TEST(ConsoleUI, AtATerminalQuestionsAreAsked) {
    Streams s("n\r\n\nmaybe\nC\nok\n y \n42\r\n\r\n=\n");
    ConsoleOptions o;
    o.interactive = true;
    ConsoleUI ui(s.in, s.out, s.err, o);
    EXPECT_EQ(ui.messageBox("Centre?", Buttons::YesNoCancel, Answer::Yes), Answer::No);
    EXPECT_EQ(ui.messageBox("Centre?", Buttons::YesNoCancel, Answer::Yes), Answer::Yes);  // Enter
    EXPECT_EQ(ui.messageBox("Centre?", Buttons::YesNoCancel, Answer::Yes), Answer::Cancel);  // asked again
    EXPECT_EQ(ui.messageBox("Go?", Buttons::OkCancel, Answer::Cancel), Answer::Ok);
    EXPECT_EQ(ui.messageBox("Save?", Buttons::YesNo, Answer::No), Answer::Yes);
    std::string e = s.errText();
    EXPECT_NE(e.find("Centre? (yes/no/cancel, Enter for yes): "), std::string::npos) << e;
    EXPECT_NE(e.find("Go? (ok/cancel, Enter for cancel): "), std::string::npos) << e;
    EXPECT_EQ(ui.inputBox("Enter size to auto-resize to:", "Auto-resize size", "100"), std::optional<std::string>("42"));
    EXPECT_EQ(ui.inputBox("Enter size to auto-resize to:", "Auto-resize size", "100"), std::optional<std::string>("100"));
    EXPECT_EQ(ui.inputBox("span", "", "50"), std::optional<std::string>("="));
    EXPECT_EQ(ui.inputBox("span", "", "50"), std::nullopt);  // end of input cancels
    EXPECT_NE(s.errText().find("Auto-resize size: Enter size to auto-resize to: [100] "), std::string::npos);
}

TEST(ConsoleUI, StatusLineOverwritesItselfAndIsThrottled) {
    Streams s("");
    ConsoleOptions o;
    o.statusLine = true;
    o.repaintInterval = std::chrono::hours(1);
    ConsoleUI ui(s.in, s.out, s.err, o);
    ui.status("[ Reading ]");
    for (int i = 0; i < 100000; ++i) ui.status("[ vertex " + std::to_string(i) + " ]");
    EXPECT_EQ(ui.repaints(), 1);
    ui.logAppend("Read complete");
    ui.finish();
    // The status line is painted, wiped before the log line, and the log
    // line stands on its own.
    EXPECT_EQ(s.errText(), "\r[ Reading ]\r           \rRead complete\n");
}

