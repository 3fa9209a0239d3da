#pragma once

// The commands of the setup mode that the main setup screen queues: the return to normal operation
// (mode register 0x0802 := 0) and the follow-ups of the echoes of the command and mode registers.

#include "session.h"

class SetupCommands {
public:
    // Registers the echo follow-ups of the mode register ("060802" in slot A), of the command
    // register ("060800" in slot A) and of the memory reset ("100800" in slot A).
    explicit SetupCommands(Session& session);

    // Sets WritePending and places the normal-mode request (function 06, 0x0802 := 0x0000) in slot A.
    void QueueNormalMode();

private:
    bool ModeEcho(const QByteArray& reply);
    bool CommandEcho(const QByteArray& reply);

    Session& s_;
};
