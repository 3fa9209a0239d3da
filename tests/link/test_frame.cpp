// Frames, LRC, reply checks, register readers and the value encoders, checked against reference
// frames and worked values computed by hand.

#include "frame.h"
#include "registers.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

class TestFrame : public QObject {
    Q_OBJECT

private slots:
    void lrc_data();
    void lrc();
    void buildRequest_data();
    void buildRequest();
    void checkReply_data();
    void checkReply();
    void checkReplyNeverAcceptsPartOfAFrame();
    void expectedReplyChars_data();
    void expectedReplyChars();
    void registers_data();
    void registers();
    void register32_data();
    void register32();
    void dataByte_data();
    void dataByte();
    void statusByte_data();
    void statusByte();
    void readNumber_data();
    void readNumber();
    void encodeValue_data();
    void encodeValue();
    void encodeScaled_data();
    void encodeScaled();
    void encodeScaledUsesTheAddressInUse();
    void encodeOneDecimal_data();
    void encodeOneDecimal();
    void decodeValue_data();
    void decodeValue();
    void decodeValueUsesTheAddressInUse();
    void divisionTable_data();
    void divisionTable();
    void setDivisionTouchesOneAddress();
};

void TestFrame::expectedReplyChars_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("chars");
    const auto read = [](uint8_t fn, unsigned count) { return BuildRequest(1, fn, ReadBody(0, count)); };
    QTest::newRow("01, 1 coil: one data byte") << read(Fn::ReadCoils, 1) << 13;
    QTest::newRow("01, 8 coils: one data byte") << read(Fn::ReadCoils, 8) << 13;
    QTest::newRow("01, 9 coils: two data bytes") << read(Fn::ReadCoils, 9) << 15;
    QTest::newRow("02, 2 inputs") << read(Fn::ReadDiscreteInputs, 2) << 13;
    QTest::newRow("03, 1 register") << read(Fn::ReadHoldingRegisters, 1) << 15;
    QTest::newRow("03, 0 registers") << read(Fn::ReadHoldingRegisters, 0) << 11;
    QTest::newRow("04, 5 registers") << read(Fn::ReadInputRegisters, 5) << 31;
    QTest::newRow("04, FFFF registers") << read(Fn::ReadInputRegisters, 0xFFFF) << 11 + 4 * 0xFFFF;
    QTest::newRow("07 status") << BuildRequest(1, Fn::ReadExceptionStatus, {}) << 11;
    QTest::newRow("06 echo") << BuildRequest(1, Fn::WriteSingleRegister, WriteSingleBody(0x0800, "0020"))
                             << 17;
    QTest::newRow("0F echo") << BuildRequest(1, Fn::WriteMultipleCoils, WriteCoilsBody(0, 2, {3})) << 17;
    QTest::newRow("10 echo") << BuildRequest(1, Fn::WriteMultipleRegisters,
                                             WriteMultipleBody(0x1100, {"0001"}))
                             << 17;
    QTest::newRow("function not used") << BuildRequest(1, 0x2B, "0E01") << 0;
    QTest::newRow("read without its count") << BuildRequest(1, Fn::ReadHoldingRegisters, "10") << 0;
    QTest::newRow("count not hex") << QByteArray(":0103105000G1XX\r\n") << 0;
    QTest::newRow("no colon") << read(Fn::ReadHoldingRegisters, 1).mid(1) << 0;
    QTest::newRow("no line end") << read(Fn::ReadHoldingRegisters, 1).chopped(2) << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestFrame::expectedReplyChars() {
    QFETCH(QByteArray, request);
    QFETCH(int, chars);
    QCOMPARE(ExpectedReplyChars(request), chars);
}

void TestFrame::lrc_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("lrc");
    QTest::newRow("read division code") << QByteArray("010310500001") << QByteArray("9B");
    QTest::newRow("status byte") << QByteArray("0107") << QByteArray("F8");
    QTest::newRow("address 26") << QByteArray("1A0400000001") << QByteArray("E1");
    QTest::newRow("sum 256 gives 00") << QByteArray("FF01") << QByteArray("00");
    QTest::newRow("sum 512 gives 00") << QByteArray("FFFF02") << QByteArray("00");
    QTest::newRow("empty gives 00") << QByteArray() << QByteArray("00");
    QTest::newRow("leading zero kept") << QByteArray("F5") << QByteArray("0B");
    QTest::newRow("half of 256") << QByteArray("80") << QByteArray("80");
    QTest::newRow("trailing single digit") << QByteArray("0107F") << QByteArray("E9");
    QTest::newRow("lower-case input") << QByteArray("ff01") << QByteArray("00");
    QTest::newRow("non-hex pair counts 0") << QByteArray("01G7") << QByteArray("FF");
}

void TestFrame::lrc() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, lrc);
    QCOMPARE(ComputeLrc(text), lrc);
}

void TestFrame::buildRequest_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("read division code")
        << 1 << int(Fn::ReadHoldingRegisters) << ReadBody(Reg::DivisionCode, 1)
        << QByteArray(":0103105000019B\r\n");
    QTest::newRow("status byte") << 1 << int(Fn::ReadExceptionStatus) << QByteArray()
                                 << QByteArray(":0107F8\r\n");
    QTest::newRow("address 26") << 26 << int(Fn::ReadInputRegisters) << ReadBody(Reg::Weight, 1)
                                << QByteArray(":1A0400000001E1\r\n");
    QTest::newRow("function 10 block")
        << 1 << int(Fn::WriteMultipleRegisters)
        << WriteMultipleBody(Reg::WeightParameters, {"0007", "0002", "0005", "0002", "0064"})
        << QByteArray(":0110110000050A00070002000500020064"
                      "5B\r\n");
    QTest::newRow("function 10 memory reset")
        << 1 << int(Fn::WriteMultipleRegisters)
        << WriteMultipleBody(Reg::Command, {Hex4(Cmd::MemoryReset), EncodeValue("40718")})
        << QByteArray(":0110080000020400189F0E1C\r\n");
    QTest::newRow("function 0F coils")
        << 2 << int(Fn::WriteMultipleCoils) << WriteCoilsBody(Reg::Coils, Reg::CoilCount, {0x03})
        << QByteArray(":020F000000020103E9\r\n");
    QTest::newRow("function 06 at address 32")
        << 32 << int(Fn::WriteSingleRegister) << WriteSingleBody(Reg::Command, Hex4(Cmd::StoreAndEnd))
        << QByteArray(":200608000020B2\r\n");
    QTest::newRow("function 06 at address 10")
        << 10 << int(Fn::WriteSingleRegister) << WriteSingleBody(Reg::OperatingMode, Hex4(7))
        << QByteArray(":0A0610100007C9\r\n");
    QTest::newRow("lower-case body sent upper case")
        << 10 << int(Fn::WriteSingleRegister) << QByteArray("4003ffff") << QByteArray(":0A064003FFFFAF\r\n");
}

void TestFrame::buildRequest() {
    QFETCH(int, address);
    QFETCH(int, function);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, frame);
    QCOMPARE(BuildRequest(address, function, body), frame);
    QVERIFY(CheckReply(frame, frame.mid(3, 2)));
}

void TestFrame::checkReply_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<bool>("accepted");

    const QByteArray good(":0103020005F5\r\n");
    QTest::newRow("one holding register") << good << QByteArray(Prefix::DivisionCode) << true;
    QTest::newRow("block prefix only") << good << QByteArray(Prefix::Block) << true;
    QTest::newRow("wrong LRC") << QByteArray(":0103020005F6\r\n") << QByteArray("0302") << false;
    QTest::newRow("other address") << QByteArray(":0203020005F4\r\n") << QByteArray("0302") << true;
    QTest::newRow("lower-case LRC") << QByteArray(":0103020005f5\r\n") << QByteArray("0302") << false;
    QTest::newRow("wrong byte count") << good << QByteArray(Prefix::SetPoints) << false;
    QTest::newRow("wrong function") << good << QByteArray(Prefix::Weight) << false;
    QTest::newRow("exception reply") << QByteArray(":0183027A\r\n") << QByteArray(Prefix::Block) << false;
    QTest::newRow("status byte") << QByteArray(":010704F4\r\n") << QByteArray(Prefix::Status) << true;
    QTest::newRow("data changed") << QByteArray(":0103020006F5\r\n") << QByteArray("0302") << false;
    QTest::newRow("empty") << QByteArray() << QByteArray("0302") << false;
    QTest::newRow("colon only") << QByteArray(":") << QByteArray("07") << false;
    QTest::newRow("line end only") << QByteArray("\r\n") << QByteArray("07") << false;
    QTest::newRow("no room for prefix") << QByteArray(":01FE\r\n") << QByteArray("03") << false;
    QTest::newRow("shortest acceptable") << QByteArray(":0103FC\r\n") << QByteArray("03") << true;
    QTest::newRow("too short for prefix") << QByteArray(":0103FC\r\n") << QByteArray("0302") << false;
    QTest::newRow("no line end") << QByteArray(":0103020005F5") << QByteArray("0302") << false;
    // The right LRC, but two blanks where CR LF belongs: not a frame.
    QTest::newRow("blanks for line end") << QByteArray(":0103020005F5  ") << QByteArray("0302") << false;
    QTest::newRow("noise before colon") << QByteArray("X0103020005F5\r\n") << QByteArray("0302") << false;
    QTest::newRow("garbage") << QByteArray("\xff\x00garbage\r\n", 11) << QByteArray("0302") << false;
}

void TestFrame::checkReply() {
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, prefix);
    QFETCH(bool, accepted);
    QCOMPARE(CheckReply(reply, prefix), accepted);
}

void TestFrame::checkReplyNeverAcceptsPartOfAFrame() {
    const QByteArray good(":1A040A00010002FFFFFFFE0004D6\r\n");
    QVERIFY(CheckReply(good, Prefix::WeightBlock));
    for (qsizetype k = 0; k < good.size(); ++k) {
        QVERIFY2(!CheckReply(good.left(k), Prefix::WeightBlock), good.left(k).constData());
        QVERIFY2(!CheckReply(good.left(k), Prefix::Status), good.left(k).constData());
    }
    // Random bytes: never accepted, and the readers stay inside the text (checked under the
    // address and undefined-behaviour sanitizers).
    QRandomGenerator random(20240611);
    for (int i = 0; i < 2000; ++i) {
        QByteArray junk(random.bounded(0, 24), '\0');
        for (char& c : junk) {
            c = static_cast<char>(random.bounded(256));
        }
        QVERIFY(!CheckReply(junk, Prefix::Peak));
        ReadRegister32(junk, random.bounded(-2, 8));
        ReadDataByte(junk);
    }
}

void TestFrame::registers_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("asUnsigned");
    QTest::addColumn<int>("asSigned");

    const QByteArray three(":0103060005FFFB800077\r\n");
    QTest::newRow("first") << three << 0 << 5 << 5;
    QTest::newRow("second, negative when signed") << three << 1 << 65531 << -5;
    QTest::newRow("third, 0x8000") << three << 2 << 32768 << -32768;
    QTest::newRow("missing after the data") << three << 3 << 0 << 0;
    QTest::newRow("far beyond") << three << 1000 << 0 << 0;
    QTest::newRow("negative index") << three << -1 << 0 << 0;
    QTest::newRow("lower-case data") << QByteArray(":010302ffffFF\r\n") << 0 << 65535 << -1;
    QTest::newRow("partial register is missing") << QByteArray(":0103040005FFF5\r\n") << 1 << 0 << 0;
    QTest::newRow("empty reply") << QByteArray() << 0 << 0 << 0;
    QTest::newRow("frame without line end") << QByteArray(":0103020005F5") << 0 << 5 << 5;
}

void TestFrame::registers() {
    QFETCH(QByteArray, reply);
    QFETCH(int, n);
    QFETCH(int, asUnsigned);
    QFETCH(int, asSigned);
    QCOMPARE(int(ReadRegisterUnsigned(reply, n)), asUnsigned);
    QCOMPARE(int(ReadRegisterSigned(reply, n)), asSigned);
}

void TestFrame::register32_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("n");
    QTest::addColumn<qint32>("value");

    QTest::newRow("internal points 100000")
        << QByteArray(":1A040A00010002000186A00004AA\r\n") << Reg::PointsIndex << qint32(100000);
    QTest::newRow("negative points") << QByteArray(":1A040A00010002FFFFFFFE0004D6\r\n") << Reg::PointsIndex
                                     << qint32(-2);
    QTest::newRow("high word first, not low")
        << QByteArray(":1A040A00010002000186A00004AA\r\n") << 1 << qint32(0x00020001);
    QTest::newRow("smallest") << QByteArray(":0104048000000077\r\n") << 0
                              << std::numeric_limits<qint32>::min();
    QTest::newRow("low word missing") << QByteArray(":0104021234B3\r\n") << 0 << qint32(0x12340000);
    QTest::newRow("both missing") << QByteArray(":0104021234B3\r\n") << 1 << qint32(0);
    QTest::newRow("largest index") << QByteArray(":0104021234B3\r\n") << std::numeric_limits<int>::max()
                                   << qint32(0);
}

void TestFrame::register32() {
    QFETCH(QByteArray, reply);
    QFETCH(int, n);
    QFETCH(qint32, value);
    QCOMPARE(ReadRegister32(reply, n), value);
}

void TestFrame::dataByte_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("value");
    QTest::newRow("both outputs") << QByteArray(":01010103FA\r\n") << 3;
    QTest::newRow("input 2") << QByteArray(":02020102F9\r\n") << 2;
    QTest::newRow("no data byte") << QByteArray(":0101FE\r\n") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
}

void TestFrame::dataByte() {
    QFETCH(QByteArray, reply);
    QFETCH(int, value);
    QCOMPARE(int(ReadDataByte(reply)), value);
}

void TestFrame::statusByte_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("shown");
    QTest::newRow("stable") << QByteArray(":010704F4\r\n") << 0x04 << QString();
    QTest::newRow("underscores win") << QByteArray(":01077088\r\n") << 0x70 << QString("_______");
    QTest::newRow("dashes before overload") << QByteArray(":01076098\r\n") << 0x60 << QString("-------");
    QTest::newRow("overload") << QByteArray(":010745B3\r\n") << 0x45 << QString(" O - L ");
    QTest::newRow("not used bit 7") << QByteArray(":01078078\r\n") << 0x80 << QString();
    QTest::newRow("no status byte") << QByteArray(":0107F8\r\n") << 0 << QString();
}

void TestFrame::statusByte() {
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    QFETCH(QString, shown);
    QCOMPARE(int(ReadStatusByte(reply)), status);
    QCOMPARE(StatusWeightText(uint8_t(status)), shown);
}

void TestFrame::readNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    const double inf = std::numeric_limits<double>::infinity();

    QTest::newRow("plain") << "12" << 12.0;
    QTest::newRow("blanks around") << "  -3.5 " << -3.5;
    QTest::newRow("blanks inside") << "1 2 3" << 123.0;
    QTest::newRow("blank after sign") << "- 5" << -5.0;
    QTest::newRow("tab") << "\t7" << 7.0;
    QTest::newRow("stops at letter") << "12abc" << 12.0;
    QTest::newRow("stops at second point") << "1.2.3" << 1.2;
    QTest::newRow("stops at inner minus") << "12-3" << 12.0;
    QTest::newRow("stops at comma") << "1,5" << 1.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("point last") << "5." << 5.0;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("minus alone") << "-" << 0.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("double minus") << "--5" << 0.0;
    QTest::newRow("plus is not a sign") << "+5" << 0.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("negative exponent") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits") << "2e" << 2.0;
    QTest::newRow("exponent sign without digits") << "2e-x" << 2.0;
    QTest::newRow("leading zeros") << "007" << 7.0;
    QTest::newRow("beyond double") << "1e400" << inf;
    QTest::newRow("beyond double, negative") << "-1e400" << -inf;
    QTest::newRow("below double") << "1e-400" << 0.0;
    QTest::newRow("400 digits") << QString(400, u'9') << inf;
    QTest::newRow("400 decimals") << "0." + QString(400, u'0') + "1" << 0.0;
    QTest::newRow("huge exponent") << "0.001e99999999999999999999" << inf;
    QTest::newRow("huge negative exponent") << "-123e-99999999999999999999" << 0.0;
    QTest::newRow("non-ASCII digit") << QString::fromUtf8("\u0663") << 0.0;
}

void TestFrame::readNumber() {
    QFETCH(QString, text);
    QFETCH(double, value);
    const double read = ReadNumber(text);
    if (std::isinf(value)) {
        QVERIFY(std::isinf(read));
        QCOMPARE(std::signbit(read), std::signbit(value));
    } else {
        QCOMPARE(read, value);
    }
}

void TestFrame::encodeValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("hex");

    QTest::newRow("-1") << "-1" << QByteArray("FFFF");
    QTest::newRow("-5") << "-5" << QByteArray("FFFB");
    QTest::newRow("65535") << "65535" << QByteArray("FFFF");
    QTest::newRow("65536 loses its high digit") << "65536" << QByteArray("0000");
    QTest::newRow("65547") << "65547" << QByteArray("000B");
    QTest::newRow("point removed") << "1.5" << QByteArray("000F");
    QTest::newRow("sensitivity") << " 2.0000" << QByteArray("4E20");
    QTest::newRow("every point removed") << "1.2.3" << QByteArray("007B");
    QTest::newRow("access code") << "40718" << QByteArray("9F0E");
    QTest::newRow("blanks") << "12 34" << QByteArray("04D2");
    QTest::newRow("not a number") << "abc" << QByteArray("0000");
    QTest::newRow("empty") << "" << QByteArray("0000");
    // A half goes to the even neighbour (only reachable through an exponent here).
    QTest::newRow("2.5 -> 2") << "25e-1" << QByteArray("0002");
    QTest::newRow("1.5 -> 2") << "15e-1" << QByteArray("0002");
    QTest::newRow("3.5 -> 4") << "35e-1" << QByteArray("0004");
    QTest::newRow("-2.5 -> -2") << "-25e-1" << QByteArray("FFFE");
    QTest::newRow("2.6 -> 3") << "26e-1" << QByteArray("0003");
    // Outside the signed 32-bit range the count wraps modulo 2^32 like inside it.
    QTest::newRow("2^31") << "2147483648" << QByteArray("0000");
    QTest::newRow("2^31 + 1") << "2147483649" << QByteArray("0001");
    QTest::newRow("-2^31 - 1") << "-2147483649" << QByteArray("FFFF");
    QTest::newRow("2^32") << "4294967296" << QByteArray("0000");
    QTest::newRow("2^32 + 1") << "4294967297" << QByteArray("0001");
    QTest::newRow("1e12") << "1000000000000" << QByteArray("1000");
    QTest::newRow("-1e12") << "-1000000000000" << QByteArray("F000");
    QTest::newRow("1e12 by exponent") << "1e12" << QByteArray("1000");
    QTest::newRow("23 digits") << "99999999999999999999999" << QByteArray("0000");
    QTest::newRow("infinite") << "1e400" << QByteArray("0000");
    QTest::newRow("minus infinite") << "-1e400" << QByteArray("0000");
}

void TestFrame::encodeValue() {
    QFETCH(QString, text);
    QFETCH(QByteArray, hex);
    QCOMPARE(EncodeValue(text), hex);
}

void TestFrame::encodeScaled_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("hex");

    auto row = [](const char* name, const QString& text, int code, const char* hex) {
        const DivisionInfo d = DivisionFromCode(code);
        QTest::newRow(name) << text << int(d.decimals) << int(d.step) << QByteArray(hex);
    };
    row("3, code 4: 300 / 2", "3", 4, "0096");
    row("1.239, code 3: cut to 123", "1.239", 3, "007B");
    row("12.5, code 7: 62.5 to even", "12.5", 7, "003E");
    row("12.7, code 7: 63.5 to even", "12.7", 7, "0040");
    row("12, code 4: decimals filled", "12", 4, "0258");
    row("0.5, code 8", "0.5", 8, "0001");
    row("leading blanks", "   12.5", 7, "003E");
    row("trailing blank is no decimal", "12.5 ", 0, "30D4");
    row("negative", "-3", 4, "FF6A");
    row("zero", "0", 4, "0000");
    row("not a number", "x", 4, "0000");
    row("no decimals: 3.7 cut to 3", "3.7", 9, "0003");
    row("no decimals: 7.5 cut, 3.5 to even", "7.5", 10, "0004");
    row("no decimals: 5.9 cut, 2.5 to even", "5.9", 10, "0002");
    row("step 10: 25 is 2.5 to even", "25", 12, "0002");
    row("step 10: 35 is 3.5 to even", "35", 12, "0004");
    row("step 50", "1000", 14, "0014");
    row("unknown code: no division, no decimals", "1.5", 15, "0001");
    QTest::newRow("step 0: no division") << "1.5" << 2 << 0 << QByteArray("0096");
    QTest::newRow("step 0: no division, cut") << "1.239" << 2 << 0 << QByteArray("007B");
    QTest::newRow("beyond 32 bits wraps") << "4294967.296" << 3 << 1 << QByteArray("0000");
    QTest::newRow("1e12 divisions wraps") << "2000000000000" << 0 << 2 << QByteArray("1000");
}

void TestFrame::encodeScaled() {
    QFETCH(QString, text);
    QFETCH(int, decimals);
    QFETCH(int, step);
    QFETCH(QByteArray, hex);
    QCOMPARE(EncodeScaled(text, decimals, step), hex);
}

void TestFrame::encodeScaledUsesTheAddressInUse() {
    Modulo1 m;
    SetDivisionFromCode(m, 26, 7); // step 2, one decimal
    m.DeviceAddress = 26;
    QCOMPARE(EncodeScaled("12.5", m), QByteArray("003E"));
    m.DeviceAddress = 1; // division not known: no division, no decimals
    QCOMPARE(EncodeScaled("12.5", m), QByteArray("000C"));
}

void TestFrame::encodeOneDecimal_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("2 -> 20") << "2" << QByteArray("0014");
    QTest::newRow("10.05 -> 100") << "10.05" << QByteArray("0064");
    QTest::newRow("10.0") << "10.0" << QByteArray("0064");
    QTest::newRow("0.7") << "0.7" << QByteArray("0007");
    QTest::newRow("initial text") << "  0.0" << QByteArray("0000");
    QTest::newRow("point last") << "5." << QByteArray("0032");
    QTest::newRow("point first, cut") << ".25" << QByteArray("0002");
    QTest::newRow("negative") << "-1.5" << QByteArray("FFF1");
    QTest::newRow("not a number") << "abc" << QByteArray("0000");
}

void TestFrame::encodeOneDecimal() {
    QFETCH(QString, text);
    QFETCH(QByteArray, hex);
    QCOMPARE(EncodeOneDecimal(text), hex);
}

void TestFrame::decodeValue_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("-15, 2 decimals") << "-15" << 2 << "  -0.15";
    QTest::newRow("0, 3 decimals") << "0" << 3 << "  0.000";
    QTest::newRow("longer kept whole") << "12345678" << 0 << "12345678";
    QTest::newRow("longer with point") << "1234567" << 3 << "1234.567";
    QTest::newRow("5, 2 decimals") << "5" << 2 << "   0.05";
    QTest::newRow("1234, 2 decimals") << "1234" << 2 << "  12.34";
    QTest::newRow("no decimals") << "150" << 0 << "    150";
    QTest::newRow("negative, one decimal") << "-150" << 1 << "  -15.0";
    QTest::newRow("exactly 7") << "-999999" << 0 << "-999999";
}

void TestFrame::decodeValue() {
    QFETCH(QString, count);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(DecodeValue(count, decimals), text);
}

void TestFrame::decodeValueUsesTheAddressInUse() {
    Modulo1 m;
    SetDivisionFromCode(m, 3, 3); // two decimals
    m.DeviceAddress = 3;
    QCOMPARE(DecodeValue("5", m), QString("   0.05"));
    m.DeviceAddress = 4;
    QCOMPARE(DecodeValue("5", m), QString("      5"));
}

void TestFrame::divisionTable_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("decimals");
    const int steps[] = {1, 2, 5, 1, 2, 5, 1, 2, 5, 1, 2, 5, 10, 20, 50};
    const int decimals[] = {3, 3, 3, 2, 2, 2, 1, 1, 1, 0, 0, 0, 0, 0, 0};
    for (int code = 0; code < 15; ++code) {
        QTest::addRow("code %d", code) << code << steps[code] << decimals[code];
    }
    QTest::newRow("15 unknown") << 15 << 0 << 0;
    QTest::newRow("255 unknown") << 255 << 0 << 0;
    QTest::newRow("-1 unknown") << -1 << 0 << 0;
}

void TestFrame::divisionTable() {
    QFETCH(int, code);
    QFETCH(int, step);
    QFETCH(int, decimals);
    const DivisionInfo info = DivisionFromCode(code);
    QCOMPARE(int(info.step), step);
    QCOMPARE(int(info.decimals), decimals);
}

void TestFrame::setDivisionTouchesOneAddress() {
    Modulo1 m;
    SetDivisionFromCode(m, 5, 0);
    SetDivisionFromCode(m, 6, 14);
    QCOMPARE(int(m.DivisionStep[5]), 1);
    QCOMPARE(int(m.DecimalCount[5]), 3);
    QCOMPARE(int(m.DivisionStep[6]), 50);
    QCOMPARE(int(m.DecimalCount[6]), 0);
    SetDivisionFromCode(m, 5, 20); // an unknown code clears what was known
    QCOMPARE(int(m.DivisionStep[5]), 0);
    QCOMPARE(int(m.DecimalCount[5]), 0);
    QCOMPARE(int(m.DivisionStep[6]), 50);
    SetDivisionFromCode(m, 100, 4); // the last address of the tables
    QCOMPARE(int(m.DivisionStep[100]), 2);
}

QTEST_GUILESS_MAIN(TestFrame)
#include "test_frame.moc"
