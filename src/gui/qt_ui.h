// The desktop program's window system: real message and input boxes, the
// log list, the status text in the menu bar and a progress bar.
//
// Conversions run on a worker thread so the window stays painted. What the
// worker shows is kept here under a lock and put on screen by the window's
// thread (a timer while a conversion runs); its questions are shown on the
// window's thread and the worker waits for the answer. Nothing here touches
// the run's Context.
#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/ui.h"

class QAction;
class QListWidget;
class QProgressBar;
class QTimer;
class QWidget;

namespace molv {

class QtUI : public QObject, public UI {
    Q_OBJECT
public:
    explicit QtUI(QObject* parent = nullptr);
    ~QtUI() override;

    // The controls that show the log, the status and the progress; boxes
    // are centred on `owner`. Until then lines are kept and shown at once
    // when the window comes.
    void attach(QWidget* owner, QListWidget* list, QAction* status, QProgressBar* bar);
    void setTitle(const std::string& title) { title_ = QString::fromStdString(title); }

    Answer messageBox(const std::string& text, Buttons buttons, Answer dflt) override;
    void notice(const std::string& text) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& dflt) override;
    void logAppend(const std::string& entry) override;
    void logRemoveAt(int index) override;
    void logClear() override;
    void status(const std::string& text) override;
    void progress(std::int64_t done, std::int64_t total) override;
    void pumpEvents() override;

    // A conversion runs on the worker: the view is refreshed by a timer and
    // the progress bar shows activity until progress calls give a total.
    // Called on the window's thread; off shows everything still pending.
    void setBusy(bool busy);

public slots:
    // Puts pending log lines, status and progress on screen (window's thread).
    void flush();

private:
    enum class OpKind { Append, RemoveAt, Clear, Rebuild };
    struct Op {
        OpKind kind;
        std::string text;
        int index = 0;
    };

    bool onWindowThread() const;
    void push(Op op);
    void afterChange();
    Answer showBox(const std::string& text, Buttons buttons, Answer dflt);
    std::optional<std::string> showInput(const std::string& prompt, const std::string& title,
                                         const std::string& dflt);

    QPointer<QWidget> owner_;
    QPointer<QListWidget> list_;
    QPointer<QAction> status_;
    QPointer<QProgressBar> bar_;
    QTimer* timer_;
    QString title_;

    std::mutex mu_;
    // The log as the core keeps it, and the changes the list has not seen.
    std::deque<std::string> mirror_;
    std::vector<Op> ops_;
    std::string statusText_;
    bool statusDirty_ = false;
    std::int64_t done_ = 0, total_ = 0;
    bool progressDirty_ = false;
    bool busy_ = false;
};

// Message-box text as the core writes it (lines cut by CR, LF or CR LF)
// with plain line feeds.
QString boxText(const std::string& text);

}  // namespace molv
