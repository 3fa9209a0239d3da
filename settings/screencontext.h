#pragma once

// What every screen is handed when it is built: the shared state, the prompter through which it shows
// messages and dialogs, where the settings files live, and the serial device that replaces the mapped
// one (--device).

#include "modulo1.h"
#include "ports.h"

#include <QString>

#include <functional>

class Prompter;
class SerialLink;
class TrafficLog;

struct ScreenContext {
    Modulo1& m;
    Prompter& prompter;
    QString settingsDir;
    QString deviceOverride; // empty: port numbers map to devices by PortDeviceName
    // Where the screen's link records the traffic on the line (null: nowhere), and what opens the
    // traffic window (empty: the screen's menu item for it is disabled).
    TrafficLog* traffic = nullptr;
    std::function<void()> showTraffic = {};
    bool localEcho = false;     // --local-echo: the adapter echoes, whatever port.ini says
    PortSource portSource = {}; // the serial ports the port dialog lists (empty: the system's)
};

// The device a screen opens for a port number: the override when one is given, else the device chosen
// in the port dialog (ChosenDevice), else PortDeviceName. Empty for a number outside 1..6 (an invalid
// port number stays invalid whatever the override).
QString PortDevice(const ScreenContext& context, int portNumber);
// Whether the screen's link drops the echo of each request: --local-echo or port.ini.
bool LineEcho(const ScreenContext& context);
QString PortDevice(const QString& deviceOverride, int portNumber);

// Why the link's device server cannot be talked to, in the language ("connection refused", ...); empty
// while nothing is wrong with the connection (and for a serial device).
QString ConnectionProblemText(const SerialLink& link, int languageIndex);
