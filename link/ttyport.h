#pragma once

// A serial device on Linux, driven directly: opened exclusively, raw at 19200 baud, 8 data bits, no
// parity, 1 stop bit, no handshake; what comes in is taken into a small buffer of its own as it
// arrives (so that nothing waits unread in the driver and the device is never watched in vain).
//
// Its announcements of new data can be held back until a given moment: a reply at 19200 baud comes
// in chunks (a UART hands over a few characters at a time), and a receive that knows when the whole
// reply can be in at the earliest is woken once, at that moment, instead of once a chunk.

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <termios.h>

class QSocketNotifier;

class TtyPort : public QIODevice {
    Q_OBJECT
public:
    explicit TtyPort(QObject* parent = nullptr);
    ~TtyPort() override;

    // Opens `path` (a device that is in use elsewhere is refused). False with errorString() set when
    // the device is missing, busy or not a terminal.
    bool Open(const QString& path);
    void close() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override { return out_.size(); }

    // Drops what the driver holds for reading and what is buffered.
    void ClearInput();

    // No readyRead before `deadlineNs` (CLOCK_MONOTONIC, std::chrono::steady_clock's): at that moment what
    // has come is taken in and announced at once, and announcements go on as they come. A new hold replaces
    // the one running; ReleaseHold ends it now.
    void HoldUntil(qint64 deadlineNs);
    void ReleaseHold();
    bool Holding() const { return holding_; }
    // True while readyRead is emitted for what was in when a hold ran out.
    bool AtHoldEnd() const { return atHoldEnd_; }

signals:
    // The device reported an error (an adapter pulled out, the far end of a terminal closed); it
    // has been closed.
    void Gone();

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    // The epoll set is ready: input, or the hold's timer ran out.
    void Ready();
    void TakeInput();
    bool HungUp() const;
    // Whether the epoll set watches the device's input (not while a hold runs).
    bool WatchInput(bool on);
    void Flush();
    void Fail(const QString& what);

    int fd_ = -1;
    int timerFd_ = -1; // runs out when a hold ends
    int pollFd_ = -1;  // epoll set of fd_ and timerFd_: what the event loop watches
    QSocketNotifier* pollNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QByteArray in_; // taken from the driver, not yet read; starts at inPos_
    qsizetype inPos_ = 0;
    QByteArray out_; // not yet taken by the driver
    termios saved_{};
    bool holding_ = false;
    bool atHoldEnd_ = false;
};
