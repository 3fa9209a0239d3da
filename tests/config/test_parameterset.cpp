// The parameter tables, the encodings in both directions, the block decoding and the group writes.

#include "frame.h"
#include "parameterset.h"
#include "registers.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(Encoding)
Q_DECLARE_METATYPE(Field)
Q_DECLARE_METATYPE(GroupId)

namespace {

using T = QList<QPair<Field, QString>>;
using I = QList<QPair<Field, int>>;

// A read reply of function 03 from address 1 carrying `data` (4 hex digits per register).
QByteArray Reply(const QByteArray& data) {
    return BuildRequest(1, Fn::ReadHoldingRegisters, Hex2(static_cast<unsigned>(data.size() / 2)) + data);
}

Modulo1 Model(int model, int divisionCode = 9) {
    Modulo1 m;
    m.InstrumentModel = static_cast<int16_t>(model);
    SetDivisionFromCode(m, m.DeviceAddress, divisionCode);
    return m;
}

} // namespace

class TestParameterSet : public QObject {
    Q_OBJECT

private slots:
    void decodeText_data();
    void decodeText();
    void encodeText_data();
    void encodeText();
    void roundTrip_data();
    void roundTrip();
    void modeWord_data();
    void modeWord();
    void listFromRegister_data();
    void listFromRegister();
    void decodeBlocks();
    void shortReplyDecodesAsZero();
    void divisionCode_data();
    void divisionCode();
    void groupRequest_data();
    void groupRequest();
    void writeCounts_data();
    void writeCounts();
    void resetAndSetters();
    void tables();
};

void TestParameterSet::decodeText_data() {
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("divisionCode");
    QTest::addColumn<QString>("text");
    QTest::newRow("sensitivity 0") << Encoding::Sensitivity << 0 << 0 << 9 << " 0.0000";
    QTest::newRow("sensitivity 40000") << Encoding::Sensitivity << 40000 << 0 << 9 << " 4.0000";
    QTest::newRow("sensitivity 5") << Encoding::Sensitivity << 5 << 0 << 9 << " 0.0005";
    QTest::newRow("tenths 7") << Encoding::Tenths << 7 << 0 << 9 << "0.7";
    QTest::newRow("tenths 0") << Encoding::Tenths << 0 << 0 << 9 << "0.0";
    QTest::newRow("tenths 100") << Encoding::Tenths << 100 << 0 << 9 << "10.0";
    QTest::newRow("tenths -5") << Encoding::Tenths << 0xFFFB << 0 << 9 << "-0.5";
    QTest::newRow("capacity 500000") << Encoding::Integer32 << 0x0007 << 0xA120 << 9 << " 500000";
    QTest::newRow("capacity 0") << Encoding::Integer32 << 0 << 0 << 9 << "      0";
    QTest::newRow("32 bits unsigned") << Encoding::Integer32 << 0xFFFF << 0xFFFF << 9 << "4294967295";
    QTest::newRow("integer signed") << Encoding::Integer << 0xFFFF << 0 << 9 << "-1";
    QTest::newRow("integer no fill") << Encoding::Integer << 5 << 0 << 9 << "5";
    QTest::newRow("unsigned") << Encoding::Unsigned << 0xFFFF << 0 << 9 << "65535";
    QTest::newRow("weight step 2, 1 decimal") << Encoding::Weight << 62 << 0 << 7 << "   12.4";
    QTest::newRow("weight step 50") << Encoding::Weight << 3 << 0 << 14 << "    150";
    QTest::newRow("weight, division unknown") << Encoding::Weight << 62 << 0 << 15 << "      0";
}

void TestParameterSet::decodeText() {
    QFETCH(Encoding, encoding);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, divisionCode);
    QFETCH(QString, text);
    const Modulo1 m = Model(1, divisionCode);
    QCOMPARE(DecodeText(encoding, static_cast<uint16_t>(first), static_cast<uint16_t>(second), m), text);
}

void TestParameterSet::encodeText_data() {
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("divisionCode");
    QTest::addColumn<QByteArrayList>("registers");
    QTest::newRow("sensitivity 2") << Encoding::Sensitivity << " 2.0000" << 9 << QByteArrayList{"4E20"};
    QTest::newRow("sensitivity 2.5000") << Encoding::Sensitivity << "2.5000" << 9 << QByteArrayList{"61A8"};
    QTest::newRow("capacity 70000") << Encoding::Integer32 << "70000" << 9 << QByteArrayList{"0001", "1170"};
    QTest::newRow("capacity 500000") << Encoding::Integer32 << " 500000" << 9
                                     << QByteArrayList{"0007", "A120"};
    QTest::newRow("capacity empty") << Encoding::Integer32 << "" << 9 << QByteArrayList{"0000", "0000"};
    QTest::newRow("capacity beyond 32 bits")
        << Encoding::Integer32 << "4294967296" << 9 << QByteArrayList{"0000", "0000"};
    QTest::newRow("tenths typed whole") << Encoding::Tenths << "2" << 9 << QByteArrayList{"0014"};
    QTest::newRow("tenths 10.0") << Encoding::Tenths << "10.0" << 9 << QByteArrayList{"0064"};
    QTest::newRow("weight 12.5 step 2") << Encoding::Weight << "12.5" << 7 << QByteArrayList{"003E"};
    QTest::newRow("integer negative") << Encoding::Integer << "-5" << 9 << QByteArrayList{"FFFB"};
    QTest::newRow("integer with blanks") << Encoding::Integer << "     2" << 9 << QByteArrayList{"0002"};
    QTest::newRow("unsigned") << Encoding::Unsigned << "65535" << 9 << QByteArrayList{"FFFF"};
}

void TestParameterSet::encodeText() {
    QFETCH(Encoding, encoding);
    QFETCH(QString, text);
    QFETCH(int, divisionCode);
    QFETCH(QByteArrayList, registers);
    QCOMPARE(EncodeText(encoding, text, Model(1, divisionCode)), registers);
}

// What a read shows is sent back unchanged: register -> text -> register.
void TestParameterSet::roundTrip_data() {
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<int>("divisionCode");
    QTest::addColumn<int>("first");
    struct Row {
        Encoding encoding;
        int code;
        std::initializer_list<int> values;
    };
    const Row rows[] = {
        {Encoding::Sensitivity, 9, {0, 5, 12345, 20000, 40000, 65535}},
        {Encoding::Tenths, 9, {0, 1, 7, 99, 100, 0xFFFF}},
        {Encoding::Integer, 9, {0, 4, 200, 0x8000, 0xFFFF}},
        {Encoding::Unsigned, 9, {0, 1, 65535}},
        {Encoding::Weight, 4, {0, 1, 150, 4999}},
        {Encoding::Weight, 0, {1, 999, 65535}},
        {Encoding::Weight, 14, {0, 3, 1000}},
    };
    for (const Row& row : rows) {
        for (int value : row.values) {
            QTest::addRow("%d code %d value %d", static_cast<int>(row.encoding), row.code, value)
                << row.encoding << row.code << value;
        }
    }
}

void TestParameterSet::roundTrip() {
    QFETCH(Encoding, encoding);
    QFETCH(int, divisionCode);
    QFETCH(int, first);
    const Modulo1 m = Model(1, divisionCode);
    const QString text = DecodeText(encoding, static_cast<uint16_t>(first), 0, m);
    QCOMPARE(EncodeText(encoding, text, m), QByteArrayList{Hex4(static_cast<unsigned>(first))});
}

void TestParameterSet::modeWord_data() {
    QTest::addColumn<int>("word");
    QTest::addColumn<QList<int>>("indexes"); // NeLor, ApCh, PoNe, NoSta
    QTest::addColumn<int>("composed");
    QTest::newRow("0x001D") << 0x001D << QList<int>{1, 1, 1, 1} << 0x001D;
    QTest::newRow("0x000D") << 0x000D << QList<int>{1, 1, 1, 0} << 0x000D;
    QTest::newRow("0x0016") << 0x0016 << QList<int>{2, 1, 0, 1} << 0x0016;
    QTest::newRow("high bits ignored") << 0xFFFD << QList<int>{1, 1, 1, 1} << 0x001D;
    // 3 is no entry of NeLor: the list keeps its previous index (2 below).
    QTest::newRow("NeLor 3 leaves the list") << 0x0003 << QList<int>{2, 0, 0, 0} << 0x0002;
}

void TestParameterSet::modeWord() {
    QFETCH(int, word);
    QFETCH(QList<int>, indexes);
    QFETCH(int, composed);
    const Modulo1 m = Model(1);
    for (int output : {1, 2}) {
        ParameterSet set(m);
        const ModeWordDef& w = ModeWords()[output - 1];
        set.setIndex(w.neLor, 2);
        DecomposeModeWord(static_cast<uint16_t>(word), set, output);
        QCOMPARE((QList<int>{set.index(w.neLor), set.index(w.apCh), set.index(w.poNe), set.index(w.noSta)}),
                 indexes);
        QCOMPARE(ComposeModeWord(set, output), composed);
        // The other output is untouched.
        const ModeWordDef& other = ModeWords()[2 - output];
        QCOMPARE(set.index(other.neLor), 0);
        QCOMPARE(set.index(other.noSta), 0);
    }
}

void TestParameterSet::listFromRegister_data() {
    QTest::addColumn<Field>("field");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("index"); // -2: leaves the list
    QTest::newRow("ModSer model 2 mode 5") << Field::ModSer << 2 << 5 << 1;
    QTest::newRow("ModSer model 2 mode 1") << Field::ModSer << 2 << 1 << 0;
    QTest::newRow("ModSer model 2 mode 2") << Field::ModSer << 2 << 2 << -2;
    QTest::newRow("ModSer model 2 mode 0") << Field::ModSer << 2 << 0 << -2;
    QTest::newRow("ModSer model 1 mode 5") << Field::ModSer << 1 << 5 << 5;
    QTest::newRow("ModSer model 1 mode 7") << Field::ModSer << 1 << 7 << -2;
    QTest::newRow("OpMode 2") << Field::OpMode << 1 << 2 << 2;
    QTest::newRow("OpMode 3") << Field::OpMode << 1 << 3 << -2;
    QTest::newRow("OpMode 0xFFFF") << Field::OpMode << 1 << 0xFFFF << -2;
    QTest::newRow("ValDiv 14") << Field::ValDiv << 1 << 14 << 14;
    QTest::newRow("ValDiv 15") << Field::ValDiv << 1 << 15 << -2;
    QTest::newRow("Baud 4") << Field::Baud << 1 << 4 << 4;
    QTest::newRow("Baud 5") << Field::Baud << 1 << 5 << -2;
}

void TestParameterSet::listFromRegister() {
    QFETCH(Field, field);
    QFETCH(int, model);
    QFETCH(int, value);
    QFETCH(int, index);
    const std::optional<int> got = ListIndexFromRegister(field, static_cast<unsigned>(value), model);
    QCOMPARE(got.value_or(-2), index);
    if (got) {
        QCOMPARE(RegisterFromListIndex(field, *got, model), static_cast<unsigned>(value));
    }
}

void TestParameterSet::decodeBlocks() {
    Modulo1 m = Model(1, 7); // step 2, one decimal
    ParameterSet set(m);
    QSignalSpy spy(&set, &ParameterSet::changed);

    QVERIFY(DecodeTabBlock(0, Reply("0007A1204E200000C35000000064"), set, m));
    QCOMPARE(set.text(Field::Capac), " 500000");
    QCOMPARE(set.text(Field::Sensib), " 2.0000");
    QCOMPARE(set.text(Field::Teonet), "  50000");
    QCOMPARE(set.text(Field::Teotara), "    100");
    QCOMPARE(spy.count(), 4); // each field put in raises its change notification

    QVERIFY(DecodeTabBlock(2, Reply("00050002000700020064"), set, m));
    QCOMPARE((QStringList{set.text(Field::Filtro), set.text(Field::Stabilita), set.text(Field::Autozero),
                          set.text(Field::Inseguimento), set.text(Field::ZeroBand)}),
             (QStringList{"5", "2", "0.7", "2", "100"}));

    QVERIFY(DecodeTabBlock(3, Reply("001D0003000A0000000D00050000000C"), set, m));
    QCOMPARE(set.index(Field::NoSta1), 1);
    QCOMPARE(set.index(Field::NoSta2), 0);
    QCOMPARE(set.index(Field::NeLor2), 1);
    QCOMPARE((QStringList{set.text(Field::Iste1), set.text(Field::Disab1), set.text(Field::Iste2),
                          set.text(Field::RiEcc2)}),
             (QStringList{"3", "10", "5", "12"}));

    QVERIFY(DecodeTabBlock(4, Reply("00030005001E000A0007000000650002"), set, m));
    QCOMPARE((QList<int>{set.index(Field::Baud), set.index(Field::ModSer), set.index(Field::DatiCom1),
                         set.index(Field::ProtoCom2), set.index(Field::BRCom2)}),
             (QList<int>{3, 5, 7, 0, 2}));
    QCOMPARE(set.text(Field::Indir), "30");
    QCOMPARE(set.text(Field::RiRis), "10");
    QCOMPARE(set.text(Field::AddrCom2), "101");

    QVERIFY(DecodeTabBlock(5, Reply("01F400020003123404560005"), set, m));
    QCOMPARE(set.text(Field::FsAna), "  100.0"); // 500 divisions x 2 with one decimal
    QCOMPARE(set.index(Field::TipoAna), 2);
    QCOMPARE(set.index(Field::CampoAna), 3);
    QCOMPARE(set.text(Field::OffZero), "4660");
    QCOMPARE(set.text(Field::OffFS), "1110");
    QCOMPARE(set.text(Field::RifZero), "    1.0");

    QVERIFY(!DecodeTabBlock(1, Reply("0001"), set, m));
    QVERIFY(!DecodeTabBlock(6, Reply("0001"), set, m));

    // Model 2: the ModSer register maps 5 -> index 1, 1 -> index 0, anything else leaves it.
    Modulo1 m2 = Model(2);
    ParameterSet set2(m2);
    DecodeBlock(GroupId::Serial, Reply("00010005000100000006000000010000"), set2, m2);
    QCOMPARE(set2.index(Field::ModSer), 1);
    DecodeBlock(GroupId::Serial, Reply("00010002000100000006000000010000"), set2, m2);
    QCOMPARE(set2.index(Field::ModSer), 1);
    DecodeBlock(GroupId::Serial, Reply("00010001000100000006000000010000"), set2, m2);
    QCOMPARE(set2.index(Field::ModSer), 0);
}

void TestParameterSet::shortReplyDecodesAsZero() {
    Modulo1 m = Model(1);
    ParameterSet set(m);
    DecodeBlock(GroupId::WeightParameters, Reply("000500030007"), set, m);
    QCOMPARE((QStringList{set.text(Field::Filtro), set.text(Field::Stabilita), set.text(Field::Autozero),
                          set.text(Field::Inseguimento), set.text(Field::ZeroBand)}),
             (QStringList{"5", "3", "0.7", "0", "0"}));
    // Half of a 32-bit value: the missing low word reads 0.
    DecodeBlock(GroupId::WeightConstants, Reply("0001"), set, m);
    QCOMPARE(set.text(Field::Capac), "  65536");
    QCOMPARE(set.text(Field::Sensib), " 0.0000");
}

void TestParameterSet::divisionCode_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("valDiv"); // the list held 3 before
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("setPoint"); // Set1 read afterwards from 62 divisions
    QTest::newRow("code 9") << QByteArray("0009") << 9 << 1 << 0 << "     62";
    QTest::newRow("code 7") << QByteArray("0007") << 7 << 2 << 1 << "   12.4";
    QTest::newRow("code 15") << QByteArray("000F") << 3 << 0 << 0 << "      0";
    QTest::newRow("code 20") << QByteArray("0014") << 3 << 0 << 0 << "      0";
    QTest::newRow("code -1") << QByteArray("FFFF") << 3 << 0 << 0 << "      0";
}

void TestParameterSet::divisionCode() {
    QFETCH(QByteArray, data);
    QFETCH(int, valDiv);
    QFETCH(int, step);
    QFETCH(int, decimals);
    QFETCH(QString, setPoint);
    Modulo1 m = Model(1, 4);
    m.DeviceAddress = 7;
    SetDivisionFromCode(m, 7, 4);
    ParameterSet set(m);
    set.setIndex(Field::ValDiv, 3);
    // The list is set while the division is still the old one, then the division follows.
    int stepWhenListChanged = -1;
    connect(&set, &ParameterSet::changed, &set, [&](Field f) {
        if (f == Field::ValDiv) {
            stepWhenListChanged = m.CurrentStep();
        }
    });
    DecodeBlock(GroupId::Division, Reply(data), set, m);
    QCOMPARE(set.index(Field::ValDiv), valDiv);
    QCOMPARE(m.DivisionStep[7], step);
    QCOMPARE(m.DecimalCount[7], decimals);
    if (valDiv != 3) {
        QCOMPARE(stepWhenListChanged, 2);
    }
    DecodeBlock(GroupId::SetPoints, Reply("003E0000"), set, m);
    QCOMPARE(set.text(Field::Set1), setPoint);
}

void TestParameterSet::groupRequest_data() {
    QTest::addColumn<GroupId>("group");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("divisionCode");
    QTest::addColumn<T>("texts");
    QTest::addColumn<I>("indexes");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("weight constants")
        << GroupId::WeightConstants << 1 << 1 << 9
        << T{{Field::Capac, "70000"}, {Field::Teonet, "5000"}, {Field::Teotara, "100"}} << I{}
        << QByteArray(":0110100000070E000111704E200000138800000064DB\r\n");
    QTest::newRow("weight parameters")
        << GroupId::WeightParameters << 1 << 1 << 9 << T{{Field::Filtro, "7"}, {Field::ZeroBand, "100"}}
        << I{} << QByteArray(":0110110000050A0007000200000002006460\r\n");
    QTest::newRow("weight parameters model 2")
        << GroupId::WeightParameters << 2 << 1 << 9 << T{{Field::Filtro, "7"}, {Field::ZeroBand, "100"}}
        << I{} << QByteArray(":011011000004080007000200000002C7\r\n");
    QTest::newRow("operating mode") << GroupId::OperatingMode << 1 << 1 << 9 << T{} << I{{Field::OpMode, 2}}
                                    << QByteArray(":010610100002D7\r\n");
    QTest::newRow("division 11") << GroupId::Division << 1 << 1 << 9 << T{} << I{{Field::ValDiv, 11}}
                                 << QByteArray(":01061050000B8E\r\n");
    QTest::newRow("set points") << GroupId::SetPoints << 1 << 1 << 7
                                << T{{Field::Set1, "12.5"}, {Field::Set2, "1.0"}} << I{}
                                << QByteArray(":01100110000204003E000595\r\n");
    QTest::newRow("outputs") << GroupId::Outputs << 1 << 26 << 9 << T{}
                             << I{{Field::NeLor1, 2},
                                  {Field::ApCh1, 1},
                                  {Field::PoNe1, 0},
                                  {Field::NoSta1, 1}}
                             << QByteArray(":1A1020000008100016000200000000000000020000000084\r\n");
    QTest::newRow("serial model 2, Continuous")
        << GroupId::Serial << 2 << 1 << 9 << T{} << I{{Field::ModSer, 0}}
        << QByteArray(":0110300000040800010001000F0000A2\r\n");
    QTest::newRow("serial model 2, Modbus") << GroupId::Serial << 2 << 1 << 9 << T{} << I{{Field::ModSer, 1}}
                                            << QByteArray(":0110300000040800010005000F00009E\r\n");
    // An offset of 0 still sends the six registers in their places.
    const T analog{{Field::FsAna, "500"}, {Field::OffZero, "0"}, {Field::OffFS, "0"}, {Field::RifZero, "10"}};
    const I analogLists{{Field::TipoAna, 1}, {Field::CampoAna, 2}};
    QTest::newRow("analog, offsets 0") << GroupId::Analog << 1 << 1 << 9 << analog << analogLists
                                       << QByteArray(":0110400000060C01F40001000200000000000A9B\r\n");
    QTest::newRow("analog model 2") << GroupId::Analog << 2 << 1 << 9 << analog << analogLists
                                    << QByteArray(":0110400000060C01F40001000200000000000A9B\r\n");
}

void TestParameterSet::groupRequest() {
    QFETCH(GroupId, group);
    QFETCH(int, model);
    QFETCH(int, address);
    QFETCH(int, divisionCode);
    QFETCH(T, texts);
    QFETCH(I, indexes);
    QFETCH(QByteArray, frame);
    Modulo1 m = Model(model);
    m.DeviceAddress = static_cast<uint8_t>(address);
    SetDivisionFromCode(m, address, divisionCode);
    ParameterSet set(m);
    for (const auto& [field, text] : texts) {
        QVERIFY(set.setText(field, text));
    }
    for (const auto& [field, index] : indexes) {
        QVERIFY(set.setIndex(field, index));
    }
    QCOMPARE(BuildGroupRequest(group, set, m), frame);
}

void TestParameterSet::writeCounts_data() {
    QTest::addColumn<GroupId>("group");
    QTest::addColumn<int>("model1");
    QTest::addColumn<int>("model2");
    QTest::addColumn<int>("read");
    QTest::newRow("WeightConstants") << GroupId::WeightConstants << 7 << 7 << 7;
    QTest::newRow("OperatingMode") << GroupId::OperatingMode << 1 << 1 << 1;
    QTest::newRow("Division") << GroupId::Division << 1 << 1 << 1;
    QTest::newRow("SetPoints") << GroupId::SetPoints << 2 << 2 << 2;
    QTest::newRow("WeightParameters") << GroupId::WeightParameters << 5 << 4 << 5;
    QTest::newRow("Outputs") << GroupId::Outputs << 8 << 8 << 8;
    QTest::newRow("Serial") << GroupId::Serial << 8 << 4 << 8;
    QTest::newRow("Analog") << GroupId::Analog << 6 << 6 << 6;
}

void TestParameterSet::writeCounts() {
    QFETCH(GroupId, group);
    QFETCH(int, model1);
    QFETCH(int, model2);
    QFETCH(int, read);
    QCOMPARE(WriteCount(group, 1), model1);
    QCOMPARE(WriteCount(group, 2), model2);
    QCOMPARE(ReadCount(group), read);
    for (int model : {1, 2}) {
        const Modulo1 m = Model(model);
        const ParameterSet set(m);
        QCOMPARE(EncodeGroup(group, set, m).size(), WriteCount(group, model));
    }
}

void TestParameterSet::resetAndSetters() {
    Modulo1 m = Model(2);
    ParameterSet set(m);
    QCOMPARE(set.text(Field::Capac), "      0");
    QCOMPARE(set.text(Field::Autozero), "  0.0");
    QCOMPARE(set.text(Field::Iste2), "     2");
    QCOMPARE(set.text(Field::RiEcc1), "   0");
    QCOMPARE(set.text(Field::ZeroBand), "");
    QCOMPARE(set.index(Field::Baud), 1);
    QCOMPARE(set.index(Field::ValDiv), 9);
    QCOMPARE(set.index(Field::ModSer), 0);

    QSignalSpy spy(&set, &ParameterSet::changed);
    QVERIFY(set.setText(Field::Filtro, " 2")); // the same value still raises the notification
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<Field>(), Field::Filtro);
    QVERIFY(!set.setText(Field::Baud, "3"));
    QVERIFY(!set.setIndex(Field::Filtro, 1));
    QVERIFY(!set.setIndex(Field::ModSer, 2)); // model 2 has two entries
    QVERIFY(!set.setIndex(Field::Baud, -2));
    QCOMPARE(spy.count(), 1);
    QVERIFY(set.setIndex(Field::Baud, -1)); // no selection
    QCOMPARE(DisplayText(set, Field::Baud, Language::English), "");

    set.setText(Field::Capac, " 123456");
    set.setIndex(Field::ValDiv, 2);
    spy.clear();
    set.reset();
    QCOMPARE(spy.count(), FieldCount);
    QCOMPARE(set.text(Field::Capac), "      0");
    QCOMPARE(set.index(Field::ValDiv), 9);
    QCOMPARE(set.index(Field::Baud), 1);
    QCOMPARE(set.number(Field::Sensib), 2.0);
}

void TestParameterSet::tables() {
    // Every field's control name leads back to it.
    for (const ParameterDef& p : Parameters()) {
        QCOMPARE(FieldByControlName(ControlName(p.field)), std::optional<Field>(p.field));
    }
    QCOMPARE(FieldByControlName(u"Stabilità"), std::optional<Field>(Field::Stabilita));
    QCOMPARE(FieldByControlName(u"Stabilita"), std::nullopt);

    // lblAddText: every element but SIGNAL and COUNTS (the live fields) belongs to a parameter.
    QCOMPARE(Mnemonics().size(), size_t(30));
    QSet<int> used;
    for (const ParameterDef& p : Parameters()) {
        used.insert(p.mnemonicIndex);
    }
    for (int i = 0; i < 30; ++i) {
        QCOMPARE(used.contains(i), i != 5 && i != 6);
    }
    QCOMPARE(MnemonicText(Field::Capac), "(CAPAC)");
    QCOMPARE(MnemonicText(Field::AddrCom2), "(PR/DN ADD)");
    QCOMPARE(MnemonicText(Field::RifZero), "(ANZERO)");
    QCOMPARE(MnemonicText(Field::OffFS), "(OFFSET)");
    QCOMPARE(MnemonicText(Field::Set1), "");

    QCOMPARE(int(RegisterOf(Field::Sensib)), Reg::WeightConstants + 2);
    QCOMPARE(int(RegisterOf(Field::Teotara)), Reg::WeightConstants + 5);
    QCOMPARE(int(RegisterOf(Field::NoSta2)), Reg::Outputs + 4);
    QCOMPARE(int(RegisterOf(Field::RiEcc2)), Reg::Outputs + 7);
    QCOMPARE(int(RegisterOf(Field::BRCom2)), Reg::Serial + 7);
    QCOMPARE(int(RegisterOf(Field::OffZero)), Reg::AnalogZeroAdjust);
    QCOMPARE(int(RegisterOf(Field::OffFS)), Reg::AnalogFullScaleAdjust);
    QCOMPARE(int(RegisterOf(Field::RifZero)), Reg::Analog + 5);

    QCOMPARE(ListItems(Field::ModSer, Language::English, 2), (QStringList{"Continuous", "Modbus"}));
    QCOMPARE(ListItems(Field::ModSer, Language::Italian, 1).size(), 7);
    QCOMPARE(ListItems(Field::NeLor1, Language::English, 1).last(), "Peak H");
    QCOMPARE(ListItems(Field::OpMode, Language::English, 1).last(), "Peak");
    QCOMPARE(ListItems(Field::NoSta2, Language::Italian, 1), (QStringList{"Normale", "Stabile"}));
    QCOMPARE(ListItems(Field::ValDiv, Language::Italian, 1).at(9), "1");
    QCOMPARE(LanguageFromIndex(1), Language::English);
    QCOMPARE(LanguageFromIndex(2), Language::Italian);

    QCOMPARE(GroupOfTab(0), std::optional<GroupId>(GroupId::WeightConstants));
    QCOMPARE(GroupOfTab(5), std::optional<GroupId>(GroupId::Analog));
    QCOMPARE(GroupOfTab(1), std::nullopt);
    QCOMPARE(GroupOfTab(6), std::nullopt);
}

QTEST_GUILESS_MAIN(TestParameterSet)
#include "test_parameterset.moc"
