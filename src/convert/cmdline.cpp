#include "convert/cmdline.h"

#include <algorithm>

#include "convert/context.h"
#include "convert/registry.h"
#include "core/settings.h"
#include "util/text.h"

namespace molv {

std::string quoteWord(const std::string& word) {
    if (word.find_first_of(" \t\"") == std::string::npos) return word;
    // The splitter drops a quote, flips the quoted state and lets the next
    // character pass without a quote test; blanks end a word only outside
    // quotes. Track both so every character comes back as given.
    std::string q = "\"";
    bool inQuote = true;
    bool freePass = true;
    for (char c : word) {
        if (c == '"') {
            if (freePass) {
                q += c;
            } else {
                q += "\"\"";
                inQuote = !inQuote;
            }
        } else if (c == ' ' && !inQuote && !freePass) {
            q += "\" ";
            inQuote = true;
        } else {
            q += c;
        }
        freePass = false;
    }
    if (inQuote) q += '"';
    return q;
}

std::string joinArguments(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& a : args) {
        if (a.empty()) continue;
        if (!line.empty()) line += ' ';
        line += quoteWord(a);
    }
    return line;
}

namespace {

// A setting for this run: checked now, so a typo stops the run before it reads.
void takeSetting(CmdLineOptions& o, const std::string& option, const std::string& assignment) {
    const auto eq = assignment.find('=');
    if (eq == std::string::npos || eq == 0) {
        o.error = "option " + option + " needs KEY=VALUE";
        return;
    }
    const std::string key = assignment.substr(0, eq), value = assignment.substr(eq + 1);
    const SettingDef* d = settingNamed(key);
    if (!d || !d->help) {
        o.error = "no setting named " + key + " (--help lists them)";
        return;
    }
    Settings scratch;
    std::string err;
    if (!setFromUser(scratch, *d, value, err)) {
        o.error = err;
        return;
    }
    o.sets.emplace_back(d->key, value);
}

}  // namespace

void applyCommandLineSettings(Settings& s, const CmdLineOptions& opts) {
    std::string err;
    for (const auto& [key, value] : opts.sets)
        if (const SettingDef* d = settingNamed(key)) setFromUser(s, *d, value, err);
}

CmdLineOptions parseCommandLine(const std::string& cmdLine) {
    CmdLineOptions o;
    std::vector<std::string> words = splitCommandLine(cmdLine, " ");
    bool switchesEnded = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.empty()) continue;
        if (w[0] == '-' && !switchesEnded) {
            if (w == "-dbg") o.dbgExact = true;
            std::string s = toLowerAscii(w);
            if (s == "--") {
                switchesEnded = true;
            } else if (s == "-dbg") {
                o.dbg = true;
            } else if (s == "--help" || s == "-h") {
                o.help = true;
            } else if (s == "--version") {
                o.version = true;
            } else if (s == "--yes" || s == "-y") {
                o.yes = true;
            } else if (s == "--quiet" || s == "-q") {
                o.quiet = true;
            } else if (s == "--strict") {
                o.strict = true;
            } else if (s == "--info") {
                o.info = true;
            } else if (s == "-o" || s == "--output") {
                if (i + 1 < words.size() && !words[i + 1].empty()) {
                    o.outFile = words[++i];
                } else {
                    o.error = "option " + w + " needs an output file name";
                }
            } else if (s == "--preview") {
                if (i + 1 < words.size() && !words[i + 1].empty()) {
                    o.preview = words[++i];
                } else {
                    o.error = "option " + w + " needs a picture file name";
                }
            } else if (s.rfind("--preview=", 0) == 0) {
                o.preview = w.substr(10);
                if (o.preview.empty()) o.error = "option --preview= needs a picture file name";
            } else if (s == "--batch") {
                o.batch = true;
            } else if (s == "--recursive" || s == "-r") {
                o.recursive = true;
            } else if (s == "-j" || s == "--jobs" || s.rfind("--jobs=", 0) == 0 ||
                       (s.size() > 2 && s.rfind("-j", 0) == 0 && s[2] >= '0' && s[2] <= '9')) {
                std::string n = s.size() > 2 && s[1] == 'j' ? s.substr(2) : s.size() > 7 ? s.substr(7) : "";
                if (n.empty() && i + 1 < words.size()) n = words[++i];
                int v = 0;
                bool digits = !n.empty() && n.size() <= 4;
                for (char c : n) {
                    digits = digits && c >= '0' && c <= '9';
                    if (digits) v = v * 10 + (c - '0');
                }
                if (!digits || v < 1 || v > 256)
                    o.error = "option " + w + " needs a number of conversions from 1 to 256";
                else
                    o.jobs = v;
            } else if (s.rfind("--output=", 0) == 0) {
                o.outFile = w.substr(9);
                if (o.outFile.empty()) o.error = "option --output= needs an output file name";
            } else if (s == "--set" || s == "--size") {
                if (i + 1 < words.size() && !words[i + 1].empty()) {
                    ++i;
                    takeSetting(o, w, s == "--set" ? words[i] : "dflt_autosize=" + words[i]);
                } else {
                    o.error = "option " + w + (s == "--set" ? " needs KEY=VALUE" : " needs a size in cm");
                }
            } else if (s.rfind("--set=", 0) == 0) {
                takeSetting(o, "--set", w.substr(6));
            } else if (s.rfind("--size=", 0) == 0) {
                takeSetting(o, "--size", "dflt_autosize=" + w.substr(7));
            } else if (s == "--no-resize") {
                takeSetting(o, w, "autoResize=false");
            } else if (s != "-molv" && o.error.empty()) {
                // A mistyped option would otherwise become part of the source name.
                o.error = "unknown option " + w + " (--help lists the options; -- before a name beginning with -)";
            }
            continue;
        }
        if (!o.srcFile.empty()) o.srcFile += ' ';
        o.srcFile += w;
        o.paths.push_back(w);
    }
    if (o.batch && o.error.empty()) {
        if (!o.outFile.empty()) o.error = "--batch writes each set beside its source; it takes no output name";
        if (!o.preview.empty()) o.error = "--batch makes no preview; --preview takes one source";
        if (o.paths.empty()) o.error = "--batch needs files or folders to convert";
    }
    if (o.info && o.error.empty() && (o.batch || !o.outFile.empty() || !o.preview.empty()))
        o.error = "--info writes nothing; it takes a source alone";
    return o;
}

namespace {

std::string settingsHelp() {
    std::string out;
    for (const SettingDef& d : settingsTable()) {
        if (!d.help) continue;
        std::string key = "  " + std::string(d.key);
        key.resize(std::max<std::size_t>(key.size() + 1, 27), ' ');
        out += key + d.help + "\n";
    }
    return out;
}

}  // namespace

std::string helpText(const std::string& programName) {
    std::string p = programName.empty() ? "molvconv" : programName;
    return std::string(kTitle) +
           "\n"
           "Converts a 3D model mesh (" + readableTypesText() + ") into the Cal3D prop set\n"
           "that Vantamo uses: .cmf mesh, one .crf per material, .cfg viewer configuration\n"
           "and .csf skeleton, with the textures the materials name beside them.\n"
           "\n"
           "Usage: " +
           p +
           " [options] SOURCE\n"
           "\n"
           "SOURCE is converted at once. Its words are joined with single blanks, so a name\n"
           "with blanks works with or without quotes. A relative name is taken from the\n"
           "current folder when the file is there, else from the work folder.\n"
           "The output goes beside the source: same base name, extension .cmf (blanks, \"&\"\n"
           "and \",\" become \"_\"); a Cal3D source gets \"_1\" added so it is never overwritten.\n"
           "\n"
           "Options:\n"
           "  -o, --output NAME  write NAME instead; its extension picks the writer:\n" +
           outputTypesHelp() +
           "      --preview PNG  after the conversion, write a picture of the written set\n"
           "                     (read back from its files) as the PNG file PNG\n"
           "  -y, --yes          ask nothing: every question takes its default answer\n"
           "                     (always so when standard input is not a terminal)\n"
           "  -q, --quiet        do not print the log lines (warnings are still printed)\n"
           "      --strict       a conversion with warnings ends with status 3\n"
           "      --info         read SOURCE and print what a conversion would write: meshes,\n"
           "                     materials and their textures (found or not), triangles,\n"
           "                     vertices, extents in source units, the resize factor;\n"
           "                     writes nothing\n"
           "      --batch        convert each file, and each model in each folder, named\n"
           "                     as SOURCE words (each word one path) on its own, asking\n"
           "                     nothing; prints a line per file and a summary table\n"
           "  -j, --jobs N       with --batch: N conversions at a time (default: one per\n"
           "                     processor)\n"
           "  -r, --recursive    with --batch: also the models in sub-folders\n"
           "  -dbg               trace start-up to the log file 0molvconv.log in the\n"
           "                     current folder\n"
           "      --set KEY=VALUE  use this setting for this run only (not saved); repeatable\n"
           "      --size CM      the same as --set dflt_autosize=CM\n"
           "      --no-resize    the same as --set autoResize=false\n"
           "  -molv              accepted, no effect\n"
           "  -h, --help         show this text\n"
           "      --version      show the version\n"
           "  --                 all further words are the source name\n"
           "Other words beginning with \"-\" are a usage error.\n"
           "\n"
           "Settings (--set KEY=VALUE; flags take true or false):\n" +
           settingsHelp() +
           "\n"
#ifdef _WIN32
           "In a console window questions are asked at a prompt: Enter takes the default\n"
           "answer, Ctrl-Z and Enter cancel an input.\n"
           "\n"
           "Settings are read from molvconv.cfg in the configuration folder\n"
           "(%USERPROFILE%\\application data\\molvconv\\, else %TEMP%\\molvconv\\); the work\n"
           "folder \"work\" and the log file 0molvconv.log are beneath it.\n"
#else
           "At a terminal questions are asked at a prompt: Enter takes the default answer,\n"
           "Ctrl-D cancels an input.\n"
           "\n"
           "Settings are read from molvconv.cfg in the configuration folder (on Linux\n"
           "$XDG_CONFIG_HOME/molvconv/ or ~/.config/molvconv/); the work folder \"work\" and\n"
           "the log file 0molvconv.log are beneath it.\n"
#endif
           "\n"
           "A conversion that wrote its set but met problems to act on (a texture not\n"
           "found, faces dropped) ends \"Conversion complete, N warnings\", each listed once.\n"
           "\n"
           "Exit status: 0 when the conversion succeeded (warnings or not), 1 when it\n"
           "failed, 2 for a usage error, 3 with --strict when it succeeded with warnings;\n"
           "with --batch the number of files that failed (at most 125; with --strict a\n"
           "file with warnings counts as failed).\n";
}

}  // namespace molv
