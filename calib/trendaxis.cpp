#include "trendaxis.h"

#include <QTime>

#include <algorithm>
#include <cmath>

namespace {

// A hair of a step: a bound that lies on a tick, give or take the rounding of a double, keeps its tick.
constexpr double Hair = 1e-6;

QString Fixed(double value, int decimals) {
    decimals = std::clamp(decimals, 0, 6);
    if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) {
        value = 0; // no "-0" or "-0.00"
    }
    return QString::number(value, 'f', decimals);
}

} // namespace

AxisTicks WeightAxisTicks(double low, double high, double division, int decimals, int maxLabels) {
    AxisTicks out;
    if (!(high >= low) || maxLabels < 2) {
        return out;
    }
    const double unit = division > 0 ? division : std::pow(10.0, -std::clamp(decimals, 0, 6));
    // Everything counted in divisions: a step is a whole number of them.
    const double lowDiv = low / unit;
    const double highDiv = high / unit;
    for (qint64 decade = 1; decade <= qint64(1e15); decade *= 10) {
        for (int mantissa : {1, 2, 5}) {
            const qint64 step = mantissa * decade;
            const qint64 first = qint64(std::ceil(lowDiv / double(step) - Hair));
            const qint64 last = qint64(std::floor(highDiv / double(step) + Hair));
            if (last - first + 1 > maxLabels) {
                continue;
            }
            out.step = double(step) * unit;
            for (qint64 k = first; k <= last; ++k) {
                // The value from whole divisions, so that 0.01 × 3 is 0.03 and not 0.030000000000000002.
                const double value = double(k * step) * unit;
                out.ticks.append(AxisTick{value, Fixed(value, decimals)});
            }
            return out;
        }
    }
    return out;
}

AxisTicks TimeAxisTicks(qint64 fromMs, qint64 toMs, int utcOffsetS, int maxLabels) {
    AxisTicks out;
    if (toMs < fromMs || maxLabels < 2) {
        return out;
    }
    constexpr qint64 S = 1000;
    constexpr qint64 M = 60 * S;
    constexpr qint64 H = 60 * M;
    static constexpr qint64 Steps[] = {1 * S, 2 * S, 5 * S, 10 * S, 15 * S, 20 * S, 30 * S,
                                       1 * M, 2 * M, 5 * M, 10 * M, 15 * M, 20 * M, 30 * M,
                                       1 * H, 2 * H, 3 * H, 6 * H,  12 * H, 24 * H};
    const qint64 offsetMs = qint64(utcOffsetS) * S;
    for (qint64 step : Steps) {
        // Multiples of the step on the local clock.
        const qint64 localFrom = fromMs + offsetMs;
        const qint64 localTo = toMs + offsetMs;
        const qint64 first = localFrom >= 0 ? (localFrom + step - 1) / step : -((-localFrom) / step);
        const qint64 last = localTo >= 0 ? localTo / step : -((-localTo + step - 1) / step);
        if (last - first + 1 > maxLabels && step != Steps[std::size(Steps) - 1]) {
            continue;
        }
        out.step = double(step);
        const QString format = step % M == 0 ? QStringLiteral("HH:mm") : QStringLiteral("HH:mm:ss");
        constexpr qint64 Day = 24 * H;
        for (qint64 k = first; k <= last; ++k) {
            const qint64 local = k * step;
            const qint64 ofDay = ((local % Day) + Day) % Day;
            out.ticks.append(AxisTick{double(local - offsetMs),
                                      QTime::fromMSecsSinceStartOfDay(int(ofDay)).toString(format)});
        }
        return out;
    }
    return out;
}
