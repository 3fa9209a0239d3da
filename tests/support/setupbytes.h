#pragma once

// A setup file as a test writes it: 39 lines "key = TAB value" CR LF (the keys are not read back), and
// the values of a whole VXA configuration that differ from the simulator's defaults.

#include <QByteArray>
#include <QStringList>

inline QByteArray SetupBytes(const QStringList& values) {
    QByteArray out;
    for (int i = 0; i < values.size(); ++i) {
        out += "Chiave " + QByteArray::number(i + 1) + " = \t" + values[i].toLatin1() + "\r\n";
    }
    return out;
}

inline const QStringList LoadedValues = {
    "   1000", "   3000", "  20000", " 2.5000", "  15000", "    100", "2",  "10", "7",      "3",
    "1.5",     "1",       "150",     "2",       "1",       "0",       "1",  "4",  "10",     "20",
    "1",       "0",       "1",       "0",       "6",       "30",      "40", "2",  "5",      "1",
    "12",      "7",       "0",       "9",       "2",       "  10000", "1",  "2",  "    200"};
