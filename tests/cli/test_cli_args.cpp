// The command line of quartel-cli without a line: the address lists at both ends of 1..32 and just
// past them, the usage errors (status 2, one reason, nothing sent), the help of each command, and the
// progress line that only a terminal gets.

#include "../support/coro.h"

#include "cli.h"
#include "cliargs.h"
#include "cliio.h"
#include "plantfile.h"

#include <QtTest>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run RunArgs(const QStringList& arguments) {
    Run r;
    CliStreams streams;
    streams.out = [&r](const QString& t) { r.out += t; };
    streams.err = [&r](const QString& t) { r.err += t; };
    QStringList args{QStringLiteral("quartel-cli")};
    args << arguments;
    const Started run = Start([&]() -> QCoro::Task<> { r.status = co_await RunCli(args, streams); });
    [[maybe_unused]] const bool done = QTest::qWaitFor([&] { return run.done(); }, 5000);
    return r;
}

} // namespace

class TestCliArgs : public QObject {
    Q_OBJECT
private slots:
    void addresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("0, below the first") << "0" << false << QList<int>{};
        QTest::newRow("1, the first") << "1" << true << QList<int>{1};
        QTest::newRow("32, the last") << "32" << true << QList<int>{32};
        QTest::newRow("33, past the last") << "33" << false << QList<int>{};
        QTest::newRow("3-12") << "3-12" << true << QList<int>{3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
        QTest::newRow("1-32, the whole line") << "1-32" << true << [] {
            QList<int> all;
            for (int a = 1; a <= 32; ++a) {
                all << a;
            }
            return all;
        }();
        QTest::newRow("0-5 starts below") << "0-5" << false << QList<int>{};
        QTest::newRow("30-33 runs past") << "30-33" << false << QList<int>{};
        QTest::newRow("12-3 backwards") << "12-3" << false << QList<int>{};
        QTest::newRow("7-7, one address") << "7-7" << true << QList<int>{7};
        QTest::newRow("list with a range, unordered, repeated") << "17,1-2,2" << true << QList<int>{1, 2, 17};
        QTest::newRow("blanks around") << " 5 , 9 " << true << QList<int>{5, 9};
        QTest::newRow("empty") << "" << false << QList<int>{};
        QTest::newRow("letters") << "abc" << false << QList<int>{};
        QTest::newRow("hex") << "0x10" << false << QList<int>{};
        QTest::newRow("sign") << "+5" << false << QList<int>{};
        QTest::newRow("negative") << "-5" << false << QList<int>{};
        QTest::newRow("decimal") << "1.5" << false << QList<int>{};
        QTest::newRow("empty list entry") << "1,,2" << false << QList<int>{};
        QTest::newRow("open range") << "3-" << false << QList<int>{};
        QTest::newRow("two dashes") << "1-2-3" << false << QList<int>{};
    }
    void addresses() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QList<int>, expected);
        QString error;
        const std::optional<QList<int>> parsed = ParseAddresses(text, &error);
        QCOMPARE(parsed.has_value(), ok);
        if (ok) {
            QCOMPARE(*parsed, expected);
            QVERIFY(error.isEmpty());
        } else {
            QVERIFY(!error.isEmpty());
        }
    }

    void duration_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ms"); // -1: refused
        QTest::newRow("0 s, below the least") << "0" << qint64(-1);
        QTest::newRow("1 s, the least") << "1" << qint64(1000);
        QTest::newRow("90s") << "90s" << qint64(90000);
        QTest::newRow("15m") << "15m" << qint64(900000);
        QTest::newRow("100h, the most") << "100h" << qint64(360000000);
        QTest::newRow("360001 s, past the most") << "360001" << qint64(-1);
        QTest::newRow("upper case") << "2H" << qint64(7200000);
        QTest::newRow("fraction") << "1.5m" << qint64(-1);
        QTest::newRow("negative") << "-5" << qint64(-1);
        QTest::newRow("unit alone") << "m" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
    }
    void duration() {
        QFETCH(QString, text);
        QFETCH(qint64, ms);
        const std::optional<qint64> parsed = ParseDuration(text);
        QCOMPARE(parsed.value_or(-1), ms);
    }

    // Usage errors end with status 2 and one line on standard error, before any line is opened (the
    // device named here does not exist, so reaching it would say so instead).
    void usage_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        const QString dev = QStringLiteral("--device=/nonexistent/tty");
        QTest::newRow("no command") << QStringList{} << "quartel-cli COM"; // the settings' language
        QTest::newRow("unknown command") << QStringList{"erase"} << "unknown command \"erase\"";
        QTest::newRow("unknown option") << QStringList{"scan", "--bogus", dev} << "bogus";
        QTest::newRow("scan address 0") << QStringList{"scan", "--addresses", "0", dev} << "--addresses";
        QTest::newRow("scan address 33") << QStringList{"scan", "--addresses", "33", dev} << "--addresses";
        QTest::newRow("scan with an argument") << QStringList{"scan", "x.stp", dev} << "unexpected argument";
        QTest::newRow("watch without address") << QStringList{"watch", dev} << "watch needs --address";
        QTest::newRow("watch with a range") << QStringList{"watch", "--address", "1-3", dev} << "one address";
        QTest::newRow("watch count 0")
            << QStringList{"watch", "--address", "1", "--count", "0", dev} << "--count";
        QTest::newRow("watch bad view")
            << QStringList{"watch", "--address", "1", "--view", "tare", dev} << "--view";
        QTest::newRow("watch duration 0")
            << QStringList{"watch", "--address", "1", "--duration", "0", dev} << "--duration";
        QTest::newRow("watch duration past 100 h")
            << QStringList{"watch", "--address", "1", "--duration", "6001m", dev} << "--duration";
        QTest::newRow("watch duration unit")
            << QStringList{"watch", "--address", "1", "--duration", "5d", dev} << "--duration";
        QTest::newRow("watch csv - with json")
            << QStringList{"watch", "--address", "1", "--csv", "-", "--json", dev} << "--csv - and --json";
        QTest::newRow("watch stats without count")
            << QStringList{"watch", "--address", "1", "--stats", dev} << "--stats needs --count";
        QTest::newRow("timeout 0") << QStringList{"scan", "--timeout", "0", dev} << "--timeout";
        QTest::newRow("timeout 32768") << QStringList{"scan", "--timeout", "32768", dev} << "--timeout";
        QTest::newRow("bad language") << QStringList{"scan", "--lang", "de", dev} << "--lang";
        QTest::newRow("bad model") << QStringList{"scan", "--model", "3", dev} << "--model";
        QTest::newRow("backup without file") << QStringList{"backup", "--address", "1", dev} << "FILE.stp";
        QTest::newRow("backup address and all")
            << QStringList{"backup", "--address", "1", "--all", "d", dev} << "either --address";
        QTest::newRow("backup all without dir") << QStringList{"backup", "--all", dev} << "DIR";
        QTest::newRow("restore without address") << QStringList{"restore", "a.stp", dev} << "--address";
        QTest::newRow("restore without file") << QStringList{"restore", "--address", "1", dev} << "FILE.stp";
        QTest::newRow("restore range past 32")
            << QStringList{"restore", "--address", "3-33", "a.stp", dev} << "--address";
        QTest::newRow("report without output") << QStringList{"report", "a.stp", dev} << "needs either --pdf";
        QTest::newRow("report with both outputs")
            << QStringList{"report", "a.stp", "--text", "--pdf", "b", dev} << "not both";
        QTest::newRow("report address and file")
            << QStringList{"report", "--address", "1", "a.stp", "--text", dev} << "either --address";
        // The plant commands take every device from the plant file: --device is not theirs.
        const QString plant = QStringLiteral("--plant=/nonexistent/plant.ini");
        QTest::newRow("plant without action") << QStringList{"plant", plant} << "plant needs scan, backup";
        QTest::newRow("plant unknown action") << QStringList{"plant", "erase", plant}
                                              << "plant does scan, backup, diff or report, not \"erase\"";
        QTest::newRow("plant without file") << QStringList{"plant", "scan"} << "plant needs --plant FILE";
        QTest::newRow("plant backup without history")
            << QStringList{"plant", "backup", plant} << "plant backup needs --history DIR";
        QTest::newRow("plant diff without history")
            << QStringList{"plant", "diff", plant} << "plant diff needs --history DIR";
        QTest::newRow("plant scan with history") << QStringList{"plant", "scan", plant, "--history", "h"}
                                                 << "--history is for backup and diff only";
        QTest::newRow("plant report without folder")
            << QStringList{"plant", "report", plant} << "plant report needs the folder DIR";
        QTest::newRow("plant scan with a folder")
            << QStringList{"plant", "scan", plant, "out"} << "unexpected argument \"out\"";
        QTest::newRow("plant scan as pdf")
            << QStringList{"plant", "scan", plant, "--pdf"} << "--pdf is for report only";
        QTest::newRow("plant with a device")
            << QStringList{"plant", "scan", plant, dev} << "unknown option \"device\"";
    }

    // The plant file: every refusal names the file's line, the section and the key; what is accepted
    // is read as written. Each range at both ends and just past them.
    void plantFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>(
            "expected"); // the refusal, or the lines read: name|device|echo|ms|addresses
        const QByteArray head = "[plant]\nlanguage = en\n";
        const QByteArray a = "[a]\ndevice = /dev/ttyUSB0\n";
        QTest::newRow("a minimal line")
            << QByteArray("[line-1]\ndevice=/dev/ttyS0\n") << "line-1|/dev/ttyS0|no|0|scan";
        QTest::newRow("every key, comments, CRLF")
            << QByteArray("# a plant\r\n; two comment forms\r\n[plant]\r\nlanguage = it\r\n\r\n"
                          "[Packing_2.b]\r\n  device = tcp://10.0.0.21:4001  \r\nlocal-echo = yes\r\n"
                          "timeout = 800\r\naddresses = 1-3,12\r\n")
            << "Packing_2.b|tcp://10.0.0.21:4001|yes|800|1,2,3,12";
        QTest::newRow("a stable name alone") << QByteArray("[a]\ndevice = usb-FTDI_FT232R_A1-if00-port0\n")
                                             << "a|/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0|no|0|scan";
        QTest::newRow("timeout 1, the first") << a + "timeout = 1\n"
                                              << "a|/dev/ttyUSB0|no|1|scan";
        QTest::newRow("timeout 32767, the last") << a + "timeout = 32767\n"
                                                 << "a|/dev/ttyUSB0|no|32767|scan";
        QTest::newRow("timeout 0, below the first")
            << a + "timeout = 0\n"
            << "plant.ini:3: [a] timeout: takes milliseconds 1..32767, not \"0\"";
        QTest::newRow("timeout 32768, past the last")
            << a + "timeout = 32768\n"
            << "plant.ini:3: [a] timeout: takes milliseconds 1..32767, not \"32768\"";
        QTest::newRow("addresses 1-32, the whole line")
            << a + "addresses = 32,1-31\n"
            << "a|/dev/"
               "ttyUSB0|no|0|1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,"
               "30,31,32";
        QTest::newRow("address 0") << a + "addresses = 0\n"
                                   << "plant.ini:3: [a] addresses: \"0\" is not an address 1-32 (or scan)";
        QTest::newRow("address 33") << a + "addresses = 1,33\n"
                                    << "plant.ini:3: [a] addresses: \"33\" is not an address 1-32 (or scan)";
        QTest::newRow("port 65535, the last")
            << QByteArray("[a]\ndevice = tcp://h:65535\n") << "a|tcp://h:65535|no|0|scan";
        QTest::newRow("port 0") << QByteArray("[a]\ndevice = tcp://h:0\n")
                                << "plant.ini:2: [a] device: takes an absolute path, a name in "
                                   "/dev/serial/by-id or tcp://HOST:PORT "
                                   "(port 1..65535), not \"tcp://h:0\"";
        QTest::newRow("port 65536") << QByteArray("[a]\ndevice = tcp://h:65536\n")
                                    << "plant.ini:2: [a] device: takes an absolute path, a name in "
                                       "/dev/serial/by-id or tcp://HOST:PORT "
                                       "(port 1..65535), not \"tcp://h:65536\"";
        QTest::newRow("relative path") << QByteArray("[a]\ndevice = dev/ttyUSB0\n")
                                       << "plant.ini:2: [a] device: takes an absolute path, a name in "
                                          "/dev/serial/by-id or tcp://HOST:PORT "
                                          "(port 1..65535), not \"dev/ttyUSB0\"";
        QTest::newRow("no device") << head + "[a]\ntimeout = 100\n"
                                   << "plant.ini:3: [a] device: missing: every line needs its device";
        QTest::newRow("misspelt key")
            << a + "devcie = /dev/x\n"
            << "plant.ini:3: [a] devcie: unknown key (a line has: device, local-echo, timeout, addresses)";
        QTest::newRow("key given twice") << a + "device = /dev/ttyUSB1\n"
                                         << "plant.ini:3: [a] device: given twice (first on line 2)";
        QTest::newRow("local echo neither yes nor no")
            << a + "local-echo = true\n"
            << "plant.ini:3: [a] local-echo: takes yes or no, not \"true\"";
        QTest::newRow("language de") << QByteArray("[plant]\nlanguage = de\n") + a
                                     << "plant.ini:2: [plant] language: takes it or en, not \"de\"";
        QTest::newRow("unknown key of [plant]")
            << QByteArray("[plant]\nname = x\n") + a
            << "plant.ini:2: [plant] name: unknown key (the section [plant] has: language)";
        QTest::newRow("one line twice, in other case")
            << a + "[A]\ndevice = /dev/ttyUSB1\n"
            << "plant.ini:3: [A] the section is defined already on line 1";
        QTest::newRow("two lines on one device")
            << a + "[b]\ndevice = /dev/ttyUSB0\n"
            << "plant.ini:4: [b] device: \"/dev/ttyUSB0\" is the device of the line [a] already (line 2)";
        QTest::newRow("a name with a blank")
            << QByteArray("[line 1]\ndevice = /dev/x\n")
            << "plant.ini:1: [line 1] a line's name is letters, digits, \"-\", \"_\" and \".\" (at most 64, "
               "neither \".\" nor \"..\")";
        QTest::newRow("the name ..")
            << QByteArray("[..]\ndevice = /dev/x\n")
            << "plant.ini:1: [..] a line's name is letters, digits, \"-\", \"_\" and \".\" (at most 64, "
               "neither \".\" nor \"..\")";
        QTest::newRow("a key outside any section")
            << QByteArray("device = /dev/x\n") << "plant.ini:1: device: a key outside any section";
        QTest::newRow("a stray word")
            << a + "scan\n"
            << "plant.ini:3: [a] neither a section [NAME], nor KEY = VALUE, nor a comment";
        QTest::newRow("no line at all")
            << head << "plant.ini: no line: one section [NAME] per line, with its device";
        QTest::newRow("not UTF-8") << QByteArray("[a]\ndevice = /dev/tty\xff\n")
                                   << "plant.ini: it is not a UTF-8 text file";
    }
    void plantFile() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QString error;
        const std::optional<plant::PlantDef> def =
            plant::ParsePlant(content, QStringLiteral("plant.ini"), &error, 1);
        if (!def) {
            QCOMPARE(error, expected);
            return;
        }
        QStringList lines;
        for (const plant::LineDef& l : def->lines) {
            QStringList addresses;
            for (const int x : l.addresses) {
                addresses << QString::number(x);
            }
            lines << QStringLiteral("%1|%2|%3|%4|%5")
                         .arg(l.name, l.device, l.localEcho ? QStringLiteral("yes") : QStringLiteral("no"))
                         .arg(l.timeoutMs)
                         .arg(addresses.isEmpty() ? QStringLiteral("scan")
                                                  : addresses.join(QLatin1Char(',')));
        }
        QCOMPARE(lines.join(QLatin1Char(';')), expected);
    }
    void usage() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        if (!arguments.isEmpty() && !arguments.contains("--lang")) {
            arguments << "--lang"
                      << "en";
        }
        const Run r = RunArgs(arguments);
        QCOMPARE(r.status, ExitUsage);
        QVERIFY2(r.err.contains(reason), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QLatin1String("nonexistent")), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    void help_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("usage");
        QTest::addColumn<QString>("option");
        QTest::newRow("program") << QStringList{"--help"} << "Usage: quartel-cli COMMAND"
                                 << "--demo";
        QTest::newRow("scan") << QStringList{"scan", "--help"} << "Usage: quartel-cli scan"
                              << "--addresses";
        QTest::newRow("watch") << QStringList{"watch", "-h"} << "Usage: quartel-cli watch"
                               << "--count";
        QTest::newRow("backup") << QStringList{"backup", "--help"} << "Usage: quartel-cli backup"
                                << "--all";
        QTest::newRow("restore") << QStringList{"help", "restore"} << "Usage: quartel-cli restore"
                                 << "--store";
        QTest::newRow("report") << QStringList{"report", "--help", "--text"} << "Usage: quartel-cli report"
                                << "--pdf";
    }
    void help() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, usage);
        QFETCH(QString, option);
        const Run r = RunArgs(arguments << "--lang"
                                        << "en");
        QCOMPARE(r.status, ExitOk);
        QVERIFY2(r.out.startsWith(usage), qPrintable(r.out));
        QVERIFY2(r.out.contains(option), qPrintable(r.out));
        QVERIFY2(r.out.contains(QLatin1String("--device")), qPrintable(r.out));
        QVERIFY(r.err.isEmpty());
    }

    // The progress line goes to a terminal only, and a failure's line starts on a line of its own.
    void progress_data() {
        QTest::addColumn<bool>("terminal");
        QTest::newRow("terminal") << true;
        QTest::newRow("pipe or file") << false;
    }
    void progress() {
        QFETCH(bool, terminal);
        QString err;
        CliStreams streams;
        streams.err = [&err](const QString& t) { err += t; };
        streams.errIsTerminal = terminal;
        CliIo io(streams);
        io.Progress(QStringLiteral("scan: address 3"));
        io.Fail(QStringLiteral("no reply from address 3"));
        if (terminal) {
            QCOMPARE(err,
                     QStringLiteral("\rscan: address 3\x1b[K\r\x1b[Kquartel-cli: no reply from address 3\n"));
        } else {
            QCOMPARE(err, QStringLiteral("quartel-cli: no reply from address 3\n"));
        }
    }
};

QTEST_GUILESS_MAIN(TestCliArgs)
#include "test_cli_args.moc"
