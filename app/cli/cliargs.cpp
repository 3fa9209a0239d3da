#include "cliargs.h"

#include "settings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

namespace {

struct CommandDef {
    CliCommand command;
    const char* name;
    const char* usage;         // after "quartel-cli NAME "; "[options]" is put in the run's language
    const char* description;   // English, one or more lines
    const char* descriptionIt; // Italian
    const char* summary;       // one line, English
    const char* summaryIt;
};

constexpr CommandDef Commands[] = {
    {CliCommand::Scan, "scan", "[--addresses 1-32] [--json]",
     "Polls each address as the start-up screen does (division code, status byte, weight) and prints\n"
     "address, model, division, weight and status of every instrument that answers.",
     "Interroga ogni indirizzo come la schermata iniziale (codice di divisione, byte di stato, peso) e\n"
     "stampa indirizzo, modello, divisione, peso e stato di ogni strumento che risponde.",
     "poll every address: model, division, weight, status",
     "interroga ogni indirizzo: modello, divisione, peso, stato"},
    {CliCommand::Watch, "watch",
     "--address N [--count K] [--duration T] [--view net|gross|peak] [--json] [--stats] [--csv FILE|-]",
     "Prints one line per pass with the live weight, the instrument's status texts and the lamps, as the\n"
     "upper band of the main setup screen shows them. With --csv, writes the weight log of the main\n"
     "setup screen (one CSV row per new reading) to FILE, or instead of the lines to standard output.",
     "Stampa una riga per ciclo con il peso, i testi di stato dello strumento e le spie, come la fascia\n"
     "superiore della schermata di impostazione. Con --csv scrive la registrazione del peso (una riga CSV\n"
     "per ogni nuova lettura) in FILE, oppure al posto delle righe sull'uscita standard.",
     "the live weight, status and lamps of one instrument, or its weight log as CSV",
     "peso, stato e spie di uno strumento dal vivo, o la registrazione del peso in CSV"},
    {CliCommand::Backup, "backup", "(--address N FILE.stp | --all DIR)",
     "Reads the whole configuration and writes the setup file and its model file (FILE.typ), as the\n"
     "main setup screen's save does. With --all, every answering address of the line is backed up into\n"
     "DIR as quartel-NN.stp and quartel-NN.typ (NN the address).",
     "Legge tutta la configurazione e scrive il file di setup e il suo file del modello (FILE.typ), come\n"
     "il salvataggio della schermata di impostazione. Con --all ogni indirizzo che risponde viene salvato\n"
     "nella cartella DIR come quartel-NN.stp e quartel-NN.typ (NN l'indirizzo).",
     "save the configuration of one instrument, or of every one, as setup files",
     "salva la configurazione di uno strumento, o di tutti, in file di setup"},
    {CliCommand::Restore, "restore", "--address N|A-B FILE.stp [--store]",
     "Loads the setup file into the instrument group by group, as the main setup screen's load does, and\n"
     "prints each group's result. Without --store the instrument keeps the values until it restarts;\n"
     "with --store it stores them (command 0x0020), and the command ends when the instrument answers\n"
     "again. A range of addresses is restored one after the other. A file of another model than the\n"
     "instrument's (asked of it unless --model is given) or a short file is refused before anything is\n"
     "written.",
     "Carica il file di setup nello strumento gruppo per gruppo, come il caricamento della schermata di\n"
     "impostazione, e stampa l'esito di ogni gruppo. Senza --store lo strumento tiene i valori fino al\n"
     "riavvio; con --store li memorizza (comando 0x0020) e il comando finisce quando lo strumento\n"
     "risponde di nuovo. Gli indirizzi di un intervallo vengono ripristinati uno dopo l'altro. Un file di\n"
     "un altro modello (chiesto allo strumento se --model non lo indica) o incompleto viene rifiutato\n"
     "prima di scrivere qualsiasi cosa.",
     "load a setup file into one instrument or a range of them",
     "carica un file di setup in uno strumento o in un intervallo"},
    {CliCommand::Report, "report", "(--address N | FILE.stp) (--pdf OUT.pdf | --text) [--notes TEXT]",
     "The configuration report of a live instrument (after a full read) or of a setup file, as a PDF\n"
     "file (\"-\": standard output) or as plain text on standard output.",
     "La stampa della configurazione di uno strumento (dopo una lettura completa) o di un file di setup,\n"
     "come file PDF (\"-\": uscita standard) o come testo sull'uscita standard.",
     "the configuration report of an instrument or a setup file, as PDF or text",
     "la stampa della configurazione di uno strumento o di un file, in PDF o testo"},
    {CliCommand::Diff, "diff", "(--address N FILE.stp | A.stp B.stp) [--json]",
     "Compares a live instrument (after the same full read as a backup) with a setup file, or two setup\n"
     "files: one line per parameter that differs (its caption, the value in each), then the count.\n"
     "Values are compared as the instrument holds them. Exit status 0: the same; 1: they differ; 2: an\n"
     "error (files of different models, a file the load refuses, no answer, a wrong command line).",
     "Confronta uno strumento (dopo la stessa lettura di backup) con un file di setup, o due file di\n"
     "setup: una riga per ogni parametro diverso (la descrizione, il valore in ciascuno), poi il numero.\n"
     "I valori sono confrontati come li tiene lo strumento. Stato di uscita 0: uguali; 1: diversi; 2: un\n"
     "errore (file di modelli diversi, un file rifiutato, nessuna risposta, riga di comando errata).",
     "compare an instrument with a setup file, or two setup files",
     "confronta uno strumento con un file di setup, o due file di setup"},
    {CliCommand::Verify, "verify",
     "--address N [--class C] [--in-service] [--unit U] [--e E] [--max MAX] [--plan FILE] [--yes] "
     "[--place-command CMD] [--pdf FILE] [--csv FILE] [--json]",
     "Verifies the scale with test weights: for each step of the plan it asks for the load (or with\n"
     "--yes takes it as placed), waits for a stable gross reading and judges the error against the\n"
     "maximum permissible error of the accuracy class (OIML R 76-1). Writes the certificate with --pdf.\n"
     "Exit status 0: the scale passed; 1: it failed; 2: trouble (no stable reading, no answer, a wrong\n"
     "command line).",
     "Verifica la bilancia con pesi campione: per ogni passo del piano chiede il carico (o con --yes lo\n"
     "prende come posato), attende una lettura lorda stabile e giudica l'errore rispetto all'errore\n"
     "massimo tollerato della classe di precisione (OIML R 76-1). Con --pdf scrive il certificato.\n"
     "Stato di uscita 0: la bilancia ha superato la prova; 1: non l'ha superata; 2: un problema\n"
     "(nessuna lettura stabile, nessuna risposta, riga di comando errata).",
     "verify the scale with test weights and write its certificate",
     "verifica la bilancia con pesi campione e ne scrive il certificato"},
    {CliCommand::Plant, "plant",
     "(scan | backup --history DIR | diff --history DIR | report [--pdf] DIR) --plant FILE [--json]",
     "Drives every line of a plant at once, each with its own link, from the plant file FILE (one\n"
     "section per line: device, local-echo, timeout, addresses; no user's settings are read). scan lists\n"
     "every instrument; backup reads every instrument and keeps its setup files in the git repository\n"
     "DIR (made when missing; one folder per line, the files named as backup --all names them, in the\n"
     "plant file's language), committing only when something changed, with a message naming each\n"
     "changed parameter; diff compares every instrument with the last backup in DIR; report writes each\n"
     "instrument's report into DIR/LINE/ as text, or PDF with --pdf. On a terminal one progress row per\n"
     "line, then each change and a table of line, address, model and result. Exit status 0: every\n"
     "instrument answered and nothing differs from the last backup; 1: something differs; 2: trouble\n"
     "(the plant file, the history, a line or an instrument that does not answer).",
     "Lavora su tutte le linee di un impianto insieme, ciascuna con il suo collegamento, secondo il file\n"
     "dell'impianto FILE (una sezione per linea: device, local-echo, timeout, addresses; nessuna\n"
     "impostazione dell'utente viene letta). scan elenca ogni strumento; backup legge ogni strumento e\n"
     "tiene i suoi file di setup nel repository git DIR (creato se manca; una cartella per linea, i file\n"
     "chiamati come backup --all, nella lingua del file dell'impianto), registrando solo quando qualcosa\n"
     "è cambiato, con un messaggio che nomina ogni parametro cambiato; diff confronta ogni strumento con\n"
     "l'ultimo backup in DIR; report scrive la stampa di ogni strumento in DIR/LINEA/ come testo, o PDF\n"
     "con --pdf. Su un terminale una riga di avanzamento per linea, poi ogni modifica e una tabella di\n"
     "linea, indirizzo, modello ed esito. Stato di uscita 0: ogni strumento ha risposto e nulla differisce\n"
     "dall'ultimo backup; 1: qualcosa differisce; 2: un problema (il file dell'impianto, la storia, una\n"
     "linea o uno strumento che non risponde).",
     "every line of a plant at once: scan, backup into a git history, diff, report",
     "tutte le linee di un impianto insieme: scan, backup in una storia git, diff, stampa"},
};

// A text of the command line in the run's language (1 English, else Italian).
QString L(int language, const char* italian, const char* english) {
    return QString::fromUtf8(language == 1 ? english : italian);
}

QString UsageLine(const CommandDef& def, int language) {
    return QStringLiteral("quartel-cli %1 %2 %3")
        .arg(QLatin1String(def.name), QLatin1String(def.usage), L(language, "[opzioni]", "[options]"));
}

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

} // namespace

namespace {

constexpr int ExitUsageStatus = 2;

// A command's help: the parser's, with the command in the usage line and the headings in the language.
QString CommandHelp(const QCommandLineParser& parser, const CommandDef& def, int language) {
    QString text = parser.helpText();
    const qsizetype eol = text.indexOf(QLatin1Char('\n'));
    text = L(language, "Uso: ", "Usage: ") + UsageLine(def, language) + text.mid(eol);
    if (language != 1) {
        text.replace(QLatin1String("\nOptions:\n"), QLatin1String("\nOpzioni:\n"));
        text.replace(QLatin1String("\nArguments:\n"), QLatin1String("\nArgomenti:\n"));
    }
    return text;
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

std::optional<QList<int>> ParseAddresses(const QString& text, QString* error, int language) {
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
                return fail(L(language, "\"%1\" non è un indirizzo %2", "\"%1\" is not an address %2")
                                .arg(part.trimmed(), range));
            }
            last = first;
        } else {
            if (!address(part.left(dash), first) || !address(part.mid(dash + 1), last)) {
                return fail(L(language, "\"%1\" non è un intervallo di indirizzi entro %2",
                              "\"%1\" is not a range of addresses within %2")
                                .arg(part.trimmed(), range));
            }
            if (first > last) {
                return fail(
                    L(language, "l'intervallo \"%1\" va all'indietro", "the range \"%1\" runs backwards")
                        .arg(part.trimmed()));
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

QString CliHelp(int language) {
    QString help = L(language,
                     "Uso: quartel-cli COMANDO [opzioni]\n"
                     "Configurazione dei trasmettitori di peso Quartel da terminale (MODBUS ASCII).\n\n"
                     "Comandi:\n",
                     "Usage: quartel-cli COMMAND [options]\n"
                     "Configuration of Quartel weighing transmitters from a terminal (MODBUS ASCII).\n\n"
                     "Commands:\n");
    // One line each (the synopses are in each command's help), so that the manual page lists them too.
    for (const CommandDef& def : Commands) {
        help += QStringLiteral("  %1  %2\n")
                    .arg(QString::fromLatin1(def.name).leftJustified(9), L(language, def.summaryIt, def.summary));
    }
    help += L(
        language,
        "\nOpzioni comuni:\n"
        "  --device PERCORSO   dispositivo seriale (predefinito: port.ini, o il numero di porta di prog.ini)\n"
        "  --settings-dir DIR  cartella di prog.ini e port.ini (predefinita: quella di quartel-setup)\n"
        "  --timeout MS        tempo di attesa della risposta in millisecondi (predefinito: prog.ini)\n"
        "  --demo              linea simulata con un VXA all'indirizzo 1 e un VXB all'indirizzo 2\n"
        "  --lang it|en        lingua dei messaggi, delle chiavi dei file di setup e della stampa\n"
        "  --model 1|2|auto    modello dello strumento (1 VXA, 2 VXB; auto lo chiede allo strumento)\n"
        "  --local-echo        l'adattatore restituisce ogni richiesta (predefinito: port.ini)\n"
        "  -h, --help          aiuto del programma o di un comando\n"
        "  -v, --version       la versione\n\n"
        "\"quartel-cli COMANDO --help\" descrive un comando. Lo stato di uscita è 0 quando tutto\n"
        "è riuscito, 1 quando qualcosa non è riuscito (l'errore standard dice cosa), 2 per una riga di\n"
        "comando errata, 130 dopo Ctrl+C e 143 dopo SIGTERM.\n",
        "\nCommon options:\n"
        "  --device PATH       serial device to use (default: port.ini's, or the port number of prog.ini)\n"
        "  --settings-dir DIR  directory of prog.ini and port.ini (default: the one of quartel-setup)\n"
        "  --timeout MS        reply time-out in milliseconds (default: prog.ini's)\n"
        "  --demo              simulated line with a VXA at address 1 and a VXB at address 2\n"
        "  --lang it|en        language of the messages, setup-file keys and the report\n"
        "  --model 1|2|auto    instrument model (1 VXA, 2 VXB; auto asks the instrument)\n"
        "  --local-echo        the adapter hands back each request (default: port.ini's)\n"
        "  -h, --help          help of the program or of a command\n"
        "  -v, --version       the version\n\n"
        "\"quartel-cli COMMAND --help\" describes a command. The exit status is 0 when everything\n"
        "asked for succeeded, 1 when something failed (standard error says what), 2 for a wrong command\n"
        "line, 130 after Ctrl+C and 143 after SIGTERM.\n");
    return help;
}

int RunLanguage(const QStringList& arguments) {
    QString settingsDir;
    bool demo = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        const auto value = [&](const char* name) -> std::optional<QString> {
            const QString option = QStringLiteral("--") + QLatin1String(name);
            if (a == option || a == option.mid(1)) {
                return arguments.value(i + 1);
            }
            if (a.startsWith(option + QLatin1Char('='))) {
                return a.mid(option.size() + 1);
            }
            return std::nullopt;
        };
        if (const auto lang = value("lang")) {
            if (lang->compare(QLatin1String("it"), Qt::CaseInsensitive) == 0) {
                return 0;
            }
            if (lang->compare(QLatin1String("en"), Qt::CaseInsensitive) == 0) {
                return 1;
            }
        } else if (const auto dir = value("settings-dir")) {
            settingsDir = *dir;
        } else if (a == QLatin1String("--demo") || a == QLatin1String("-demo")) {
            demo = true;
        }
    }
    if (arguments.value(1) == QLatin1String("plant")) {
        // The plant commands read no user's settings: English until the plant file names its language.
        return 1;
    }
    Modulo1 m;
    if (settingsDir.isEmpty() && !demo) {
        settingsDir = settings::DefaultSettingsDirectory();
    }
    // The demo's own settings are the defaults.
    settings::ReadProgIni(m, settingsDir);
    return m.LanguageIndex == 1 ? 1 : 0;
}

ParsedCli ParseCli(const QStringList& arguments, int language) {
    const auto T = [language](const char* italian, const char* english) {
        return L(language, italian, english);
    };
    const auto Usage = [language](const QString& reason) {
        ParsedCli parsed;
        parsed.exitNow = ExitUsageStatus;
        parsed.message = reason;
        parsed.language = language;
        return parsed;
    };
    const QString program = arguments.value(0, QStringLiteral("quartel-cli"));
    const QString first = arguments.value(1);
    if (first.isEmpty() || first == QLatin1String("--help") || first == QLatin1String("-h") ||
        first == QLatin1String("help")) {
        const CommandDef* def = first == QLatin1String("help") ? FindCommand(arguments.value(2)) : nullptr;
        if (!def || arguments.size() < 3) {
            ParsedCli parsed;
            parsed.exitNow = first.isEmpty() ? ExitUsageStatus : 0;
            parsed.message = CliHelp(language);
            parsed.language = language;
            return parsed;
        }
        return ParseCli({program, arguments.value(2), QStringLiteral("--help")}, language);
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
        ParsedCli parsed;
        parsed.exitNow = 0;
        parsed.message = QStringLiteral("quartel-cli %1\n").arg(QCoreApplication::applicationVersion());
        parsed.language = language;
        return parsed;
    }
    const CommandDef* def = FindCommand(first);
    if (!def) {
        return Usage(
            T("comando sconosciuto \"%1\" (comandi: scan, watch, backup, restore, report, diff, verify, "
              "plant; "
              "vedere --help)",
              "unknown command \"%1\" (commands: scan, watch, backup, restore, report, diff, verify, plant; "
              "see --help)")
                .arg(first));
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(L(language, def->descriptionIt, def->description));
    const QCommandLineOption help(QStringList{Opt("h"), Opt("help")},
                                  T("Mostra questo aiuto.", "Shows this help."));
    const QCommandLineOption device(
        Opt("device"),
        T("Dispositivo seriale da usare (p.es. /dev/ttyUSB0, un nome /dev/serial/by-id/..., il terminale di "
          "un simulatore o tcp://HOST:PORTA); predefinito: quello di port.ini, o il numero di porta di "
          "prog.ini.",
          "Serial device to use (e.g. /dev/ttyUSB0, a /dev/serial/by-id/... name, a simulator's terminal "
          "or tcp://HOST:PORT); default: port.ini's, or the port number of prog.ini."),
        T("PERCORSO", "PATH"));
    const QCommandLineOption settingsDir(
        Opt("settings-dir"),
        T("Cartella di prog.ini e port.ini (predefinita: la stessa di quartel-setup).",
          "Directory of prog.ini and port.ini (default: the same as quartel-setup)."),
        QStringLiteral("DIR"));
    const QCommandLineOption timeout(
        Opt("timeout"),
        T("Tempo di attesa della risposta in millisecondi, 1..32767 (predefinito: prog.ini).",
          "Reply time-out in milliseconds, 1..32767 (default: prog.ini's)."),
        QStringLiteral("MS"));
    const QCommandLineOption demo(Opt("demo"), T("Linea simulata: un VXA all'indirizzo 1, un VXB al 2.",
                                                 "Simulated line: a VXA at address 1, a VXB at 2."));
    const QCommandLineOption lang(
        Opt("lang"),
        T("Lingua dei messaggi, delle chiavi dei file di setup e della stampa: it o en (predefinita: "
          "prog.ini).",
          "Language of the messages, setup-file keys and the report: it or en (default: prog.ini's)."),
        QStringLiteral("it|en"));
    const QCommandLineOption localEcho(Opt("local-echo"),
                                       T("L'adattatore restituisce ogni richiesta (predefinito: port.ini).",
                                         "The adapter hands back each request (default: port.ini's)."));
    const QCommandLineOption model(
        Opt("model"),
        T("Modello dello strumento: 1 (VXA), 2 (VXB) o auto (chiesto allo strumento). Predefinito: auto.",
          "Instrument model: 1 (VXA), 2 (VXB) or auto (asked of the instrument). Default: auto."),
        QStringLiteral("1|2|auto"));
    parser.addOption(help);
    QList<QCommandLineOption> own;
    const QCommandLineOption addresses(
        Opt("addresses"),
        T("Indirizzi da interrogare: N, A-B o un elenco di entrambi (predefinito 1-32).",
          "Addresses to poll: N, A-B or a list of both (default 1-32)."),
        T("ELENCO", "LIST"));
    const bool isRestore = def->command == CliCommand::Restore;
    const QCommandLineOption address(
        Opt("address"),
        isRestore ? T("Indirizzo dello strumento, o un intervallo A-B di strumenti ripristinati a turno.",
                      "Address of the instrument, or a range A-B of instruments restored in turn.")
                  : T("Indirizzo dello strumento, 1..32.", "Address of the instrument, 1..32."),
        isRestore ? QStringLiteral("N|A-B") : QStringLiteral("N"));
    const QCommandLineOption json(Opt("json"), T("Un oggetto JSON per riga invece di una tabella.",
                                                 "One JSON object per line instead of a table."));
    const QCommandLineOption count(Opt("count"),
                                   T("Cicli da eseguire (predefinito: fino all'interruzione).",
                                     "Passes to run (default: until interrupted)."),
                                   QStringLiteral("K"));
    const QCommandLineOption view(Opt("view"),
                                  T("Peso mostrato: net (netto), gross (lordo, predefinito) o peak (picco).",
                                    "Weight shown: net, gross (default) or peak."),
                                  QStringLiteral("net|gross|peak"));
    const QCommandLineOption duration(Opt("duration"),
                                      T("Finisce dopo questo tempo: secondi, o un numero con s, m o h.",
                                        "Ends after this time: seconds, or a number with s, m or h."),
                                      QStringLiteral("T"));
    const QCommandLineOption csv(
        Opt("csv"),
        T("Scrive la registrazione del peso come CSV in FILE (\"-\": uscita standard).",
          "Writes the weight log as CSV to FILE (\"-\": standard output)."),
        QStringLiteral("FILE|-"));
    const QCommandLineOption stats(
        Opt("stats"),
        T("Alla fine, sull'errore standard: cicli al secondo rispetto al limite del tempo di linea a 19200 "
          "baud, e tempo di CPU per scambio.",
          "At the end, on standard error: passes per second against the wire-time limit of 19200 baud, and "
          "CPU time per exchange."));
    const QCommandLineOption all(Opt("all"), T("Salva ogni indirizzo che risponde nella cartella DIR.",
                                               "Back up every answering address into DIR."));
    const QCommandLineOption store(
        Opt("store"),
        T("Finisce con il comando di memorizzazione, perché lo strumento tenga i valori dopo un riavvio, e "
          "attende che risponda di nuovo.",
          "End with the store command, so that the instrument keeps the values after a restart, and wait "
          "until it answers again."));
    const QCommandLineOption pdf(Opt("pdf"),
                                 T("Scrive la stampa come file PDF (\"-\": uscita standard).",
                                   "Write the report as a PDF file (\"-\": standard output)."),
                                 QStringLiteral("OUT.pdf"));
    const QCommandLineOption text(Opt("text"),
                                  T("Stampa come testo semplice.", "Print the report as plain text."));
    const QCommandLineOption notes(
        Opt("notes"), T("Note della stampa, dopo la data.", "Report notes, printed after the date."),
        T("TESTO", "TEXT"));
    const QCommandLineOption plantFile(
        Opt("plant"),
        T("Il file dell'impianto: una sezione per linea.", "The plant file: one section per line."),
        QStringLiteral("FILE"));
    const QCommandLineOption history(
        Opt("history"),
        T("Il repository git dei file di setup (backup lo crea se manca).",
          "The git repository of the setup files (backup makes it when missing)."),
        QStringLiteral("DIR"));
    const QCommandLineOption pdfFlag(
        Opt("pdf"), T("Stampe in PDF invece che in testo.", "Reports as PDF instead of text."));
    switch (def->command) {
    case CliCommand::Plant:
        own = {plantFile, history, json, pdfFlag};
        parser.addPositionalArgument(QStringLiteral("scan|backup|diff|report"),
                                     T("Che cosa fare su ogni linea.", "What to do on every line."));
        parser.addPositionalArgument(QStringLiteral("DIR"), T("Con report, la cartella delle stampe.",
                                                              "With report, the folder of the reports."));
        break;
    case CliCommand::Scan:
        own = {addresses, json};
        break;
    case CliCommand::Watch:
        own = {address, count, duration, view, json, stats, csv};
        break;
    case CliCommand::Backup:
        own = {address, all};
        parser.addPositionalArgument(
            QStringLiteral("FILE.stp|DIR"),
            T("Il file di setup, o con --all la cartella.", "The setup file, or with --all the directory."));
        break;
    case CliCommand::Restore:
        own = {address, store};
        parser.addPositionalArgument(QStringLiteral("FILE.stp"),
                                     T("Il file di setup da caricare.", "The setup file to load."));
        break;
    case CliCommand::Diff:
        own = {address, json};
        parser.addPositionalArgument(QStringLiteral("FILE.stp"),
                                     T("Il file di setup; senza --address, i due file.",
                                       "The setup file; without --address, the two files."));
        break;
    case CliCommand::Verify:
        own = VerifyOptionList();
        own.prepend(address);
        break;
    case CliCommand::Report:
        own = {address, pdf, text, notes};
        parser.addPositionalArgument(QStringLiteral("FILE.stp"),
                                     T("Un file di setup da stampare, invece di --address.",
                                       "A setup file to report on, instead of --address."));
        break;
    }
    parser.addOptions(own);
    if (def->command == CliCommand::Plant) {
        // Every line's device, echo and time-out come from the plant file.
        parser.addOption(lang);
    } else {
        parser.addOptions({device, settingsDir, timeout, demo, lang, model, localEcho});
    }

    QStringList rest = arguments.mid(2);
    rest.prepend(program);
    const bool parsedOk = parser.parse(rest);
    if (parser.isSet(help)) {
        ParsedCli parsed;
        parsed.exitNow = 0;
        parsed.message = CommandHelp(parser, *def, language);
        parsed.language = language;
        return parsed;
    }
    if (!parsedOk) {
        if (!parser.unknownOptionNames().isEmpty()) {
            return Usage(T("opzione sconosciuta \"%1\" (vedere quartel-cli %2 --help)",
                           "unknown option \"%1\" (see quartel-cli %2 --help)")
                             .arg(parser.unknownOptionNames().first(), QLatin1String(def->name)));
        }
        // The other refusal of the parser: an option without its value.
        return Usage(
            T("un'opzione non ha il suo valore: %1", "an option lacks its value: %1").arg(rest.last()));
    }

    ParsedCli parsed;
    parsed.language = language;
    CliOptions& o = parsed.options;
    o.command = def->command;
    const bool common = def->command != CliCommand::Plant;
    o.device = common ? parser.value(device) : QString();
    o.settingsDir = common ? parser.value(settingsDir) : QString();
    o.demo = common && parser.isSet(demo);
    o.localEcho = common && parser.isSet(localEcho);
    if (common && parser.isSet(timeout) && !ParseInt(parser.value(timeout), 1, 32767, o.timeoutMs)) {
        return Usage(T("--timeout vuole millisecondi 1..32767, non \"%1\"",
                       "--timeout takes milliseconds 1..32767, not \"%1\"")
                         .arg(parser.value(timeout)));
    }
    if (parser.isSet(lang)) {
        const QString l = parser.value(lang).toLower();
        if (l == QLatin1String("it")) {
            o.language = 0;
        } else if (l == QLatin1String("en")) {
            o.language = 1;
        } else {
            return Usage(T("--lang vuole it o en, non \"%1\"", "--lang takes it or en, not \"%1\"")
                             .arg(parser.value(lang)));
        }
    }
    o.model = ModelAuto;
    if (common && parser.isSet(model)) {
        const QString v = parser.value(model).toLower();
        if (v == QLatin1String("1") || v == QLatin1String("vxa")) {
            o.model = 1;
        } else if (v == QLatin1String("2") || v == QLatin1String("vxb")) {
            o.model = 2;
        } else if (v == QLatin1String("auto")) {
            o.model = ModelAuto;
        } else {
            return Usage(T("--model vuole 1, 2 o auto, non \"%1\"", "--model takes 1, 2 or auto, not \"%1\"")
                             .arg(parser.value(model)));
        }
    }

    const QStringList positional = parser.positionalArguments();
    const auto tooMany = [&](int allowed) {
        return positional.size() > allowed ? std::optional<ParsedCli>(Usage(
                                                 T("argomento inatteso \"%1\"", "unexpected argument \"%1\"")
                                                     .arg(positional.at(allowed))))
                                           : std::nullopt;
    };
    const auto oneAddress = [&]() -> std::optional<QString> {
        QString error;
        const std::optional<QList<int>> list = ParseAddresses(parser.value(address), &error, language);
        if (!list) {
            return QStringLiteral("--address: ") + error;
        }
        if (list->size() != 1) {
            return T("--address vuole qui un solo indirizzo, non \"%1\"",
                     "--address takes one address here, not \"%1\"")
                .arg(parser.value(address));
        }
        o.addresses = *list;
        return std::nullopt;
    };

    switch (def->command) {
    case CliCommand::Plant: {
        const QString action = positional.value(0);
        const bool report = action == QLatin1String("report");
        if (auto u = tooMany(report ? 2 : 1)) {
            return *u;
        }
        if (action == QLatin1String("scan")) {
            o.plantAction = PlantAction::Scan;
        } else if (action == QLatin1String("backup")) {
            o.plantAction = PlantAction::Backup;
        } else if (action == QLatin1String("diff")) {
            o.plantAction = PlantAction::Diff;
        } else if (report) {
            o.plantAction = PlantAction::Report;
        } else {
            return Usage(action.isEmpty() ? T("plant richiede scan, backup, diff o report",
                                              "plant needs scan, backup, diff or report")
                                          : T("plant fa scan, backup, diff o report, non \"%1\"",
                                              "plant does scan, backup, diff or report, not \"%1\"")
                                                .arg(action));
        }
        if (!parser.isSet(plantFile) || parser.value(plantFile).isEmpty()) {
            return Usage(T("plant richiede --plant FILE", "plant needs --plant FILE"));
        }
        o.plantFile = parser.value(plantFile);
        const bool needsHistory = o.plantAction == PlantAction::Backup || o.plantAction == PlantAction::Diff;
        if (needsHistory != parser.isSet(history)) {
            return Usage(
                needsHistory
                    ? T("plant %1 richiede --history DIR", "plant %1 needs --history DIR").arg(action)
                    : T("--history vale solo per backup e diff", "--history is for backup and diff only"));
        }
        if (needsHistory && parser.value(history).isEmpty()) {
            return Usage(T("plant %1 richiede --history DIR", "plant %1 needs --history DIR").arg(action));
        }
        o.history = parser.value(history);
        if (report != (positional.size() == 2)) {
            return Usage(
                report
                    ? T("plant report richiede la cartella DIR", "plant report needs the folder DIR")
                    : T("argomento inatteso \"%1\"", "unexpected argument \"%1\"").arg(positional.value(1)));
        }
        if (parser.isSet(pdfFlag) && !report) {
            return Usage(T("--pdf vale solo per report", "--pdf is for report only"));
        }
        o.path = positional.value(1);
        o.pdf = parser.isSet(pdfFlag) ? QStringLiteral("pdf") : QString();
        o.json = parser.isSet(json);
        break;
    }
    case CliCommand::Scan: {
        if (auto u = tooMany(0)) {
            return *u;
        }
        QString error;
        const QString text = parser.isSet(addresses)
                                 ? parser.value(addresses)
                                 : QStringLiteral("%1-%2").arg(FirstAddress).arg(LastAddress);
        const std::optional<QList<int>> list = ParseAddresses(text, &error, language);
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
            return Usage(T("watch richiede --address N", "watch needs --address N"));
        }
        if (auto error = oneAddress()) {
            return Usage(*error);
        }
        if (parser.isSet(count) && !ParseInt(parser.value(count), 1, 1000000000, o.count)) {
            return Usage(T("--count vuole un numero di cicli da 1, non \"%1\"",
                           "--count takes a number of passes from 1, not \"%1\"")
                             .arg(parser.value(count)));
        }
        if (parser.isSet(view)) {
            const QString v = parser.value(view).toLower();
            o.view = v == QLatin1String("net")     ? 1
                     : v == QLatin1String("gross") ? 2
                     : v == QLatin1String("peak")  ? 3
                                                   : 0;
            if (o.view == 0) {
                return Usage(T("--view vuole net, gross o peak, non \"%1\"",
                               "--view takes net, gross or peak, not \"%1\"")
                                 .arg(parser.value(view)));
            }
        }
        o.json = parser.isSet(json);
        o.stats = parser.isSet(stats);
        if (parser.isSet(duration)) {
            const std::optional<qint64> ms = ParseDuration(parser.value(duration));
            if (!ms) {
                return Usage(T("--duration vuole un tempo da 1 s a 100 h (\"90\", \"90s\", \"15m\", \"2h\"), "
                               "non \"%1\"",
                               "--duration takes a time from 1 s to 100 h (\"90\", \"90s\", \"15m\", "
                               "\"2h\"), not \"%1\"")
                                 .arg(parser.value(duration)));
            }
            o.durationMs = *ms;
        }
        if (parser.isSet(csv)) {
            o.csv = parser.value(csv);
            if (o.csv.isEmpty()) {
                return Usage(T("--csv richiede un nome di file, o - per l'uscita standard",
                               "--csv needs a file name, or - for standard output"));
            }
            if (o.csv == QLatin1String("-") && o.json) {
                return Usage(T("--csv - e --json vogliono entrambi l'uscita standard",
                               "--csv - and --json both want standard output"));
            }
        }
        if (o.stats && o.count == 0) {
            return Usage(T("--stats richiede --count K", "--stats needs --count K"));
        }
        break;
    }
    case CliCommand::Backup: {
        if (auto u = tooMany(1)) {
            return *u;
        }
        o.all = parser.isSet(all);
        if (o.all == parser.isSet(address)) {
            return Usage(T("backup richiede --address N FILE.stp oppure --all DIR",
                           "backup needs either --address N FILE.stp or --all DIR"));
        }
        if (positional.isEmpty()) {
            return Usage(
                o.all
                    ? T("backup --all richiede la cartella DIR", "backup --all needs the directory DIR")
                    : T("backup richiede il file di setup FILE.stp", "backup needs the setup file FILE.stp"));
        }
        o.path = positional.first();
        if (!o.all && o.path == QLatin1String("-")) {
            return Usage(T("backup scrive due file (FILE.stp e FILE.typ): \"-\" non è ammesso",
                           "backup writes two files (FILE.stp and FILE.typ): \"-\" is not allowed"));
        }
        if (!o.all && !o.path.endsWith(QLatin1String(".stp"), Qt::CaseInsensitive)) {
            return Usage(T("backup scrive FILE.stp e FILE.typ: il nome \"%1\" deve finire in .stp",
                           "backup writes FILE.stp and FILE.typ: the name \"%1\" must end in .stp")
                             .arg(o.path));
        }
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
            return Usage(T("restore richiede --address N o --address A-B",
                           "restore needs --address N or --address A-B"));
        }
        if (positional.isEmpty()) {
            return Usage(
                T("restore richiede il file di setup FILE.stp", "restore needs the setup file FILE.stp"));
        }
        QString error;
        const std::optional<QList<int>> list = ParseAddresses(parser.value(address), &error, language);
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
            return Usage(T("diff richiede --address N FILE.stp oppure due file di setup A.stp B.stp",
                           "diff needs either --address N FILE.stp or two setup files A.stp B.stp"));
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
            return Usage(T("report richiede --address N oppure un file di setup FILE.stp",
                           "report needs either --address N or a setup file FILE.stp"));
        }
        if (parser.isSet(pdf) && parser.isSet(text)) {
            return Usage(T("report scrive un PDF (--pdf OUT.pdf) o un testo (--text), non entrambi",
                           "report writes either a PDF (--pdf OUT.pdf) or text (--text), not both"));
        }
        if (!parser.isSet(pdf) && !parser.isSet(text)) {
            return Usage(T("report richiede --pdf OUT.pdf oppure --text",
                           "report needs either --pdf OUT.pdf or --text"));
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
