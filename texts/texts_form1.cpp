#include "texts_form1.h"

namespace {

// Rows are (control, Italian, English). The Italian text is the design text of the control, with these
// exceptions, whose Italian text the design does not carry and which the screen therefore sets at load
// in Italian too: Command28, Label62, Label63, Label64, Label65, Label66 and Label36.model2.
constexpr CaptionText MainScreenTable[] = {
    {"Form1", "Gestione Parametri e Setup Strumento Quartel", "Gestione Parametri e Setup Strumento Quartel"},

    // --- Upper band -----------------------------------------------------------------------------------
    {"Label1", "  Peso Lordo", "Gross Weight"},
    {"Label1.net", "  Peso Netto", "  Net weight"},
    {"Label1.gross", "  Peso Lordo", "  Gross weight"},
    {"Label1.peak", "Picco", "Peak Hold"},
    {"Frame2", "Visualizzazione", "Display"},
    {"Option1", "Peso Netto", "Net Weight"},
    {"Option2", "Peso Lordo", "Gross Weight"},
    {"Option4", "Picco", "Peak Hold"},
    {"Frame1", "Stato Strumento", "Status Instrument"},
    {"Label2", "Uscita1", "Output1"},
    {"Label7", "Uscita2", "Output2"},
    {"Label8", "Netto", "Net"},
    {"Label10", "Stabile", "Stable"},
    {"Label4", "Indirizzo Macchina", "Device address"},
    {"Label5", "Valore Setpoint 1", "Setpoint 1 value "},
    {"Label6", "Valore Setpoint 2", "Setpoint 2 value "},
    {"Label24", "Stato Ingresso 1", "Input 1 status"},
    {"Label54", "Stato Ingresso 2", "Input 2 status"},
    {"Command17", "Invia", "Send"},
    {"Label55", "Vers. Software Strumento", "Instrument Software Ver."},
    {"Command1.off", "Setup Strumento", "Setup"},
    {"Command1.on", "Esci dal Setup", "Exit Setup"},

    // --- Tabs -----------------------------------------------------------------------------------------
    {"SSTab1(0)", "Costanti Peso", "Configuration"},
    {"SSTab1(1)", "Taratura", "Calibration"},
    {"SSTab1(2)", "Param. Peso", "Parameters"},
    {"SSTab1(3)", "Config. Uscite", "Relay Outputs"},
    {"SSTab1(4)", "Seriale", "Serial"},
    {"SSTab1(5)", "Analogica", "Analog"},
    {"SSTab1(6)", "Test", "Test"},

    // --- Tab 0, weight constants ----------------------------------------------------------------------
    {"Label3", "Portata Totale Nominale delle celle", "Total capacity of transducers"},
    {"Label11", "Sensibilità media dei trasduttori in mV/V", "Full scale output value (mV/V)"},
    {"Label12", "Portata Utile (Netto)", "Net weight (value)"},
    {"Label13", "Valore di Tara fissa", "Dead load (value)"},
    {"Label14", "Valore Divisione del peso", "Display resolution"},
    {"Label15", "Segnale d'ingresso in mV/V", "Input signal (mV/V) (Reference only)"},
    {"Label44", "Punti interni dello strumento", "Internal counts (Reference only)"},
    {"Label56", "Modo di funzionamento", "Operating mode"},
    {"Command12", "Invia", "Send"},
    {"Command26", "Invia", "Send"},
    {"Command27", "Invia", "Send"},
    {"Command28", "Nuova Configurazione", "New Configuration"}, // Italian set at load
    {"Label9", "Errore nell'impostazione dei dati !", "ATTENTION !!!     Illegal data value"},

    // --- Tab 1, calibration ---------------------------------------------------------------------------
    {"Frame3", "Taratura di Zero", "Zero setting"},
    {"Label16", "A bilancia scarica e peso stabile premere", "With the system unloaded press"},
    {"Command2", "->0<-", "->0<-"},
    {"Label17", "per eseguire la Taratura di Zero", "to set Zero"},
    {"Frame4", "Taratura di Fondoscala", "Full scale setting"},
    {"Label18", "Caricare il peso Campione, digitare il valore",
     "Load a sample weight, enter the actual value"},
    {"Label19", "e premere", "and press"},
    {"Command3", "Memorizza Taratura", "Save Calibration"},

    // --- Tab 2, weight parameters ---------------------------------------------------------------------
    {"Label20", "Parametro di filtro peso (0 = risposta rapida  9 = filtro massimo  standard 5)",
     "Digital filter value (0 to 9 : 0 = no filter  9 = max filter  default 5)"},
    {"Label21", "Stabilizzazione del peso (0 = stabilità rapida  4 = stabilità accurata  standard 2)",
     "Motion band value (0 to 4: 0 = minimum  4 = maximum  default 2)"},
    {"Label22", "Autozero all'accensione espr. in % rispetto alla portata utile  (0=disab.  max: 10.0%)",
     "Auto zero range setting at power up (0 to 10.0% of net weight: 0 = disable)"},
    {"Label57", "%", "%"},
    {"Label23", "Fattore di inseguimento automatico di zero (da 0 a 4  standard 2)",
     "Zero tracking (0 to 4  default 2)"},
    {"Label66", "Divisioni azzerabili (0 a 200 default 100)",
     "Zero Band (From 0 to 200 default 100)"}, // Italian set at load
    {"Command13", "Invia", "Send"},
    {"Label60", "Errore nell'impostazione dei dati !", "ATTENTION !!!     Illegal data value"},

    // --- Tab 3, relay outputs -------------------------------------------------------------------------
    {"Label29", "Uscita 1", "Output 1 "},
    {"Label30", "Uscita 2", "Output 2 "},
    {"Label25", "Valore con cui viene confrontata la soglia", "Operating mode"},
    {"Label31", "Stato dell'uscita sotto il valore del Setpoint", "Contact status below setpoint value"},
    {"Label43", "Confronto rispetto a peso positivo o negativo", "Positive / Negative weight comparison"},
    {"Label32", "Confronto rispetto a peso stabile o in movimento",
     "Immediate activation / Activation after stabilization"},
    {"Label26", "Isteresi rispetto al Setpoint impostato (standard 2)", "Hysteresis (default 2)"},
    {"Label27", "Durata abilitazione (in 1/10 sec.) (0 = disattivata)",
     "Setpoint activation time length (in 1/10 sec.) (0 = disable)"},
    {"Label28", "Ritardo abilitazione (in 1/10 sec.) (0 = disattivata)",
     "Time delay for activating setpoint (in 1/10 sec.) (0 = disable)"},
    {"Command14", "Invia", "Send"},
    {"Label58", "Errore nell'impostazione dei dati !", "ATTENTION !!!     Illegal data value"},

    // --- Tab 4, serial ports --------------------------------------------------------------------------
    {"Label33", "Baud Rate (standard 9600)", "Baud Rate (default 9600)"},
    {"Label34", "Selezione funzionamento seriale (standard Trasmissione Continua)",
     "Serial port mode (default Continuous transmission)"},
    {"Label35", "Indirizzo seriale o identificativo macchina (da 1 a 32)",
     "Serial address (ID Code) (From 1 to 32)"},
    {"Label36", "Ritardo risposta in modalità SLAVE o MODBUS ( in 1/100 sec  max 1 sec)",
     "Response delay (SLAVE or MODBUS mode only) (in 1/100 sec. max 1 sec.)"},
    {"Label36.model2", "Ritardo risposta in modalità MODBUS ( in 1/100 sec  max 1 sec)",
     "Response delay (MODBUS mode only) (in 1/100 sec. max 1 sec.)"}, // Italian set at load
    // Label62..Label65: Italian set at load.
    {"Label62", "Formato Dati (N-8-2/E-8-1/O-8-1 per MODBUS)",
     "Data Format (N-8-2/E-8-1/O-8-1 for MODBUS mode)"},
    {"Label63", "Protocollo Com2 (Nessuno per MODBUS)", "Com2 Protocol (None for MODBUS mode)"},
    {"Label64", "Indirizzo Com2 (Indirizzo Profibus/DeviceNet) (da 1 a 126)",
     "Com2 Address (Profibus/DeviceNet Address) (From 1 to 126)"},
    {"Label65", "Baud Rate Com2 (Solo per DeviceNet)", "Com2 Baud Rate (DeviceNet mode only)"},
    {"Command15", "Invia", "Send"},
    {"Label53", "Errore nell'impostazione dei dati !", "ATTENTION !!!     Illegal data value"},

    // --- Tab 5, analog output -------------------------------------------------------------------------
    {"Label37", "Peso corrispondente al fondo scala dell'analogica (Default portata della bilancia)",
     "Full scale value (Default = Net weight value)"},
    {"Label38", "Selezione del valore trasmesso con l'uscita analogica",
     "Analog output source: (Net Gross Peak H)"},
    {"Label39", "Selezione del campo di uscita analogica", "Analog output selection"},
    {"Label40", "Regolazione offset di zero", "Zero adjustment"},
    {"Label41", "Regolazione offset di fondoscala", "Full scale adjustment"},
    {"Label59", "Peso di riferimento offset di zero", "No load zero input value"},
    {"Label46", "-", "-"},
    {"Command18", "<<", "<<"},
    {"Command4", "<", "<"},
    {"Command5", ">", ">"},
    {"Command19", ">>", ">>"},
    {"Label48", "+", "+"},
    {"Label47", "-", "-"},
    {"Command20", "<<", "<<"},
    {"Command6", "<", "<"},
    {"Command7", ">", ">"},
    {"Command21", ">>", ">>"},
    {"Label49", "+", "+"},
    {"Command16", "Invia", "Send"},
    {"Label61", "Errore nell'impostazione dei dati !", "ATTENTION !!!     Illegal data value"},

    // --- Tab 6, output tests --------------------------------------------------------------------------
    {"Frame5", "Analogica", "Analog output"},
    {"Label42", "Variazione dell'uscita in percentuale rispetto al Fondoscala",
     "Change output per cent in comparison with Full scale"},
    {"Command8", "Inizio Test", "Start Test"},
    {"Command11", "Fine Test", "End Test"},
    {"Label51", "-", "-"},
    {"Command24", "<<", "<<"},
    {"Command10", "<", "<"},
    {"Command9", ">", ">"},
    {"Command25", ">>", ">>"},
    {"Label50", "+", "+"},
    {"Label52", " %", " %"},
    {"Frame6", "Uscite", "Outputs"},
    {"Command22", "Inizio Test", "Start Test"},
    {"Command23", "Fine Test", "End Test"},
    {"Label45", "Selezionare la configurazione", "To select  the configuration"},
    {"Frame7", "Uscita 1", "Output 1"},
    {"U1on", "ON", "ON"},
    {"U1off", "OFF", "OFF"},
    {"Frame8", "Uscita 2", "Output 2"},
    {"U2on", "ON", "ON"},
    {"U2off", "OFF", "OFF"},

    // --- Menus ----------------------------------------------------------------------------------------
    {"opz", "Opzioni", "Option"},
    {"Ap", "Apri File di Impostazioni", "Open file setup"},
    {"Sal", "Salva File di Impostazioni", "Save file setup"},
    {"Reset", "Cancellazione memoria strumento", "Reset instrument memory"},
    {"Esc", "Esci", "Exit"},
    {"Edit", "Edit", "Edit"},
    {"Econf", "Edit Configurazione Fuori linea", "Edit Configuration Offline"},
    {"Nota", "Note per Report", "Report Notes"},
    {"SConf", "Stampa Configurazione", "Print Configuration"},

    // --- Instrument mnemonics (hidden labels), in parameter order -------------------------------------
    {"lblAddText(0)", "(CAPAC)", "(CAPAC)"},
    {"lblAddText(1)", "(SENSIT)", "(SENSIT)"},
    {"lblAddText(2)", "(NET)", "(NET)"},
    {"lblAddText(3)", "(DEAD L)", "(DEAD L)"},
    {"lblAddText(4)", "(DSPDIV)", "(DSPDIV)"},
    {"lblAddText(5)", "(SIGNAL)", "(SIGNAL)"},
    {"lblAddText(6)", "(COUNTS)", "(COUNTS)"},
    {"lblAddText(7)", "(OPMODE)", "(OPMODE)"},
    {"lblAddText(8)", "(FILTER)", "(FILTER)"},
    {"lblAddText(9)", "(MOTION)", "(MOTION)"},
    {"lblAddText(10)", "(AUTO 0)", "(AUTO 0)"},
    {"lblAddText(11)", "(0 TRAC)", "(0 TRAC)"},
    {"lblAddText(12)", "(0 BAND)", "(0 BAND)"},
    {"lblAddText(13)", "(MODE)", "(MODE)"},
    {"lblAddText(14)", "(HYST)", "(HYST)"},
    {"lblAddText(15)", "(TIMER)", "(TIMER)"},
    {"lblAddText(16)", "(DELAY)", "(DELAY)"},
    {"lblAddText(17)", "(BAUD R)", "(BAUD R)"},
    {"lblAddText(18)", "(PROT-1)", "(PROT-1)"},
    {"lblAddText(19)", "(ADDRES)", "(ADDRES)"},
    {"lblAddText(20)", "(DELAY)", "(DELAY)"},
    {"lblAddText(21)", "(DATA F)", "(DATA F)"},
    {"lblAddText(22)", "(PROT-2)", "(PROT-2)"},
    {"lblAddText(23)", "(PR/DN ADD)", "(PR/DN ADD)"},
    {"lblAddText(24)", "(BAUD 2R)", "(BAUD 2R)"},
    {"lblAddText(25)", "(F-SCAL)", "(F-SCAL)"},
    {"lblAddText(26)", "(MODE)", "(MODE)"},
    {"lblAddText(27)", "(RANGE)", "(RANGE)"},
    {"lblAddText(28)", "(ANZERO)", "(ANZERO)"},
    {"lblAddText(29)", "(OFFSET)", "(OFFSET)"},
};

// --- Dialogs of the main setup screen ---------------------------------------------------------------
constexpr CaptionText PasswordDialogTable[] = {
    {"Dialog_passw", "Password", "Password"},
    {"Label1", "Per cancellare la memoria dello strumento, inserire la password e premere invia:",
     "To reset instrument memory, insert the correct password and press Send:"},
    {"OKButton", "Invia", "Send"},
    {"CancelButton", "Annulla", "Cancel"},
    // The field's design text: five blanks and 0.
    {"dato_pass", "     0", "     0"},
};

constexpr CaptionText SaveQuestionTable[] = {
    {"DialogA", "Attenzione !!", "Attention !!"},
    {"Label1", "Vuoi Salvare le modifiche sullo strumento?", "Do you want to save changes to instrument?"},
    {"OKButton", "OK", "OK"},
    {"CancelButton", "NO (Reset)", "NO (Reset)"},
};

constexpr CaptionText DatasheetQuestionTable[] = {
    {"modteor", "Attenzione !!", "Attention !!"},
    {"Label1", "Vuoi modificare la taratura teorica?", "Datasheet calibration will be modified!"},
    {"OKButton", "OK", "OK"},
    {"CancelButton", "NO", "NO"},
};

// --- Messages ---------------------------------------------------------------------------------------
constexpr CaptionText MainMessagesTable[] = {
    // A wrong access code in Dialog_passw. The Italian title is the application title.
    {"PasswordWrong", "Password errata", "Incorrect password"},
    {"PasswordWrongTitle", "Pesometra", "PESOMETRA"},
    // Capac left with a value other than the one it had on getting the focus.
    {"CapacityWarning",
     "Attenzione. Altri parametri dipendono da questa impostazione. Accertarsi della loro compatibilità",
     "Warning. Other parameters depend on this setting. Be sure they are compatible"},
    {"CapacityWarningTitle", "Attenzione !!", "Warning !!"},
    // The tooltip of a field whose register limits its value (%1: the largest value it takes).
    {"LargestValue", "Valore massimo: %1", "Largest value: %1"},
    // The weight field in every pass of offline editing.
    {"OfflineWeight", " Edit ", " Edit "},
    // The instrument answers as the other model than the one selected (%1 address, %2 the model
    // selected, %3 the model found).
    {"ModelMismatchTitle", "Attenzione !!", "Attention !!"},
    {"ModelMismatch",
     "Lo strumento all'indirizzo %1 è un %3, ma è selezionato %2.\rNessun dato è stato scritto.\r\r"
     "Aprire la schermata del %3 ?\r(No: ritorno alla schermata iniziale)",
     "The instrument at address %1 is a %3, but %2 is selected.\rNothing was written.\r\r"
     "Open the screen of the %3 ?\r(No: back to the start-up screen)"},
};

} // namespace

namespace texts {
TextTable MainScreen() {
    return MainScreenTable;
}
TextTable PasswordDialog() {
    return PasswordDialogTable;
}
TextTable SaveQuestion() {
    return SaveQuestionTable;
}
TextTable DatasheetQuestion() {
    return DatasheetQuestionTable;
}
TextTable MainMessages() {
    return MainMessagesTable;
}
} // namespace texts
