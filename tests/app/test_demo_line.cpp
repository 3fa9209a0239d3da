// The demo line's instruments show their load through their own calibration: after a zero the gross
// weight reads about 0 and moves on around it, after a full scale with a sample weight it reads the
// sample. The commands go over the line as the calibration tab sends them.

#include "../sim/lineclient.h"

#include "demo.h"
#include "simulator.h"

#include <QtTest>

namespace {
QByteArray Hex4(int value) {
    return QByteArray::number(value, 16).rightJustified(4, '0').toUpper();
}
QByteArray WriteRegister(int address, int reg, int value) {
    return mbFrame(QByteArray::number(address, 16).rightJustified(2, '0').toUpper() + "06" + Hex4(reg) +
                   Hex4(value));
}
} // namespace

class TestDemoLine : public QObject {
    Q_OBJECT
private slots:
    void calibrationHolds_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("sample"); // 0: a zero setting
        QTest::addColumn<int>("tolerance");
        // The VXA swings by 180 divisions around its load, the VXB by 6.
        QTest::newRow("VXA, zero") << 1 << 0 << 2 * 180 + 1;
        QTest::newRow("VXB, zero") << 2 << 0 << 2 * 6 + 1;
        QTest::newRow("VXA, full scale 5000.00") << 1 << 500000 / 100 << 2 * 180;
        QTest::newRow("VXB, full scale 2000") << 2 << 2000 << 2 * 6 * 3;
    }
    void calibrationHolds() {
        QFETCH(int, address);
        QFETCH(int, sample);
        QFETCH(int, tolerance);
        DemoLine demo;
        QVERIFY(demo.Start());
        LineClient line;
        QVERIFY(line.open(demo.DevicePath()));
        SimInstrument* inst = demo.simulator()->instrument(address);
        const auto gross = [inst] {
            const int magnitude = inst->inputRegister(1);
            return inst->statusByte() & SimInstrument::GrossNegative ? -magnitude : magnitude;
        };
        QVERIFY(gross() > 500); // a load lies on the scale
        if (sample == 0) {
            const QByteArray zero = WriteRegister(address, 0x0800, 0x0010);
            QCOMPARE(line.exchange(zero), zero);
        } else {
            const QByteArray weight = WriteRegister(address, 0x0801, sample);
            QCOMPARE(line.exchange(weight), weight);
            const QByteArray span = WriteRegister(address, 0x0800, 0x0011);
            QCOMPARE(line.exchange(span), span);
        }
        // The weight stays where the calibration put it while the load moves on (a few drift steps).
        QList<int> seen;
        bool inside = true;
        QVERIFY(QTest::qWaitFor(
            [&] {
                const int g = gross();
                inside = inside && qAbs(g - sample) <= tolerance;
                if (seen.isEmpty() || seen.last() != g) {
                    seen << g;
                }
                return !inside || seen.size() >= 3;
            },
            10000));
        QVERIFY2(inside, qPrintable(QString::number(seen.last())));
    }
};

QTEST_GUILESS_MAIN(TestDemoLine)
#include "test_demo_line.moc"
