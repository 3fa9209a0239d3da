#include "livemonitor.h"

#include "frame.h"
#include "registers.h"

#include <QDateTime>

#include <limits>

namespace {

// The texts the monitor writes itself, each spelled here only. Where the language matters the
// English text differs from the Italian one.
enum class MonitorText { LinkError, VersionError, Reset };

struct MonitorTextDef {
    MonitorText id;
    const char* italian;
    const char* english;
};

constexpr MonitorTextDef MonitorTexts[] = {
    {MonitorText::LinkError, "ERRORE", "ERROR"},
    {MonitorText::VersionError, "ERR", "ERR"},
    {MonitorText::Reset, "RESET", "RESET"},
};

QString TextOf(MonitorText id, int languageIndex) {
    for (const MonitorTextDef& def : MonitorTexts) {
        if (def.id == id) {
            return QString::fromLatin1(languageIndex == 1 ? def.english : def.italian);
        }
    }
    return {};
}

// Weight fields and their neighbours are 7 characters wide, in a fixed-pitch font.
constexpr int FieldWidth = 7;

// The internal points are shown relative to this count (q = points / 16).
constexpr int64_t PointsZero = 131000;
constexpr int PointsDivisor = 16;

// The signal register holds thousandths of a millivolt.
constexpr int SignalDigits = 4;
constexpr int SignalDecimals = 3;

void CountFailure(uint8_t& count) {
    if (count < std::numeric_limits<uint8_t>::max()) {
        ++count;
    }
}

// 5 -> "0.5", 32 -> "3.2", 0 -> "0.0".
QString VersionText(int16_t value) {
    const QString s = QString::number(value);
    if (s.size() == 1) {
        return QStringLiteral("0.") + s;
    }
    return s.front() + QLatin1Char('.') + s.back();
}

// Internal points p (32 bits) as the distance of p / 16 (rounded down) from 131000.
QString PointsText(int32_t points) {
    int64_t q = points / PointsDivisor;
    if (points % PointsDivisor < 0) {
        --q; // rounded down, also for negative counts
    }
    const QString text =
        q < PointsZero ? QLatin1Char('-') + QString::number(PointsZero - q) : QString::number(q - PointsZero);
    return text.rightJustified(FieldWidth, QLatin1Char(' '));
}

// Signal register (magnitude, thousandths of a millivolt) with its sign bit: 1234 -> "1.234",
// 5 -> "0.005", 12 negative -> "-0.012", 0 never negative.
QString SignalText(uint16_t magnitude, bool negative) {
    QString text = QString::number(magnitude).rightJustified(SignalDigits, QLatin1Char('0'));
    if (magnitude != 0 && negative) {
        text.prepend(QLatin1Char('-'));
    }
    text.insert(text.size() - SignalDecimals, QLatin1Char('.'));
    return text.rightJustified(FieldWidth, QLatin1Char(' '));
}

} // namespace

// --- MonitorDisplay ---------------------------------------------------------------------------------

void MonitorDisplay::setText(Text t, const QString& value) {
    QString& current = texts_[static_cast<int>(t)];
    if (current == value) {
        return;
    }
    current = value;
    emit textChanged(t);
}

void MonitorDisplay::setLamp(Lamp l, bool on) {
    const int i = static_cast<int>(l);
    if (lamps_[i] == on) {
        return;
    }
    lamps_[i] = on;
    ++paints_[i];
    emit lampChanged(l);
}

// --- LiveMonitor ------------------------------------------------------------------------------------

LiveMonitor::LiveMonitor(Session& session, ConfigReader& reader, MonitorDisplay& display)
    : s_(session), reader_(reader), display_(display) {}

QCoro::Task<> LiveMonitor::ReadVersion() {
    Modulo1& m = s_.m;
    // "ERR" and an empty field read as 0, like the version 0.0 itself.
    if (ReadNumber(display_.text(MonitorDisplay::Text::Versione)) != 0 || m.WritePending) {
        co_return;
    }
    const auto reply = co_await s_.Read(Fn::ReadInputRegisters, Reg::Version, 1, Prefix::Version);
    if (!reply) {
        co_return;
    }
    display_.setText(MonitorDisplay::Text::Versione, VersionText(ReadRegisterSigned(*reply, 0)));
}

QCoro::Task<> LiveMonitor::ReadWeight() {
    Modulo1& m = s_.m;
    const uint8_t a = m.DeviceAddress;
    // Without its division the weight cannot be shown: a failure, even while a write waits.
    if (m.DivisionStep[a] == 0) {
        CountFailure(m.ErrorCount[a]);
        co_return;
    }
    if (m.WritePending) {
        co_return;
    }

    const auto status = co_await s_.ReadStatus();
    if (!status) {
        CountFailure(m.ErrorCount[a]);
        co_return;
    }
    m.StatusByte = ReadStatusByte(*status);
    const uint8_t st = m.StatusByte;
    const bool noWeight = (st & Status::NoWeightMask) != 0;
    if (!noWeight) {
        stabile = (st & Status::Stable) ? 1 : 0;
    } else if (m.WeightView == 1 || m.WeightView == 2) {
        // The instrument shows a state instead of a weight; the link itself is fine.
        m.ErrorCount[a] = 0;
        display_.setText(MonitorDisplay::Text::Peso, StatusWeightText(st));
    }

    const auto block = co_await s_.Read(Fn::ReadInputRegisters, Reg::WeightBlock, Reg::WeightBlockCount,
                                        Prefix::WeightBlock);
    if (!block) {
        CountFailure(m.ErrorCount[a]);
        co_return;
    }
    m.ErrorCount[a] = 0;
    m.ResetInProgress = 0;

    const uint8_t step = m.DivisionStep[a];
    if (!noWeight) {
        NetCount = int32_t(ReadRegisterUnsigned(*block, Reg::NetWeightIndex)) * step;
        GrossCount = int32_t(ReadRegisterUnsigned(*block, Reg::GrossWeightIndex)) * step;
        if ((m.WeightView == 1 || m.WeightView == 2) && step != 0) {
            const bool net = m.WeightView == 1;
            const int32_t count = net ? NetCount : GrossCount;
            const uint8_t signBit = net ? Status::NetNegative : Status::GrossNegative;
            QString text = QString::number(count);
            if (count != 0 && (st & signBit)) {
                text.prepend(QLatin1Char('-'));
            }
            const QString shown = DecodeValue(text, m);
            display_.setText(MonitorDisplay::Text::Peso, shown);
            TakeReading(true, shown.trimmed());
        }
        // The peak view is filled by ReadPeak.
    } else if (m.WeightView == 1 || m.WeightView == 2) {
        TakeReading(false, QString()); // the status text on show instead of a weight
    }

    // Internal points and signal are shown whatever the status says.
    display_.setText(MonitorDisplay::Text::Punti, PointsText(ReadRegister32(*block, Reg::PointsIndex)));
    display_.setText(MonitorDisplay::Text::MilliV, SignalText(ReadRegisterUnsigned(*block, Reg::SignalIndex),
                                                              (st & Status::SignalNegative) != 0));
}

QCoro::Task<> LiveMonitor::ReadInputs() {
    if (s_.m.WritePending) {
        co_return;
    }
    const auto reply = co_await s_.Read(Fn::ReadDiscreteInputs, Reg::Inputs, Reg::InputCount, Prefix::Inputs);
    if (!reply) {
        co_return;
    }
    const uint8_t bits = ReadDataByte(*reply);
    const auto bitText = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    display_.setText(MonitorDisplay::Text::Ingresso1, bitText(bits & 0x01));
    display_.setText(MonitorDisplay::Text::Ingresso2, bitText(bits & 0x02));
}

QCoro::Task<> LiveMonitor::ReadSetpoints() {
    Modulo1& m = s_.m;
    // Set-points are counts of divisions: with the division not known (a failed division read right
    // after a write that made it unknown) they wait for the next pass.
    if (m.SetpointsRead != 0 || m.WritePending || m.CurrentStep() == 0) {
        co_return;
    }
    const auto reply =
        co_await s_.Read(Fn::ReadHoldingRegisters, Reg::SetPoints, Reg::SetPointsCount, Prefix::SetPoints);
    if (!reply) {
        co_return; // tried again at the next pass
    }
    const int step = m.CurrentStep();
    const auto setPoint = [&](int n) {
        return DecodeValue(QString::number(int64_t(ReadRegisterUnsigned(*reply, n)) * step), m);
    };
    s_.set.setText(Field::Set1, setPoint(0));
    s_.set.setText(Field::Set2, setPoint(1));
    s_.set.setKnown(GroupId::SetPoints, true);
    m.SetpointsRead = 1;
}

QCoro::Task<> LiveMonitor::ReadPeak() {
    Modulo1& m = s_.m;
    if (m.WeightView <= 2 || m.WritePending) {
        co_return;
    }
    const auto reply = co_await s_.Read(Fn::ReadHoldingRegisters, Reg::Peak, 1, Prefix::Peak);
    if (!reply) {
        co_return;
    }
    const int64_t count = int64_t(ReadRegisterUnsigned(*reply, 0)) * m.CurrentStep();
    const QString shown = DecodeValue(QString::number(count), m);
    display_.setText(MonitorDisplay::Text::Peso, shown);
    TakeReading(true, shown.trimmed());
}

void LiveMonitor::TakeReading(bool hasWeight, const QString& number) {
    reading_.timeMs = QDateTime::currentMSecsSinceEpoch();
    reading_.view = s_.m.WeightView;
    reading_.hasWeight = hasWeight;
    reading_.number = number;
    reading_.shown = display_.text(MonitorDisplay::Text::Peso);
    reading_.stable = stabile == 1;
    ++readings_;
}

QCoro::Task<> LiveMonitor::ShowLinkState() {
    Modulo1& m = s_.m;
    const uint8_t a = m.DeviceAddress;
    if (m.ResetInProgress == 1) {
        // The instrument restarts: its division and set-points are read again once it answers.
        display_.setText(MonitorDisplay::Text::Peso, TextOf(MonitorText::Reset, m.LanguageIndex));
        m.DivisionStep[a] = 0;
        m.DecimalCount[a] = 0;
        m.SetpointsRead = 0;
        co_return;
    }
    // Keeps the count far from its limit while the link stays down.
    constexpr uint8_t CountCeiling = 100;
    if (m.ErrorCount[a] >= CountCeiling) {
        m.ErrorCount[a] = LinkErrorThreshold;
    }
    if (m.ErrorCount[a] >= LinkErrorThreshold) {
        display_.setText(MonitorDisplay::Text::Peso, TextOf(MonitorText::LinkError, m.LanguageIndex));
        display_.setText(MonitorDisplay::Text::Versione, TextOf(MonitorText::VersionError, m.LanguageIndex));
        // Nothing the instrument said is shown as if it still held: no stable weight, no output on.
        stabile = 0;
        ShowLamps(0);
        m.DivisionStep[a] = 0;
        // Asked again at once, so that division and version come back as soon as the line does.
        co_await reader_.ReadDivisionCode();
        co_await ReadVersion();
    }
}

QCoro::Task<> LiveMonitor::ReadOutputs() {
    Modulo1& m = s_.m;
    if (m.WritePending) {
        co_return;
    }
    // The reply is taken only with a right LRC, like every other reply: a corrupted one must not
    // switch the lamps.
    const auto reply = co_await s_.Read(Fn::ReadCoils, Reg::Coils, Reg::CoilCount, Prefix::Coils);
    if (!reply) {
        co_return;
    }
    ShowLamps(ReadDataByte(*reply));
}

bool LiveMonitor::ShowsLinkError() const {
    return s_.m.ResetInProgress != 1 && s_.m.ErrorCount[s_.m.DeviceAddress] >= LinkErrorThreshold;
}

void LiveMonitor::ShowLamps(uint8_t coils) {
    const auto show = [this](MonitorDisplay::Lamp lamp, bool on) {
        if (display_.lamp(lamp) != on) { // repainted only when it changes
            display_.setLamp(lamp, on);
        }
    };
    show(MonitorDisplay::Lamp::Output2, (coils & 0x02) != 0);
    show(MonitorDisplay::Lamp::Output1, (coils & 0x01) != 0);
    show(MonitorDisplay::Lamp::Stable, stabile == 1);
    show(MonitorDisplay::Lamp::Net, s_.m.WeightView == 1);
}

QCoro::Task<> LiveMonitor::Pass() {
    co_await reader_.ReadDivisionCode();
    co_await ReadVersion();
    co_await ReadWeight();
    co_await ReadInputs();
    if (s_.m.SetpointsRead == 0) {
        co_await ReadSetpoints();
    }
    if (s_.m.WeightView == 3) {
        co_await ReadPeak();
    }
    co_await ShowLinkState();
    co_await ReadOutputs();
}
