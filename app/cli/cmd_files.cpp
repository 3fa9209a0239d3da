// quartel-cli backup, restore and report: the setup files and the report of the screens.

#include "clicommands.h"
#include "cliline.h"

QCoro::Task<int> RunBackup(CliLine&, CliIo& io) {
    io.Fail(QStringLiteral("backup is not available in this build"));
    co_return ExitFailed;
}

QCoro::Task<int> RunRestore(CliLine&, CliIo& io) {
    io.Fail(QStringLiteral("restore is not available in this build"));
    co_return ExitFailed;
}

QCoro::Task<int> RunReport(CliLine&, CliIo& io) {
    io.Fail(QStringLiteral("report is not available in this build"));
    co_return ExitFailed;
}
