#pragma once

// The options of quartel-cli verify:
//   --address N [--class I|II|III|IIII] [--in-service] [--unit g|kg|t] [--e VALUE] [--max VALUE]
//   [--plan FILE] [--yes] [--place-command CMD] [--stable-timeout S] [--info KEY=TEXT ...]
//   [--pdf FILE] [--csv FILE] [--json]

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <optional>

class QCommandLineParser;

struct VerifyOptions {
    QString accuracy = QStringLiteral("III");
    bool inService = false;
    QString unit = QStringLiteral("kg");
    QString e;   // empty: the instrument's division
    QString max; // empty: the instrument's capacity
    QString plan;
    bool yes = false;
    QString placeCommand;
    int stableTimeoutS = 10;
    QList<std::pair<QString, QString>> info; // customer, site, scale, weights, certificate, temperature,
                                             // technician
    QString pdf;
    QString csv;
    bool json = false;
};

// The options verify adds to the common ones.
QList<QCommandLineOption> VerifyOptionList();
// Reads them; the reason of a usage error otherwise.
std::optional<QString> ParseVerifyOptions(const QCommandLineParser& parser, VerifyOptions& out);
