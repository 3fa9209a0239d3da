#include "clifiles.h"

#include "setupfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clifiles {

namespace {

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// What an existing path is, when it is not a regular file; empty for a regular file.
QString KindOf(const CliIo& io, const struct stat& st) {
    if (S_ISREG(st.st_mode)) {
        return {};
    }
    const char* key = S_ISDIR(st.st_mode)    ? "KindDirectory"
                      : S_ISFIFO(st.st_mode) ? "KindFifo"
                      : S_ISCHR(st.st_mode)  ? "KindCharDevice"
                      : S_ISBLK(st.st_mode)  ? "KindBlockDevice"
                      : S_ISSOCK(st.st_mode) ? "KindSocket"
                                             : "KindOther";
    return io.Text(key);
}

QString Named(const CliIo& io, const QString& path, const QString& reason) {
    return io.Text("FileReason").arg(Shown(path), reason);
}

} // namespace

QString SystemReason(const CliIo& io, int error) {
    // The usual ones in the run's language; any other as the system words it.
    const char* key = error == ENOENT    ? "ErrNoEntry"
                      : error == EACCES  ? "ErrAccess"
                      : error == EPERM   ? "ErrAccess"
                      : error == ENOSPC  ? "ErrNoSpace"
                      : error == EROFS   ? "ErrReadOnly"
                      : error == ENOTDIR ? "ErrNotDir"
                      : error == EISDIR  ? "ErrIsDir"
                      : error == EIO     ? "ErrIo"
                      : error == EPIPE   ? "ErrPipe"
                                         : nullptr;
    return key ? io.Text(key) : QString::fromLocal8Bit(std::strerror(error));
}

QString ReadRefusal(const CliIo& io, const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return Named(io, path, SystemReason(io, errno));
    }
    if (const QString kind = KindOf(io, st); !kind.isEmpty()) {
        return Named(io, path, io.Text("NotRegular").arg(kind));
    }
    if (st.st_size > setupfile::MaxFileBytes) {
        return Named(io, path, io.Text("SetupTooLong").arg(qint64(st.st_size)).arg(setupfile::MaxFileBytes));
    }
    const QString model = setupfile::ModelFileName(path);
    if (::stat(QFile::encodeName(model).constData(), &st) == 0) {
        if (const QString kind = KindOf(io, st); !kind.isEmpty()) {
            return Named(io, model, io.Text("NotRegular").arg(kind));
        }
    }
    return {};
}

QString WriteRefusal(const CliIo& io, const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) == 0) {
        if (const QString kind = KindOf(io, st); !kind.isEmpty()) {
            return Named(io, path, io.Text("NotReplaced").arg(kind));
        }
        return {};
    }
    if (errno != ENOENT) {
        return Named(io, path, SystemReason(io, errno));
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0) {
        return Named(io, folder, SystemReason(io, errno));
    }
    if (!S_ISDIR(st.st_mode)) {
        return Named(io, folder, SystemReason(io, ENOTDIR));
    }
    return {};
}

QString WriteWhole(const CliIo& io, const QString& path, const QByteArray& bytes) {
    if (const QString refused = WriteRefusal(io, path); !refused.isEmpty()) {
        return refused;
    }
    const QFileInfo info(path);
    QByteArray temp =
        QFile::encodeName(info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return Named(io, path, SystemReason(io, errno));
    }
    int error = 0;
    qsizetype done = 0;
    while (done < bytes.size() && error == 0) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR) {
            error = errno;
        } else if (n > 0) {
            done += n;
        }
    }
    // A file replaced keeps the permissions a new file gets; an existing one keeps its own.
    struct stat st {};
    const bool existed = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (error == 0 && ::fchmod(fd, existed ? (st.st_mode & 07777) : (0666 & ~mask)) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.constData());
        return Named(io, path, SystemReason(io, error));
    }
    return {};
}

QString WriteSetupFiles(const CliIo& io, const QString& setupPath, const QByteArray& setupBytes,
                        const QString& modelPath, const QByteArray& modelBytes) {
    // Both targets are checked before either is written.
    for (const QString& path : {modelPath, setupPath}) {
        if (const QString refused = WriteRefusal(io, path); !refused.isEmpty()) {
            return refused;
        }
    }
    QFile old(modelPath);
    const bool hadModel = old.exists();
    const QByteArray oldModel = hadModel && old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray();
    old.close();
    if (const QString failed = WriteWhole(io, modelPath, modelBytes); !failed.isEmpty()) {
        return failed;
    }
    const QString failed = WriteWhole(io, setupPath, setupBytes);
    if (!failed.isEmpty()) {
        if (hadModel) {
            WriteWhole(io, modelPath, oldModel);
        } else {
            QFile::remove(modelPath);
        }
    }
    return failed;
}

} // namespace clifiles
