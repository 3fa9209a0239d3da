// A long run of both screens through the Application against a simulated line whose faults change
// every few seconds: the start-up screen polls a VXA at address 1 and a VXB at address 2, then the
// main setup screen of address 1 runs (in setup mode half of the time), then the start-up screen
// again, and so on. Prints the CPU share of one core and the resident size at the start, every few
// minutes, in the middle and at the end.
//
//   build/bench/bench_soak [--minutes N] [--fault-seconds N] [--phase-seconds N] [--timeout MS]

#include "screenbench.h"

#include "application.h"
#include "form1.h"
#include "form2.h"
#include "prompter.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <memory>

using namespace bench;

namespace {

struct Options {
    int minutes = 10;
    int faultSeconds = 4;
    int phaseSeconds = 30;
    int timeoutMs = 200;
};

// The faults the line goes through, one after the other, on one of the two instruments.
struct NamedFault {
    const char* name;
    SimFault fault;
};
QList<NamedFault> Faults(int timeoutMs) {
    return {{"none", SimFault::none()},
            {"silent", SimFault::mute()},
            {"late", SimFault::late(timeoutMs * 2)},
            {"wrong LRC", SimFault::badLrc()},
            {"lower-case", SimFault::lower()},
            {"noise", SimFault::withNoise("\n\x7fxx")},
            {"split", SimFault::split(3, 5)},
            {"exception", SimFault::exception(4)},
            {"cut", SimFault::cut(7)},
            {"CR inside", SimFault::crInside()}};
}

struct Sample {
    double cpuPercent = 0;
    long rssKiB = 0;
};

QCoro::Task<> Main(Options o) {
    std::printf("soak: both screens through the Application for %d min, VXA at 1 and VXB at 2, emulated "
                "19200 baud, a new fault every %d s, screens switched every %d s, reply time-outs %d ms\n",
                o.minutes, o.faultSeconds, o.phaseSeconds, o.timeoutMs);
    QTemporaryDir dir;
    if (!dir.isValid() || !WriteSettings(dir.path(), o.timeoutMs, o.timeoutMs, 0, {1, 2})) {
        std::fprintf(stderr, "no scratch settings directory\n");
        co_return;
    }
    SimThread line;
    if (!line.start([](Simulator& s) {
            s.addInstrument(1, SimInstrument::VXA)->setWeight(250, 750);
            s.addInstrument(2, SimInstrument::VXB)->setWeight(10, 20);
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
    auto prompter = std::make_unique<ScriptedPrompter>();
    ScriptedPrompter* answers = prompter.get();
    Application app(options, std::move(prompter));
    QCoro::Task<> run = app.Run();

    const QList<NamedFault> faults = Faults(o.timeoutMs);
    const qint64 start = NowNs();
    const qint64 end = start + qint64(o.minutes) * 60 * 1000000000LL;
    const qint64 middle = (start + end) / 2;
    bool middleShown = false;
    int faultIndex = 0;
    int phase = 0;
    qint64 nextFault = start;
    qint64 nextPhase = start + qint64(o.phaseSeconds) * 1000000000LL;
    qint64 nextReport = start;
    CpuWindow window;
    const auto report = [&](const char* when) {
        window.Stop();
        std::printf("  %-8s %6.1f min: CPU %5.2f %% of a core (process %5.2f %%), RSS %6ld KiB, %d main "
                    "screen opens\n",
                    when, (NowNs() - start) / 60e9, window.ThreadPercent(), window.ProcessPercent(),
                    CurrentRssKiB(), app.MainScreenOpens());
        std::fflush(stdout);
        window = CpuWindow();
    };
    for (bool first = true; NowNs() < end; first = false) {
        const qint64 now = first ? start : NowNs();
        if (now == start || now >= nextReport) {
            if (now == start) {
                std::printf("  start      0.0 min: RSS %6ld KiB\n", CurrentRssKiB());
                window = CpuWindow();
            } else {
                report("");
            }
            nextReport = now + 5LL * 60 * 1000000000LL;
        }
        if (!middleShown && now >= middle) {
            report("middle");
            middleShown = true;
        }
        if (now >= nextFault) {
            const NamedFault& f = faults[faultIndex++ % faults.size()];
            const int address = 1 + (faultIndex / faults.size()) % 2;
            line.run([&](Simulator& s) {
                s.clearFaults();
                s.setFault(address, f.fault);
            });
            nextFault = now + qint64(o.faultSeconds) * 1000000000LL;
        }
        if (now >= nextPhase) {
            ++phase;
            if (Form1* main = app.MainScreen()) {
                answers->QueueDialogScript(ScriptedPrompter::Click({"OKButton"}));
                main->Esc_Click();
            } else if (Form2* startScreen = app.StartScreen()) {
                startScreen->Icona_DblClick(1);
            }
            nextPhase = now + qint64(o.phaseSeconds) * 1000000000LL;
        }
        if (Form1* main = app.MainScreen();
            main && phase % 4 == 1 && !main->SSTab1->isVisible() && main->PassCount() >= 2) {
            main->Command1->click(); // setup mode on every other visit
        }
        co_await Sleep(250);
    }
    report("end");
    line.run([](Simulator& s) { s.clearFaults(); });
    if (Form1* main = app.MainScreen()) {
        answers->QueueDialogScript(ScriptedPrompter::Click({"OKButton"}));
        main->Esc_Click();
        co_await qCoro(&app, &Application::StartScreenShown, std::chrono::milliseconds(20000));
    }
    if (Form2* startScreen = app.StartScreen()) {
        startScreen->Command1_Click();
    }
    co_await std::move(run);
    std::printf("max resident size %ld KiB\n", MaxRssKiB());
}

} // namespace

int main(int argc, char** argv) {
    UseOffscreenPlatform();
    QApplication app(argc, argv);
    Options o;
    o.minutes = IntOption(argc, argv, "--minutes", 10);
    o.faultSeconds = IntOption(argc, argv, "--fault-seconds", 4);
    o.phaseSeconds = IntOption(argc, argv, "--phase-seconds", 30);
    o.timeoutMs = IntOption(argc, argv, "--timeout", 200);
    return RunBenchmark(app, [o] { return Main(o); });
}
