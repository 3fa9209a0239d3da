#pragma once

// The marks along the two axes of the weight trend: round steps that read at a glance. The weight axis
// steps by the division times 1, 2 or 5 times a power of ten (at a division of 20: 20, 40, 100, 200,
// ...) and shows its values with the division's decimals; the time axis steps by whole seconds,
// minutes or hours and shows the local time of day. A grid line goes where each label is.

#include <QList>
#include <QString>

struct AxisTick {
    double value = 0; // a weight, or milliseconds since the epoch
    QString label;
};

// The step and the ticks within [low, high].
struct AxisTicks {
    double step = 0;
    QList<AxisTick> ticks;
};

// At most this many labels along an axis, so that they never run into each other.
inline constexpr int MaxWeightLabels = 7;
inline constexpr int MaxTimeLabels = 7;

// The ticks of the weight axis over [low, high]: the smallest step of the division × {1, 2, 5} × 10^k
// that gives at most `maxLabels` labels; each label a multiple of the step with `decimals` decimals.
// A division of 0 (not known yet) counts as 1 unit of the last decimal.
AxisTicks WeightAxisTicks(double low, double high, double division, int decimals,
                          int maxLabels = MaxWeightLabels);

// The ticks of the time axis over [fromMs, toMs]: the smallest step of 1, 2, 5, 10, 15, 20, 30 seconds,
// 1, 2, 5, 10, 15, 20, 30 minutes, 1, 2, 3, 6, 12 hours that gives at most `maxLabels` labels, on
// whole multiples of the step in local time (`utcOffsetS`: the local offset from UTC, in seconds).
// Labels "HH:mm:ss" ("HH:mm" for steps of whole minutes).
AxisTicks TimeAxisTicks(qint64 fromMs, qint64 toMs, int utcOffsetS, int maxLabels = MaxTimeLabels);
