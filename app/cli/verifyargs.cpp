#include "verifyargs.h"

#include "verification.h"

#include <QCommandLineParser>

namespace {

const QStringList InfoKeys{QStringLiteral("customer"),    QStringLiteral("site"),
                           QStringLiteral("scale"),       QStringLiteral("weights"),
                           QStringLiteral("certificate"), QStringLiteral("temperature"),
                           QStringLiteral("technician")};

QCommandLineOption Option(const char* name, const char* description, const char* value = nullptr) {
    return value ? QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(description),
                                      QString::fromLatin1(value))
                 : QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(description));
}

} // namespace

QList<QCommandLineOption> VerifyOptionList() {
    return {
        Option("class", "Accuracy class: I, II, III (default) or IIII.", "I|II|III|IIII"),
        Option("in-service", "In-service inspection (twice the MPE) instead of an initial verification."),
        Option("unit", "Weight unit of the indication: g, kg (default) or t.", "g|kg|t"),
        Option("e", "Verification scale interval (default: the instrument's division).", "VALUE"),
        Option("max", "Max, the capacity under test (default: the instrument's capacity).", "VALUE"),
        Option("plan",
               "Plan file: one step a line, weighing,LOAD or eccentricity,LOAD,POSITION (0 centre, "
               "1..4) or repeatability,LOAD (default: the usual plan of the class).",
               "FILE"),
        Option("yes", "Asks nothing: each load is taken as placed (scripted runs)."),
        Option("place-command",
               "Runs CMD (with sh -c) before each step, with QUARTEL_ADDRESS, QUARTEL_LOAD, "
               "QUARTEL_DIVISIONS and QUARTEL_POSITION in its environment, e.g. to place the "
               "load on quartel-sim (its command \"load ADDR:DIVISIONS@POSITION\").",
               "CMD"),
        Option("stable-timeout", "Seconds to wait for a stable reading, 1..600 (default 10).", "S"),
        Option("info",
               "A header field of the certificate (repeatable): customer, site, scale, weights, "
               "certificate, temperature or technician.",
               "KEY=TEXT"),
        Option("pdf", "Writes the certificate as a PDF file.", "FILE"),
        Option("csv", "Writes the readings as CSV to FILE.", "FILE"),
        Option("json", "Prints the whole verification as one JSON object instead of the table."),
    };
}

std::optional<QString> ParseVerifyOptions(const QCommandLineParser& parser, VerifyOptions& o) {
    if (parser.isSet(QStringLiteral("class"))) {
        o.accuracy = parser.value(QStringLiteral("class")).toUpper();
        if (!verify::ClassFromName(o.accuracy)) {
            return QStringLiteral("--class takes I, II, III or IIII, not \"%1\"").arg(o.accuracy);
        }
    }
    o.inService = parser.isSet(QStringLiteral("in-service"));
    if (parser.isSet(QStringLiteral("unit"))) {
        o.unit = parser.value(QStringLiteral("unit"));
        if (!verify::UnitFromSymbol(o.unit)) {
            return QStringLiteral("--unit takes g, kg or t, not \"%1\"").arg(o.unit);
        }
    }
    for (const char* name : {"e", "max"}) {
        const QString text = parser.value(QString::fromLatin1(name));
        bool ok = true;
        if (!text.isEmpty() && (text.toDouble(&ok) <= 0 || !ok)) {
            return QStringLiteral("--%1 takes a weight above 0, not \"%2\"").arg(QLatin1String(name), text);
        }
        (name[0] == 'e' ? o.e : o.max) = text;
    }
    o.plan = parser.value(QStringLiteral("plan"));
    o.yes = parser.isSet(QStringLiteral("yes"));
    o.placeCommand = parser.value(QStringLiteral("place-command"));
    if (parser.isSet(QStringLiteral("stable-timeout"))) {
        bool ok = false;
        o.stableTimeoutS = parser.value(QStringLiteral("stable-timeout")).toInt(&ok);
        if (!ok || o.stableTimeoutS < 1 || o.stableTimeoutS > 600) {
            return QStringLiteral("--stable-timeout takes seconds 1..600");
        }
    }
    for (const QString& item : parser.values(QStringLiteral("info"))) {
        const QString key = item.section(QLatin1Char('='), 0, 0).trimmed().toLower();
        if (!item.contains(QLatin1Char('=')) || !InfoKeys.contains(key)) {
            return QStringLiteral("--info takes KEY=TEXT, KEY one of %1, not \"%2\"")
                .arg(InfoKeys.join(QStringLiteral(", ")), item);
        }
        o.info << std::pair{key, item.section(QLatin1Char('='), 1)};
    }
    o.pdf = parser.value(QStringLiteral("pdf"));
    o.csv = parser.value(QStringLiteral("csv"));
    o.json = parser.isSet(QStringLiteral("json"));
    return std::nullopt;
}
