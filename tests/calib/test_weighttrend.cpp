// The weight trend's points, gaps and window figures, the weight log's rows, and a log that meets a full
// file system.

#include "trendaxis.h"
#include "weightlog.h"
#include "weighttrend.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <ctime>
#include <sys/resource.h>

namespace {

constexpr qint64 T0 = 1'765'358'102'481; // 2025-12-10T09:15:02.481Z
constexpr double Gap = std::numeric_limits<double>::quiet_NaN();

struct Reading {
    qint64 ms;
    double value; // NaN: a pass without a reading
    bool stable;
};

WeightReading MakeReading(qint64 ms, double value, bool stable, uint8_t view = 2) {
    WeightReading r;
    r.timeMs = ms;
    r.view = view;
    r.hasWeight = true;
    r.number = QString::number(value, 'f', 2);
    r.shown = r.number.rightJustified(7);
    r.stable = stable;
    return r;
}

WeightTrend Feed(const QList<Reading>& readings) {
    WeightTrend trend;
    for (const Reading& r : readings) {
        trend.AfterPass(
            std::isnan(r.value) ? std::nullopt : std::optional(MakeReading(r.ms, r.value, r.stable)), r.ms);
    }
    return trend;
}

// The points as "value/s" (stable) or "value/u", a gap as "-".
QStringList Describe(const WeightTrend& trend) {
    QStringList out;
    for (const TrendPoint& p : trend.Points()) {
        out << (p.IsGap() ? QStringLiteral("-")
                          : QString::number(p.value, 'f', 2) +
                                (p.stable ? QStringLiteral("/s") : QStringLiteral("/u")));
    }
    return out;
}

} // namespace

class TestWeightTrend : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Local time one hour east of UTC, with no summer time: the log's time stamps are fixed.
        qputenv("TZ", "<+01>-1");
        tzset();
    }

    // One point per reading in the order read; a run of passes without a reading makes one gap;
    // readings far apart are not joined; a status text instead of a weight is a gap, not a value.
    void points_data() {
        QTest::addColumn<QList<Reading>>("readings");
        QTest::addColumn<QStringList>("points");
        QTest::newRow("readings in order")
            << QList<Reading>{{T0, 1, true}, {T0 + 100, 2, false}, {T0 + 200, 3, true}}
            << QStringList{"1.00/s", "2.00/u", "3.00/s"};
        QTest::newRow("passes without a reading: one gap") << QList<Reading>{{T0, 1, true},
                                                                             {T0 + 100, Gap, true},
                                                                             {T0 + 200, Gap, true},
                                                                             {T0 + 300, 2, true}}
                                                           << QStringList{"1.00/s", "-", "2.00/s"};
        QTest::newRow("no gap before the first reading")
            << QList<Reading>{{T0, Gap, true}, {T0 + 100, 5, true}} << QStringList{"5.00/s"};
        QTest::newRow("readings 5 s apart are joined")
            << QList<Reading>{{T0, 1, true}, {T0 + WeightTrend::MaxJoinMs, 2, true}}
            << QStringList{"1.00/s", "2.00/s"};
        QTest::newRow("readings just over 5 s apart are not")
            << QList<Reading>{{T0, 1, true}, {T0 + WeightTrend::MaxJoinMs + 1, 2, true}}
            << QStringList{"1.00/s", "-", "2.00/s"};
        QTest::newRow("the oldest kept is 15 minutes old")
            << QList<Reading>{{T0, 1, true}, {T0 + 1000, 2, true}, {T0 + 1000 + WeightTrend::KeepMs, 3, true}}
            << QStringList{"2.00/s", "-", "3.00/s"};
    }
    void points() {
        QFETCH(QList<Reading>, readings);
        QFETCH(QStringList, points);
        QCOMPARE(Describe(Feed(readings)), points);
    }

    void statusTextAndViewChange() {
        WeightTrend trend;
        trend.AfterPass(MakeReading(T0, 10, true, 2), T0);
        WeightReading status = MakeReading(T0 + 100, 0, true, 2);
        status.hasWeight = false;
        status.number.clear();
        status.shown = QStringLiteral(" O - L ");
        trend.AfterPass(status, T0 + 100);
        trend.AfterPass(MakeReading(T0 + 200, 11, true, 2), T0 + 200);
        QCOMPARE(Describe(trend), (QStringList{"10.00/s", "-", "11.00/s"}));
        trend.AddMark(T0 + 250, TrendMarkKind::Zero);
        // The net view: another quantity, the curve starts afresh; the mark stays.
        trend.AfterPass(MakeReading(T0 + 300, 0.5, true, 1), T0 + 300);
        QCOMPARE(Describe(trend), QStringList{"0.50/s"});
        QCOMPARE(trend.View(), 1);
        QCOMPARE(trend.Marks().size(), size_t(1));
    }

    // The figures of the readings in a window: gaps and readings outside it are left out, both ends
    // are in.
    void figures_data() {
        QTest::addColumn<QList<Reading>>("readings");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("mean");
        QTest::addColumn<double>("spread");
        QTest::addColumn<int>("unstable");
        const auto series = [](std::function<double(int)> value, int n, std::function<bool(int)> stable) {
            QList<Reading> r;
            for (int i = 0; i < n; ++i) {
                r.append({T0 + i * 100, value(i), stable(i)});
            }
            return r;
        };
        const auto always = [](int) { return true; };
        QTest::newRow("constant") << series([](int) { return 125.5; }, 10, always) << T0 << T0 + 900 << 10
                                  << 125.5 << 125.5 << 125.5 << 0.0 << 0;
        // 0, 1, ..., 9: mean 4.5, population deviation sqrt(8.25).
        QTest::newRow("ramp") << series([](int i) { return double(i); }, 10, always) << T0 << T0 + 900 << 10
                              << 0.0 << 9.0 << 4.5 << std::sqrt(8.25) << 0;
        // Five at 0 then five at 10: mean 5, every reading 5 from it.
        QTest::newRow("step") << series([](int i) { return i < 5 ? 0.0 : 10.0; }, 10, always) << T0
                              << T0 + 900 << 10 << 0.0 << 10.0 << 5.0 << 5.0 << 0;
        QTest::newRow("one unstable stretch")
            << series([](int i) { return i >= 3 && i <= 5 ? 50.0 + i : 100.0; }, 10,
                      [](int i) { return i < 3 || i > 5; })
            << T0 << T0 + 900 << 10 << 53.0 << 100.0 << (7 * 100.0 + 53 + 54 + 55) / 10 << std::sqrt(444.56)
            << 3;
        QTest::newRow("window cuts both ends")
            << series([](int i) { return double(i); }, 10, always) << T0 + 200 << T0 + 400 << 3 << 2.0 << 4.0
            << 3.0 << std::sqrt(2.0 / 3) << 0;
        QTest::newRow("gaps are not readings")
            << QList<Reading>{{T0, 4, true}, {T0 + 100, Gap, true}, {T0 + 200, 6, true}} << T0 << T0 + 200
            << 2 << 4.0 << 6.0 << 5.0 << 1.0 << 0;
        QTest::newRow("an empty window") << series([](int i) { return double(i); }, 3, always) << T0 + 300
                                         << T0 + 900 << 0 << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    }
    void figures() {
        QFETCH(QList<Reading>, readings);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        const TrendFigures f = Feed(readings).Figures(from, to);
        QTEST(f.count, "count");
        QTEST(f.min, "min");
        QTEST(f.max, "max");
        QFETCH(double, mean);
        QFETCH(double, spread);
        QVERIFY2(std::abs(f.mean - mean) < 1e-6, qPrintable(QString::number(f.mean)));
        QVERIFY2(std::abs(f.spread - spread) < 1e-6, qPrintable(QString::number(f.spread)));
        QTEST(f.unstable, "unstable");
    }

    void unstableStretches() {
        // Unstable from the 3rd to the 5th reading; the stretch runs to the next (stable) reading.
        QList<Reading> r;
        for (int i = 0; i < 10; ++i) {
            r.append({T0 + i * 100, 1.0, i < 3 || i > 5});
        }
        const WeightTrend trend = Feed(r);
        const QList<TrendStretch> all = trend.UnstableStretches(T0, T0 + 900);
        QCOMPARE(all.size(), 1);
        QCOMPARE(all[0].fromMs, T0 + 300);
        QCOMPARE(all[0].toMs, T0 + 600);
        // Cut to a window that starts inside it.
        const QList<TrendStretch> cut = trend.UnstableStretches(T0 + 400, T0 + 900);
        QCOMPARE(cut.size(), 1);
        QCOMPARE(cut[0].fromMs, T0 + 400);
        QVERIFY(trend.UnstableStretches(T0 + 700, T0 + 900).isEmpty());
    }

    // The curve thinned to slices: each stretch between gaps holds at most five points a slice, in the
    // order read, with the lowest and highest reading of each slice; the unstable readings one a slice;
    // the reading just before the window comes along so that the line starts at its edge.
    void curve() {
        QList<Reading> r;
        for (int i = 0; i < 1000; ++i) {
            r.append({T0 + i * 10, i == 500 ? Gap : double(i % 7), !(i >= 200 && i <= 210)});
        }
        const WeightTrend trend = Feed(r);
        const TrendCurve all = trend.Curve(T0, T0 + 9990, 10);
        QCOMPARE(all.stretches.size(), 2);
        for (const QList<QPointF>& stretch : all.stretches) {
            QVERIFY(stretch.size() <= 5 * 6); // a stretch touches at most six slices
            QVERIFY(std::is_sorted(stretch.begin(), stretch.end(),
                                   [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
            const auto [low, high] =
                std::minmax_element(stretch.begin(), stretch.end(),
                                    [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
            QCOMPARE(low->y(), 0.0);
            QCOMPARE(high->y(), 6.0);
        }
        QCOMPARE(all.unstable.size(), 1);
        QVERIFY(all.stretches[0].contains(all.unstable[0]));
        QVERIFY(all.unstable[0].x() >= T0 + 2000 && all.unstable[0].x() <= T0 + 2100);
        const TrendCurve late = trend.Curve(T0 + 7005, T0 + 9990, 3);
        QCOMPARE(late.stretches.size(), 1);
        QCOMPARE(late.stretches[0].first().x(), double(T0 + 7000));
        QVERIFY(late.unstable.isEmpty());
        // A gap inside one slice: two stretches, the second from the reading after the gap.
        const TrendCurve coarse = trend.Curve(T0, T0 + 9990, 1);
        QCOMPARE(coarse.stretches.size(), 2);
        QCOMPARE(coarse.stretches[1].first().x(), double(T0 + 5010));
    }

    // The automatic range: whole divisions, room above and below, at least four divisions high.
    void autoRange_data() {
        QTest::addColumn<double>("lowest");
        QTest::addColumn<double>("highest");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("a still weight: four divisions about it") << 10.0 << 10.0 << 0.02 << 9.94 << 10.06;
        QTest::newRow("a span: a tenth of room, to whole divisions") << 0.0 << 100.0 << 1.0 << -10.0 << 110.0;
        QTest::newRow("division not known: steps of 1") << 5.0 << 5.0 << 0.0 << 2.0 << 8.0;
    }
    void autoRange() {
        QFETCH(double, lowest);
        QFETCH(double, highest);
        QFETCH(double, step);
        const TrendRange range = TrendAutoRange(lowest, highest, step);
        QTEST(range.low, "low");
        QTEST(range.high, "high");
    }

    // The labels along the axes: the weight in round steps of the division, with its decimals; the time
    // in whole seconds, minutes or hours of the local clock.
    void axisTicks_data() {
        QTest::addColumn<bool>("weight");
        QTest::addColumn<double>("low"); // weight, or ms since the epoch
        QTest::addColumn<double>("high");
        QTest::addColumn<double>("division"); // weight; for the time: the offset from UTC in seconds
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("step");
        QTest::addColumn<QString>("labels");
        QTest::newRow("+-1.5 at 1") << true << -1.5 << 1.5 << 1.0 << 0 << 1.0 << "-1 0 1";
        QTest::newRow("0.03 at 0.01") << true << 100.0 << 100.03 << 0.01 << 2 << 0.01
                                      << "100.00 100.01 100.02 100.03";
        QTest::newRow("0 to 60000 at 10")
            << true << 0.0 << 60000.0 << 10.0 << 0 << 10000.0 << "0 10000 20000 30000 40000 50000 60000";
        QTest::newRow("0 to 1000 at 20: 20, 40, 100, 200")
            << true << 0.0 << 1000.0 << 20.0 << 0 << 200.0 << "0 200 400 600 800 1000";
        QTest::newRow("0 to 600 at 20: 100") << true << 0.0 << 600.0 << 20.0 << 0 << 100.0
                                             << "0 100 200 300 400 500 600";
        QTest::newRow("0 to 25 at 1: 5") << true << 0.0 << 25.0 << 1.0 << 0 << 5.0 << "0 5 10 15 20 25";
        QTest::newRow("about zero at 0.002: never -0.000")
            << true << -0.01 << 0.01 << 0.002 << 3 << 0.004 << "-0.008 -0.004 0.000 0.004 0.008";
        QTest::newRow("division not known: the last decimal")
            << true << 0.0 << 0.04 << 0.0 << 2 << 0.01 << "0.00 0.01 0.02 0.03 0.04";
        const double t0 = double(T0); // 10:15:02.481 in Central Europe
        QTest::newRow("1 minute: 10 s") << false << t0 << t0 + 60000 << 3600.0 << 0 << 10000.0
                                        << "10:15:10 10:15:20 10:15:30 10:15:40 10:15:50 10:16:00";
        QTest::newRow("5 minutes: 1 min")
            << false << t0 << t0 + 300000 << 3600.0 << 0 << 60000.0 << "10:16 10:17 10:18 10:19 10:20";
        QTest::newRow("15 minutes: 5 min")
            << false << t0 << t0 + 900000 << 3600.0 << 0 << 300000.0 << "10:20 10:25 10:30";
        QTest::newRow("half-hour offset") << false << t0 << t0 + 60000 << 19800.0 << 0 << 10000.0
                                          << "14:45:10 14:45:20 14:45:30 14:45:40 14:45:50 14:46:00";
        const double lateEvening = 1'765'407'570'000; // 2025-12-10T22:59:30Z, 23:59:30 in Central Europe
        QTest::newRow("over midnight, both ends on a tick")
            << false << lateEvening << lateEvening + 60000 << 3600.0 << 0 << 10000.0
            << "23:59:30 23:59:40 23:59:50 00:00:00 00:00:10 00:00:20 00:00:30";
    }
    void axisTicks() {
        QFETCH(bool, weight);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(double, division);
        QFETCH(int, decimals);
        const AxisTicks ticks = weight ? WeightAxisTicks(low, high, division, decimals)
                                       : TimeAxisTicks(qint64(low), qint64(high), int(division));
        QStringList labels;
        for (const AxisTick& tick : ticks.ticks) {
            labels << tick.label;
            QVERIFY(tick.value >= low - 1e-9 && tick.value <= high + 1e-9);
        }
        QTEST(labels.join(' '), "labels");
        QTEST(ticks.step, "step");
    }

    // The rows of the log, as the header describes them.
    void logLine_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("view");
        QTest::addColumn<bool>("hasWeight");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("stable");
        QTest::addColumn<int>("lamps"); // bit 0 net, 1 output 1, 2 output 2
        QTest::addColumn<QString>("line");
        QTest::newRow("VXA gross, stable, output 1")
            << 1 << 2 << true << "125.00"
            << " 125.00" << true << 2
            << "2025-12-10T10:15:02.481+01:00,7,VXA,gross,125.00,\" 125.00\",1,0,1,0";
        QTest::newRow("VXA net, negative, unstable, all lamps")
            << 1 << 1 << true << "-0.04"
            << "  -0.04" << false << 7 << "2025-12-10T10:15:02.481+01:00,7,VXA,net,-0.04,\"  -0.04\",0,1,1,1";
        QTest::newRow("VXA peak") << 1 << 3 << true << "3"
                                  << "      3" << true << 0
                                  << "2025-12-10T10:15:02.481+01:00,7,VXA,peak,3,\"      3\",1,0,0,0";
        QTest::newRow("VXB: no lamps of its own")
            << 2 << 2 << true << "12.5"
            << "   12.5" << true << 7 << "2025-12-10T10:15:02.481+01:00,7,VXB,gross,12.5,\"   12.5\",1,,,";
        QTest::newRow("a status text instead of a weight")
            << 1 << 2 << false << ""
            << " O - L " << false << 0 << "2025-12-10T10:15:02.481+01:00,7,VXA,gross,,\" O - L \",0,0,0,0";
        QTest::newRow("a quote in the text is doubled")
            << 1 << 2 << false << ""
            << "a\"b" << true << 0 << "2025-12-10T10:15:02.481+01:00,7,VXA,gross,,\"a\"\"b\",1,0,0,0";
    }
    void logLine() {
        QFETCH(int, model);
        QFETCH(int, view);
        QFETCH(int, lamps);
        WeightLogRow row;
        row.reading.timeMs = T0;
        row.reading.view = uint8_t(view);
        QFETCH(bool, hasWeight);
        QFETCH(QString, number);
        QFETCH(QString, shown);
        QFETCH(bool, stable);
        row.reading.hasWeight = hasWeight;
        row.reading.number = number;
        row.reading.shown = shown;
        row.reading.stable = stable;
        row.address = 7;
        row.model = model;
        row.net = lamps & 1;
        row.output1 = lamps & 2;
        row.output2 = lamps & 4;
        QTEST(WeightLogLine(row), "line");
        QCOMPARE(WeightLogHeader(),
                 QStringLiteral("time,address,model,view,weight,shown,stable,net,output1,output2"));
    }

    void fileName() {
        QCOMPARE(WeightLogFileName(1, QDate(2026, 12, 10)), QStringLiteral("quartel-addr01-2026-12-10.csv"));
        QCOMPARE(WeightLogFileName(32, QDate(2027, 1, 2)), QStringLiteral("quartel-addr32-2027-01-02.csv"));
    }

    // A file that cannot grow past a limit (a full file system): the row that meets the limit ends the
    // log with the system's reason, and every row before it is in the file whole, nothing after it.
    void fullFileSystem() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("log.csv"));
        WeightLogRow row;
        row.reading = MakeReading(T0, 125, true);
        row.address = 1;
        const QByteArray header = WeightLogHeader().toUtf8() + "\r\n";
        const QByteArray line = WeightLogLine(row).toUtf8() + "\r\n";
        // Room for the header, three rows and half of a fourth.
        const rlim_t limit = rlim_t(header.size() + 3 * line.size() + line.size() / 2);

        rlimit before{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &before) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        WeightLogFile log;
        QVERIFY(log.Open(path));
        rlimit small = before;
        small.rlim_cur = limit;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        int appended = 0;
        while (appended < 10 && log.Append(row)) {
            ++appended;
        }
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(appended, 3);
        QCOMPARE(log.Rows(), qint64(3));
        QVERIFY(!log.IsOpen());
        QVERIFY2(log.ErrorString().contains(QStringLiteral("large"), Qt::CaseInsensitive),
                 qPrintable(log.ErrorString()));
        QVERIFY(!log.Append(row)); // stays ended
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), header + line + line + line);
    }

    void unwritablePlace() {
        WeightLogFile log;
        QVERIFY(!log.Open(QStringLiteral("/nonexistent/dir/log.csv")));
        QVERIFY(!log.ErrorString().isEmpty());
        QVERIFY(!log.IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestWeightTrend)
#include "test_weighttrend.moc"
