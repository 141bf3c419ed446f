#include "gui/qt_ui.h"

#include <QAction>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

namespace molv {

namespace {

// The end-of-run warnings stand out from the log lines around them.
void addLogItem(QListWidget* list, const std::string& text) {
    list->addItem(QString::fromStdString(text));
    if (text.rfind("Warning: ", 0) == 0) {
        QListWidgetItem* item = list->item(list->count() - 1);
        item->setBackground(QColor(255, 236, 160));
        item->setForeground(QColor(120, 40, 0));
    }
}

}  // namespace

namespace {

// Changes kept for the list beyond this are replaced by one rebuild from
// the mirror, so a worker that logs faster than the window paints costs
// bounded memory and bounded painting.
constexpr std::size_t kMaxPendingOps = 512;
constexpr int kRefreshMs = 40;
constexpr int kProgressSteps = 1000;

QMessageBox::StandardButton buttonFor(Answer a) {
    switch (a) {
        case Answer::Ok: return QMessageBox::Ok;
        case Answer::Cancel: return QMessageBox::Cancel;
        case Answer::Yes: return QMessageBox::Yes;
        case Answer::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

// Closing a box without a button answers as its Cancel (or No) would.
Answer escapeAnswer(Buttons b) {
    switch (b) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::OkCancel:
        case Buttons::YesNoCancel: return Answer::Cancel;
        case Buttons::YesNo: return Answer::No;
    }
    return Answer::Cancel;
}

QMessageBox::StandardButtons buttonsFor(Buttons b) {
    switch (b) {
        case Buttons::Ok: return QMessageBox::Ok;
        case Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

}  // namespace

QString boxText(const std::string& text) {
    QString t = QString::fromStdString(text);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

QtUI::QtUI(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setInterval(kRefreshMs);
    connect(timer_, &QTimer::timeout, this, &QtUI::flush);
}

QtUI::~QtUI() = default;

bool QtUI::onWindowThread() const { return QThread::currentThread() == thread(); }

void QtUI::attach(QWidget* owner, QListWidget* list, QAction* status, QProgressBar* bar) {
    owner_ = owner;
    list_ = list;
    status_ = status;
    bar_ = bar;
    {
        std::lock_guard<std::mutex> lk(mu_);
        ops_.assign(1, Op{OpKind::Rebuild, {}, 0});
        statusDirty_ = !statusText_.empty();
    }
    flush();
}

void QtUI::push(Op op) {
    {
        std::lock_guard<std::mutex> lk(mu_);
        switch (op.kind) {
            case OpKind::Append: mirror_.push_back(op.text); break;
            case OpKind::RemoveAt:
                if (op.index >= 0 && static_cast<std::size_t>(op.index) < mirror_.size())
                    mirror_.erase(mirror_.begin() + op.index);
                break;
            case OpKind::Clear: mirror_.clear(); break;
            case OpKind::Rebuild: break;
        }
        // A pending rebuild already takes in whatever the mirror holds.
        if (ops_.empty() || ops_.front().kind != OpKind::Rebuild) {
            if (ops_.size() >= kMaxPendingOps)
                ops_.assign(1, Op{OpKind::Rebuild, {}, 0});
            else
                ops_.push_back(std::move(op));
        }
    }
    afterChange();
}

void QtUI::afterChange() {
    if (onWindowThread()) {
        flush();
        return;
    }
    bool busy;
    {
        std::lock_guard<std::mutex> lk(mu_);
        busy = busy_;
    }
    // While busy the timer shows it; otherwise one queued refresh does.
    if (!busy) QMetaObject::invokeMethod(this, &QtUI::flush, Qt::QueuedConnection);
}

void QtUI::flush() {
    std::vector<Op> ops;
    std::vector<std::string> snapshot;
    std::string statusText;
    bool statusDirty, progressDirty;
    std::int64_t done, total;
    {
        std::lock_guard<std::mutex> lk(mu_);
        if (!list_) return;  // kept until the window comes
        ops.swap(ops_);
        if (!ops.empty() && ops.front().kind == OpKind::Rebuild) snapshot.assign(mirror_.begin(), mirror_.end());
        statusText = statusText_;
        statusDirty = statusDirty_;
        statusDirty_ = false;
        progressDirty = progressDirty_;
        progressDirty_ = false;
        done = done_;
        total = total_;
    }
    if (!ops.empty()) {
        list_->setUpdatesEnabled(false);
        for (const Op& op : ops) {
            switch (op.kind) {
                case OpKind::Append: addLogItem(list_, op.text); break;
                case OpKind::RemoveAt: delete list_->takeItem(op.index); break;
                case OpKind::Clear: list_->clear(); break;
                case OpKind::Rebuild:
                    list_->clear();
                    for (const std::string& e : snapshot) addLogItem(list_, e);
                    break;
            }
        }
        list_->setUpdatesEnabled(true);
        list_->scrollToBottom();
    }
    if (statusDirty && status_) {
        QString t = QString::fromStdString(statusText);
        t.replace(QLatin1Char('&'), QStringLiteral("&&"));  // a caption, not a mnemonic
        status_->setText(t);
    }
    if (progressDirty && bar_ && total > 0) {
        if (done < 0) done = 0;
        if (done > total) done = total;
        bar_->setRange(0, kProgressSteps);
        bar_->setValue(static_cast<int>(static_cast<double>(done) * kProgressSteps / static_cast<double>(total)));
    }
}

void QtUI::setBusy(bool busy) {
    {
        std::lock_guard<std::mutex> lk(mu_);
        busy_ = busy;
        done_ = total_ = 0;
        progressDirty_ = false;
    }
    if (bar_) {
        bar_->setRange(0, 0);  // activity, until a total is known
        bar_->setValue(0);
        bar_->setVisible(busy);
    }
    if (busy) {
        timer_->start();
    } else {
        timer_->stop();
        flush();
    }
}

void QtUI::logAppend(const std::string& entry) { push(Op{OpKind::Append, entry, 0}); }

void QtUI::logRemoveAt(int index) { push(Op{OpKind::RemoveAt, {}, index}); }

void QtUI::logClear() { push(Op{OpKind::Clear, {}, 0}); }

void QtUI::status(const std::string& text) {
    {
        std::lock_guard<std::mutex> lk(mu_);
        statusText_ = text;
        statusDirty_ = true;
    }
    afterChange();
}

void QtUI::progress(std::int64_t done, std::int64_t total) {
    {
        std::lock_guard<std::mutex> lk(mu_);
        done_ = done;
        total_ = total;
        progressDirty_ = true;
    }
    if (onWindowThread()) flush();
}

// Stopping and the worker's questions are the window model's: it answers
// them on the window's thread.
void QtUI::pumpEvents() {}


Answer QtUI::messageBox(const std::string& text, Buttons buttons, Answer dflt) {
    if (onWindowThread()) return showBox(text, buttons, dflt);
    Answer a = dflt;
    QMetaObject::invokeMethod(
        this, [&] { a = showBox(text, buttons, dflt); }, Qt::BlockingQueuedConnection);
    return a;
}

void QtUI::notice(const std::string& text) { messageBox(text, Buttons::Ok, Answer::Ok); }


std::optional<std::string> QtUI::inputBox(const std::string& prompt, const std::string& title,
                                          const std::string& dflt) {
    if (onWindowThread()) return showInput(prompt, title, dflt);
    std::optional<std::string> r;
    QMetaObject::invokeMethod(
        this, [&] { r = showInput(prompt, title, dflt); }, Qt::BlockingQueuedConnection);
    return r;
}

Answer QtUI::showBox(const std::string& text, Buttons buttons, Answer dflt) {
    flush();  // the log up to the question is on screen
    QMessageBox box(owner_);
    box.setWindowTitle(title_);
    box.setTextFormat(Qt::PlainText);
    box.setText(boxText(text));
    box.setStandardButtons(buttonsFor(buttons));
    if (buttonsFor(buttons).testFlag(buttonFor(dflt))) box.setDefaultButton(buttonFor(dflt));
    const Answer esc = escapeAnswer(buttons);
    box.setEscapeButton(buttonFor(esc));
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok: return Answer::Ok;
        case QMessageBox::Cancel: return Answer::Cancel;
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        default: return esc;
    }
}

std::optional<std::string> QtUI::showInput(const std::string& prompt, const std::string& title,
                                           const std::string& dflt) {
    flush();
    QInputDialog dlg(owner_);
    dlg.setWindowTitle(title.empty() ? title_ : QString::fromStdString(title));
    dlg.setInputMode(QInputDialog::TextInput);
    dlg.setLabelText(boxText(prompt));
    dlg.setTextValue(QString::fromStdString(dflt));
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.textValue().toStdString();
}

}  // namespace molv
