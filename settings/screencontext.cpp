#include "screencontext.h"

#include "ports.h"
#include "serial.h"
#include "texts.h"

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

QString ConnectionProblemText(const SerialLink& link, int languageIndex) {
    const TextTable messages = texts::StartMessages();
    switch (link.ConnectionProblem()) {
    case SerialLink::Connection::Fine:
        return {};
    case SerialLink::Connection::Refused:
        return TextOf(messages, u"ConnectionRefused", languageIndex);
    case SerialLink::Connection::Closed:
        return TextOf(messages, u"ConnectionClosed", languageIndex);
    case SerialLink::Connection::Failed:
        break;
    }
    return link.ConnectionProblemText();
}
