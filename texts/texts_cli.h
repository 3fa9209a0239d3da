#pragma once

// The messages of quartel-cli in Italian and English: the reasons of failures, the notes, the result
// lines of backup, restore and report, the progress line and the scan table's header and states. A run
// speaks one language: --lang, else the language of the settings. Keys are message names; %1.. are
// filled by the command (an address, a path, a count, a reason).

#include "texts.h"

namespace texts {
TextTable Cli();
} // namespace texts
