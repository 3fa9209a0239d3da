#include "ports.h"

bool IsValidPortNumber(int portNumber) {
    return portNumber >= FirstPortNumber && portNumber <= LastPortNumber;
}

QString PortDeviceName(int portNumber) {
    if (!IsValidPortNumber(portNumber)) {
        return {};
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    static const char* const devices[] = {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0",
                                          "/dev/ttyS1",   "/dev/ttyACM0", "/dev/ttyACM1"};
    return QString::fromLatin1(devices[portNumber - FirstPortNumber]);
#endif
}
