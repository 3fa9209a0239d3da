#pragma once

// The texts of the configuration report, of the notes window and of the report's messages, in Italian
// and English. The captions the report prints beside the values are the main setup screen's own
// (texts::MainScreen()); only what the report adds to them is here.

#include "texts.h"

namespace texts {
// Keys:
//   "Title"          the title line, printed from column 1 (34 leading and 2 trailing blanks);
//   "Date"           what the date line starts with;
//   "Out1", "Out2"   what follows the caption of the outputs tab in the two outputs headings;
//   "Tenths"         what follows the cut caption of the outputs' time labels;
//   "Hundredths"     what follows the cut caption of the response delay's label (Italian), or its
//                    caption up to the first ")" (English);
//   "NotRead"        the value of a row whose group was not read from the instrument;
//   "NotReadGroups"  the line under the date naming those groups (%1: their names);
//   "PrintFailed", "PrintFailedTitle"   no printer, or the printer refused the job: offers a PDF;
//   "PdfTitle", "PdfFilter", "PdfName"  the save dialog of that PDF and the name it proposes;
//   "PdfFailed"      the PDF could not be written (%1 the path, %2 the reason).
TextTable Report();
// The notes window Note: its window title "Note", its prompt "Label1" and its button "OKButton".
TextTable NoteDialog();
} // namespace texts
