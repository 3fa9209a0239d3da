#pragma once

// The files quartel-cli is given: what it may read (a setup file is a regular file of at most 65000
// bytes) and what it may write (a regular file, replaced whole; nothing else is ever replaced), and
// the messages that name the file and give the system's reason.

#include "cliio.h"

#include <QByteArray>
#include <QString>

namespace clifiles {

// The system's words for `error` (an errno value) in the run's language.
QString SystemReason(const CliIo& io, int error);

// Why `path` cannot be read as a setup file, as one line that names it; empty when it can. A missing
// file is told as missing; a directory, FIFO or device is refused without being opened; so is a model
// file beside it that is not a regular file.
QString ReadRefusal(const CliIo& io, const QString& path);

// Why `path` cannot be written as an output, as one line that names it; empty when it can: its folder
// must exist, and an existing target must be a regular file (symbolic links followed).
QString WriteRefusal(const CliIo& io, const QString& path);

// Writes `bytes` to `path` through a temporary file beside it renamed over it once complete (nothing
// half-written is ever left). The reason, naming the file, when it failed; empty when it was written.
QString WriteWhole(const CliIo& io, const QString& path, const QByteArray& bytes);

// Writes the setup file and its model file. On a failure neither is left changed: a model file written
// before the setup file failed is put back as it was (or removed when there was none).
QString WriteSetupFiles(const CliIo& io, const QString& setupPath, const QByteArray& setupBytes,
                        const QString& modelPath, const QByteArray& modelBytes);

} // namespace clifiles
