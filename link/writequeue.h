#pragma once

// The write queue of the main setup screen: two slots, each holding one complete request frame,
// sent by the polling loop once per pass and confirmed by the instrument's echo (function code and
// register of the request, the 6 characters from position 4 of the reply).
//
// The queue knows nothing about groups or commands: each subsystem registers the follow-up of the
// echoes it owns.

#include "modulo1.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QHash>

#include <array>
#include <cstdint>

#include <functional>

class SerialLink;

enum class WriteSlot { A, B };

class WriteQueue {
public:
    // The follow-up of a recognised echo. It receives the whole reply and returns false when the
    // reply does not confirm the write after all (counted as a failed attempt).
    using FollowUp = std::function<bool(const QByteArray& reply)>;

    // Attempts after which a queued write is dropped without a message.
    static constexpr int MaxRetries = 5;

    WriteQueue(Modulo1& m, SerialLink& link, std::function<int()> replyTimeoutMs);

    // Places `frame` in the slot (replacing a frame not sent yet) and sets WritePending, unless
    // `setPending` is false (a mode write whose companion request in slot B sets it in the same click).
    void QueueWrite(WriteSlot slot, const QByteArray& frame, bool setPending = true);

    // Registers the follow-up of `echo` (e.g. "101100") for the slot. One owner per echo and slot.
    void RegisterEcho(WriteSlot slot, const QByteArray& echo, FollowUp followUp);
    bool Knows(WriteSlot slot, const QByteArray& echo) const;

    // One attempt each, in this order, once per pass after the reads.
    QCoro::Task<> ServiceWriteQueueA();
    QCoro::Task<> ServiceWriteQueueB();

    // The echo of a reply: function code and register, 6 characters from position 4.
    static QByteArray EchoOf(const QByteArray& reply);
    // True when `reply` is a whole frame with a right LRC, from the request's address, echoing the
    // request's function code and register.
    static bool ConfirmsRequest(const QByteArray& reply, const QByteArray& request);

    // Failed attempts of the request in the slot (each slot counts its own).
    uint8_t Attempts(WriteSlot slot) const { return retries_[slot == WriteSlot::A ? 0 : 1]; }

    // The request of the slot that is on the wire, or whose echo is being followed up; empty otherwise.
    const QByteArray& InFlight(WriteSlot slot) const { return slot == WriteSlot::A ? sentA_ : sentB_; }

    // The last request of the slot that its echo confirmed (a load tells by it whether its own request,
    // and not one a handler put in its place, went through).
    const QByteArray& LastConfirmed(WriteSlot slot) const {
        return slot == WriteSlot::A ? confirmedA_ : confirmedB_;
    }
    // How many requests of the slot were confirmed so far.
    quint64 Confirmations(WriteSlot slot) const { return confirmations_[slot == WriteSlot::A ? 0 : 1]; }

    // Told of each request's end: confirmed by its echo, or dropped after its retries (also the
    // request of slot B dropped with the unconfirmed first step in slot A).
    std::function<void(WriteSlot slot, const QByteArray& request, bool confirmed)> onOutcome;

    // For follow-ups that let the next slot go out in the same pass: empties the slot, unless a
    // handler queued a new request there while the confirmed one was on the wire.
    void EmptySlot(WriteSlot slot);

private:
    QByteArray& Slot(WriteSlot slot);
    uint8_t& Retries(WriteSlot slot);
    void KeepPendingWhileQueued();
    QCoro::Task<> Service(WriteSlot slot);
    void FailedAttempt(WriteSlot slot);
    void Drop(WriteSlot slot);

    Modulo1& m_;
    SerialLink& link_;
    std::function<int()> timeout_;
    QHash<QByteArray, FollowUp> echoesA_;
    QHash<QByteArray, FollowUp> echoesB_;
    QByteArray sentA_; // the request of the slot while it is on the wire
    QByteArray sentB_;
    QByteArray confirmedA_;
    QByteArray confirmedB_;
    std::array<quint64, 2> confirmations_{};
    std::array<uint8_t, 2> retries_{}; // failed attempts of slot A's and slot B's request
};
