// quartel-cli in scripts: the output paths it writes or refuses, the end on Ctrl+C and SIGTERM, lost
// standard output, setup files that are no regular files, the screens' settings files, local echo,
// restore --store followed by diff, a device server that refuses, and one language per run.

#include "clirig.h"

#include "portsettings.h"
#include "registers.h"
#include "settings.h"

#include <QProcess>
#include <QTcpServer>

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace clitest;

namespace {

// The program itself, for what only a process has: signals, its own standard output.
QProcess* StartProgram(const QStringList& arguments, QObject* parent, const QString& stdoutFile = {}) {
    auto* run = new QProcess(parent);
    run->setProcessChannelMode(QProcess::SeparateChannels);
    if (!stdoutFile.isEmpty()) {
        run->setStandardOutputFile(stdoutFile);
    }
    run->start(QStringLiteral(QUARTEL_CLI_PROGRAM), arguments);
    return run;
}

// Whether the terminal is still in exclusive mode (a program that never closed it left it so).
bool Exclusive(const QString& device) {
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int on = 0;
    if (fd >= 0) {
        ::ioctl(fd, TIOCGEXCL, &on);
        ::close(fd);
    }
    return on != 0;
}

} // namespace

class TestCliSafety : public QObject {
    Q_OBJECT
private slots:
    // Each kind of output path for backup and report: a regular file is written, "-" is standard output
    // for the report's one file and refused for the backup's two, and nothing else is ever replaced.
    void outputPaths_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err"); // what standard error says, after "quartel-cli: TARGET: "
        for (const char* command : {"backup", "report"}) {
            QTest::addRow("%s regular", command) << command << "regular" << 0 << "";
            QTest::addRow("%s missing folder", command)
                << command << "missing folder" << 1 << "No such file or directory";
            QTest::addRow("%s -", command) << command << "-" << (QByteArray(command) == "backup" ? 2 : 0)
                                           << (QByteArray(command) == "backup" ? "-" : "");
            QTest::addRow("%s character device", command)
                << command << "character device" << 1
                << "exists and is not a regular file (a character device): it is not replaced";
            QTest::addRow("%s FIFO", command)
                << command << "FIFO" << 1 << "exists and is not a regular file (a FIFO): it is not replaced";
            QTest::addRow("%s directory", command)
                << command << "directory" << 1
                << "exists and is not a regular file (a directory): it is not replaced";
        }
    }
    void outputPaths() {
        QFETCH(QString, command);
        QFETCH(QString, kind);
        QFETCH(int, status);
        QFETCH(QString, err);
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        QString target = rig.Path(command == QLatin1String("backup") ? "out.stp" : "out.pdf");
        const QByteArray name = QFile::encodeName(target);
        if (kind == QLatin1String("missing folder")) {
            target = rig.Path("nowhere/out.stp");
        } else if (kind == QLatin1String("-")) {
            target = QStringLiteral("-");
        } else if (kind == QLatin1String("character device")) {
            if (::geteuid() != 0) {
                QSKIP("a character device is made with mknod as root only");
            }
            QCOMPARE(::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)), 0); // like /dev/null
        } else if (kind == QLatin1String("FIFO")) {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkdir(target));
        }
        QStringList args{command, "--address", "1", target, "--lang", "en"};
        if (command == QLatin1String("report")) {
            args = QStringList{command, "--address", "1", "--pdf", target, "--lang", "en"};
        }
        const CliResult r = rig.Run(args);
        QCOMPARE(r.status, status);
        if (err.isEmpty()) {
            QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        } else if (kind == QLatin1String("-")) {
            QVERIFY2(r.err.contains(QLatin1String("\"-\" is not allowed")), qPrintable(r.err));
        } else {
            const QString named = kind == QLatin1String("missing folder") ? rig.Path("nowhere") : target;
            QCOMPARE(r.err, QStringLiteral("quartel-cli: %1: %2\n").arg(named, err));
        }
        if (kind == QLatin1String("regular")) {
            QVERIFY(QFileInfo(target).isFile() && QFileInfo(target).size() > 0);
        } else if (kind == QLatin1String("-") && command == QLatin1String("report")) {
            QVERIFY(r.out.startsWith(QLatin1String("%PDF-")));
        } else if (kind != QLatin1String("-") && kind != QLatin1String("missing folder")) {
            struct stat st {};
            QCOMPARE(::stat(name.constData(), &st), 0);
            QVERIFY(!S_ISREG(st.st_mode)); // left as it was
        }
        // Nothing else was made beside it: no model file of a refused backup, no temporary file.
        const QStringList left =
            QDir(rig.dir.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
        QStringList expected{"prog.ini"};
        if (kind != QLatin1String("-") && kind != QLatin1String("missing folder")) {
            expected << QFileInfo(target).fileName();
            if (command == QLatin1String("backup") && kind == QLatin1String("regular")) {
                expected << "out.typ";
            }
        }
        expected.sort();
        QCOMPARE(left, expected);
    }

    // Setup files are read only when they are regular files: a FIFO is refused at once (it never
    // hangs), a missing file is told as missing (not as a file of the other model).
    void setupFilesRead_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("restore FIFO") << QStringList{"restore", "--address", "2"} << "fifo.stp"
                                      << "not a regular file (a FIFO)";
        QTest::newRow("diff FIFO") << QStringList{"diff", "--address", "2"} << "fifo.stp"
                                   << "not a regular file (a FIFO)";
        QTest::newRow("report FIFO") << QStringList{"report", "--text"} << "fifo.stp"
                                     << "not a regular file (a FIFO)";
        QTest::newRow("restore missing to a VXB") << QStringList{"restore", "--address", "2"} << "none.stp"
                                                  << "No such file or directory";
        QTest::newRow("65001 bytes") << QStringList{"restore", "--address", "2"} << "long.stp"
                                     << "the file is too long to be open (65001 bytes, at most 65000)";
    }
    void setupFilesRead() {
        QFETCH(QStringList, args);
        QFETCH(QString, file);
        QFETCH(QString, reason);
        CliRig rig(1);
        rig.sim.addInstrument(2, SimInstrument::VXB);
        QCOMPARE(::mkfifo(QFile::encodeName(rig.Path("fifo.stp")).constData(), 0600), 0);
        QVERIFY(WriteAll(rig.Path("long.stp"), QByteArray(65001, 'x')));
        const CliResult r = rig.Run(args << rig.Path(file) << "--lang"
                                         << "en");
        QCOMPARE(r.status, args.first() == QLatin1String("diff") ? 2 : 1);
        QCOMPARE(r.err, QStringLiteral("quartel-cli: %1: %2\n").arg(rig.Path(file), reason));
        QVERIFY(rig.sim.requests().isEmpty()); // refused before anything is sent
    }

    // Ctrl+C and SIGTERM: status 130 or 143, the port closed (out of exclusive mode, so the next run
    // opens it at once) and no half-made file.
    void interrupted_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("signal");
        QTest::newRow("watch SIGINT") << "watch" << SIGINT;
        QTest::newRow("watch SIGTERM") << "watch" << SIGTERM;
        QTest::newRow("backup SIGINT") << "backup" << SIGINT;
    }
    void interrupted() {
        QFETCH(QString, command);
        QFETCH(int, signal);
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        const QString device = rig.sim.devicePath();
        QStringList args{command, "--address", "1", "--device", device, "--settings-dir", rig.dir.path()};
        if (command == QLatin1String("backup")) {
            // A silent instrument keeps the backup reading when the signal comes (and leaves no late
            // reply on the line for the next run).
            rig.sim.setFault(1, SimFault::mute());
            args << rig.Path("line.stp") << "--timeout" << "1000" << "--model" << "1";
        }
        QProcess* run = StartProgram(args, this);
        QVERIFY(run->waitForStarted());
        // The signal comes once the program holds the port and talks to the instrument.
        const qsizetype heard = command == QLatin1String("watch") ? 3 : 0;
        QTRY_VERIFY_WITH_TIMEOUT(rig.sim.requests().size() > heard, 10000);
        QVERIFY(Exclusive(device));
        ::kill(pid_t(run->processId()), signal);
        QTRY_VERIFY_WITH_TIMEOUT(run->state() == QProcess::NotRunning, 10000);
        QCOMPARE(run->exitStatus(), QProcess::NormalExit);
        QCOMPARE(run->exitCode(), signal == SIGINT ? 130 : 143);
        QVERIFY(!Exclusive(device));
        QCOMPARE(QDir(rig.dir.path())
                     .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"prog.ini"});
        rig.sim.setFault(1, SimFault::none());
        const CliResult next = rig.Run({"scan", "--addresses", "1"});
        QVERIFY2(next.status == ExitOk, qPrintable(next.err));
    }

    // Output that is lost (a full disk) ends the run with status 1 and a message on standard error.
    void lostOutput_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("scan") << QStringList{"scan", "--addresses", "1"};
        QTest::newRow("report --text") << QStringList{"report", "--address", "1", "--text"};
        QTest::newRow("watch --csv -") << QStringList{"watch", "--address", "1", "--csv", "-"};
    }
    void lostOutput() {
        QFETCH(QStringList, args);
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        QProcess* run = StartProgram(args << "--device" << rig.sim.devicePath() << "--settings-dir"
                                          << rig.dir.path() << "--lang"
                                          << "en",
                                     this, QStringLiteral("/dev/full"));
        // The simulator answers from this process's event loop: waited for, not blocked on.
        QTRY_VERIFY_WITH_TIMEOUT(run->state() == QProcess::NotRunning, 20000);
        QCOMPARE(run->exitCode(), 1);
        QCOMPARE(QString::fromLocal8Bit(run->readAllStandardError()),
                 QStringLiteral("quartel-cli: standard output: No space left on device\n"));
    }

    // prog.ini and port.ini as the screens' own code writes them: the device of the port dialog, the
    // language and local echo are the command line's.
    void screensSettings_data() {
        QTest::addColumn<bool>("echoInFile");
        QTest::addColumn<bool>("echoOption");
        QTest::addColumn<bool>("lineEchoes");
        QTest::addColumn<int>("status");
        QTest::newRow("no echo") << false << false << false << 0;
        QTest::newRow("echo, port.ini") << true << false << true << 0;
        QTest::newRow("echo, --local-echo") << false << true << true << 0;
        QTest::newRow("echo, not told") << false << false << true << 1;
    }
    void screensSettings() {
        QFETCH(bool, echoInFile);
        QFETCH(bool, echoOption);
        QFETCH(bool, lineEchoes);
        QFETCH(int, status);
        CliRig rig;
        rig.sim.addInstrument(1, SimInstrument::VXA);
        rig.sim.setLocalEcho(lineEchoes);
        Modulo1 m;
        settings::ParseProgIni(ProgIni(1), m);
        m.ChosenDevice = rig.sim.devicePath();
        m.LocalEcho = echoInFile;
        QVERIFY(settings::WriteProgIni(m, rig.dir.path()));
        QVERIFY(settings::WritePortIni(m, rig.dir.path()));
        QStringList args{"scan", "--addresses", "1"};
        if (echoOption) {
            args << "--local-echo";
        }
        const CliResult r = RunCliWith(args, QString(), rig.dir.path());
        QCOMPARE(r.status, status);
        QCOMPARE(r.OutLines().value(0), QStringLiteral("Addr  Model  Division    Weight  Status"));
    }

    // restore --store ends once the instrument answers again after the restart a new operating mode asks
    // for, so that a diff right after it finds it.
    void storeThenDiff() {
        CliRig rig(1);
        SimInstrument* inst = rig.sim.addInstrument(1, SimInstrument::VXA);
        inst->setRestartMs(1500);
        const QString file = rig.Path("line.stp");
        QCOMPARE(rig.Run({"backup", "--address", "1", file}).status, ExitOk);
        const quint16 mode = inst->holding(Reg::OperatingMode);
        inst->setHolding(Reg::OperatingMode, quint16((mode + 1) % 3));
        inst->setStored(Reg::OperatingMode, quint16((mode + 1) % 3));
        const CliResult restore = rig.Run({"restore", "--address", "1", file, "--store"});
        QCOMPARE(restore.status, ExitOk);
        QCOMPARE(inst->restartCount(), 1);
        const CliResult diff = rig.Run({"diff", "--address", "1", file});
        QVERIFY2(diff.status == 0, qPrintable(diff.out + diff.err));
    }

    // A device server that refuses the connection ends the run with its reason before any address is
    // tried: no table, no folder.
    void refusedDeviceServer_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("scan") << QStringList{"scan"};
        QTest::newRow("backup --all") << QStringList{"backup", "--all", "line"};
    }
    void refusedDeviceServer() {
        QFETCH(QStringList, args);
        CliRig rig(1);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString device = QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
        server.close(); // nobody listens there now
        QDir::setCurrent(rig.dir.path());
        const CliResult r = RunCliWith(args, device, rig.dir.path());
        QCOMPARE(r.status, ExitFailed);
        QCOMPARE(r.out, QString());
        QCOMPARE(r.err, QStringLiteral("quartel-cli: %1: connection refused\n").arg(device));
        QVERIFY(!QFileInfo::exists(rig.Path("line")));
    }

    // --lang it: every line on standard error is Italian, usage errors and a command's help included.
    void onlyItalian_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("usage")
            << QStringList{"scan", "--bogus"}
            << "quartel-cli: opzione sconosciuta \"bogus\" (vedere quartel-cli scan --help)\n";
        QTest::newRow("value") << QStringList{"watch", "--address", "40"}
                               << "quartel-cli: --address: \"40\" non è un indirizzo 1-32\n";
        QTest::newRow("missing file")
            << QStringList{"diff", "a.stp", "b.stp"} << "quartel-cli: a.stp: file o cartella inesistente\n";
        QTest::newRow("no device") << QStringList{"scan", "--device", "/dev/quartel-none"}
                                   << "quartel-cli: impossibile aprire /dev/quartel-none: file o cartella inesistente\n";
        QTest::newRow("no reply") << QStringList{"backup", "--address", "9", "x.stp", "--model", "1"}
                                  << "quartel-cli: nessuna risposta dall'indirizzo 9\n";
    }
    void onlyItalian() {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        CliRig rig(1);
        QDir::setCurrent(rig.dir.path());
        const QString device = args.contains("--device") ? QString() : rig.sim.devicePath();
        QCOMPARE(RunCliWith(args << "--lang" << "it", device, rig.dir.path()).err, err);
        const CliResult help = rig.Run({"backup", "--help", "--lang", "it"});
        QVERIFY(help.out.startsWith(QLatin1String("Uso: quartel-cli backup ")));
        QVERIFY(help.out.contains(QLatin1String("\nOpzioni:\n")) &&
                !help.out.contains(QLatin1String("Options")));
    }
};

QTEST_MAIN(TestCliSafety)
#include "test_cli_safety.moc"
