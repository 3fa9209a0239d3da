#pragma once

// port.ini, the program's own settings file beside prog.ini (which keeps its six lines for older
// copies of the program): the device chosen in the port dialog and the local-echo setting.
//
//   Device = /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0
//   Local echo (0=off 1=on) = 0
//
// An empty device (or no file) means the port number of prog.ini chooses the device. Lines end in
// CR LF; each value follows the "=" after its key (blanks around it dropped); other lines are ignored.

#include "modulo1.h"
#include "settings.h"

#include <QByteArray>
#include <QString>

namespace settings {

inline constexpr char PortIniName[] = "port.ini";

// Fills ChosenDevice and LocalEcho of `m` from the file's content (missing lines: no device, echo off).
void ParsePortIni(const QByteArray& content, Modulo1& m);
QByteArray FormatPortIni(const Modulo1& m);
// Reads `dir`/port.ini into `m`; a missing or refused file gives no device and echo off. False when
// the file was missing or refused (`problem` says why it was refused).
bool ReadPortIni(Modulo1& m, const QString& dir, FileProblem* problem = nullptr);
// Writes `dir`/port.ini safely (see WriteSettingsFile).
bool WritePortIni(const Modulo1& m, const QString& dir, FileProblem* problem = nullptr);

} // namespace settings
