#pragma once

// The weight trend panel of the main setup screen: the weight on show against time over a window of
// 1, 5 or 15 minutes (a Qt Charts chart), with the unstable readings marked along the curve, the
// moments of a zero or full-scale setting as vertical lines, a gap wherever no weight was read, and the
// minimum, maximum, mean and spread of the window in figures. Hold keeps the vertical scale, Pause
// keeps the window where it is (the readings go on being kept).
//
// The readings are appended to the WeightTrend by the screen at each pass; the panel looks at them
// only at its repaint tick, RepaintIntervalMs, and only while it is on show. It draws the curve thinned
// to a few points per pixel column (WeightTrend::Curve), so a repaint costs the same for 15 minutes of
// readings as for one.

#include "trendaxis.h"
#include "weighttrend.h"

#include <QGroupBox>
#include <QTimer>

#include <functional>

class QChart;
class QChartView;
class QComboBox;
class QCategoryAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;

// The division the weights are shown in: their decimals and the weight of one division (0.02 for step
// 2 with two decimals; 0 while the division is not known).
struct TrendDivision {
    int decimals = 0;
    double step = 0;
};

class TrendPanel : public QGroupBox {
    Q_OBJECT
public:
    // The panel redraws every RepaintIntervalMs, or for a wide window every WindowTicks-th of it (every
    // 6 s over 15 minutes, 2 s over 5 minutes, where a second moves the curve by less than a pixel).
    static constexpr int RepaintIntervalMs = 1000;
    static constexpr int WindowTicks = 150;
    int TickMs() const;

    explicit TrendPanel(const WeightTrend& trend, QWidget* parent = nullptr);

    // Captions in the language (LanguageIndex).
    void ApplyLanguage(int languageIndex);
    void SetDivision(const TrendDivision& division);

    int WindowMinutes() const;
    void SetWindowMinutes(int minutes);
    bool Paused() const;
    bool ScaleHeld() const;

    // The window on show, its figures and the range, as the last refresh left them.
    qint64 FromMs() const { return fromMs_; }
    qint64 ToMs() const { return toMs_; }
    const TrendFigures& Figures() const { return figures_; }
    TrendRange Range() const { return range_; }
    // The curve as the last refresh drew it.
    const TrendCurve& Curve() const { return curve_; }
    // The labels of the two axes as the last refresh left them.
    const AxisTicks& TimeTicks() const { return timeTicks_; }
    const AxisTicks& WeightTicks() const { return weightTicks_; }
    // Whether the legend names the unstable readings.
    bool UnstableInLegend() const;
    // Refreshes done so far (tests and benchmarks).
    quint64 Refreshes() const { return refreshes_; }

    // Brings the window up to now (unless paused), the figures and the chart.
    void Refresh();
    // The clock the window ends at (tests); empty: the system's.
    void SetClock(std::function<qint64()> clock) { clock_ = std::move(clock); }
    // The chart as a picture, as it is on show.
    QPixmap Picture();

    QComboBox* TrendWindow = nullptr;
    QPushButton* TrendHold = nullptr;  // checkable: the vertical range stays as it is
    QPushButton* TrendPause = nullptr; // checkable: the window stops where it is
    QPushButton* TrendExport = nullptr;
    QLabel* FiguresLine = nullptr;
    QChartView* View = nullptr;

signals:
    void WindowChanged(int minutes);
    void ExportClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QString FiguresText() const;
    QString Number(double value, int decimals) const;
    void ShowCurve();
    // The labels and grid lines of an axis, when they differ from those on show.
    static void ShowTicks(QCategoryAxis* axis, const AxisTicks& ticks, AxisTicks& shown);
    void ShowMarks();

    const WeightTrend& trend_;
    QTimer repaint_;
    QChart* chart_ = nullptr;
    QCategoryAxis* timeAxis_ = nullptr;
    QCategoryAxis* weightAxis_ = nullptr;
    AxisTicks timeTicks_; // the labels on show
    AxisTicks weightTicks_;
    QList<QLineSeries*> stretches_; // reused from one refresh to the next; the unused ones are empty
    QScatterSeries* unstable_ = nullptr;
    QList<QLineSeries*> marks_;
    TrendDivision division_;
    TrendFigures figures_;
    TrendRange range_;
    TrendCurve curve_;
    qint64 fromMs_ = 0;
    qint64 toMs_ = 0;
    quint64 refreshes_ = 0;
    int language_ = 0;
    QString zeroCaption_;
    QString fullScaleCaption_;
    std::function<qint64()> clock_;
};
