#include "portsettings.h"

#include <QDir>
#include <QList>

namespace settings {

namespace {
constexpr char DeviceKey[] = "Device";
constexpr char EchoKey[] = "Local echo (0=off 1=on)";
} // namespace

void ParsePortIni(const QByteArray& content, Modulo1& m) {
    m.ChosenDevice.clear();
    m.LocalEcho = false;
    for (const QByteArray& raw : content.split('\n')) {
        const QByteArray line = raw.trimmed();
        // The echo key holds "=" itself: its value is what follows the "=" after the key.
        const bool echo = line.startsWith(EchoKey);
        const QByteArray rest = echo ? line.mid(qsizetype(sizeof EchoKey) - 1).trimmed() : line;
        const qsizetype eq = rest.indexOf('=');
        if (eq < 0 || (echo && eq != 0)) {
            continue;
        }
        const QByteArray key = rest.left(eq).trimmed();
        const QString value = QString::fromUtf8(rest.mid(eq + 1)).trimmed();
        if (echo) {
            m.LocalEcho = value == QLatin1String("1");
        } else if (key == DeviceKey) {
            m.ChosenDevice = value;
        }
    }
}

QByteArray FormatPortIni(const Modulo1& m) {
    QByteArray out;
    out += QByteArray(DeviceKey) + " = " + m.ChosenDevice.toUtf8() + "\r\n";
    out += QByteArray(EchoKey) + " = " + (m.LocalEcho ? "1" : "0") + "\r\n";
    return out;
}

bool ReadPortIni(Modulo1& m, const QString& dir, FileProblem* problem) {
    const std::optional<QByteArray> content =
        ReadSettingsFile(QDir(dir).filePath(QLatin1String(PortIniName)), problem);
    ParsePortIni(content.value_or(QByteArray()), m);
    return content.has_value();
}

bool WritePortIni(const Modulo1& m, const QString& dir, FileProblem* problem) {
    return WriteSettingsFile(QDir(dir).filePath(QLatin1String(PortIniName)), FormatPortIni(m), problem);
}

} // namespace settings
