#pragma once

// How a run of quartel-cli ends early: Ctrl+C (SIGINT), SIGTERM, or standard output that can no longer
// be written. What the run holds (the port with its exclusive mode, a half-made output, a folder made
// for nothing) is given back by the cleanups registered here, then the program ends with its status:
// 130 after SIGINT, 143 after SIGTERM, 1 after lost output.

#include <functional>

namespace cliend {

inline constexpr int InterruptedStatus = 130; // 128 + SIGINT
inline constexpr int TerminatedStatus = 143;  // 128 + SIGTERM

// A cleanup to run when the run ends early, newest first. Returns its id for RemoveCleanup.
int AddCleanup(std::function<void()> cleanup);
void RemoveCleanup(int id);

// Keeps a cleanup for as long as the guard lives.
class Cleanup {
public:
    explicit Cleanup(std::function<void()> cleanup) : id_(AddCleanup(std::move(cleanup))) {}
    ~Cleanup() { RemoveCleanup(id_); }
    Cleanup(const Cleanup&) = delete;
    Cleanup& operator=(const Cleanup&) = delete;

private:
    int id_;
};

// Runs the cleanups, flushes the standard streams and ends the process with `status`.
[[noreturn]] void EndNow(int status);

// Standard output could not be written (`error` an errno value): the handler set by OnOutputLost tells
// it, then the run ends with status 1.
[[noreturn]] void OutputLost(int error);
void OnOutputLost(std::function<void(int)> tell);

// SIGINT and SIGTERM are caught: the handler only writes the signal's number into a pipe, and the event
// loop reads it and calls EndNow. Needs a QCoreApplication.
void CatchSignals();

} // namespace cliend
