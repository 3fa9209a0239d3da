#pragma once

// The texts of the traffic window and of the menu that opens it on both screens, in Italian and
// English.
//
// Keys of Traffic():
//   "vis", "traf"           the menu and its item on the start-up and main setup screens;
//   "TrafficWindow"         the window title;
//   "TrafficPause", "TrafficClear", "TrafficSave", "TrafficClose"  the window's buttons;
//   "TrafficCounters"       the counters line: %1 exchanges, %2 failures, %3 mean turnaround in ms;
//   "SaveTitle", "SaveFilter", "SaveName"  the save dialog: title, filter, proposed file name;
//   "SaveFailed", "SaveFailedTitle"        the message when the file cannot be written (%1 the file,
//                                          %2 the reason).

#include "texts.h"

namespace texts {
TextTable Traffic();
} // namespace texts
