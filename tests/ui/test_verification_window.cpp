// The verification window over the simulator, driven as a technician does: the menu item opened with
// the mouse, Max typed, a new plan, and for each step the load placed on the simulated scale and Enter
// pressed; a scale that passes and one with a linearity error that fails. The window only asks: the
// screen's loop reads, one exchange at a time, and a second Enter while a read waits is ignored.

#include "mainrig.h"

#include "verificationcontrol.h"
#include "verificationwindow.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>

class TestVerificationWindow : public QObject {
    Q_OBJECT
private slots:
    void verify_data();
    void verify();
};

namespace {

void ClickMenuItem(Form1& form, QMenu* menu, QAction* item) {
    QMenuBar* bar = form.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

void PressEnter(QWidget* window) {
    QWidget* focus = window->focusWidget();
    QTest::keyClick(focus ? focus : window, Qt::Key_Return);
}

} // namespace

void TestVerificationWindow::verify_data() {
    QTest::addColumn<QString>("errors");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("passing scale") << QString() << QStringLiteral("VERDICT: PASS");
    QTest::newRow("linearity error") << QStringLiteral("linear:0.02%")
                                     << QStringLiteral("VERDICT: FAIL - Steps failed: 7, 8, 9, 24, 25, 26");
}

void TestVerificationWindow::verify() {
    QFETCH(QString, errors);
    QFETCH(QString, verdict);
    MainRig rig(1, 1);
    rig.instrument->setSettleMs(30);
    QVERIFY(SimInstrument::ScaleErrors::parse(errors, rig.instrument->errors));
    rig.Run();
    VerificationControl& control = rig.form->Verification();
    QTRY_VERIFY(control.VerifyItem->isEnabled());
    ClickMenuItem(*rig.form, rig.form->opz, control.VerifyItem);
    QTRY_VERIFY(control.Window() && control.Window()->isVisible());
    VerificationWindow* window = control.Window();
    QApplication::setActiveWindow(window);

    // The capacity was never read outside setup mode: the technician types Max and asks for a plan.
    auto* max = window->findChild<QLineEdit*>(QStringLiteral("MaxEdit"));
    QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("EEdit"))->text(), QStringLiteral("1"));
    QTest::mouseClick(max, Qt::LeftButton);
    max->selectAll();
    QTest::keyClicks(max, QStringLiteral("10000"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("NewPlan")), Qt::LeftButton);
    auto* table = window->findChild<QTableWidget*>(QStringLiteral("Plan"));
    QCOMPARE(table->rowCount(), 26);
    auto* prompt = window->findChild<QLabel*>(QStringLiteral("Prompt"));
    QCOMPARE(prompt->text(), QStringLiteral("1. Place 0 kg"));

    const QList<verify::Step> plan = window->Record().plan;
    for (int step = 0; step < plan.size(); ++step) {
        QCOMPARE(window->CurrentStep(), step);
        rig.instrument->placeLoad(qint32(plan[step].load), plan[step].position);
        PressEnter(window);
        QVERIFY(window->Waiting());
        if (step == 1) {
            PressEnter(window); // while the read waits: nothing more
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window->Waiting(), 5000);
        QCOMPARE(window->CurrentStep(), step + 1);
        QVERIFY(!table->item(step, 5)->text().isEmpty());
    }
    QCOMPARE(prompt->text(), QStringLiteral("Every step has been read"));
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("Verdict"))->text(), verdict);
    QCOMPARE(table->item(7, 5)->text(), errors.isEmpty() ? QStringLiteral("10000") : QStringLiteral("10002"));

    // A step read again: clicked in the table, then Enter.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualItemRect(table->item(2, 1)).center());
    QCOMPARE(window->CurrentStep(), 2);
    QCOMPARE(prompt->text(), QStringLiteral("3. Place 500 kg"));
    rig.instrument->placeLoad(501, 0);
    PressEnter(window);
    QTRY_VERIFY_WITH_TIMEOUT(!window->Waiting(), 5000);
    QCOMPARE(table->item(2, 5)->text(), QStringLiteral("501"));
    QCOMPARE(table->item(2, 9)->text(), QStringLiteral("FAIL"));

    // Setup mode: the instrument does not weigh; the item and Read wait for normal operation.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualItemRect(table->item(4, 1)).center());
    QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
    QTRY_VERIFY(!control.VerifyItem->isEnabled());
    auto* read = window->findChild<QPushButton*>(QStringLiteral("ReadButton"));
    QTRY_VERIFY(!read->isEnabled());
    PressEnter(window);
    QVERIFY(!window->Waiting());
    QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
    QTRY_VERIFY(read->isEnabled());

    // Closed while a read waits: the loop goes on, and the reading goes nowhere.
    PressEnter(window);
    QVERIFY(window->Waiting());
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!control.Window());
    const quint64 passes = rig.form->PassCount();
    QTRY_VERIFY(rig.form->PassCount() > passes + 3);
    QVERIFY(control.VerifyItem->isEnabled());
}

QTEST_MAIN(TestVerificationWindow)
#include "test_verification_window.moc"
