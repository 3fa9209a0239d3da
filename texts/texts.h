#pragma once

// The texts of the screens, dialogs and messages in both languages. Each screen has one table of
// (control, Italian, English) rows; the Italian text is the design text of the control. Messages
// have a table of their own, keyed by a message name. A caption is spelled in one place only: here.
//
// LanguageIndex 1 means English; every other value means Italian.

#include <QString>
#include <QStringView>

#include <span>

struct CaptionText {
    const char* control; // object name of the control (the form's own name for its window title)
    const char* italian; // UTF-8
    const char* english; // UTF-8
};
using TextTable = std::span<const CaptionText>;

inline bool IsEnglish(int languageIndex) {
    return languageIndex == 1;
}

// The text of `control` in the language; an empty text when the table has no such row.
QString TextOf(TextTable table, QStringView control, int languageIndex);
// True when the table has a row for `control`.
bool HasText(TextTable table, QStringView control);

namespace texts {
// Start-up screen Form2: window title, button, menus.
TextTable Form2();
// Port dialog Comm and language dialog Ling.
TextTable Comm();
TextTable Ling();
// Welcome box frmAbout (its texts are English in both languages).
TextTable FrmAbout();
// Texts of the start-up screen that are not captions of one control: message boxes, error text,
// status line. Keys are message names.
TextTable StartMessages();
} // namespace texts
