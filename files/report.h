#pragma once

// The configuration report: everything the main setup screen shows, as lines of text runs. A run is a
// text at a column (counted in characters of the body font, the first column being 1), bold or not.
// The report is built once and then handed to an output: a printer, a PDF file (reportrender.h), or
// plain text.
//
// The report prints the fields as they are displayed: a text field's text with its blanks, a list's
// selected entry in the language of the screen, the captions of the screen in that language.

#include "parameterset.h"

#include <QList>
#include <QString>

struct ReportRun {
    int column = 1;
    QString text;
    bool bold = false;
};

struct ReportLine {
    // The title (and the empty lines before it) are printed at 12 points, the rest at 10.
    static constexpr int TitlePoints = 12;
    static constexpr int BodyPoints = 10;

    int points = BodyPoints;
    QList<ReportRun> runs; // none: an empty line
    // More than 0: the line keeps room for a figure of that many body lines, which the output's figure
    // painter draws (the certificate's plot).
    int figureLines = 0;
};

// What the report takes from the upper band and the weight constants tab of the screen besides the
// fields of the configuration: the address shown, the state of the inputs, the software version, the
// signal and the internal counts.
struct ReportScreen {
    QString IndStr;
    QString Ingresso1;
    QString Ingresso2;
    QString Versione;
    QString MilliV;
    QString Punti;
};

// The column of labels and headings, and the width label, dots, blank and value fill together.
inline constexpr int ReportLabelColumn = 7;
inline constexpr int ReportLineWidth = 80;
// Every value ends in this column (unless label and value together are too long for it).
inline constexpr int ReportValueEndColumn = ReportLabelColumn + ReportLineWidth - 1;

// How a caption becomes the label of a parameter line.
enum class LabelRule {
    Full,      // the whole caption
    Cut,       // up to its first "("
    CutTenths, // up to its first "(", then "(in 1/10 sec)"
    Special,   // Label36 and Label63, see ReportLabel
};

// The part of `text` before the first occurrence of `delimiter` (exact, case-sensitive), or the whole
// text when the delimiter does not occur or the text is empty.
QString TextBefore(const QString& text, const QString& delimiter);

// The label a caption prints with under `rule`. Special: for Label36 in Italian the cut caption and
// " (in 1/100 sec)", in English the caption up to its first ")" and " in 1/100 sec)"; for Label63 the
// caption up to its first ")" and ")".
QString ReportLabel(const QString& caption, LabelRule rule, const char* labelControl, int languageIndex);

// The caption the screen shows on `control` in the language and for the instrument model (Label36 has
// a text of its own for the second model).
QString ReportCaption(const char* control, int languageIndex, int model);

// The label the report prints beside `field` (Full, Cut or Special as its line has it); for the fields
// of the relay outputs, which share their labels, followed by the output ("   Out 1"). Empty for a field
// the report has no line for.
QString ReportFieldLabel(Field field, int languageIndex, int model);

// One parameter line: label at column 7, dots up to the blank before the value, the value in bold.
// Label and value together longer than 79 characters get no dots at all.
ReportLine ParameterLine(const QString& label, const QString& value);
// A heading: the text in bold at column 7.
ReportLine HeadingLine(const QString& text);

// Today in the system's short date format.
QString ReportDate();

// The whole report of the configuration in `set` (its instrument model decides what is left out),
// in the language of `languageIndex`, with the notes on the date line. Unless offline editing is on,
// the rows of a group the instrument did not give print "not read", and a line under the date names
// those groups.
QList<ReportLine> BuildReport(const ParameterSet& set, int languageIndex, const ReportScreen& screen,
                              const QString& notes, const QString& date = ReportDate());

// The lines as plain text: each run at its column, blanks before it, lines ended by "\n".
QString ReportText(const QList<ReportLine>& lines);
