// The configuration report rendered to PDF, read back with poppler's pdftotext in layout mode: the
// title, the date line with the notes, every line of both models in both languages, the values ending
// in the same column, the fonts.

#include "reportfixture.h"
#include "reportprint.h"

#include <QFontInfo>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString PdfToText() {
    return QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
}

struct Word {
    int page = 0;
    qreal xMin = 0, yMin = 0, xMax = 0;
    QString text;
};

QString Unescape(QString text) {
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

// Every word of a PDF with its box, as pdftotext finds them.
QList<Word> PdfWords(const QString& pdf) {
    QProcess process;
    process.start(PdfToText(), {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                                QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return {};
    }
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression tag(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">(.*?)</word>)re"));
    QList<Word> words;
    int page = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(0).startsWith(QStringLiteral("<page"))) {
            ++page;
            continue;
        }
        words << Word{page, match.captured(1).toDouble(), match.captured(2).toDouble(),
                      match.captured(3).toDouble(), Unescape(match.captured(4))};
    }
    return words;
}

// The PDF's lines as text, each word put in the column of its place on the page: `x0` is where
// column `column0` begins, `pitch` the width of a column.
QStringList PdfLines(const QList<Word>& words, qreal x0, int column0, qreal pitch) {
    QStringList lines;
    int page = -1;
    qreal y = -1;
    for (const Word& w : words) {
        if (w.page != page || qAbs(w.yMin - y) > 1.0) {
            lines << QString();
            page = w.page;
            y = w.yMin;
        }
        QString& line = lines.last();
        const int column = column0 + qRound((w.xMin - x0) / pitch);
        if (line.size() < column - 1) {
            line += QString(column - 1 - line.size(), QLatin1Char(' '));
        } else if (!line.isEmpty()) {
            line += QLatin1Char(' ');
        }
        line += w.text;
    }
    return lines;
}

QStringList PdfLayoutText(const QString& pdf) {
    QProcess process;
    process.start(PdfToText(), {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                                pdf, QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
}

// The lines that hold text, each with its runs of blanks made one blank.
QStringList Simplified(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines) {
        if (const QString text = line.simplified(); !text.isEmpty()) {
            out << text;
        }
    }
    return out;
}

QStringList NonEmpty(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines) {
        if (!line.trimmed().isEmpty()) {
            // Blanks at the end of a line leave no trace in a PDF.
            qsizetype end = line.size();
            while (end > 0 && line.at(end - 1) == QLatin1Char(' ')) {
                --end;
            }
            out << line.left(end);
        }
    }
    return out;
}

} // namespace

class TestReportPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (PdfToText().isEmpty()) {
            if (!qEnvironmentVariableIsEmpty("CI")) {
                QFAIL("pdftotext is missing (Debian package poppler-utils): run scripts/setup.sh");
            }
            QSKIP("pdftotext is missing (Debian package poppler-utils)");
        }
    }

    // Whatever font stands for "Courier New" on this machine, every character of a report is as wide as
    // every other, plain and bold, so the columns hold.
    void equalAdvances() {
        const QString samples[] = {"iiiiiiiiii", "MMMMMMMMMM", "..........", "          ",
                                   "àèéìòùÀÈ()", "0123456789", "WWWWWWWWWW", "lllllllll!"};
        for (bool bold : {false, true}) {
            const QFont font = ReportFont(ReportLine::BodyPoints, bold);
            QCOMPARE(font.pointSize(), 10);
            QCOMPARE(font.bold(), bold);
            const QFontMetricsF metrics(font);
            const qreal width = metrics.horizontalAdvance(samples[0]);
            QVERIFY(width > 0);
            for (const QString& sample : samples) {
                QVERIFY2(qAbs(metrics.horizontalAdvance(sample) - width) < width / 100,
                         qPrintable(QFontInfo(font).family() + ": " + sample));
            }
        }
        QCOMPARE(ReportFont(ReportLine::TitlePoints, true).pointSize(), 12);
    }

    void pdfText_data() {
        AddReferenceRows();
    }
    void pdfText() {
        QFETCH(int, model);
        QFETCH(int, language);
        ReportFixture f(model);
        const QList<ReportLine> report = f.Build(language);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        const ReportOutcome outcome = SaveReportPdf(report, pdf, language);
        QVERIFY2(outcome.ok, qPrintable(outcome.reason));

        // The text in pdftotext's layout mode, word for word and line for line. That mode spreads words
        // over its own grid of columns, so runs of blanks are compared as one blank here; the columns
        // themselves are checked below from the place of each word.
        QCOMPARE(Simplified(PdfLayoutText(pdf)), Simplified(ReferenceReport(model, language)));

        const QList<Word> words = PdfWords(pdf);
        QVERIFY(!words.isEmpty());
        const QStringList reference = ReferenceReport(model, language);
        QVERIFY(!reference.isEmpty());
        const QStringList expected = NonEmpty(reference);
        // The body's pitch, from the longest word (a label with its dots), and the date line's first word,
        // which stands in column 7.
        const Word longest = *std::max_element(words.begin(), words.end(), [](const Word& a, const Word& b) {
            return a.text.size() < b.text.size();
        });
        const qreal pitch = (longest.xMax - longest.xMin) / qreal(longest.text.size());
        const auto date = std::find_if(words.begin(), words.end(), [&](const Word& w) {
            return w.text == expected[1].trimmed().section(QLatin1Char(' '), 0, 0);
        });
        QVERIFY(date != words.end());
        const QStringList got = NonEmpty(PdfLines(words, date->xMin, ReportLabelColumn, pitch));
        QCOMPARE(got.size(), expected.size());
        // The title, at 12 points and in its own pitch: its words.
        QCOMPARE(got[0].simplified(), expected[0].simplified());
        // Every other line, blanks, dots and values in their columns.
        for (int i = 1; i < got.size(); ++i) {
            QCOMPARE(got[i], expected[i]);
        }
        // The values of the parameter lines end in column 86.
        int parameterLines = 0;
        for (const Word& w : words) {
            if (w.text.contains(QStringLiteral(".."))) {
                // The last word of the line is the value's (or its last word).
                qreal end = w.xMax;
                for (const Word& v : words) {
                    if (v.page == w.page && qAbs(v.yMin - w.yMin) <= 1.0) {
                        end = std::max(end, v.xMax);
                    }
                }
                QVERIFY(end > w.xMax);
                QCOMPARE(ReportLabelColumn - 1 + qRound((end - date->xMin) / pitch), ReportValueEndColumn);
                ++parameterLines;
            }
        }
        QCOMPARE(parameterLines, model == 2 ? 18 : 45);
    }

    // A report longer than a page goes on on the next one, every line once, and no blank page follows.
    void pageBreak() {
        QList<ReportLine> report;
        for (int i = 0; i < 150; ++i) {
            report << ParameterLine(QStringLiteral("Line %1").arg(i, 3, 10, QLatin1Char('0')),
                                    QString::number(i));
        }
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("long.pdf"));
        QVERIFY(SaveReportPdf(report, pdf, 1).ok);
        const QList<Word> words = PdfWords(pdf);
        int labels = 0;
        int lastPage = 0;
        for (const Word& w : words) {
            if (w.text == QLatin1StringView("Line")) {
                ++labels;
            }
            lastPage = std::max(lastPage, w.page);
        }
        QCOMPARE(labels, 150);
        QProcess info;
        info.start(PdfToText(), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
        QVERIFY(info.waitForFinished(30000));
        QCOMPARE(int(QString::fromUtf8(info.readAllStandardOutput()).count(QStringLiteral("<page "))),
                 lastPage);
        QVERIFY(lastPage >= 2);
    }

    // A PDF that cannot be written says why, and leaves nothing behind.
    void pdfNotWritten() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing/report.pdf"));
        const ReportOutcome outcome = SaveReportPdf({HeadingLine(QStringLiteral("x"))}, path, 0);
        QVERIFY(!outcome.ok);
        QVERIFY(!outcome.reason.isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    // With no printer installed the report is not sent anywhere, and the reason says so.
    void noPrinterInstalled_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Italian") << 0 << "nessuna stampante installata";
        QTest::newRow("English") << 1 << "no printer installed";
    }
    void noPrinterInstalled() {
        QFETCH(int, language);
        QFETCH(QString, reason);
        if (!QPrinterInfo::defaultPrinter().isNull()) {
            QSKIP("this system has a default printer");
        }
        const ReportOutcome outcome = PrintReport({HeadingLine(QStringLiteral("x"))}, language);
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.reason, reason);
    }
};

QTEST_MAIN(TestReportPdf)
#include "test_report_pdf.moc"
