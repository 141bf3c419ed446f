// The window system of the command-line program: message boxes and log
// lines on stderr, questions at a prompt when someone sits at a terminal,
// one self-overwriting status line when stderr is a terminal.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "core/ui.h"

namespace molv {

struct ConsoleOptions {
    // Ask at a prompt; when false every box takes its default answer at once.
    bool interactive = false;
    // Paint status and progress (stderr is a terminal).
    bool statusLine = false;
    // Log-list lines are not printed.
    bool quiet = false;
    // Shortest time between two repaints of the status line.
    std::chrono::milliseconds repaintInterval{100};
};

class ConsoleUI : public UI {
public:
    // in/out/err stay owned by the caller.
    ConsoleUI(std::FILE* in, std::FILE* out, std::FILE* err, const ConsoleOptions& opts);
    ~ConsoleUI() override;
    ConsoleUI(const ConsoleUI&) = delete;
    ConsoleUI& operator=(const ConsoleUI&) = delete;

    // Options for this process: interactive only when stdin is a terminal
    // and the user did not ask for default answers.
    static ConsoleOptions processOptions(bool assumeYes, bool quiet);

    Answer messageBox(const std::string& text, Buttons buttons, Answer dflt) override;
    // The run's result is its output; everything else is diagnostics.
    void notice(const std::string& text) override { result(text); }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& dflt) override;
    void logAppend(const std::string& entry) override;
    // On standard error, quiet or not.
    void warning(const std::string& text) override;
    void logRemoveAt(int) override {}
    void status(const std::string& text) override;
    void progress(std::int64_t done, std::int64_t total) override;
    void pumpEvents() override {}
    bool showsStatus() const override { return opts_.statusLine; }

    // The result of the run, the one message that goes to stdout.
    void result(const std::string& text);
    // Clears the status line so the shell prompt starts on a clean line.
    void finish();

    int repaints() const { return repaints_; }

private:
    void clearStatusLine();
    void paintStatus(const std::string& text);
    bool repaintDue();
    void printText(std::FILE* f, const std::string& text);
    bool readLine(std::string& line);

    std::FILE* in_;
    std::FILE* out_;
    std::FILE* err_;
    ConsoleOptions opts_;
    bool statusShown_ = false;
    std::size_t statusWidth_ = 0;
    int repaints_ = 0;
    std::chrono::steady_clock::time_point lastPaint_{};
    bool painted_ = false;
};

}  // namespace molv
