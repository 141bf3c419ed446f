// The main window `molvConv`: the log list, the File, Settings and Help
// menus, the status item `mStat` with a progress bar beside it and, in
// developer mode, the developer panel.
//
// Conversions run on a worker thread. While one runs, the commands that
// read, write or change settings are disabled and the window's thread does
// not touch the run's Context; closing the window asks whether to stop it.
#pragma once
#include <QMainWindow>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "convert/cmdline.h"
#include "core/settings.h"

class QAction;
class QCheckBox;
class QDockWidget;
class QLineEdit;
class QListWidget;
class QMenu;
class QMimeData;
class QProgressBar;
class QThread;

namespace molv {

struct Context;
class QtUI;
class PreviewView;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Context& ctx, QtUI& ui, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up with a source: converts it on the worker. On success the
    // program ends after "Conversion complete" (programEnds); otherwise the
    // window stays with the log that says why.
    void convertAtStart(const CmdLineOptions& opts, const std::string& cwd);
    // Open and Convert once a file is chosen (the dialog or a drop): read,
    // and write only when the read succeeded.
    void convertSource(const std::string& path);
    // Convert Folder once a folder is chosen: each model in it converted on
    // its own, asking nothing, a result line per file, the summary at the end.
    void convertFolder(const std::string& folder);
    bool running() const { return worker_ != nullptr; }

    // The commands.
    void openAndConvert();
    void convertFolderCommand();
    void saveSettingsCommand();
    void exitCommand();
    void defaultSettingsCommand();
    void helpCommand();
    void clearScreenCommand();
    void aboutCommand();
    // The close question "Save Settings?": true when the user cancelled.
    bool do_Exit();
    // Check marks and captions of the Settings menu and the developer
    // panel, from the settings view model.
    void refreshMenus();

signals:
    // A conversion ended (read and write both succeeded, or not).
    void conversionFinished(bool ok);
    // The program is to end with this status.
    void programEnds(int status);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* addItem(QMenu* menu, const char* name, const QString& caption, void (MainWindow::*command)());
    void addToggle(QMenu* menu, const SettingDef& setting);
    void buildDevPanel();
    void runJob(std::function<bool()> work, std::function<void(bool)> done);
    // On the worker, after a set was written: its picture for preview_.
    void drawPreview();
    void jobFinished();
    void setRunning(bool on);

    Context& ctx_;
    QtUI& ui_;

    QListWidget* List1_;
    PreviewView* preview_;  // the picture of the last converted set
    QAction* mStat_;
    QProgressBar* progress_;
    QMenu* m_file_;
    QMenu* m_settings_;
    QMenu* m_help_;
    std::vector<QAction*> whileIdle_;  // disabled while a conversion runs
    std::vector<std::pair<QAction*, const SettingDef*>> toggles_;
    QAction* m_s_setsize_ = nullptr;
    QAction* m_s_setbone_ = nullptr;

    QDockWidget* devPanel_ = nullptr;
    QLineEdit* tSrcFile_ = nullptr;
    QLineEdit* tKF1_ = nullptr;
    QLineEdit* tKF2_ = nullptr;
    QLineEdit* tDbgLvl_ = nullptr;
    QCheckBox* chStats_ = nullptr;
    QCheckBox* chDbgLog_[3] = {nullptr, nullptr, nullptr};

    QThread* worker_ = nullptr;
    std::function<void(bool)> onDone_;
    // Written by the worker, read after it ended.
    bool jobOk_ = false;
    bool jobStopped_ = false;
    std::string jobError_;

    bool askingStop_ = false;
    bool closeAfterJob_ = false;
    bool exitAfterJob_ = false;
    bool exiting_ = false;
};

// Text of a drop: the first local file it carries; empty when none.
std::string droppedFile(const QMimeData* data);

}  // namespace molv
