// The main setup screen's layout at the widths of real screens, in both languages: every caption ends
// next to its field, no button cuts its caption, the window fits, and the test tab's start and end
// buttons share one place so that nothing jumps when a test starts.

#include "mainrig.h"

#include "layoutcheck.h"

#include <QGroupBox>
#include <QLayout>
#include <QPushButton>

class TestForm1Layout : public QObject {
    Q_OBJECT
private slots:
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
