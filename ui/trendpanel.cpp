#include "trendpanel.h"

#include "applytexts.h"
#include "texts_trend.h"
#include "trendaxis.h"
#include "viewsettings.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QColor CurveColour(0, 70, 200);
const QColor UnstableColour(240, 140, 0);
const QColor ZeroColour(200, 0, 0);
const QColor FullScaleColour(0, 140, 0);
// Slices of the window per pixel column of the plot: the lowest and the highest reading of each.
constexpr int SlicesPerColumn = 1;

} // namespace

TrendPanel::TrendPanel(const WeightTrend& trend, QWidget* parent) : QGroupBox(parent), trend_(trend) {
    setObjectName(QStringLiteral("TrendPanel"));
    // Opaque: a new figures line or curve repaints the panel only, never the screen behind it.
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    auto* controls = new QHBoxLayout;
    auto* windowLabel = new QLabel(this);
    windowLabel->setObjectName(QStringLiteral("TrendWindowLabel"));
    TrendWindow = new QComboBox(this);
    TrendWindow->setObjectName(QStringLiteral("TrendWindow"));
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

    chart_ = new QChart;
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    // Labels at round values, with a grid line at each (trendaxis.h); the values of the time axis are
    // milliseconds since the epoch.
    timeAxis_ = new QCategoryAxis(chart_);
    weightAxis_ = new QCategoryAxis(chart_);
    for (QCategoryAxis* axis : {timeAxis_, weightAxis_}) {
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    }
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(weightAxis_, Qt::AlignLeft);
    // Only for its entry in the legend: the unstable readings are drawn on the curve's points.
    unstable_ = new QScatterSeries(chart_);
    unstable_->setMarkerSize(7);
    unstable_->setColor(UnstableColour);
    unstable_->setBorderColor(UnstableColour);
    chart_->addSeries(unstable_);
    unstable_->attachAxis(timeAxis_);
    unstable_->attachAxis(weightAxis_);
    View = new QChartView(chart_, this);
    View->setObjectName(QStringLiteral("TrendChart"));
    View->setRenderHint(QPainter::Antialiasing, false);
    // The items move at every redraw: no index of them to keep up to date.
    View->scene()->setItemIndexMethod(QGraphicsScene::NoIndex);
    View->setMinimumHeight(180);
    layout->addWidget(View, 1);
    FiguresLine = new QLabel(this);
    FiguresLine->setObjectName(QStringLiteral("TrendFiguresLine"));
    FiguresLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(FiguresLine);

    SetWindowMinutes(5);
    connect(TrendWindow, &QComboBox::activated, this, [this] {
        repaint_.setInterval(TickMs());
        emit WindowChanged(WindowMinutes());
        Refresh();
    });
    connect(TrendHold, &QPushButton::toggled, this, [this] { Refresh(); });
    connect(TrendPause, &QPushButton::toggled, this, [this] { Refresh(); });
    connect(TrendExport, &QPushButton::clicked, this, &TrendPanel::ExportClicked);
    repaint_.setInterval(TickMs());
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
    unstable_->setName(TextOf(texts::Trend(), u"UnstableKey", languageIndex));
    zeroCaption_ = TextOf(texts::Trend(), u"MarkZero", languageIndex);
    fullScaleCaption_ = TextOf(texts::Trend(), u"MarkFullScale", languageIndex);
    ShowMarks();
    FiguresLine->setText(FiguresText());
}

void TrendPanel::SetDivision(const TrendDivision& division) {
    if (division.decimals == division_.decimals && division.step == division_.step) {
        return; // the chart is laid out again only for a new division
    }
    division_ = division;
    weightTicks_ = {};
}

void TrendPanel::ShowTicks(QCategoryAxis* axis, const AxisTicks& ticks, AxisTicks& shown) {
    // The labels are laid out again only when they change.
    bool same = ticks.ticks.size() == shown.ticks.size();
    for (qsizetype i = 0; same && i < ticks.ticks.size(); ++i) {
        same = ticks.ticks[i].value == shown.ticks[i].value && ticks.ticks[i].label == shown.ticks[i].label;
    }
    if (same) {
        return;
    }
    shown = ticks;
    for (const QString& label : axis->categoriesLabels()) {
        axis->remove(label);
    }
    // The first boundary on the first label: every grid line has its label.
    if (!ticks.ticks.isEmpty()) {
        axis->setStartValue(ticks.ticks.first().value);
    }
    for (const AxisTick& tick : ticks.ticks) {
        axis->append(tick.label, tick.value);
    }
}

int TrendPanel::WindowMinutes() const {
    return TrendWindow->currentData().toInt();
}

void TrendPanel::SetWindowMinutes(int minutes) {
    const int index = TrendWindow->findData(minutes);
    TrendWindow->setCurrentIndex(index >= 0 ? index : TrendWindow->findData(5));
    repaint_.setInterval(TickMs());
}

int TrendPanel::TickMs() const {
    return std::max(RepaintIntervalMs, WindowMinutes() * 60 * 1000 / WindowTicks);
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

QPixmap TrendPanel::Picture() {
    return View->grab();
}

void TrendPanel::Refresh() {
    ++refreshes_;
    if (!Paused() || toMs_ == 0) {
        toMs_ = clock_ ? clock_() : QDateTime::currentMSecsSinceEpoch();
    }
    fromMs_ = toMs_ - qint64(WindowMinutes()) * 60 * 1000;
    figures_ = trend_.Figures(fromMs_, toMs_);
    if (!ScaleHeld()) {
        range_ = figures_.count > 0 ? TrendAutoRange(figures_.min, figures_.max, division_.step)
                                    : TrendAutoRange(0, 0, division_.step);
    }
    curve_ = trend_.Curve(fromMs_, toMs_, std::max(1, int(chart_->plotArea().width())) * SlicesPerColumn);
    timeAxis_->setRange(double(fromMs_), double(toMs_));
    weightAxis_->setRange(range_.low, range_.high);
    const int offset = QDateTime::fromMSecsSinceEpoch(toMs_).offsetFromUtc();
    ShowTicks(timeAxis_, TimeAxisTicks(fromMs_, toMs_, offset), timeTicks_);
    ShowTicks(weightAxis_, WeightAxisTicks(range_.low, range_.high, division_.step, division_.decimals),
              weightTicks_);
    ShowCurve();
    ShowMarks();
    const QString text = FiguresText();
    if (FiguresLine->text() != text) {
        FiguresLine->setText(text);
    }
}

void TrendPanel::ShowCurve() {
    while (stretches_.size() < curve_.stretches.size()) {
        auto* series = new QLineSeries(chart_);
        series->setPen(QPen(CurveColour, 2));
        chart_->addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(weightAxis_);
        // One entry in the legend is enough for the whole curve: it has none.
        for (QLegendMarker* marker : chart_->legend()->markers(series)) {
            marker->setVisible(false);
        }
        stretches_.append(series);
    }
    // The unstable readings are dots on the curve's own points (painted with the line, no item each);
    // both lists run in time order.
    const QHash<QXYSeries::PointConfiguration, QVariant> dot{
        {QXYSeries::PointConfiguration::Visibility, true},
        {QXYSeries::PointConfiguration::Color, UnstableColour},
        {QXYSeries::PointConfiguration::Size, 4.0}};
    // The legend names what the chart shows: the unstable readings only when there are some.
    for (QLegendMarker* marker : chart_->legend()->markers(unstable_)) {
        marker->setVisible(!curve_.unstable.isEmpty());
    }
    qsizetype next = 0;
    for (int i = 0; i < stretches_.size(); ++i) {
        QHash<int, QHash<QXYSeries::PointConfiguration, QVariant>> dots;
        if (i < curve_.stretches.size()) {
            const QList<QPointF>& points = curve_.stretches[i];
            stretches_[i]->replace(points);
            for (int p = 0; p < points.size() && next < curve_.unstable.size(); ++p) {
                if (points[p] == curve_.unstable[next]) {
                    dots.insert(p, dot);
                    ++next;
                }
            }
        } else if (stretches_[i]->count() > 0) {
            stretches_[i]->clear();
        }
        if (!dots.isEmpty() || !stretches_[i]->pointsConfiguration().isEmpty()) {
            stretches_[i]->setPointsConfiguration(dots);
        }
    }
}

bool TrendPanel::UnstableInLegend() const {
    const QList<QLegendMarker*> markers = chart_->legend()->markers(unstable_);
    return !markers.isEmpty() && markers.first()->isVisible();
}

void TrendPanel::ShowMarks() {
    QList<const TrendMark*> shown;
    for (const TrendMark& mark : trend_.Marks()) {
        if (mark.ms >= fromMs_ && mark.ms <= toMs_) {
            shown.append(&mark);
        }
    }
    while (marks_.size() < shown.size()) {
        auto* series = new QLineSeries(chart_);
        chart_->addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(weightAxis_);
        marks_.append(series);
    }
    bool zeroNamed = false;
    bool fullScaleNamed = false;
    for (int i = 0; i < marks_.size(); ++i) {
        QLineSeries* series = marks_[i];
        if (i >= shown.size()) {
            series->clear();
            for (QLegendMarker* marker : chart_->legend()->markers(series)) {
                marker->setVisible(false);
            }
            continue;
        }
        const TrendMark& mark = *shown[i];
        const bool zero = mark.kind == TrendMarkKind::Zero;
        series->setPen(QPen(zero ? ZeroColour : FullScaleColour, 2, Qt::DashLine));
        series->setName(zero ? zeroCaption_ : fullScaleCaption_);
        series->replace(QList<QPointF>{QPointF(double(mark.ms), weightAxis_->min()),
                                       QPointF(double(mark.ms), weightAxis_->max())});
        // Each kind once in the legend.
        bool& named = zero ? zeroNamed : fullScaleNamed;
        for (QLegendMarker* marker : chart_->legend()->markers(series)) {
            marker->setVisible(!named);
        }
        named = true;
    }
}

QString TrendPanel::Number(double value, int decimals) const {
    if (value == 0) {
        value = 0; // no "-0.00"
    }
    return QString::number(value, 'f', std::clamp(decimals, 0, 6));
}

QString TrendPanel::FiguresText() const {
    if (figures_.count == 0) {
        return TextOf(texts::Trend(), u"TrendNoReading", language_);
    }
    const int d = division_.decimals;
    return TextOf(texts::Trend(), u"FiguresLine", language_)
        .arg(Number(figures_.min, d), Number(figures_.max, d), Number(figures_.mean, d + 1),
             Number(figures_.spread, d + 1))
        .arg(figures_.count)
        .arg(figures_.unstable);
}
