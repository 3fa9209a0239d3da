// The rules of a verification with test weights: the maximum permissible errors of each class at every
// bound of its table, initial and in service; Min and the range of n; the usual plan; the verdict.

#include "verification.h"

#include <QtTest>

using namespace verify;
using AC = AccuracyClass;

Q_DECLARE_METATYPE(verify::AccuracyClass)
Q_DECLARE_METATYPE(verify::Inspection)
Q_DECLARE_METATYPE(verify::Verdict)

namespace {

Reading At(double indication) {
    return Reading{true, indication, std::nullopt};
}
Reading WithDelta(double indication, double deltaL) {
    return Reading{true, indication, deltaL};
}

} // namespace

class TestVerification : public QObject {
    Q_OBJECT
private slots:
    void mpe_data();
    void mpe();
    void minAndRange_data();
    void minAndRange();
    void plan();
    void planFile();
    void verdict_data();
    void verdict();
};

void TestVerification::mpe_data() {
    QTest::addColumn<AC>("accuracy");
    QTest::addColumn<Inspection>("inspection");
    QTest::addColumn<double>("loadInE");
    QTest::addColumn<double>("mpeInE");
    // The table of maximum permissible errors on initial verification: each bound, and 1 e past it.
    struct Row {
        AC accuracy;
        double m;
        double mpe;
    };
    const Row rows[] = {
        {AC::I, 0, 0.5},      {AC::I, 50000, 0.5},   {AC::I, 50001, 1.0},  {AC::I, 200000, 1.0},
        {AC::I, 200001, 1.5}, {AC::I, 1000000, 1.5}, {AC::II, 0, 0.5},     {AC::II, 5000, 0.5},
        {AC::II, 5001, 1.0},  {AC::II, 20000, 1.0},  {AC::II, 20001, 1.5}, {AC::II, 100000, 1.5},
        {AC::III, 0, 0.5},    {AC::III, 500, 0.5},   {AC::III, 501, 1.0},  {AC::III, 2000, 1.0},
        {AC::III, 2001, 1.5}, {AC::III, 10000, 1.5}, {AC::IIII, 0, 0.5},   {AC::IIII, 50, 0.5},
        {AC::IIII, 51, 1.0},  {AC::IIII, 200, 1.0},  {AC::IIII, 201, 1.5}, {AC::IIII, 1000, 1.5},
    };
    for (const Row& r : rows) {
        const QByteArray name = ClassName(r.accuracy).toLatin1() + " m=" + QByteArray::number(r.m);
        QTest::newRow(name + " initial") << r.accuracy << Inspection::Initial << r.m << r.mpe;
        QTest::newRow(name + " in service") << r.accuracy << Inspection::InService << r.m << 2 * r.mpe;
    }
}

void TestVerification::mpe() {
    QFETCH(AC, accuracy);
    QFETCH(Inspection, inspection);
    QFETCH(double, loadInE);
    QFETCH(double, mpeInE);
    QCOMPARE(MpeInE(accuracy, inspection, loadInE), mpeInE);
}

void TestVerification::minAndRange_data() {
    QTest::addColumn<AC>("accuracy");
    QTest::addColumn<double>("eGrams");
    QTest::addColumn<double>("n");
    QTest::addColumn<double>("minInE");
    QTest::addColumn<bool>("warned");
    QTest::newRow("I n=50000") << AC::I << 0.001 << 50000.0 << 100.0 << false;
    QTest::newRow("I n=49999") << AC::I << 0.001 << 49999.0 << 100.0 << true;
    QTest::newRow("II e=0.05 g n=100") << AC::II << 0.05 << 100.0 << 20.0 << false;
    QTest::newRow("II e=0.05 g n=99") << AC::II << 0.05 << 99.0 << 20.0 << true;
    QTest::newRow("II e=0.1 g n=5000") << AC::II << 0.1 << 5000.0 << 50.0 << false;
    QTest::newRow("II e=0.1 g n=4999") << AC::II << 0.1 << 4999.0 << 50.0 << true;
    QTest::newRow("II e=0.1 g n=100000") << AC::II << 0.1 << 100000.0 << 50.0 << false;
    QTest::newRow("II e=0.1 g n=100001") << AC::II << 0.1 << 100001.0 << 50.0 << true;
    QTest::newRow("III e=0.1 g n=100") << AC::III << 0.1 << 100.0 << 20.0 << false;
    QTest::newRow("III e=2 g n=99") << AC::III << 2.0 << 99.0 << 20.0 << true;
    QTest::newRow("III e=5 g n=500") << AC::III << 5.0 << 500.0 << 20.0 << false;
    QTest::newRow("III e=5 g n=499") << AC::III << 5.0 << 499.0 << 20.0 << true;
    QTest::newRow("III e=1 kg n=10000") << AC::III << 1000.0 << 10000.0 << 20.0 << false;
    QTest::newRow("III e=1 kg n=10001") << AC::III << 1000.0 << 10001.0 << 20.0 << true;
    QTest::newRow("III e=0.01 g, below the class") << AC::III << 0.01 << 1000.0 << 20.0 << true;
    QTest::newRow("IIII e=5 g n=100") << AC::IIII << 5.0 << 100.0 << 10.0 << false;
    QTest::newRow("IIII e=5 g n=1000") << AC::IIII << 5.0 << 1000.0 << 10.0 << false;
    QTest::newRow("IIII e=5 g n=1001") << AC::IIII << 5.0 << 1001.0 << 10.0 << true;
    QTest::newRow("IIII e=2 g, below the class") << AC::IIII << 2.0 << 500.0 << 10.0 << true;
}

void TestVerification::minAndRange() {
    QFETCH(AC, accuracy);
    QFETCH(double, eGrams);
    QFETCH(double, n);
    QFETCH(double, minInE);
    QFETCH(bool, warned);
    QCOMPARE(MinInE(accuracy, eGrams), minInE);
    Scale scale;
    scale.accuracy = accuracy;
    scale.unit = WeightUnit::Gram;
    scale.e = eGrams;
    scale.max = n * eGrams;
    QCOMPARE(scale.NOutOfRange(), warned);
}

void TestVerification::plan() {
    // Class III, e = 1 kg, Max 10 000 kg: Min 20 e, change points 500 e and 2000 e.
    Scale scale;
    scale.max = 10000;
    QList<Step> expected;
    for (double load : {0, 20, 500, 2000, 2500, 5000, 7500, 10000, 7500, 5000, 2500, 2000, 500, 20, 0}) {
        expected << Step{TestKind::Weighing, load, 0};
    }
    for (int position = 0; position <= 4; ++position) {
        expected << Step{TestKind::Eccentricity, 3333, position};
    }
    for (double load : {5000, 5000, 5000, 10000, 10000, 10000}) {
        expected << Step{TestKind::Repeatability, load, 0};
    }
    QCOMPARE(MakePlan(scale), expected);
    // Max 1000 e = 1.000 t at e 0.001 t: 2000 e lies beyond Max and is left out; loads keep the decimals.
    scale.unit = WeightUnit::Tonne;
    scale.e = 0.001;
    scale.max = 1.0;
    scale.decimals = 3;
    QCOMPARE(FormatPlan(MakePlan(scale), scale).section(QLatin1Char('\n'), 0, 7),
             QStringLiteral("weighing,0.000\nweighing,0.020\nweighing,0.250\nweighing,0.500\n"
                            "weighing,0.750\nweighing,1.000\nweighing,0.750\nweighing,0.500"));
}

void TestVerification::planFile() {
    int line = 0;
    const auto plan =
        ParsePlan(QStringLiteral("# loads\nweighing,0\n\neccentricity,3333,4\nrepeatability,5000\n"));
    QVERIFY(plan);
    QCOMPARE(*plan, (QList<Step>{{TestKind::Weighing, 0, 0},
                                 {TestKind::Eccentricity, 3333, 4},
                                 {TestKind::Repeatability, 5000, 0}}));
    for (const char* wrong : {"weighing", "weighing,-1", "eccentricity,3333,5", "eccentricity,3333",
                              "weighing,1,2", "weigh,10"}) {
        QVERIFY2(!ParsePlan(QStringLiteral("weighing,0\n") + QLatin1String(wrong), &line), wrong);
        QCOMPARE(line, 2);
    }
}

void TestVerification::verdict_data() {
    QTest::addColumn<Inspection>("inspection");
    QTest::addColumn<QList<Reading>>("readings");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<QList<int>>("failed");
    QTest::addColumn<double>("lastError"); // of step 2 (10000 kg)
    // Plan: zero, 500, 10000, repeatability three times 5000; class III, e = 1 kg, Max 10000 kg.
    const Reading r5000 = At(5000);
    QTest::newRow("exact") << Inspection::Initial
                           << QList<Reading>{At(0), At(500), At(10000), r5000, r5000, r5000} << Verdict::Pass
                           << QList<int>{} << 0.0;
    QTest::newRow("at the limit 1.5 e")
        << Inspection::Initial << QList<Reading>{At(0), At(500), At(10001.5), r5000, r5000, r5000}
        << Verdict::Pass << QList<int>{} << 1.5;
    QTest::newRow("past the limit") << Inspection::Initial
                                    << QList<Reading>{At(0), At(500), At(10002), r5000, r5000, r5000}
                                    << Verdict::Fail << QList<int>{2} << 2.0;
    QTest::newRow("past the limit, in service 3 e")
        << Inspection::InService << QList<Reading>{At(0), At(500), At(10002), r5000, r5000, r5000}
        << Verdict::Pass << QList<int>{} << 2.0;
    QTest::newRow("below, at 500 e 1 e is too much")
        << Inspection::Initial << QList<Reading>{At(0), At(499), At(10000), r5000, r5000, r5000}
        << Verdict::Fail << QList<int>{1} << 0.0;
    // With ΔL: E = I + e/2 - ΔL - L; at 500, 501 + 0.5 - 0.9 - 500 = 0.6 > 0.5 fails uncorrected ...
    QTest::newRow("ΔL, no error at zero")
        << Inspection::Initial << QList<Reading>{At(0), WithDelta(501, 0.9), At(10000), r5000, r5000, r5000}
        << Verdict::Fail << QList<int>{1} << 0.0;
    // ... and passes once corrected by E0 = 0 + 0.5 - 0.3 = 0.2 (Ec = 0.4); I - L elsewhere.
    QTest::newRow("ΔL, corrected by the error at zero")
        << Inspection::Initial
        << QList<Reading>{WithDelta(0, 0.3), WithDelta(501, 0.9), WithDelta(10001, 0.5), r5000, r5000, r5000}
        << Verdict::Pass << QList<int>{} << 0.8;
    QTest::newRow("repeatability spread 2 e > 1.5 e")
        << Inspection::Initial << QList<Reading>{At(0), At(500), At(10000), At(5001), At(4999), r5000}
        << Verdict::Fail << QList<int>{3, 4, 5} << 0.0;
    QTest::newRow("repeatability spread 1.5 e")
        << Inspection::Initial << QList<Reading>{At(0), At(500), At(10000), At(5001), At(4999.5), r5000}
        << Verdict::Pass << QList<int>{} << 0.0;
    QTest::newRow("not every step read")
        << Inspection::Initial << QList<Reading>{At(0), At(500), At(10000), r5000, r5000}
        << Verdict::Incomplete << QList<int>{} << 0.0;
    QTest::newRow("a failure before the end")
        << Inspection::Initial << QList<Reading>{At(0), At(502)} << Verdict::Fail << QList<int>{1} << 0.0;
}

void TestVerification::verdict() {
    QFETCH(Inspection, inspection);
    QFETCH(QList<Reading>, readings);
    QFETCH(Verdict, verdict);
    QFETCH(QList<int>, failed);
    QFETCH(double, lastError);
    Scale scale;
    scale.inspection = inspection;
    scale.max = 10000;
    const QList<Step> plan{{TestKind::Weighing, 0, 0},         {TestKind::Weighing, 500, 0},
                           {TestKind::Weighing, 10000, 0},     {TestKind::Repeatability, 5000, 0},
                           {TestKind::Repeatability, 5000, 0}, {TestKind::Repeatability, 5000, 0}};
    const Outcome out = Judge(scale, plan, readings);
    QCOMPARE(out.verdict, verdict);
    QCOMPARE(out.failed, failed);
    if (readings.size() > 2) {
        QVERIFY(qAbs(out.steps[2].error - lastError) < 1e-9);
        QCOMPARE(out.steps[2].mpe, inspection == Inspection::Initial ? 1.5 : 3.0);
    }
}

QTEST_GUILESS_MAIN(TestVerification)
#include "test_verification.moc"
