#include "setupcommands.h"

#include "frame.h"
#include "registers.h"

namespace {
// The value a single-register write echoes back: characters 10-13 of the reply.
constexpr int EchoValueAt = 9;
constexpr int EchoValueLength = 4;
// A mode echo shorter than this carries no value.
constexpr int ShortestModeEcho = 14;

QByteArray EchoValue(const QByteArray& reply) {
    return reply.mid(EchoValueAt, EchoValueLength);
}

// A group write of slot B that goes out once the instrument is back in normal mode.
bool SlotBHoldsGroupWrite(const QByteArray& pendingB) {
    const QByteArray echo = WriteQueue::EchoOf(pendingB);
    return echo == Echo::Serial || echo == Echo::Analog;
}
} // namespace

SetupCommands::SetupCommands(Session& session) : s_(session) {
    s_.queue.RegisterEcho(WriteSlot::A, Echo::Mode,
                          [this](const QByteArray& reply) { return ModeEcho(reply); });
    s_.queue.RegisterEcho(WriteSlot::A, Echo::Command,
                          [this](const QByteArray& reply) { return CommandEcho(reply); });
    s_.queue.RegisterEcho(WriteSlot::A, Echo::MemoryReset, [this](const QByteArray&) {
        s_.m.WritePending = false;
        return true;
    });
}

void SetupCommands::QueueNormalMode() {
    s_.queue.QueueWrite(WriteSlot::A, BuildRequest(s_.m.DeviceAddress, Fn::WriteSingleRegister,
                                                   WriteSingleBody(Reg::Mode, Hex4(Mode::Normal))));
}

bool SetupCommands::ModeEcho(const QByteArray& reply) {
    if (reply.size() < ShortestModeEcho) {
        return false;
    }
    Modulo1& m = s_.m;
    const QByteArray value = EchoValue(reply);
    if (value == Hex4(Mode::Normal)) {
        if (SlotBHoldsGroupWrite(m.PendingWriteB)) {
            // The instrument is in normal mode again: the group write of slot B goes next, in this
            // very pass.
            m.WritePending = true;
            s_.queue.EmptySlot(WriteSlot::A);
            return true;
        }
        if (!m.Fl_setup) {
            // Setup mode was switched off: the Options menu comes back at the next pass.
            m.OptionsMenuPending = true;
        }
        m.WritePending = false;
        return true;
    }
    if (value == Hex4(Mode::AnalogZeroAdjust) || value == Hex4(Mode::AnalogFullScaleAdjust) ||
        value == Hex4(Mode::OutputTest) || value == Hex4(Mode::AnalogTest)) {
        // The adjustment or test goes on with its request in slot B.
        m.WritePending = true;
        s_.queue.EmptySlot(WriteSlot::A);
        return true;
    }
    m.WritePending = false;
    return true;
}

bool SetupCommands::CommandEcho(const QByteArray& reply) {
    Modulo1& m = s_.m;
    m.WritePending = false;
    m.SetpointsRead = 0;
    if (EchoValue(reply) == Hex4(Cmd::StoreAndEnd)) {
        // The instrument stored its values and left setup mode: the division is read again.
        m.CurrentStep() = 0;
        m.CurrentDecimals() = 0;
        if (m.OpModeWritten) {
            // A new operating mode takes effect only after a restart, queued at the next pass.
            m.RestartRequest = 1;
            m.WritePending = true;
            s_.queue.EmptySlot(WriteSlot::A);
        }
    }
    return true;
}
