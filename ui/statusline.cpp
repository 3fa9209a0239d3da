#include "statusline.h"

#include "form1.h"
#include "texts_help.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>

#include <utility>

namespace {
const QColor RequestColour(255, 170, 0);
const QColor ReplyColour(0, 200, 0);
constexpr int LightSize = 10;

qint64 NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

// --- LineHealthCounts ------------------------------------------------------------------------------------

void LineHealthCounts::Advance(qint64 nowMs) {
    const qint64 second = nowMs / 1000;
    for (Bucket& b : buckets_) {
        if (b.second >= 0 && b.second <= second - WindowSeconds) {
            answers_ -= b.answers;
            failures_ -= b.failures;
            b = Bucket{};
        }
    }
}

void LineHealthCounts::Add(qint64 nowMs, bool answered) {
    Advance(nowMs);
    const qint64 second = nowMs / 1000;
    Bucket& b = buckets_[size_t(second % WindowSeconds)];
    if (b.second != second) {
        answers_ -= b.answers;
        failures_ -= b.failures;
        b = Bucket{second, 0, 0};
    }
    if (answered) {
        ++b.answers;
        ++answers_;
    } else {
        ++b.failures;
        ++failures_;
    }
}

// --- StatusLine --------------------------------------------------------------------------------------------

StatusLine::StatusLine(QStatusBar* bar, const uint8_t& languageIndex, QObject* parent)
    : QObject(parent), bar_(bar), language_(languageIndex) {
    auto* indicator = new QWidget(bar);
    indicator->setObjectName(QStringLiteral("LineHealth"));
    auto* row = new QHBoxLayout(indicator);
    row->setContentsMargins(0, 0, 0, 0);
    request_ = new Shape(QStringLiteral("RequestLight"), RequestColour, LightSize, indicator);
    reply_ = new Shape(QStringLiteral("ReplyLight"), ReplyColour, LightSize, indicator);
    request_->SetFillStyle(Shape::Transparent);
    reply_->SetFillStyle(Shape::Transparent);
    health_ = new QLabel(indicator);
    health_->setObjectName(QStringLiteral("LineHealthCounts"));
    row->addWidget(request_);
    row->addWidget(reply_);
    row->addWidget(health_);
    log_ = new QLabel(bar);
    log_->setObjectName(QStringLiteral("LogLabel"));
    log_->setVisible(false);
    bar->addPermanentWidget(log_);
    bar->addPermanentWidget(indicator);
    ApplyLanguage();
}

QString StatusLine::Text(const char* key) const {
    return TextOf(texts::StatusBar(), QString::fromLatin1(key), language_);
}

void StatusLine::ApplyLanguage() {
    request_->setToolTip(Text("Request"));
    reply_->setToolTip(Text("Reply"));
    health_->parentWidget()->setToolTip(Text("LineHealthTip"));
    // As wide as the widest counts it shows, so that a new count moves nothing.
    health_->setMinimumWidth(
        health_->fontMetrics().horizontalAdvance(Text("LineHealth").arg(9999).arg(9999)));
    shownSecond_ = -1;
    ShowCounts(NowMs());
}

void StatusLine::Show(const QString& text) {
    loadEndShown_ = false;
    bar_->showMessage(text);
}

void StatusLine::FieldHint(const QString& text) {
    Show(text);
}

void StatusLine::ModeChanged() {
    if (loadEndShown_ && bar_->currentMessage() == loadEnd_) {
        bar_->clearMessage();
    }
    loadEndShown_ = false;
}

void StatusLine::ShowLog(const QString& path, qint64 rows) {
    const QString text =
        path.isEmpty() ? QString() : Text("Logging").arg(QFileInfo(path).fileName()).arg(rows);
    if (log_->text() != text) {
        log_->setText(text);
        log_->setToolTip(QDir::toNativeSeparators(path));
    }
    log_->setVisible(!text.isEmpty());
}

QString StatusLine::Message() const {
    return bar_->currentMessage();
}

void StatusLine::Awaiting(WriteSlot slot, GroupId id, const QByteArray& request) {
    awaited_[slot == WriteSlot::A ? 0 : 1] = Awaited{id, request};
}

void StatusLine::WriteEnded(WriteSlot slot, const QByteArray& request, bool confirmed) {
    std::optional<Awaited>& awaited = awaited_[slot == WriteSlot::A ? 0 : 1];
    if (!awaited || awaited->request != request) {
        return; // a request no send button is waiting for (commands, a load's writes)
    }
    const QString name = setupfile::GroupNames({awaited->id}, language_);
    awaited.reset();
    Show(Text(confirmed ? "SendConfirmed" : "SendNotConfirmed").arg(name));
}

void StatusLine::LoadStarting() {
    loadWritten_ = 0;
}

void StatusLine::GroupWritten() {
    ++loadWritten_;
    Show(Text("LoadProgress").arg(loadWritten_).arg(SetupFiles::GroupWritesPerLoad()));
}

void StatusLine::LoadEnded(const SetupFiles::LoadReport& report) {
    using Outcome = SetupFiles::LoadOutcome;
    if (report.outcome == Outcome::Stopped) {
        Show(Text("LoadStopped"));
        return;
    }
    if (report.outcome != Outcome::Loaded) {
        return; // cancelled, or refused with its message box
    }
    QList<GroupId> failed;
    for (const SetupFiles::GroupResult& g : report.groups) {
        if (!g.confirmed) {
            failed << g.group;
        }
    }
    const QString path = QDir::toNativeSeparators(report.path);
    Show(failed.isEmpty() ? Text("Loaded").arg(path)
                          : Text("LoadedWithFailures").arg(path, setupfile::GroupNames(failed, language_)));
    loadEnd_ = bar_->currentMessage();
    loadEndShown_ = true;
}

void StatusLine::SaveReading(int block, int count) {
    Show(Text("SaveReading").arg(block).arg(count));
}

void StatusLine::Saved(const QString& path) {
    Show(Text("Saved").arg(QDir::toNativeSeparators(path)));
}

void StatusLine::PdfWritten(const QString& path) {
    Show(Text("PdfWritten").arg(QDir::toNativeSeparators(path)));
}

void StatusLine::ExchangeStarted() {
    ++requests_;
}

void StatusLine::ExchangeEnded(bool answered) {
    replies_ += answered ? 1 : 0;
    const qint64 now = NowMs();
    counts_.Add(now, answered);
    ShowCounts(now);
}

void StatusLine::PassEnded() {
    const qint64 now = NowMs();
    if (now / 1000 != shownSecond_) {
        counts_.Advance(now);
        ShowCounts(now);
    }
}

void StatusLine::ShowCounts(qint64 nowMs) {
    // The text changes at most once a second.
    const qint64 second = nowMs / 1000;
    if (second == shownSecond_) {
        return;
    }
    shownSecond_ = second;
    // The lights tell whether requests went out and replies came in since the last look: steady while
    // the line is busy, so that a busy line repaints nothing.
    request_->SetFillStyle(std::exchange(requests_, 0) > 0 ? Shape::Solid : Shape::Transparent);
    reply_->SetFillStyle(std::exchange(replies_, 0) > 0 ? Shape::Solid : Shape::Transparent);
    const QString text = Text("LineHealth").arg(counts_.Answers()).arg(counts_.Failures());
    if (health_->text() != text) {
        health_->setText(text);
    }
}
