// quartel-cli: scan, watch, back up, restore and report Quartel instruments from a terminal. No
// display is needed: a QCoreApplication, or for a PDF report a QGuiApplication on the offscreen
// platform.

#include "cli.h"
#include "cliend.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QStringList raw;
    for (int i = 0; i < argc; ++i) {
        raw << QString::fromLocal8Bit(argv[i]);
    }
    std::unique_ptr<QCoreApplication> app;
    if (CliNeedsGui(raw)) {
        // The PDF is drawn with fonts, which need a platform; the offscreen one needs no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("quartel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARTEL_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Quartel"));

    // Ctrl+C and SIGTERM end the run cleanly (the port closed, no half-made output left).
    cliend::CatchSignals();
    CliStreams streams;
    // Output that cannot be written (a full disk, a closed standard output) ends the run with status 1;
    // a reader that went away (SIGPIPE) ends it quietly, as usual.
    streams.outBytes = [](const QByteArray& bytes) {
        errno = 0;
        if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
            std::fflush(stdout) != 0) {
            cliend::OutputLost(errno != 0 ? errno : EIO);
        }
    };
    streams.out = [write = streams.outBytes](const QString& text) { write(text.toLocal8Bit()); };
    streams.err = [](const QString& text) {
        const QByteArray bytes = text.toLocal8Bit();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
    };
    streams.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    streams.readLine = []() -> std::optional<QString> {
        std::string line;
        if (!std::getline(std::cin, line)) {
            return std::nullopt;
        }
        return QString::fromLocal8Bit(line.c_str());
    };
    return QCoro::waitFor(RunCli(QCoreApplication::arguments(), streams));
}
