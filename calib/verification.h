#pragma once

// Verification of a weighing instrument with test weights, as a service technician runs it after a
// calibration: the plan of loads, the maximum permissible errors of the accuracy class, the error of
// each reading and the verdict. QtCore only: the verification window and `quartel-cli verify` share it.
//
// Every figure (maximum permissible errors, minimum capacity, the range of n) stands in one table in
// verification.cpp, with its source.

#include <QList>
#include <QString>

#include <optional>

namespace verify {

enum class AccuracyClass { I, II, III, IIII };
enum class Inspection { Initial, InService };
// The instrument knows no unit: the technician chooses it.
enum class WeightUnit { Gram, Kilogram, Tonne };

double GramsPerUnit(WeightUnit unit);
QString UnitSymbol(WeightUnit unit); // "g", "kg", "t"
std::optional<WeightUnit> UnitFromSymbol(const QString& symbol);
QString ClassName(AccuracyClass accuracy); // "I", "II", "III", "IIII"
std::optional<AccuracyClass> ClassFromName(const QString& name);

// The maximum permissible error, in e, for a load of `loadInE` (0 or more) e.
double MpeInE(AccuracyClass accuracy, Inspection inspection, double loadInE);
// The loads, in e, where the maximum permissible error of the class changes (within its table).
QList<double> ChangePointsInE(AccuracyClass accuracy);
// The minimum capacity, in e, for a verification scale interval of `eGrams`.
double MinInE(AccuracyClass accuracy, double eGrams);

// The range of n = Max / e the class admits for its e: `high` 0 means no upper bound. `known` is false
// when e lies below every band of the class (the nearest band is given then).
struct NRange {
    double low = 0;
    double high = 0;
    bool known = true;
};
NRange NRangeOf(AccuracyClass accuracy, double eGrams);

// The scale under test.
struct Scale {
    AccuracyClass accuracy = AccuracyClass::III;
    Inspection inspection = Inspection::Initial;
    WeightUnit unit = WeightUnit::Kilogram;
    double e = 1;     // verification scale interval = the display division, in `unit`
    double max = 0;   // Max, in `unit`
    int decimals = 0; // of the indication

    double n() const { return e > 0 ? max / e : 0; }
    double EGrams() const { return e * GramsPerUnit(unit); }
    // True when n lies outside the class's range (a warning, not a refusal).
    bool NOutOfRange() const;
    // A load as the instrument shows it: "500.00".
    QString Format(double value) const;
};

enum class TestKind { Weighing, Eccentricity, Repeatability };

// One step of the plan: the load to place and, for eccentricity, where: 0 the centre, 1..4 the
// four positions over the points of support.
struct Step {
    TestKind kind = TestKind::Weighing;
    double load = 0;
    int position = 0;

    bool operator==(const Step&) const = default;
};

// The usual plan: weighing with increasing loads (zero, Min, the change points of the maximum
// permissible error that lie between Min and Max, 25, 50, 75 and 100 % of Max), then the same loads
// decreasing back to zero; eccentricity at about Max / 3 at the centre and the four positions;
// repeatability, three weighings near 50 % of Max and three at Max. Loads are whole multiples of e.
QList<Step> MakePlan(const Scale& scale);

// A plan as lines of text, the plan file of `quartel-cli verify` and of the window's table:
//   weighing,LOAD    eccentricity,LOAD,POSITION    repeatability,LOAD
// Empty lines and lines starting with "#" are skipped. Nothing, with `error` set to the number of the
// line (1-based) that is not a step, otherwise.
std::optional<QList<Step>> ParsePlan(const QString& text, int* errorLine = nullptr);
QString FormatPlan(const QList<Step>& plan, const Scale& scale);
QString KindWord(TestKind kind); // "weighing", "eccentricity", "repeatability"

// What the technician read for a step.
struct Reading {
    bool taken = false;
    double indication = 0;        // the gross weight shown, in the unit
    std::optional<double> deltaL; // the extra load that made the indication change to the next step
};

struct StepResult {
    bool judged = false;     // read
    bool decreasing = false; // a weighing after a heavier one
    double error = 0;        // in the unit: I - L, or with ΔL E = I + e/2 - ΔL - L, corrected by E0
    double errorInE = 0;
    double mpe = 0;         // in the unit
    bool corrected = false; // Ec = E - E0
    bool pass = false;
};

// The three weighings of one load of the repeatability test.
struct SeriesResult {
    double load = 0;
    QList<int> steps; // indexes into the plan
    bool complete = false;
    double spread = 0; // highest minus lowest result, in the unit
    double mpe = 0;
    bool pass = false;
};

enum class Verdict { Incomplete, Pass, Fail };

struct Outcome {
    QList<StepResult> steps;
    QList<SeriesResult> series;
    Verdict verdict = Verdict::Incomplete;
    QList<int> failed; // indexes of the failed steps (a failed repeatability series fails its steps)
};

// Judges every step read. A step passes when its error lies within ± its MPE, the limit included; the
// repeatability series passes when its spread is within the MPE of its load. The verdict is Fail as
// soon as one step failed, Pass once every step was read and passed, Incomplete otherwise.
Outcome Judge(const Scale& scale, const QList<Step>& plan, const QList<Reading>& readings);

} // namespace verify
