#pragma once

// Putting the texts of a table on the widgets of a screen, and Qt's own texts in the language.

#include "texts.h"

class QObject;

// Qt's own texts (context menus of text fields, standard dialog buttons) in the language: Qt's
// Italian catalogue is installed for Italian and removed for English. Without the catalogue on the
// system they stay English.
void UseQtTexts(int languageIndex);

// Puts every text of the table on the controls below `root` (and on `root` itself): buttons, option
// buttons and check boxes, labels, group boxes and line edits get their text, menus their title,
// actions their text, windows their title. Rows without a matching control are left alone.
void ApplyTexts(QObject* root, TextTable table, int languageIndex);
