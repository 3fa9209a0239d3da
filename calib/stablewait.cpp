#include "stablewait.h"

#include "registers.h"

#include <cmath>

void StableWait::Ask(quint64 passesDone, qint64 nowMs, int timeoutMs) {
    asked_ = true;
    firstPass_ = passesDone + 2;
    deadlineMs_ = nowMs + timeoutMs;
}

StableWait::Result StableWait::AfterPass(quint64 pass, qint64 nowMs, const LiveMonitor& monitor,
                                         const Modulo1& m, double* indication) {
    if (!asked_) {
        return Result::Idle;
    }
    const uint8_t a = m.DeviceAddress;
    const bool statusText = (m.StatusByte & Status::NoWeightMask) != 0;
    if (pass >= firstPass_ && !m.WritePending && m.ErrorCount[a] == 0 && m.DivisionStep[a] != 0 &&
        !statusText && monitor.stabile == 1) {
        const double sign = (m.StatusByte & Status::GrossNegative) != 0 ? -1 : 1;
        *indication = sign * monitor.GrossCount / std::pow(10.0, m.DecimalCount[a]);
        asked_ = false;
        return Result::Taken;
    }
    if (nowMs >= deadlineMs_) {
        asked_ = false;
        return Result::TimedOut;
    }
    return Result::Waiting;
}
