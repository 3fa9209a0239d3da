// The simulated scale that fails a verification: the words of its errors, and the weight a placed test
// load shows through them (linearity, hysteresis on the way down, the offset off the centre) and while
// it settles.

#include "simulator.h"

#include <QtTest>

class TstSimScale : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void placed_data();
    void placed();
    void settling();
};

void TstSimScale::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("linear");
    QTest::addColumn<int>("hysteresis");
    QTest::addColumn<int>("eccentric");
    QTest::newRow("nothing") << QString() << true << 0.0 << 0 << 0;
    QTest::newRow("none") << QStringLiteral("none") << true << 0.0 << 0 << 0;
    QTest::newRow("linear") << QStringLiteral("linear:0.02%") << true << 0.02 << 0 << 0;
    QTest::newRow("all three") << QStringLiteral("linear:-0.1%,hysteresis:2,eccentric:-3") << true << -0.1
                               << 2 << -3;
    QTest::newRow("linear without %") << QStringLiteral("linear:0.02") << false << 0.0 << 0 << 0;
    QTest::newRow("linear past 100 %") << QStringLiteral("linear:101%") << false << 0.0 << 0 << 0;
    QTest::newRow("unknown word") << QStringLiteral("creep:1") << false << 0.0 << 0 << 0;
    QTest::newRow("no number") << QStringLiteral("hysteresis:x") << false << 0.0 << 0 << 0;
}

void TstSimScale::parse() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, linear);
    QFETCH(int, hysteresis);
    QFETCH(int, eccentric);
    SimInstrument::ScaleErrors errors;
    errors.hysteresis = 99; // left alone on a refusal
    QString why;
    QCOMPARE(SimInstrument::ScaleErrors::parse(text, errors, &why), ok);
    QCOMPARE(why.isEmpty(), ok);
    if (ok) {
        QCOMPARE(errors.linearPercent, linear);
        QCOMPARE(errors.hysteresis, hysteresis);
        QCOMPARE(errors.eccentric, eccentric);
    } else {
        QCOMPARE(errors.hysteresis, 99);
    }
}

void TstSimScale::placed_data() {
    QTest::addColumn<QString>("errors");
    QTest::addColumn<QList<int>>("loads"); // divisions, position in the thousands: 3333 + 2000 = 3333 at 2
    QTest::addColumn<QList<int>>("shown");
    const QList<int> loads{0, 2500, 10000, 2500, 3333, 3333 + 2000 * 1000};
    QTest::newRow("exact") << QString() << loads << QList<int>{0, 2500, 10000, 2500, 3333, 3333};
    QTest::newRow("linear 0.02 %") << QStringLiteral("linear:0.02%") << loads
                                   << QList<int>{0, 2501, 10002, 2501, 3334, 3334};
    QTest::newRow("hysteresis 2") << QStringLiteral("hysteresis:2") << loads
                                  << QList<int>{0, 2500, 10000, 2502, 3333, 3333};
    QTest::newRow("eccentric 3") << QStringLiteral("eccentric:3") << loads
                                 << QList<int>{0, 2500, 10000, 2500, 3333, 3336};
}

void TstSimScale::placed() {
    QFETCH(QString, errors);
    QFETCH(QList<int>, loads);
    QFETCH(QList<int>, shown);
    SimInstrument inst(1, SimInstrument::VXA);
    inst.setSettleMs(0);
    QVERIFY(SimInstrument::ScaleErrors::parse(errors, inst.errors));
    for (qsizetype i = 0; i < loads.size(); ++i) {
        inst.placeLoad(loads[i] % 1000000, loads[i] / 1000000);
        QCOMPARE(int(inst.inputRegister(1)), shown[i]);
    }
}

void TstSimScale::settling() {
    // Halfway while it settles, then the load; the time is the instrument's own clock.
    SimInstrument inst(1, SimInstrument::VXA);
    inst.setSettleMs(0);
    inst.placeLoad(1000);
    inst.setSettleMs(10000);
    inst.placeLoad(3000);
    QCOMPARE(int(inst.inputRegister(1)), 2000);
}

QTEST_GUILESS_MAIN(TstSimScale)
#include "tst_sim_scale.moc"
