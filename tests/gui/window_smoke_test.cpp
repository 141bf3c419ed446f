// The Qt view's own wiring to the window model, on the offscreen platform:
// menus, the developer panel, the dialog, a drop with its question as a real
// box on the window's thread, the log list, the status and the progress.
// What the window does with them is tested headless in tests/window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "convert/context.h"
#include "convert/startup.h"
#include "gui/file_dialog.h"
#include "gui/main_window.h"
#include "gui/preview_view.h"
#include "gui/qt_ui.h"
#include "support/test_support.h"

using namespace molv;
using namespace molv::test;

namespace {

// Runs `handle` once on the next modal window that opens, from a fresh
// timer so that the window's own loop is running.
void onNextModal(std::function<void(QWidget*)> handle) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, handle = std::move(handle)] {
        QPointer<QWidget> w = QApplication::activeModalWidget();
        if (!w) return;
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(0, w, [w, handle] {
            if (w) handle(w);
        });
    });
    poll->start();
}

// A started program with its window in a temporary home.
struct Program {
    QtUI ui;
    Context ctx{ui};
    std::unique_ptr<MainWindow> window;

    explicit Program(const std::string& tag, bool dev = false) {
        const std::string home = tempDir(tag);
        ProcessEnv env;
        env.home = home;
        env.xdgConfigHome = home + ".config";
        std::filesystem::create_directories(configDirFor(env));
        if (dev) writeFile(devMarkerPath(env), "");
        startUp(ctx, "", dev ? "/usr/bin/vtm3" : "/usr/bin/molvconv-gui", env);
        finishStartupWithoutSource(ctx);
        window = std::make_unique<MainWindow>(ctx, ui);
        window->show();
    }

    template <class T>
    T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* action(const char* name) const { return find<QAction>(name); }
    // Runs a command that starts a conversion and waits for its end: whether
    // it succeeded, or nothing when it did not end in time.
    std::optional<bool> waitForConversion(const std::function<void()>& start) {
        std::optional<bool> result;
        auto c = QObject::connect(window.get(), &MainWindow::conversionFinished, [&](bool r) { result = r; });
        start();
        (void)QTest::qWaitFor([&] { return result.has_value(); }, 30000);
        QObject::disconnect(c);
        return result;
    }
};

}  // namespace

TEST(QtWindow, MenusAndTheDeveloperPanelReachTheModelAndBack) {
    Program p("qtmenus", true);
    for (const Menu& m : p.window->model().menus()) {
        auto* menu = p.find<QMenu>(m.id.c_str());
        ASSERT_NE(menu, nullptr) << m.id;
        EXPECT_EQ(menu->title().toStdString(), m.caption);
        ASSERT_EQ(menu->actions().size(), static_cast<qsizetype>(m.items.size())) << m.id;
        for (std::size_t i = 0; i < m.items.size(); ++i)
            EXPECT_EQ(menu->actions()[static_cast<qsizetype>(i)]->objectName().toStdString(), m.items[i].id);
    }
    EXPECT_EQ(p.action("m_f_open")->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    // A click reaches the model; the captions come back from it.
    p.action("m_s_autocentre")->trigger();
    EXPECT_FALSE(p.ctx.menu.marks.autoCentre);
    p.action("m_o_obj")->trigger();
    EXPECT_EQ(p.window->model().outputType(), "obj");
    EXPECT_EQ(p.action("m_s_setsize")->text().toStdString(), "Set size for resize (100)");
    QTest::keyClicks(p.find<QLineEdit>("tKF2"), "7");
    EXPECT_EQ(p.ctx.menu.tKF2, "7");
    p.find<QCheckBox>("chDbgLog3")->click();
    EXPECT_TRUE(p.ctx.menu.chDbgLog3);
}

TEST(QtWindow, ConvertsThroughTheDialogThenADropAsksOnTheWindowThread) {
    Program p("qtopen");
    EXPECT_EQ(p.window->windowTitle().toStdString(), "molvConv V0.2.49");
    EXPECT_EQ(p.find<QWidget>("devPanel"), nullptr);  // developer mode only
    const std::string dir = exampleCopy("qtopenex");
    onNextModal([&](QWidget* w) {
        auto* d = qobject_cast<FileOpenDialog*>(w);
        ASSERT_NE(d, nullptr);
        d->findChild<QLineEdit*>(QStringLiteral("txtFilename"))->setText(QString::fromStdString(dir + "stool.obj"));
        d->findChild<QPushButton*>(QStringLiteral("bOpen"))->click();
    });
    bool barShown = false;
    const auto open = [&] {
        p.action("m_f_open")->trigger();
        barShown = p.find<QProgressBar>("progress")->isVisible();
    };
    ASSERT_EQ(p.waitForConversion(open), true);
    EXPECT_TRUE(barShown);
    EXPECT_FALSE(p.find<QProgressBar>("progress")->isVisible());
    EXPECT_EQ(p.action("mStat")->text().toStdString(), "[ Done ]");
    EXPECT_TRUE(p.window->findChild<PreviewView*>(QStringLiteral("preview"))->hasScene());

    // An off-centre model dropped: the write's question is a box on the
    // window's thread while the commands are off.
    writeFile(dir + "off.obj", "v 100 0 0\nv 150 0 0\nv 100 50 0\nf 1 2 3\n");
    p.action("m_s_autocentre")->trigger();
    p.action("m_s_autozerobsht")->trigger();
    bool onWindowThread = false, openEnabled = true, settingsEnabled = true;
    onNextModal([&](QWidget* w) {
        onWindowThread = QThread::currentThread() == qApp->thread();
        openEnabled = p.action("m_f_open")->isEnabled();
        settingsEnabled = p.find<QMenu>("m_settings")->menuAction()->isEnabled();
        qobject_cast<QMessageBox*>(w)->button(QMessageBox::No)->click();
    });
    QMimeData data;
    // Only local files are dropped: the web address is passed over.
    data.setUrls({QUrl(QStringLiteral("https://example.org/x.obj")),
                  QUrl::fromLocalFile(QString::fromStdString(dir + "off.obj"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(p.window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    ASSERT_EQ(p.waitForConversion([&] { QApplication::sendEvent(p.window.get(), &drop); }), true);
    EXPECT_TRUE(onWindowThread);
    EXPECT_FALSE(openEnabled);
    EXPECT_FALSE(settingsEnabled);
    EXPECT_TRUE(p.action("m_f_open")->isEnabled());
}

TEST(QtUIView, TheLogListAndStatusKeepInStepWithTheCore) {
    Program p("flood");
    // A line logged on the window's thread shows at once.
    p.ctx.logMsg("at once");
    auto* list = p.find<QListWidget>("List1");
    ASSERT_GT(list->count(), 0);
    EXPECT_EQ(list->item(list->count() - 1)->text().toStdString(), "at once");
    // A worker that logs far faster than the window paints (past the core
    // list's limit): the list ends up holding exactly what the core's holds.
    p.ui.setBusy(true);
    QThread* t = QThread::create([&] {
        for (int i = 0; i < 3000; ++i) p.ctx.logMsg("line " + std::to_string(i) + (i % 7 == 0 ? "\r&b" : ""));
        p.ctx.showStatus("V: 3 & more");
        p.ctx.progress(250, 1000);
    });
    t->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return t->isFinished(); }, 20000));
    delete t;
    p.ui.flush();
    EXPECT_EQ(p.find<QProgressBar>("progress")->value(), 250);
    std::vector<std::string> shown;
    for (int i = 0; i < list->count(); ++i) shown.push_back(list->item(i)->text().toStdString());
    EXPECT_EQ(shown, std::vector<std::string>(p.ctx.logList.entries().begin(), p.ctx.logList.entries().end()));
    EXPECT_EQ(p.action("mStat")->text().toStdString(), "[ V: 3 && more ]");
}
