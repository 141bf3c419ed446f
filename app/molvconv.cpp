// The command-line program: converts the file named on its command line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/cmdline.h"
#include "convert/context.h"
#include "convert/startup.h"
#include "shell/console_ui.h"

int main(int argc, char** argv) {
    using namespace molv;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    const std::string programPath = argc > 0 && argv[0] ? argv[0] : "molvconv";
    const std::string cmdLine = joinArguments(args);

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
    if (opts.srcFile.empty() && !opts.outFile.empty()) {
        std::fputs("molvconv: an output name needs a source file\nTry 'molvconv --help'.\n", stderr);
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
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    int status = runConversion(ctx, r.opts, cwd);
    ui.finish();
    return status;
}
