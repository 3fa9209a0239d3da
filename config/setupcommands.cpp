#include "setupcommands.h"

#include "frame.h"
#include "registers.h"

#include <cmath>

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

// --- Memory reset -------------------------------------------------------------------------------------

double SetupCommands::AccessCodeValue(const QString& typed) {
    // Leading blanks are skipped; the number ends at the first character that is not part of it, a
    // blank included.
    qsizetype start = 0;
    while (start < typed.size() && typed[start].isSpace()) {
        ++start;
    }
    qsizetype end = start;
    while (end < typed.size() && !typed[end].isSpace()) {
        ++end;
    }
    return ReadNumber(typed.mid(start, end - start));
}

bool SetupCommands::AcceptAccessCode(Modulo1& m, const QString& typed) {
    m.ResetCodeText = typed;
    if (AccessCodeValue(typed) != Cmd::AccessCode) {
        return false;
    }
    m.MemoryResetRequest = 1;
    return true;
}

void SetupCommands::QueueMemoryReset() {
    Modulo1& m = s_.m;
    if (m.MemoryResetRequest != 1) {
        return;
    }
    // The number the user typed, not the text: "  40718abc" and "40718.0" both send 40718.
    const double value = AccessCodeValue(m.ResetCodeText);
    constexpr double Largest = 1e15; // far beyond 16 bits; only the low 16 bits are sent anyway
    const qint64 whole = std::isfinite(value) ? qint64(std::llround(qBound(-Largest, value, Largest))) : 0;
    s_.queue.QueueWrite(WriteSlot::A,
                        BuildRequest(m.DeviceAddress, Fn::WriteMultipleRegisters,
                                     WriteMultipleBody(Reg::Command, {Hex4(Cmd::MemoryReset),
                                                                      EncodeValue(QString::number(whole))})));
    m.ResetInProgress = 1;
    m.MemoryResetRequest = 0;
}

// --- Store or restart -----------------------------------------------------------------------------------

QByteArray SetupCommands::CommandRequest(uint16_t command) const {
    return BuildRequest(s_.m.DeviceAddress, Fn::WriteSingleRegister,
                        WriteSingleBody(Reg::Command, Hex4(command)));
}

bool SetupCommands::QueueSaveOrRestart() {
    Modulo1& m = s_.m;
    if (m.RestartRequest == 0) {
        return false;
    }
    const bool restart = m.RestartRequest == 1;
    s_.queue.QueueWrite(WriteSlot::A, CommandRequest(restart ? Cmd::DiscardAndRestart : Cmd::StoreAndEnd),
                        /*setPending=*/false);
    if (restart) {
        m.ResetInProgress = 1;
    }
    m.RestartRequest = 0;
    return true;
}

// --- Leaving the screen -----------------------------------------------------------------------------------

QCoro::Task<> SetupCommands::SendNow(const QByteArray& frame) {
    s_.m.FrameBuffer = frame;
    co_await s_.link.ExchangeFrame(s_.ReplyTimeoutMs());
}

QCoro::Task<> SetupCommands::SendQueuedWrites() {
    Modulo1& m = s_.m;
    const auto waiting = [&m] {
        return (!m.PendingWriteA.isEmpty() && m.WritePending) || !m.PendingWriteB.isEmpty();
    };
    // Every round confirms a request or counts a failed attempt, and a request is dropped after its
    // retries; the bound only guards against a follow-up that keeps queueing.
    constexpr int MostRounds = 4 * (WriteQueue::MaxRetries + 1);
    for (int round = 0; round < MostRounds && waiting(); ++round) {
        co_await s_.queue.ServiceWriteQueueA();
        co_await s_.queue.ServiceWriteQueueB();
    }
}

QCoro::Task<> SetupCommands::ExitProcedure(SaveQuestion ask) {
    Modulo1& m = s_.m;
    if (!m.OfflineEdit) {
        // What the user sent, or confirmed, before leaving goes out first, so that the store below
        // keeps it.
        co_await SendQueuedWrites();
        if (m.MemoryResetRequest == 1) {
            QueueMemoryReset();
            co_await SendQueuedWrites();
        }
        // Back to normal operation, twice; the replies are not looked at.
        for (int i = 0; i < 2; ++i) {
            QueueNormalMode();
            co_await SendNow(m.PendingWriteA);
        }
        // The question leaves only ExitSaveRequested (OK) or only ExitResetRequested ("NO (Reset)"); any
        // other way of closing it leaves both, and the changes are stored.
        m.ExitSaveRequested = true;
        m.ExitResetRequested = true;
        co_await ask();
        if (m.ExitSaveRequested) {
            co_await SendNow(CommandRequest(Cmd::StoreAndEnd));
        } else if (m.ExitResetRequested) {
            // The instrument restarts with its stored values.
            m.ResetInProgress = 1;
            co_await SendNow(CommandRequest(Cmd::DiscardAndRestart));
        }
    }
    m.ExitSaveRequested = false;
    m.ExitResetRequested = false;
    // Nothing queued survives the screen: a memory reset confirmed during offline editing must not
    // reach the next instrument opened.
    m.MemoryResetRequest = 0;
    m.PendingWriteA.clear();
    m.PendingWriteB.clear();
    m.WritePending = false;
    m.WriteRetries = 0;
}
