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

    // An instrument that does not answer: the fields show nothing, no send button can be enabled, and
    // a save or a report is refused with a message naming what was not read; nothing is written.
    void silentInstrument_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("printText");
        QTest::addColumn<QString>("saveText");
        QTest::newRow("VXA, Italian")
            << 1 << 0
            << QStringLiteral(
                   "Errore di comunicazione con lo Strumento !\nStampa impossibile !\n"
                   "Costanti Peso, Modo di funzionamento, Valore divisione, SetPoint, Parametri peso, "
                   "Configurazione uscite, Porta seriale, Uscita analogica")
            << QStringLiteral(
                   "Errore di comunicazione con lo Strumento !\nOperazione di salvataggio impossibile !\n"
                   "Dati non letti dallo strumento: Costanti Peso, Modo di funzionamento, "
                   "Valore divisione, SetPoint, Parametri peso, Configurazione uscite, "
                   "Porta seriale, Uscita analogica");
        QTest::newRow("VXB, English")
            << 2 << 1
            << QStringLiteral("Communication error !\nImpossible to print !\n"
                              "Weight constants, Division, Weight parameters, Serial port")
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
        rig.sim.setLineSilent(true);
        rig.Run();
        QTRY_VERIFY_WITH_TIMEOUT(rig.form->PassCount() >= 1, 5000);
        // A save reads everything again first: refused.
        QVERIFY(ChooseMenu(rig, rig.form->opz, rig.form->Sal));
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.MessageCount(), 1, 15000);
        QCOMPARE(rig.prompter.records.last().text, saveText);

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

        QVERIFY(ChooseMenu(rig, rig.form->Edit, rig.form->SConf));
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.MessageCount(), 2, 5000);
        QCOMPARE(rig.prompter.records.last().text, printText);
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
