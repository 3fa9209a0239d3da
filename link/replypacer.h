#pragma once

// When a receive on a serial line first needs to look for its reply.
//
// At 19200 baud a reply cannot be complete before the request and the reply have crossed the wire, 10
// bits a character. Once a line has shown that it really runs at that pace (a few replies in a row
// that took at least their wire time), the receive leaves it unwatched after each request until that
// moment, plus what the line has been seen to add on top (the instrument's turnaround, an adapter's
// latency): the chunks in which a UART hands over a reply then cost one wake-up instead of one each.
// A line that answers faster than the wire (a simulator without wire time) is never held, so it
// costs no time either.

#include <QtGlobal>

#include <chrono>

// The clock of the pacing, in nanoseconds (CLOCK_MONOTONIC on Linux).
inline qint64 SteadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class ReplyPacer {
public:
    // One character at 19200 baud: a start bit, 8 data bits and a stop bit.
    static constexpr qint64 CharNs = 10 * 1'000'000'000LL / 19200;
    // Replies in a row that took at least their wire time before the line is held.
    static constexpr int SteadyReplies = 3;

    // A request of `requestChars` characters went out at `sentNs`; its normal reply has `replyChars`
    // (0: not known, nothing is held). Returns the moment until which the line need not be watched,
    // or 0 for none.
    qint64 Sent(qint64 sentNs, int requestChars, int replyChars);
    // The last chunk of the reply came at `nowNs`, `receivedChars` characters having come since the
    // request; `atHoldEnd`: it was already in when the hold ran out. A receive that ends without a
    // reply (a time-out) reports nothing.
    void Completed(qint64 nowNs, int receivedChars, bool atHoldEnd);
    // The line was opened again (maybe another adapter): nothing learnt holds.
    void Reset() { *this = ReplyPacer(); }

    bool Paced() const { return steady_ >= SteadyReplies; }
    // What the line adds to the wire time, as learnt.
    qint64 ExtraNs() const { return extraNs_; }

    // A reply earlier than its wire time by more than this shows a line faster than the wire.
    static constexpr qint64 ToleranceNs = 2 * CharNs;
    // The most that is added to the wire time.
    static constexpr qint64 MaxExtraNs = 20'000'000;

private:
    qint64 sentNs_ = 0;
    int requestChars_ = 0;
    bool active_ = false; // a request is out and its reply not yet reported
    bool held_ = false;   // and the line is held for it
    int steady_ = 0;
    qint64 extraNs_ = 0;
};
