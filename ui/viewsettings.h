#pragma once

// view.ini, beside prog.ini: how the main setup screen shows the weight trend.
//
//   Trend shown (0=no 1=yes) = 1
//   Trend window (minutes) = 5
//
// A missing file, line or value gives the trend hidden over a window of 5 minutes; a window other than
// 1, 5 or 15 minutes gives 5. Lines end in CR LF; other lines are ignored.

#include "settings.h"

#include <QByteArray>
#include <QString>

namespace settings {

inline constexpr char ViewIniName[] = "view.ini";

struct ViewSettings {
    bool trendShown = false;
    int trendWindowMinutes = 5;
};

// The trend windows on offer, in minutes.
inline constexpr int TrendWindows[] = {1, 5, 15};

ViewSettings ParseViewIni(const QByteArray& content);
QByteArray FormatViewIni(const ViewSettings& v);
// `dir`/view.ini; the defaults when it is missing or refused.
ViewSettings ReadViewIni(const QString& dir);
// Writes it safely (see WriteSettingsFile). False when it could not be written.
bool WriteViewIni(const ViewSettings& v, const QString& dir, FileProblem* problem = nullptr);

} // namespace settings
