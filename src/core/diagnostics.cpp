#include "core/diagnostics.h"

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

void Diagnostics::logMsg(const std::string& message, int level) {
    if (level <= dbgLevel) logList.add(message, ui);
    ui->pumpEvents();
}

void Diagnostics::warn(const std::string& message) {
    logMsg(message);
    recordWarning(message);
}

void Diagnostics::recordWarning(const std::string& message) {
    for (const std::string& w : warnings_)
        if (w == message) return;
    warnings_.push_back(message);
}

void Diagnostics::logFile(const std::string& message, int) {
    if (!logFrozen_) {
        if (logFileName.empty()) return;  // nowhere to write yet
        frozenLog_ = logFileName;
        logFrozen_ = true;
    }
    appendLineToFile(frozenLog_, message);
}

void Diagnostics::logFileIfDebug(const std::string& message, int level) {
    if (dbgLevel > 0) logFile(message, level);
}

void Diagnostics::deleteLogFile() {
    deleteFile(logFrozen_ ? frozenLog_ : logFileName);
}

void Diagnostics::showStatus(const std::string& text) {
    ui->status("[ " + text + " ]");
    ui->pumpEvents();
}

bool Diagnostics::statusDue() {
    if ((++statusCalls_ & 255u) != 0) return false;
    if (!ui->showsStatus()) return false;
    auto now = std::chrono::steady_clock::now();
    if (now - lastStatus_ < std::chrono::milliseconds(50)) return false;
    lastStatus_ = now;
    return true;
}

void Diagnostics::progress(std::int64_t done, std::int64_t total) { ui->progress(done, total); }

Answer Diagnostics::msgBox(const std::string& text, Buttons b) { return ui->messageBox(text, b, defaultAnswer(b)); }

Answer Diagnostics::msgBox(const std::string& text, Buttons b, Answer dflt) { return ui->messageBox(text, b, dflt); }

std::optional<std::string> Diagnostics::inputBox(const std::string& prompt, const std::string& title,
                                             const std::string& dflt) {
    return ui->inputBox(prompt, title, dflt);
}

}  // namespace molv
