// quartel-cli verify against the simulator with a plan file: a scale that passes, one with a linearity
// error, hysteresis or an eccentricity offset that fails; the loads the simulator was told to place,
// the prompts, the time-out without a stable reading, and the certificate read back from its PDF with
// pdftotext against a reviewed reference, in both languages.

#include "clirig.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace clitest;

namespace {

QString DataPath(const char* name) {
    return QStringLiteral(VERIFY_DATA_DIR "/") + QLatin1String(name);
}

// The PDF's text as pdftotext lays it out, each line trimmed with its blanks collapsed, empty lines
// left out, the date replaced.
QStringList PdfText(const QString& pdf) {
    QProcess process;
    process.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
                  {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                   QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return {};
    }
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    static const QRegularExpression date(QStringLiteral("^(Date|Data): \\d{4}-\\d\\d-\\d\\d$"));
    QStringList lines;
    for (QString line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        line = line.replace(blanks, QStringLiteral(" ")).trimmed();
        if (!line.isEmpty()) {
            lines << line.replace(date, QStringLiteral("\\1: DATE"));
        }
    }
    return lines;
}

struct Placed {
    int address;
    qint32 divisions;
    int position;
    bool operator==(const Placed&) const = default;
};

} // namespace

class TestCliVerify : public QObject {
    Q_OBJECT
private slots:
    void verify_data();
    void verify();
    void noStableReading();
};

void TestCliVerify::verify_data() {
    QTest::addColumn<QString>("errors");
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("status");
    QTest::addColumn<QList<int>>("failed");
    QTest::addColumn<QString>("reference"); // the certificate's text, or the CSV of the readings
    QTest::newRow("passing scale, CSV") << QString() << 1 << QStringList{QStringLiteral("--csv")} << 0
                                        << QList<int>{} << DataPath("verification-pass.csv");
    QTest::newRow("linearity error, English certificate")
        << QStringLiteral("linear:0.02%") << 1 << QStringList{QStringLiteral("--pdf")} << 1 << QList<int>{3}
        << DataPath("verification-fail-en.txt");
    QTest::newRow("linearity error, Italian certificate")
        << QStringLiteral("linear:0.02%") << 0 << QStringList{QStringLiteral("--pdf")} << 1 << QList<int>{3}
        << DataPath("verification-fail-it.txt");
    QTest::newRow("linearity error within twice the MPE in service")
        << QStringLiteral("linear:0.02%") << 1 << QStringList{QStringLiteral("--in-service")} << 0
        << QList<int>{} << QString();
    QTest::newRow("hysteresis on the way down")
        << QStringLiteral("hysteresis:1") << 1 << QStringList{} << 1 << QList<int>{4} << QString();
    QTest::newRow("eccentricity offset")
        << QStringLiteral("eccentric:2") << 1 << QStringList{} << 1 << QList<int>{6} << QString();
    QTest::newRow("prompts answered on a terminal")
        << QString() << 1 << QStringList{QStringLiteral("--prompts")} << 0 << QList<int>{} << QString();
}

void TestCliVerify::verify() {
    QFETCH(QString, errors);
    QFETCH(int, language);
    QFETCH(QStringList, extra);
    QFETCH(int, status);
    QFETCH(QList<int>, failed);
    QFETCH(QString, reference);
    CliRig rig(language);
    SimInstrument* inst = rig.sim.addInstrument(1, SimInstrument::VXA);
    inst->setSettleMs(50);
    QVERIFY(SimInstrument::ScaleErrors::parse(errors, inst->errors));

    QStringList args{QStringLiteral("verify"),    QStringLiteral("--address"),
                     QStringLiteral("1"),         QStringLiteral("--plan"),
                     DataPath("verify-plan.txt"), QStringLiteral("--json"),
                     QStringLiteral("--info"),    QStringLiteral("customer=Mulino Rossi"),
                     QStringLiteral("--info"),    QStringLiteral("technician=A. Bianchi")};
    const bool prompts = extra.removeAll(QStringLiteral("--prompts")) > 0;
    if (!prompts) {
        args << QStringLiteral("--yes");
    }
    const QString out = rig.Path(QStringLiteral("out"));
    if (extra.removeAll(QStringLiteral("--pdf")) > 0) {
        args << QStringLiteral("--pdf") << out;
    }
    if (extra.removeAll(QStringLiteral("--csv")) > 0) {
        args << QStringLiteral("--csv") << out;
    }
    args << extra;

    QList<Placed> placed;
    int answers = 0;
    CliResult result;
    CliStreams streams;
    streams.out = [&](const QString& t) { result.out += t; };
    streams.err = [&](const QString& t) { result.err += t; };
    streams.placeLoad = [&](int a, qint32 divisions, int position) {
        placed << Placed{a, divisions, position};
        rig.sim.instrument(a)->placeLoad(divisions, position);
    };
    streams.readLine = [&]() -> std::optional<QString> {
        ++answers;
        return QString();
    };
    args.prepend(QStringLiteral("quartel-cli"));
    args << QStringLiteral("--device") << rig.sim.devicePath() << QStringLiteral("--settings-dir")
         << rig.dir.path();
    const Started run = Start([&]() -> QCoro::Task<> { result.status = co_await RunCli(args, streams); });
    QTRY_VERIFY_WITH_TIMEOUT(run.done(), 60000);

    QCOMPARE(result.status, status);
    const QList<Placed> plan{{1, 0, 0},    {1, 500, 0},  {1, 10000, 0}, {1, 500, 0}, {1, 3333, 0},
                             {1, 3333, 2}, {1, 5000, 0}, {1, 5000, 0},  {1, 5000, 0}};
    QCOMPARE(placed, plan);
    QCOMPARE(answers, prompts ? plan.size() : 0);
    if (prompts) {
        QVERIFY2(result.err.contains(QStringLiteral("1/9 Place 0 kg and press Enter: ")),
                 qPrintable(result.err));
        QVERIFY(result.err.contains(QStringLiteral("6/9 Place 3333 kg at position 2 and press Enter: ")));
    }
    const QJsonObject json = QJsonDocument::fromJson(result.out.toUtf8()).object();
    QCOMPARE(json.value(QStringLiteral("verdict")).toString(),
             status == 0 ? QStringLiteral("pass") : QStringLiteral("fail"));
    QList<int> failedSteps;
    for (const QJsonValue& v : json.value(QStringLiteral("failedSteps")).toArray()) {
        failedSteps << v.toInt();
    }
    QCOMPARE(failedSteps, failed);
    if (reference.endsWith(QLatin1String(".csv"))) {
        QCOMPARE(QString::fromUtf8(ReadAll(out)), QString::fromUtf8(ReadAll(reference)));
    } else if (!reference.isEmpty()) {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
            QSKIP("pdftotext (poppler-utils) is not installed");
        }
        const QStringList expected =
            QString::fromUtf8(ReadAll(reference)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(PdfText(out), expected);
    }
}

void TestCliVerify::noStableReading() {
    // The weight never settles: the step ends after the time-out, which says so, and nothing is judged.
    CliRig rig(1);
    SimInstrument* inst = rig.sim.addInstrument(1, SimInstrument::VXA);
    inst->setStable(false);
    const QString csv = rig.Path(QStringLiteral("readings.csv"));
    const CliResult r = rig.Run({QStringLiteral("verify"), QStringLiteral("--address"), QStringLiteral("1"),
                                 QStringLiteral("--yes"), QStringLiteral("--stable-timeout"),
                                 QStringLiteral("1"), QStringLiteral("--csv"), csv});
    QCOMPARE(r.status, 2);
    QCOMPARE(r.err, QStringLiteral("quartel-cli: no stable reading within 1 s at step 1\n"));
    QVERIFY(!QFile::exists(csv));
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the certificate's fonts
    TestCliVerify test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_cli_verify.moc"
