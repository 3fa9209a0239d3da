#include "report.h"

#include "texts_files.h"
#include "texts_form1.h"
#include "texts_report.h"

#include <QDate>
#include <QLocale>

#include <span>
#include <variant>

namespace {

// The values the report takes from the screen rather than from the configuration.
enum class Shown { IndStr, Ingresso1, Ingresso2, Versione, MilliV, Punti };

struct Item {
    const char* label;
    std::variant<Field, Shown> value;
    LabelRule rule = LabelRule::Full;
    bool model1Only = false;
};

constexpr Item StatusItems[] = {
    {"Label4", Shown::IndStr},
    {"Label5", Field::Set1, LabelRule::Full, true},
    {"Label6", Field::Set2, LabelRule::Full, true},
    {"Label24", Shown::Ingresso1, LabelRule::Full, true},
    {"Label54", Shown::Ingresso2, LabelRule::Full, true},
    {"Label55", Shown::Versione},
};

constexpr Item ConstantsItems[] = {
    {"Label3", Field::Capac},   {"Label11", Field::Sensib},
    {"Label12", Field::Teonet}, {"Label13", Field::Teotara},
    {"Label14", Field::ValDiv}, {"Label15", Shown::MilliV},
    {"Label44", Shown::Punti},  {"Label56", Field::OpMode, LabelRule::Full, true},
};

constexpr Item ParametersItems[] = {
    {"Label20", Field::Filtro, LabelRule::Cut},         {"Label21", Field::Stabilita, LabelRule::Cut},
    {"Label22", Field::Autozero, LabelRule::Cut},       {"Label23", Field::Inseguimento, LabelRule::Cut},
    {"Label66", Field::ZeroBand, LabelRule::Cut, true},
};

constexpr Item Output1Items[] = {
    {"Label25", Field::NeLor1},
    {"Label31", Field::ApCh1},
    {"Label43", Field::PoNe1},
    {"Label32", Field::NoSta1},
    {"Label26", Field::Iste1, LabelRule::Cut},
    {"Label27", Field::Disab1, LabelRule::CutTenths},
    {"Label28", Field::RiEcc1, LabelRule::CutTenths},
};

constexpr Item Output2Items[] = {
    {"Label25", Field::NeLor2},
    {"Label31", Field::ApCh2},
    {"Label43", Field::PoNe2},
    {"Label32", Field::NoSta2},
    {"Label26", Field::Iste2, LabelRule::Cut},
    {"Label27", Field::Disab2, LabelRule::CutTenths},
    {"Label28", Field::RiEcc2, LabelRule::CutTenths},
};

constexpr Item SerialItems[] = {
    {"Label33", Field::Baud, LabelRule::Cut},
    {"Label34", Field::ModSer, LabelRule::Cut},
    {"Label35", Field::Indir, LabelRule::Cut},
    {"Label36", Field::RiRis, LabelRule::Special},
    {"Label62", Field::DatiCom1},
    {"Label63", Field::ProtoCom2, LabelRule::Special, true},
    {"Label64", Field::AddrCom2, LabelRule::Full, true},
    {"Label65", Field::BRCom2, LabelRule::Full, true},
};

constexpr Item AnalogItems[] = {
    {"Label37", Field::FsAna, LabelRule::Cut},
    {"Label38", Field::TipoAna, LabelRule::Cut},
    {"Label39", Field::CampoAna},
    {"Label59", Field::RifZero},
};

QString ReportWord(const char* key, int languageIndex) {
    return TextOf(texts::Report(), QString::fromLatin1(key), languageIndex);
}

QString ShownValue(Shown shown, const ReportScreen& screen) {
    switch (shown) {
    case Shown::IndStr:
        return screen.IndStr;
    case Shown::Ingresso1:
        return screen.Ingresso1;
    case Shown::Ingresso2:
        return screen.Ingresso2;
    case Shown::Versione:
        return screen.Versione;
    case Shown::MilliV:
        return screen.MilliV;
    case Shown::Punti:
        return screen.Punti;
    }
    return {};
}

ReportLine EmptyLine(int points = ReportLine::BodyPoints) {
    return ReportLine{points, {}};
}

} // namespace

QString TextBefore(const QString& text, const QString& delimiter) {
    if (text.isEmpty() || delimiter.isEmpty()) {
        return text;
    }
    const qsizetype at = text.indexOf(delimiter, 0, Qt::CaseSensitive);
    return at < 0 ? text : text.left(at);
}

QString ReportLabel(const QString& caption, LabelRule rule, const char* labelControl, int languageIndex) {
    const QString open = QStringLiteral("(");
    const QString close = QStringLiteral(")");
    switch (rule) {
    case LabelRule::Full:
        return caption;
    case LabelRule::Cut:
        return TextBefore(caption, open);
    case LabelRule::CutTenths:
        return TextBefore(caption, open) + ReportWord("Tenths", languageIndex);
    case LabelRule::Special:
        if (QLatin1StringView(labelControl) == QLatin1StringView("Label63")) {
            return TextBefore(caption, close) + close;
        }
        return (IsEnglish(languageIndex) ? TextBefore(caption, close) : TextBefore(caption, open)) +
               ReportWord("Hundredths", languageIndex);
    }
    return caption;
}

QString ReportCaption(const char* control, int languageIndex, int model) {
    QString key = QString::fromLatin1(control);
    if (model == 2 && key == QLatin1StringView("Label36")) {
        key = QStringLiteral("Label36.model2");
    }
    return TextOf(texts::MainScreen(), key, languageIndex);
}

QString ReportFieldLabel(Field field, int languageIndex, int model) {
    const struct {
        std::span<const Item> items;
        const char* suffix;
    } sections[] = {{StatusItems, nullptr}, {ConstantsItems, nullptr}, {ParametersItems, nullptr},
                    {Output1Items, "Out1"}, {Output2Items, "Out2"},    {SerialItems, nullptr},
                    {AnalogItems, nullptr}};
    for (const auto& section : sections) {
        for (const Item& item : section.items) {
            if (std::holds_alternative<Field>(item.value) && std::get<Field>(item.value) == field) {
                const QString label = ReportLabel(ReportCaption(item.label, languageIndex, model), item.rule,
                                                  item.label, languageIndex);
                return section.suffix ? label + ReportWord(section.suffix, languageIndex) : label;
            }
        }
    }
    return {};
}

ReportLine ParameterLine(const QString& label, const QString& value) {
    // A label and value too long for the line get no dots rather than a negative count of them.
    const qsizetype dots = std::max<qsizetype>(0, ReportLineWidth - 1 - label.size() - value.size());
    const QString left = label + QString(dots, QLatin1Char('.')) + QLatin1Char(' ');
    ReportLine line;
    line.runs << ReportRun{ReportLabelColumn, left, false};
    line.runs << ReportRun{ReportLabelColumn + int(left.size()), value, true};
    return line;
}

ReportLine HeadingLine(const QString& text) {
    ReportLine line;
    line.runs << ReportRun{ReportLabelColumn, text, true};
    return line;
}

QString ReportDate() {
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QList<ReportLine> BuildReport(const ParameterSet& set, int languageIndex, const ReportScreen& screen,
                              const QString& notes, const QString& date) {
    const int model = set.model();
    const bool model1 = model != 2;
    const Language language = LanguageFromIndex(languageIndex);
    const auto caption = [&](const char* control) { return ReportCaption(control, languageIndex, model); };
    const auto tabCaption = [&](int tab) {
        return TextOf(texts::MainScreen(), QStringLiteral("SSTab1(%1)").arg(tab), languageIndex);
    };
    // The groups the instrument did not give: offline every field is the user's.
    const QList<GroupId> unread = set.modulo1().OfflineEdit ? QList<GroupId>() : set.unknownGroups();

    QList<ReportLine> lines;
    const auto addItems = [&](std::span<const Item> items) {
        for (const Item& item : items) {
            if (item.model1Only && !model1) {
                continue;
            }
            const QString label = ReportLabel(caption(item.label), item.rule, item.label, languageIndex);
            QString value;
            if (const Field* field = std::get_if<Field>(&item.value)) {
                value = unread.contains(Parameter(*field).group) ? ReportWord("NotRead", languageIndex)
                                                                 : DisplayText(set, *field, language);
            } else {
                value = ShownValue(std::get<Shown>(item.value), screen);
            }
            lines << ParameterLine(label, value);
        }
    };

    // Title at 12 points, after three empty lines.
    for (int i = 0; i < 3; ++i) {
        lines << EmptyLine(ReportLine::TitlePoints);
    }
    lines << ReportLine{ReportLine::TitlePoints, {ReportRun{1, ReportWord("Title", languageIndex), true}}};
    // From here on 10 points.
    lines << EmptyLine() << EmptyLine();
    lines << ReportLine{
        ReportLine::BodyPoints,
        {ReportRun{ReportLabelColumn, ReportWord("Date", languageIndex) + date + QLatin1Char(' ') + notes,
                   false}}};
    if (!unread.isEmpty()) {
        QStringList names;
        for (const GroupId id : unread) {
            names << TextOf(texts::SetupFileMessages(),
                            QLatin1String("GroupName.") + QLatin1String(Group(id).name), languageIndex);
        }
        lines << ReportLine{
            ReportLine::BodyPoints,
            {ReportRun{ReportLabelColumn, ReportWord("NotReadGroups", languageIndex).arg(names.join(u", ")),
                       false}}};
    }
    lines << EmptyLine() << EmptyLine();

    lines << HeadingLine(caption("Frame1"));
    addItems(StatusItems);

    lines << EmptyLine() << HeadingLine(tabCaption(0));
    addItems(ConstantsItems);

    lines << EmptyLine() << HeadingLine(tabCaption(2));
    addItems(ParametersItems);
    lines << EmptyLine();

    if (model1) {
        lines << HeadingLine(tabCaption(3) + ReportWord("Out1", languageIndex));
        addItems(Output1Items);
        lines << EmptyLine() << HeadingLine(tabCaption(3) + ReportWord("Out2", languageIndex));
        addItems(Output2Items);
        lines << EmptyLine();
    }

    lines << HeadingLine(tabCaption(4));
    addItems(SerialItems);
    lines << EmptyLine();

    if (model1) {
        lines << HeadingLine(tabCaption(5));
        addItems(AnalogItems);
    }
    return lines;
}

QString ReportText(const QList<ReportLine>& lines) {
    QString out;
    for (const ReportLine& line : lines) {
        QString text;
        for (const ReportRun& run : line.runs) {
            const int at = std::max(0, run.column - 1);
            if (text.size() < at) {
                text += QString(at - text.size(), QLatin1Char(' '));
            }
            text += run.text;
        }
        out += text + QLatin1Char('\n');
    }
    return out;
}
