#include "setupdiff.h"

#include "frame.h"
#include "texts_compare.h"
#include "texts_form1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace setupdiff {

using namespace setupfile;

namespace {

QString Say(const char* key, int languageIndex) {
    return TextOf(texts::Compare(), QString::fromLatin1(key), languageIndex);
}

// What the instrument holds once the value is loaded: the register words a text field's writer sends (for
// a weight, the weight those words stand for under the side's division), the register value of the entry a
// list takes, or for a list the load leaves alone the value itself.
QByteArray Held(const LineDef& line, const QString& value, int model, const Modulo1& division) {
    const ParameterDef& p = Parameter(line.field);
    if (p.encoding == Encoding::Weight) {
        // The weight the instrument shows back: the same weight under another division is the same.
        const QByteArray word = EncodeText(p.encoding, value, division).value(0);
        const QString shown = DecodeText(p.encoding, uint16_t(word.toUInt(nullptr, 16)), 0, division);
        return QByteArray::number(ReadNumber(shown), 'g', 17);
    }
    if (p.kind == FieldKind::Text) {
        return EncodeText(p.encoding, value, division).join(' ');
    }
    const std::optional<int> index = LoadedIndex(line, value, model);
    if (!index) {
        return "left as it is: " + value.trimmed().toUtf8();
    }
    return Hex4(RegisterFromListIndex(line.field, *index, model));
}

// The division of a side, from its division line, for the encoding of its weights.
Modulo1 DivisionOf(const QStringList& values, int model) {
    Modulo1 m;
    m.DeviceAddress = 1;
    m.InstrumentModel = uint8_t(model);
    // A division line the load would leave alone: no division known, so a weight divides by nothing.
    const DivisionInfo division = FileDivision(values, model);
    m.CurrentStep() = division.step;
    m.CurrentDecimals() = division.decimals;
    return m;
}

// The value as the screen shows it, or that the instrument cannot hold it.
QString Shown(const LineDef& line, const QString& value, int model, int languageIndex,
              const Modulo1& division) {
    if (!LineHeld(line, value, {division.CurrentStep(), division.CurrentDecimals()})) {
        return Say("NotHeld", languageIndex);
    }
    if (Parameter(line.field).kind == FieldKind::Text) {
        return value.trimmed();
    }
    const std::optional<int> index = LoadedIndex(line, value, model);
    if (!index) {
        return value.trimmed();
    }
    return ListItems(line.field, LanguageFromIndex(languageIndex), model).value(*index);
}

} // namespace

bool Compared(const LineDef& line, int model) {
    const ParameterDef& p = Parameter(line.field);
    return model != 2 || (Group(p.group).model2 && !p.hiddenModel2);
}

QStringList ValuesOf(const ParameterSet& set, int model) {
    QStringList values;
    for (const LineDef& line : Lines()) {
        values << ValueText(set, line, model);
    }
    return values;
}

Comparison Compare(const QStringList& first, const QStringList& second, int model, int languageIndex) {
    Comparison result;
    result.model = model;
    const Modulo1 firstDivision = DivisionOf(first, model);
    const Modulo1 secondDivision = DivisionOf(second, model);
    for (const LineDef& line : Lines()) {
        if (!Compared(line, model)) {
            result.notCompared << line.line;
            continue;
        }
        const QString a = first.value(line.line - 1);
        const QString b = second.value(line.line - 1);
        // A value that cannot be held is never the same as another: it is reported, not compared.
        const bool held = LineHeld(line, a, {firstDivision.CurrentStep(), firstDivision.CurrentDecimals()}) &&
                          LineHeld(line, b, {secondDivision.CurrentStep(), secondDivision.CurrentDecimals()});
        if (held && Held(line, a, model, firstDivision) == Held(line, b, model, secondDivision)) {
            continue;
        }
        Difference d;
        d.line = line.line;
        d.field = line.field;
        d.tab = Group(Parameter(line.field).group).tab;
        d.caption = ReportFieldLabel(line.field, languageIndex, model).simplified();
        d.first = Shown(line, a, model, languageIndex, firstDivision);
        d.second = Shown(line, b, model, languageIndex, secondDivision);
        result.differences << d;
    }
    return result;
}

std::optional<int> ModelOfFile(const QString& setupPath) {
    const QString modelPath = ModelFileName(setupPath);
    if (!QFileInfo::exists(modelPath)) {
        return 1;
    }
    QFile file(modelPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const std::optional<int> model = ParseModelFile(file.read(MaxFileBytes + 1));
    if (model != 1 && model != 2) {
        return std::nullopt;
    }
    return model;
}

FileSide ReadSide(const QString& path, int model, int languageIndex) {
    FileSide side;
    const SetupFiles::FileCheck check = SetupFiles::CheckFile(path, model, languageIndex, true);
    // A line the instrument cannot hold is told in the comparison, not refused.
    if (check.outcome != SetupFiles::LoadOutcome::Loaded && check.unheldLine == 0) {
        side.error = check.text;
        return side;
    }
    side.ok = true;
    side.values = check.parsed.values;
    return side;
}

std::optional<Comparison> CompareFiles(const QString& first, const QString& second, int languageIndex,
                                       QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<Comparison> {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    const std::optional<int> model = ModelOfFile(first);
    if (!model) {
        return fail(Say("NoModel", languageIndex).arg(QDir::toNativeSeparators(ModelFileName(first))));
    }
    const FileSide a = ReadSide(first, *model, languageIndex);
    if (!a.ok) {
        return fail(a.error);
    }
    const std::optional<int> secondModel = ModelOfFile(second);
    if (!secondModel) {
        return fail(Say("NoModel", languageIndex).arg(QDir::toNativeSeparators(ModelFileName(second))));
    }
    if (*secondModel != *model) {
        return fail(Say("ModelsDiffer", languageIndex)
                        .arg(QDir::toNativeSeparators(first), QDir::toNativeSeparators(second)));
    }
    const FileSide b = ReadSide(second, *model, languageIndex);
    if (!b.ok) {
        return fail(b.error);
    }
    return Compare(a.values, b.values, *model, languageIndex);
}

QString TabHeading(int tab, int languageIndex) {
    if (tab < 0) {
        return Say("SetPoints", languageIndex);
    }
    return TextOf(texts::MainScreen(), QStringLiteral("SSTab1(%1)").arg(tab), languageIndex);
}

QString DifferenceLine(const Difference& difference) {
    return difference.caption + QStringLiteral(": ") + difference.first + QStringLiteral(" | ") +
           difference.second;
}

namespace {
QString CountLine(const Comparison& comparison, int languageIndex) {
    return comparison.differences.isEmpty() ? Say("Same", languageIndex)
                                            : Say("Count", languageIndex).arg(comparison.differences.size());
}
} // namespace

QStringList TextLines(const Comparison& comparison, int languageIndex) {
    QStringList lines;
    if (!comparison.notCompared.isEmpty()) {
        lines << Say("Model2", languageIndex);
    }
    for (const Difference& d : comparison.differences) {
        lines << DifferenceLine(d);
    }
    lines << CountLine(comparison, languageIndex);
    return lines;
}

QByteArray Json(const Comparison& comparison, const QString& firstName, const QString& secondName) {
    QJsonArray differences;
    for (const Difference& d : comparison.differences) {
        differences.append(QJsonObject{{QStringLiteral("line"), d.line},
                                       {QStringLiteral("field"), ControlName(d.field)},
                                       {QStringLiteral("tab"), d.tab},
                                       {QStringLiteral("caption"), d.caption},
                                       {QStringLiteral("first"), d.first},
                                       {QStringLiteral("second"), d.second}});
    }
    QJsonArray notCompared;
    for (const int line : comparison.notCompared) {
        notCompared.append(line);
    }
    const QJsonObject object{
        {QStringLiteral("first"), firstName},
        {QStringLiteral("second"), secondName},
        {QStringLiteral("model"), comparison.model == 2 ? QStringLiteral("VXB") : QStringLiteral("VXA")},
        {QStringLiteral("differences"), differences},
        {QStringLiteral("count"), int(comparison.differences.size())},
        {QStringLiteral("notCompared"), notCompared}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QList<ReportLine> ReportOf(const Comparison& comparison, int languageIndex, const QString& firstName,
                           const QString& secondName) {
    // Caption, then each side's value in a column of its own.
    constexpr int FirstColumn = 58;
    constexpr int SecondColumn = 74;
    constexpr int CaptionWidth = FirstColumn - ReportLabelColumn - 1;
    const auto row = [&](const QString& caption, const QString& a, const QString& b, bool bold) {
        ReportLine line;
        line.runs << ReportRun{ReportLabelColumn, caption.left(CaptionWidth), bold}
                  << ReportRun{FirstColumn, a, true} << ReportRun{SecondColumn, b, true};
        return line;
    };
    QList<ReportLine> lines;
    lines << ReportLine{ReportLine::TitlePoints,
                        {ReportRun{ReportLabelColumn, Say("Title", languageIndex), true}}};
    lines << ReportLine{}
          << ReportLine{ReportLine::BodyPoints, {ReportRun{ReportLabelColumn, ReportDate(), false}}};
    lines << ReportLine{} << row(Say("Parameter", languageIndex), firstName, secondName, true);
    if (!comparison.notCompared.isEmpty()) {
        lines << ReportLine{ReportLine::BodyPoints,
                            {ReportRun{ReportLabelColumn, Say("Model2", languageIndex), false}}};
    }
    int tab = -2;
    for (const Difference& d : comparison.differences) {
        if (d.tab != tab) {
            tab = d.tab;
            lines << ReportLine{} << HeadingLine(TabHeading(tab, languageIndex));
        }
        lines << row(d.caption, d.first, d.second, false);
    }
    lines << ReportLine{} << HeadingLine(CountLine(comparison, languageIndex));
    return lines;
}

} // namespace setupdiff
