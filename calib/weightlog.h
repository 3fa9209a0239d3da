#pragma once

// The weight log: one CSV row per new reading of the weight on show, written by the main setup screen
// and by quartel-cli watch alike, so that both make the same file.
//
//   time,address,model,view,weight,shown,stable,net,output1,output2
//   2026-12-10T09:15:02.481+01:00,1,VXA,gross,125.00,"  125.00",1,0,1,0
//
// time: local time, ISO 8601 with milliseconds and the offset from UTC; model "VXA" or "VXB"; view
// "net", "gross" or "peak"; weight: the number with the decimals of the division (empty when the
// instrument showed a status text instead of a weight); shown: the weight field's text in quotes;
// stable: the status byte's stable bit at the reading; net, output1, output2: the lamps as shown after
// the pass (empty for a VXB, which has none of them). 1 on, 0 off. Lines end in CR LF, UTF-8.

#include "livemonitor.h"
#include "modulo1.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

struct WeightLogRow {
    WeightReading reading;
    int address = 0;
    int model = 1;
    bool net = false; // the lamps after the pass
    bool output1 = false;
    bool output2 = false;
};

inline constexpr char WeightLogLineEnd[] = "\r\n";

// The first line of a log, without its line end.
QString WeightLogHeader();
// One row, without its line end.
QString WeightLogLine(const WeightLogRow& row);

// The row of a reading: the instrument of the session and the lamps as the pass left them.
WeightLogRow MakeWeightLogRow(const WeightReading& reading, const MonitorDisplay& display, const Modulo1& m);

// Tells, after each pass of a loop, whether the pass took a new reading of the weight on show.
class ReadingWatch {
public:
    // The reading the pass took, or nothing when it took none.
    std::optional<WeightReading> AfterPass(const LiveMonitor& monitor);
    // Readings taken so far are not new any more (a log that starts now).
    void Skip(const LiveMonitor& monitor) { seen_ = monitor.ReadingCount(); }

private:
    quint64 seen_ = 0;
};

// A log file. Each row is handed to the system as soon as it is made, so that a full disk or a removed
// stick ends the log without losing a row written before; a row that could be written only in part is
// taken back, so the file always ends with a whole row.
class WeightLogFile {
public:
    ~WeightLogFile();
    // Creates (or empties) the file and writes the header. False, with ErrorString(), when it cannot.
    bool Open(const QString& path);
    bool IsOpen() const { return file_.isOpen(); }
    // False, with ErrorString(), when the row could not be written whole; the file is then closed.
    bool Append(const WeightLogRow& row);
    void Close();
    QString Path() const { return file_.fileName(); }
    QString ErrorString() const { return error_; }
    // Rows written since Open.
    qint64 Rows() const { return rows_; }

private:
    bool WriteLine(const QString& line);

    QFile file_;
    QString error_;
    qint64 rows_ = 0;
};

// The name proposed for a new log of the instrument at `address`: "quartel-addr01-2026-12-10.csv".
QString WeightLogFileName(int address, const QDate& date);
