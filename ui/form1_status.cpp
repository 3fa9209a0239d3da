// The main setup screen's status bar: what the sends, the setup files and the report came to, and the
// line-health indicator. Everything is told from events the screen has anyway.

#include "form1.h"

#include "rules.h"
#include "statusline.h"

#include <QStatusBar>

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
