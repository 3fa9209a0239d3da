#include "certificaterender.h"

#include "texts_verify.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

using namespace verify;

namespace {

constexpr int PlotPoints = 8;

QString Word(const char* key, int language) {
    return TextOf(texts::Verification(), QString::fromLatin1(key), language);
}

} // namespace

void PaintErrorPlot(QPainter& p, const QRectF& area, const VerificationRecord& rec, int language) {
    const Scale& s = rec.scale;
    if (s.e <= 0 || s.max <= 0) {
        return;
    }
    const Outcome out = Judge(s, rec.plan, rec.readings);
    const QFont font = ReportFont(PlotPoints, false);
    p.setFont(font);
    const QFontMetricsF fm(font, p.device());
    const double n = s.max / s.e;
    // The vertical scale: the largest MPE over the range, or the largest error, with some room.
    double top = MpeInE(s.accuracy, s.inspection, n);
    for (const StepResult& r : out.steps) {
        if (r.judged) {
            top = std::max(top, std::abs(r.errorInE));
        }
    }
    top = std::ceil(top * 1.25 * 2) / 2;
    const QString topText = QStringLiteral("+%1 e").arg(top);
    const QRectF plot = area.adjusted(fm.horizontalAdvance(topText + QStringLiteral("  ")), fm.height() / 2,
                                      -fm.horizontalAdvance(QStringLiteral("MM")), -2.5 * fm.height());
    const auto at = [&](double loadInE, double errorInE) {
        return QPointF(plot.left() + plot.width() * loadInE / n,
                       plot.center().y() - plot.height() / 2 * errorInE / top);
    };
    const qreal pen = fm.height() / 12;
    p.setPen(QPen(Qt::black, pen));
    p.drawRect(plot);
    p.setPen(QPen(Qt::gray, pen / 2, Qt::DotLine));
    p.drawLine(at(0, 0), at(n, 0));
    // The envelope: ±MPE, a step at each change point of the class.
    QList<double> bounds{0};
    for (double c : ChangePointsInE(s.accuracy)) {
        if (c < n) {
            bounds << c;
        }
    }
    bounds << n;
    p.setPen(QPen(Qt::red, pen, Qt::DashLine));
    for (int sign : {1, -1}) {
        QPainterPath path;
        for (qsizetype i = 0; i + 1 < bounds.size(); ++i) {
            const double mpe = sign * MpeInE(s.accuracy, s.inspection, (bounds[i] + bounds[i + 1]) / 2);
            if (i == 0) {
                path.moveTo(at(bounds[i], mpe));
            } else {
                path.lineTo(at(bounds[i], mpe));
            }
            path.lineTo(at(bounds[i + 1], mpe));
        }
        p.drawPath(path);
    }
    // The errors: a dot for a step that passed, a cross for one that failed.
    const qreal r = fm.height() / 4;
    for (qsizetype i = 0; i < rec.plan.size(); ++i) {
        const StepResult& res = out.steps[i];
        if (!res.judged) {
            continue;
        }
        const QPointF c = at(rec.plan[i].load / s.e, res.errorInE);
        if (res.pass) {
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawEllipse(c, r, r);
        } else {
            p.setPen(QPen(Qt::red, pen * 2));
            p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
            p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        }
    }
    // The scales' texts.
    p.setPen(Qt::black);
    const qreal gap = fm.horizontalAdvance(QLatin1Char(' '));
    const auto leftOf = [&](const QString& text, double errorInE) {
        p.drawText(
            QPointF(plot.left() - gap - fm.horizontalAdvance(text), at(0, errorInE).y() + fm.ascent() / 2),
            text);
    };
    leftOf(topText, top);
    leftOf(QStringLiteral("0"), 0);
    leftOf(QStringLiteral("-%1 e").arg(top), -top);
    const qreal below = plot.bottom() + fm.ascent() + fm.descent();
    p.drawText(QPointF(plot.left(), below), QStringLiteral("0"));
    const QString maxText = s.Format(s.max) + QLatin1Char(' ') + UnitSymbol(s.unit);
    p.drawText(QPointF(plot.right() - fm.horizontalAdvance(maxText), below), maxText);
    const QString axis = Word("PlotLoad", language) + QStringLiteral(" (") + UnitSymbol(s.unit) +
                         QStringLiteral(") / ") + Word("PlotError", language) + QStringLiteral(" (e)");
    p.drawText(QPointF(plot.center().x() - fm.horizontalAdvance(axis) / 2, below + fm.lineSpacing()), axis);
}

ReportOutcome SaveCertificatePdf(const VerificationRecord& record, const QString& path, int languageIndex) {
    return SaveReportPdf(
        CertificateLines(record, languageIndex), path, languageIndex,
        [&](QPainter& p, const QRectF& area) { PaintErrorPlot(p, area, record, languageIndex); },
        Word("Title", languageIndex));
}
