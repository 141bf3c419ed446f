// Collada reader entry points: the bytes, recoded to UTF-8 when they need
// it, go through the parse half (dae_parse) and then the build half
// (dae_build). This is the one file that reaches into Context.
#include "formats/dae_reader.h"

#include "formats/dae_build.h"
#include "formats/dae_parse.h"
#include "shell/context.h"
#include "util/fileio.h"
#include "util/xml_tag.h"

namespace molv {

namespace dae {

Io::Io(Context& ctx)
    : srcFile(ctx.app.srcFile),
      modelName(ctx.app.modelName),
      dbgLevel(ctx.app.dbgLevel),
      dbgTrace(ctx.app.dbgTrace),
      autoscaleUVs(ctx.settings.autoscale_UVs),
      flipUVs(ctx.settings.flip_3DS_UV_Vs),
      rawLoad(ctx.settings.rawDataLoad),
      ctx_(ctx) {}

Answer Io::box(const std::string& text, Buttons b) { return ctx_.msgBox(text, b); }
void Io::log(const std::string& text, int level) { ctx_.logMsg(text, level); }
void Io::logFile(const std::string& text) { ctx_.logFile(text); }
bool Io::statusDue() { return ctx_.statusDue(); }
void Io::status(const std::string& text) { ctx_.showStatus(text); }
void Io::setLine(std::int32_t line) { ctx_.xml.xmlLineNo = line; }
void Io::setWhere(std::int32_t line, const std::string& text) {
    ctx_.xml.xmlLineNo = line;
    ctx_.xml.xmlLine = text;
}
void Io::setErrorText(const std::string& text) { ctx_.lastErrText = text; }
ModelStore& Io::model() { return ctx_.model; }

}  // namespace dae

namespace {

ReadResult cannotRead(Context& ctx, const std::string& file, const std::string& err) {
    ctx.lastErrText = file + ": " + err;
    const std::string msg = "Cannot read " + file + ": " + err;
    ctx.msgBox(msg);  // result
    ctx.app.readAbort = true;
    return ReadResult::failed(msg, file);
}

}  // namespace

ReadResult LoadDaeBytes(Context& ctx, std::string_view bytes) {
    std::string recoded;
    if (xmlNeedsRecoding(bytes)) {
        recoded.assign(bytes);
        std::string err;
        if (!makeXmlUtf8(recoded, err)) return cannotRead(ctx, ctx.app.srcFile, err);
        bytes = recoded;
    }
    ctx.app.readAbort = false;
    dae::Io io(ctx);
    dae::Doc doc;
    ReadResult r = dae::parseDocument(io, bytes, doc);
    if (r.ok()) r = dae::buildModel(io, doc, io.model());
    if (!r.ok()) ctx.app.readAbort = true;
    return r;
}

ReadResult LoadDae(Context& ctx, const std::string& path) {
    std::string bytes, err;
    if (!readWholeFile(path, bytes, err)) return cannotRead(ctx, path, err);
    return LoadDaeBytes(ctx, bytes);
}

}  // namespace molv
