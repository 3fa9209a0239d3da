// The main setup screen's layout at the widths of real screens, in both languages: every caption ends
// next to its field, no button cuts its caption, the window fits, and the test tab's start and end
// buttons share one place so that nothing jumps when a test starts.

#include "mainrig.h"

#include "comparewindow.h"
#include "dialogs.h"
#include "layoutcheck.h"
#include "modteor.h"
#include "note.h"
#include "setupdialogs.h"
#include "traffic.h"
#include "trafficwindow.h"
#include "verificationwindow.h"
#include "trendcontrol.h"
#include "uitestsupport.h"

#include <QAction>
#include <QDockWidget>
#include <QGroupBox>
#include <QLayout>
#include <QPushButton>

namespace {

// A laptop of 1024x768 less its panel and the window's title bar.
constexpr QSize Room = Form1::ScreenRoomMin;

// The faults of a window (or dialog) on show at the size it takes, bounded by the screen.
QStringList FaultsOnShow(QWidget& window) {
    window.show();
    if (window.layout()) {
        window.layout()->activate();
    }
    if (window.width() > Room.width() || window.height() > Room.height()) {
        window.resize(window.size().boundedTo(Room));
    }
    QApplication::processEvents();
    return WindowFaults(window, Room);
}

} // namespace

class TestForm1Layout : public QObject {
    Q_OBJECT
private slots:
    // Every window of the setup screen at 1024x720, both models and languages, the trend shown or not:
    // no control outside its window, no caption cut short, the window no larger than the screen, and
    // the trend (floating where docked it would not fit) no larger either.
    void setupScreenFitsASmallLaptop_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("trend");
        for (int model : {1, 2}) {
            for (int language : {0, 1}) {
                for (bool trend : {false, true}) {
                    QTest::addRow("model %d %s%s", model, language == 1 ? "English" : "Italian",
                                  trend ? ", trend" : "")
                        << model << language << trend;
                }
            }
        }
    }
    void setupScreenFitsASmallLaptop() {
        QFETCH(int, model);
        QFETCH(int, language);
        QFETCH(bool, trend);
        MainRig rig(model, language);
        if (trend) {
            rig.form->Trend().TrendItem->trigger();
        }
        const auto check = [&](const QString& where) {
            rig.form->centralWidget()->layout()->activate();
            QApplication::processEvents();
            QStringList faults = WindowFaults(*rig.form, Room) + LayoutFaults(*rig.form);
            if (rig.form->TrendDock->isFloating()) {
                faults += WindowFaults(*rig.form->TrendDock, Room);
            }
            QVERIFY2(faults.isEmpty(), qPrintable(where + ": " + faults.join("; ")));
            QCOMPARE(rig.form->TrendDock->isVisible(), trend);
        };
        check(QStringLiteral("monitoring"));
        QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
        for (int tab = 0; tab < Form1::TabCount; ++tab) {
            if (rig.form->SSTab1->isTabEnabled(tab)) {
                rig.ChooseTab(tab);
                check(QStringLiteral("tab %1").arg(tab));
            }
        }
        // The smallest the window can be made still shows everything.
        rig.form->resize(rig.form->minimumSizeHint());
        check(QStringLiteral("smallest"));
    }

    // The start-up screen and every dialog of both screens, in both languages.
    void windowsAndDialogsFit_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("Italian") << 0;
        QTest::newRow("English") << 1;
    }
    void windowsAndDialogsFit() {
        QFETCH(int, language);
        uitest::Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(uitest::ProgIni(0, "1", 0, language)));
        QVERIFY(bench.WriteStrum({1, 7, 8, 32}));
        uitest::StartScreen start(bench);
        start.Run();
        QVERIFY(start.WaitPasses(1));
        QStringList faults = FaultsOnShow(*start.form);
        QVERIFY2(faults.isEmpty(), qPrintable("start-up screen: " + faults.join("; ")));
        start.Finish();

        Modulo1 m;
        m.LanguageIndex = uint8_t(language);
        ScriptedPrompter prompter;
        ScreenContext context{m, prompter, bench.dir.path(), bench.device};
        TrafficLog log;
        const setupdiff::Comparison comparison = setupdiff::Compare(
            QStringList(39, QStringLiteral("1")), QStringList(39, QStringLiteral("2")), 1, language);
        Comm comm(context);
        Ling ling(context);
        FrmAbout about;
        Dialog_passw password(m, prompter);
        DialogA save(m);
        modteor datasheet;
        Note note(m);
        CompareWindow compare(comparison, QStringLiteral("quartel-01.stp"), language);
        TrafficWindow traffic(log, m, prompter);
        InstrumentSummary instrument{1, 1, QStringLiteral("32"), QStringLiteral("10000"), QStringLiteral("0.01"),
                                     QStringLiteral("2.0000")};
        verify::Scale scale;
        scale.e = 0.01;
        scale.decimals = 2;
        scale.max = 10000;
        VerificationWindow verification(instrument, scale, language);
        comm.Form_Load();
        ling.Form_Load();
        password.Form_Load();
        save.Form_Load();
        datasheet.Form_Load(language);
        note.Form_Load();
        for (QWidget* window : std::initializer_list<QWidget*>{&comm, &ling, &about, &password, &save, &datasheet,
                                                               &note, &compare, &traffic, &verification}) {
            faults = FaultsOnShow(*window);
            QVERIFY2(faults.isEmpty(), qPrintable(window->objectName() + ": " + faults.join("; ")));
        }
    }

    void captionsNextToFields_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("language");
        QTest::addColumn<QSize>("screen");
        for (int model : {1, 2}) {
            for (int language : {0, 1}) {
                for (QSize screen : {QSize(1024, 768), QSize(1366, 768), QSize(1920, 1080)}) {
                    QTest::addRow("model %d %s %dx%d", model, language == 1 ? "English" : "Italian",
                                  screen.width(), screen.height())
                        << model << language << screen;
                }
            }
        }
    }
    void captionsNextToFields() {
        QFETCH(int, model);
        QFETCH(int, language);
        QFETCH(QSize, screen);
        MainRig rig(model, language);
        QStringList faults = LayoutFaults(*rig.form);
        QVERIFY2(faults.isEmpty(), qPrintable("monitoring: " + faults.join("; ")));
        QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
        // The window as wide as the screen, as when it is maximised there.
        rig.form->resize(screen);
        for (int tab = 0; tab < Form1::TabCount; ++tab) {
            if (!rig.form->SSTab1->isTabEnabled(tab)) {
                continue;
            }
            rig.ChooseTab(tab);
            QCOMPARE(rig.form->SSTab1->currentIndex(), tab);
            rig.form->centralWidget()->layout()->activate();
            QCOMPARE(rig.form->width(), screen.width()); // it fits
            faults = LayoutFaults(*rig.form);
            QVERIFY2(faults.isEmpty(), qPrintable(QStringLiteral("tab %1: ").arg(tab) + faults.join("; ")));
            // The check looks at the tab's captions: with no room allowed at all, each one is a fault.
            if (tab != 1 && tab != Form1::TestTab) {
                QVERIFY(LayoutFaults(*rig.form, -1).size() >= 3);
            }
        }
    }

    // Starting a test puts its end button where the start button was; the two boxes are equally wide.
    void testButtonsStayInPlace_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::newRow("analog, Italian") << 0 << "Command8"
                                         << "Command11";
        QTest::newRow("analog, English") << 1 << "Command8"
                                         << "Command11";
        QTest::newRow("relays, Italian") << 0 << "Command22"
                                         << "Command23";
        QTest::newRow("relays, English") << 1 << "Command22"
                                         << "Command23";
    }
    void testButtonsStayInPlace() {
        QFETCH(int, language);
        QFETCH(QString, start);
        QFETCH(QString, end);
        MainRig rig(1, language);
        QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
        rig.ChooseTab(Form1::TestTab);
        auto* startButton = rig.form->findChild<QPushButton*>(start);
        auto* endButton = rig.form->findChild<QPushButton*>(end);
        auto* frame5 = rig.form->findChild<QGroupBox*>("Frame5");
        auto* frame6 = rig.form->findChild<QGroupBox*>("Frame6");
        QVERIFY(qAbs(frame5->width() - frame6->width()) <= 1); // an odd width splits unevenly
        const QRect before = startButton->geometry();
        const QRect frames = frame5->geometry().united(frame6->geometry());
        QTest::mouseClick(startButton, Qt::LeftButton);
        QVERIFY(endButton->isVisible());
        QVERIFY(!startButton->isVisible());
        rig.form->centralWidget()->layout()->activate();
        QCOMPARE(endButton->geometry(), before);
        QCOMPARE(frame5->geometry().united(frame6->geometry()), frames);
        QVERIFY2(LayoutFaults(*rig.form).isEmpty(), qPrintable(LayoutFaults(*rig.form).join("; ")));
        QTest::mouseClick(endButton, Qt::LeftButton);
        QVERIFY(startButton->isVisible());
        QCOMPARE(startButton->geometry(), before);
    }
};

QTEST_MAIN(TestForm1Layout)
#include "test_form1_layout.moc"
