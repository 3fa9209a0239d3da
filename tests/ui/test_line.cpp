// The line as the screens meet it: over a TCP connection to a serial device server, through an adapter
// that hands back every request (with local echo on, and the hint when it is off), a device server that
// goes away and comes back, and a device chosen from the system's ports that is there again after a
// restart.

#include "mainrig.h"
#include "uitestsupport.h"

#include "portsettings.h"
#include "traffic.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

using namespace uitest;

namespace {

constexpr char EchoHintItalian[] =
    "L'adattatore sembra restituire l'eco delle richieste: attivare \"Eco locale\" in "
    "Opzioni > Porta Seriale della schermata iniziale";
constexpr char EchoHintEnglish[] =
    "The adapter seems to echo the requests: switch on \"Local echo\" in Option > Serial "
    "Port of the start-up screen";

void AddLineKinds() {
    QTest::addColumn<QString>("lineKind");
    QTest::newRow("terminal") << QString();
    QTest::newRow("tcp") << "tcp";
    QTest::newRow("echo") << "echo";
    QTest::newRow("tcp+echo") << "tcp+echo";
}

} // namespace

class TestLineScreens : public QObject {
    Q_OBJECT
private slots:
    // The start-up screen polls, the main setup screen reads a block and writes a group, the same over
    // every line: nothing above the link knows which.
    void startScreenOverEachLine_data() { AddLineKinds(); }
    void startScreenOverEachLine() {
        QFETCH(QString, lineKind);
        Bench bench;
        QVERIFY(bench.Open(lineKind));
        bench.sim.addInstrument(4, SimInstrument::VXA)->setNet(1234);
        bench.sim.addInstrument(9, SimInstrument::VXB)->setNet(-56);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({4, 9}));
        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(3));
        QCOMPARE(screen.Weight(4), QString("   1234"));
        QCOMPARE(screen.Weight(9), QString("    -56"));
        QCOMPARE(int(screen.m.ErrorCount[4]), 0);
        QVERIFY(screen.form->findChild<QLabel*>("EchoHint")->isHidden());
        QCOMPARE(bench.sim.requestsTo(4).first().frame, QByteArray(":04031050000198\r\n"));
    }

    void groupWriteOverEachLine_data() { AddLineKinds(); }
    void groupWriteOverEachLine() {
        QFETCH(QString, lineKind);
        MainRig rig(1, 0, lineKind);
        const int weightTab = Group(GroupId::WeightParameters).tab;
        rig.Run();
        QTest::mouseClick(rig.form->Command1, Qt::LeftButton); // setup mode
        rig.ChooseTab(weightTab);
        QTRY_COMPARE_WITH_TIMEOUT(rig.m.TabRead[weightTab + 1], uint8_t(1), 10000);
        QCOMPARE(rig.Edit(Field::Filtro)->text(), QString("5"));
        rig.Type(Field::Filtro, "8");
        QTest::mouseClick(rig.Get<QAbstractButton>("Command13"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.instrument->holding(0x1100), quint16(8), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Get("Shape10")->isHidden() && !rig.m.WritePending, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Filtro)->text(), QString("8"), 10000);
        QCOMPARE(rig.form->findChild<QLabel*>("EchoHint")->isHidden(), true);
        int writes = 0;
        for (const QByteArray& frame : rig.sim.frames()) {
            writes += frame.startsWith(":01101100") ? 1 : 0;
        }
        QCOMPARE(writes, 1); // confirmed by the instrument's reply, not by the adapter's echo
    }

    // An adapter that echoes with local echo off: a read request that comes back as its own copy is no
    // reply; the status bar of the screen says that the adapter seems to echo and where to switch local
    // echo on, and so does the traffic record.
    void echoHintWhenTheSettingIsOff_data() {
        QTest::addColumn<bool>("mainScreen");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("outcome");
        const QString it =
            "l'adattatore sembra restituire l'eco: attivare \"Eco locale\" in Opzioni > Porta Seriale";
        const QString en = "the adapter seems to echo: switch on \"Local echo\" in Option > Serial Port";
        QTest::newRow("start-up screen, Italian") << false << 0 << EchoHintItalian << it;
        QTest::newRow("start-up screen, English") << false << 1 << EchoHintEnglish << en;
        QTest::newRow("main setup screen, Italian") << true << 0 << EchoHintItalian << it;
        QTest::newRow("main setup screen, English") << true << 1 << EchoHintEnglish << en;
    }
    void echoHintWhenTheSettingIsOff() {
        QFETCH(bool, mainScreen);
        QFETCH(int, language);
        QFETCH(QString, hint);
        QFETCH(QString, outcome);
        TrafficLog log;
        log.AddWatcher();
        QWidget* window = nullptr;
        std::unique_ptr<Bench> bench;
        std::unique_ptr<StartScreen> screen;
        std::unique_ptr<MainRig> rig;
        if (mainScreen) {
            rig = std::make_unique<MainRig>(1, language, QString());
            rig->sim.setLocalEcho(true);
            rig->form->findChild<SerialLink*>()->SetTraffic(&log);
            rig->Run();
            window = rig->form.get();
        } else {
            bench = std::make_unique<Bench>();
            QVERIFY(bench->Open(QString()));
            bench->sim.setLocalEcho(true);
            bench->sim.addInstrument(1, SimInstrument::VXA);
            QVERIFY(bench->WriteProgIni(ProgIni(0, "1", 0, language)));
            QVERIFY(bench->WriteStrum({1}));
            screen = std::make_unique<StartScreen>(*bench);
            screen->Load();
            screen->form->MSComm1->SetTraffic(&log);
            screen->Activate();
            window = screen->form.get();
        }
        auto* label = window->findChild<QLabel*>("EchoHint");
        QVERIFY(label);
        QTRY_VERIFY_WITH_TIMEOUT(label->isVisible(), 5000);
        QCOMPARE(label->text(), hint);
        QCOMPARE(label->parentWidget(), static_cast<QMainWindow*>(window)->statusBar());
        bool recorded = false;
        for (int i = 0; i < log.Size(); ++i) {
            if (log.At(i).outcome == TrafficOutcome::Echo) {
                recorded = true;
                QVERIFY(log.At(i).reply.isEmpty());
                QVERIFY2(TrafficLine(log.At(i), language).contains(outcome),
                         qPrintable(TrafficLine(log.At(i), language)));
            }
        }
        QVERIFY(recorded);
        if (!mainScreen) {
            // The echo of the status request is not taken for a status byte: no "_______".
            QVERIFY(screen->WaitPasses(Form2::ErrorThreshold + 1));
            QCOMPARE(screen->Weight(1), QString(language == 1 ? " ERROR" : " ERRORE"));
        }
    }

    // A device server that resets the connection, or goes away and comes back: the start-up screen
    // counts failed polls as for a pulled adapter and shows the weight again once the server is back.
    void droppedTcpConnectionOnTheStartScreen_data() {
        QTest::addColumn<bool>("serverGoesAway");
        QTest::newRow("connection reset") << false;
        QTest::newRow("server away and back") << true;
    }
    void droppedTcpConnectionOnTheStartScreen() {
        QFETCH(bool, serverGoesAway);
        Bench bench;
        QVERIFY(bench.Open("tcp"));
        SimInstrument* inst = bench.sim.addInstrument(2, SimInstrument::VXA);
        inst->setNet(77);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({2}));
        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(2));
        QCOMPARE(screen.Weight(2), QString("     77"));
        // The device as the command line named it, not a port number.
        const QString status = "Porta: " + bench.device;
        QCOMPARE(screen.form->PortLabel->text(), status);
        SimTcpServer& server = *bench.line.tcp;
        const quint16 port = server.port();
        if (serverGoesAway) {
            server.close();
            QVERIFY(screen.WaitPasses(Form2::ErrorThreshold + 1));
            QCOMPARE(screen.Weight(2), QString(" ERRORE"));
            WAIT_COMPARE(screen.form->PortLabel->text(), status + ": connessione rifiutata", 5000);
            QVERIFY(server.listen(port));
        } else {
            server.dropClient();
        }
        inst->setNet(78);
        WAIT_COMPARE(screen.Weight(2), QString("     78"), 10000);
        QCOMPARE(screen.form->PortLabel->text(), status);
        QCOMPARE(int(screen.m.ErrorCount[2]), 0);
        QCOMPARE(server.connectionCount(), 2);
    }

    // A USB adapter chosen in the port dialog by its stable name: port.ini keeps it, and after a restart
    // the start-up screen opens that device and polls through it.
    void stableNameChoiceSurvivesARestart() {
        Bench bench;
        QVERIFY(bench.Open(QString()));
        bench.sim.addInstrument(3, SimInstrument::VXA)->setNet(321);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({3}));
        QVERIFY(QDir(bench.dir.path()).mkdir("by-id"));
        const QString stable = bench.dir.filePath("by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        QVERIFY(QFile::link(bench.sim.devicePath(), stable));
        SystemPort adapter;
        adapter.portName = bench.sim.devicePath().section(u'/', -1);
        adapter.systemLocation = bench.sim.devicePath();
        adapter.description = "FT232R USB UART";
        adapter.manufacturer = "FTDI";
        adapter.hasVendorId = adapter.hasProductId = true;
        adapter.vendorId = 0x0403;
        adapter.productId = 0x6001;
        SystemPort onBoard;
        onBoard.portName = "ttyS0";
        onBoard.systemLocation = "/dev/ttyS0";
        const QString byId = bench.dir.filePath("by-id");
        const PortSource source = [=] { return ListPorts({onBoard, adapter}, byId); };

        {
            StartScreen first(bench);
            first.commandLineDevice = false;
            first.portSource = source;
            first.prompter.QueueDialogScript([](QDialog& dialog) {
                dialog.show(); // as the user sees it
                auto* list = dialog.findChild<QTreeWidget*>("PortList");
                QTreeWidgetItem* item = list->topLevelItem(0); // sorted: /dev/pts/N before /dev/ttyS0
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
                QTest::mouseClick(dialog.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
            });
            first.Run();
            QVERIFY(first.form->PortLabel->text().startsWith("Porta COM1: "));
            first.form->pse->trigger();
            WAIT_VERIFY(first.Ended(), 5000);
            QCOMPARE(**first.outcome, StartScreenOutcome::Reload);
        }
        QCOMPARE(ReadFile(bench.Path("port.ini")),
                 "Device = " + stable.toUtf8() + "\r\nLocal echo (0=off 1=on) = 0\r\n");
        QVERIFY(bench.ProgIniOnDisk().contains("COMM Number = 1\r\n"));

        // A restart: a fresh program state reads the files again.
        StartScreen again(bench);
        again.commandLineDevice = false;
        again.Run();
        QCOMPARE(again.m.ChosenDevice, stable);
        QCOMPARE(again.form->MSComm1->DeviceName(), stable);
        QCOMPARE(again.form->PortLabel->text(), "Porta: " + stable);
        QVERIFY(again.WaitPasses(2));
        QCOMPARE(again.Weight(3), QString("    321"));
    }
};

QTEST_MAIN(TestLineScreens)
#include "test_line.moc"
