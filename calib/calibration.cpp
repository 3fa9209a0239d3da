#include "calibration.h"

#include "frame.h"
#include "registers.h"
#include "rules.h"

#include <QLocale>

#include <cmath>

namespace {

QByteArray CommandRequest(const Modulo1& m, uint16_t reg, const QByteArray& value4) {
    return BuildRequest(m.DeviceAddress, Fn::WriteSingleRegister, WriteSingleBody(reg, value4));
}
} // namespace

Calibration::Calibration(Session& session, ConfigWriter& writer, const MonitorDisplay& display)
    : s_(session), writer_(writer), display_(display) {
    Modulo1& m = s_.m;
    WriteQueue& q = s_.queue;
    q.RegisterEcho(WriteSlot::A, Echo::SampleWeight, [&m, &q](const QByteArray&) {
        // The sample weight is in: the full-scale command of slot B goes out in this very pass.
        m.WritePending = true;
        q.EmptySlot(WriteSlot::A);
        return true;
    });
    q.RegisterEcho(WriteSlot::B, Echo::Command, [&m](const QByteArray&) {
        m.WritePending = false;
        return true;
    });
}

// --- Pure rules ------------------------------------------------------------------------------------

double Calibration::ShownWeight(const QString& pesoText) {
    return RoundHalfEven(ReadNumber(pesoText));
}

bool Calibration::AsksDatasheetQuestion(double w, double deadLoad) {
    return w > 0 || (w < 0 && w + deadLoad >= 0);
}

bool Calibration::SampleWeightFits(const QString& text, const Modulo1& m) {
    return WeightFits(text, {m.CurrentStep(), m.CurrentDecimals()});
}

QString Calibration::PlainNumber(double value) {
    if (!std::isfinite(value)) {
        return QStringLiteral("0");
    }
    QString text = QLocale::c().toString(value, 'f', 6);
    text.remove(QLocale::c().groupSeparator());
    if (text.contains(u'.')) {
        while (text.endsWith(u'0')) {
            text.chop(1);
        }
        if (text.endsWith(u'.')) {
            text.chop(1);
        }
    }
    if (text == QLatin1String("-0")) {
        text = QStringLiteral("0");
    }
    return text;
}

double Calibration::Number(Field field) const {
    return s_.set.number(field);
}

// --- Zero setting ----------------------------------------------------------------------------------

void Calibration::Command2_Click() {
    if (questionPending_) {
        return; // the question of an earlier click is still to be answered
    }
    if (s_.m.DatasheetAnswer == NothingPending &&
        AsksDatasheetQuestion(ShownWeight(display_.text(MonitorDisplay::Text::Peso)),
                              Number(Field::Teotara))) {
        questionPending_ = true;
        return;
    }
    QueueZero();
}

void Calibration::DatasheetAnswered(uint8_t answer) {
    questionPending_ = false;
    s_.m.DatasheetAnswer = answer;
    QueueZero();
}

void Calibration::QueueZero() {
    s_.queue.QueueWrite(WriteSlot::A, CommandRequest(s_.m, Reg::Command, Hex4(Cmd::ZeroAcquire)));
    if (CommandQueued) {
        CommandQueued(false);
    }
}

void Calibration::ApplyDatasheetAnswer() {
    Modulo1& m = s_.m;
    switch (m.DatasheetAnswer) {
    case NothingPending:
        return;
    case ZeroDue:
        QueueZero();
        m.DatasheetAnswer = NothingPending;
        return;
    case CarryOver: {
        ParameterSet& set = s_.set;
        const double w = ShownWeight(display_.text(MonitorDisplay::Text::Peso));
        set.setText(Field::Teotara, PlainNumber(Number(Field::Teotara) + w));
        const double room = Number(Field::Capac) - Number(Field::Teotara);
        if (Number(Field::Teonet) > room) {
            set.setText(Field::Teonet, PlainNumber(room));
        }
        // Replaces the zero request in slot A; when the constants are refused the zero request stays
        // and goes out in this pass, and the countdown queues it once more.
        writer_.Command12_Click();
        m.DatasheetAnswer = WaitingPasses;
        return;
    }
    default:
        if (m.DatasheetAnswer > ZeroDue && m.DatasheetAnswer <= WaitingPasses) {
            --m.DatasheetAnswer;
        } else {
            m.DatasheetAnswer = NothingPending;
        }
        return;
    }
}

// --- Full-scale setting ----------------------------------------------------------------------------

bool Calibration::Command3_Click(const QString& campione) {
    Modulo1& m = s_.m;
    if (!SampleWeightFits(campione, m)) {
        // Only the low 16 bits would reach the instrument, which would store a wrong span.
        return false;
    }
    m.WritePending = true;
    s_.queue.QueueWrite(WriteSlot::A, CommandRequest(m, Reg::SampleWeight, EncodeScaled(campione, m)));
    s_.queue.QueueWrite(WriteSlot::B, CommandRequest(m, Reg::Command, Hex4(Cmd::SpanStore)));
    if (CommandQueued) {
        CommandQueued(true);
    }
    return true;
}

bool Calibration::Campione_MayLeave(const QString& campione) const {
    if (!IsFieldNumber(campione, true)) {
        return false;
    }
    const double capac = Number(Field::Capac);
    if (capac > 0 && ReadNumber(campione) > capac) {
        return false;
    }
    return SampleWeightFits(campione, s_.m);
}

// --- Datasheet constants ---------------------------------------------------------------------------

void Calibration::Command28_Click() {
    s_.set.setText(Field::Teonet, QStringLiteral("0"));
    s_.set.setText(Field::Teotara, QStringLiteral("0"));
}

void Calibration::Capac_GotFocus() {
    // A capacity never comes near these bounds; they keep the conversion defined for any text.
    constexpr double Bound = 1e15;
    const double capac = Number(Field::Capac);
    Old_Capac = std::isfinite(capac) ? static_cast<long>(RoundHalfEven(qBound(-Bound, capac, Bound))) : 0;
}

Calibration::CapacLeave Calibration::Capac_LostFocus() const {
    const double capac = Number(Field::Capac);
    if (capac > MaxCapacity) {
        return CapacLeave::Refused;
    }
    return capac != static_cast<double>(Old_Capac) ? CapacLeave::Changed : CapacLeave::Unchanged;
}

bool Calibration::PairFits() const {
    return Number(Field::Teotara) + Number(Field::Teonet) <= Number(Field::Capac);
}

bool Calibration::Teonet_LostFocus() {
    if (Net_Tara == TeotaraHeld) {
        return true;
    }
    if (!PairFits()) {
        Net_Tara = TeonetHeld;
        return false;
    }
    Net_Tara = PairConsistent;
    return true;
}

bool Calibration::Teotara_LostFocus() {
    if (Net_Tara == TeonetHeld) {
        return true;
    }
    if (!PairFits()) {
        Net_Tara = TeotaraHeld;
        return false;
    }
    Net_Tara = PairConsistent;
    return true;
}

void Calibration::Reset() {
    Old_Capac = 0;
    Net_Tara = PairConsistent;
    questionPending_ = false;
}
