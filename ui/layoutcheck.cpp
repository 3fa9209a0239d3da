#include "layoutcheck.h"

#include "applytexts.h"
#include "form1.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>

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

// Whether the widget is one of the program's own controls on show in `window`: named by the program,
// not the inside of a scroll area (whose contents scroll), not a window of its own.
bool Checked(const QWidget* w, const QWidget* window) {
    if (w->isWindow() || !w->isVisible() || w->objectName().isEmpty() ||
        w->objectName().startsWith(QLatin1String("qt_"))) {
        return false;
    }
    for (const QWidget* up = w->parentWidget(); up && up != window; up = up->parentWidget()) {
        if (auto* area = qobject_cast<const QAbstractScrollArea*>(up->parentWidget());
            area && area->viewport() == up) {
            return false;
        }
    }
    return true;
}

// The widest line of the caption, in pixels.
int TextWidth(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : WithoutMnemonic(text).split(QLatin1Char('\n'))) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

QString CaptionFault(const QWidget* w) {
    const auto cut = [w](const QString& text, int needed, int has) {
        return QStringLiteral("%1 \"%2\" needs %3 px, has %4")
            .arg(w->objectName(), text)
            .arg(needed)
            .arg(has);
    };
    if (const auto* label = qobject_cast<const QLabel*>(w); label && !label->text().isEmpty()) {
        const QString text = label->textFormat() == Qt::RichText ? QString() : label->text();
        const int width = label->contentsRect().width();
        if (!label->wordWrap()) {
            const int needed = TextWidth(label->fontMetrics(), text);
            return needed > width ? cut(text, needed, width) : QString();
        }
        for (const QString& word : WithoutMnemonic(text).split(QRegularExpression(QStringLiteral("\\s+")))) {
            if (label->fontMetrics().horizontalAdvance(word) > width) {
                return cut(word, label->fontMetrics().horizontalAdvance(word), width);
            }
        }
        const int needed = label->heightForWidth(label->width());
        return needed > label->height() ? QStringLiteral("%1 \"%2\" needs %3 px of height, has %4")
                                              .arg(label->objectName(), text)
                                              .arg(needed)
                                              .arg(label->height())
                                        : QString();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w); button && !button->text().isEmpty()) {
        // A push button: its caption and the style's margins; a check box or option button: its box too.
        const bool push = qobject_cast<const QPushButton*>(button) != nullptr;
        const int needed =
            push ? TextWidth(button->fontMetrics(), button->text()) + 8 : button->minimumSizeHint().width();
        return needed > button->width() ? cut(button->text(), needed, button->width()) : QString();
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(w); box && !box->title().isEmpty()) {
        const int needed = TextWidth(box->fontMetrics(), box->title()) + 12;
        return needed > box->width() ? cut(box->title(), needed, box->width()) : QString();
    }
    return QString();
}

} // namespace

QStringList WindowFaults(const QWidget& window, QSize room) {
    QStringList faults;
    if (window.width() > room.width() || window.height() > room.height()) {
        faults << QStringLiteral("%1 is %2x%3, the screen has %4x%5")
                      .arg(window.objectName())
                      .arg(window.width())
                      .arg(window.height())
                      .arg(room.width())
                      .arg(room.height());
    }
    for (const QWidget* w : window.findChildren<const QWidget*>()) {
        if (!Checked(w, &window)) {
            continue;
        }
        const QWidget* parent = w->parentWidget();
        if (!parent->rect().contains(w->geometry())) {
            faults << QStringLiteral("%1 lies outside %2").arg(w->objectName(), parent->objectName());
        }
        const QString fault = CaptionFault(w);
        if (!fault.isEmpty()) {
            faults << fault;
        }
    }
    return faults;
}

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
