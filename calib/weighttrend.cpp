#include "weighttrend.h"

#include <algorithm>
#include <array>

void WeightTrend::AddReading(qint64 ms, double value, bool stable) {
    if (!points_.empty() && !points_.back().IsGap() && ms - points_.back().ms > MaxJoinMs) {
        points_.push_back(TrendPoint{points_.back().ms, std::numeric_limits<double>::quiet_NaN(), true});
    }
    points_.push_back(TrendPoint{ms, value, stable});
    if (!std::isnan(value)) {
        ++readings_;
    }
    Drop(ms);
}

void WeightTrend::AddGap(qint64 ms) {
    if (points_.empty() || points_.back().IsGap()) {
        return;
    }
    points_.push_back(TrendPoint{ms, std::numeric_limits<double>::quiet_NaN(), true});
    Drop(ms);
}

void WeightTrend::AddMark(qint64 ms, TrendMarkKind kind) {
    if (!marks_.empty() && marks_.back().kind == kind && ms - marks_.back().ms < MarkMergeMs) {
        return; // the same command queued once more (a zero after the datasheet question)
    }
    marks_.push_back(TrendMark{ms, kind});
    Drop(ms);
}

void WeightTrend::Clear() {
    points_.clear();
    marks_.clear();
    view_ = 0;
}

void WeightTrend::AfterPass(const std::optional<WeightReading>& reading, qint64 nowMs) {
    if (!reading) {
        AddGap(nowMs);
        return;
    }
    if (view_ != 0 && view_ != reading->view) {
        // The marks stay: a zero setting is worth seeing in any view.
        points_.clear();
    }
    view_ = reading->view;
    bool ok = false;
    const double value = reading->number.toDouble(&ok);
    AddReading(reading->timeMs, reading->hasWeight && ok ? value : std::numeric_limits<double>::quiet_NaN(),
               reading->stable);
}

void WeightTrend::Drop(qint64 nowMs) {
    const qint64 oldest = nowMs - KeepMs;
    while (!points_.empty() && points_.front().ms < oldest) {
        points_.pop_front();
    }
    while (!marks_.empty() && marks_.front().ms < oldest) {
        marks_.pop_front();
    }
}

size_t WeightTrend::FirstAt(qint64 ms) const {
    const auto it = std::lower_bound(points_.begin(), points_.end(), ms,
                                     [](const TrendPoint& p, qint64 t) { return p.ms < t; });
    return size_t(it - points_.begin());
}

TrendFigures WeightTrend::Figures(qint64 fromMs, qint64 toMs) const {
    TrendFigures f;
    double sum = 0;
    for (size_t i = FirstAt(fromMs); i < points_.size() && points_[i].ms <= toMs; ++i) {
        const TrendPoint& p = points_[i];
        if (p.IsGap()) {
            continue;
        }
        if (f.count == 0) {
            f.min = f.max = p.value;
        } else {
            f.min = std::min(f.min, p.value);
            f.max = std::max(f.max, p.value);
        }
        sum += p.value;
        ++f.count;
        if (!p.stable) {
            ++f.unstable;
        }
    }
    if (f.count == 0) {
        return f;
    }
    f.mean = sum / f.count;
    // The deviations in a second pass: weights of a few thousand divisions lose nothing that way.
    double squares = 0;
    for (size_t i = FirstAt(fromMs); i < points_.size() && points_[i].ms <= toMs; ++i) {
        if (!points_[i].IsGap()) {
            const double d = points_[i].value - f.mean;
            squares += d * d;
        }
    }
    f.spread = std::sqrt(squares / f.count);
    return f;
}

QList<TrendStretch> WeightTrend::UnstableStretches(qint64 fromMs, qint64 toMs) const {
    QList<TrendStretch> stretches;
    // Start one point earlier: a stretch that began before the window reaches into it.
    size_t i = FirstAt(fromMs);
    if (i > 0) {
        --i;
    }
    bool open = false;
    qint64 start = 0;
    for (; i < points_.size(); ++i) {
        const TrendPoint& p = points_[i];
        const bool unstable = !p.IsGap() && !p.stable;
        if (unstable && !open) {
            open = true;
            start = p.ms;
        } else if (!unstable && open) {
            open = false;
            if (p.ms >= fromMs) {
                stretches.append(TrendStretch{std::max(start, fromMs), std::min(p.ms, toMs)});
            }
        }
        if (p.ms > toMs) {
            break;
        }
    }
    if (open && !points_.empty()) {
        // Still unstable at the last reading: the stretch ends there.
        const qint64 end = std::min(points_.back().ms, toMs);
        if (end >= fromMs) {
            stretches.append(TrendStretch{std::max(start, fromMs), end});
        }
    }
    return stretches;
}

TrendCurve WeightTrend::Curve(qint64 fromMs, qint64 toMs, int slices) const {
    TrendCurve curve;
    slices = std::max(slices, 1);
    const double sliceMs = double(std::max<qint64>(toMs - fromMs, 1)) / slices;
    size_t i = FirstAt(fromMs);
    if (i > 0 && !points_[i - 1].IsGap()) {
        --i;
    }
    QList<QPointF>* stretch = nullptr;
    // The slice being gathered: its first, lowest, highest and last reading.
    qint64 slice = std::numeric_limits<qint64>::min();
    const TrendPoint* first = nullptr;
    const TrendPoint* low = nullptr;
    const TrendPoint* high = nullptr;
    const TrendPoint* last = nullptr;
    const TrendPoint* unstable = nullptr;
    const auto put = [&](const TrendPoint* p) {
        if (stretch->isEmpty() || stretch->back().x() != double(p->ms) || stretch->back().y() != p->value) {
            stretch->append(QPointF(double(p->ms), p->value));
        }
    };
    const auto endSlice = [&] {
        if (first == nullptr) {
            return;
        }
        // In the order read; the unstable reading is one of the stretch's points too.
        std::array<const TrendPoint*, 5> chosen{first, low, high, last, unstable};
        std::sort(chosen.begin(), chosen.end(), [](const TrendPoint* a, const TrendPoint* b) {
            return b == nullptr ? a != nullptr : a != nullptr && a->ms < b->ms;
        });
        for (const TrendPoint* p : chosen) {
            if (p != nullptr) {
                put(p);
            }
        }
        if (unstable != nullptr) {
            curve.unstable.append(QPointF(double(unstable->ms), unstable->value));
        }
        first = low = high = last = unstable = nullptr;
    };
    for (; i < points_.size() && points_[i].ms <= toMs; ++i) {
        const TrendPoint& p = points_[i];
        if (p.IsGap()) {
            endSlice();
            stretch = nullptr;
            continue;
        }
        if (stretch == nullptr) {
            curve.stretches.append(QList<QPointF>());
            stretch = &curve.stretches.back();
        }
        const qint64 s = qint64(std::floor(double(p.ms - fromMs) / sliceMs));
        if (s != slice || first == nullptr) {
            endSlice();
            slice = s;
            first = low = high = &p;
        }
        if (p.value < low->value) {
            low = &p;
        }
        if (p.value > high->value) {
            high = &p;
        }
        last = &p;
        if (!p.stable) {
            unstable = &p;
        }
    }
    endSlice();
    return curve;
}

TrendRange TrendAutoRange(double lowest, double highest, double step) {
    const double unit = step > 0 ? step : 1;
    const double minSpan = unit * MinRangeDivisions;
    double low = lowest;
    double high = highest;
    if (high - low < minSpan) {
        const double middle = (low + high) / 2;
        low = middle - minSpan / 2;
        high = middle + minSpan / 2;
    }
    const double room = (high - low) / 10;
    // A hair inside each end, so that a bound already on a whole division stays there.
    low = std::floor((low - room) / unit + 1e-9) * unit;
    high = std::ceil((high + room) / unit - 1e-9) * unit;
    return TrendRange{low, high};
}
