#pragma once

// One fixed configuration of each model as the screen would show it, for the report tests, with the
// notes and the date fixed. Every field is set here, so the references under reports/ (the whole
// report of each model in each language, written by hand from the captions and the row rules) do not
// depend on what a new configuration starts with.

#include "report.h"

#include <QFile>
#include <QString>
#include <QTest>

#include <memory>

struct ReportFixture {
    Modulo1 m;
    std::unique_ptr<ParameterSet> set;
    ReportScreen screen;
    QString notes = QStringLiteral("Silo 3, cella 2 sostituita");
    QString date = QStringLiteral("09/12/2026");

    explicit ReportFixture(int model) {
        m.InstrumentModel = int16_t(model);
        set = std::make_unique<ParameterSet>(m);
        set->reset();
        const auto texts = [&](std::initializer_list<std::pair<Field, const char*>> list) {
            for (const auto& [field, text] : list) {
                set->setText(field, QString::fromUtf8(text));
            }
        };
        const auto indices = [&](std::initializer_list<std::pair<Field, int>> list) {
            for (const auto& [field, index] : list) {
                set->setIndex(field, index);
            }
        };
        if (model == 2) {
            screen = {"2", "", "", "1.0", "  0.500", "  54321"};
            texts({{Field::Capac, "   3000"},
                   {Field::Sensib, " 1.9950"},
                   {Field::Teonet, "   2500"},
                   {Field::Teotara, "     50"},
                   {Field::Filtro, "7"},
                   {Field::Stabilita, "3"},
                   {Field::Autozero, "0.0"},
                   {Field::Inseguimento, "1"},
                   {Field::Indir, "2"},
                   {Field::RiRis, "10"}});
            indices({{Field::ValDiv, 10}, {Field::Baud, 4}, {Field::ModSer, 0}, {Field::DatiCom1, 6}});
        } else {
            screen = {"1", "0", "1", "1.5", "  1.234", "  12345"};
            texts({{Field::Set1, "  10.00"},   {Field::Set2, "  20.00"},   {Field::Capac, "   5000"},
                   {Field::Sensib, " 2.0000"}, {Field::Teonet, "   4000"}, {Field::Teotara, "    150"},
                   {Field::Filtro, "5"},       {Field::Stabilita, "2"},    {Field::Autozero, "1.5"},
                   {Field::Inseguimento, "3"}, {Field::ZeroBand, "100"},   {Field::Iste1, "2"},
                   {Field::Disab1, "0"},       {Field::RiEcc1, "5"},       {Field::Iste2, "3"},
                   {Field::Disab2, "10"},      {Field::RiEcc2, "0"},       {Field::Indir, "1"},
                   {Field::RiRis, "20"},       {Field::AddrCom2, "5"},     {Field::FsAna, " 500.00"},
                   {Field::RifZero, "  10.00"}});
            indices({{Field::ValDiv, 3},
                     {Field::OpMode, 1},
                     {Field::NeLor1, 0},
                     {Field::ApCh1, 1},
                     {Field::PoNe1, 0},
                     {Field::NoSta1, 1},
                     {Field::NeLor2, 2},
                     {Field::ApCh2, 0},
                     {Field::PoNe2, 1},
                     {Field::NoSta2, 0},
                     {Field::Baud, 2},
                     {Field::ModSer, 4},
                     {Field::DatiCom1, 6},
                     {Field::ProtoCom2, 1},
                     {Field::BRCom2, 2},
                     {Field::TipoAna, 1},
                     {Field::CampoAna, 1}});
        }
    }

    QList<ReportLine> Build(int language) const { return BuildReport(*set, language, screen, notes, date); }
};

// The reference report of `model` in `language` (0 Italian, 1 English): its lines, UTF-8. `variant`
// names another reference of the same configuration ("_unread").
inline QStringList ReferenceReport(int model, int language, const QString& variant = QString()) {
    QFile file(QStringLiteral(REPORTS_DIR "/vx%1_%2%3.txt")
                   .arg(model == 2 ? QLatin1Char('b') : QLatin1Char('a'))
                   .arg(language == 1 ? QLatin1StringView("en") : QLatin1StringView("it"), variant));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    lines.removeLast(); // after the last line end
    return lines;
}

// A parameter line as printed: six blanks, the label, `dots` dots, a blank and the value.
inline QString Expected(const QString& label, int dots, const QString& value) {
    return QString(6, QLatin1Char(' ')) + label + QString(dots, QLatin1Char('.')) + QLatin1Char(' ') + value;
}

// The four reports a reference exists for: each model in each language (columns "model", "language").
inline void AddReferenceRows() {
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("language");
    QTest::newRow("VXA Italian") << 1 << 0;
    QTest::newRow("VXA English") << 1 << 1;
    QTest::newRow("VXB Italian") << 2 << 0;
    QTest::newRow("VXB English") << 2 << 1;
}
