#pragma once

// The simulator's end of a pseudo-terminal pair, and a timer with nanosecond deadlines.
// Internal to the simulator; tests and tools use Simulator (simulator.h).

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// Opens a pseudo-terminal, keeps the master end for itself and offers the slave's path to a client
// (QSerialPort or a plain open()). The slave is set raw once, through a descriptor the simulator keeps
// open for its whole life: the master then never sees a hang-up (EIO) when a client closes its side,
// and the line settings survive between clients.
//
// Reading is driven by a read notifier, writing by an outgoing buffer that is flushed without blocking
// and resumed by a write notifier when the terminal's buffer is full.
class SimPseudoTerminal : public QObject {
    Q_OBJECT
public:
    explicit SimPseudoTerminal(QObject* parent = nullptr);
    ~SimPseudoTerminal() override;

    bool open();
    void close();
    bool isOpen() const { return masterFd_ >= 0; }
    QString slavePath() const { return slavePath_; }
    QString errorString() const { return error_; }

    // Queues bytes for the line and writes as much as the terminal takes at once.
    void write(const QByteArray& bytes);
    // Bytes handed to write() so far, and bytes actually written to the master so far.
    qint64 queuedTotal() const { return queuedTotal_; }
    qint64 writtenTotal() const { return writtenTotal_; }
    // Drops what was queued but not yet written (counts it as written).
    void dropPending();

signals:
    // Bytes read from the master; `nowNs` is the monotonic time of the read.
    void received(const QByteArray& bytes, qint64 nowNs);
    // Emitted after each successful write to the master.
    void written(qint64 writtenTotal);

private:
    void onReadable();
    void flush();

    int masterFd_ = -1;
    int slaveFd_ = -1; // held open: keeps the terminal alive and raw between clients
    QString slavePath_;
    QString error_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QByteArray out_;
    qint64 queuedTotal_ = 0;
    qint64 writtenTotal_ = 0;
};

// A one-shot timer with an absolute deadline on the monotonic clock, in nanoseconds. On Linux it is a
// timerfd watched by a read notifier (precise to the event loop's latency); elsewhere a precise QTimer
// rounded up to the next millisecond, so it never fires early.
class SimDeadlineTimer : public QObject {
    Q_OBJECT
public:
    explicit SimDeadlineTimer(QObject* parent = nullptr);
    ~SimDeadlineTimer() override;

    void arm(qint64 deadlineNs);
    void disarm();
    bool armed() const { return armed_; }

signals:
    void fired();

private:
    void onFire();

    bool armed_ = false;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* timer_ = nullptr;
};

// Monotonic clock in nanoseconds (CLOCK_MONOTONIC, the clock QElapsedTimer uses on Linux).
qint64 simNowNs();
