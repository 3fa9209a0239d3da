// The comparison of two configurations: every line of each model found with its caption, values that
// the instrument would hold alike, the lines a VXB does not have, and the files the load refuses.

#include "setupdiff.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace setupdiff;

namespace {

constexpr int English = 1;
constexpr int Italian = 0;

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QString Data(const char* name) {
    return QDir(QStringLiteral(FILES_DATA_DIR)).filePath(QString::fromLatin1(name));
}
QStringList ValuesOfFile(const char* name) {
    return setupfile::ParseSetupFile(ReadAll(Data(name))).values;
}
bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
// A setup file with the keys of `keysOf` and the values of `values`.
QByteArray Rekeyed(const char* keysOf, const QStringList& values) {
    QByteArray out;
    const QList<QByteArray> lines = ReadAll(Data(keysOf)).split('\n');
    for (int i = 0; i < values.size(); ++i) {
        const QByteArray& line = lines[i];
        out += line.left(line.lastIndexOf('\t') + 1) + values[i].toLatin1() + "\r\n";
    }
    return out;
}

} // namespace

class TestSetupDiff : public QObject {
    Q_OBJECT
private slots:
    void identicalFiles_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("notCompared");
        QTest::newRow("VXA, English against Italian") << Data("vxa_en.stp") << Data("vxa_it.stp") << 0;
        QTest::newRow("VXA, itself") << Data("vxa_it.stp") << Data("vxa_it.stp") << 0;
        QTest::newRow("VXB, Italian keys against English keys")
            << Data("vxb_it_modbus.stp") << QString() << 25;
    }
    void identicalFiles() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(int, notCompared);
        QTemporaryDir dir;
        if (second.isEmpty()) {
            // The VXB values under the other file's English keys.
            second = dir.filePath(QStringLiteral("english.stp"));
            QVERIFY(Write(second, Rekeyed("vxb_en_continuous.stp", ValuesOfFile("vxb_it_modbus.stp"))));
            QVERIFY(Write(setupfile::ModelFileName(second), "Select Instrument = \t2\r\n"));
        }
        QString error;
        const std::optional<Comparison> c = CompareFiles(first, second, English, &error);
        QVERIFY2(c, qPrintable(error));
        QCOMPARE(c->differences.size(), 0);
        QCOMPARE(c->notCompared.size(), notCompared);
        QCOMPARE(TextLines(*c, English).last(), QStringLiteral("No differences"));
    }

    void oneLineDiffers_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("tab");
        // Every line of a VXA, from the English file, with the caption the report gives its field.
        const struct {
            int line;
            const char* value;
            const char* caption;
            int tab;
        } vxa[] = {
            {1, "   1500", "Setpoint 1 value", -1},
            {2, "   2500", "Setpoint 2 value", -1},
            {3, "  20000", "Total capacity of transducers", 0},
            {4, " 1.5000", "Full scale output value (mV/V)", 0},
            {5, "   8000", "Net weight (value)", 0},
            {6, "    100", "Dead load (value)", 0},
            {7, "1", "Operating mode", 0},
            {8, "10", "Display resolution", 0},
            {9, "7", "Digital filter value", 2},
            {10, "3", "Motion band value", 2},
            {11, "1.2", "Auto zero range setting at power up", 2},
            {12, "1", "Zero tracking", 2},
            {13, "50", "Zero Band", 2},
            {14, "0", "Operating mode Out 1", 3},
            {15, "0", "Contact status below setpoint value Out 1", 3},
            {16, "0", "Positive / Negative weight comparison Out 1", 3},
            {17, "0", "Immediate activation / Activation after stabilization Out 1", 3},
            {18, "5", "Hysteresis Out 1", 3},
            {19, "10", "Setpoint activation time length (in 1/10 sec) Out 1", 3},
            {20, "10", "Time delay for activating setpoint (in 1/10 sec) Out 1", 3},
            {21, "1", "Operating mode Out 2", 3},
            {22, "1", "Contact status below setpoint value Out 2", 3},
            {23, "1", "Positive / Negative weight comparison Out 2", 3},
            {24, "1", "Immediate activation / Activation after stabilization Out 2", 3},
            {25, "5", "Hysteresis Out 2", 3},
            {26, "10", "Setpoint activation time length (in 1/10 sec) Out 2", 3},
            {27, "10", "Time delay for activating setpoint (in 1/10 sec) Out 2", 3},
            {28, "2", "Baud Rate", 4},
            {29, "1", "Serial port mode", 4},
            {30, "7", "Serial address", 4},
            {31, "5", "Response delay (SLAVE or MODBUS mode only in 1/100 sec)", 4},
            {32, "0", "Data Format (N-8-2/E-8-1/O-8-1 for MODBUS mode)", 4},
            {33, "1", "Com2 Protocol (None for MODBUS mode)", 4},
            {34, "3", "Com2 Address (Profibus/DeviceNet Address) (From 1 to 126)", 4},
            {35, "1", "Com2 Baud Rate (DeviceNet mode only)", 4},
            {36, "   5000", "Full scale value", 5},
            {37, "0", "Analog output source:", 5},
            {38, "0", "Analog output selection", 5},
            {39, "    100", "No load zero input value", 5},
        };
        for (const auto& row : vxa) {
            QTest::addRow("VXA line %d", row.line) << 1 << row.line << QString::fromLatin1(row.value)
                                                   << QString::fromUtf8(row.caption) << row.tab;
        }
        // The lines a VXB has, from the English VXB file (serial mode 1: continuous; 5: MODBUS).
        const struct {
            int line;
            const char* value;
            const char* caption;
            int tab;
        } vxb[] = {
            {3, "  20000", "Total capacity of transducers", 0},
            {4, " 1.5000", "Full scale output value (mV/V)", 0},
            {5, "   8000", "Net weight (value)", 0},
            {6, "    100", "Dead load (value)", 0},
            {8, "10", "Display resolution", 0},
            {9, "7", "Digital filter value", 2},
            {10, "3", "Motion band value", 2},
            {11, "1.2", "Auto zero range setting at power up", 2},
            {12, "1", "Zero tracking", 2},
            {28, "2", "Baud Rate", 4},
            {29, "5", "Serial port mode", 4},
            {30, "7", "Serial address", 4},
            {31, "5", "Response delay (MODBUS mode only in 1/100 sec)", 4},
            {32, "0", "Data Format (N-8-2/E-8-1/O-8-1 for MODBUS mode)", 4},
        };
        for (const auto& row : vxb) {
            QTest::addRow("VXB line %d", row.line) << 2 << row.line << QString::fromLatin1(row.value)
                                                   << QString::fromUtf8(row.caption) << row.tab;
        }
    }
    void oneLineDiffers() {
        QFETCH(int, model);
        QFETCH(int, line);
        QFETCH(QString, value);
        QFETCH(QString, caption);
        QFETCH(int, tab);
        const QStringList first = ValuesOfFile(model == 2 ? "vxb_en_continuous.stp" : "vxa_en.stp");
        QCOMPARE(first.size(), 39);
        QStringList second = first;
        QVERIFY(second[line - 1] != value);
        second[line - 1] = value;
        const Comparison c = Compare(first, second, model, English);
        QCOMPARE(c.differences.size(), 1);
        const Difference& d = c.differences.first();
        QCOMPARE(d.line, line);
        QCOMPARE(d.caption, caption);
        QCOMPARE(d.tab, tab);
        QCOMPARE(d.second.isEmpty(), false);
        QCOMPARE(c.notCompared.size(), model == 2 ? 25 : 0);
        // The text output names it and counts it; a VXB says once what it leaves out.
        const QStringList text = TextLines(c, English);
        QCOMPARE(text.size(), model == 2 ? 3 : 2);
        QVERIFY(text[text.size() - 2].startsWith(caption + QStringLiteral(": ")));
        QCOMPARE(text.last(), QStringLiteral("Parameters that differ: 1"));
        if (model == 2) {
            QVERIFY(text.first().startsWith(QStringLiteral("VXB: ")));
        }
    }

    void shownValues_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("text: blanks dropped") << 3 << "  20000" << English << "10000"
                                              << "20000";
        QTest::newRow("list: its entry") << 37 << "0" << English << "Peak H"
                                         << "Net";
        QTest::newRow("list: its entry in Italian") << 37 << "0" << Italian << "Picco"
                                                    << "Netto";
        QTest::newRow("division: its entry") << 8 << "10" << English << "1"
                                             << "2";
        QTest::newRow("list value the load leaves alone: as it is") << 38 << " 9" << English << "4-20mA"
                                                                    << "9";
    }
    void shownValues() {
        QFETCH(int, line);
        QFETCH(QString, value);
        QFETCH(int, language);
        QFETCH(QString, first);
        QFETCH(QString, second);
        const QStringList a = ValuesOfFile("vxa_en.stp");
        QStringList b = a;
        b[line - 1] = value;
        const Comparison c = Compare(a, b, 1, language);
        QCOMPARE(c.differences.size(), 1);
        QCOMPARE(c.differences.first().first, first);
        QCOMPARE(c.differences.first().second, second);
    }

    // Values that the instrument would hold alike are no difference.
    void heldAlike_data() {
        QTest::addColumn<QString>("division1");
        QTest::addColumn<QString>("division2");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("value1");
        QTest::addColumn<QString>("value2");
        QTest::addColumn<bool>("same");
        // Division index 3 is 0.01: two decimals.
        QTest::newRow("weight 1.50 / 1.5") << "3"
                                           << "3" << 1 << "1.50"
                                           << " 1.5" << true;
        QTest::newRow("weight 1.50 / 1.51") << "3"
                                            << "3" << 1 << "1.50"
                                            << "1.51" << false;
        QTest::newRow("analog full scale, blanks") << "9"
                                                   << "9" << 36 << "  10000"
                                                   << "10000" << true;
        QTest::newRow("same weight under another division") << "9"
                                                            << "10" << 2 << "2000"
                                                            << "2000" << true;
        // Each file's weight is taken at its own division: 2001 is held as 2000 under a division of 2,
        // as 2001 under a division of 1.
        QTest::newRow("odd weight under divisions of 2 and 1") << "10"
                                                               << "9" << 2 << "2001"
                                                               << "2001" << false;
        QTest::newRow("odd weight rounded to a division of 2") << "10"
                                                               << "10" << 2 << "2001"
                                                               << "2000" << true;
        QTest::newRow("integer: a leading zero") << "9"
                                                 << "9" << 9 << "5"
                                                 << " 05" << true;
        QTest::newRow("integer: the point is dropped, 5.2 is 52") << "9"
                                                                  << "9" << 9 << "52"
                                                                  << "5.2" << true;
        QTest::newRow("integer 32 bits: leading blanks") << "9"
                                                         << "9" << 3 << "  10000"
                                                         << "10000" << true;
        QTest::newRow("tenths: 0.7 / .70") << "9"
                                           << "9" << 11 << "0.7"
                                           << ".70" << true;
        QTest::newRow("tenths: 0.7 / 0.8") << "9"
                                           << "9" << 11 << "0.7"
                                           << "0.8" << false;
        QTest::newRow("list: index written as 1.0") << "9"
                                                    << "9" << 28 << "1"
                                                    << " 1.0" << true;
        QTest::newRow("list: nothing selected is sent as the first entry") << "9"
                                                                           << "9" << 28 << "-1"
                                                                           << "0" << true;
        QTest::newRow("list: index the list lacks") << "9"
                                                    << "9" << 28 << "1"
                                                    << "99" << false;
    }
    void heldAlike() {
        QFETCH(QString, division1);
        QFETCH(QString, division2);
        QFETCH(int, line);
        QFETCH(QString, value1);
        QFETCH(QString, value2);
        QFETCH(bool, same);
        QStringList a = ValuesOfFile("vxa_en.stp");
        for (const int weight : {1, 2, 36, 39}) {
            a[weight - 1] = QStringLiteral("0"); // held at every division
        }
        QStringList b = a;
        a[7] = division1;
        b[7] = division2;
        a[line - 1] = value1;
        b[line - 1] = value2;
        const Comparison c = Compare(a, b, 1, English);
        QList<int> lines;
        for (const Difference& d : c.differences) {
            lines << d.line;
        }
        if (division1 != division2) {
            QVERIFY(lines.removeOne(8));
        }
        QCOMPARE(lines, same ? QList<int>{} : QList<int>{line});
    }

    void vxbLeavesOutWhatItLacks() {
        // Set points, operating mode, zero band, the outputs, Com2 and the analog output all changed: a
        // VXB finds nothing, and names the 25 lines it did not compare.
        const QStringList a = ValuesOfFile("vxb_en_continuous.stp");
        QStringList b = a;
        const QList<int> lacking = {1,  2,  7,  13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                                    23, 24, 25, 26, 27, 33, 34, 35, 36, 37, 38, 39};
        for (const int line : lacking) {
            b[line - 1] = QStringLiteral("1");
        }
        const Comparison c = Compare(a, b, 2, English);
        QCOMPARE(c.differences.size(), 0);
        QCOMPARE(c.notCompared, lacking);
    }

    void refused_data() {
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QByteArray>("secondModel"); // empty: no model file
        QTest::addColumn<QString>("message");        // %1: the second file's path
        const QByteArray vxa = ReadAll(Data("vxa_en.stp"));
        QTest::newRow("other model") << vxa << QByteArray("Select Instrument = \t2\r\n")
                                     << "The files %0 and %1 are of different models";
        QTest::newRow("model file naming no model")
            << vxa << QByteArray("Select Instrument = \t\r\n") << "The file: %2 names no instrument model";
        QTest::newRow("38 lines") << vxa.left(vxa.lastIndexOf("No load")) << QByteArray()
                                  << "The file: %1 is not a complete setup file: no value was loaded";
        QTest::newRow("UTF-16") << QByteArray("S\0e\0t\0", 6) + vxa << QByteArray()
                                << "The file: %1 is not a setup file (it holds characters that are no text, "
                                   "e.g. Unicode UTF-16): no value was loaded";
        QTest::newRow("no number") << QByteArray(vxa).replace("transducers = \t  10000",
                                                              "transducers = \t  1OOOO")
                                   << QByteArray()
                                   << "The file: %1, line 3 (Total capacity of transducers): the value "
                                      "\"  1OOOO\" is not a number: no value was loaded";
        QTest::newRow("65001 bytes") << vxa + QByteArray(65001 - vxa.size(), ' ') << QByteArray()
                                     << "The file is too long to be open.";
    }
    void refused() {
        QFETCH(QByteArray, second);
        QFETCH(QByteArray, secondModel);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("b.stp"));
        QVERIFY(Write(path, second));
        if (!secondModel.isEmpty()) {
            QVERIFY(Write(setupfile::ModelFileName(path), secondModel));
        }
        const QString first = Data("vxa_en.stp");
        message.replace(QStringLiteral("%0"), QDir::toNativeSeparators(first));
        message.replace(QStringLiteral("%1"), QDir::toNativeSeparators(path));
        message.replace(QStringLiteral("%2"), QDir::toNativeSeparators(setupfile::ModelFileName(path)));
        QString error;
        QVERIFY(!CompareFiles(first, path, English, &error));
        QCOMPARE(error, message);
        // Refused whichever side it stands on (the model of the first file decides).
        if (secondModel.isEmpty()) {
            QVERIFY(!CompareFiles(path, first, English, &error));
            QCOMPARE(error, message);
        }
    }

    void jsonCarriesTheSameAsText() {
        QStringList a = ValuesOfFile("vxa_en.stp");
        QStringList b = a;
        b[2] = QStringLiteral("  20000");
        const QByteArray json =
            Json(Compare(a, b, 1, English), QStringLiteral("a.stp"), QStringLiteral("b.stp"));
        QCOMPARE(
            json,
            QByteArray("{\"count\":1,\"differences\":[{\"caption\":\"Total capacity of transducers\","
                       "\"field\":\"Capac\",\"first\":\"10000\",\"line\":3,\"second\":\"20000\",\"tab\":0}],"
                       "\"first\":\"a.stp\",\"model\":\"VXA\",\"notCompared\":[],\"second\":\"b.stp\"}"));
    }
};

QTEST_GUILESS_MAIN(TestSetupDiff)
#include "test_setupdiff.moc"
