#pragma once

// The messages of the setup files (menus Ap and Sal of the main setup screen) in Italian and English.
//
// Keys of SetupFileMessages():
//   "AppTitle", "AttentionTitle"   the two titles the messages carry;
//   "TooLong"                      a file longer than 65000 bytes (no icon, application title);
//   "ModelMismatch"                the model file names another instrument model (%1: the path);
//   "CannotOpen"                   the setup file cannot be opened (%1: the path);
//   "Incomplete"                   the setup file has fewer than 39 lines (%1: the path);
//   "NotText"                      the setup file holds NUL bytes (UTF-16, or no text; %1: the path);
//   "NotANumber"                   a line's value is no number (%1 path, %2 line, %3 its key, %4 value);
//   "NotHeld"                      a line's value cannot be held at the file's division (%1 .. %4 as
//                                  NotANumber, %5 the largest value of the line);
//   "ReadFailed"                   the full read before an on-line save failed;
//   "SaveFailed"                   a file could not be written (%1: the path);
//   "NotRead"                      the groups the instrument did not give (%1: their names);
//   "GroupName.<name>"             the name of a group in those messages;
//   "Group.<name>"                 a group of the load was not written (name as in the group table:
//                                  "WeightConstants", "OperatingMode", ...; no icon, application title).
// A CR in a text stands for the line break of the message.

#include "texts.h"

namespace texts {
TextTable SetupFileMessages();
} // namespace texts
