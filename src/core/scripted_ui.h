// The window system as tests see it: questions are answered from a queue
// (or with their defaults) and every message is recorded.
#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/diagnostics.h"
#include "core/ui.h"

namespace molv {

class ScriptedUI : public UI {
public:
    static constexpr std::size_t kLogWrap = LogList::kWrap;
    struct Box {
        std::string text;
        Buttons buttons;
        Answer answer;
    };
    std::vector<Box> boxes;
    std::vector<std::string> prompts;
    std::vector<std::string> log;  // mirrors the log list
    std::vector<std::string> statuses;
    std::deque<Answer> answers;                     // for message boxes
    std::deque<std::optional<std::string>> inputs;  // for input boxes
    bool recordStatus = false;

    Answer messageBox(const std::string& text, Buttons b, Answer dflt) override {
        Answer a = dflt;
        if (!answers.empty()) {
            a = answers.front();
            answers.pop_front();
        }
        boxes.push_back({text, b, a});
        return a;
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string&,
                                        const std::string& dflt) override {
        prompts.push_back(prompt);
        if (inputs.empty()) return dflt;
        auto r = inputs.front();
        inputs.pop_front();
        return r;
    }
    void logAppend(const std::string& e) override { log.push_back(e); }
    void logRemoveAt(int i) override { log.erase(log.begin() + i); }
    void logClear() override { log.clear(); }
    void status(const std::string& t) override {
        if (recordStatus) statuses.push_back(t);
    }
    void progress(std::int64_t, std::int64_t) override {}
    void pumpEvents() override {}
    bool showsStatus() const override { return recordStatus; }

    // All box texts joined, for assertions on what the user was told.
    bool sawBox(const std::string& part) const {
        for (auto& b : boxes)
            if (b.text.find(part) != std::string::npos) return true;
        return false;
    }
    // A line the log list wrapped (pieces of exactly LogList::kWrap) is
    // searched whole, so assertions do not depend on how long a path is.
    bool sawLog(const std::string& part) const {
        std::string whole;
        for (auto& l : log) {
            whole += l;
            if (l.size() != kLogWrap) {
                if (whole.find(part) != std::string::npos) return true;
                whole.clear();
            }
        }
        return whole.find(part) != std::string::npos;
    }
};

}  // namespace molv
