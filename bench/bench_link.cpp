// Exchanges frames with the simulator over a pseudo-terminal and prints how fast and how cheaply the
// link does it: exchanges per second, CPU per exchange, the time against the wire-time limit of the
// frames at 19200 baud, and the CPU spent by an exchange that times out.
//
//   build/bench/bench_link [exchanges]

#include "benchutil.h"

#include "frame.h"
#include "registers.h"
#include "serial.h"
#include "simulator.h"

#include <QCoro/QCoroTask>
#include <QTimer>

#include <cstdio>

namespace {

struct Result {
    int exchanges = 0;
    int good = 0;
    double wallMs = 0;
    double cpuMs = 0;
    qint64 chars = 0; // request and reply characters on the wire
};

QCoro::Task<Result> Run(SerialLink& link, Modulo1& m, const QByteArray& request, const char* prefix, int n,
                        int timeoutMs) {
    Result r;
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = ThreadCpuMs();
    for (int i = 0; i < n; ++i) {
        m.FrameBuffer = request;
        co_await link.ExchangeFrame(timeoutMs);
        ++r.exchanges;
        if (CheckReply(m.FrameBuffer, prefix)) {
            ++r.good;
        }
        r.chars += request.size() + m.FrameBuffer.size();
    }
    r.cpuMs = ThreadCpuMs() - cpu0;
    r.wallMs = wall.nsecsElapsed() / 1e6;
    co_return r;
}

QCoro::Task<> Main(int n) {
    SimThread line;
    if (!line.start([](Simulator& s) { s.addInstrument(1, SimInstrument::VXA); })) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        co_return;
    }
    Modulo1 m;
    SerialLink link(m);
    if (link.OpenPort(line.devicePath()) != OpenResult::Ok) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(line.devicePath()));
        co_return;
    }
    const QByteArray weights =
        BuildRequest(1, Fn::ReadInputRegisters, ReadBody(Reg::WeightBlock, Reg::WeightBlockCount));
    const QByteArray status = BuildRequest(1, Fn::ReadExceptionStatus, {});

    std::printf("link benchmark, %d exchanges a run\n", n);
    for (auto [name, request, prefix] : {std::tuple{"status byte (07)", status, Prefix::Status},
                                         std::tuple{"weights (04 x5)", weights, Prefix::WeightBlock}}) {
        const Result r = co_await Run(link, m, request, prefix, n, 500);
        std::printf("  no wire time, %-16s: %7.0f exchanges/s, %.3f ms CPU per exchange, %d/%d good\n", name,
                    r.exchanges / (r.wallMs / 1000.0), r.cpuMs / r.exchanges, r.good, r.exchanges);
    }

    line.run([](Simulator& s) { s.setWireTime(true); });
    const int wireN = qMax(50, n / 10);
    for (auto [name, request, prefix] : {std::tuple{"status byte (07)", status, Prefix::Status},
                                         std::tuple{"weights (04 x5)", weights, Prefix::WeightBlock}}) {
        const Result r = co_await Run(link, m, request, prefix, wireN, 500);
        const double limit = WireMs(r.chars);
        std::printf("  19200 baud,   %-16s: %5.1f exchanges/s, %.3f ms CPU per exchange, time / wire-time "
                    "limit = %.3f (%.3f ms over the wire time per exchange), %d/%d good\n",
                    name, r.exchanges / (r.wallMs / 1000.0), r.cpuMs / r.exchanges, r.wallMs / limit,
                    (r.wallMs - limit) / r.exchanges, r.good, r.exchanges);
    }

    line.run([](Simulator& s) { s.setLineSilent(true); });
    const int timeouts = 6;
    const Result r = co_await Run(link, m, status, Prefix::Status, timeouts, 500);
    std::printf("  silent line, time-out 500 ms: %.1f ms wall and %.3f ms CPU per timed-out exchange\n",
                r.wallMs / r.exchanges, r.cpuMs / r.exchanges);
    std::printf("  max resident size: %ld KiB\n", MaxRssKiB());
    link.ClosePort();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
    QTimer::singleShot(0, [n] {
        [](int count) -> QCoro::Task<> {
            co_await Main(count);
            QCoreApplication::quit();
        }(n);
    });
    return app.exec();
}
