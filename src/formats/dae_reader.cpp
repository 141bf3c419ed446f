// Collada reader entry points: the bytes, recoded to UTF-8 when they need
// it, go through the parse half (dae_parse) and then the build half
// (dae_build).
#include "formats/dae_reader.h"

#include "core/diagnostics.h"
#include "core/settings.h"
#include "formats/dae_build.h"
#include "formats/dae_parse.h"
#include "util/xml_text.h"
#include "model/io_env.h"
#include "model/store_fill.h"
#include "util/fileio.h"

namespace molv {

namespace dae {

Io::Io(ReadEnv& env)
    : srcFile(env.srcFile),
      modelName(env.modelName),
      dbgLevel(env.diag.dbgLevel),
      dbgTrace(env.dbgTrace),
      autoscaleUVs(env.settings.autoscale_UVs),
      flipUVs(env.settings.flip_3DS_UV_Vs),
      rawLoad(env.settings.rawDataLoad),
      env_(env) {}

Answer Io::box(const std::string& text, Buttons b) { return env_.diag.msgBox(text, b); }
void Io::log(const std::string& text, int level) { env_.diag.logMsg(text, level); }
void Io::logFile(const std::string& text) { env_.diag.logFile(text); }
bool Io::statusDue() { return env_.diag.statusDue(); }
void Io::status(const std::string& text) { env_.diag.showStatus(text); }
ModelStore& Io::model() { return env_.model; }

}  // namespace dae

namespace {

// `owned`, when given, holds `bytes`: freed once the document is parsed, so
// the model's arrays reuse its memory (the parsed document keeps copies of
// all it needs).
ReadResult loadDae(ReadEnv& env, std::string_view bytes, std::string* owned) {
    std::string recoded;
    if (xmlNeedsRecoding(bytes)) {
        recoded.assign(bytes);
        std::string err;
        if (!makeXmlUtf8(recoded, err)) return ReadResult::failed("Cannot read " + env.srcFile + ": " + err, env.srcFile);
        bytes = recoded;
    }
    dae::Io io(env);
    dae::Doc doc;
    ReadResult r = dae::parseDocument(io, bytes, doc);
    std::string().swap(recoded);
    if (owned) std::string().swap(*owned);
    if (r.ok()) {
        StoreFill fill(env);
        fill.line = &io.where;
        r = dae::buildModel(io, doc, fill);
    }
    return r;
}

}  // namespace

ReadResult LoadDaeBytes(ReadEnv& env, std::string_view bytes) { return loadDae(env, bytes, nullptr); }

ReadResult LoadDae(ReadEnv& env, const std::string& path) {
    std::string bytes, err;
    if (!readWholeFile(path, bytes, err)) return ReadResult::failed("Cannot read " + path + ": " + err, path);
    return loadDae(env, bytes, &bytes);
}

}  // namespace molv
