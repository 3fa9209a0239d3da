#pragma once

// A stable reading of the gross weight for the verification window, taken by the screen's own polling
// loop: the window asks, and after each pass the wait looks at what the live monitor read. Only a pass
// that began after the request counts (the pass running when the user asked may have read the weight
// before), and only with the weight read, the stable bit set and no status text in its place.

#include "livemonitor.h"
#include "modulo1.h"

#include <optional>

class StableWait {
public:
    enum class Result { Waiting, Taken, TimedOut, Idle };

    // Asked while pass `passesDone` is the last one completed; gives up after `timeoutMs`.
    void Ask(quint64 passesDone, qint64 nowMs, int timeoutMs);
    void Cancel() { asked_ = false; }
    bool Asked() const { return asked_; }

    // After pass `pass` (counted like passesDone): Taken with the indication in the unit of the display
    // (the gross count with its sign and decimals), TimedOut once the time is up.
    Result AfterPass(quint64 pass, qint64 nowMs, const LiveMonitor& monitor, const Modulo1& m,
                     double* indication);

private:
    bool asked_ = false;
    quint64 firstPass_ = 0;
    qint64 deadlineMs_ = 0;
};
