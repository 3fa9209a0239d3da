#include "cliargs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

namespace {

struct CommandDef {
    CliCommand command;
    const char* name;
    const char* usage;       // after "quartel-cli NAME "
    const char* description; // one or more lines
};

constexpr CommandDef Commands[] = {
    {CliCommand::Scan, "scan", "[--addresses 1-32] [--json] [options]",
     "Polls each address as the start-up screen does (division code, status byte, weight) and prints\n"
     "address, model, division, weight and status of every instrument that answers."},
    {CliCommand::Watch, "watch",
     "--address N [--count K] [--duration T] [--view net|gross|peak] [--json] [--stats] [--csv FILE|-] "
     "[options]",
     "Prints one line per pass with the live weight, the instrument's status texts and the lamps, as the\n"
     "upper band of the main setup screen shows them. With --csv, writes the weight log of the main\n"
     "setup screen (one CSV row per new reading) to FILE, or instead of the lines to standard output."},
    {CliCommand::Backup, "backup", "(--address N FILE.stp | --all DIR) [options]",
     "Reads the whole configuration and writes the setup file and its model file (FILE.typ), as the\n"
     "main setup screen's save does. With --all, every answering address of the line is backed up into\n"
     "DIR as quartel-NN.stp and quartel-NN.typ (NN the address)."},
    {CliCommand::Restore, "restore", "--address N|A-B FILE.stp [--store] [options]",
     "Loads the setup file into the instrument group by group, as the main setup screen's load does, and\n"
     "prints each group's result. Without --store the instrument keeps the values until it restarts;\n"
     "with --store it stores them (command 0x0020). A range of addresses is restored one after the other.\n"
     "A file of another model than the instrument's (asked of it unless --model is given) or a short\n"
     "file is refused before anything is written."},
    {CliCommand::Report, "report",
     "(--address N | FILE.stp) (--pdf OUT.pdf | --text) [--notes TEXT] [options]",
     "The configuration report of a live instrument (after a full read) or of a setup file, as a PDF\n"
     "file or as plain text on standard output."},
    {CliCommand::Diff, "diff", "(--address N FILE.stp | A.stp B.stp) [--json] [options]",
     "Compares a live instrument (after the same full read as a backup) with a setup file, or two setup\n"
     "files: one line per parameter that differs (its caption, the value in each), then the count.\n"
     "Values are compared as the instrument holds them. Exit status 0: the same; 1: they differ; 2: an\n"
     "error (files of different models, a file the load refuses, no answer, a wrong command line)."},
    {CliCommand::Verify, "verify",
     "--address N [--class C] [--in-service] [--unit U] [--e E] [--max MAX] [--plan FILE] [--yes] "
     "[--place-command CMD] [--pdf FILE] [--csv FILE] [--json] [options]",
     "Verifies the scale with test weights: for each step of the plan it asks for the load (or with\n"
     "--yes takes it as placed), waits for a stable gross reading and judges the error against the\n"
     "maximum permissible error of the accuracy class (OIML R 76-1). Writes the certificate with --pdf.\n"
     "Exit status 0: the scale passed; 1: it failed; 2: trouble (no stable reading, no answer, a wrong\n"
     "command line)."},
};

const CommandDef* FindCommand(const QString& name) {
    for (const CommandDef& def : Commands) {
        if (name == QLatin1String(def.name)) {
            return &def;
        }
    }
    return nullptr;
}

QString Opt(const char* name) {
    return QString::fromLatin1(name);
}

bool ParseInt(const QString& text, int min, int max, int& out) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < min || value > max) {
        return false;
    }
    out = value;
    return true;
}

ParsedCli Usage(const QString& reason) {
    ParsedCli parsed;
    parsed.exitNow = 2;
    parsed.message = reason;
    return parsed;
}

} // namespace

std::optional<qint64> ParseDuration(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,7})([smh]?)$"));
    const QRegularExpressionMatch match = form.match(text.trimmed().toLower());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QString unit = match.captured(2);
    const qint64 seconds = match.captured(1).toLongLong() * (unit == QLatin1String("h")   ? 3600
                                                             : unit == QLatin1String("m") ? 60
                                                                                          : 1);
    if (seconds < 1 || seconds > 100 * 3600) {
        return std::nullopt;
    }
    return seconds * 1000;
}

std::optional<QList<int>> ParseAddresses(const QString& text, QString* error) {
    auto fail = [&](const QString& why) -> std::optional<QList<int>> {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    const auto address = [](const QString& part, int& out) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
        const QString t = part.trimmed();
        return digits.match(t).hasMatch() && ParseInt(t, FirstAddress, LastAddress, out);
    };
    const QString range = QStringLiteral("%1-%2").arg(FirstAddress).arg(LastAddress);
    QList<int> out;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& part : parts) {
        const qsizetype dash = part.indexOf(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        if (dash < 0) {
            if (!address(part, first)) {
                return fail(QStringLiteral("\"%1\" is not an address %2").arg(part.trimmed(), range));
            }
            last = first;
        } else {
            if (!address(part.left(dash), first) || !address(part.mid(dash + 1), last)) {
                return fail(QStringLiteral("\"%1\" is not a range of addresses within %2")
                                .arg(part.trimmed(), range));
            }
            if (first > last) {
                return fail(QStringLiteral("the range \"%1\" runs backwards").arg(part.trimmed()));
            }
        }
        for (int a = first; a <= last; ++a) {
            if (!out.contains(a)) {
                out.append(a);
            }
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

QString CliHelp() {
    QString help =
        QStringLiteral("Usage: quartel-cli COMMAND [options]\n"
                       "Configuration of Quartel weighing transmitters from a terminal (MODBUS ASCII).\n\n"
                       "Commands:\n");
    for (const CommandDef& def : Commands) {
        help += QStringLiteral("  %1 %2\n").arg(QLatin1String(def.name), QLatin1String(def.usage));
    }
    help += QStringLiteral(
        "\nCommon options:\n"
        "  --device PATH      serial device to use (default: the port number of prog.ini)\n"
        "  --settings-dir DIR directory of prog.ini (default: as quartel-setup)\n"
        "  --timeout MS       reply time-out in milliseconds (default: prog.ini's)\n"
        "  --demo             simulated line with a VXA at address 1 and a VXB at address 2\n"
        "  --lang it|en       language of the messages, setup-file keys and the report\n"
        "  --model 1|2|auto   instrument model (1 VXA, 2 VXB; auto asks the instrument)\n"
        "  -h, --help         help of the program or of a command\n"
        "  -v, --version      the version\n\n"
        "\"quartel-cli COMMAND --help\" describes a command. The exit status is 0 when everything\n"
        "asked for succeeded, 1 when something failed (standard error says what), 2 for a wrong command\n"
        "line.\n");
    return help;
}

ParsedCli ParseCli(const QStringList& arguments) {
    const QString program = arguments.value(0, QStringLiteral("quartel-cli"));
    const QString first = arguments.value(1);
    if (first.isEmpty() || first == QLatin1String("--help") || first == QLatin1String("-h") ||
        first == QLatin1String("help")) {
        const CommandDef* def = first == QLatin1String("help") ? FindCommand(arguments.value(2)) : nullptr;
        if (!def || arguments.size() < 3) {
            ParsedCli parsed;
            parsed.exitNow = first.isEmpty() ? 2 : 0;
            parsed.message = CliHelp();
            return parsed;
        }
        return ParseCli({program, arguments.value(2), QStringLiteral("--help")});
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
        ParsedCli parsed;
        parsed.exitNow = 0;
        parsed.message = QStringLiteral("quartel-cli %1\n").arg(QCoreApplication::applicationVersion());
        return parsed;
    }
    const CommandDef* def = FindCommand(first);
    if (!def) {
        return Usage(
            QStringLiteral(
                "unknown command \"%1\" (commands: scan, watch, backup, restore, report, diff, verify; "
                "see --help)")
                .arg(first));
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QString::fromLatin1(def->description));
    const QCommandLineOption help(QStringList{Opt("h"), Opt("help")}, QStringLiteral("Shows this help."));
    const QCommandLineOption device(
        Opt("device"),
        QStringLiteral("Serial device to use (e.g. /dev/ttyUSB0, a /dev/serial/by-id/... "
                       "name, or a simulator's terminal); default: the port number "
                       "of prog.ini."),
        QStringLiteral("PATH"));
    const QCommandLineOption settingsDir(
        Opt("settings-dir"), QStringLiteral("Directory of prog.ini (default: the same as quartel-setup)."),
        QStringLiteral("DIR"));
    const QCommandLineOption timeout(
        Opt("timeout"), QStringLiteral("Reply time-out in milliseconds, 1..32767 (default: prog.ini's)."),
        QStringLiteral("MS"));
    const QCommandLineOption demo(Opt("demo"),
                                  QStringLiteral("Simulated line: a VXA at address 1, a VXB at 2."));
    const QCommandLineOption lang(
        Opt("lang"),
        QStringLiteral("Language of the messages, setup-file keys and the report: it or en "
                       "(default: prog.ini's)."),
        QStringLiteral("it|en"));
    const QCommandLineOption model(Opt("model"),
                                   QStringLiteral("Instrument model: 1 (VXA), 2 (VXB) or auto (asked of the "
                                                  "instrument). Default: auto."),
                                   QStringLiteral("1|2|auto"));
    parser.addOption(help);
    QList<QCommandLineOption> own;
    const QCommandLineOption addresses(
        Opt("addresses"), QStringLiteral("Addresses to poll: N, A-B or a list of both (default 1-32)."),
        QStringLiteral("LIST"));
    const bool isRestore = def->command == CliCommand::Restore;
    const QCommandLineOption address(
        Opt("address"),
        isRestore
            ? QStringLiteral("Address of the instrument, or a range A-B of instruments restored in turn.")
            : QStringLiteral("Address of the instrument, 1..32."),
        isRestore ? QStringLiteral("N|A-B") : QStringLiteral("N"));
    const QCommandLineOption json(Opt("json"),
                                  QStringLiteral("One JSON object per line instead of a table."));
    const QCommandLineOption count(
        Opt("count"), QStringLiteral("Passes to run (default: until interrupted)."), QStringLiteral("K"));
    const QCommandLineOption view(Opt("view"), QStringLiteral("Weight shown: net, gross (default) or peak."),
                                  QStringLiteral("net|gross|peak"));
    const QCommandLineOption duration(
        Opt("duration"), QStringLiteral("Ends after this time: seconds, or a number with s, m or h."),
        QStringLiteral("T"));
    const QCommandLineOption csv(
        Opt("csv"), QStringLiteral("Writes the weight log as CSV to FILE (\"-\": standard output)."),
        QStringLiteral("FILE|-"));
    const QCommandLineOption stats(
        Opt("stats"), QStringLiteral("At the end, on standard error: passes per second against the "
                                     "wire-time limit of 19200 baud, and CPU time per exchange."));
    const QCommandLineOption all(Opt("all"), QStringLiteral("Back up every answering address into DIR."));
    const QCommandLineOption store(
        Opt("store"), QStringLiteral("End with the store command, so that the instrument keeps the "
                                     "values after a restart."));
    const QCommandLineOption pdf(Opt("pdf"), QStringLiteral("Write the report as a PDF file."),
                                 QStringLiteral("OUT.pdf"));
    const QCommandLineOption text(Opt("text"), QStringLiteral("Print the report as plain text."));
    const QCommandLineOption notes(Opt("notes"), QStringLiteral("Report notes, printed after the date."),
                                   QStringLiteral("TEXT"));
    switch (def->command) {
    case CliCommand::Scan:
        own = {addresses, json};
        break;
    case CliCommand::Watch:
        own = {address, count, duration, view, json, stats, csv};
        break;
    case CliCommand::Backup:
        own = {address, all};
        parser.addPositionalArgument(QStringLiteral("FILE.stp|DIR"),
                                     QStringLiteral("The setup file, or with --all the directory."));
        break;
    case CliCommand::Restore:
        own = {address, store};
        parser.addPositionalArgument(QStringLiteral("FILE.stp"), QStringLiteral("The setup file to load."));
        break;
    case CliCommand::Diff:
        own = {address, json};
        parser.addPositionalArgument(QStringLiteral("FILE.stp"),
                                     QStringLiteral("The setup file; without --address, the two files."));
        break;
    case CliCommand::Verify:
        own = VerifyOptionList();
        own.prepend(address);
        break;
    case CliCommand::Report:
        own = {address, pdf, text, notes};
        parser.addPositionalArgument(QStringLiteral("FILE.stp"),
                                     QStringLiteral("A setup file to report on, instead of --address."));
        break;
    }
    parser.addOptions(own);
    parser.addOptions({device, settingsDir, timeout, demo, lang, model});

    QStringList rest = arguments.mid(2);
    rest.prepend(program);
    const bool parsedOk = parser.parse(rest);
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        // The parser names the program only; the command belongs in the usage line.
        const qsizetype eol = text.indexOf(QLatin1Char('\n'));
        text = QStringLiteral("Usage: quartel-cli %1 %2")
                   .arg(QLatin1String(def->name), QLatin1String(def->usage)) +
               text.mid(eol);
        ParsedCli parsed;
        parsed.exitNow = 0;
        parsed.message = text;
        return parsed;
    }
    if (!parsedOk) {
        return Usage(parser.errorText());
    }

    ParsedCli parsed;
    CliOptions& o = parsed.options;
    o.command = def->command;
    o.device = parser.value(device);
    o.settingsDir = parser.value(settingsDir);
    o.demo = parser.isSet(demo);
    if (parser.isSet(timeout) && !ParseInt(parser.value(timeout), 1, 32767, o.timeoutMs)) {
        return Usage(
            QStringLiteral("--timeout takes milliseconds 1..32767, not \"%1\"").arg(parser.value(timeout)));
    }
    if (parser.isSet(lang)) {
        const QString l = parser.value(lang).toLower();
        if (l == QLatin1String("it")) {
            o.language = 0;
        } else if (l == QLatin1String("en")) {
            o.language = 1;
        } else {
            return Usage(QStringLiteral("--lang takes it or en, not \"%1\"").arg(parser.value(lang)));
        }
    }
    o.model = ModelAuto;
    if (parser.isSet(model)) {
        const QString v = parser.value(model).toLower();
        if (v == QLatin1String("1") || v == QLatin1String("vxa")) {
            o.model = 1;
        } else if (v == QLatin1String("2") || v == QLatin1String("vxb")) {
            o.model = 2;
        } else if (v == QLatin1String("auto")) {
            o.model = ModelAuto;
        } else {
            return Usage(QStringLiteral("--model takes 1, 2 or auto, not \"%1\"").arg(parser.value(model)));
        }
    }

    const QStringList positional = parser.positionalArguments();
    const auto tooMany = [&](int allowed) {
        return positional.size() > allowed
                   ? std::optional<ParsedCli>(
                         Usage(QStringLiteral("unexpected argument \"%1\"").arg(positional.at(allowed))))
                   : std::nullopt;
    };
    const auto oneAddress = [&]() -> std::optional<QString> {
        QString error;
        const std::optional<QList<int>> list = ParseAddresses(parser.value(address), &error);
        if (!list) {
            return QStringLiteral("--address: ") + error;
        }
        if (list->size() != 1) {
            return QStringLiteral("--address takes one address here, not \"%1\"").arg(parser.value(address));
        }
        o.addresses = *list;
        return std::nullopt;
    };

    switch (def->command) {
    case CliCommand::Scan: {
        if (auto u = tooMany(0)) {
            return *u;
        }
        QString error;
        const QString text = parser.isSet(addresses)
                                 ? parser.value(addresses)
                                 : QStringLiteral("%1-%2").arg(FirstAddress).arg(LastAddress);
        const std::optional<QList<int>> list = ParseAddresses(text, &error);
        if (!list) {
            return Usage(QStringLiteral("--addresses: ") + error);
        }
        o.addresses = *list;
        o.json = parser.isSet(json);
        break;
    }
    case CliCommand::Watch: {
        if (auto u = tooMany(0)) {
            return *u;
        }
        if (!parser.isSet(address)) {
            return Usage(QStringLiteral("watch needs --address N"));
        }
        if (auto error = oneAddress()) {
            return Usage(*error);
        }
        if (parser.isSet(count) && !ParseInt(parser.value(count), 1, 1000000000, o.count)) {
            return Usage(QStringLiteral("--count takes a number of passes from 1, not \"%1\"")
                             .arg(parser.value(count)));
        }
        if (parser.isSet(view)) {
            const QString v = parser.value(view).toLower();
            o.view = v == QLatin1String("net")     ? 1
                     : v == QLatin1String("gross") ? 2
                     : v == QLatin1String("peak")  ? 3
                                                   : 0;
            if (o.view == 0) {
                return Usage(
                    QStringLiteral("--view takes net, gross or peak, not \"%1\"").arg(parser.value(view)));
            }
        }
        o.json = parser.isSet(json);
        o.stats = parser.isSet(stats);
        if (parser.isSet(duration)) {
            const std::optional<qint64> ms = ParseDuration(parser.value(duration));
            if (!ms) {
                return Usage(QStringLiteral("--duration takes a time from 1 s to 100 h (\"90\", \"90s\", "
                                            "\"15m\", \"2h\"), not \"%1\"")
                                 .arg(parser.value(duration)));
            }
            o.durationMs = *ms;
        }
        if (parser.isSet(csv)) {
            o.csv = parser.value(csv);
            if (o.csv.isEmpty()) {
                return Usage(QStringLiteral("--csv needs a file name, or - for standard output"));
            }
            if (o.csv == QLatin1String("-") && o.json) {
                return Usage(QStringLiteral("--csv - and --json both want standard output"));
            }
        }
        if (o.stats && o.count == 0) {
            return Usage(QStringLiteral("--stats needs --count K"));
        }
        break;
    }
    case CliCommand::Backup: {
        if (auto u = tooMany(1)) {
            return *u;
        }
        o.all = parser.isSet(all);
        if (o.all == parser.isSet(address)) {
            return Usage(QStringLiteral("backup needs either --address N FILE.stp or --all DIR"));
        }
        if (positional.isEmpty()) {
            return Usage(o.all ? QStringLiteral("backup --all needs the directory DIR")
                               : QStringLiteral("backup needs the setup file FILE.stp"));
        }
        o.path = positional.first();
        if (!o.all) {
            if (auto error = oneAddress()) {
                return Usage(*error);
            }
        } else {
            o.addresses.clear();
            for (int a = FirstAddress; a <= LastAddress; ++a) {
                o.addresses << a;
            }
        }
        break;
    }
    case CliCommand::Restore: {
        if (auto u = tooMany(1)) {
            return *u;
        }
        if (!parser.isSet(address)) {
            return Usage(QStringLiteral("restore needs --address N or --address A-B"));
        }
        if (positional.isEmpty()) {
            return Usage(QStringLiteral("restore needs the setup file FILE.stp"));
        }
        QString error;
        const std::optional<QList<int>> list = ParseAddresses(parser.value(address), &error);
        if (!list) {
            return Usage(QStringLiteral("--address: ") + error);
        }
        o.addresses = *list;
        o.path = positional.first();
        o.store = parser.isSet(store);
        break;
    }
    case CliCommand::Diff: {
        const bool live = parser.isSet(address);
        if (auto u = tooMany(live ? 1 : 2)) {
            return *u;
        }
        if (positional.size() != (live ? 1 : 2)) {
            return Usage(
                QStringLiteral("diff needs either --address N FILE.stp or two setup files A.stp B.stp"));
        }
        if (live) {
            if (auto error = oneAddress()) {
                return Usage(*error);
            }
        }
        o.path = positional.first();
        o.path2 = live ? QString() : positional.value(1);
        o.json = parser.isSet(json);
        break;
    }
    case CliCommand::Verify: {
        if (auto u = tooMany(0)) {
            return *u;
        }
        if (!parser.isSet(address)) {
            return Usage(QStringLiteral("verify needs --address N"));
        }
        if (auto error = oneAddress()) {
            return Usage(*error);
        }
        if (auto error = ParseVerifyOptions(parser, o.verify)) {
            return Usage(*error);
        }
        break;
    }
    case CliCommand::Report: {
        if (auto u = tooMany(1)) {
            return *u;
        }
        const bool fromFile = !positional.isEmpty();
        if (fromFile == parser.isSet(address)) {
            return Usage(QStringLiteral("report needs either --address N or a setup file FILE.stp"));
        }
        if (parser.isSet(pdf) && parser.isSet(text)) {
            return Usage(
                QStringLiteral("report writes either a PDF (--pdf OUT.pdf) or text (--text), not both"));
        }
        if (!parser.isSet(pdf) && !parser.isSet(text)) {
            return Usage(QStringLiteral("report needs either --pdf OUT.pdf or --text"));
        }
        if (fromFile) {
            o.path = positional.first();
        } else if (auto error = oneAddress()) {
            return Usage(*error);
        }
        o.pdf = parser.value(pdf);
        o.notes = parser.value(notes);
        o.text = parser.isSet(text);
        break;
    }
    }
    return parsed;
}
