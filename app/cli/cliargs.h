#pragma once

// The command line of quartel-cli: a command, then its options and arguments.
//
//   quartel-cli scan    [--addresses 1-32] [--json]
//   quartel-cli watch   --address N [--count K] [--duration T] [--view net|gross|peak] [--json] [--stats]
//                       [--csv FILE|-]
//   quartel-cli backup  --address N FILE.stp | --all DIR
//   quartel-cli restore --address N|A-B FILE.stp [--store]
//   quartel-cli report  (--address N | FILE.stp) (--pdf OUT.pdf | --text)
//   quartel-cli diff    (--address N FILE.stp | A.stp B.stp) [--json]
//   quartel-cli verify  --address N [verification options, see verifyargs.h]
//   quartel-cli plant   scan|backup|diff|report --plant FILE [--history DIR] [--json]
//                       [--text | --pdf DIR]
//
// Common options: --device PATH, --settings-dir DIR, --timeout MS, --demo, --lang it|en,
// --model 1|2|auto, --local-echo, --help.

#include "verifyargs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The addresses of the line, as the start-up screen lists them.
inline constexpr int FirstAddress = 1;
inline constexpr int LastAddress = 32;

// "7", "3-12" and lists of both separated by commas ("1,2,17", "1-4,9"), each address 1..32 and each
// range ascending. The addresses in ascending order, each once; nothing, with `error` set, otherwise.
std::optional<QList<int>> ParseAddresses(const QString& text, QString* error = nullptr, int language = 1);

// The time of --duration: whole seconds ("90", "90s"), minutes ("15m") or hours ("2h"), from 1 s to
// 100 h, in milliseconds; nothing otherwise.
std::optional<qint64> ParseDuration(const QString& text);

enum class CliCommand { Scan, Watch, Backup, Restore, Report, Diff, Verify, Plant };

// What quartel-cli plant does on every line of the plant.
enum class PlantAction { Scan, Backup, Diff, Report };

// The instrument model the configuration commands work with: the user's choice, as on the start-up
// screen, or asked of the instrument (only model 1 has the operating-mode register).
inline constexpr int ModelAuto = 0;

struct CliOptions {
    CliCommand command = CliCommand::Scan;

    // --- common ---
    QString device;      // --device: replaces the device of the settings' port number
    QString settingsDir; // --settings-dir
    int timeoutMs = 0;   // --timeout: both reply time-outs; 0 = prog.ini's
    bool demo = false;   // --demo
    int language = -1;   // --lang: 0 Italian, 1 English; -1 = prog.ini's
    int model = ModelAuto;
    bool localEcho = false; // --local-echo: the adapter hands back each request (else port.ini's)

    // --- scan, restore: the addresses; watch, backup, report: one address (empty for a file) ---
    QList<int> addresses;
    bool json = false; // scan, watch

    // --- watch ---
    int count = 0; // passes; 0 = until interrupted
    int view = 2;  // WeightView: 1 net, 2 gross, 3 peak
    bool stats = false;
    qint64 durationMs = 0; // --duration: ends after this time; 0 = no limit
    QString csv;           // --csv: the weight log, "-" for standard output; empty: none

    // --- backup, restore, report ---
    bool all = false; // backup --all
    QString path;     // backup, restore, report: the setup file; backup --all: the directory
    bool store = false;
    QString pdf;       // report --pdf
    bool text = false; // report --text
    QString notes;     // report --notes: the report notes of the date line
    QString path2;     // diff: the second setup file (empty with --address)

    VerifyOptions verify; // verify

    // --- plant ---
    PlantAction plantAction = PlantAction::Scan;
    QString plantFile; // --plant
    QString history;   // --history: the git repository of the setup files
    // Set on each line of a plant: its device, echo and time-out come from the plant file, and no
    // user's settings are read.
    bool plantLine = false;
    int messageLanguage = -1; // the messages' language when it is not the files' (LanguageIndex)
};

struct ParsedCli {
    CliOptions options;
    // Set when the program ends without running a command: ExitOk after --help or --version (the
    // message goes to standard output), ExitUsage after a usage error (the message is the reason).
    std::optional<int> exitNow;
    QString message;
    int language = 1; // the language of the messages (LanguageIndex)
};

// `arguments` starts with the program's name. Every message is in `language` (LanguageIndex: 1
// English, else Italian).
ParsedCli ParseCli(const QStringList& arguments, int language = 1);

// The language of a run before its command line is parsed: --lang when given, else the one of the
// prog.ini that --settings-dir (or the default folder) holds; English for --demo without --lang, as the
// demo's own settings are, and for the plant commands, which read no user's settings.
int RunLanguage(const QStringList& arguments);

// The program's help: the commands and the common options.
QString CliHelp(int language = 1);
