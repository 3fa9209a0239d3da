#pragma once

// The texts of the main setup screen Form1 and of the dialogs it opens, in Italian and English.
//
// Keys of MainScreen():
//   "Form1"                   the window title;
//   "Label5", "Frame3", ...   the caption of the control of that object name (labels, frames, buttons,
//                             option buttons), and the menus and menu items "opz", "Ap", "Sal",
//                             "Reset", "Esc", "Edit", "Econf", "Nota", "SConf";
//   "SSTab1(0)".."SSTab1(6)"  the caption of tab 0..6 of SSTab1;
//   "lblAddText(0)".."lblAddText(29)"  the hidden mnemonic labels (the same in both languages);
//   "Control.state"           the caption a control shows in one state only; ApplyTexts finds no
//                             control of that name and leaves it alone, the screen sets it itself:
//     "Command1.off"          Command1 outside setup mode (also its caption after loading),
//     "Command1.on"           Command1 in setup mode,
//     "Label1.net", "Label1.gross", "Label1.peak"  Label1 as set by Option1, Option2, Option4,
//     "Label36.model2"        Label36 when InstrumentModel is 2 ("Label36" holds the model 1 text).
// "Label1" is the caption of Label1 right after loading (the gross view is chosen before the English
// texts are put in place, hence "  Peso Lordo" but "Gross Weight").
//
// So after loading: ApplyTexts(form, MainScreen(), LanguageIndex), then Command1 from "Command1.off"
// and, for model 2, Label36 from "Label36.model2".

#include "texts.h"

namespace texts {
// Every caption of the main setup screen Form1.
TextTable MainScreen();
// Access-code dialog Dialog_passw: window title "Dialog_passw", "Label1", "OKButton", "CancelButton",
// and the design text of the field "dato_pass".
TextTable PasswordDialog();
// Save-changes question DialogA: window title "DialogA", "Label1", "OKButton", "CancelButton".
TextTable SaveQuestion();
// Datasheet calibration question modteor: window title "modteor", "Label1", "OKButton", "CancelButton".
TextTable DatasheetQuestion();
// Message boxes and status texts of the main setup screen, keyed by message name:
//   "PasswordWrong", "PasswordWrongTitle"      wrong access code (no icon, OK only);
//   "CapacityWarning", "CapacityWarningTitle"  the total capacity was changed (warning icon, OK only);
//   "OfflineWeight"                            what Peso shows in each pass of offline editing.
//   "LargestValue"                             tooltip of a field limited by its register (%1).
TextTable MainMessages();
} // namespace texts
