// quartel-setup: configuration utility for Quartel weighing transmitters.

#include "application.h"
#include "options.h"

#include <QApplication>
#include <QCoro/QCoroTask>

#include <cstdio>

namespace {
void SetNames() {
    QCoreApplication::setApplicationName(QStringLiteral("quartel-setup"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARTEL_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Quartel"));
}
} // namespace

int main(int argc, char* argv[]) {
    // --help and --version are answered before any window system is needed, so they work on a
    // console without a display.
    {
        QCoreApplication console(argc, argv);
        SetNames();
        const ParsedCommandLine early = ParseCommandLine(QCoreApplication::arguments());
        if (early.exitNow) {
            std::fputs(qPrintable(early.message), stdout);
            return 0;
        }
    }

    QApplication app(argc, argv);
    SetNames();
    // Screens are closed and opened by the Application; between two of them no window is on show.
    QApplication::setQuitOnLastWindowClosed(false);
    // The window system's own options (-platform, -display, ...) are gone from arguments() here.
    const ParsedCommandLine command = ParseCommandLine(QApplication::arguments());
    if (!command.ok) {
        std::fprintf(stderr, "quartel-setup: %s\n", qPrintable(command.message));
        return 2;
    }

    Application controller(command.options);
    if (!controller.Prepare()) {
        std::fprintf(stderr, "quartel-setup: %s\n", qPrintable(controller.ErrorString()));
        return 1;
    }
    QObject::connect(&controller, &Application::Finished, &app, &QApplication::quit, Qt::QueuedConnection);
    QCoro::Task<> run = controller.Run();
    if (controller.IsFinished()) {
        return 0;
    }
    return app.exec();
}
