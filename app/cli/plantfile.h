#pragma once

// The plant file (plant.ini): every RS-485 line of a plant, each with its device and time-out, for the
// plant commands of quartel-cli. One section per line, the line's name in brackets:
//
//   # comments take a whole line, starting with # or ;
//   [plant]
//   language = en            (it or en: the language of the setup files the history keeps)
//
//   [line-1]
//   device = /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0
//   local-echo = no          (yes or no: the adapter hands back each request)
//   timeout = 500            (reply time-out in ms, 1..32767; default: the screens' default)
//   addresses = 1-8,12       (or scan: every address that answers)
//
// A line's name is also the name of its folder in the history, so it is letters, digits, "-", "_" and
// "." only. A device is a path, a name under /dev/serial/by-id, or tcp://HOST:PORT. Nothing in the file
// is taken on trust: every refusal names the file's line, the section and the key.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace plant {

struct LineDef {
    QString name;
    QString device;
    bool localEcho = false;
    int timeoutMs = 0;    // 0: the default reply time-outs
    QList<int> addresses; // empty: scan every address
    int fileLine = 0;     // where its section starts
};

struct PlantDef {
    int language = 0; // LanguageIndex of the setup files: 0 Italian, 1 English
    QList<LineDef> lines;
};

// The most a plant file may hold; a larger one is refused unread.
inline constexpr qsizetype MaxPlantFileBytes = 1 << 20;
// The longest name of a line.
inline constexpr qsizetype MaxLineName = 64;

// The plant described by `content`, read from the file `fileName` (named in the messages). Nothing, with
// the reason in `error` in the language `messageLanguage`, when anything in it is wrong.
std::optional<PlantDef> ParsePlant(const QByteArray& content, const QString& fileName, QString* error,
                                   int messageLanguage = 1);

// The device a line's `device` value leads to: a name without "/" is a stable name under
// /dev/serial/by-id.
QString DevicePath(const QString& value);

} // namespace plant
