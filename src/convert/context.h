// Everything the program keeps for the length of a run: application state,
// settings, the log, the model store and the skeleton store. The driver and
// the shell hold one; readers and writers get only the parts they use; tests
// and batch runs make fresh ones.
#pragma once
#include <cstdint>
#include <string>

#include "core/diagnostics.h"
#include "core/settings.h"
#include "model/io_env.h"
#include "model/skeleton.h"
#include "model/store.h"

namespace molv {

class RunNames;

inline constexpr const char* kVersion = "0.2.49";
inline constexpr const char* kTitle = "molvConv V0.2.49";

struct AppState {
    std::string cmdLine;
    bool dbgTrace = false;
    bool devMode = false;
    std::string version = kVersion;
    std::string title = kTitle;
    std::string configDir;  // with trailing separator
    std::string workdir;    // with trailing separator
    std::string srcFile, srcExt, srcBase, srcFolder, modelName;
    std::string outFile, outBase, outName, outExt;
    std::string knownTypes;  // the user types; empty in developer mode
    std::string fileFilter;
    bool readAbort = false;
    // Settings came from the command line: a read does not store them.
    bool runOnlySettings = false;
    // The last read wrote its own output (a listing): no write follows.
    bool readWroteOutput = false;
    // Developer panel values.
    std::int32_t devNum2 = 0;
    bool extraLog = false;
    // Result of the last write: false when a file could not be written.
    bool writeFailed = false;
};

// The run's state. Diagnostics (log, boxes, status) are its base so lower
// layers can be handed just those.
struct Context : Diagnostics {
    explicit Context(UI& ui);

    AppState app;
    Settings settings;
    SettingsMenu menu;
    bool settingsDirty = false;
    ModelStore model;
    SkeletonStore skel;
    std::string currentFolder;  // folder relative names inside sources resolve from
    // The names the sets of a batch wrote, shared by its items; nullptr
    // outside a batch.
    RunNames* runNames = nullptr;

    // What a reader of srcFile and a writer of outFile are handed.
    ReadEnv readEnv();
    WriteEnv writeEnv();
};

}  // namespace molv
