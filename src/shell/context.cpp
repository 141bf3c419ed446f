#include "shell/context.h"

#include "util/fileio.h"

namespace molv {

Answer defaultAnswer(Buttons b) {
    switch (b) {
        case Buttons::Ok:
        case Buttons::OkCancel: return Answer::Ok;
        case Buttons::YesNo:
        case Buttons::YesNoCancel: return Answer::Yes;
    }
    return Answer::Ok;
}

Context::Context(UI& u) : ui(&u), model(*this) {}

void LogList::add(const std::string& message, UI* ui) {
    if (message.empty()) return;
    const char cut = message.find('\n') != std::string::npos ? '\n' : '\r';
    std::size_t start = 0;
    while (start <= message.size()) {
        std::size_t e = message.find(cut, start);
        std::string line = message.substr(start, e == std::string::npos ? std::string::npos : e - start);
        // A CR before the LF stays at the end of its line.
        for (std::size_t i = 0; i < line.size(); i += kWrap) {
            entries_.push_back(line.substr(i, kWrap));
            if (ui) ui->logAppend(entries_.back());
            while (entries_.size() > static_cast<std::size_t>(kMax)) {
                entries_.erase(entries_.begin() + 10);
                if (ui) ui->logRemoveAt(10);
            }
        }
        if (e == std::string::npos) break;
        start = e + 1;
    }
}

void LogList::clear(UI* ui) {
    entries_.clear();
    if (ui) ui->logClear();
}

void Context::logMsg(const std::string& message, int level) {
    if (level <= app.dbgLevel) logList.add(message, ui);
    ui->pumpEvents();
}

void Context::logFile(const std::string& message, int) {
    if (!logFrozen_) {
        if (app.logFileName.empty()) return;  // nowhere to write yet
        frozenLog_ = app.logFileName;
        logFrozen_ = true;
    }
    appendLineToFile(frozenLog_, message);
}

void Context::logFileIfDebug(const std::string& message, int level) {
    if (app.dbgLevel > 0) logFile(message, level);
}

void Context::deleteLogFile() {
    deleteFile(logFrozen_ ? frozenLog_ : app.logFileName);
}

void Context::showStatus(const std::string& text) {
    ui->status("[ " + text + " ]");
    ui->pumpEvents();
}

bool Context::statusDue() {
    if ((++statusCalls_ & 255u) != 0) return false;
    if (!ui->showsStatus()) return false;
    auto now = std::chrono::steady_clock::now();
    if (now - lastStatus_ < std::chrono::milliseconds(50)) return false;
    lastStatus_ = now;
    return true;
}

void Context::progress(std::int64_t done, std::int64_t total) { ui->progress(done, total); }

Answer Context::msgBox(const std::string& text, Buttons b) { return ui->messageBox(text, b, defaultAnswer(b)); }

Answer Context::msgBox(const std::string& text, Buttons b, Answer dflt) { return ui->messageBox(text, b, dflt); }

std::optional<std::string> Context::inputBox(const std::string& prompt, const std::string& title,
                                             const std::string& dflt) {
    return ui->inputBox(prompt, title, dflt);
}

}  // namespace molv
