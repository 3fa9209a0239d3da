#pragma once

// The serial exchange of one screen: its port, its one-shot reply timer Timer1, and the
// send / receive / exchange of one request and its reply frame.
//
// Waiting for a reply never spins and never runs a nested event loop: ReceiveReply is a coroutine
// that suspends until the port has data or Timer1 fires, and the Qt event loop meanwhile runs the
// screen's handlers. Exchanges are strictly one at a time.

#include "loopwait.h"
#include "modulo1.h"
#include "replypacer.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QIODevice;
class TrafficLog;

// Used when a screen is handed a reply time-out of 0 ms or less (a missing or empty prog.ini line):
// such a time-out would leave the reply timer stopped and a receive without an answer would never
// end. 500 ms is well above what an instrument on the line needs at 19200 baud.
inline constexpr int DefaultReplyTimeoutMs = 500;

// The device a port number 1..6 leads to on this platform (see PortDeviceName in ports.h).
enum class OpenResult {
    Ok,
    InvalidPortNumber, // the port number names no port (outside 1..6)
    OpenFailed,        // the device is missing or busy
};

class SerialLink : public QObject {
    Q_OBJECT
public:
    explicit SerialLink(Modulo1& m, QObject* parent = nullptr);
    ~SerialLink() override;

    // Opens the serial device `deviceName` at 19200 baud, no parity, 8 data bits, 1 stop bit, no
    // handshake (on Linux a TtyPort, elsewhere a QSerialPort). The link remembers the name and reopens the
    // device when it comes back after a port error (a USB adapter pulled and plugged in again). A name
    // "tcp://HOST:PORT" connects to a serial device server in transparent mode instead: the same frames
    // travel over TCP. The connection is made in the background (the open is Ok once it is under way; a
    // request written meanwhile goes out when it is up), and a connection that the peer closes or that cannot
    // be made is tried again like a pulled adapter.
    OpenResult OpenPort(const QString& deviceName);
    // Uses an already open device instead (tests with scripted devices). The link does not own it.
    void UseDevice(QIODevice* device);
    void ClosePort();
    bool IsOpen() const;
    QString DeviceName() const { return deviceName_; }
    // Why the device could not be opened, as the system says it ("open: Permission denied").
    QString OpenErrorString() const;

    // Writes FrameBuffer to the port. Whatever was still waiting in the input (the late reply to an
    // earlier request, noise) is discarded first, so it cannot be taken for this request's answer.
    void SendRequest();
    // Collects one reply frame (":" .. CR LF) into FrameBuffer; empty after the time-out, which runs
    // for the whole reply. Characters before ":" are dropped.
    QCoro::Task<> ReceiveReply(int timeoutMs);
    // SendRequest followed by ReceiveReply. A second exchange while one is in flight is refused: it
    // sends nothing and leaves FrameBuffer empty (a failed exchange).
    QCoro::Task<> ExchangeFrame(int timeoutMs);

    // The adapter hands back every request before the reply (a USB-RS485 converter without echo
    // suppression): each receive that follows a request first drops exactly the request's own
    // characters from the start of what comes back. Off by default: the normal reply to a
    // single-register write is itself an exact copy of the request.
    void SetLocalEcho(bool on) { localEcho_ = on; }
    bool LocalEcho() const { return localEcho_; }
    // True once a read request (01, 02, 03, 04, 07) came back as its own copy with local echo off:
    // the adapter seems to echo. Such a copy is no reply; the exchange fails.
    bool EchoSuspected() const { return echoSuspected_; }
    // Whether the reply of the last exchange was such a copy.
    bool LastReplyWasEcho() const { return lastWasEcho_; }

    // Whether replies can be paced (a serial terminal on Linux, local echo off), and whether they are:
    // the line has shown the pace of 19200 baud, and after a request the port is not looked at until
    // the reply can be complete.
    bool CanPaceReplies() const;
    bool PacingReplies() const { return CanPaceReplies() && pacer_.Paced(); }

    // Why a device server over TCP cannot be talked to: None while the connection is up or being made,
    // and for a serial device. Stays set across the attempts to connect again until one succeeds.
    enum class Connection { Fine, Refused, Closed, Failed };
    Connection ConnectionProblem() const { return connectionProblem_; }
    // The system's words for a Failed connection.
    QString ConnectionProblemText() const { return connectionText_; }
    // True while the connection to a device server is up.
    bool TcpConnected() const;

    bool Busy() const { return busy_; }
    // Requests sent since the link was made (a pass that sent none waits for events instead).
    quint64 ExchangeCount() const { return exchanges_; }
    // Characters written to the port and characters taken from it for replies since the link was made
    // (what the line carried: the wire time of the exchanges).
    quint64 BytesSent() const { return bytesSent_; }
    quint64 BytesReceived() const { return bytesReceived_; }
    // Ends a waiting receive at once as if its time-out had run out (used when a screen closes).
    void CancelWait();

    // While `log` listens, each exchange is recorded there (request, what came back, outcome,
    // turnaround); while it does not, nothing is built. The log outlives the link.
    void SetTraffic(TrafficLog* log) { traffic_ = log; }
    TrafficLog* Traffic() const { return traffic_; }

    // The one-shot reply timer: interval 0 and stopped outside ReceiveReply.
    QTimer Timer1;

signals:
    // Emitted once, when EchoSuspected() becomes true.
    void EchoSuspectedChanged();
    // An exchange begins (its request goes out), and it ends: `answered` when a reply frame came.
    void ExchangeStarted();
    void ExchangeEnded(bool answered);
    // ConnectionProblem() changed.
    void ConnectionProblemChanged();
    // The connection to a device server is up.
    void Connected();

private:
    // `request`: what was just sent (its echo is dropped with local echo on); empty for a receive
    // without a request.
    QCoro::Task<> Receive(int timeoutMs, const QByteArray& request = {});
    QCoro::Task<> RecordedExchange(int timeoutMs);
    void Timer1_Timer();
    // Resumes a waiting receive (data on the port, Timer1's tick, the port gone, CancelWait) from the
    // event loop, never from inside the signal that woke it, so the resumed code may close the port
    // or end the screen safely.
    void Wake() { waker_.Notify(); }
    // Data on the port: while a receive waits, what came is taken in at once and the receive is woken
    // only when a line end is in, so that the chunks of one reply cost one resume, not one each.
    void DataArrived();
    bool TryReopen();
    OpenResult OpenTcp(const QString& host, quint16 port);
    void DropInput();
    bool NextChar(char& c);
    // Keeps a copy of what was just read while an exchange is recorded.
    void Capture(const QByteArray& chunk);
    void WriteRequest(const QByteArray& request);
    // On a serial line that keeps the pace of the wire, the port is not looked at after a request
    // before its reply can be complete (see ReplyPacer); EndPace ends that and tells the pacer how the
    // reply came.
    void PaceReply(const QByteArray& request);
    void EndPace(bool replied, quint64 receivedChars);
    // Notes when the latest chunk of a reply came, and whether it was in when a hold ran out.
    void StampChunk();

    Modulo1& m_;
    QPointer<QIODevice> port_;
    bool ownsPort_ = false;
    QString deviceName_;
    QByteArray pending_; // received but not yet consumed
    qsizetype pendingPos_ = 0;
    bool busy_ = false;
    quint64 exchanges_ = 0;
    quint64 bytesSent_ = 0;
    quint64 bytesReceived_ = 0;
    LoopWaker waker_;
    qint64 lastReopenTry_ = 0;
    Connection connectionProblem_ = Connection::Fine;
    QString connectionText_;
    // A request written while the TCP connection is still being made: it goes out once it is up
    // (never written to a socket that is not connected).
    QByteArray heldRequest_;
    bool localEcho_ = false;
    bool echoSuspected_ = false;
    bool lastWasEcho_ = false;
    TrafficLog* traffic_ = nullptr;
    bool capturing_ = false; // what is read goes into captured_ too (a recorded exchange)
    bool cancelled_ = false; // CancelWait ended the receive
    QByteArray captured_;
    ReplyPacer pacer_;
    qint64 sentNs_ = 0; // when the last request was written (SteadyNowNs)
    qint64 lastChunkNs_ = 0;
    bool lastChunkAtHoldEnd_ = false;
};
