#include "loopwait.h"

#include <utility>

LoopWaker::LoopWaker(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &LoopWaker::Notify);
}

LoopWaker::~LoopWaker() {
    if (waiter_) {
        qWarning("LoopWaker destroyed while a loop was waiting on it");
    }
}

QCoro::Task<> LoopWaker::WaitFor(int ms) {
    timer_.start(qMax(0, ms));
    co_await Wait();
    timer_.stop();
}

void LoopWaker::Notify() {
    if (!waiter_ || posted_) {
        return;
    }
    posted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            posted_ = false;
            if (auto h = std::exchange(waiter_, {})) {
                h.resume();
            }
        },
        Qt::QueuedConnection);
}
