#include "application.h"

#include "demo.h"
#include "dialogs.h"
#include "form1.h"
#include "form2.h"
#include "prompter.h"
#include "screencontext.h"
#include "settings.h"
#include "trafficwindow.h"

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QTemporaryDir>

Application::Application(ApplicationOptions options, std::unique_ptr<Prompter> prompter, QObject* parent)
    : QObject(parent), options_(std::move(options)), prompter_(std::move(prompter)) {
    if (!prompter_) {
        prompter_ = std::make_unique<WidgetPrompter>();
    }
    SetDesktopIdentity();
    quitTimer_.setSingleShot(true);
    connect(&quitTimer_, &QTimer::timeout, this, &Application::QuitAfterTime);
}

void Application::QuitAfterTime() {
    // Only the start-up screen ends the program: while the welcome box or the main setup screen is
    // on show, the time is tried again a second later.
    constexpr int RetryMs = 1000;
    if (form2_ && form2_->isVisible()) {
        form2_->close();
    } else if (!finished_) {
        quitTimer_.start(RetryMs);
    }
}

void Application::SetDesktopIdentity() {
    // The window system ties every window to the menu entry of this name (its icon, its name in the
    // dock); the icon is the theme's one when installed, the built-in one otherwise.
    QGuiApplication::setDesktopFileName(QStringLiteral("it.pesometra.QuartelSetup"));
    QIcon builtIn;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        builtIn.addFile(QStringLiteral(":/icons/quartel-setup-%1.png").arg(size), QSize(size, size));
    }
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quartel-setup"), builtIn));
}

Application::~Application() {
    delete form2_.data();
    delete form1_.data();
    delete about_.data();
    trafficWindow_.reset();
    traffic_.CloseTrace(); // the last lines reach the file
}

void Application::ShowTraffic() {
    if (!trafficWindow_) {
        trafficWindow_ = std::make_unique<TrafficWindow>(traffic_, m_, *prompter_);
    }
    trafficWindow_->show();
    trafficWindow_->raise();
    trafficWindow_->activateWindow();
}

bool Application::Prepare() {
    if (prepared_) {
        return error_.isEmpty();
    }
    prepared_ = true;
    if (!options_.traceFile.isEmpty()) {
        QString reason;
        if (!traffic_.OpenTrace(options_.traceFile, &reason)) {
            error_ =
                QStringLiteral("the trace file %1 could not be opened: %2").arg(options_.traceFile, reason);
            return false;
        }
    }
    deviceOverride_ = options_.deviceOverride;
    settingsDir_ = options_.settingsDir;
    if (options_.demo) {
        // Scratch settings: the demo never touches the user's own files.
        if (settingsDir_.isEmpty()) {
            scratch_ = std::make_unique<QTemporaryDir>();
            if (!scratch_->isValid()) {
                error_ = QStringLiteral("no scratch directory for the demo: %1").arg(scratch_->errorString());
                return false;
            }
            settingsDir_ = scratch_->path();
        }
        DemoLine::PrepareSettings(settingsDir_);
        demo_ = std::make_unique<DemoLine>();
        if (!demo_->Start()) {
            error_ = QStringLiteral("the simulated line could not be opened: %1").arg(demo_->ErrorString());
            return false;
        }
        deviceOverride_ = demo_->DevicePath();
    }
    if (settingsDir_.isEmpty()) {
        settingsDir_ = settings::DefaultSettingsDirectory();
        // The first start there writes the defaults, quietly: a file that cannot be written is told
        // when the user changes a setting.
        settings::WriteMissingDefaults(settingsDir_);
    }
    settingsDir_ = QDir(settingsDir_).absolutePath();
    return true;
}

ScreenContext Application::Context() {
    return ScreenContext{m_,
                         *prompter_,
                         settingsDir_,
                         deviceOverride_,
                         &traffic_,
                         [this] { ShowTraffic(); },
                         options_.localEcho,
                         {}};
}

QCoro::Task<> Application::ShowWelcome() {
    auto about = std::make_unique<FrmAbout>();
    about_ = about.get();
    connect(about.get(), &FrmAbout::Unloaded, &waker_, &LoopWaker::Notify);
    about->show();
    while (!about->IsUnloaded()) {
        co_await waker_.Wait();
    }
    about.reset();
}

QCoro::Task<> Application::Run() {
    if (!Prepare()) {
        qWarning("%s", qPrintable(error_));
        finished_ = true;
        emit Finished();
        co_return;
    }
    if (options_.quitAfterSeconds > 0) {
        quitTimer_.start(options_.quitAfterSeconds * 1000);
    }
    if (options_.showWelcome) {
        co_await ShowWelcome();
    }
    for (;;) {
        // The start-up screen, built afresh each time.
        auto start = std::make_unique<Form2>(Context());
        form2_ = start.get();
        start->LoadStartScreen();
        start->show();
        ++startLoads_;
        emit StartScreenShown(start.get());
        const StartScreenOutcome outcome = co_await start->ActivateStartScreen();
        // The loop has ended: only now is the screen closed (its port with it).
        start.reset();
        if (outcome == StartScreenOutcome::Quit) {
            break;
        }
        if (outcome == StartScreenOutcome::Reload) {
            continue;
        }
        // The main setup screen for DeviceAddress; again for the model the instrument answers as, when
        // that was not the one selected and the user chose to open its screen.
        for (;;) {
            auto main = std::make_unique<Form1>(Context());
            form1_ = main.get();
            main->Form_Load();
            main->show();
            ++mainOpens_;
            emit MainScreenShown(main.get());
            co_await main->Form_Activate();
            const int reopenAs = main->ReopenAsModel();
            main.reset();
            // No queued write survives the screen.
            m_.WritePending = false;
            if (reopenAs == 0) {
                break;
            }
            // The selection follows, as the menu of the start-up screen sets it.
            m_.InstrumentModel = reopenAs;
        }
    }
    finished_ = true;
    emit Finished();
}
