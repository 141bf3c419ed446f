// Start-up: configuration and work folders, the log file, developer mode,
// settings, the command line; then either the command-line conversion or
// the program without a source.
#pragma once
#include <optional>
#include <string>

#include "convert/cmdline.h"

namespace molv {

struct Context;

inline constexpr const char* kConversionComplete = "Conversion complete";
inline constexpr const char* kLogFileName = "0molvconv.log";
inline constexpr const char* kDevMarkerName = "molv.id";

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// --strict: the set was written, but with warnings.
inline constexpr int kExitWarnings = 3;
// "Conversion complete", with ", N warnings" when there were any.
std::string completionText(std::size_t warnings);

// The environment start-up reads; empty values count as unset.
struct ProcessEnv {
    std::optional<std::string> userProfile;    // USERPROFILE
    std::optional<std::string> temp;           // TEMP
    std::optional<std::string> xdgConfigHome;  // XDG_CONFIG_HOME
    std::optional<std::string> home;           // HOME
    static ProcessEnv current();
};

// The platform's per-user configuration folder with a trailing separator:
// $XDG_CONFIG_HOME (when absolute) or ~/.config on Linux.
std::string platformConfigBase(const ProcessEnv& env);
// USERPROFILE + "application data/molvconv/", else TEMP + "molvconv/", else
// the platform's configuration folder + "molvconv/".
std::string configDirFor(const ProcessEnv& env);
// Developer mode: the marker file that must exist, and the folder that is
// then both work and configuration folder.
std::string devMarkerPath(const ProcessEnv& env);
std::string devFolderFor(const ProcessEnv& env);
// The program file's name without folder and extension ("/" or "\").
std::string programBaseName(const std::string& programPath);
// "vtm3" or "mc", exact case.
bool isDevProgramName(const std::string& baseName);

// "dir" + "name" + separator, with one separator between them; an empty
// name gives dir with its closing separator.
std::string subFolder(const std::string& dir, const std::string& name);

std::string fatalStartupMessage(const std::string& title, const std::string& phase,
                                const std::string& description, const std::string& configDir);

struct StartupResult {
    bool ok = true;
    std::string phase;    // the last phase mark reached
    std::string message;  // the fatal start-up message when !ok
    CmdLineOptions opts;  // the command line as parsed in P7
};

// Phases P1 to P8, then the view set-up the window would do on loading (the
// Settings menu copy). On an unexpected error shows the fatal start-up
// message through ctx and returns ok false.
StartupResult startUp(Context& ctx, const std::string& cmdLine, const std::string& programPath,
                      const ProcessEnv& env);

// P9: converts opts.srcFile (relative names from cwd when the file is
// there, else from the work folder) to opts.outFile or the derived name.
// With opts.preview, the picture of the written set follows; when it cannot
// be written the run fails, the set staying as written. Shows "Conversion
// complete" only on success; otherwise says why through ctx. Returns the
// exit status.
int runConversion(Context& ctx, const CmdLineOptions& opts, const std::string& cwd);
// --info: reads the source and prints on standard output what a conversion
// would write (meshes, materials and their textures, counts, extents in
// the source's units, the resize factor); writes nothing.
int runInfo(Context& ctx, const CmdLineOptions& opts, const std::string& cwd);

// The rest of start-up without a source (P10, P11): file filter, the
// developer-mode log line, an empty model.
void finishStartupWithoutSource(Context& ctx);

}  // namespace molv
