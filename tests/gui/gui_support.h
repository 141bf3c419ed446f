// What the window's tests share: a started program with its window in a
// temporary home, and an answerer that deals with modal boxes and dialogs
// as they appear, recording what each one showed.
#pragma once
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/context.h"
#include "convert/startup.h"
#include "gui/main_window.h"
#include "gui/qt_ui.h"
#include "support/test_support.h"

namespace molv::test {

// Modal windows in the order they appear: each is handed to the next
// handler; message boxes are recorded with their buttons and default.
class Boxes {
public:
    struct Seen {
        std::string text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton dflt = QMessageBox::NoButton;
        std::string kind;  // "box", "input" or the dialog's object name
    };
    std::vector<Seen> seen;

    Boxes() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    ~Boxes() { timer_.stop(); }

    Boxes& then(std::function<void(QWidget*)> h) {
        handlers_.push_back(std::move(h));
        return *this;
    }
    bool allAnswered() const { return handlers_.empty() && !busy_; }
    // Waits until every handler ran.
    bool settle(int ms = 20000) {
        return QTest::qWaitFor([this] { return allAnswered(); }, ms);
    }

private:
    void poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || handlers_.empty() || w->property("molvAnswered").toBool()) return;
        w->setProperty("molvAnswered", true);
        Seen s;
        if (auto* m = qobject_cast<QMessageBox*>(w)) {
            s.kind = "box";
            s.text = m->text().toStdString();
            s.buttons = m->standardButtons();
            s.dflt = m->defaultButton() ? m->standardButton(m->defaultButton()) : QMessageBox::NoButton;
        } else if (auto* d = qobject_cast<QInputDialog*>(w)) {
            s.kind = "input";
            s.text = d->labelText().toStdString();
        } else {
            s.kind = w->objectName().toStdString();
        }
        seen.push_back(s);
        auto h = std::move(handlers_.front());
        handlers_.pop_front();
        busy_ = true;
        // From a fresh timer, so that a box opened by the handler is
        // answered by this poll in its own loop.
        QPointer<QWidget> p(w);
        QTimer::singleShot(0, w, [this, h = std::move(h), p] {
            if (p) h(p);
            busy_ = false;
        });
    }

    QTimer timer_;
    std::deque<std::function<void(QWidget*)>> handlers_;
    bool busy_ = false;
};

// How a test starts the program.
struct Start {
    std::string cmdLine;
    std::string programName = "molvconv-gui";
    bool devMarker = false;    // the developer-mode marker file exists
    std::string settingsText;  // molvconv.cfg before start-up, when not empty

    static Start commandLine(std::string c) {
        Start s;
        s.cmdLine = std::move(c);
        return s;
    }
};

// A started program with its window; the configuration lives in `home`.
struct Program {
    std::string home;
    std::string cfgDir;
    QtUI ui;
    Context ctx{ui};
    StartupResult start;
    std::unique_ptr<MainWindow> window;

    explicit Program(const std::string& tag, const Start& how = {}) {
        home = tempDir(tag);
        cfgDir = home + ".config/molvconv/";
        std::filesystem::create_directories(cfgDir);
        if (how.devMarker) writeFile(cfgDir + "molv.id", "");
        if (!how.settingsText.empty()) writeFile(cfgDir + "molvconv.cfg", how.settingsText);
        ProcessEnv env;
        env.home = home;
        env.xdgConfigHome = home + ".config";
        start = startUp(ctx, how.cmdLine, "/usr/bin/" + how.programName, env);
        if (start.opts.srcFile.empty()) finishStartupWithoutSource(ctx);
        window = std::make_unique<MainWindow>(ctx, ui);
        window->show();
    }
    ~Program() {
        window.reset();
    }

    template <class T>
    T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QAction* action(const char* name) const { return find<QAction>(name); }
    // Runs a command that starts a conversion and waits for its end.
    bool waitForConversion(const std::function<void()>& start, bool* ok = nullptr, int ms = 30000) {
        bool done = false, result = false;
        auto c = QObject::connect(window.get(), &MainWindow::conversionFinished, [&](bool r) {
            done = true;
            result = r;
        });
        start();
        const bool ended = QTest::qWaitFor([&] { return done; }, ms);
        QObject::disconnect(c);
        if (ok) *ok = result;
        return ended;
    }
};

}  // namespace molv::test
