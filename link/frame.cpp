#include "frame.h"

#include "registers.h"

#include <QtGlobal>

#include <array>
#include <cmath>
#include <limits>

namespace {

// Division code -> step and decimals, codes 0..14.
constexpr std::array<DivisionInfo, 15> DivisionTable{{
    {1, 3},
    {2, 3},
    {5, 3},
    {1, 2},
    {2, 2},
    {5, 2},
    {1, 1},
    {2, 1},
    {5, 1},
    {1, 0},
    {2, 0},
    {5, 0},
    {10, 0},
    {20, 0},
    {50, 0},
}};

// Reads the hex digits at the start of `text` up to the first character that is not one; no
// digit at all gives 0 (a pair like "G1" counts as 0, "1G" as 1).
uint32_t LeadingHex(QByteArrayView text) {
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

// Index (from 0) just past the data of a reply: the LRC and CR LF that close the frame are not data.
qsizetype DataEnd(const QByteArray& reply) {
    const qsizetype tail = reply.endsWith("\r\n") ? 4 : 2;
    return qMax<qsizetype>(0, reply.size() - tail);
}

// `width` hex digits from index `index` (from 0) of a reply's data; 0 when they are not all there.
uint32_t DataHex(const QByteArray& reply, qsizetype index, qsizetype width) {
    if (index < 0 || index + width > DataEnd(reply)) {
        return 0;
    }
    return LeadingHex(QByteArrayView(reply).sliced(index, width));
}

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The 4 hex digits of a whole count: the low 16 bits of its 32-bit two's complement. The count is
// reduced with fmod on the double (exact, no overflowing conversion), so numbers outside the 32-bit
// range wrap like those inside it: only the low 16 bits of the exact value are kept. An infinite
// count (text too large for a double) gives 0000.
QByteArray CountToHex4(double count) {
    if (!std::isfinite(count)) {
        return Hex4(0);
    }
    double low = std::fmod(count, 65536.0); // same sign as count, |low| < 65536
    if (low < 0.0) {
        low += 65536.0;
    }
    return Hex4(static_cast<unsigned>(low));
}

// The text with every "." removed, and the number of decimals typed: the characters after the last
// point. Blanks are dropped first: they are no part of the number and must not count as decimals
// (a stray blank after "12.5" would otherwise turn it into 125 with two decimals).
struct PointFreeText {
    QString text;
    int decimals = 0;
};

PointFreeText RemovePoints(const QString& input) {
    PointFreeText out;
    out.text.reserve(input.size());
    for (QChar c : input) {
        if (IsBlank(c)) {
            continue;
        }
        if (c == u'.') {
            out.decimals = 0;
            continue;
        }
        out.text.append(c);
        ++out.decimals;
    }
    if (!input.contains(u'.')) {
        out.decimals = 0;
    }
    return out;
}

} // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

double RoundHalfEven(double x) {
    if (!std::isfinite(x)) {
        return x;
    }
    const double below = std::floor(x);
    const double fraction = x - below; // exact for every finite double
    if (fraction > 0.5) {
        return below + 1.0;
    }
    if (fraction < 0.5) {
        return below;
    }
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

DivisionInfo DivisionFromCode(int code) {
    if (code < 0 || code >= static_cast<int>(DivisionTable.size())) {
        return {};
    }
    return DivisionTable[static_cast<size_t>(code)];
}

void SetDivisionFromCode(Modulo1& m, int address, int code) {
    Q_ASSERT(address >= 0 && address < AddressTableSize);
    if (address < 0 || address >= AddressTableSize) {
        return;
    }
    const DivisionInfo info = DivisionFromCode(code);
    m.DivisionStep[static_cast<size_t>(address)] = info.step;
    m.DecimalCount[static_cast<size_t>(address)] = info.decimals;
}

namespace {
// The `digits` lowest hex digits of `value`, upper case, most significant first, appended to `out`.
void AppendHex(QByteArray& out, unsigned value, int digits) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out.append(Digits[(value >> shift) & 0xFu]);
    }
}
} // namespace

QByteArray Hex2(unsigned value) {
    QByteArray text;
    AppendHex(text, value, 2);
    return text;
}

QByteArray Hex4(unsigned value) {
    QByteArray text;
    AppendHex(text, value, 4);
    return text;
}

QByteArray ReadBody(unsigned startRegister, unsigned count) {
    return Hex4(startRegister) + Hex4(count);
}

QByteArray WriteSingleBody(unsigned reg, const QByteArray& value4) {
    return Hex4(reg) + value4;
}

QByteArray WriteMultipleBody(unsigned startRegister, const QList<QByteArray>& values4) {
    const auto count = static_cast<unsigned>(values4.size());
    QByteArray body = Hex4(startRegister) + Hex4(count) + Hex2(2 * count);
    for (const QByteArray& value : values4) {
        body += value;
    }
    return body;
}

QByteArray WriteCoilsBody(unsigned startCoil, unsigned coilCount, const QList<uint8_t>& dataBytes) {
    QByteArray body = Hex4(startCoil) + Hex4(coilCount) + Hex2(static_cast<unsigned>(dataBytes.size()));
    for (uint8_t byte : dataBytes) {
        body += Hex2(byte);
    }
    return body;
}

namespace {
// Two's complement of the byte sum of a hex text.
unsigned LrcValue(QByteArrayView hexText) {
    unsigned sum = 0;
    for (qsizetype i = 0; i < hexText.size(); i += 2) {
        // A trailing single character is read as a one-digit number.
        sum += LeadingHex(hexText.sliced(i, qMin<qsizetype>(2, hexText.size() - i)));
    }
    return (256u - sum % 256u) % 256u;
}
} // namespace

QByteArray ComputeLrc(const QByteArray& hexText) {
    return Hex2(LrcValue(hexText));
}

QByteArray BuildRequest(int address, int function, const QByteArray& body) {
    // Built in place: the polling loops build a request for every exchange.
    QByteArray request;
    request.reserve(1 + 4 + body.size() + 4);
    request.append(':');
    AppendHex(request, static_cast<unsigned>(address), 2);
    AppendHex(request, static_cast<unsigned>(function), 2);
    request.append(body.toUpper());
    AppendHex(request, LrcValue(QByteArrayView(request).sliced(1)), 2);
    request.append("\r\n");
    return request;
}

int ExpectedReplyChars(const QByteArray& request) {
    // ":" + address (2) + function (2) + ... + LRC (2) + CR LF.
    constexpr int Frame = 1 + 2 + 2 + 2 + 2;
    if (!request.startsWith(':') || !request.endsWith("\r\n") || request.size() < Frame) {
        return 0;
    }
    const auto hex = [&request](qsizetype from, qsizetype width) {
        int value = 0;
        for (char c : QByteArrayView(request).sliced(from, width)) {
            const int digit = HexDigitValue(c);
            if (digit < 0) {
                return -1;
            }
            value = value * 16 + digit;
        }
        return value;
    };
    // Reads carry start (4) and count (4) after the function code; their reply carries a byte count
    // (2) and the data.
    const int count = request.size() >= Frame + 8 ? hex(9, 4) : -1;
    switch (hex(3, 2)) {
    case Fn::ReadCoils:
    case Fn::ReadDiscreteInputs:
        return count >= 0 ? Frame + 2 + 2 * ((count + 7) / 8) : 0;
    case Fn::ReadHoldingRegisters:
    case Fn::ReadInputRegisters:
        return count >= 0 ? Frame + 2 + 4 * count : 0;
    case Fn::ReadExceptionStatus:
        return Frame + 2;
    case Fn::WriteSingleRegister:
    case Fn::WriteMultipleCoils:
    case Fn::WriteMultipleRegisters:
        return Frame + 8;
    default:
        return 0;
    }
}

bool CheckReply(const QByteArray& reply, const QByteArray& expectedPrefix) {
    // ":" + address (2) + prefix + ... + LRC (2) + CR LF: anything shorter, or text that is not
    // framed, is not a reply.
    const qsizetype n = reply.size();
    if (n < 3 + expectedPrefix.size() + 4 || !reply.startsWith(':') || !reply.endsWith("\r\n")) {
        return false;
    }
    if (QByteArrayView(reply).sliced(3, expectedPrefix.size()) != expectedPrefix) {
        return false;
    }
    // Exact text comparison: a reply carrying its LRC in lower case fails.
    return ComputeLrc(reply.sliced(1, n - 5)) == QByteArrayView(reply).sliced(n - 4, 2);
}

uint16_t ReadRegisterUnsigned(const QByteArray& reply, int n) {
    if (n < 0) {
        return 0;
    }
    return static_cast<uint16_t>(DataHex(reply, 7 + 4 * static_cast<qsizetype>(n), 4));
}

int16_t ReadRegisterSigned(const QByteArray& reply, int n) {
    return static_cast<int16_t>(ReadRegisterUnsigned(reply, n));
}

int32_t ReadRegister32(const QByteArray& reply, int n) {
    const uint32_t high = ReadRegisterUnsigned(reply, n);
    const uint32_t low = n < std::numeric_limits<int>::max() ? ReadRegisterUnsigned(reply, n + 1) : 0;
    return static_cast<int32_t>((high << 16) | low);
}

uint8_t ReadDataByte(const QByteArray& reply) {
    return static_cast<uint8_t>(DataHex(reply, 7, 2));
}

uint16_t ReadRequestValue(const QByteArray& request, int n) {
    if (n < 0) {
        return 0;
    }
    return static_cast<uint16_t>(DataHex(request, 15 + 4 * static_cast<qsizetype>(n), 4));
}

uint8_t ReadStatusByte(const QByteArray& reply) {
    return static_cast<uint8_t>(DataHex(reply, 5, 2));
}

QString StatusWeightText(uint8_t status) {
    if (status & Status::ShowUnderscores) {
        return QStringLiteral("_______");
    }
    if (status & Status::ShowDashes) {
        return QStringLiteral("-------");
    }
    if (status & Status::Overload) {
        return QStringLiteral(" O - L ");
    }
    return {};
}

double ReadNumber(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsBlank(text[i])) {
            ++i;
        }
    };

    QByteArray number; // the number without its blanks, in C syntax
    skipBlanks();
    const bool negative = i < n && text[i] == u'-';
    if (negative) {
        number += '-';
        ++i;
    }
    bool anyDigit = false;
    bool point = false;
    // Where the first significant digit stands, to tell an overflow from an underflow.
    bool significant = false;
    qsizetype integerDigits = 0; // significant digits before the point
    qsizetype fractionZeros = 0; // zeros after the point before the first significant digit
    for (;;) {
        skipBlanks();
        if (i >= n) {
            break;
        }
        const QChar c = text[i];
        if (IsAsciiDigit(c)) {
            number += static_cast<char>(c.unicode());
            anyDigit = true;
            if (c != u'0' || significant) {
                significant = true;
                integerDigits += point ? 0 : 1;
            } else if (point) {
                ++fractionZeros;
            }
        } else if (c == u'.' && !point) {
            number += '.';
            point = true;
        } else {
            break;
        }
        ++i;
    }
    if (!anyDigit) {
        return 0.0;
    }
    // An exponent counts only when at least one digit follows the "e" (and its sign).
    qint64 exponentValue = 0; // saturated: far beyond any double either way
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        QByteArray exponent = "e";
        skipBlanks();
        const bool exponentNegative = i < n && text[i] == u'-';
        if (i < n && (text[i] == u'-' || text[i] == u'+')) {
            exponent += static_cast<char>(text[i].unicode());
            ++i;
        }
        bool exponentDigit = false;
        for (skipBlanks(); i < n && IsAsciiDigit(text[i]); ++i, skipBlanks()) {
            exponent += static_cast<char>(text[i].unicode());
            exponentValue = qMin<qint64>(exponentValue * 10 + (text[i].unicode() - u'0'), 1000000);
            exponentDigit = true;
        }
        if (exponentDigit) {
            number += exponent;
            exponentValue = exponentNegative ? -exponentValue : exponentValue;
        } else {
            exponentValue = 0;
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok); // locale independent
    if (ok) {
        return value;
    }
    // Out of the range of a double: too large reads as an infinity, too small as 0.
    const qint64 firstDigitPower = integerDigits > 0 ? integerDigits - 1 : -(fractionZeros + 1);
    if (significant && firstDigitPower + exponentValue > 0) {
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    return negative ? -0.0 : 0.0;
}

bool IsFieldNumber(QStringView text, bool decimals) {
    int points = 0;
    for (const QChar c : text) {
        if (IsAsciiDigit(c) || c == u' ') {
            continue;
        }
        if (c != u'.' || !decimals || ++points > 1) {
            return false;
        }
    }
    return true;
}

QByteArray EncodeValue(const QString& text) {
    QString pointFree = text;
    pointFree.remove(u'.');
    return CountToHex4(RoundHalfEven(ReadNumber(pointFree)));
}

double ScaledCount(const QString& text, int decimalCount, int divisionStep) {
    PointFreeText value = RemovePoints(text);
    if (decimalCount > 0) {
        // Missing decimals are filled with "0"; extra decimals are cut, not rounded.
        for (; value.decimals < decimalCount; ++value.decimals) {
            value.text.append(u'0');
        }
        value.text.chop(value.decimals - decimalCount);
    } else {
        // An instrument that shows no decimals takes whole units: decimals typed anyway are cut, so
        // 3.7 is sent as 3, which is what a technician expects, not as 37 (the digits of the
        // decimals must not become digits of the count).
        value.text.chop(value.decimals);
    }
    double number = ReadNumber(value.text);
    if (divisionStep != 0 && number != 0.0) {
        number /= divisionStep;
    }
    return RoundHalfEven(number);
}

QByteArray EncodeScaled(const QString& text, int decimalCount, int divisionStep) {
    return CountToHex4(ScaledCount(text, decimalCount, divisionStep));
}

QByteArray EncodeScaled(const QString& text, const Modulo1& m) {
    return EncodeScaled(text, m.CurrentDecimals(), m.CurrentStep());
}

QByteArray EncodeOneDecimal(const QString& text) {
    PointFreeText value = RemovePoints(text);
    if (value.decimals == 0) {
        value.text.append(u'0');
    } else {
        value.text.chop(value.decimals - 1);
    }
    return CountToHex4(RoundHalfEven(ReadNumber(value.text)));
}

QString DecodeValue(const QString& count, int decimalCount) {
    QString text = count;
    const bool negative = text.startsWith(u'-');
    if (negative) {
        text.remove(0, 1);
    }
    if (decimalCount > 0) {
        if (text.size() < decimalCount + 1) {
            text = text.rightJustified(decimalCount + 1, u'0');
        }
        text.insert(text.size() - decimalCount, u'.');
    }
    if (negative) {
        text.prepend(u'-');
    }
    return text.rightJustified(7, u' ');
}

QString DecodeValue(const QString& count, const Modulo1& m) {
    return DecodeValue(count, m.CurrentDecimals());
}
