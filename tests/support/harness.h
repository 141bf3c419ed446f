// The one door through which tests set up a run and call readers, writers
// and the conversion: when those signatures change, this file and its .cpp
// change, the tests mostly do not.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/read_result.h"
#include "shell/context.h"
#include "shell/scripted_ui.h"

namespace molv::test {

// The scripted window, also keeping every log line ever added (the log list
// itself keeps only the first ten and the last ninety).
struct TestUI : ScriptedUI {
    std::vector<std::string> everyLogLine;
    void logAppend(const std::string& e) override {
        everyLogLine.push_back(e);
        ScriptedUI::logAppend(e);
    }
};

// A fresh run with a scripted window: `ui` answers questions and records
// what the user was told, `ctx` is what readers and writers see.
struct TestContext {
    TestUI ui;
    Context ctx{ui};
    ModelStore& m = ctx.model;
    explicit TestContext(bool devMode = false) { ctx.app.devMode = devMode; }
};
std::unique_ptr<TestContext> makeContext(bool devMode = false);

enum class Format { Obj, Mtl, Tds, Dae };
const char* formatName(Format f);

// Readers on bytes in memory; `name` names the source in messages and its
// folder is where companions (libraries, textures) are looked for.
ReadResult readObjText(Context& ctx, std::string_view text, const std::string& name = "m.obj");
ReadResult readMtlText(Context& ctx, std::string_view text, const std::string& name = "m.mtl");
ReadResult read3dsBytes(Context& ctx, std::string_view bytes, const std::string& name = "m.3ds");
ReadResult readDaeBytes(Context& ctx, std::string_view bytes, const std::string& name = "test.dae");
ReadResult readBytes(Context& ctx, Format f, std::string_view bytes, const std::string& name);
// Readers on a file; the format follows the extension.
ReadResult readFile(Context& ctx, const std::string& path);

// Writes the whole Cal3D set for outFile (".cmf"); false when a file failed.
bool writeSet(Context& ctx, const std::string& outFile);
// One conversion as the command line runs it.
bool convert(Context& ctx, const std::string& src, const std::string& out = {});
// The developer-mode summary of the store, as the lines it logs.
std::vector<std::string> dumpModel(Context& ctx);

}  // namespace molv::test
