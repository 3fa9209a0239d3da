// The weight log of the main setup screen and of quartel-cli watch --csv, for the same scripted weights
// of the simulator: both give the rows written below by hand, apart from their time stamps; and a log
// that meets a full file system on the screen ends with its message, every row before it intact.

#include "clirig.h"

#include "../ui/mainrig.h"

#include "trendcontrol.h"
#include "weightlog.h"

#include <QRegularExpression>

#include <csignal>
#include <sys/resource.h>

using namespace clitest;

namespace {

// Division code 4: step 2, two decimals.
constexpr quint16 DivisionCode = 4;

struct SimState {
    qint32 gross; // divisions
    bool stable;
    quint8 relays;
    quint8 status; // extra status bits (overload)
};

// State 0 stands until the script is armed; each coil read (the last read of a pass) then moves to the
// next state, so that pass k reads state k; the last state stays.
const QList<SimState> Script{
    {7777, true, 0, 0}, // state 0: before
    {500, true, 0, 0},   {501, false, 1, 0}, {1, true, 2, 0},
    {-3, true, 3, 0},    {0, true, 0, 0},    {0, true, 0, SimInstrument::Overload},
    {65535, true, 1, 0},
};

// The rows of states 1..7 without their time stamps, as the log's header describes them: gross view,
// weight in hundredths (two divisions a step), the field as shown (seven characters), the stable bit of
// the status byte (kept from the last weight during the overload, which shows no weight), the net lamp
// (gross view: off) and the two relay outputs.
const QStringList Expected{
    "1,VXA,gross,10.00,\"  10.00\",1,0,0,0",   "1,VXA,gross,10.02,\"  10.02\",0,0,1,0",
    "1,VXA,gross,0.02,\"   0.02\",1,0,0,1",    "1,VXA,gross,-0.06,\"  -0.06\",1,0,1,1",
    "1,VXA,gross,0.00,\"   0.00\",1,0,0,0",    "1,VXA,gross,,\" O - L \",1,0,0,0",
    "1,VXA,gross,1310.70,\"1310.70\",1,0,1,0",
};

void Apply(SimInstrument* inst, const SimState& s) {
    inst->setGross(s.gross);
    inst->setStable(s.stable);
    inst->setRelays(s.relays);
    inst->setStatusBits(SimInstrument::Overload, s.status & SimInstrument::Overload);
}

// Moves the instrument through the script, one state per coil read once armed.
struct Scripted {
    SimInstrument* inst;
    int state = 0;
    QMetaObject::Connection connection;
    Scripted(Simulator& sim, SimInstrument* i) : inst(i) {
        inst->setHolding(0x1050, DivisionCode);
        inst->setStored(0x1050, DivisionCode);
        Apply(inst, Script[0]);
        connection =
            QObject::connect(&sim, &Simulator::requestReceived, &sim, [this](int, const QByteArray& frame) {
                if (armed && frame.mid(3, 2) == "01" && state + 1 < Script.size()) {
                    Apply(inst, Script[++state]);
                }
            });
    }
    ~Scripted() { QObject::disconnect(connection); }
    bool armed = false;
};

const QRegularExpression
    TimeStamp(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)"));

// The rows of a log (header checked, time stamps checked and cut off) from the first row of state 1 on,
// as many as the script has.
QStringList ScriptRows(const QByteArray& log) {
    QStringList lines = QString::fromUtf8(log).split(QStringLiteral("\r\n"));
    if (lines.isEmpty() || lines.takeFirst() != WeightLogHeader()) {
        return {QStringLiteral("no header")};
    }
    QStringList rows;
    for (const QString& line : lines) {
        if (line.isEmpty()) {
            continue;
        }
        const qsizetype comma = line.indexOf(QLatin1Char(','));
        if (!TimeStamp.match(line.left(comma)).hasMatch()) {
            return {QStringLiteral("bad time stamp: ") + line};
        }
        const QString rest = line.mid(comma + 1);
        if (rows.isEmpty() && rest != Expected.first()) {
            continue; // state 0, before the script started
        }
        rows << rest;
        if (rows.size() == Expected.size()) {
            break;
        }
    }
    return rows;
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestWeightLog : public QObject {
    Q_OBJECT
private slots:
    void cliFileAndStandardOutput() {
        for (const bool toFile : {true, false}) {
            CliRig rig;
            SimInstrument* inst = rig.sim.addInstrument(1, 1);
            Scripted script(rig.sim, inst);
            script.armed = true;
            const QString path = rig.Path(QStringLiteral("watch.csv"));
            const QString count = QString::number(Expected.size() + 1);
            const CliResult r =
                rig.Run({"watch", "--address", "1", "--count", count, "--csv", toFile ? path : "-"});
            QCOMPARE(r.status, ExitOk);
            QCOMPARE(ScriptRows(toFile ? ReadFile(path) : r.out.toUtf8()), Expected);
            if (!toFile) {
                QVERIFY(!r.out.contains(QStringLiteral("at address"))); // only the log on standard output
            }
        }
    }

    // quartel-cli's log on a file system that fills up: status 1, the reason and the rows on standard
    // error, every row before in the file whole.
    void cliFullFileSystem() {
        CliRig rig;
        rig.sim.addInstrument(1, 1);
        const QString path = rig.Path(QStringLiteral("full.csv"));
        rlimit before{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &before) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = before;
        small.rlim_cur = 300; // the header and a few rows
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const CliResult r = rig.Run({"watch", "--address", "1", "--count", "50", "--csv", path, "--lang", "en"});
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(r.status, ExitFailed);
        const QStringList lines = QString::fromUtf8(ReadFile(path)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.first(), WeightLogHeader());
        QCOMPARE(lines.last(), QString()); // ends with a whole row
        const int rows = int(lines.size()) - 2;
        QVERIFY(rows >= 1 && rows < 50);
        QVERIFY2(r.err.contains(QStringLiteral("the log %1 ended").arg(path)) &&
                     r.err.contains(QStringLiteral("; %1 rows are in it").arg(rows)),
                 qPrintable(r.err));
    }

    void cliDuration() {
        CliRig rig;
        rig.sim.addInstrument(1, 1);
        QElapsedTimer clock;
        clock.start();
        const CliResult r = rig.Run({"watch", "--address", "1", "--duration", "1s", "--csv", "-"});
        QCOMPARE(r.status, ExitOk);
        QVERIFY2(clock.elapsed() >= 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(r.out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).size() >= 3); // header and rows
    }

    // The screen's log started with its shortcut and a save dialog, ended with the shortcut again.
    void screenRows() {
        QTemporaryDir dir;
        MainRig rig;
        Scripted script(rig.sim, rig.instrument);
        const QString path = dir.filePath(QStringLiteral("screen.csv"));
        rig.prompter.QueueFileAnswer(path);
        rig.Run();
        QTRY_VERIFY(rig.form->PassCount() >= 2);
        QTest::keyClick(rig.form.get(), Qt::Key_L, Qt::ControlModifier);
        TrendControl& trend = rig.form->Trend();
        QTRY_VERIFY(trend.Logging());
        QVERIFY(rig.prompter.records.last().text.endsWith(
            WeightLogFileName(1, QDate::currentDate()))); // the name proposed
        script.armed = true;
        // The last state reached, and a pass that read it logged.
        QTRY_VERIFY_WITH_TIMEOUT(script.state == Script.size() - 1, 10000);
        const qint64 rows = trend.Log().Rows();
        QTRY_VERIFY_WITH_TIMEOUT(trend.Log().Rows() >= rows + 2, 10000);
        QTest::keyClick(rig.form.get(), Qt::Key_L, Qt::ControlModifier);
        QVERIFY(!trend.Logging());
        QVERIFY(!trend.LogItem->isChecked());
        QCOMPARE(ScriptRows(ReadFile(path)), Expected);
        QCOMPARE(rig.prompter.MessageCount(), 0);
    }

    // A file system that fills up while the screen logs: the log ends with its message, the menu item
    // is unchecked, and the file holds the header and every row counted, each whole.
    void screenFullFileSystem() {
        QTemporaryDir dir;
        MainRig rig;
        const QString path = dir.filePath(QStringLiteral("full.csv"));
        rig.prompter.QueueFileAnswer(path);
        rig.Run();
        QTRY_VERIFY(rig.form->PassCount() >= 1);
        TrendControl& trend = rig.form->Trend();
        QTest::keyClick(rig.form.get(), Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY(trend.Logging());
        QTRY_VERIFY(trend.Log().Rows() >= 2);

        rlimit before{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &before) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = before;
        // Room for about three more rows from where the file is now.
        small.rlim_cur = rlim_t(QFileInfo(path).size() + 150);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const bool ended = QTest::qWaitFor([&] { return !trend.Logging(); }, 10000);
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(ended);

        QTRY_COMPARE(rig.prompter.MessageCount(), 1);
        QVERIFY(!trend.LogItem->isChecked());
        const QString message = rig.prompter.records.last().text;
        QVERIFY2(message.contains(QStringLiteral("%1 righe registrate").arg(trend.Log().Rows())),
                 qPrintable(message));
        const QStringList lines = QString::fromUtf8(ReadFile(path)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.last(), QString()); // ends with a whole row
        QCOMPARE(lines.size(), 1 + int(trend.Log().Rows()) + 1);
        for (const QString& row : lines.mid(1, lines.size() - 2)) {
            QCOMPARE(row.count(QLatin1Char(',')), 9);
            QVERIFY(row.endsWith(QStringLiteral(",1,0,0,0")));
        }
    }
};

QTEST_MAIN(TestWeightLog)
#include "test_weight_log.moc"
