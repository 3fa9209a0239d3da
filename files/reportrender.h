#pragma once

// The configuration report's painter and its PDF file (QtGui only; the default printer is in
// reportprint.h). The report is printed in "Courier New"; where the system has no fixed-pitch font of that
// name its own fixed-pitch font stands in, so the columns line up all the same. Needs a
// QGuiApplication (the offscreen platform will do).

#include "report.h"

#include <QFont>
#include <QRectF>
#include <QString>

#include <functional>

class QPagedPaintDevice;
class QPainter;

// Draws the figure of a line that keeps room for one, within the rectangle given (device units).
using ReportFigure = std::function<void(QPainter&, const QRectF&)>;

// The report's font at `points`, bold or not.
QFont ReportFont(int points, bool bold);

// Paints the lines on a paged device, a new page whenever one is full; false when the device refuses
// the painter. The painter is ended, so the device has the whole document when this returns.
bool PaintReport(QPagedPaintDevice& device, const QList<ReportLine>& lines, const ReportFigure& figure = {});

struct ReportOutcome {
    bool ok = false;
    QString reason; // why not, in the language asked for
};

// The report as the bytes of a PDF document (empty when it could not be painted).
QByteArray ReportPdfBytes(const QList<ReportLine>& lines, int languageIndex);

// Writes the report as a PDF file; a file that exists is replaced only once the new one is complete.
// `title`: the document's title, the report's own when empty.
ReportOutcome SaveReportPdf(const QList<ReportLine>& lines, const QString& path, int languageIndex,
                            const ReportFigure& figure = {}, const QString& title = {});
