#include "certificate.h"

#include "texts_verify.h"

#include <QJsonArray>

#include <cmath>

using namespace verify;

namespace {

QString Word(const char* key, int language) {
    return TextOf(texts::Verification(), QString::fromLatin1(key), language);
}

// The table of steps: where each column ends (right-aligned figures) or starts (texts).
constexpr int ColStep = 1;     // ends at 3
constexpr int ColTest = 5;     // starts
constexpr int ColLoadEnd = 31; // figures end here
constexpr int ColIndEnd = 43;
constexpr int ColErrEnd = 53;
constexpr int ColErrEEnd = 62;
constexpr int ColMpeEnd = 70;
constexpr int ColResult = 73;

void Right(QList<ReportRun>& runs, int endColumn, const QString& text, bool bold = false) {
    runs << ReportRun{int(endColumn - text.size() + 1), text, bold};
}

ReportLine Line(const QString& text, bool bold = false) {
    return ReportLine{ReportLine::BodyPoints, {ReportRun{1, text, bold}}};
}

QString WithUnit(const Scale& s, double value) {
    return s.Format(value) + QLatin1Char(' ') + UnitSymbol(s.unit);
}

QString ResultWord(const StepResult& r, int language) {
    return !r.judged ? Word("NotRead", language) : r.pass ? Word("Pass", language) : Word("Fail", language);
}

QString FailedList(const Outcome& out) {
    QStringList steps;
    for (int i : out.failed) {
        steps << QString::number(i + 1);
    }
    return steps.join(QStringLiteral(", "));
}

QString RangeText(const NRange& range) {
    return range.high > 0 ? QStringLiteral("%1 - %2").arg(range.low).arg(range.high)
                          : QStringLiteral(">= %1").arg(range.low);
}

} // namespace

QString SignedText(double value, int decimals) {
    const QString text = QString::number(std::abs(value), 'f', decimals);
    if (QString::number(0.0, 'f', decimals) == text) {
        return text;
    }
    return (value < 0 ? QStringLiteral("-") : QStringLiteral("+")) + text;
}

QString StepName(const Step& step, int language) {
    switch (step.kind) {
    case TestKind::Weighing:
        return Word("Weighing", language);
    case TestKind::Eccentricity:
        return Word("Eccentricity", language);
    case TestKind::Repeatability:
        return Word("Repeatability", language);
    }
    return {};
}

QList<ReportLine> CertificateLines(const VerificationRecord& rec, int language) {
    const Scale& s = rec.scale;
    const Outcome out = Judge(s, rec.plan, rec.readings);
    const int errDecimals = s.decimals + 1;
    QList<ReportLine> lines;
    lines << ReportLine{ReportLine::TitlePoints, {ReportRun{1, Word("Title", language), true}}}
          << ReportLine{};
    const CertificateHeader& h = rec.header;
    const std::pair<const char*, QString> fields[] = {
        {"Customer", h.customer},
        {"Site", h.site},
        {"ScaleId", h.scale},
        {"Weights", h.weights},
        {"WeightsCertificate", h.weightsCertificate},
        {"Temperature", h.temperature},
        {"Technician", h.technician},
    };
    for (const auto& [key, value] : fields) {
        lines << ReportLine{
            ReportLine::BodyPoints,
            {ReportRun{1, Word(key, language) + QLatin1Char(':')}, ReportRun{22, value, true}}};
    }
    const InstrumentSummary& inst = rec.instrument;
    lines << ReportLine{}
          << Line(Word("Instrument", language)
                      .arg(inst.model == 1   ? QStringLiteral("VXA")
                           : inst.model == 2 ? QStringLiteral("VXB")
                                             : QStringLiteral("?"))
                      .arg(inst.address)
                      .arg(inst.version))
          << Line(Word("Configuration", language)
                      .arg(inst.capacity, inst.division, inst.sensitivity.trimmed()));
    const double minLoad = MinInE(s.accuracy, s.EGrams()) * s.e;
    lines << Line(Word("Rules", language)
                      .arg(ClassName(s.accuracy),
                           Word(s.inspection == Inspection::Initial ? "Initial" : "InService", language)))
          << Line(Word("Figures", language)
                      .arg(WithUnit(s, s.e), WithUnit(s, s.max), QString::number(s.n(), 'f', 0),
                           WithUnit(s, minLoad)));
    if (s.NOutOfRange()) {
        lines << Line(Word("NWarning", language)
                          .arg(QString::number(s.n(), 'f', 0), RangeText(NRangeOf(s.accuracy, s.EGrams()))),
                      true);
    }
    lines << Line(Word("ErrorRule", language)) << ReportLine{};
    // The verdict and the plot first: the first page tells the result.
    const char* verdict = out.verdict == Verdict::Pass   ? "VerdictPass"
                          : out.verdict == Verdict::Fail ? "VerdictFail"
                                                         : "VerdictIncomplete";
    lines << ReportLine{ReportLine::TitlePoints, {ReportRun{1, Word(verdict, language), true}}};
    if (!out.failed.isEmpty()) {
        lines << Line(Word("FailedSteps", language).arg(FailedList(out)), true);
    }
    lines << ReportLine{} << Line(Word("PlotTitle", language), true);
    ReportLine plot;
    plot.figureLines = CertificatePlotLines;
    lines << plot << ReportLine{};

    QList<ReportRun> head;
    const QString unit = QStringLiteral(" (") + UnitSymbol(s.unit) + QLatin1Char(')');
    Right(head, ColStep + 2, Word("HeadStep", language), true);
    head << ReportRun{ColTest, Word("HeadTest", language), true};
    Right(head, ColLoadEnd, Word("HeadLoad", language) + unit, true);
    Right(head, ColIndEnd, Word("HeadIndication", language), true);
    Right(head, ColErrEnd, Word("HeadError", language), true);
    Right(head, ColErrEEnd, Word("HeadErrorE", language), true);
    Right(head, ColMpeEnd, Word("HeadMpe", language), true);
    head << ReportRun{ColResult, Word("HeadResult", language), true};
    lines << ReportLine{ReportLine::BodyPoints, head};
    for (qsizetype i = 0; i < rec.plan.size(); ++i) {
        const Step& step = rec.plan[i];
        const StepResult& r = out.steps[i];
        const Reading reading = rec.readings.value(i);
        QList<ReportRun> runs;
        Right(runs, ColStep + 2, QString::number(i + 1));
        QString name = StepName(step, language);
        if (step.kind == TestKind::Eccentricity) {
            name += QLatin1Char(' ') +
                    (step.position == 0 ? Word("Centre", language) : QString::number(step.position));
        }
        runs << ReportRun{ColTest, name};
        Right(runs, ColLoadEnd, s.Format(step.load));
        if (r.judged) {
            Right(runs, ColIndEnd, s.Format(reading.indication));
            Right(runs, ColErrEnd, SignedText(r.error, errDecimals));
            Right(runs, ColErrEEnd, SignedText(r.errorInE, 2));
        }
        Right(runs, ColMpeEnd, QString::number(r.mpe, 'f', errDecimals));
        runs << ReportRun{ColResult, ResultWord(r, language), r.judged && !r.pass};
        lines << ReportLine{ReportLine::BodyPoints, runs};
    }
    for (const SeriesResult& series : out.series) {
        if (!series.complete) {
            continue;
        }
        lines << Line(Word("Series", language)
                          .arg(WithUnit(s, series.load), SignedText(series.spread, errDecimals).remove('+'),
                               QString::number(series.mpe, 'f', errDecimals),
                               series.pass ? Word("Pass", language) : Word("Fail", language)));
    }
    lines << ReportLine{}
          << Line(Word("Date", language) + QStringLiteral(": ") + rec.date.toString(Qt::ISODate))
          << ReportLine{} << ReportLine{}
          << Line(Word("Signature", language) + QStringLiteral(": ______________________________"));
    return lines;
}

QString CertificateCsv(const VerificationRecord& rec) {
    const Scale& s = rec.scale;
    const Outcome out = Judge(s, rec.plan, rec.readings);
    const QString unit = UnitSymbol(s.unit);
    QString csv =
        QStringLiteral("step,test,position,load_%1,indication_%1,delta_l_%1,error_%1,error_e,mpe_%1,"
                       "result\r\n")
            .arg(unit);
    for (qsizetype i = 0; i < rec.plan.size(); ++i) {
        const Step& step = rec.plan[i];
        const StepResult& r = out.steps[i];
        const Reading reading = rec.readings.value(i);
        QStringList cells{QString::number(i + 1), KindWord(step.kind),
                          step.kind == TestKind::Eccentricity ? QString::number(step.position) : QString(),
                          s.Format(step.load)};
        if (r.judged) {
            cells << s.Format(reading.indication)
                  << (reading.deltaL ? QString::number(*reading.deltaL, 'f', s.decimals + 1) : QString())
                  << QString::number(r.error, 'f', s.decimals + 1) << QString::number(r.errorInE, 'f', 2);
        } else {
            cells << QString() << QString() << QString() << QString();
        }
        cells << QString::number(r.mpe, 'f', s.decimals + 1)
              << (r.judged ? (r.pass ? QStringLiteral("pass") : QStringLiteral("fail")) : QString());
        csv += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return csv;
}

QJsonObject CertificateJson(const VerificationRecord& rec) {
    const Scale& s = rec.scale;
    const Outcome out = Judge(s, rec.plan, rec.readings);
    QJsonObject obj;
    obj.insert(QStringLiteral("address"), rec.instrument.address);
    obj.insert(QStringLiteral("class"), ClassName(s.accuracy));
    obj.insert(QStringLiteral("inspection"), s.inspection == Inspection::Initial
                                                 ? QStringLiteral("initial")
                                                 : QStringLiteral("in-service"));
    obj.insert(QStringLiteral("unit"), UnitSymbol(s.unit));
    obj.insert(QStringLiteral("e"), s.e);
    obj.insert(QStringLiteral("max"), s.max);
    obj.insert(QStringLiteral("nOutOfRange"), s.NOutOfRange());
    QJsonArray steps;
    for (qsizetype i = 0; i < rec.plan.size(); ++i) {
        const StepResult& r = out.steps[i];
        QJsonObject step;
        step.insert(QStringLiteral("step"), int(i + 1));
        step.insert(QStringLiteral("test"), KindWord(rec.plan[i].kind));
        step.insert(QStringLiteral("position"), rec.plan[i].position);
        step.insert(QStringLiteral("load"), rec.plan[i].load);
        step.insert(QStringLiteral("mpe"), r.mpe);
        if (r.judged) {
            step.insert(QStringLiteral("indication"), rec.readings.value(i).indication);
            step.insert(QStringLiteral("error"), r.error);
            step.insert(QStringLiteral("errorE"), r.errorInE);
            step.insert(QStringLiteral("pass"), r.pass);
        }
        steps.append(step);
    }
    obj.insert(QStringLiteral("steps"), steps);
    QJsonArray failed;
    for (int i : out.failed) {
        failed.append(i + 1);
    }
    obj.insert(QStringLiteral("failedSteps"), failed);
    obj.insert(QStringLiteral("verdict"), out.verdict == Verdict::Pass   ? QStringLiteral("pass")
                                          : out.verdict == Verdict::Fail ? QStringLiteral("fail")
                                                                         : QStringLiteral("incomplete"));
    return obj;
}

QString CertificateFileName(int address, const QDate& date, int languageIndex) {
    return Word("CertificateName", languageIndex)
        .arg(address, 2, 10, QLatin1Char('0'))
        .arg(date.toString(Qt::ISODate));
}
