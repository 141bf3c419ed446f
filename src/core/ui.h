// The one door to the window system. The core never talks to a terminal or
// a widget directly: the console, the Qt window and the tests' scripted
// answerer each implement this.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace molv {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

class UI {
public:
    virtual ~UI() = default;
    // Modal message box; returns the button pressed. `dflt` is the answer a
    // non-interactive run takes.
    virtual Answer messageBox(const std::string& text, Buttons buttons, Answer dflt) = 0;
    // The outcome of a whole run ("Conversion complete"): the console prints
    // it on standard output, a window shows it in a box.
    virtual void notice(const std::string& text) { messageBox(text, Buttons::Ok, Answer::Ok); }
    // A warning repeated at the end of a run that wrote its set: the console
    // prints it on standard error even when quiet.
    virtual void warning(const std::string& text) { logAppend(text); }
    // Input box; nullopt when cancelled.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& dflt) = 0;
    // A line added to / removed from the log list (the core keeps the list).
    virtual void logAppend(const std::string& entry) = 0;
    virtual void logRemoveAt(int index) = 0;
    virtual void logClear() {}
    // The menu-bar status text, already bracketed.
    virtual void status(const std::string& text) = 0;
    virtual void progress(std::int64_t done, std::int64_t total) = 0;
    virtual void pumpEvents() = 0;
    // Whether anybody sees status and progress; when false callers may skip
    // building the text at all.
    virtual bool showsStatus() const { return true; }
};

// Nobody watches: every question takes its default, everything shown is
// dropped (a batch item, a read-back).
class QuietUI : public UI {
public:
    Answer messageBox(const std::string&, Buttons, Answer dflt) override { return dflt; }
    void notice(const std::string&) override {}
    void warning(const std::string&) override {}
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string& dflt) override {
        return dflt;
    }
    void logAppend(const std::string&) override {}
    void logRemoveAt(int) override {}
    void status(const std::string&) override {}
    void progress(std::int64_t, std::int64_t) override {}
    void pumpEvents() override {}
    bool showsStatus() const override { return false; }
};

// Default answer of a box when nobody can be asked: OK for OK boxes, OK for
// OK/Cancel, Yes for Yes/No and Yes/No/Cancel, unless the caller names one.
Answer defaultAnswer(Buttons b);

}  // namespace molv
