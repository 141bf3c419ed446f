#include "convert/driver.h"

#include "convert/context.h"
#include "convert/fixups.h"
#include "convert/registry.h"
#include "convert/settings.h"
#include "convert/textures.h"
#include "formats/listings.h"
#include "model/checks.h"
#include "model/extents.h"
#include "model/io_env.h"
#include "util/fileio.h"
#include "util/fspath.h"
#include "util/numfmt.h"
#include "util/paths.h"
#include "util/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace molv {

namespace {

std::string lowerExt(const std::string& path) { return toLowerAscii(extOf(path)); }

bool setSource(const std::string& ext) {
    const FormatEntry* f = formatFor(ext);
    return f && f->setSource;
}

void refuseUnknown(Context& ctx, const std::string& ext) { ctx.msgBox("Unknown filetype: ." + ext); }

// The Cal3D set: centring and span questions, then the writer. False when
// the user abandoned the write or nothing could be written.
enum class SetResult { Written, Failed, Abandoned, NotWritten };

SetResult writeCal3dSet(Context& ctx, const FormatEntry& out, FileSet& files) {
    AppState& a = ctx.app;
    ModelStore& m = ctx.model;
    // Before the questions: a source without a Cal3D path is not written,
    // whatever the answers.
    if (!setSource(a.srcExt)) {
        ctx.msgBox("need to setup write_" + a.srcExt + "_cmf()");
        return SetResult::NotWritten;
    }
    if (m.maxSpan == 0) SetMaxMinsM(ctx, m);
    if (!m.modelCentred) {
        Answer ans = ctx.msgBox("Model not centred LR/FB: centre?", Buttons::YesNoCancel, Answer::Yes);
        if (ans == Answer::Cancel) return SetResult::Abandoned;
        // Middle of the model at height 80.
        if (ans == Answer::Yes) CentreModel(ctx, m, true, 80.0f - m.spanPos.y / 2.0f);
    }
    if (m.maxSpan < 20 || m.maxSpan > 200) {
        auto span = ctx.inputBox("Max Span is " + numText(m.maxSpan) + ", enter new span ('=' to retain)", "", "50");
        if (!span || span->empty()) return SetResult::Abandoned;
        if (*span != "=") ResizeModel(ctx, *span, false, false);
    }
    WriteEnv env = ctx.writeEnv();
    env.files = &files;
    const bool ok = out.write(env, a.outFile);
    if (env.writeFailed) a.writeFailed = true;
    return ok && !a.writeFailed ? SetResult::Written : SetResult::Failed;
}

// Runs a reader as the dispatch does: a failure sets readAbort and shows its
// message; the output the reader names becomes outFile.
bool runReader(Context& ctx, ReadFn read) {
    AppState& a = ctx.app;
    ReadEnv env = ctx.readEnv();
    const ReadResult r = read(env, a.srcFile);
    ReportBadFaceSummary(ctx, ctx.model);
    a.readWroteOutput = env.wroteOutput;
    if (!env.outFile.empty()) a.outFile = env.outFile;
    if (!r.ok()) {
        a.readAbort = true;
        if (!r.message.empty()) ctx.msgBox(clipLongWords(r.message));
        return false;
    }
    // A NaN or infinity would be written as it stands, or poison the
    // extents of the whole model; whatever read it, the file is refused.
    const std::string nonFinite = nonFiniteText(ctx.model);
    if (!nonFinite.empty()) {
        a.readAbort = true;
        ctx.msgBox(a.srcFile + " holds a number that is not finite, at " + nonFinite);
        return false;
    }
    return true;
}

}  // namespace

bool knownTypeListed(const std::string& knownTypes, const std::string& ext) {
    if (ext.empty()) return false;
    for (const std::string& entry : splitTokens(knownTypes, ";")) {
        std::string e = toLowerAscii(trimView(entry));
        if (e == "*." + ext) return true;
    }
    return false;
}

std::string faceCountVerdict(std::int32_t faces) {
    if (faces > 30000) return "just getting silly";
    if (faces > 20000) return "impractically large";
    if (faces > 10000) return "larger than recommended";
    return "";
}

void logReadComplete(Context& ctx) {
    const ModelStore& m = ctx.model;
    ctx.logMsg("Read complete: " + numText(m.ttlnum_Vertices) + " Vertices," + numText(m.ttlnum_Faces) + " Faces");
    ctx.logMsg(" ");
    std::string verdict = faceCountVerdict(m.ttlnum_Faces);
    if (!verdict.empty())
        ctx.logMsg(std::string(10, ' ') + " ********** " + "WARNING - " + numText(m.ttlnum_Faces) + " faces is " +
                   verdict + " ********** ");
}

std::string outputNameFor(Context& ctx, const std::string& source) {
    AppState& a = ctx.app;
    a.srcBase = pathNoExt(source);
    a.srcExt = lowerExt(source);
    a.outFile.clear();
    // Unknown types are named as geometry: the read then says what is wrong.
    const FormatEntry* f = formatFor(a.srcExt);
    const std::string as = f ? f->outputAs : "cmf";
    if (as == "_1")
        a.outFile = a.srcBase + "_1." + a.srcExt;  // a copy of its own type is never written over it
    else if (!as.empty())
        a.outFile = a.srcBase + "." + as;
    if (!a.outFile.empty()) a.outFile = folderOf(a.outFile) + cleanFileName(fileNameOf(a.outFile));
    return a.outFile;
}

bool LoadFile(Context& ctx, bool saveSettings) {
    AppState& a = ctx.app;
    ctx.deleteLogFile();
    ctx.model.ClearModel();
    syncSettingsFromMenus(ctx, false);
    a.srcExt = lowerExt(a.srcFile);
    // Developer mode has no list of accepted types: every registered one is read.
    const bool accepted = a.devMode ? readAccepted(a.srcExt, true) : knownTypeListed(a.knownTypes, a.srcExt);
    if (!accepted) {
        refuseUnknown(ctx, a.srcExt);
        return false;
    }
    return readDispatch(ctx, saveSettings);
}

bool readDispatch(Context& ctx, bool saveSettings) {
    AppState& a = ctx.app;
    ModelStore& m = ctx.model;
    a.readAbort = false;
    a.readWroteOutput = false;
    m.ClearModel();
    a.srcExt = lowerExt(a.srcFile);
    if (!a.knownTypes.empty() && !knownTypeListed(a.knownTypes, a.srcExt)) {
        ctx.msgBox("Unrecognised filetype: " + a.srcExt);
        return false;
    }
    if (saveSettings && !a.runOnlySettings) writeSettingsFile(ctx);
    syncSettingsFromMenus(ctx, a.devMode);
    a.srcExt = lowerExt(a.srcFile);  // the developer panel may name another source
    // A bare name is taken from the current folder when it is there, else
    // from the work folder.
    if (!hasSeparator(a.srcFile) && !fileExists(a.srcFile)) a.srcFile = a.workdir + a.srcFile;
    if (!fileExists(a.srcFile) || folderExists(a.srcFile)) {
        ctx.msgBox(folderExists(a.srcFile) ? "Cannot read " + clipped(a.srcFile) + ": it is a folder"
                                           : "Not found: " + clipped(a.srcFile));
        return false;
    }
    // There but not readable is told as such, not as missing.
    if (std::FILE* f = openFile(a.srcFile, "rb")) {
        std::fclose(f);
    } else {
        ctx.msgBox("Cannot read " + clipped(a.srcFile) + ": " + std::strerror(errno));
        return false;
    }
    if (fileSize(a.srcFile) <= 0) {
        ctx.msgBox("Empty file (0 bytes): " + clipped(a.srcFile));
        return false;
    }
    // Companion files (materials, textures) are looked for beside the
    // source, wherever the bare name was found.
    a.srcFolder = folderOf(a.srcFile);
    a.srcBase = pathNoExt(a.srcFile);
    a.modelName = baseName(a.srcFile);
    for (char& c : a.modelName)
        if (c == ' ') c = '_';
    ctx.currentFolder = a.srcFolder;

    ctx.logMsg("-- READ: " + a.srcFile + "--");
    m.modelCentred = false;

    // A catalogue is listed, whatever its extension, and that is all.
    if (isCatalogueName(a.srcFile)) return runReader(ctx, &listCatalogue);
    if (a.modelName == "StateMachine") return false;

    bool geometry = false;
    if (a.srcExt != "caf") {  // an animation has no reader; only its name is used
        const FormatEntry* f = formatFor(a.srcExt);
        if (!f || !f->read) {
            refuseUnknown(ctx, a.srcExt);
            return false;
        }
        if (!runReader(ctx, f->read)) return false;
        geometry = f->geometry;
        if (geometry && m.nMaterials > kMaxMaterials) {
            a.readAbort = true;
            ctx.msgBox(a.srcFile + " holds " + std::to_string(m.nMaterials) + " materials, more than the " +
                       std::to_string(kMaxMaterials) +
                       " a prop set may have (each is written as a file of its own); it is not converted");
            return false;
        }
    }
    if (geometry) {
        if (!runAutos(ctx, false)) SetMaxMinsM(ctx, m);
        DumpModel(ctx, m, a.devMode);
    }
    logReadComplete(ctx);
    ctx.showStatus("Complete");
    return true;
}

bool writeDispatch(Context& ctx) {
    AppState& a = ctx.app;
    if (a.outFile.empty()) outputNameFor(ctx, a.srcFile);
    // Every file of a set is named after the output, and the .cfg lists them
    // one a line: a line break in the name would split those lines.
    if (const std::string name = fileNameOf(a.outFile); oneLine(name) != name)
        a.outFile = folderOf(a.outFile) + oneLine(name);
    ctx.deleteLogFile();
    ctx.logMsg("-- WRITE " + a.outFile + " --");
    syncSettingsFromMenus(ctx, a.devMode);
    a.outBase = pathNoExt(a.outFile);
    a.outName = baseName(a.outFile);
    a.outExt = lowerExt(a.outFile);
    a.writeFailed = false;

    // Every file of the output lands together when all are whole; the
    // source and its companions are never among them.
    FileSet files;
    if (ctx.runNames) files.useRunNames(ctx.runNames, a.outBase);
    files.protect(a.srcFile);
    if (a.srcExt == "obj")
        for (const char* ext : {".mtl", ".MTL"}) files.protect(pathNoExt(a.srcFile) + ext);
    for (std::int32_t i = 0; i < ctx.model.nMaterials && static_cast<std::size_t>(i) < ctx.model.Materials.size(); ++i)
        for (const std::string& map : ctx.model.materialAt(i).maps) {
            const std::string inside = companionPath(a.srcFolder, map);
            if (!inside.empty()) files.protect(inside);
        }
    bool ok = false;
    const FormatEntry* out = formatFor(a.outExt);
    if (out && out->write && out->cal3dSet) {
        switch (writeCal3dSet(ctx, *out, files)) {
            case SetResult::Abandoned: return false;
            case SetResult::Failed: ok = false; break;
            case SetResult::NotWritten: return false;
            case SetResult::Written: ok = true; break;
        }
    } else if (out && out->write) {
        WriteEnv env = ctx.writeEnv();
        env.files = &files;
        ok = out->write(env, a.outFile) && !env.writeFailed;
    } else {
        ctx.msgBox("Save: unhandled extension(" + clipped(a.outExt) + ")");
        return false;
    }
    if (ok) {
        std::string err;
        if (!files.commit(err)) {
            ctx.msgBox("Cannot write " + err);
            ok = false;
        }
    }
    if (!ok) {
        a.writeFailed = true;
        ctx.logMsg("Write FAILED: " + a.outFile);
        return false;
    }
    // The textures follow a set that is in place.
    if (out->cal3dSet) placeTextures(ctx, a.outFile);
    ctx.logMsg("Write complete");
    return true;
}

std::string clipped(std::string_view text) {
    constexpr std::size_t kMax = 200;
    if (text.size() <= kMax) return std::string(text);
    std::size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // whole characters
    return std::string(text.substr(0, cut)) + "... (" + std::to_string(text.size()) + " characters)";
}

std::string clipLongWords(std::string_view message) {
    std::string out;
    std::size_t i = 0;
    while (i < message.size()) {
        const std::size_t end = std::min(message.find_first_of(" \t\r\n", i), message.size());
        if (end == i) {
            out += message[i++];
            continue;
        }
        out += clipped(message.substr(i, end - i));
        i = end;
    }
    return out;
}

std::string outputRefusal(const std::string& source, const std::string& output) {
    if (output.empty()) return {};
    std::error_code ec;
    const auto st = std::filesystem::symlink_status(fsPath(output), ec);
    if (!ec && st.type() == std::filesystem::file_type::symlink) return output + " is a link; it is not replaced";
    if (!ec && st.type() != std::filesystem::file_type::not_found && st.type() != std::filesystem::file_type::regular)
        return output + " is not a regular file; it is not replaced";
    if (output == source || sameFile(output, source)) return output + " is the source; it is not replaced";
    const std::string lib = pathNoExt(source) + ".mtl";
    if (toLowerAscii(extOf(source)) == "obj" && (output == lib || sameFile(output, lib)))
        return output + " belongs to the source; it is not replaced";
    return {};
}

ConversionResult convert(Context& ctx, const ConversionRequest& req) {
    using S = ConversionResult::Status;
    AppState& a = ctx.app;
    ctx.clearWarnings();
    auto done = [&](S status) {
        ConversionResult r;
        r.status = status;
        r.warnings = ctx.warnings();
        return r;
    };
    // Refused before anything is read.
    if (const std::string why = outputRefusal(req.source, req.output); !why.empty()) {
        ctx.msgBox(why);
        return done(S::Failed);
    }
    a.srcFile = req.source;
    a.outFile = req.output;
    a.readAbort = false;
    const bool read = req.fromOpen ? LoadFile(ctx, req.saveSettings) : readDispatch(ctx, req.saveSettings);
    if (a.readAbort) return done(S::ReadAbandoned);
    if (!read) return done(S::Failed);
    // A listing wrote its report while reading: there is nothing to write,
    // and no empty model to ask questions about.
    if (a.readWroteOutput) return done(S::Converted);
    // An output named by the front end wins over one the source names.
    if (!req.output.empty()) a.outFile = req.output;
    if (!modelToWrite(ctx)) return done(S::Failed);
    if (req.beforeWrite) req.beforeWrite();
    return done(writeDispatch(ctx) ? S::Converted : S::Failed);
}

bool modelToWrite(Context& ctx) {
    const FormatEntry* f = formatFor(ctx.app.srcExt);
    if (f && f->geometry && ctx.model.ttlnum_Faces <= 0) {
        ctx.msgBox("Nothing to convert: no faces read from " + ctx.app.srcFile);
        return false;
    }
    return true;
}

}  // namespace molv
