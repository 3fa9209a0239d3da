#include "screencontext.h"

#include "ports.h"

QString PortDevice(const QString& deviceOverride, int portNumber) {
    if (!IsValidPortNumber(portNumber)) {
        return {};
    }
    return deviceOverride.isEmpty() ? PortDeviceName(portNumber) : deviceOverride;
}

QString PortDevice(const ScreenContext& context, int portNumber) {
    return PortDevice(context.deviceOverride, portNumber);
}
