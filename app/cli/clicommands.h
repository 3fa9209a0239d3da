#pragma once

// The commands of quartel-cli, each on an unopened line: the command opens it when it needs one.

#include "cliio.h"

#include <QCoro/QCoroTask>

class CliLine;

QCoro::Task<int> RunScan(CliLine& line, CliIo& io);
QCoro::Task<int> RunWatch(CliLine& line, CliIo& io);
QCoro::Task<int> RunBackup(CliLine& line, CliIo& io);
QCoro::Task<int> RunRestore(CliLine& line, CliIo& io);
QCoro::Task<int> RunReport(CliLine& line, CliIo& io);
QCoro::Task<int> RunDiff(CliLine& line, CliIo& io);
QCoro::Task<int> RunVerify(CliLine& line, CliIo& io);
