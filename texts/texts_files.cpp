#include "texts_files.h"

namespace {

constexpr CaptionText SetupFileMessagesTable[] = {
    {"AppTitle", "Pesometra", "Pesometra"},
    {"AttentionTitle", "Attenzione !!", "Attention !!"},
    {"TooLong", "Il file è troppo grande per poter essere aperto.", "The file is too long to be open."},
    {"ModelMismatch", "Il file : %1 non è compatibile con lo strumento selezionato",
     "The file: %1 doesn't match with the selected instrument"},
    {"CannotOpen", "Impossibile aprire il file: %1", "Impossible to open file: %1"},
    {"Incomplete", "Il file : %1 non è un file di impostazioni completo: nessun valore è stato caricato",
     "The file: %1 is not a complete setup file: no value was loaded"},
    {"NotText",
     "Il file : %1 non è un file di impostazioni (contiene caratteri che non sono testo, ad esempio "
     "Unicode UTF-16): nessun valore è stato caricato",
     "The file: %1 is not a setup file (it holds characters that are no text, e.g. Unicode UTF-16): no "
     "value was loaded"},
    {"NotANumber",
     "Il file : %1, riga %2 (%3): il valore \"%4\" non è un numero: nessun valore è stato caricato",
     "The file: %1, line %2 (%3): the value \"%4\" is not a number: no value was loaded"},
    {"NotHeld",
     "Il file : %1, riga %2 (%3): il valore \"%4\" non può essere tenuto con la divisione del file (al "
     "massimo %5): nessun valore è stato caricato",
     "The file: %1, line %2 (%3): the value \"%4\" cannot be held at the file's division (at most %5): no "
     "value was loaded"},
    {"ReadFailed", "Errore di comunicazione con lo Strumento !\rOperazione di salvataggio impossibile !",
     "Communication error !\rImpossible to save !"},
    {"SaveFailed", "Impossibile salvare il file: %1", "Impossible to save file: %1"},
    // The groups that could not be read from the instrument (%1: their names), after ReadFailed.
    {"NotRead", "Dati non letti dallo strumento: %1", "Values not read from the instrument: %1"},

    {"GroupName.WeightConstants", "Costanti Peso", "Weight constants"},
    {"GroupName.OperatingMode", "Modo di funzionamento", "Operating mode"},
    {"GroupName.Division", "Valore divisione", "Division"},
    {"GroupName.SetPoints", "SetPoint", "Set points"},
    {"GroupName.WeightParameters", "Parametri peso", "Weight parameters"},
    {"GroupName.Outputs", "Configurazione uscite", "Outputs"},
    {"GroupName.Serial", "Porta seriale", "Serial port"},
    {"GroupName.Analog", "Uscita analogica", "Analog output"},

    {"Group.WeightConstants", "Si è verificato un errore nella scrittura delle costanti peso",
     "An error occurs during the writing of Parameters"},
    {"Group.OperatingMode", "Si è verificato un errore nella scrittura del modo di funzionamento",
     "An error occurs during the writing of operating mode"},
    {"Group.Division", "Si è verificato un errore nella scrittura del valore divisione",
     "An error occurs during the writing of resolution display"},
    {"Group.SetPoints", "Si è verificato un errore nella scrittura dei SetPoint",
     "An error occurs during the writing of SetPoint"},
    {"Group.WeightParameters", "Si è verificato un errore nella scrittura dei parametri peso",
     "An error occurs during the writing of filters/z-track"},
    {"Group.Outputs",
     "Si è verificato un errore nella scrittura dei parametri\rper la configurazione delle uscite",
     "An error occurs during the writing of I/O configuration parameters"},
    {"Group.Serial", "Si è verificato un errore nella scrittura dei parametri della porta seriale",
     "An error occurs during the writing of serial communication parameters"},
    {"Group.Analog", "Si è verificato un errore nella scrittura dei parametri della scheda analogica",
     "An error occurs during the writing of analog output configuration"},
};

} // namespace

namespace texts {
TextTable SetupFileMessages() {
    return SetupFileMessagesTable;
}
} // namespace texts
