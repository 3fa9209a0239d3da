#include "texts_cli.h"

namespace {
constexpr CaptionText CliTable[] = {
    // Results and failures of an instrument.
    {"NoReply", "nessuna risposta dall'indirizzo %1", "no reply from address %1"},
    {"NoInstrument", "nessuno strumento ha risposto su %1", "no instrument answered on %1"},
    {"Address", "indirizzo %1: ", "address %1: "},
    {"NotRead", "indirizzo %1: non letto: %2", "address %1: not read: %2"},
    {"NothingWritten", "; nulla è stato scritto", "; nothing written"},
    {"BackupWritten", "indirizzo %1 (%2): %3 e %4", "address %1 (%2): %3 and %4"},
    {"NotADirectory", "%1 non è una cartella e non può diventarlo",
     "%1 is not a directory and cannot be made one"},
    {"Confirmed", "confermato", "confirmed"},
    {"NotConfirmed", "NON CONFERMATO", "NOT CONFIRMED"},
    {"Store", "indirizzo %1: memorizzazione: %2", "address %1: store: %2"},
    {"StoreNotConfirmed", "indirizzo %1: il comando di memorizzazione non è stato confermato",
     "address %1: the store command was not confirmed"},
    {"Restart", "indirizzo %1: riavvio per il nuovo modo di funzionamento: %2",
     "address %1: restart for the new operating mode: %2"},
    {"RestartNotConfirmed", "indirizzo %1: il riavvio dopo la memorizzazione non è stato confermato",
     "address %1: the restart after the store was not confirmed"},
    {"OtherModel", "l'indirizzo %1 risponde come VXB, non come VXA (--model); nulla è stato scritto",
     "address %1 answers as a VXB, not as a VXA (--model); nothing written"},
    {"AnalogNotRead",
     "indirizzo %1: il blocco dell'uscita analogica non è stato letto; nulla è stato scritto",
     "address %1: the analog output block was not read; nothing written"},
    {"GroupResult", "indirizzo %1: %2: %3", "address %1: %2: %3"},
    {"GroupNotConfirmed", "indirizzo %1: gruppo \"%2\" non confermato",
     "address %1: group \"%2\" not confirmed"},
    {"AddressKept",
     "quartel-cli: nota: indirizzo %1: l'indirizzo %2 del file non è stato scritto; lo strumento "
     "mantiene l'indirizzo %1",
     "quartel-cli: note: address %1: the file's address %2 was not written; the instrument keeps "
     "address %1"},
    {"NoModel", "%1 non indica alcun modello di strumento", "%1 names no instrument model"},
    {"ReportWritten", "stampa scritta in %1", "report written to %1"},
    // The progress line.
    {"BackupLooking", "backup: ricerca degli strumenti, indirizzo %1 di %2",
     "backup: looking for instruments, address %1 of %2"},
    {"BackupProgress", "backup: indirizzo %1 (%2 di %3)", "backup: address %1 (%2 of %3)"},
    {"RestoreProgress", "restore: indirizzo %1 (%2 di %3)", "restore: address %1 (%2 of %3)"},
    {"ScanProgress", "scan: indirizzo %1 (%2 di %3), %4 hanno risposto",
     "scan: address %1 (%2 of %3), %4 answered"},

    // The scan table (the Italian headers fit the columns of the English ones).
    {"ScanAddress", "Ind.", "Addr"},
    {"ScanModel", "Mod.", "Model"},
    {"ScanDivision", "Divis.", "Division"},
    {"ScanWeight", "Peso", "Weight"},
    {"ScanStatus", "Stato", "Status"},
    {"ScanStable", "stabile", "stable"},
    {"ScanMoving", "instabile", "moving"},
    {"ScanShows", "mostra %1", "shows %1"},
    {"ScanOverload", "sovraccarico", "overload"},
    {"ScanNoDivision", "codice di divisione sconosciuto", "unknown division code"},
    {"ScanNoStatus", "nessuna risposta al byte di stato", "no reply to the status byte"},
    {"ScanNoWeight", "nessuna risposta al peso", "no reply to the weight"},
    // watch
    {"WatchOn", "%1 all'indirizzo %2 su %3", "%1 at address %2 on %3"},
    {"WatchFailed", "nessuna risposta dall'indirizzo %1 in %2 di %3 cicli",
     "no reply from address %1 in %2 of %3 passes"},
    // The line.
    {"SettingsNotRead", "quartel-cli: nota: %1 non è stato letto (%2); sono in uso i valori predefiniti",
     "quartel-cli: note: %1 was not read (%2); the defaults are in use"},
    {"NotPlainFile", "non è un file normale", "not a plain file"},
    {"TooLarge", "troppo grande", "too large"},
    {"DemoFailed", "la linea simulata non può essere aperta: %1",
     "the simulated line could not be opened: %1"},
    {"NoDevice",
     "prog.ini indica la porta numero %1, che non porta ad alcun dispositivo; usare --device PERCORSO",
     "prog.ini gives port number %1, which leads to no device; use --device PATH"},
    {"CannotOpen", "impossibile aprire %1", "cannot open %1"},
    {"Dialout", " (aggiungersi al gruppo dialout: sudo adduser $USER dialout, poi accedere di nuovo)",
     " (add yourself to the dialout group: sudo adduser $USER dialout, then log in again)"},
};
} // namespace

namespace texts {
TextTable Cli() {
    return CliTable;
}
} // namespace texts
