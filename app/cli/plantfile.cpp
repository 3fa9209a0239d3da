#include "plantfile.h"

#include "cliargs.h"
#include "ports.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>

namespace plant {

namespace {

QString L(int language, const char* italian, const char* english) {
    return QString::fromUtf8(language == 1 ? english : italian);
}

constexpr char PlantSection[] = "plant";

struct Place {
    int line = 0;
    QString section;
    QString key;
};

} // namespace

QString DevicePath(const QString& value) {
    if (IsTcpDevice(value) || value.contains(QLatin1Char('/'))) {
        return value;
    }
    return QDir(QString::fromLatin1(StableNameDirectory)).filePath(value);
}

std::optional<PlantDef> ParsePlant(const QByteArray& content, const QString& fileName, QString* error,
                                   int language) {
    auto fail = [&](const Place& at, const QString& why) -> std::optional<PlantDef> {
        if (error) {
            // A fault of the whole file names no line of it.
            QString where = at.line > 0 ? QStringLiteral("%1:%2: ").arg(fileName).arg(at.line)
                                        : fileName + QStringLiteral(": ");
            if (!at.section.isEmpty()) {
                where += QStringLiteral("[%1] ").arg(at.section);
            }
            if (!at.key.isEmpty()) {
                where += at.key + QStringLiteral(": ");
            }
            *error = where + why;
        }
        return std::nullopt;
    };
    if (content.size() > MaxPlantFileBytes) {
        return fail({0, {}, {}}, L(language, "il file supera 1 MiB", "the file is larger than 1 MiB"));
    }
    const QString text = QString::fromUtf8(content);
    if (text.contains(QChar::ReplacementCharacter) || text.contains(QChar(0))) {
        return fail({0, {}, {}}, L(language, "non è un file di testo UTF-8", "it is not a UTF-8 text file"));
    }

    static const QRegularExpression sectionForm(QStringLiteral("^\\[([^\\]]*)\\]$"));
    static const QRegularExpression nameForm(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    PlantDef plant;
    QString section;                 // the section being read; empty before the first
    QHash<QString, int> sectionLine; // where each section starts
    QHash<QString, int> keyLine;     // where each key of the current section was given
    LineDef* current = nullptr;
    QList<Place> deviceGiven;

    const QStringList rows = text.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < rows.size(); ++n) {
        const int number = int(n + 1);
        QString row = rows.at(n);
        if (row.endsWith(QLatin1Char('\r'))) {
            row.chop(1);
        }
        row = row.trimmed();
        if (row.isEmpty() || row.startsWith(QLatin1Char('#')) || row.startsWith(QLatin1Char(';'))) {
            continue;
        }
        if (const QRegularExpressionMatch m = sectionForm.match(row); m.hasMatch()) {
            section = m.captured(1).trimmed();
            keyLine.clear();
            current = nullptr;
            if (section != QLatin1String(PlantSection)) {
                if (!nameForm.match(section).hasMatch() || section == QLatin1String(".") ||
                    section == QLatin1String("..") || section.size() > MaxLineName) {
                    return fail({number, section, {}},
                                L(language,
                                  "il nome di una linea è fatto di lettere, cifre, \"-\", \"_\" e \".\" "
                                  "(al più 64, non \".\" né \"..\")",
                                  "a line's name is letters, digits, \"-\", \"_\" and \".\" (at most 64, "
                                  "neither \".\" nor \"..\")"));
                }
            }
            // Folder names of the history must not clash on a file system that ignores case either.
            for (auto it = sectionLine.cbegin(); it != sectionLine.cend(); ++it) {
                if (it.key().compare(section, Qt::CaseInsensitive) == 0) {
                    return fail({number, section, {}}, L(language, "sezione già definita alla riga %1",
                                                         "the section is defined already on line %1")
                                                           .arg(it.value()));
                }
            }
            sectionLine.insert(section, number);
            if (section != QLatin1String(PlantSection)) {
                LineDef line;
                line.name = section;
                line.fileLine = number;
                plant.lines.append(line);
                current = &plant.lines.last();
            }
            continue;
        }
        const qsizetype equals = row.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            return fail({number, section, {}},
                        L(language, "né una sezione [NOME], né CHIAVE = VALORE, né un commento",
                          "neither a section [NAME], nor KEY = VALUE, nor a comment"));
        }
        const QString key = row.left(equals).trimmed();
        const QString value = row.mid(equals + 1).trimmed();
        const Place at{number, section, key};
        if (section.isEmpty()) {
            return fail(at, L(language, "chiave fuori da ogni sezione", "a key outside any section"));
        }
        if (keyLine.contains(key)) {
            return fail(
                at, L(language, "data due volte (la prima alla riga %1)", "given twice (first on line %1)")
                        .arg(keyLine.value(key)));
        }
        keyLine.insert(key, number);
        if (!current) {
            if (key != QLatin1String("language")) {
                return fail(at, L(language, "chiave sconosciuta (la sezione [plant] ha: language)",
                                  "unknown key (the section [plant] has: language)"));
            }
            if (value == QLatin1String("it") || value == QLatin1String("en")) {
                plant.language = value == QLatin1String("en") ? 1 : 0;
            } else {
                return fail(
                    at, L(language, "vuole it o en, non \"%1\"", "takes it or en, not \"%1\"").arg(value));
            }
            continue;
        }
        if (key == QLatin1String("device")) {
            QString host;
            quint16 port = 0;
            if (value.isEmpty() || (IsTcpDevice(value) && !ParseTcpDevice(value, host, port)) ||
                (value.contains(QLatin1Char('/')) && !IsTcpDevice(value) &&
                 !value.startsWith(QLatin1Char('/')))) {
                return fail(at,
                            L(language,
                              "vuole un percorso assoluto, un nome di /dev/serial/by-id o tcp://HOST:PORTA "
                              "(porta 1..65535), non \"%1\"",
                              "takes an absolute path, a name in /dev/serial/by-id or tcp://HOST:PORT "
                              "(port 1..65535), not \"%1\"")
                                .arg(value));
            }
            current->device = DevicePath(value);
            // Two lines on one device would talk over each other.
            for (const Place& other : deviceGiven) {
                const LineDef* same = nullptr;
                for (const LineDef& l : plant.lines) {
                    if (l.name == other.section) {
                        same = &l;
                    }
                }
                if (same && same->device == current->device) {
                    return fail(at, L(language, "\"%1\" è già il dispositivo della linea [%2] (riga %3)",
                                      "\"%1\" is the device of the line [%2] already (line %3)")
                                        .arg(value, other.section)
                                        .arg(other.line));
                }
            }
            deviceGiven.append(at);
        } else if (key == QLatin1String("local-echo")) {
            if (value == QLatin1String("yes") || value == QLatin1String("no")) {
                current->localEcho = value == QLatin1String("yes");
            } else {
                return fail(
                    at, L(language, "vuole yes o no, non \"%1\"", "takes yes or no, not \"%1\"").arg(value));
            }
        } else if (key == QLatin1String("timeout")) {
            static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
            const int ms = digits.match(value).hasMatch() ? value.toInt() : 0;
            if (ms < 1 || ms > 32767) {
                return fail(at, L(language, "vuole millisecondi 1..32767, non \"%1\"",
                                  "takes milliseconds 1..32767, not \"%1\"")
                                    .arg(value));
            }
            current->timeoutMs = ms;
        } else if (key == QLatin1String("addresses")) {
            if (value == QLatin1String("scan")) {
                current->addresses.clear();
            } else {
                QString why;
                const std::optional<QList<int>> list = ParseAddresses(value, &why, language);
                if (!list) {
                    return fail(at, why + L(language, " (oppure scan)", " (or scan)"));
                }
                current->addresses = *list;
            }
        } else {
            return fail(at, L(language,
                              "chiave sconosciuta (una linea ha: device, local-echo, timeout, addresses)",
                              "unknown key (a line has: device, local-echo, timeout, addresses)"));
        }
    }
    for (const LineDef& line : plant.lines) {
        if (line.device.isEmpty()) {
            return fail({line.fileLine, line.name, QStringLiteral("device")},
                        L(language, "manca: ogni linea ha il suo dispositivo",
                          "missing: every line needs its device"));
        }
    }
    if (plant.lines.isEmpty()) {
        return fail({0, {}, {}}, L(language, "nessuna linea: una sezione [NOME] per linea, con il suo device",
                                   "no line: one section [NAME] per line, with its device"));
    }
    return plant;
}

} // namespace plant
