// The main window `molvConv` in Qt: a thin view over the window model. It
// builds its menus from the model's rows, forwards what the user does, and
// shows the log list, the status item `mStat` with a progress bar beside
// it, the picture of the last set and, in developer mode, the developer
// panel.
#pragma once
#include <QMainWindow>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "convert/cmdline.h"
#include "window/window_model.h"

class QAction;
class QCheckBox;
class QDockWidget;
class QLineEdit;
class QListWidget;
class QMenu;
class QMimeData;
class QProgressBar;

namespace molv {

struct Context;
class QtUI;
class PreviewView;

class MainWindow : public QMainWindow, private WindowView {
    Q_OBJECT
public:
    MainWindow(Context& ctx, QtUI& ui, QWidget* parent = nullptr);
    ~MainWindow() override;

    WindowModel& model() { return *model_; }
    void convertAtStart(const CmdLineOptions& opts, const std::string& cwd) { model_->convertAtStart(opts, cwd); }
    void convertSource(const std::string& path) { model_->convertSource(path); }
    bool running() const { return model_->running(); }

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
    // WindowView
    void post(std::function<void()> fn) override;
    void refresh() override;
    void busyChanged(bool running) override;
    std::string choosePath(const PathRequest& req) override;
    void showPreview(const LoadedScene* scene) override;
    void closeWindow() override;
    void endProgram(int status) override { emit programEnds(status); }
    void conversionEnded(bool ok) override { emit conversionFinished(ok); }

    void buildMenus();
    void buildDevPanel();

    Context& ctx_;
    QtUI& ui_;
    std::unique_ptr<WindowModel> model_;

    QListWidget* List1_;
    PreviewView* preview_;
    QAction* mStat_;
    QProgressBar* progress_;
    std::vector<std::pair<QAction*, const MenuItem*>> items_;
    std::vector<std::pair<QMenu*, const Menu*>> menus_;
    QDockWidget* devPanel_ = nullptr;
    std::vector<std::pair<QLineEdit*, const DevField*>> devTexts_;
    std::vector<std::pair<QCheckBox*, const DevField*>> devChecks_;
};

// The local files of a drop, in order; empty when none.
std::vector<std::string> droppedFiles(const QMimeData* data);

}  // namespace molv
