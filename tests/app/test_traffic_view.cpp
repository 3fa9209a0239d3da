// The traffic on the line through the whole program against the simulator: --trace writes every
// exchange from start-up, the traffic window opens from the menu of either screen and lives across
// screen changes, and it can close (or the program end) while an exchange is on the wire.

#include "appshell.h"

#include "application.h"
#include "applytexts.h"
#include "form1.h"
#include "form2.h"
#include "options.h"
#include "traffic.h"
#include "trafficwindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>

using namespace uitest;

namespace {

QString Shown(const Application& app) {
    return app.TrafficView() ? app.TrafficView()->ShownLines().join(u'\n') : QString();
}

} // namespace

class TestTrafficView : public QObject {
    Q_OBJECT
private slots:
    void traceOption_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("trace");
        QTest::newRow("none") << QStringList{"quartel-setup"} << true << "";
        QTest::newRow("file") << QStringList{"quartel-setup", "--trace", "/tmp/t.txt"} << true
                              << "/tmp/t.txt";
        QTest::newRow("with the demo")
            << QStringList{"quartel-setup", "--demo", "--trace=line.txt"} << true << "line.txt";
        QTest::newRow("no file") << QStringList{"quartel-setup", "--trace"} << false << "";
    }
    void traceOption() {
        QFETCH(QStringList, arguments);
        const ParsedCommandLine parsed = ParseCommandLine(arguments);
        QTEST(parsed.ok, "ok");
        if (parsed.ok) {
            QTEST(parsed.options.traceFile, "trace");
        }
        QVERIFY(ParseCommandLine({"quartel-setup", "--help"}).message.contains("--trace"));
    }

    // From start-up to the end of the program every exchange is in the file, in the order the
    // instruments got them, with what became of it; the last lines are there once the program ends.
    void traceFromStartUp() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(1, SimInstrument::VXA)->setNet(70);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({1, 2})); // nobody answers at address 2
        ApplicationOptions options = Shell::Options();
        options.traceFile = bench.Path("trace.txt");
        {
            Shell shell(bench, options);
            shell.Run();
            WAIT_VERIFY(shell.Start() && shell.Start()->PassCount() >= 2, 5000);
            QVERIFY(shell.app->Traffic().Listening());
            QVERIFY(shell.app->TrafficView() == nullptr); // the file needs no window
            shell.Quit();
        }
        QStringList lines =
            QString::fromUtf8(ReadFile(bench.Path("trace.txt"))).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.takeLast(), QString()); // every line ends with CR LF
        const QList<QByteArray> frames = bench.sim.frames();
        QCOMPARE(lines.size(), frames.size());
        static const QRegularExpression line(QStringLiteral(
            R"(^\d\d:\d\d:\d\d\.\d{3}  (ok|time-out|annullato)  \d+\.\d ms  (@0[12] .*)  > (:\S+)  <(.*)$)"));
        int answered = 0;
        for (int i = 0; i < lines.size(); ++i) {
            const QRegularExpressionMatch match = line.match(lines[i]);
            QVERIFY2(match.hasMatch(), qPrintable(lines[i]));
            QCOMPARE(match.captured(3).toLatin1() + "\r\n", frames[i]);
            const bool first = match.captured(2).startsWith(QStringLiteral("@01"));
            // Quit ends the exchange it finds waiting, whichever it is.
            if (i < lines.size() - 1) {
                QCOMPARE(match.captured(1), first ? QString("ok") : QString("time-out"));
            }
            answered += first ? 1 : 0;
        }
        QVERIFY(answered >= 3);
        // The first exchange word for word after its time stamp and turnaround (prog.ini says Italian).
        QCOMPARE(lines.first().section(QStringLiteral(" ms  "), 1),
                 QString("@01 03 leggi holding 1050 x1 (divisione): 9  > :0103105000019B  < :0103020009F1"));
        QVERIFY(lines.first().contains(QStringLiteral("  ok  ")));
    }

    void traceFileThatCannotBeOpened() {
        Bench bench;
        QVERIFY(bench.Open());
        ApplicationOptions options = Shell::Options();
        options.settingsDir = bench.dir.path();
        options.traceFile = bench.Path("no/such/folder/trace.txt");
        Application app(options, std::make_unique<ScriptedPrompter>());
        QVERIFY(!app.Prepare());
        QVERIFY2(app.ErrorString().contains(options.traceFile), qPrintable(app.ErrorString()));
    }

    // With no window and no trace file nothing is recorded.
    void nothingRecordedWhileNobodyListens() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(1, SimInstrument::VXA);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({1}));
        Shell shell(bench);
        shell.Run();
        WAIT_VERIFY(shell.Start() && shell.Start()->PassCount() >= 3, 5000);
        QVERIFY(!bench.sim.frames().isEmpty());
        QCOMPARE(shell.app->Traffic().Sequence(), quint64(0));
    }

    // One window for both screens: opened from the start-up screen's menu, it shows that screen's polls,
    // then the main setup screen's, is opened again from the main setup screen's menu in setup mode (its
    // Options menu is disabled there), and stays through the way back to a fresh start-up screen.
    void oneWindowAcrossTheScreens() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(3, SimInstrument::VXA)->setNet(30);
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, 1)));
        QVERIFY(bench.WriteStrum({3}));
        Shell shell(bench);
        shell.Run();
        WAIT_VERIFY(shell.Start() && shell.Start()->Icona[3]->isVisible(), 3000);
        Form2* start = shell.Start();
        QCOMPARE(WithoutMnemonic(start->vis->title()), QString("View"));
        QCOMPARE(WithoutMnemonic(start->traf->text()), QString("Line traffic"));
        ChooseMenuItem(start, start->vis, start->traf);
        TrafficWindow* window = shell.app->TrafficView();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QString("Line traffic"));
        WAIT_VERIFY(Shown(*shell.app).contains("ok  "), 3000);
        WAIT_VERIFY(Shown(*shell.app).contains("@03 07 read status: 04"), 3000);

        QTest::mouseDClick(start->Icona[3], Qt::LeftButton);
        WAIT_VERIFY(shell.Main() != nullptr, 5000);
        QCOMPARE(shell.app->TrafficView(), window);
        QVERIFY(window->isVisible());
        WAIT_VERIFY(Shown(*shell.app).contains("@03 04 read input 0000 x5 (weight): 30"), 3000);

        Form1* main = shell.Main();
        QTest::mouseClick(main->Command1, Qt::LeftButton); // setup mode
        QVERIFY(!main->opz->isEnabled());
        QVERIFY(main->traf->isEnabled());
        window->close();
        QVERIFY(!shell.app->Traffic().Listening());
        ChooseMenuItem(main, main->vis, main->traf);
        QCOMPARE(shell.app->TrafficView(), window);
        QVERIFY(window->isVisible());
        WAIT_VERIFY(Shown(*shell.app).contains("@03 03 read holding 1000 x7 (weighing constants): "), 3000);

        main->findChild<QAction*>("Esc")->trigger();
        WAIT_COMPARE(shell.app->StartScreenLoads(), 2, 5000);
        QVERIFY(window->isVisible());
        const quint64 before = shell.app->Traffic().Sequence();
        WAIT_VERIFY(shell.app->Traffic().Sequence() > before + 3, 3000);
        WAIT_VERIFY(Shown(*shell.app).count("@03 03 read holding 1050 x1") >= 2, 3000);
    }

    // The window closes while an exchange waits for a silent instrument, then the program ends while the
    // next one waits: the exchange on the wire ends as it would have, nothing is recorded once the window
    // is closed, and nothing breaks.
    void closedWhileAnExchangeIsOnTheWire() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(1, SimInstrument::VXA);
        bench.sim.setFault(1, SimFault::mute());
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, 1)));
        QVERIFY(bench.WriteStrum({1}));
        Shell shell(bench);
        shell.Run();
        WAIT_VERIFY(shell.Start() && shell.Start()->LoopRunning(), 3000);
        ChooseMenuItem(shell.Start(), shell.Start()->vis, shell.Start()->traf);
        TrafficWindow* window = shell.app->TrafficView();
        QVERIFY(window);
        WAIT_VERIFY(shell.app->Traffic().Sequence() >= 1, 3000);
        QVERIFY(Shown(*shell.app).isEmpty() || Shown(*shell.app).contains("time-out"));
        WAIT_VERIFY(shell.Start()->MSComm1->Busy(), 3000);
        window->close();
        const quint64 atClose = shell.app->Traffic().Sequence();
        WAIT_VERIFY(shell.Start()->PassCount() >= 3, 5000);
        // The exchange on the wire when the window closed may still come in; none after it.
        QVERIFY(shell.app->Traffic().Sequence() <= atClose + 1);

        ChooseMenuItem(shell.Start(), shell.Start()->vis, shell.Start()->traf);
        // An exchange that began while the window listens.
        const quint64 reopened = shell.app->Traffic().Sequence();
        WAIT_VERIFY(shell.app->Traffic().Sequence() > reopened && shell.Start()->MSComm1->Busy(), 3000);
        const quint64 beforeQuit = shell.app->Traffic().Sequence();
        shell.Quit(); // while the exchange waits: it ends at once
        QVERIFY(shell.app->IsFinished());
        QCOMPARE(shell.app->Traffic().Sequence(), beforeQuit + 1);
        const TrafficRecord& last = shell.app->Traffic().At(shell.app->Traffic().Size() - 1);
        QCOMPARE(last.outcome, TrafficOutcome::Cancelled);
        QVERIFY(window->isVisible()); // the Application closes it when it goes
        shell.app.reset();
    }
};

QTEST_MAIN(TestTrafficView)
#include "test_traffic_view.moc"
