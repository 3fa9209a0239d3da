#pragma once

// quartel-cli: scan, watch, back up, restore and report from a terminal, with the same link, readers,
// writers, setup files and report as the screens. RunCli is the whole program without its main(), so
// that tests drive it in-process against the simulator.

#include "cliio.h"

#include <QCoro/QCoroTask>
#include <QStringList>

// Runs the command line `arguments` (the program's name first) and returns the exit status: 0 when
// everything asked for succeeded, 1 when something failed (a one-line reason per failure went to
// standard error), 2 for a wrong command line.
QCoro::Task<int> RunCli(QStringList arguments, CliStreams& streams);

// True when the command line asks for a PDF report, which needs a QGuiApplication (the offscreen
// platform will do: no display is needed).
bool CliNeedsGui(const QStringList& arguments);
