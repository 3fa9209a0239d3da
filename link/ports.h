#pragma once

#include <QList>
#include <QString>

#include <functional>

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

// --- Serial device servers -----------------------------------------------------------------------
// "tcp://HOST:PORT" names a serial device server in transparent mode (or the simulator's TCP server):
// the link carries the same frames over a TCP connection to it.
bool IsTcpDevice(const QString& device);
// HOST (a name, an IPv4 address, or an IPv6 address in brackets) and PORT 1..65535. False for anything
// else.
bool ParseTcpDevice(const QString& device, QString& host, quint16& port);

// --- The serial ports the system has now -----------------------------------------------------------
// What the system tells about one serial port (QSerialPortInfo), as plain values, so that a test can
// hand in a list of its own.
struct SystemPort {
    QString portName;       // "ttyUSB0", "COM3"
    QString systemLocation; // "/dev/ttyUSB0", "\\\\.\\COM3"
    QString description;
    QString manufacturer;
    QString serialNumber;
    bool hasVendorId = false;
    quint16 vendorId = 0;
    bool hasProductId = false;
    quint16 productId = 0;
};

// One entry of the port list of the port dialog.
struct PortEntry {
    QString device;         // what is remembered and opened: the stable name when there is one
    QString systemLocation; // the device the system gave it now ("/dev/ttyUSB3")
    QString stableName;     // "/dev/serial/by-id/..." leading to it, or empty
    QString description;    // description and manufacturer
    QString usbId;          // "0403:6001" (vendor:product, hex), or empty for a port that is not USB
};

// The serial ports the system has now, as QSerialPortInfo lists them.
QList<SystemPort> SystemPortsNow();
// Where the stable names of USB serial adapters live on Linux.
inline constexpr char StableNameDirectory[] = "/dev/serial/by-id";
// The entries of the port dialog for `ports`, in the order of their system names, each with the
// stable name from `stableNameDir` whose link leads to its device (on Linux). Ports with the same
// device are listed once.
QList<PortEntry> ListPorts(const QList<SystemPort>& ports,
                           const QString& stableNameDir = StableNameDirectory);
// The source of the port dialog's list (SystemPortList in the program; a fake list in a test).
using PortSource = std::function<QList<PortEntry>()>;
// ListPorts of SystemPortsNow.
QList<PortEntry> SystemPortList();

// True when `device` is there now (a serial device file, or on Windows a port the system lists).
// Always true for a tcp:// name: whether the server answers is known only once connected.
bool DeviceExists(const QString& device);
