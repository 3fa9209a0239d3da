#pragma once

// An Application on a scratch directory and the simulated line, with a scripted prompter.

#include "../ui/uitestsupport.h"

#include "application.h"
#include "form1.h"
#include "form2.h"

#include <memory>

namespace uitest {
// An Application on a scratch directory and the simulated line, its Run() started.
struct Shell {
    Bench& bench;
    ScriptedPrompter* prompter = nullptr;
    std::unique_ptr<Application> app;
    std::shared_ptr<bool> ended = std::make_shared<bool>(false);

    // The welcome box is left out unless a test asks for it.
    static ApplicationOptions Options() {
        ApplicationOptions options;
        options.showWelcome = false;
        return options;
    }

    explicit Shell(Bench& b, ApplicationOptions options = Options()) : bench(b) {
        if (options.settingsDir.isEmpty() && !options.demo) {
            options.settingsDir = bench.dir.path();
        }
        if (options.deviceOverride.isEmpty() && !options.demo) {
            options.deviceOverride = bench.device;
            options.localEcho = options.localEcho || bench.line.echo;
        }
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompter = scripted.get();
        app = std::make_unique<Application>(options, std::move(scripted));
    }
    ~Shell() { Quit(); }

    void Run() {
        [](Application* a, std::shared_ptr<bool> done) -> QCoro::Task<> {
            co_await a->Run();
            *done = true;
        }(app.get(), ended);
    }
    Form2* Start() const { return app->StartScreen(); }
    Form1* Main() const { return app->MainScreen(); }
    // Ends the program from whichever screen is on show.
    void Quit() {
        if (!app || *ended) {
            return;
        }
        if (Main()) {
            Main()->Esc_Click();
            WAIT_VERIFY(Start() != nullptr, 5000);
        }
        if (Start()) {
            Start()->Command1_Click();
        }
        WAIT_VERIFY(*ended, 5000);
    }
};

} // namespace uitest
