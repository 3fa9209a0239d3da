#pragma once

// The command line of quartel-setup.

#include <QString>
#include <QStringList>

struct ApplicationOptions {
    // Where prog.ini and Strum.ini live. Empty: the program's own directory when it is writable, else
    // the per-user configuration directory; with --demo, a scratch directory of its own.
    QString settingsDir;
    // Replaces the device that the port number leads to (--device): a serial device, or tcp://HOST:PORT
    // for a serial device server.
    QString deviceOverride;
    // The adapter hands back every request (--local-echo), whatever port.ini says.
    bool localEcho = false;
    // An in-process simulated line with a VXA at address 1 and a VXB at address 2 (--demo).
    bool demo = false;
    // The welcome box before the start-up screen.
    bool showWelcome = true;
    // Every exchange on the line, one line each, written to this file from start-up (--trace).
    QString traceFile;
    // Seconds after which the program ends as the start-up screen's close box ends it (--quit-after);
    // 0: never.
    int quitAfterSeconds = 0;
};

struct ParsedCommandLine {
    ApplicationOptions options;
    bool ok = true;       // false: a usage error, `message` says which
    bool exitNow = false; // --help or --version was shown
    QString message;
};

// Parses the arguments (argv[0] first). --help and --version print to stdout and set exitNow.
ParsedCommandLine ParseCommandLine(const QStringList& arguments);
