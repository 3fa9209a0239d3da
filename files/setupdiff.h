#pragma once

// Comparing two configurations line by line: a setup file against another, or what an instrument holds
// against a setup file. The screens' compare window and `quartel-cli diff` both use this.
//
// Each side is the 39 values of a setup file (an instrument's values as saving them would write them).
// Values are compared as the instrument would hold them once loaded: a text field by the register
// words its group's writer sends (weights with the division of the same side's division line, so that
// "1.50" and " 1.5" are the same and a rounding the instrument does not keep is no difference); a list
// by the entry the load selects (a value the load leaves alone differs from every entry). A VXB has no
// set points, operating mode, relay outputs, zero band, Com2 or analog output: those lines are not
// compared for it.

#include "parameterset.h"
#include "report.h"
#include "setupfile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace setupdiff {

struct Difference {
    int line = 0; // 1..39
    Field field = Field::Capac;
    int tab = 0;     // the tab of the main setup screen holding the field; -1: the set points
    QString caption; // the report's label of the field, trimmed, in the language
    QString first;   // each side's value as the screen shows it (a list's entry in the language)
    QString second;
};

struct Comparison {
    int model = 1;
    QList<Difference> differences; // in line order, which is grouped by tab
    QList<int> notCompared;        // lines the model does not have (VXB)
};

// Whether the line holds a parameter the model has.
bool Compared(const setupfile::LineDef& line, int model);
// The 39 values of a configuration as saving it writes them.
QStringList ValuesOf(const ParameterSet& set, int model);
// The two sides, 39 values each.
Comparison Compare(const QStringList& first, const QStringList& second, int model, int languageIndex);

// The model a setup file belongs to by its model file: 1 when there is none; nothing when the model
// file names no model (empty, text, unreadable).
std::optional<int> ModelOfFile(const QString& setupPath);

// A setup file read with the load's rules for an instrument of `model`: the 39 values, or the message
// the load shows when it refuses the file.
struct FileSide {
    bool ok = false;
    QString error;
    QStringList values;
};
FileSide ReadSide(const QString& path, int model, int languageIndex);
// Two setup files: the model of the first (by its model file), both read with the load's rules for it.
// Nothing, with the reason in `error`, when either is refused, a model file names no model, or the
// two are of different models.
std::optional<Comparison> CompareFiles(const QString& first, const QString& second, int languageIndex,
                                       QString* error = nullptr);

// The heading of a tab's differences: the tab's caption, or the set points' heading for -1.
QString TabHeading(int tab, int languageIndex);
// One text line for a difference: "caption: first | second".
QString DifferenceLine(const Difference& difference);
// The text lines of a comparison: the VXB note, each difference, the count (or "no differences").
QStringList TextLines(const Comparison& comparison, int languageIndex);
// The comparison as one line of JSON: the names of the two sides, the model, the differences, the count,
// the lines not compared.
QByteArray Json(const Comparison& comparison, const QString& firstName, const QString& secondName);
// The comparison as a printable list: title, the two sides' names, one section per tab, the count.
QList<ReportLine> ReportOf(const Comparison& comparison, int languageIndex, const QString& firstName,
                           const QString& secondName);

} // namespace setupdiff
