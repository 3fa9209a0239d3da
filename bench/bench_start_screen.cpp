// The start-up screen against the simulator at emulated 19200 baud:
//
// (a) one sweep over 32 answering instruments (all ticked, no pause between instruments): the time of a
//     full pass, once the division codes are known, against the wire-time limit of the frames it
//     exchanged;
// (b) the CPU the screen uses while it polls for a stretch of time (default a minute) with 32 answering
//     instruments, with 2 answering of 2 ticked, with 2 answering of 32 ticked (each silent one costs a
//     reply time-out), and with none ticked; the resident size at the start and at the end.
//
// Only the main thread's CPU is the screen's: the simulator runs in a thread of its own. The process
// figure (simulator included) is printed too.
//
//   build/bench/bench_start_screen [--seconds N] [--passes N] [--timeout MS] [--only sweep|cpu]
//                                  [--moving MS] [--chunk N] [--paints] [--callgrind-cpu]
//
// --callgrind-cpu: run under valgrind --tool=callgrind --collect-atstart=no to count the instructions of
// the CPU stretch with 32 answering instruments only; divided by its exchanges, a figure that the load
// of the machine does not blur.

#include "screenbench.h"

#include "form2.h"
#include "prompter.h"
#include "screencontext.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <optional>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#endif

using namespace bench;

namespace {

QList<int> Range(int from, int to) {
    QList<int> list;
    for (int n = from; n <= to; ++n) {
        list << n;
    }
    return list;
}

// A start-up screen on a simulated line of its own, with its settings in a scratch directory.
struct StartScreenRig : ScreenLine {
    std::unique_ptr<Form2> form;
    std::optional<QCoro::Task<StartScreenOutcome>> loop;

    // Instruments (VXA) at `answering`, boxes ticked at `ticked`, wire-time emulation on.
    bool Prepare(const QList<int>& answering, const QList<int>& ticked, int timeoutMs) {
        if (!Open(timeoutMs, ticked, [&](Simulator& s) {
                for (int a : answering) {
                    s.addInstrument(a, SimInstrument::VXA)->setNet(1234 + a);
                }
            })) {
            return false;
        }
        form = std::make_unique<Form2>(Context());
        clock.Attach(form.get());
        return true;
    }
    void Start() {
        form->LoadStartScreen();
        form->show();
        clock.Start();
        loop.emplace(form->ActivateStartScreen());
    }
    QCoro::Task<> Finish() {
        if (loop) {
            form->Command1_Click();
            co_await std::move(*loop);
            loop.reset();
        }
        form.reset();
    }
};

QCoro::Task<> Sweep(int passes, int timeoutMs) {
    std::printf("(a) sweep over 32 answering instruments (VXA at 1..32, all ticked, PollDelayMs 0, reply "
                "time-out %d ms), emulated 19200 baud\n",
                timeoutMs);
    StartScreenRig rig;
    if (!rig.Prepare(Range(1, 32), Range(1, 32), timeoutMs)) {
        co_return;
    }
    rig.log->SetRecording(true);
    rig.Start();
    Form2* form = rig.form.get();
    if (!co_await WaitForPass(form, 1, 120000)) {
        std::printf("  no first pass within 120 s\n");
        co_await rig.Finish();
        co_return;
    }
    {
        const WireFigures w = rig.log->Between(rig.clock.End(0), rig.clock.End(1));
        std::printf("  warm-up pass 1 (division codes read, after the start-up swallow of %d ms): %d "
                    "exchanges, %.1f ms\n",
                    timeoutMs, w.exchanges, (rig.clock.End(1) - rig.clock.End(0)) / 1e6);
    }
    const double cpu0 = ThreadCpuMs();
    const bool done = co_await WaitForPass(form, quint64(1 + passes), 60000 * passes);
    const double cpuMs = ThreadCpuMs() - cpu0;
    rig.log->SetRecording(false);
    if (!done) {
        std::printf("  only %llu passes\n", static_cast<unsigned long long>(form->PassCount()));
    }
    double totalMs = 0, totalLimit = 0;
    int totalExchanges = 0, weightsShown = 0;
    for (quint64 p = 2; p <= form->PassCount() && p <= quint64(1 + passes); ++p) {
        const qint64 t0 = rig.clock.End(p - 1), t1 = rig.clock.End(p);
        const WireFigures w = rig.log->Between(t0, t1);
        const double ms = (t1 - t0) / 1e6;
        std::printf("  pass %llu: %d exchanges (%d answered), %lld + %lld chars, wire-time limit %.1f ms, "
                    "measured %.1f ms, ratio %.4f, %.3f ms over the limit per exchange\n",
                    static_cast<unsigned long long>(p), w.exchanges, w.answered,
                    static_cast<long long>(w.requestChars), static_cast<long long>(w.replyChars), w.limitMs(),
                    ms, ms / w.limitMs(), (ms - w.limitMs()) / w.exchanges);
        totalMs += ms;
        totalLimit += w.limitMs();
        totalExchanges += w.exchanges;
    }
    for (int n = 1; n <= 32; ++n) {
        weightsShown += form->Peso[n]->text().trimmed().isEmpty() ? 0 : 1;
    }
    std::printf("  SWEEP: %d passes, mean pass %.1f ms against a limit of %.1f ms: ratio %.4f (target <= "
                "1.05), %.3f ms over the limit per exchange; main-thread CPU %.3f ms per exchange; %d/32 "
                "weights shown (address 1 shows \"%s\")\n",
                passes, totalMs / passes, totalLimit / passes, totalMs / totalLimit,
                (totalMs - totalLimit) / totalExchanges, cpuMs / totalExchanges, weightsShown,
                qPrintable(form->Peso[1]->text()));
    co_await rig.Finish();
}

QCoro::Task<> Polling(QByteArray name, const QList<int>& answering, const QList<int>& ticked, int seconds,
                      int timeoutMs, int movingMs, bool profile = false) {
    StartScreenRig rig;
    if (!rig.Prepare(answering, ticked, timeoutMs)) {
        co_return;
    }
    rig.MoveWeights(movingMs);
    // The simulator's own record stays small, so that it does not show in the resident size.
    rig.line.run([](Simulator& s) { s.setRecordLimit(256); });
    rig.Start();
    Form2* form = rig.form.get();
    // Warm-up: the first pass (division codes, or the time-outs of the silent addresses).
    if (!co_await WaitForPass(form, 1, 120000)) {
        std::printf("  %s: no first pass within 120 s\n", name.constData());
    }
    const quint64 passes0 = form->PassCount();
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
    const quint64 passes = form->PassCount() - passes0;
    const qint64 requests = rig.line.call([](Simulator& s) { return s.requestCount(); }) - requests0;
    int errors = 0;
    for (int n = 1; n <= 32; ++n) {
        errors += form->Check1[n]->isChecked() && rig.m.ErrorCount[n] >= Form2::ErrorThreshold ? 1 : 0;
    }
    std::printf("  %-34s %6.1f s: %5llu passes, %6lld exchanges, main-thread CPU %7.1f ms = %6.3f %% of a "
                "core (process incl. simulator %6.3f %%); RSS start %ld KiB, end %ld KiB (min %ld, max %ld); "
                "%d instruments in error\n",
                name.constData(), cpu.wallMs / 1000.0, static_cast<unsigned long long>(passes),
                static_cast<long long>(requests), cpu.threadMs, cpu.ThreadPercent(), cpu.ProcessPercent(),
                rss.First(), rss.Last(), rss.Min(), rss.Max(), errors);
    std::fflush(stdout);
    co_await rig.Finish();
}

struct Options {
    int seconds = 60;
    int passes = 5;
    int timeoutMs = 500;
    int movingMs = 0;
    bool callgrindCpu = false;
    QByteArray only;
};

QCoro::Task<> Main(Options o) {
    if (o.only.isEmpty() || o.only == QByteArrayView("sweep")) {
        co_await Sweep(o.passes, o.timeoutMs);
    }
    if (o.only.isEmpty() || o.only == QByteArrayView("cpu")) {
        std::printf(
            "(b) CPU while polling, emulated 19200 baud, reply time-out %d ms, warm-up pass first, weights "
            "%s\n",
            o.timeoutMs,
            o.movingMs > 0 ? qPrintable(QStringLiteral("moving every %1 ms").arg(o.movingMs))
                           : "standing still");
        const QList<int> all = Range(1, 32);
        QList<int> two;
        two << 1 << 17;
        const QList<int> none;
        co_await Polling(QByteArray("32 answering, 32 ticked:"), all, all, o.seconds, o.timeoutMs, o.movingMs,
                         o.callgrindCpu);
        co_await Polling(QByteArray("2 answering (1, 17), 2 ticked:"), two, two, o.seconds, o.timeoutMs,
                         o.movingMs);
        co_await Polling(QByteArray("2 answering (1, 17), 32 ticked:"), two, all, o.seconds, o.timeoutMs,
                         o.movingMs);
        co_await Polling(QByteArray("none ticked (32 answering):"), all, none, o.seconds, o.timeoutMs,
                         o.movingMs);
    }
    std::printf("max resident size %ld KiB\n", MaxRssKiB());
}

} // namespace

int main(int argc, char** argv) {
    UseOffscreenPlatform();
    QApplication app(argc, argv);
    Options o;
    o.seconds = IntOption(argc, argv, "--seconds", 60);
    o.passes = IntOption(argc, argv, "--passes", 5);
    o.timeoutMs = IntOption(argc, argv, "--timeout", 500);
    o.movingMs = IntOption(argc, argv, "--moving", 0);
    WireChunkChars() = qMax(1, IntOption(argc, argv, "--chunk", 8));
    o.callgrindCpu = HasOption(argc, argv, "--callgrind-cpu");
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--only") {
            o.only = argv[i + 1];
        }
    }
    std::printf("start-up screen benchmark (platform %s)\n", qPrintable(QGuiApplication::platformName()));
    const std::unique_ptr<PaintCounter> paints = PaintCounterIfAsked(app, argc, argv);
    return RunBenchmark(app, [o] { return Main(o); });
}
