// The Application controller end to end: screens handed over one at a time against the simulator,
// the dialogs that reload the start-up screen, the demo line, the welcome box and the command line.

#include "appshell.h"

#include "application.h"
#include "demo.h"
#include "form1.h"

#include "options.h"
#include "registers.h"
#include <QLabel>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

using namespace uitest;

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    // A double-click on address 7 while 12 is polled: the start-up screen closes (its port with it),
    // the main setup screen opens for 7; leaving it brings a fresh start-up screen, and so on.
    void roundTripsBetweenTheScreens() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(7, SimInstrument::VXA)->setNet(70);
        bench.sim.addInstrument(12, SimInstrument::VXB)->setNet(120);
        bench.sim.setFault(12, SimFault::late(50));
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({7, 12}));
        Shell shell(bench);

        bool startScreenGoneWhenMainShown = false;
        bool mainScreenGoneWhenStartShown = true;
        connect(shell.app.get(), &Application::MainScreenShown, this,
                [&](Form1*) { startScreenGoneWhenMainShown = shell.Start() == nullptr; });
        connect(shell.app.get(), &Application::StartScreenShown, this, [&](Form2*) {
            mainScreenGoneWhenStartShown = mainScreenGoneWhenStartShown && shell.Main() == nullptr;
        });
        shell.Run();
        WAIT_VERIFY(shell.Start() != nullptr, 3000);

        for (int round = 1; round <= 3; ++round) {
            Form2* start = shell.Start();
            QVERIFY(start);
            WAIT_COMPARE(start->Peso[7]->text(), QString("     70"), 5000);
            bool clicked = false;
            auto connection = connect(&bench.sim, &Simulator::requestReceived, this, [&](int address) {
                if (address == 12 && !clicked && shell.Start()) {
                    clicked = true;
                    QTest::mouseDClick(shell.Start()->Icona[7], Qt::LeftButton);
                }
            });
            WAIT_VERIFY(shell.Main() != nullptr, 5000);
            disconnect(connection);
            QVERIFY(clicked);
            QVERIFY(startScreenGoneWhenMainShown);
            QCOMPARE(shell.app->MainScreenOpens(), round);
            Form1* main = shell.Main();
            QCOMPARE(main->windowTitle(), QString("Gestione Parametri e Setup Strumento Quartel"));
            QCOMPARE(main->IndStr->text(), QString("7"));
            QCOMPARE(int(shell.app->State().DeviceAddress), 7);
            QVERIFY(main->MSComm1->IsOpen());
            QVERIFY(main->isVisible());

            shell.app->State().WritePending = true; // a write left in the queue does not survive
            main->findChild<QAction*>("Esc")->trigger();
            WAIT_COMPARE(shell.app->StartScreenLoads(), round + 1, 5000);
            QVERIFY(shell.Main() == nullptr);
            QVERIFY(!shell.app->State().WritePending);
            QVERIFY(mainScreenGoneWhenStartShown);
        }
        // The fresh start-up screen polls again from the start: the division code is read anew.
        WAIT_COMPARE(shell.Start()->Peso[7]->text(), QString("     70"), 5000);
        const int divisionReads = [&] {
            int count = 0;
            for (const SimRequest& r : bench.sim.requestsTo(7)) {
                count += r.function == Fn::ReadHoldingRegisters && r.frame.mid(5, 4) == "1050" ? 1 : 0;
            }
            return count;
        }();
        QCOMPARE(divisionReads, 4);
        shell.Quit();
        QVERIFY(shell.app->IsFinished());
        QCOMPARE(bench.StrumOnDisk(), (QList<int>{7, 12}));
    }

    // The main setup screen's close box leaves it like its exit menu.
    void mainScreenCloseBoxLeavesIt() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(3, SimInstrument::VXA);
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, 1)));
        QVERIFY(bench.WriteStrum({3}));
        Shell shell(bench);
        shell.Run();
        WAIT_VERIFY(shell.Start() && shell.Start()->Icona[3]->isVisible(), 3000);
        QTest::mouseDClick(shell.Start()->Icona[3], Qt::LeftButton);
        WAIT_VERIFY(shell.Main() != nullptr, 3000);
        QCOMPARE(shell.Main()->IndStr->text(), QString("3"));
        QCOMPARE(shell.Main()->findChild<QLabel*>("Label4")->text(), QString("Device address"));
        shell.Main()->close();
        WAIT_COMPARE(shell.app->StartScreenLoads(), 2, 3000);
        QVERIFY(shell.Start());
    }

    // prog.ini says "COMM Number = 10": the port number is 0, the message shows; the port dialog opens
    // with COM1 selected and OK writes "COMM Number = 1"; the screen comes back on port 1 and polls.
    void portDialogRepairsAnInvalidPortNumber() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(1, SimInstrument::VXA)->setNet(11);
        QVERIFY(bench.WriteProgIni(ProgIni(0, "10")));
        QVERIFY(bench.WriteStrum({1}));
        Shell shell(bench);
        bool option1Selected = false;
        shell.prompter->QueueDialogScript([&](QDialog& dialog) {
            option1Selected = dialog.findChild<QRadioButton*>("Option1")->isChecked();
            dialog.findChild<QPushButton*>("OKButton")->click();
        });
        shell.Run();
        WAIT_VERIFY(shell.Start() != nullptr, 3000);
        WAIT_COMPARE(shell.prompter->MessageCount(), 1, 3000);
        QCOMPARE(shell.prompter->records.first().text, QString("Il numero della porta seriale é errato"));
        QCOMPARE(shell.Start()->Flag_errore, uint8_t(1));

        shell.Start()->pse->trigger();
        WAIT_COMPARE(shell.app->StartScreenLoads(), 2, 3000);
        QVERIFY(option1Selected);
        QCOMPARE(shell.prompter->DialogCount(), 1);
        const QList<QByteArray> lines = bench.ProgIniOnDisk().split('\n');
        const QList<QByteArray> before = ProgIni(0, "10").split('\n');
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines.mid(0, 3), before.mid(0, 3)); // lines 1-3 as they were
        QCOMPARE(lines.at(3), QByteArray("COMM Number = 1\r"));
        QCOMPARE(lines.at(4), QByteArray("Language Type (0=Italian 1=English) = 0\r"));
        QCOMPARE(lines.at(5), QByteArray("Language (0=Italian 1=English) = 0\r"));

        Form2* again = shell.Start();
        QCOMPARE(again->Flag_errore, uint8_t(0));
        QVERIFY(again->MSComm1->IsOpen());
        WAIT_COMPARE(again->Peso[1]->text(), QString("     11"), 5000);
        QCOMPARE(shell.prompter->MessageCount(), 1);
    }

    // The language dialog: Cancel after choosing the other language brings the screen back in the
    // stored language; OK changes it.
    void languageDialog_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("shown");
        QTest::newRow("Italian, cancelled") << 0 << "CancelButton" << 0;
        QTest::newRow("English, cancelled") << 1 << "CancelButton" << 1;
        QTest::newRow("Italian, OK") << 0 << "OKButton" << 1;
        QTest::newRow("English, OK") << 1 << "OKButton" << 0;
    }
    void languageDialog() {
        QFETCH(int, stored);
        QFETCH(QString, button);
        QFETCH(int, shown);
        Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, stored)));
        QVERIFY(bench.WriteStrum({}));
        Shell shell(bench);
        shell.prompter->QueueDialogScript(
            ScriptedPrompter::Click({stored == 1 ? "Option1" : "Option2", button}));
        shell.Run();
        WAIT_VERIFY(shell.Start() != nullptr, 3000);
        shell.Start()->Check1[5]->click();
        shell.Start()->Lin->trigger();
        WAIT_COMPARE(shell.app->StartScreenLoads(), 2, 3000);
        const QString title = shown == 1 ? "PESOMETRA Configuration utility"
                                         : "Programma di Comunicazione Seriale e Setup Strumento Quartel";
        QCOMPARE(shell.Start()->windowTitle(), title);
        QCOMPARE(shell.Start()->Command1->text(), QString(shown == 1 ? "Quit" : "Esci dall'Applicazione"));
        QCOMPARE(int(shell.app->State().LanguageIndex), shown);
        QCOMPARE(bench.ProgIniOnDisk(), ProgIni(0, "1", 0, shown));
        // Strum.ini was saved before the dialog: the reloaded screen has box 5 ticked.
        QCOMPARE(bench.StrumOnDisk(), QList<int>{5});
        QVERIFY(shell.Start()->Check1[5]->isChecked());
    }

    // Quit and the close box end Run(); the ticked boxes are saved.
    void quitEndsTheProgram_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Command1") << false;
        QTest::newRow("close box") << true;
    }
    void quitEndsTheProgram() {
        QFETCH(bool, closeBox);
        Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(ProgIni()));
        Shell shell(bench);
        QSignalSpy finished(shell.app.get(), &Application::Finished);
        shell.Run();
        WAIT_VERIFY(shell.Start() != nullptr, 3000);
        shell.Start()->Check1[31]->click();
        if (closeBox) {
            shell.Start()->close();
        } else {
            shell.Start()->Command1->click();
        }
        WAIT_VERIFY(*shell.ended, 3000);
        QCOMPARE(finished.size(), 1);
        QVERIFY(shell.Start() == nullptr);
        QCOMPARE(bench.StrumOnDisk(), QList<int>{31});
    }

    // --quit-after ends the program as the start-up screen's close box does once the time is up, but
    // not while the welcome box is still open: then only once a click has closed it.
    void quitAfterEndsTheProgram() {
        Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(ProgIni()));
        ApplicationOptions options;
        options.quitAfterSeconds = 1;
        Shell shell(bench, options);
        shell.Run();
        WAIT_VERIFY(shell.app->WelcomeBox() && shell.app->WelcomeBox()->isVisible(), 3000);
        RunFor(1500);
        QVERIFY(!*shell.ended);
        QTest::mouseClick(shell.app->WelcomeBox(), Qt::LeftButton);
        WAIT_VERIFY(*shell.ended, 5000);
    }

    // --demo: a simulated line with a VXA at 1 and a VXB at 2, both ticked, in scratch settings.
    void demoRunsOnScratchSettings() {
        const QString ownStrum = QDir(settings::DefaultSettingsDirectory()).filePath("Strum.ini");
        const QString ownProg = QDir(settings::DefaultSettingsDirectory()).filePath("prog.ini");
        const bool hadStrum = QFile::exists(ownStrum);
        const bool hadProg = QFile::exists(ownProg);
        const QByteArray strumBefore = ReadFile(ownStrum);

        Bench bench; // unused line; the demo brings its own
        QVERIFY(bench.Open());
        ApplicationOptions options = Shell::Options();
        options.demo = true;
        options.showWelcome = false;
        Shell shell(bench, options);
        shell.Run();
        WAIT_VERIFY(shell.Start() != nullptr, 3000);
        QVERIFY(shell.app->Demo());
        QCOMPARE(shell.app->DeviceOverride(), shell.app->Demo()->DevicePath());
        QVERIFY(shell.app->SettingsDir() != settings::DefaultSettingsDirectory());
        QCOMPARE(TickedIn(ReadFile(QDir(shell.app->SettingsDir()).filePath("Strum.ini"))),
                 (QList<int>{1, 2}));
        const QRegularExpression weight(R"(^ *-?\d+(\.\d+)?$)");
        WAIT_VERIFY(weight.match(shell.Start()->Peso[1]->text()).hasMatch(), 5000);
        WAIT_VERIFY(weight.match(shell.Start()->Peso[2]->text()).hasMatch(), 5000);
        QVERIFY(shell.Start()->Peso[1]->text().contains('.')); // 0.01 steps on the VXA
        QVERIFY(!shell.Start()->Peso[2]->text().contains('.'));
        QVERIFY(shell.Start()->Check1[1]->isChecked());
        QVERIFY(shell.Start()->Check1[2]->isChecked());
        QVERIFY(!shell.Start()->Check1[3]->isChecked());
        shell.Quit();
        QCOMPARE(QFile::exists(ownStrum), hadStrum);
        QCOMPARE(QFile::exists(ownProg), hadProg);
        QCOMPARE(ReadFile(ownStrum), strumBefore);
    }

    // --demo with --settings-dir: the directory given is used; a Strum.ini there is kept.
    void demoWithASettingsDirectory() {
        Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, 1)));
        QVERIFY(DemoLine::PrepareSettings(bench.dir.path()));
        QCOMPARE(bench.StrumOnDisk(), (QList<int>{1, 2}));
        QVERIFY(bench.WriteStrum({2}));
        QVERIFY(DemoLine::PrepareSettings(bench.dir.path()));
        QCOMPARE(bench.StrumOnDisk(), QList<int>{2});

        ApplicationOptions options = Shell::Options();
        options.demo = true;
        options.showWelcome = false;
        options.settingsDir = bench.dir.path();
        Shell shell(bench, options);
        shell.Run();
        WAIT_VERIFY(shell.Start() != nullptr, 3000);
        QCOMPARE(shell.app->SettingsDir(), QDir(bench.dir.path()).absolutePath());
        QCOMPARE(shell.Start()->windowTitle(), QString("PESOMETRA Configuration utility"));
        QVERIFY(shell.Start()->Check1[2]->isChecked());
        QVERIFY(!shell.Start()->Check1[1]->isChecked());
        WAIT_VERIFY(!shell.Start()->Peso[2]->text().trimmed().isEmpty(), 5000);
    }

    // The program starts with the welcome box; a click on it opens the start-up screen.
    void welcomeBoxComesFirst() {
        Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(ProgIni()));
        ApplicationOptions options;
        options.showWelcome = true;
        Shell shell(bench, options);
        shell.Run();
        WAIT_VERIFY(shell.app->WelcomeBox() && shell.app->WelcomeBox()->isVisible(), 3000);
        RunFor(100);
        QVERIFY(shell.Start() == nullptr);
        QCOMPARE(shell.app->WelcomeBox()->Version->text(), QString("PC Software Version 3.2"));
        QTest::mouseClick(shell.app->WelcomeBox(), Qt::LeftButton);
        WAIT_VERIFY(shell.Start() != nullptr, 3000);
        WAIT_VERIFY(shell.app->WelcomeBox() == nullptr, 3000);
        QVERIFY(shell.Start()->isVisible());
    }

    // The window belongs to the menu entry: the desktop file name is the entry's, and the window
    // carries the program's icon at the sizes the package installs.
    void windowBelongsToTheMenuEntry() {
        Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(ProgIni()));
        Shell shell(bench);
        shell.Run();
        WAIT_VERIFY(shell.Start() != nullptr && shell.Start()->isVisible(), 3000);
        QCOMPARE(QGuiApplication::desktopFileName(), QString("it.pesometra.QuartelSetup"));
        const QIcon icon = shell.Start()->windowIcon();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        for (const int size : {16, 256}) {
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString("no %1 px icon").arg(size)));
        }
        QCOMPARE(icon.pixmap(QSize(48, 48)).size(), QSize(48, 48));
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("exitNow");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<bool>("demo");
        QTest::newRow("nothing") << QStringList{"quartel-setup"} << true << false << ""
                                 << "" << false;
        QTest::newRow("device") << QStringList{"quartel-setup", "--device", "/dev/ttyUSB3"} << true << false
                                << "/dev/ttyUSB3"
                                << "" << false;
        QTest::newRow("device=") << QStringList{"quartel-setup", "--device=/dev/serial/by-id/x"} << true
                                 << false << "/dev/serial/by-id/x"
                                 << "" << false;
        QTest::newRow("all") << QStringList{"quartel-setup", "--demo",   "--settings-dir",
                                            "/tmp/s",        "--device", "/d"}
                             << true << false << "/d"
                             << "/tmp/s" << true;
        QTest::newRow("help") << QStringList{"quartel-setup", "--help"} << true << true << ""
                              << "" << false;
        QTest::newRow("unknown option") << QStringList{"quartel-setup", "--fast"} << false << false << ""
                                        << "" << false;
        QTest::newRow("stray argument") << QStringList{"quartel-setup", "COM3"} << false << false << ""
                                        << "" << false;
        QTest::newRow("device without path")
            << QStringList{"quartel-setup", "--device"} << false << false << ""
            << "" << false;
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        const ParsedCommandLine parsed = ParseCommandLine(arguments);
        QTEST(parsed.ok, "ok");
        QTEST(parsed.exitNow, "exitNow");
        if (parsed.ok && !parsed.exitNow) {
            QTEST(parsed.options.deviceOverride, "device");
            QTEST(parsed.options.settingsDir, "dir");
            QTEST(parsed.options.demo, "demo");
            QVERIFY(parsed.options.showWelcome);
        }
        if (parsed.exitNow) {
            QVERIFY(parsed.message.contains("--settings-dir"));
            QVERIFY(parsed.message.contains("--demo"));
            QVERIFY(parsed.message.contains("--device"));
        }
    }
};

QTEST_MAIN(TestApplication)
#include "test_application.moc"
