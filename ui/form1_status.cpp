// The main setup screen's status bar: what the sends, the setup files and the report came to, and the
// line-health indicator. Everything is told from events the screen has anyway.

#include "form1.h"

#include "rules.h"
#include "statusline.h"
#include "trendcontrol.h"

#include <QAction>
#include <QFocusEvent>
#include <QStatusBar>

namespace {

class FocusHints final : public QObject {
public:
    FocusHints(StatusLine* status, QObject* parent) : QObject(parent), status_(status) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            auto* w = static_cast<QWidget*>(watched);
            if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                 reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason) &&
                !w->toolTip().isEmpty()) {
                status_->FieldHint(w->toolTip());
            }
        }
        return false;
    }

private:
    StatusLine* status_;
};

} // namespace

void Form1::WireStatus() {
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);
    statusLine_ = new StatusLine(statusBar(), m_.LanguageIndex, this);
    connect(link_, &SerialLink::ExchangeStarted, statusLine_, &StatusLine::ExchangeStarted);
    connect(link_, &SerialLink::ExchangeEnded, statusLine_, &StatusLine::ExchangeEnded);
    connect(this, &Form1::PassCompleted, statusLine_, &StatusLine::PassEnded);
    queue_.onOutcome = [this](WriteSlot slot, const QByteArray& request, bool confirmed) {
        statusLine_->WriteEnded(slot, request, confirmed);
    };
    files_->onGroupResult = [this](const SetupFiles::GroupResult&) { statusLine_->GroupWritten(); };
    reader_.onReadAllProgress = [this](int block, int count) { statusLine_->SaveReading(block, count); };
    // A field that the user moves into (Tab, a click, an access key) names its range, as its tooltip
    // does, for the user at the keyboard; the focus the program puts back somewhere says nothing.
    auto* hints = new FocusHints(statusLine_, this);
    for (int f = 0; f < FieldCount; ++f) {
        if (QWidget* w = FieldWidget(static_cast<Field>(f))) {
            w->installEventFilter(hints);
        }
    }
    if (QWidget* campione = Named("Campione")) {
        campione->installEventFilter(hints);
    }
    // The log running: its file and rows, after each pass (the trend's own step has written the row).
    const auto showLog = [this] {
        statusLine_->ShowLog(trend_->Logging() ? trend_->Log().Path() : QString(), trend_->Log().Rows());
    };
    connect(this, &Form1::PassCompleted, this, showLog);
    connect(trend_->LogItem, &QAction::toggled, this, showLog);
    connect(trend_, &TrendControl::LogEnded, this, showLog);
}

void Form1::NoteSend(GroupId id) {
    // A group refused by its check queued nothing: its error label says so.
    if (!CheckGroup(id, set_)) {
        return;
    }
    const WriteSlot slot = Group(id).slot;
    const QByteArray& request = slot == WriteSlot::A ? m_.PendingWriteA : m_.PendingWriteB;
    if (!request.isEmpty()) {
        statusLine_->Awaiting(slot, id, request);
    }
}

void Form1::NoteFileAction(int action, bool ended) {
    if (action == 1 && !ended) {
        statusLine_->LoadStarting();
    } else if (action == 1) {
        statusLine_->LoadEnded(files_->LastLoad());
    } else if (action == 2 && ended && !files_->LastSaved().isEmpty()) {
        statusLine_->Saved(files_->LastSaved());
    }
}
