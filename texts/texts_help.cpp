#include "texts_help.h"

namespace {

// One character of the caption in each language; the first one of its kind in the caption is marked.
constexpr CaptionText MnemonicsTable[] = {
    // Main setup screen: menus and their items.
    {"opz", "O", "O"},
    {"Ap", "A", "O"},
    {"Sal", "S", "S"},
    {"Reset", "C", "R"},
    {"Esc", "E", "x"},
    {"Conf", "F", "C"},
    {"verifyItem", "V", "V"},
    {"Edit", "E", "E"},
    {"Econf", "F", "O"},
    {"Nota", "N", "N"},
    {"SConf", "S", "P"},
    {"vis", "V", "V"},
    {"traf", "T", "T"},
    {"aiuto", "A", "H"},
    {"guida", "G", "Q"},
    {"about", "I", "A"},
    {"trend", "A", "W"},
    {"logFile", "R", "L"},
    // Start-up screen.
    {"pse", "P", "S"},
    {"Lin", "L", "L"},
    {"sel", "S", "I"},
    {"vxa", "A", "A"},
    {"vxb", "B", "B"},
};

constexpr CaptionText HelpTable[] = {
    {"aiuto", "Aiuto", "Help"},
    {"guida", "Guida rapida", "Quick help"},
    {"about", "Informazioni su Quartel Setup", "About Quartel Setup"},
    {"HelpTitle", "Guida rapida", "Quick help"},
    {"HelpText",
     "Tasti della schermata di setup:\n"
     "%1"
     "Alt+lettera sottolineata  apre un menu\n"
     "Invio, Spazio  premono il pulsante che ha il fuoco\n\n"
     "Un valore fuori campo tiene il fuoco nel campo: il campo ammesso è scritto nella barra di stato "
     "quando il campo riceve il fuoco (e nel suggerimento del campo). Ogni gruppo si invia con il suo "
     "pulsante \"Invia\"; la barra di stato dice se lo strumento lo ha confermato.",
     "Keys of the setup screen:\n"
     "%1"
     "Alt+underlined letter  opens a menu\n"
     "Enter, Space  press the button that has the focus\n\n"
     "A value out of range keeps the focus in its field: the status bar names the range allowed when "
     "the field gets the focus (so does the field's tooltip). Each group is sent with its own \"Send\" "
     "button; the status bar tells whether the instrument confirmed it."},
    {"TabKeys", "Ctrl+Tab  scheda successiva (in setup)\nCtrl+Shift+Tab  scheda precedente (in setup)\n",
     "Ctrl+Tab  next tab (in setup mode)\nCtrl+Shift+Tab  previous tab (in setup mode)\n"},
    {"AboutTitle", "Informazioni su Quartel Setup", "About Quartel Setup"},
    {"AboutText",
     "Quartel Setup %1\n\n"
     "Configura i trasmettitori di peso PESOMETRA della famiglia Quartel (VXA, VXB) collegati alla linea "
     "seriale (MODBUS ASCII): lettura e invio della configurazione, taratura, file di impostazioni e "
     "stampa della configurazione.\n\n"
     "Impostazioni (prog.ini, Strum.ini): %2",
     "Quartel Setup %1\n\n"
     "Configures the PESOMETRA weighing transmitters of the Quartel family (VXA, VXB) on the serial "
     "line (MODBUS ASCII): reading and sending the configuration, calibration, setup files and the "
     "configuration printout.\n\n"
     "Settings (prog.ini, Strum.ini): %2"},
    {"FirstStartHint",
     "Spuntare l'indirizzo di ogni strumento da interrogare; \"quartel-cli scan\" trova gli strumenti "
     "sulla linea.",
     "Tick the address of each instrument to poll; \"quartel-cli scan\" finds the instruments on the "
     "line."},
};

constexpr CaptionText TooltipsTable[] = {
    {"Capac", "Numero intero da 0 a 500000; si modifica dopo \"Nuova Configurazione\"",
     "Whole number from 0 to 500000; changed after \"New Configuration\""},
    {"Sensib", "Da 0 a 4.0 mV/V", "From 0 to 4.0 mV/V"},
    {"Teonet", "Numero intero da 0; Portata Utile + Tara fissa non oltre la Portata Totale",
     "Whole number from 0; net weight + dead load not above the total capacity"},
    {"Teotara", "Numero intero da 0; Portata Utile + Tara fissa non oltre la Portata Totale",
     "Whole number from 0; net weight + dead load not above the total capacity"},
    {"OpMode", "Una voce della lista", "One entry of the list"},
    {"ValDiv", "Una voce della lista", "One entry of the list"},
    {"Set1", "Da 0 alla Portata Totale (con Portata Totale 0 ogni valore)",
     "From 0 up to the total capacity (any value while the total capacity is 0)"},
    {"Set2", "Da 0 alla Portata Totale (con Portata Totale 0 ogni valore)",
     "From 0 up to the total capacity (any value while the total capacity is 0)"},
    {"Filtro", "Una cifra da 0 a 9", "One digit from 0 to 9"},
    {"Stabilità", "Una cifra da 0 a 4", "One digit from 0 to 4"},
    {"Autozero", "Da 0 a 10.0 (%)", "From 0 to 10.0 (%)"},
    {"Inseguimento", "Una cifra da 0 a 4", "One digit from 0 to 4"},
    {"ZeroBand", "Numero intero da 0 a 200", "Whole number from 0 to 200"},
    {"NeLor1", "Una voce della lista", "One entry of the list"},
    {"NeLor2", "Una voce della lista", "One entry of the list"},
    {"ApCh1", "Una voce della lista", "One entry of the list"},
    {"ApCh2", "Una voce della lista", "One entry of the list"},
    {"PoNe1", "Una voce della lista", "One entry of the list"},
    {"PoNe2", "Una voce della lista", "One entry of the list"},
    {"NoSta1", "Una voce della lista", "One entry of the list"},
    {"NoSta2", "Una voce della lista", "One entry of the list"},
    {"Iste1", "Numero intero da 0 alla Portata Totale (con Portata Totale 0 ogni valore)",
     "Whole number from 0 up to the total capacity (any value while the total capacity is 0)"},
    {"Iste2", "Numero intero da 0 alla Portata Totale (con Portata Totale 0 ogni valore)",
     "Whole number from 0 up to the total capacity (any value while the total capacity is 0)"},
    {"Disab1", "Da 0 a 999 decimi di secondo (0 = disattivata)",
     "From 0 to 999 tenths of a second (0 = disabled)"},
    {"Disab2", "Da 0 a 999 decimi di secondo (0 = disattivata)",
     "From 0 to 999 tenths of a second (0 = disabled)"},
    {"RiEcc1", "Da 0 a 999 decimi di secondo (0 = disattivata)",
     "From 0 to 999 tenths of a second (0 = disabled)"},
    {"RiEcc2", "Da 0 a 999 decimi di secondo (0 = disattivata)",
     "From 0 to 999 tenths of a second (0 = disabled)"},
    {"Baud", "Una voce della lista", "One entry of the list"},
    {"ModSer", "Una voce della lista", "One entry of the list"},
    {"Indir", "Numero intero da 1 a 32", "Whole number from 1 to 32"},
    {"RiRis", "Da 0 a 100 centesimi di secondo", "From 0 to 100 hundredths of a second"},
    {"DatiCom1", "Una voce della lista", "One entry of the list"},
    {"ProtoCom2", "Una voce della lista", "One entry of the list"},
    {"AddrCom2", "Numero intero da 1 a 126", "Whole number from 1 to 126"},
    {"BRCom2", "Una voce della lista", "One entry of the list"},
    {"FsAna", "Da 0 alla Portata Totale (con Portata Totale 0 ogni valore)",
     "From 0 up to the total capacity (any value while the total capacity is 0)"},
    {"TipoAna", "Una voce della lista", "One entry of the list"},
    {"CampoAna", "Una voce della lista", "One entry of the list"},
    {"RifZero", "Da 0 alla Portata Totale (con Portata Totale 0 ogni valore)",
     "From 0 up to the total capacity (any value while the total capacity is 0)"},
    {"Campione", "Peso campione da 0 alla Portata Totale (con Portata Totale 0 ogni valore)",
     "Sample weight from 0 up to the total capacity (any value while the total capacity is 0)"},
};

constexpr CaptionText StatusBarTable[] = {
    {"SendConfirmed", "%1: scritto", "%1: written"},
    {"SendNotConfirmed", "%1: non confermato dallo strumento", "%1: not confirmed by the instrument"},
    {"LoadProgress", "Caricamento del file di impostazioni: gruppo %1 di %2",
     "Loading the setup file: group %1 of %2"},
    {"SaveReading", "Lettura dello strumento prima del salvataggio: gruppo %1 di %2",
     "Reading the instrument before saving: group %1 of %2"},
    {"Loaded", "File di impostazioni caricato: %1", "Setup file loaded: %1"},
    {"LoadedWithFailures", "File di impostazioni caricato: %1 (non confermati: %2)",
     "Setup file loaded: %1 (not confirmed: %2)"},
    {"LoadStopped", "Caricamento del file di impostazioni interrotto", "Setup file load stopped"},
    {"Saved", "File di impostazioni salvato: %1", "Setup file saved: %1"},
    {"PdfWritten", "Configurazione salvata in PDF: %1", "Configuration saved as PDF: %1"},
    {"LineHealth", "Risposte %1  Errori %2", "Answers %1  Failures %2"},
    {"LineHealthTip", "Scambi sulla linea nell'ultimo minuto: risposte ed errori (nessuna risposta valida)",
     "Exchanges on the line in the last minute: answers and failures (no valid reply)"},
    {"Request", "Richiesta", "Request"},
    {"Reply", "Risposta", "Reply"},
    {"Logging", "Registrazione: %1, %2 righe", "Logging: %1, %2 rows"},
};

} // namespace

namespace texts {
TextTable Mnemonics() {
    return MnemonicsTable;
}
TextTable Help() {
    return HelpTable;
}
TextTable Tooltips() {
    return TooltipsTable;
}
TextTable StatusBar() {
    return StatusBarTable;
}
} // namespace texts
