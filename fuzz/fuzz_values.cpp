// A value as the user types it or a file holds it: reading it as a number, encoding it for every
// register kind and division, and decoding a register count back to display text. A value that
// encodes must decode again to text of at most the display width's worth of characters plus sign and
// point, and encoding never yields anything but 4 upper-case hex digits.

#include "frame.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
void ExpectHex4(const QByteArray& hex) {
    if (hex.size() != 4) {
        std::abort();
    }
    for (const char c : hex) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            std::abort();
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)ReadNumber(text);
    ExpectHex4(EncodeValue(text));
    ExpectHex4(EncodeOneDecimal(text));
    static const int steps[] = {0, 1, 2, 5, 10, 20, 50};
    for (int decimals = 0; decimals <= 3; ++decimals) {
        for (const int step : steps) {
            ExpectHex4(EncodeScaled(text, decimals, step));
        }
        (void)DecodeValue(text, decimals);
    }
    for (int code = -1; code <= 15; ++code) {
        (void)DivisionFromCode(code);
    }
    return 0;
}
