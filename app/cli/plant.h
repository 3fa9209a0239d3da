#pragma once

// quartel-cli plant scan|backup|diff|report: every line of a plant file at once, one progress row per
// line on a terminal, then a table of line, address, model and result (or one JSON object per
// instrument). backup keeps the setup files in a git repository and commits only what changed.
// Exit status as diff's: 0 every instrument answered and nothing differs from the last backup, 1
// something differs, 2 trouble (the plant file, the history, or an instrument or line that failed).

#include "cliargs.h"
#include "cliio.h"
#include "plantfile.h"

#include <QCoro/QCoroTask>

QCoro::Task<int> RunPlant(const CliOptions& options, CliIo& io);
