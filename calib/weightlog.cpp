#include "weightlog.h"

#include <QDateTime>
#include <QTimeZone>

#include <cerrno>
#include <cstring>

namespace {

QString ViewName(uint8_t view) {
    switch (view) {
    case 1:
        return QStringLiteral("net");
    case 3:
        return QStringLiteral("peak");
    default:
        return QStringLiteral("gross");
    }
}

QString Bit(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// A text field in quotes, a quote in it doubled.
QString Quoted(QString text) {
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString TimeText(qint64 ms) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    // With the offset from UTC, so that the time says the same after a change of summer time.
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace

QString WeightLogHeader() {
    return QStringLiteral("time,address,model,view,weight,shown,stable,net,output1,output2");
}

QString WeightLogLine(const WeightLogRow& row) {
    const WeightReading& r = row.reading;
    const bool model2 = row.model == 2;
    const QStringList fields{TimeText(r.timeMs),
                             QString::number(row.address),
                             model2 ? QStringLiteral("VXB") : QStringLiteral("VXA"),
                             ViewName(r.view),
                             r.hasWeight ? r.number : QString(),
                             Quoted(r.shown),
                             Bit(r.stable),
                             model2 ? QString() : Bit(row.net),
                             model2 ? QString() : Bit(row.output1),
                             model2 ? QString() : Bit(row.output2)};
    return fields.join(QLatin1Char(','));
}

WeightLogRow MakeWeightLogRow(const WeightReading& reading, const MonitorDisplay& display, const Modulo1& m) {
    WeightLogRow row;
    row.reading = reading;
    row.address = m.DeviceAddress;
    row.model = m.InstrumentModel;
    row.net = display.lamp(MonitorDisplay::Lamp::Net);
    row.output1 = display.lamp(MonitorDisplay::Lamp::Output1);
    row.output2 = display.lamp(MonitorDisplay::Lamp::Output2);
    return row;
}

std::optional<WeightReading> ReadingWatch::AfterPass(const LiveMonitor& monitor) {
    if (monitor.ReadingCount() == seen_) {
        return std::nullopt;
    }
    seen_ = monitor.ReadingCount();
    return monitor.LastReading();
}

WeightLogFile::~WeightLogFile() {
    Close();
}

bool WeightLogFile::Open(const QString& path) {
    Close();
    rows_ = 0;
    error_.clear();
    file_.setFileName(path);
    // Unbuffered: every write goes to the system at once, so a failure shows at the row that met it.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error_ = file_.errorString();
        return false;
    }
    return WriteLine(WeightLogHeader());
}

bool WeightLogFile::Append(const WeightLogRow& row) {
    if (!file_.isOpen()) {
        return false;
    }
    if (!WriteLine(WeightLogLine(row))) {
        return false;
    }
    ++rows_;
    return true;
}

bool WeightLogFile::WriteLine(const QString& line) {
    const QByteArray bytes = line.toUtf8() + WeightLogLineEnd;
    const qint64 before = file_.pos();
    errno = 0;
    const qint64 written = file_.write(bytes);
    const int reason = errno;
    if (written == bytes.size()) {
        return true;
    }
    // A short write (a full disk, a size limit) leaves part of the row: it is taken back, so that the
    // file ends with a whole row.
    error_ = written < 0 || reason == 0 ? file_.errorString() : QString::fromLocal8Bit(std::strerror(reason));
    if (written > 0) {
        file_.resize(before);
    }
    file_.close();
    return false;
}

void WeightLogFile::Close() {
    if (file_.isOpen()) {
        file_.close();
    }
}

QString WeightLogFileName(int address, const QDate& date) {
    return QStringLiteral("quartel-addr%1-%2.csv")
        .arg(address, 2, 10, QLatin1Char('0'))
        .arg(date.toString(Qt::ISODate));
}
