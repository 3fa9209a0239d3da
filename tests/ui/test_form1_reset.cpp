// The memory reset of the main setup screen: the access-code dialog on its own (captions, the
// selection of its field, its length), then end to end against the simulator: the menu item chosen,
// the code typed and sent, the wrong-code message, and "RESET" in the weight field until the instrument
// answers again.

#include "../support/handframe.h"
#include "mainrig.h"
#include "uitestsupport.h"

#include "setupdialogs.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace {

using handframe::Frame;

const QByteArray MemoryReset = Frame("01 10 0800 0002 04 0018 9F0E");
constexpr quint16 Filter = 0x1100;

using uitest::ChooseMenuItem;

} // namespace

class TestForm1Reset : public QObject {
    Q_OBJECT
private slots:
    // The field shows "     0" and, when clicked, is selected from its second character; a code
    // typed over the selection keeps the first blank, and no more than six characters fit.
    void accessCodeDialog_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("Italian") << 0;
        QTest::newRow("English") << 1;
    }
    void accessCodeDialog() {
        QFETCH(int, language);
        const bool english = language == 1;
        Modulo1 m;
        m.LanguageIndex = uint8_t(language);
        ScriptedPrompter prompter;
        Dialog_passw dialog(m, prompter);
        dialog.Form_Load();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QCOMPARE(dialog.windowTitle(), QString("Password"));
        QCOMPARE(dialog.Label1->text(),
                 english
                     ? QString("To reset instrument memory, insert the correct password and press Send:")
                     : QString("Per cancellare la memoria dello strumento, inserire la password e premere "
                               "invia:"));
        QCOMPARE(dialog.OKButton->text(), english ? QString("Send") : QString("Invia"));
        QCOMPARE(dialog.CancelButton->text(), english ? QString("Cancel") : QString("Annulla"));
        QCOMPARE(dialog.dato_pass->text(), QString("     0"));
        QCOMPARE(dialog.dato_pass->maxLength(), 6);

        QTest::mouseClick(dialog.dato_pass, Qt::LeftButton);
        QTRY_COMPARE(dialog.dato_pass->selectedText(), QString("    0"));
        QCOMPARE(dialog.dato_pass->selectionStart(), 1);
        QTest::keyClicks(dialog.dato_pass, "407189");
        QCOMPARE(dialog.dato_pass->text(), QString(" 40718"));

        QTest::mouseClick(dialog.OKButton, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(m.MemoryResetRequest, uint8_t(1));
        QCOMPARE(m.ResetCodeText, QString(" 40718"));
        QCOMPARE(prompter.MessageCount(), 0);
    }

    // Keys typed over the whole field, then Send (or Cancel).
    void memoryReset_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("keys"); // empty: the design text is left as it is
        QTest::addColumn<int>("cancel");   // 0 Send, 1 the Cancel button, 2 the Esc key
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("sent");
        QTest::newRow("the code") << 0 << "40718" << 0 << "40718" << true;
        QTest::newRow("blanks first") << 1 << " 40718" << 0 << " 40718" << true;
        QTest::newRow("a letter after it") << 0 << "40718a" << 0 << "40718a" << true;
        QTest::newRow("last digit missing") << 0 << "4071" << 0 << "4071" << false;
        QTest::newRow("last digit missing, English") << 1 << "4071" << 0 << "4071" << false;
        QTest::newRow("a digit too many") << 0 << "407180" << 0 << "407180" << false;
        // Six characters fit: the code is cut.
        QTest::newRow("cut by the field's length") << 0 << "  40718abc" << 0 << "  4071" << false;
        QTest::newRow("design text") << 1 << "" << 0 << "     0" << false;
        QTest::newRow("cancel") << 0 << "40718" << 1 << "40718" << false;
        // Esc answers as Cancel: nothing is sent.
        QTest::newRow("Esc") << 1 << "40718" << 2 << "40718" << false;
    }
    void memoryReset() {
        QFETCH(int, language);
        QFETCH(QString, keys);
        QFETCH(int, cancel);
        QFETCH(QString, field);
        QFETCH(bool, sent);
        const bool english = language == 1;

        MainRig rig(1, language);
        rig.instrument->setGross(1234);
        rig.instrument->setRestartMs(400);
        // A filter the instrument keeps: a memory reset brings back its default 5.
        QVERIFY(rig.instrument->setHolding(Filter, 7) && rig.instrument->setStored(Filter, 7));
        Form1& f = *rig.form;

        QString typed;
        int messagesAfterSend = -1;
        bool closedBySend = false;
        rig.prompter.QueueDialogScript([&](QDialog& dialog) {
            dialog.show();
            auto* edit = dialog.findChild<QLineEdit*>("dato_pass");
            if (!keys.isEmpty()) {
                edit->selectAll();
                QTest::keyClicks(edit, keys);
            }
            typed = edit->text();
            if (cancel == 1) {
                QTest::mouseClick(dialog.findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
                return;
            }
            if (cancel == 2) {
                QTest::keyClick(edit, Qt::Key_Escape);
                QVERIFY(!dialog.isVisible());
                QCOMPARE(dialog.result(), int(QDialog::Rejected));
                return;
            }
            QTest::mouseClick(dialog.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
            messagesAfterSend = rig.prompter.MessageCount();
            closedBySend = !dialog.isVisible();
            if (!closedBySend) {
                // The dialog stays open after the message: the user gives up.
                QTest::mouseClick(dialog.findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
            }
        });

        QStringList weights;
        connect(&f.Display(), &MonitorDisplay::textChanged, this, [&](MonitorDisplay::Text t) {
            if (t == MonitorDisplay::Text::Peso && (weights.isEmpty() || weights.last() != f.Peso->text())) {
                weights << f.Peso->text();
            }
        });
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(f.Peso->text(), QString("   1234"), 5000);
        QVERIFY(f.opz->isEnabled() && f.Reset->isEnabled());
        weights.clear();

        ChooseMenuItem(&f, f.opz, f.Reset);
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.DialogCount(), 1, 5000);
        QCOMPARE(rig.prompter.records.first().objectName, QString("Dialog_passw"));
        QCOMPARE(typed, field);

        if (sent) {
            QVERIFY(closedBySend);
            QCOMPARE(messagesAfterSend, 0);
            QTRY_VERIFY_WITH_TIMEOUT(rig.Sent(MemoryReset), 5000);
            QTRY_COMPARE_WITH_TIMEOUT(rig.instrument->memoryResetCount(), 1, 5000);
            // "RESET" while the instrument restarts, then the weight once it answers again.
            QTRY_COMPARE_WITH_TIMEOUT(f.Peso->text(), QString("RESET"), 5000);
            QVERIFY(rig.instrument->restarting());
            QTRY_COMPARE_WITH_TIMEOUT(f.Peso->text(), QString("   1234"), 5000);
            QCOMPARE(weights, (QStringList{"RESET", "   1234"}));
            QCOMPARE(rig.m.ResetInProgress, uint8_t(0));
            QCOMPARE(rig.instrument->holding(Filter), quint16(5));
            QCOMPARE(rig.m.ResetCodeText, field);
        } else {
            const quint64 pass = f.PassCount();
            QTRY_VERIFY_WITH_TIMEOUT(f.PassCount() >= pass + 3, 5000);
            for (const QByteArray& frame : rig.sim.frames()) {
                QVERIFY2(!frame.startsWith(":0110"), frame.constData());
            }
            QCOMPARE(rig.m.MemoryResetRequest, uint8_t(0));
            QCOMPARE(rig.instrument->holding(Filter), quint16(7));
            QVERIFY(!weights.contains("RESET"));
            if (cancel) {
                QCOMPARE(rig.prompter.MessageCount(), 0);
            } else {
                // The message, and the dialog still open behind it.
                QVERIFY(!closedBySend);
                QCOMPARE(messagesAfterSend, 1);
                const ScriptedPrompter::Record& message = rig.prompter.records.at(1);
                QCOMPARE(message.kind, ScriptedPrompter::Record::MessageBox);
                QCOMPARE(message.title, english ? QString("PESOMETRA") : QString("Pesometra"));
                QCOMPARE(message.text, english ? QString("Incorrect password") : QString("Password errata"));
                QCOMPARE(message.icon, MessageIcon::None);
            }
        }
    }
};

QTEST_MAIN(TestForm1Reset)
#include "test_form1_reset.moc"
