// quartel-cli scan: the start-up screen's poll of each address, as a table or as JSON lines.

#include "clicommands.h"
#include "cliline.h"

#include "frame.h"
#include "loopwait.h"
#include "registers.h"
#include "startpoll.h"
#include "texts_cli.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The status byte in words: the stable lamp, and the state the instrument shows instead of a weight.
// In `language`: the table's in the run's, JSON's always in English (it is read by programs).
QString StatusWords(int language, uint8_t status) {
    const auto text = [language](const char* key) {
        return TextOf(texts::Cli(), QString::fromLatin1(key), language);
    };
    QStringList words;
    words << text((status & Status::Stable) ? "ScanStable" : "ScanMoving");
    if (status & Status::ShowUnderscores) {
        words << text("ScanShows").arg(QStringLiteral("_______"));
    } else if (status & Status::ShowDashes) {
        words << text("ScanShows").arg(QStringLiteral("-------"));
    } else if (status & Status::Overload) {
        words << text("ScanOverload");
    }
    return words.join(QStringLiteral(", "));
}

QString EnglishText(const char* key) {
    return TextOf(texts::Cli(), QString::fromLatin1(key), 1);
}

struct ScanRow {
    int address = 0;
    int model = 0;
    QString division;
    QString weight; // as the start-up screen shows it
    QString status;
    QString statusJson;  // the same in English
    int statusByte = -1; // -1: not read
    bool complete = false;
};

QString TableLine(const QString& address, const QString& model, const QString& division,
                  const QString& weight, const QString& status) {
    QString line = QStringLiteral("%1  %2  %3  %4  %5")
                       .arg(address, 4)
                       .arg(model, -5)
                       .arg(division, -8)
                       .arg(weight, 8)
                       .arg(status);
    while (line.endsWith(QLatin1Char(' '))) {
        line.chop(1);
    }
    return line;
}

} // namespace

QCoro::Task<int> RunScan(CliLine& line, CliIo& io) {
    if (!co_await line.Open()) {
        co_return ExitFailed;
    }
    const CliOptions& o = line.options();
    Modulo1& m = line.m();
    StartPoll poll(m, line.link());
    if (!o.json) {
        io.Out(TableLine(io.Text("ScanAddress"), io.Text("ScanModel"), io.Text("ScanDivision"),
                         io.Text("ScanWeight"), io.Text("ScanStatus")));
    }
    int answered = 0;
    int incomplete = 0;
    int done = 0;
    LoopWaker pause;
    for (const int a : o.addresses) {
        // The start-up screen's pause before each instrument when it polls more than one.
        if (o.addresses.size() > 1 && m.PollDelayMs > 0) {
            co_await pause.WaitFor(m.PollDelayMs);
        }
        io.Progress(io.Text("ScanProgress").arg(a).arg(++done).arg(o.addresses.size()).arg(answered));
        // Every address learns its division afresh, as when the start-up screen loads.
        m.DeviceAddress = uint8_t(a);
        m.DivisionStep[a] = 0;
        m.DecimalCount[a] = 0;
        m.ErrorCount[a] = 0;
        co_await poll.PollDivisionCode();
        const bool divisionAnswered = CheckReply(m.FrameBuffer, Prefix::DivisionCode);
        if (!divisionAnswered) {
            continue; // silent: nothing at this address
        }
        ScanRow row;
        row.address = a;
        row.division = DivisionText(m, a);
        const StartPollResult result = co_await poll.PollInstrumentWeight();
        using Outcome = StartPollResult::Outcome;
        switch (result.outcome) {
        case Outcome::NoDivision:
            row.status = io.Text("ScanNoDivision");
            row.statusJson = EnglishText("ScanNoDivision");
            break;
        case Outcome::NoStatus:
            row.status = io.Text("ScanNoStatus");
            row.statusJson = EnglishText("ScanNoStatus");
            break;
        case Outcome::NoWeight:
            row.status = io.Text("ScanNoWeight");
            row.statusJson = EnglishText("ScanNoWeight");
            row.statusByte = m.StatusByte;
            break;
        case Outcome::Abandoned:
        case Outcome::StatusText:
        case Outcome::Weight:
            row.statusByte = m.StatusByte;
            row.status = StatusWords(io.Language(), m.StatusByte);
            row.statusJson = StatusWords(1, m.StatusByte);
            row.weight = result.text;
            row.complete = true;
            break;
        }
        row.model = co_await line.ModelOf(a);
        ++answered;
        if (!row.complete) {
            ++incomplete;
        }
        if (o.json) {
            QJsonObject obj;
            obj.insert(QStringLiteral("address"), row.address);
            obj.insert(QStringLiteral("model"), row.model);
            obj.insert(QStringLiteral("modelName"), ModelName(row.model));
            obj.insert(QStringLiteral("division"), JsonNumber(row.division));
            obj.insert(QStringLiteral("weight"), JsonNumber(row.weight));
            obj.insert(QStringLiteral("weightText"), row.weight);
            obj.insert(QStringLiteral("status"), row.statusJson);
            obj.insert(QStringLiteral("statusByte"), row.statusByte);
            obj.insert(QStringLiteral("ok"), row.complete);
            io.Out(QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact)));
        } else {
            io.Out(TableLine(QString::number(row.address), ModelName(row.model), row.division, row.weight,
                             row.status));
        }
        if (!row.complete) {
            io.Fail(io.Text("Address").arg(a) + row.status);
        }
    }
    io.ClearProgress();
    if (answered == 0) {
        io.Fail(io.Text("NoInstrument").arg(line.Device()));
        co_return ExitFailed;
    }
    co_return incomplete == 0 ? ExitOk : ExitFailed;
}
