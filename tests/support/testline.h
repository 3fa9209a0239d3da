#pragma once

// The line through which a test rig talks to its simulator. QUARTEL_TEST_LINE in the environment
// chooses it, so that CTest runs a whole suite once per line without a second copy of it:
//   (unset)    the simulator's pseudo-terminal
//   tcp        a TCP server on 127.0.0.1 in front of it (a serial device server in transparent mode)
//   echo       the terminal, with an adapter that hands back every request, and local echo on
//   tcp+echo   both

#include "simulator.h"
#include "tcpserver.h"

#include <QString>
#include <QtGlobal>

#include <memory>

struct TestLine {
    std::unique_ptr<SimTcpServer> tcp;
    bool echo = false; // the adapter echoes: the screens are told so (local echo on)

    static QString FromEnvironment() { return qEnvironmentVariable("QUARTEL_TEST_LINE"); }

    // Sets `sim` up for the line `kind` and returns the device a screen opens.
    QString Device(Simulator& sim, const QString& kind = FromEnvironment()) {
        echo = kind.contains(QLatin1String("echo"));
        sim.setLocalEcho(echo);
        if (kind.contains(QLatin1String("tcp"))) {
            tcp = std::make_unique<SimTcpServer>(sim);
            if (!tcp->listen()) {
                qFatal("no TCP server for the simulator: %s", qPrintable(tcp->errorString()));
            }
            return tcp->url();
        }
        return sim.devicePath();
    }
};
