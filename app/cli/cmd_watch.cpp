// quartel-cli watch: the live monitor of the main setup screen, one line per pass.

#include "clicommands.h"
#include "cliend.h"
#include "clifiles.h"
#include "cliline.h"

#include "texts_form1.h"
#include "weightlog.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/resource.h>

namespace {

// The wire time of one character at 19200 baud, 10 bits each (start, 8 data, stop).
constexpr double CharSeconds = 10.0 / 19200.0;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString Caption(const char* control, int language) {
    return TextOf(texts::MainScreen(), QString::fromLatin1(control), language);
}

// A lamp as its caption when lit, as dots of the caption's width when dark.
QString LampText(const MonitorDisplay& d, MonitorDisplay::Lamp lamp, const QString& caption) {
    return d.lamp(lamp) ? caption : QString(caption.size(), QLatin1Char('.'));
}

} // namespace

QCoro::Task<int> RunWatch(CliLine& line, CliIo& io) {
    line.ReadSettings();
    const CliOptions& options = line.options();
    if (!options.csv.isEmpty() && options.csv != QLatin1String("-")) {
        if (const QString refused = clifiles::WriteRefusal(io, options.csv); !refused.isEmpty()) {
            io.Fail(refused);
            co_return ExitFailed;
        }
    }
    if (!co_await line.Open()) {
        co_return ExitFailed;
    }
    const CliOptions& o = line.options();
    Modulo1& m = line.m();
    const int a = o.addresses.first();
    const int model = co_await line.AnsweringModel(a);
    if (model == 0) {
        co_return ExitFailed;
    }
    CliInstrument inst(m, line.link());
    inst.Load(a, model);
    m.WeightView = uint8_t(o.view);
    const MonitorDisplay& d = inst.display;
    // The weight log: the main setup screen's rows, to a file or instead of the lines to standard output.
    const bool csvOut = o.csv == QLatin1String("-");
    const bool table = !o.json && !csvOut;
    WeightLogFile log;
    if (!o.csv.isEmpty() && !csvOut && !log.Open(o.csv)) {
        io.Fail(io.Text("LogNotOpened").arg(o.csv, log.ErrorString()));
        co_return ExitFailed;
    }
    // Ctrl+C is how a watch without --count usually ends: the rows logged so far are kept.
    const cliend::Cleanup closeLog([&log] { log.Close(); });
    if (csvOut) {
        io.Raw(WeightLogHeader() + QLatin1String(WeightLogLineEnd));
    }
    ReadingWatch readings;
    readings.Skip(inst.monitor);
    const int language = m.LanguageIndex;
    const bool model1 = model != 2;
    using T = MonitorDisplay::Text;
    using L = MonitorDisplay::Lamp;

    if (table) {
        const char* viewKey = o.view == 1 ? "Label1.net" : o.view == 3 ? "Label1.peak" : "Label1.gross";
        QString header = QStringLiteral("%1 %2 %3 %4")
                             .arg(io.Text("WatchPass"), 6)
                             .arg(Caption(viewKey, language).trimmed(), 9)
                             .arg(io.Text("WatchPoints"), 7)
                             .arg(QStringLiteral("mV/V"), 7);
        if (model1) {
            header += QStringLiteral("  %1  %2 %3")
                          .arg(io.Text("WatchInputs"))
                          .arg(io.Text("WatchSet").arg(1), 7)
                          .arg(io.Text("WatchSet").arg(2), 7);
        }
        header += QStringLiteral("  ") + io.Text("WatchLamps");
        io.Out(io.Text("WatchOn").arg(ModelName(model)).arg(a).arg(line.Device()));
        io.Out(header);
    }

    // The statistics leave out the first pass: it also reads the division, the version and the
    // set-points, which later passes do not, and the program's first calls cost their loading.
    quint64 exchangesBefore = 0;
    quint64 charsBefore = 0;
    double cpuBefore = 0;
    QElapsedTimer clock;
    int measured = 0;
    const auto startClock = [&] {
        exchangesBefore = line.link().ExchangeCount();
        charsBefore = line.link().BytesSent() + line.link().BytesReceived();
        cpuBefore = CpuSeconds();
        clock.start();
        measured = 0;
    };
    startClock();
    QElapsedTimer running;
    running.start();
    int failedPasses = 0;
    int passes = 0;
    bool logFailed = false;
    for (int pass = 1; o.count == 0 || pass <= o.count; ++pass) {
        co_await inst.MonitorPass();
        ++passes;
        ++measured;
        const bool failed = m.ErrorCount[a] != 0;
        if (failed) {
            ++failedPasses;
        }
        if (const std::optional<WeightReading> reading = readings.AfterPass(inst.monitor)) {
            const WeightLogRow row = MakeWeightLogRow(*reading, d, m);
            if (csvOut) {
                io.Raw(WeightLogLine(row) + QLatin1String(WeightLogLineEnd));
            } else if (log.IsOpen() && !log.Append(row)) {
                io.Fail(io.Text("LogEnded").arg(o.csv, log.ErrorString()).arg(log.Rows()));
                logFailed = true;
                break;
            }
        }
        if (o.json) {
            QJsonObject obj;
            obj.insert(QStringLiteral("pass"), pass);
            obj.insert(QStringLiteral("address"), a);
            obj.insert(QStringLiteral("weight"), JsonNumber(d.text(T::Peso)));
            obj.insert(QStringLiteral("weightText"), d.text(T::Peso));
            obj.insert(QStringLiteral("points"), JsonNumber(d.text(T::Punti)));
            obj.insert(QStringLiteral("signal"), JsonNumber(d.text(T::MilliV)));
            obj.insert(QStringLiteral("version"), d.text(T::Versione));
            obj.insert(QStringLiteral("stable"), d.lamp(L::Stable));
            if (model1) {
                obj.insert(QStringLiteral("input1"), d.text(T::Ingresso1));
                obj.insert(QStringLiteral("input2"), d.text(T::Ingresso2));
                obj.insert(QStringLiteral("setpoint1"), JsonNumber(inst.set.text(Field::Set1)));
                obj.insert(QStringLiteral("setpoint2"), JsonNumber(inst.set.text(Field::Set2)));
                obj.insert(QStringLiteral("net"), d.lamp(L::Net));
                obj.insert(QStringLiteral("output1"), d.lamp(L::Output1));
                obj.insert(QStringLiteral("output2"), d.lamp(L::Output2));
            }
            obj.insert(QStringLiteral("ok"), !failed);
            io.Out(QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact)));
        } else if (table) {
            QString text = QStringLiteral("%1 %2 %3 %4")
                               .arg(pass, 6)
                               .arg(d.text(T::Peso), 9)
                               .arg(d.text(T::Punti), 7)
                               .arg(d.text(T::MilliV), 7);
            if (model1) {
                text += QStringLiteral("  %1%2  %3 %4")
                            .arg(d.text(T::Ingresso1), d.text(T::Ingresso2))
                            .arg(inst.set.text(Field::Set1), 7)
                            .arg(inst.set.text(Field::Set2), 7);
            }
            text += QStringLiteral("  ") + LampText(d, L::Stable, Caption("Label10", language));
            if (model1) {
                text += QLatin1Char(' ') + LampText(d, L::Net, Caption("Label8", language)) +
                        QLatin1Char(' ') + LampText(d, L::Output1, Caption("Label2", language)) +
                        QLatin1Char(' ') + LampText(d, L::Output2, Caption("Label7", language));
            }
            text += QStringLiteral("  v") + d.text(T::Versione);
            io.Out(text);
        }
        if (pass == 1 && o.count > 1) {
            startClock();
        }
        if (o.durationMs > 0 && running.elapsed() >= o.durationMs) {
            break;
        }
    }
    log.Close();
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;

    if (o.stats) {
        const quint64 exchanges = line.link().ExchangeCount() - exchangesBefore;
        const quint64 chars = line.link().BytesSent() + line.link().BytesReceived() - charsBefore;
        const double wire = double(chars) * CharSeconds;
        const double cpu = CpuSeconds() - cpuBefore;
        const double rate = elapsed > 0 ? measured / elapsed : 0;
        const double limit = wire > 0 ? measured / wire : 0;
        io.Note(QStringLiteral("stats: passes %1..%2: %3 exchanges, %4 characters in %5 s")
                    .arg(passes - measured + 1)
                    .arg(passes)
                    .arg(exchanges)
                    .arg(chars)
                    .arg(elapsed, 0, 'f', 3));
        io.Note(QStringLiteral("stats: %1 passes/s, wire-time limit %2 passes/s at 19200 baud: ratio %3")
                    .arg(rate, 0, 'f', 2)
                    .arg(limit, 0, 'f', 2)
                    .arg(limit > 0 ? rate / limit : 0, 0, 'f', 4));
        io.Note(QStringLiteral("stats: CPU %1 ms per exchange (%2 s in all)")
                    .arg(exchanges > 0 ? cpu * 1000 / double(exchanges) : 0, 0, 'f', 4)
                    .arg(cpu, 0, 'f', 3));
    }
    if (logFailed) {
        co_return ExitFailed;
    }
    if (failedPasses > 0) {
        io.Fail(io.Text("WatchFailed").arg(a).arg(failedPasses).arg(passes));
        co_return ExitFailed;
    }
    co_return ExitOk;
}
