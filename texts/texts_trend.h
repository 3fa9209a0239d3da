#pragma once

// The texts of the weight trend and of the weight log on the main setup screen, in Italian and English.
//
// Keys of Trend():
//   "trend", "logFile"       the items of the menu "vis" (the trend panel, the log to a file);
//   "TrendPanel"             the panel's frame;
//   "TrendWindowLabel"       the label of the window choice; "Window1", "Window5", "Window15" its items;
//   "TrendHold"              the button that holds the vertical scale;
//   "TrendPause"             the button that stops the curve (the readings go on being kept);
//   "TrendExport"            the button that saves the trend on show as a PNG picture;
//   "FiguresLine"            the figures line: %1 minimum, %2 maximum, %3 mean, %4 spread, %5 readings,
//                            %6 unstable readings;
//   "TrendNoReading"         the figures line of a window without a reading;
//   "MarkZero", "MarkFullScale"  the marks of a zero and a full-scale setting on the curve;
//   "UnstableKey"            the key of the shading of unstable stretches;
//   "ExportTitle", "ExportFilter", "ExportName"  the picture's save dialog (%1 address, %2 date);
//   "LogTitle", "LogFilter"  the log's save dialog;
//   "LogNotOpened"           the log could not be started (%1 the file, %2 the system's reason);
//   "LogFailed", "LogFailedTitle"  the log ended on an error (%1 file, %2 the system's reason, %3 rows
//                            written); the title serves every message of the trend and the log;
//   "ExportFailed"           the picture could not be saved (%1 the file).

#include "texts.h"

namespace texts {
TextTable Trend();
} // namespace texts
