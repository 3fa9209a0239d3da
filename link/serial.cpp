#include "serial.h"

#include <QDateTime>
#include <QIODevice>
#include <QSerialPort>
#include <QtGlobal>

#include <cerrno>
#include <utility>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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
    auto* port = new QSerialPort(this);
    port->setPortName(deviceName);
    port_ = port;
    ownsPort_ = true;
    connect(port, &QIODevice::readyRead, this, &SerialLink::DataArrived);
    connect(port, &QSerialPort::errorOccurred, this, [this, port](QSerialPort::SerialPortError e) {
        // A pulled USB adapter: close, let the exchange run into its time-out, reopen later.
        if (e == QSerialPort::ResourceError && port->isOpen()) {
            port->close();
            Wake();
        }
    });
    return TryReopen() ? OpenResult::Ok : OpenResult::OpenFailed;
}

bool SerialLink::TryReopen() {
    auto* port = qobject_cast<QSerialPort*>(port_.data());
    if (!port || !ownsPort_) {
        return port_ && port_->isOpen();
    }
    lastReopenTry_ = QDateTime::currentMSecsSinceEpoch();
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

bool SerialLink::IsOpen() const {
    return port_ && port_->isOpen();
}

void SerialLink::DropInput() {
    pending_.clear();
    pendingPos_ = 0;
    if (!IsOpen()) {
        return;
    }
    if (auto* serial = qobject_cast<QSerialPort*>(port_.data())) {
        serial->clear(QSerialPort::Input);
    }
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
    }
}

void SerialLink::DataArrived() {
    if (!waker_.Waiting() || !IsOpen()) {
        // No receive waits: what came stays in the device until the next exchange drops or reads it.
        return;
    }
    // A waiting receive has consumed everything before: what is pending is what came since.
    const qsizetype from = pending_.size();
    pending_.append(port_->readAll());
    if (pending_.indexOf('\n', from) >= 0) {
        Wake();
    }
}

void SerialLink::WriteRequest(const QByteArray& request) {
    // A request is a few dozen characters and the driver's buffer holds thousands: written straight
    // to the serial device it goes out at once, and the port's own write machinery (watch the device
    // until it takes more, then stop watching) costs no turns of the event loop. Whatever the driver
    // did not take goes the usual way.
    qsizetype written = 0;
#ifdef Q_OS_UNIX
    if (auto* serial = qobject_cast<QSerialPort*>(port_.data()); serial && serial->bytesToWrite() == 0) {
        const int fd = int(serial->handle());
        while (fd >= 0 && written < request.size()) {
            const ssize_t n = ::write(fd, request.constData() + written, size_t(request.size() - written));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            written += n;
        }
    }
#endif
    if (written < request.size()) {
        port_->write(request.constData() + written, request.size() - written);
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
        m_.FrameBuffer.clear();
        co_return;
    }
    BusyGuard guard(busy_);
    ++exchanges_;
    SendRequest();
    co_await Receive(timeoutMs);
}

QCoro::Task<> SerialLink::Receive(int timeoutMs) {
    if (timeoutMs <= 0) {
        timeoutMs = DefaultReplyTimeoutMs;
    }
    QByteArray collected;
    bool started = false;
    bool complete = false;
    m_.ReplyTimedOut = 0;
    Timer1.setInterval(timeoutMs);
    Timer1.start();
    while (!complete && m_.ReplyTimedOut == 0) {
        char c;
        while (!complete && m_.ReplyTimedOut == 0 && NextChar(c)) {
            if (!started) {
                // Noise and the tail of an earlier reply are dropped until the start of a frame.
                if (c == ':') {
                    started = true;
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
    // A frame cut by the time-out is thrown away whole.
    m_.FrameBuffer = complete ? collected : QByteArray();
    Timer1.stop();
    Timer1.setInterval(0);
}

void SerialLink::CancelWait() {
    if (busy_) {
        m_.ReplyTimedOut = 1;
        Wake();
    }
}

void SerialLink::Timer1_Timer() {
    m_.ReplyTimedOut = 1;
    Wake();
}
