#pragma once

// MODBUS ASCII frames and the conversion of display values to and from register text.
// Pure text functions: no port, no widgets. Frames are ASCII byte strings; display values are
// QStrings. All hex text produced here is upper case.

#include "modulo1.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// Division code (holding register 0x1050) -> division step and decimal count.
// Codes outside 0..14 give step 0 and 0 decimals (division not known).
struct DivisionInfo {
    uint8_t step = 0;
    uint8_t decimals = 0;
};
DivisionInfo DivisionFromCode(int code);
// Stores the division of `code` for the instrument at `address`.
void SetDivisionFromCode(Modulo1& m, int address, int code);

// Request text: ":" + address (2 hex) + function (2 hex) + body + LRC + CR LF.
QByteArray BuildRequest(int address, int function, const QByteArray& body);

// Convenience builders of request bodies (4 hex digits per register / count / value).
// The value of one hex digit, upper or lower case; -1 for any other character.
int HexDigitValue(char c);
QByteArray Hex2(unsigned value);                             // 2 upper-case hex digits of the low byte
QByteArray Hex4(unsigned value);                             // 4 upper-case hex digits of the low 16 bits
QByteArray ReadBody(unsigned startRegister, unsigned count); // functions 01, 02, 03, 04
QByteArray WriteSingleBody(unsigned reg, const QByteArray& value4); // function 06
// Function 10: start + count + byte count + the 4-digit values in order.
QByteArray WriteMultipleBody(unsigned startRegister, const QList<QByteArray>& values4);
// Function 0F: start + count of coils + byte count + the data bytes (2 hex digits each).
QByteArray WriteCoilsBody(unsigned startCoil, unsigned coilCount, const QList<uint8_t>& dataBytes);

// Characters of the normal reply to `request` (":" .. CR LF): for a read, what the count asked for
// fills; for a write, its echo. 0 for text that is no request of the functions the utility uses.
int ExpectedReplyChars(const QByteArray& request);

// Two's complement of the byte sum of a hex text, as 2 upper-case hex digits.
QByteArray ComputeLrc(const QByteArray& hexText);

// True when characters 4.. of the reply begin with the expected prefix and the LRC carried in the
// reply is right (exact text comparison, so a lower-case LRC fails). The address is not compared.
// Text that is not a whole frame (no leading ":", no CR LF at the end, too short to hold the
// prefix and the LRC) fails.
bool CheckReply(const QByteArray& reply, const QByteArray& expectedPrefix);

// Register readers of a read reply; n counts from 0, the n-th register starts at character 8 + 4n
// (":" being character 1). A register missing from a short reply reads as 0: only characters before
// the LRC count as data. Hex digits are read up to the first character that is not one.
uint16_t ReadRegisterUnsigned(const QByteArray& reply, int n);
int16_t ReadRegisterSigned(const QByteArray& reply, int n);
// Registers n and n + 1 as one signed 32-bit number, register n being the high word.
int32_t ReadRegister32(const QByteArray& reply, int n);
// The n-th value (n from 0) of a function 10 request: the 4 hex digits at character 16 + 4n.
uint16_t ReadRequestValue(const QByteArray& request, int n);
// The data byte of a 01/02 reply (2 hex digits from character 8).
uint8_t ReadDataByte(const QByteArray& reply);
// The status byte of a 07 reply (the 2 hex digits after the function code).
uint8_t ReadStatusByte(const QByteArray& reply);
// What a weight display shows instead of the weight when the status byte says the instrument shows a
// state: "_______" (bit 4) wins, else "-------" (bit 5), else " O - L " (bit 6, overload). Empty when
// none of these bits is set and the weight is to be shown.
QString StatusWeightText(uint8_t status);

// Reads a decimal number the way the instrument tools always have: blanks are ignored wherever they
// stand, a leading "-" is allowed, reading stops at the first other character. No number gives 0.
// A number is digits with at most one "." and an optional exponent ("e" or "E", maybe a sign, and
// at least one digit). A number too large for a double reads as an infinity.
double ReadNumber(const QString& text);
// The text of a numeric field: digits and blanks (plain spaces, ignored wherever they stand), with at
// most one "." where the field has decimals; no sign, no exponent. An empty text passes: what it means
// is the field's own rule.
bool IsFieldNumber(QStringView text, bool decimals);

// Round to the nearest integer, a half going to the even neighbour (62.5 -> 62, 63.5 -> 64,
// -2.5 -> -2). Does not depend on the floating-point rounding mode.
double RoundHalfEven(double x);

// Value text with the decimals the register expects -> 4 hex digits (every "." removed).
// The number is rounded half to even and sent as the low 16 bits of its 32-bit two's complement.
// Numbers outside the 32-bit range wrap the same way (the count is reduced modulo 2^32, so only the
// low 16 bits of the exact value are kept; 4294967296 sends 0000); an infinite number sends 0000.
QByteArray EncodeValue(const QString& text);
// Weight-type value -> 4 hex digits, with the instrument's decimals and division step. Blanks are
// dropped first; missing decimals are filled with "0", extra ones cut (not rounded); with no
// decimals (decimalCount 0) typed decimals are cut, so 3.7 sends 3. A step of 0 divides nothing.
QByteArray EncodeScaled(const QString& text, int decimalCount, int divisionStep);
// The whole count of divisions that EncodeScaled sends the low 16 bits of (not reduced to 16 bits).
double ScaledCount(const QString& text, int decimalCount, int divisionStep);
QByteArray EncodeScaled(const QString& text, const Modulo1& m);
// Value kept with exactly one decimal -> 4 hex digits.
QByteArray EncodeOneDecimal(const QString& text);
// Integer count (decimal text, maybe with "-") -> display text with the decimals, right-justified
// to 7 characters (longer text is kept whole).
QString DecodeValue(const QString& count, int decimalCount);
QString DecodeValue(const QString& count, const Modulo1& m);
