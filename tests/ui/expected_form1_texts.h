#pragma once

// What the main setup screen and its dialogs must show, in Italian and in English. The rows are the
// reference for every check of these texts, whether against the text tables or against the widgets of a
// loaded screen, so they are typed here on their own and never read from the tables under test.
//
// Key of a row (the same keys as the text tables of the screen):
//   "Name"          caption of the control Name (label, frame, button, option button, menu, menu item),
//                   or the window title when Name is the form's own name;
//   "Name(i)"       element i of a control array, or tab i of the tab control SSTab1;
//   "Name.state"    caption of Name in one state only: "Command1.off"/"Command1.on" (outside/in setup
//                   mode), "Label1.net"/"Label1.gross"/"Label1.peak" (after a click on Option1/Option2/
//                   Option4), "Label36.model2" (on a screen for instrument model 2). A plain "Label1" is
//                   its caption right after loading; a plain "Label36" its caption on a model 1 screen.

#include <QRegularExpression>
#include <QString>
#include <QStringView>

#include <span>

struct ExpectedText {
    const char* control;
    QStringView italian;
    QStringView english;
};

// A key split into its parts: "SSTab1(3)" gives {"SSTab1", 3, ""}, "Label1.net" {"Label1", -1, "net"}.
// `valid` is false for a text that is not a key.
struct TextKey {
    bool valid = false;
    QString name;
    int index = -1;
    QString state;
};

inline TextKey ParseTextKey(QStringView key) {
    static const QRegularExpression pattern(
        QStringLiteral(R"(^([A-Za-z][A-Za-z0-9_]*)(?:\((\d+)\))?(?:\.([a-z0-9]+))?$)"));
    const QRegularExpressionMatch match = pattern.match(key.toString());
    TextKey parsed;
    if (!match.hasMatch()) {
        return parsed;
    }
    parsed.valid = true;
    parsed.name = match.captured(1);
    parsed.index = match.hasCaptured(2) ? match.captured(2).toInt() : -1;
    parsed.state = match.captured(3);
    return parsed;
}

// Every caption of the main setup screen Form1.
inline std::span<const ExpectedText> ExpectedMainScreenTexts() {
    static constexpr ExpectedText rows[] = {
        {"Form1", u"Gestione Parametri e Setup Strumento Quartel",
         u"Gestione Parametri e Setup Strumento Quartel"},
        // Upper band
        {"Label1", u"  Peso Lordo", u"Gross Weight"},
        {"Frame2", u"Visualizzazione", u"Display"},
        {"Option1", u"Peso Netto", u"Net Weight"},
        {"Option2", u"Peso Lordo", u"Gross Weight"},
        {"Option4", u"Picco", u"Peak Hold"},
        {"Frame1", u"Stato Strumento", u"Status Instrument"},
        {"Label2", u"Uscita1", u"Output1"},
        {"Label7", u"Uscita2", u"Output2"},
        {"Label8", u"Netto", u"Net"},
        {"Label10", u"Stabile", u"Stable"},
        {"Label4", u"Indirizzo Macchina", u"Device address"},
        {"Label5", u"Valore Setpoint 1", u"Setpoint 1 value "},
        {"Label6", u"Valore Setpoint 2", u"Setpoint 2 value "},
        {"Label24", u"Stato Ingresso 1", u"Input 1 status"},
        {"Label54", u"Stato Ingresso 2", u"Input 2 status"},
        {"Command17", u"Invia", u"Send"},
        {"Label55", u"Vers. Software Strumento", u"Instrument Software Ver."},
        // Tab 0, weight constants
        {"Label3", u"Portata Totale Nominale delle celle", u"Total capacity of transducers"},
        {"Label11", u"Sensibilità media dei trasduttori in mV/V", u"Full scale output value (mV/V)"},
        {"Label12", u"Portata Utile (Netto)", u"Net weight (value)"},
        {"Label13", u"Valore di Tara fissa", u"Dead load (value)"},
        {"Label14", u"Valore Divisione del peso", u"Display resolution"},
        {"Label15", u"Segnale d'ingresso in mV/V", u"Input signal (mV/V) (Reference only)"},
        {"Label44", u"Punti interni dello strumento", u"Internal counts (Reference only)"},
        {"Label56", u"Modo di funzionamento", u"Operating mode"},
        {"Command12", u"Invia", u"Send"},
        {"Command26", u"Invia", u"Send"},
        {"Command27", u"Invia", u"Send"},
        {"Command28", u"Nuova Configurazione", u"New Configuration"},
        {"Label9", u"Errore nell'impostazione dei dati !", u"ATTENTION !!!     Illegal data value"},
        // Tab 1, calibration
        {"Frame3", u"Taratura di Zero", u"Zero setting"},
        {"Label16", u"A bilancia scarica e peso stabile premere", u"With the system unloaded press"},
        {"Label17", u"per eseguire la Taratura di Zero", u"to set Zero"},
        {"Frame4", u"Taratura di Fondoscala", u"Full scale setting"},
        {"Label18", u"Caricare il peso Campione, digitare il valore",
         u"Load a sample weight, enter the actual value"},
        {"Label19", u"e premere", u"and press"},
        {"Command3", u"Memorizza Taratura", u"Save Calibration"},
        // Tab 2, weight parameters
        {"Label20", u"Parametro di filtro peso (0 = risposta rapida  9 = filtro massimo  standard 5)",
         u"Digital filter value (0 to 9 : 0 = no filter  9 = max filter  default 5)"},
        {"Label21", u"Stabilizzazione del peso (0 = stabilità rapida  4 = stabilità accurata  standard 2)",
         u"Motion band value (0 to 4: 0 = minimum  4 = maximum  default 2)"},
        {"Label22", u"Autozero all'accensione espr. in % rispetto alla portata utile  (0=disab.  max: 10.0%)",
         u"Auto zero range setting at power up (0 to 10.0% of net weight: 0 = disable)"},
        {"Label23", u"Fattore di inseguimento automatico di zero (da 0 a 4  standard 2)",
         u"Zero tracking (0 to 4  default 2)"},
        {"Label66", u"Divisioni azzerabili (0 a 200 default 100)", u"Zero Band (From 0 to 200 default 100)"},
        {"Command13", u"Invia", u"Send"},
        {"Label60", u"Errore nell'impostazione dei dati !", u"ATTENTION !!!     Illegal data value"},
        // Tab 3, relay outputs
        {"Label29", u"Uscita 1", u"Output 1 "},
        {"Label30", u"Uscita 2", u"Output 2 "},
        {"Label25", u"Valore con cui viene confrontata la soglia", u"Operating mode"},
        {"Label31", u"Stato dell'uscita sotto il valore del Setpoint",
         u"Contact status below setpoint value"},
        {"Label43", u"Confronto rispetto a peso positivo o negativo",
         u"Positive / Negative weight comparison"},
        {"Label32", u"Confronto rispetto a peso stabile o in movimento",
         u"Immediate activation / Activation after stabilization"},
        {"Label26", u"Isteresi rispetto al Setpoint impostato (standard 2)", u"Hysteresis (default 2)"},
        {"Label27", u"Durata abilitazione (in 1/10 sec.) (0 = disattivata)",
         u"Setpoint activation time length (in 1/10 sec.) (0 = disable)"},
        {"Label28", u"Ritardo abilitazione (in 1/10 sec.) (0 = disattivata)",
         u"Time delay for activating setpoint (in 1/10 sec.) (0 = disable)"},
        {"Command14", u"Invia", u"Send"},
        {"Label58", u"Errore nell'impostazione dei dati !", u"ATTENTION !!!     Illegal data value"},
        // Serial tab (tab 4)
        {"Label33", u"Baud Rate (standard 9600)", u"Baud Rate (default 9600)"},
        {"Label34", u"Selezione funzionamento seriale (standard Trasmissione Continua)",
         u"Serial port mode (default Continuous transmission)"},
        {"Label35", u"Indirizzo seriale o identificativo macchina (da 1 a 32)",
         u"Serial address (ID Code) (From 1 to 32)"},
        {"Label36", u"Ritardo risposta in modalità SLAVE o MODBUS ( in 1/100 sec  max 1 sec)",
         u"Response delay (SLAVE or MODBUS mode only) (in 1/100 sec. max 1 sec.)"},
        {"Label36.model2", u"Ritardo risposta in modalità MODBUS ( in 1/100 sec  max 1 sec)",
         u"Response delay (MODBUS mode only) (in 1/100 sec. max 1 sec.)"},
        {"Label62", u"Formato Dati (N-8-2/E-8-1/O-8-1 per MODBUS)",
         u"Data Format (N-8-2/E-8-1/O-8-1 for MODBUS mode)"},
        {"Label63", u"Protocollo Com2 (Nessuno per MODBUS)", u"Com2 Protocol (None for MODBUS mode)"},
        {"Label64", u"Indirizzo Com2 (Indirizzo Profibus/DeviceNet) (da 1 a 126)",
         u"Com2 Address (Profibus/DeviceNet Address) (From 1 to 126)"},
        {"Label65", u"Baud Rate Com2 (Solo per DeviceNet)", u"Com2 Baud Rate (DeviceNet mode only)"},
        {"Command15", u"Invia", u"Send"},
        {"Label53", u"Errore nell'impostazione dei dati !", u"ATTENTION !!!     Illegal data value"},
        // Tab 5, analog output
        {"Label37", u"Peso corrispondente al fondo scala dell'analogica (Default portata della bilancia)",
         u"Full scale value (Default = Net weight value)"},
        {"Label38", u"Selezione del valore trasmesso con l'uscita analogica",
         u"Analog output source: (Net Gross Peak H)"},
        {"Label39", u"Selezione del campo di uscita analogica", u"Analog output selection"},
        {"Label40", u"Regolazione offset di zero", u"Zero adjustment"},
        {"Label41", u"Regolazione offset di fondoscala", u"Full scale adjustment"},
        {"Label59", u"Peso di riferimento offset di zero", u"No load zero input value"},
        {"Command16", u"Invia", u"Send"},
        {"Label61", u"Errore nell'impostazione dei dati !", u"ATTENTION !!!     Illegal data value"},
        // Tab 6, tests
        {"Frame5", u"Analogica", u"Analog output"},
        {"Label42", u"Variazione dell'uscita in percentuale rispetto al Fondoscala",
         u"Change output per cent in comparison with Full scale"},
        {"Command8", u"Inizio Test", u"Start Test"},
        {"Command22", u"Inizio Test", u"Start Test"},
        {"Command11", u"Fine Test", u"End Test"},
        {"Command23", u"Fine Test", u"End Test"},
        {"Frame6", u"Uscite", u"Outputs"},
        {"Label45", u"Selezionare la configurazione", u"To select  the configuration"},
        {"Frame7", u"Uscita 1", u"Output 1"},
        {"Frame8", u"Uscita 2", u"Output 2"},
        // Weight view captions of Label1
        {"Label1.net", u"  Peso Netto", u"  Net weight"},
        {"Label1.gross", u"  Peso Lordo", u"  Gross weight"},
        {"Label1.peak", u"Picco", u"Peak Hold"},
        // Setup-mode switch
        {"Command1.off", u"Setup Strumento", u"Setup"},
        {"Command1.on", u"Esci dal Setup", u"Exit Setup"},
        // Tabs
        {"SSTab1(0)", u"Costanti Peso", u"Configuration"},
        {"SSTab1(1)", u"Taratura", u"Calibration"},
        {"SSTab1(2)", u"Param. Peso", u"Parameters"},
        {"SSTab1(3)", u"Config. Uscite", u"Relay Outputs"},
        {"SSTab1(4)", u"Seriale", u"Serial"},
        {"SSTab1(5)", u"Analogica", u"Analog"},
        {"SSTab1(6)", u"Test", u"Test"},
        // Menus
        {"opz", u"Opzioni", u"Option"},
        {"Ap", u"Apri File di Impostazioni", u"Open file setup"},
        {"Sal", u"Salva File di Impostazioni", u"Save file setup"},
        {"Reset", u"Cancellazione memoria strumento", u"Reset instrument memory"},
        {"Esc", u"Esci", u"Exit"},
        {"Edit", u"Edit", u"Edit"},
        {"Econf", u"Edit Configurazione Fuori linea", u"Edit Configuration Offline"},
        {"Nota", u"Note per Report", u"Report Notes"},
        {"SConf", u"Stampa Configurazione", u"Print Configuration"},
        // The same in both languages
        {"Command2", u"->0<-", u"->0<-"},
        {"Command18", u"<<", u"<<"},
        {"Command4", u"<", u"<"},
        {"Command5", u">", u">"},
        {"Command19", u">>", u">>"},
        {"Command20", u"<<", u"<<"},
        {"Command6", u"<", u"<"},
        {"Command7", u">", u">"},
        {"Command21", u">>", u">>"},
        {"Command24", u"<<", u"<<"},
        {"Command10", u"<", u"<"},
        {"Command9", u">", u">"},
        {"Command25", u">>", u">>"},
        {"U1on", u"ON", u"ON"},
        {"U1off", u"OFF", u"OFF"},
        {"U2on", u"ON", u"ON"},
        {"U2off", u"OFF", u"OFF"},
        {"Label57", u"%", u"%"},
        {"Label52", u" %", u" %"},
        {"Label46", u"-", u"-"},
        {"Label47", u"-", u"-"},
        {"Label48", u"+", u"+"},
        {"Label49", u"+", u"+"},
        {"Label50", u"+", u"+"},
        {"Label51", u"-", u"-"},
        // Instrument mnemonics
        {"lblAddText(0)", u"(CAPAC)", u"(CAPAC)"},
        {"lblAddText(1)", u"(SENSIT)", u"(SENSIT)"},
        {"lblAddText(2)", u"(NET)", u"(NET)"},
        {"lblAddText(3)", u"(DEAD L)", u"(DEAD L)"},
        {"lblAddText(4)", u"(DSPDIV)", u"(DSPDIV)"},
        {"lblAddText(5)", u"(SIGNAL)", u"(SIGNAL)"},
        {"lblAddText(6)", u"(COUNTS)", u"(COUNTS)"},
        {"lblAddText(7)", u"(OPMODE)", u"(OPMODE)"},
        {"lblAddText(8)", u"(FILTER)", u"(FILTER)"},
        {"lblAddText(9)", u"(MOTION)", u"(MOTION)"},
        {"lblAddText(10)", u"(AUTO 0)", u"(AUTO 0)"},
        {"lblAddText(11)", u"(0 TRAC)", u"(0 TRAC)"},
        {"lblAddText(12)", u"(0 BAND)", u"(0 BAND)"},
        {"lblAddText(13)", u"(MODE)", u"(MODE)"},
        {"lblAddText(14)", u"(HYST)", u"(HYST)"},
        {"lblAddText(15)", u"(TIMER)", u"(TIMER)"},
        {"lblAddText(16)", u"(DELAY)", u"(DELAY)"},
        {"lblAddText(17)", u"(BAUD R)", u"(BAUD R)"},
        {"lblAddText(18)", u"(PROT-1)", u"(PROT-1)"},
        {"lblAddText(19)", u"(ADDRES)", u"(ADDRES)"},
        {"lblAddText(20)", u"(DELAY)", u"(DELAY)"},
        {"lblAddText(21)", u"(DATA F)", u"(DATA F)"},
        {"lblAddText(22)", u"(PROT-2)", u"(PROT-2)"},
        {"lblAddText(23)", u"(PR/DN ADD)", u"(PR/DN ADD)"},
        {"lblAddText(24)", u"(BAUD 2R)", u"(BAUD 2R)"},
        {"lblAddText(25)", u"(F-SCAL)", u"(F-SCAL)"},
        {"lblAddText(26)", u"(MODE)", u"(MODE)"},
        {"lblAddText(27)", u"(RANGE)", u"(RANGE)"},
        {"lblAddText(28)", u"(ANZERO)", u"(ANZERO)"},
        {"lblAddText(29)", u"(OFFSET)", u"(OFFSET)"},
    };
    return rows;
}

// Access-code dialog Dialog_passw.
inline std::span<const ExpectedText> ExpectedPasswordDialogTexts() {
    static constexpr ExpectedText rows[] = {
        {"Dialog_passw", u"Password", u"Password"},
        {"Label1", u"Per cancellare la memoria dello strumento, inserire la password e premere invia:",
         u"To reset instrument memory, insert the correct password and press Send:"},
        {"OKButton", u"Invia", u"Send"},
        {"CancelButton", u"Annulla", u"Cancel"},
        {"dato_pass", u"     0", u"     0"},
    };
    return rows;
}

// Save-changes question DialogA.
inline std::span<const ExpectedText> ExpectedSaveQuestionTexts() {
    static constexpr ExpectedText rows[] = {
        {"DialogA", u"Attenzione !!", u"Attention !!"},
        {"Label1", u"Vuoi Salvare le modifiche sullo strumento?",
         u"Do you want to save changes to instrument?"},
        {"OKButton", u"OK", u"OK"},
        {"CancelButton", u"NO (Reset)", u"NO (Reset)"},
    };
    return rows;
}

// Datasheet calibration question modteor.
inline std::span<const ExpectedText> ExpectedDatasheetQuestionTexts() {
    static constexpr ExpectedText rows[] = {
        {"modteor", u"Attenzione !!", u"Attention !!"},
        {"Label1", u"Vuoi modificare la taratura teorica?", u"Datasheet calibration will be modified!"},
        {"OKButton", u"OK", u"OK"},
        {"CancelButton", u"NO", u"NO"},
    };
    return rows;
}

// Messages of the main setup screen, by message name.
inline std::span<const ExpectedText> ExpectedMainMessages() {
    static constexpr ExpectedText rows[] = {
        {"PasswordWrong", u"Password errata", u"Incorrect password"},
        {"PasswordWrongTitle", u"Pesometra", u"PESOMETRA"},
        {"CapacityWarning",
         u"Attenzione. Altri parametri dipendono da questa impostazione. Accertarsi della loro compatibilità",
         u"Warning. Other parameters depend on this setting. Be sure they are compatible"},
        {"CapacityWarningTitle", u"Attenzione !!", u"Warning !!"},
        {"OfflineWeight", u" Edit ", u" Edit "},
        {"ModelMismatchTitle", u"Attenzione !!", u"Attention !!"},
        {"ModelMismatch",
         u"Lo strumento all'indirizzo %1 è un %3, ma è selezionato %2.\rNessun dato è stato scritto.\r\r"
         u"Aprire la schermata del %3 ?\r(No: ritorno alla schermata iniziale)",
         u"The instrument at address %1 is a %3, but %2 is selected.\rNothing was written.\r\r"
         u"Open the screen of the %3 ?\r(No: back to the start-up screen)"},
        {"LargestValue", u"Valore massimo: %1", u"Largest value: %1"},
    };
    return rows;
}
