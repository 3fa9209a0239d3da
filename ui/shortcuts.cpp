#include "shortcuts.h"

#include "applytexts.h"

#include <QAction>
#include <QWidget>

#include <iterator>

namespace {

constexpr ShortcutDef Table[] = {
    {"Ap", Qt::CTRL | Qt::Key_O},           {"Sal", Qt::CTRL | Qt::Key_S},
    {"SConf", Qt::CTRL | Qt::Key_P},        {"traf", Qt::CTRL | Qt::Key_T},
    {"logFile", Qt::CTRL | Qt::Key_L},      {"Esc", Qt::CTRL | Qt::Key_Q},
    {"guida", QKeyCombination(Qt::Key_F1)},
};

} // namespace

const ShortcutDef* ShortcutsBegin() {
    return std::begin(Table);
}

const ShortcutDef* ShortcutsEnd() {
    return std::end(Table);
}

void ApplyShortcuts(QWidget* window) {
    for (const ShortcutDef& def : Table) {
        if (auto* action = window->findChild<QAction*>(QString::fromLatin1(def.item))) {
            const QKeySequence key(def.key);
            action->setProperty(ShortcutProperty, key);
            action->setShortcut(key);
            action->setShortcutContext(Qt::WindowShortcut);
        }
    }
}

QString ShortcutLines(const QWidget* window, const QString& extra) {
    QString lines;
    for (const ShortcutDef& def : Table) {
        if (const auto* action = window->findChild<const QAction*>(QString::fromLatin1(def.item))) {
            const QString key = QKeySequence(def.key).toString(QKeySequence::PortableText);
            lines += key.leftJustified(8) + WithoutMnemonic(action->text()) + QLatin1Char('\n');
        }
    }
    return lines + extra;
}
