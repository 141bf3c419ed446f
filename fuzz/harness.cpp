#include "fuzz/harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "cal3d/cmf_reader.h"
#include "cal3d/cmf_writer.h"
#include "convert/settings.h"
#include "model/checks.h"
#include "util/fileio.h"

namespace molv::fuzz {

namespace {

namespace fs = std::filesystem;

// One folder per process, under TMPDIR (or /tmp); removed at exit.
struct Folder {
    std::string path;
    Folder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/molv-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        path = pattern + "/";
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

const std::string& folder() {
    static const Folder f;
    return f.path;
}

void emptyFolder() {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder(), ec)) fs::remove_all(e.path(), ec);
}

}  // namespace

Run::Run(std::string_view input) {
    applyDefaults(ctx);
    showSettingsInMenus(ctx);
    ctx.app.configDir.clear();  // settings are never saved
    ctx.logFileName.clear();    // nor a log file written
    // Inputs of odd length also build every detail line (level 2 logging,
    // extra log), so that code is fuzzed too without a byte of the input
    // spent on choosing it.
    if (input.size() % 2 == 1) {
        ctx.dbgLevel = 2;
        ctx.app.extraLog = true;
    }
}

const std::string& Run::dir() const { return folder(); }

std::string Run::put(const std::string& name, std::string_view bytes) const {
    const std::string path = folder() + name;
    std::string err;
    if (!writeFileAtomic(path, bytes, err)) fault("cannot write " + path + ": " + err);
    return path;
}

ReadEnv Run::source(const std::string& name) {
    AppState& a = ctx.app;
    a.srcFile = folder() + name;
    a.srcFolder = folder();
    a.srcExt = name.substr(name.rfind('.') + 1);
    a.modelName = name.substr(0, name.rfind('.'));
    ctx.currentFolder = folder();
    return ctx.readEnv();
}

std::vector<std::string> Run::files() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder(), ec)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

void fault(const std::string& what) {
    std::fprintf(stderr, "==molv-fuzz== %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void checkStore(const Run& run) {
    const std::string f = storeFault(run.ctx.model);
    if (!f.empty()) fault("store broken: " + f);
}

void checkMeshReadsBack(Run& run, const char* source) {
    WriteEnv out = run.ctx.writeEnv();
    const std::string bytes = buildCmf(out);
    run.ctx.model.ClearModel();
    ReadEnv again = run.source("model.cmf");
    const ReadResult r = readCmfBytes(again, bytes, again.srcFile);
    if (!r.ok()) fault(std::string("the mesh written from a read ") + source + " does not read: " + r.message);
    checkStore(run);
}

}  // namespace molv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    {
        molv::fuzz::Run run(input);
        molv::fuzz::fuzzOne(run, input);
    }
    molv::fuzz::emptyFolder();
    return 0;
}
