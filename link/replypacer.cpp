#include "replypacer.h"

namespace {
// What the line adds on top of the wire time is followed the way a quantile is: a reply that was in
// when the hold ended shrinks the hold a little, one that came later stretches it six times as much,
// so that about six replies in seven are in when the hold ends. A reply delayed once barely moves it;
// a line that is always later (an adapter's latency) is followed within some dozens of replies.
constexpr qint64 StepDownNs = 10'000;
constexpr qint64 StepUpNs = 6 * StepDownNs;
} // namespace

qint64 ReplyPacer::Sent(qint64 sentNs, int requestChars, int replyChars) {
    sentNs_ = sentNs;
    requestChars_ = requestChars;
    active_ = replyChars > 0;
    held_ = active_ && Paced();
    return held_ ? sentNs + (requestChars + replyChars) * CharNs + extraNs_ : 0;
}

void ReplyPacer::Completed(qint64 nowNs, int receivedChars, bool atHoldEnd) {
    if (!active_) {
        return;
    }
    active_ = false;
    const qint64 lateNs = nowNs - (sentNs_ + (requestChars_ + receivedChars) * CharNs);
    if (lateNs < -ToleranceNs) {
        // Faster than the wire: not a 19200 baud line, or not any more.
        steady_ = 0;
        extraNs_ = 0;
        return;
    }
    if (!held_) {
        steady_ = qMin(steady_ + 1, SteadyReplies);
    } else if (atHoldEnd) {
        extraNs_ = qMax<qint64>(0, extraNs_ - StepDownNs);
    } else {
        extraNs_ = qMin(extraNs_ + StepUpNs, MaxExtraNs);
    }
}
