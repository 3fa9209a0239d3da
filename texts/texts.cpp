#include "texts.h"

namespace {

const CaptionText* Find(TextTable table, QStringView control) {
    for (const CaptionText& row : table) {
        if (QLatin1StringView(row.control) == control) {
            return &row;
        }
    }
    return nullptr;
}

// --- Start-up screen --------------------------------------------------------------------------------
constexpr CaptionText Form2Table[] = {
    {"Form2", "Programma di Comunicazione Seriale e Setup Strumento Quartel",
     "PESOMETRA Configuration utility"},
    {"Command1", "Esci dall'Applicazione", "Quit"},
    {"opz", "Opzioni", "Option"},
    {"pse", "Porta Seriale", "Serial Port"},
    {"Lin", "Lingua", "Language"},
    {"sel", "Selezione Strumento", "Select Instrument"},
    {"vxa", "VXA", "VXA"},
    {"vxb", "VXB", "VXB"},
};

constexpr CaptionText StartMessagesTable[] = {
    {"AttentionTitle", "Attenzione !!", "Attention !!"},
    {"PortNumberWrong", "Il numero della porta seriale é errato", "The number of serial port is wrong"},
    {"InstrumentError", " ERRORE", " ERROR"},
    // Check box captions: "Addr. " followed by the address.
    {"AddressPrefix", "Addr. ", "Addr. "},
    // Status line: which port the screen talks on, and an open that failed.
    {"PortStatus", "Porta COM%1: %2", "Port COM%1: %2"},
    {"PortMissing", "Porta COM%1: %2 non disponibile", "Port COM%1: %2 not available"},
    {"PortInvalid", "Numero della porta seriale errato", "Wrong serial port number"},
    // Settings files: one that could not be written (message box: file, reason), one that was not read
    // (status line: file, reason), and the reasons the program gives itself.
    {"SettingsNotWritten", "Impossibile scrivere il file %1:\n%2", "The file %1 could not be written:\n%2"},
    {"SettingsIgnored", "%1 ignorato (%2): valori predefiniti", "%1 ignored (%2): defaults in use"},
    {"NotRegularFile", "non è un file normale", "not a regular file"},
    {"FileTooLarge", "più grande di 64 KiB", "larger than 64 KiB"},
    // Status line: a device chosen in the port dialog instead of the port number's.
    {"PortChosen", "Porta: %1", "Port: %1"},
    {"PortChosenMissing", "Porta: %1 non disponibile", "Port: %1 not available"},
    // A device server over TCP that cannot be talked to (status line after the device, command line).
    {"ConnectionRefused", "connessione rifiutata", "connection refused"},
    {"ConnectionClosed", "connessione chiusa dal server", "connection closed by the device server"},
    {"PortProblem", "Porta: %1: %2", "Port: %1: %2"},
    // Status line of both screens: a read request came back as its own copy.
    {"EchoSuspected",
     "L'adattatore sembra restituire l'eco delle richieste: attivare \"Eco locale\" in Opzioni > Porta "
     "Seriale della schermata iniziale",
     "The adapter seems to echo the requests: switch on \"Local echo\" in Option > Serial Port of the "
     "start-up screen"},
    // Port dialog: whether the device of a port number is there now, the device given on the command
    // line, and the columns of the list of the system's serial ports.
    {"DevicePresent", "presente", "present"},
    {"DeviceAbsent", "assente", "not present"},
    {"DeviceFromCommandLine", "Il dispositivo è scelto dalla riga di comando: --device %1",
     "The command line chooses the device: --device %1"},
    {"ColumnPort", "Porta", "Port"},
    {"ColumnStableName", "Nome stabile", "Stable name"},
    {"ColumnDescription", "Descrizione", "Description"},
    {"ColumnUsb", "USB", "USB"},
};

// --- Dialogs ----------------------------------------------------------------------------------------
constexpr CaptionText CommTable[] = {
    {"Comm", "Impostazione Numero COMM", "COMM Number"},
    {"Option1", "COM1", "COM1"},
    {"Option2", "COM2", "COM2"},
    {"Option3", "COM3", "COM3"},
    {"Option4", "COM4", "COM4"},
    {"Option5", "COM5", "COM5"},
    {"Option6", "COM6", "COM6"},
    {"OptionDevice", "Altro dispositivo:", "Other device:"},
    {"PortListLabel",
     "Porte seriali presenti ora (un clic la sceglie):", "Serial ports present now (a click chooses one):"},
    {"DeviceHint", "Per un server seriale in rete: tcp://HOST:PORTA",
     "For a serial device server: tcp://HOST:PORT"},
    {"LocalEcho", "Eco locale: l'adattatore restituisce ogni richiesta",
     "Local echo: the adapter hands back every request"},
    {"OKButton", "OK", "OK"},
    {"CancelButton", "Annulla", "Cancel"},
};

constexpr CaptionText LingTable[] = {
    {"Ling", "Lingua", "Language"}, {"Option1", "Italiano", "Italian"},    {"Option2", "Inglese", "English"},
    {"OKButton", "OK", "OK"},       {"CancelButton", "Annulla", "Cancel"},
};

constexpr CaptionText FrmAboutTable[] = {
    {"frmAbout", "PESOMETRA", "PESOMETRA"},
    {"Label1", " WELCOME TO PESOMETRA™  !", " WELCOME TO PESOMETRA™  !"},
    {"Label2", "Configuration utility for the \"Quartel™\" Transmitters",
     "Configuration utility for the \"Quartel™\" Transmitters"},
    {"Version", "PC Software Version 3.2", "PC Software Version 3.2"},
};

} // namespace

QString TextOf(TextTable table, QStringView control, int languageIndex) {
    const CaptionText* row = Find(table, control);
    if (!row) {
        return {};
    }
    return QString::fromUtf8(IsEnglish(languageIndex) ? row->english : row->italian);
}

bool HasText(TextTable table, QStringView control) {
    return Find(table, control) != nullptr;
}

namespace texts {
TextTable Form2() {
    return Form2Table;
}
TextTable Comm() {
    return CommTable;
}
TextTable Ling() {
    return LingTable;
}
TextTable FrmAbout() {
    return FrmAboutTable;
}
TextTable StartMessages() {
    return StartMessagesTable;
}
} // namespace texts
