// The serial device as the link drives it on Linux, over a real pseudo-terminal: its line settings,
// one program at a time, the hold of its announcements, and a far end that goes away.

#include "replypacer.h"
#include "ttyport.h"

#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
// The far end of a pseudo-terminal: writes what the port is to receive, reads what it sent.
struct FarEnd {
    int master = -1;
    QString path;
    FarEnd() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) {
            path = QString::fromLocal8Bit(::ptsname(master));
        }
    }
    ~FarEnd() { Close(); }
    void Close() {
        if (master >= 0) {
            ::close(master);
            master = -1;
        }
    }
    bool Write(const QByteArray& bytes) const {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    QByteArray Read() const {
        char buffer[256];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        return n > 0 ? QByteArray(buffer, n) : QByteArray();
    }
};
} // namespace

class TestTtyPort : public QObject {
    Q_OBJECT
private slots:
    void lineSettingsAndOneProgramAtATime() {
        FarEnd far;
        QVERIFY(!far.path.isEmpty());
        TtyPort port;
        QVERIFY2(port.Open(far.path), qPrintable(port.errorString()));
        QVERIFY(port.isOpen());

        termios t{}; // the master end reports the terminal's settings
        QCOMPARE(::tcgetattr(far.master, &t), 0);
        QCOMPARE(::cfgetispeed(&t), speed_t(B19200));
        QCOMPARE(::cfgetospeed(&t), speed_t(B19200));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(t.c_iflag & (IXON | IXOFF | ICRNL), tcflag_t(0));

        TtyPort second;
        QVERIFY(!second.Open(far.path));
        QVERIFY(!second.errorString().isEmpty());
        port.close();
        QVERIFY(second.Open(far.path));

        QVERIFY(!TtyPort().Open(QStringLiteral("/nonexistent/tty")));
    }

    void writesAndReads() {
        FarEnd far;
        TtyPort port;
        QVERIFY(port.Open(far.path));
        QCOMPARE(port.write(":0107F8\r\n"), qint64(9));
        QByteArray sent;
        QTRY_COMPARE((sent += far.Read()), QByteArray(":0107F8\r\n"));

        QSignalSpy ready(&port, &QIODevice::readyRead);
        QVERIFY(far.Write(":010700F8\r\n"));
        QVERIFY(ready.wait(2000));
        QCOMPARE(port.bytesAvailable(), qint64(11));
        QCOMPARE(port.readAll(), QByteArray(":010700F8\r\n"));
        QCOMPARE(port.bytesAvailable(), qint64(0));

        // What came and was dropped is not read later.
        QVERIFY(far.Write("noise"));
        QVERIFY(ready.wait(2000));
        port.ClearInput();
        QCOMPARE(port.bytesAvailable(), qint64(0));
    }

    // Held: nothing is announced before the moment, and at that moment all that came is, at once.
    // Released early: what came is announced as it comes again.
    void holdAndRelease_data() {
        QTest::addColumn<bool>("release");
        QTest::newRow("runs out") << false;
        QTest::newRow("released") << true;
    }
    void holdAndRelease() {
        QFETCH(bool, release);
        FarEnd far;
        TtyPort port;
        QVERIFY(port.Open(far.path));
        qint64 announcedAt = 0;
        bool atHoldEnd = false;
        QByteArray announced;
        connect(&port, &QIODevice::readyRead, this, [&] {
            announcedAt = SteadyNowNs();
            atHoldEnd = port.AtHoldEnd();
            announced += port.readAll();
        });
        const qint64 until = SteadyNowNs() + (release ? 60'000 : 150) * qint64(1'000'000);
        port.HoldUntil(until);
        QVERIFY(port.Holding());
        QVERIFY(far.Write(":01030200"));
        QVERIFY(far.Write("05F5\r\n"));
        if (release) {
            port.ReleaseHold();
            QVERIFY(!port.Holding());
        }
        QTRY_COMPARE_WITH_TIMEOUT(announced, QByteArray(":0103020005F5\r\n"), 5000);
        QCOMPARE(atHoldEnd, !release);
        if (!release) {
            QVERIFY(announcedAt >= until);
            QVERIFY(!port.Holding());
        }
    }

    // The far end closes: the port reports it once, closes, and does not watch a dead device. Opened
    // again on another terminal, it announces the first reply as it comes, even when a hold was
    // running at the hang-up.
    void farEndGoesAway_data() {
        QTest::addColumn<bool>("held");
        QTest::newRow("not held") << false;
        QTest::newRow("during a hold") << true;
    }
    void farEndGoesAway() {
        QFETCH(bool, held);
        FarEnd far;
        TtyPort port;
        QVERIFY(port.Open(far.path));
        if (held) {
            port.HoldUntil(SteadyNowNs() + 60'000 * qint64(1'000'000));
            QVERIFY(port.Holding());
        }
        QSignalSpy gone(&port, &TtyPort::Gone);
        far.Close();
        QVERIFY(gone.wait(2000));
        QVERIFY(!port.isOpen());
        QCOMPARE(port.write("x"), qint64(-1));
        QCOMPARE(port.bytesAvailable(), qint64(0));

        FarEnd next;
        QVERIFY(port.Open(next.path));
        QVERIFY(!port.Holding());
        QSignalSpy ready(&port, &QIODevice::readyRead);
        QVERIFY(next.Write(":010700F8\r\n"));
        QVERIFY(ready.wait(5000));
        QCOMPARE(port.readAll(), QByteArray(":010700F8\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestTtyPort)
#include "test_ttyport.moc"
