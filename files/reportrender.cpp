#include "reportrender.h"

#include "texts_report.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

namespace {

// Room around the report on a PDF page: a line of 86 columns at 10 points fits an A4 page.
constexpr qreal PdfMarginMm = 10;
constexpr int PdfResolution = 600;

QString Word(const char* key, int languageIndex) {
    return TextOf(texts::Report(), QString::fromLatin1(key), languageIndex);
}

} // namespace

QFont ReportFont(int points, bool bold) {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    }
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

bool PaintReport(QPagedPaintDevice& device, const QList<ReportLine>& lines) {
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
        if (y > 0 && y + metrics.height() > pageHeight) {
            device.newPage();
            y = 0;
        }
        for (const ReportRun& run : line.runs) {
            painter.setFont(ReportFont(line.points, run.bold));
            painter.drawText(QPointF((run.column - 1) * column, y + metrics.ascent()), run.text);
        }
        y += metrics.lineSpacing();
    }
    return painter.end();
}

ReportOutcome PrintReport(const QList<ReportLine>& lines, int languageIndex) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        return {false, Word("NoPrinter", languageIndex)};
    }
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(Word("Title", languageIndex).trimmed());
    // A printer that Qt can only turn into a file would print nowhere.
    if (!printer.isValid() || printer.outputFormat() != QPrinter::NativeFormat) {
        return {false, Word("NoPrinter", languageIndex)};
    }
    if (!PaintReport(printer, lines) || printer.printerState() == QPrinter::Error ||
        printer.printerState() == QPrinter::Aborted) {
        return {false, Word("PrinterRefused", languageIndex)};
    }
    return {true, {}};
}

ReportOutcome SaveReportPdf(const QList<ReportLine>& lines, const QString& path, int languageIndex) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, file.errorString()};
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(Word("Title", languageIndex).trimmed());
        writer.setResolution(PdfResolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(PdfMarginMm, PdfMarginMm, PdfMarginMm, PdfMarginMm),
                                         QPageLayout::Millimeter));
        if (!PaintReport(writer, lines)) {
            file.cancelWriting();
            return {false, file.errorString()};
        }
    }
    if (!file.commit()) {
        return {false, file.errorString()};
    }
    return {true, {}};
}
