#pragma once

#include <QString>

// Port numbers 1..6 as the settings and the port dialog know them, and the serial device each one
// leads to on this platform. On Windows port n is COMn. On Linux the rule is fixed:
//   1 -> /dev/ttyUSB0, 2 -> /dev/ttyUSB1   (USB-to-RS485/RS232 adapters, the usual case on site)
//   3 -> /dev/ttyS0,   4 -> /dev/ttyS1     (on-board serial ports)
//   5 -> /dev/ttyACM0, 6 -> /dev/ttyACM1   (CDC-ACM adapters)
// A device given with --device replaces the mapped one whatever the number.
inline constexpr int FirstPortNumber = 1;
inline constexpr int LastPortNumber = 6;

bool IsValidPortNumber(int portNumber);
// Empty for a number outside 1..6.
QString PortDeviceName(int portNumber);
