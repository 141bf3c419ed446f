#include "gui/main_window.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QSplitter>
#include <QUrl>

#include "convert/context.h"
#include "convert/preview.h"
#include "gui/file_dialog.h"
#include "gui/preview_view.h"
#include "gui/qt_ui.h"

namespace molv {

std::vector<std::string> droppedFiles(const QMimeData* data) {
    std::vector<std::string> out;
    if (!data || !data->hasUrls()) return out;
    for (const QUrl& u : data->urls())
        if (u.isLocalFile() && !u.toLocalFile().isEmpty()) out.push_back(u.toLocalFile().toStdString());
    return out;
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

    model_ = std::make_unique<WindowModel>(ctx_, ui_, static_cast<WindowView&>(*this));
    buildMenus();

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
    refresh();
}

MainWindow::~MainWindow() {
    model_.reset();  // stops and waits for a conversion still running
    ui_.attach(nullptr, nullptr, nullptr, nullptr);
}

void MainWindow::buildMenus() {
    for (const Menu& m : model_->menus()) {
        QMenu* menu = menuBar()->addMenu(QString::fromStdString(m.caption));
        menu->setObjectName(QString::fromStdString(m.id));
        menus_.emplace_back(menu, &m);
        QActionGroup* radios = nullptr;
        for (const MenuItem& i : m.items) {
            QAction* a = nullptr;
            if (i.kind == MenuItem::Kind::Separator) {
                a = menu->addSeparator();
            } else {
                a = menu->addAction(QString::fromStdString(i.caption));
                if (!i.shortcut.empty()) a->setShortcut(QKeySequence(QString::fromStdString(i.shortcut)));
                a->setCheckable(i.kind != MenuItem::Kind::Command);
                if (i.kind == MenuItem::Kind::Radio) {
                    if (!radios) radios = new QActionGroup(menu);
                    radios->addAction(a);
                }
                const std::string id = i.id;
                connect(a, &QAction::triggered, this, [this, id] { model_->trigger(id); });
            }
            a->setObjectName(QString::fromStdString(i.id));
            items_.emplace_back(a, &i);
        }
    }
}

void MainWindow::buildDevPanel() {
    devPanel_ = new QDockWidget(QStringLiteral("Developer"), this);
    devPanel_->setObjectName(QStringLiteral("devPanel"));
    auto* w = new QWidget(devPanel_);
    auto* form = new QFormLayout(w);
    for (const DevField& f : devPanelFields()) {
        if (f.text) {
            auto* e = new QLineEdit(w);
            e->setObjectName(QString::fromLatin1(f.id));
            form->addRow(QString::fromUtf8(f.label), e);
            connect(e, &QLineEdit::textEdited, this,
                    [this, &f](const QString& t) { model_->setDevText(f.text, t.toStdString()); });
            devTexts_.emplace_back(e, &f);
        } else {
            auto* c = new QCheckBox(QString::fromUtf8(f.label), w);
            c->setObjectName(QString::fromLatin1(f.id));
            form->addRow(c);
            connect(c, &QCheckBox::toggled, this, [this, &f](bool on) { model_->setDevCheck(f.check, on); });
            devChecks_.emplace_back(c, &f);
        }
    }
    devPanel_->setWidget(w);
    addDockWidget(Qt::RightDockWidgetArea, devPanel_);
}

// ---- the view --------------------------------------------------------------------

void MainWindow::post(std::function<void()> fn) { QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection); }

void MainWindow::refresh() {
    for (auto& [menu, m] : menus_) {
        menu->setEnabled(model_->menuEnabled(*m));
        menu->menuAction()->setEnabled(model_->menuEnabled(*m));
    }
    for (auto& [action, item] : items_) {
        if (item->kind == MenuItem::Kind::Separator) continue;
        action->setEnabled(model_->enabled(*item));
        if (action->isCheckable()) action->setChecked(model_->checked(*item));
        action->setText(QString::fromStdString(model_->caption(*item)));
    }
    if (!devPanel_) return;
    devPanel_->widget()->setEnabled(!model_->running());
    const SettingsMenu& m = ctx_.menu;
    for (auto& [edit, f] : devTexts_) edit->setText(QString::fromStdString(m.*(f->text)));
    for (auto& [box, f] : devChecks_) box->setChecked(m.*(f->check));
}

void MainWindow::busyChanged(bool running) { ui_.setBusy(running); }

std::string MainWindow::choosePath(const PathRequest& req) {
    FileOpenDialog dlg(req.filter, req.start, this);
    dlg.setFolderMode(req.folders);
    dlg.setPlaces(req.recent);
    if (req.folders) dlg.setObjectName(QStringLiteral("folderDialog"));
    if (dlg.exec() != QDialog::Accepted) return {};
    return dlg.result();
}

void MainWindow::showPreview(const LoadedScene* scene) {
    if (scene && scene->ok)
        preview_->setScene(scene->scene);
    else
        preview_->showPicture({}, scene ? QString::fromStdString(scene->message) : QString());
}

void MainWindow::closeWindow() { close(); }

// ---- events ------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
    if (model_->closeRequested())
        event->accept();
    else
        event->ignore();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (model_->dropAccepted(droppedFiles(event->mimeData()))) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (model_->dropAccepted(droppedFiles(event->mimeData()))) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (model_->drop(droppedFiles(event->mimeData()))) event->acceptProposedAction();
}

}  // namespace molv
