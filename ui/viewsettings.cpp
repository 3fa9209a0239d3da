#include "viewsettings.h"

#include <QDir>
#include <QList>

#include <algorithm>
#include <iterator>

namespace settings {

namespace {
constexpr char ShownKey[] = "Trend shown (0=no 1=yes)";
constexpr char WindowKey[] = "Trend window (minutes)";

// The value after "KEY =" on a line of its own, blanks around it dropped; nothing without such a line.
std::optional<QByteArray> ValueOf(const QByteArray& content, const QByteArray& key) {
    for (const QByteArray& raw : content.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith(key) && line.mid(key.size()).trimmed().startsWith('=')) {
            return line.mid(key.size()).trimmed().mid(1).trimmed();
        }
    }
    return std::nullopt;
}
} // namespace

ViewSettings ParseViewIni(const QByteArray& content) {
    ViewSettings v;
    v.trendShown = ValueOf(content, ShownKey).value_or("0") == "1";
    bool ok = false;
    const int minutes = ValueOf(content, WindowKey).value_or("").toInt(&ok);
    if (ok &&
        std::find(std::begin(TrendWindows), std::end(TrendWindows), minutes) != std::end(TrendWindows)) {
        v.trendWindowMinutes = minutes;
    }
    return v;
}

QByteArray FormatViewIni(const ViewSettings& v) {
    return QByteArray(ShownKey) + " = " + (v.trendShown ? "1" : "0") + "\r\n" + QByteArray(WindowKey) +
           " = " + QByteArray::number(v.trendWindowMinutes) + "\r\n";
}

ViewSettings ReadViewIni(const QString& dir) {
    return ParseViewIni(
        ReadSettingsFile(QDir(dir).filePath(QLatin1String(ViewIniName))).value_or(QByteArray()));
}

bool WriteViewIni(const ViewSettings& v, const QString& dir, FileProblem* problem) {
    return WriteSettingsFile(QDir(dir).filePath(QLatin1String(ViewIniName)), FormatViewIni(v), problem);
}

} // namespace settings
