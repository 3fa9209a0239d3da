// quartel-cli plant against a plant of simulated lines: three quartel-sim processes, two reached over
// their pseudo-terminals and one over TCP, like a device server. The history is a real git repository.

#include "clirig.h"

#include "portsettings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>

using namespace clitest;

namespace {

// One quartel-sim process: its terminal's link and, with TCP, its address.
struct SimProcess {
    QProcess proc;
    QString tcp;

    bool Start(const QStringList& arguments, bool withTcp) {
        QStringList args = arguments;
        if (withTcp) {
            args << QStringLiteral("--tcp") << QStringLiteral("0");
        }
        proc.start(QStringLiteral(QUARTEL_SIM_EXE), args);
        if (!proc.waitForStarted()) {
            return false;
        }
        const int lines = withTcp ? 2 : 1;
        QStringList printed;
        while (printed.size() < lines) {
            if (!proc.canReadLine() && !proc.waitForReadyRead(5000)) {
                return false;
            }
            while (proc.canReadLine()) {
                printed << QString::fromLocal8Bit(proc.readLine()).trimmed();
            }
        }
        tcp = withTcp ? printed.value(1) : QString();
        return true;
    }
    // A command on its standard input, and its answer.
    QByteArray Ask(const QByteArray& line) {
        proc.write(line + '\n');
        while (!proc.canReadLine()) {
            if (!proc.waitForReadyRead(5000)) {
                return QByteArray();
            }
        }
        return proc.readLine().trimmed();
    }
    bool Command(const QByteArray& line) { return Ask(line) == "ok"; }
    // A device server serves one master at a time: the last one must be gone before the next connects.
    bool NoClient() {
        return QTest::qWaitFor([this] { return Ask("client") == "ok none"; }, 5000);
    }
    ~SimProcess() {
        proc.terminate();
        proc.waitForFinished(5000);
    }
};

struct GitRun {
    int status = -1;
    QString out;
};

GitRun Git(const QString& dir, const QStringList& arguments) {
    QProcess git;
    git.setWorkingDirectory(dir);
    git.start(QStringLiteral("git"), arguments);
    GitRun r;
    if (git.waitForFinished(30000)) {
        r.status = git.exitCode();
        r.out = QString::fromUtf8(git.readAllStandardOutput());
    }
    return r;
}

int CommitCount(const QString& dir) {
    return Git(dir, {QStringLiteral("rev-list"), QStringLiteral("--count"), QStringLiteral("HEAD")})
        .out.trimmed()
        .toInt();
}

// A port nothing listens on.
quint16 ClosedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

} // namespace

class TestPlant : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    SimProcess simA; // VXA at 1, VXB at 2, over its terminal
    SimProcess simB; // VXA at 3, over TCP (found by scanning); it takes commands
    SimProcess simC; // VXA at 1, over its terminal
    QString plantFile;
    QString history;

    CliResult Plant(QStringList arguments, bool json = false) {
        if (!simB.NoClient()) {
            qWarning("line-b's simulator still serves a master");
        }
        arguments << QStringLiteral("--plant") << plantFile;
        if (json) {
            arguments << QStringLiteral("--json");
        }
        return RunCliWith(arguments, QString(), QString());
    }
    QString LastMessage() {
        return Git(history, {QStringLiteral("log"), QStringLiteral("-1"), QStringLiteral("--format=%an%n%B")})
            .out;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        // No identity of the user's: the history names its own, as under the service.
        qputenv("GIT_CONFIG_GLOBAL", "/dev/null");
        qputenv("GIT_CONFIG_NOSYSTEM", "1");
        QVERIFY(simA.Start({"--vxa", "1", "--vxb", "2", "--link", dir.filePath("a")}, false));
        QVERIFY(simB.Start({"--vxa", "3", "--link", dir.filePath("b"), "--commands"}, true));
        QVERIFY(simC.Start({"--vxa", "1", "--link", dir.filePath("c")}, false));
        QVERIFY(simB.tcp.startsWith(QLatin1String("tcp://127.0.0.1:")));
        plantFile = dir.filePath(QStringLiteral("plant.ini"));
        history = dir.filePath(QStringLiteral("history"));
        QVERIFY(
            WriteAll(plantFile, QStringLiteral("# three lines\n[plant]\nlanguage = en\n\n"
                                               "[line-a]\ndevice = %1\ntimeout = 100\naddresses = 1-2\n\n"
                                               "[line-b]\ndevice = %2\ntimeout = 100\naddresses = scan\n\n"
                                               "[line-c]\ndevice = %3\ntimeout = 100\naddresses = 1\n")
                                    .arg(dir.filePath("a"), simB.tcp, dir.filePath("c"))
                                    .toUtf8()));
        WriteAll(dir.filePath(QStringLiteral("prog.ini")), ProgIni(1));
    }

    // The first backup makes the history; the files are those backup --all writes; another run with
    // nothing changed makes no commit, whatever its --lang; a changed set point shows in plant diff
    // (status 1, nothing committed) and then in the next backup's commit, which names it.
    void backupHistory() {
        CliResult r =
            Plant({QStringLiteral("plant"), QStringLiteral("backup"), QStringLiteral("--history"), history});
        QCOMPARE(r.status, 1); // everything is new
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QStringList out = r.OutLines();
        QVERIFY(!out.isEmpty());
        const QString committed = out.takeLast();
        QVERIFY2(QRegularExpression(QStringLiteral("^history: committed [0-9a-f]{7,} in "))
                     .match(committed)
                     .hasMatch(),
                 qPrintable(committed));
        QCOMPARE(out, QStringList({"line    addr  model  result", "line-a  01    VXA    new",
                                   "line-a  02    VXB    new", "line-b  03    VXA    new",
                                   "line-c  01    VXA    new"}));
        QCOMPARE(CommitCount(history), 1);
        QCOMPARE(LastMessage(), QStringLiteral("quartel-cli\nPlant backup: changes on 4 of 4 instruments\n\n"
                                               "line-a addr 01: new instrument, VXA\n"
                                               "line-a addr 02: new instrument, VXB\n"
                                               "line-b addr 03: new instrument, VXA\n"
                                               "line-c addr 01: new instrument, VXA\n\n"));

        // The files of a line are those of backup --all on it, byte for byte.
        const QString all = dir.filePath(QStringLiteral("all-a"));
        QCOMPARE(RunCliWith({"backup", "--all", all, "--lang", "en"}, dir.filePath("a"), dir.path()).status,
                 0);
        for (const char* name : {"quartel-01.stp", "quartel-01.typ", "quartel-02.stp", "quartel-02.typ"}) {
            const QByteArray mine =
                ReadAll(QDir(history).filePath(QStringLiteral("line-a/") + QLatin1String(name)));
            QVERIFY(!mine.isEmpty());
            QCOMPARE(mine, ReadAll(QDir(all).filePath(QLatin1String(name))));
        }
        const QString fileB = QDir(history).filePath(QStringLiteral("line-b/quartel-03.stp"));
        const QByteArray before = ReadAll(fileB);

        // Nothing changed: no commit, and an Italian run rewrites no English file.
        r = Plant({"plant", "backup", "--history", history, "--lang", "it"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.OutLines().value(0), QStringLiteral("linea   ind.  modello  esito"));
        QCOMPARE(r.OutLines().value(1), QStringLiteral("line-a  01    VXA      invariato"));
        QCOMPARE(r.OutLines().last(), QStringLiteral("storia: nulla è cambiato, nessuna registrazione"));
        QCOMPARE(CommitCount(history), 1);
        QCOMPARE(ReadAll(fileB), before);
        QCOMPARE(Git(history, {"status", "--porcelain"}).out, QString());

        // Set point 1 of the VXA of line-b goes from 1000 to 1250, loaded over TCP.
        QByteArray changed = before;
        changed.replace(QByteArray("Setpoint 1 value  = \t   1000"),
                        QByteArray("Setpoint 1 value  = \t   1250"));
        QVERIFY(changed != before);
        const QString load = dir.filePath(QStringLiteral("load.stp"));
        QVERIFY(WriteAll(load, changed));
        QVERIFY(simB.NoClient());
        const CliResult restored =
            RunCliWith({"restore", "--address", "3", load, "--lang", "en"}, simB.tcp, dir.path());
        QVERIFY2(restored.status == 0, qPrintable(restored.err));

        r = Plant({"plant", "diff", "--history", history});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.OutLines(),
                 QStringList({"line-b addr 03: Setpoint 1 value 1000 -> 1250", "line    addr  model  result",
                              "line-a  01    VXA    unchanged", "line-a  02    VXB    unchanged",
                              "line-b  03    VXA    changed (1)", "line-c  01    VXA    unchanged"}));
        QCOMPARE(CommitCount(history), 1);
        QCOMPARE(ReadAll(fileB), before); // diff writes nothing
        // In JSON, in English whatever the run's language.
        r = Plant({"plant", "diff", "--history", history, "--lang", "it"}, true);
        QCOMPARE(r.status, 1);
        QCOMPARE(
            r.OutLines().value(2),
            QStringLiteral("{\"address\":3,\"changes\":[{\"after\":\"1250\",\"before\":\"1000\",\"line\":1,"
                           "\"parameter\":\"Setpoint 1 value\"}],\"device\":\"%1\",\"line\":\"line-b\","
                           "\"model\":\"VXA\",\"result\":\"changed\"}")
                .arg(simB.tcp));

        r = Plant({"plant", "backup", "--history", history});
        QCOMPARE(r.status, 1);
        QCOMPARE(CommitCount(history), 2);
        QCOMPARE(LastMessage(), QStringLiteral("quartel-cli\nPlant backup: changes on 1 of 4 instruments\n\n"
                                               "line-b addr 03: Setpoint 1 value 1000 -> 1250\n\n"));
        QCOMPARE(Git(history, {"show", "--format=", "--name-only", "HEAD"}).out,
                 QStringLiteral("line-b/quartel-03.stp\n"));
        QCOMPARE(ReadAll(fileB), changed);
    }

    // A history file that no longer matches the instrument's kind, or that the load refuses, is a change
    // (written anew by the next backup), told in the run's language.
    void historyFileChanged_data() {
        QTest::addColumn<QString>("file");     // in line-c's folder
        QTest::addColumn<QByteArray>("bytes"); // what it holds instead
        QTest::addColumn<QString>("first");    // the first line of plant diff --lang it
        const QString vxbModelFile = QDir(history).filePath(QStringLiteral("line-a/quartel-02.typ"));
        QTest::newRow("the model file names a VXB")
            << "quartel-01.typ" << ReadAll(vxbModelFile) << "line-c ind 01: modello VXB -> VXA";
        QTest::newRow("a setup file cut short")
            << "quartel-01.stp" << QByteArray("Setpoint 1 value  = \t   1000\r\n") << "line-c ind 01: ";
    }
    void historyFileChanged() {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, first);
        const QString path = QDir(history).filePath(QStringLiteral("line-c/") + file);
        const QByteArray kept = ReadAll(path);
        QVERIFY(!bytes.isEmpty() && bytes != kept);
        QVERIFY(WriteAll(path, bytes));
        const CliResult r = Plant({"plant", "diff", "--history", history, "--lang", "it"});
        QVERIFY(WriteAll(path, kept));
        QCOMPARE(r.status, 1);
        QVERIFY2(r.OutLines().value(0).startsWith(first), qPrintable(r.out));
        QCOMPARE(r.OutLines().value(0) == first, !first.endsWith(QLatin1Char(' ')));
        QCOMPARE(r.OutLines().value(5), QStringLiteral("line-c  01    VXA      cambiato (1)"));
    }

    // A line that cannot be reached and an instrument that fell silent are reported while the other
    // lines complete; what the history holds of them stays.
    void deadLine() {
        QVERIFY(QFileInfo(QDir(history).filePath(QStringLiteral("line-b/quartel-03.stp"))).isFile());
        const int commits = CommitCount(history);
        QVERIFY(simB.Command("fault 3:silent"));
        const QByteArray plant = ReadAll(plantFile);
        QVERIFY(WriteAll(plantFile, plant + QStringLiteral("\n[line-d]\ndevice = tcp://127.0.0.1:%1\n"
                                                           "timeout = 100\naddresses = 1\n")
                                                .arg(ClosedPort())
                                                .toUtf8()));
        CliResult r = Plant({"plant", "backup", "--history", history});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.OutLines(),
                 QStringList({"line    addr  model  result", "line-a  01    VXA    unchanged",
                              "line-a  02    VXB    unchanged", "line-b  03    -      no reply",
                              "line-c  01    VXA    unchanged", "line-d  -     -      line not opened",
                              "history: nothing changed, no commit"}));
        QVERIFY2(r.err.contains(QLatin1String("quartel-cli: line-b: no reply from address 3\n")),
                 qPrintable(r.err));
        QVERIFY2(QRegularExpression(QStringLiteral("(^|\n)quartel-cli: line-d: tcp://127.0.0.1:[0-9]+: "))
                     .match(r.err)
                     .hasMatch(),
                 qPrintable(r.err));
        QCOMPARE(CommitCount(history), commits);
        QVERIFY(QFileInfo(QDir(history).filePath(QStringLiteral("line-b/quartel-03.stp"))).isFile());

        // The same plant scanned, one JSON object per instrument.
        r = Plant({"plant", "scan"}, true);
        QCOMPARE(r.status, 2);
        QStringList seen;
        for (const QString& line : r.OutLines()) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            seen << QStringLiteral("%1 %2 %3 %4")
                        .arg(o.value("line").toString())
                        .arg(o.value("address").toInt())
                        .arg(o.value("model").toString(), o.value("result").toString());
        }
        QCOMPARE(seen, QStringList({"line-a 1 VXA answers", "line-a 2 VXB answers", "line-b 0  no instrument",
                                    "line-c 1 VXA answers", "line-d 0  line not opened"}));
        QVERIFY(simB.Command("clear"));
        QVERIFY(WriteAll(plantFile, plant));
    }

    // On a terminal each line has its own row, redrawn in place: when the run ends, the rows show how
    // each line ended, above the results.
    void progressRows() {
        QString screen;
        QVERIFY(simB.NoClient());
        const CliResult r =
            RunCliWith({"plant", "scan", "--plant", plantFile}, QString(), QString(), true, 60000, &screen);
        QCOMPARE(r.status, 0);
        QVERIFY(screen.contains(QLatin1String("\x1b[3A"))); // drawn more than once
        // What a terminal shows: a carriage return goes to the start of the line, ESC [K erases the rest
        // of it, ESC [nA goes n rows up.
        QStringList rows{QString()};
        qsizetype row = 0;
        qsizetype column = 0;
        for (qsizetype i = 0; i < screen.size(); ++i) {
            const QChar c = screen.at(i);
            if (c == QLatin1Char('\x1b')) {
                const qsizetype end = screen.indexOf(QRegularExpression(QStringLiteral("[A-Za-z]")), i + 2);
                const QString code = screen.mid(i + 2, end - i - 2);
                if (screen.at(end) == QLatin1Char('K')) {
                    rows[row].truncate(column);
                } else if (screen.at(end) == QLatin1Char('A')) {
                    row = std::max<qsizetype>(0, row - code.toInt());
                }
                i = end;
            } else if (c == QLatin1Char('\r')) {
                column = 0;
            } else if (c == QLatin1Char('\n')) {
                if (++row == rows.size()) {
                    rows << QString();
                }
                column = 0;
            } else {
                rows[row] = rows[row].leftJustified(column).replace(column, 1, c);
                ++column;
            }
        }
        QCOMPARE(rows, QStringList({"line-a  done (2)", "line-b  done (1)", "line-c  done (1)",
                                    "line    addr  model  result", "line-a  01    VXA    answers",
                                    "line-a  02    VXB    answers", "line-b  03    VXA    answers",
                                    "line-c  01    VXA    answers", ""}));
    }

    // The plant commands read no user's settings: quartel-cli copied into a folder of its own (so that
    // it takes that folder for its settings, as a portable copy does) beside a prog.ini with long
    // time-outs and the other language than the run's, and a port.ini with local echo (or one that is a
    // folder, which a run that read it would tell); none of it may
    // change a plant's run. A plant file without a language speaks Italian; one that cannot be read is
    // told in English.
    void noUserSettings_data() {
        QTest::addColumn<int>("progLanguage");
        QTest::addColumn<bool>("portIsFolder"); // a settings file that cannot be read would be told
        QTest::addColumn<QString>("plant");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("shown"); // standard output, or the start of standard error
        QTest::newRow("a plant of one line, prog.ini in English")
            << 1 << true << "a.ini" << 0
            << "linea   ind.  modello  esito\nline-a  01    VXA      risponde\nline-a  02    VXB      "
               "risponde\n";
        QTest::newRow("no plant file, prog.ini in Italian")
            << 0 << false << "none.ini" << 2 << "quartel-cli: ";
    }
    void noUserSettings() {
        QFETCH(int, progLanguage);
        QFETCH(bool, portIsFolder);
        QFETCH(QString, plant);
        QFETCH(int, status);
        QFETCH(QString, shown);
        QTemporaryDir own;
        QVERIFY(own.isValid());
        const QString program = own.filePath(QStringLiteral("quartel-cli"));
        QVERIFY(QFile::copy(QStringLiteral(QUARTEL_CLI_PROGRAM), program));
        const QByteArray prog = ProgIni(progLanguage, 5000);
        Modulo1 m;
        m.LocalEcho = true;
        QVERIFY(WriteAll(own.filePath(QStringLiteral("prog.ini")), prog));
        QVERIFY(portIsFolder
                    ? QDir(own.path()).mkdir(QStringLiteral("port.ini"))
                    : WriteAll(own.filePath(QStringLiteral("port.ini")), settings::FormatPortIni(m)));
        QVERIFY(WriteAll(own.filePath(QStringLiteral("a.ini")),
                         QStringLiteral("[line-a]\ndevice = %1\ntimeout = 100\naddresses = 1-2\n")
                             .arg(dir.filePath("a"))
                             .toUtf8()));
        QProcess cli;
        cli.setWorkingDirectory(own.path());
        cli.start(program, {QStringLiteral("plant"), QStringLiteral("scan"), QStringLiteral("--plant"),
                            own.filePath(plant)});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), status);
        if (status == 0) {
            QCOMPARE(QString::fromLocal8Bit(cli.readAllStandardOutput()), shown);
            QCOMPARE(QString::fromLocal8Bit(cli.readAllStandardError()), QString());
        } else {
            const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
            QVERIFY2(err.startsWith(shown) && err.contains(QLatin1String("none.ini")), qPrintable(err));
            QVERIFY2(QRegularExpression(
                         QStringLiteral("^quartel-cli: [^\\n]*(does not exist|no such file|not found)"),
                         QRegularExpression::CaseInsensitiveOption)
                         .match(err)
                         .hasMatch(),
                     qPrintable(err)); // English
        }
        QCOMPARE(ReadAll(own.filePath(QStringLiteral("prog.ini"))), prog); // never rewritten
    }

    // Each instrument's report in the folder of its line, as report --text writes it.
    void report() {
        const QString out = dir.filePath(QStringLiteral("reports"));
        const CliResult r = Plant({"plant", "report", out});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.OutLines().value(4), QStringLiteral("line-c  01    VXA    reported"));
        const CliResult one =
            RunCliWith({"report", "--address", "1", "--text", "--lang", "en"}, dir.filePath("c"), dir.path());
        QCOMPARE(one.status, 0);
        QCOMPARE(QString::fromUtf8(ReadAll(QDir(out).filePath(QStringLiteral("line-c/quartel-01.txt")))),
                 one.out);
    }
};

QTEST_GUILESS_MAIN(TestPlant)
#include "test_plant.moc"
