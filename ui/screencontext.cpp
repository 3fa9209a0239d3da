#include "screencontext.h"

#include "ports.h"

QString PortDevice(const QString& deviceOverride, int portNumber) {
    if (!IsValidPortNumber(portNumber)) {
        return {};
    }
    return deviceOverride.isEmpty() ? PortDeviceName(portNumber) : deviceOverride;
}

QString PortDevice(const ScreenContext& context, int portNumber) {
    if (context.deviceOverride.isEmpty() && IsValidPortNumber(portNumber) &&
        !context.m.ChosenDevice.isEmpty()) {
        return context.m.ChosenDevice;
    }
    return PortDevice(context.deviceOverride, portNumber);
}

bool LineEcho(const ScreenContext& context) {
    return context.localEcho || context.m.LocalEcho;
}
