#include "serial.h"

#include "frame.h"
#include "ports.h"
#include "traffic.h"
#ifdef Q_OS_LINUX
#include "ttyport.h"
#endif

#include <QDateTime>
#include <QElapsedTimer>
#include <QIODevice>
#include <QSerialPort>
#include <QTcpSocket>
#include <QtGlobal>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {
// Keeps the busy flag true for the lifetime of one exchange, also when the coroutine is destroyed.
struct BusyGuard {
    bool& flag;
    explicit BusyGuard(bool& f) : flag(f) { flag = true; }
    ~BusyGuard() { flag = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;
};
constexpr qint64 ReopenIntervalMs = 1000;
constexpr char TcpHostProperty[] = "quartelHost";
constexpr char TcpPortProperty[] = "quartelPort";

// Requests whose reply can never be a copy of the request: the reads.
bool IsReadRequest(const QByteArray& request) {
    static const QByteArray reads[] = {"01", "02", "03", "04", "07"};
    const QByteArray function = request.mid(3, 2);
    return std::find(std::begin(reads), std::end(reads), function) != std::end(reads);
}
// What a recorded exchange keeps of the characters that came back (noise can be endless).
constexpr qsizetype MaxCapturedChars = 1024;
} // namespace

SerialLink::SerialLink(Modulo1& m, QObject* parent) : QObject(parent), m_(m) {
    Timer1.setSingleShot(true);
    Timer1.setInterval(0);
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, &SerialLink::Timer1_Timer);
}

SerialLink::~SerialLink() {
    ClosePort();
}

OpenResult SerialLink::OpenPort(const QString& deviceName) {
    ClosePort();
    deviceName_ = deviceName;
    if (deviceName.isEmpty()) {
        return OpenResult::InvalidPortNumber;
    }
    if (IsTcpDevice(deviceName)) {
        QString host;
        quint16 tcpPort = 0;
        return ParseTcpDevice(deviceName, host, tcpPort) ? OpenTcp(host, tcpPort) : OpenResult::OpenFailed;
    }
#ifdef Q_OS_LINUX
    auto* port = new TtyPort(this);
    connect(port, &TtyPort::Gone, this, &SerialLink::Wake);
#else
    auto* port = new QSerialPort(this);
    port->setPortName(deviceName);
    connect(port, &QSerialPort::errorOccurred, this, [this, port](QSerialPort::SerialPortError e) {
        // A pulled USB adapter: close, let the exchange run into its time-out, reopen later.
        if (e == QSerialPort::ResourceError && port->isOpen()) {
            port->close();
            Wake();
        }
    });
#endif
    port_ = port;
    ownsPort_ = true;
    connect(port, &QIODevice::readyRead, this, &SerialLink::DataArrived);
    return TryReopen() ? OpenResult::Ok : OpenResult::OpenFailed;
}

bool SerialLink::TcpConnected() const {
    const auto* socket = qobject_cast<const QTcpSocket*>(port_.data());
    return socket && socket->state() == QAbstractSocket::ConnectedState;
}

OpenResult SerialLink::OpenTcp(const QString& host, quint16 tcpPort) {
    auto* socket = new QTcpSocket(this);
    socket->setProperty(TcpHostProperty, host);
    socket->setProperty(TcpPortProperty, tcpPort);
    port_ = socket;
    ownsPort_ = true;
    connect(socket, &QIODevice::readyRead, this, &SerialLink::DataArrived);
    connect(socket, &QAbstractSocket::connected, this, [this, socket] {
        // Frames are short: each goes out at once.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (connectionProblem_ != Connection::Fine) {
            connectionProblem_ = Connection::Fine;
            emit ConnectionProblemChanged();
        }
        if (!heldRequest_.isEmpty()) {
            socket->write(heldRequest_);
            socket->flush();
            heldRequest_.clear();
        }
        emit Connected();
    });
    // The peer went away or cannot be reached: like a pulled adapter, the exchange runs into its
    // time-out and a later request connects again. Closed from the event loop, not inside the
    // socket's own signal.
    const QPointer<QTcpSocket> watched(socket);
    const auto lost = [this, watched] {
        heldRequest_.clear();
        if (watched) {
            const Connection problem = watched->error() == QAbstractSocket::ConnectionRefusedError ? Connection::Refused
                                       : watched->error() == QAbstractSocket::RemoteHostClosedError
                                           ? Connection::Closed
                                           : Connection::Failed;
            if (watched->state() == QAbstractSocket::UnconnectedState && problem != connectionProblem_) {
                connectionProblem_ = problem;
                connectionText_ = watched->errorString();
                emit ConnectionProblemChanged();
            }
        }
        if (watched && watched->state() == QAbstractSocket::UnconnectedState && watched->isOpen()) {
            watched->close();
        }
        Wake();
    };
    connect(socket, &QAbstractSocket::disconnected, this, lost, Qt::QueuedConnection);
    connect(socket, &QAbstractSocket::errorOccurred, this, lost, Qt::QueuedConnection);
    return TryReopen() ? OpenResult::Ok : OpenResult::OpenFailed;
}

bool SerialLink::TryReopen() {
    if (auto* socket = qobject_cast<QTcpSocket*>(port_.data()); socket && ownsPort_) {
        lastReopenTry_ = QDateTime::currentMSecsSinceEpoch();
        socket->abort();
        socket->connectToHost(socket->property(TcpHostProperty).toString(),
                              quint16(socket->property(TcpPortProperty).toUInt()));
        return socket->state() != QAbstractSocket::UnconnectedState;
    }
    pacer_.Reset();
#ifdef Q_OS_LINUX
    auto* port = qobject_cast<TtyPort*>(port_.data());
#else
    auto* port = qobject_cast<QSerialPort*>(port_.data());
#endif
    if (!port || !ownsPort_) {
        return port_ && port_->isOpen();
    }
    lastReopenTry_ = QDateTime::currentMSecsSinceEpoch();
#ifdef Q_OS_LINUX
    return port->Open(deviceName_);
#else
    if (!port->open(QIODevice::ReadWrite)) {
        return false;
    }
    // 19200 baud, no parity, 8 data bits, 1 stop bit, no handshake.
    port->setBaudRate(QSerialPort::Baud19200);
    port->setParity(QSerialPort::NoParity);
    port->setDataBits(QSerialPort::Data8);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    return true;
#endif
}

void SerialLink::UseDevice(QIODevice* device) {
    ClosePort();
    port_ = device;
    ownsPort_ = false;
    if (device) {
        connect(device, &QIODevice::readyRead, this, &SerialLink::DataArrived);
    }
}

void SerialLink::ClosePort() {
    if (port_) {
        disconnect(port_, nullptr, this, nullptr);
        if (ownsPort_) {
            port_->close();
            delete port_.data();
        }
    }
    port_ = nullptr;
    ownsPort_ = false;
    pending_.clear();
    pendingPos_ = 0;
    Wake();
}

QString SerialLink::OpenErrorString() const {
    return port_ ? port_->errorString() : QString();
}

bool SerialLink::IsOpen() const {
    if (auto* socket = qobject_cast<QAbstractSocket*>(port_.data())) {
        // Connecting counts: a request written meanwhile goes out once the connection is up.
        return socket->isOpen() && socket->state() != QAbstractSocket::UnconnectedState;
    }
    return port_ && port_->isOpen();
}

void SerialLink::DropInput() {
    pending_.clear();
    pendingPos_ = 0;
    if (!IsOpen()) {
        return;
    }
#ifdef Q_OS_LINUX
    if (auto* tty = qobject_cast<TtyPort*>(port_.data())) {
        tty->ClearInput();
        return;
    }
#else
    if (auto* serial = qobject_cast<QSerialPort*>(port_.data())) {
        serial->clear(QSerialPort::Input);
    }
#endif
    if (IsOpen()) { // clearing a device that has gone away closes it
        port_->readAll();
    }
}

void SerialLink::SendRequest() {
    if (!IsOpen() && ownsPort_ && QDateTime::currentMSecsSinceEpoch() - lastReopenTry_ >= ReopenIntervalMs) {
        TryReopen();
    }
    DropInput();
    if (IsOpen()) {
        WriteRequest(m_.FrameBuffer);
        bytesSent_ += quint64(m_.FrameBuffer.size());
        if (auto* socket = qobject_cast<QAbstractSocket*>(port_.data());
            socket && socket->state() == QAbstractSocket::ConnectedState) {
            // Over TCP the request goes out at once too. While the connection is still being made it
            // waits in the socket's buffer and goes out once the connection is up.
            socket->flush();
        }
    }
}

void SerialLink::DataArrived() {
    if (!waker_.Waiting() || !IsOpen()) {
        // No receive waits: what came stays in the device until the next exchange drops or reads it.
        return;
    }
    StampChunk();
    // A waiting receive has consumed everything before: what is pending is what came since.
    const qsizetype from = pending_.size();
    const QByteArray chunk = port_->readAll();
    Capture(chunk);
    pending_.append(chunk);
    bytesReceived_ += quint64(chunk.size());
    if (pending_.indexOf('\n', from) >= 0) {
        Wake();
    }
}

void SerialLink::StampChunk() {
    lastChunkNs_ = SteadyNowNs();
#ifdef Q_OS_LINUX
    auto* tty = qobject_cast<TtyPort*>(port_.data());
    lastChunkAtHoldEnd_ = tty && tty->AtHoldEnd();
#else
    lastChunkAtHoldEnd_ = false;
#endif
}

bool SerialLink::CanPaceReplies() const {
    // With local echo the request's copy comes back too, while the request is still on the wire:
    // such a line is taken as it comes.
#ifdef Q_OS_LINUX
    return !localEcho_ && qobject_cast<TtyPort*>(port_.data()) != nullptr;
#else
    return false;
#endif
}

void SerialLink::PaceReply(const QByteArray& request) {
    const int replyChars = CanPaceReplies() ? ExpectedReplyChars(request) : 0;
    const qint64 until = pacer_.Sent(sentNs_, int(request.size()), replyChars);
#ifdef Q_OS_LINUX
    if (until > 0 && IsOpen()) {
        static_cast<TtyPort*>(port_.data())->HoldUntil(until);
    }
#else
    Q_UNUSED(until);
#endif
}

void SerialLink::EndPace(bool replied, quint64 receivedChars) {
#ifdef Q_OS_LINUX
    if (auto* tty = qobject_cast<TtyPort*>(port_.data())) {
        tty->ReleaseHold();
    }
#endif
    if (replied) {
        pacer_.Completed(lastChunkNs_, int(receivedChars), lastChunkAtHoldEnd_);
    }
}

void SerialLink::WriteRequest(const QByteArray& request) {
    sentNs_ = SteadyNowNs();
    if (auto* socket = qobject_cast<QAbstractSocket*>(port_.data());
        socket && socket->state() != QAbstractSocket::ConnectedState) {
        heldRequest_ = request;
        return;
    }
    port_->write(request);
}

void SerialLink::Capture(const QByteArray& chunk) {
    if (capturing_ && captured_.size() < MaxCapturedChars) {
        // Copied, never shared: what readAll() returns may hold a buffer far larger than its bytes.
        captured_.append(chunk.constData(), qMin(chunk.size(), MaxCapturedChars - captured_.size()));
    }
}

bool SerialLink::NextChar(char& c) {
    if (pendingPos_ >= pending_.size()) {
        pending_.clear();
        pendingPos_ = 0;
        if (!IsOpen() || port_->bytesAvailable() <= 0) {
            return false;
        }
        pending_ = port_->readAll();
        if (pending_.isEmpty()) {
            return false;
        }
        StampChunk();
        Capture(pending_);
        bytesReceived_ += quint64(pending_.size());
    }
    c = pending_.at(pendingPos_++);
    return true;
}

QCoro::Task<> SerialLink::ReceiveReply(int timeoutMs) {
    if (busy_) {
        // Exchanges are one at a time: the caller gets no reply, a failed exchange.
        qWarning("ReceiveReply refused: another exchange is in flight");
        m_.FrameBuffer.clear();
        co_return;
    }
    BusyGuard guard(busy_);
    co_await Receive(timeoutMs);
}

QCoro::Task<> SerialLink::ExchangeFrame(int timeoutMs) {
    if (busy_) {
        // Exchanges are one at a time. The caller's request is still in FrameBuffer: it must not be
        // taken for a reply (a block read would decode its own request as register values). The
        // exchange in flight writes its own reply into FrameBuffer when it ends.
        qWarning("ExchangeFrame refused: another exchange is in flight");
        if (traffic_ && traffic_->Listening()) {
            TrafficRecord record;
            record.timeMs = QDateTime::currentMSecsSinceEpoch();
            record.request = m_.FrameBuffer;
            record.outcome = TrafficOutcome::Refused;
            traffic_->Add(std::move(record), m_.LanguageIndex);
        }
        m_.FrameBuffer.clear();
        co_return;
    }
    BusyGuard guard(busy_);
    ++exchanges_;
    emit ExchangeStarted();
    if (traffic_ && traffic_->Listening()) {
        co_await RecordedExchange(timeoutMs);
    } else {
        const QByteArray request = m_.FrameBuffer;
        SendRequest();
        co_await Receive(timeoutMs, request);
    }
    emit ExchangeEnded(!m_.FrameBuffer.isEmpty());
}

QCoro::Task<> SerialLink::RecordedExchange(int timeoutMs) {
    TrafficRecord record;
    record.timeMs = QDateTime::currentMSecsSinceEpoch();
    record.request = m_.FrameBuffer;
    SendRequest();
    const bool sent = IsOpen();
    QElapsedTimer clock;
    clock.start();
    captured_.clear();
    cancelled_ = false;
    capturing_ = true;
    co_await Receive(timeoutMs, record.request);
    capturing_ = false;
    record.turnaroundUs = clock.nsecsElapsed() / 1000;
    record.received = std::exchange(captured_, QByteArray());
    record.reply = m_.FrameBuffer;
    if (!sent) {
        record.outcome = TrafficOutcome::NotSent;
    } else if (!record.reply.isEmpty()) {
        record.outcome = ClassifyReply(record.request, record.reply, &record.exceptionCode);
    } else if (lastWasEcho_) {
        record.outcome = TrafficOutcome::Echo;
    } else {
        record.outcome = cancelled_ ? TrafficOutcome::Cancelled : TrafficOutcome::TimeOut;
    }
    // The log belongs to the Application and outlives every screen and its link.
    traffic_->Add(std::move(record), m_.LanguageIndex);
}

QCoro::Task<> SerialLink::Receive(int timeoutMs, const QByteArray& request) {
    if (timeoutMs <= 0) {
        timeoutMs = DefaultReplyTimeoutMs;
    }
    QByteArray collected;
    bool started = false;
    bool complete = false;
    // With local echo, the request's own characters are dropped from the start of what comes back.
    const QByteArray echo = localEcho_ ? request : QByteArray();
    qsizetype echoed = 0; // characters of the echo dropped so far
    bool echoOver = echo.isEmpty();
    lastWasEcho_ = false;
    m_.ReplyTimedOut = 0;
    Timer1.setInterval(timeoutMs);
    Timer1.start();
    const quint64 receivedBefore = bytesReceived_;
    PaceReply(request);
    while (!complete && m_.ReplyTimedOut == 0) {
        char c;
        while (!complete && m_.ReplyTimedOut == 0 && NextChar(c)) {
            if (!echoOver) {
                if (c == echo.at(echoed)) {
                    echoOver = ++echoed == echo.size();
                    continue;
                }
                if (echoed > 0) {
                    echoOver = true;
                    if (c != ':') {
                        // No echo after all (the reply began like the request): what was held back
                        // is read as it came.
                        pending_ = echo.left(echoed) + c + pending_.mid(pendingPos_);
                        pendingPos_ = 0;
                        continue;
                    }
                    // A new frame starts: the echo was cut short and stays dropped.
                }
                // Before the echo has begun, c is noise and dropped like any noise.
            }
            if (!started) {
                // Noise and the tail of an earlier reply are dropped until the start of a frame.
                if (c == ':') {
                    started = true;
                    collected.reserve(64); // a reply of up to 13 registers grows in place
                    collected = ":";
                }
                continue;
            }
            collected.append(c);
            complete = c == '\n' && collected.size() >= 2 && collected.at(collected.size() - 2) == '\r';
        }
        if (!complete && m_.ReplyTimedOut == 0) {
            co_await waker_.Wait();
        }
    }
    // A read request that comes back as its own copy is no reply: the adapter seems to echo.
    if (complete && !localEcho_ && collected == request && IsReadRequest(request)) {
        complete = false;
        lastWasEcho_ = true;
        if (!echoSuspected_) {
            echoSuspected_ = true;
            emit EchoSuspectedChanged();
        }
    }
    EndPace(complete, bytesReceived_ - receivedBefore);
    // A frame cut by the time-out is thrown away whole.
    m_.FrameBuffer = complete ? collected : QByteArray();
    Timer1.stop();
    Timer1.setInterval(0);
}

void SerialLink::CancelWait() {
    if (busy_) {
        cancelled_ = true;
        m_.ReplyTimedOut = 1;
        Wake();
    }
}

void SerialLink::Timer1_Timer() {
    m_.ReplyTimedOut = 1;
    Wake();
}
