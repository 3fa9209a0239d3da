#pragma once

// The commands of the setup mode: the return to normal operation (mode register 0x0802 := 0), the end
// of the setup mode when the main setup screen is left (store the changes, or discard them with a
// restart), the password-protected memory reset, and the follow-ups of the echoes of the command and
// mode registers.

#include "session.h"

#include <QString>

#include <functional>

class SetupCommands {
public:
    // Registers the echo follow-ups of the mode register ("060802" in slot A), of the command
    // register ("060800" in slot A) and of the memory reset ("100800" in slot A).
    explicit SetupCommands(Session& session);

    // Sets WritePending and places the normal-mode request (function 06, 0x0802 := 0x0000) in slot A.
    void QueueNormalMode();

    // --- Memory reset ---------------------------------------------------------------------------------
    // The numeric value of a typed access code: leading blanks skipped, reading stops at the first
    // character that is not part of the number ("  40718abc" is 40718, "4071 8" is 4071).
    static double AccessCodeValue(const QString& typed);
    // The OK button of the access-code dialog: keeps the text in ResetCodeText and, when its value is
    // the access code, sets MemoryResetRequest and returns true. False: the code is wrong, nothing is
    // requested.
    static bool AcceptAccessCode(Modulo1& m, const QString& typed);
    // Main-loop step: when MemoryResetRequest is 1, queues in slot A the command 0x0018 together with
    // the access code in 0x0801 (function 10), sets ResetInProgress and clears the request. The code
    // goes out as its numeric value, never as the typed text.
    void QueueMemoryReset();

    // --- Store or restart -------------------------------------------------------------------------------
    // Main-loop step: when RestartRequest is not 0, places in slot A the restart (1, 0x0800 := 0x0021,
    // ResetInProgress set) or the store (2, 0x0800 := 0x0020) and clears the request. WritePending is
    // left as it is. True when a request was placed: the Options menu is then enabled again.
    bool QueueSaveOrRestart();

    // --- Leaving the screen --------------------------------------------------------------------------------
    // Shows the save-changes question; its buttons leave ExitSaveRequested and/or ExitResetRequested set.
    using SaveQuestion = std::function<QCoro::Task<>()>;
    // The exit procedure, run by the screen's loop between two exchanges. With offline editing nothing
    // is sent and nothing asked. Otherwise: the writes still queued go out first (with their retries),
    // then the normal mode twice, then the question, then the store (0x0020) or the discard and restart
    // (0x0021), each sent at once without looking at the reply. Ends with both stop flags clear and the
    // queue empty. Returns after at most a bounded number of reply time-outs when the line is silent.
    QCoro::Task<> ExitProcedure(SaveQuestion ask);

    // Services both slots until no request waits to go out: each request is confirmed or dropped after
    // its retries.
    QCoro::Task<> SendQueuedWrites();

private:
    bool ModeEcho(const QByteArray& reply);
    bool CommandEcho(const QByteArray& reply);
    QByteArray CommandRequest(uint16_t command) const;
    QCoro::Task<> SendNow(const QByteArray& frame);

    Session& s_;
};
