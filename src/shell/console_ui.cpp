#include "shell/console_ui.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "util/numfmt.h"
#include "util/text.h"

namespace molv {

namespace {

const char* answerName(Answer a) {
    switch (a) {
        case Answer::Ok: return "OK";
        case Answer::Cancel: return "Cancel";
        case Answer::Yes: return "Yes";
        case Answer::No: return "No";
    }
    return "OK";
}

const char* choices(Buttons b) {
    switch (b) {
        case Buttons::Ok: return "";
        case Buttons::OkCancel: return "ok/cancel";
        case Buttons::YesNo: return "yes/no";
        case Buttons::YesNoCancel: return "yes/no/cancel";
    }
    return "";
}

// The answer a typed word stands for, when the box offers it.
std::optional<Answer> parseAnswer(const std::string& word, Buttons b) {
    std::string w = toLowerAscii(trimView(word, " \t"));
    if (w.empty()) return std::nullopt;
    auto is = [&](const char* full) { return w == full || (w.size() == 1 && w[0] == full[0]); };
    bool hasCancel = b == Buttons::OkCancel || b == Buttons::YesNoCancel;
    bool hasYesNo = b == Buttons::YesNo || b == Buttons::YesNoCancel;
    if (b == Buttons::OkCancel && is("ok")) return Answer::Ok;
    if (hasYesNo && is("yes")) return Answer::Yes;
    if (hasYesNo && is("no")) return Answer::No;
    if (hasCancel && is("cancel")) return Answer::Cancel;
    return std::nullopt;
}

#ifdef _WIN32
// isatty also says yes for the NUL device, where nobody would answer: only
// a console counts.
bool isTerminal(int fd) {
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)), &mode) != 0;
}

int terminalWidth(std::FILE* f) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(f))), &info)) {
        int w = info.srWindow.Right - info.srWindow.Left + 1;
        if (w > 10) return w;
    }
    return 80;
}
#else
bool isTerminal(int fd) { return ::isatty(fd) == 1; }

int terminalWidth(std::FILE* f) {
    struct winsize ws {};
    if (::ioctl(::fileno(f), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 10) return ws.ws_col;
    return 80;
}
#endif

}  // namespace

ConsoleUI::ConsoleUI(std::FILE* in, std::FILE* out, std::FILE* err, const ConsoleOptions& opts)
    : in_(in), out_(out), err_(err), opts_(opts) {}

ConsoleUI::~ConsoleUI() { finish(); }

ConsoleOptions ConsoleUI::processOptions(bool assumeYes, bool quiet) {
    ConsoleOptions o;
    o.interactive = !assumeYes && isTerminal(0);
    o.statusLine = isTerminal(2);
    o.quiet = quiet;
    return o;
}

// Lines of the log list and of boxes are cut at CR by the window system's
// convention; on a terminal a bare CR would overwrite, so it becomes a line end.
void ConsoleUI::printText(std::FILE* f, const std::string& text) {
    clearStatusLine();
    std::string s;
    s.reserve(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') continue;
            c = '\n';
        }
        s.push_back(c);
    }
    while (!s.empty() && s.back() == '\n') s.pop_back();
    s.push_back('\n');
    std::fwrite(s.data(), 1, s.size(), f);
    std::fflush(f);
}

bool ConsoleUI::readLine(std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(in_)) != EOF) {
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (c == EOF && line.empty()) return false;
    // Lines typed on Windows, or piped from a Windows file, end in CR LF.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

Answer ConsoleUI::messageBox(const std::string& text, Buttons buttons, Answer dflt) {
    if (buttons == Buttons::Ok) {
        printText(err_, text);
        return Answer::Ok;
    }
    if (!parseAnswer(answerName(dflt), buttons)) dflt = defaultAnswer(buttons);
    if (!opts_.interactive) {
        printText(err_, text + " [" + answerName(dflt) + "]");
        return dflt;
    }
    std::string prompt = text + " (" + choices(buttons) + ", Enter for " + toLowerAscii(answerName(dflt)) + "): ";
    for (;;) {
        clearStatusLine();
        std::fputs(prompt.c_str(), err_);
        std::fflush(err_);
        std::string line;
        if (!readLine(line)) {
            // Input ended: nobody left to ask.
            std::fputs("\n", err_);
            opts_.interactive = false;
            return dflt;
        }
        if (trimView(line, " \t").empty()) return dflt;
        if (auto a = parseAnswer(line, buttons)) return *a;
    }
}

std::optional<std::string> ConsoleUI::inputBox(const std::string& prompt, const std::string& title,
                                               const std::string& dflt) {
    std::string head = title.empty() ? prompt : title + ": " + prompt;
    if (!opts_.interactive) {
        printText(err_, head + " [" + dflt + "]");
        return dflt;
    }
    clearStatusLine();
    std::fputs((head + " [" + dflt + "] ").c_str(), err_);
    std::fflush(err_);
    std::string line;
    if (!readLine(line)) {
        std::fputs("\n", err_);
        opts_.interactive = false;
        return std::nullopt;  // end of input cancels, as closing the box would
    }
    if (trimView(line, " \t").empty()) return dflt;
    return line;
}

void ConsoleUI::logAppend(const std::string& entry) {
    if (!opts_.quiet) printText(err_, entry);
}

void ConsoleUI::warning(const std::string& text) {
    clearStatusLine();
    printText(err_, text);
}

bool ConsoleUI::repaintDue() {
    auto now = std::chrono::steady_clock::now();
    if (painted_ && now - lastPaint_ < opts_.repaintInterval) return false;
    painted_ = true;
    lastPaint_ = now;
    return true;
}

void ConsoleUI::paintStatus(const std::string& text) {
    std::size_t width = static_cast<std::size_t>(terminalWidth(err_)) - 1;
    std::string s = text.size() > width ? text.substr(0, width) : text;
    std::string line = "\r" + s;
    if (s.size() < statusWidth_) line.append(statusWidth_ - s.size(), ' ');
    std::fwrite(line.data(), 1, line.size(), err_);
    std::fflush(err_);
    statusWidth_ = s.size();
    statusShown_ = true;
    ++repaints_;
}

void ConsoleUI::status(const std::string& text) {
    if (!opts_.statusLine || !repaintDue()) return;
    paintStatus(text);
}

void ConsoleUI::progress(std::int64_t done, std::int64_t total) {
    if (!opts_.statusLine || total <= 0 || !repaintDue()) return;
    if (done < 0) done = 0;
    if (done > total) done = total;
    std::int64_t pct = static_cast<std::int64_t>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
    paintStatus(numText(static_cast<long long>(done)) + " / " + numText(static_cast<long long>(total)) + " (" +
                numText(static_cast<long long>(pct)) + "%)");
}

void ConsoleUI::clearStatusLine() {
    if (!statusShown_) return;
    std::string line = "\r" + std::string(statusWidth_, ' ') + "\r";
    std::fwrite(line.data(), 1, line.size(), err_);
    statusShown_ = false;
    statusWidth_ = 0;
}

void ConsoleUI::result(const std::string& text) {
    clearStatusLine();
    std::fflush(err_);
    printText(out_, text);
}

void ConsoleUI::finish() {
    clearStatusLine();
    std::fflush(err_);
}

}  // namespace molv
