#include "texts_compare.h"

namespace {

constexpr CaptionText CompareTable[] = {
    {"Conf", "Confronta con File di Impostazioni", "Compare with setup file"},
    {"CompareWindow", "Confronto con File di Impostazioni", "Comparison with setup file"},
    {"Parameter", "Parametro", "Parameter"},
    {"Instrument", "Strumento", "Instrument"},
    {"File", "File", "File"},
    {"First", "Primo file", "First file"},
    {"Second", "Secondo file", "Second file"},
    {"SetPoints", "SetPoint", "Set points"},
    {"Count", "Parametri diversi: %1", "Parameters that differ: %1"},
    {"Same", "Nessuna differenza", "No differences"},
    // A value the instrument cannot hold at its side's division, reported instead of compared.
    {"NotHeld", "non può essere tenuto con questa divisione", "cannot be held at this division"},
    {"Model2",
     "VXB: non confrontati i parametri che non ha (setpoint, modo di funzionamento, uscite, analogica, "
     "divisioni azzerabili, Com2)",
     "VXB: the parameters it does not have are not compared (set points, operating mode, outputs, "
     "analog output, zero band, Com2)"},
    {"LoadButton", "Carica il file", "Load the file"},
    {"PrintButton", "Stampa", "Print"},
    {"CloseButton", "Chiudi", "Close"},
    {"ReadFailed", "Errore di comunicazione con lo Strumento !\rConfronto impossibile !",
     "Communication error !\rImpossible to compare !"},
    {"ModelsDiffer", "I file %1 e %2 sono di modelli diversi", "The files %1 and %2 are of different models"},
    {"NoModel", "Il file : %1 non indica il modello dello strumento",
     "The file: %1 names no instrument model"},
    {"Title", "CONFRONTO CON FILE DI IMPOSTAZIONI", "COMPARISON WITH SETUP FILE"},
};

} // namespace

namespace texts {
TextTable Compare() {
    return CompareTable;
}
} // namespace texts
