#include "reportrender.h"

#include "texts_report.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

// Room around the report on a PDF page: a line of 86 columns at 10 points fits an A4 page.
constexpr qreal PdfMarginMm = 10;
constexpr int PdfResolution = 600;

QString Word(const char* key, int languageIndex) {
    return TextOf(texts::Report(), QString::fromLatin1(key), languageIndex);
}

bool EqualAdvances(const QFont& font) {
    // Every character a report prints (ASCII and the accented letters of the Italian captions) as wide
    // as every other, in the plain and the bold face. The font's own fixed-pitch flag is not trusted:
    // some monospaced families do not set it, and a stand-in for a missing family may lack the pitch.
    static const QString probe = [] {
        QString text;
        for (char16_t c = 0x20; c < 0x7f; ++c) {
            text += QChar(c);
        }
        return text + QStringLiteral("àèéìòùÀÈ");
    }();
    for (bool bold : {false, true}) {
        QFont face = font;
        face.setBold(bold);
        const QFontMetricsF metrics(face);
        const qreal width = metrics.horizontalAdvance(QLatin1Char('M'));
        for (const QChar c : probe) {
            if (width <= 0 || qAbs(metrics.horizontalAdvance(c) - width) > width / 100) {
                return false;
            }
        }
    }
    return true;
}

QFont ChooseReportFamily() {
    // "Courier New" where it is installed (or whatever stands in for it with equal advances), then the
    // packaged DejaVu Sans Mono, then the system's fixed font.
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (EqualAdvances(font)) {
        return font;
    }
    for (const QFont& other :
         {QFont(QStringLiteral("DejaVu Sans Mono")), QFontDatabase::systemFont(QFontDatabase::FixedFont)}) {
        if (EqualAdvances(other)) {
            return other;
        }
    }
    return font;
}

} // namespace

QFont ReportFont(int points, bool bold) {
    static const QFont family = ChooseReportFamily();
    QFont font = family;
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

bool PaintReport(QPagedPaintDevice& device, const QList<ReportLine>& lines, const ReportFigure& figure) {
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    // Columns are characters of the body font.
    const qreal column =
        QFontMetricsF(ReportFont(ReportLine::BodyPoints, false), &device).horizontalAdvance(QLatin1Char('X'));
    const qreal pageHeight = device.height();
    qreal y = 0;
    for (const ReportLine& line : lines) {
        const QFontMetricsF metrics(ReportFont(line.points, false), &device);
        const qreal height =
            line.figureLines > 0 ? line.figureLines * metrics.lineSpacing() : metrics.height();
        if (y > 0 && y + height > pageHeight) {
            device.newPage();
            y = 0;
        }
        if (line.figureLines > 0) {
            if (figure) {
                painter.save();
                figure(painter, QRectF(0, y, device.width(), height));
                painter.restore();
            }
            y += height;
            continue;
        }
        for (const ReportRun& run : line.runs) {
            painter.setFont(ReportFont(line.points, run.bold));
            painter.drawText(QPointF((run.column - 1) * column, y + metrics.ascent()), run.text);
        }
        y += metrics.lineSpacing();
    }
    return painter.end();
}

namespace {
bool WritePdf(QIODevice& file, const QList<ReportLine>& lines, int languageIndex, const ReportFigure& figure,
              const QString& title) {
    QPdfWriter writer(&file);
    writer.setTitle(title.isEmpty() ? Word("Title", languageIndex).trimmed() : title);
    writer.setResolution(PdfResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(PdfMarginMm, PdfMarginMm, PdfMarginMm, PdfMarginMm),
                                     QPageLayout::Millimeter));
    return PaintReport(writer, lines, figure);
}
} // namespace

QByteArray ReportPdfBytes(const QList<ReportLine>& lines, int languageIndex) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return WritePdf(buffer, lines, languageIndex, {}, {}) ? buffer.data() : QByteArray();
}

ReportOutcome SaveReportPdf(const QList<ReportLine>& lines, const QString& path, int languageIndex,
                            const ReportFigure& figure, const QString& title) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, file.errorString()};
    }
    if (!WritePdf(file, lines, languageIndex, figure, title)) {
        file.cancelWriting();
        return {false, file.errorString()};
    }
    if (!file.commit()) {
        return {false, file.errorString()};
    }
    return {true, {}};
}
