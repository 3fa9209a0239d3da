#pragma once

// Two configurations as the screen would show them, for the report tests: a VXA in English and a VXB in
// Italian, with the notes and the date fixed.

#include "report.h"

#include <QString>

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
        if (model == 2) {
            screen = {QStringLiteral("2"),
                      QString(),
                      QString(),
                      QStringLiteral("1.0"),
                      QStringLiteral(" 0.5000"),
                      QStringLiteral("  54321")};
            set->setText(Field::Capac, QStringLiteral("   3000"));
            set->setText(Field::Teonet, QStringLiteral("   3000"));
            set->setText(Field::Teotara, QStringLiteral("      0"));
            set->setText(Field::Filtro, QStringLiteral("7"));
            set->setText(Field::Stabilita, QStringLiteral("2"));
            set->setText(Field::Autozero, QStringLiteral("  0.0"));
            set->setText(Field::Inseguimento, QStringLiteral("2"));
            set->setIndex(Field::ModSer, 1);
            set->setText(Field::Indir, QStringLiteral("2"));
            set->setText(Field::RiRis, QStringLiteral(" 10"));
            set->setIndex(Field::DatiCom1, 6);
        } else {
            screen = {QStringLiteral("1"),   QStringLiteral("0"),       QStringLiteral("1"),
                      QStringLiteral("1.5"), QStringLiteral(" 1.2345"), QStringLiteral("  12345")};
            set->setText(Field::Capac, QStringLiteral("   5000"));
            set->setText(Field::Set1, QStringLiteral("   1000"));
            set->setText(Field::Set2, QStringLiteral("   2000"));
            set->setText(Field::Filtro, QStringLiteral("5"));
            set->setText(Field::ZeroBand, QStringLiteral("100"));
            set->setIndex(Field::NeLor2, 2);
            set->setText(Field::RiEcc1, QStringLiteral("  5"));
            set->setText(Field::RiRis, QStringLiteral("  0"));
            set->setText(Field::FsAna, QStringLiteral("   5000"));
            set->setText(Field::RifZero, QStringLiteral("      0"));
        }
    }

    QList<ReportLine> Build(int language) const { return BuildReport(*set, language, screen, notes, date); }
};

// A parameter line as printed: six blanks, the label, `dots` dots, a blank and the value.
inline QString Expected(const QString& label, int dots, const QString& value) {
    return QString(6, QLatin1Char(' ')) + label + QString(dots, QLatin1Char('.')) + QLatin1Char(' ') + value;
}
inline QString Heading(const QString& text) {
    return QString(6, QLatin1Char(' ')) + text;
}
