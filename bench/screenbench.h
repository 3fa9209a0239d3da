#pragma once

// Helpers shared by the screen benchmarks: process figures (resident size now, process CPU, open file
// descriptors), settings files in a scratch directory, the time stamps of a screen's passes, and the
// wire-time account of what was exchanged with the simulator.

#include "benchutil.h"

#include "prompter.h"
#include "screencontext.h"
#include "settings.h"
#include "simulator.h"

#include <QApplication>
#include <QByteArray>
#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTask>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace bench {

// Resident size of the process now, in KiB (MaxRssKiB is the peak).
inline long CurrentRssKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QList<QByteArray> fields = statm.readAll().simplified().split(' ');
    if (fields.size() < 2) {
        return -1;
    }
    return fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// CPU time of the whole process (every thread, the simulator's included), user + system, in ms.
inline double ProcessCpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// Open file descriptors of the process (the one used to list them not counted).
inline int OpenFdCount() {
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                   .size()) -
           1;
}

inline int ThreadCount() {
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// `object` and everything below it.
inline int ObjectTreeSize(const QObject* object) {
    int count = 1;
    for (const QObject* child : object->children()) {
        count += ObjectTreeSize(child);
    }
    return count;
}

// The offscreen platform unless the caller chose another one; its complaint about window size hints,
// repeated for every window shown, is left out of the figures.
inline void UseOffscreenPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static QtMessageHandler previous = nullptr;
    previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (text.contains(QLatin1String("does not support propagateSizeHints"))) {
                return;
            }
            if (previous) {
                previous(type, context, text);
            } else {
                std::fprintf(stderr, "%s\n", qPrintable(text));
            }
        });
}

// The value of "--name N" on the command line, or `fallback`.
inline int IntOption(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return std::atoi(argv[i + 1]);
        }
    }
    return fallback;
}

inline bool HasOption(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return true;
        }
    }
    return false;
}

// With --paints: counts the paint events of every widget and prints, at exit, the widgets painted most,
// so that a change that repaints what did not change shows at once.
class PaintCounter : public QObject {
public:
    ~PaintCounter() override {
        std::vector<std::pair<int, QString>> rows;
        for (auto it = counts_.cbegin(); it != counts_.cend(); ++it) {
            rows.emplace_back(it.value(), it.key());
        }
        std::sort(rows.rbegin(), rows.rend());
        std::printf("paint events by widget (%d widgets painted):\n", int(rows.size()));
        for (size_t i = 0; i < rows.size() && i < 25; ++i) {
            std::printf("  %7d  %s\n", rows[i].first, qPrintable(rows[i].second));
        }
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++counts_[QStringLiteral("%1 %2").arg(QLatin1String(watched->metaObject()->className()),
                                                  watched->objectName())];
        }
        return false;
    }

private:
    QHash<QString, int> counts_;
};

// A paint counter on the application when the command line has --paints; none otherwise.
inline std::unique_ptr<PaintCounter> PaintCounterIfAsked(QApplication& app, int argc, char** argv) {
    std::unique_ptr<PaintCounter> paints;
    if (HasOption(argc, argv, "--paints")) {
        paints = std::make_unique<PaintCounter>();
        app.installEventFilter(paints.get());
    }
    return paints;
}

// prog.ini with the given reply time-outs and pause, port 1, Italian; Strum.ini with `ticked`.
inline bool WriteSettings(const QString& dir, int startTimeoutMs, int mainTimeoutMs, int delayMs,
                          const QList<int>& ticked) {
    const QByteArray prog = "Start-up reply time-out (ms) = " + QByteArray::number(startTimeoutMs) + "\r\n" +
                            "Main reply time-out (ms) = " + QByteArray::number(mainTimeoutMs) + "\r\n" +
                            "Pause between instruments (ms) = " + QByteArray::number(delayMs) + "\r\n" +
                            "COMM Number = 1\r\n" + "Language Type (0=Italian 1=English) = 0\r\n" +
                            "Language (0=Italian 1=English) = 0\r\n";
    QFile file(QDir(dir).filePath(QLatin1String(settings::ProgIniName)));
    if (!file.open(QIODevice::WriteOnly) || file.write(prog) != prog.size()) {
        return false;
    }
    file.close();
    settings::InstrumentList list{};
    for (int n : ticked) {
        list[n] = true;
    }
    return settings::SaveInstrumentList(dir, list);
}

// The simulator's clock (CLOCK_MONOTONIC, the clock of its request record), in ns.
inline qint64 NowNs() {
    return Simulator::nowNs();
}

// Time stamps and main-thread CPU at each of a screen's PassCompleted signals (index = pass - 1).
class PassClock {
public:
    PassClock() {
        ends_.reserve(1 << 16);
        cpu_.reserve(1 << 16);
    }
    template <typename Form> void Attach(Form* form) {
        QObject::connect(form, &Form::PassCompleted, form, [this](quint64) {
            if (ends_.size() < ends_.capacity()) {
                ends_.push_back(NowNs());
                cpu_.push_back(ThreadCpuMs());
            }
        });
    }
    // End of pass `pass` (1-based); pass 0 is the start given to Start().
    qint64 End(quint64 pass) const { return pass == 0 ? start_ : ends_[size_t(pass - 1)]; }
    // Main-thread CPU (ms) spent from the end of pass - 1 to the end of pass.
    double CpuOf(quint64 pass) const {
        return cpu_[size_t(pass - 1)] - (pass == 1 ? startCpu_ : cpu_[size_t(pass - 2)]);
    }
    void Start() {
        start_ = NowNs();
        startCpu_ = ThreadCpuMs();
    }
    quint64 Count() const { return ends_.size(); }

private:
    qint64 start_ = 0;
    double startCpu_ = 0;
    std::vector<qint64> ends_;
    std::vector<double> cpu_;
};

// The exchanges of a time window and the wire-time limit of their frames.
struct WireFigures {
    int exchanges = 0;
    int answered = 0;
    qint64 requestChars = 0;
    qint64 replyChars = 0;
    double limitMs() const { return WireMs(requestChars + replyChars); }
};

// Pairs the simulator's record of requests with the replies it wrote (taken from replyWritten on the
// simulator's own thread, so that the measured thread does no work for it).
class WireLog {
public:
    explicit WireLog(SimThread& line) : line_(line) {
        replies_.reserve(1 << 16);
        line_.run([this](Simulator& s) {
            connection_ = QObject::connect(
                &s, &Simulator::replyWritten, &s,
                [this](int address, const QByteArray& reply) {
                    QMutexLocker lock(&mutex_);
                    if (recording_ && replies_.size() < replies_.capacity()) {
                        replies_.push_back(Reply{address, NowNs(), reply.size()});
                    }
                },
                Qt::DirectConnection);
        });
    }
    ~WireLog() {
        line_.run([this](Simulator&) { QObject::disconnect(connection_); });
    }
    WireLog(const WireLog&) = delete;
    WireLog& operator=(const WireLog&) = delete;

    void SetRecording(bool on) {
        QMutexLocker lock(&mutex_);
        recording_ = on;
    }

    // The requests that arrived in [fromNs, toNs) and the replies written to them.
    WireFigures Between(qint64 fromNs, qint64 toNs) const {
        const QList<SimRequest> requests = line_.simulator()->requests();
        QMutexLocker lock(&mutex_);
        WireFigures f;
        size_t next = 0; // replies are in time order
        for (qsizetype i = 0; i < requests.size(); ++i) {
            const SimRequest& r = requests[i];
            const qint64 until = i + 1 < requests.size() ? requests[i + 1].timeNs : INT64_MAX;
            while (next < replies_.size() && replies_[next].timeNs < r.timeNs) {
                ++next;
            }
            if (r.timeNs < fromNs || r.timeNs >= toNs) {
                continue;
            }
            ++f.exchanges;
            f.requestChars += r.frame.size();
            for (size_t k = next; k < replies_.size() && replies_[k].timeNs < until; ++k) {
                if (replies_[k].address == r.address) {
                    ++f.answered;
                    f.replyChars += replies_[k].chars;
                    break;
                }
            }
        }
        return f;
    }

    // One exchange of a window as seen on the line: its request, how long the client took to send it
    // after the previous reply was complete, and how long its reply took against its own wire time.
    struct Exchange {
        QByteArray request;
        qint64 timeNs = 0;   // the request's ":" arrived
        double gapMs = -1;   // previous reply complete -> this request's ":" (-1: no previous reply)
        double replyMs = -1; // this request's ":" -> its reply complete (-1: no reply)
        double limitMs = 0;  // wire time of request + reply
    };
    QList<Exchange> ExchangesBetween(qint64 fromNs, qint64 toNs) const {
        const QList<SimRequest> requests = line_.simulator()->requests();
        QMutexLocker lock(&mutex_);
        QList<Exchange> out;
        qint64 previousReplyNs = -1;
        size_t next = 0;
        for (qsizetype i = 0; i < requests.size(); ++i) {
            const SimRequest& r = requests[i];
            const qint64 until = i + 1 < requests.size() ? requests[i + 1].timeNs : INT64_MAX;
            while (next < replies_.size() && replies_[next].timeNs < r.timeNs) {
                ++next;
            }
            const Reply* reply = nullptr;
            for (size_t k = next; k < replies_.size() && replies_[k].timeNs < until; ++k) {
                if (replies_[k].address == r.address) {
                    reply = &replies_[k];
                    break;
                }
            }
            if (r.timeNs >= fromNs && r.timeNs < toNs) {
                Exchange e;
                e.request = r.frame.trimmed();
                e.timeNs = r.timeNs;
                e.gapMs = previousReplyNs < 0 ? -1 : (r.timeNs - previousReplyNs) / 1e6;
                e.replyMs = reply ? (reply->timeNs - r.timeNs) / 1e6 : -1;
                e.limitMs = WireMs(r.frame.size() + (reply ? reply->chars : 0));
                out << e;
            }
            previousReplyNs = reply ? reply->timeNs : -1;
        }
        return out;
    }

    // The requests of [fromNs, toNs), e.g. to show what a pass asks.
    QList<SimRequest> RequestsBetween(qint64 fromNs, qint64 toNs) const {
        QList<SimRequest> out;
        for (const SimRequest& r : line_.simulator()->requests()) {
            if (r.timeNs >= fromNs && r.timeNs < toNs) {
                out << r;
            }
        }
        return out;
    }

private:
    struct Reply {
        int address;
        qint64 timeNs;
        qsizetype chars;
    };
    SimThread& line_;
    QMetaObject::Connection connection_;
    mutable QMutex mutex_;
    bool recording_ = false;
    std::vector<Reply> replies_;
};

// Waits until `form` has completed `pass` passes, or `timeoutMs`. False on the time-out.
template <typename Form> QCoro::Task<bool> WaitForPass(Form* form, quint64 pass, int timeoutMs) {
    const qint64 deadline = NowNs() + qint64(timeoutMs) * 1000000;
    while (form->PassCount() < pass) {
        const qint64 left = (deadline - NowNs()) / 1000000;
        if (left <= 0) {
            co_return false;
        }
        co_await qCoro(form, &Form::PassCompleted, std::chrono::milliseconds(left));
    }
    co_return true;
}

// Figures of a measured stretch of time: wall clock, CPU of this thread and of the process.
struct CpuWindow {
    qint64 wall0 = NowNs();
    double thread0 = ThreadCpuMs();
    double process0 = ProcessCpuMs();
    double wallMs = 0;
    double threadMs = 0;
    double processMs = 0;
    void Stop() {
        wallMs = (NowNs() - wall0) / 1e6;
        threadMs = ThreadCpuMs() - thread0;
        processMs = ProcessCpuMs() - process0;
    }
    double ThreadPercent() const { return 100.0 * threadMs / wallMs; }
    double ProcessPercent() const { return 100.0 * processMs / wallMs; }
};

// Samples the resident size every `periodMs` while a long window runs (one timer tick, no spinning).
class RssSampler : public QObject {
public:
    explicit RssSampler(int periodMs) {
        timer_.setInterval(periodMs);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Sample(); });
    }
    void Start() {
        first_ = last_ = min_ = max_ = CurrentRssKiB();
        timer_.start();
    }
    void Stop() {
        timer_.stop();
        Sample();
    }
    long First() const { return first_; }
    long Last() const { return last_; }
    long Min() const { return min_; }
    long Max() const { return max_; }

private:
    void Sample() {
        last_ = CurrentRssKiB();
        min_ = qMin(min_, last_);
        max_ = qMax(max_, last_);
    }
    QTimer timer_;
    long first_ = 0, last_ = 0, min_ = 0, max_ = 0;
};

// Sleeps `ms` on a precise timer (a coarse one may end a measured window up to 5 % early).
inline QCoro::Task<> Sleep(int ms) {
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    timer.start(ms);
    co_await qCoro(&timer, &QTimer::timeout);
}

// Runs `body` once the event loop runs and quits the application when it ends.
template <typename Body> int RunBenchmark(QApplication& app, Body body) {
    QTimer::singleShot(0, &app, [body] {
        [](Body b) -> QCoro::Task<> {
            co_await b();
            std::fflush(stdout);
            QCoreApplication::quit();
        }(body);
    });
    return app.exec();
}

// How many characters the simulated line hands over at a time (--chunk): 8 as a UART's FIFO does,
// a whole reply (64) as a USB adapter does.
inline int& WireChunkChars() {
    static int chars = 8;
    return chars;
}

// Scratch settings and a simulated line of the screen's own, at emulated 19200 baud, with the wire-time
// account of what is exchanged on it and the time stamps of the screen's passes.
struct ScreenLine {
    QTemporaryDir dir;
    SimThread line;
    std::unique_ptr<WireLog> log;
    Modulo1 m;
    ScriptedPrompter prompter;
    PassClock clock;

    // prog.ini with both reply time-outs `timeoutMs` and no pause, Strum.ini with `ticked`; the
    // simulator's instruments put in place by `instruments`.
    bool Open(int timeoutMs, const QList<int>& ticked, const std::function<void(Simulator&)>& instruments) {
        if (!dir.isValid() || !WriteSettings(dir.path(), timeoutMs, timeoutMs, 0, ticked)) {
            std::fprintf(stderr, "no scratch settings directory\n");
            return false;
        }
        if (!line.start([&](Simulator& s) {
                instruments(s);
                s.setWireTime(true);
                s.setWireChunkChars(WireChunkChars());
            })) {
            std::fprintf(stderr, "no pseudo-terminal\n");
            return false;
        }
        log = std::make_unique<WireLog>(line);
        return true;
    }
    ScreenContext Context() { return ScreenContext{m, prompter, dir.path(), line.devicePath()}; }
    // Makes every instrument's weight move by one division every `periodMs`, as a loaded scale's does,
    // so that the screen has a new weight to show (0: the weights stand still).
    void MoveWeights(int periodMs) {
        if (periodMs <= 0) {
            return;
        }
        line.run([periodMs](Simulator& s) {
            auto* timer = new QTimer(&s);
            QObject::connect(timer, &QTimer::timeout, &s, [&s, step = 0]() mutable {
                step ^= 1;
                for (int a = 1; a <= 32; ++a) {
                    if (SimInstrument* i = s.instrument(a)) {
                        i->setWeight(1234 + a + step, 5678 + a + step);
                    }
                }
            });
            timer->start(periodMs);
        });
    }
};

} // namespace bench
