#include "cliend.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <map>

#include <fcntl.h>
#include <unistd.h>

namespace cliend {

namespace {

std::map<int, std::function<void()>>& Cleanups() {
    static std::map<int, std::function<void()>> cleanups;
    return cleanups;
}

int signalPipe[2] = {-1, -1};

// Async-signal-safe: one write() of the signal's number, nothing else.
extern "C" void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &number, 1);
    errno = saved;
}

} // namespace

int AddCleanup(std::function<void()> cleanup) {
    static int next = 0;
    Cleanups().emplace(++next, std::move(cleanup));
    return next;
}

void RemoveCleanup(int id) {
    Cleanups().erase(id);
}

void EndNow(int status) {
    // Newest first: an output is removed before the port it was read from is closed.
    auto& cleanups = Cleanups();
    while (!cleanups.empty()) {
        const auto last = std::prev(cleanups.end());
        const std::function<void()> cleanup = std::move(last->second);
        cleanups.erase(last);
        cleanup();
    }
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(status);
}

namespace {
std::function<void(int)>& LostHandler() {
    static std::function<void(int)> tell;
    return tell;
}
} // namespace

void OnOutputLost(std::function<void(int)> tell) {
    LostHandler() = std::move(tell);
}

void OutputLost(int error) {
    // Told once: the handler's own writing goes to standard error only.
    const std::function<void(int)> tell = std::move(LostHandler());
    LostHandler() = nullptr;
    if (tell) {
        tell(error);
    }
    EndNow(1);
}

void CatchSignals() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    // Owned by the application, so that it goes with it at the end of the run.
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        unsigned char number = 0;
        if (::read(signalPipe[0], &number, 1) == 1) {
            EndNow(number == SIGTERM ? TerminatedStatus : InterruptedStatus);
        }
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace cliend
