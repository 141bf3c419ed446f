// The command-line program: converts the file named on its command line.
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "convert/batch.h"
#include "convert/cmdline.h"
#include "convert/context.h"
#include "convert/process.h"
#include "convert/startup.h"
#include "shell/console_ui.h"

int main(int argc, char** argv) {
    using namespace molv;
    // A batch runs each item as a child of its own (see convertBatch).
    keepFreedMemoryForReuse();
    if (argc == 2 && std::string(argv[1]) == "--batch-item") return batchItemMain();
    Utf8Console console;
    std::string programPath = processProgramPath(argc > 0 ? argv[0] : nullptr);
    if (programPath.empty()) programPath = "molvconv";
    const std::string cmdLine = processArguments(argc, argv);

    CmdLineOptions opts = parseCommandLine(cmdLine);
    if (opts.help) {
        std::fputs(helpText(programBaseName(programPath)).c_str(), stdout);
        return kExitOk;
    }
    if (opts.version) {
        std::puts(kTitle);
        return kExitOk;
    }
    if (!opts.error.empty()) {
        std::fprintf(stderr, "molvconv: %s\nTry 'molvconv --help'.\n", opts.error.c_str());
        return kExitUsage;
    }
    if (opts.srcFile.empty() && (!opts.outFile.empty() || !opts.preview.empty())) {
        std::fputs("molvconv: an output or preview name needs a source file\nTry 'molvconv --help'.\n", stderr);
        return kExitUsage;
    }

    ConsoleUI ui(stdin, stdout, stderr, ConsoleUI::processOptions(opts.yes, opts.quiet));
    Context ctx(ui);
    StartupResult r = startUp(ctx, cmdLine, programPath, ProcessEnv::current());
    if (!r.ok) return kExitFailed;
    if (r.opts.srcFile.empty()) {
        // No window to open: the help is what the user needs.
        finishStartupWithoutSource(ctx);
        ui.finish();
        std::fputs(helpText(programBaseName(programPath)).c_str(), stdout);
        return kExitOk;
    }
    if (r.opts.batch) {
        finishStartupWithoutSource(ctx);
        std::vector<BatchItem> items = batchSources(r.opts.paths, currentFolder(), r.opts.recursive, ctx.app.devMode);
        const int jobs = r.opts.jobs > 0 ? r.opts.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        convertBatch(
            ctx, items, jobs,
            [](const std::string& line) {
                std::fputs((line + "\n").c_str(), stdout);
                std::fflush(stdout);
            },
            {}, runningProgramFile(argc > 0 ? argv[0] : nullptr));
        std::fputs(("\n" + batchSummary(items)).c_str(), stdout);
        ui.finish();
        return batchExitStatus(items, r.opts.strict);
    }
    int status = r.opts.info ? runInfo(ctx, r.opts, currentFolder()) : runConversion(ctx, r.opts, currentFolder());
    ui.finish();
    return status;
}
