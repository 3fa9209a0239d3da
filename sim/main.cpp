// quartel-sim: a simulated line of Quartel instruments on a pseudo-terminal.
//
//   quartel-sim [--vxa 1,3] [--vxb 2] [--link /tmp/quartel-line] [--wire-time]
//
// Prints the terminal's path on one line and runs until SIGINT or SIGTERM.

#include "simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

bool parseAddresses(const QString& text, QList<int>& out) {
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int a = part.trimmed().toInt(&ok);
        if (!ok || a < 1 || a > 247)
            return false;
        out.append(a);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quartel-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated Quartel instruments on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption vxaOpt(QStringLiteral("vxa"), QStringLiteral("Addresses of VXA instruments."),
                                    QStringLiteral("ADDR,..."));
    const QCommandLineOption vxbOpt(QStringLiteral("vxb"), QStringLiteral("Addresses of VXB instruments."),
                                    QStringLiteral("ADDR,..."));
    const QCommandLineOption linkOpt(QStringLiteral("link"),
                                     QStringLiteral("Symbolic link to create to the terminal."),
                                     QStringLiteral("PATH"));
    const QCommandLineOption wireOpt(QStringLiteral("wire-time"),
                                     QStringLiteral("Deliver replies at the pace of 19200 baud."));
    parser.addOptions({vxaOpt, vxbOpt, linkOpt, wireOpt});
    parser.process(app);

    QList<int> vxa;
    QList<int> vxb;
    if (!parseAddresses(parser.value(vxaOpt), vxa) || !parseAddresses(parser.value(vxbOpt), vxb)) {
        std::fprintf(stderr, "quartel-sim: addresses must be numbers 1..247, separated by commas\n");
        return 2;
    }
    if (!parser.isSet(vxaOpt) && !parser.isSet(vxbOpt)) {
        vxa = {1};
        vxb = {2};
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("quartel-sim: socketpair");
        return 1;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &c, 1);
        QCoreApplication::quit();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    int rc = 0;
    {
        Simulator sim;
        if (!sim.open()) {
            std::fprintf(stderr, "quartel-sim: %s\n", qPrintable(sim.errorString()));
            return 1;
        }
        for (const int a : vxa)
            sim.addInstrument(a, SimInstrument::VXA);
        for (const int a : vxb)
            sim.addInstrument(a, SimInstrument::VXB);
        if (parser.isSet(wireOpt))
            sim.setWireTime(true);
        if (parser.isSet(linkOpt) && !sim.makeLink(parser.value(linkOpt))) {
            std::fprintf(stderr, "quartel-sim: cannot create the link %s\n",
                         qPrintable(parser.value(linkOpt)));
            return 1;
        }
        std::printf("%s\n", qPrintable(sim.devicePath()));
        std::fflush(stdout);
        rc = app.exec();
    } // the simulator removes its link here
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    return rc;
}
