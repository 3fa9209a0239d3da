// The setup file's bytes: the Windows-1252 coding, the line layout, the reader's refusals, the way a
// value goes into its field, the model file, and writing both files to disk.

#include "rules.h"
#include "setupfile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace setupfile;

namespace {
QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
// A setup file of `lines` lines "key = <TAB>value" CR LF, every value `value`.
QByteArray FileOf(int lines, const QByteArray& value = "0") {
    QByteArray out;
    for (int i = 0; i < lines; ++i) {
        out += "key " + QByteArray::number(i + 1) + " = \t" + value + "\r\n";
    }
    return out;
}
const LineDef& LineOf(Field f) {
    for (const LineDef& l : Lines()) {
        if (l.field == f) {
            return l;
        }
    }
    qFatal("no line");
}
} // namespace

class TestSetupFile : public QObject {
    Q_OBJECT
private slots:
    void cp1252_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QStringLiteral("Baud = \t1") << QByteArray("Baud = \t1");
        QTest::newRow("a grave") << QStringLiteral("modalità") << QByteArray("modalit\xE0");
        QTest::newRow("first of 0x80..0x9F, euro") << QStringLiteral("€") << QByteArray("\x80");
        QTest::newRow("last of 0x80..0x9F") << QStringLiteral("Ÿ") << QByteArray("\x9F");
        QTest::newRow("0xA0, first Latin-1") << QStringLiteral("\u00A0") << QByteArray("\xA0");
        QTest::newRow("0xFF, last Latin-1") << QStringLiteral("ÿ") << QByteArray("\xFF");
        QTest::newRow("byte without a character (0x81)") << QStringLiteral("\u0081") << QByteArray("\x81");
    }
    void cp1252() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(EncodeCp1252(text), bytes);
        QCOMPARE(DecodeCp1252(bytes), text);
    }
    void cp1252LacksCharacter() {
        // Not in the code page: written as "?", never as two bytes of UTF-8.
        QCOMPARE(EncodeCp1252(QStringLiteral("aőb\u4E2D")), QByteArray("a?b?"));
    }

    void parse_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("value1");
        QTest::addColumn<QString>("value39");
        QTest::addColumn<int>("badLine");
        QTest::newRow("38 lines") << FileOf(38) << int(ParseError::TooShort) << QString() << QString() << 0;
        QTest::newRow("39 lines") << FileOf(39, "  7") << int(ParseError::None) << "  7"
                                  << "7" << 0;
        QTest::newRow("39th line without its line end")
            << FileOf(39).chopped(2) << int(ParseError::None) << "0"
            << "0" << 0;
        QTest::newRow("more lines: the first 39 count") << FileOf(39) + "x\r\ny\r\n"
                                                        << int(ParseError::None) << "0"
                                                        << "0" << 0;
        QTest::newRow("LF only") << FileOf(39).replace("\r\n", "\n") << int(ParseError::None) << "0"
                                 << "0" << 0;
        QTest::newRow("value after the last TAB")
            << QByteArray("a\tb\t3\r\n") + FileOf(38) << int(ParseError::None) << "3"
            << "0" << 0;
        QTest::newRow("a line without a TAB is its value")
            << QByteArray(" 12 \r\n") + FileOf(37) + "4.5" << int(ParseError::None) << " 12 "
            << "4.5" << 0;
        QTest::newRow("empty") << QByteArray() << int(ParseError::TooShort) << QString() << QString() << 0;
        QByteArray big = FileOf(39);
        QTest::newRow("65000 bytes") << big + QByteArray(MaxFileBytes - big.size(), ' ')
                                     << int(ParseError::None) << "0"
                                     << "0" << 0;
        QTest::newRow("65001 bytes") << big + QByteArray(MaxFileBytes + 1 - big.size(), ' ')
                                     << int(ParseError::TooLong) << QString() << QString() << 0;
        // What no file of this program holds: refused whole.
        QTest::newRow("a NUL byte in one value") << FileOf(38) + QByteArray("key\t1\0\r\n", 7)
                                                 << int(ParseError::NotText) << QString() << QString() << 0;
        const QString text = QString::fromLatin1(FileOf(39));
        const auto utf16 = [&](QStringConverter::Encoding e, bool bom) {
            QStringEncoder encoder(e,
                                   bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
            return QByteArray(encoder.encode(text));
        };
        QTest::newRow("UTF-16 LE with BOM") << utf16(QStringConverter::Utf16LE, true)
                                            << int(ParseError::NotText) << QString() << QString() << 0;
        QTest::newRow("UTF-16 LE without BOM") << utf16(QStringConverter::Utf16LE, false)
                                               << int(ParseError::NotText) << QString() << QString() << 0;
        QTest::newRow("UTF-16 BE with BOM") << utf16(QStringConverter::Utf16BE, true)
                                            << int(ParseError::NotText) << QString() << QString() << 0;
        QTest::newRow("UTF-8 with BOM")
            << QByteArray("\xEF\xBB\xBFkey") + FileOf(39, " 5").mid(1) << int(ParseError::None) << " 5"
            << "5" << 0;
        QTest::newRow("empty values") << FileOf(39, "") << int(ParseError::None) << ""
                                      << "" << 0;
        const auto withLine = [](int line, const QByteArray& value) {
            QByteArray bytes;
            for (int i = 1; i <= 39; ++i) {
                bytes += "key\t" + (i == line ? value : QByteArray("0")) + "\r\n";
            }
            return bytes;
        };
        QTest::newRow("abc on line 5")
            << withLine(5, "abc") << int(ParseError::NotANumber) << QString() << QString() << 5;
        QTest::newRow("a typo on line 1")
            << withLine(1, "1O0") << int(ParseError::NotANumber) << QString() << QString() << 1;
        QTest::newRow("a comma on line 39")
            << withLine(39, "1,5") << int(ParseError::NotANumber) << QString() << QString() << 39;
        QTest::newRow("two signs") << withLine(2, "--1") << int(ParseError::NotANumber) << QString()
                                   << QString() << 2;
        QTest::newRow("two points") << withLine(3, "1.2.3") << int(ParseError::NotANumber) << QString()
                                    << QString() << 3;
        // Only plain blanks pad a value: any other white space (a no-break space pasted from a
        // spreadsheet, a form feed, a vertical tab) is refused naming its line.
        QTest::newRow("a no-break space before the value")
            << withLine(1, QByteArray("\xA0") + "5") << int(ParseError::NotANumber) << QString() << QString()
            << 1;
        QTest::newRow("a no-break space after the value")
            << withLine(39, "5\xA0") << int(ParseError::NotANumber) << QString() << QString() << 39;
        QTest::newRow("a form feed after the value")
            << withLine(12, "5\f") << int(ParseError::NotANumber) << QString() << QString() << 12;
        QTest::newRow("a vertical tab inside the value")
            << withLine(20, "1\v5") << int(ParseError::NotANumber) << QString() << QString() << 20;
        QTest::newRow("a list: one sign, one point, blanks")
            << withLine(38, " + 1.5 ") << int(ParseError::None) << "0"
            << "0" << 0;
        // A text line holds what its field takes: digits and blanks, one point where it has decimals.
        QTest::newRow("1..5 in a set point")
            << withLine(1, "1..5") << int(ParseError::NotANumber) << QString() << QString() << 1;
        QTest::newRow("a point in the capacity")
            << withLine(3, "1000.5") << int(ParseError::NotANumber) << QString() << QString() << 3;
    }
    void parse() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, error);
        QFETCH(int, badLine);
        const Parsed parsed = ParseSetupFile(bytes);
        QCOMPARE(int(parsed.error), error);
        QCOMPARE(parsed.badLine, badLine);
        if (parsed.error == ParseError::None) {
            QCOMPARE(parsed.values.size(), LineCount);
            QTEST(parsed.values.first(), "value1");
            QTEST(parsed.values.last().trimmed(), "value39");
        } else {
            QVERIFY(parsed.values.isEmpty());
        }
    }

    // What the fields take is saved and loads back the same: at a generated division, for both models,
    // generated texts of each field's kind that its leave check lets go (judged offline at ValDiv).
    void savedFieldsLoadBack() {
        QRandomGenerator random(30);
        for (int round = 0; round < 300; ++round) {
            Modulo1 m;
            m.InstrumentModel = int16_t(1 + round % 2);
            m.OfflineEdit = true;
            ParameterSet set(m);
            ParameterSet loaded(m);
            set.setIndex(Field::ValDiv, random.bounded(15)); // first: the weights are judged at it
            for (const LineDef& line : Lines()) {
                const ParameterDef& p = Parameter(line.field);
                const QString chars = p.keys == KeyKind::Decimal ? " 0123456789." : " 0123456789";
                do {
                    QString text;
                    for (int n = random.bounded(p.maxLength + 1); n > 0; --n) {
                        text += chars[random.bounded(int(chars.size()))];
                    }
                    set.setText(line.field, text);
                    if (line.field != Field::ValDiv) {
                        set.setIndex(line.field,
                                     random.bounded(qMax(1, ListCount(line.field, m.InstrumentModel))));
                    }
                } while (!MayLeave(line.field, set));
            }
            const Parsed parsed = ParseSetupFile(BuildSetupFile(set, 1, m.InstrumentModel));
            QCOMPARE(int(parsed.error), int(ParseError::None));
            QCOMPARE(UnheldLine(parsed.values, m.InstrumentModel), 0);
            for (const LineDef& line : Lines()) {
                ApplyValue(loaded, line, parsed.values[line.line - 1], m.InstrumentModel);
                QCOMPARE(ValueText(loaded, line, m.InstrumentModel), ValueText(set, line, m.InstrumentModel));
            }
        }
    }

    void modelFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("model"); // -1: no number
        QTest::newRow("model 1") << QByteArray("Select Instrument = \t1\r\n") << 1;
        QTest::newRow("model 2, Italian caption") << QByteArray("Selezione Strumento = \t2\r\n") << 2;
        QTest::newRow("blanks before the number") << QByteArray("x = \t  2") << 2;
        QTest::newRow("1.5 rounds to even") << QByteArray("x = \t1.5\r\n") << 2;
        QTest::newRow("2.5 rounds to even") << QByteArray("x = \t2.5\r\n") << 2;
        QTest::newRow("empty file") << QByteArray() << -1;
        QTest::newRow("empty value") << QByteArray("x = \t\r\n") << -1;
        QTest::newRow("blanks only") << QByteArray("x = \t   \r\n") << -1;
        QTest::newRow("text") << QByteArray("x = \tVXB\r\n") << -1;
    }
    void modelFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, model);
        const std::optional<int> parsed = ParseModelFile(bytes);
        QCOMPARE(parsed.value_or(-1), model);
    }

    void modelFileName_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("model");
        QTest::newRow("stp") << "/d/a.stp"
                             << "/d/a.typ";
        QTest::newRow("any last three characters") << "/d/setup.txt1"
                                                   << "/d/setup.ttyp";
        QTest::newRow("short name") << "ab"
                                    << "typ";
    }
    void modelFileName() {
        QFETCH(QString, setup);
        QTEST(ModelFileName(setup), "model");
    }

    void apply_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected"); // text, or the list index as text
        QTest::addColumn<bool>("notified");
        QTest::newRow("text keeps its blanks") << 1 << int(Field::Capac) << "   500"
                                               << "   500" << true;
        QTest::newRow("text taken exactly") << 1 << int(Field::Filtro) << "x9 "
                                            << "x9 " << true;
        QTest::newRow("list index") << 1 << int(Field::Baud) << "3"
                                    << "3" << true;
        QTest::newRow("first index") << 1 << int(Field::Baud) << "0"
                                     << "0" << true;
        QTest::newRow("last index") << 1 << int(Field::Baud) << "4"
                                    << "4" << true;
        QTest::newRow("past the last index leaves it") << 1 << int(Field::Baud) << "5"
                                                       << "1" << false;
        QTest::newRow("-1 clears") << 1 << int(Field::Baud) << "-1"
                                   << "-1" << true;
        QTest::newRow("-2 leaves it") << 1 << int(Field::Baud) << "-2"
                                      << "1" << false;
        QTest::newRow("blanks ignored") << 1 << int(Field::Baud) << " 3 "
                                        << "3" << true;
        QTest::newRow("2.5 to even") << 1 << int(Field::Baud) << "2.5"
                                     << "2" << true;
        QTest::newRow("3.5 to even") << 1 << int(Field::Baud) << "3.5"
                                     << "4" << true;
        QTest::newRow("stops at a letter") << 1 << int(Field::Baud) << "3x2"
                                           << "3" << true;
        QTest::newRow("no digits gives 0") << 1 << int(Field::Baud) << "abc"
                                           << "0" << true;
        QTest::newRow("huge leaves it") << 1 << int(Field::Baud) << "1e300"
                                        << "1" << false;
        QTest::newRow("model 1 ModSer is an index") << 1 << int(Field::ModSer) << "6"
                                                    << "6" << true;
        QTest::newRow("model 2 ModSer 1") << 2 << int(Field::ModSer) << "1"
                                          << "0" << true;
        QTest::newRow("model 2 ModSer 5") << 2 << int(Field::ModSer) << "5"
                                          << "1" << true;
        QTest::newRow("model 2 ModSer 0 leaves it") << 2 << int(Field::ModSer) << "0"
                                                    << "1" << false;
        QTest::newRow("model 2 ModSer -1 leaves it") << 2 << int(Field::ModSer) << "-1"
                                                     << "1" << false;
    }
    void apply() {
        QFETCH(int, model);
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(bool, notified);
        Modulo1 m;
        m.InstrumentModel = int16_t(model);
        ParameterSet set(m);
        set.reset();
        const Field f = static_cast<Field>(field);
        if (f == Field::ModSer) {
            set.setIndex(f, 1);
        }
        QSignalSpy changes(&set, &ParameterSet::changed);
        ApplyValue(set, LineOf(f), value, model);
        const QString now =
            Parameter(f).kind == FieldKind::Text ? set.text(f) : QString::number(set.index(f));
        QTEST(now, "expected");
        QCOMPARE(changes.size(), notified ? 1 : 0);
    }

    void lines() {
        // The layout of the table: 39 lines, keys, separators, the groups written after them.
        QCOMPARE(int(Lines().size()), LineCount);
        QCOMPARE(Lines().front().field, Field::Set1);
        QCOMPARE(Lines().back().field, Field::RifZero);
        QCOMPARE(Lines()[13].separator, " Out 1 = ");
        QCOMPARE(Lines()[26].separator, " Out 2 = ");
        QCOMPARE(Lines()[27].separator, " = ");
        QList<GroupId> order;
        for (const LineDef& l : Lines()) {
            QCOMPARE(l.line, int(&l - Lines().data()) + 1);
            for (const auto& g : {l.writes, l.writes2}) {
                if (g) {
                    order << *g;
                }
            }
        }
        QCOMPARE(order, (QList<GroupId>{GroupId::WeightConstants, GroupId::OperatingMode, GroupId::Division,
                                        GroupId::SetPoints, GroupId::WeightParameters, GroupId::Outputs,
                                        GroupId::Serial, GroupId::Analog}));
    }

    void build_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("modSer");
        QTest::addColumn<QString>("reference");
        QTest::newRow("model 1 English") << 1 << 1 << 5 << "vxa_en";
        QTest::newRow("model 1 Italian") << 0 << 1 << 5 << "vxa_it";
        QTest::newRow("model 2 English, Continuous") << 1 << 2 << 0 << "vxb_en_continuous";
        QTest::newRow("model 2 Italian, Modbus") << 0 << 2 << 1 << "vxb_it_modbus";
    }
    void build() {
        // The fields of the reference files, put in by hand; the bytes must be the reference's.
        QFETCH(int, language);
        QFETCH(int, model);
        QFETCH(int, modSer);
        QFETCH(QString, reference);
        Modulo1 m;
        m.InstrumentModel = int16_t(model);
        ParameterSet set(m);
        set.reset();
        const QByteArray expected = ReadAll(QStringLiteral(FILES_DATA_DIR "/") + reference + ".stp");
        QVERIFY(!expected.isEmpty());
        // Fill the fields from the reference itself (the reader is tested above), then write them again.
        const Parsed parsed = ParseSetupFile(expected);
        QCOMPARE(int(parsed.error), int(ParseError::None));
        for (const LineDef& l : Lines()) {
            ApplyValue(set, l, parsed.values[l.line - 1], model);
        }
        QCOMPARE(set.index(Field::ModSer), modSer);
        QCOMPARE(BuildSetupFile(set, language, model), expected);
        const QString caption =
            language == 1 ? QStringLiteral("Select Instrument") : QStringLiteral("Selezione Strumento");
        QCOMPARE(BuildModelFile(caption, model),
                 ReadAll(QStringLiteral(FILES_DATA_DIR "/") + reference + ".typ"));
    }

    void keysOfTheLanguage() {
        Modulo1 m;
        ParameterSet set(m);
        set.reset();
        const QList<QByteArray> en = BuildSetupFile(set, 1, 1).split('\n');
        QCOMPARE(en[0], QByteArray("Setpoint 1 value  = \t      0\r"));
        QCOMPARE(en[13], QByteArray("Operating mode Out 1 = \t0\r"));
        QVERIFY(en[30].startsWith("Response delay (SLAVE or MODBUS mode only)"));
        const QList<QByteArray> it = BuildSetupFile(set, 0, 2).split('\n');
        QCOMPARE(it[30],
                 QByteArray("Ritardo risposta in modalit\xE0 MODBUS ( in 1/100 sec  max 1 sec) = \t  0\r"));
        QCOMPARE(it.size(), LineCount + 1);
        QVERIFY(it.last().isEmpty()); // CR LF after the last line too
    }

    void saveFiles() {
        QTemporaryDir dir;
        const QString setup = dir.filePath(QStringLiteral("a.stp"));
        SaveResult r = SaveFiles(setup, "setup\r\n", "model\r\n");
        QVERIFY(r.ok);
        QCOMPARE(ReadAll(setup), QByteArray("setup\r\n"));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("a.typ"))), QByteArray("model\r\n"));
        // Written anew: a shorter content leaves nothing of the longer one.
        QVERIFY(SaveFiles(setup, "s", "m").ok);
        QCOMPARE(ReadAll(setup), QByteArray("s"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no temporary file left
    }

    void saveFailures() {
        QTemporaryDir dir;
        // A name that is its own model file.
        SaveResult own = SaveFiles(dir.filePath(QStringLiteral("b.typ")), "s", "m");
        QVERIFY(!own.ok);
        QCOMPARE(own.failedPath, dir.filePath(QStringLiteral("b.typ")));
        // A folder that does not exist: the model file fails first.
        const SaveResult none = SaveFiles(dir.filePath(QStringLiteral("no/a.stp")), "s", "m");
        QVERIFY(!none.ok);
        QCOMPARE(none.failedPath, dir.filePath(QStringLiteral("no/a.typ")));
        // The setup file fails after its model file was written: no orphan model file, and one that was
        // there before is as it was.
        QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("d.stp"))));
        QVERIFY(!SaveFiles(dir.filePath(QStringLiteral("d.stp")), "s", "m").ok);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("d.typ"))));
        QFile old(dir.filePath(QStringLiteral("d.typ")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        QVERIFY(!SaveFiles(dir.filePath(QStringLiteral("d.stp")), "s", "m").ok);
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("d.typ"))), QByteArray("old"));
        // A folder that cannot be written: the model file fails first, and nothing is left behind.
        const QString sub = dir.filePath(QStringLiteral("ro"));
        QVERIFY(QDir().mkdir(sub));
        QVERIFY(QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner));
        if (QFileInfo(sub).isWritable()) {
            QSKIP("running with rights that write into a read-only folder");
        }
        const SaveResult r = SaveFiles(sub + QStringLiteral("/a.stp"), "s", "m");
        QVERIFY(!r.ok);
        QCOMPARE(r.failedPath, sub + QStringLiteral("/a.typ"));
        QVERIFY(QDir(sub).entryList(QDir::Files).isEmpty());
    }

    void messages_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("message");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const QString p = QStringLiteral("/x/100%1.stp");
        QTest::newRow("too long en") << 1 << int(Message::TooLong) << "Pesometra"
                                     << "The file is too long to be open.";
        QTest::newRow("too long it") << 0 << int(Message::TooLong) << "Pesometra"
                                     << "Il file è troppo grande per poter essere aperto.";
        QTest::newRow("mismatch en") << 1 << int(Message::ModelMismatch) << "Attention !!"
                                     << "The file: /x/100%1.stp doesn't match with the selected instrument";
        QTest::newRow("mismatch it")
            << 0 << int(Message::ModelMismatch) << "Attenzione !!"
            << "Il file : /x/100%1.stp non è compatibile con lo strumento selezionato";
        QTest::newRow("cannot open en") << 1 << int(Message::CannotOpen) << "Attention !!"
                                        << "Impossible to open file: /x/100%1.stp";
        QTest::newRow("cannot open it") << 0 << int(Message::CannotOpen) << "Attenzione !!"
                                        << "Impossibile aprire il file: /x/100%1.stp";
        QTest::newRow("read failed en") << 1 << int(Message::ReadFailed) << "Attention !!"
                                        << "Communication error !\rImpossible to save !";
        QTest::newRow("read failed it")
            << 0 << int(Message::ReadFailed) << "Attenzione !!"
            << "Errore di comunicazione con lo Strumento !\rOperazione di salvataggio impossibile !";
        QTest::newRow("save failed en") << 1 << int(Message::SaveFailed) << "Attention !!"
                                        << "Impossible to save file: /x/100%1.stp";
        QTest::newRow("incomplete it")
            << 0 << int(Message::Incomplete) << "Attenzione !!"
            << "Il file : /x/100%1.stp non è un file di impostazioni completo: nessun "
               "valore è stato caricato";
    }
    void messages() {
        QFETCH(int, language);
        QFETCH(int, message);
        const auto msg = static_cast<Message>(message);
        QTEST(MessageTitle(msg, language), "title");
        QTEST(MessageText(msg, language, QStringLiteral("/x/100%1.stp")), "text");
    }
    void groupMessages() {
        QCOMPARE(GroupFailureText(GroupId::WeightConstants, 1),
                 QStringLiteral("An error occurs during the writing of Parameters"));
        QCOMPARE(
            GroupFailureText(GroupId::Outputs, 0),
            QStringLiteral("Si è verificato un errore nella scrittura dei parametri\rper la configurazione "
                           "delle uscite"));
        QCOMPARE(GroupFailureText(GroupId::Analog, 1),
                 QStringLiteral("An error occurs during the writing of analog output configuration"));
        for (int g = 0; g < GroupCount; ++g) {
            QVERIFY(!GroupFailureText(GroupId(g), 0).isEmpty());
            QVERIFY(!GroupFailureText(GroupId(g), 1).isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestSetupFile)
#include "test_setupfile.moc"
