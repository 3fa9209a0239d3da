#include "texts_traffic.h"

namespace {
constexpr CaptionText TrafficTable[] = {
    {"vis", "Visualizza", "View"},
    {"traf", "Traffico sulla linea", "Line traffic"},
    {"TrafficWindow", "Traffico sulla linea", "Line traffic"},
    {"TrafficPause", "Pausa", "Pause"},
    {"TrafficClear", "Cancella", "Clear"},
    {"TrafficSave", "Salva come testo...", "Save as text..."},
    {"TrafficClose", "Chiudi", "Close"},
    {"TrafficCounters", "Scambi %1    Errori %2    Tempo medio di risposta %3 ms",
     "Exchanges %1    Failures %2    Mean turnaround %3 ms"},
    {"SaveTitle", "Salva il traffico sulla linea", "Save the line traffic"},
    {"SaveFilter", "Testo (*.txt)", "Text (*.txt)"},
    {"SaveName", "traffico.txt", "traffic.txt"},
    {"SaveFailed", "Il file %1 non è stato scritto: %2", "The file %1 was not written: %2"},
    {"SaveFailedTitle", "Attenzione !!", "Attention !!"},
};
} // namespace

namespace texts {
TextTable Traffic() {
    return TrafficTable;
}
} // namespace texts
