// The settings files as they may be found on a PC: any bytes as prog.ini and as Strum.ini. Reading
// never fails, and what is read, written back and read again is what was read the first time.

#include "settings.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));

    Modulo1 first;
    settings::ParseProgIni(content, first);
    Modulo1 second;
    settings::ParseProgIni(settings::FormatProgIni(first), second);
    if (first.StartReplyTimeoutMs != second.StartReplyTimeoutMs ||
        first.MainReplyTimeoutMs != second.MainReplyTimeoutMs || first.PollDelayMs != second.PollDelayMs ||
        first.CommPortNumber != second.CommPortNumber || first.HideLanguageMenu != second.HideLanguageMenu ||
        first.LanguageIndex != second.LanguageIndex || first.ProgIniLines.size() != 3 ||
        first.StartReplyTimeoutMs <= 0 || first.MainReplyTimeoutMs <= 0) {
        std::abort();
    }

    const settings::InstrumentList list = settings::ParseInstrumentList(content);
    if (settings::ParseInstrumentList(settings::FormatInstrumentList(list)) != list) {
        std::abort();
    }
    return 0;
}
