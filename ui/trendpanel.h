#pragma once

// The weight trend panel of the main setup screen: the weight on show against time over a window of
// 1, 5 or 15 minutes, with the unstable stretches shaded, the moments of a zero or full-scale setting
// marked, a gap wherever no weight was read, and the minimum, maximum, mean and spread of the window.
//
// The curve is painted by the panel itself: per column of pixels only the lowest and highest weight
// of the readings that fall into it are drawn, so a repaint costs the same for 15 minutes of readings
// as for one. The readings are appended to the WeightTrend by the screen at each pass; the panel looks
// at them only at its repaint tick, RepaintIntervalMs, and only while it is on show and not paused.

#include "weighttrend.h"

#include <QGroupBox>
#include <QTimer>

#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

// The division the weights are shown in: their decimals and the step of one division (0.02 for step 2
// with two decimals). A step of 0 (division unknown) gives a grid of tenths of the range.
struct TrendDivision {
    int decimals = 0;
    double step = 0;
};

// The vertical range of the plot.
struct TrendRange {
    double low = 0;
    double high = 1;
};

class TrendPlot : public QWidget {
    Q_OBJECT
public:
    TrendPlot(const WeightTrend& trend, QWidget* parent);

    // What the plot shows: the window [fromMs, toMs], the range, the division, the captions of the marks
    // and of the shading.
    void Show(qint64 fromMs, qint64 toMs, const TrendRange& range, const TrendDivision& division);
    void SetCaptions(const QString& zero, const QString& fullScale, const QString& unstable);

    QSize sizeHint() const override { return QSize(640, 200); }
    QSize minimumSizeHint() const override { return QSize(320, 120); }

    // The automatic range of the weights in [lowest, highest]: whole divisions, a little room above and
    // below, at least a few divisions high.
    static TrendRange AutoRange(double lowest, double highest, const TrendDivision& division);
    // The distance of two grid lines: the division times 1, 2 or 5 times a power of ten, so that the
    // range holds about `lines` of them.
    static double GridStep(double span, double division, int lines);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const WeightTrend& trend_;
    qint64 fromMs_ = 0;
    qint64 toMs_ = 1;
    TrendRange range_;
    TrendDivision division_;
    QString zeroCaption_;
    QString fullScaleCaption_;
    QString unstableCaption_;
};

class TrendPanel : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int RepaintIntervalMs = 500;

    TrendPanel(const WeightTrend& trend, QWidget* parent = nullptr);

    // Captions in the language (LanguageIndex).
    void ApplyLanguage(int languageIndex);
    void SetDivision(const TrendDivision& division) { division_ = division; }

    int WindowMinutes() const;
    void SetWindowMinutes(int minutes);
    bool Paused() const;
    bool ScaleHeld() const;

    // The window on show, the figures of it and the range, as the last refresh left them.
    qint64 FromMs() const { return fromMs_; }
    qint64 ToMs() const { return toMs_; }
    const TrendFigures& Figures() const { return figures_; }
    TrendRange Range() const { return range_; }
    // Refreshes done so far (tests and benchmarks).
    quint64 Refreshes() const { return refreshes_; }

    // Brings the window up to now (unless paused), the figures and the plot.
    void Refresh();
    // The last time the window may end at: now, or what a test sets (0: the clock).
    void SetClock(std::function<qint64()> clock) { clock_ = std::move(clock); }

    QComboBox* TrendWindow = nullptr;
    QPushButton* TrendHold = nullptr;  // checkable: the vertical range stays as it is
    QPushButton* TrendPause = nullptr; // checkable: the window stops where it is
    QPushButton* TrendExport = nullptr;
    QLabel* TrendFiguresLine = nullptr;
    TrendPlot* Plot = nullptr;

signals:
    void WindowChanged(int minutes);
    void ExportClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QString FiguresText() const;

    const WeightTrend& trend_;
    QTimer repaint_;
    TrendDivision division_;
    TrendFigures figures_;
    TrendRange range_;
    qint64 fromMs_ = 0;
    qint64 toMs_ = 0;
    quint64 refreshes_ = 0;
    int language_ = 0;
    std::function<qint64()> clock_;
};
