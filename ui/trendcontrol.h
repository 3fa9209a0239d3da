#pragma once

// The weight over time on the main setup screen: the trend panel and the weight log, both fed after
// each pass of the screen's loop with the reading the pass took (or a gap when it took none), and
// their items in the menu "vis":
//   "trend"    checkable: the panel shown or hidden; remembered in view.ini with the window chosen;
//   "logFile"  checkable, Ctrl+L: starts a log (a save dialog proposes quartel-addrNN-DATE.csv) or ends
//              the one running. A row that cannot be written ends the log with a message; every row
//              before it stays in the file.
// The moments of a zero and a full-scale setting are marked on the trend (Mark).
//
// Nothing here talks to the instrument: the readings are those the loop took.

#include "livemonitor.h"
#include "weightlog.h"
#include "weighttrend.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

class Prompter;
class QAction;
class QMenu;
class QWidget;
class TrendPanel;
struct Modulo1;

class TrendControl : public QObject {
    Q_OBJECT
public:
    // The items go into `menu`; the panel is made as a child of `screen` (the screen lays it out).
    TrendControl(Modulo1& m, const LiveMonitor& monitor, const MonitorDisplay& display, Prompter& prompter,
                 QString settingsDir, QMenu* menu, QWidget* screen);
    ~TrendControl() override;

    // After each pass of the loop (also a pass that read nothing).
    void AfterPass();
    // A zero (or full-scale) setting was given now.
    void Mark(TrendMarkKind kind);
    void ApplyLanguage(int languageIndex);

    const WeightTrend& Trend() const { return trend_; }
    // The history itself (benchmarks fill it with a long past).
    WeightTrend& History() { return trend_; }
    TrendPanel* Panel() const { return panel_; }
    const WeightLogFile& Log() const { return log_; }
    bool Logging() const { return log_.IsOpen(); }
    // A save dialog or a message of the log or of the picture is under way.
    bool Busy() const { return busy_; }

    QAction* TrendItem = nullptr;
    QAction* LogItem = nullptr;

signals:
    // The log ended: by the user (empty reason) or because a row could not be written.
    void LogEnded(const QString& reason);
    // A picture was saved (empty when cancelled or refused).
    void PictureSaved(const QString& path);

private:
    void TrendItem_Toggled(bool shown);
    void LogItem_Triggered();
    QCoro::Task<> StartLog();
    QCoro::Task<> EndLogWithMessage();
    QCoro::Task<> SavePicture();
    void SaveView();
    QString Text(const char* key) const;

    Modulo1& m_;
    const LiveMonitor& monitor_;
    const MonitorDisplay& display_;
    Prompter& prompter_;
    QString settingsDir_;
    QWidget* screen_;
    WeightTrend trend_;
    ReadingWatch trendReadings_;
    ReadingWatch logReadings_;
    WeightLogFile log_;
    TrendPanel* panel_ = nullptr;
    bool busy_ = false;
};
