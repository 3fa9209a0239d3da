#pragma once

// Reading instruments as the screens read them, shared by backup, report and the plant commands.

#include "cliline.h"

#include "report.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QList>
#include <QStringList>

#include <memory>

// An instrument read whole, as the main setup screen's save reads it.
struct ReadInstrument {
    int model = 0;
    std::unique_ptr<CliInstrument> inst;

    // The setup file and its model file as the save writes them, in the line's language.
    QByteArray SetupFile() const;
    QByteArray ModelFile() const;
    // The 39 values the setup file holds.
    QStringList Values() const;
};

enum class ReadResult { Read, NoReply, NotRead };

// Asks the model of the instrument at `address`, reads its division and the save's full read. A
// failure is told ("no reply from address N", or what was not read followed by `notReadTail`).
QCoro::Task<ReadResult> ReadWhole(CliLine& line, CliIo& io, int address, ReadInstrument& out,
                                  const QString& notReadTail = QString());

// The addresses of `addresses` whose instrument answers the start-up screen's division poll, in order.
// `progressKey` is the progress line's message (the address and the last address fill it).
QCoro::Task<QList<int>> FindInstruments(CliLine& line, CliIo& io, const QList<int>& addresses,
                                        const char* progressKey = "BackupLooking");

// The upper band of the main setup screen after one pass of the live monitor, as the report prints it.
QCoro::Task<ReportScreen> LiveScreen(CliInstrument& inst, int address);
