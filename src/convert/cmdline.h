// The command line: switches, the source name made of the remaining words,
// and the options a user of a terminal expects (--help, --version, -o).
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace molv {

struct CmdLineOptions {
    std::string srcFile;  // remaining words joined with single blanks
    std::string outFile;  // -o / --output; empty: the derived name
    std::string preview;  // --preview: the picture of the written set, as PNG
    bool dbg = false;       // -dbg in any case
    bool dbgExact = false;  // -dbg exactly: the log file goes to the current folder
    bool help = false;
    bool version = false;
    bool yes = false;
    bool quiet = false;
    bool strict = false;
    bool info = false;    // --info: describe the source, write nothing  // warnings make the run fail (status 3)
    // --batch: every remaining word is a file or folder of its own.
    bool batch = false;
    bool recursive = false;
    int jobs = 0;  // -j N; 0: one per processor
    std::vector<std::string> paths;
    // --set KEY=VALUE, --size, --no-resize: settings for this run only, in
    // order, already checked against the setting's type and range.
    std::vector<std::pair<std::string, std::string>> sets;
    std::string error;  // a usage error; empty when the line is sound
};

// Rejoins the process's arguments (argv[1..]) into one command line text.
// Words that splitCommandLine would cut or alter are quoted so that each
// comes back as it was given.
std::string joinArguments(const std::vector<std::string>& args);
// The quoted form of one word (unchanged when it needs no quoting).
std::string quoteWord(const std::string& word);

// Parses a command line text. Words beginning with "-" are switches,
// compared lower-cased: -dbg, -molv, the long options below; any other
// switch is a usage error. "--" ends the switches.
CmdLineOptions parseCommandLine(const std::string& cmdLine);

// Applies opts.sets to s; they were checked when parsed.
struct Settings;
void applyCommandLineSettings(Settings& s, const CmdLineOptions& opts);

// The text of --help.
std::string helpText(const std::string& programName);

}  // namespace molv
