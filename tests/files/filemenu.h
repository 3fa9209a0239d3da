#pragma once

// The user's side of the setup screen's file items: a menu item chosen as the menu shows it, and a file
// picked in the file dialog CMDialog1 (answered through the scripted prompter).

#include "prompter.h"

#include <QAction>
#include <QFileDialog>
#include <QWidget>

namespace filemenu {

// The user picks `path` in CMDialog1 and confirms.
inline ScriptedPrompter::DialogScript Choose(const QString& path) {
    return [path](QDialog& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        if (!files || dialog.objectName() != QLatin1String("CMDialog1")) {
            qWarning("not the file dialog: %s", qPrintable(dialog.objectName()));
            return;
        }
        files->selectFile(path);
        dialog.done(QDialog::Accepted);
    };
}

// A menu item chosen by the user: it must be enabled, as the menu shows it.
inline bool Choose(QAction* item) {
    auto* menu = qobject_cast<QWidget*>(item->parent());
    if (!item->isEnabled() || !menu || !menu->isEnabled()) {
        return false;
    }
    item->trigger();
    return true;
}

} // namespace filemenu
