// A backup by quartel-cli is byte for byte the main setup screen's own save of the same instrument:
// the screen saves through its menu first, then the command line backs the instrument up again.

#include "clirig.h"

#include "mainrig.h"

#include <QFileDialog>

using namespace clitest;

namespace {

// The user picks `path` in CMDialog1 and confirms.
ScriptedPrompter::DialogScript Choose(const QString& path) {
    return [path](QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            files->selectFile(path);
            dialog.done(QDialog::Accepted);
        }
    };
}

} // namespace

class TestCliScreen : public QObject {
    Q_OBJECT
private slots:
    void backupIsTheScreensSave_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("language");
        QTest::newRow("VXA, English") << 1 << 1;
        QTest::newRow("VXA, Italian") << 1 << 0;
        QTest::newRow("VXB, English") << 2 << 1;
        QTest::newRow("VXB, Italian") << 2 << 0;
    }
    void backupIsTheScreensSave() {
        QFETCH(int, model);
        QFETCH(int, language);
        MainRig rig(model, language);
        rig.m.InstrumentMenuCaption = language == 1 ? "Select Instrument" : "Selezione Strumento";
        // The instrument's own values away from the defaults, working and stored copy alike.
        const auto set = [&rig](quint16 reg, quint16 value) {
            rig.instrument->setHolding(reg, value);
            rig.instrument->setStored(reg, value);
        };
        set(0x1001, 30000);
        set(0x1050, 7);
        set(0x0110, 321);
        set(0x1102, 7);
        set(0x3001, model == 1 ? 2 : 1);
        set(0x3003, 25);
        if (model == 1) {
            set(0x1010, 2);
            set(0x2000, 0x001D);
            set(0x2004, 0x0002);
            set(0x4001, 2);
            set(0x4005, 40);
        }
        QTemporaryDir dir;
        const QString screenFile = dir.filePath(QStringLiteral("screen.stp"));
        const QString cliFile = dir.filePath(QStringLiteral("cli.stp"));
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Set1)->text(), QStringLiteral("   64.2"), 5000);
        rig.prompter.QueueDialogScript(Choose(screenFile));
        rig.form->Sal->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(screenFile), 10000);
        // The screen is left with the store, so the instrument stays as it is; then it is closed, and
        // its port with it.
        rig.prompter.QueueDialogScript(ScriptedPrompter::Click({"OKButton"}));
        rig.form->Esc_Click();
        QTRY_VERIFY_WITH_TIMEOUT(rig.loop.done(), 10000);
        rig.form.reset();

        QVERIFY(WriteAll(dir.filePath(QStringLiteral("prog.ini")), ProgIni(language)));
        const CliResult r =
            RunCliWith({"backup", "--address", "1", cliFile, "--model", QString::number(model)},
                       rig.sim.devicePath(), dir.path());
        QCOMPARE(r.status, ExitOk);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("cli.typ"))),
                 ReadAll(dir.filePath(QStringLiteral("screen.typ"))));
        QCOMPARE(ReadAll(cliFile), ReadAll(screenFile));
        QCOMPARE(ReadAll(cliFile).count('\n'), 39);
    }

    // report --pdf: a PDF from the configuration of the instrument (QtTest gives this test a
    // QApplication on the offscreen platform, as quartel-cli makes one for --pdf).
    void reportPdf() {
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        const QString pdf = rig.Path("report.pdf");
        const CliResult r = rig.Run({"report", "--address", "1", "--pdf", pdf});
        QCOMPARE(r.status, ExitOk);
        QVERIFY(ReadAll(pdf).startsWith("%PDF"));
        // A directory that does not exist: status 1, the reason, no file.
        const CliResult bad = rig.Run({"report", "--address", "1", "--pdf", rig.Path("no/such/dir/r.pdf")});
        QCOMPARE(bad.status, ExitFailed);
        QCOMPARE(bad.ErrLines().size(), 1);
    }
};

QTEST_MAIN(TestCliScreen)
#include "test_cli_screen.moc"
