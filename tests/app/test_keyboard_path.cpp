// The whole path at the keyboard, with real key presses and not one mouse event: from the start-up
// screen (Tab to a ticked instrument's picture, an arrow key past an unticked one, keypad Enter) to the setup
// screen of that instrument, setup mode, Ctrl+Tab right after it, a value typed and sent with Enter,
// the weight log started with Ctrl+L, setup mode left, and the exit with Ctrl+Q and the save question
// answered from the keys.

#include "appshell.h"

#include "registers.h"
#include "statusline.h"

#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

using namespace uitest;

namespace {

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* target =
        QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    QTest::keyClick(target, key, modifiers);
}

// Tab until `target` has the focus, as a user would; false after a round of every control.
bool TabTo(const QWidget* target) {
    for (int presses = 0; presses < 120; ++presses) {
        if (QApplication::focusWidget() == target) {
            return true;
        }
        Press(Qt::Key_Tab);
    }
    return QApplication::focusWidget() == target;
}

} // namespace

class TestKeyboardPath : public QObject {
    Q_OBJECT
private slots:
    void startScreenToSendAndExit() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(1, SimInstrument::VXA)->setNet(10);
        SimInstrument* vxa = bench.sim.addInstrument(3, SimInstrument::VXA);
        vxa->setNet(30);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({1, 3}));
        Shell shell(bench);
        shell.Run();
        WAIT_VERIFY(shell.Start() != nullptr, 3000);
        Form2* start = shell.Start();
        QApplication::setActiveWindow(start);
        WAIT_COMPARE(start->Peso[3]->text(), QString("     30"), 5000);

        // The pictures take the focus; the arrow key skips address 2, which is not ticked; Enter opens.
        QVERIFY(TabTo(start->Icona[1]));
        Press(Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), start->Icona[3]);
        Press(Qt::Key_Enter, Qt::KeypadModifier);
        WAIT_VERIFY(shell.Main() != nullptr, 5000);
        Form1* main = shell.Main();
        QCOMPARE(int(shell.app->State().DeviceAddress), 3);
        QApplication::setActiveWindow(main);
        WAIT_VERIFY(main->PassCount() >= 2, 5000);

        // Setup mode with Enter on its button; Ctrl+Tab at once, with the focus still on that button.
        QVERIFY(TabTo(main->Command1));
        Press(Qt::Key_Return);
        QVERIFY(shell.app->State().Fl_setup);
        QCOMPARE(QApplication::focusWidget(), main->Command1);
        Press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(main->SSTab1->currentIndex(), 1);
        Press(Qt::Key_Tab, Qt::ControlModifier);
        Press(Qt::Key_Tab, Qt::ControlModifier);
        Press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(main->SSTab1->currentIndex(), 2);
        WAIT_VERIFY(shell.app->State().TabRead[3] == 1, 5000);

        // The filter: the status bar names its range on entering it; 7 typed, Enter on the send button.
        QWidget* filtro = main->FieldWidget(Field::Filtro);
        QVERIFY(TabTo(filtro));
        QCOMPARE(main->statusBar()->currentMessage(), filtro->toolTip());
        Press(Qt::Key_7);
        QVERIFY(TabTo(main->findChild<QPushButton*>("Command13")));
        Press(Qt::Key_Return);
        WAIT_COMPARE(vxa->holding(0x1100), quint16(7), 5000);

        // The weight log with Ctrl+L: the status bar names its file and rows while it runs.
        shell.prompter->QueueFileAnswer(bench.dir.filePath(QStringLiteral("weight.csv")));
        Press(Qt::Key_L, Qt::ControlModifier);
        WAIT_VERIFY(main->Status().LogLabel()->text().startsWith(QStringLiteral("Registrazione: weight.csv, ")), 5000);
        WAIT_VERIFY(!main->Status().LogLabel()->text().endsWith(QStringLiteral(", 0 righe")), 5000);

        // Setup mode left, then Ctrl+Q; the save question answered with the keys.
        QVERIFY(TabTo(main->Command1));
        Press(Qt::Key_Space);
        QVERIFY(!shell.app->State().Fl_setup);
        WAIT_VERIFY(main->opz->isEnabled(), 5000); // the Options menu (and Ctrl+Q) back at the next pass
        shell.prompter->QueueDialogScript([](QDialog& dialog) {
            dialog.show();
            QTest::keyClick(dialog.findChild<QPushButton*>("OKButton"), Qt::Key_Space);
        });
        Press(Qt::Key_Q, Qt::ControlModifier);
        WAIT_VERIFY(shell.Start() != nullptr, 10000);
        // OK stored the changes (command 0x0020).
        QCOMPARE(vxa->stored(0x1100), quint16(7));
    }
};

QTEST_MAIN(TestKeyboardPath)
#include "test_keyboard_path.moc"
