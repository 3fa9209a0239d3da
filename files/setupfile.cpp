#include "setupfile.h"

#include "frame.h"
#include "rules.h"
#include "texts_files.h"
#include "texts_form1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>
#include <cmath>
#include <limits>

namespace setupfile {

namespace {

using G = GroupId;
constexpr const char* Eq = " = ";
constexpr const char* Out1 = " Out 1 = ";
constexpr const char* Out2 = " Out 2 = ";

constexpr LineDef LineTable[] = {
    {1, Field::Set1, "Label5", Eq, {}, {}},
    {2, Field::Set2, "Label6", Eq, {}, {}},
    {3, Field::Capac, "Label3", Eq, {}, {}},
    {4, Field::Sensib, "Label11", Eq, {}, {}},
    {5, Field::Teonet, "Label12", Eq, {}, {}},
    {6, Field::Teotara, "Label13", Eq, G::WeightConstants, {}},
    {7, Field::OpMode, "Label56", Eq, G::OperatingMode, {}},
    {8, Field::ValDiv, "Label14", Eq, G::Division, G::SetPoints},
    {9, Field::Filtro, "Label20", Eq, {}, {}},
    {10, Field::Stabilita, "Label21", Eq, {}, {}},
    {11, Field::Autozero, "Label22", Eq, {}, {}},
    {12, Field::Inseguimento, "Label23", Eq, {}, {}},
    {13, Field::ZeroBand, "Label66", Eq, G::WeightParameters, {}},
    {14, Field::NeLor1, "Label25", Out1, {}, {}},
    {15, Field::ApCh1, "Label31", Out1, {}, {}},
    {16, Field::PoNe1, "Label43", Out1, {}, {}},
    {17, Field::NoSta1, "Label32", Out1, {}, {}},
    {18, Field::Iste1, "Label26", Out1, {}, {}},
    {19, Field::Disab1, "Label27", Out1, {}, {}},
    {20, Field::RiEcc1, "Label28", Out1, {}, {}},
    {21, Field::NeLor2, "Label25", Out2, {}, {}},
    {22, Field::ApCh2, "Label31", Out2, {}, {}},
    {23, Field::PoNe2, "Label43", Out2, {}, {}},
    {24, Field::NoSta2, "Label32", Out2, {}, {}},
    {25, Field::Iste2, "Label26", Out2, {}, {}},
    {26, Field::Disab2, "Label27", Out2, {}, {}},
    {27, Field::RiEcc2, "Label28", Out2, G::Outputs, {}},
    {28, Field::Baud, "Label33", Eq, {}, {}},
    {29, Field::ModSer, "Label34", Eq, {}, {}},
    {30, Field::Indir, "Label35", Eq, {}, {}},
    {31, Field::RiRis, "Label36", Eq, {}, {}},
    {32, Field::DatiCom1, "Label62", Eq, {}, {}},
    {33, Field::ProtoCom2, "Label63", Eq, {}, {}},
    {34, Field::AddrCom2, "Label64", Eq, {}, {}},
    {35, Field::BRCom2, "Label65", Eq, G::Serial, {}},
    {36, Field::FsAna, "Label37", Eq, {}, {}},
    {37, Field::TipoAna, "Label38", Eq, {}, {}},
    {38, Field::CampoAna, "Label39", Eq, {}, {}},
    {39, Field::RifZero, "Label59", Eq, G::Analog, {}},
};
static_assert(std::size(LineTable) == LineCount);

// Windows-1252 characters of the bytes 0x80..0x9F (0 where the code page has none: the byte stands
// for the control character of the same number, as Windows reads it).
constexpr std::array<char16_t, 32> High = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                           0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr int ModSerLine = 29;
constexpr int DivisionLine = 8;
// Model 2: the mode code of each ModSer index.
constexpr std::array<int, 2> Model2ModeCodes = {1, 5};

} // namespace

std::span<const LineDef> Lines() {
    return LineTable;
}

// --- Windows-1252 ---------------------------------------------------------------------------------

QByteArray EncodeCp1252(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(char(u));
            continue;
        }
        char byte = '?';
        for (size_t i = 0; i < High.size(); ++i) {
            if (High[i] == u || (High[i] == 0 && u == 0x80 + i)) {
                byte = char(0x80 + i);
                break;
            }
        }
        out.append(byte);
    }
    return out;
}

QString DecodeCp1252(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0 && High[b - 0x80] != 0) {
            out.append(QChar(High[b - 0x80]));
        } else {
            out.append(QChar(char16_t(b)));
        }
    }
    return out;
}

// --- Writing ----------------------------------------------------------------------------------------

QString KeyText(const LineDef& line, int languageIndex, int model) {
    // The serial tab's delay label speaks of MODBUS mode only on the second model.
    const bool model2Text = model == 2 && QLatin1StringView(line.keyControl) == QLatin1StringView("Label36");
    return TextOf(texts::MainScreen(), QString::fromLatin1(model2Text ? "Label36.model2" : line.keyControl),
                  languageIndex);
}

QString ValueText(const ParameterSet& set, const LineDef& line, int model) {
    if (Parameter(line.field).kind == FieldKind::Text) {
        return set.text(line.field);
    }
    const int index = set.index(line.field);
    if (line.line == ModSerLine && model == 2 && index >= 0 && index < int(Model2ModeCodes.size())) {
        return QString::number(Model2ModeCodes[size_t(index)]);
    }
    // Model 2 with nothing selected writes "-1", which loading leaves alone on that line.
    return QString::number(index);
}

QByteArray BuildSetupFile(const ParameterSet& set, int languageIndex, int model) {
    QString text;
    for (const LineDef& line : LineTable) {
        text += KeyText(line, languageIndex, model) + QLatin1String(line.separator) + QLatin1Char('\t') +
                ValueText(set, line, model) + QLatin1String("\r\n");
    }
    return EncodeCp1252(text);
}

QByteArray BuildModelFile(const QString& menuCaption, int model) {
    return EncodeCp1252(
        QString(menuCaption + QLatin1String(" = \t") + QString::number(model) + QLatin1String("\r\n")));
}

QString ModelFileName(const QString& setupFileName) {
    return setupFileName.chopped(qMin<qsizetype>(3, setupFileName.size())) + QLatin1String("typ");
}

// --- Reading ----------------------------------------------------------------------------------------

QString ValueOfLine(const QString& line) {
    const qsizetype tab = line.lastIndexOf(QLatin1Char('\t'));
    return tab < 0 ? line : line.mid(tab + 1);
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    QString current;
    bool open = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << current;
            current.clear();
            open = false;
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
                ++i;
            }
            continue;
        }
        current += c;
        open = true;
    }
    if (open) {
        lines << current;
    }
    return lines;
}

Parsed ParseSetupFile(QByteArrayView bytes) {
    Parsed parsed;
    if (bytes.size() > MaxFileBytes) {
        parsed.error = ParseError::TooLong;
        return parsed;
    }
    // No text file of this program holds a NUL byte; a file in UTF-16 has one in every other byte.
    if (bytes.contains('\0')) {
        parsed.error = ParseError::NotText;
        return parsed;
    }
    const QStringList lines = SplitLines(DecodeCp1252(bytes));
    parsed.lineCount = int(lines.size());
    if (lines.size() < LineCount) {
        parsed.error = ParseError::TooShort;
        return parsed;
    }
    for (int i = 0; i < LineCount; ++i) {
        const QString value = ValueOfLine(lines[i]);
        if (!IsLineNumber(LineTable[i], value)) {
            // One typo would otherwise be written as 0 into the instrument.
            parsed.error = ParseError::NotANumber;
            parsed.badLine = i + 1;
            parsed.badValue = value;
            parsed.values.clear();
            return parsed;
        }
        parsed.values << value;
    }
    return parsed;
}

bool IsNumberText(QStringView value) {
    int signs = 0;
    int points = 0;
    for (const QChar c : value) {
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            continue;
        }
        if (c == QLatin1Char(' ')) {
            continue;
        }
        if (c == QLatin1Char('-') || c == QLatin1Char('+')) {
            if (++signs > 1) {
                return false;
            }
            continue;
        }
        if (c == QLatin1Char('.')) {
            if (++points > 1) {
                return false;
            }
            continue;
        }
        return false;
    }
    return true;
}

bool IsLineNumber(const LineDef& line, QStringView value) {
    const ParameterDef& p = Parameter(line.field);
    return p.kind == FieldKind::Text ? IsFieldNumber(value, p.keys == KeyKind::Decimal) : IsNumberText(value);
}

DivisionInfo FileDivision(const QStringList& values, int model) {
    const LineDef& line = LineTable[size_t(DivisionLine - 1)];
    const std::optional<int> index = LoadedIndex(line, values.value(DivisionLine - 1), model);
    return DivisionFromCode(index && *index >= 0 ? int(RegisterFromListIndex(Field::ValDiv, *index, model))
                                                 : -1);
}

bool LineHeld(const LineDef& line, const QString& value, DivisionInfo division) {
    return Parameter(line.field).kind != FieldKind::Text || FitsRegister(line.field, value, division);
}

int UnheldLine(const QStringList& values, int model) {
    const DivisionInfo division = FileDivision(values, model);
    for (const LineDef& line : LineTable) {
        if (!LineHeld(line, values.value(line.line - 1), division)) {
            return line.line;
        }
    }
    return 0;
}

std::optional<int> ParseModelFile(QByteArrayView bytes) {
    const QStringList lines = SplitLines(DecodeCp1252(bytes));
    if (lines.isEmpty()) {
        return std::nullopt;
    }
    const QString value = ValueOfLine(lines.first());
    // A number needs a digit before anything but blanks, a sign or a point stops the reading.
    bool digit = false;
    for (const QChar c : value) {
        if (c.isDigit()) {
            digit = true;
            break;
        }
        if (c != QLatin1Char(' ') && c != QLatin1Char('-') && c != QLatin1Char('+') &&
            c != QLatin1Char('.')) {
            break;
        }
    }
    if (!digit) {
        return std::nullopt;
    }
    return ListValue(value);
}

std::optional<int> ListValue(const QString& value) {
    const double number = RoundHalfEven(ReadNumber(value));
    if (!std::isfinite(number) || number < double(std::numeric_limits<int>::min()) ||
        number > double(std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    return int(number);
}

void ApplyValue(ParameterSet& set, const LineDef& line, const QString& value, int model) {
    // The file supplies the group's values: its fields show them from now on.
    set.setKnown(Parameter(line.field).group, true);
    if (Parameter(line.field).kind == FieldKind::Text) {
        set.setText(line.field, value);
        return;
    }
    if (const std::optional<int> index = LoadedIndex(line, value, model)) {
        set.setIndex(line.field, *index);
    }
}

std::optional<int> LoadedIndex(const LineDef& line, const QString& value, int model) {
    const std::optional<int> number = ListValue(value);
    if (!number) {
        return std::nullopt;
    }
    if (line.line == ModSerLine && model == 2) {
        for (size_t index = 0; index < Model2ModeCodes.size(); ++index) {
            if (*number == Model2ModeCodes[index]) {
                return int(index);
            }
        }
        return std::nullopt;
    }
    // An index the list does not have leaves it as it is.
    if (*number < -1 || *number >= ListCount(line.field, model)) {
        return std::nullopt;
    }
    return *number;
}

// --- Files on disk ----------------------------------------------------------------------------------

namespace {
bool WriteWhole(const QString& path, const QByteArray& bytes, QString* reason) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *reason = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        *reason = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}
} // namespace

SaveResult SaveFiles(const QString& setupPath, const QByteArray& setupBytes, const QByteArray& modelBytes) {
    SaveResult result;
    const QString modelPath = ModelFileName(setupPath);
    if (QFileInfo(modelPath).absoluteFilePath() == QFileInfo(setupPath).absoluteFilePath()) {
        // A name ending in "typ" would be its own model file: one of the two would be lost.
        result.failedPath = setupPath;
        return result;
    }
    // A model file written for a setup file that then failed is not left behind: the old one is put
    // back, or the new one removed when there was none.
    QFile oldModel(modelPath);
    const bool hadModel = QFileInfo(modelPath).isFile();
    const QByteArray oldBytes =
        hadModel && oldModel.open(QIODevice::ReadOnly) ? oldModel.readAll() : QByteArray();
    oldModel.close();
    for (const auto& [path, bytes] : {std::pair{modelPath, modelBytes}, std::pair{setupPath, setupBytes}}) {
        if (!WriteWhole(path, bytes, &result.reason)) {
            result.failedPath = path;
            if (path == setupPath && hadModel) {
                QString ignored;
                WriteWhole(modelPath, oldBytes, &ignored);
            } else if (path == setupPath) {
                QFile::remove(modelPath);
            }
            return result;
        }
    }
    result.ok = true;
    return result;
}

// --- Messages -----------------------------------------------------------------------------------------

namespace {
const char* MessageKey(Message message) {
    switch (message) {
    case Message::TooLong:
        return "TooLong";
    case Message::ModelMismatch:
        return "ModelMismatch";
    case Message::CannotOpen:
        return "CannotOpen";
    case Message::Incomplete:
        return "Incomplete";
    case Message::NotText:
        return "NotText";
    case Message::ReadFailed:
        return "ReadFailed";
    case Message::SaveFailed:
        return "SaveFailed";
    }
    return "";
}
QString Text(const char* key, int languageIndex) {
    return TextOf(texts::SetupFileMessages(), QString::fromLatin1(key), languageIndex);
}
// The placeholders %1, %2, ... filled one at a time, so that a "%" in a path or a value stays as it is.
QString Fill(QString text, std::initializer_list<QString> parts) {
    int n = 0;
    for (const QString& part : parts) {
        const QString mark = QStringLiteral("%") + QString::number(++n);
        const qsizetype at = text.indexOf(mark);
        if (at >= 0) {
            text.replace(at, mark.size(), part);
        }
    }
    return text;
}
} // namespace

QString ApplicationTitle(int languageIndex) {
    return Text("AppTitle", languageIndex);
}

FileActions::Icon MessageIcon(Message message) {
    return message == Message::TooLong ? FileActions::Icon::None : FileActions::Icon::Exclamation;
}

QString MessageTitle(Message message, int languageIndex) {
    return MessageIcon(message) == FileActions::Icon::None ? ApplicationTitle(languageIndex)
                                                           : Text("AttentionTitle", languageIndex);
}

QString MessageText(Message message, int languageIndex, const QString& path) {
    QString text = Text(MessageKey(message), languageIndex);
    // The path goes in as it is (a "%" in it is no placeholder).
    const qsizetype at = text.indexOf(QLatin1String("%1"));
    if (at >= 0) {
        text.replace(at, 2, path);
    }
    return text;
}

QString NotANumberText(const QString& path, const Parsed& parsed, int languageIndex, int model) {
    const LineDef& line = Lines()[size_t(parsed.badLine - 1)];
    return Fill(Text("NotANumber", languageIndex),
                {path, QString::number(parsed.badLine), KeyText(line, languageIndex, model).trimmed(),
                 parsed.badValue});
}

QString NotHeldText(const QString& path, const QStringList& values, int line, int languageIndex, int model) {
    const LineDef& def = Lines()[size_t(line - 1)];
    return Fill(Text("NotHeld", languageIndex),
                {path, QString::number(line), KeyText(def, languageIndex, model).trimmed(),
                 values.value(line - 1).trimmed(), LargestValue(def.field, FileDivision(values, model))});
}

QString GroupFailureText(GroupId id, int languageIndex) {
    return TextOf(texts::SetupFileMessages(), QLatin1String("Group.") + QLatin1String(Group(id).name),
                  languageIndex);
}

QString GroupNames(const QList<GroupId>& groups, int languageIndex) {
    QStringList names;
    for (const GroupId id : groups) {
        names << TextOf(texts::SetupFileMessages(),
                        QLatin1String("GroupName.") + QLatin1String(Group(id).name), languageIndex);
    }
    return names.join(QStringLiteral(", "));
}

QString NotReadText(const QList<GroupId>& groups, int languageIndex) {
    return TextOf(texts::SetupFileMessages(), u"NotRead", languageIndex)
        .arg(GroupNames(groups, languageIndex));
}

} // namespace setupfile
