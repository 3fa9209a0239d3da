// Whatever a master may put on the line, fed to the simulator's request parser and instruments of
// both models: noise, broken frames, frames with any function, register and count.

#include "simulator.h"

#include <QByteArray>
#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_sim";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    Simulator sim;
    if (!sim.open()) {
        return 0;
    }
    sim.addInstrument(1, SimInstrument::VXA);
    sim.addInstrument(2, SimInstrument::VXB);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    sim.feed(bytes);
    // The same bytes again as the function and data of a well-framed request with a right LRC to each
    // instrument, so that most inputs reach the instruments rather than the framing alone.
    for (const char address : {'\x01', '\x02'}) {
        const QByteArray pdu = address + bytes.left(120);
        unsigned sum = 0;
        for (const char c : pdu) {
            sum += uint8_t(c);
        }
        const QByteArray lrc = QByteArray(1, char((0x100 - (sum & 0xFF)) & 0xFF)).toHex().toUpper();
        sim.feed(":" + pdu.toHex().toUpper() + lrc + "\r\n");
    }
    return 0;
}
