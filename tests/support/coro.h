#pragma once

// Runs a coroutine from a test and lets the test wait for its end with QTRY_VERIFY.

#include <QCoro/QCoroTask>

#include <memory>
#include <utility>

struct Started {
    std::shared_ptr<bool> finished = std::make_shared<bool>(false);
    bool done() const { return *finished; }
};

template <typename Fn> Started Start(Fn fn) {
    Started s;
    [](Fn f, std::shared_ptr<bool> finished) -> QCoro::Task<> {
        co_await f();
        *finished = true;
    }(std::move(fn), s.finished);
    return s;
}
