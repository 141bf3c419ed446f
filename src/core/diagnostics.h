// What every layer may tell the user: the log list, the log file, the
// status text, progress and the boxes, all through the window-system
// interface. Lower layers get this, never the whole run context.
#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/ui.h"

namespace molv {

// The log list: wraps at 120, keeps at most 100 entries, drops the eleventh
// first so the first ten stay.
class LogList {
public:
    static constexpr int kWrap = 120;
    static constexpr int kMax = 100;
    const std::deque<std::string>& entries() const { return entries_; }
    void add(const std::string& message, UI* ui);
    void clear(UI* ui);

private:
    std::deque<std::string> entries_;
};

class Diagnostics {
public:
    explicit Diagnostics(UI& ui) : ui(&ui) {}
    Diagnostics(const Diagnostics&) = delete;
    Diagnostics& operator=(const Diagnostics&) = delete;

    UI* ui;
    LogList logList;
    std::int16_t dbgLevel = 0;    // log lines above this level are not shown
    std::int32_t detailLimit = 0;  // detail log lines per mesh; 0 = no limit
    std::string logFileName;      // "" until start-up has chosen the folder

    // Log list line when level <= dbgLevel; events are pumped either way.
    void logMsg(const std::string& message, int level = 0);
    // A problem the user must act on though the set is written: logged as
    // logMsg does, and kept once for the end of the run.
    void warn(const std::string& message);
    // Kept for the end of the run only, for problems already logged in
    // their own words.
    void recordWarning(const std::string& message);
    const std::vector<std::string>& warnings() const { return warnings_; }
    void clearWarnings() { warnings_.clear(); }
    bool logWanted(int level) const { return level <= dbgLevel; }
    // Whether per-item detail lines are wanted for the current mesh
    // (dbgLevel 2 and under the detail-line limit); test before building text.
    bool detailWanted(std::int32_t perMeshCount, int level = 2) const {
        return dbgLevel >= level && (detailLimit == 0 || perMeshCount < detailLimit);
    }
    // One line (CR LF) appended to the log file; failures are swallowed.
    void logFile(const std::string& message, int level = 0);
    void logFileIfDebug(const std::string& message, int level = 0);
    // "[ text ]" in the status area.
    void showStatus(const std::string& text);
    // True at most every few milliseconds: callers on per-item paths test it
    // before building a status text.
    bool statusDue();
    void progress(std::int64_t done, std::int64_t total);
    Answer msgBox(const std::string& text, Buttons b = Buttons::Ok);
    Answer msgBox(const std::string& text, Buttons b, Answer dflt);
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& dflt);

    // Name of the log file as frozen at the first line written.
    const std::string& frozenLogFileName() const { return frozenLog_; }
    void deleteLogFile();

private:
    std::vector<std::string> warnings_;
    std::string frozenLog_;
    bool logFrozen_ = false;
    std::uint32_t statusCalls_ = 0;
    std::chrono::steady_clock::time_point lastStatus_{};
};

}  // namespace molv
