#pragma once

// What every screen is handed when it is built: the shared state, the prompter through which it shows
// messages and dialogs, where the settings files live, and the serial device that replaces the mapped
// one (--device).

#include "modulo1.h"

#include <QString>

#include <functional>

class Prompter;
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
};

// The device a port number leads to: the override when one is given, else PortDeviceName. Empty for a
// number outside 1..6 (an invalid port number stays invalid whatever the override).
QString PortDevice(const ScreenContext& context, int portNumber);
QString PortDevice(const QString& deviceOverride, int portNumber);
