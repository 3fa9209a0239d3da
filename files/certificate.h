#pragma once

// The verification certificate: the header the technician fills in, the instrument's configuration,
// the rules applied, every step with its figures, the plot of the errors, the verdict, the date and a
// signature line; built as lines of the configuration report's kind (QtCore), painted by the report's
// painter (certificaterender.h). Beside it the readings as CSV and as JSON.

#include "report.h"
#include "verification.h"

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QString>

struct CertificateHeader {
    QString customer;
    QString site;
    QString scale; // the scale's identity
    QString weights;
    QString weightsCertificate;
    QString temperature;
    QString technician;
};

// The instrument's configuration as it said it: texts as shown on the main setup screen.
struct InstrumentSummary {
    int model = 0; // 1 VXA, 2 VXB
    int address = 0;
    QString version;
    QString capacity;
    QString division;
    QString sensitivity;
};

struct VerificationRecord {
    CertificateHeader header;
    InstrumentSummary instrument;
    verify::Scale scale;
    QList<verify::Step> plan;
    QList<verify::Reading> readings;
    QDate date;
};

// The certificate in the language of `languageIndex` (1 English, else Italian): the header, the
// instrument, the rules, the verdict, the plot (one line keeps room for it), every step, the date and the
// signature line.
QList<ReportLine> CertificateLines(const VerificationRecord& record, int languageIndex);
// The plot's share of a page, in body lines.
inline constexpr int CertificatePlotLines = 22;

// The readings, one CSV row a step after a head row: step, test, position, load, indication, ΔL,
// error, error in e, MPE, result ("pass", "fail", empty when not read). Lines end in CR LF.
QString CertificateCsv(const VerificationRecord& record);

// The whole verification as one JSON object: scale, steps with their figures, series, verdict.
QJsonObject CertificateJson(const VerificationRecord& record);

// The proposed file name: verification-addrNN-YYYY-MM-DD.pdf (Italian: verifica-indNN-...).
QString CertificateFileName(int address, const QDate& date, int languageIndex);

// A step's test and position, as the certificate names them ("Eccentricity 3", "Weighing").
QString StepName(const verify::Step& step, int languageIndex);
// An error with its sign: "+0.5", "-1.0", "0.0".
QString SignedText(double value, int decimals);
