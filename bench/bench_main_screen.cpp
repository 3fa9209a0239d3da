// The main setup screen against one simulated VXA at emulated 19200 baud:
//
// - monitoring mode (Fl_setup false, gross view): passes per second, the wire-time limit of a pass's
//   frames, the ratio of the measured time to that limit and the milliseconds over it per exchange,
//   then the CPU of one core over a stretch of time (default a minute) and the resident size at its
//   start and end;
// - the same with setup mode on: the pass that reads the shown tab (tab 0, read once), then the
//   passes after it.
//
// Only the main thread's CPU is the screen's: the simulator runs in a thread of its own. The process
// figure (simulator included) is printed too.
//
//   build/bench/bench_main_screen [--seconds N] [--passes N] [--timeout MS] [--moving MS] [--chunk N]
//   [--traffic] [--no-status-bar] [--trend [--no-panel] [--no-log]] [--paints]
//   [--callgrind-setup | --callgrind-monitoring]
//
// --chunk N: the simulated line hands a reply over N characters at a time (default 8, as a UART's
// FIFO does; 64 hands it over whole, as a USB adapter does).
//
// --traffic: the traffic window is open the whole time (the link records every exchange, the window
// adds the lines at its repaint tick). Without it the window is closed and nothing is recorded; compare
// the passes per second and the CPU of the two runs.
//
// --trend: the weight trend is shown over its widest window, 15 minutes, filled beforehand with a
// reading every 100 ms (9000 points), and the weight log is on (a file in the scratch directory).
// Compare the passes per second and the CPU with a run without it. --no-panel and --no-log leave the
// panel hidden or the log off, to tell their shares apart.
// --no-status-bar: the status bar hidden and told nothing (the screen as it was before it had one);
// compare with a run with it to see what the status bar and its line-health indicator cost.
//
// --callgrind-setup: run under valgrind --tool=callgrind --collect-atstart=no to profile only the first
// entry into setup mode (the click, the first paint of the tab control, the pass that reads the tab).
// --callgrind-monitoring: as --callgrind-setup, for the stretch of monitoring whose CPU is measured;
// the instructions divided by its passes give a figure that the load of the machine does not blur.

#include "screenbench.h"

#include "form1.h"
#include "prompter.h"
#include "screencontext.h"
#include "settings.h"
#include "statusline.h"
#include "traffic.h"
#include "trafficwindow.h"
#include "trendcontrol.h"
#include "trendpanel.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <QDateTime>

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

// Under callgrind (--collect-atstart=no), --callgrind-setup collects only the first entry into setup
// mode: the click and the pass that reads the tab.
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#endif

using namespace bench;

namespace {

struct Options {
    int seconds = 60;
    int passes = 100;
    int timeoutMs = 500;
    int movingMs = 0;
    bool callgrindSetup = false;
    bool callgrindMonitoring = false;
    bool traffic = false;
    bool trend = false;
    bool noPanel = false; // --trend without the panel shown (the trend kept, the log on)
    bool noLog = false;   // --trend without the log
    bool statusBar = true;
};

// One main setup screen for address 1 on a simulated line of its own.
struct MainScreenRig : ScreenLine {
    TrafficLog traffic;
    std::unique_ptr<TrafficWindow> trafficWindow;
    std::unique_ptr<Form1> form;
    std::optional<QCoro::Task<>> loop;

    bool Prepare(int timeoutMs) {
        if (!Open(timeoutMs, {1},
                  [](Simulator& s) { s.addInstrument(1, SimInstrument::VXA)->setWeight(1234, 5678); })) {
            return false;
        }
        // What the start-up screen leaves behind when address 1 is chosen.
        settings::ReadProgIni(m, dir.path());
        m.DeviceAddress = 1;
        m.InstrumentModel = 1;
        ScreenContext context = Context();
        context.traffic = &traffic;
        context.showTraffic = [this] {
            if (!trafficWindow) {
                trafficWindow = std::make_unique<TrafficWindow>(traffic, m, prompter);
            }
            trafficWindow->show();
        };
        form = std::make_unique<Form1>(context);
        clock.Attach(form.get());
        return true;
    }
    void Start(bool trafficOpen, bool trendOn, bool panel = true, bool logOn = true) {
        form->Form_Load();
        form->show();
        if (trafficOpen) {
            form->traf->trigger(); // the menu item, as the user opens it
        }
        if (trendOn) {
            TrendControl& t = form->Trend();
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            constexpr int Points = 9000;
            for (int i = 0; i < Points; ++i) {
                t.History().AddReading(now - WeightTrend::KeepMs + qint64(i) * 100,
                                       1234 + 20 * std::sin(i / 50.0), i % 40 != 0);
            }
            t.Panel()->SetWindowMinutes(15);
            if (panel) {
                t.TrendItem->trigger();
            }
            if (logOn) {
                prompter.QueueFileAnswer(dir.filePath(QStringLiteral("bench-log.csv")));
                t.LogItem->trigger();
            }
        }
        clock.Start();
        loop.emplace(form->Form_Activate());
    }
    QCoro::Task<> Finish() {
        if (loop) {
            form->Esc_Click();
            co_await std::move(*loop);
            loop.reset();
        }
        form.reset();
    }
};

QByteArray Describe(const QList<SimRequest>& requests) {
    QByteArray text;
    for (const SimRequest& r : requests) {
        text += (text.isEmpty() ? "" : ", ") + r.frame.trimmed();
    }
    return text;
}

// Wire figures over passes (first, last] of the rig's screen.
struct PassSpan {
    quint64 passes = 0;
    double ms = 0;
    WireFigures wire;
};

// Each exchange of a pass: the client's turnaround after the previous reply and the reply's time.
void PrintExchanges(const MainScreenRig& rig, quint64 pass) {
    // The gap before the first request counts from the end of the pass before.
    const QList<WireLog::Exchange> list =
        rig.log->ExchangesBetween(rig.clock.End(pass - 1), rig.clock.End(pass));
    for (const WireLog::Exchange& e : list) {
        std::printf("      %-22s turnaround after the previous reply %7.3f ms; reply complete after %7.3f ms "
                    "(wire time %6.3f ms)\n",
                    e.request.constData(), e.gapMs, e.replyMs, e.limitMs);
    }
}

PassSpan Span(const MainScreenRig& rig, quint64 first, quint64 last) {
    PassSpan s;
    s.passes = last - first;
    s.ms = (rig.clock.End(last) - rig.clock.End(first)) / 1e6;
    s.wire = rig.log->Between(rig.clock.End(first), rig.clock.End(last));
    return s;
}

void PrintSpan(const char* what, const PassSpan& s) {
    std::printf(
        "  %s: %llu passes in %.1f ms = %.2f passes/s; %.2f exchanges a pass (%d of %d answered); "
        "wire-time limit of a pass %.2f ms (%.1f chars), measured %.2f ms a pass; ratio %.4f; %.3f ms "
        "over the limit per exchange (target < 1 ms)\n",
        what, static_cast<unsigned long long>(s.passes), s.ms, s.passes / (s.ms / 1000.0),
        double(s.wire.exchanges) / s.passes, s.wire.answered, s.wire.exchanges, s.wire.limitMs() / s.passes,
        double(s.wire.requestChars + s.wire.replyChars) / s.passes, s.ms / s.passes, s.ms / s.wire.limitMs(),
        (s.ms - s.wire.limitMs()) / s.wire.exchanges);
}

// CPU and resident size over `seconds` of polling; the wire figures of the passes in that time use the
// limit of a pass measured before (`limitPerPassMs`, `exchangesPerPass`).
QCoro::Task<> CpuMinute(MainScreenRig& rig, const char* what, int seconds, double limitPerPassMs,
                        double exchangesPerPass, bool profile = false) {
    // The simulator's record stays small, so that it does not show in the resident size.
    rig.line.run([](Simulator& s) { s.setRecordLimit(256); });
    rig.log->SetRecording(false);
    const quint64 passes0 = rig.form->PassCount();
    const qint64 requests0 = rig.line.call([](Simulator& s) { return s.requestCount(); });
    RssSampler rss(1000);
    rss.Start();
    CpuWindow cpu;
    if (profile) {
        CALLGRIND_TOGGLE_COLLECT;
    }
    co_await Sleep(seconds * 1000);
    if (profile) {
        CALLGRIND_TOGGLE_COLLECT;
    }
    cpu.Stop();
    rss.Stop();
    const quint64 passes = rig.form->PassCount() - passes0;
    const qint64 requests = rig.line.call([](Simulator& s) { return s.requestCount(); }) - requests0;
    const double msPerPass = cpu.wallMs / double(passes);
    std::printf(
        "  %s, %.1f s: %llu passes = %.2f passes/s, %lld exchanges (%.2f a pass), %.2f ms a pass "
        "against a limit of %.2f ms (ratio %.4f, %.3f ms over per exchange); main-thread CPU %.1f ms "
        "= %.3f %% of a core (target < 2 %%; process incl. simulator %.3f %%), %.3f ms CPU a pass; RSS "
        "start %ld KiB, end %ld KiB (min %ld, max %ld)\n",
        what, cpu.wallMs / 1000.0, static_cast<unsigned long long>(passes), passes / (cpu.wallMs / 1000.0),
        static_cast<long long>(requests), double(requests) / passes, msPerPass, limitPerPassMs,
        msPerPass / limitPerPassMs, (msPerPass - limitPerPassMs) / exchangesPerPass, cpu.threadMs,
        cpu.ThreadPercent(), cpu.ProcessPercent(), cpu.threadMs / passes, rss.First(), rss.Last(), rss.Min(),
        rss.Max());
    std::fflush(stdout);
    rig.line.run([](Simulator& s) { s.setRecordLimit(10000); });
    rig.log->SetRecording(true);
}

// Turns setup mode on and prints the pass that reads the tab on show, with the pass before and after.
QCoro::Task<> SetupOn(MainScreenRig& rig, const char* what, bool profile) {
    Form1* form = rig.form.get();
    const quint64 click = form->PassCount();
    if (profile) {
        CALLGRIND_TOGGLE_COLLECT;
    }
    const double cpu0 = ThreadCpuMs();
    form->Command1_Click();
    const double clickCpu = ThreadCpuMs() - cpu0;
    if (profile) {
        // Until the pass that reads the tab has ended.
        while (form->PassCount() < click + 3 && rig.m.TabRead[1] == 0) {
            co_await WaitForPass(form, form->PassCount() + 1, 30000);
        }
        CALLGRIND_TOGGLE_COLLECT;
    }
    co_await WaitForPass(form, click + 3, 30000);
    quint64 tabPass = click + 1;
    for (quint64 p = click + 1; p <= click + 3; ++p) {
        if (Span(rig, p - 1, p).wire.exchanges > Span(rig, tabPass - 1, tabPass).wire.exchanges) {
            tabPass = p;
        }
    }
    std::printf("  %s (the click itself: %.3f ms CPU):\n", what, clickCpu);
    for (quint64 p = click + 1; p <= tabPass + 1; ++p) {
        const PassSpan s = Span(rig, p - 1, p);
        std::printf(
            "    pass %llu%s: %d exchanges, limit %.2f ms, measured %.2f ms, ratio %.4f, %.3f ms over per "
            "exchange, main-thread CPU %.3f ms\n",
            static_cast<unsigned long long>(p), p == tabPass ? " (tab read)" : "", s.wire.exchanges,
            s.wire.limitMs(), s.ms, s.ms / s.wire.limitMs(), (s.ms - s.wire.limitMs()) / s.wire.exchanges,
            rig.clock.CpuOf(p));
        const QList<WireLog::Exchange> list =
            rig.log->ExchangesBetween(rig.clock.End(p - 1), rig.clock.End(p));
        if (p == tabPass && !list.isEmpty()) {
            // Without the time before the first request (the event loop's work between two passes: the
            // click and the first paint of what it showed).
            const double ms = (rig.clock.End(p) - list.first().timeNs) / 1e6;
            std::printf(
                "    the same pass from its first request on: measured %.2f ms, ratio %.4f, %.3f ms over per "
                "exchange\n",
                ms, ms / s.wire.limitMs(), (ms - s.wire.limitMs()) / s.wire.exchanges);
        }
        PrintExchanges(rig, p);
    }
}

QCoro::Task<> Main(Options o) {
    std::printf("main setup screen benchmark (platform %s), one VXA at address 1, emulated 19200 baud, "
                "reply time-out %d ms, weight %s\n",
                qPrintable(QGuiApplication::platformName()), o.timeoutMs,
                o.movingMs > 0 ? qPrintable(QStringLiteral("moving every %1 ms").arg(o.movingMs))
                               : "standing still");
    MainScreenRig rig;
    if (!rig.Prepare(o.timeoutMs)) {
        co_return;
    }
    rig.MoveWeights(o.movingMs);
    rig.log->SetRecording(true);
    Form1* form = rig.form.get();
    if (!o.statusBar) {
        QObject::disconnect(form->MSComm1, nullptr, &form->Status(), nullptr);
        QObject::disconnect(form, nullptr, &form->Status(), nullptr);
        form->statusBar()->hide();
    }
    rig.Start(o.traffic, o.trend, !o.noPanel, !o.noLog);
    std::printf("status bar %s\n", o.statusBar ? "on" : "OFF (hidden, told nothing)");
    std::printf("traffic window %s\n", o.traffic ? "OPEN (every exchange recorded and shown)" : "closed");
    std::printf("weight trend and log %s\n",
                o.trend ? "ON (15 minutes, 9000 points before the start)" : "off");

    // Warm-up: division code, version and set-points are read once.
    const quint64 warmUp = 3;
    if (!co_await WaitForPass(form, warmUp, 30000)) {
        std::printf("  no %llu passes within 30 s\n", static_cast<unsigned long long>(warmUp));
        co_await rig.Finish();
        co_return;
    }
    std::printf("monitoring mode (Fl_setup %d, weight view %d):\n", int(rig.m.Fl_setup),
                int(rig.m.WeightView));
    const PassSpan first = Span(rig, 0, 1);
    std::printf("  first pass (with the one-time reads): %d exchanges, %.1f ms: %s\n", first.wire.exchanges,
                first.ms, Describe(rig.log->RequestsBetween(rig.clock.End(0), rig.clock.End(1))).constData());
    std::printf("  a steady pass (pass %llu) on the line:\n", static_cast<unsigned long long>(warmUp));
    PrintExchanges(rig, warmUp);

    const quint64 from = form->PassCount();
    co_await WaitForPass(form, from + quint64(o.passes), 120000 + o.passes * 2000);
    const PassSpan monitoring = Span(rig, from, from + quint64(o.passes));
    PrintSpan("MONITORING", monitoring);
    std::printf("  screen shows weight \"%s\", version \"%s\"\n", qPrintable(form->Peso->text()),
                qPrintable(form->Versione->text()));
    co_await CpuMinute(rig, "MONITORING CPU", o.seconds, monitoring.wire.limitMs() / monitoring.passes,
                       double(monitoring.wire.exchanges) / monitoring.passes, o.callgrindMonitoring);

    // Setup mode: the tab on show (tab 0) is read once, at the next pass. The record is complete
    // again from the pass before the click on.
    co_await WaitForPass(form, form->PassCount() + 2, 30000);
    std::printf("setup mode on, tab %d on show:\n", form->SSTab1->currentIndex());
    co_await SetupOn(rig, "the pass that read the tab, setup mode entered for the first time",
                     o.callgrindSetup);
    quint64 from2 = form->PassCount();
    co_await WaitForPass(form, from2 + quint64(o.passes), 120000 + o.passes * 2000);
    const PassSpan setup = Span(rig, from2, from2 + quint64(o.passes));
    PrintSpan("SETUP", setup);
    co_await CpuMinute(rig, "SETUP CPU", o.seconds, setup.wire.limitMs() / setup.passes,
                       double(setup.wire.exchanges) / setup.passes);

    // Setup off (the normal mode is written) and on again: the tab control has been shown before, so
    // this tab read shows what the read itself costs.
    co_await WaitForPass(form, form->PassCount() + 2, 30000);
    form->Command1_Click();
    co_await WaitForPass(form, form->PassCount() + 4, 30000);
    co_await SetupOn(rig, "the pass that read the tab, setup mode entered a second time", false);

    std::printf(
        "traffic log: %llu exchanges recorded, %llu failures, mean turnaround %.2f ms; window %s, %llu "
        "lines added, %d kept\n",
        static_cast<unsigned long long>(rig.traffic.Sequence()),
        static_cast<unsigned long long>(rig.traffic.Failures()), rig.traffic.MeanTurnaroundMs(),
        rig.trafficWindow ? "open" : "never opened",
        static_cast<unsigned long long>(rig.trafficWindow ? rig.trafficWindow->LinesShown() : 0),
        rig.trafficWindow ? int(rig.trafficWindow->ShownLines().size()) : 0);
    if (rig.trafficWindow && rig.traffic.Size() > 0) {
        // What one repaint tick of the window costs by itself: the lines of three passes (12 exchanges)
        // formatted and added, the view scrolled and painted, the counters painted.
        TrafficWindow& w = *rig.trafficWindow;
        const TrafficRecord sample = rig.traffic.At(rig.traffic.Size() - 1);
        constexpr int Ticks = 200;
        const double cpu0 = ThreadCpuMs();
        for (int tick = 0; tick < Ticks; ++tick) {
            for (int i = 0; i < 12; ++i) {
                rig.traffic.Add(sample, rig.m.LanguageIndex);
            }
            w.Refresh();
            w.Lines->viewport()->repaint();
            w.Counters->repaint();
        }
        const double perTick = (ThreadCpuMs() - cpu0) / Ticks;
        std::printf(
            "traffic window: one repaint tick with 12 new lines costs %.3f ms of main-thread CPU (%.2f %% "
            "of a core at one tick every %d ms)\n",
            perTick, perTick / TrafficWindow::RepaintIntervalMs * 100.0, TrafficWindow::RepaintIntervalMs);
    }
    if (o.trend) {
        // What one repaint tick of the panel costs by itself: the window moved on, the figures and the
        // curve of 15 minutes, the chart painted.
        TrendPanel& panel = *rig.form->Trend().Panel();
        constexpr int Ticks = 50;
        const double cpu0 = ThreadCpuMs();
        for (int tick = 0; tick < Ticks; ++tick) {
            panel.Refresh();
            panel.repaint();
        }
        const double perTick = (ThreadCpuMs() - cpu0) / Ticks;
        std::printf(
            "trend panel: one repaint tick costs %.3f ms of main-thread CPU (%.2f %% of a core at one "
            "tick every %d ms)\n",
            perTick, perTick / panel.TickMs() * 100.0, panel.TickMs());
        std::printf("weight log: %lld rows written, %s; trend: %zu points kept, panel refreshed %llu times\n",
                    static_cast<long long>(rig.form->Trend().Log().Rows()),
                    rig.form->Trend().Logging() ? "still on" : "ENDED",
                    rig.form->Trend().Trend().Points().size(),
                    static_cast<unsigned long long>(rig.form->Trend().Panel()->Refreshes()));
    }
    co_await rig.Finish();
    rig.trafficWindow.reset();
    std::printf("max resident size %ld KiB\n", MaxRssKiB());
}

} // namespace

int main(int argc, char** argv) {
    UseOffscreenPlatform();
    QApplication app(argc, argv);
    Options o;
    o.seconds = IntOption(argc, argv, "--seconds", 60);
    o.passes = IntOption(argc, argv, "--passes", 100);
    o.timeoutMs = IntOption(argc, argv, "--timeout", 500);
    o.movingMs = IntOption(argc, argv, "--moving", 0);
    WireChunkChars() = qMax(1, IntOption(argc, argv, "--chunk", 8));
    o.callgrindSetup = HasOption(argc, argv, "--callgrind-setup");
    o.callgrindMonitoring = HasOption(argc, argv, "--callgrind-monitoring");
    o.traffic = HasOption(argc, argv, "--traffic");
    o.trend = HasOption(argc, argv, "--trend");
    o.noPanel = HasOption(argc, argv, "--no-panel");
    o.noLog = HasOption(argc, argv, "--no-log");
    o.statusBar = !HasOption(argc, argv, "--no-status-bar");
    const std::unique_ptr<PaintCounter> paints = PaintCounterIfAsked(app, argc, argv);
    return RunBenchmark(app, [o] { return Main(o); });
}
