// Everything the program keeps for the length of a run: application state,
// settings, the log, the model store and the skeleton store. One context is
// handed to every reader and writer; tests and batch runs make fresh ones.
#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "cal3d/skeleton.h"
#include "model/store.h"
#include "shell/settings.h"
#include "shell/ui.h"

namespace molv {

inline constexpr const char* kVersion = "0.2.49";
inline constexpr const char* kTitle = "molvConv V0.2.49";

struct AppState {
    std::string cmdLine;
    bool dbgTrace = false;
    std::int16_t dbgLevel = 0;
    bool devMode = false;
    std::string version = kVersion;
    std::string title = kTitle;
    std::string configDir;  // with trailing separator
    std::string workdir;    // with trailing separator
    std::string logFileName;
    std::string srcFile, srcExt, srcBase, srcFolder, modelName;
    std::string outFile, outBase, outName, outExt;
    std::string knownTypes = "*.3ds;*.obj;*.dae";
    std::string fileFilter;
    bool readAbort = false;
    bool cmfAbort = false;
    // Developer panel values.
    bool statsFlag = false;
    std::int32_t devNum1 = 0, devNum2 = 0;
    bool extraLog = false;
    // Result of the last write: false when a file could not be written.
    bool writeFailed = false;
    // Source line counter of the text readers' progress lines.
    long srcLineNo = 0;
};

// State of the line-oriented XML reader shared with its callers.
struct XmlState {
    std::string xmlLine;
    std::int32_t xmlLineNo = 0;
    std::string xmlPath;
    // Names of the elements readXmlElement has open, at 1..xmlDepth.
    std::array<std::string, 21> xmlStack;
    std::int16_t xmlDepth = 0;
};

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

struct Context {
    explicit Context(UI& ui);
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    UI* ui;
    AppState app;
    Settings settings;
    SettingsMenu menu;
    bool settingsDirty = false;
    LogList logList;
    ModelStore model;
    SkeletonStore skel;
    XmlState xml;
    std::string lastErrText;
    std::string currentFolder;  // folder relative names inside sources resolve from

    // Log list line when level <= dbgLevel; events are pumped either way.
    void logMsg(const std::string& message, int level = 0);
    bool logWanted(int level) const { return level <= app.dbgLevel; }
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
    std::string frozenLog_;
    bool logFrozen_ = false;
    std::uint32_t statusCalls_ = 0;
    std::chrono::steady_clock::time_point lastStatus_{};
};

}  // namespace molv
