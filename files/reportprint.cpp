#include "reportprint.h"

#include "texts_report.h"
#include "texts_verify.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace {

QString ReportWord(const char* key, int languageIndex) {
    return TextOf(texts::Report(), QString::fromLatin1(key), languageIndex);
}

// The lines on the default printer, as the document `title`; the reason is in the language asked for.
ReportOutcome PrintLines(const QList<ReportLine>& lines, const QString& title, int languageIndex,
                         const ReportFigure& figure = {}) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        return {false, ReportWord("NoPrinter", languageIndex)};
    }
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(title);
    // A printer that Qt can only turn into a file would print nowhere.
    if (!printer.isValid() || printer.outputFormat() != QPrinter::NativeFormat) {
        return {false, ReportWord("NoPrinter", languageIndex)};
    }
    if (!PaintReport(printer, lines, figure) || printer.printerState() == QPrinter::Error ||
        printer.printerState() == QPrinter::Aborted) {
        return {false, ReportWord("PrinterRefused", languageIndex)};
    }
    return {true, {}};
}

} // namespace

ReportOutcome PrintReport(const QList<ReportLine>& lines, int languageIndex) {
    return PrintLines(lines, ReportWord("Title", languageIndex).trimmed(), languageIndex);
}

ReportOutcome PrintCertificate(const VerificationRecord& record, int languageIndex) {
    return PrintLines(
        CertificateLines(record, languageIndex), TextOf(texts::Verification(), u"Title", languageIndex),
        languageIndex,
        [&](QPainter& p, const QRectF& area) { PaintErrorPlot(p, area, record, languageIndex); });
}
