// Offline editing, the report notes and the printed report on the main setup screen, driven through
// its menus with the mouse against a simulated instrument: what offline editing disables and enables,
// " Edit " and the six blanks in the weight field, nothing on the wire, no question on leaving; the
// notes window kept or dropped; the report of the fields as shown, and a printer that fails.

#include "mainrig.h"
#include "uitestsupport.h"

#include "offline.h"
#include "texts_report.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

// Chooses a menu item as the user does, and waits until the menu has closed.
void ChooseMenuItem(QMainWindow* window, QMenu* menu, QAction* item) {
    uitest::ChooseMenuItem(window, menu, item);
    QTRY_VERIFY(!menu->isVisible());
}

bool WaitPasses(Form1& f, int count) {
    const quint64 target = f.PassCount() + quint64(count);
    return QTest::qWaitFor([&] { return f.PassCount() >= target; }, 5000);
}

QStringList EnabledOnes(Form1& f, const QStringList& names) {
    QStringList enabled;
    for (const QString& name : names) {
        QWidget* w = f.findChild<QWidget*>(name);
        if (!w) {
            enabled << name + "?";
        } else if (w->isEnabled()) {
            enabled << name;
        }
    }
    return enabled;
}

// A printer for the tests: records what it is given and answers as told.
struct FakePrinter {
    QList<QList<ReportLine>> jobs;
    bool accept = true;
    ReportOutcome operator()(const QList<ReportLine>& report, int language) {
        jobs << report;
        if (accept) {
            return {true, {}};
        }
        return {false, TextOf(texts::Report(), u"PrinterRefused", language)};
    }
};

} // namespace

class TestForm1Offline : public QObject {
    Q_OBJECT
private slots:
    // Econf on: check mark, SConf, the calibration, trimming and test start controls disabled, " Edit " in
    // the weight field and nothing on the wire. Econf off: all of it back, six blanks until the next
    // weight.
    void econfOnOff_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("Italian") << 0;
        QTest::newRow("English") << 1;
    }
    void econfOnOff() {
        QFETCH(int, language);
        MainRig rig(1, language);
        rig.instrument->setGross(1234);
        Form1& f = *rig.form;
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(f.Peso->text(), QString("   1234"), 5000);
        const QStringList controls = OfflineDisabledControls();
        QCOMPARE(controls.size(), 17);
        QCOMPARE(EnabledOnes(f, controls), controls);
        QVERIFY(f.Econf->isEnabled() && !f.Econf->isChecked());
        QVERIFY(!f.SConf->isEnabled());
        QVERIFY(f.Nota->isEnabled());

        ChooseMenuItem(&f, f.Edit, f.Econf);
        QVERIFY(rig.m.OfflineEdit);
        QVERIFY(f.Econf->isChecked());
        QVERIFY(f.SConf->isEnabled());
        QCOMPARE(EnabledOnes(f, controls), QStringList());
        QTRY_COMPARE_WITH_TIMEOUT(f.Peso->text(), QString(" Edit "), 5000);
        QVERIFY(WaitPasses(f, 1));
        rig.sim.clearRequests();
        QVERIFY(WaitPasses(f, 3));
        QCOMPARE(rig.sim.frames(), QList<QByteArray>());
        QCOMPARE(f.Peso->text(), QString(" Edit "));

        ChooseMenuItem(&f, f.Edit, f.Econf);
        QVERIFY(!rig.m.OfflineEdit);
        QVERIFY(!f.Econf->isChecked());
        QVERIFY(!f.SConf->isEnabled());
        QCOMPARE(EnabledOnes(f, controls), controls);
        QCOMPARE(f.Peso->text(), QString("      "));
        QTRY_COMPARE_WITH_TIMEOUT(f.Peso->text(), QString("   1234"), 5000);
        QVERIFY(!rig.sim.frames().isEmpty());
    }

    // Econf chosen while a reading is on the wire: that reading ends, the rest of the pass is skipped,
    // and nothing else goes out.
    void econfDuringExchange() {
        MainRig rig;
        rig.sim.setFault(1, SimFault::late(60));
        Form1& f = *rig.form;
        rig.Run();
        QVERIFY(WaitPasses(f, 1));
        QTRY_VERIFY_WITH_TIMEOUT(f.MSComm1->Busy(), 5000);
        // The exchanges begun by the time of the click, the one on the wire included.
        quint64 begun = 0;
        connect(f.Econf, &QAction::triggered, this, [&] { begun = f.MSComm1->ExchangeCount(); });
        ChooseMenuItem(&f, f.Edit, f.Econf);
        QVERIFY(rig.m.OfflineEdit);
        QVERIFY(f.MSComm1->Busy()); // the exchange under way goes on to its end
        QVERIFY(WaitPasses(f, 1));
        // The reading under way ends (a step of two exchanges with its second one); the steps after it
        // are skipped.
        const quint64 ended = f.MSComm1->ExchangeCount();
        QVERIFY2(ended <= begun + 1, qPrintable(QString("%1 exchanges after the click").arg(ended - begun)));
        QVERIFY(WaitPasses(f, 3));
        QCOMPARE(f.MSComm1->ExchangeCount(), ended);
        QCOMPARE(f.Peso->text(), QString(" Edit "));
    }

    // Econf cannot be switched in setup mode; with offline editing on, leaving setup enables the options
    // menu at once, asks no normal mode, keeps SConf, and the test start buttons stay disabled when the
    // test tab is left.
    void setupModeWhileOffline() {
        MainRig rig;
        Form1& f = *rig.form;
        rig.Run();
        QVERIFY(WaitPasses(f, 1));
        ChooseMenuItem(&f, f.Edit, f.Econf);
        QVERIFY(rig.m.OfflineEdit);
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        QVERIFY(rig.m.Fl_setup);
        QVERIFY(!f.Econf->isEnabled());
        QVERIFY(f.SConf->isEnabled());
        QVERIFY(!f.opz->isEnabled());
        rig.ChooseTab(6);
        rig.ChooseTab(0);
        QCOMPARE(EnabledOnes(f, {"Command8", "Command22"}), QStringList());
        rig.sim.clearRequests();
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        QVERIFY(!rig.m.Fl_setup);
        QVERIFY(f.opz->isEnabled());
        QVERIFY(f.SConf->isEnabled());
        QVERIFY(f.Econf->isEnabled() && f.Econf->isChecked());
        QCOMPARE(EnabledOnes(f, {"Command8", "Command22"}), QStringList());
        QVERIFY(WaitPasses(f, 3));
        QCOMPARE(rig.sim.frames(), QList<QByteArray>());
    }

    // With offline editing on a change shows no marker and enables no send button; one enabled by an
    // edit before offline editing was switched on goes off, since nothing could be sent.
    void sendButtonsStayDisabled() {
        MainRig rig;
        Form1& f = *rig.form;
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(rig.m.SetpointsRead, uint8_t(1), 5000);
        auto* send17 = rig.Get<QPushButton>("Command17");
        rig.Type(Field::Set1, "100");
        QTRY_VERIFY(send17->isEnabled());
        QVERIFY(rig.Get("Shape6")->isVisible());

        ChooseMenuItem(&f, f.Edit, f.Econf);
        QVERIFY(!send17->isEnabled());
        QVERIFY(!rig.Get("Shape6")->isVisible());
        rig.Type(Field::Set2, "200");
        QVERIFY(!send17->isEnabled());

        // The weight parameters as read before: an edit in setup mode changes the field only.
        rig.m.TabRead.fill(1);
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        rig.ChooseTab(2);
        rig.Type(Field::Filtro, "7");
        QCOMPARE(rig.Edit(Field::Filtro)->text(), QString("7"));
        QVERIFY(!rig.Get<QPushButton>("Command13")->isEnabled());
        QVERIFY(!rig.Get("Shape10")->isVisible());
        rig.sim.clearRequests();
        QVERIFY(WaitPasses(f, 3));
        QCOMPARE(rig.sim.frames(), QList<QByteArray>());
    }

    // Leaving the screen with offline editing on asks nothing and sends nothing.
    void exitAsksNothing() {
        MainRig rig;
        Form1& f = *rig.form;
        rig.Run();
        QVERIFY(WaitPasses(f, 1));
        ChooseMenuItem(&f, f.Edit, f.Econf);
        QVERIFY(WaitPasses(f, 1));
        rig.sim.clearRequests();
        ChooseMenuItem(&f, f.opz, f.Esc);
        QTRY_VERIFY_WITH_TIMEOUT(rig.loop.done(), 5000);
        QCOMPARE(rig.prompter.records.size(), 0);
        QCOMPARE(rig.sim.frames(), QList<QByteArray>());
    }

    // The notes window: it opens with the notes as last confirmed; OK keeps the typed text, closing it
    // any other way keeps the old notes. The report prints them on its date line.
    void notes_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("close"); // "OK", "Escape" or "box"
        QTest::addColumn<QString>("notes");
        QTest::newRow("OK") << 0 << "OK"
                            << "nuove note";
        QTest::newRow("OK English") << 1 << "OK"
                                    << "new notes";
        QTest::newRow("OK empty") << 1 << "OK"
                                  << "";
        QTest::newRow("Escape") << 0 << "Escape"
                                << "old notes";
        QTest::newRow("close box") << 1 << "box"
                                   << "old notes";
    }
    void notes() {
        QFETCH(int, language);
        QFETCH(QString, close);
        QFETCH(QString, notes);
        MainRig rig(1, language);
        Form1& f = *rig.form;
        rig.Run();
        rig.m.ReportNotes = QStringLiteral("old notes");
        QString shown;
        QString prompt;
        QString typed = QString(300, 'x'); // no length limit
        rig.prompter.QueueDialogScript([&](QDialog& dialog) {
            dialog.show();
            auto* text1 = dialog.findChild<QLineEdit*>("Text1");
            shown = text1->text();
            prompt = dialog.findChild<QLabel*>("Label1")->text();
            QVERIFY(text1->maxLength() > 1000000); // no length limit
            text1->selectAll();
            QTest::keyClick(text1, Qt::Key_Delete);
            QTest::keyClicks(text1, close == "OK" ? notes : typed);
            if (close == "OK") {
                QCOMPARE(text1->text(), notes);
                QTest::mouseClick(dialog.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
            } else if (close == "Escape") {
                QTest::keyClick(text1, Qt::Key_Escape);
            } else {
                dialog.close();
            }
        });
        ChooseMenuItem(&f, f.Edit, f.Nota);
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.DialogCount(), 1, 5000);
        const auto& record = rig.prompter.records.first();
        QCOMPARE(record.objectName, QString("Note"));
        QCOMPARE(record.title, language == 1 ? QString("Report Notes") : QString("Note Report"));
        QCOMPARE(shown, QString("old notes"));
        QCOMPARE(prompt, language == 1 ? QString("Notes printed at the end of the report:")
                                       : QString("Note da stampare in fondo al report:"));
        QTRY_COMPARE(rig.m.ReportNotes, notes);
        const QString date = ReportText(f.Report()).split('\n').at(6);
        QVERIFY2(date.endsWith(" " + notes), qPrintable(date));
    }

    // With offline editing on, SConf prints with the setup mode off: the report of the fields as they are
    // shown at the click, through the printer, and no message.
    void offlinePrint_data() {
        QTest::addColumn<int>("model");
        QTest::newRow("VXA") << 1;
        QTest::newRow("VXB") << 2;
    }
    void offlinePrint() {
        QFETCH(int, model);
        MainRig rig(model, 1);
        rig.instrument->setGross(1234);
        Form1& f = *rig.form;
        FakePrinter printer;
        f.PrintTarget = std::ref(printer);
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(f.Peso->text(), QString("   1234"), 5000);
        ChooseMenuItem(&f, f.Edit, f.Econf);
        QVERIFY(!rig.m.Fl_setup);
        // An edit of a field while offline: the report prints it as it is shown.
        const Field edited = model == 2 ? Field::Filtro : Field::Set1;
        if (model == 2) {
            QTest::mouseClick(f.Command1, Qt::LeftButton);
            rig.ChooseTab(2);
            rig.Type(edited, "8");
            QTest::mouseClick(f.Command1, Qt::LeftButton);
            QVERIFY(!rig.m.Fl_setup);
        } else {
            rig.Type(edited, "4321");
        }
        const QString shown = rig.Edit(edited)->text();
        ChooseMenuItem(&f, f.Edit, f.SConf);
        QTRY_COMPARE_WITH_TIMEOUT(printer.jobs.size(), 1, 5000);
        const QStringList lines = ReportText(printer.jobs.first()).split('\n');
        QCOMPARE(lines.size() - 1, model == 2 ? 35 : 67);
        QCOMPARE(lines.at(3), QString("                                  PRINT CONFIGURATION  "));
        const QString label = model == 2 ? "      Digital filter value .." : "      Setpoint 1 value ..";
        const auto line =
            std::find_if(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(label); });
        QVERIFY(line != lines.end());
        QVERIFY2(line->endsWith(" " + shown), qPrintable(*line));
        QCOMPARE(line->size(), 86);
        QCOMPARE(printer.jobs.first().size(), f.Report().size());
        QCOMPARE(rig.prompter.records.size(), 0);
    }

    // A printer that is missing or refuses the job: the message says so in the language and offers a
    // PDF; "No" leaves it there, "Yes" asks where and writes the PDF, a cancelled dialog writes nothing,
    // a PDF that cannot be written is reported.
    void printFails_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("realPrinter"); // the system's own, with no printer installed
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("path"); // relative to a scratch folder; "" cancels
        QTest::addColumn<bool>("written");
        QTest::newRow("no") << 0 << false << int(QMessageBox::No) << "" << false;
        QTest::newRow("yes, saved") << 1 << false << int(QMessageBox::Yes) << "report.pdf" << true;
        QTest::newRow("yes, cancelled") << 0 << false << int(QMessageBox::Yes) << "" << false;
        QTest::newRow("yes, not writable")
            << 1 << false << int(QMessageBox::Yes) << "missing/report.pdf" << false;
        QTest::newRow("no printer installed") << 0 << true << int(QMessageBox::Yes) << "r.pdf" << true;
    }
    void printFails() {
        QFETCH(int, language);
        QFETCH(bool, realPrinter);
        QFETCH(int, answer);
        QFETCH(QString, path);
        QFETCH(bool, written);
        if (realPrinter && !QPrinterInfo::defaultPrinter().isNull()) {
            QSKIP("this system has a default printer");
        }
        MainRig rig(1, language);
        Form1& f = *rig.form;
        FakePrinter printer;
        printer.accept = false;
        if (!realPrinter) {
            f.PrintTarget = std::ref(printer);
        }
        QTemporaryDir dir;
        const QString file = path.isEmpty() ? QString() : dir.filePath(path);
        rig.prompter.QueueMessageAnswer(answer);
        rig.prompter.QueueFileAnswer(file);
        rig.Run();
        QTest::mouseClick(f.Command1, Qt::LeftButton); // SConf works in setup mode
        ChooseMenuItem(&f, f.Edit, f.SConf);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.prompter.records.isEmpty(), 5000);
        const bool english = language == 1;
        const auto& message = rig.prompter.records.first();
        QCOMPARE(message.kind, ScriptedPrompter::Record::MessageBox);
        QCOMPARE(message.icon, MessageIcon::Exclamation);
        QCOMPARE(message.title, english ? QString("Attention !!") : QString("Attenzione !!"));
        const QString reason =
            realPrinter
                ? (english ? "no printer installed" : "nessuna stampante installata")
                : (english ? "the printer does not accept the job" : "la stampante non accetta il lavoro");
        QVERIFY2(message.text.contains(reason), qPrintable(message.text));
        QVERIFY(message.text.contains(english ? "PDF file" : "file PDF"));
        const int expected = answer == QMessageBox::Yes ? (!path.isEmpty() && !written ? 3 : 2) : 1;
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.records.size(), expected, 5000);
        QVERIFY(WaitPasses(f, 1));
        QCOMPARE(rig.prompter.records.size(), expected);
        if (answer == QMessageBox::Yes) {
            QCOMPARE(rig.prompter.records.at(1).kind, ScriptedPrompter::Record::FileDialog);
            QVERIFY(rig.prompter.records.at(1).text.endsWith(english ? "configuration.pdf"
                                                                     : "configurazione.pdf"));
        }
        if (expected == 3) {
            QVERIFY(rig.prompter.records.at(2).text.contains(QDir::toNativeSeparators(file)));
        }
        QCOMPARE(!file.isEmpty() && QFileInfo(file).size() > 0, written);
        if (written) {
            QFile pdf(file);
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            QVERIFY(pdf.read(5) == "%PDF-");
        }
    }
};

QTEST_MAIN(TestForm1Offline)
#include "test_form1_offline.moc"
