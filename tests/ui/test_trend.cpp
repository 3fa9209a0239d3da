// The weight trend of the main setup screen against a simulated instrument whose weight moves by one
// division at each pass: one point per reading in order, a gap wherever no weight was read (offline
// editing, a write waiting for its echo), the marks of a zero and a full-scale setting, the panel's
// window, hold, pause, figures and picture, and the menu item remembered in view.ini.

#include "mainrig.h"
#include "uitestsupport.h"

#include "trendcontrol.h"
#include "trendpanel.h"
#include "viewsettings.h"

#include <QAbstractButton>
#include <QAction>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int WaitMs = 20000;

// The weight goes up by one division after each read of the weight block.
struct Rising {
    QMetaObject::Connection connection;
    qint32 gross = 100;
    Rising(MainRig& rig) {
        rig.instrument->setGross(gross);
        connection = QObject::connect(&rig.sim, &Simulator::requestReceived, &rig.sim,
                                      [this, &rig](int, const QByteArray& frame) {
                                          if (frame.mid(3, 6) == "040000") { // the weight block
                                              rig.instrument->setGross(++gross);
                                          }
                                      });
    }
    ~Rising() { QObject::disconnect(connection); }
};

bool WaitReadings(const WeightTrend& trend, quint64 more) {
    const quint64 target = trend.Readings() + more;
    return uitest::WaitUntil([&] { return trend.Readings() >= target; }, WaitMs);
}

bool WaitPasses(MainRig& rig, int count) {
    const quint64 target = rig.form->PassCount() + quint64(count);
    return uitest::WaitUntil([&] { return rig.form->PassCount() >= target; }, WaitMs);
}

// The values of the points, a gap as NaN.
QList<double> Values(const WeightTrend& trend) {
    QList<double> values;
    for (const TrendPoint& p : trend.Points()) {
        values << p.value;
    }
    return values;
}

// Every reading one division above the one before (none lost, none twice, in order), and the number of
// gaps between them.
int CheckRising(const QList<double>& values, bool* ok) {
    int gaps = 0;
    double last = std::numeric_limits<double>::quiet_NaN();
    *ok = true;
    for (double v : values) {
        if (std::isnan(v)) {
            ++gaps;
            continue;
        }
        if (!std::isnan(last) && v != last + 1) {
            *ok = false;
        }
        last = v;
    }
    return gaps;
}

} // namespace

class TestTrend : public QObject {
    Q_OBJECT
private slots:
    void pointsAndOfflineGap() {
        MainRig rig;
        Rising rising(rig);
        rig.Run();
        const WeightTrend& trend = rig.form->Trend().Trend();
        QVERIFY(WaitReadings(trend, 5));
        rig.form->Econf->trigger(); // offline editing: nothing is read
        QVERIFY(WaitPasses(rig, 5));
        const qsizetype offlinePoints = trend.Points().size();
        QVERIFY(WaitPasses(rig, 5));
        QCOMPARE(trend.Points().size(), offlinePoints); // one gap for the whole stretch
        rig.form->Econf->trigger();
        QVERIFY(WaitReadings(trend, 5));

        bool rising1 = false;
        QCOMPARE(CheckRising(Values(trend), &rising1), 1);
        QVERIFY(rising1);
        QVERIFY(std::isnan(trend.Points()[size_t(offlinePoints - 1)].value));
        // The first reading is the weight first set.
        QVERIFY2(trend.Points().front().value == 100.0,
                 qPrintable(QString::number(trend.Points().front().value)));
    }

    // A full-scale and a zero setting: each marked at its click. The full-scale request's first echo is
    // lost: the next pass waits for it and reads no weight, which leaves a gap.
    void calibrationMarksAndWriteGap() {
        MainRig rig;
        Rising rising(rig);
        rig.Run();
        const WeightTrend& trend = rig.form->Trend().Trend();
        QVERIFY(
            uitest::WaitUntil([&] { return rig.m.TabRead[1] == 1 || rig.form->PassCount() > 2; }, WaitMs));
        QTest::mouseClick(rig.Get<QPushButton>("Command1"), Qt::LeftButton);
        QVERIFY(uitest::WaitUntil([&] { return rig.m.TabRead[1] == 1; }, WaitMs));
        rig.ChooseTab(1);
        auto* campione = rig.Get<QLineEdit>("Campione");
        QTest::mouseClick(campione, Qt::LeftButton);
        QTest::keyClicks(campione, QStringLiteral("500"));
        QVERIFY(WaitReadings(trend, 2));
        const qsizetype gapsBefore = std::count_if(trend.Points().begin(), trend.Points().end(),
                                                   [](const TrendPoint& p) { return p.IsGap(); });
        const qint64 clicked = QDateTime::currentMSecsSinceEpoch();
        bool muted = true;
        QObject lostEcho;
        connect(&rig.sim, &Simulator::requestReceived, &lostEcho, [&](int, const QByteArray& frame) {
            if (muted && frame.mid(3, 2) == "06") {
                muted = false; // this write goes unanswered, its repetition is answered
                rig.sim.clearFaults();
            }
        });
        rig.sim.setFault(1, SimFault::mute());
        QTest::mouseClick(rig.Get<QPushButton>("Command3"), Qt::LeftButton);
        QVERIFY(uitest::WaitUntil([&] { return rig.instrument->spanCount() == 1; }, WaitMs));
        QVERIFY(WaitReadings(trend, 3));
        QTest::mouseClick(rig.Get<QPushButton>("Command2"), Qt::LeftButton);
        QVERIFY(uitest::WaitUntil([&] { return rig.instrument->zeroCount() == 1; }, WaitMs));
        QVERIFY(WaitReadings(trend, 3));

        const auto& marks = trend.Marks();
        QCOMPARE(marks.size(), size_t(2));
        QCOMPARE(marks[0].kind, TrendMarkKind::FullScale);
        QCOMPARE(marks[1].kind, TrendMarkKind::Zero);
        QVERIFY(marks[0].ms >= clicked && marks[0].ms < marks[1].ms);
        const qsizetype gapsAfter =
            std::count_if(trend.Points().begin(), trend.Points().end(),
                          [clicked](const TrendPoint& p) { return p.IsGap() && p.ms >= clicked; });
        QCOMPARE(gapsBefore, 0);
        QVERIFY(gapsAfter >= 1);
    }

    // The panel from the menu item, its window, hold and pause by keys and clicks, the figures of what
    // it shows, the picture, and what view.ini keeps of it.
    void panel() {
        QTemporaryDir settings;
        MainRig rig(1, 1, TestLine::FromEnvironment(), settings.path());
        Rising rising(rig);
        rig.instrument->setHolding(0x1050, 4); // two decimals, step 2
        TrendControl& control = rig.form->Trend();
        TrendPanel* panel = control.Panel();
        QVERIFY(!panel->isVisible());
        QVERIFY(!control.TrendItem->isChecked());
        rig.Run();
        control.TrendItem->trigger();
        QVERIFY(panel->isVisible());
        QCOMPARE(settings::ReadViewIni(settings.path()).trendShown, true);
        QCOMPARE(panel->title(), QStringLiteral("Weight trend"));
        QVERIFY(WaitReadings(control.Trend(), 5));

        // The window from the keyboard: 5 minutes at first, then 15, remembered.
        QCOMPARE(panel->WindowMinutes(), 5);
        panel->TrendWindow->setFocus(Qt::TabFocusReason);
        QTest::keyClick(panel->TrendWindow, Qt::Key_Down);
        QCOMPARE(panel->WindowMinutes(), 15);
        QCOMPARE(settings::ReadViewIni(settings.path()).trendWindowMinutes, 15);
        QCOMPARE(panel->ToMs() - panel->FromMs(), qint64(15 * 60 * 1000));
        QCOMPARE(panel->TickMs(), 6000); // a pixel column is more than a second wide

        // Paused, the window stands still while readings go on being kept.
        QTest::mouseClick(panel->TrendPause, Qt::LeftButton);
        const qint64 pausedAt = panel->ToMs();
        const TrendFigures paused = panel->Figures();
        QVERIFY(WaitReadings(control.Trend(), 3));
        panel->Refresh();
        QCOMPARE(panel->ToMs(), pausedAt);
        // Only a reading taken before the click, by the pass then on the wire, can still come in.
        QVERIFY(panel->Figures().count <= paused.count + 1);
        // Hold: the range stays while the weight rises past it.
        QTest::mouseClick(panel->TrendPause, Qt::LeftButton);
        QTest::mouseClick(panel->TrendHold, Qt::LeftButton);
        const TrendRange held = panel->Range();
        QVERIFY(WaitReadings(control.Trend(), 20));
        panel->Refresh();
        QCOMPARE(panel->Range().high, held.high);
        QVERIFY(panel->Figures().max > held.high);
        QTest::mouseClick(panel->TrendHold, Qt::LeftButton);
        QVERIFY(panel->Range().high >= panel->Figures().max);

        // The figures line: the weights of the window with two decimals.
        const TrendFigures f = panel->Figures();
        QVERIFY(f.count > 20);
        QCOMPARE(f.max - f.min, double(f.count - 1) * 0.02); // one division a reading, none lost
        QVERIFY2(panel->FiguresLine->text().startsWith(
                     QStringLiteral("Min %1   Max %2").arg(f.min, 0, 'f', 2).arg(f.max, 0, 'f', 2)),
                 qPrintable(panel->FiguresLine->text()));

        // The picture of the chart.
        const QString png = settings.filePath(QStringLiteral("trend.png"));
        rig.prompter.QueueFileAnswer(png);
        QSignalSpy saved(&control, &TrendControl::PictureSaved);
        QTest::mouseClick(panel->TrendExport, Qt::LeftButton);
        QVERIFY(saved.wait(WaitMs));
        QCOMPARE(saved.first().first().toString(), png);
        QImageReader reader(png);
        QCOMPARE(reader.format(), QByteArray("png"));
        QVERIFY(reader.size().width() > 100);

        control.TrendItem->trigger();
        QVERIFY(!panel->isVisible());
        QCOMPARE(settings::ReadViewIni(settings.path()).trendShown, false);
    }

    // view.ini: both values at both ends of what is accepted and just past them.
    void viewIni_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("minutes");
        QTest::newRow("missing") << QByteArray() << false << 5;
        QTest::newRow("shown, 1 minute")
            << QByteArray("Trend shown (0=no 1=yes) = 1\r\nTrend window (minutes) = 1\r\n") << true << 1;
        QTest::newRow("15 minutes") << QByteArray("Trend window (minutes) = 15\r\n") << false << 15;
        QTest::newRow("16 minutes: the default")
            << QByteArray("Trend window (minutes) = 16\r\n") << false << 5;
        QTest::newRow("0 minutes: the default") << QByteArray("Trend window (minutes) = 0\r\n") << false << 5;
        QTest::newRow("shown 2: hidden") << QByteArray("Trend shown (0=no 1=yes) = 2\r\n") << false << 5;
    }
    void viewIni() {
        QFETCH(QByteArray, content);
        const settings::ViewSettings v = settings::ParseViewIni(content);
        QTEST(v.trendShown, "shown");
        QTEST(v.trendWindowMinutes, "minutes");
        QCOMPARE(settings::ParseViewIni(settings::FormatViewIni(v)).trendShown, v.trendShown);
        QCOMPARE(settings::ParseViewIni(settings::FormatViewIni(v)).trendWindowMinutes, v.trendWindowMinutes);
    }
};

QTEST_MAIN(TestTrend)
#include "test_trend.moc"
