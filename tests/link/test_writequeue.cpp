// The write queue against a scripted instrument: confirmation by echo, retries and silent drop,
// and the order of the two slots.

#include "../support/coro.h"
#include "../support/scripteddevice.h"

#include "frame.h"
#include "registers.h"
#include "serial.h"
#include "writequeue.h"

#include <QtTest>

using Pieces = QList<QByteArray>;

namespace {
constexpr int TimeoutMs = 60;

// Answers a write with the standard MODBUS echo: the request itself for function 06, the start and
// count for functions 10 and 0F.
Pieces EchoReply(const QByteArray& request) {
    const QByteArray body = request.mid(1, request.size() - 5);
    const QByteArray function = body.mid(2, 2);
    const QByteArray echo = function == "06" ? body : body.left(12);
    return {":" + echo + ComputeLrc(echo) + "\r\n"};
}

QByteArray Write06(unsigned reg, unsigned value) {
    return BuildRequest(1, 0x06, WriteSingleBody(reg, Hex4(value)));
}

struct Rig {
    Modulo1 m;
    SerialLink link{m};
    std::function<Pieces(const QByteArray&)> answer = EchoReply;
    ScriptedDevice port{[this](const QByteArray& r) { return answer(r); }};
    WriteQueue queue{m, link, [] { return TimeoutMs; }};
    QStringList followUps;

    Rig() { link.UseDevice(&port); }

    // One pass of the polling loop's queue steps.
    void Pass() {
        auto run = Start([this]() -> QCoro::Task<> {
            co_await queue.ServiceWriteQueueA();
            co_await queue.ServiceWriteQueueB();
        });
        QTRY_VERIFY(run.done());
    }
    void Register(WriteSlot slot, const QByteArray& echo, bool keepPending = false) {
        queue.RegisterEcho(slot, echo, [this, slot, echo, keepPending](const QByteArray&) {
            followUps << QString::fromLatin1(echo);
            m.WritePending = keepPending;
            if (keepPending) {
                queue.EmptySlot(slot);
            }
            return true;
        });
    }
};
} // namespace

class TestWriteQueue : public QObject {
    Q_OBJECT
private slots:
    void confirmedEchoRunsItsFollowUpOnce() {
        Rig r;
        r.Register(WriteSlot::A, "101100");
        const QByteArray frame = BuildRequest(1, 0x10, WriteMultipleBody(0x1100, {"0007", "0002"}));
        r.queue.QueueWrite(WriteSlot::A, frame);
        QVERIFY(r.m.WritePending);
        r.Pass();
        QCOMPARE(r.port.requests, QList<QByteArray>{frame});
        QCOMPARE(r.followUps, QStringList{"101100"});
        QVERIFY(r.m.PendingWriteA.isEmpty());
        QVERIFY(!r.m.WritePending);
        QCOMPARE(r.m.WriteRetries, uint8_t(0));
        r.Pass(); // nothing left to send
        QCOMPARE(r.port.requests.size(), 1);
    }

    void unconfirmedWriteIsSentSixTimesThenDropped_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("silent instrument") << 0;
        QTest::newRow("unknown echo") << 1;
        QTest::newRow("exception reply") << 2;
        QTest::newRow("follow-up refuses the reply") << 3;
    }
    void unconfirmedWriteIsSentSixTimesThenDropped() {
        QFETCH(int, kind);
        Rig r;
        // A follow-up that never finds the reply good enough.
        r.queue.RegisterEcho(WriteSlot::A, "060802", [](const QByteArray&) { return false; });
        r.answer = [kind](const QByteArray& request) -> Pieces {
            switch (kind) {
            case 0:
                return {};
            case 1: {
                const QByteArray body = "0106099900000";
                return {":" + body + ComputeLrc(body) + "\r\n"};
            }
            case 2:
                return {":018602" + ComputeLrc("018602") + "\r\n"};
            default:
                return EchoReply(request);
            }
        };
        const QByteArray frame = Write06(Reg::Mode, Mode::Normal);
        r.queue.QueueWrite(WriteSlot::A, frame);
        for (int pass = 1; pass <= 6; ++pass) {
            QVERIFY2(r.m.WritePending, qPrintable(QString("pass %1").arg(pass)));
            r.Pass();
            QCOMPARE(r.port.requests.size(), pass);
        }
        // Dropped without a message: polling may resume.
        QVERIFY(!r.m.WritePending);
        QVERIFY(r.m.PendingWriteA.isEmpty());
        QCOMPARE(r.m.WriteRetries, uint8_t(0));
        r.Pass();
        QCOMPARE(r.port.requests.size(), 6);
    }

    void twoStepCommandGoesOutInOrderInOnePass() {
        Rig r;
        r.Register(WriteSlot::A, "060801", /*keepPending=*/true);
        r.Register(WriteSlot::B, "060800");
        const QByteArray sample = Write06(Reg::SampleWeight, 0x0064);
        const QByteArray store = Write06(Reg::Command, Cmd::SpanStore);
        r.queue.QueueWrite(WriteSlot::A, sample);
        r.queue.QueueWrite(WriteSlot::B, store);
        r.Pass();
        QCOMPARE(r.port.requests, (QList<QByteArray>{sample, store}));
        QCOMPARE(r.followUps, (QStringList{"060801", "060800"}));
        QVERIFY(!r.m.WritePending);
        QVERIFY(r.m.PendingWriteA.isEmpty() && r.m.PendingWriteB.isEmpty());
    }

    void secondStepIsNeverSentWhenTheFirstIsNotConfirmed() {
        Rig r;
        r.Register(WriteSlot::A, "060801", true);
        r.Register(WriteSlot::B, "060800");
        r.answer = [](const QByteArray& request) {
            // The sample weight write gets no answer; everything else would be confirmed.
            return request.mid(3, 6) == "060801" ? Pieces{} : EchoReply(request);
        };
        const QByteArray sample = Write06(Reg::SampleWeight, 0x0064);
        r.queue.QueueWrite(WriteSlot::A, sample);
        r.queue.QueueWrite(WriteSlot::B, Write06(Reg::Command, Cmd::SpanStore));
        for (int pass = 0; pass < 8; ++pass) {
            r.Pass();
        }
        QCOMPARE(r.port.requests, QList<QByteArray>(6, sample));
        QVERIFY(r.m.PendingWriteB.isEmpty());
        QVERIFY(!r.m.WritePending);
        QVERIFY(r.followUps.isEmpty());
    }

    void slotBAloneGoesOutWhateverWritePendingSays() {
        Rig r;
        r.Register(WriteSlot::B, "0F0000");
        const QByteArray coils = BuildRequest(1, 0x0F, "0000000201" + Hex2(3));
        r.queue.QueueWrite(WriteSlot::B, coils, /*setPending=*/false);
        r.Pass();
        QCOMPARE(r.port.requests, QList<QByteArray>{coils});
        QVERIFY(r.m.PendingWriteB.isEmpty());
    }

    void requestQueuedDuringTheExchangeSurvivesTheEcho() {
        Rig r;
        r.Register(WriteSlot::A, "101100");
        r.Register(WriteSlot::A, "102000");
        const QByteArray first = BuildRequest(1, 0x10, WriteMultipleBody(0x1100, {"0001"}));
        const QByteArray second = BuildRequest(1, 0x10, WriteMultipleBody(0x2000, {"0002"}));
        r.answer = [&](const QByteArray& request) {
            if (request == first) {
                // The user clicks another send button while the first write is on the wire.
                r.queue.QueueWrite(WriteSlot::A, second);
            }
            return EchoReply(request);
        };
        r.queue.QueueWrite(WriteSlot::A, first);
        r.Pass();
        QCOMPARE(r.m.PendingWriteA, second);
        QVERIFY(r.m.WritePending);
        r.Pass();
        QCOMPARE(r.port.requests, (QList<QByteArray>{first, second}));
        QCOMPARE(r.followUps, (QStringList{"101100", "102000"}));
        QVERIFY(r.m.PendingWriteA.isEmpty());
    }

    // One slot's write is on the wire when the user queues a write in the other slot. Each frame's
    // replies are scripted: the right echo, the echo with a wrong LRC, the echo from another address,
    // or silence. Whatever the replies, no write is lost, none goes out more than six times, and the
    // periodic reads stand still exactly while a slot still holds a request. The one write that may go
    // unsent is the second step of a two-step command: slot B waiting for slot A is dropped with it.
    void interleavedSlotsLoseNoWrite_data() {
        QTest::addColumn<bool>("firstInA");
        QTest::addColumn<int>("firstReply");
        QTest::addColumn<int>("secondReply");
        const char* const replies[] = {"echo", "wrong LRC", "other address", "no reply"};
        for (const bool firstInA : {true, false}) {
            for (int first = 0; first < 4; ++first) {
                for (const int second : {0, 3}) {
                    QTest::addRow("%s on the wire: %s, %s queued: %s", firstInA ? "A" : "B", replies[first],
                                  firstInA ? "B" : "A", replies[second])
                        << firstInA << first << second;
                }
            }
        }
    }
    void interleavedSlotsLoseNoWrite() {
        QFETCH(bool, firstInA);
        QFETCH(int, firstReply);
        QFETCH(int, secondReply);
        enum { Echo, WrongLrc, OtherAddress, NoReply };
        Rig r;
        r.Register(WriteSlot::A, "101100");
        r.Register(WriteSlot::B, "103000");
        const QByteArray inA = BuildRequest(1, 0x10, WriteMultipleBody(0x1100, {"0007"}));
        const QByteArray inB = BuildRequest(1, 0x10, WriteMultipleBody(0x3000, {"0001"}));
        const QByteArray first = firstInA ? inA : inB;
        const QByteArray second = firstInA ? inB : inA;
        const WriteSlot secondSlot = firstInA ? WriteSlot::B : WriteSlot::A;

        QList<QByteArray> held; // the writes the instrument carried out
        r.answer = [&](const QByteArray& request) -> Pieces {
            if (request == first && !r.port.requests.mid(0, r.port.requests.size() - 1).contains(first)) {
                r.queue.QueueWrite(secondSlot, second); // the user clicks while the first is on the wire
            }
            const int kind = request == first ? firstReply : secondReply;
            if (kind == NoReply) {
                return {};
            }
            held << request;
            QByteArray echo = EchoReply(request).constFirst();
            if (kind == WrongLrc) {
                echo[echo.size() - 3] = echo.at(echo.size() - 3) == '0' ? '1' : '0';
            } else if (kind == OtherAddress) {
                const QByteArray body = "02" + echo.mid(3, echo.size() - 7);
                echo = ":" + body + ComputeLrc(body) + "\r\n";
            }
            return {echo};
        };
        r.queue.QueueWrite(firstInA ? WriteSlot::A : WriteSlot::B, first);
        for (int pass = 1; pass <= 20; ++pass) {
            r.Pass();
            const bool queued = !r.m.PendingWriteA.isEmpty() || !r.m.PendingWriteB.isEmpty();
            QVERIFY2(r.m.WritePending == queued, qPrintable(QString("pass %1").arg(pass)));
        }
        QVERIFY(!r.m.WritePending);
        QVERIFY(r.m.PendingWriteA.isEmpty() && r.m.PendingWriteB.isEmpty());

        const auto sends = [&](const QByteArray& frame) { return int(r.port.requests.count(frame)); };
        const auto expectedSends = [](int reply) { return reply == Echo ? 1 : 1 + WriteQueue::MaxRetries; };
        QCOMPARE(sends(first), expectedSends(firstReply));
        if (firstInA && firstReply != Echo) {
            QCOMPARE(sends(second), 0); // the second step never goes out after an unconfirmed first
        } else {
            QCOMPARE(sends(second), expectedSends(secondReply));
        }
        // Only a right echo from the right address runs a follow-up.
        QStringList confirmed;
        for (const QByteArray& frame : {inA, inB}) {
            if (sends(frame) > 0 && (frame == first ? firstReply : secondReply) == Echo) {
                confirmed << QString::fromLatin1(WriteQueue::EchoOf(frame));
            }
        }
        QStringList followUps = r.followUps;
        followUps.sort();
        QCOMPARE(followUps, confirmed);
        for (const QByteArray& frame : {inA, inB}) {
            const int reply = frame == first ? firstReply : secondReply;
            QCOMPARE(held.contains(frame), sends(frame) > 0 && reply != NoReply);
        }
    }

    // Each slot counts its own attempts: queueing or confirming a write in the other slot does not give
    // a write to a dead address a fresh set of six tries.
    void eachSlotCountsItsOwnAttempts() {
        Rig r;
        r.Register(WriteSlot::A, "101100");
        r.Register(WriteSlot::B, "103000");
        const QByteArray dead = BuildRequest(5, 0x10, WriteMultipleBody(0x3000, {"0001"}));
        r.answer = [](const QByteArray& request) {
            return request.mid(1, 2) == "05" ? Pieces{} : EchoReply(request);
        };
        r.queue.QueueWrite(WriteSlot::B, dead);
        for (int pass = 1; pass <= 8; ++pass) {
            // Another write in slot A at every pass, each confirmed.
            r.queue.QueueWrite(WriteSlot::A, BuildRequest(1, 0x10, WriteMultipleBody(0x1100, {Hex4(pass)})));
            r.Pass();
            if (!r.m.PendingWriteB.isEmpty()) {
                QCOMPARE(r.m.WriteRetries, uint8_t(pass)); // the attempts of slot B, serviced last
            }
        }
        QCOMPARE(int(r.port.requests.count(dead)), 1 + WriteQueue::MaxRetries);
        QVERIFY(r.m.PendingWriteB.isEmpty());
    }
    // A request that replaces another in the same slot starts its own count: it is tried as often as
    // any, however often the one it replaced was tried.
    void replacingRequestStartsItsOwnCount_data() {
        QTest::addColumn<int>("slot");
        QTest::newRow("slot A") << int(WriteSlot::A);
        QTest::newRow("slot B") << int(WriteSlot::B);
    }
    void replacingRequestStartsItsOwnCount() {
        QFETCH(int, slot);
        Rig r;
        r.answer = [](const QByteArray&) { return Pieces{}; };
        const QByteArray first = Write06(Reg::Mode, Mode::Normal);
        const QByteArray second = Write06(Reg::Mode, Mode::Normal + 1);
        r.queue.QueueWrite(WriteSlot(slot), first);
        for (int pass = 0; pass < WriteQueue::MaxRetries; ++pass) {
            r.Pass();
        }
        QCOMPARE(r.queue.Attempts(WriteSlot(slot)), uint8_t(WriteQueue::MaxRetries));
        r.queue.QueueWrite(WriteSlot(slot), second);
        for (int pass = 0; pass < 2 * WriteQueue::MaxRetries; ++pass) {
            r.Pass();
        }
        QCOMPARE(int(r.port.requests.count(second)), 1 + WriteQueue::MaxRetries);
        QVERIFY(!r.m.WritePending);
    }
};

QTEST_GUILESS_MAIN(TestWriteQueue)
#include "test_writequeue.moc"
