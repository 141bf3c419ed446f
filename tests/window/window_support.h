// The window model without a toolkit: a started program in a temporary
// home, a view that records what it was asked to show and runs what the
// worker posts on the test's thread, and a scripted window system whose
// boxes can act while they are open.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/context.h"
#include "convert/preview.h"
#include "convert/startup.h"
#include "core/scripted_ui.h"
#include "util/fspath.h"
#include "support/test_support.h"
#include "window/window_model.h"

namespace molv::test {

// Answers as ScriptedUI does; `whileOpen` runs as a box opens, before it
// is answered (on the window's thread, like a user acting meanwhile).
struct WindowUI : ScriptedUI {
    std::function<void(const std::string&)> whileOpen;
    std::vector<std::thread::id> boxThreads;
    Answer messageBox(const std::string& text, Buttons b, Answer dflt) override {
        boxThreads.push_back(std::this_thread::get_id());
        if (whileOpen) {
            auto f = std::move(whileOpen);
            whileOpen = nullptr;
            f(text);
        }
        return ScriptedUI::messageBox(text, b, dflt);
    }
};

struct HeadlessView : WindowView {
    WindowModel* model = nullptr;
    std::deque<std::string> paths;  // what the file dialog hands back, in turn
    std::vector<PathRequest> requests;
    std::vector<bool> busy, finished;
    std::vector<int> ends;
    int refreshes = 0;
    bool closed = false;
    bool previewShown = false, previewOk = false;

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
        previewShown = scene != nullptr;
        previewOk = scene && scene->ok && !scene->scene.triangles.empty();
    }
    // As a real window's close: it asks the model first.
    void closeWindow() override {
        if (model->closeRequested()) closed = true;
    }
    void endProgram(int status) override { ends.push_back(status); }
    void conversionEnded(bool ok) override { finished.push_back(ok); }

    // The window's event loop: runs what was posted until `done` holds.
    bool pumpUntil(const std::function<bool()>& done, int ms = 30000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
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

struct Start {
    std::string cmdLine;
    std::string programName = "molvconv-gui";
    bool devMarker = false;
    std::string settingsText;
    static Start commandLine(std::string c) {
        Start s;
        s.cmdLine = std::move(c);
        return s;
    }
    static Start developer() {
        Start s;
        s.programName = "mc";
        s.devMarker = true;
        return s;
    }
};

// A started program with its window model; the configuration lives in `home`.
struct Window {
    std::string home, cfgDir;
    WindowUI ui;
    Context ctx{ui};
    StartupResult start;
    HeadlessView view;
    std::unique_ptr<WindowModel> model;

    explicit Window(const std::string& tag, const Start& how = {}) {
        home = tempDir(tag);
        ProcessEnv env;
        env.home = home;
        env.xdgConfigHome = home + ".config";
        // Where the platform keeps the configuration for this home.
        cfgDir = configDirFor(env);
        std::filesystem::create_directories(fsPath(cfgDir));
        if (how.devMarker) writeFile(devMarkerPath(env), "");
        if (!how.settingsText.empty()) writeFile(cfgDir + "molvconv.cfg", how.settingsText);
        start = startUp(ctx, how.cmdLine, "/usr/bin/" + how.programName, env);
        if (start.opts.srcFile.empty()) finishStartupWithoutSource(ctx);
        model = std::make_unique<WindowModel>(ctx, ui, view);
        view.model = model.get();
    }

    // Starts a conversion and runs the window until it ended.
    bool run(const std::function<void()>& begin, bool* ok = nullptr) {
        const std::size_t before = view.finished.size();
        begin();
        if (!view.pumpUntil([&] { return view.finished.size() > before; })) return false;
        if (ok) *ok = view.finished.back();
        return true;
    }
    bool logged(const std::string& part) const {
        for (const std::string& l : ctx.logList.entries())
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
    bool enabled(const std::string& id) const { return model->enabled(*model->item(id)); }
};

// The files of a Cal3D set for outBase that exist.
inline std::vector<std::string> setFiles(const std::string& outBase) {
    std::vector<std::string> out;
    for (const char* e : {".cmf", ".csf", ".cfg"})
        if (std::filesystem::exists(outBase + e)) out.push_back(outBase + e);
    return out;
}

// Developer mode on Windows needs c:\molv.id and drive v:, which the
// Windows tests map only for the command-line program's tests.
#ifdef _WIN32
#define SKIP_WITHOUT_DEVELOPER_MODE() GTEST_SKIP() << "developer mode needs c:\\molv.id and drive v:"
#else
#define SKIP_WITHOUT_DEVELOPER_MODE() (void)0
#endif

}  // namespace molv::test
