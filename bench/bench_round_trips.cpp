// Round trips start-up screen -> main setup screen -> start-up screen through the Application, against
// one simulated VXA at emulated 19200 baud, and what they leave behind: resident size, heap in use,
// open file descriptors, threads, widgets and objects, before and after.
//
// A round trip: the start-up screen polls address 1 once, the picture is double-clicked, the main setup
// screen runs two passes, its exit menu is chosen, and a fresh start-up screen is built.
//
//   build/bench/bench_round_trips [--trips N] [--warmup N] [--timeout MS]

#include "screenbench.h"

#include "application.h"
#include "form1.h"
#include "form2.h"
#include "prompter.h"

#include <QApplication>
#include <QTemporaryDir>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <memory>

using namespace bench;

namespace {

struct Options {
    int trips = 100;
    int warmup = 5;
    int timeoutMs = 100;
};

struct Snapshot {
    long rssKiB = 0;
    long heapKiB = 0;
    int fds = 0;
    int threads = 0;
    int widgets = 0;
    int topLevel = 0;
    int objects = 0; // the trees of the QApplication, the Application and the windows
};

Snapshot Take(const Application& application) {
    Snapshot s;
    s.rssKiB = CurrentRssKiB();
    s.heapKiB = long(mallinfo2().uordblks / 1024);
    s.fds = OpenFdCount();
    s.threads = ThreadCount();
    s.widgets = int(QApplication::allWidgets().size());
    s.topLevel = int(QApplication::topLevelWidgets().size());
    s.objects = ObjectTreeSize(qApp) + ObjectTreeSize(&application);
    for (const QWidget* w : QApplication::topLevelWidgets()) {
        s.objects += w->parent() ? 0 : ObjectTreeSize(w);
    }
    return s;
}

void Print(const char* when, const Snapshot& s) {
    std::printf(
        "  %-34s RSS %6ld KiB, heap in use %6ld KiB, %3d fds, %2d threads, %4d widgets (%d top-level), "
        "%5d objects\n",
        when, s.rssKiB, s.heapKiB, s.fds, s.threads, s.widgets, s.topLevel, s.objects);
}

// One round trip, starting with the start-up screen on show. False when a screen did not come.
QCoro::Task<bool> RoundTrip(Application& app) {
    Form2* start = app.StartScreen();
    if (!start || !co_await WaitForPass(start, 1, 10000)) {
        co_return false;
    }
    start->Icona_DblClick(1);
    if (!app.MainScreen() &&
        !co_await qCoro(&app, &Application::MainScreenShown, std::chrono::milliseconds(10000))) {
        co_return false;
    }
    Form1* main = app.MainScreen();
    if (!main || !co_await WaitForPass(main, 2, 10000)) {
        co_return false;
    }
    main->Esc_Click();
    if (!app.StartScreen() &&
        !co_await qCoro(&app, &Application::StartScreenShown, std::chrono::milliseconds(10000))) {
        co_return false;
    }
    co_return app.StartScreen() != nullptr;
}

QCoro::Task<> Main(Options o) {
    std::printf("screen round trips through the Application (platform %s), one VXA at address 1, emulated "
                "19200 baud, reply time-outs %d ms\n",
                qPrintable(QGuiApplication::platformName()), o.timeoutMs);
    QTemporaryDir dir;
    QList<int> ticked;
    ticked << 1;
    if (!dir.isValid() || !WriteSettings(dir.path(), o.timeoutMs, o.timeoutMs, 0, ticked)) {
        std::fprintf(stderr, "no scratch settings directory\n");
        co_return;
    }
    SimThread line;
    if (!line.start([](Simulator& s) {
            s.addInstrument(1, SimInstrument::VXA)->setWeight(250, 750);
            s.setWireTime(true);
            s.setRecordLimit(256);
        })) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        co_return;
    }
    ApplicationOptions options;
    options.settingsDir = dir.path();
    options.deviceOverride = line.devicePath();
    options.showWelcome = false;
    Application app(options, std::make_unique<ScriptedPrompter>());
    Print("before the application runs:", Take(app));
    QCoro::Task<> run = app.Run();

    Snapshot afterWarmup;
    const qint64 t0 = NowNs();
    int done = 0;
    for (int trip = 1; trip <= o.warmup + o.trips; ++trip) {
        if (!co_await RoundTrip(app)) {
            std::printf("  round trip %d did not complete\n", trip);
            break;
        }
        ++done;
        if (trip == 1) {
            Print("after 1 round trip:", Take(app));
        }
        if (trip == o.warmup) {
            afterWarmup = Take(app);
            Print(qPrintable(QStringLiteral("after %1 round trips (warm-up):").arg(trip)), afterWarmup);
        }
        if (trip > o.warmup && (trip - o.warmup) % 25 == 0) {
            Print(qPrintable(QStringLiteral("after %1 round trips:").arg(trip)), Take(app));
        }
    }
    const double seconds = (NowNs() - t0) / 1e9;
    const Snapshot end = Take(app);
    std::printf("  ROUND TRIPS: %d in %.1f s (%.0f ms each); %d start-up screen loads, %d main screen opens; "
                "after the warm-up: RSS %+ld KiB, heap in use %+ld KiB, fds %+d, threads %+d, widgets %+d, "
                "objects %+d over %d round trips\n",
                done, seconds, 1000.0 * seconds / qMax(1, done), app.StartScreenLoads(),
                app.MainScreenOpens(), end.rssKiB - afterWarmup.rssKiB, end.heapKiB - afterWarmup.heapKiB,
                end.fds - afterWarmup.fds, end.threads - afterWarmup.threads,
                end.widgets - afterWarmup.widgets, end.objects - afterWarmup.objects, done - o.warmup);
    if (Form2* start = app.StartScreen()) {
        start->Command1_Click();
    }
    co_await std::move(run);
    Print("after Quit:", Take(app));
    std::printf("max resident size %ld KiB\n", MaxRssKiB());
}

} // namespace

int main(int argc, char** argv) {
    UseOffscreenPlatform();
    QApplication app(argc, argv);
    Options o;
    o.trips = IntOption(argc, argv, "--trips", 100);
    o.warmup = IntOption(argc, argv, "--warmup", 5);
    o.timeoutMs = IntOption(argc, argv, "--timeout", 100);
    return RunBenchmark(app, [o] { return Main(o); });
}
