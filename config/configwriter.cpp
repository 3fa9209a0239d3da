#include "configwriter.h"

#include "frame.h"
#include "registers.h"
#include "rules.h"

namespace {
// The error labels that Timer2 hides; Label60 and Label58 stay until the next valid send.
constexpr GroupId TimedErrorLabels[] = {GroupId::WeightConstants, GroupId::Serial, GroupId::Analog};
// Position of the instrument's own address (Indir, register 0x3002) among the values of the serial block.
constexpr int AddressValueIndex = 2;
} // namespace

ConfigWriter::ConfigWriter(Session& session, GroupMarks& marks, SetupCommands& commands, QObject* parent)
    : QObject(parent), s_(session), marks_(marks), commands_(commands) {
    Timer2.setSingleShot(true);
    Timer2.setInterval(0);
    connect(&Timer2, &QTimer::timeout, this, &ConfigWriter::Timer2_Timer);

    Modulo1& m = s_.m;
    WriteQueue& q = s_.queue;
    // The group is back to unchanged: marker hidden, send button disabled.
    auto unchanged = [this](GroupId id) { marks_.SetModified(id, false); };

    q.RegisterEcho(WriteSlot::A, Echo::WeightConstants, [&m, unchanged](const QByteArray&) {
        m.WritePending = false;
        m.TabRead[1] = 0;
        // The instrument may have recomputed the division, the set points and the weight values.
        m.CurrentStep() = 0;
        m.CurrentDecimals() = 0;
        m.SetpointsRead = 0;
        unchanged(GroupId::WeightConstants);
        return true;
    });
    q.RegisterEcho(WriteSlot::A, Echo::OperatingMode, [&m, unchanged](const QByteArray&) {
        m.WritePending = false;
        // Takes effect after a restart, which the store command's follow-up asks for.
        m.OpModeWritten = true;
        unchanged(GroupId::OperatingMode);
        return true;
    });
    q.RegisterEcho(WriteSlot::A, Echo::DivisionCode, [&m](const QByteArray&) {
        m.WritePending = false;
        m.CurrentStep() = 0;
        m.CurrentDecimals() = 0;
        m.SetpointsRead = 0;
        return true;
    });
    q.RegisterEcho(WriteSlot::A, Echo::SetPoints, [&m, unchanged](const QByteArray&) {
        m.WritePending = false;
        m.SetpointsRead = 0;
        unchanged(GroupId::SetPoints);
        return true;
    });
    q.RegisterEcho(WriteSlot::A, Echo::WeightParameters, [&m, unchanged](const QByteArray&) {
        m.WritePending = false;
        m.TabRead[3] = 0;
        unchanged(GroupId::WeightParameters);
        return true;
    });
    q.RegisterEcho(WriteSlot::A, Echo::Outputs, [&m, unchanged](const QByteArray&) {
        m.WritePending = false;
        m.TabRead[4] = 0;
        unchanged(GroupId::Outputs);
        return true;
    });
    q.RegisterEcho(WriteSlot::B, Echo::Serial, [this, &m, unchanged](const QByteArray&) {
        m.WritePending = false;
        // The instrument answers from now on at the address this write gave it: the one in the
        // request, not the field, which the user may have changed again while the write was on the wire.
        const int address = ReadRequestValue(s_.queue.InFlight(WriteSlot::B), AddressValueIndex);
        if (address >= 1 && address < AddressTableSize) {
            m.DeviceAddress = static_cast<uint8_t>(address);
        }
        m.TabRead[5] = 0;
        unchanged(GroupId::Serial);
        return true;
    });
    q.RegisterEcho(WriteSlot::B, Echo::Analog, [&m, unchanged](const QByteArray&) {
        m.WritePending = false;
        m.TabRead[6] = 0;
        unchanged(GroupId::Analog);
        return true;
    });
}

void ConfigWriter::Command12_Click() {
    Send(GroupId::WeightConstants);
}
void ConfigWriter::Command27_Click() {
    Send(GroupId::OperatingMode);
}
void ConfigWriter::Command26_Click() {
    Send(GroupId::Division);
}
void ConfigWriter::Command17_Click() {
    Send(GroupId::SetPoints);
}
void ConfigWriter::Command13_Click() {
    Send(GroupId::WeightParameters);
}
void ConfigWriter::Command14_Click() {
    Send(GroupId::Outputs);
}
void ConfigWriter::Command15_Click() {
    Send(GroupId::Serial);
}
void ConfigWriter::Command16_Click() {
    Send(GroupId::Analog);
}

void ConfigWriter::Send(GroupId id) {
    Modulo1& m = s_.m;
    const ParameterGroup& g = Group(id);
    // The second model's screen hides the groups it lacks (set points, operating mode, outputs, analog),
    // so only a setup-file load sends them; that model confirms such a write and keeps nothing of it.
    if (!CheckGroup(id, s_.set)) {
        Refuse(id);
        return;
    }
    WriteQueue& q = s_.queue;
    switch (id) {
    case GroupId::Division:
        marks_.SetModified(GroupId::Division, false);
        q.QueueWrite(g.slot, BuildGroupRequest(id, s_.set, m));
        break;
    case GroupId::WeightParameters:
        marks_.SetError(id, false);
        q.QueueWrite(g.slot, BuildGroupRequest(id, s_.set, m));
        break;
    case GroupId::Serial:
        // The block goes out once the instrument confirms normal mode.
        q.QueueWrite(g.slot, BuildGroupRequest(id, s_.set, m));
        commands_.QueueNormalMode();
        break;
    case GroupId::Analog:
        commands_.QueueNormalMode();
        m.AnalogAdjustMode = 0;
        q.QueueWrite(g.slot, BuildGroupRequest(id, s_.set, m));
        break;
    default:
        q.QueueWrite(g.slot, BuildGroupRequest(id, s_.set, m));
        break;
    }
    if (id == GroupId::WeightConstants) {
        // New constants change what the instrument computes on tabs 2 and 5: read them again.
        m.TabRead[3] = 0;
        m.TabRead[6] = 0;
    } else if (id == GroupId::Outputs) {
        marks_.SetError(id, false);
    }
}

void ConfigWriter::Refuse(GroupId id) {
    // Nothing is queued; marker and send button stay as they were.
    marks_.SetError(id, true);
    Timer2.setInterval(ErrorLabelMs);
    Timer2.start();
}

void ConfigWriter::Timer2_Timer() {
    Timer2.stop();
    Timer2.setInterval(0);
    for (const GroupId id : TimedErrorLabels) {
        marks_.SetError(id, false);
    }
}
