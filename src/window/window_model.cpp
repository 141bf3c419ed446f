#include "window/window_model.h"

#include <algorithm>
#include <cctype>

#include "convert/batch.h"
#include "convert/context.h"
#include "convert/driver.h"
#include "convert/preview.h"
#include "convert/settings.h"
#include "convert/startup.h"
#include "util/fileio.h"
#include "util/paths.h"
#include "window/window_text.h"

namespace molv {

namespace {
constexpr std::size_t kMaxRecent = 8;
}

// The context's window system while the model lives: the worker's questions
// wait for an answer given on the window's thread; its plain message boxes
// (the reason a conversion failed) are kept for the log and one box at the
// end; stopping is thrown from its event pumps and progress calls.
class WindowModel::WorkerUI : public UI {
public:
    WorkerUI(WindowModel& model, UI& inner)
        : model_(model), inner_(inner), windowThread_(std::this_thread::get_id()) {}

    bool onWorker() const { return std::this_thread::get_id() != windowThread_; }
    void setStoppable(bool on) { stoppable_ = on; }
    // The window goes: a waiting question takes its default.
    void shutdown() {
        std::lock_guard<std::mutex> lk(mu_);
        shutdown_ = true;
        cv_.notify_all();
    }
    // What the worker said in plain boxes and notices, for after the run.
    std::vector<std::string> takeReasons() { return take(reasons_); }
    std::vector<std::string> takeNotices() { return take(notices_); }

    Answer messageBox(const std::string& text, Buttons b, Answer dflt) override {
        if (!onWorker()) return inner_.messageBox(text, b, dflt);
        if (b == Buttons::Ok) {
            std::lock_guard<std::mutex> lk(mu_);
            reasons_.push_back(text);
            return Answer::Ok;
        }
        return ask<Answer>([this, text, b, dflt] { return inner_.messageBox(text, b, dflt); }, dflt);
    }
    void notice(const std::string& text) override {
        if (!onWorker()) return inner_.notice(text);
        std::lock_guard<std::mutex> lk(mu_);
        notices_.push_back(text);
    }
    void warning(const std::string& text) override { inner_.warning(text); }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& dflt) override {
        if (!onWorker()) return inner_.inputBox(prompt, title, dflt);
        return ask<std::optional<std::string>>([this, prompt, title, dflt] { return inner_.inputBox(prompt, title, dflt); },
                                               std::optional<std::string>(dflt));
    }
    void logAppend(const std::string& entry) override { inner_.logAppend(entry); }
    void logRemoveAt(int index) override { inner_.logRemoveAt(index); }
    void logClear() override { inner_.logClear(); }
    void status(const std::string& text) override { inner_.status(text); }
    void progress(std::int64_t done, std::int64_t total) override {
        inner_.progress(done, total);
        checkStop();
    }
    void pumpEvents() override {
        checkStop();
        if (!onWorker()) inner_.pumpEvents();
    }
    bool showsStatus() const override { return inner_.showsStatus(); }

private:
    void checkStop() {
        if (model_.stop_ && stoppable_ && onWorker()) throw ConversionStopped{};
    }
    std::vector<std::string> take(std::vector<std::string>& from) {
        std::lock_guard<std::mutex> lk(mu_);
        std::vector<std::string> out;
        out.swap(from);
        return out;
    }
    // Shown on the window's thread; the worker waits for the answer.
    template <class T>
    T ask(std::function<T()> show, T dflt) {
        auto answer = std::make_shared<std::optional<T>>();
        model_.postAlive([this, answer, show] {
            T a = show();
            std::lock_guard<std::mutex> lk(mu_);
            *answer = std::move(a);
            cv_.notify_all();
        });
        std::unique_lock<std::mutex> lk(mu_);
        cv_.wait(lk, [&] { return answer->has_value() || shutdown_; });
        return answer->has_value() ? **answer : dflt;
    }

    WindowModel& model_;
    UI& inner_;
    const std::thread::id windowThread_;
    std::atomic<bool> stoppable_{true};
    std::mutex mu_;
    std::condition_variable cv_;
    bool shutdown_ = false;
    std::vector<std::string> reasons_, notices_;
};

WindowModel::WindowModel(Context& ctx, UI& ui, WindowView& view)
    : ctx_(ctx), viewUI_(ui), view_(view), workerUI_(std::make_unique<WorkerUI>(*this, ui)),
      menus_(buildMenus(ctx.app.devMode)) {
    ctx_.ui = workerUI_.get();
    if (!ctx_.settings.lastLoadPath.empty()) addRecentFolder(folderOf(ctx_.settings.lastLoadPath));
}

WindowModel::~WindowModel() {
    // Never while a conversion runs in normal use (closing waits for it);
    // if it happens the worker is stopped, its questions take their
    // defaults, and nothing it posts runs any more.
    alive_.reset();
    if (worker_.joinable()) {
        stop_ = true;
        workerUI_->shutdown();
        worker_.join();
    }
    ctx_.ui = &viewUI_;
}

void WindowModel::postAlive(std::function<void()> fn) {
    std::weak_ptr<int> alive = alive_;
    view_.post([alive, fn = std::move(fn)] {
        if (alive.lock()) fn();
    });
}

// ---- menus ---------------------------------------------------------------------

const MenuItem* WindowModel::item(const std::string& id) const {
    for (const Menu& m : menus_)
        for (const MenuItem& i : m.items)
            if (i.id == id) return &i;
    return nullptr;
}

bool WindowModel::enabled(const MenuItem& item) const {
    if (item.id == "m_f_convert" && ready_.empty()) return false;
    return !(item.idleOnly && running());
}

bool WindowModel::checked(const MenuItem& item) const {
    switch (item.kind) {
        case MenuItem::Kind::Check: return item.setting && ctx_.menu.marks.*item.setting->flag;
        case MenuItem::Kind::Radio: return item.outputType == outputType_;
        default: return false;
    }
}

std::string WindowModel::caption(const MenuItem& item) const {
    if (item.id == "m_s_setsize") return ctx_.menu.m_s_setsize_caption;
    if (item.id == "m_s_setbone") return ctx_.menu.m_s_setbone_caption;
    return item.caption;
}

void WindowModel::trigger(const std::string& id) {
    const MenuItem* i = item(id);
    if (!i || i->kind == MenuItem::Kind::Separator || !enabled(*i)) return;
    if (i->kind == MenuItem::Kind::Check) {
        toggleMenuItem(ctx_, *i->setting);
    } else if (i->kind == MenuItem::Kind::Radio) {
        setOutputType(i->outputType);
    } else if (id == "m_f_open") {
        openAndConvert();
    } else if (id == "m_f_convert") {
        convertSource(ready_);
    } else if (id == "m_f_folder") {
        convertFolderCommand();
    } else if (id == "m_f_savesettings" || id == "m_s_savesettings") {
        saveSettingsCommand();
    } else if (id == "m_f_exit") {
        exitCommand();
    } else if (id == "m_s_setsize") {
        askResizeSize(ctx_);
    } else if (id == "m_s_setbone") {
        askBoneID(ctx_);
    } else if (id == "m_s_defaults") {
        defaultSettingsCommand();
    } else if (id == "m_h_help") {
        helpCommand();
    } else if (id == "m_h_cls") {
        clearScreenCommand();
    } else if (id == "m_h_about") {
        aboutCommand();
    }
    view_.refresh();
}

// ---- commands -----------------------------------------------------------------

void WindowModel::openAndConvert() {
    if (running()) return;
    PathRequest req{"Open and Convert", ctx_.app.fileFilter, ctx_.settings.lastLoadPath, false, recent_};
    const std::string path = view_.choosePath(req);
    if (path.empty()) return;
    ctx_.settings.lastLoadPath = path;
    addRecentFolder(folderOf(path));
    convertSource(path);
}

void WindowModel::convertFolderCommand() {
    if (running()) return;
    PathRequest req{"Convert Folder", ctx_.app.fileFilter, folderOf(ctx_.settings.lastLoadPath), true, recent_};
    const std::string folder = view_.choosePath(req);
    if (folder.empty()) return;
    addRecentFolder(folder);
    convertFolder(folder);
}

void WindowModel::saveSettingsCommand() {
    if (running()) return;
    saveSettings(ctx_);
}

void WindowModel::defaultSettingsCommand() {
    if (running()) return;
    defaultSettings(ctx_);
    view_.refresh();
}

void WindowModel::helpCommand() {
    if (running()) return;
    ctx_.logList.clear(ctx_.ui);
    for (const std::string& b : helpBlocks(ctx_.app.title)) ctx_.logMsg(b, 0);
}

void WindowModel::clearScreenCommand() {
    if (running()) return;
    ctx_.logList.clear(ctx_.ui);
}

void WindowModel::aboutCommand() { viewUI_.messageBox(aboutText(ctx_.app.title), Buttons::Ok, Answer::Ok); }

void WindowModel::exitCommand() {
    if (running()) {
        // No question: the conversion stops and the program ends after it.
        requestStop();
        exitAfterJob_ = true;
        return;
    }
    exiting_ = true;
    view_.closeWindow();
    view_.endProgram(kExitOk);
}

bool WindowModel::do_Exit() {
    if (!ctx_.settingsDirty) return false;
    switch (ctx_.msgBox("Save Settings?", Buttons::YesNoCancel, Answer::Yes)) {
        case Answer::Cancel: return true;
        case Answer::Yes: saveSettings(ctx_); return false;
        default: return false;
    }
}

bool WindowModel::closeRequested() {
    if (running()) {
        if (askingStop_ || stop_) return false;
        askingStop_ = true;
        const Answer a = viewUI_.messageBox("A conversion is running. Stop it and close the window?", Buttons::YesNo,
                                            Answer::No);
        askingStop_ = false;
        if (a != Answer::Yes) return false;
        if (running()) {
            requestStop();
            closeAfterJob_ = true;
            return false;
        }
        // It ended while the question was open: close as usual.
    }
    if (exiting_) return true;
    return !do_Exit();
}

// ---- conversions ----------------------------------------------------------------

void WindowModel::setOutputType(const std::string& ext) {
    if (running()) return;
    outputType_ = ext;
    view_.refresh();
}

std::string WindowModel::outputFor(const std::string& source) const {
    if (outputType_.empty()) return {};
    std::string srcExt = extOf(source);
    std::transform(srcExt.begin(), srcExt.end(), srcExt.begin(), [](unsigned char c) { return std::tolower(c); });
    // Never over the source: a copy of its own type goes beside it.
    return pathNoExt(source) + (srcExt == outputType_ ? "_1." : ".") + outputType_;
}

void WindowModel::setDevText(std::string SettingsMenu::*field, const std::string& text) {
    if (!running()) ctx_.menu.*field = text;
}

void WindowModel::setDevCheck(bool SettingsMenu::*field, bool on) {
    if (!running()) ctx_.menu.*field = on;
}

void WindowModel::addRecentFolder(const std::string& folder) {
    if (folder.empty()) return;
    recent_.erase(std::remove(recent_.begin(), recent_.end(), folder), recent_.end());
    recent_.insert(recent_.begin(), folder);
    if (recent_.size() > kMaxRecent) recent_.resize(kMaxRecent);
}

void WindowModel::offerSource(const std::string& path) {
    if (running() || path.empty()) return;
    ready_ = path;
    ctx_.settings.lastLoadPath = path;
    addRecentFolder(folderOf(path));
    if (ctx_.app.devMode) ctx_.menu.tSrcFile = path;
    ctx_.logMsg("Ready to convert: " + path);
    ctx_.logMsg("File > Convert (F5) writes its Cal3D set beside it.");
    view_.refresh();
}

void WindowModel::convertSource(const std::string& path) {
    if (running() || path.empty()) return;
    AppState& a = ctx_.app;
    a.srcFile = path;
    // The panel's source box is what the read takes in developer mode.
    if (a.devMode) ctx_.menu.tSrcFile = path;
    view_.showPreview(nullptr);
    const std::string output = outputFor(path);
    runJob(
        [this, path, output] {
            ConversionRequest req(path, output);
            req.fromOpen = req.saveSettings = true;
            req.beforeWrite = [this] { workerUI_->setStoppable(false); };  // a set once begun is written whole
            const ConversionResult r = convert(ctx_, req);
            if (!r.ok()) return false;
            for (const std::string& w : r.warnings) ctx_.logMsg("Warning: " + w);
            if (!r.warnings.empty()) ctx_.showStatus(completionText(r.warnings.size()));
            drawPreview();
            return true;
        },
        {});
}

void WindowModel::convertFolder(const std::string& folder) {
    if (running() || folder.empty()) return;
    // Listed from inside the folder, so each line names the file alone.
    auto items = std::make_shared<std::vector<BatchItem>>(batchSources({"."}, folder, false, ctx_.app.devMode));
    ctx_.logMsg("Converting the models in " + folder);
    runJob(
        [this, items] {
            // Stopping ends the batch between files: each set is written whole.
            workerUI_->setStoppable(false);
            const auto total = static_cast<std::int64_t>(items->size());
            std::int64_t done = 0;
            ctx_.ui->progress(0, total);
            const int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
            convertBatch(
                ctx_, *items, jobs,
                [&](const std::string& line) {
                    ctx_.logMsg(line);
                    ctx_.ui->progress(++done, total);
                },
                [this] { return stop_.load(); }, itemProgram_);
            ctx_.logMsg(" \n" + batchSummary(*items));  // a blank line before the table
            const auto failed = std::count_if(items->begin(), items->end(), [](const BatchItem& i) { return !i.ok; });
            const auto warned = std::count_if(items->begin(), items->end(),
                                              [](const BatchItem& i) { return i.ok && !i.warnings.empty(); });
            ctx_.showStatus(std::to_string(total - failed) + " converted" +
                            (warned ? " (" + std::to_string(warned) + " with warnings)" : std::string()) + ", " +
                            std::to_string(failed) + " failed");
            return failed == 0;
        },
        {});
}

void WindowModel::convertAtStart(const CmdLineOptions& opts, const std::string& cwd) {
    view_.showPreview(nullptr);
    runJob(
        [this, opts, cwd] {
            const bool ok = runConversion(ctx_, opts, cwd) == kExitOk;
            if (ok) drawPreview();
            return ok;
        },
        [this](bool ok) {
            if (ok)
                view_.endProgram(kExitOk);
            else
                finishStartupWithoutSource(ctx_);  // the rest of start-up: the user gets the window
        });
}

bool WindowModel::dropAccepted(const std::vector<std::string>& paths) const {
    return !running() && !paths.empty() && !paths.front().empty();
}

bool WindowModel::drop(const std::vector<std::string>& paths) {
    if (!dropAccepted(paths)) return false;
    const std::string& p = paths.front();
    if (folderExists(p))
        convertFolder(p);
    else
        convertSource(p);
    return true;
}

void WindowModel::drawPreview() {
    auto scene = std::make_shared<LoadedScene>(lastSetScene(ctx_));
    // Posted ahead of the job's end, so the picture is up with its notice.
    postAlive([this, scene] { view_.showPreview(scene.get()); });
}

void WindowModel::runJob(std::function<bool()> work, std::function<void(bool)> done) {
    stop_ = false;
    workerUI_->setStoppable(true);
    jobOk_ = jobStopped_ = false;
    jobError_.clear();
    onDone_ = std::move(done);
    view_.busyChanged(true);
    worker_ = std::thread([this, work = std::move(work)] {
        try {
            jobOk_ = work();
        } catch (const ConversionStopped&) {
            jobStopped_ = true;
        } catch (const std::exception& e) {
            jobError_ = e.what();
        } catch (...) {
            jobError_ = "unknown error";
        }
        postAlive([this] { jobFinished(); });
    });
    view_.refresh();
}

void WindowModel::jobFinished() {
    if (!worker_.joinable()) return;
    worker_.join();
    view_.busyChanged(false);
    if (jobStopped_) {
        // The read was cut short: what the store holds is no model.
        ctx_.model.ClearModel();
        ctx_.logMsg("Conversion stopped; nothing was written");
        ctx_.showStatus("Stopped");
    }
    // Why it failed (or what else the run had to say) goes into the log and
    // into one box with the window at rest behind it.
    std::vector<std::string> reasons = workerUI_->takeReasons();
    if (!jobError_.empty()) reasons.push_back("Unexpected error: " + jobError_);
    std::string box;
    for (const std::string& r : reasons) {
        ctx_.logMsg(r);
        box += (box.empty() ? "" : "\r\r") + r;
    }
    view_.refresh();
    if (!box.empty()) viewUI_.messageBox(box, Buttons::Ok, Answer::Ok);
    for (const std::string& n : workerUI_->takeNotices()) viewUI_.notice(n);
    const bool ok = jobOk_ && !jobStopped_;
    auto finished = std::move(onDone_);
    onDone_ = nullptr;
    view_.conversionEnded(ok);
    if (finished) finished(ok);
    if (exitAfterJob_) {
        exitAfterJob_ = false;
        exitCommand();
    } else if (closeAfterJob_) {
        closeAfterJob_ = false;
        view_.closeWindow();
    }
}

std::string expandTypedPath(const std::string& typed, const std::string& home) {
    std::size_t b = 0, e = typed.size();
    while (b < e && (typed[b] == ' ' || typed[b] == '\t')) ++b;
    while (e > b && (typed[e - 1] == ' ' || typed[e - 1] == '\t')) --e;
    if (e - b >= 2 && typed[b] == '"' && typed[e - 1] == '"') ++b, --e;
    std::string t = typed.substr(b, e - b);
    if (!home.empty() && !t.empty() && t[0] == '~' && (t.size() == 1 || t[1] == '/' || t[1] == '\\')) {
        std::string h = home;
        while (h.size() > 1 && (h.back() == '/' || h.back() == '\\')) h.pop_back();
        t = h + t.substr(1);
    }
    return t;
}

}  // namespace molv
