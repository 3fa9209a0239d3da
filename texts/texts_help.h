#pragma once

// The texts that help the user find his way on the main setup screen, in Italian and English: the
// menus' access keys, the Help menu with its short help and About box, the tooltips of the
// configuration fields, the status bar's messages and the start-up screen's first-start hint.
//
// Keys of Mnemonics(): the object name of a menu or menu item; the text is the one character that
// becomes the item's access key (Alt+character for a menu). The captions of the tables stay as they
// are: the marker is put in only where the caption is shown on a menu.
//
// Keys of Help():
//   "aiuto", "guida", "about"  the menu Help and its two items;
//   "HelpTitle", "HelpText"    the short help: %1 the shortcuts, one line each, made from the menus;
//   "TabKeys"                  the help's lines of the keys that change tabs;
//   "AboutTitle", "AboutText"  the About box: %1 the version, %2 where the settings live;
//   "FirstStartHint"           the start-up screen's line while no instrument is ticked.
//
// Keys of Tooltips(): the object name of a field; the text names the field's range or rule.
//
// Keys of StatusBar():
//   "SendConfirmed", "SendNotConfirmed"   a group's send (%1 the group's name);
//   "LoadProgress"                        a setup file's load (%1 the group written, %2 of how many);
//   "Loaded", "LoadedWithFailures"        the load's end (%1 the file; %2 groups not confirmed);
//   "LoadStopped"                         a load the user ended by leaving the screen;
//   "SaveReading"                         the full read before a save (%1 the block read, %2 of how many);
//   "Saved"                               a setup file written (%1 the file);
//   "PdfWritten"                          the report written as a PDF file (%1 the file);
//   "LineHealth", "LineHealthTip"         the line's answers (%1) and failed exchanges (%2) in the
//                                         last minute, and the indicator's tooltip;
//   "Request", "Reply"                    the tooltips of the two activity lights;
//   "Logging"                             a weight log running (%1 the file, %2 rows written).

#include "texts.h"

namespace texts {
TextTable Mnemonics();
TextTable Help();
TextTable Tooltips();
TextTable StatusBar();
} // namespace texts
