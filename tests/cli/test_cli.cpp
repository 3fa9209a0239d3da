// quartel-cli against the simulator over a pseudo-terminal: every command runs; the scan sends the
// start-up screen's frames; a backup of a line writes one pair per instrument; a restore leaves the
// instrument holding the file's values (and with --store its stored copy too); a silent address gives
// a non-zero status and a clear message; a refused file sends nothing at all.

#include "../support/handframe.h"
#include "clirig.h"
#include "reportfixture.h"

#include "parameterset.h"
#include "registers.h"
#include "report.h"
#include "setupfile.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>

#include <unistd.h>

using namespace clitest;

namespace {

using handframe::Frame;

// Requests of the record for `address`, as raw frames.
QList<QByteArray> FramesTo(const Simulator& sim, int address) {
    QList<QByteArray> out;
    for (const SimRequest& r : sim.requestsTo(address)) {
        out << r.frame;
    }
    return out;
}

// The configuration registers of a model (what a setup file carries, plus the two analog offsets).
QList<quint16> ConfigRegisters(int model) {
    QList<quint16> regs{0x0110, 0x0111};
    for (quint16 r = 0x1000; r <= 0x1006; ++r) {
        regs << r;
    }
    if (model == 1) {
        regs << 0x1010;
    }
    regs << 0x1050;
    for (quint16 r = 0x1100; r <= 0x1104; ++r) {
        regs << r;
    }
    if (model == 1) {
        for (quint16 r = 0x2000; r <= 0x2007; ++r) {
            regs << r;
        }
    }
    for (quint16 r = 0x3000; r <= 0x3007; ++r) {
        regs << r;
    }
    if (model == 1) {
        for (quint16 r = 0x4000; r <= 0x4005; ++r) {
            regs << r;
        }
    }
    return regs;
}

// An instrument set up away from the defaults in every group, working and stored copy alike.
void Configure(SimInstrument* inst, int variant) {
    const auto set = [inst](quint16 reg, quint16 value) {
        inst->setHolding(reg, value);
        inst->setStored(reg, value);
    };
    const int model = inst->model();
    set(0x1001, quint16(20000 + variant)); // capacity
    set(0x1002, quint16(25000 + variant)); // sensitivity 2.5000
    set(0x1004, quint16(15000 + variant)); // theoretical net
    set(0x1006, quint16(100 + variant));   // dead load
    set(0x1050, 7);                        // division 2, one decimal
    set(0x0110, quint16(500 + variant));   // set-points in divisions
    set(0x0111, quint16(1500 + variant));
    set(0x1100, 7); // filter
    set(0x1102, 15);
    set(0x3000, 2); // baud
    set(0x3001, model == 1 ? 2 : 1);
    set(0x3003, 12); // response delay
    if (model == 1) {
        set(0x1010, 1);      // operating mode
        set(0x1104, 150);    // zero band
        set(0x2000, 0x001D); // output 1 mode word
        set(0x2001, 4);
        set(0x2006, 20);
        set(0x3006, 9);     // Com2 address
        set(0x4000, 12000); // analog full scale
        set(0x4001, 1);
        set(0x4002, 2);
        set(0x4005, 200);                     // analog zero reference
        set(0x4003, quint16(6000 + variant)); // trimming offsets: the instrument's own
        set(0x4004, quint16(58000 + variant));
    }
}

} // namespace

// Files of a good one that no load takes: UTF-16 with and without a byte-order mark, a NUL byte in
// one value, "abc" in the address line (line 30).
static void WriteRefusedFiles(CliRig& rig, const QByteArray& good) {
    const QString text = QString::fromLatin1(good);
    QStringEncoder bom(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    QStringEncoder plain(QStringConverter::Utf16LE);
    QVERIFY(WriteAll(rig.Path("utf16bom.stp"), bom.encode(text)));
    QVERIFY(WriteAll(rig.Path("utf16.stp"), plain.encode(text)));
    QList<QByteArray> lines = good.split('\n');
    lines[20].insert(lines[20].indexOf('\t') + 1, '\0');
    QVERIFY(WriteAll(rig.Path("nul.stp"), lines.join('\n')));
    lines = good.split('\n');
    lines[29] = lines[29].left(lines[29].indexOf('\t') + 1) + "abc\r";
    QVERIFY(WriteAll(rig.Path("abc.stp"), lines.join('\n')));
    // 1000.00 at the file's division of 0.001: 1,000,000 divisions, which no register holds.
    lines = good.split('\n');
    lines[7] = lines[7].left(lines[7].indexOf('\t') + 1) + "0\r";
    lines[0] = lines[0].left(lines[0].indexOf('\t') + 1) + "1000.00\r";
    QVERIFY(WriteAll(rig.Path("wrap.stp"), lines.join('\n')));
}

class TestCli : public QObject {
    Q_OBJECT
private slots:
    // scan: one row per answering instrument with what the start-up screen shows, and for each
    // address the screen's frames (division code, status byte, weight register) plus the model probe.
    void scan_data() {
        QTest::addColumn<QString>("addresses");
        QTest::addColumn<bool>("json");
        QTest::newRow("table, 1-3 and 17") << "1-3,17" << false;
        QTest::newRow("JSON lines, 1-3 and 17") << "1-3,17" << true;
    }
    void scan() {
        QFETCH(QString, addresses);
        QFETCH(bool, json);
        CliRig rig(1);
        SimInstrument* a1 = rig.sim.addInstrument(1, SimInstrument::VXA);
        SimInstrument* a2 = rig.sim.addInstrument(2, SimInstrument::VXB);
        SimInstrument* a17 = rig.sim.addInstrument(17, SimInstrument::VXA);
        a1->setHolding(0x1050, 7); // step 2, one decimal
        a1->setNet(-120);          // register 0 = 120, status bit 0
        a2->setStatusBits(SimInstrument::Overload, true);
        a17->setStable(false);
        a17->setNet(25);
        QStringList args{"scan", "--addresses", addresses};
        if (json) {
            args << "--json";
        }
        const CliResult r = rig.Run(args);
        QCOMPARE(r.status, ExitOk);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QStringList lines = r.OutLines();
        if (!json) {
            QVERIFY(lines.takeFirst().startsWith(QLatin1String("Addr")));
            QCOMPARE(lines, (QStringList{
                                "   1  VXA    0.2          -24.0  stable",
                                "   2  VXB    1           O - L   stable, overload",
                                "  17  VXA    1               25  moving",
                            }));
        } else {
            QCOMPARE(lines.size(), 3);
            QJsonParseError error;
            for (const QString& line : lines) {
                QVERIFY2(QJsonDocument::fromJson(line.toUtf8(), &error).isObject(),
                         qPrintable(error.errorString()));
            }
            const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8()).object();
            QCOMPARE(first.value("address").toInt(), 1);
            QCOMPARE(first.value("model").toInt(), 1);
            QVERIFY(first.value("division").isDouble());
            QCOMPARE(first.value("division").toDouble(), 0.2);
            QVERIFY(first.value("weight").isDouble());
            QCOMPARE(first.value("weight").toDouble(), -24.0);
            QCOMPARE(first.value("weightText").toString(), QStringLiteral("  -24.0"));
            QCOMPARE(first.value("statusByte").toInt(), 0x05);
            QVERIFY(first.value("ok").toBool());
            const QJsonObject second = QJsonDocument::fromJson(lines[1].toUtf8()).object();
            QCOMPARE(second.value("modelName").toString(), QStringLiteral("VXB"));
            QCOMPARE(second.value("weightText").toString(), QStringLiteral(" O - L "));
            QVERIFY(second.value("weight").isNull()); // a state, not a number
            const QJsonObject last = QJsonDocument::fromJson(lines[2].toUtf8()).object();
            QCOMPARE(last.value("weight").toDouble(), 25.0);
        }
        // The start-up screen's frames, then the model probe (the register only model 1 has).
        QCOMPARE(FramesTo(rig.sim, 1),
                 (QList<QByteArray>{Frame("01 03 1050 0001"), Frame("01 07"), Frame("01 04 0000 0001"),
                                    Frame("01 03 1010 0001")}));
        // A state instead of a weight: no weight request.
        QCOMPARE(FramesTo(rig.sim, 2),
                 (QList<QByteArray>{Frame("02 03 1050 0001"), Frame("02 07"), Frame("02 03 1010 0001")}));
        // Silent addresses get the division request alone.
        QCOMPARE(FramesTo(rig.sim, 3), QList<QByteArray>{Frame("03 03 1050 0001")});
    }

    // The pause of prog.ini comes before each instrument when more than one is polled, and not at all
    // for one address.
    void scanPauses_data() {
        QTest::addColumn<QString>("addresses");
        QTest::addColumn<bool>("pauses");
        QTest::newRow("two addresses") << "1-2" << true;
        QTest::newRow("one address") << "2" << false;
    }
    void scanPauses() {
        QFETCH(QString, addresses);
        QFETCH(bool, pauses);
        constexpr int PauseMs = 300;
        CliRig rig;
        QVERIFY(WriteAll(rig.Path("prog.ini"), ProgIni(0, ReplyTimeoutMs, PauseMs)));
        rig.sim.addInstrument(1, SimInstrument::VXA);
        rig.sim.addInstrument(2, SimInstrument::VXA);
        const qint64 startNs = Simulator::nowNs();
        const CliResult r = rig.Run({"scan", "--addresses", addresses, "--model", "1"});
        QCOMPARE(r.status, ExitOk);
        const QList<SimRequest> to2 = rig.sim.requestsTo(2);
        QVERIFY(!to2.isEmpty());
        const qint64 firstNs =
            rig.sim.requestsTo(1).isEmpty() ? startNs : rig.sim.requestsTo(1).last().timeNs;
        const double gapMs = double(to2.first().timeNs - firstNs) / 1e6;
        if (pauses) {
            QVERIFY2(gapMs >= PauseMs, qPrintable(QString::number(gapMs)));
        } else {
            QVERIFY2(gapMs < PauseMs, qPrintable(QString::number(gapMs)));
        }
    }

    void scanNothingAnswers() {
        CliRig rig(1);
        const CliResult r = rig.Run({"scan", "--addresses", "30-32"});
        QCOMPARE(r.status, ExitFailed);
        QCOMPARE(r.OutLines().size(), 1); // the header alone
        QCOMPARE(r.ErrLines(), QStringList{"quartel-cli: no instrument answered on " + rig.sim.devicePath()});
    }

    // watch: one line per pass with what the upper band shows; the model-2 band has no set-points,
    // inputs or output lamps.
    void watch_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("line");
        QTest::newRow("VXA gross, English")
            << 1 << "gross"
            << "     3     150.0     -50   0.150  01    200.0   400.0  Stable ... "
               "Output1 .......  v3.2";
        QTest::newRow("VXA net") << 1 << "net"
                                 << "     3     -24.0     -50   0.150  01    200.0   400.0  Stable Net "
                                    "Output1 .......  v3.2";
        QTest::newRow("VXB gross") << 2 << "gross"
                                   << "     3     150.0     -50   0.150  Stable  v3.2";
    }
    void watch() {
        QFETCH(int, model);
        QFETCH(QString, view);
        QFETCH(QString, line);
        CliRig rig(1);
        SimInstrument* inst = rig.sim.addInstrument(4, model);
        inst->setHolding(0x1050, 7);
        inst->setWeight(-120, 750);
        inst->setSignal(150);
        inst->setInternalPoints(quint32((131000 - 50) * 16));
        inst->setInputs(2);
        inst->setRelays(1);
        const CliResult r = rig.Run({"watch", "--address", "4", "--count", "3", "--view", view});
        QCOMPARE(r.status, ExitOk);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        const QStringList lines = r.OutLines();
        QCOMPARE(lines.size(), 2 + 3);
        QVERIFY2(lines[0].startsWith(model == 1 ? "VXA at address 4" : "VXB at address 4"),
                 qPrintable(lines[0]));
        QCOMPARE(lines.last(), line);
    }

    // --json and --stats: the statistics go to standard error, the lines stay JSON.
    void watchJsonStats() {
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA)->setNet(33);
        const CliResult r =
            rig.Run({"watch", "--address", "1", "--count", "2", "--json", "--stats", "--view", "net"});
        QCOMPARE(r.status, ExitOk);
        const QStringList lines = r.OutLines();
        QCOMPARE(lines.size(), 2);
        const QJsonObject pass = QJsonDocument::fromJson(lines[1].toUtf8()).object();
        QCOMPARE(pass.value("pass").toInt(), 2);
        QVERIFY(pass.value("weight").isDouble());
        QCOMPARE(pass.value("weight").toDouble(), 33.0);
        QCOMPARE(pass.value("weightText").toString(), QStringLiteral("     33"));
        QVERIFY(pass.value("stable").toBool());
        QVERIFY(pass.value("net").toBool());
        QVERIFY(pass.value("ok").toBool());
        QCOMPARE(r.ErrLines().size(), 3);
        QVERIFY2(r.err.contains(QLatin1String("stats: passes 2..2: 4 exchanges")), qPrintable(r.err));
        QVERIFY2(r.err.contains(QLatin1String("ms per exchange")), qPrintable(r.err));
    }

    // An address that does not answer: every command that talks to it ends with status 1 and says so
    // in one line; nothing is written.
    void silentAddress_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("watch") << QStringList{"watch", "--address", "7", "--count", "2", "--model", "1"}
                               << "no reply from address 7 in 2 of 2 passes";
        QTest::newRow("watch, model asked")
            << QStringList{"watch", "--address", "7", "--count", "2"} << "no reply from address 7";
        QTest::newRow("backup") << QStringList{"backup", "--address", "7", "@/a.stp"}
                                << "no reply from address 7";
        QTest::newRow("backup, model 1") << QStringList{"backup", "--address", "7", "@/a.stp", "--model", "1"}
                                         << "no reply from address 7";
        QTest::newRow("restore") << QStringList{"restore", "--address", "7", "@/good.stp"}
                                 << "no reply from address 7";
        QTest::newRow("report") << QStringList{"report", "--address", "7", "--text"}
                                << "no reply from address 7";
    }
    void silentAddress() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        QVERIFY(WriteAll(rig.Path("good.stp"), DesignVxaFile()));
        for (QString& a : arguments) {
            a.replace(QLatin1String("@"), rig.dir.path());
        }
        const CliResult r = rig.Run(arguments);
        QCOMPARE(r.status, ExitFailed);
        QCOMPARE(r.ErrLines(), QStringList{QStringLiteral("quartel-cli: ") + reason});
        QVERIFY(!QFile::exists(rig.Path("a.stp")));
        QVERIFY(!QFile::exists(rig.Path("a.typ")));
        QVERIFY(rig.sim.requestsTo(1).isEmpty());
    }

    // backup --all: instruments at 1, 2 and 17 give three pairs named after their addresses, each the
    // backup of that instrument alone.
    void backupLine() {
        CliRig rig(1);
        Configure(rig.sim.addInstrument(1, SimInstrument::VXA), 1);
        Configure(rig.sim.addInstrument(2, SimInstrument::VXB), 2);
        Configure(rig.sim.addInstrument(17, SimInstrument::VXA), 17);
        const QString out = rig.Path("line");
        QVERIFY(QDir().mkpath(out));
        const CliResult r = rig.Run({"backup", "--all", out, "--lang", "en"});
        QCOMPARE(r.status, ExitOk);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(r.OutLines().size(), 3);
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 (QStringList{"quartel-01.stp", "quartel-01.typ", "quartel-02.stp", "quartel-02.typ",
                              "quartel-17.stp", "quartel-17.typ"}));
        QCOMPARE(ReadAll(out + "/quartel-02.typ"), QByteArray("Select Instrument = \t2\r\n"));
        for (const int a : {1, 2, 17}) {
            const QString single = rig.Path(QStringLiteral("single-%1.stp").arg(a));
            QCOMPARE(rig.Run({"backup", "--address", QString::number(a), single, "--lang", "en"}).status,
                     ExitOk);
            QCOMPARE(ReadAll(out + QStringLiteral("/quartel-%1.stp").arg(a, 2, 10, QLatin1Char('0'))),
                     ReadAll(single));
        }
    }

    // restore: the file made from one instrument, loaded into another of the same model, leaves the
    // second holding exactly the first one's configuration (its own address and analog trimming
    // kept); with --store the stored copy holds it too, without it the stored copy is untouched. Neither
    // backup nor restore is told the model: both ask the instrument.
    void restore_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("store");
        QTest::newRow("VXA") << 1 << false;
        QTest::newRow("VXA, stored") << 1 << true;
        QTest::newRow("VXB") << 2 << false;
        QTest::newRow("VXB, stored") << 2 << true;
    }
    void restore() {
        QFETCH(int, model);
        QFETCH(bool, store);
        CliRig rig(1);
        SimInstrument* source = rig.sim.addInstrument(1, model);
        SimInstrument* target = rig.sim.addInstrument(5, model);
        Configure(source, 0);
        target->setHolding(0x4003, 6111);
        target->setStored(0x4003, 6111);
        const QString file = rig.Path("one.stp");
        QCOMPARE(rig.Run({"backup", "--address", "1", file}).status, ExitOk);
        QList<quint16> storedBefore;
        const QList<quint16> regs = ConfigRegisters(model);
        for (const quint16 reg : regs) {
            storedBefore << target->stored(reg);
        }
        QStringList args{"restore", "--address", "5", file};
        if (store) {
            args << "--store";
        }
        const CliResult r = rig.Run(args);
        QCOMPARE(r.status, ExitOk);
        // One line per group the load writes, in the file's order; the store last.
        const QStringList lines = r.OutLines();
        QCOMPARE(lines.first(), QStringLiteral("address 5: Weight constants: confirmed"));
        // The store, then the restart that a written operating mode asks for (a VXB confirms that write).
        QCOMPARE(lines.size(), 8 + (store ? 2 : 0));
        QVERIFY(r.err.contains(QLatin1String("the file's address 1 was not written")));
        for (int i = 0; i < regs.size(); ++i) {
            const quint16 reg = regs[i];
            quint16 expected = source->holding(reg);
            if (reg == 0x3002) {
                expected = 5; // the instrument keeps its own address
            } else if (reg == 0x4003) {
                expected = 6111; // and its analog trimming
            } else if (reg == 0x4004) {
                expected = quint16(SimInstrument::defaultValue(reg, 5));
            }
            QVERIFY2(target->holding(reg) == expected,
                     qPrintable(QStringLiteral("register %1: %2, expected %3")
                                    .arg(reg, 4, 16, QLatin1Char('0'))
                                    .arg(target->holding(reg))
                                    .arg(expected)));
            QCOMPARE(target->stored(reg), store ? expected : storedBefore[i]);
        }
        QCOMPARE(target->storeCount(), store ? 1 : 0);
    }

    // restore --address A-B: one file into several instruments in turn, each keeping its address.
    void restoreRange() {
        CliRig rig(1);
        Configure(rig.sim.addInstrument(1, SimInstrument::VXA), 3);
        rig.sim.addInstrument(3, SimInstrument::VXA);
        rig.sim.addInstrument(4, SimInstrument::VXA);
        const QString file = rig.Path("one.stp");
        QCOMPARE(rig.Run({"backup", "--address", "1", file}).status, ExitOk);
        const CliResult r = rig.Run({"restore", "--address", "2-4", file, "--store"});
        QCOMPARE(r.status, ExitFailed); // nothing at address 2
        QVERIFY2(r.err.contains(QLatin1String("quartel-cli: no reply from address 2")), qPrintable(r.err));
        for (const int a : {3, 4}) {
            SimInstrument* inst = rig.sim.instrument(a);
            QVERIFY(inst);
            QCOMPARE(inst->holding(0x1001), quint16(20003));
            QCOMPARE(inst->stored(0x1001), quint16(20003));
            QCOMPARE(inst->holding(0x3002), quint16(a));
        }
    }

    // An instrument that goes silent part-way through a command: the command says what failed and
    // ends with status 1, never 0. `after` is the count of requests the instrument still answers;
    // -1: all those of the same restore without --store, so that the store is the first unanswered.
    void silentPartway_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("error");
        QTest::newRow("scan, division only")
            << QStringList{"scan", "--addresses", "5"} << 1 << "address 5: no reply to the status byte";
        QTest::newRow("scan, division and status")
            << QStringList{"scan", "--addresses", "5"} << 2 << "address 5: no reply to the weight";
        QTest::newRow("restore, store unconfirmed")
            << QStringList{"restore", "--address", "5", "@one.stp", "--store"} << -1
            << "address 5: the store command was not confirmed";
    }
    void silentPartway() {
        QFETCH(QStringList, args);
        QFETCH(int, after);
        QFETCH(QString, error);
        CliRig rig(1);
        Configure(rig.sim.addInstrument(1, SimInstrument::VXA), 0);
        rig.sim.addInstrument(5, SimInstrument::VXA);
        const QString file = rig.Path("one.stp");
        QCOMPARE(rig.Run({"backup", "--address", "1", file}).status, ExitOk);
        args.replaceInStrings(QStringLiteral("@one.stp"), file);
        if (after < 0) {
            rig.sim.clearRequests();
            QCOMPARE(rig.Run({"restore", "--address", "5", file}).status, ExitOk);
            after = int(rig.sim.requestsTo(5).size());
        }
        rig.sim.clearRequests();
        int answered = 0;
        // On the simulator's own thread, before the next request arrives.
        QObject::connect(
            &rig.sim, &Simulator::requestReceived, &rig.sim,
            [&](int address, const QByteArray&) {
                if (address == 5 && ++answered == after) {
                    rig.sim.setFault(5, SimFault::mute());
                }
            },
            Qt::DirectConnection);
        const CliResult r = rig.Run(args);
        QCOMPARE(r.status, ExitFailed);
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
        QVERIFY(rig.sim.requestsTo(5).size() > after);
    }

    // A file the instrument cannot take is refused before a single frame goes out.
    void restoreRefused_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("reason");
        QTest::newRow("model-2 file, model-1 instrument")
            << "vxb.stp" << QStringList{} << "doesn't match with the selected instrument";
        QTest::newRow("model-1 file, --model 2")
            << "vxa.stp" << QStringList{"--model", "2"} << "doesn't match with the selected instrument";
        QTest::newRow("38 lines") << "short.stp" << QStringList{} << "short.stp";
        QTest::newRow("no such file")
            << "missing.stp" << QStringList{} << "missing.stp: No such file or directory";
        QTest::newRow("65001 bytes") << "long.stp" << QStringList{} << "too long";
        const QString notText = "is not a setup file (it holds characters that are no text";
        QTest::newRow("UTF-16 with BOM") << "utf16bom.stp" << QStringList{} << notText;
        QTest::newRow("UTF-16 without BOM") << "utf16.stp" << QStringList{} << notText;
        QTest::newRow("a NUL byte in one value") << "nul.stp" << QStringList{} << notText;
        QTest::newRow("abc in the address line")
            << "abc.stp" << QStringList{}
            << "line 30 (Serial address (ID Code) (From 1 to 32)): the value \"abc\" is not a number";
        QTest::newRow("1000.00 at 0.001")
            << "wrap.stp" << QStringList{}
            << "line 1 (Setpoint 1 value): the value \"1000.00\" cannot be held at "
               "the file's division (at most 65.535)";
    }
    void restoreRefused() {
        QFETCH(QString, file);
        QFETCH(QStringList, extra);
        QFETCH(QString, reason);
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        const QByteArray vxa = DesignVxaFile();
        QVERIFY(WriteAll(rig.Path("vxa.stp"), vxa));
        QVERIFY(WriteAll(rig.Path("vxb.stp"), vxa));
        QVERIFY(WriteAll(rig.Path("vxb.typ"), setupfile::BuildModelFile("Select Instrument", 2)));
        QVERIFY(WriteAll(rig.Path("short.stp"), vxa.left(vxa.lastIndexOf("\r\n", vxa.size() - 3) + 2)));
        QVERIFY(WriteAll(rig.Path("long.stp"), vxa + QByteArray(65001 - vxa.size(), ' ')));
        WriteRefusedFiles(rig, vxa);
        QStringList args{"restore", "--address", "1", rig.Path(file), "--store"};
        args << extra;
        const CliResult r = rig.Run(args);
        QCOMPARE(r.status, ExitFailed);
        QCOMPARE(r.ErrLines().size(), 1);
        QVERIFY2(r.err.contains(reason), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        // At most the question of the model went out.
        for (const SimRequest& request : rig.sim.requests()) {
            QCOMPARE(request.function, int(Fn::ReadHoldingRegisters));
        }
    }

    // The same files with the model asked of the instrument: refused after that one read, and the
    // instrument's own address never stands in for the file's unreadable one. A backup taken before and
    // after is the same.
    void restoreRefusedLeavesTheInstrument_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("UTF-16 with BOM") << "utf16bom.stp";
        QTest::newRow("a NUL byte in one value") << "nul.stp";
        QTest::newRow("abc in the address line") << "abc.stp";
        QTest::newRow("1000.00 at 0.001") << "wrap.stp";
    }
    void restoreRefusedLeavesTheInstrument() {
        QFETCH(QString, file);
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        QCOMPARE(rig.Run({"backup", "--address", "1", rig.Path("before.stp")}).status, ExitOk);
        WriteRefusedFiles(rig, ReadAll(rig.Path("before.stp")));
        const CliResult r =
            rig.Run({"restore", "--address", "1", rig.Path(file), "--model", "auto", "--store"});
        QCOMPARE(r.status, ExitFailed);
        QVERIFY(r.out.isEmpty());
        for (const SimRequest& request : rig.sim.requests()) {
            QVERIFY2(request.function != Fn::WriteSingleRegister &&
                         request.function != Fn::WriteMultipleRegisters,
                     request.frame.constData());
        }
        QCOMPARE(rig.Run({"backup", "--address", "1", rig.Path("after.stp")}).status, ExitOk);
        QCOMPARE(ReadAll(rig.Path("after.stp")), ReadAll(rig.Path("before.stp")));
        if (file == "wrap.stp") { // reported, not compared
            QVERIFY(rig.Run({"diff", "--address", "1", rig.Path(file)})
                        .OutLines()
                        .contains("Setpoint 1 value: " +
                                  setupfile::ValueOfLine(
                                      QString::fromLatin1(ReadAll(rig.Path("before.stp")).split('\r')[0]))
                                      .trimmed() +
                                  " | cannot be held at this division"));
        }
    }

    // A VXB taken for a VXA (--model 1): its analog block cannot be read, so nothing is written and
    // the reason names the model.
    void restoreIntoOtherModel() {
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXB);
        QVERIFY(WriteAll(rig.Path("vxa.stp"), DesignVxaFile()));
        const CliResult r =
            rig.Run({"restore", "--address", "1", rig.Path("vxa.stp"), "--store", "--model", "1"});
        QCOMPARE(r.status, ExitFailed);
        QCOMPARE(r.ErrLines(), QStringList{"quartel-cli: address 1 answers as a VXB, not as a VXA (--model); "
                                           "nothing written"});
        for (const SimRequest& request : rig.sim.requests()) {
            QCOMPARE(request.function, int(Fn::ReadHoldingRegisters));
        }
    }

    // report of a live instrument: the fixed configuration of the report references restored into the
    // simulator, whose upper band shows what the reference's status rows say; the whole text is the
    // reference's. From the setup file the same report differs only where the file knows nothing:
    // the inputs, the version, the signal and the internal counts.
    void reportMatchesTheReference_data() { AddReferenceRows(); }
    void reportMatchesTheReference() {
        QFETCH(int, model);
        QFETCH(int, language);
        const ReportFixture fixture(model);
        CliRig rig(language);
        const int address = model; // the fixture's own address: the instrument keeps it
        SimInstrument& sim =
            *rig.sim.addInstrument(address, model == 2 ? SimInstrument::VXB : SimInstrument::VXA);
        const int shownPoints = model == 2 ? 54321 : 12345;
        sim.setInternalPoints(quint32((131000 + shownPoints) * 16));
        sim.setSignal(model == 2 ? 500 : 1234);
        sim.setVersion(model == 2 ? 10 : 15);
        sim.setInputs(0b10);
        const QString file = rig.Path("fixture.stp");
        QVERIFY(WriteAll(file, setupfile::BuildSetupFile(*fixture.set, language, model)));
        QVERIFY(
            WriteAll(setupfile::ModelFileName(file), setupfile::BuildModelFile("Select Instrument", model)));
        const QString a = QString::number(address);
        const CliResult restored = rig.Run({"restore", "--address", a, file});
        QVERIFY2(restored.status == ExitOk, qPrintable(restored.err));

        QStringList expected = ReferenceReport(model, language);
        QVERIFY(!expected.isEmpty());
        expected.replaceInStrings(fixture.date, ReportDate());
        const CliResult live = rig.Run({"report", "--address", a, "--text", "--notes", fixture.notes});
        QCOMPARE(live.status, ExitOk);
        QCOMPARE(live.out.split('\n'), expected + QStringList{QString()});

        const CliResult fromFile = rig.Run({"report", file, "--text", "--notes", fixture.notes});
        QCOMPARE(fromFile.status, ExitOk);
        const QStringList fileLines = fromFile.out.split('\n');
        QCOMPARE(fileLines.size(), expected.size() + 1);
        int differing = 0;
        for (int i = 0; i < expected.size(); ++i) {
            differing += fileLines[i] != expected[i] ? 1 : 0;
        }
        QCOMPARE(differing, model == 2 ? 3 : 5);
    }

    // --demo: the simulated line of the screens, in-process.
    void demo() {
        const CliResult r = RunCliWith({"scan", "--demo", "--addresses", "1-3", "--timeout", "100"}, {}, {});
        QCOMPARE(r.status, ExitOk);
        const QStringList lines = r.OutLines();
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[1].startsWith(QLatin1String("   1  VXA    0.01")), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith(QLatin1String("   2  VXB    1")), qPrintable(lines[2]));
    }

    // The progress line of a long job goes to a terminal only.
    void progressOnTerminal() {
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        const CliResult terminal = rig.Run({"scan", "--addresses", "1-2"}, true);
        QCOMPARE(terminal.status, ExitOk);
        QVERIFY(terminal.err.contains(QLatin1String("\rscan: address 2 (2 of 2), 1 answered")));
        QVERIFY(terminal.err.endsWith(QLatin1String("\r\x1b[K")));
        const CliResult pipe = rig.Run({"scan", "--addresses", "1-2"}, false);
        QVERIFY(pipe.err.isEmpty());
        QCOMPARE(pipe.out, terminal.out);
    }

    // On a terminal, where both streams share the screen, every table line stands whole: the progress
    // line is gone before a line of the table is written, and comes back after it.
    void progressLeavesTheTableIntact() {
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        rig.sim.addInstrument(3, SimInstrument::VXB);
        QString screen;
        const CliResult r = RunCliWith({"scan", "--addresses", "1-4"}, rig.sim.devicePath(), rig.dir.path(),
                                       true, 60000, &screen);
        QCOMPARE(r.status, ExitOk);
        QVERIFY(r.err.contains(QLatin1String("\rscan: address 2 (2 of 4), 1 answered")));
        QStringList shown = TerminalLines(screen);
        shown.removeAll(QString());
        QCOMPARE(shown, r.OutLines());
    }

    // A device that cannot be opened or a device server that refuses the connection: the cause is
    // named (in the run's language where it is the program's own text), and Qt itself says nothing.
    // One language per run: the settings' language (or --lang) for every message, the command line's
    // own and the setup files' alike.
    void oneLanguagePerRun_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("err");
        const QString missing = QDir::toNativeSeparators(QDir::temp().filePath("quartel-no-such.stp"));
        const QStringList restore{"restore", "--address", "1", missing};
        const QStringList backup{"backup", "--address", "9", QDir::temp().filePath("quartel-nine.stp")};
        QTest::newRow("file, Italian")
            << 0 << restore << QStringList{"quartel-cli: " + missing + ": file o cartella inesistente"};
        QTest::newRow("file, English")
            << 1 << restore << QStringList{"quartel-cli: " + missing + ": No such file or directory"};
        QTest::newRow("file, Italian settings, --lang en")
            << 0 << (restore + QStringList{"--lang", "en"})
            << QStringList{"quartel-cli: " + missing + ": No such file or directory"};
        QTest::newRow("silent, Italian")
            << 0 << backup << QStringList{"quartel-cli: nessuna risposta dall'indirizzo 9"};
        QTest::newRow("silent, English")
            << 1 << backup << QStringList{"quartel-cli: no reply from address 9"};
        QTest::newRow("silent, English settings, --lang it")
            << 1 << (backup + QStringList{"--lang", "it"})
            << QStringList{"quartel-cli: nessuna risposta dall'indirizzo 9"};
    }
    void oneLanguagePerRun() {
        QFETCH(int, language);
        QFETCH(QStringList, args);
        QFETCH(QStringList, err);
        CliRig rig(language);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        const CliResult r = rig.Run(args);
        QCOMPARE(r.status, ExitFailed);
        QCOMPARE(r.ErrLines(), err);
        QVERIFY(r.out.isEmpty());
    }

    // The scan table speaks the run's language too, and so does the line that nothing answered.
    void scanInItalian() {
        CliRig rig(0);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        const CliResult r = rig.Run({"scan", "--addresses", "1-2"});
        QCOMPARE(r.status, ExitOk);
        const QStringList out = r.OutLines();
        QCOMPARE(out.size(), 2);
        QCOMPARE(out.first(), QStringLiteral("Ind.  Mod.   Divis.        Peso  Stato"));
        QVERIFY2(out.last().startsWith(QLatin1String("   1  VXA  ")), qPrintable(out.last()));
        QVERIFY2(out.last().contains(QLatin1String("stabile")), qPrintable(out.last()));
        const CliResult silent = rig.Run({"scan", "--addresses", "30"});
        QCOMPARE(silent.ErrLines(),
                 QStringList{"quartel-cli: nessuno strumento ha risposto su " + rig.sim.devicePath()});
    }

    void deviceProblems_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("absent");
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString closed = QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
        server.close();
        QTest::newRow("no such device")
            << "/dev/quartel-no-such-device"
            << "en"
            << "cannot open /dev/quartel-no-such-device: No such file or directory"
            << "dialout";
        QTest::newRow("refused, English") << closed << "en" << closed + ": connection refused"
                                          << "rifiutata";
        QTest::newRow("refused, Italian") << closed << "it" << closed + ": connessione rifiutata"
                                          << "refused";
    }
    void deviceProblems() {
        QFETCH(QString, device);
        QFETCH(QString, lang);
        QFETCH(QString, cause);
        QFETCH(QString, absent);
        QTemporaryDir dir;
        QVERIFY(WriteAll(dir.filePath("prog.ini"), ProgIni()));
        static QStringList qtMessages;
        qtMessages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { qtMessages << text; });
        const CliResult r = RunCliWith({"scan", "--addresses", "1-2", "--lang", lang}, device, dir.path());
        qInstallMessageHandler(previous);
        QCOMPARE(r.status, ExitFailed);
        QVERIFY2(r.err.contains(cause), qPrintable(r.err));
        QVERIFY2(!r.err.contains(absent), qPrintable(r.err));
        QVERIFY2(qtMessages.isEmpty(), qPrintable(qtMessages.join('\n')));
    }

    // A serial device the user may not open: the system's reason and the way to get access. Run as
    // an unprivileged user (the tests run as root, who may open anything).
    void devicePermission() {
#ifndef QUARTEL_CLI_PROGRAM
        QSKIP("the program is not built");
#else
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (::geteuid() != 0 || setpriv.isEmpty()) {
            QSKIP("needs root and setpriv to run the program as another user");
        }
        CliRig rig(1);
        QProcess run;
        run.setProcessChannelMode(QProcess::SeparateChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        run.setProcessEnvironment(env);
        // nobody: no member of the tty or dialout groups, so the pseudo-terminal is closed to it.
        run.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", QUARTEL_CLI_PROGRAM, "scan",
                            "--addresses", "1", "--device", rig.sim.devicePath(), "--settings-dir",
                            "/nonexistent", "--lang", "en"});
        QVERIFY(run.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(run.readAllStandardError());
        QCOMPARE(run.exitCode(), ExitFailed);
        QVERIFY2(err.contains(QStringLiteral("cannot open %1: Permission denied").arg(rig.sim.devicePath())),
                 qPrintable(err));
        QVERIFY2(err.contains(QLatin1String("dialout")), qPrintable(err));
#endif
    }

    // backup --all into a folder that is not there yet makes it, with its parents.
    void backupAllMakesTheFolder() {
        CliRig rig(1);
        Configure(rig.sim.addInstrument(2, SimInstrument::VXB), 2);
        const QString out = rig.Path("new/line");
        QVERIFY(!QFileInfo::exists(rig.Path("new")));
        const CliResult r = rig.Run({"backup", "--all", out, "--lang", "en"});
        QCOMPARE(r.status, ExitOk);
        QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{"quartel-02.stp", "quartel-02.typ"}));
        // A file where the folder should be is refused, and left as it was.
        QVERIFY(WriteAll(rig.Path("plain"), "x"));
        const CliResult file = rig.Run({"backup", "--all", rig.Path("plain"), "--lang", "en"});
        QCOMPARE(file.status, ExitFailed);
        QVERIFY2(file.err.contains(QLatin1String("is not a directory")), qPrintable(file.err));
        QCOMPARE(ReadAll(rig.Path("plain")), QByteArray("x"));
    }

    // backup --all: an instrument that answered the search but falls silent before its own backup is
    // a failure a script must see (status 1), while the others are still backed up.
    void backupAllReportsAFailedInstrument() {
        CliRig rig(1);
        Configure(rig.sim.addInstrument(1, SimInstrument::VXA), 1);
        Configure(rig.sim.addInstrument(2, SimInstrument::VXB), 2);
        // The search asks address 32 last; from then on address 2 is silent.
        QObject::connect(&rig.sim, &Simulator::requestReceived, &rig.sim, [&](int address) {
            if (address == 32) {
                rig.sim.setFault(2, SimFault::mute());
            }
        });
        const QString out = rig.Path("line");
        const CliResult r = rig.Run({"backup", "--all", out, "--lang", "en"});
        QCOMPARE(r.status, ExitFailed);
        QVERIFY2(r.err.contains(QLatin1String("address 2")), qPrintable(r.err));
        QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{"quartel-01.stp", "quartel-01.typ"}));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
