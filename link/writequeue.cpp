#include "writequeue.h"

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

void WriteQueue::QueueWrite(WriteSlot slot, const QByteArray& frame, bool setPending) {
    QByteArray& held = Slot(slot);
    if (held != frame) {
        // A new request starts its own count of attempts.
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

void WriteQueue::EmptySlot(WriteSlot slot) {
    QByteArray& held = Slot(slot);
    // A request queued by a handler while this one was on the wire is a different request: keep it.
    const QByteArray& sent = slot == WriteSlot::A ? sentA_ : sentB_;
    if (sent.isEmpty() || held == sent) {
        held.clear();
    }
}

void WriteQueue::Drop(WriteSlot slot) {
    EmptySlot(slot);
    if (slot == WriteSlot::A && !m_.PendingWriteB.isEmpty()) {
        // The second step of a two-step command must never go out when its first step was never
        // confirmed (a span calibration would be stored with a stale sample weight).
        m_.PendingWriteB.clear();
    }
    m_.WriteRetries = 0;
    m_.WritePending = false;
}

void WriteQueue::FailedAttempt(WriteSlot slot) {
    ++m_.WriteRetries;
    if (m_.WriteRetries > MaxRetries) {
        // Dropped without a message; polling resumes.
        Drop(slot);
    }
}

QCoro::Task<> WriteQueue::Service(WriteSlot slot) {
    QByteArray& sent = slot == WriteSlot::A ? sentA_ : sentB_;
    sent = Slot(slot);
    m_.FrameBuffer = sent;
    co_await link_.ExchangeFrame(timeout_());
    const QByteArray reply = m_.FrameBuffer;

    if (reply.size() < ShortestEchoReply) {
        FailedAttempt(slot);
        sent.clear();
        co_return;
    }
    const auto& table = slot == WriteSlot::A ? echoesA_ : echoesB_;
    const auto it = table.constFind(EchoOf(reply));
    if (it == table.constEnd() || !(*it)(reply)) {
        FailedAttempt(slot);
        sent.clear();
        co_return;
    }
    // Confirmed: the next request starts a fresh count.
    m_.WriteRetries = 0;
    if (!m_.WritePending) {
        EmptySlot(slot);
        if (!Slot(slot).isEmpty()) {
            // A newer request arrived while this one was on the wire: it goes out next.
            m_.WritePending = true;
        }
    }
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
