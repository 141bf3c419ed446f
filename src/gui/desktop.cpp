#include "gui/desktop.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <cstdio>
#include <string>
#include <vector>

#include "convert/batch.h"
#include "convert/cmdline.h"
#include "convert/context.h"
#include "convert/process.h"
#include "convert/registry.h"
#include "convert/startup.h"
#include "gui/main_window.h"
#include "gui/qt_ui.h"

namespace molv {

std::string desktopHelpText() {
    return "Usage: molvconv-gui [-dbg] [SOURCE]\n"
           "       molvconv-gui --open SOURCE\n"
           "\n"
           "Without SOURCE the window opens: File > Open and Convert, or drop a model\n"
           "(" + readableTypesText() + ") on it. With SOURCE the model is converted at once into\n"
           "the Cal3D set beside it and the program ends after \"Conversion complete\".\n"
           "With --open (the desktop entry) the window opens with SOURCE ready; File > Convert\n"
           "converts it.\n"
           "The command line takes the same words as molvconv's (see molvconv --help).\n";
}

int runDesktop(int argc, char** argv) {
    // Convert Folder runs each item as a child of its own; no window then.
    if (argc == 2 && std::string(argv[1]) == "--batch-item") return batchItemMain();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("molvConv"));
    // The desktop entry names the window's icon and groups its windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("molvconv"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("molvconv")));

    std::vector<std::string> args;
    std::string offered;  // --open: made ready, converted on a command
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--open" && i + 1 < argc)
            offered = argv[++i];
        else
            args.emplace_back(argv[i]);
    }
    const std::string programPath = argc > 0 && argv[0] ? argv[0] : "molvconv-gui";
    const std::string cmdLine = joinArguments(args);
    const CmdLineOptions early = parseCommandLine(cmdLine);
    if (early.help) {
        std::fputs(desktopHelpText().c_str(), stdout);
        return kExitOk;
    }
    if (early.version) {
        std::puts(kTitle);
        return kExitOk;
    }
    if (!early.error.empty()) {
        std::fprintf(stderr, "molvconv-gui: %s\n", early.error.c_str());
        return kExitUsage;
    }

    QtUI ui;
    ui.setTitle(kTitle);
    Context ctx(ui);
    StartupResult r = startUp(ctx, cmdLine, programPath, ProcessEnv::current());
    if (!r.ok) return kExitFailed;  // the message box said why

    MainWindow window(ctx, ui);
    window.model().setItemProgram(runningProgramFile(argc > 0 ? argv[0] : nullptr));
    QObject::connect(&window, &MainWindow::programEnds, &app, [](int status) { QCoreApplication::exit(status); },
                     Qt::QueuedConnection);
    window.show();
    if (r.opts.srcFile.empty()) {
        finishStartupWithoutSource(ctx);
        if (!offered.empty()) window.model().offerSource(offered);
    } else
        window.convertAtStart(r.opts, QDir::currentPath().toStdString());
    return app.exec();
}

}  // namespace molv
