// The link against the instrument simulator over a real pseudo-terminal: every request the utility
// builds is accepted by an independent MODBUS implementation, and the receive rules hold for the
// faults a real line shows.

#include "../support/coro.h"
#include "../support/testline.h"

#include "frame.h"
#include "registers.h"
#include "serial.h"
#include "simulator.h"
#include "writequeue.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int TimeoutMs = 150;

struct Line {
    Simulator sim;
    TestLine line;
    Modulo1 m;
    SerialLink link{m};
    SimInstrument* vxa = nullptr;

    // `kind`: the line as TestLine names it (the terminal, tcp, echo, tcp+echo).
    bool Open(const QString& kind = TestLine::FromEnvironment()) {
        if (!sim.open()) {
            return false;
        }
        vxa = sim.addInstrument(1, SimInstrument::VXA);
        const QString device = line.Device(sim, kind);
        link.SetLocalEcho(line.echo);
        return link.OpenPort(device) == OpenResult::Ok;
    }
    // One exchange of `request`, the reply left in FrameBuffer.
    void Exchange(const QByteArray& request, int timeoutMs = TimeoutMs) {
        m.FrameBuffer = request;
        auto run = Start([&]() { return link.ExchangeFrame(timeoutMs); });
        QTRY_VERIFY_WITH_TIMEOUT(run.done(), 10 * timeoutMs);
    }
};
} // namespace

class TestLinkE2E : public QObject {
    Q_OBJECT
private slots:
    // Over each kind of line: the terminal, a TCP connection to a device server, and both with an
    // adapter that echoes every request (local echo on).
    void everyRequestKindIsAcceptedByTheInstrument_data() {
        QTest::addColumn<QString>("lineKind");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("prefix");
        for (const char* kind : {"", "tcp", "echo", "tcp+echo"}) {
            AddRequestKinds(kind);
        }
    }
    static void AddRequestKinds(const char* kind) {
        const auto newRow = [kind](const char* name) -> QTestData& {
            return QTest::addRow("%s%s%s", kind, *kind ? ", " : "", name) << QString::fromLatin1(kind);
        };
        newRow("01 coils") << BuildRequest(1, Fn::ReadCoils, ReadBody(Reg::Coils, Reg::CoilCount))
                           << QByteArray(Prefix::Coils);
        newRow("02 inputs") << BuildRequest(1, Fn::ReadDiscreteInputs, ReadBody(Reg::Inputs, Reg::InputCount))
                            << QByteArray(Prefix::Inputs);
        newRow("03 division") << BuildRequest(1, Fn::ReadHoldingRegisters, ReadBody(Reg::DivisionCode, 1))
                              << QByteArray(Prefix::DivisionCode);
        newRow("03 block") << BuildRequest(1, Fn::ReadHoldingRegisters,
                                           ReadBody(Reg::Serial, Reg::SerialCount))
                           << QByteArray("0310");
        newRow("04 weights") << BuildRequest(1, Fn::ReadInputRegisters,
                                             ReadBody(Reg::WeightBlock, Reg::WeightBlockCount))
                             << QByteArray(Prefix::WeightBlock);
        newRow("06 mode") << BuildRequest(1, Fn::WriteSingleRegister, WriteSingleBody(Reg::Mode, Hex4(0)))
                          << QByteArray("060802");
        newRow("07 status") << BuildRequest(1, Fn::ReadExceptionStatus, {}) << QByteArray(Prefix::Status);
        newRow("0F coils") << BuildRequest(1, Fn::WriteMultipleCoils, "0000000201" + Hex2(2))
                           << QByteArray("0F0000");
        newRow("10 block") << BuildRequest(1, Fn::WriteMultipleRegisters,
                                           WriteMultipleBody(Reg::SetPoints, {"0064", "00C8"}))
                           << QByteArray("100110");
    }
    void everyRequestKindIsAcceptedByTheInstrument() {
        QFETCH(QString, lineKind);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, prefix);
        Line line;
        QVERIFY(line.Open(lineKind));
        line.Exchange(request);
        const QList<SimRequest> received = line.sim.requests();
        QCOMPARE(received.size(), 1);
        QVERIFY(received[0].valid);
        QCOMPARE(received[0].frame, request);
        QVERIFY2(CheckReply(line.m.FrameBuffer, prefix), line.m.FrameBuffer.constData());
    }

    // On a line that answers at once, and on one at the pace of 19200 baud, where the link looks at the
    // port only when a reply can be complete (after three replies have shown that pace).
    void faultsOnTheLine_data() {
        QTest::addColumn<bool>("paced");
        QTest::addColumn<SimFault>("fault");
        QTest::addColumn<bool>("framed");   // a whole frame ends up in FrameBuffer
        QTest::addColumn<bool>("accepted"); // and CheckReply takes it
        for (const bool paced : {false, true}) {
            const auto row = [paced](const char* name) -> QTestData& {
                return QTest::addRow("%s%s", paced ? "paced, " : "", name) << paced;
            };
            row("clean") << SimFault::none() << true << true;
            row("missing reply") << SimFault::mute() << false << false;
            row("reply in pieces") << SimFault::split(4, 20) << true << true;
            row("noise before the start") << SimFault::withNoise("\n\rxx") << true << true;
            row("frame cut by the time-out") << SimFault::cut(9) << false << false;
            row("CR inside the data") << SimFault::crInside() << true << false;
            row("wrong LRC") << SimFault::badLrc() << true << false;
            row("lower-case hex") << SimFault::lower() << true << false;
            row("exception reply") << SimFault::exception(2) << true << false;
            row("late reply") << SimFault::late(3 * TimeoutMs) << false << false;
        }
    }
    void faultsOnTheLine() {
        QFETCH(bool, paced);
        QFETCH(SimFault, fault);
        QFETCH(bool, framed);
        QFETCH(bool, accepted);
        Line line;
        QVERIFY(line.Open());
        const QByteArray read = BuildRequest(1, Fn::ReadHoldingRegisters, ReadBody(Reg::DivisionCode, 1));
        if (paced) {
            if (!line.link.CanPaceReplies()) {
                QSKIP("the line is not a terminal here");
            }
            line.sim.setWireTime(true);
            for (int i = 0; i < ReplyPacer::SteadyReplies; ++i) {
                line.Exchange(read);
                QVERIFY(CheckReply(line.m.FrameBuffer, Prefix::DivisionCode));
            }
            QVERIFY(line.link.PacingReplies());
        }
        line.sim.setFault(1, fault);
        line.Exchange(read);
        const QByteArray reply = line.m.FrameBuffer;
        QCOMPARE(!reply.isEmpty(), framed);
        if (framed) {
            QVERIFY(reply.startsWith(':') && reply.endsWith("\r\n"));
        }
        QCOMPARE(CheckReply(reply, Prefix::DivisionCode), accepted);
        if (accepted) {
            QCOMPARE(ReadRegisterSigned(reply, 0), int16_t(9));
        }
        QVERIFY(!line.link.Timer1.isActive());
        QCOMPARE(line.link.Timer1.interval(), 0);

        // Whatever happened, the next exchange on a healthy line gets its own answer.
        line.sim.clearFaults();
        line.vxa->setHolding(Reg::DivisionCode, 6);
        if (fault.lateMs > 0) {
            QTRY_VERIFY(!line.sim.replyPending()); // the late reply is now waiting in the input
        }
        line.Exchange(read);
        QVERIFY(CheckReply(line.m.FrameBuffer, Prefix::DivisionCode));
        QCOMPARE(ReadRegisterSigned(line.m.FrameBuffer, 0), int16_t(6));
        if (!paced) {
            QVERIFY(!line.link.PacingReplies()); // a line faster than the wire is never held
        }
    }

    void silentWriteIsSentSixTimesThenPollingResumes() {
        Line line;
        QVERIFY(line.Open());
        WriteQueue queue(line.m, line.link, [] { return TimeoutMs; });
        int confirmed = 0;
        queue.RegisterEcho(WriteSlot::A, Echo::WeightParameters, [&](const QByteArray&) {
            ++confirmed;
            line.m.WritePending = false;
            return true;
        });
        const QByteArray write =
            BuildRequest(1, Fn::WriteMultipleRegisters,
                         WriteMultipleBody(Reg::WeightParameters, {"0007", "0002", "0000", "0002", "0064"}));
        const QByteArray read = BuildRequest(1, Fn::ReadHoldingRegisters, ReadBody(Reg::DivisionCode, 1));
        queue.QueueWrite(WriteSlot::A, write);
        line.sim.setLineSilent(true);

        // A pass as the polling loop runs it: a periodic read unless a write is pending, then the queue.
        auto pass = [&]() -> QCoro::Task<> {
            if (!line.m.WritePending) {
                line.m.FrameBuffer = read;
                co_await line.link.ExchangeFrame(TimeoutMs);
            }
            co_await queue.ServiceWriteQueueA();
            co_await queue.ServiceWriteQueueB();
        };
        for (int i = 0; i < 8; ++i) {
            auto run = Start(pass);
            QTRY_VERIFY(run.done());
        }
        const QList<QByteArray> frames = line.sim.frames();
        QCOMPARE(frames.mid(0, 6), QList<QByteArray>(6, write));
        QCOMPARE(frames.mid(6), QList<QByteArray>(2, read));
        QCOMPARE(confirmed, 0);
        QVERIFY(!line.m.WritePending);
        QVERIFY(line.m.PendingWriteA.isEmpty());
        // The instrument never saw the write.
        QCOMPARE(line.vxa->holding(Reg::WeightParameters),
                 SimInstrument::defaultValue(Reg::WeightParameters, 1));
    }

    // A USB adapter pulled and plugged in again: the exchanges fail like time-outs meanwhile, and the
    // link reopens the device by its name once it is back. What the link learnt of the old line's pace
    // is forgotten: the new line has to show its own, and its first reply is taken as it comes.
    void deviceThatGoesAwayAndComesBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath("line");
        Modulo1 m;
        SerialLink link(m);
        const QByteArray read = BuildRequest(1, Fn::ReadHoldingRegisters, ReadBody(Reg::DivisionCode, 1));
        auto exchange = [&] {
            m.FrameBuffer = read;
            auto run = Start([&]() { return link.ExchangeFrame(TimeoutMs); });
            return QTest::qWaitFor([&] { return run.done(); }, 10 * TimeoutMs) &&
                   CheckReply(m.FrameBuffer, Prefix::DivisionCode);
        };
        {
            Simulator first;
            QVERIFY(first.open());
            first.addInstrument(1, SimInstrument::VXA);
            first.setWireTime(true);
            QVERIFY(first.makeLink(path));
            QCOMPARE(link.OpenPort(path), OpenResult::Ok);
            if (!link.CanPaceReplies()) {
                QSKIP("the line is not a terminal here");
            }
            for (int i = 0; i <= ReplyPacer::SteadyReplies; ++i) {
                QVERIFY(exchange());
            }
            QVERIFY(link.PacingReplies());
        }
        // The device is gone.
        for (int i = 0; i < 3; ++i) {
            QVERIFY(!exchange());
        }
        Simulator second;
        QVERIFY(second.open());
        second.addInstrument(1, SimInstrument::VXA);
        second.setWireTime(true);
        QVERIFY(second.makeLink(path));
        bool back = false;
        QElapsedTimer clock;
        clock.start();
        int reopening = -1; // the outcome of the exchange that opened the device again
        while (!back && clock.elapsed() < 5000) {
            const bool wasOpen = link.IsOpen();
            back = exchange();
            if (!wasOpen && link.IsOpen() && reopening < 0) {
                reopening = back ? 1 : 0;
            }
        }
        QVERIFY(back);
        QCOMPARE(reopening, 1);
        QVERIFY(link.IsOpen());
        QVERIFY(!link.PacingReplies());
    }

    // A device server that resets the connection, or goes away and comes back: the exchanges fail like
    // time-outs meanwhile (nothing waits longer), and the link connects again by itself.
    void droppedTcpConnectionIsSurvived_data() {
        QTest::addColumn<bool>("serverGoesAway");
        QTest::newRow("connection reset") << false;
        QTest::newRow("server away and back on the same port") << true;
    }
    void droppedTcpConnectionIsSurvived() {
        QFETCH(bool, serverGoesAway);
        Line line;
        QVERIFY(line.Open("tcp"));
        SimTcpServer& server = *line.line.tcp;
        const QByteArray read = BuildRequest(1, Fn::ReadHoldingRegisters, ReadBody(Reg::DivisionCode, 1));
        auto exchange = [&] {
            QElapsedTimer clock;
            clock.start();
            line.Exchange(read);
            // A failed exchange ends with its time-out, never later.
            return std::pair(CheckReply(line.m.FrameBuffer, Prefix::DivisionCode), clock.elapsed());
        };
        QVERIFY(exchange().first);
        QCOMPARE(server.connectionCount(), 1);
        const quint16 port = server.port();
        if (serverGoesAway) {
            server.close();
        } else {
            server.dropClient();
        }
        QTRY_VERIFY(!line.link.IsOpen());
        if (serverGoesAway) {
            for (int i = 0; i < 3; ++i) {
                const auto [ok, ms] = exchange();
                QVERIFY(!ok);
                QVERIFY2(ms < 3 * TimeoutMs, qPrintable(QString::number(ms)));
            }
            QVERIFY(server.listen(port));
        }
        bool back = false;
        QElapsedTimer clock;
        clock.start();
        while (!back && clock.elapsed() < 5000) {
            back = exchange().first;
        }
        QVERIFY(back);
        QCOMPARE(server.connectionCount(), 2);
        QVERIFY(line.link.IsOpen());
    }

    void confirmedWriteReachesTheInstrument() {
        Line line;
        QVERIFY(line.Open());
        WriteQueue queue(line.m, line.link, [] { return TimeoutMs; });
        queue.RegisterEcho(WriteSlot::A, Echo::WeightParameters, [&](const QByteArray&) {
            line.m.WritePending = false;
            return true;
        });
        queue.QueueWrite(WriteSlot::A, BuildRequest(1, Fn::WriteMultipleRegisters,
                                                    WriteMultipleBody(Reg::WeightParameters, {"0007"})));
        auto run = Start([&]() { return queue.ServiceWriteQueueA(); });
        QTRY_VERIFY(run.done());
        QVERIFY(!line.m.WritePending);
        QCOMPARE(line.vxa->holding(Reg::WeightParameters), quint16(7));
    }
};

QTEST_GUILESS_MAIN(TestLinkE2E)
#include "test_link_e2e.moc"
