#include "texts_report.h"

namespace {

constexpr CaptionText ReportTable[] = {
    {"Title", "                                  STAMPA CONFIGURAZIONE  ",
     "                                  PRINT CONFIGURATION  "},
    {"Date", "Data ", "Date "},
    {"Out1", "   Out 1", "   Out 1"},
    {"Out2", "   Out 2", "   Out 2"},
    {"Tenths", "(in 1/10 sec)", "(in 1/10 sec)"},
    {"Hundredths", " (in 1/100 sec)", " in 1/100 sec)"},
    // A row of a group not read from the instrument, and the line under the date that names such groups.
    {"NotRead", "non letto", "not read"},
    {"NotReadGroups", "Non letti dallo strumento: %1", "Not read from the instrument: %1"},
    {"PrintFailedTitle", "Attenzione !!", "Attention !!"},
    {"PrintFailed",
     "Nessuna stampante disponibile, oppure la stampante ha rifiutato la stampa (%1).\n"
     "Salvare la configurazione in un file PDF?",
     "No printer is available, or the printer refused the job (%1).\n"
     "Save the configuration report as a PDF file instead?"},
    {"PdfTitle", "Salva la configurazione come PDF", "Save the configuration report as PDF"},
    {"PdfFilter", "Documenti PDF (*.pdf)", "PDF documents (*.pdf)"},
    {"PdfName", "configurazione.pdf", "configuration.pdf"},
    {"PdfFailed", "Impossibile scrivere il file %1:\n%2", "The file %1 could not be written:\n%2"},
    // Reasons the report gives itself.
    {"NoPrinter", "nessuna stampante installata", "no printer installed"},
    {"PrinterRefused", "la stampante non accetta il lavoro", "the printer does not accept the job"},
};

constexpr CaptionText NoteDialogTable[] = {
    {"Note", "Note Report", "Report Notes"},
    {"Label1", "Note da stampare in fondo al report:", "Notes printed at the end of the report:"},
    {"OKButton", "OK", "OK"},
};

} // namespace

namespace texts {
TextTable Report() {
    return ReportTable;
}
TextTable NoteDialog() {
    return NoteDialogTable;
}
} // namespace texts
