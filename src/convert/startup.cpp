#include "convert/startup.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <stdexcept>

#include "convert/context.h"
#include "convert/driver.h"
#include "convert/preview.h"
#include "convert/registry.h"
#include "convert/settings.h"
#include "convert/process.h"
#include "convert/textures.h"
#include "model/extents.h"
#include "model/store.h"
#include "util/numfmt.h"
#include "util/fileio.h"
#include "util/paths.h"
#include "util/text.h"

namespace molv {

namespace {

bool isSep(char c) { return c == '/' || c == '\\'; }

// The folder that start-up cannot create ends start-up.
void ensureFolder(const std::string& dir) {
    if (folderExists(dir)) return;
    std::string err;
    if (!makeFolder(dir, err)) throw std::runtime_error("cannot create folder " + dir + ": " + err);
}

}  // namespace

ProcessEnv ProcessEnv::current() {
    ProcessEnv e;
    e.userProfile = envValue("USERPROFILE");
    e.temp = envValue("TEMP");
    e.xdgConfigHome = envValue("XDG_CONFIG_HOME");
    e.home = envValue("HOME");
    return e;
}

std::string subFolder(const std::string& dir, const std::string& name) {
    std::string r = dir;
    if (!r.empty() && !isSep(r.back())) r += pathSep();
    if (name.empty()) return r;
    r += name;
    r += pathSep();
    return r;
}

std::string platformConfigBase(const ProcessEnv& env) {
#ifdef _WIN32
    if (env.home) return subFolder(*env.home, "AppData");
    return "c:\\";
#else
    // A relative XDG_CONFIG_HOME is invalid and to be ignored.
    if (env.xdgConfigHome && isSep((*env.xdgConfigHome)[0])) return subFolder(*env.xdgConfigHome, "");
    if (env.home) return subFolder(*env.home, ".config");
    std::error_code ec;
    std::string tmp = std::filesystem::temp_directory_path(ec).string();
    return subFolder(ec || tmp.empty() ? std::string("/tmp") : tmp, "");
#endif
}

std::string configDirFor(const ProcessEnv& env) {
    if (env.userProfile) return subFolder(subFolder(*env.userProfile, "application data"), "molvconv");
    if (env.temp) return subFolder(*env.temp, "molvconv");
    return subFolder(platformConfigBase(env), "molvconv");
}

std::string devMarkerPath(const ProcessEnv& env) {
#ifdef _WIN32
    (void)env;
    return "c:\\molv.id";
#else
    return subFolder(platformConfigBase(env), "molvconv") + kDevMarkerName;
#endif
}

std::string devFolderFor(const ProcessEnv& env) {
#ifdef _WIN32
    (void)env;
    return "v:\\";
#else
    // Beside the marker, apart from the ordinary configuration so that a
    // developer's work folder never leaks into a user's settings.
    return subFolder(subFolder(platformConfigBase(env), "molvconv"), "dev");
#endif
}

std::string programBaseName(const std::string& programPath) {
    std::size_t s = programPath.find_last_of("/\\");
    std::string name = s == std::string::npos ? programPath : programPath.substr(s + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

bool isDevProgramName(const std::string& baseName) { return baseName == "vtm3" || baseName == "mc"; }

std::string fatalStartupMessage(const std::string& title, const std::string& phase,
                                const std::string& description, const std::string& configDir) {
    std::string m = "Please report the following: \rError in " + title + " code " + phase + "\r" + description + "\r";
    if (phase == "P3") m += "Probably a problem with the following path: \r";
    return m + configDir;
}

StartupResult startUp(Context& ctx, const std::string& cmdLine, const std::string& programPath,
                      const ProcessEnv& env) {
    StartupResult r;
    AppState& a = ctx.app;
    auto trace = [&](const char* line) {
        if (a.dbgTrace) ctx.logFile(line);
    };
    try {
        r.phase = "P1";
        a.cmdLine = cmdLine;
        // Only the exact word moves the log file; a source name that merely
        // contains "-dbg" leaves it alone.
        CmdLineOptions early = parseCommandLine(cmdLine);
        if (early.dbgExact) {
            a.dbgTrace = true;
            ctx.logFileName = kLogFileName;
        }
        std::string prog = programBaseName(programPath);
        if (isDevProgramName(prog) && fileExists(devMarkerPath(env))) {
            a.devMode = true;
            a.workdir = devFolderFor(env);
            a.configDir = a.workdir;
            ctx.logFileName = a.workdir + kLogFileName;
        } else {
            a.configDir = configDirFor(env);
        }

        r.phase = "P2";
        a.version = kVersion;
        a.title = kTitle;
        trace(kTitle);
        if (a.dbgTrace) ctx.logFile("ConfigDir=" + a.configDir);

        r.phase = "P3";
        ensureFolder(a.configDir);
        if (a.workdir.empty()) a.workdir = subFolder(a.configDir, "work");
        ctx.settings.workdir = a.workdir;
        trace("L1");

        r.phase = "P4";
        applyDefaults(ctx);
        trace("L2");

        r.phase = "P5";
        loadSettings(ctx);
        trace("L3");

        r.phase = "P6";
        ensureFolder(a.workdir);
        if (ctx.logFileName.empty()) ctx.logFileName = a.workdir + kLogFileName;

        r.phase = "P7";
        trace("L4");
        a.srcFile.clear();
        r.opts = parseCommandLine(cmdLine);
        if (r.opts.dbg) a.dbgTrace = true;
        a.srcFile = r.opts.srcFile;
        applyCommandLineSettings(ctx.settings, r.opts);
        a.runOnlySettings = !r.opts.sets.empty();

        r.phase = "P8";
        trace("L5");
        a.knownTypes = userTypes();

        // What loading the window does: the Settings menu shows the values.
        trace("L11");
        ctx.logMsg(a.cmdLine);  // the first line of the log list
        if (a.dbgTrace) ctx.logMsg("Debug Log: " + ctx.logFileName);
        showSettingsInMenus(ctx);
        trace("L13");
    } catch (const std::exception& e) {
        r.ok = false;
        r.message = fatalStartupMessage(a.title, r.phase, e.what(), a.configDir);
    } catch (...) {
        r.ok = false;
        r.message = fatalStartupMessage(a.title, r.phase, "unknown error", a.configDir);
    }
    if (!r.ok) ctx.msgBox(r.message);
    return r;
}

int runConversion(Context& ctx, const CmdLineOptions& opts, const std::string& cwd) {
    AppState& a = ctx.app;
    std::string src = opts.srcFile;
    if (!isAbsolutePath(src)) {
        std::string here = joinPath(cwd, src);
        src = fileExists(here) ? here : a.workdir + src;
    }
    std::string out = opts.outFile;
    if (!out.empty() && !isAbsolutePath(out)) out = joinPath(cwd, out);
    // Refused before anything is read: a type no writer makes.
    if (!out.empty()) {
        const FormatEntry* f = formatFor(toLowerAscii(extOf(out)));
        if (!f || !f->write) {
            ctx.msgBox("Cannot write " + opts.outFile + ": the output types are" + writableTypes());
            return kExitUsage;
        }
    }
    // Said as typed: the work folder is only the second place looked in.
    if (!fileExists(src)) {
        ctx.msgBox("Not found: " + opts.srcFile);
        ctx.msgBox("Conversion failed: " + opts.srcFile);
        return kExitFailed;
    }
    a.srcFile = src;
    if (a.devMode) {
        // No window carries the developer panel here: the panel's source box
        // holds the command line's source, and every reader is open.
        ctx.menu.tSrcFile = src;
        a.knownTypes.clear();
    }
    std::string png;
    if (!opts.preview.empty()) {
        png = isAbsolutePath(opts.preview) ? opts.preview : joinPath(cwd, opts.preview);
        // The picture never takes the place of the source or of the set.
        std::string why = outputRefusal(src, png);
        const std::string ext = toLowerAscii(extOf(png));
        if (why.empty() && (ext == "cfg" || ext == "cmf" || ext == "csf" || ext == "crf" || (!out.empty() && sameFile(png, out))))
            why = png + " is a file of the set; the preview is not written over it";
        if (!why.empty()) {
            ctx.msgBox(why);
            return kExitFailed;
        }
    }
    ConversionResult result;
    try {
        ConversionRequest req(src, out);
        req.saveSettings = true;
        result = convert(ctx, req);
    } catch (const std::exception& e) {
        ctx.msgBox(std::string("Unexpected error: ") + e.what());
    }
    const bool ok = result.ok();
    if (result.status == ConversionResult::Status::ReadAbandoned) {
        ctx.msgBox("Conversion abandoned: could not read " + src);
        return kExitFailed;
    }
    if (!ok) {
        ctx.msgBox("Conversion failed: " + src);
        return kExitFailed;
    }
    if (!png.empty()) {
        // The set stays as written; the run fails for the picture asked for.
        if (!writePreview(ctx, png)) return kExitFailed;
    }
    for (const std::string& w : result.warnings) ctx.ui->warning("Warning: " + w);
    ctx.ui->notice(completionText(result.warnings.size()));
    return opts.strict && !result.warnings.empty() ? kExitWarnings : kExitOk;
}

std::string completionText(std::size_t warnings) {
    if (warnings == 0) return kConversionComplete;
    return std::string(kConversionComplete) + ", " + std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
}

int runInfo(Context& ctx, const CmdLineOptions& opts, const std::string& cwd) {
    AppState& a = ctx.app;
    std::string src = opts.srcFile;
    if (!isAbsolutePath(src)) {
        std::string here = joinPath(cwd, src);
        src = fileExists(here) ? here : a.workdir + src;
    }
    if (!fileExists(src)) {
        ctx.msgBox("Not found: " + opts.srcFile);
        return kExitFailed;
    }
    const FormatEntry* f = formatFor(toLowerAscii(extOf(src)));
    if (!f || !f->geometry) {
        ctx.msgBox("--info describes models (" + readableTypesText() + "), not " + opts.srcFile);
        return kExitFailed;
    }
    // Measured as the source has it: the fix-ups are left to the report.
    const Settings kept = ctx.settings, keptMarks = ctx.menu.marks;
    for (Settings* s : {&ctx.settings, &ctx.menu.marks}) s->autoResize = s->autoCentre = s->autoZeroBsHt = false;
    a.srcFile = src;
    const bool read = readDispatch(ctx, false);
    ctx.settings = kept;
    ctx.menu.marks = keptMarks;
    if (!read) {
        ctx.msgBox("Cannot read " + src);
        return kExitFailed;
    }
    ModelStore& m = ctx.model;
    SetMaxMinsM(ctx, m);
    std::string out = "Source: " + src + "\n";
    out += "Meshes: " + std::to_string(m.meshCount) + "\n";
    for (std::int32_t i = 0; i < m.meshCount && static_cast<std::size_t>(i) < m.Meshes.size(); ++i) {
        const Mesh& me = m.meshAt(i);
        out += "  " + (me.name.empty() ? "(unnamed)" : me.name) + ": " + std::to_string(me.num_Faces) + " triangles, " +
               std::to_string(me.num_Vertices) + " vertices\n";
    }
    int written = 0;
    for (std::int32_t i = 0; i < m.nMaterials && static_cast<std::size_t>(i) < m.Materials.size(); ++i)
        written += m.materialAt(i).id >= 0;
    out += "Materials: " + std::to_string(written) + "\n";
    for (std::int32_t i = 0; i < m.nMaterials && static_cast<std::size_t>(i) < m.Materials.size(); ++i) {
        const Material& mt = m.materialAt(i);
        if (mt.id < 0) continue;
        out += "  " + mt.name + "\n";
        const std::size_t nMaps = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, mt.nMaps)), mt.maps.size());
        for (std::size_t k = 0; k < nMaps; ++k) {
            const std::string& map = mt.maps[k];
            bool embedded = false;
            for (const auto& e : m.embeddedMaps) embedded = embedded || e.first == map;
            const std::string from = embedded ? std::string() : findTextureFile(a.srcFolder, a.modelName, map);
            out += "    texture " + map + ": " +
                   (embedded ? std::string("embedded in the source")
                             : from.empty() ? "not found" : "found (" + fileNameOf(from) + ")") + "\n";
        }
    }
    out += "Triangles: " + std::to_string(m.ttlnum_Faces) + "\n";
    out += "Vertices: " + std::to_string(m.ttlnum_Vertices) + "\n";
    out += "Extents (source units): " + numText(m.spanPos.x) + " x " + numText(m.spanPos.y) + " x " +
           numText(m.spanPos.z) + "\n";
    const Settings& s = ctx.settings;
    if (!s.autoResize)
        out += "Resize: off\n";
    else if (m.maxSpan > 0)
        out += "Resize: largest extent " + numText(m.maxSpan) + " to " + numText(s.dflt_autosize) + " cm, factor " +
               numText(static_cast<double>(s.dflt_autosize) / m.maxSpan) + "\n";
    ctx.ui->notice(out.substr(0, out.size() - 1));
    return kExitOk;
}

void finishStartupWithoutSource(Context& ctx) {
    AppState& a = ctx.app;
    if (a.devMode) {
        a.knownTypes.clear();
        a.fileFilter = fileFilter(true);
        ctx.logMsg("logfile=" + ctx.logFileName);
    } else {
        if (a.dbgTrace) ctx.logFile("L6");
        a.fileFilter = fileFilter(false);
    }
    ctx.model.ClearModel();
}

}  // namespace molv
