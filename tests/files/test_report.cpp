// The configuration report as lines of text: labels, dots, values, headings and what each instrument
// model leaves out, word for word.

#include "reportfixture.h"

#include "texts_form1.h"

#include <QtTest>

namespace {

QStringList Lines(const QList<ReportLine>& lines) {
    QStringList text = ReportText(lines).split(QLatin1Char('\n'));
    text.removeLast(); // after the last line end
    return text;
}

// The line that starts with `start` after its blanks (the first one).
QString LineStarting(const QStringList& lines, const QString& start) {
    for (const QString& line : lines) {
        if (line.trimmed().startsWith(start)) {
            return line;
        }
    }
    return {};
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT
private slots:
    void textBefore_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QString>("before");
        QTest::newRow("cut at the first") << "Baud Rate (default 9600)"
                                          << "("
                                          << "Baud Rate ";
        QTest::newRow("two delimiters") << "a (b) (c)"
                                        << "("
                                        << "a ";
        QTest::newRow("first character") << "(x)"
                                         << "("
                                         << "";
        QTest::newRow("not there") << "Device address"
                                   << "("
                                   << "Device address";
        QTest::newRow("empty text") << ""
                                    << "("
                                    << "";
        QTest::newRow("case counts") << "Abc"
                                     << "a"
                                     << "Abc";
        QTest::newRow("longer delimiter") << "x in 1/10 sec y"
                                          << "1/10"
                                          << "x in ";
    }
    void textBefore() {
        QFETCH(QString, text);
        QFETCH(QString, delimiter);
        QFETCH(QString, before);
        QCOMPARE(TextBefore(text, delimiter), before);
    }

    // The four label rules on the captions of both languages and both models.
    void labels_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("rule");
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("label");
        const int full = int(LabelRule::Full), cut = int(LabelRule::Cut), tenths = int(LabelRule::CutTenths),
                  special = int(LabelRule::Special);
        QTest::newRow("full keeps brackets")
            << "Label15" << full << 1 << 1 << "Input signal (mV/V) (Reference only)";
        QTest::newRow("cut en") << "Label33" << cut << 1 << 1 << "Baud Rate ";
        QTest::newRow("cut it") << "Label22" << cut << 0 << 1
                                << "Autozero all'accensione espr. in % rispetto alla portata utile  ";
        QTest::newRow("cut without bracket")
            << "Label38" << cut << 0 << 1 << "Selezione del valore trasmesso con l'uscita analogica";
        QTest::newRow("tenths en") << "Label27" << tenths << 1 << 1
                                   << "Setpoint activation time length (in 1/10 sec)";
        QTest::newRow("tenths it") << "Label28" << tenths << 0 << 1 << "Ritardo abilitazione (in 1/10 sec)";
        QTest::newRow("Label36 it model 1") << "Label36" << special << 0 << 1
                                            << "Ritardo risposta in modalità SLAVE o MODBUS  (in 1/100 sec)";
        QTest::newRow("Label36 en model 1")
            << "Label36" << special << 1 << 1 << "Response delay (SLAVE or MODBUS mode only in 1/100 sec)";
        QTest::newRow("Label36 it model 2")
            << "Label36" << special << 0 << 2 << "Ritardo risposta in modalità MODBUS  (in 1/100 sec)";
        QTest::newRow("Label36 en model 2")
            << "Label36" << special << 1 << 2 << "Response delay (MODBUS mode only in 1/100 sec)";
        QTest::newRow("Label63 it") << "Label63" << special << 0 << 1
                                    << "Protocollo Com2 (Nessuno per MODBUS)";
        QTest::newRow("Label63 en") << "Label63" << special << 1 << 1
                                    << "Com2 Protocol (None for MODBUS mode)";
    }
    void labels() {
        QFETCH(QString, control);
        QFETCH(int, rule);
        QFETCH(int, language);
        QFETCH(int, model);
        QFETCH(QString, label);
        const QByteArray name = control.toLatin1();
        QCOMPARE(ReportLabel(ReportCaption(name.constData(), language, model), LabelRule(rule),
                             name.constData(), language),
                 label);
    }

    // Dots fill up to the blank before the value, so the value ends in column 86; a line too long for
    // that has no dots at all, never a negative count; an empty value leaves the blank in column 86.
    void parameterLine_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("line");
        QTest::newRow("baud rate example") << "Baud Rate "
                                           << "9600" << Expected("Baud Rate ", 65, "9600");
        QTest::newRow("leading blanks") << "Capacity"
                                        << "   5000" << Expected("Capacity", 64, "   5000");
        QTest::newRow("empty list") << "Mode"
                                    << "" << Expected("Mode", 75, "");
        QTest::newRow("exactly 79") << QString(70, 'L') << QString(9, 'V')
                                    << Expected(QString(70, 'L'), 0, QString(9, 'V'));
        QTest::newRow("78 one dot") << QString(70, 'L') << QString(8, 'V')
                                    << Expected(QString(70, 'L'), 1, QString(8, 'V'));
        QTest::newRow("80 no dots") << QString(71, 'L') << QString(9, 'V')
                                    << Expected(QString(71, 'L'), 0, QString(9, 'V'));
        QTest::newRow("far too long") << QString(120, 'L') << "12" << Expected(QString(120, 'L'), 0, "12");
    }
    void parameterLine() {
        QFETCH(QString, label);
        QFETCH(QString, value);
        QFETCH(QString, line);
        const ReportLine built = ParameterLine(label, value);
        QCOMPARE(Lines({built}), QStringList{line});
        QCOMPARE(built.runs.size(), 2);
        QVERIFY(!built.runs[0].bold);
        QVERIFY(built.runs[1].bold);
        QCOMPARE(built.runs[1].text, value);
        if (label.size() + value.size() <= 79) {
            // The value's last character (or, with no value, the blank) stands in column 86.
            QCOMPARE(line.size(), 86);
        }
    }

    // The whole report of each model in each language, against the references written by hand.
    void wholeReport_data() {
        AddReferenceRows();
    }
    void wholeReport() {
        QFETCH(int, model);
        QFETCH(int, language);
        const QStringList reference = ReferenceReport(model, language);
        QVERIFY(!reference.isEmpty());
        QCOMPARE(Lines(ReportFixture(model).Build(language)), reference);
    }

    // Rows of the groups the instrument did not give print a marker instead of a value, and a line under
    // the date names those groups; offline every row is the user's and prints as it stands.
    void unreadGroups_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<QString>("variant");
        QTest::newRow("VXA English, tabs 2 to 5 not read") << 1 << 1 << false << "_unread";
        QTest::newRow("VXB Italian, tab 0 not read") << 2 << 0 << false << "_unread";
        QTest::newRow("offline") << 1 << 1 << true << "";
    }
    void unreadGroups() {
        QFETCH(int, model);
        QFETCH(int, language);
        ReportFixture f(model);
        QFETCH(bool, offline);
        f.m.OfflineEdit = offline;
        using G = GroupId;
        for (const G id : model == 2 ? QList<G>{G::WeightConstants, G::Division}
                                     : QList<G>{G::WeightParameters, G::Outputs, G::Serial, G::Analog}) {
            f.set->setKnown(id, false);
        }
        QFETCH(QString, variant);
        QCOMPARE(Lines(f.Build(language)), ReferenceReport(model, language, variant));
    }

    // Empty notes: the date line ends with the date and one blank.
    void emptyNotes() {
        ReportFixture f(1);
        f.notes.clear();
        QCOMPARE(Lines(f.Build(1)).at(6), QString("      Date 09/12/2026 "));
    }

    // The title and the blank lines before it are at 12 points, bold; everything after at 10; values
    // and headings bold, labels and the date line not.
    void fontsAndBold() {
        ReportFixture f(1);
        const QList<ReportLine> lines = f.Build(0);
        for (int i = 0; i < lines.size(); ++i) {
            QCOMPARE(lines[i].points, i < 4 ? ReportLine::TitlePoints : ReportLine::BodyPoints);
        }
        QVERIFY(lines[3].runs[0].bold);
        QCOMPARE(lines[3].runs[0].column, 1);
        QVERIFY(!lines[6].runs[0].bold);
        QCOMPARE(lines[6].runs[0].column, 7);
        QCOMPARE(lines[9].runs.size(), 1);
        QVERIFY(lines[9].runs[0].bold);
        QCOMPARE(lines[10].runs[1].column + lines[10].runs[1].text.size() - 1,
                 qsizetype(ReportValueEndColumn));
    }

    // The same configuration in both languages differs only in the title, "Date "/"Data " and the
    // captions: the values are the same texts, except the list entries, which are the language's.
    void languagesShareValues_data() {
        QTest::addColumn<int>("model");
        QTest::newRow("VXA") << 1;
        QTest::newRow("VXB") << 2;
    }
    void languagesShareValues() {
        QFETCH(int, model);
        ReportFixture f(model);
        const QList<ReportLine> it = f.Build(0);
        const QList<ReportLine> en = f.Build(1);
        QCOMPARE(it.size(), en.size());
        const Language italian = Language::Italian, english = Language::English;
        for (int i = 0; i < it.size(); ++i) {
            QCOMPARE(it[i].runs.size(), en[i].runs.size());
            if (it[i].runs.size() != 2) {
                continue;
            }
            const QString a = it[i].runs[1].text, b = en[i].runs[1].text;
            if (a == b) {
                continue;
            }
            // Only a list entry may differ: the same index in the two languages' lists.
            bool sameEntry = false;
            for (const ParameterDef& p : Parameters()) {
                const QStringList li = ListItems(p.field, italian, model),
                                  le = ListItems(p.field, english, model);
                const int index = f.set->index(p.field);
                if (index >= 0 && index < li.size() && li[index] == a && le[index] == b) {
                    sameEntry = true;
                }
            }
            QVERIFY2(sameEntry, qPrintable(a + " / " + b));
        }
    }

    // A list with nothing selected prints an empty value: the dots end in column 85, the blank stands
    // in column 86 and the line ends there.
    void emptyListSelection() {
        ReportFixture f(1);
        QVERIFY(f.set->setIndex(Field::Baud, -1));
        const QString line = LineStarting(Lines(f.Build(1)), "Baud Rate ");
        QCOMPARE(line, Expected("Baud Rate ", 69, ""));
        QCOMPARE(line.size(), 86);
        QCOMPARE(line.at(84), QChar('.'));
        QCOMPARE(line.at(85), QChar(' '));
    }

    // A label and a value together longer than 79 characters: no dots, the value after one blank.
    void overlongValue() {
        ReportFixture f(1);
        const QString notes = QString(90, 'n');
        f.set->setText(Field::Iste1, QString(70, '9'));
        const QStringList lines = Lines(f.Build(1));
        QCOMPARE(LineStarting(lines, "Hysteresis "), "      Hysteresis  " + QString(70, '9'));
        // Long notes are neither wrapped nor cut.
        f.notes = notes;
        QCOMPARE(Lines(f.Build(1))[6], "      Date 09/12/2026 " + notes);
    }

    // The status of the inputs and the version are the screen's, not the configuration's.
    void screenValues() {
        ReportFixture f(1);
        f.screen.Ingresso1 = QStringLiteral("1");
        f.screen.Versione = QStringLiteral("ERR");
        const QStringList lines = Lines(f.Build(0));
        QCOMPARE(LineStarting(lines, "Stato Ingresso 1"), Expected("Stato Ingresso 1", 62, "1"));
        QCOMPARE(LineStarting(lines, "Vers. Software"), Expected("Vers. Software Strumento", 52, "ERR"));
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "test_report.moc"
