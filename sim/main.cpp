// quartel-sim: a simulated line of Quartel instruments on a pseudo-terminal.
//
//   quartel-sim [--vxa 1,3] [--vxb 2] [--link /tmp/quartel-line] [--wire-time]
//               [--fault 2:silent] [--fault 3:late=800] [--commands] [--tcp 5020] [--local-echo]
//               [--error linear:0.02%,hysteresis:2,eccentric:3]
//
// Prints the terminal's path on one line (and with --tcp the line's TCP address, tcp://127.0.0.1:PORT,
// on a second) and runs until SIGINT or SIGTERM. With --commands it reads
// lines from its standard input while it runs: "fault ADDR:FAULT" sets the fault of an address (the
// same words as --fault, "none" lifts it), "clear" lifts every fault and "load ADDR:DIVISIONS[@POSITION]"
// places a test load on the scale of an address ("client" asks whether a TCP master is connected:
// "ok connected" or "ok none"; a verification run tells the load, see
// `quartel-cli verify --place-command`); each line is answered on standard output with "ok" or
// "error: ...".

#include "simulator.h"
#include "tcpserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <memory>
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

// "ADDR[,ADDR...]:FAULT" for instruments of `sim`. False, with `error` set, on a bad text or an
// address without an instrument.
bool applyFault(Simulator& sim, const QString& text, QString& error) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    QList<int> addresses;
    if (colon < 0 || !parseAddresses(text.left(colon), addresses) || addresses.isEmpty()) {
        error = QStringLiteral("a fault is ADDR:FAULT, e.g. 2:silent (\"%1\")").arg(text);
        return false;
    }
    SimFault fault;
    if (!SimFault::parse(text.mid(colon + 1), fault, &error))
        return false;
    for (const int a : addresses) {
        if (!sim.instrument(a)) {
            error = QStringLiteral("no instrument at address %1").arg(a);
            return false;
        }
    }
    for (const int a : addresses)
        sim.setFault(a, fault);
    return true;
}

// One line of the command input.
QString runCommand(Simulator& sim, const QString& line) {
    const QString text = line.trimmed();
    if (text == QLatin1String("clear")) {
        sim.clearFaults();
        return QStringLiteral("ok");
    }
    if (text.startsWith(QLatin1String("fault "))) {
        QString error;
        return applyFault(sim, text.mid(6).trimmed(), error) ? QStringLiteral("ok")
                                                             : QStringLiteral("error: ") + error;
    }
    if (text.startsWith(QLatin1String("load "))) {
        // ADDR:DIVISIONS[@POSITION]
        const QString rest = text.mid(5).trimmed();
        bool okA = false, okL = false, okP = true;
        const int a = rest.section(QLatin1Char(':'), 0, 0).toInt(&okA);
        const QString load = rest.section(QLatin1Char(':'), 1);
        const qint32 divisions = load.section(QLatin1Char('@'), 0, 0).toInt(&okL);
        const int position =
            load.contains(QLatin1Char('@')) ? load.section(QLatin1Char('@'), 1).toInt(&okP) : 0;
        SimInstrument* inst = okA ? sim.instrument(a) : nullptr;
        if (!inst || !okL || !okP || position < 0 || position > 4)
            return QStringLiteral("error: a load is \"load ADDR:DIVISIONS[@POSITION]\", position 0..4");
        inst->placeLoad(divisions, position);
        return QStringLiteral("ok");
    }
    return QStringLiteral(
        "error: commands are \"fault ADDR:FAULT\", \"clear\" and \"load ADDR:DIVISIONS[@POSITION]\"");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quartel-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARTEL_VERSION));

    QCommandLineParser parser;
    QString faults;
    for (const QString& line : SimFault::syntaxHelp().split(QLatin1Char('\n')))
        faults += QStringLiteral("\n  ") + line;
    parser.setApplicationDescription(
        // "Faults:" alone on its line is a heading the manual page turns into a section.
        QStringLiteral("Simulated Quartel instruments on a pseudo-terminal.\n\n"
                       "Faults:\n"
                       "  FAULT in --fault ADDR:FAULT and in the command \"fault ADDR:FAULT\" is one of these.\n") +
        faults);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption vxaOpt(QStringLiteral("vxa"), QStringLiteral("Addresses of VXA instruments."),
                                    QStringLiteral("ADDR,..."));
    const QCommandLineOption vxbOpt(QStringLiteral("vxb"), QStringLiteral("Addresses of VXB instruments."),
                                    QStringLiteral("ADDR,..."));
    const QCommandLineOption linkOpt(QStringLiteral("link"),
                                     QStringLiteral("Symbolic link to create to the terminal."),
                                     QStringLiteral("PATH"));
    const QCommandLineOption wireOpt(QStringLiteral("wire-time"),
                                     QStringLiteral("Deliver replies at the pace of 19200 baud."));
    const QCommandLineOption chunkOpt(
        QStringLiteral("chunk"),
        QStringLiteral("With --wire-time, hand a reply over CHARS characters at a time: 8 (the default) as a "
                       "UART's receive FIFO does, a whole frame (64 or more) as a device server that packs "
                       "what it received does."),
        QStringLiteral("CHARS"));
    const QCommandLineOption faultOpt(
        QStringLiteral("fault"),
        QStringLiteral("Misbehaviour of the instrument at ADDR (a list 1,3 is allowed); repeatable. "
                       "FAULT: see above."),
        QStringLiteral("ADDR:FAULT"));
    const QCommandLineOption commandsOpt(
        QStringLiteral("commands"),
        QStringLiteral("Read commands from standard input while running: \"fault ADDR:FAULT\" and "
                       "\"clear\", \"load ADDR:DIVISIONS[@POSITION]\" and \"client\" (is a TCP master "
                       "connected?); each is answered with \"ok\" or \"error: ...\" on standard output."));
    const QCommandLineOption tcpOpt(
        QStringLiteral("tcp"),
        QStringLiteral("Also serve the line on 127.0.0.1:PORT, one client at a time, like a serial device "
                       "server in transparent mode (connect with tcp://127.0.0.1:PORT); 0 takes a free port, "
                       "printed on the second line."),
        QStringLiteral("PORT"));
    const QCommandLineOption echoOpt(
        QStringLiteral("local-echo"),
        QStringLiteral("Hand every request back before its reply, like a USB-RS485 adapter without echo "
                       "suppression."));
    const QCommandLineOption errorOpt(
        QStringLiteral("error"),
        QStringLiteral("Weighing errors of every scale, so that a verification fails: linear:PERCENT% "
                       "(e.g. linear:0.02%), hysteresis:DIVISIONS (on the way down), eccentric:DIVISIONS "
                       "(off the centre), several joined by \",\"."),
        QStringLiteral("ERRORS"));
    parser.addOptions(
        {vxaOpt, vxbOpt, linkOpt, wireOpt, chunkOpt, faultOpt, commandsOpt, tcpOpt, echoOpt, errorOpt});
    parser.process(app);

    QList<int> vxa;
    QList<int> vxb;
    if (!parseAddresses(parser.value(vxaOpt), vxa) || !parseAddresses(parser.value(vxbOpt), vxb)) {
        std::fprintf(stderr, "quartel-sim: addresses must be numbers 1..247, separated by commas\n");
        return 2;
    }
    quint16 tcpPort = 0;
    const bool tcp = parser.isSet(tcpOpt);
    if (tcp) {
        bool ok = false;
        const uint value = parser.value(tcpOpt).toUInt(&ok);
        if (!ok || value > 65535) {
            std::fprintf(stderr, "quartel-sim: --tcp takes a port number 1..65535, or 0 for a free one\n");
            return 2;
        }
        tcpPort = quint16(value);
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
        if (parser.isSet(chunkOpt)) {
            bool ok = false;
            const int chars = parser.value(chunkOpt).toInt(&ok);
            if (!ok || chars < 1 || chars > 1024) {
                std::fprintf(stderr, "quartel-sim: --chunk takes a number of characters 1..1024\n");
                return 2;
            }
            sim.setWireChunkChars(chars);
        }
        if (parser.isSet(echoOpt))
            sim.setLocalEcho(true);
        SimInstrument::ScaleErrors scaleErrors;
        QString errorText;
        if (!SimInstrument::ScaleErrors::parse(parser.value(errorOpt), scaleErrors, &errorText)) {
            std::fprintf(stderr, "quartel-sim: %s\n", qPrintable(errorText));
            return 2;
        }
        for (const int a : vxa + vxb)
            sim.instrument(a)->errors = scaleErrors;
        for (const QString& text : parser.values(faultOpt)) {
            QString error;
            if (!applyFault(sim, text, error)) {
                std::fprintf(stderr, "quartel-sim: %s\n", qPrintable(error));
                return 2;
            }
        }
        if (parser.isSet(linkOpt) && !sim.makeLink(parser.value(linkOpt))) {
            std::fprintf(stderr, "quartel-sim: cannot create the link %s\n",
                         qPrintable(parser.value(linkOpt)));
            return 1;
        }
        SimTcpServer server(sim);
        if (tcp && !server.listen(tcpPort)) {
            std::fprintf(stderr, "quartel-sim: cannot serve TCP port %u: %s\n", unsigned(tcpPort),
                         qPrintable(server.errorString()));
            return 1;
        }
        std::printf("%s\n", qPrintable(sim.devicePath()));
        if (tcp)
            std::printf("%s\n", qPrintable(server.url()));
        std::fflush(stdout);

        // Commands on standard input, a line at a time; at its end the simulator keeps running.
        std::unique_ptr<QSocketNotifier> commands;
        QByteArray pending;
        if (parser.isSet(commandsOpt)) {
            commands = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
            QObject::connect(commands.get(), &QSocketNotifier::activated, &app, [&] {
                char buf[512];
                const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
                if (n <= 0) {
                    commands->setEnabled(false);
                    return;
                }
                pending.append(buf, n);
                for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
                    const QString line = QString::fromLocal8Bit(pending.left(end));
                    pending.remove(0, end + 1);
                    if (line.trimmed().isEmpty())
                        continue;
                    // "client": whether a master is connected over TCP (a test waits for the last one to
                    // be gone before the next connects, as a device server serves one at a time).
                    const QString answer = line.trimmed() == QLatin1String("client")
                                               ? (server.hasClient() ? QStringLiteral("ok connected")
                                                                     : QStringLiteral("ok none"))
                                               : runCommand(sim, line);
                    std::printf("%s\n", qPrintable(answer));
                    std::fflush(stdout);
                }
            });
        }
        rc = app.exec();
    } // the simulator removes its link here
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    return rc;
}
