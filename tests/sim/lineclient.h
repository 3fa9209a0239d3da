#pragma once

// A minimal serial client for the simulator tests: opens a terminal device raw and non-blocking,
// collects whatever arrives (keeping each read as a separate chunk with its time) and writes frames.
// It shares no code with the utility's link layer or with the simulator.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QSocketNotifier>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

// ":" + body + LRC + CR LF, the LRC being the two's complement of the byte sum of the body.
inline QByteArray mbFrame(const QByteArray& body) {
    unsigned sum = 0;
    for (qsizetype i = 0; i + 1 < body.size(); i += 2)
        sum += body.mid(i, 2).toUInt(nullptr, 16);
    const unsigned lrc = (0x100 - (sum & 0xFF)) & 0xFF;
    return ":" + body + QByteArray::number(lrc, 16).rightJustified(2, '0').toUpper() + "\r\n";
}

class LineClient {
public:
    ~LineClient() { close(); }

    bool open(const QString& path) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return false;
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readAll(); });
        clock_.start();
        return true;
    }

    void close() {
        notifier_.reset();
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    void send(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
        }
    }

    void clear() {
        received.clear();
        chunks.clear();
        chunkTimesMs.clear();
    }

    // Waits until the received bytes end with `tail` (or the deadline passes).
    bool waitEndsWith(const QByteArray& tail, int timeoutMs = 3000) {
        return QTest::qWaitFor([&] { return received.endsWith(tail); }, timeoutMs);
    }
    // Waits for a complete frame (anything up to a CR LF).
    bool waitFrame(int timeoutMs = 3000) {
        return QTest::qWaitFor([&] { return received.contains("\r\n"); }, timeoutMs);
    }

    // Sends `request` and returns everything received up to the first CR LF (empty on time-out).
    QByteArray exchange(const QByteArray& request, int timeoutMs = 3000) {
        clear();
        send(request);
        if (!waitFrame(timeoutMs))
            return {};
        return received.left(received.indexOf("\r\n") + 2);
    }

    qint64 elapsedMs() const { return clock_.elapsed(); }

    QByteArray received;
    QList<QByteArray> chunks;
    QList<qint64> chunkTimesMs;

private:
    void readAll() {
        char buf[1024];
        for (;;) {
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0)
                return;
            received.append(buf, n);
            chunks.append(QByteArray(buf, n));
            chunkTimesMs.append(clock_.elapsed());
        }
    }

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QElapsedTimer clock_;
};
