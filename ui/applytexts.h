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

// Marks the access key of each menu and menu item below `root` that the table names (one character
// of its caption: the first one of the same case, else of either case). The caption keeps its text;
// WithoutMnemonic gives it back unmarked.
void ApplyMnemonics(QObject* root, TextTable mnemonics, int languageIndex);
// A caption without its access-key marker ("&&" stands for a "&" of the text).
QString WithoutMnemonic(const QString& caption);
// A caption with the marker before the first `key` in it (same case first); unchanged without one.
QString WithMnemonic(const QString& caption, QChar key);
