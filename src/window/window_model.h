// The main window without a toolkit: its commands, its menus' state, the
// conversion on a worker thread, stopping, drops and the worker's
// questions. A view (Qt, Win32, the tests' headless one) draws the menus
// from menus(), forwards what the user does, and implements WindowView;
// the log, status and progress reach it through its own UI.
//
// While a conversion runs the window's thread does not touch the Context:
// the commands that read, write or change settings are disabled, drops are
// refused and closing asks whether to stop.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "convert/cmdline.h"
#include "core/ui.h"
#include "window/menus.h"

namespace molv {

struct Context;
struct LoadedScene;

// Thrown on the worker by an event pump or a progress call once the user
// asked to stop. Not a std::exception, so no handler meant for errors
// takes it for one.
struct ConversionStopped {};

// What the file dialog is asked for.
struct PathRequest {
    std::string title;
    std::string filter;  // description and pattern pairs separated by "|"
    std::string start;   // a file or folder to start in
    bool folders = false;  // Convert Folder: a folder may be chosen
    std::vector<std::string> recent;  // recent folders, newest first
};

// What the model asks of the view. Every call but post() comes on the
// window's thread.
class WindowView {
public:
    virtual ~WindowView() = default;
    // Runs fn on the window's thread once it is free; called from any thread.
    virtual void post(std::function<void()> fn) = 0;
    // Check marks, captions, enabled states or the developer panel changed.
    virtual void refresh() = 0;
    // A conversion began or ended: the view shows activity.
    virtual void busyChanged(bool running) = 0;
    // The file dialog; empty when cancelled.
    virtual std::string choosePath(const PathRequest& req) = 0;
    // The scene of the last converted set to draw and turn, or none (cleared).
    virtual void showPreview(const LoadedScene* scene) = 0;
    // Exit or a close that was allowed: the window goes.
    virtual void closeWindow() = 0;
    // The program is to end with this status.
    virtual void endProgram(int status) = 0;
    // A conversion ended.
    virtual void conversionEnded(bool /*ok*/) {}
};

class WindowModel {
public:
    // `ui` is the view's window system; the context is switched to one
    // that marshals the worker's questions to the window's thread.
    WindowModel(Context& ctx, UI& ui, WindowView& view);
    ~WindowModel();
    WindowModel(const WindowModel&) = delete;
    WindowModel& operator=(const WindowModel&) = delete;

    Context& context() { return ctx_; }
    const std::vector<Menu>& menus() const { return menus_; }
    const MenuItem* item(const std::string& id) const;
    bool enabled(const MenuItem& item) const;
    bool menuEnabled(const Menu& menu) const { return !(menu.idleOnly && running()); }
    bool checked(const MenuItem& item) const;
    // The caption to show now (some carry a value: "Set size for resize (100)").
    std::string caption(const MenuItem& item) const;
    // A menu item chosen; ignored when it is disabled.
    void trigger(const std::string& id);

    // The commands.
    void openAndConvert();
    void convertFolderCommand();
    void saveSettingsCommand();
    void defaultSettingsCommand();
    void helpCommand();
    void clearScreenCommand();
    void aboutCommand();
    // Exit: no question; while a conversion runs it stops and the program
    // ends after it.
    void exitCommand();
    // The window's close button: true when the window may close now. While
    // a conversion runs it asks whether to stop (and closes after it);
    // otherwise changed settings bring "Save Settings?".
    bool closeRequested();
    // The question "Save Settings?": true when the user cancelled.
    bool do_Exit();

    // Open and Convert once a file is chosen (the dialog or a drop).
    void convertSource(const std::string& path);
    // Convert Folder once a folder is chosen.
    void convertFolder(const std::string& folder);
    // A model opened from the desktop (a file manager's double click): it is
    // made ready, named in the log, and converted by File > Convert.
    void offerSource(const std::string& path);
    const std::string& readySource() const { return ready_; }
    // Start-up with a source: on success the program ends; otherwise the
    // rest of start-up runs and the window stays with the log that says why.
    void convertAtStart(const CmdLineOptions& opts, const std::string& cwd);
    // A drop: the first file is converted, a folder's models in it; refused
    // (false) while a conversion runs or when nothing usable is dropped.
    bool dropAccepted(const std::vector<std::string>& paths) const;
    bool drop(const std::vector<std::string>& paths);

    // A program that converts one batch item in a process of its own
    // ("--batch-item"); empty: Convert Folder converts in this process.
    void setItemProgram(std::string program) { itemProgram_ = std::move(program); }

    bool running() const { return worker_.joinable(); }
    void requestStop() { stop_ = true; }
    bool stopRequested() const { return stop_; }

    // The output type the window converts to: "" is what the source says
    // (the Cal3D set for a model).
    const std::string& outputType() const { return outputType_; }
    void setOutputType(const std::string& ext);
    // Where a source goes with the chosen output type; empty: the driver names it.
    std::string outputFor(const std::string& source) const;

    // Developer panel edits.
    void setDevText(std::string SettingsMenu::*field, const std::string& text);
    void setDevCheck(bool SettingsMenu::*field, bool on);

    // Folders files were opened from, newest first.
    const std::vector<std::string>& recentFolders() const { return recent_; }
    void addRecentFolder(const std::string& folder);

private:
    std::string itemProgram_;
    class WorkerUI;
    void runJob(std::function<bool()> work, std::function<void(bool)> done);
    void jobFinished();
    void drawPreview();
    void postAlive(std::function<void()> fn);

    Context& ctx_;
    UI& viewUI_;
    WindowView& view_;
    std::unique_ptr<WorkerUI> workerUI_;
    std::vector<Menu> menus_;
    std::string outputType_;
    std::vector<std::string> recent_;
    std::string ready_;  // the source File > Convert converts

    std::thread worker_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::function<void(bool)> onDone_;
    // Written by the worker, read after it ended.
    bool jobOk_ = false;
    bool jobStopped_ = false;
    std::string jobError_;
    std::atomic<bool> stop_{false};

    bool askingStop_ = false;
    bool closeAfterJob_ = false;
    bool exitAfterJob_ = false;
    bool exiting_ = false;
};

// A typed folder or file name as the user means it: a leading "~" is the
// home folder (`home`), surrounding blanks and quotes go.
std::string expandTypedPath(const std::string& typed, const std::string& home);

}  // namespace molv
