#include "cli.h"

#include "cliargs.h"
#include "clicommands.h"
#include "cliend.h"
#include "clifiles.h"
#include "cliline.h"
#include "plant.h"

QCoro::Task<int> RunCli(QStringList arguments, CliStreams& streams) {
    CliIo io(streams);
    const ParsedCli parsed = ParseCli(arguments, RunLanguage(arguments));
    io.SetLanguage(parsed.language);
    // Lost output is told in the run's language (the settings may change it below).
    cliend::OnOutputLost(
        [&io](int error) { io.Fail(io.Text("StdoutLost").arg(clifiles::SystemReason(io, error))); });
    struct Forget {
        ~Forget() { cliend::OnOutputLost(nullptr); }
    } forget;
    if (parsed.exitNow) {
        if (*parsed.exitNow == ExitOk) {
            if (streams.out) {
                streams.out(parsed.message);
            }
        } else if (parsed.message.endsWith(QLatin1Char('\n'))) {
            if (streams.err) {
                streams.err(parsed.message);
            }
        } else {
            io.Fail(parsed.message);
        }
        co_return *parsed.exitNow;
    }
    const CliOptions& o = parsed.options;
    if (o.command == CliCommand::Plant) {
        co_return co_await RunPlant(o, io);
    }
    CliLine line(o, io);
    switch (o.command) {
    case CliCommand::Scan:
        co_return co_await RunScan(line, io);
    case CliCommand::Watch:
        co_return co_await RunWatch(line, io);
    case CliCommand::Backup:
        co_return co_await RunBackup(line, io);
    case CliCommand::Restore:
        co_return co_await RunRestore(line, io);
    case CliCommand::Report:
        co_return co_await RunReport(line, io);
    case CliCommand::Diff:
        co_return co_await RunDiff(line, io);
    case CliCommand::Verify:
        co_return co_await RunVerify(line, io);
    case CliCommand::Plant:
        break;
    }
    co_return ExitUsage;
}

bool CliNeedsGui(const QStringList& arguments) {
    if (arguments.value(1) == QLatin1String("plant")) {
        return arguments.contains(QLatin1String("report")) && arguments.contains(QLatin1String("--pdf"));
    }
    return (arguments.value(1) == QLatin1String("report") || arguments.value(1) == QLatin1String("verify")) &&
           (arguments.contains(QLatin1String("--pdf")) ||
            std::any_of(arguments.begin(), arguments.end(),
                        [](const QString& a) { return a.startsWith(QLatin1String("--pdf=")); }));
}
