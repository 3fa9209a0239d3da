#pragma once

// quartel-cli run in-process against the simulator on a pseudo-terminal: a scratch settings directory
// with short reply time-outs, the simulated line, and what the program wrote to its two streams.

#include "../support/coro.h"

#include "cli.h"
#include "parameterset.h"
#include "setupfile.h"
#include "simulator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace clitest {

// Short reply time-outs keep the tests fast.
inline constexpr int ReplyTimeoutMs = 100;

struct CliResult {
    int status = -1;
    QString out;
    QString err;
    QStringList OutLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    QStringList ErrLines() const { return err.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The setup file of a VXA with every field at its design value, English keys.
inline QByteArray DesignVxaFile() {
    Modulo1 m;
    ParameterSet set(m);
    set.reset();
    return setupfile::BuildSetupFile(set, 1, 1);
}

// prog.ini with both reply time-outs, port 1, the language.
inline QByteArray ProgIni(int language = 0, int timeoutMs = ReplyTimeoutMs, int pauseMs = 0) {
    return "Start-up reply time-out (ms) = " + QByteArray::number(timeoutMs) + "\r\n" +
           "Main reply time-out (ms) = " + QByteArray::number(timeoutMs) + "\r\n" +
           "Pause between instruments (ms) = " + QByteArray::number(pauseMs) + "\r\n" +
           "COMM Number = 1\r\n" + "Language Type (0=Italian 1=English) = 0\r\n" +
           "Language (0=Italian 1=English) = " + QByteArray::number(language) + "\r\n";
}

// What a terminal shows of `written` (both streams as they reached it): a carriage return goes back to
// the start of the line, ESC [K erases the rest of it.
inline QStringList TerminalLines(const QString& written) {
    QStringList lines;
    QString line;
    qsizetype cursor = 0;
    for (qsizetype i = 0; i < written.size(); ++i) {
        const QChar c = written[i];
        if (c == QLatin1Char('\n')) {
            lines << line;
            line.clear();
            cursor = 0;
        } else if (c == QLatin1Char('\r')) {
            cursor = 0;
        } else if (written.mid(i, 3) == QLatin1String("\x1b[K")) {
            line.truncate(cursor);
            i += 2;
        } else {
            line = line.leftJustified(cursor).replace(cursor, 1, c);
            ++cursor;
        }
    }
    if (!line.isEmpty()) {
        lines << line;
    }
    return lines;
}

// Runs the program to its end: `arguments` without the program's name; --device and --settings-dir
// are added unless empty. `screen`, when given, receives both streams in the order they were written.
inline CliResult RunCliWith(const QStringList& arguments, const QString& device, const QString& settingsDir,
                            bool terminal = false, int timeoutMs = 60000, QString* screen = nullptr) {
    CliResult result;
    CliStreams streams;
    streams.out = [&result, screen](const QString& t) {
        result.out += t;
        if (screen) {
            *screen += t;
        }
    };
    streams.err = [&result, screen](const QString& t) {
        result.err += t;
        if (screen) {
            *screen += t;
        }
    };
    streams.errIsTerminal = terminal;
    QStringList args{QStringLiteral("quartel-cli")};
    args << arguments;
    if (!device.isEmpty()) {
        args << QStringLiteral("--device") << device;
    }
    if (!settingsDir.isEmpty()) {
        args << QStringLiteral("--settings-dir") << settingsDir;
    }
    const Started run = Start([&]() -> QCoro::Task<> { result.status = co_await RunCli(args, streams); });
    if (!QTest::qWaitFor([&] { return run.done(); }, timeoutMs)) {
        qWarning("quartel-cli %s did not end", qPrintable(arguments.join(QLatin1Char(' '))));
    }
    return result;
}

struct CliRig {
    QTemporaryDir dir;
    Simulator sim;

    explicit CliRig(int language = 0) {
        if (!dir.isValid() || !sim.open()) {
            qFatal("no scratch directory or no pseudo-terminal");
        }
        WriteAll(dir.filePath(QStringLiteral("prog.ini")), ProgIni(language));
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    CliResult Run(const QStringList& arguments, bool terminal = false) {
        return RunCliWith(arguments, sim.devicePath(), dir.path(), terminal);
    }
};

} // namespace clitest
