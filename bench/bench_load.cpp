// Loads a setup file into a simulated instrument at emulated 19200 baud and prints how long the load
// takes against the wire-time limit of its frames (every request and reply character at 10 bits).
//
//   build/bench/bench_load [loads]

#include "benchutil.h"

#include "configreader.h"
#include "configwriter.h"
#include "groupmarks.h"
#include "serial.h"
#include "session.h"
#include "setupcommands.h"
#include "setupfile.h"
#include "simulator.h"
#include "writequeue.h"

#include <QCoro/QCoroTask>
#include <QCoro/QCoroTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

// Messages go to stderr; a load takes its path from the command line, never from a dialog.
class QuietActions final : public FileActions {
public:
    QCoro::Task<> Message(const QString& title, const QString& text, Icon) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
        co_return;
    }
    QCoro::Task<QString> AskOpenFile() override { co_return QString(); }
    QCoro::Task<QString> AskSaveFile(const QString&) override { co_return QString(); }
};

const char* const Values[] = {
    "   1000", "   3000", "  20000", " 2.5000", "  15000", "    100", "2",  "10", "7",      "3",
    "1.5",     "1",       "150",     "2",       "1",       "0",       "1",  "4",  "10",     "20",
    "1",       "0",       "1",       "0",       "6",       "30",      "40", "2",  "5",      "1",
    "12",      "7",       "0",       "9",       "2",       "  10000", "1",  "2",  "    200"};

QCoro::Task<> Main(int loads) {
    SimThread line;
    if (!line.start([](Simulator& s) {
            s.addInstrument(1, SimInstrument::VXA);
            s.setWireTime(true);
        })) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        co_return;
    }
    qint64 replyChars = 0;
    QObject counter;
    QObject::connect(line.simulator(), &Simulator::replyWritten, &counter,
                     [&replyChars](int, const QByteArray& reply) { replyChars += reply.size(); });

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.stp"));
    QByteArray content;
    for (const char* v : Values) {
        content += QByteArray("Key = \t") + v + "\r\n";
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        co_return;
    }
    file.close();

    Modulo1 m;
    m.MainReplyTimeoutMs = 500;
    SerialLink link(m);
    if (link.OpenPort(line.devicePath()) != OpenResult::Ok) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(line.devicePath()));
        co_return;
    }
    WriteQueue queue(m, link, [&m] { return int(m.MainReplyTimeoutMs); });
    ParameterSet set(m);
    set.reset();
    Session session{m, link, queue, set};
    GroupMarks marks;
    SetupCommands commands(session);
    ConfigWriter writer(session, marks, commands);
    int tab = 0;
    ConfigReader reader(
        session, [&tab] { return tab; }, [&tab](int t) { tab = t; });
    QuietActions actions;
    SetupFiles files(session, writer, reader, actions);

    std::printf("setup-file load benchmark, %d loads of a 39-line file into a VXA at 19200 baud\n", loads);
    double worst = 0;
    double totalWall = 0;
    double totalLimit = 0;
    for (int i = 0; i < loads; ++i) {
        const qint64 requestsBefore = line.simulator()->requestCount();
        const qint64 repliesBefore = replyChars;
        line.run([](Simulator& s) { s.clearRequests(); });
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = ThreadCpuMs();
        const SetupFiles::LoadReport report = co_await files.Load(path);
        const double wallMs = wall.nsecsElapsed() / 1e6;
        const double cpuMs = ThreadCpuMs() - cpu0;
        // The last reply's signal crosses from the simulator's thread: let it arrive.
        co_await QCoro::sleepFor(std::chrono::milliseconds(50));
        qint64 requestChars = 0;
        for (const QByteArray& f : line.simulator()->frames()) {
            requestChars += f.size();
        }
        const qint64 exchanges = line.simulator()->requestCount() - requestsBefore;
        const double limit = WireMs(requestChars + (replyChars - repliesBefore));
        int confirmed = 0;
        for (const auto& g : report.groups) {
            confirmed += g.confirmed ? 1 : 0;
        }
        std::printf("  load %d: %lld exchanges, %d/%d groups confirmed, %.1f ms (wire-time limit %.1f ms), "
                    "time / limit = %.3f, %.2f ms over the wire time per exchange, %.2f ms CPU\n",
                    i + 1, exchanges, confirmed, int(report.groups.size()), wallMs, limit, wallMs / limit,
                    (wallMs - limit) / double(exchanges), cpuMs);
        worst = qMax(worst, wallMs / limit);
        totalWall += wallMs;
        totalLimit += limit;
    }
    std::printf("  all loads: time / wire-time limit = %.3f (worst %.3f)\n", totalWall / totalLimit, worst);
    link.ClosePort();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int loads = argc > 1 ? QByteArray(argv[1]).toInt() : 5;
    QTimer::singleShot(0, [loads] {
        [](int count) -> QCoro::Task<> {
            co_await Main(count);
            QCoreApplication::quit();
        }(loads);
    });
    return app.exec();
}
