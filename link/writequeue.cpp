#include "writequeue.h"

#include "frame.h"
#include "serial.h"

#include <utility>

namespace {
// A reply this short (an empty one after a time-out included) carries no echo.
constexpr int ShortestEchoReply = 10;
} // namespace

WriteQueue::WriteQueue(Modulo1& m, SerialLink& link, std::function<int()> replyTimeoutMs)
    : m_(m), link_(link), timeout_(std::move(replyTimeoutMs)) {}

QByteArray& WriteQueue::Slot(WriteSlot slot) {
    return slot == WriteSlot::A ? m_.PendingWriteA : m_.PendingWriteB;
}

uint8_t& WriteQueue::Retries(WriteSlot slot) {
    return retries_[slot == WriteSlot::A ? 0 : 1];
}

void WriteQueue::QueueWrite(WriteSlot slot, const QByteArray& frame, bool setPending) {
    QByteArray& held = Slot(slot);
    if (held != frame) {
        // A new request starts its own count of attempts; the other slot keeps its count.
        Retries(slot) = 0;
        m_.WriteRetries = 0;
    }
    held = frame;
    if (setPending) {
        m_.WritePending = true;
    }
}

void WriteQueue::RegisterEcho(WriteSlot slot, const QByteArray& echo, FollowUp followUp) {
    auto& table = slot == WriteSlot::A ? echoesA_ : echoesB_;
    Q_ASSERT_X(!table.contains(echo), "WriteQueue::RegisterEcho", "one owner per echo and slot");
    table.insert(echo, std::move(followUp));
}

bool WriteQueue::Knows(WriteSlot slot, const QByteArray& echo) const {
    return (slot == WriteSlot::A ? echoesA_ : echoesB_).contains(echo);
}

QByteArray WriteQueue::EchoOf(const QByteArray& reply) {
    return reply.mid(3, 6);
}

bool WriteQueue::ConfirmsRequest(const QByteArray& reply, const QByteArray& request) {
    // A whole frame with a right LRC, from the address the request went to, echoing the request's own
    // function and register. Line noise, a reply from another instrument or the late echo of another
    // write never confirms this one.
    return reply.size() >= ShortestEchoReply && CheckReply(reply, EchoOf(request)) &&
           reply.mid(1, 2) == request.mid(1, 2);
}

void WriteQueue::EmptySlot(WriteSlot slot) {
    QByteArray& held = Slot(slot);
    // A request queued by a handler while this one was on the wire is a different request: keep it.
    const QByteArray& sent = slot == WriteSlot::A ? sentA_ : sentB_;
    if (sent.isEmpty() || held == sent) {
        held.clear();
    }
}

void WriteQueue::KeepPendingWhileQueued() {
    // The periodic reads stand still while either slot still holds a request: a follow-up or a drop
    // that ends one slot's write never strands the other slot's request.
    if (!m_.PendingWriteA.isEmpty() || !m_.PendingWriteB.isEmpty()) {
        m_.WritePending = true;
    }
}

void WriteQueue::Drop(WriteSlot slot) {
    EmptySlot(slot);
    if (slot == WriteSlot::A && !m_.PendingWriteB.isEmpty() && Retries(WriteSlot::B) == 0) {
        // The second step of a two-step command must never go out when its first step was never
        // confirmed (a span calibration would be stored with a stale sample weight). A request of
        // slot B that has been on the wire already was not waiting for this one: it stays.
        const QByteArray droppedB = std::exchange(m_.PendingWriteB, QByteArray());
        if (onOutcome) {
            onOutcome(WriteSlot::B, droppedB, false);
        }
        Retries(WriteSlot::B) = 0;
    }
    Retries(slot) = 0;
    m_.WriteRetries = 0;
    m_.WritePending = false;
    KeepPendingWhileQueued();
}

void WriteQueue::FailedAttempt(WriteSlot slot) {
    const QByteArray& sent = slot == WriteSlot::A ? sentA_ : sentB_;
    if (Slot(slot) != sent) {
        // The user replaced the request while it was on the wire: the new one has not been tried yet.
        m_.WriteRetries = Retries(slot);
        return;
    }
    m_.WriteRetries = ++Retries(slot);
    if (Retries(slot) > MaxRetries) {
        // Dropped without a message; polling resumes.
        if (onOutcome) {
            onOutcome(slot, sent, false);
        }
        Drop(slot);
    }
}

QCoro::Task<> WriteQueue::Service(WriteSlot slot) {
    QByteArray& sent = slot == WriteSlot::A ? sentA_ : sentB_;
    sent = Slot(slot);
    m_.WriteRetries = Retries(slot);
    m_.FrameBuffer = sent;
    co_await link_.ExchangeFrame(timeout_());
    const QByteArray reply = m_.FrameBuffer;

    const auto& table = slot == WriteSlot::A ? echoesA_ : echoesB_;
    const auto it = table.constFind(EchoOf(reply));
    if (!ConfirmsRequest(reply, sent) || it == table.constEnd() || !(*it)(reply)) {
        FailedAttempt(slot);
        sent.clear();
        co_return;
    }
    (slot == WriteSlot::A ? confirmedA_ : confirmedB_) = sent;
    ++confirmations_[slot == WriteSlot::A ? 0 : 1];
    if (onOutcome) {
        onOutcome(slot, sent, true);
    }
    // Confirmed: the next request of this slot starts a fresh count.
    Retries(slot) = 0;
    m_.WriteRetries = 0;
    if (!m_.WritePending) {
        EmptySlot(slot);
    }
    KeepPendingWhileQueued();
    sent.clear();
}

QCoro::Task<> WriteQueue::ServiceWriteQueueA() {
    if (m_.PendingWriteA.isEmpty() && m_.PendingWriteB.isEmpty()) {
        m_.WritePending = false;
    }
    if (m_.PendingWriteA.isEmpty() || !m_.WritePending) {
        co_return;
    }
    co_await Service(WriteSlot::A);
}

QCoro::Task<> WriteQueue::ServiceWriteQueueB() {
    if (m_.PendingWriteB.isEmpty()) {
        co_return;
    }
    // Slot B waits while slot A holds a request that is still to go out: the first step of a
    // two-step command is confirmed before its second step is sent.
    if (!m_.PendingWriteA.isEmpty() && m_.WritePending) {
        co_return;
    }
    co_await Service(WriteSlot::B);
}
