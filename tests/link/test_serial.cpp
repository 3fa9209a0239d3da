// The receive rules of the serial exchange against a scripted port: start, end and time-out of a
// reply frame, whatever pieces the port delivers.

#include "../support/coro.h"
#include "../support/scripteddevice.h"

#include "frame.h"
#include "serial.h"

#include <QElapsedTimer>
#include <QtTest>

using Pieces = QList<QByteArray>;

class TestSerial : public QObject {
    Q_OBJECT

    static constexpr int TimeoutMs = 150;

private slots:
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
