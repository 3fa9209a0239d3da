#include "texts_trend.h"

namespace {
constexpr CaptionText TrendTable[] = {
    {"trend", "Andamento del peso", "Weight trend"},
    {"logFile", "Registra il peso su file...", "Log the weight to a file..."},
    {"TrendPanel", "Andamento del peso", "Weight trend"},
    {"TrendWindowLabel", "Finestra", "Window"},
    {"Window1", "1 minuto", "1 minute"},
    {"Window5", "5 minuti", "5 minutes"},
    {"Window15", "15 minuti", "15 minutes"},
    {"TrendHold", "Blocca scala", "Hold scale"},
    {"TrendPause", "Pausa", "Pause"},
    {"TrendExport", "Salva immagine...", "Save picture..."},
    {"FiguresLine", "Min %1   Max %2   Media %3   Dispersione %4   Letture %5 (instabili %6)",
     "Min %1   Max %2   Mean %3   Spread %4   Readings %5 (unstable %6)"},
    {"TrendNoReading", "Nessuna lettura nella finestra", "No reading in the window"},
    {"MarkZero", "Zero", "Zero"},
    {"MarkFullScale", "Fondoscala", "Full scale"},
    {"UnstableKey", "instabile", "unstable"},
    {"ExportTitle", "Salva l'andamento come immagine", "Save the trend as a picture"},
    {"ExportFilter", "Immagine PNG (*.png)", "PNG picture (*.png)"},
    {"ExportName", "andamento-ind%1-%2.png", "trend-addr%1-%2.png"},
    {"LogTitle", "Registra il peso su file", "Log the weight to a file"},
    {"LogFilter", "File CSV (*.csv)", "CSV file (*.csv)"},
    {"LogNotOpened", "Il file %1 non si può scrivere (%2).", "The file %1 cannot be written (%2)."},
    {"LogFailed", "Registrazione interrotta: il file %1 non si può scrivere (%2).\n%3 righe registrate.",
     "Logging stopped: the file %1 cannot be written (%2).\n%3 rows logged."},
    {"LogFailedTitle", "Attenzione !!", "Attention !!"},
    {"ExportFailed", "L'immagine %1 non è stata salvata.", "The picture %1 was not saved."},
};
} // namespace

namespace texts {
TextTable Trend() {
    return TrendTable;
}
} // namespace texts
