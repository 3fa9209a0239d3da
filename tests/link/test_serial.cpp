// The receive rules of the serial exchange against a scripted port: start, end and time-out of a
// reply frame, whatever pieces the port delivers.

#include "../support/coro.h"
#include "../support/scripteddevice.h"

#include "frame.h"
#include "ports.h"
#include "serial.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using Pieces = QList<QByteArray>;

class TestSerial : public QObject {
    Q_OBJECT

    static constexpr int TimeoutMs = 150;

private slots:
    // Local echo: the request's own characters are dropped from the start of what comes back, and the
    // reply that follows is read. Without the setting nothing is dropped; a read request that comes
    // back as its own copy is then no reply, and the link suspects an echoing adapter.
    void localEcho_data() {
        QTest::addColumn<bool>("localEcho");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<Pieces>("pieces");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<bool>("suspected");
        const QByteArray read = BuildRequest(1, 3, ReadBody(0x1050, 1)); // ":01031050000198\r\n"
        const QByteArray reply = ":0103020005F5\r\n";
        const QByteArray status = BuildRequest(1, 7, {}); // ":0107F8\r\n"
        const QByteArray statusReply = ":010704F4\r\n";
        QVERIFY(CheckReply(statusReply, "07"));
        const QByteArray write = BuildRequest(1, 6, WriteSingleBody(0x0802, "0000"));
        QTest::newRow("exact echo dropped") << true << read << Pieces{read + reply} << reply << false;
        QTest::newRow("echo and reply in pieces of their own")
            << true << read << Pieces{read, reply} << reply << false;
        QTest::newRow("echo split over chunks")
            << true << read
            << Pieces{read.left(4), read.mid(4, 7), read.mid(11) + reply.left(5), reply.mid(5)} << reply
            << false;
        QTest::newRow("partial echo, cut short, then the reply")
            << true << read << Pieces{read.left(7), reply} << reply << false;
        QTest::newRow("noise before the echo")
            << true << read << Pieces{"\n" + read + reply} << reply << false;
        QTest::newRow("no echo after all: the reply that begins like the request is read")
            << true << read << Pieces{reply} << reply << false;
        QTest::newRow("echo alone, no reply: time-out")
            << true << read << Pieces{read} << QByteArray() << false;
        QTest::newRow("06 with echo: the copy after the echo is the reply")
            << true << write << Pieces{write, write} << write << false;
        QTest::newRow("status request with echo")
            << true << status << Pieces{status + statusReply} << statusReply << false;
        QTest::newRow("setting off, 06 reply is an exact copy: nothing dropped")
            << false << write << Pieces{write} << write << false;
        QTest::newRow("setting off, normal reply") << false << read << Pieces{reply} << reply << false;
        QTest::newRow("setting off, status request comes back as its copy")
            << false << status << Pieces{status} << QByteArray() << true;
        QTest::newRow("setting off, 03 request comes back as its copy")
            << false << read << Pieces{read} << QByteArray() << true;
        QTest::newRow("setting off, 04 copy")
            << false << BuildRequest(1, 4, ReadBody(0, 1)) << Pieces{BuildRequest(1, 4, ReadBody(0, 1))}
            << QByteArray() << true;
        QTest::newRow("setting off, 01 copy")
            << false << BuildRequest(1, 1, ReadBody(0, 2)) << Pieces{BuildRequest(1, 1, ReadBody(0, 2))}
            << QByteArray() << true;
        QTest::newRow("setting off, 02 copy")
            << false << BuildRequest(1, 2, ReadBody(0, 2)) << Pieces{BuildRequest(1, 2, ReadBody(0, 2))}
            << QByteArray() << true;
    }
    void localEcho() {
        QFETCH(bool, localEcho);
        QFETCH(QByteArray, request);
        QFETCH(Pieces, pieces);
        QFETCH(QByteArray, expected);
        QFETCH(bool, suspected);
        Modulo1 m;
        SerialLink link(m);
        link.SetLocalEcho(localEcho);
        QSignalSpy spy(&link, &SerialLink::EchoSuspectedChanged);
        ScriptedDevice port([&](const QByteArray&) { return pieces; });
        link.UseDevice(&port);
        m.FrameBuffer = request;
        auto run = Start([&]() { return link.ExchangeFrame(TimeoutMs); });
        QTRY_VERIFY(run.done());
        QCOMPARE(port.requests, QList<QByteArray>{request});
        QCOMPARE(m.FrameBuffer, expected);
        QCOMPARE(link.EchoSuspected(), suspected);
        QCOMPARE(link.LastReplyWasEcho(), suspected);
        QCOMPARE(spy.count(), suspected ? 1 : 0);
        // A receive without a request (the swallow of the line) drops nothing and suspects nothing.
        port.Arrive(request);
        auto swallow = Start([&]() { return link.ReceiveReply(TimeoutMs); });
        QTRY_VERIFY(swallow.done());
        QCOMPARE(m.FrameBuffer, request);
        QCOMPARE(spy.count(), suspected ? 1 : 0);
    }

    // tcp://HOST:PORT names a serial device server.
    void tcpDeviceNames_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("address") << "tcp://127.0.0.1:5020" << true << "127.0.0.1" << 5020;
        QTest::newRow("name, upper case scheme")
            << "TCP://moxa-3.plant:4001" << true << "moxa-3.plant" << 4001;
        QTest::newRow("IPv6 in brackets") << "tcp://[::1]:502" << true << "::1" << 502;
        QTest::newRow("port 1") << "tcp://h:1" << true << "h" << 1;
        QTest::newRow("port 65535") << "tcp://h:65535" << true << "h" << 65535;
        QTest::newRow("port 0") << "tcp://h:0" << false << "" << 0;
        QTest::newRow("port 65536") << "tcp://h:65536" << false << "" << 0;
        QTest::newRow("no port") << "tcp://h" << false << "" << 0;
        QTest::newRow("no host") << "tcp://:502" << false << "" << 0;
        QTest::newRow("IPv6 without brackets") << "tcp://::1:502" << false << "" << 0;
        QTest::newRow("a path after the port") << "tcp://h:502/x" << false << "" << 0;
        QTest::newRow("serial device") << "/dev/ttyUSB0" << false << "" << 0;
    }
    void tcpDeviceNames() {
        QFETCH(QString, device);
        QFETCH(bool, valid);
        QFETCH(QString, host);
        QFETCH(int, port);
        QString gotHost;
        quint16 gotPort = 0;
        QCOMPARE(ParseTcpDevice(device, gotHost, gotPort), valid);
        QCOMPARE(IsTcpDevice(device), device.startsWith("tcp://", Qt::CaseInsensitive));
        if (valid) {
            QCOMPARE(gotHost, host);
            QCOMPARE(int(gotPort), port);
        }
    }

    void receiveRules_data() {
        QTest::addColumn<Pieces>("pieces");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray frame = ":0103020005F5\r\n";
        QTest::newRow("whole frame") << Pieces{frame} << frame;
        QTest::newRow("in pieces") << Pieces{":01", "0302", "0005", "F5\r", "\n"} << frame;
        QTest::newRow("stray LF before the start") << Pieces{"\n" + frame} << frame;
        QTest::newRow("noise and an old tail before the start") << Pieces{"xx5F\r\n", frame} << frame;
        QTest::newRow("CR inside the data does not end the frame")
            << Pieces{":0103\r20005F5\r\n"} << QByteArray(":0103\r20005F5\r\n");
        QTest::newRow("frame cut by the time-out is dropped") << Pieces{":010302"} << QByteArray();
        QTest::newRow("CR without LF at the end is cut") << Pieces{":0103020005F5\r"} << QByteArray();
        QTest::newRow("silence") << Pieces{} << QByteArray();
        QTest::newRow("only what follows the first frame is left behind")
            << Pieces{frame + ":0103020006F4\r\n"} << frame;
    }
    void receiveRules() {
        QFETCH(Pieces, pieces);
        QFETCH(QByteArray, expected);
        Modulo1 m;
        SerialLink link(m);
        ScriptedDevice port([&](const QByteArray&) { return pieces; });
        link.UseDevice(&port);
        m.FrameBuffer = BuildRequest(1, 3, ReadBody(0x1050, 1));
        auto run = Start([&]() { return link.ExchangeFrame(TimeoutMs); });
        QTRY_VERIFY(run.done());
        QCOMPARE(m.FrameBuffer, expected);
        QCOMPARE(m.ReplyTimedOut, uint8_t(expected.isEmpty() ? 1 : 0));
        // The reply timer is idle outside a receive.
        QVERIFY(!link.Timer1.isActive());
        QCOMPARE(link.Timer1.interval(), 0);
        QVERIFY(!link.Busy());
    }

    void lateReplyToAnEarlierRequestIsDiscarded() {
        Modulo1 m;
        SerialLink link(m);
        int n = 0;
        ScriptedDevice port([&](const QByteArray&) {
            // The first request is answered too late; the second at once.
            return ++n == 1 ? Pieces{} : Pieces{":0103020006F4\r\n"};
        });
        link.UseDevice(&port);
        m.FrameBuffer = BuildRequest(1, 3, ReadBody(0x1050, 1));
        auto first = Start([&]() { return link.ExchangeFrame(TimeoutMs); });
        QTRY_VERIFY(first.done());
        QVERIFY(m.FrameBuffer.isEmpty());
        port.Arrive(":0103020005F5\r\n"); // the late answer to the first request
        m.FrameBuffer = BuildRequest(1, 3, ReadBody(0x1050, 1));
        auto second = Start([&]() { return link.ExchangeFrame(TimeoutMs); });
        QTRY_VERIFY(second.done());
        QCOMPARE(m.FrameBuffer, QByteArray(":0103020006F4\r\n"));
    }

    void zeroTimeoutFallsBackToTheDefault() {
        Modulo1 m;
        SerialLink link(m);
        ScriptedDevice port([&](const QByteArray&) { return Pieces{}; });
        link.UseDevice(&port);
        QElapsedTimer clock;
        clock.start();
        auto run = Start([&]() { return link.ReceiveReply(0); });
        QVERIFY(link.Timer1.isActive());
        QCOMPARE(link.Timer1.interval(), DefaultReplyTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(run.done(), 5 * DefaultReplyTimeoutMs);
        QVERIFY(m.FrameBuffer.isEmpty());
    }

    void secondExchangeWhileOneIsInFlightIsRefused() {
        Modulo1 m;
        SerialLink link(m);
        ScriptedDevice port([&](const QByteArray&) { return Pieces{}; });
        link.UseDevice(&port);
        m.FrameBuffer = BuildRequest(1, 7, {});
        auto first = Start([&]() { return link.ExchangeFrame(TimeoutMs); });
        QVERIFY(link.Busy());
        QTest::ignoreMessage(QtWarningMsg, "ExchangeFrame refused: another exchange is in flight");
        // A block read that passes its own "03" check if it were taken for the reply.
        m.FrameBuffer = ":010310000007E5\r\n";
        QVERIFY(CheckReply(m.FrameBuffer, "03"));
        auto second = Start([&]() { return link.ExchangeFrame(TimeoutMs); });
        QVERIFY(second.done()); // refused at once, without sending
        QCOMPARE(port.requests.size(), 1);
        QVERIFY(m.FrameBuffer.isEmpty()); // a failed exchange, not the caller's own request
        QTRY_VERIFY(first.done());
    }

    void cancelEndsTheWaitAtOnce() {
        Modulo1 m;
        SerialLink link(m);
        ScriptedDevice port([&](const QByteArray&) { return Pieces{}; });
        link.UseDevice(&port);
        m.FrameBuffer = BuildRequest(1, 7, {});
        auto run = Start([&]() { return link.ExchangeFrame(60000); });
        link.CancelWait();
        QTRY_VERIFY_WITH_TIMEOUT(run.done(), 1000);
        QVERIFY(m.FrameBuffer.isEmpty());
        QVERIFY(!link.Timer1.isActive());
    }

    void closedPortWaitsForTheTimeout() {
        Modulo1 m;
        SerialLink link(m);
        m.FrameBuffer = BuildRequest(1, 7, {});
        auto run = Start([&]() { return link.ExchangeFrame(TimeoutMs); });
        QVERIFY(!run.done());
        QTRY_VERIFY(run.done());
        QVERIFY(m.FrameBuffer.isEmpty());
    }

    void missingDeviceIsReportedNotFatal() {
        Modulo1 m;
        SerialLink link(m);
        QCOMPARE(link.OpenPort(QString()), OpenResult::InvalidPortNumber);
        QCOMPARE(link.OpenPort("/dev/quartel-no-such-device"), OpenResult::OpenFailed);
        QVERIFY(!link.IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestSerial)
#include "test_serial.moc"
