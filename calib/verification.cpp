#include "verification.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <span>

namespace verify {

namespace {

// --- The figures -----------------------------------------------------------------------------------
// Source: OIML R 76-1 (2006), Non-automatic weighing instruments, Part 1: Metrological and technical
// requirements. Table 3 (classification: e, n = Max / e, minimum capacity Min) and Table 6 (maximum
// permissible errors on initial verification, 3.5.1); 3.5.2: the errors in service are twice those.

// Table 6: the MPE is 0.5 e up to `upTo[0]` e, 1.0 e up to `upTo[1]` e, 1.5 e above (the table's last
// bound, `upTo[2]`, is the largest n of the class; beyond it 1.5 e still applies).
struct MpeRow {
    AccuracyClass accuracy;
    double upTo[3];
};
constexpr MpeRow MpeTable[] = {
    {AccuracyClass::I, {50000, 200000, 0}},
    {AccuracyClass::II, {5000, 20000, 100000}},
    {AccuracyClass::III, {500, 2000, 10000}},
    {AccuracyClass::IIII, {50, 200, 1000}},
};
constexpr double MpeSteps[] = {0.5, 1.0, 1.5};
// 3.5.2: in service, twice the MPE on initial verification.
constexpr double InServiceFactor = 2.0;

// Table 3: for each class, the bands of e (from `eFromGrams` up to the next band of the class), the
// minimum capacity in e and the range of n (`nHigh` 0: no upper bound).
struct Band {
    AccuracyClass accuracy;
    double eFromGrams;
    double minInE;
    double nLow;
    double nHigh;
};
constexpr Band BandTable[] = {
    {AccuracyClass::I, 0.001, 100, 50000, 0},   {AccuracyClass::II, 0.001, 20, 100, 100000},
    {AccuracyClass::II, 0.1, 50, 5000, 100000}, {AccuracyClass::III, 0.1, 20, 100, 10000},
    {AccuracyClass::III, 5, 20, 500, 10000},    {AccuracyClass::IIII, 5, 10, 100, 1000},
};

// --- End of the figures ----------------------------------------------------------------------------

// Loads and errors are compared in e with this much room for the binary fractions of decimal weights.
constexpr double Slack = 1e-6;

const MpeRow& RowOf(AccuracyClass accuracy) {
    for (const MpeRow& row : MpeTable) {
        if (row.accuracy == accuracy) {
            return row;
        }
    }
    return MpeTable[2];
}

// The band of the class for e: the last whose e starts at or below it; the first when e lies below all.
const Band& BandOf(AccuracyClass accuracy, double eGrams, bool* known = nullptr) {
    const Band* found = nullptr;
    const Band* first = nullptr;
    for (const Band& band : BandTable) {
        if (band.accuracy != accuracy) {
            continue;
        }
        if (!first) {
            first = &band;
        }
        if (eGrams >= band.eFromGrams * (1 - Slack)) {
            found = &band;
        }
    }
    if (known) {
        *known = found != nullptr;
    }
    return found ? *found : *first;
}

double RoundToE(double value, double e) {
    return std::round(value / e) * e;
}

} // namespace

double GramsPerUnit(WeightUnit unit) {
    switch (unit) {
    case WeightUnit::Gram:
        return 1;
    case WeightUnit::Kilogram:
        return 1000;
    case WeightUnit::Tonne:
        return 1e6;
    }
    return 1000;
}

QString UnitSymbol(WeightUnit unit) {
    switch (unit) {
    case WeightUnit::Gram:
        return QStringLiteral("g");
    case WeightUnit::Kilogram:
        return QStringLiteral("kg");
    case WeightUnit::Tonne:
        return QStringLiteral("t");
    }
    return {};
}

std::optional<WeightUnit> UnitFromSymbol(const QString& symbol) {
    for (WeightUnit u : {WeightUnit::Gram, WeightUnit::Kilogram, WeightUnit::Tonne}) {
        if (symbol == UnitSymbol(u)) {
            return u;
        }
    }
    return std::nullopt;
}

QString ClassName(AccuracyClass accuracy) {
    switch (accuracy) {
    case AccuracyClass::I:
        return QStringLiteral("I");
    case AccuracyClass::II:
        return QStringLiteral("II");
    case AccuracyClass::III:
        return QStringLiteral("III");
    case AccuracyClass::IIII:
        return QStringLiteral("IIII");
    }
    return {};
}

std::optional<AccuracyClass> ClassFromName(const QString& name) {
    for (AccuracyClass c : {AccuracyClass::I, AccuracyClass::II, AccuracyClass::III, AccuracyClass::IIII}) {
        if (name.compare(ClassName(c), Qt::CaseInsensitive) == 0) {
            return c;
        }
    }
    return std::nullopt;
}

double MpeInE(AccuracyClass accuracy, Inspection inspection, double loadInE) {
    const MpeRow& row = RowOf(accuracy);
    double mpe = MpeSteps[2];
    for (int i = 0; i < 2; ++i) {
        if (std::abs(loadInE) <= row.upTo[i] * (1 + Slack)) {
            mpe = MpeSteps[i];
            break;
        }
    }
    return inspection == Inspection::InService ? mpe * InServiceFactor : mpe;
}

QList<double> ChangePointsInE(AccuracyClass accuracy) {
    const MpeRow& row = RowOf(accuracy);
    return {row.upTo[0], row.upTo[1]};
}

double MinInE(AccuracyClass accuracy, double eGrams) {
    return BandOf(accuracy, eGrams).minInE;
}

NRange NRangeOf(AccuracyClass accuracy, double eGrams) {
    bool known = false;
    const Band& band = BandOf(accuracy, eGrams, &known);
    return {band.nLow, band.nHigh, known};
}

bool Scale::NOutOfRange() const {
    const NRange range = NRangeOf(accuracy, EGrams());
    const double value = n();
    return !range.known || value < range.low * (1 - Slack) ||
           (range.high > 0 && value > range.high * (1 + Slack));
}

QString Scale::Format(double value) const {
    return QString::number(value, 'f', decimals);
}

QList<Step> MakePlan(const Scale& scale) {
    QList<Step> plan;
    if (scale.e <= 0 || scale.max < scale.e) {
        return plan;
    }
    const double e = scale.e;
    const double min = MinInE(scale.accuracy, scale.EGrams()) * e;
    QList<double> loads{0, std::min(min, scale.max)};
    for (double point : ChangePointsInE(scale.accuracy)) {
        if (point * e > min * (1 + Slack) && point * e < scale.max * (1 - Slack)) {
            loads << point * e;
        }
    }
    for (double share : {0.25, 0.5, 0.75, 1.0}) {
        loads << RoundToE(scale.max * share, e);
    }
    std::sort(loads.begin(), loads.end());
    loads.erase(std::unique(loads.begin(), loads.end(),
                            [e](double a, double b) { return std::abs(a - b) < e * Slack; }),
                loads.end());
    for (double load : loads) {
        plan << Step{TestKind::Weighing, load, 0};
    }
    for (qsizetype i = loads.size() - 2; i >= 0; --i) {
        plan << Step{TestKind::Weighing, loads[i], 0};
    }
    const double third = RoundToE(scale.max / 3, e);
    for (int position = 0; position <= 4; ++position) {
        plan << Step{TestKind::Eccentricity, third, position};
    }
    for (double load : {RoundToE(scale.max / 2, e), RoundToE(scale.max, e)}) {
        for (int i = 0; i < 3; ++i) {
            plan << Step{TestKind::Repeatability, load, 0};
        }
    }
    return plan;
}

QString KindWord(TestKind kind) {
    switch (kind) {
    case TestKind::Weighing:
        return QStringLiteral("weighing");
    case TestKind::Eccentricity:
        return QStringLiteral("eccentricity");
    case TestKind::Repeatability:
        return QStringLiteral("repeatability");
    }
    return {};
}

std::optional<QList<Step>> ParsePlan(const QString& text, int* errorLine) {
    QList<Step> plan;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const QStringList cells = line.split(QLatin1Char(','));
        Step step;
        bool kindOk = false;
        for (TestKind kind : {TestKind::Weighing, TestKind::Eccentricity, TestKind::Repeatability}) {
            if (cells[0].trimmed() == KindWord(kind)) {
                step.kind = kind;
                kindOk = true;
            }
        }
        bool loadOk = false;
        step.load = cells.value(1).trimmed().toDouble(&loadOk);
        const int cellCount = step.kind == TestKind::Eccentricity ? 3 : 2;
        bool positionOk = true;
        if (step.kind == TestKind::Eccentricity) {
            step.position = cells.value(2).trimmed().toInt(&positionOk);
            positionOk = positionOk && step.position >= 0 && step.position <= 4;
        }
        if (!kindOk || !loadOk || step.load < 0 || !positionOk || cells.size() != cellCount) {
            if (errorLine) {
                *errorLine = int(i) + 1;
            }
            return std::nullopt;
        }
        plan << step;
    }
    return plan;
}

QString FormatPlan(const QList<Step>& plan, const Scale& scale) {
    QString text;
    for (const Step& step : plan) {
        text += KindWord(step.kind) + QLatin1Char(',') + scale.Format(step.load);
        if (step.kind == TestKind::Eccentricity) {
            text += QLatin1Char(',') + QString::number(step.position);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

Outcome Judge(const Scale& scale, const QList<Step>& plan, const QList<Reading>& readings) {
    Outcome out;
    const double e = scale.e;
    // The error found at zero, which corrects the errors worked out with ΔL.
    std::optional<double> e0;
    qsizetype zeroStep = -1;
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const Reading r = readings.value(i);
        if (plan[i].kind == TestKind::Weighing && std::abs(plan[i].load) < e * Slack && r.taken) {
            zeroStep = i;
            if (r.deltaL) {
                e0 = r.indication + e / 2 - *r.deltaL;
            }
            break;
        }
    }
    double heaviest = -1;
    bool allRead = true;
    for (qsizetype i = 0; i < plan.size(); ++i) {
        const Step& step = plan[i];
        const Reading r = readings.value(i);
        StepResult res;
        if (step.kind == TestKind::Weighing) {
            res.decreasing = step.load < heaviest - e * Slack;
            heaviest = std::max(heaviest, step.load);
        }
        res.mpe = MpeInE(scale.accuracy, scale.inspection, step.load / e) * e;
        if (r.taken) {
            res.judged = true;
            if (r.deltaL) {
                res.error = r.indication + e / 2 - *r.deltaL - step.load;
                if (e0 && i != zeroStep) {
                    res.error -= *e0;
                    res.corrected = true;
                }
            } else {
                res.error = r.indication - step.load;
            }
            res.errorInE = res.error / e;
            res.pass = std::abs(res.errorInE) <= res.mpe / e + Slack;
            if (!res.pass) {
                out.failed << int(i);
            }
        } else {
            allRead = false;
        }
        out.steps << res;
    }
    for (qsizetype i = 0; i < plan.size(); ++i) {
        if (plan[i].kind != TestKind::Repeatability) {
            continue;
        }
        auto same = std::find_if(out.series.begin(), out.series.end(), [&](const SeriesResult& s) {
            return std::abs(s.load - plan[i].load) < e * Slack;
        });
        if (same == out.series.end()) {
            out.series << SeriesResult{plan[i].load, {}, false, 0, out.steps[i].mpe, false};
            same = out.series.end() - 1;
        }
        same->steps << int(i);
    }
    for (SeriesResult& s : out.series) {
        s.complete = std::all_of(s.steps.begin(), s.steps.end(), [&](int i) { return out.steps[i].judged; });
        if (!s.complete) {
            continue;
        }
        double low = out.steps[s.steps[0]].error;
        double high = low;
        for (int i : s.steps) {
            low = std::min(low, out.steps[i].error);
            high = std::max(high, out.steps[i].error);
        }
        s.spread = high - low;
        s.pass = s.spread / e <= s.mpe / e + Slack;
        if (!s.pass) {
            for (int i : s.steps) {
                if (!out.failed.contains(i)) {
                    out.failed << i;
                }
            }
        }
    }
    std::sort(out.failed.begin(), out.failed.end());
    out.verdict = !out.failed.isEmpty() ? Verdict::Fail : allRead ? Verdict::Pass : Verdict::Incomplete;
    return out;
}

} // namespace verify
