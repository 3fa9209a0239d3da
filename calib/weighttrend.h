#pragma once

// The history of the weight on show for the trend of the main setup screen: one point per reading,
// with the stable bit of that reading, and a gap wherever no weight was read (a write waiting for its
// echo, offline editing, a failed reading, a status text instead of a weight). A gap is a point
// without a value: the curve breaks there, nothing is drawn across it.
//
// The last KeepMs of readings are kept whatever window is on show, so that a wider window shows at
// once what was read before. Points are only appended and dropped from the front, one at a time.

#include "livemonitor.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <cmath>
#include <deque>
#include <limits>
#include <optional>

struct TrendPoint {
    qint64 ms = 0;                                           // milliseconds since the epoch
    double value = std::numeric_limits<double>::quiet_NaN(); // NaN: a gap
    bool stable = true;
    bool IsGap() const { return std::isnan(value); }
};

// A command whose moment the trend marks: the zero setting and the full-scale setting, at the moment
// the instrument confirmed it.
enum class TrendMarkKind { Zero, FullScale };
struct TrendMark {
    qint64 ms = 0;
    TrendMarkKind kind = TrendMarkKind::Zero;
};

// The figures of the weights read within a window.
struct TrendFigures {
    int count = 0; // readings with a weight
    double min = 0;
    double max = 0;
    double mean = 0;
    double spread = 0; // the standard deviation of the weights about their mean
    int unstable = 0;  // readings among them whose stable bit was clear
};

// A stretch of time in which the weight was not stable: from the first unstable reading to the next
// reading (or gap) after the last one.
struct TrendStretch {
    qint64 fromMs = 0;
    qint64 toMs = 0;
};

// A window's curve as drawn: the stretches between gaps, each thinned to the first, lowest, highest and
// last reading (in the order read) of each of a number of equal slices of the window, so that drawing
// 15 minutes of readings costs no more than drawing one; and the unstable readings, one per slice (the
// last unstable reading of the slice, which is among the stretch's points too).
// x is the time in milliseconds since the epoch, y the weight.
struct TrendCurve {
    QList<QList<QPointF>> stretches;
    QList<QPointF> unstable;
};

// The vertical range of a plot.
struct TrendRange {
    double low = 0;
    double high = 1;
};
// The automatic range of the weights in [lowest, highest] shown in divisions of `step` (0.02 for step
// 2 with two decimals): whole divisions, a tenth of the span of room above and below, at least
// MinRangeDivisions high, so that a still weight lies in the middle of a flat band.
inline constexpr int MinRangeDivisions = 4;
TrendRange TrendAutoRange(double lowest, double highest, double step);

class WeightTrend {
public:
    // The history kept: the widest window on offer.
    static constexpr qint64 KeepMs = 15 * 60 * 1000;
    // Two readings further apart than this are not joined (the loop stood still meanwhile, e.g. while
    // a dialog held it): a gap goes between them.
    static constexpr qint64 MaxJoinMs = 5000;

    // A mark of the same kind as the last one less than this after it is the same command.
    static constexpr qint64 MarkMergeMs = 2000;

    // A reading at `ms`; `value` NaN for a reading without a weight (a status text).
    void AddReading(qint64 ms, double value, bool stable);
    // A pass that read no weight. Several in a row make one gap.
    void AddGap(qint64 ms);
    void AddMark(qint64 ms, TrendMarkKind kind);
    // Everything forgotten (a change of the weight view: the new weight is another quantity).
    void Clear();
    // What a pass of the loop leaves at `nowMs`: the reading it took, or a gap when it took none. A
    // reading in another view than the points kept so far starts the trend afresh.
    void AfterPass(const std::optional<WeightReading>& reading, qint64 nowMs);
    // The view of the points kept (0 before the first reading).
    int View() const { return view_; }

    const std::deque<TrendPoint>& Points() const { return points_; }
    const std::deque<TrendMark>& Marks() const { return marks_; }
    // Readings with a weight added since the trend was built (dropped ones included).
    quint64 Readings() const { return readings_; }

    // The figures of the readings with a weight in [fromMs, toMs].
    TrendFigures Figures(qint64 fromMs, qint64 toMs) const;
    // The curve of the readings in [fromMs, toMs] thinned to `slices` slices (at least 1), with the
    // reading just before the window so that the line comes in from its left edge.
    TrendCurve Curve(qint64 fromMs, qint64 toMs, int slices) const;
    // The unstable stretches that reach into [fromMs, toMs], cut to it.
    QList<TrendStretch> UnstableStretches(qint64 fromMs, qint64 toMs) const;
    // The index of the first point at or after `ms`.
    size_t FirstAt(qint64 ms) const;

private:
    void Drop(qint64 nowMs);

    std::deque<TrendPoint> points_;
    std::deque<TrendMark> marks_;
    quint64 readings_ = 0;
    int view_ = 0;
};
