#pragma once

// How a screen's loop waits without spinning: it suspends on a LoopWaker, and event handlers (a click,
// a timer's tick) call Notify() after they have recorded what they want. The waiting coroutine is
// resumed from the event loop, never from inside the handler that notified, so the loop may end the
// screen safely when it goes on.

#include <QCoro/QCoroTask>
#include <QObject>
#include <QTimer>

#include <coroutine>

class LoopWaker : public QObject {
    Q_OBJECT
public:
    explicit LoopWaker(QObject* parent = nullptr);
    ~LoopWaker() override;

    struct Awaiter {
        LoopWaker* waker;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> h) noexcept { waker->waiter_ = h; }
        void await_resume() const noexcept {}
    };
    // Suspends until Notify(). One coroutine waits at a time.
    Awaiter Wait() { return Awaiter{this}; }
    // Suspends until Notify() or until `ms` milliseconds have passed.
    QCoro::Task<> WaitFor(int ms);
    // Lets the pending events run once (one turn of the event loop: the resume is posted at once),
    // then goes on.
    struct YieldAwaiter {
        LoopWaker* waker;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> h) noexcept {
            waker->waiter_ = h;
            waker->Notify();
        }
        void await_resume() const noexcept {}
    };
    YieldAwaiter LetEventsRun() { return YieldAwaiter{this}; }

    // Resumes the waiting coroutine (if any) from the event loop.
    void Notify();
    bool Waiting() const { return bool(waiter_); }

private:
    std::coroutine_handle<> waiter_;
    bool posted_ = false;
    QTimer timer_;
};
