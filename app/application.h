#pragma once

// The Application controller: it owns the shared state (Modulo1), the prompter, the settings directory
// and, with --demo, the simulated line; it builds one screen at a time, runs its loop to the end and
// only then closes it (its port closes with it) and opens the next one. No screen is ever opened from
// inside another screen's loop.

#include "dialogs.h"
#include "form1.h"
#include "form2.h"
#include "loopwait.h"
#include "modulo1.h"
#include "options.h"
#include "prompter.h"
#include "traffic.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class DemoLine;
class QTemporaryDir;
class TrafficWindow;
struct ScreenContext;

class Application : public QObject {
    Q_OBJECT
public:
    // `prompter` shows the messages and dialogs (a WidgetPrompter when null).
    explicit Application(ApplicationOptions options, std::unique_ptr<Prompter> prompter = nullptr,
                         QObject* parent = nullptr);
    ~Application() override;

    // Starts the demo line (with --demo) and settles the settings directory. False, with ErrorString,
    // when the demo line cannot be opened.
    bool Prepare();
    QString ErrorString() const { return error_; }

    // The welcome box (when asked for), then the start-up screen and the screens it leads to, until
    // the user quits. Calls Prepare() when it has not run yet.
    QCoro::Task<> Run();

    Modulo1& State() { return m_; }
    Prompter& prompter() { return *prompter_; }
    const ApplicationOptions& Options() const { return options_; }
    QString SettingsDir() const { return settingsDir_; }
    QString DeviceOverride() const { return deviceOverride_; }
    DemoLine* Demo() const { return demo_.get(); }

    // The screen on show now (null while another one is).
    Form2* StartScreen() const { return form2_; }
    Form1* MainScreen() const { return form1_; }
    FrmAbout* WelcomeBox() const { return about_; }
    // The traffic on the line, recorded by the link of whichever screen is on show.
    TrafficLog& Traffic() { return traffic_; }
    // Opens the traffic window (one for both screens, built the first time) and brings it forward.
    void ShowTraffic();
    // The traffic window; null until it was first opened.
    TrafficWindow* TrafficView() const { return trafficWindow_.get(); }
    int StartScreenLoads() const { return startLoads_; }
    int MainScreenOpens() const { return mainOpens_; }
    bool IsFinished() const { return finished_; }

signals:
    void StartScreenShown(Form2* screen);
    void MainScreenShown(Form1* screen);
    void Finished();

private:
    // The menu entry the windows belong to and their icon, for the whole program.
    static void SetDesktopIdentity();
    QCoro::Task<> ShowWelcome();
    ScreenContext Context();
    // --quit-after: the time is up.
    void QuitAfterTime();

    ApplicationOptions options_;
    std::unique_ptr<Prompter> prompter_;
    Modulo1 m_;
    std::unique_ptr<DemoLine> demo_;
    std::unique_ptr<QTemporaryDir> scratch_;
    QString settingsDir_;
    QString deviceOverride_;
    QString error_;
    bool prepared_ = false;
    bool finished_ = false;
    int startLoads_ = 0;
    int mainOpens_ = 0;
    LoopWaker waker_;
    TrafficLog traffic_;
    std::unique_ptr<TrafficWindow> trafficWindow_;
    QPointer<Form2> form2_;
    QPointer<Form1> form1_;
    QPointer<FrmAbout> about_;
    QTimer quitTimer_;
};
