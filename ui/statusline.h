#pragma once

// The status bar of the main setup screen: what became of each group sent with its button, a setup
// file's load (group i of n, then its end), a file saved, the report written as a PDF file, and the
// line-health indicator: answers and failed exchanges of the last minute, a light that is lit while
// requests go out and one that is lit while replies come in.
//
// Nothing here runs by itself: every change comes from an event the screen has anyway (an exchange
// beginning or ending, a write confirmed or dropped, a pass of the loop). An exchange only counts; the
// indicator is looked at once a second, so a busy line costs one small repaint a second at most.

#include "parameterset.h"
#include "setupfile.h"
#include "writequeue.h"

#include <QObject>

#include <array>
#include <optional>

class QLabel;
class QStatusBar;
class Shape;

// Answers and failed exchanges in the last minute, counted in one-second buckets that are moved on by
// the time of each event.
class LineHealthCounts {
public:
    static constexpr int WindowSeconds = 60;

    void Add(qint64 nowMs, bool answered);
    // Forgets the seconds that have left the window.
    void Advance(qint64 nowMs);
    int Answers() const { return answers_; }
    int Failures() const { return failures_; }

private:
    struct Bucket {
        qint64 second = -1;
        int answers = 0;
        int failures = 0;
    };
    std::array<Bucket, WindowSeconds> buckets_{};
    int answers_ = 0;
    int failures_ = 0;
};

class StatusLine : public QObject {
    Q_OBJECT
public:
    StatusLine(QStatusBar* bar, const uint8_t& languageIndex, QObject* parent = nullptr);

    // --- sends ---
    // A send button queued its group's request in the slot: its end is told when it comes.
    void Awaiting(WriteSlot slot, GroupId id, const QByteArray& request);
    void WriteEnded(WriteSlot slot, const QByteArray& request, bool confirmed);

    // --- setup files ---
    void LoadStarting();
    void GroupWritten();
    void LoadEnded(const SetupFiles::LoadReport& report);
    // The full read before a save reads block `block` of `count`.
    void SaveReading(int block, int count);
    void Saved(const QString& path);
    void PdfWritten(const QString& path);

    // --- the keyboard user and the modes ---
    // A field got the focus: its range (the text of its tooltip).
    void FieldHint(const QString& text);
    // Setup mode entered or left, or the exit question asked: a finished load's message goes.
    void ModeChanged();
    // The weight log running: its file and the rows written so far; an empty path: no log.
    void ShowLog(const QString& path, qint64 rows);
    QLabel* LogLabel() const { return log_; }

    // --- the line ---
    void ExchangeStarted();
    void ExchangeEnded(bool answered);
    // A pass of the loop ended (also the idle passes of offline editing): the counts move on.
    void PassEnded();

    // The message shown, and the indicator's parts (tests).
    QString Message() const;
    const LineHealthCounts& Counts() const { return counts_; }
    QLabel* HealthLabel() const { return health_; }
    Shape* RequestLight() const { return request_; }
    Shape* ReplyLight() const { return reply_; }

    // Captions of the indicator in the language.
    void ApplyLanguage();

private:
    QString Text(const char* key) const;
    void Show(const QString& text);
    void ShowCounts(qint64 nowMs);

    QStatusBar* bar_;
    const uint8_t& language_;
    QLabel* health_;
    QLabel* log_;
    QString loadEnd_;           // the message of the last load's end
    bool loadEndShown_ = false; // and it is the message on show
    Shape* request_;
    Shape* reply_;
    LineHealthCounts counts_;
    qint64 shownSecond_ = -1;
    int requests_ = 0; // since the indicator was last shown
    int replies_ = 0;
    struct Awaited {
        GroupId id;
        QByteArray request;
    };
    std::array<std::optional<Awaited>, 2> awaited_{}; // by slot A, B
    int loadWritten_ = 0;
};
