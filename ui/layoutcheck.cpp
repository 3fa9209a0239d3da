#include "layoutcheck.h"

#include "applytexts.h"
#include "form1.h"

#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>

namespace {

// The captions of the upper band and of tab 0 that belong to a display rather than a field.
const std::pair<const char*, const char*> DisplayCaptions[] = {
    {"Label4", "IndStr"},    {"Label24", "Ingresso1"}, {"Label54", "Ingresso2"},
    {"Label55", "Versione"}, {"Label15", "MilliV"},    {"Label44", "Punti"}};

// Where the caption's text ends, in the window's coordinates.
int TextRight(const QLabel* label, const QWidget* window) {
    const QRect inside = label->contentsRect();
    const int right = label->alignment() & Qt::AlignRight
                          ? inside.right()
                          : inside.left() + label->fontMetrics().horizontalAdvance(label->text());
    return label->mapTo(window, QPoint(right, 0)).x();
}

} // namespace

QStringList LayoutFaults(const Form1& form, int maxGap) {
    QStringList faults;
    // Each caption with the first of its fields from the left.
    QMap<QString, const QWidget*> fieldOf;
    for (const ParameterDef& def : Parameters()) {
        const QWidget* field = form.FieldWidget(def.field);
        if (!def.labelControl || !field || !field->isVisible()) {
            continue;
        }
        const QString label = QString::fromUtf8(def.labelControl);
        const QWidget*& known = fieldOf[label];
        if (!known || field->mapTo(&form, QPoint()).x() < known->mapTo(&form, QPoint()).x()) {
            known = field;
        }
    }
    for (auto [label, display] : DisplayCaptions) {
        if (const auto* w = form.findChild<const QWidget*>(QString::fromLatin1(display));
            w && w->isVisible()) {
            fieldOf[QString::fromLatin1(label)] = w;
        }
    }
    for (auto it = fieldOf.cbegin(); it != fieldOf.cend(); ++it) {
        const auto* label = form.findChild<const QLabel*>(it.key());
        if (!label || !label->isVisible()) {
            continue;
        }
        const int gap = it.value()->mapTo(&form, QPoint()).x() - TextRight(label, &form);
        if (gap < 0 || gap > maxGap) {
            faults << QStringLiteral("%1 ends %2 px before %3")
                          .arg(it.key())
                          .arg(gap)
                          .arg(it.value()->objectName());
        }
    }
    for (const QPushButton* button : form.findChildren<const QPushButton*>()) {
        if (!button->isVisible() || button->text().isEmpty()) {
            continue;
        }
        const int needed = button->fontMetrics().horizontalAdvance(WithoutMnemonic(button->text()));
        if (needed + 8 > button->width()) {
            faults << QStringLiteral("%1 \"%2\" needs %3 px, has %4")
                          .arg(button->objectName(), button->text())
                          .arg(needed)
                          .arg(button->width());
        }
    }
    return faults;
}
