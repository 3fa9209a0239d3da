#include "pty.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/timerfd.h>
#endif

qint64 simNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

SimPseudoTerminal::SimPseudoTerminal(QObject* parent) : QObject(parent) {}

SimPseudoTerminal::~SimPseudoTerminal() {
    close();
}

bool SimPseudoTerminal::open() {
    if (isOpen())
        return true;
    const auto fail = [this](const char* what) {
        error_ = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
        close();
        return false;
    };
    masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd_ < 0)
        return fail("posix_openpt");
    if (::grantpt(masterFd_) != 0)
        return fail("grantpt");
    if (::unlockpt(masterFd_) != 0)
        return fail("unlockpt");
    char name[PATH_MAX] = {};
#ifdef __linux__
    if (::ptsname_r(masterFd_, name, sizeof name) != 0)
        return fail("ptsname_r");
#else
    const char* n = ::ptsname(masterFd_);
    if (!n)
        return fail("ptsname");
    std::strncpy(name, n, sizeof name - 1);
#endif
    slavePath_ = QString::fromLocal8Bit(name);

    slaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveFd_ < 0)
        return fail("open slave");
    termios tio{};
    if (::tcgetattr(slaveFd_, &tio) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    if (::tcsetattr(slaveFd_, TCSANOW, &tio) != 0)
        return fail("tcsetattr");

    const int flags = ::fcntl(masterFd_, F_GETFL);
    if (flags < 0 || ::fcntl(masterFd_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");

    readNotifier_ = new QSocketNotifier(masterFd_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &SimPseudoTerminal::onReadable);
    writeNotifier_ = new QSocketNotifier(masterFd_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &SimPseudoTerminal::flush);
    error_.clear();
    return true;
}

void SimPseudoTerminal::close() {
    delete readNotifier_;
    readNotifier_ = nullptr;
    delete writeNotifier_;
    writeNotifier_ = nullptr;
    if (slaveFd_ >= 0)
        ::close(slaveFd_);
    if (masterFd_ >= 0)
        ::close(masterFd_);
    slaveFd_ = masterFd_ = -1;
    out_.clear();
}

void SimPseudoTerminal::onReadable() {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(masterFd_, buf, sizeof buf);
        if (n > 0) {
            const qint64 now = simNowNs();
            emit received(QByteArray(buf, n), now);
            if (!isOpen())
                return;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: drained. EIO cannot happen while the slave descriptor is held; if it does, the
        // notifier would fire continuously, so stop listening rather than spin.
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            readNotifier_->setEnabled(false);
        return;
    }
}

void SimPseudoTerminal::write(const QByteArray& bytes) {
    if (!isOpen() || bytes.isEmpty())
        return;
    out_.append(bytes);
    queuedTotal_ += bytes.size();
    flush();
}

void SimPseudoTerminal::dropPending() {
    writtenTotal_ += out_.size();
    out_.clear();
    if (writeNotifier_)
        writeNotifier_->setEnabled(false);
}

void SimPseudoTerminal::flush() {
    bool wrote = false;
    while (!out_.isEmpty()) {
        const ssize_t n = ::write(masterFd_, out_.constData(), size_t(out_.size()));
        if (n > 0) {
            out_.remove(0, n);
            writtenTotal_ += n;
            wrote = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN (terminal buffer full) or an error: wait for the write notifier
    }
    if (writeNotifier_)
        writeNotifier_->setEnabled(!out_.isEmpty());
    if (wrote)
        emit written(writtenTotal_);
}

SimDeadlineTimer::SimDeadlineTimer(QObject* parent) : QObject(parent) {
#ifdef __linux__
    fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &SimDeadlineTimer::onFire);
        return;
    }
#endif
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &SimDeadlineTimer::onFire);
}

SimDeadlineTimer::~SimDeadlineTimer() {
    delete notifier_;
    if (fd_ >= 0)
        ::close(fd_);
}

void SimDeadlineTimer::arm(qint64 deadlineNs) {
    armed_ = true;
#ifdef __linux__
    if (fd_ >= 0) {
        itimerspec when{};
        if (deadlineNs <= 0)
            deadlineNs = 1; // an all-zero value would disarm
        when.it_value.tv_sec = time_t(deadlineNs / 1000000000LL);
        when.it_value.tv_nsec = long(deadlineNs % 1000000000LL);
        ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &when, nullptr);
        return;
    }
#endif
    const qint64 remaining = deadlineNs - simNowNs();
    const qint64 ms = remaining <= 0 ? 0 : (remaining + 999999) / 1000000;
    timer_->start(int(qMin<qint64>(ms, INT_MAX)));
}

void SimDeadlineTimer::disarm() {
    armed_ = false;
#ifdef __linux__
    if (fd_ >= 0) {
        itimerspec when{};
        ::timerfd_settime(fd_, 0, &when, nullptr);
        return;
    }
#endif
    timer_->stop();
}

void SimDeadlineTimer::onFire() {
    if (fd_ >= 0) {
        quint64 expirations = 0;
        if (::read(fd_, &expirations, sizeof expirations) < 0 && errno == EAGAIN)
            return; // disarmed or re-armed after the notification was queued
    }
    armed_ = false;
    emit fired();
}
