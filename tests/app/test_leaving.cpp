// Leaving the main setup screen end to end: the start-up screen, a double-click on the instrument, a
// set-point written while the screen is open, then the exit menu or the window's close box, the
// save-changes question answered, and the start-up screen back. The simulator's record shows what
// reached the instrument after the user's click, and its stored copy what the instrument keeps.
//
// The menu is chosen as the user does: a click on its title in the menu bar, then on the item.

#include "../support/handframe.h"
#include "appshell.h"

#include "application.h"
#include "form1.h"
#include "rules.h"
#include "setupcommands.h"
#include "writequeue.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

using namespace uitest;

namespace {

constexpr quint16 SetPoint1 = 0x0110;
constexpr quint16 DefaultSetPoint1 = 1000;
constexpr quint16 TypedSetPoint1 = 123; // division "1": the count is the value

using handframe::Frame;

const QByteArray NormalMode = Frame("01 06 0802 0000");
const QByteArray Store = Frame("01 06 0800 0020");
const QByteArray Discard = Frame("01 06 0800 0021");
const QByteArray MemoryReset = Frame("01 10 0800 0002 04 0018 9F0E");

// A request that only reads (functions 01, 02, 03, 04, 07).
bool IsRead(const QByteArray& frame) {
    static const QList<QByteArray> reads{"01", "02", "03", "04", "07"};
    return reads.contains(frame.mid(3, 2));
}

// Types into a text field as the user does: a click into it, the whole text selected, the keys.
void TypeInto(QLineEdit* edit, const QString& keys) {
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->selectAll();
    QTest::keyClicks(edit, keys);
}

enum class Answer { Ok, NoReset, CloseBox, None };
enum class Leave { Menu, MenuTwice, WindowCloseBox, WindowCloseBoxInSetup, MenuDuringExchange };
enum class Line { Answers, Silent, Offline };
enum class Queued { Nothing, SetPoint, SetPointRetried, MemoryReset };

} // namespace

Q_DECLARE_METATYPE(Answer)
Q_DECLARE_METATYPE(Leave)
Q_DECLARE_METATYPE(Line)
Q_DECLARE_METATYPE(Queued)

class TestLeaving : public QObject {
    Q_OBJECT
private slots:
    void leavingTheScreen_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<Leave>("leave");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<Line>("line");
        QTest::addColumn<Queued>("queued");
        // What reaches the instrument after the user's click: "W" the queued set-point write, "N" the
        // normal mode, "S" the store, "D" the discard and restart, "R" the memory reset.
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<quint16>("stored");
        QTest::addColumn<quint16>("working");

        const quint16 typed = TypedSetPoint1;
        const quint16 old = DefaultSetPoint1;
        QTest::newRow("OK") << 0 << Leave::Menu << Answer::Ok << Line::Answers << Queued::Nothing
                            << QByteArray("NNS") << typed << typed;
        QTest::newRow("OK, English") << 1 << Leave::Menu << Answer::Ok << Line::Answers << Queued::Nothing
                                     << QByteArray("NNS") << typed << typed;
        QTest::newRow("NO (Reset)") << 0 << Leave::Menu << Answer::NoReset << Line::Answers << Queued::Nothing
                                    << QByteArray("NND") << old << old;
        QTest::newRow("question's close box stores")
            << 1 << Leave::Menu << Answer::CloseBox << Line::Answers << Queued::Nothing << QByteArray("NNS")
            << typed << typed;
        QTest::newRow("window's close box") << 0 << Leave::WindowCloseBox << Answer::Ok << Line::Answers
                                            << Queued::Nothing << QByteArray("NNS") << typed << typed;
        QTest::newRow("window's close box in setup mode")
            << 0 << Leave::WindowCloseBoxInSetup << Answer::NoReset << Line::Answers << Queued::Nothing
            << QByteArray("NND") << old << old;
        QTest::newRow("Esc twice exits once") << 0 << Leave::MenuTwice << Answer::Ok << Line::Answers
                                              << Queued::Nothing << QByteArray("NNS") << typed << typed;
        // The exchange on the wire ends first; the rest of its pass is skipped.
        QTest::newRow("Esc while a reply is awaited")
            << 0 << Leave::MenuDuringExchange << Answer::Ok << Line::Answers << Queued::Nothing
            << QByteArray("NNS") << typed << typed;
        QTest::newRow("Esc while a reply is awaited, line silent")
            << 0 << Leave::MenuDuringExchange << Answer::Ok << Line::Silent << Queued::Nothing
            << QByteArray("NNS") << old << typed;
        QTest::newRow("line silent: closes after the time-outs")
            << 0 << Leave::Menu << Answer::Ok << Line::Silent << Queued::Nothing << QByteArray("NNS") << old
            << typed;
        QTest::newRow("offline editing: nothing sent, nothing asked")
            << 0 << Leave::Menu << Answer::None << Line::Offline << Queued::Nothing << QByteArray() << old
            << typed;
        // Sent, then Esc at once: the write goes out before the exit's own commands and is stored.
        QTest::newRow("queued write goes first") << 0 << Leave::Menu << Answer::Ok << Line::Answers
                                                 << Queued::SetPoint << QByteArray("WNNS") << typed << typed;
        QTest::newRow("queued write, echo lost twice")
            << 0 << Leave::Menu << Answer::Ok << Line::Answers << Queued::SetPointRetried
            << QByteArray("WWWNNS") << typed << typed;
        QTest::newRow("queued write, line silent")
            << 0 << Leave::Menu << Answer::Ok << Line::Silent << Queued::SetPoint
            << QByteArray(1 + WriteQueue::MaxRetries, 'W') + "NNS" << old << old;
        // The access code accepted while the status byte is awaited, Esc in the same wait: the rest of
        // the pass (which would queue the reset) is skipped, so the exit sends it first.
        QTest::newRow("memory reset confirmed, then Esc")
            << 0 << Leave::MenuDuringExchange << Answer::Ok << Line::Answers << Queued::MemoryReset
            << QByteArray("RNNS") << old << old;
        QTest::newRow("queued write, NO (Reset)") << 0 << Leave::Menu << Answer::NoReset << Line::Answers
                                                  << Queued::SetPoint << QByteArray("WNND") << old << old;
    }

    void leavingTheScreen() {
        QFETCH(int, language);
        QFETCH(Leave, leave);
        QFETCH(Answer, answer);
        QFETCH(Line, line);
        QFETCH(Queued, queued);
        QFETCH(QByteArray, wire);
        QFETCH(quint16, stored);
        QFETCH(quint16, working);
        const bool english = language == 1;

        Bench bench;
        QVERIFY(bench.Open());
        SimInstrument* instrument = bench.sim.addInstrument(1, SimInstrument::VXA);
        instrument->setRestartMs(50);
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, language)));
        QVERIFY(bench.WriteStrum({1}));
        Shell shell(bench);
        Modulo1& m = shell.app->State();

        // The save-changes question, answered as the row says; what it showed is kept.
        QString title, question, okCaption, noCaption;
        if (answer != Answer::None) {
            shell.prompter->QueueDialogScript([&](QDialog& dialog) {
                title = dialog.windowTitle();
                question = dialog.findChild<QLabel*>("Label1")->text();
                okCaption = dialog.findChild<QPushButton*>("OKButton")->text();
                noCaption = dialog.findChild<QPushButton*>("CancelButton")->text();
                dialog.show();
                switch (answer) {
                case Answer::Ok:
                    QTest::mouseClick(dialog.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
                    break;
                case Answer::NoReset:
                    QTest::mouseClick(dialog.findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
                    break;
                case Answer::CloseBox:
                    dialog.close();
                    break;
                case Answer::None:
                    break;
                }
            });
        }

        shell.Run();
        WAIT_VERIFY(shell.Start() && shell.Start()->Icona[1]->isVisible(), 5000);
        QTest::mouseDClick(shell.Start()->Icona[1], Qt::LeftButton);
        WAIT_VERIFY(shell.Main() != nullptr, 5000);
        Form1* form = shell.Main();
        WAIT_VERIFY(m.SetpointsRead == 1, 5000);

        // A set-point typed and sent while the screen is open.
        auto* set1 = qobject_cast<QLineEdit*>(form->FieldWidget(Field::Set1));
        auto* send = form->findChild<QPushButton*>("Command17");
        TypeInto(set1, QString::number(typed()));
        QVERIFY(send->isEnabled());
        QTest::mouseClick(send, Qt::LeftButton);
        const QByteArray write = m.PendingWriteA;
        QVERIFY(write.startsWith(":01100110"));
        if (queued == Queued::Nothing || queued == Queued::MemoryReset) {
            WAIT_VERIFY(instrument->holding(SetPoint1) == typed() && !m.WritePending, 5000);
            QCOMPARE(instrument->stored(SetPoint1), DefaultSetPoint1);
        }

        if (line == Line::Offline) {
            m.OfflineEdit = true; // the Econf menu item switches it
            WAIT_VERIFY(form->Peso->text() == " Edit ", 5000);
            // A memory reset confirmed meanwhile is not sent now, nor to the next instrument opened.
            shell.prompter->QueueDialogScript([](QDialog& dialog) {
                auto* edit = dialog.findChild<QLineEdit*>("dato_pass");
                edit->selectAll();
                QTest::keyClicks(edit, "40718");
                QTest::mouseClick(dialog.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
            });
            ChooseMenuItem(form, form->opz, form->Reset);
            WAIT_VERIFY(m.MemoryResetRequest == 1, 5000);
        }
        if (leave == Leave::WindowCloseBoxInSetup) {
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            QVERIFY(!form->opz->isEnabled());
            WAIT_VERIFY(form->PassCount() >= 2 && m.TabRead[1] == 1, 5000);
        }
        if (line == Line::Silent) {
            bench.sim.setLineSilent(true);
        }
        int lost = 0;
        if (queued == Queued::SetPointRetried) {
            // The instrument takes the write but its echo is lost twice.
            connect(&bench.sim, &Simulator::requestReceived, form, [&](int, const QByteArray& frame) {
                if (frame == write && ++lost == 2) {
                    bench.sim.setFault(1, SimFault::none());
                }
            });
            bench.sim.setFault(1, SimFault::cut(0));
        }

        // The user leaves.
        qsizetype clickedAt = bench.sim.frames().size();
        bool clicked = false; // lives as long as the connection below that sets it
        switch (leave) {
        case Leave::Menu:
            ChooseMenuItem(form, form->opz, form->Esc);
            break;
        case Leave::MenuTwice:
            ChooseMenuItem(form, form->opz, form->Esc);
            ChooseMenuItem(form, form->opz, form->Esc);
            break;
        case Leave::WindowCloseBox:
        case Leave::WindowCloseBoxInSetup:
            QVERIFY(!form->close()); // the screen stays until its exit procedure has run
            break;
        case Leave::MenuDuringExchange: {
            // The click comes while the status byte is asked and its reply awaited: the weight read
            // that follows it in the same step is skipped too.
            connect(&bench.sim, &Simulator::requestReceived, form, [&](int, const QByteArray& frame) {
                if (!clicked && frame.mid(3, 2) == "07" && form->MSComm1->Busy()) {
                    clicked = true;
                    clickedAt = bench.sim.frames().size();
                    if (queued == Queued::MemoryReset) {
                        // What the OK button of the access-code dialog does with the right code.
                        QVERIFY(SetupCommands::AcceptAccessCode(m, QStringLiteral("40718")));
                    }
                    ChooseMenuItem(form, form->opz, form->Esc);
                }
            });
            WAIT_VERIFY(clicked, 5000);
            break;
        }
        }
        if (leave != Leave::MenuDuringExchange) {
            QVERIFY(form->ExitRequested());
        }

        WAIT_VERIFY(shell.Main() == nullptr && shell.Start() != nullptr, 10000);
        QCOMPARE(shell.app->StartScreenLoads(), 2);

        QList<QByteArray> expectedFrames;
        for (const char c : wire) {
            expectedFrames << (c == 'W'   ? write
                               : c == 'N' ? NormalMode
                               : c == 'S' ? Store
                               : c == 'R' ? MemoryReset
                                          : Discard);
        }
        QList<QByteArray> after = bench.sim.frames().mid(clickedAt);
        if (leave != Leave::MenuDuringExchange && !after.isEmpty() && IsRead(after.first())) {
            // The request that was on its way when the user clicked.
            after.removeFirst();
        }
        QCOMPARE(after.mid(0, expectedFrames.size()), expectedFrames);
        // Then only the start-up screen's polling.
        for (const QByteArray& frame : after.mid(expectedFrames.size())) {
            QVERIFY2(IsRead(frame), frame.constData());
        }

        QCOMPARE(shell.prompter->DialogCount(),
                 (answer == Answer::None ? 0 : 1) + (line == Line::Offline ? 1 : 0));
        QCOMPARE(m.MemoryResetRequest, uint8_t(0));
        if (answer != Answer::None) {
            QCOMPARE(title, english ? QString("Attention !!") : QString("Attenzione !!"));
            QCOMPARE(question, english ? QString("Do you want to save changes to instrument?")
                                       : QString("Vuoi Salvare le modifiche sullo strumento?"));
            QCOMPARE(okCaption, QString("OK"));
            QCOMPARE(noCaption, QString("NO (Reset)"));
        }
        QVERIFY(!m.ExitSaveRequested && !m.ExitResetRequested);

        bench.sim.setLineSilent(false);
        WAIT_VERIFY(!instrument->restarting(), 2000);
        QCOMPARE(instrument->stored(SetPoint1), stored);
        QCOMPARE(instrument->holding(SetPoint1), working);
    }

private:
    static quint16 typed() { return TypedSetPoint1; }
};

QTEST_MAIN(TestLeaving)
#include "test_leaving.moc"
