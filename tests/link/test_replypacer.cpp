// When the link first looks for a reply on a serial line: held only on a line that has shown the pace
// of 19200 baud, until the reply can be in plus what the line was seen to add.

#include "replypacer.h"

#include <QList>
#include <QTest>

namespace {
constexpr qint64 Ms = 1'000'000;
constexpr qint64 Char = ReplyPacer::CharNs;
constexpr int Request = 17; // a read of holding registers
constexpr int Reply = 15;   // one register

// One exchange: the reply's last chunk `afterWireNs` after its wire time (negative: before), of
// `replyChars`, in when the hold ran out or not; a time-out when `replied` is false.
struct Exchange {
    qint64 afterWireNs = 0;
    bool atHoldEnd = false;
    bool replied = true;
    int replyChars = Reply;
};
} // namespace
Q_DECLARE_METATYPE(QList<Exchange>)

class TestReplyPacer : public QObject {
    Q_OBJECT
private slots:
    void holds_data() {
        QTest::addColumn<QList<Exchange>>("exchanges");
        // The hold each exchange got, past its wire end (-1: none).
        QTest::addColumn<QList<qint64>>("holds");
        const Exchange onPace{Ms / 10};
        const Exchange inAtHoldEnd{0, true};
        QTest::newRow("a line faster than the wire is never held")
            << QList<Exchange>(5, Exchange{-20 * Ms}) << QList<qint64>(5, -1);
        QTest::newRow("held after three replies at the pace of the wire")
            << QList<Exchange>{onPace, onPace, onPace, inAtHoldEnd, inAtHoldEnd}
            << QList<qint64>{-1, -1, -1, 0, 0};
        QTest::newRow("a reply just within the tolerance keeps the pace")
            << QList<Exchange>{onPace, {-ReplyPacer::ToleranceNs}, onPace, inAtHoldEnd}
            << QList<qint64>{-1, -1, -1, 0};
        QTest::newRow("a reply faster than the wire starts the count again")
            << QList<Exchange>{onPace, onPace,     {-ReplyPacer::ToleranceNs - 1}, onPace, onPace,
                               onPace, inAtHoldEnd}
            << QList<qint64>{-1, -1, -1, -1, -1, -1, 0};
        QTest::newRow("a held line that turns fast is let go")
            << QList<Exchange>{onPace, onPace, onPace, {-5 * Ms, true}, onPace}
            << QList<qint64>{-1, -1, -1, 0, -1};
        // What the line adds is followed in steps: 60 µs more after a reply that came after the hold
        // ended, 10 µs less after one that was in.
        const Exchange late{2 * Ms};
        QTest::newRow("a late reply stretches the hold")
            << QList<Exchange>{onPace, onPace, onPace, late, late, inAtHoldEnd, inAtHoldEnd}
            << QList<qint64>{-1, -1, -1, 0, 60'000, 120'000, 110'000};
        QTest::newRow("never below the wire time")
            << QList<Exchange>{onPace,      onPace,      onPace,      late,        inAtHoldEnd, inAtHoldEnd,
                               inAtHoldEnd, inAtHoldEnd, inAtHoldEnd, inAtHoldEnd, inAtHoldEnd, inAtHoldEnd}
            << QList<qint64>{-1, -1, -1, 0, 60'000, 50'000, 40'000, 30'000, 20'000, 10'000, 0, 0};
        QList<Exchange> alwaysLate(3, onPace);
        QList<qint64> heldFor(3, -1);
        for (qint64 extra = 0; extra <= ReplyPacer::MaxExtraNs + 60'000; extra += 60'000) {
            alwaysLate.append(Exchange{30 * Ms});
            heldFor.append(qMin(extra, ReplyPacer::MaxExtraNs));
        }
        QTest::newRow("at most 20 ms") << alwaysLate << heldFor;
        QTest::newRow("a time-out teaches nothing")
            << QList<Exchange>{onPace, {0, false, false}, onPace, onPace, inAtHoldEnd}
            << QList<qint64>{-1, -1, -1, -1, 0};
        QTest::newRow("a shorter reply (an exception) in at the hold's end keeps the pace")
            << QList<Exchange>{onPace, onPace, onPace, {2 * Char, true, true, 11}, inAtHoldEnd}
            << QList<qint64>{-1, -1, -1, 0, 0};
    }
    void holds() {
        QFETCH(QList<Exchange>, exchanges);
        QFETCH(QList<qint64>, holds);
        ReplyPacer pacer;
        qint64 now = 1000 * Ms;
        QList<qint64> got;
        for (const Exchange& e : exchanges) {
            const qint64 wireEnd = now + (Request + Reply) * Char;
            const qint64 until = pacer.Sent(now, Request, Reply);
            got.append(until == 0 ? -1 : until - wireEnd);
            if (e.replied) {
                // The reply's own wire end (an exception reply is shorter than the one expected).
                const qint64 end = now + (Request + e.replyChars) * Char;
                pacer.Completed(end + e.afterWireNs, e.replyChars, e.atHoldEnd);
            }
            now += 100 * Ms;
        }
        QCOMPARE(got, holds);
    }

    // A request whose reply length is not known (or a receive with no request) holds nothing and
    // counts for nothing; opening the line again forgets what was learnt.
    void unknownRepliesAndReopening() {
        ReplyPacer pacer;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(pacer.Sent(i * Ms, Request, Reply), 0);
            pacer.Completed(i * Ms + (Request + Reply) * Char, Reply, false);
        }
        QVERIFY(pacer.Paced());
        QCOMPARE(pacer.Sent(50 * Ms, Request, 0), 0);
        pacer.Completed(50 * Ms, Reply, false); // far faster than the wire, but nothing was asked
        QVERIFY(pacer.Paced());
        pacer.Reset();
        QVERIFY(!pacer.Paced());
        QCOMPARE(pacer.Sent(60 * Ms, Request, Reply), 0);
    }
};

QTEST_GUILESS_MAIN(TestReplyPacer)
#include "test_replypacer.moc"
