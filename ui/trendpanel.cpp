#include "trendpanel.h"

#include "applytexts.h"
#include "texts_trend.h"
#include "viewsettings.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const QColor CurveColour(0, 70, 200);
const QColor UnstableColour(255, 200, 120, 110);
const QColor GridColour(220, 220, 220);
const QColor MarkColour(200, 0, 0);

// Grid lines of the time axis, in seconds: the first that leaves at most MaxTimeLines in the window.
constexpr int TimeSteps[] = {5, 10, 15, 30, 60, 120, 180, 300, 600};
constexpr int MaxTimeLines = 6;
// Grid lines of the weight axis the range holds about.
constexpr int WeightLines = 5;
// Divisions a range spans at least, so that a still weight lies in the middle of a flat band.
constexpr int MinRangeDivisions = 4;

QString Number(double value, int decimals) {
    if (value == 0) {
        value = 0; // no "-0.00"
    }
    return QString::number(value, 'f', std::clamp(decimals, 0, 6));
}

} // namespace

// --- TrendPlot --------------------------------------------------------------------------------------

TrendPlot::TrendPlot(const WeightTrend& trend, QWidget* parent) : QWidget(parent), trend_(trend) {
    setObjectName(QStringLiteral("TrendPlot"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void TrendPlot::Show(qint64 fromMs, qint64 toMs, const TrendRange& range, const TrendDivision& division) {
    fromMs_ = fromMs;
    toMs_ = std::max(toMs, fromMs + 1);
    range_ = range;
    division_ = division;
    update();
}

void TrendPlot::SetCaptions(const QString& zero, const QString& fullScale, const QString& unstable) {
    zeroCaption_ = zero;
    fullScaleCaption_ = fullScale;
    unstableCaption_ = unstable;
    update();
}

double TrendPlot::GridStep(double span, double division, int lines) {
    const double unit = division > 0 ? division : std::max(span / 10, 1e-9);
    double step = unit;
    for (double power = 1; power < 1e9; power *= 10) {
        for (double m : {1.0, 2.0, 5.0}) {
            step = unit * m * power;
            if (span / step <= lines) {
                return step;
            }
        }
    }
    return step;
}

TrendRange TrendPlot::AutoRange(double lowest, double highest, const TrendDivision& division) {
    const double unit = division.step > 0 ? division.step : std::pow(10.0, -division.decimals);
    const double minSpan = unit * MinRangeDivisions;
    double low = lowest;
    double high = highest;
    if (high - low < minSpan) {
        const double middle = (low + high) / 2;
        low = middle - minSpan / 2;
        high = middle + minSpan / 2;
    }
    const double room = (high - low) / 10;
    low = std::floor((low - room) / unit) * unit;
    high = std::ceil((high + room) / unit) * unit;
    return TrendRange{low, high};
}

void TrendPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm = fontMetrics();
    const double span = range_.high - range_.low;
    const double gridStep = GridStep(span, division_.step, WeightLines);
    // Room on the left for the widest label of the weight axis, below for the times.
    int labelWidth = 0;
    for (double v : {range_.low, range_.high}) {
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(Number(v, division_.decimals)));
    }
    const QRect area(labelWidth + 8, fm.height() / 2 + 2, std::max(1, width() - labelWidth - 14),
                     std::max(1, height() - 2 * fm.height() - 6));
    const double msPerPixel = double(toMs_ - fromMs_) / area.width();
    const auto xOf = [&](qint64 ms) { return area.left() + int(double(ms - fromMs_) / msPerPixel); };
    const auto yOf = [&](double v) {
        return area.bottom() - int(std::lround((v - range_.low) / (span > 0 ? span : 1) * area.height()));
    };

    // Unstable stretches under everything.
    for (const TrendStretch& s : trend_.UnstableStretches(fromMs_, toMs_)) {
        const int x0 = xOf(s.fromMs);
        p.fillRect(QRect(x0, area.top(), std::max(2, xOf(s.toMs) - x0), area.height()), UnstableColour);
    }

    // Grid and labels of the weight axis, on whole grid steps.
    p.setPen(GridColour);
    if (gridStep > 0 && span > 0) {
        for (double v = std::ceil(range_.low / gridStep) * gridStep; v <= range_.high + gridStep / 1e6;
             v += gridStep) {
            const int y = yOf(v);
            p.setPen(GridColour);
            p.drawLine(area.left(), y, area.right(), y);
            p.setPen(palette().color(QPalette::Text));
            p.drawText(QRect(0, y - fm.height() / 2, labelWidth + 4, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                       Number(v, division_.decimals));
        }
    }
    // Grid and labels of the time axis, on whole steps of local time.
    const qint64 windowS = (toMs_ - fromMs_) / 1000;
    int stepS = TimeSteps[std::size(TimeSteps) - 1];
    for (int s : TimeSteps) {
        if (windowS / s <= MaxTimeLines) {
            stepS = s;
            break;
        }
    }
    const qint64 offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(toMs_).offsetFromUtc()) * 1000;
    const qint64 stepMs = qint64(stepS) * 1000;
    for (qint64 t = ((fromMs_ + offsetMs) / stepMs + 1) * stepMs - offsetMs; t <= toMs_; t += stepMs) {
        const int x = xOf(t);
        p.setPen(GridColour);
        p.drawLine(x, area.top(), x, area.bottom());
        p.setPen(palette().color(QPalette::Text));
        const QString label = QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("HH:mm:ss"));
        const int w = fm.horizontalAdvance(label);
        p.drawText(std::clamp(x - w / 2, 0, width() - w), area.bottom() + fm.ascent() + 3, label);
    }
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(area.adjusted(0, 0, -1, -1));

    // The curve: per column of pixels the first, lowest, highest and last weight, broken at each gap.
    p.setClipRect(area);
    p.setPen(QPen(CurveColour, 2));
    const std::deque<TrendPoint>& points = trend_.Points();
    size_t i = trend_.FirstAt(fromMs_);
    if (i > 0 && !points[i - 1].IsGap()) {
        --i; // the line comes in from the left edge
    }
    std::vector<QPoint> line;
    line.reserve(size_t(area.width()) * 4 + 8);
    const auto flush = [&] {
        if (line.size() == 1) {
            p.drawPoint(line.front());
        } else if (line.size() > 1) {
            p.drawPolyline(line.data(), int(line.size()));
        }
        line.clear();
    };
    int column = INT_MIN;
    double first = 0, low = 0, high = 0, last = 0;
    bool lowFirst = true;
    const auto emitColumn = [&] {
        if (column == INT_MIN) {
            return;
        }
        line.emplace_back(column, yOf(first));
        if (low != high) {
            line.emplace_back(column, yOf(lowFirst ? low : high));
            line.emplace_back(column, yOf(lowFirst ? high : low));
        }
        line.emplace_back(column, yOf(last));
        column = INT_MIN;
    };
    for (; i < points.size(); ++i) {
        const TrendPoint& pt = points[i];
        if (pt.IsGap()) {
            emitColumn();
            flush();
            if (pt.ms > toMs_) {
                break;
            }
            continue;
        }
        const int x = xOf(pt.ms);
        if (x != column) {
            emitColumn();
            column = x;
            first = low = high = last = pt.value;
            lowFirst = true;
        } else {
            if (pt.value < low) {
                low = pt.value;
                lowFirst = false;
            }
            if (pt.value > high) {
                high = pt.value;
                lowFirst = low == first || !lowFirst ? lowFirst : true;
            }
            last = pt.value;
        }
        if (pt.ms > toMs_) {
            break;
        }
    }
    emitColumn();
    flush();

    // The moments of a zero and a full-scale setting.
    p.setClipping(false);
    QPen markPen(MarkColour, 1, Qt::DashLine);
    for (const TrendMark& mark : trend_.Marks()) {
        if (mark.ms < fromMs_ || mark.ms > toMs_) {
            continue;
        }
        const int x = xOf(mark.ms);
        p.setPen(markPen);
        p.drawLine(x, area.top(), x, area.bottom());
        p.setPen(MarkColour);
        const QString caption = mark.kind == TrendMarkKind::Zero ? zeroCaption_ : fullScaleCaption_;
        const int w = fm.horizontalAdvance(caption);
        p.drawText(std::min(x + 3, area.right() - w), area.top() + fm.ascent() + 1, caption);
    }
    // The key of the shading, top right.
    const int keyWidth = fm.horizontalAdvance(unstableCaption_);
    const QRect key(area.right() - keyWidth - 22, area.top() + 3, 12, fm.height() - 4);
    p.fillRect(key, UnstableColour.darker(110));
    p.setPen(palette().color(QPalette::Text));
    p.drawText(key.right() + 5, area.top() + fm.ascent() + 1, unstableCaption_);
}

// --- TrendPanel -------------------------------------------------------------------------------------

TrendPanel::TrendPanel(const WeightTrend& trend, QWidget* parent) : QGroupBox(parent), trend_(trend) {
    setObjectName(QStringLiteral("TrendPanel"));
    auto* layout = new QVBoxLayout(this);
    auto* controls = new QHBoxLayout;
    auto* windowLabel = new QLabel(this);
    windowLabel->setObjectName(QStringLiteral("TrendWindow"));
    TrendWindow = new QComboBox(this);
    TrendWindow->setObjectName(QStringLiteral("TrendWindowList"));
    for (int minutes : settings::TrendWindows) {
        TrendWindow->addItem(QString(), minutes);
    }
    windowLabel->setBuddy(TrendWindow);
    TrendHold = new QPushButton(this);
    TrendHold->setObjectName(QStringLiteral("TrendHold"));
    TrendHold->setCheckable(true);
    TrendPause = new QPushButton(this);
    TrendPause->setObjectName(QStringLiteral("TrendPause"));
    TrendPause->setCheckable(true);
    TrendExport = new QPushButton(this);
    TrendExport->setObjectName(QStringLiteral("TrendExport"));
    controls->addWidget(windowLabel);
    controls->addWidget(TrendWindow);
    controls->addWidget(TrendHold);
    controls->addWidget(TrendPause);
    controls->addStretch(1);
    controls->addWidget(TrendExport);
    layout->addLayout(controls);
    Plot = new TrendPlot(trend, this);
    layout->addWidget(Plot, 1);
    TrendFiguresLine = new QLabel(this);
    TrendFiguresLine->setObjectName(QStringLiteral("TrendFigures"));
    TrendFiguresLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(TrendFiguresLine);

    SetWindowMinutes(5);
    connect(TrendWindow, &QComboBox::activated, this, [this] {
        emit WindowChanged(WindowMinutes());
        Refresh();
    });
    connect(TrendHold, &QPushButton::toggled, this, [this] { Refresh(); });
    connect(TrendPause, &QPushButton::toggled, this, [this] { Refresh(); });
    connect(TrendExport, &QPushButton::clicked, this, &TrendPanel::ExportClicked);
    repaint_.setInterval(RepaintIntervalMs);
    connect(&repaint_, &QTimer::timeout, this, &TrendPanel::Refresh);
}

void TrendPanel::ApplyLanguage(int languageIndex) {
    language_ = languageIndex;
    ApplyTexts(this, texts::Trend(), languageIndex);
    setTitle(TextOf(texts::Trend(), u"TrendPanel", languageIndex));
    static const char* const keys[] = {"Window1", "Window5", "Window15"};
    for (int i = 0; i < TrendWindow->count() && i < int(std::size(keys)); ++i) {
        TrendWindow->setItemText(i, TextOf(texts::Trend(), QString::fromLatin1(keys[i]), languageIndex));
    }
    Plot->SetCaptions(TextOf(texts::Trend(), u"MarkZero", languageIndex),
                      TextOf(texts::Trend(), u"MarkFullScale", languageIndex),
                      TextOf(texts::Trend(), u"UnstableKey", languageIndex));
    TrendFiguresLine->setText(FiguresText());
}

int TrendPanel::WindowMinutes() const {
    return TrendWindow->currentData().toInt();
}

void TrendPanel::SetWindowMinutes(int minutes) {
    const int index = TrendWindow->findData(minutes);
    TrendWindow->setCurrentIndex(index >= 0 ? index : TrendWindow->findData(5));
}

bool TrendPanel::Paused() const {
    return TrendPause->isChecked();
}

bool TrendPanel::ScaleHeld() const {
    return TrendHold->isChecked();
}

void TrendPanel::showEvent(QShowEvent* event) {
    QGroupBox::showEvent(event);
    Refresh();
    repaint_.start();
}

void TrendPanel::hideEvent(QHideEvent* event) {
    QGroupBox::hideEvent(event);
    repaint_.stop();
}

void TrendPanel::Refresh() {
    ++refreshes_;
    if (!Paused() || toMs_ == 0) {
        toMs_ = clock_ ? clock_() : QDateTime::currentMSecsSinceEpoch();
    }
    fromMs_ = toMs_ - qint64(WindowMinutes()) * 60 * 1000;
    figures_ = trend_.Figures(fromMs_, toMs_);
    if (!ScaleHeld()) {
        range_ = figures_.count > 0 ? TrendPlot::AutoRange(figures_.min, figures_.max, division_)
                                    : TrendPlot::AutoRange(0, 0, division_);
    }
    Plot->Show(fromMs_, toMs_, range_, division_);
    const QString text = FiguresText();
    if (TrendFiguresLine->text() != text) {
        TrendFiguresLine->setText(text);
    }
}

QString TrendPanel::FiguresText() const {
    if (figures_.count == 0) {
        return TextOf(texts::Trend(), u"TrendNoReading", language_);
    }
    const int d = division_.decimals;
    return TextOf(texts::Trend(), u"TrendFigures", language_)
        .arg(Number(figures_.min, d), Number(figures_.max, d), Number(figures_.mean, d + 1),
             Number(figures_.spread, d + 1))
        .arg(figures_.count)
        .arg(figures_.unstable);
}
