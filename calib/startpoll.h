#pragma once

// The poll of one address as the start-up screen runs it: the division code while it is not known,
// then the status byte and the weight, with the text the screen shows for the address. The start-up
// screen and the command-line scan both poll through it, so both send the same frames and derive the
// same texts.

#include "modulo1.h"
#include "serial.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <cstdint>
#include <functional>

// What the weight poll of one address came to.
struct StartPollResult {
    enum class Outcome {
        NoDivision, // the division is not known: a failure, nothing was sent
        NoStatus,   // the status byte was not read: a failure
        Abandoned,  // stopped between the status byte and the weight (nothing to show, no failure)
        StatusText, // the status byte says the instrument shows a state instead of a weight
        NoWeight,   // the weight register was not read: a failure
        Weight,     // the weight was read
    };
    Outcome outcome = Outcome::NoDivision;
    // What the screen shows for the address: the weight (DecodeValue of the count, right-justified to
    // 7 characters) or the state text ("_______", "-------", " O - L "). Empty for the failures.
    QString text;

    // True when the address answered its status byte (and its weight, unless a state is shown).
    bool Answered() const { return outcome == Outcome::StatusText || outcome == Outcome::Weight; }
};

class StartPoll {
public:
    // `replyTimeoutMs` is the start-up screen's reply time-out (StartReplyTimeoutMs); `abandon` is asked
    // between the status byte and the weight and, when true, ends the poll there.
    StartPoll(Modulo1& m, SerialLink& link, std::function<bool()> abandon = {});

    // Reads register 0x1050 of DeviceAddress when its DivisionStep is 0, and learns its division and
    // decimals from the code. A failure changes nothing.
    QCoro::Task<> PollDivisionCode();
    // Reads the status byte and, unless the instrument shows a state, weight register 0 of
    // DeviceAddress. Counts a failure in ErrorCount of the address, or sets it back to 0 on an answer;
    // StatusByte keeps the status byte read.
    QCoro::Task<StartPollResult> PollInstrumentWeight();

private:
    Modulo1& m_;
    SerialLink& link_;
    std::function<bool()> abandon_;
};
