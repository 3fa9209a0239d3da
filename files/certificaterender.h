#pragma once

// The certificate's PDF file, painted by the report's painter with the plot of the errors drawn in its room
// (QtGui, so the command line makes the same certificate without the screen's libraries; the default printer
// is in reportprint.h). Needs a QGuiApplication (offscreen will do).

#include "certificate.h"
#include "reportrender.h"

class QPainter;

// The plot of the errors (in e) against the load, with the ±MPE envelope, within `area`.
void PaintErrorPlot(QPainter& painter, const QRectF& area, const VerificationRecord& record,
                    int languageIndex);

ReportOutcome SaveCertificatePdf(const VerificationRecord& record, const QString& path, int languageIndex);
