// quartel-cli diff against the simulator over a pseudo-terminal: an instrument against its own backup
// is the same (exit 0); one parameter changed over the line is named (exit 1); two files compare
// without a line; a silent address, a refused file or files of two models give exit 2.

#include "clirig.h"

#include "parameterset.h"
#include "setupfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace clitest;

namespace {

// The file with line `line` (1..39) holding `value`.
QByteArray WithValue(const QByteArray& file, int line, const QByteArray& value) {
    QList<QByteArray> lines = file.split('\n');
    QByteArray& l = lines[line - 1];
    l = l.left(l.lastIndexOf('\t') + 1) + value + "\r";
    return lines.join('\n');
}

} // namespace

class TestCliDiff : public QObject {
    Q_OBJECT
private slots:
    // A backup just taken is what the instrument holds; a restore of the backup with one value changed
    // changes that parameter over the line, and diff names it, in text and in JSON.
    void liveAgainstBackup_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("expected"); // the difference's line in the output
        QTest::newRow("VXA, digital filter") << 1 << 9 << QByteArray("3") << "Digital filter value: 3 | 5";
        QTest::newRow("VXA, set point 2 (a weight)")
            << 1 << 2 << QByteArray("    250") << "Setpoint 2 value: 250 | 2000";
        QTest::newRow("VXB, serial address") << 2 << 30 << QByteArray("9") << "Serial address: 9 | 1";
    }
    void liveAgainstBackup() {
        QFETCH(int, model);
        QFETCH(int, line);
        QFETCH(QByteArray, value);
        QFETCH(QString, expected);
        CliRig rig(1);
        rig.sim.addInstrument(1, model == 2 ? SimInstrument::VXB : SimInstrument::VXA);
        const QString backup = rig.Path("backup.stp");
        QCOMPARE(rig.Run({"backup", "--address", "1", backup}).status, ExitOk);

        CliResult r = rig.Run({"diff", "--address", "1", backup});
        QCOMPARE(r.status, 0);
        const QStringList same =
            model == 2 ? QStringList{r.OutLines().value(0), "No differences"} : QStringList{"No differences"};
        QCOMPARE(r.OutLines(), same);
        QVERIFY(r.err.isEmpty());

        // The serial address is not written by a restore (the instrument keeps its own): that line is
        // changed in the file only.
        const QString changed = rig.Path("changed.stp");
        QVERIFY(WriteAll(changed, WithValue(ReadAll(backup), line, value)));
        QVERIFY(QFile::copy(setupfile::ModelFileName(backup), setupfile::ModelFileName(changed)));
        if (line != 30) {
            QCOMPARE(rig.Run({"restore", "--address", "1", changed, "--model", "auto"}).status, ExitOk);
        }
        const QString against = line == 30 ? changed : backup;
        r = rig.Run({"diff", "--address", "1", against});
        QCOMPARE(r.status, 1);
        QStringList lines = r.OutLines();
        if (model == 2) {
            QCOMPARE(lines.takeFirst(),
                     QStringLiteral("VXB: the parameters it does not have are not compared "
                                    "(set points, operating mode, outputs, analog output, zero "
                                    "band, Com2)"));
        }
        const QString shown = line == 30 ? QStringLiteral("Serial address: 1 | 9") : expected;
        QCOMPARE(lines, (QStringList{shown, "Parameters that differ: 1"}));

        r = rig.Run({"diff", "--address", "1", against, "--json"});
        QCOMPARE(r.status, 1);
        const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(json.value("count").toInt(), 1);
        QCOMPARE(json.value("first").toString(), QStringLiteral("address 1"));
        QCOMPARE(json.value("differences").toArray().at(0).toObject().value("line").toInt(), line);
        QCOMPARE(json.value("notCompared").toArray().size(), model == 2 ? 25 : 0);
    }

    void twoFiles() {
        CliRig rig(0);
        Modulo1 m;
        ParameterSet set(m);
        set.reset();
        const QString a = rig.Path("a.stp");
        const QString b = rig.Path("b.stp");
        QVERIFY(WriteAll(a, setupfile::BuildSetupFile(set, 0, 1)));
        // English keys, the capacity with other blanks, the baud rate changed.
        QVERIFY(WriteAll(b, WithValue(WithValue(setupfile::BuildSetupFile(set, 1, 1), 28, "3"), 3,
                                      set.text(Field::Capac).trimmed().toLatin1())));
        CliResult r = rig.Run({"diff", a, a});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.OutLines(), QStringList{"Nessuna differenza"});
        r = rig.Run({"diff", a, b, "--lang", "en"});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.OutLines().size(), 2);
        QVERIFY2(r.OutLines().first().startsWith(QLatin1String("Baud Rate: ")), qPrintable(r.out));
        QVERIFY(rig.sim.requests().isEmpty());
    }

    void trouble_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("silent address")
            << QStringList{"diff", "--address", "7", "@/a.stp"} << "no reply from address 7";
        QTest::newRow("silent address, model given")
            << QStringList{"diff", "--address", "7", "@/a.stp", "--model", "1"}
            << "address 7: not read: Weight constants, Operating mode, Division, Weight parameters, Outputs, "
               "Serial port, Analog output, Set points";
        QTest::newRow("files of two models") << QStringList{"diff", "@/a.stp", "@/vxb.stp"}
                                             << "The files @/a.stp and @/vxb.stp are of different models";
        QTest::newRow("a file the load refuses") << QStringList{"diff", "@/a.stp", "@/short.stp"}
                                                 << "The file: @/short.stp is not a complete setup file: no "
                                                    "value was loaded";
        QTest::newRow("a file the load refuses, live")
            << QStringList{"diff", "--address", "1", "@/short.stp"}
            << "The file: @/short.stp is not a complete setup file: no value was loaded";
        QTest::newRow("a file of the other model, live")
            << QStringList{"diff", "--address", "1", "@/vxb.stp"}
            << "The file: @/vxb.stp doesn't match with the selected instrument";
    }
    void trouble() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        const QByteArray good = DesignVxaFile();
        QVERIFY(WriteAll(rig.Path("a.stp"), good));
        QVERIFY(WriteAll(rig.Path("short.stp"), good.left(good.lastIndexOf("No load"))));
        QVERIFY(WriteAll(rig.Path("vxb.stp"), good));
        QVERIFY(WriteAll(rig.Path("vxb.typ"), setupfile::BuildModelFile("Select Instrument", 2)));
        for (QString& a : arguments) {
            a.replace(QLatin1String("@"), rig.dir.path());
        }
        reason.replace(QLatin1String("@"), QDir::toNativeSeparators(rig.dir.path()));
        const bool live = arguments.contains(QStringLiteral("--address"));
        const CliResult r = rig.Run(arguments);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.ErrLines(), QStringList{QStringLiteral("quartel-cli: ") + reason});
        QVERIFY(r.out.isEmpty());
        if (!live) {
            QVERIFY(rig.sim.requests().isEmpty());
        }
    }

    // Every read must succeed, tab 0 included. A reply lost right after the tab-0 block (the division,
    // which that block makes the reader forget) must not make the analog weights read as 0: the block
    // waits for the division, and the comparison finds nothing. The tab-0 block never answered gives no
    // comparison at all.
    void partlyRead_data() {
        QTest::addColumn<QByteArrayList>("lostAfter"); // the reply to the request after these is lost
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("the division after the tab-0 block")
            << QByteArrayList{"031000"} << 0 << "No differences\n"
            << QString();
        QTest::newRow("the tab-0 block, every time")
            << QByteArrayList{"031050", "031000"} << 2 << QString()
            << "quartel-cli: address 1: not read: Weight constants, Operating mode\n";
    }
    void partlyRead() {
        QFETCH(QByteArrayList, lostAfter);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        CliRig rig(1);
        rig.sim.addInstrument(1, SimInstrument::VXA);
        const QString backup = rig.Path("backup.stp");
        QCOMPARE(rig.Run({"backup", "--address", "1", backup}).status, ExitOk);
        // The simulator has answered a request when it tells of it: the fault set then meets the next.
        QObject::connect(&rig.sim, &Simulator::requestReceived, &rig.sim, [&](int, const QByteArray& frame) {
            rig.sim.setFault(1, lostAfter.contains(frame.mid(3, 6)) ? SimFault::mute() : SimFault::none());
        });
        const CliResult r = rig.Run({"diff", "--address", "1", backup});
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, out);
        QCOMPARE(r.err, err);
    }

    void usage_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("one file") << QStringList{"diff", "a.stp"};
        QTest::newRow("three files") << QStringList{"diff", "a.stp", "b.stp", "c.stp"};
        QTest::newRow("address and two files") << QStringList{"diff", "--address", "1", "a.stp", "b.stp"};
        QTest::newRow("address 33") << QStringList{"diff", "--address", "33", "a.stp"};
        QTest::newRow("address 0") << QStringList{"diff", "--address", "0", "a.stp"};
    }
    void usage() {
        QFETCH(QStringList, arguments);
        const CliResult r = RunCliWith(arguments, {}, {});
        QCOMPARE(r.status, 2);
        QVERIFY(!r.err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliDiff)
#include "test_cli_diff.moc"
