// One simulated instrument: its registers, its commands and its answer to one request PDU.

#include "pty.h"
#include "simulator.h"

#include <cmath>

#include <cstdlib>
#include <initializer_list>

namespace {

// MODBUS exception codes.
constexpr int IllegalFunction = 1;
constexpr int IllegalAddress = 2;
constexpr int IllegalValue = 3;

// Holding registers of the instrument (first, last, model 1 only).
struct Range {
    quint16 first;
    quint16 last;
    bool vxaOnly;
};
constexpr Range HoldingRanges[] = {
    {0x0110, 0x0111, false}, // set-points 1 and 2
    {0x0200, 0x0200, false}, // peak weight (read only)
    {0x0800, 0x0803, false}, // command, parameter / access code, mode, analog test level
    {0x1000, 0x1006, false}, // capacity, sensitivity, theoretical net, dead load
    {0x1010, 0x1010, true},  // operating mode
    {0x1050, 0x1050, false}, // division code
    {0x1100, 0x1104, false}, // filter, motion, auto-zero, tracking, zero band
    {0x2000, 0x2007, true},  // relay outputs
    {0x3000, 0x3007, false}, // serial ports
    {0x4000, 0x4005, true},  // analog output
};

constexpr quint16 RegPeak = 0x0200;
constexpr quint16 RegCommand = 0x0800;
constexpr quint16 RegParameter = 0x0801;
constexpr quint16 RegMode = 0x0802;
constexpr quint16 RegAnalogLevel = 0x0803;
constexpr quint16 RegAddress = 0x3002;

constexpr quint16 CmdZero = 0x0010;
constexpr quint16 CmdSpan = 0x0011;
constexpr quint16 CmdMemoryReset = 0x0018;
constexpr quint16 CmdStore = 0x0020;
constexpr quint16 CmdDiscardRestart = 0x0021;

constexpr quint16 ModeRelayTest = 5;

// The configuration blocks the VXB lacks (no operating-mode choice, no relay outputs, no analog
// output). Its firmware confirms a write of such a block with the usual echo and keeps nothing of it,
// so the same group writes go to both models; reads of these registers stay refused.
struct IgnoredBlock {
    quint16 first;
    quint16 count;
};
constexpr IgnoredBlock Vxb_IgnoredWrites[] = {{0x1010, 1}, {0x2000, 8}, {0x4000, 6}};

quint16 word(const QByteArray& d, int at) {
    return quint16((quint8(d[at]) << 8) | quint8(d[at + 1]));
}

void appendWord(QByteArray& out, quint16 v) {
    out.append(char(v >> 8));
    out.append(char(v & 0xFF));
}

QByteArray bytesOf(std::initializer_list<int> values) {
    QByteArray out;
    for (const int v : values)
        out.append(char(v & 0xFF));
    return out;
}

quint16 magnitude(qint32 v) {
    return quint16(qMin<qint64>(std::llabs(qint64(v)), 65535));
}

} // namespace

SimInstrument::SimInstrument(int address, int model) : address_(address), model_(model) {
    resetToDefaults();
    input_[2] = quint16(2096000u >> 16); // 131000 × 16: the points read as 0
    input_[3] = quint16(2096000u & 0xFFFF);
    input_[5] = 32;
}

void SimInstrument::setNet(qint32 divisions) {
    input_[0] = magnitude(divisions);
    setStatusBits(NetNegative, divisions < 0);
}

void SimInstrument::setGross(qint32 divisions) {
    input_[1] = magnitude(divisions);
    setStatusBits(GrossNegative, divisions < 0);
}

void SimInstrument::setWeight(qint32 netDivisions, qint32 grossDivisions) {
    setNet(netDivisions);
    setGross(grossDivisions);
}

void SimInstrument::setLoad(qint32 netDivisions, qint32 grossDivisions) {
    loadSet_ = true;
    loadNet_ = netDivisions;
    loadGross_ = grossDivisions;
    showLoad();
}

void SimInstrument::showLoad() {
    const auto shown = [this](qint32 load, qint32 zero) {
        return qint32(std::lround(double(load - zero) * span_));
    };
    setWeight(shown(loadNet_, zeroNet_), shown(loadGross_, zeroGross_));
}

void SimInstrument::setStable(bool stable) {
    setStatusBits(Stable, stable);
}

void SimInstrument::setSignal(qint32 microvolts) {
    input_[4] = magnitude(microvolts);
    setStatusBits(SignalNegative, microvolts < 0);
}

void SimInstrument::setStatusBits(quint8 mask, bool on) {
    status_ = on ? (status_ | mask) : (status_ & ~mask);
}

void SimInstrument::setInternalPoints(quint32 points) {
    input_[2] = quint16(points >> 16);
    input_[3] = quint16(points & 0xFFFF);
}

void SimInstrument::setPeak(quint16 divisions) {
    peak_ = divisions;
}

quint16 SimInstrument::inputRegister(int index) const {
    return index >= 0 && index < 6 ? input_[index] : 0;
}

quint8 SimInstrument::coils() const {
    return mode_ == ModeRelayTest ? forced_ : relays_;
}

bool SimInstrument::hasHolding(quint16 reg) const {
    for (const Range& r : HoldingRanges) {
        if (reg >= r.first && reg <= r.last)
            return !r.vxaOnly || model_ == VXA;
    }
    return false;
}

bool SimInstrument::isStorable(quint16 reg) const {
    return hasHolding(reg) && reg != RegPeak && (reg < RegCommand || reg > RegAnalogLevel);
}

bool SimInstrument::isWritable(quint16 reg) const {
    return hasHolding(reg) && reg != RegPeak;
}

quint16 SimInstrument::holding(quint16 reg) const {
    switch (reg) {
    case RegPeak:
        return peak_;
    case RegCommand:
        return command_;
    case RegParameter:
        return parameter_;
    case RegMode:
        return mode_;
    case RegAnalogLevel:
        return analogLevel_;
    default:
        break;
    }
    const auto it = working_.find(reg);
    return it == working_.end() ? 0 : it->second;
}

quint16 SimInstrument::stored(quint16 reg) const {
    if (!isStorable(reg))
        return holding(reg);
    const auto it = stored_.find(reg);
    return it == stored_.end() ? 0 : it->second;
}

bool SimInstrument::setHolding(quint16 reg, quint16 value) {
    if (!hasHolding(reg))
        return false;
    switch (reg) {
    case RegPeak:
        peak_ = value;
        break;
    case RegCommand:
        command_ = value;
        break;
    case RegParameter:
        parameter_ = value;
        break;
    case RegMode:
        mode_ = value;
        break;
    case RegAnalogLevel:
        analogLevel_ = value;
        break;
    default:
        working_[reg] = value;
    }
    return true;
}

bool SimInstrument::setStored(quint16 reg, quint16 value) {
    if (!isStorable(reg))
        return false;
    stored_[reg] = value;
    return true;
}

quint16 SimInstrument::defaultValue(quint16 reg, int address) {
    switch (reg) {
    case 0x0110: // set-point 1
        return 1000;
    case 0x0111: // set-point 2
        return 2000;
    case 0x1000: // capacity 10000, high word
        return 0;
    case 0x1001:
        return 10000;
    case 0x1002: // sensitivity 2.0000 mV/V
        return 20000;
    case 0x1003: // theoretical net 10000
        return 0;
    case 0x1004:
        return 10000;
    case 0x1050: // division code 9: step 1, no decimals
        return 9;
    case 0x1100: // filter
        return 5;
    case 0x1101: // motion band
        return 2;
    case 0x1103: // zero tracking
        return 2;
    case 0x1104: // zero band
        return 100;
    case 0x2001: // hysteresis of output 1
    case 0x2005: // and of output 2
        return 2;
    case 0x3000: // 9600 baud
        return 1;
    case 0x3001: // MODBUS
        return 5;
    case RegAddress:
        return quint16(address);
    case 0x3004: // N-8-2
        return 6;
    case 0x3006: // Com2 address
        return 1;
    case 0x4000: // analog full scale
        return 10000;
    case 0x4002: // 4-20 mA
        return 1;
    case 0x4003: // zero offset
        return 6400;
    case 0x4004: // full-scale offset
        return 57600;
    default:
        return 0;
    }
}

void SimInstrument::resetToDefaults() {
    working_.clear();
    stored_.clear();
    for (const Range& r : HoldingRanges) {
        if (r.vxaOnly && model_ != VXA)
            continue;
        for (int reg = r.first; reg <= r.last; ++reg) {
            if (!isStorable(quint16(reg)))
                continue;
            const quint16 v = defaultValue(quint16(reg), address_);
            working_[quint16(reg)] = v;
            stored_[quint16(reg)] = v;
        }
    }
}

bool SimInstrument::restarting() const {
    return silentUntilNs_ > 0 && simNowNs() < silentUntilNs_;
}

SimInstrument::Outcome SimInstrument::exception(int function, int code) const {
    Outcome out;
    out.reply = true;
    out.pdu.append(char((function | 0x80) & 0xFF));
    out.pdu.append(char(code & 0xFF));
    return out;
}

bool SimInstrument::ignoredWrite(int function, quint16 start, int count) const {
    if (model_ != VXB)
        return false;
    for (const IgnoredBlock& b : Vxb_IgnoredWrites) {
        // The whole block (function 10) or its single register (function 06, a one-register block).
        const bool single = b.count == 1 && function == 0x06;
        const bool block = function == 0x10 && count >= 1 && count <= b.count;
        if (start == b.first && (single || block))
            return true;
    }
    return false;
}

int SimInstrument::checkWrite(quint16 reg, quint16 value, const std::function<bool(int)>& occupied) const {
    if (!isWritable(reg))
        return IllegalAddress;
    // Modes 3..6 trim and test the analog and relay outputs, which only model 1 has.
    if (reg == RegMode && value != 0 && (value < 3 || value > 6 || model_ != VXA))
        return IllegalValue;
    if (reg == RegAddress && value != address_ && (value < 1 || value > 247 || occupied(value)))
        return IllegalValue;
    return 0;
}

void SimInstrument::writeRegister(quint16 reg, quint16 value, Outcome& out) {
    switch (reg) {
    case RegCommand:
        command_ = value;
        return;
    case RegParameter:
        parameter_ = value;
        return;
    case RegMode:
        // Entering or leaving the relay test starts from released relays.
        if (value != ModeRelayTest || mode_ != ModeRelayTest)
            forced_ = 0;
        mode_ = value;
        return;
    case RegAnalogLevel:
        analogLevel_ = value;
        return;
    default:
        break;
    }
    working_[reg] = value;
    setupActive_ = true;
    if (reg == RegAddress)
        out.moveTo = value != address_ ? value : 0;
}

void SimInstrument::restartNow() {
    working_ = stored_;
    mode_ = 0;
    forced_ = 0;
    analogLevel_ = 0;
    setupActive_ = false;
    ++restartCount_;
}

void SimInstrument::runCommand(quint16 code, Outcome& out) {
    switch (code) {
    case CmdZero:
        ++zeroCount_;
        if (loadSet_) {
            // The load on the scale now is the zero; the load moves on around it.
            zeroNet_ = loadNet_;
            zeroGross_ = loadGross_;
            showLoad();
        } else {
            setWeight(0, 0);
        }
        break;
    case CmdSpan:
        ++spanCount_;
        if (loadSet_ && std::abs(qint64(loadGross_) - zeroGross_) * 10 >= qint64(parameter_) &&
            loadGross_ != zeroGross_) {
            // The load above zero is the sample weight (a span with next to nothing on the scale would
            // blow the weight up: the instrument keeps its calibration then).
            span_ = double(parameter_) / double(loadGross_ - zeroGross_);
            showLoad();
        } else if (!loadSet_) {
            setWeight(parameter_, parameter_); // the sample weight now lies on the scale
        }
        break;
    case CmdMemoryReset:
        if (parameter_ != ResetAccessCode) {
            ++refusedResetCount_;
            break;
        }
        ++memoryResetCount_;
        resetToDefaults();
        zeroNet_ = zeroGross_ = 0;
        span_ = 1.0;
        restartNow();
        out.restart = true;
        out.moveTo = 0;
        break;
    case CmdStore:
        stored_ = working_;
        setupActive_ = false;
        ++storeCount_;
        break;
    case CmdDiscardRestart: {
        restartNow();
        out.restart = true;
        // The instrument comes back at the address it has stored.
        const quint16 storedAddress = stored(RegAddress);
        out.moveTo =
            storedAddress != address_ && storedAddress >= 1 && storedAddress <= 247 ? storedAddress : 0;
        break;
    }
    default:
        break; // unknown commands are taken and ignored
    }
}

SimInstrument::Outcome SimInstrument::handle(int function, const QByteArray& data,
                                             const std::function<bool(int)>& occupied) {
    settle();
    Outcome out; // reply = false: malformed, no answer
    switch (function) {
    case 0x01:
    case 0x02: {
        if (data.size() != 4)
            return out;
        const int start = word(data, 0);
        const int count = word(data, 2);
        if (count < 1 || count > 2000)
            return exception(function, IllegalValue);
        if (start + count > 2)
            return exception(function, IllegalAddress);
        const quint8 all = function == 0x01 ? coils() : inputs_;
        const quint8 bits = quint8((all >> start) & ((1 << count) - 1));
        out.reply = true;
        out.pdu = bytesOf({function, 1, bits});
        return out;
    }
    case 0x03:
    case 0x04: {
        if (data.size() != 4)
            return out;
        const int start = word(data, 0);
        const int count = word(data, 2);
        if (count < 1 || count > 125)
            return exception(function, IllegalValue);
        out.pdu = bytesOf({function, count * 2});
        for (int reg = start; reg < start + count; ++reg) {
            if (function == 0x03) {
                if (reg > 0xFFFF || !hasHolding(quint16(reg)))
                    return exception(function, IllegalAddress);
                appendWord(out.pdu, holding(quint16(reg)));
            } else {
                if (reg > 5)
                    return exception(function, IllegalAddress);
                appendWord(out.pdu, input_[reg]);
            }
        }
        out.reply = true;
        return out;
    }
    case 0x06: {
        if (data.size() != 4)
            return out;
        const quint16 reg = word(data, 0);
        const quint16 value = word(data, 2);
        if (ignoredWrite(function, reg, 1)) {
            out.reply = true;
            out.pdu = char(function) + data;
            return out;
        }
        if (const int code = checkWrite(reg, value, occupied))
            return exception(function, code);
        writeRegister(reg, value, out);
        if (reg == RegCommand)
            runCommand(value, out);
        out.reply = true;
        out.pdu = char(function) + data;
        return out;
    }
    case 0x07:
        if (!data.isEmpty())
            return out;
        out.reply = true;
        // A load just placed has not settled yet.
        out.pdu = bytesOf({function, settling_ ? quint8(status_ & ~Stable) : status_});
        return out;
    case 0x0F: {
        if (data.size() < 5)
            return out;
        const int start = word(data, 0);
        const int count = word(data, 2);
        const int byteCount = quint8(data[4]);
        if (data.size() != 5 + byteCount)
            return out;
        if (count < 1 || count > 0x07B0 || byteCount != (count + 7) / 8)
            return exception(function, IllegalValue);
        if (start + count > 2)
            return exception(function, IllegalAddress);
        // Outside the relay test the instrument drives its relays itself: the write is answered and
        // has no effect.
        const quint8 bits = quint8(data[5]);
        for (int i = 0; i < count && mode_ == ModeRelayTest; ++i) {
            const quint8 mask = quint8(1 << (start + i));
            forced_ = (bits >> i) & 1 ? (forced_ | mask) : (forced_ & ~mask);
        }
        out.reply = true;
        out.pdu = char(function) + data.left(4);
        return out;
    }
    case 0x10: {
        if (data.size() < 5)
            return out;
        const int start = word(data, 0);
        const int count = word(data, 2);
        const int byteCount = quint8(data[4]);
        if (data.size() != 5 + byteCount)
            return out;
        if (count < 1 || count > 123 || byteCount != 2 * count)
            return exception(function, IllegalValue);
        if (ignoredWrite(function, quint16(start), count)) {
            out.reply = true;
            out.pdu = char(function) + data.left(4);
            return out;
        }
        for (int i = 0; i < count; ++i) {
            const int reg = start + i;
            if (reg > 0xFFFF)
                return exception(function, IllegalAddress);
            if (const int code = checkWrite(quint16(reg), word(data, 5 + 2 * i), occupied))
                return exception(function, code);
        }
        bool command = false;
        for (int i = 0; i < count; ++i) {
            const quint16 reg = quint16(start + i);
            writeRegister(reg, word(data, 5 + 2 * i), out);
            command = command || reg == RegCommand;
        }
        // The command runs once the whole block is in, so 0x0018 sees the code that came with it.
        if (command)
            runCommand(command_, out);
        out.reply = true;
        out.pdu = char(function) + data.left(4);
        return out;
    }
    default:
        return exception(function, IllegalFunction);
    }
}
