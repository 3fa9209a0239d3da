#pragma once

// Frames written out by hand in the tests, with an LRC computed here and not by the utility's own
// encoder, so that a fault in the encoder is caught, not mirrored.

#include <QByteArray>

namespace handframe {

// Two's complement of the byte sum of the hex pairs of `hex`, as 2 upper-case hex digits.
inline QByteArray Lrc(const QByteArray& hex) {
    unsigned sum = 0;
    for (int i = 0; i + 1 < hex.size(); i += 2) {
        sum += hex.mid(i, 2).toUInt(nullptr, 16);
    }
    return QByteArray::number((0x100 - (sum & 0xFF)) & 0xFF, 16).toUpper().rightJustified(2, '0');
}

// A complete frame from its body (blanks in `body` are only for reading): ":" + body + LRC + CR LF.
inline QByteArray Frame(QByteArray body) {
    body.replace(' ', "");
    return ":" + body + Lrc(body) + "\r\n";
}

} // namespace handframe
