#pragma once

// The traffic on the line: one record per exchange (the request as sent, every character that came
// back, what became of it, how long the instrument took), the decoding of a request and its reply into
// function, register, count and values, and the one line of text a record is shown and written as.
//
// The link makes a record only while a TrafficLog listens (the traffic window is open or a trace file
// is written); while nobody listens an exchange costs one check of a flag. The log keeps the last
// records in a bounded ring, counts exchanges, failures and the mean turnaround, and writes each line
// to the trace file when there is one.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

// What became of an exchange. New outcomes are added before Count; each needs its text in
// TrafficOutcomeText and its place in IsFailure.
enum class TrafficOutcome : uint8_t {
    Ok,            // a whole, well-formed reply from the address asked, to the function asked
    TimeOut,       // no whole frame before the time-out (what came is kept in TrafficRecord::received)
    BadLrc,        // a whole frame whose LRC is wrong
    Exception,     // an exception reply; TrafficRecord::exceptionCode says which
    WrongAddress,  // a reply from another address
    WrongFunction, // a reply to another function
    WrongLength,   // the byte count does not fit the request or the data that follow it
    BadFrame,      // a frame that is not MODBUS ASCII (not hex, odd length, too short)
    NotSent,       // the port was not open: the request did not go out
    Refused,       // another exchange was on the wire: nothing was sent
    Cancelled,     // the screen closed while the exchange waited for its reply
    Echo,          // a read request came back as its own copy with local echo off: the adapter seems to echo
    Count
};

struct TrafficRecord {
    qint64 timeMs = 0;       // when the request went out, milliseconds since the epoch
    QByteArray request;      // as sent
    QByteArray received;     // every character read during the exchange (noise, a cut frame)
    QByteArray reply;        // the frame the link accepted; empty when none
    qint64 turnaroundUs = 0; // from the request written to the reply complete (or the time-out)
    TrafficOutcome outcome = TrafficOutcome::Ok;
    uint8_t exceptionCode = 0; // with TrafficOutcome::Exception
};

// A request and its reply taken apart. Register values are unsigned 16-bit; for coils and inputs each
// value is one bit (0 or 1), the first coil first; for the status byte one value, the byte.
struct DecodedExchange {
    int address = -1;  // -1: the request is not a frame
    int function = -1; // of the request
    int start = -1;    // first register or coil; -1 when the function has none (07)
    int count = 0;     // registers or coils; 0 when the function has none
    QList<uint16_t> values;
};

// The request's function, register, count and the values written (from the request) or read (from a
// well-formed reply whose outcome is Ok).
DecodedExchange DecodeExchange(const QByteArray& request, const QByteArray& reply, TrafficOutcome outcome);
// What becomes of a whole reply frame to `request` (never TimeOut, NotSent, Refused or Cancelled).
// `exceptionCode` gets the code of an exception reply.
TrafficOutcome ClassifyReply(const QByteArray& request, const QByteArray& reply, uint8_t* exceptionCode);
bool IsFailure(TrafficOutcome outcome);

// Texts in the language of the program (LanguageIndex 1 English, else Italian).
QString TrafficOutcomeText(TrafficOutcome outcome, uint8_t exceptionCode, int languageIndex);
QString ExceptionMeaning(uint8_t code, int languageIndex);
// "@01 03 read holding 1050 x1 (division code): 7"
QString DecodedText(const DecodedExchange& decoded, int languageIndex);
// A frame as text: the CR LF that ends a frame is left out, other control characters show as <0D>.
QString FrameText(const QByteArray& frame);
// The one line of a record: time stamp, outcome, turnaround, decoding, request and what came back.
QString TrafficLine(const TrafficRecord& record, int languageIndex);

class TrafficLog : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultCapacity = 10000;
    // How often the trace file is flushed while records arrive.
    static constexpr int FlushIntervalMs = 1000;

    explicit TrafficLog(int capacity = DefaultCapacity, QObject* parent = nullptr);
    ~TrafficLog() override;

    // Whether the link is to make records: a watcher is there or a trace file is written.
    bool Listening() const { return watchers_ > 0 || trace_ != nullptr; }
    void AddWatcher() { ++watchers_; }
    void RemoveWatcher() {
        if (watchers_ > 0) {
            --watchers_;
        }
    }
    int Watchers() const { return watchers_; }

    // Writes every line to `path` from now on (the file is truncated). False, with `error`, when the
    // file cannot be opened.
    bool OpenTrace(const QString& path, QString* error = nullptr);
    void CloseTrace();
    QString TracePath() const;
    void FlushTrace();

    // Keeps the record (the oldest goes once the ring is full), counts it and writes its line to the
    // trace file in the language given.
    void Add(TrafficRecord record, int languageIndex);
    // Empties the ring and resets the counters (the trace file goes on).
    void Clear();

    int Capacity() const { return capacity_; }
    int Size() const { return int(ring_.size()); }
    // The i-th record kept, the oldest first.
    const TrafficRecord& At(int i) const;
    // Records added since the log was made (also those gone from the ring or cleared).
    quint64 Sequence() const { return sequence_; }
    // The records kept whose sequence number is `since` or later (record n has number n, from 0).
    QList<TrafficRecord> Since(quint64 since) const;

    quint64 Exchanges() const { return exchanges_; }
    quint64 Failures() const { return failures_; }
    // Over the exchanges that got a whole frame back; 0 with none.
    double MeanTurnaroundMs() const;

signals:
    void Cleared();

private:
    int capacity_;
    std::vector<TrafficRecord> ring_;
    qsizetype head_ = 0; // index of the oldest record once the ring is full
    quint64 sequence_ = 0;
    int watchers_ = 0;
    quint64 exchanges_ = 0;
    quint64 failures_ = 0;
    quint64 answered_ = 0;
    qint64 turnaroundSumUs_ = 0;
    std::unique_ptr<QFile> trace_;
    QTimer flushTimer_;
};
