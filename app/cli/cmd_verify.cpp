// quartel-cli verify: the verification of the scale with test weights, step by step, with its
// certificate.

#include "clicommands.h"
#include "clifiles.h"
#include "cliline.h"

#include "certificaterender.h"
#include "texts_verify.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>

#include <cmath>

using namespace verify;

namespace {

QString Word(const char* key, int language) {
    return TextOf(texts::Verification(), QString::fromLatin1(key), language);
}

int DecimalsOf(const QString& text) {
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    return dot < 0 ? 0 : int(text.size() - dot - 1);
}

} // namespace

QCoro::Task<int> RunVerify(CliLine& line, CliIo& io) {
    constexpr int Trouble = 2;
    const CliOptions& o = line.options();
    const VerifyOptions& v = o.verify;
    QList<Step> plan;
    if (!v.plan.isEmpty()) {
        QFile file(v.plan);
        if (!file.open(QIODevice::ReadOnly)) {
            io.Fail(QStringLiteral("%1: %2").arg(v.plan, file.errorString()));
            co_return Trouble;
        }
        int bad = 0;
        const std::optional<QList<Step>> parsed = ParsePlan(QString::fromUtf8(file.readAll()), &bad);
        if (!parsed || parsed->isEmpty()) {
            io.Fail(QStringLiteral("%1:%2: not a step (weighing,LOAD | eccentricity,LOAD,POSITION | "
                                   "repeatability,LOAD)")
                        .arg(v.plan)
                        .arg(bad));
            co_return Trouble;
        }
        plan = *parsed;
    }
    // The outputs are checked before the scale is loaded: a verification is not run for nothing.
    for (const QString& out : {v.csv, v.pdf}) {
        if (const QString refused = out.isEmpty() ? QString() : clifiles::WriteRefusal(io, out);
            !refused.isEmpty()) {
            io.Fail(refused);
            co_return Trouble;
        }
    }
    if (!co_await line.Open()) {
        co_return Trouble;
    }
    Modulo1& m = line.m();
    const int language = m.LanguageIndex;
    const int a = o.addresses.first();
    const int model = co_await line.AnsweringModel(a);
    if (model == 0) {
        co_return Trouble;
    }
    CliInstrument inst(m, line.link());
    inst.Load(a, model);
    m.WeightView = 2; // the gross weight, never the peak

    // The configuration the certificate names and the scale's defaults: the weight constants (the tab-0
    // read forgets the division), the division, the version.
    inst.set.setAllKnown(false);
    for (int attempt = 0; attempt < ConfigReader::ReadAllAttempts && m.TabRead[1] != 1; ++attempt) {
        co_await inst.reader.ReadBlockOfTab(0);
    }
    for (int attempt = 0; attempt < ConfigReader::ReadAllAttempts && m.CurrentStep() == 0; ++attempt) {
        co_await inst.reader.ReadDivisionCode();
    }
    co_await inst.monitor.ReadVersion();
    if (m.TabRead[1] != 1 || m.CurrentStep() == 0) {
        io.Fail(Word("NoConfiguration", language).arg(a));
        co_return Trouble;
    }
    VerificationRecord rec;
    rec.instrument = {model,
                      a,
                      inst.display.text(MonitorDisplay::Text::Versione),
                      inst.set.text(Field::Capac).trimmed(),
                      DivisionText(m, a),
                      inst.set.text(Field::Sensib).trimmed()};
    Scale& s = rec.scale;
    s.accuracy = *ClassFromName(v.accuracy);
    s.inspection = v.inService ? Inspection::InService : Inspection::Initial;
    s.unit = *UnitFromSymbol(v.unit);
    const QString eText = v.e.isEmpty() ? rec.instrument.division : v.e;
    s.e = eText.toDouble();
    s.decimals = std::max(DecimalsOf(eText), int(m.CurrentDecimals()));
    s.max = (v.max.isEmpty() ? rec.instrument.capacity : v.max).toDouble();
    if (s.max < s.e) {
        io.Fail(Word("MaxBelowE", language).arg(s.Format(s.max), s.Format(s.e)));
        co_return Trouble;
    }
    if (s.NOutOfRange()) {
        const NRange range = NRangeOf(s.accuracy, s.EGrams());
        io.Note(Word("NWarning", language)
                    .arg(QString::number(s.n(), 'f', 0),
                         range.high > 0 ? QStringLiteral("%1 - %2").arg(range.low).arg(range.high)
                                        : QStringLiteral(">= %1").arg(range.low)));
    }
    if (plan.isEmpty()) {
        plan = MakePlan(s);
    }
    rec.plan = plan;
    for (const auto& [key, value] : v.info) {
        CertificateHeader& h = rec.header;
        QString* field = key == QLatin1String("customer")      ? &h.customer
                         : key == QLatin1String("site")        ? &h.site
                         : key == QLatin1String("scale")       ? &h.scale
                         : key == QLatin1String("weights")     ? &h.weights
                         : key == QLatin1String("certificate") ? &h.weightsCertificate
                         : key == QLatin1String("temperature") ? &h.temperature
                                                               : &h.technician;
        *field = value;
    }

    CliStreams& streams = io.Streams();
    const double countUnit = m.CurrentStep() / std::pow(10.0, m.CurrentDecimals());
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const Step& step = plan[i];
        const QString load = s.Format(step.load) + QLatin1Char(' ') + UnitSymbol(s.unit);
        const QString prompt = step.kind == TestKind::Eccentricity
                                   ? Word("PlaceAt", language)
                                         .arg(load, step.position == 0 ? Word("Centre", language)
                                                                       : QString::number(step.position))
                                   : Word("Place", language).arg(load);
        const qint32 divisions = qint32(std::llround(step.load / countUnit));
        if (!v.placeCommand.isEmpty()) {
            QProcess place;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QUARTEL_ADDRESS"), QString::number(a));
            env.insert(QStringLiteral("QUARTEL_LOAD"), s.Format(step.load));
            env.insert(QStringLiteral("QUARTEL_DIVISIONS"), QString::number(divisions));
            env.insert(QStringLiteral("QUARTEL_POSITION"), QString::number(step.position));
            place.setProcessEnvironment(env);
            place.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), v.placeCommand});
            if (!place.waitForFinished(30000) || place.exitStatus() != QProcess::NormalExit ||
                place.exitCode() != 0) {
                io.Fail(Word("PlaceFailed", language).arg(i + 1));
                co_return Trouble;
            }
        }
        if (streams.placeLoad) {
            streams.placeLoad(a, divisions, step.position);
        }
        if (!v.yes) {
            io.ClearProgress();
            if (streams.err) {
                streams.err(QStringLiteral("%1/%2 ").arg(i + 1).arg(plan.size()) + prompt +
                            Word("PressEnter", language));
            }
            if (!streams.readLine || !streams.readLine()) {
                io.Fail(Word("NoAnswer", language).arg(i + 1));
                co_return Trouble;
            }
        }
        // A stable gross reading taken after the load was placed, within the time-out.
        const QDeadlineTimer deadline(qint64(v.stableTimeoutS) * 1000);
        const quint64 before = inst.monitor.ReadingCount();
        std::optional<WeightReading> taken;
        while (!taken && !deadline.hasExpired()) {
            co_await inst.MonitorPass();
            const WeightReading& r = inst.monitor.LastReading();
            if (inst.monitor.ReadingCount() != before && r.hasWeight && r.stable && r.view == 2) {
                taken = r;
            }
        }
        if (!taken) {
            io.Fail(Word("NoStable", language).arg(v.stableTimeoutS).arg(i + 1));
            co_return Trouble;
        }
        Reading reading;
        reading.taken = true;
        reading.indication = taken->number.toDouble();
        rec.readings << reading;
        const StepResult r = Judge(s, rec.plan, rec.readings).steps[i];
        if (!o.verify.json) {
            io.Out(QStringLiteral("%1 %2 %3: I %4, E %5 (%6 e), %7 %8: %9")
                       .arg(i + 1, 3)
                       .arg(StepName(step, language), load, s.Format(reading.indication),
                            SignedText(r.error, s.decimals + 1), SignedText(r.errorInE, 2),
                            Word("HeadMpe", language), QString::number(r.mpe, 'f', s.decimals + 1),
                            Word(r.pass ? "Pass" : "Fail", language)));
        }
    }
    rec.date = QDate::currentDate();
    const Outcome out = Judge(s, rec.plan, rec.readings);
    if (v.json) {
        io.Out(QString::fromUtf8(QJsonDocument(CertificateJson(rec)).toJson(QJsonDocument::Compact)));
    } else {
        QList<ReportLine> lines = CertificateLines(rec, language);
        lines.removeIf([](const ReportLine& l) { return l.figureLines > 0; });
        io.Raw(QStringLiteral("\n") + ReportText(lines));
    }
    if (const QString failed = v.csv.isEmpty() ? QString()
                                               : clifiles::WriteWhole(io, v.csv, CertificateCsv(rec).toUtf8());
        !failed.isEmpty()) {
        io.Fail(failed);
        co_return Trouble;
    }
    if (!v.pdf.isEmpty()) {
        const ReportOutcome saved = SaveCertificatePdf(rec, v.pdf, language);
        if (!saved.ok) {
            io.Fail(QStringLiteral("%1: %2").arg(v.pdf, saved.reason));
            co_return Trouble;
        }
    }
    co_return out.verdict == Verdict::Pass ? ExitOk : out.verdict == Verdict::Fail ? ExitFailed : Trouble;
}
