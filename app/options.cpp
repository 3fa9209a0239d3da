#include "options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Quartel Setup: configuration utility for Quartel weighing transmitters (MODBUS ASCII)."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption device(
        QStringList{QStringLiteral("device")},
        QStringLiteral("Serial device to use whatever port number prog.ini gives (e.g. /dev/ttyUSB3 or a "
                       "/dev/serial/by-id/... name), or tcp://HOST:PORT for a serial device server in "
                       "transparent mode."),
        QStringLiteral("PATH"));
    const QCommandLineOption localEcho(
        QStringList{QStringLiteral("local-echo")},
        QStringLiteral("The adapter hands back every request before the reply (no echo suppression): drop "
                       "that echo. Also a setting of the serial port dialog."));
    const QCommandLineOption settingsDir(
        QStringList{QStringLiteral("settings-dir")},
        QStringLiteral("Directory of prog.ini and Strum.ini (default: the program's directory when writable, "
                       "else the per-user configuration directory)."),
        QStringLiteral("DIR"));
    const QCommandLineOption demo(
        QStringList{QStringLiteral("demo")},
        QStringLiteral("Simulated line with a VXA at address 1 and a VXB at address 2, in scratch settings "
                       "(your own settings files are not touched)."));
    const QCommandLineOption trace(
        QStringList{QStringLiteral("trace")},
        QStringLiteral("Write every exchange on the line to FILE, one line each, as the traffic window shows "
                       "it (the file is overwritten)."),
        QStringLiteral("FILE"));
    const QCommandLineOption quitAfter(
        QStringList{QStringLiteral("quit-after")},
        QStringLiteral("End the program after SECONDS seconds, as the start-up screen's close box does, once "
                       "that screen is on show (to try the demo unattended)."),
        QStringLiteral("SECONDS"));
    parser.addOption(device);
    parser.addOption(trace);
    parser.addOption(settingsDir);
    parser.addOption(demo);
    parser.addOption(localEcho);
    parser.addOption(quitAfter);

    ParsedCommandLine result;
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.exitNow = true;
        result.message = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.exitNow = true;
        result.message = QCoreApplication::applicationName() + QLatin1Char(' ') +
                         QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return result;
    }
    if (!parsed) {
        result.ok = false;
        result.message = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.ok = false;
        result.message = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }
    result.options.deviceOverride = parser.value(device);
    result.options.settingsDir = parser.value(settingsDir);
    result.options.demo = parser.isSet(demo);
    result.options.localEcho = parser.isSet(localEcho);
    result.options.traceFile = parser.value(trace);
    if (parser.isSet(quitAfter)) {
        bool number = false;
        const int seconds = parser.value(quitAfter).toInt(&number);
        constexpr int MaxSeconds = 24 * 3600;
        if (!number || seconds < 1 || seconds > MaxSeconds) {
            result.ok = false;
            result.message = QStringLiteral("--quit-after takes a whole number of seconds from 1 to %1: %2")
                                 .arg(MaxSeconds)
                                 .arg(parser.value(quitAfter));
            return result;
        }
        result.options.quitAfterSeconds = seconds;
    }
    return result;
}
