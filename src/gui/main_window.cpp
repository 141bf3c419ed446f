#include "gui/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QSplitter>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <thread>

#include "convert/batch.h"
#include "convert/context.h"
#include "convert/driver.h"
#include "convert/preview.h"
#include "convert/settings.h"
#include "convert/startup.h"
#include "gui/file_dialog.h"
#include "gui/preview_view.h"
#include "gui/qt_ui.h"
#include "gui/window_text.h"
#include "util/paths.h"

namespace molv {

std::string droppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& u : data->urls())
        if (u.isLocalFile() && !u.toLocalFile().isEmpty()) return u.toLocalFile().toStdString();
    return {};
}

MainWindow::MainWindow(Context& ctx, QtUI& ui, QWidget* parent) : QMainWindow(parent), ctx_(ctx), ui_(ui) {
    setObjectName(QStringLiteral("molvConv"));
    setWindowTitle(QString::fromStdString(ctx_.app.title));
    setAcceptDrops(true);
    resize(900, 560);

    List1_ = new QListWidget(this);
    List1_->setObjectName(QStringLiteral("List1"));
    List1_->setUniformItemSizes(true);
    List1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The log, and beside it the picture of the last converted set.
    preview_ = new PreviewView(this);
    auto* split = new QSplitter(this);
    split->addWidget(List1_);
    split->addWidget(preview_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    setCentralWidget(split);

    m_file_ = menuBar()->addMenu(QStringLiteral("File"));
    m_file_->setObjectName(QStringLiteral("m_file"));
    whileIdle_.push_back(addItem(m_file_, "m_f_open", QStringLiteral("Open and Convert"), &MainWindow::openAndConvert));
    whileIdle_.push_back(addItem(m_file_, "m_f_folder", QStringLiteral("Convert Folder\u2026"),
                                 &MainWindow::convertFolderCommand));
    whileIdle_.push_back(
        addItem(m_file_, "m_f_savesettings", QStringLiteral("Save Settings"), &MainWindow::saveSettingsCommand));
    addItem(m_file_, "m_f_exit", QStringLiteral("E&xit"), &MainWindow::exitCommand);

    m_settings_ = menuBar()->addMenu(QStringLiteral("Settings"));
    m_settings_->setObjectName(QStringLiteral("m_settings"));
    QMenu* s = m_settings_;
    // The check-mark items come from the settings table, in their menu places.
    std::vector<const SettingDef*> marked;
    for (const SettingDef& d : settingsTable())
        if (d.menuId) marked.push_back(&d);
    std::sort(marked.begin(), marked.end(), [](auto* x, auto* y) { return x->menuPos < y->menuPos; });
    for (std::size_t i = 0; i < marked.size(); ++i) {
        if (i > 0 && marked[i]->menuPos / 10 != marked[i - 1]->menuPos / 10)
            s->addSeparator()->setObjectName(QStringLiteral("m_s_%1").arg(marked[i - 1]->menuPos / 10));
        addToggle(s, *marked[i]);
    }
    m_s_setsize_ = addItem(s, "m_s_setsize", QStringLiteral("Set auto size"), nullptr);
    connect(m_s_setsize_, &QAction::triggered, this, [this] {
        askResizeSize(ctx_);
        refreshMenus();
    });
    m_s_setbone_ = addItem(s, "m_s_setbone", QStringLiteral("Set prop Bone"), nullptr);
    connect(m_s_setbone_, &QAction::triggered, this, [this] {
        askBoneID(ctx_);
        refreshMenus();
    });
    s->addSeparator()->setObjectName(QStringLiteral("m_s_2"));
    addItem(s, "m_s_defaults", QStringLiteral("Default settings"), &MainWindow::defaultSettingsCommand);
    addItem(s, "m_s_savesettings", QStringLiteral("Save settings"), &MainWindow::saveSettingsCommand);

    m_help_ = menuBar()->addMenu(QStringLiteral("Help"));
    m_help_->setObjectName(QStringLiteral("m_help"));
    whileIdle_.push_back(addItem(m_help_, "m_h_help", QStringLiteral("Help"), &MainWindow::helpCommand));
    whileIdle_.push_back(addItem(m_help_, "m_h_cls", QStringLiteral("Clear Screen"), &MainWindow::clearScreenCommand));
    addItem(m_help_, "m_h_about", QStringLiteral("About"), &MainWindow::aboutCommand);

    mStat_ = menuBar()->addAction(QStringLiteral("."));
    mStat_->setObjectName(QStringLiteral("mStat"));
    progress_ = new QProgressBar(menuBar());
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setTextVisible(false);
    progress_->setFixedWidth(180);
    progress_->setVisible(false);
    menuBar()->setCornerWidget(progress_, Qt::TopRightCorner);

    if (ctx_.app.devMode) buildDevPanel();

    ui_.setTitle(ctx_.app.title);
    ui_.attach(this, List1_, mStat_, progress_);
    refreshMenus();
}

MainWindow::~MainWindow() {
    // Never while a conversion runs in normal use (closing waits for it);
    // if it happens the worker is stopped and answered until it ends.
    if (worker_) {
        ui_.requestStop();
        while (!worker_->wait(10)) QCoreApplication::processEvents();
        delete worker_;
    }
    ui_.attach(nullptr, nullptr, nullptr, nullptr);
}

QAction* MainWindow::addItem(QMenu* menu, const char* name, const QString& caption, void (MainWindow::*command)()) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (command) connect(a, &QAction::triggered, this, command);
    return a;
}

void MainWindow::addToggle(QMenu* menu, const SettingDef& d) {
    QAction* a = addItem(menu, d.menuId, QString::fromUtf8(d.caption), nullptr);
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, &d] {
        toggleMenuItem(ctx_, d);
        refreshMenus();
    });
    toggles_.emplace_back(a, &d);
}

void MainWindow::buildDevPanel() {
    devPanel_ = new QDockWidget(QStringLiteral("Developer"), this);
    devPanel_->setObjectName(QStringLiteral("devPanel"));
    auto* w = new QWidget(devPanel_);
    auto* form = new QFormLayout(w);
    auto line = [this, w, form](const char* name, const QString& label, std::string SettingsMenu::*field) {
        auto* e = new QLineEdit(w);
        e->setObjectName(QString::fromLatin1(name));
        form->addRow(label, e);
        connect(e, &QLineEdit::textEdited, this, [this, field](const QString& t) { ctx_.menu.*field = t.toStdString(); });
        return e;
    };
    auto check = [this, w, form](const char* name, const QString& caption, bool SettingsMenu::*field) {
        auto* c = new QCheckBox(caption, w);
        c->setObjectName(QString::fromLatin1(name));
        form->addRow(c);
        connect(c, &QCheckBox::toggled, this, [this, field](bool on) { ctx_.menu.*field = on; });
        return c;
    };
    tSrcFile_ = line("tSrcFile", QStringLiteral("Source"), &SettingsMenu::tSrcFile);
    chStats_ = check("chStats", QStringLiteral("Statistics"), &SettingsMenu::chStats);
    tKF1_ = line("tKF1", QStringLiteral("First number"), &SettingsMenu::tKF1);
    tKF2_ = line("tKF2", QStringLiteral("Detail lines per mesh"), &SettingsMenu::tKF2);
    tDbgLvl_ = line("tDbgLvl", QStringLiteral("Debug level"), &SettingsMenu::tDbgLvl);
    chDbgLog_[0] = check("chDbgLog", QStringLiteral("Debug log"), &SettingsMenu::chDbgLog);
    chDbgLog_[1] = check("chDbgLog2", QStringLiteral("Debug log 2"), &SettingsMenu::chDbgLog2);
    chDbgLog_[2] = check("chDbgLog3", QStringLiteral("Debug log 3"), &SettingsMenu::chDbgLog3);
    devPanel_->setWidget(w);
    addDockWidget(Qt::RightDockWidgetArea, devPanel_);
}

void MainWindow::refreshMenus() {
    const SettingsMenu& m = ctx_.menu;
    for (auto& [action, d] : toggles_) action->setChecked(m.marks.*d->flag);
    m_s_setsize_->setText(QString::fromStdString(m.m_s_setsize_caption));
    m_s_setbone_->setText(QString::fromStdString(m.m_s_setbone_caption));
    if (!devPanel_) return;
    tSrcFile_->setText(QString::fromStdString(m.tSrcFile));
    tKF1_->setText(QString::fromStdString(m.tKF1));
    tKF2_->setText(QString::fromStdString(m.tKF2));
    tDbgLvl_->setText(QString::fromStdString(m.tDbgLvl));
    chStats_->setChecked(m.chStats);
    chDbgLog_[0]->setChecked(m.chDbgLog);
    chDbgLog_[1]->setChecked(m.chDbgLog2);
    chDbgLog_[2]->setChecked(m.chDbgLog3);
}

// ---- conversions -----------------------------------------------------------

void MainWindow::openAndConvert() {
    if (running()) return;
    FileOpenDialog dlg(ctx_.app.fileFilter, ctx_.settings.lastLoadPath, this);
    if (dlg.exec() != QDialog::Accepted || dlg.result().empty()) return;
    ctx_.settings.lastLoadPath = dlg.result();
    convertSource(dlg.result());
}

void MainWindow::convertSource(const std::string& path) {
    if (running() || path.empty()) return;
    AppState& a = ctx_.app;
    a.srcFile = path;
    if (a.devMode) {
        // The panel's source box is what the read takes in developer mode.
        ctx_.menu.tSrcFile = path;
        refreshMenus();
    }
    preview_->showPicture({});
    runJob(
        [this, path] {
            ConversionRequest req(path);
            req.fromOpen = req.saveSettings = true;
            req.beforeWrite = [this] { ui_.setStoppable(false); };  // a set once begun is written whole
            const ConversionResult r = convert(ctx_, req);
            if (!r.ok()) return false;
            for (const std::string& w : r.warnings) ctx_.logMsg("Warning: " + w);
            if (!r.warnings.empty()) ctx_.showStatus(completionText(r.warnings.size()));
            drawPreview();
            return true;
        },
        {});
}

void MainWindow::convertFolderCommand() {
    if (running()) return;
    QFileDialog dlg(this, QStringLiteral("Convert Folder"), QString::fromStdString(folderOf(ctx_.settings.lastLoadPath)));
    dlg.setObjectName(QStringLiteral("folderDialog"));
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
    convertFolder(dlg.selectedFiles().front().toStdString());
}

void MainWindow::convertFolder(const std::string& folder) {
    if (running() || folder.empty()) return;
    // Listed from inside the folder, so each line names the file alone.
    auto items = std::make_shared<std::vector<BatchItem>>(batchSources({"."}, folder, false, ctx_.app.devMode));
    ctx_.logMsg("Converting the models in " + folder);
    runJob(
        [this, items] {
            // Stopping ends the batch between files: each set is written whole.
            ui_.setStoppable(false);
            const auto total = static_cast<std::int64_t>(items->size());
            std::int64_t done = 0;
            ui_.progress(0, total);
            const int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
            convertBatch(
                ctx_, *items, jobs,
                [&](const std::string& line) {
                    ctx_.logMsg(line);
                    ui_.progress(++done, total);
                },
                [this] { return ui_.stopRequested(); });
            ctx_.logMsg(" \n" + batchSummary(*items));  // a blank line before the table
            const auto failed = std::count_if(items->begin(), items->end(), [](const BatchItem& i) { return !i.ok; });
            const auto warned = std::count_if(items->begin(), items->end(),
                                              [](const BatchItem& i) { return i.ok && !i.warnings.empty(); });
            ctx_.showStatus(std::to_string(total - failed) + " converted" +
                            (warned ? " (" + std::to_string(warned) + " with warnings)" : std::string()) + ", " +
                            std::to_string(failed) + " failed");
            return failed == 0;
        },
        {});
}

void MainWindow::convertAtStart(const CmdLineOptions& opts, const std::string& cwd) {
    preview_->showPicture({});
    runJob(
        [this, opts, cwd] {
            const bool ok = runConversion(ctx_, opts, cwd) == kExitOk;
            if (ok) drawPreview();
            return ok;
        },
           [this](bool ok) {
               if (ok) {
                   emit programEnds(kExitOk);
               } else {
                   // The rest of start-up without a source: the user gets the window.
                   finishStartupWithoutSource(ctx_);
               }
           });
}

void MainWindow::drawPreview() {
    PreviewPicture pic = renderLastSet(ctx_);
    // Queued ahead of the job's end, so the picture is up with its notice.
    QMetaObject::invokeMethod(
        preview_, [view = preview_, pic] { view->showPicture(pic.image, QString::fromStdString(pic.message)); },
        Qt::QueuedConnection);
}

void MainWindow::runJob(std::function<bool()> work, std::function<void(bool)> done) {
    setRunning(true);
    ui_.resetStop();
    ui_.setBusy(true);
    jobOk_ = jobStopped_ = false;
    jobError_.clear();
    onDone_ = std::move(done);
    worker_ = QThread::create([this, work = std::move(work)] {
        try {
            jobOk_ = work();
        } catch (const ConversionStopped&) {
            jobStopped_ = true;
        } catch (const std::exception& e) {
            jobError_ = e.what();
        } catch (...) {
            jobError_ = "unknown error";
        }
    });
    connect(worker_, &QThread::finished, this, &MainWindow::jobFinished);
    worker_->start();
}

void MainWindow::jobFinished() {
    if (!worker_) return;
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
    ui_.setBusy(false);
    if (jobStopped_) {
        // The read was cut short: what the store holds is no model.
        ctx_.model.ClearModel();
        ctx_.logMsg("Conversion stopped; nothing was written");
        ctx_.showStatus("Stopped");
    }
    if (!jobError_.empty()) ctx_.msgBox("Unexpected error: " + jobError_);
    setRunning(false);
    refreshMenus();
    // The run's outcome, with the window at rest behind it.
    for (const std::string& n : ui_.takeNotices()) ui_.notice(n);
    const bool ok = jobOk_ && !jobStopped_;
    auto done = std::move(onDone_);
    onDone_ = nullptr;
    emit conversionFinished(ok);
    if (done) done(ok);
    if (exitAfterJob_) {
        exitAfterJob_ = false;
        exitCommand();
    } else if (closeAfterJob_) {
        closeAfterJob_ = false;
        close();
    }
}

void MainWindow::setRunning(bool on) {
    for (QAction* a : whileIdle_) a->setEnabled(!on);
    m_settings_->menuAction()->setEnabled(!on);
    m_settings_->setEnabled(!on);
    if (devPanel_) devPanel_->widget()->setEnabled(!on);
}

// ---- commands ----------------------------------------------------------------

void MainWindow::saveSettingsCommand() {
    if (running()) return;
    saveSettings(ctx_);
}

void MainWindow::defaultSettingsCommand() {
    if (running()) return;
    defaultSettings(ctx_);
    refreshMenus();
}

void MainWindow::helpCommand() {
    if (running()) return;
    ctx_.logList.clear(ctx_.ui);
    for (const std::string& b : helpBlocks(ctx_.app.title)) ctx_.logMsg(b, 0);
}

void MainWindow::clearScreenCommand() {
    if (running()) return;
    ctx_.logList.clear(ctx_.ui);
}

void MainWindow::aboutCommand() { ui_.messageBox(aboutText(ctx_.app.title), Buttons::Ok, Answer::Ok); }

void MainWindow::exitCommand() {
    if (running()) {
        // No question: the conversion stops and the program ends after it.
        ui_.requestStop();
        exitAfterJob_ = true;
        return;
    }
    exiting_ = true;
    close();
    emit programEnds(kExitOk);
}

bool MainWindow::do_Exit() {
    if (!ctx_.settingsDirty) return false;
    switch (ctx_.msgBox("Save Settings?", Buttons::YesNoCancel, Answer::Yes)) {
        case Answer::Cancel: return true;
        case Answer::Yes: saveSettings(ctx_); return false;
        default: return false;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (running()) {
        event->ignore();
        if (askingStop_ || ui_.stopRequested()) return;
        askingStop_ = true;
        const Answer a = ui_.messageBox("A conversion is running. Stop it and close the window?", Buttons::YesNo,
                                        Answer::No);
        askingStop_ = false;
        if (a != Answer::Yes) return;
        if (running()) {
            ui_.requestStop();
            closeAfterJob_ = true;
            return;
        }
        // It ended while the question was open: close as usual.
    }
    if (!exiting_ && do_Exit()) {
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!running() && !droppedFile(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!running() && !droppedFile(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const std::string path = droppedFile(event->mimeData());
    if (running() || path.empty()) return;
    event->acceptProposedAction();
    convertSource(path);
}

}  // namespace molv
