// The main window without a toolkit: menus as data, the commands, enabling
// while a conversion runs, the worker's questions answered on the window's
// thread, stopping, drops, the output type and the file dialog's requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "convert/context.h"
#include "convert/preview.h"
#include "convert/startup.h"
#include "core/scripted_ui.h"
#include "support/test_support.h"
#include "util/fspath.h"
#include "window/window_model.h"
#include "window/window_text.h"

using namespace molv;
using namespace molv::test;

namespace {

// Answers as ScriptedUI does; `whileOpen` runs once as a box opens, before
// it is answered (on the window's thread, like a user acting meanwhile).
struct WindowUI : ScriptedUI {
    std::function<void()> whileOpen;
    std::vector<std::thread::id> boxThreads;
    Answer messageBox(const std::string& text, Buttons b, Answer dflt) override {
        boxThreads.push_back(std::this_thread::get_id());
        if (auto f = std::exchange(whileOpen, nullptr)) f();
        return ScriptedUI::messageBox(text, b, dflt);
    }
};

// A started program with its window model, drawn headless: the view records
// what it was asked to show and runs what the worker posts on the test's
// thread. The configuration lives in `home`; developer mode is the marker
// file and a short program name.
struct Window : WindowView {
    std::string cfgDir;
    WindowUI ui;
    Context ctx{ui};
    StartupResult start;
    std::string path;  // what the file dialog hands back once
    std::vector<PathRequest> requests;
    std::vector<bool> busy, finished;
    std::vector<int> ends;
    int refreshes = 0;
    bool closed = false, previewOk = false;
    std::unique_ptr<WindowModel> model;

    explicit Window(const std::string& tag, const std::string& cmdLine = "", bool dev = false,
                    const std::string& settingsText = "") {
        const std::string home = tempDir(tag);
        ProcessEnv env;
        env.home = home;
        env.xdgConfigHome = home + ".config";
        cfgDir = configDirFor(env);
        std::filesystem::create_directories(fsPath(cfgDir));
        if (dev) writeFile(devMarkerPath(env), "");
        if (!settingsText.empty()) writeFile(cfgDir + "molvconv.cfg", settingsText);
        start = startUp(ctx, cmdLine, dev ? "/usr/bin/mc" : "/usr/bin/molvconv-gui", env);
        if (start.opts.srcFile.empty()) finishStartupWithoutSource(ctx);
        model = std::make_unique<WindowModel>(ctx, ui, *this);
    }
    ~Window() override { model.reset(); }  // a worker still running may post

    void post(std::function<void()> fn) override {
        std::lock_guard<std::mutex> lk(mu_);
        posted_.push_back(std::move(fn));
        cv_.notify_all();
    }
    void refresh() override { ++refreshes; }
    void busyChanged(bool on) override { busy.push_back(on); }
    std::string choosePath(const PathRequest& req) override {
        requests.push_back(req);
        return std::exchange(path, {});
    }
    void showPreview(const LoadedScene* scene) override {
        previewOk = scene && scene->ok && !scene->scene.triangles.empty();
    }
    // As a real window's close: it asks the model first.
    void closeWindow() override {
        if (model->closeRequested()) closed = true;
    }
    void endProgram(int status) override { ends.push_back(status); }
    void conversionEnded(bool ok) override { finished.push_back(ok); }

    // Starts a conversion and runs the window's event loop until it ended:
    // whether it succeeded, or nothing when it did not end in time.
    std::optional<bool> run(const std::function<void()>& begin) {
        const std::size_t before = finished.size();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        begin();
        while (finished.size() == before) {
            std::function<void()> fn;
            {
                std::unique_lock<std::mutex> lk(mu_);
                if (!cv_.wait_until(lk, until, [&] { return !posted_.empty(); })) return std::nullopt;
                fn = std::move(posted_.front());
                posted_.pop_front();
            }
            fn();
        }
        return finished.back();
    }
    bool logged(const std::string& part) const {
        for (const std::string& l : ctx.logList.entries())
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
    bool enabled(const std::string& id) const { return model->enabled(*model->item(id)); }
    bool checked(const std::string& id) const { return model->checked(*model->item(id)); }
    std::string caption(const std::string& id) const { return model->caption(*model->item(id)); }
    // Off-centre work: the write asks to centre since the read did not.
    void askToCentre() {
        model->trigger("m_s_autocentre");
        model->trigger("m_s_autozerobsht");
    }

private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> posted_;
};

// The files of a Cal3D set for outBase that exist.
std::size_t setFiles(const std::string& outBase) {
    std::size_t n = 0;
    for (const char* e : {".cmf", ".csf", ".cfg"})
        n += std::filesystem::exists(outBase + e) ? 1 : 0;
    return n;
}

// A triangle well away from the origin.
std::string offCentreSource(const std::string& tag) {
    const std::string dir = tempDir(tag);
    writeFile(dir + "off.obj", "v 100 0 0\nv 150 0 0\nv 100 50 0\nf 1 2 3\n");
    return dir;
}

// Developer mode on Windows needs c:\molv.id and drive v:, which the
// Windows tests map only for the command-line program's tests.
#ifdef _WIN32
#define SKIP_WITHOUT_DEVELOPER_MODE() GTEST_SKIP() << "developer mode needs c:\\molv.id and drive v:"
#else
#define SKIP_WITHOUT_DEVELOPER_MODE() (void)0
#endif

// The menus as a view draws them: per item its id, its check or radio mark,
// caption and shortcut ("-" for a separator); every id is one item, so a
// view can name its controls by them.
std::string menuListing(const Window& w) {
    std::string out;
    std::set<std::string> ids;
    for (const Menu& m : w.model->menus()) {
        out += m.id + " " + m.caption + (m.idleOnly ? " (idle only)" : "") + "\n";
        for (const MenuItem& i : m.items) {
            EXPECT_TRUE(ids.insert(i.id).second) << i.id;
            std::string row = i.kind == MenuItem::Kind::Separator ? "-" : w.model->caption(i);
            if (i.kind == MenuItem::Kind::Check) row = (w.model->checked(i) ? "[x] " : "[ ] ") + row;
            if (i.kind == MenuItem::Kind::Radio) row = (w.model->checked(i) ? "(*) " : "( ) ") + row;
            out += "  " + i.id + " " + row + (i.shortcut.empty() ? "" : " " + i.shortcut) + "\n";
        }
    }
    return out;
}

// Compares with tests/data/window/NAME; MOLV_UPDATE_GOLDEN=1 writes it.
void expectListing(const std::string& name, const std::string& got) {
    expectGolden(dataPath("window/" + name), got);
}

// The ids of the commands that are on, in menu order.
std::string enabledIds(const Window& w) {
    std::string on;
    for (const Menu& m : w.model->menus())
        for (const MenuItem& i : m.items)
            if (i.kind != MenuItem::Kind::Separator && w.model->enabled(i)) on += i.id + " ";
    return on;
}

}  // namespace

TEST(WindowMenus, MatchTheirListing) {
    // A saved setting shows in the menu as the window loads.
    Window w("menus", "", false, "autoCentre=False\r\ndflt_autosize=80\r\n");
    expectListing("menus.txt", menuListing(w));
    for (const auto& [caption, plain] : std::vector<std::pair<std::string, std::string>>{
             {"E&xit", "Exit"}, {"Save && load", "Save & load"}, {"end&", "end"}, {"", ""}, {"no mark", "no mark"}})
        EXPECT_EQ(plainCaption(caption), plain) << caption;
}

TEST(WindowMenus, DeveloperModeOutputTypeAndPanel) {
    SKIP_WITHOUT_DEVELOPER_MODE();
    Window w("devmenus", "", true);
    ASSERT_TRUE(w.ctx.app.devMode);
    // "As the source says", then every type the registry can write.
    expectListing("menus_dev.txt", menuListing(w));

    // Never written over the source: a copy of its own type goes beside it.
    const std::string dir = exampleCopy("outtypeex");
    w.model->trigger("m_o_an8");
    EXPECT_EQ(w.model->outputFor(dir + "stool.obj"), dir + "stool.an8");
    w.model->trigger("m_o_obj");
    EXPECT_EQ(w.model->outputFor(dir + "stool.obj"), dir + "stool_1.obj");
    ASSERT_EQ(w.run([&] { w.model->convertSource(dir + "stool.obj"); }), true);
    EXPECT_TRUE(std::filesystem::exists(dir + "stool_1.obj"));
    EXPECT_FALSE(std::filesystem::exists(dir + "stool.cmf"));
    w.model->trigger("m_o_auto");
    EXPECT_EQ(w.model->outputFor(dir + "stool.obj"), "");
}

TEST(WindowCommands, SettingsMenu) {
    Window w("toggles");
    w.model->trigger("m_s_autocentre");
    EXPECT_FALSE(w.checked("m_s_autocentre"));
    EXPECT_TRUE(w.ctx.settings.autoCentre);  // the value follows at the next read or write
    EXPECT_TRUE(w.ctx.settingsDirty);
    EXPECT_GT(w.refreshes, 0);
    // Raw data load is never stored: toggling it leaves nothing to save.
    w.ctx.settingsDirty = false;
    w.model->trigger("m_s_rawdataload");
    EXPECT_TRUE(w.ctx.menu.marks.rawDataLoad);
    EXPECT_FALSE(w.ctx.settingsDirty);
    w.model->trigger("m_s_rawdataload");

    // The two input boxes: an answer changes value and caption.
    w.ui.inputs = {"80", "7"};
    w.model->trigger("m_s_setsize");
    w.model->trigger("m_s_setbone");
    EXPECT_EQ(w.caption("m_s_setsize"), "Set size for resize (80)");
    EXPECT_EQ(w.caption("m_s_setbone"), "Set prop Bone  (7)");

    w.model->trigger("m_f_savesettings");
    EXPECT_FALSE(w.ctx.settingsDirty);
    EXPECT_NE(readFile(w.cfgDir + "molvconv.cfg").find("autoCentre=False\r\n"), std::string::npos);

    w.model->trigger("m_s_defaults");
    EXPECT_TRUE(w.checked("m_s_autocentre"));
    EXPECT_EQ(w.caption("m_s_setsize"), "Set size for resize (100)");
    EXPECT_FALSE(w.ctx.settingsDirty);
    EXPECT_NE(readFile(w.cfgDir + "molvconv.cfg").find("autoCentre=True\r\n"), std::string::npos);
}

TEST(WindowCommands, CloseAsksToSaveChangedSettingsExitNever) {
    // The answer to "Save Settings?"; none: nothing changed, no question.
    const struct {
        const char* name;
        std::optional<Answer> answer;
        bool closes, saved;
    } rows[] = {{"clean", std::nullopt, true, false}, {"cancel", Answer::Cancel, false, false},
                {"no", Answer::No, true, false}, {"yes", Answer::Yes, true, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Window w("close");
        if (r.answer) {
            w.model->trigger("m_s_autocentre");
            w.ui.answers = {*r.answer};
        }
        EXPECT_EQ(w.model->closeRequested(), r.closes);
        ASSERT_EQ(w.ui.boxes.size(), r.answer ? 1u : 0u);
        if (r.answer) {
            EXPECT_EQ(w.ui.boxes[0].text, "Save Settings?");
            EXPECT_EQ(w.ui.boxes[0].buttons, Buttons::YesNoCancel);
        }
        EXPECT_EQ(std::filesystem::exists(w.cfgDir + "molvconv.cfg"), r.saved);
    }
    Window w("exit");
    w.model->trigger("m_s_autocentre");
    w.model->trigger("m_f_exit");
    EXPECT_TRUE(w.closed);
    EXPECT_TRUE(w.ui.boxes.empty());
    EXPECT_EQ(w.ends, std::vector<int>{0});
    EXPECT_FALSE(std::filesystem::exists(w.cfgDir + "molvconv.cfg"));
}

TEST(WindowCommands, HelpClearScreenAndAbout) {
    // Help empties the list first; its text and About's are in help.txt.
    Window w("help");
    w.model->trigger("m_h_help");
    const std::vector<std::string> lines(w.ctx.logList.entries().begin(), w.ctx.logList.entries().end());
    EXPECT_EQ(w.ui.log, lines);
    w.model->trigger("m_h_about");
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    text += "About:\n" + w.ui.boxes[0].text + "\n";
    std::replace(text.begin(), text.end(), '\r', '\n');
    expectListing("help.txt", text);
    w.model->trigger("m_h_cls");
    EXPECT_TRUE(w.ctx.logList.entries().empty());
    EXPECT_TRUE(w.ui.log.empty());
}

TEST(WindowConversion, OpenAndConvertThroughTheDialogThenADrop) {
    Window w("open");
    const std::string dir = exampleCopy("openex");
    // Cancelled: nothing happens.
    w.model->trigger("m_f_open");
    ASSERT_EQ(w.requests.size(), 1u);
    EXPECT_FALSE(w.requests[0].folders);
    EXPECT_EQ(w.requests[0].filter, w.ctx.app.fileFilter);
    EXPECT_TRUE(w.ctx.settings.lastLoadPath.empty());

    w.path = dir + "stool.obj";
    ASSERT_EQ(w.run([&] { w.model->trigger("m_f_open"); }), true);
    EXPECT_TRUE(w.ui.boxes.empty());  // no question
    EXPECT_EQ(w.ctx.settings.lastLoadPath, dir + "stool.obj");
    EXPECT_TRUE(w.previewOk);
    EXPECT_EQ(w.busy, (std::vector<bool>{true, false}));
    EXPECT_EQ(setFiles(dir + "stool"), 3u);
    // The next dialog starts where this one was left, with the folder in its recent list.
    w.model->trigger("m_f_open");
    ASSERT_EQ(w.requests.size(), 3u);
    EXPECT_EQ(w.requests[2].start, dir + "stool.obj");
    ASSERT_FALSE(w.requests[2].recent.empty());
    EXPECT_EQ(w.requests[2].recent.front(), dir);

    // A drop converts as Open and Convert does; nothing is no drop.
    std::filesystem::remove(dir + "stool.cmf");
    EXPECT_FALSE(w.model->dropAccepted({}));
    EXPECT_FALSE(w.model->drop({""}));
    ASSERT_EQ(w.run([&] { EXPECT_TRUE(w.model->drop({dir + "stool.obj", dir + "stool.mtl"})); }), true);
    EXPECT_TRUE(std::filesystem::exists(dir + "stool.cmf"));
}

TEST(WindowConversion, WorkerQuestionAnsweredOnTheWindowThreadWithCommandsDisabled) {
    Window w("question");
    const std::string dir = offCentreSource("questionsrc");
    w.askToCentre();
    bool wroteBeforeAnswer = true, dropRefused = false;
    std::string enabled;
    w.ui.whileOpen = [&] {
        wroteBeforeAnswer = std::filesystem::exists(dir + "off.cmf");
        enabled = enabledIds(w);
        dropRefused = !w.model->dropAccepted({dir + "off.obj"}) && !w.model->drop({dir + "off.obj"});
        // Commands that are off do nothing when triggered all the same.
        w.model->trigger("m_s_autocentre");
    };
    w.ui.answers = {Answer::No};
    ASSERT_EQ(w.run([&] { w.model->convertSource(dir + "off.obj"); }), true);
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_EQ(w.ui.boxes[0].text, "Model not centred LR/FB: centre?");
    EXPECT_EQ(w.ui.boxes[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(w.ui.boxThreads.at(0), std::this_thread::get_id());
    EXPECT_FALSE(wroteBeforeAnswer);
    EXPECT_TRUE(dropRefused);
    EXPECT_EQ(enabled, "m_f_exit m_h_about ");
    EXPECT_FALSE(w.ctx.menu.marks.autoCentre);
    EXPECT_EQ(setFiles(dir + "off"), 3u);
    EXPECT_TRUE(w.enabled("m_f_open"));
}

TEST(WindowConversion, ClosingDuringTheReadAsksAndStopsWithNothingWritten) {
    Window w("stopread");
    const std::string dir = tempDir("stopreadsrc");
    writeFile(dir + "lost.obj", "mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    // While the reader waits at its question the user closes the window:
    // first "No, go on", then "Yes, stop", then once more while stopping
    // (no second question); then the question is answered OK.
    std::vector<bool> closed;
    w.ui.whileOpen = [&] {
        for (int i = 0; i < 3; ++i)
            closed.push_back(w.model->closeRequested());
    };
    w.ui.answers = {Answer::No, Answer::Yes, Answer::Ok};
    ASSERT_EQ(w.run([&] { w.model->convertSource(dir + "lost.obj"); }), false);
    EXPECT_EQ(closed, (std::vector<bool>{false, false, false}));
    ASSERT_EQ(w.ui.boxes.size(), 3u);
    EXPECT_EQ(w.ui.boxes[0].text, "A conversion is running. Stop it and close the window?");
    EXPECT_EQ(w.ui.boxes[0].buttons, Buttons::YesNo);
    EXPECT_EQ(setFiles(dir + "lost"), 0u);
    EXPECT_TRUE(w.logged("Conversion stopped"));
    EXPECT_EQ(w.ctx.model.ttlnum_Faces, 0);
    EXPECT_TRUE(w.closed);  // and the window closed after it
}

TEST(WindowConversion, StopDuringTheWriteFinishesTheWholeSetExitEndsAfterIt) {
    Window w("stopwrite");
    const std::string dir = offCentreSource("stopwritesrc");
    w.askToCentre();
    // Exit while the write asks to centre: no question, the set is finished.
    w.ui.whileOpen = [&] { w.model->trigger("m_f_exit"); };
    w.ui.answers = {Answer::Yes};
    ASSERT_EQ(w.run([&] { w.model->convertSource(dir + "off.obj"); }), true);
    EXPECT_EQ(setFiles(dir + "off"), 3u);
    EXPECT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_TRUE(w.closed);
    EXPECT_EQ(w.ends, std::vector<int>{0});
}

TEST(WindowConversion, StartWithASource) {
    const std::string dir = exampleCopy("startex");
    // Converted at once; "Conversion complete" and the program ends.
    Window good("startok", dir + "stool.obj");
    ASSERT_EQ(good.run([&] { good.model->convertAtStart(good.start.opts, dir); }), true);
    ASSERT_EQ(good.ui.boxes.size(), 1u);
    EXPECT_EQ(good.ui.boxes[0].text, "Conversion complete");
    EXPECT_EQ(good.ends, std::vector<int>{0});

    // What the worker said is one box at the end, kept in the log, and the window stays.
    Window bad("startfail", dir + "missing.obj");
    ASSERT_EQ(bad.run([&] { bad.model->convertAtStart(bad.start.opts, dir); }), false);
    ASSERT_EQ(bad.ui.boxes.size(), 1u);
    EXPECT_EQ(bad.ui.boxes[0].buttons, Buttons::Ok);
    EXPECT_EQ(bad.ui.boxes[0].text, "Not found: " + dir + "missing.obj\r\rConversion failed: " + dir + "missing.obj");
    EXPECT_TRUE(bad.logged("Not found: " + dir + "missing.obj"));
    EXPECT_TRUE(bad.ends.empty());
    EXPECT_FALSE(bad.closed);
    EXPECT_NE(bad.ctx.app.fileFilter.find("Known files|"), std::string::npos);
}

TEST(WindowConversion, OpenedFromTheDesktopConvertsOnACommand) {
    Window w("offer");
    const std::string dir = exampleCopy("offerex");
    EXPECT_FALSE(w.enabled("m_f_convert"));
    w.model->offerSource(dir + "stool.obj");
    // Ready, named in the log, nothing written yet.
    EXPECT_TRUE(w.enabled("m_f_convert"));
    EXPECT_TRUE(w.logged("Ready to convert: " + dir + "stool.obj"));
    EXPECT_EQ(setFiles(dir + "stool"), 0u);
    EXPECT_EQ(w.ctx.settings.lastLoadPath, dir + "stool.obj");
    ASSERT_EQ(w.run([&] { w.model->trigger("m_f_convert"); }), true);
    EXPECT_EQ(setFiles(dir + "stool"), 3u);
    EXPECT_TRUE(w.ends.empty());  // the window stays
}

TEST(WindowConversion, ConvertFolderThroughTheSameDialog) {
    Window w("folder");
    const std::string dir = exampleCopy("folderex");
    std::filesystem::copy_file(dataPath("3ds/test1.3ds"), dir + "test1.3ds");
    writeFile(dir + "broken.dae", "<COLLADA>\n<library_geometries>\n");
    writeFile(dir + "notes.txt", "not a model");
    w.path = dir;
    w.model->trigger("m_s_autozerobsht");  // not the default: items must get the window's settings
    ASSERT_EQ(w.run([&] { w.model->trigger("m_f_folder"); }), false) << "one file failed";
    ASSERT_EQ(w.requests.size(), 1u);
    EXPECT_TRUE(w.requests[0].folders);
    EXPECT_TRUE(w.ui.boxes.empty()) << "no question per file";
    EXPECT_TRUE(w.logged("3 files: 2 converted (1 with warnings), 1 failed"));
    EXPECT_FALSE(std::filesystem::exists(dir + "broken.cmf"));
    EXPECT_TRUE(std::filesystem::exists(dir + "test1.cmf"));
    // A dropped folder is converted the same way; with each item in a
    // process of its own (as the programs do) the bytes are the same.
    const std::string mesh = readFile(dir + "test1.cmf");
    std::filesystem::remove(dir + "test1.cmf");
    if (const char* exe = std::getenv("MOLV_EXE")) w.model->setItemProgram(exe);
    ASSERT_TRUE(w.run([&] { EXPECT_TRUE(w.model->drop({dir})); }).has_value());
    EXPECT_EQ(readFile(dir + "test1.cmf"), mesh);
    EXPECT_TRUE(w.logged("converted  test1.3ds, 3 warnings"));
}

TEST(WindowConversion, DestroyedWhileAQuestionWaits) {
    // The window goes while the worker waits for an answer: the question
    // takes its default, the worker ends, nothing it posted runs.
    const std::string dir = offCentreSource("destroysrc");
    auto w = std::make_unique<Window>("destroy");
    w->askToCentre();
    w->model->convertSource(dir + "off.obj");
    EXPECT_TRUE(w->model->running());
    w->model.reset();
    EXPECT_TRUE(w->finished.empty());
    EXPECT_EQ(w->ctx.ui, &w->ui);
}

TEST(FileDialogText, TypedPaths) {
    struct Case {
        const char *typed, *home, *want;
    };
    for (const Case& c : {Case{"~", "/home/u", "/home/u"}, Case{"~/models", "/home/u/", "/home/u/models"},
                          Case{"  ~/a b.obj ", "/home/u", "/home/u/a b.obj"}, Case{"\"~/q.obj\"", "/h", "/h/q.obj"},
                          Case{"~user/x", "/home/u", "~user/x"}, Case{"a~/b", "/home/u", "a~/b"},
                          Case{"~\\m", "C:\\Users\\u", "C:\\Users\\u\\m"}, Case{"~", "", "~"}, Case{"", "/h", ""}})
        EXPECT_EQ(expandTypedPath(c.typed, c.home), c.want) << c.typed;
}
