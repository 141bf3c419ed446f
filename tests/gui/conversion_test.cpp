// Conversions from the window: Open and Convert through the dialog, a drop,
// the start-up conversion; the worker's questions answered on the window's
// thread; commands disabled meanwhile; no write after a failed read; and
// stopping when the window is closed.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QUrl>

#include "gui/file_dialog.h"
#include "gui/preview_view.h"
#include "model/preview_raster.h"
#include "gui_support.h"
#include "support/cal3d_check.h"

using namespace molv;
using namespace molv::test;

namespace {

// The files of a Cal3D set for outBase that exist (the materials' files
// are named by the configuration).
std::vector<std::string> setFiles(const std::string& outBase) {
    std::vector<std::string> out;
    for (const char* e : {".cmf", ".csf", ".cfg"})
        if (std::filesystem::exists(outBase + e)) out.push_back(outBase + e);
    return out;
}

void expectCal3dLoads(Program& p, const std::string& outBase) {
    if (!cal3dAvailable()) GTEST_SKIP() << "built without Cal3D";
    const Cal3dSetInfo info = loadCal3dSet(outBase);
    ASSERT_TRUE(info.ok()) << info.error;
    EXPECT_TRUE(cal3dMatchesStore(p.ctx.model, info));
}

bool logged(Program& p, const std::string& part) {
    for (const std::string& l : p.logLines())
        if (l.find(part) != std::string::npos) return true;
    return false;
}

// A triangle well away from the origin, so the write asks to centre it
// when the read did not.
const char* kOffCentre = "v 100 0 0\nv 150 0 0\nv 100 50 0\nf 1 2 3\n";

}  // namespace

TEST(Conversion, OpenAndConvertThroughTheDialog) {
    Program p("open");
    const std::string dir = exampleCopy("openex");
    Boxes boxes;
    // Cancelled: nothing happens.
    QSignalSpy finished(p.window.get(), &MainWindow::conversionFinished);
    boxes.then([](QWidget* w) { w->findChild<QPushButton*>(QStringLiteral("bCancel"))->click(); });
    p.action("m_f_open")->trigger();
    ASSERT_TRUE(boxes.settle());
    EXPECT_FALSE(p.window->running());
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(p.ctx.settings.lastLoadPath.empty());
    boxes.then([&](QWidget* w) {
        auto* d = qobject_cast<FileOpenDialog*>(w);
        ASSERT_NE(d, nullptr);
        d->findChild<QLineEdit*>(QStringLiteral("txtFilename"))->setText(QString::fromStdString(dir + "stool.obj"));
        d->findChild<QPushButton*>(QStringLiteral("bOpen"))->click();
    });
    bool ok = false;
    ASSERT_TRUE(p.waitForConversion([&] { p.action("m_f_open")->trigger(); }, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(boxes.seen.size(), 2u);  // the dialogs, no question
    EXPECT_EQ(p.ctx.settings.lastLoadPath, dir + "stool.obj");
    EXPECT_TRUE(logged(p, "Read complete: "));
    EXPECT_TRUE(logged(p, "Write complete"));
    EXPECT_EQ(p.action("mStat")->text().toStdString(), "[ Done ]");
    // The picture of what was written, beside the log.
    auto* preview = p.window->findChild<PreviewView*>(QStringLiteral("preview"));
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->picture().width(), kPreviewSize);
    EXPECT_FALSE(preview->pixmap().isNull());
    expectCal3dLoads(p, dir + "stool");
    // The next dialog opens where this one was left.
    FileOpenDialog again(p.ctx.app.fileFilter, p.ctx.settings.lastLoadPath);
    EXPECT_EQ(again.folder().toStdString() + "/", dir);

    // A drop converts as Open and Convert does.
    std::filesystem::remove(dir + "stool.cmf");
    QMimeData data;
    data.setUrls({QUrl(QStringLiteral("https://example.org/x.obj")),
                  QUrl::fromLocalFile(QString::fromStdString(dir + "stool.obj"))});
    EXPECT_EQ(droppedFile(&data), dir + "stool.obj");
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(p.window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    ok = false;
    ASSERT_TRUE(p.waitForConversion(
        [&] {
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(p.window.get(), &drop);
        },
        &ok));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(std::filesystem::exists(dir + "stool.cmf"));
    // Text without a local file is no drop.
    QMimeData text;
    text.setText(QStringLiteral("stool.obj"));
    EXPECT_TRUE(droppedFile(&text).empty());
}

TEST(Conversion, WorkerQuestionWaitsForTheAnswerWithCommandsDisabled) {
    Program p("question");
    const std::string dir = tempDir("questionsrc");
    writeFile(dir + "off.obj", kOffCentre);
    p.action("m_s_autocentre")->trigger();
    p.action("m_s_autozerobsht")->trigger();
    Boxes boxes;
    bool onWindowThread = false, wroteBeforeAnswer = true;
    std::vector<bool> enabled;
    boxes.then([&](QWidget* w) {
        onWindowThread = QThread::currentThread() == qApp->thread();
        wroteBeforeAnswer = std::filesystem::exists(dir + "off.cmf");
        EXPECT_TRUE(p.window->running());
        for (const char* name : {"m_f_open", "m_f_savesettings", "m_h_help", "m_h_cls", "m_f_exit", "m_h_about"})
            enabled.push_back(p.action(name)->isEnabled());
        enabled.push_back(p.find<QMenu>("m_settings")->menuAction()->isEnabled());
        // A drop is refused meanwhile.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir + "off.obj"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(p.window.get(), &enter);
        EXPECT_FALSE(enter.isAccepted());
        qobject_cast<QMessageBox*>(w)->button(QMessageBox::No)->click();
    });
    bool ok = false;
    ASSERT_TRUE(p.waitForConversion([&] { p.window->convertSource(dir + "off.obj"); }, &ok));
    EXPECT_TRUE(ok);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, "Model not centred LR/FB: centre?");
    EXPECT_EQ(boxes.seen[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(boxes.seen[0].dflt, QMessageBox::Yes);
    EXPECT_TRUE(onWindowThread);
    EXPECT_FALSE(wroteBeforeAnswer);
    EXPECT_EQ(enabled, (std::vector<bool>{false, false, false, false, true, true, false}));
    EXPECT_EQ(setFiles(dir + "off").size(), 3u);
    // Everything is back once the conversion ended.
    EXPECT_TRUE(p.action("m_f_open")->isEnabled());
    EXPECT_TRUE(p.find<QMenu>("m_settings")->menuAction()->isEnabled());
    EXPECT_FALSE(p.window->running());
}

TEST(Conversion, WritesOnlyAfterASuccessfulRead) {
    Program p("noread");
    const std::string dir = tempDir("noreadsrc");
    // A reader given up at its question: the good set from before stays.
    writeFile(dir + "lost.obj", "mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    writeFile(dir + "lost.cmf", "earlier good set");
    Boxes boxes;
    boxes.press(QMessageBox::Cancel);
    bool ok = true;
    ASSERT_TRUE(p.waitForConversion([&] { p.window->convertSource(dir + "lost.obj"); }, &ok));
    EXPECT_FALSE(ok);
    EXPECT_EQ(readFile(dir + "lost.cmf"), "earlier good set");
    EXPECT_FALSE(logged(p, "-- WRITE"));
    // A file with no face.
    writeFile(dir + "points.obj", "v 0 0 0\nv 1 0 0\n");
    boxes.press(QMessageBox::Ok);
    ASSERT_TRUE(p.waitForConversion([&] { p.window->convertSource(dir + "points.obj"); }, &ok));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(setFiles(dir + "points").empty());
    // A type the window does not read; an "ext" source is never written over.
    writeFile(dir + "notes.ext", "mine");
    boxes.press(QMessageBox::Ok);
    ASSERT_TRUE(p.waitForConversion([&] { p.window->convertSource(dir + "notes.ext"); }, &ok));
    EXPECT_FALSE(ok);
    ASSERT_TRUE(boxes.settle());
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Cannot find material file: (" + dir + "gone.mtl)",
                                                       "Nothing to convert: no faces read from " + dir + "points.obj",
                                                       "Unknown filetype: .ext"}));
    EXPECT_EQ(readFile(dir + "notes.ext"), "mine");
    EXPECT_TRUE(setFiles(dir + "notes").empty());
}

TEST(Conversion, ClosingDuringTheReadAsksAndStopsWithNothingWritten) {
    Program p("stopread");
    const std::string dir = tempDir("stopreadsrc");
    writeFile(dir + "lost.obj", "mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    Boxes boxes;
    // While the reader waits at its question the user closes the window:
    // first "No, go on", then "Yes, stop"; then the question is answered.
    boxes.then([&](QWidget* q) {
        EXPECT_FALSE(p.window->close());
        EXPECT_FALSE(p.window->close());
        qobject_cast<QMessageBox*>(q)->button(QMessageBox::Ok)->click();
    });
    boxes.press(QMessageBox::No).press(QMessageBox::Yes);
    bool ok = true;
    ASSERT_TRUE(p.waitForConversion([&] { p.window->convertSource(dir + "lost.obj"); }, &ok));
    EXPECT_FALSE(ok);
    ASSERT_TRUE(boxes.settle());
    ASSERT_EQ(boxes.seen.size(), 3u);
    EXPECT_EQ(boxes.seen[1].text, "A conversion is running. Stop it and close the window?");
    EXPECT_EQ(boxes.seen[1].dflt, QMessageBox::No);
    EXPECT_TRUE(setFiles(dir + "lost").empty());
    EXPECT_TRUE(logged(p, "Conversion stopped"));
    EXPECT_EQ(p.ctx.model.ttlnum_Faces, 0);
    EXPECT_FALSE(p.window->isVisible());  // and the window closed after it
}

TEST(Conversion, StopAskedDuringTheWriteFinishesTheWholeSet) {
    Program p("stopwrite");
    const std::string dir = tempDir("stopwritesrc");
    writeFile(dir + "off.obj", kOffCentre);
    p.action("m_s_autocentre")->trigger();
    p.action("m_s_autozerobsht")->trigger();
    p.ctx.settingsDirty = false;
    Boxes boxes;
    boxes.then([&](QWidget* q) {
        p.window->close();
        qobject_cast<QMessageBox*>(q)->button(QMessageBox::Yes)->click();
    });
    boxes.press(QMessageBox::Yes);
    bool ok = false;
    ASSERT_TRUE(p.waitForConversion([&] { p.window->convertSource(dir + "off.obj"); }, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(setFiles(dir + "off").size(), 3u);
    expectCal3dLoads(p, dir + "off");
    EXPECT_FALSE(p.window->isVisible());
}

TEST(Conversion, StartWithASource) {
    const std::string dir = exampleCopy("startex");
    {
        // Converted at once; "Conversion complete" and the program ends.
        Program p("startok", Start::commandLine(dir + "stool.obj"));
        Boxes boxes;
        boxes.press(QMessageBox::Ok);
        QSignalSpy ends(p.window.get(), &MainWindow::programEnds);
        ASSERT_TRUE(p.waitForConversion([&] { p.window->convertAtStart(p.start.opts, dir); }));
        ASSERT_TRUE(boxes.settle());
        EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Conversion complete"});
        ASSERT_EQ(ends.count(), 1);
        EXPECT_EQ(ends.at(0).at(0).toInt(), 0);
        EXPECT_EQ(setFiles(dir + "stool").size(), 3u);
    }
    {
        // A failure is said, not called complete, and the window stays.
        Program p("startfail", Start::commandLine(dir + "missing.obj"));
        Boxes boxes;
        boxes.press(QMessageBox::Ok).press(QMessageBox::Ok);
        QSignalSpy ends(p.window.get(), &MainWindow::programEnds);
        ASSERT_TRUE(p.waitForConversion([&] { p.window->convertAtStart(p.start.opts, dir); }));
        ASSERT_TRUE(boxes.settle());
        ASSERT_EQ(boxes.seen.size(), 2u);
        EXPECT_EQ(boxes.seen[0].text, "Not found: " + dir + "missing.obj");
        EXPECT_EQ(ends.count(), 0);
        EXPECT_TRUE(p.window->isVisible());
        EXPECT_NE(p.ctx.app.fileFilter.find("Known files|"), std::string::npos);
    }
}

TEST(QtUIView, WorkerLogKeepsTheListInStepWithTheCore) {
    // A worker that logs far faster than the window paints: the list ends
    // up holding exactly what the core's log list holds.
    Program p("flood");
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
    auto* bar = p.find<QProgressBar>("progress");
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 250);
    p.ui.setBusy(false);
    EXPECT_FALSE(bar->isVisible());
    auto* list = p.find<QListWidget>("List1");
    std::vector<std::string> shown;
    for (int i = 0; i < list->count(); ++i) shown.push_back(list->item(i)->text().toStdString());
    const std::vector<std::string> core(p.ctx.logList.entries().begin(), p.ctx.logList.entries().end());
    EXPECT_EQ(shown, core);
    EXPECT_EQ(core.size(), 100u);
    EXPECT_EQ(core.back(), "line 2999");
    EXPECT_EQ(p.action("mStat")->text().toStdString(), "[ V: 3 && more ]");
}
