#include "settings.h"

#include "frame.h"
#include "serial.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace settings {

namespace {

constexpr char LineEnd[] = "\r\n";

// Lines of a text file, without their line ends (LF or CR LF). A final line end adds no empty line.
QList<QByteArray> SplitLines(const QByteArray& content) {
    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    return lines;
}

int16_t ToInt16(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double clamped = std::clamp(value, double(std::numeric_limits<int16_t>::min()),
                                      double(std::numeric_limits<int16_t>::max()));
    return static_cast<int16_t>(std::lround(clamped));
}

// Lines 1-3: the number after the first "=" (blanks skipped). Nothing when the line has no "=".
std::optional<int16_t> ValueAfterEquals(const QString& line) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) {
        return std::nullopt;
    }
    return ToInt16(ReadNumber(line.mid(eq + 1)));
}

// Lines 4-6: the last character of the line as a number (a character that is not a digit reads 0).
// Nothing when the line is empty.
std::optional<uint8_t> LastCharacterValue(const QString& line) {
    if (line.isEmpty()) {
        return std::nullopt;
    }
    const QChar last = line.back();
    return last.isDigit() && last.unicode() < 128 ? uint8_t(last.unicode() - u'0') : uint8_t(0);
}

} // namespace

QString DefaultProgIniLine(int line) {
    switch (line) {
    case 1:
        return QStringLiteral("Start reply timeout (ms) = %1").arg(DefaultReplyTimeoutMs);
    case 2:
        return QStringLiteral("Main reply timeout (ms) = %1").arg(DefaultReplyTimeoutMs);
    case 3:
        return QStringLiteral("Pause between instruments (ms) = %1").arg(DefaultPollDelayMs);
    default:
        return {};
    }
}

void ParseProgIni(const QByteArray& content, Modulo1& m) {
    const QList<QByteArray> raw = SplitLines(content);
    auto line = [&](int n) -> std::optional<QString> {
        if (n > raw.size()) {
            return std::nullopt;
        }
        return QString::fromLatin1(raw.at(n - 1));
    };

    // Lines 1-3: the value after "=", the line kept as read; a line that gives no value is replaced.
    m.ProgIniLines.clear();
    int16_t values[3] = {};
    for (int n = 1; n <= 3; ++n) {
        const std::optional<QString> text = line(n);
        const std::optional<int16_t> value = text ? ValueAfterEquals(*text) : std::nullopt;
        if (value) {
            m.ProgIniLines.append(*text);
            values[n - 1] = *value;
        } else {
            m.ProgIniLines.append(DefaultProgIniLine(n));
            values[n - 1] = n == 3 ? DefaultPollDelayMs : DefaultReplyTimeoutMs;
        }
    }
    // A reply time-out of 0 or less would never end a receive without an answer.
    m.StartReplyTimeoutMs = values[0] > 0 ? values[0] : int16_t(DefaultReplyTimeoutMs);
    m.MainReplyTimeoutMs = values[1] > 0 ? values[1] : int16_t(DefaultReplyTimeoutMs);
    m.PollDelayMs = values[2];

    // Lines 4-6: the last character.
    auto lastOf = [&](int n, int fallback) -> uint8_t {
        const std::optional<QString> text = line(n);
        const std::optional<uint8_t> value = text ? LastCharacterValue(*text) : std::nullopt;
        return value ? *value : uint8_t(fallback);
    };
    m.CommPortNumber = lastOf(4, DefaultCommPortNumber);
    m.HideLanguageMenu = lastOf(5, DefaultHideLanguageMenu);
    m.LanguageIndex = lastOf(6, DefaultLanguageIndex);
}

QByteArray FormatProgIni(const Modulo1& m) {
    QByteArray out;
    for (int n = 1; n <= 3; ++n) {
        const QString text = n <= m.ProgIniLines.size() ? m.ProgIniLines.at(n - 1) : DefaultProgIniLine(n);
        out += text.toLatin1() + LineEnd;
    }
    out += "COMM Number = " + QByteArray::number(m.CommPortNumber) + LineEnd;
    out += "Language Type (0=Italian 1=English) = " + QByteArray::number(m.HideLanguageMenu) + LineEnd;
    out += "Language (0=Italian 1=English) = " + QByteArray::number(m.LanguageIndex) + LineEnd;
    return out;
}

std::optional<QByteArray> ReadSettingsFile(const QString& path, FileProblem* problem) {
    auto refuse = [&](FileProblem::Reason reason, const QString& systemText = {}) {
        if (problem) {
            *problem = FileProblem{reason, path, systemText};
        }
        return std::nullopt;
    };
    // A first look, following symbolic links: what is not there is simply missing.
    const QFileInfo info(path);
    if (!info.exists()) {
        return std::nullopt;
    }
    if (!info.isFile()) {
        return refuse(FileProblem::NotRegularFile);
    }
    if (info.size() > MaxFileBytes) {
        return refuse(FileProblem::TooLarge);
    }
#ifdef Q_OS_UNIX
    // The file may have been replaced since: open without blocking (a FIFO would wait for a writer)
    // and look again at what was opened.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        return refuse(FileProblem::System, QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(FileProblem::NotRegularFile);
    }
    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const QString text = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            return refuse(FileProblem::System, text);
        }
        if (n == 0) {
            break;
        }
        content.append(buffer, n);
        if (content.size() > MaxFileBytes) { // it grew since the look
            ::close(fd);
            return refuse(FileProblem::TooLarge);
        }
    }
    ::close(fd);
    return content;
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return refuse(FileProblem::System, file.errorString());
    }
    QByteArray content = file.read(MaxFileBytes + 1);
    if (content.size() > MaxFileBytes) {
        return refuse(FileProblem::TooLarge);
    }
    return content;
#endif
}

bool WriteSettingsFile(const QString& path, const QByteArray& content, FileProblem* problem) {
    auto fail = [&](FileProblem::Reason reason, const QString& systemText = {}) {
        if (problem) {
            *problem = FileProblem{reason, path, systemText};
        }
        return false;
    };
    // Only a regular file is replaced: the temporary file would otherwise be renamed over a directory,
    // a FIFO or a device that a symbolic link leads to.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        return fail(FileProblem::NotRegularFile);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return fail(FileProblem::System, file.errorString());
    }
    if (file.write(content) != content.size()) {
        const QString text = file.errorString();
        file.cancelWriting();
        return fail(FileProblem::System, text);
    }
    if (!file.commit()) {
        return fail(FileProblem::System, file.errorString());
    }
    return true;
}

bool ReadProgIni(Modulo1& m, const QString& dir, FileProblem* problem) {
    const std::optional<QByteArray> content =
        ReadSettingsFile(QDir(dir).filePath(QLatin1String(ProgIniName)), problem);
    ParseProgIni(content.value_or(QByteArray()), m);
    return content.has_value();
}

bool WriteProgIni(const Modulo1& m, const QString& dir, FileProblem* problem) {
    return WriteSettingsFile(QDir(dir).filePath(QLatin1String(ProgIniName)), FormatProgIni(m), problem);
}

InstrumentList ParseInstrumentList(const QByteArray& content) {
    InstrumentList list{};
    const QList<QByteArray> lines = SplitLines(content);
    for (int n = 1; n <= InstrumentCount && n <= lines.size(); ++n) {
        list[n] = ReadNumber(QString::fromLatin1(lines.at(n - 1))) == 1.0;
    }
    return list;
}

QByteArray FormatInstrumentList(const InstrumentList& list) {
    QByteArray out;
    for (int n = 1; n <= InstrumentCount; ++n) {
        out += (list[n] ? "1" : "0");
        out += LineEnd;
    }
    return out;
}

std::optional<InstrumentList> LoadInstrumentList(const QString& dir, FileProblem* problem) {
    const std::optional<QByteArray> content =
        ReadSettingsFile(QDir(dir).filePath(QLatin1String(StrumIniName)), problem);
    if (!content) {
        return std::nullopt;
    }
    return ParseInstrumentList(*content);
}

bool SaveInstrumentList(const QString& dir, const InstrumentList& list, FileProblem* problem) {
    return WriteSettingsFile(QDir(dir).filePath(QLatin1String(StrumIniName)), FormatInstrumentList(list),
                             problem);
}

bool IsSystemProgramDirectory(const QString& dir) {
    static const QStringList system{
        QStringLiteral("/bin"),
        QStringLiteral("/sbin"),
        QStringLiteral("/usr/bin"),
        QStringLiteral("/usr/sbin"),
        QStringLiteral("/usr/games"),
        QStringLiteral("/usr/local/bin"),
        QStringLiteral("/usr/local/sbin"),
        QStringLiteral("/usr/local/games"),
    };
    if (dir.isEmpty()) {
        return false;
    }
    return system.contains(QDir::cleanPath(dir));
}

QString ChooseSettingsDirectory(const QString& programDir, bool programDirWritable, const QString& userDir) {
    if (!programDir.isEmpty() && programDirWritable && !IsSystemProgramDirectory(programDir)) {
        return programDir;
    }
    return userDir;
}

QString DefaultSettingsDirectory() {
    const QString own = QCoreApplication::applicationDirPath();
    const QFileInfo info(own);
    const bool writable = !own.isEmpty() && info.isDir() && info.isWritable();
    // The screens' folder whichever program asks (quartel-setup or quartel-cli), so that both read the
    // same prog.ini.
    const QString user = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                             .filePath(QLatin1String(UserSettingsSubfolder));
    const QString chosen = ChooseSettingsDirectory(own, writable, user);
    if (chosen != own) {
        QDir().mkpath(chosen);
    }
    return chosen;
}

bool WriteMissingDefaults(const QString& dir) {
    const auto missing = [&dir](const char* name) {
        const QFileInfo info(QDir(dir).filePath(QLatin1String(name)));
        return !info.exists() && !info.isSymLink();
    };
    bool ok = true;
    if (missing(ProgIniName)) {
        Modulo1 m;
        ParseProgIni(QByteArray(), m);
        ok = WriteProgIni(m, dir) && ok;
    }
    if (missing(StrumIniName)) {
        ok = SaveInstrumentList(dir, InstrumentList{}) && ok;
    }
    return ok;
}

} // namespace settings
