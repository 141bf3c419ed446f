// The main window without a toolkit: menus as data, the commands, enabling
// while a conversion runs, the worker's questions answered on the window's
// thread, stopping, drops, the output type and the file dialog's requests.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
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
#include "convert/registry.h"
#include "convert/settings.h"
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

// Records what it was asked to show and runs what the worker posts on the
// test's thread.
struct HeadlessView : WindowView {
    WindowModel* model = nullptr;
    std::deque<std::string> paths;  // what the file dialog hands back, in turn
    std::vector<PathRequest> requests;
    std::vector<bool> busy, finished;
    std::vector<int> ends;
    int refreshes = 0;
    bool closed = false, previewOk = false;

    void post(std::function<void()> fn) override {
        std::lock_guard<std::mutex> lk(mu_);
        posted_.push_back(std::move(fn));
        cv_.notify_all();
    }
    void refresh() override { ++refreshes; }
    void busyChanged(bool on) override { busy.push_back(on); }
    std::string choosePath(const PathRequest& req) override {
        requests.push_back(req);
        if (paths.empty()) return {};
        std::string p = paths.front();
        paths.pop_front();
        return p;
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

    // The window's event loop: runs what was posted until `done` holds.
    bool pumpUntil(const std::function<bool()>& done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            std::function<void()> fn;
            {
                std::unique_lock<std::mutex> lk(mu_);
                if (!cv_.wait_until(lk, until, [&] { return !posted_.empty(); })) return done();
                fn = std::move(posted_.front());
                posted_.pop_front();
            }
            fn();
        }
        return true;
    }

private:
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> posted_;
};

// A started program with its window model; the configuration lives in
// `home`. Developer mode is the marker file and a short program name.
struct Window {
    std::string cfgDir;
    WindowUI ui;
    Context ctx{ui};
    StartupResult start;
    HeadlessView view;
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
        model = std::make_unique<WindowModel>(ctx, ui, view);
        view.model = model.get();
    }

    // Starts a conversion and runs the window until it ended: whether it
    // succeeded, or nothing when it did not end in time.
    std::optional<bool> run(const std::function<void()>& begin) {
        const std::size_t before = view.finished.size();
        begin();
        if (!view.pumpUntil([&] { return view.finished.size() > before; })) return std::nullopt;
        return view.finished.back();
    }
    bool logged(const std::string& part) const {
        for (const std::string& l : ctx.logList.entries())
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
    bool enabled(const std::string& id) const { return model->enabled(*model->item(id)); }
    bool checked(const std::string& id) const { return model->checked(*model->item(id)); }
    std::string caption(const std::string& id) const { return model->caption(*model->item(id)); }
    const Menu* menu(const std::string& id) const {
        for (const Menu& m : model->menus())
            if (m.id == id) return &m;
        return nullptr;
    }
    // Off-centre work: the write asks to centre since the read did not.
    void askToCentre() {
        model->trigger("m_s_autocentre");
        model->trigger("m_s_autozerobsht");
    }
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

// Per item: its id, then its check mark, caption and shortcut ("-" for a separator).
std::vector<std::string> menuRows(const Window& w, const std::string& menuId) {
    std::vector<std::string> got;
    const Menu* menu = w.menu(menuId);
    for (const MenuItem& i : menu ? menu->items : std::vector<MenuItem>{}) {
        std::string row = i.kind == MenuItem::Kind::Separator ? "-" : w.model->caption(i);
        if (i.kind == MenuItem::Kind::Check) row = (w.model->checked(i) ? "[x]" : "[ ]") + row;
        if (!i.shortcut.empty()) row += " " + i.shortcut;
        got.push_back(i.id + " " + row);
    }
    return got;
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

TEST(WindowMenus, ItemsCaptionsShortcutsAndMarksInOrder) {
    // A saved setting shows in the menu as the window loads.
    Window w("menus", "-molv", false, "autoCentre=False\r\ndflt_autosize=80\r\n");
    std::vector<std::string> bar;
    for (const Menu& m : w.model->menus()) bar.push_back(m.caption);
    EXPECT_EQ(bar, (std::vector<std::string>{"&File", "&Settings", "&Help"}));
    EXPECT_EQ(w.ctx.logList.entries().front(), "-molv");  // the command line is the first line

    using Rows = std::vector<std::string>;
    EXPECT_EQ(menuRows(w, "m_file"),
              (Rows{"m_f_open &Open and Convert\u2026 Ctrl+O", "m_f_convert &Convert F5",
                    "m_f_folder Convert &Folder\u2026 Ctrl+Shift+O", "m_f_savesettings &Save Settings Ctrl+S",
                    "m_f_1 -", "m_f_exit E&xit Ctrl+Q"}));
    EXPECT_EQ(menuRows(w, "m_settings"),
              (Rows{"m_s_autocentre [ ]Auto-Centre", "m_s_autozerobsht [x]Auto-zero base height",
                    "m_s_autoresize [x]Auto-resize", "m_s_autoscale_UVs [ ]Auto-scale UVs",
                    "m_s_autocullmatls [ ]Auto-cull unused materials", "m_s_1 -", "m_s_switch_obj_yz [ ]Rotate 90 up",
                    "m_s_switch_xz [ ]Rotate 90 right", "m_s_flipUV [x]Flip 3DS UV vertically",
                    "m_s_flipObjUV [x]Flip OBJ UV vertically", "m_s_ignore_3ds_ofs [x]Ignore 3DS offsets",
                    "m_s_recalcnormals [x]Recalc Normals", "m_s_keepnormals [x]Keep the model's own normals",
                    "m_s_full_paths_cfg [ ]Full Paths in CFG file", "m_s_rawdataload [ ]Raw data load",
                    "m_s_copytextures [x]Copy textures with the set", "m_s_setsize Set size for resize (80)",
                    "m_s_setbone Set prop Bone (0)", "m_s_2 -", "m_s_defaults &Default settings",
                    "m_s_savesettings Save settings"}));
    EXPECT_EQ(menuRows(w, "m_help"),
              (Rows{"m_h_help &Help F1", "m_h_cls &Clear Screen", "m_h_1 -", "m_h_about &About"}));
    // Every id is one item, so a view can name its controls by them.
    std::set<std::string> ids;
    std::size_t n = 0;
    for (const Menu& m : w.model->menus())
        for (const MenuItem& i : m.items) ids.insert(i.id), ++n;
    EXPECT_EQ(ids.size(), n);
    EXPECT_EQ(w.model->item("m_o_auto"), nullptr);  // no output choice outside developer mode

    for (const auto& [caption, plain] : std::vector<std::pair<std::string, std::string>>{
             {"E&xit", "Exit"}, {"Save && load", "Save & load"}, {"end&", "end"}, {"", ""}, {"no mark", "no mark"}})
        EXPECT_EQ(plainCaption(caption), plain) << caption;
}

TEST(WindowMenus, DeveloperModeHasTheOutputMenuAndThePanelFields) {
    SKIP_WITHOUT_DEVELOPER_MODE();
    Window w("devmenus", "", true);
    ASSERT_TRUE(w.ctx.app.devMode);
    const Menu* output = w.menu("m_output");
    ASSERT_NE(output, nullptr);
    EXPECT_TRUE(output->idleOnly);
    // "As the source says", then every type the registry can write.
    std::vector<std::string> types, want{""};
    for (const MenuItem& i : output->items) types.push_back(i.outputType);
    for (const FormatEntry& f : formats())
        if (f.write) want.push_back(f.ext);
    EXPECT_EQ(types, want);
    for (const char* ext : {"cmf", "obj", "an8", "crf", "csf"})
        EXPECT_NE(std::find(types.begin(), types.end(), ext), types.end()) << ext;
    EXPECT_TRUE(w.checked("m_o_auto"));
    w.model->trigger("m_o_obj");
    EXPECT_EQ(w.model->outputType(), "obj");
    EXPECT_FALSE(w.checked("m_o_auto"));
    EXPECT_TRUE(w.checked("m_o_obj"));

    // The panel edits the settings view model.
    w.model->setDevText(&SettingsMenu::tKF2, "7");
    w.model->setDevText(&SettingsMenu::tDbgLvl, "2");
    w.model->setDevCheck(&SettingsMenu::chDbgLog3, true);
    syncSettingsFromMenus(w.ctx, true);
    EXPECT_EQ(w.ctx.dbgLevel, 2);
    EXPECT_TRUE(w.ctx.app.extraLog);
    EXPECT_EQ(w.ctx.detailLimit, 7);
}

TEST(WindowCommands, SettingsMenu) {
    Window w("toggles");
    w.model->trigger("m_s_autocentre");
    EXPECT_FALSE(w.checked("m_s_autocentre"));
    EXPECT_TRUE(w.ctx.settings.autoCentre);  // the value follows at the next read or write
    EXPECT_TRUE(w.ctx.settingsDirty);
    // Raw data load is never stored: toggling it leaves nothing to save.
    w.ctx.settingsDirty = false;
    w.model->trigger("m_s_rawdataload");
    EXPECT_TRUE(w.ctx.menu.marks.rawDataLoad);
    EXPECT_FALSE(w.ctx.settingsDirty);
    w.model->trigger("m_s_rawdataload");

    // The two input boxes: an answer changes value and caption, Cancel nothing.
    w.ui.inputs = {"80", "7", std::nullopt};
    for (const char* id : {"m_s_setsize", "m_s_setbone", "m_s_setsize"})
        w.model->trigger(id);
    EXPECT_EQ(w.ui.prompts, (std::vector<std::string>{"Enter size to auto-resize to:",
                                                      "Enter Bone ID to tie prop vertices to:",
                                                      "Enter size to auto-resize to:"}));
    EXPECT_EQ(w.ctx.settings.dflt_autosize, 80.0f);
    EXPECT_EQ(w.caption("m_s_setsize"), "Set size for resize (80)");
    EXPECT_EQ(w.caption("m_s_setbone"), "Set prop Bone  (7)");

    w.model->trigger("m_f_savesettings");
    EXPECT_FALSE(w.ctx.settingsDirty);
    const std::string saved = readFile(w.cfgDir + "molvconv.cfg");
    EXPECT_NE(saved.find("autoCentre=False\r\n"), std::string::npos);
    EXPECT_NE(saved.find("dflt_autosize= 80 \r\n"), std::string::npos);

    w.model->trigger("m_s_defaults");
    EXPECT_TRUE(w.checked("m_s_autocentre"));
    EXPECT_EQ(w.caption("m_s_setsize"), "Set size for resize (100)");
    EXPECT_FALSE(w.ctx.settingsDirty);
    EXPECT_NE(readFile(w.cfgDir + "molvconv.cfg").find("autoCentre=True\r\n"), std::string::npos);
    EXPECT_GT(w.view.refreshes, 0);
}

TEST(WindowCommands, CloseAsksToSaveChangedSettingsExitNever) {
    struct Case {
        const char* name;
        bool change;
        std::vector<Answer> answers;
        bool closes, asked, saved;
    };
    for (const Case& c : {Case{"clean", false, {}, true, false, false},
                          Case{"cancel", true, {Answer::Cancel}, false, true, false},
                          Case{"no", true, {Answer::No}, true, true, false},
                          Case{"yes", true, {Answer::Yes}, true, true, true}}) {
        Window w(std::string("close") + c.name);
        if (c.change) w.model->trigger("m_s_autocentre");
        w.ui.answers.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(w.model->closeRequested(), c.closes) << c.name;
        ASSERT_EQ(w.ui.boxes.size(), c.asked ? 1u : 0u) << c.name;
        if (c.asked) {
            EXPECT_EQ(w.ui.boxes[0].text, "Save Settings?");
            EXPECT_EQ(w.ui.boxes[0].buttons, Buttons::YesNoCancel);
        }
        EXPECT_EQ(std::filesystem::exists(w.cfgDir + "molvconv.cfg"), c.saved) << c.name;
    }
    Window w("exit");
    w.model->trigger("m_s_autocentre");
    w.model->trigger("m_f_exit");
    EXPECT_TRUE(w.view.closed);
    EXPECT_TRUE(w.ui.boxes.empty());
    EXPECT_EQ(w.view.ends, std::vector<int>{0});
    EXPECT_FALSE(std::filesystem::exists(w.cfgDir + "molvconv.cfg"));
}

TEST(WindowCommands, HelpClearScreenAndAbout) {
    Window w("help");
    w.model->trigger("m_h_help");
    const std::vector<std::string> lines(w.ctx.logList.entries().begin(), w.ctx.logList.entries().end());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "\t\tmolvConv V0.2.49");  // the list was emptied first
    EXPECT_EQ(w.ui.log, lines);
    for (const char* want : {"( NOT animation data )", "CAL3D Output files:", "File Menu:", "Settings Menu: ",
                             " Keep the model's own normals:"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end()) << want;
    w.model->trigger("m_h_cls");
    EXPECT_TRUE(w.ctx.logList.entries().empty());
    EXPECT_TRUE(w.ui.log.empty());
    w.model->trigger("m_h_about");
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_EQ(w.ui.boxes[0].text.rfind("molvConv V0.2.49\r", 0), 0u);
}

TEST(WindowConversion, OpenAndConvertThroughTheDialogThenADrop) {
    Window w("open");
    const std::string dir = exampleCopy("openex");
    // Cancelled: nothing happens.
    w.model->trigger("m_f_open");
    ASSERT_EQ(w.view.requests.size(), 1u);
    EXPECT_FALSE(w.view.requests[0].folders);
    EXPECT_EQ(w.view.requests[0].filter, w.ctx.app.fileFilter);
    EXPECT_FALSE(w.model->running());
    EXPECT_TRUE(w.view.finished.empty());
    EXPECT_TRUE(w.ctx.settings.lastLoadPath.empty());

    w.view.paths.push_back(dir + "stool.obj");
    ASSERT_EQ(w.run([&] { w.model->trigger("m_f_open"); }), true);
    EXPECT_TRUE(w.ui.boxes.empty());  // no question
    EXPECT_EQ(w.ctx.settings.lastLoadPath, dir + "stool.obj");
    EXPECT_TRUE(w.logged("Read complete: "));
    EXPECT_TRUE(w.logged("Write complete"));
    EXPECT_TRUE(w.view.previewOk);
    EXPECT_EQ(w.view.busy, (std::vector<bool>{true, false}));
    EXPECT_EQ(setFiles(dir + "stool"), 3u);
    // The next dialog starts where this one was left, with the folder in its recent list.
    w.model->trigger("m_f_open");
    ASSERT_EQ(w.view.requests.size(), 3u);
    EXPECT_EQ(w.view.requests[2].start, dir + "stool.obj");
    ASSERT_FALSE(w.view.requests[2].recent.empty());
    EXPECT_EQ(w.view.requests[2].recent.front(), dir);

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
    bool wroteBeforeAnswer = true, running = false, dropRefused = false;
    std::string enabled;
    w.ui.whileOpen = [&] {
        wroteBeforeAnswer = std::filesystem::exists(dir + "off.cmf");
        running = w.model->running();
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
    EXPECT_TRUE(running);
    EXPECT_FALSE(wroteBeforeAnswer);
    EXPECT_TRUE(dropRefused);
    EXPECT_EQ(enabled, "m_f_exit m_h_about ");
    EXPECT_FALSE(w.ctx.menu.marks.autoCentre);
    EXPECT_EQ(setFiles(dir + "off"), 3u);
    EXPECT_TRUE(w.enabled("m_f_open"));
    EXPECT_FALSE(w.model->running());
}

TEST(WindowConversion, AFailureIsOneBoxWithItsReasonInTheLog) {
    Window w("noread");
    const std::string dir = tempDir("noreadsrc");
    struct Case {
        const char* file;
        const char* text;
        std::vector<Answer> answers;
        std::string box;
    };
    const std::vector<Case> cases = {
        // A reader given up at its question: that was the user's own answer, no box after it.
        {"lost.obj", "mtllib gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", {Answer::Cancel},
         "Cannot find material file: (" + dir + "gone.mtl)"},
        {"points.obj", "v 0 0 0\nv 1 0 0\n", {}, "Nothing to convert: no faces read from " + dir + "points.obj"},
        {"notes.ext", "mine", {}, "Unknown filetype: .ext"},
    };
    writeFile(dir + "lost.cmf", "earlier good set");
    for (const Case& c : cases) {
        writeFile(dir + c.file, c.text);
        w.ui.boxes.clear();
        w.ui.answers.assign(c.answers.begin(), c.answers.end());
        ASSERT_EQ(w.run([&] { w.model->convertSource(dir + c.file); }), false) << c.file;
        ASSERT_EQ(w.ui.boxes.size(), 1u) << c.file;
        EXPECT_EQ(w.ui.boxes[0].text, c.box);
        if (c.answers.empty()) {
            EXPECT_EQ(w.ui.boxes[0].buttons, Buttons::Ok);
            EXPECT_TRUE(w.logged(c.box)) << c.file;
        }
    }
    EXPECT_EQ(readFile(dir + "lost.cmf"), "earlier good set");  // the good set from before stays
    EXPECT_EQ(readFile(dir + "notes.ext"), "mine");
    EXPECT_EQ(setFiles(dir + "points") + setFiles(dir + "notes"), 0u);
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
    EXPECT_TRUE(w.view.closed);  // and the window closed after it
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
    EXPECT_TRUE(w.view.closed);
    EXPECT_EQ(w.view.ends, std::vector<int>{0});
}

TEST(WindowConversion, StartWithASource) {
    const std::string dir = exampleCopy("startex");
    // Converted at once; "Conversion complete" and the program ends.
    Window good("startok", dir + "stool.obj");
    ASSERT_EQ(good.run([&] { good.model->convertAtStart(good.start.opts, dir); }), true);
    ASSERT_EQ(good.ui.boxes.size(), 1u);
    EXPECT_EQ(good.ui.boxes[0].text, "Conversion complete");
    EXPECT_EQ(good.view.ends, std::vector<int>{0});
    EXPECT_EQ(setFiles(dir + "stool"), 3u);

    // A failure is said in one box, kept in the log, and the window stays.
    Window bad("startfail", dir + "missing.obj");
    ASSERT_EQ(bad.run([&] { bad.model->convertAtStart(bad.start.opts, dir); }), false);
    ASSERT_EQ(bad.ui.boxes.size(), 1u);
    EXPECT_EQ(bad.ui.boxes[0].text, "Not found: " + dir + "missing.obj\r\rConversion failed: " + dir + "missing.obj");
    EXPECT_TRUE(bad.logged("Not found: " + dir + "missing.obj"));
    EXPECT_TRUE(bad.logged("Conversion failed: " + dir + "missing.obj"));
    EXPECT_TRUE(bad.view.ends.empty());
    EXPECT_FALSE(bad.view.closed);
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
    EXPECT_TRUE(w.view.finished.empty());
    EXPECT_EQ(w.ctx.settings.lastLoadPath, dir + "stool.obj");
    EXPECT_FALSE(w.ctx.settingsDirty);
    ASSERT_EQ(w.run([&] { w.model->trigger("m_f_convert"); }), true);
    EXPECT_EQ(setFiles(dir + "stool"), 3u);
    EXPECT_TRUE(w.view.ends.empty());  // the window stays
}

TEST(WindowConversion, OutputTypeInDeveloperMode) {
    SKIP_WITHOUT_DEVELOPER_MODE();
    Window w("outtype", "", true);
    const std::string dir = exampleCopy("outtypeex");
    using Out = std::pair<std::string, std::string>;
    for (const auto& [type, written] : std::vector<Out>{{"an8", "stool.an8"}, {"obj", "stool_1.obj"}}) {
        w.model->setOutputType(type);
        EXPECT_EQ(w.model->outputFor(dir + "stool.obj"), dir + written);
        ASSERT_EQ(w.run([&] { w.model->convertSource(dir + "stool.obj"); }), true) << type;
        EXPECT_TRUE(std::filesystem::exists(dir + written)) << type;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "stool.cmf"));
    w.model->setOutputType("");
    EXPECT_EQ(w.model->outputFor(dir + "stool.obj"), "");
}

TEST(WindowConversion, ConvertFolderThroughTheSameDialog) {
    Window w("folder");
    const std::string dir = exampleCopy("folderex");
    std::filesystem::copy_file(dataPath("3ds/test1.3ds"), dir + "test1.3ds");
    writeFile(dir + "broken.dae", "<COLLADA>\n<library_geometries>\n");
    writeFile(dir + "notes.txt", "not a model");
    w.view.paths.push_back(dir);
    w.model->trigger("m_s_autozerobsht");  // not the default: items must get the window's settings
    bool openEnabled = true;
    const auto folder = [&] {
        w.model->trigger("m_f_folder");
        openEnabled = w.enabled("m_f_open") || w.enabled("m_f_folder");
    };
    ASSERT_EQ(w.run(folder), false) << "one file failed";
    EXPECT_FALSE(openEnabled);
    ASSERT_EQ(w.view.requests.size(), 1u);
    EXPECT_TRUE(w.view.requests[0].folders);
    EXPECT_TRUE(w.ui.boxes.empty()) << "no question per file";
    EXPECT_TRUE(w.logged("converted  test1.3ds, 3 warnings"));
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
    EXPECT_TRUE(w->view.finished.empty());
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
