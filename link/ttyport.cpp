#include "ttyport.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {
// What is kept of input nobody reads (noise on a line that is not being polled): the newest part.
constexpr qsizetype MaxBufferedInput = 64 * 1024;

QString SystemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

TtyPort::TtyPort(QObject* parent) : QIODevice(parent) {}

TtyPort::~TtyPort() {
    close();
}

bool TtyPort::Open(const QString& path) {
    close();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setErrorString(SystemError("open"));
        return false;
    }
    // One program at a time on a line: a lock other programs honour, and the terminal's own
    // exclusive mode against those that do not.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        setErrorString(errno == EWOULDBLOCK ? QStringLiteral("open: the device is in use")
                                            : SystemError("open"));
        ::close(fd);
        return false;
    }
    if (::tcgetattr(fd, &saved_) != 0) {
        setErrorString(SystemError("open")); // not a terminal
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    termios t = saved_;
    ::cfmakeraw(&t);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, B19200) != 0 || ::cfsetospeed(&t, B19200) != 0 ||
        ::tcsetattr(fd, TCSANOW, &t) != 0) {
        setErrorString(SystemError("settings"));
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    // The event loop watches one descriptor, an epoll set of the device and the hold's timer: a hold
    // changes what the set watches, not what the event loop watches (which would cost it extra
    // turns).
    const int pollFd = ::epoll_create1(EPOLL_CLOEXEC);
    const int timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    epoll_event timerEvent{};
    timerEvent.events = EPOLLIN;
    timerEvent.data.fd = timerFd;
    epoll_event ttyEvent{};
    ttyEvent.events = EPOLLIN;
    ttyEvent.data.fd = fd;
    if (pollFd < 0 || timerFd < 0 || ::epoll_ctl(pollFd, EPOLL_CTL_ADD, timerFd, &timerEvent) != 0 ||
        ::epoll_ctl(pollFd, EPOLL_CTL_ADD, fd, &ttyEvent) != 0) {
        setErrorString(SystemError("epoll"));
        for (int f : {pollFd, timerFd}) {
            if (f >= 0) {
                ::close(f);
            }
        }
        ::tcsetattr(fd, TCSANOW, &saved_);
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    pollFd_ = pollFd;
    timerFd_ = timerFd;
    pollNotifier_ = new QSocketNotifier(pollFd_, QSocketNotifier::Read, this);
    connect(pollNotifier_, &QSocketNotifier::activated, this, &TtyPort::Ready);
    writeNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &TtyPort::Flush);
    ::tcflush(fd_, TCIOFLUSH);
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    return true;
}

void TtyPort::close() {
    if (fd_ < 0) {
        return;
    }
    if (isOpen()) {
        QIODevice::close();
    }
    // Closing may happen inside a notifier's own signal (a device that failed): they go later.
    for (QSocketNotifier* n : {pollNotifier_, writeNotifier_}) {
        if (n) {
            n->setEnabled(false);
            n->deleteLater();
        }
    }
    pollNotifier_ = writeNotifier_ = nullptr;
    ::tcsetattr(fd_, TCSANOW, &saved_);
    ::ioctl(fd_, TIOCNXCL);
    for (int* f : {&fd_, &pollFd_, &timerFd_}) {
        ::close(*f);
        *f = -1;
    }
    in_.clear();
    inPos_ = 0;
    out_.clear();
    holding_ = false;
}

qint64 TtyPort::bytesAvailable() const {
    return in_.size() - inPos_ + QIODevice::bytesAvailable();
}

void TtyPort::ClearInput() {
    if (fd_ >= 0) {
        ::tcflush(fd_, TCIFLUSH);
    }
    in_.resize(0);
    inPos_ = 0;
}

qint64 TtyPort::readData(char* data, qint64 maxSize) {
    const qint64 n = qMin<qint64>(maxSize, in_.size() - inPos_);
    std::memcpy(data, in_.constData() + inPos_, size_t(n));
    inPos_ += n;
    if (inPos_ == in_.size()) {
        in_.resize(0); // keeps its room for the next reply
        inPos_ = 0;
    }
    return n;
}

qint64 TtyPort::writeData(const char* data, qint64 size) {
    if (fd_ < 0) {
        return -1;
    }
    qint64 written = 0;
    while (out_.isEmpty() && written < size) {
        const ssize_t n = ::write(fd_, data + written, size_t(size - written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            setErrorString(SystemError("write"));
            return -1;
        }
        if (n <= 0) {
            break;
        }
        written += n;
    }
    if (written < size) {
        // The driver's buffer is full: the rest goes out as it takes more.
        out_.append(data + written, size - written);
        writeNotifier_->setEnabled(true);
    }
    return size;
}

void TtyPort::Flush() {
    while (!out_.isEmpty()) {
        const ssize_t n = ::write(fd_, out_.constData(), size_t(out_.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            Fail(SystemError("write"));
            return;
        }
        if (n <= 0) {
            return;
        }
        out_.remove(0, n);
    }
    writeNotifier_->setEnabled(false);
}

void TtyPort::TakeInput() {
    qsizetype taken = 0;
    for (;;) {
        char chunk[512];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            // EIO: an adapter pulled out, the far end of a pseudo-terminal closed.
            Fail(SystemError("read"));
            return;
        }
        if (n > 0) {
            in_.append(chunk, n);
            taken += n;
        }
        // A terminal that has nothing more reads as 0 characters; a chunk that did not fill the
        // buffer was all there was (more is reported again).
        if (n < qsizetype(sizeof chunk)) {
            break;
        }
    }
    if (taken == 0 && HungUp()) {
        // Reported readable with nothing to read: a terminal that was hung up would be reported so
        // for ever.
        Fail(QStringLiteral("read: the device hung up"));
        return;
    }
    if (in_.size() - inPos_ > MaxBufferedInput) {
        in_.remove(0, in_.size() - MaxBufferedInput);
        inPos_ = 0;
    }
    if (taken > 0) {
        emit readyRead();
    }
}

bool TtyPort::HungUp() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void TtyPort::Ready() {
    if (!holding_) {
        TakeInput();
        return;
    }
    quint64 expirations = 0;
    if (::read(timerFd_, &expirations, sizeof expirations) > 0) {
        WatchInput(true);
        atHoldEnd_ = true;
        TakeInput();
        atHoldEnd_ = false;
    } else if (HungUp()) {
        // A hung-up terminal is reported even while its input is not watched.
        TakeInput();
    }
}

bool TtyPort::WatchInput(bool on) {
    epoll_event event{};
    event.events = on ? uint32_t(EPOLLIN) : 0u;
    event.data.fd = fd_;
    holding_ = !on;
    return ::epoll_ctl(pollFd_, EPOLL_CTL_MOD, fd_, &event) == 0;
}

void TtyPort::HoldUntil(qint64 deadlineNs) {
    if (fd_ < 0) {
        return;
    }
    itimerspec when{};
    when.it_value.tv_sec = time_t(deadlineNs / 1'000'000'000);
    when.it_value.tv_nsec = long(deadlineNs % 1'000'000'000);
    if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0) {
        when.it_value.tv_nsec = 1; // zero would disarm: a moment long past
    }
    if (::timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &when, nullptr) != 0 || !WatchInput(false)) {
        WatchInput(true);
    }
}

void TtyPort::ReleaseHold() {
    if (!holding_ || fd_ < 0) {
        return;
    }
    const itimerspec off{};
    ::timerfd_settime(timerFd_, 0, &off, nullptr);
    WatchInput(true);
}

void TtyPort::Fail(const QString& what) {
    setErrorString(what);
    close();
    emit Gone();
}
