#pragma once

// The keyboard shortcuts of both screens in one table: each menu item that has one gets it from here,
// and the short help (F1) lists them from here, with the item's own caption, so that the two cannot
// drift apart. A shortcut goes with its item: a disabled item takes no key.

#include <QKeySequence>
#include <QString>

class QWidget;

struct ShortcutDef {
    const char* item; // the object name of the menu item, or of a key with no item (tabs)
    QKeyCombination key;
};

// The items' shortcuts, in the order the help lists them.
const ShortcutDef* ShortcutsBegin();
const ShortcutDef* ShortcutsEnd();

// The item property that keeps an item's shortcut while the item's menu takes it away.
inline constexpr char ShortcutProperty[] = "quartelShortcut";

// Puts each shortcut of the table on the item of that name in `window` (those it has).
void ApplyShortcuts(QWidget* window);

// One line per shortcut of the items in `window`: the key, then the item's caption as its menu shows it
// (without the access key's marker). `extra`: lines for keys with no item (the tab keys), appended.
QString ShortcutLines(const QWidget* window, const QString& extra = QString());
