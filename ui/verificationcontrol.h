#pragma once

// The main setup screen's verification with test weights: the menu item (enabled outside setup mode,
// with a live instrument), the verification window, and the step of the polling loop that takes the
// stable reading the window asked for. The window and the item only ask; the loop reads.

#include "stablewait.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

class MonitorDisplay;
class ParameterSet;
class Prompter;
class QAction;
class QMenu;
class QWidget;
class VerificationWindow;

class VerificationControl : public QObject {
    Q_OBJECT
public:
    // Seconds a read waits for a stable weight.
    static constexpr int StableTimeoutS = 10;

    VerificationControl(Modulo1& m, const LiveMonitor& monitor, const MonitorDisplay& display,
                        const ParameterSet& set, Prompter& prompter, QMenu* menu, QAction* before,
                        QWidget* screen);

    QAction* VerifyItem = nullptr;
    VerificationWindow* Window() const;
    void ApplyLanguage(int languageIndex);

    // After each pass of the loop: the item's state and the reading asked for.
    void AfterPass(quint64 pass);

private:
    void VerifyItem_Triggered();
    QCoro::Task<> SaveCertificate();
    QCoro::Task<> PrintCertificateNow();
    bool CanWeigh() const;

    Modulo1& m_;
    const LiveMonitor& monitor_;
    const MonitorDisplay& display_;
    const ParameterSet& set_;
    Prompter& prompter_;
    QWidget* screen_;
    QPointer<VerificationWindow> window_;
    StableWait wait_;
    quint64 passes_ = 0;
};
