#pragma once

// The texts of the configuration comparison (the compare window of the main setup screen and
// `quartel-cli diff`) in Italian and English.
//
// Keys of Compare():
//   "Conf"            the menu item of the options menu, beside open and save;
//   "CompareWindow"   the compare window's title;
//   "Parameter", "Instrument", "File", "First", "Second"   the column headings (instrument and file,
//                     or the two files);
//   "SetPoints"       the heading of the set points, which sit on no tab;
//   "Count"           the last line: how many parameters differ (%1);
//   "Same"            the last line when nothing differs;
//   "Model2"          said once for a VXB: the lines it does not have are not compared;
//   "LoadButton", "PrintButton", "CloseButton"   the window's buttons;
//   "ReadFailed"      the full read before comparing failed (a CR breaks the line);
//   "ModelsDiffer"    two files of different models (%1, %2 the paths);
//   "NoModel"         a model file that names no model (%1 the path);
//   "Title"           the heading of the printed list.

#include "texts.h"

namespace texts {
TextTable Compare();
} // namespace texts
