#pragma once

// What the logic of the main setup screen works with: the shared state, the screen's serial link and
// write queue, and the parameter set bound to the screen's fields.

#include "modulo1.h"
#include "parameterset.h"
#include "serial.h"
#include "writequeue.h"

#include <QByteArray>
#include <QCoro/QCoroTask>

#include <cstdint>
#include <optional>

struct Session {
    Modulo1& m;
    SerialLink& link;
    WriteQueue& queue;
    ParameterSet& set;
    // Set once the user has asked to leave the screen: the reads of the pass under way are skipped (they
    // return nothing without talking to the instrument), so the exit procedure goes next.
    bool leaving = false;

    // The reply time-out of the main setup screen (the link applies its default to 0 or less).
    int ReplyTimeoutMs() const { return m.MainReplyTimeoutMs; }

    // One read of the instrument at DeviceAddress: builds the request (function, start register,
    // count; function 07 has no body), exchanges it and returns the reply when CheckReply accepts it
    // with `prefix`; nothing otherwise.
    QCoro::Task<std::optional<QByteArray>> Read(uint8_t function, uint16_t start, uint16_t count,
                                                const char* prefix);
    QCoro::Task<std::optional<QByteArray>> ReadStatus(); // function 07, prefix "07"
    // The model the instrument at DeviceAddress answers as (ProbeModel below); 0 while leaving.
    QCoro::Task<int> ProbeModel(bool* answered = nullptr);
};

// Reads the operating-mode register of `address`, which only the first model has: a valid answer means
// model 1, the exception "no such function" (01) or "no such register" (02) model 2, and 0 that the
// instrument said neither (silence, a garbled reply, another exception), so the model cannot be told.
// `answered` (may be null) tells whether a valid reply or exception came back at all.
QCoro::Task<int> ProbeModel(Modulo1& m, SerialLink& link, uint8_t address, int replyTimeoutMs,
                            bool* answered = nullptr);
