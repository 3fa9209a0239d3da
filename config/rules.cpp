#include "rules.h"

#include "frame.h"

#include <QChar>

#include <cmath>

namespace {

using enum Field;

// Capacity bounds and the limit of a hysteresis when no net capacity is known.
constexpr double MaxCapacity = 500000;
constexpr double CapacityPerNet = 10;
constexpr double MaxHysteresis = MaxRegisterCount;
// The sensitivity register holds mV/V in ten-thousandths: 1.0000..4.0000, or 0.
constexpr double MinSensitivityDigits = 10000;
constexpr double MaxSensitivityDigits = 40000;
// DatiCom1 index of the first 8-bit format ("N-8-2"); MODBUS needs one of 6, 7, 8.
constexpr int FirstModbusDataFormat = 6;
constexpr unsigned ModbusMode = 5; // ModSer register value

constexpr LeaveCheck LeaveTable[] = {
    {Capac, LeaveRule::Calibration},
    {Teonet, LeaveRule::Calibration},
    {Teotara, LeaveRule::Calibration},
    {Sensib, LeaveRule::AtMost, 0, 4.0},
    {Set1, LeaveRule::AtMostCapac},
    {Set2, LeaveRule::AtMostCapac},
    {Stabilita, LeaveRule::AtMost, 0, 4},
    {Autozero, LeaveRule::AtMost, 0, 10.0},
    {Inseguimento, LeaveRule::AtMost, 0, 4},
    {ZeroBand, LeaveRule::Within, 0, 200},
    {Iste1, LeaveRule::AtMostCapac},
    {Iste2, LeaveRule::AtMostCapac},
    {Indir, LeaveRule::NotZero, 0, 32, true},
    {RiRis, LeaveRule::AtMost, 0, 100, true},
    {AddrCom2, LeaveRule::Within, 1, 126, true},
    {FsAna, LeaveRule::AtMostCapac},
    {RifZero, LeaveRule::AtMostCapac},
};

double Num(const ParameterSet& set, Field field) {
    return set.number(field);
}

bool InRange(const ParameterSet& set, Field field) {
    const ValueRange r = *Parameter(field).range;
    const double v = Num(set, field);
    return v >= r.min && v <= r.max;
}

bool HasDigit(const QString& text) {
    for (QChar c : text) {
        if (c.isDigit()) {
            return true;
        }
    }
    return false;
}

} // namespace

bool CheckWeightConstants(const ParameterSet& set) {
    const double capac = Num(set, Capac);
    const double net = Num(set, Teonet);
    const double tare = Num(set, Teotara);
    if (capac < net + tare || capac > MaxCapacity) {
        return false;
    }
    if (net != 0 && capac > CapacityPerNet * net) {
        return false;
    }
    QString digits = set.text(Sensib);
    digits.remove(u'.');
    const double sensitivity = ReadNumber(digits);
    return sensitivity == 0 || (sensitivity >= MinSensitivityDigits && sensitivity <= MaxSensitivityDigits);
}

bool TestParPesoData(const ParameterSet& set) {
    for (Field f : {Filtro, Stabilita, Autozero, Inseguimento, ZeroBand}) {
        if (f == ZeroBand && set.model() == 2) {
            continue;
        }
        if (!InRange(set, f)) {
            return false;
        }
    }
    return true;
}

bool CheckOutputs(const ParameterSet& set) {
    const double net = Num(set, Teonet);
    const double limit = net != 0 ? net : MaxHysteresis;
    return Num(set, Iste1) <= limit && Num(set, Iste2) <= limit;
}

bool ModbusSelected(const ParameterSet& set) {
    const int index = set.index(ModSer);
    return index >= 0 && RegisterFromListIndex(ModSer, index, set.model()) == ModbusMode;
}

bool TestSerialData(const ParameterSet& set) {
    if (Num(set, Indir) < 1) {
        return false;
    }
    if (!ModbusSelected(set)) {
        return true;
    }
    if (set.index(DatiCom1) < FirstModbusDataFormat) {
        return false;
    }
    return set.model() == 2 || set.index(ProtoCom2) == 0;
}

bool CheckAnalog(const ParameterSet& set) {
    return Num(set, RifZero) <= Num(set, FsAna);
}

bool CheckGroup(GroupId id, const ParameterSet& set) {
    switch (id) {
    case GroupId::WeightConstants:
        return CheckWeightConstants(set);
    case GroupId::WeightParameters:
        return TestParPesoData(set);
    case GroupId::Outputs:
        return CheckOutputs(set);
    case GroupId::Serial:
        return TestSerialData(set);
    case GroupId::Analog:
        return CheckAnalog(set);
    case GroupId::OperatingMode:
    case GroupId::Division:
    case GroupId::SetPoints:
        return true;
    }
    return true;
}

LeaveCheck LeaveCheckOf(Field field) {
    for (const LeaveCheck& check : LeaveTable) {
        if (check.field == field) {
            return check;
        }
    }
    return {field, LeaveRule::None};
}

bool MayLeave(Field field, const ParameterSet& set) {
    const ParameterDef& def = Parameter(field);
    if (def.kind == FieldKind::Text && def.keys != KeyKind::None &&
        (!IsFieldNumber(set.text(field), def.keys == KeyKind::Decimal) ||
         !FitsRegister(field, set.text(field), WeightDivision(set)))) {
        return false;
    }
    const LeaveCheck check = LeaveCheckOf(field);
    if (check.strict && !HasDigit(set.text(field))) {
        return false;
    }
    const double v = Num(set, field);
    switch (check.rule) {
    case LeaveRule::None:
    case LeaveRule::Calibration:
        return true;
    case LeaveRule::AtMost:
        return v <= check.max;
    case LeaveRule::Within:
        return v >= check.min && v <= check.max;
    case LeaveRule::NotZero:
        return v != 0 && v <= check.max;
    case LeaveRule::AtMostCapac: {
        const double capac = Num(set, Capac);
        return capac <= 0 || v <= capac;
    }
    }
    return true;
}

DivisionInfo WeightDivision(const ParameterSet& set) {
    const Modulo1& m = set.modulo1();
    if (!m.OfflineEdit && m.CurrentStep() != 0) {
        return {m.CurrentStep(), m.CurrentDecimals()};
    }
    const int index = set.index(ValDiv);
    return DivisionFromCode(index < 0 ? -1 : int(RegisterFromListIndex(ValDiv, index, set.model())));
}

bool WeightFits(const QString& text, DivisionInfo division) {
    const double count = ScaledCount(text, division.decimals, division.step);
    return std::isfinite(count) && count >= 0 && count <= MaxRegisterCount;
}

QString LargestWeight(DivisionInfo division) {
    const qulonglong step = division.step == 0 ? 1 : division.step;
    return DecodeValue(QString::number(qulonglong(MaxRegisterCount) * step), division.decimals).trimmed();
}

bool FitsRegister(Field field, const QString& text, DivisionInfo division) {
    switch (Parameter(field).encoding) {
    case Encoding::Weight:
        return WeightFits(text, division);
    case Encoding::Integer:
    case Encoding::Unsigned: {
        QString digits = text;
        digits.remove(u'.');
        const double value = RoundHalfEven(ReadNumber(digits));
        return std::isfinite(value) && value <= MaxRegisterCount;
    }
    default:
        return true;
    }
}

QString LargestValue(Field field, DivisionInfo division) {
    switch (Parameter(field).encoding) {
    case Encoding::Weight:
        return LargestWeight(division);
    case Encoding::Integer:
    case Encoding::Unsigned:
        return QString::number(qulonglong(MaxRegisterCount));
    default:
        return {};
    }
}

bool KeyPasses(KeyKind kind, int keyCode) {
    if (kind == KeyKind::None) {
        return true;
    }
    if (keyCode == KeyBackspace || keyCode == KeySpace || (keyCode >= '0' && keyCode <= '9')) {
        return true;
    }
    return kind == KeyKind::Decimal && keyCode == '.';
}

int FilterKey(Field field, int keyCode) {
    return KeyPasses(Parameter(field).keys, keyCode) ? keyCode : 0;
}

bool TypesCharacter(const QString& text, bool shortcut) {
    if (text.isEmpty() || shortcut) {
        return false;
    }
    const QChar c = text.at(0);
    return c.isPrint() || c.category() == QChar::Other_PrivateUse || c.isHighSurrogate();
}

QString FilterTyped(Field field, const QString& text, int room) {
    QString taken;
    for (QChar c : text) {
        if (room >= 0 && taken.size() >= room) {
            break;
        }
        if (c.isPrint() && FilterKey(field, c.unicode()) != 0) {
            taken += c;
        }
    }
    return taken;
}

QString TakeEdit(Field field, const QString& before, const QString& after, int* cursor) {
    // The edit replaced the middle of `before` with the middle of `after`.
    const qsizetype shorter = qMin(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before.at(prefix) == after.at(prefix)) {
        ++prefix;
    }
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before.at(before.size() - 1 - suffix) == after.at(after.size() - 1 - suffix)) {
        ++suffix;
    }
    const QString inserted = after.mid(prefix, after.size() - prefix - suffix);
    const int maxLength = Parameter(field).maxLength;
    const qsizetype kept = prefix + suffix;
    const int room = maxLength > 0 ? int(qMax<qsizetype>(0, maxLength - kept)) : -1;
    const QString taken = FilterTyped(field, inserted, room);
    if (taken.isEmpty() && !inserted.isEmpty()) {
        if (cursor) {
            *cursor = int(prefix);
        }
        return before;
    }
    if (cursor) {
        *cursor = int(prefix + taken.size());
    }
    return after.left(prefix) + taken + after.right(suffix);
}

bool LeaveGuard::Leaving(Field field, const ParameterSet& set) {
    if (held_ && *held_ != field) {
        return false; // the focus is on its way back into the refused field
    }
    if (MayLeave(field, set)) {
        held_.reset();
        return false;
    }
    held_ = field;
    return true;
}

void LeaveGuard::Entered(Field field) {
    if (held_ == field) {
        held_.reset();
    }
}

bool LeaveGuard::MaySend(std::optional<Field> focused, const ParameterSet& set) const {
    if (held_) {
        return false;
    }
    return !focused || MayLeave(*focused, set);
}

bool GroupIsRead(GroupId id, const Modulo1& m) {
    switch (id) {
    case GroupId::Division:
        return m.CurrentStep() != 0;
    case GroupId::SetPoints:
        return m.SetpointsRead == 1;
    default:
        break;
    }
    const int element = Group(id).tabReadElement;
    return element >= 0 && m.TabRead[static_cast<size_t>(element)] == 1;
}

bool ShowsMarker(GroupId id, const Modulo1& m) {
    return !m.OfflineEdit && GroupIsRead(id, m);
}
