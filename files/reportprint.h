#pragma once

// The report's and the certificate's way to the system's default printer, apart from their PDF files:
// the printer needs QtPrintSupport, which brings the widget library with it, so only the screens link
// this; the command line makes its PDF files with QtGui alone.

#include "certificaterender.h"
#include "reportrender.h"

// Sends the report to the system's default printer at its highest resolution, without a dialog.
ReportOutcome PrintReport(const QList<ReportLine>& lines, int languageIndex);

// Sends the certificate, with its plot of the errors, to the default printer in the same way.
ReportOutcome PrintCertificate(const VerificationRecord& record, int languageIndex);
