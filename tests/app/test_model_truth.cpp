// The screen shows what the instrument said: an instrument of the other model than the one selected is
// told and never written as the selected one; a silent instrument leaves the fields blank and nothing
// can be sent, saved or printed from them.

#include "../ui/mainrig.h"
#include "appshell.h"

#include "registers.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>

using namespace uitest;

namespace {
// Writes into the configuration: functions 06 and 10 to any register but the command and mode
// registers (setup mode, normal mode, the tests' modes).
QList<QByteArray> ConfigurationWrites(const QList<SimRequest>& requests) {
    QList<QByteArray> writes;
    for (const SimRequest& r : requests) {
        if (r.function != Fn::WriteSingleRegister && r.function != Fn::WriteMultipleRegisters) {
            continue;
        }
        const uint16_t reg = uint16_t(r.frame.mid(5, 4).toUInt(nullptr, 16));
        if (reg < Reg::Command || reg > Reg::AnalogTestLevel) {
            writes << r.frame.trimmed();
        }
    }
    return writes;
}
} // namespace

class TestModelTruth : public QObject {
    Q_OBJECT
private slots:
    void modelMismatch_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("found");
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("message");
        const QString en = QStringLiteral("The instrument at address 3 is a %2, but %1 is selected.\n"
                                          "Nothing was written.\n\nOpen the screen of the %2 ?\n"
                                          "(No: back to the start-up screen)");
        const QString it = QStringLiteral("Lo strumento all'indirizzo 3 è un %2, ma è selezionato %1.\n"
                                          "Nessun dato è stato scritto.\n\nAprire la schermata del %2 ?\n"
                                          "(No: ritorno alla schermata iniziale)");
        QTest::newRow("VXB with VXA selected, opened") << 1 << 2 << 1 << true << en.arg("VXA", "VXB");
        QTest::newRow("VXB with VXA selected, back") << 1 << 2 << 0 << false << it.arg("VXA", "VXB");
        QTest::newRow("VXA with VXB selected, opened") << 2 << 1 << 0 << true << it.arg("VXB", "VXA");
        QTest::newRow("VXA with VXB selected, back") << 2 << 1 << 1 << false << en.arg("VXB", "VXA");
    }
    void modelMismatch() {
        QFETCH(int, selected);
        QFETCH(int, found);
        QFETCH(int, language);
        QFETCH(bool, open);
        QFETCH(QString, message);
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(3, found == 2 ? SimInstrument::VXB : SimInstrument::VXA)->setNet(30);
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, language)));
        QVERIFY(bench.WriteStrum({3}));
        Shell shell(bench);
        QList<QByteArray> writesAtPrompt{"not asked"};
        shell.prompter->onPrompt = [&](const ScriptedPrompter::Record&) {
            writesAtPrompt = ConfigurationWrites(bench.sim.requestsTo(3));
        };
        shell.prompter->QueueMessageAnswer(open ? QMessageBox::Yes : QMessageBox::No);
        shell.Run();
        WAIT_VERIFY(shell.Start() != nullptr, 3000);
        Form2* start = shell.Start();
        ChooseMenuItem(start, start->sel, selected == 2 ? start->vxb : start->vxa);
        WAIT_VERIFY(start->Icona[3]->isVisible(), 5000);
        QTest::mouseDClick(start->Icona[3], Qt::LeftButton);

        WAIT_COMPARE(shell.prompter->MessageCount(), 1, 5000);
        const ScriptedPrompter::Record& shown = shell.prompter->records.first();
        QCOMPARE(shown.text, message);
        QCOMPARE(shown.title, language == 1 ? QString("Attention !!") : QString("Attenzione !!"));
        QCOMPARE(int(shown.icon), int(MessageIcon::Exclamation));
        QCOMPARE(writesAtPrompt, QList<QByteArray>{});
        if (open) {
            // The screen of the model found, with its tabs; the selection follows.
            WAIT_VERIFY(shell.app->MainScreenOpens() == 2 && shell.Main() && shell.Main()->PassCount() >= 2,
                        5000);
            QCOMPARE(int(shell.app->State().InstrumentModel), found);
            for (const int tab : {3, Form1::AnalogTab, Form1::TestTab}) {
                QCOMPARE(shell.Main()->SSTab1->isTabEnabled(tab), found == 1);
            }
            QCOMPARE(shell.prompter->MessageCount(), 1); // the model is told once
        } else {
            WAIT_VERIFY(shell.app->StartScreenLoads() == 2 && shell.Start(), 5000);
            QCOMPARE(shell.app->MainScreenOpens(), 1);
            QCOMPARE(int(shell.app->State().InstrumentModel), selected);
        }
        // Nothing of the other model reached the instrument: no configuration write at all, and the
        // screen that was left sent no exit command either.
        QCOMPARE(ConfigurationWrites(bench.sim.requestsTo(3)), QList<QByteArray>{});
        if (!open) {
            for (const SimRequest& r : bench.sim.requestsTo(3)) {
                QVERIFY2(r.function != Fn::WriteSingleRegister && r.function != Fn::WriteMultipleRegisters,
                         r.frame.constData());
            }
        }
    }

    // An instrument that does not answer: the fields show nothing, no send button can be enabled, a save
    // is refused with a message naming what was not read, and a report marks those groups; nothing is
    // written.
    void silentInstrument_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("printText");
        QTest::addColumn<QString>("saveText");
        QTest::newRow("VXA, Italian")
            << 1 << 0
            << QStringLiteral("      Non letti dallo strumento: Costanti Peso, Modo di funzionamento, "
                              "Valore divisione, SetPoint, Parametri peso, Configurazione uscite, "
                              "Porta seriale, Uscita analogica")
            << QStringLiteral(
                   "Errore di comunicazione con lo Strumento !\nOperazione di salvataggio impossibile !\n"
                   "Dati non letti dallo strumento: Costanti Peso, Modo di funzionamento, "
                   "Valore divisione, SetPoint, Parametri peso, Configurazione uscite, "
                   "Porta seriale, Uscita analogica");
        QTest::newRow("VXB, English")
            << 2 << 1
            << QStringLiteral("      Not read from the instrument: Weight constants, Division, Weight "
                              "parameters, Serial port")
            << QStringLiteral("Communication error !\nImpossible to save !\n"
                              "Values not read from the instrument: Weight constants, "
                              "Division, Weight parameters, Serial port");
    }
    void silentInstrument() {
        QFETCH(int, model);
        QFETCH(int, language);
        QFETCH(QString, printText);
        QFETCH(QString, saveText);
        MainRig rig(model, language);
        rig.Unread();
        // The division as the start-up screen read it: the save's own read of it fails all the same.
        SetDivisionFromCode(rig.m, rig.m.DeviceAddress, 3);
        rig.sim.setLineSilent(true);
        rig.Run();
        QTRY_VERIFY_WITH_TIMEOUT(rig.form->PassCount() >= 1, 5000);
        // A save reads everything again first: refused.
        QVERIFY(ChooseMenu(rig, rig.form->opz, rig.form->Sal));
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.MessageCount(), 1, 15000);
        QCOMPARE(rig.prompter.records.last().text, saveText);
        QVERIFY(
            rig.form->statusBar()->currentMessage().endsWith(model == 2 ? "group 3 of 3" : "gruppo 5 di 5"));

        QTest::mouseClick(rig.form->Command1, Qt::LeftButton); // setup mode
        QTRY_VERIFY_WITH_TIMEOUT(rig.m.Fl_setup, 5000);
        const quint64 after = rig.form->PassCount() + 2;
        QTRY_VERIFY_WITH_TIMEOUT(rig.form->PassCount() >= after, 5000);

        for (const ParameterDef& p : Parameters()) {
            QWidget* w = rig.form->FieldWidget(p.field);
            if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                QVERIFY2(edit->text().isEmpty() && edit->isReadOnly(), p.controlName);
            } else if (auto* list = qobject_cast<QComboBox*>(w)) {
                QVERIFY2(list->currentIndex() == -1 && !list->isEnabled(), p.controlName);
            }
        }
        // Typing into a blank field changes nothing and enables no send button.
        QLineEdit* filtro = rig.Edit(Field::Filtro);
        rig.ChooseTab(2);
        QTest::mouseClick(filtro, Qt::LeftButton);
        QTest::keyClicks(filtro, QStringLiteral("7"));
        QCOMPARE(filtro->text(), QString());
        for (const ParameterGroup& g : Groups()) {
            QVERIFY2(!rig.Get<QPushButton>(g.sendButton)->isEnabled(), g.sendButton);
        }

        QStringList printed;
        rig.form->PrintTarget = [&printed](const QList<ReportLine>& lines, int) {
            printed = ReportText(lines).split(QLatin1Char('\n'));
            return ReportOutcome{true, {}};
        };
        QVERIFY(ChooseMenu(rig, rig.form->Edit, rig.form->SConf));
        QTRY_VERIFY_WITH_TIMEOUT(!printed.isEmpty(), 5000);
        QCOMPARE(printed.value(7), printText);
        QCOMPARE(rig.prompter.MessageCount(), 1);
        QCOMPARE(rig.prompter.FileDialogCount() + rig.prompter.DialogCount(), 0);
        QCOMPARE(ConfigurationWrites(rig.sim.requestsTo(1)), QList<QByteArray>{});
    }

    // A group that was read shows its values and takes input again.
    void readGroupShowsItsValues() {
        MainRig rig;
        rig.Unread();
        rig.Run();
        QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
        rig.ChooseTab(2);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Filtro)->text(), rig.form->Parameters().text(Field::Filtro),
                                  5000);
        QVERIFY(!rig.Edit(Field::Filtro)->text().isEmpty());
        QVERIFY(!rig.Edit(Field::Filtro)->isReadOnly());
        // The tab not read yet stays blank.
        QCOMPARE(rig.Edit(Field::FsAna)->text(), QString());
    }

    // The model check costs one operating-mode read per screen while the instrument answers; only the
    // exceptions "no such function/register" (01, 02) tell a VXB; after a link error (the error text, the
    // lamps dark but Net, which follows the view) it is asked again once the line is back.
    void modelCheck_data() {
        QTest::addColumn<int>("exception");    // a VXB's answer to the first request; 0: a VXA answering
        QTest::addColumn<int>("afterSilence"); // 0: the line stays up; else the model answering after it
        QTest::addColumn<int>("probes");
        QTest::newRow("a VXA answering") << 0 << 0 << 1;
        QTest::newRow("busy (06) from a VXB: the selection stands") << 6 << 0 << 1;
        QTest::newRow("after a link error, asked again") << 0 << 1 << 2;
        QTest::newRow("after a link error a VXB answers: told") << 0 << 2 << 2;
    }
    void modelCheck() {
        QFETCH(int, exception);
        QFETCH(int, afterSilence);
        MainRig rig;
        rig.sim.addInstrument(1, exception != 0 ? 2 : 1)->setStable(true);
        rig.sim.instrument(1)->setRelays(3);
        rig.sim.setFault(1, SimFault::exception(exception)); // the first request only
        connect(
            &rig.sim, &Simulator::requestReceived, &rig.sim, [&] { rig.sim.setFault(1, {}); },
            Qt::DirectConnection);
        QTest::mouseClick(rig.Get<QRadioButton>("Option1"), Qt::LeftButton); // net view
        rig.Run();
        const auto lit = [&](const char* shape) {
            return rig.Get<Shape>(shape)->FillStyle() == Shape::Solid;
        };
        if (afterSilence != 0) {
            QTRY_VERIFY_WITH_TIMEOUT(lit("Shape5") && lit("Shape1") && lit("Shape2") && lit("Shape3"), 5000);
            rig.sim.setLineSilent(true);
            QTRY_COMPARE_WITH_TIMEOUT(rig.form->Peso->text(), QStringLiteral("ERRORE"), 5000);
            QVERIFY(!lit("Shape5") && !lit("Shape1") && !lit("Shape2") && lit("Shape3"));
            rig.sim.addInstrument(1, afterSilence);
            rig.sim.setLineSilent(false);
        }
        const quint64 passes = rig.form->PassCount() + 10;
        QTRY_VERIFY_WITH_TIMEOUT(rig.form->PassCount() >= passes || rig.prompter.MessageCount() > 0, 15000);
        QCOMPARE(rig.prompter.MessageCount(), afterSilence == 2 ? 1 : 0);
        int probes = 0;
        for (const SimRequest& r : rig.sim.requestsTo(1)) {
            probes += r.function == Fn::ReadHoldingRegisters && r.frame.mid(5, 4) == "1010";
        }
        QTEST(probes, "probes");
    }

    // A second setup screen of the same run starts on-line with every group unread, whatever the screen
    // before held (offline, every field showing); the model selected carries over. Offline, a screen that
    // was never read shows every field with its design text, editable, on each tab the model has. Both
    // screens opened as the user opens them, on a line gone silent.
    void secondScreenAndOfflineEditing_data() {
        QTest::addColumn<int>("model");
        QTest::newRow("VXA") << 1;
        QTest::newRow("VXB") << 2;
    }
    void secondScreenAndOfflineEditing() {
        QFETCH(int, model);
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(3, model);
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, 1)));
        QVERIFY(bench.WriteStrum({3}));
        Shell shell(bench);
        shell.Run();
        WAIT_VERIFY(shell.Start() != nullptr, 3000);
        ChooseMenuItem(shell.Start(), shell.Start()->sel,
                       model == 2 ? shell.Start()->vxb : shell.Start()->vxa);
        for (int screen = 1; screen <= 2; ++screen) {
            WAIT_VERIFY(shell.Start() && shell.Start()->Icona[3]->isVisible(), 5000);
            bench.sim.setLineSilent(true);
            QTest::mouseDClick(shell.Start()->Icona[3], Qt::LeftButton);
            WAIT_VERIFY(shell.Main() && shell.Main()->PassCount() >= 2, 10000);
            Form1* f = shell.Main();
            QVERIFY(int(shell.app->State().InstrumentModel) == model && !f->Econf->isChecked());
            for (const bool offline : {false, true}) { // blank and read-only; offline the design texts
                if (offline) {
                    ChooseMenuItem(f, f->Edit, f->Econf);
                    QTest::mouseClick(f->Command1, Qt::LeftButton); // setup mode: the tabs
                }
                for (const ParameterDef& p : Parameters()) {
                    if (model == 2 && (p.hiddenModel2 || !Group(p.group).model2)) {
                        continue;
                    }
                    QTabBar* bar = f->SSTab1->tabBar();
                    if (offline) {
                        QTest::mouseClick(bar, Qt::LeftButton, {},
                                          bar->tabRect(qMax(0, Group(p.group).tab)).center());
                    }
                    auto* edit = qobject_cast<QLineEdit*>(f->FieldWidget(p.field));
                    auto* list = qobject_cast<QComboBox*>(f->FieldWidget(p.field));
                    const QString design = p.field == Field::Indir ? "3" : InitialText(p.field);
                    QVERIFY2(edit ? edit->text() == (offline ? design : "") && edit->isReadOnly() != offline
                                  : list->currentIndex() == (offline ? p.initialIndex : -1) &&
                                        list->isEnabled() == offline,
                             p.controlName);
                }
            }
            QTest::mouseClick(f->Command1, Qt::LeftButton); // setup off; offline editing stays on
            bench.sim.setLineSilent(false);
            ChooseMenuItem(f, f->opz, f->Esc);
            WAIT_VERIFY(shell.Start() != nullptr, 5000);
        }
    }

private:
    static bool ChooseMenu(MainRig& rig, QMenu* menu, QAction* item) {
        if (!item->isEnabled()) {
            return false;
        }
        ChooseMenuItem(rig.form.get(), menu, item);
        return true;
    }
};

QTEST_MAIN(TestModelTruth)
#include "test_model_truth.moc"
