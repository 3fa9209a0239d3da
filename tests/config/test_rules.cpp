// The group send checks, the leave checks, the key rule and the marker condition.

#include "rules.h"

#include <QTest>

Q_DECLARE_METATYPE(Field)
Q_DECLARE_METATYPE(GroupId)

namespace {

using Texts = QList<QPair<Field, QString>>;
using Indexes = QList<QPair<Field, int>>;

struct Fixture {
    Modulo1 m;
    ParameterSet set;
    Fixture(int model, const Texts& texts, const Indexes& indexes = {}) : set(m) {
        m.InstrumentModel = static_cast<int16_t>(model);
        SetDivisionFromCode(m, m.DeviceAddress, 9); // weights in whole units
        for (const auto& [field, text] : texts) {
            set.setText(field, text);
        }
        for (const auto& [field, index] : indexes) {
            set.setIndex(field, index);
        }
    }
};

} // namespace

class TestRules : public QObject {
    Q_OBJECT

private slots:
    void groupChecks_data();
    void groupChecks();
    void leaveChecks_data();
    void leaveChecks();
    void fieldTexts_data();
    void fieldTexts();
    void keyRule_data();
    void keyRule();
    void typedCharacters_data();
    void typedCharacters();
    void takeEdit_data();
    void takeEdit();
    void leaveGuard();
    void marker();
};

void TestRules::groupChecks_data() {
    QTest::addColumn<GroupId>("group");
    QTest::addColumn<int>("model");
    QTest::addColumn<Texts>("texts");
    QTest::addColumn<Indexes>("indexes");
    QTest::addColumn<bool>("valid");
    using F = Field;
    const auto wc = [](const char* capac, const char* net, const char* tare, const char* sens) {
        return Texts{{F::Capac, capac}, {F::Teonet, net}, {F::Teotara, tare}, {F::Sensib, sens}};
    };
    const GroupId W = GroupId::WeightConstants;
    QTest::newRow("capac > 10 x net") << W << 1 << wc("1001", "100", "0", " 2.0000") << Indexes{} << false;
    QTest::newRow("capac = 10 x net") << W << 1 << wc("1000", "100", "0", " 2.0000") << Indexes{} << true;
    QTest::newRow("net 0") << W << 1 << wc("1000", "0", "0", " 2.0000") << Indexes{} << true;
    QTest::newRow("capac < net + tare")
        << W << 1 << wc("1000", "600", "401", " 2.0000") << Indexes{} << false;
    QTest::newRow("capac = net + tare") << W << 1 << wc("1000", "600", "400", " 2.0000") << Indexes{} << true;
    QTest::newRow("capac 500000") << W << 1 << wc(" 500000", "  50000", "0", " 2.0000") << Indexes{} << true;
    QTest::newRow("capac 500001") << W << 1 << wc("500001", "0", "0", " 2.0000") << Indexes{} << false;
    QTest::newRow("sensib 2.5") << W << 1 << wc("1000", "0", "0", "2.5") << Indexes{} << false;
    QTest::newRow("sensib 2.5000") << W << 1 << wc("1000", "0", "0", "2.5000") << Indexes{} << true;
    QTest::newRow("sensib 0") << W << 1 << wc("1000", "0", "0", " 0.0000") << Indexes{} << true;
    QTest::newRow("sensib 1.0000") << W << 1 << wc("1000", "0", "0", " 1.0000") << Indexes{} << true;
    QTest::newRow("sensib 0.9999") << W << 1 << wc("1000", "0", "0", " 0.9999") << Indexes{} << false;
    QTest::newRow("sensib 4.0000") << W << 1 << wc("1000", "0", "0", " 4.0000") << Indexes{} << true;
    QTest::newRow("sensib 4.0001") << W << 1 << wc("1000", "0", "0", "4.0001") << Indexes{} << false;

    const GroupId P = GroupId::WeightParameters;
    QTest::newRow("parameters design texts") << P << 1 << Texts{{F::ZeroBand, "100"}} << Indexes{} << true;
    QTest::newRow("filtro 9") << P << 1 << Texts{{F::Filtro, "9"}} << Indexes{} << true;
    QTest::newRow("filtro 10") << P << 1 << Texts{{F::Filtro, "10"}} << Indexes{} << false;
    QTest::newRow("stabilita 5") << P << 1 << Texts{{F::Stabilita, "5"}} << Indexes{} << false;
    QTest::newRow("autozero 10.0") << P << 1 << Texts{{F::Autozero, "10.0"}} << Indexes{} << true;
    QTest::newRow("autozero 10.1") << P << 1 << Texts{{F::Autozero, "10.1"}} << Indexes{} << false;
    QTest::newRow("inseguimento 5") << P << 1 << Texts{{F::Inseguimento, "5"}} << Indexes{} << false;
    QTest::newRow("inseguimento -1") << P << 1 << Texts{{F::Inseguimento, "-1"}} << Indexes{} << false;
    QTest::newRow("zero band 201") << P << 1 << Texts{{F::ZeroBand, "201"}} << Indexes{} << false;
    QTest::newRow("zero band 201, model 2") << P << 2 << Texts{{F::ZeroBand, "201"}} << Indexes{} << true;
    QTest::newRow("filtro 10, model 2") << P << 2 << Texts{{F::Filtro, "10"}} << Indexes{} << false;

    const GroupId O = GroupId::Outputs;
    QTest::newRow("hysteresis = net")
        << O << 1 << Texts{{F::Teonet, "100"}, {F::Iste1, "100"}} << Indexes{} << true;
    QTest::newRow("hysteresis 1 > net")
        << O << 1 << Texts{{F::Teonet, "100"}, {F::Iste1, "101"}} << Indexes{} << false;
    QTest::newRow("hysteresis 2 > net")
        << O << 1 << Texts{{F::Teonet, "100"}, {F::Iste2, "101"}} << Indexes{} << false;
    QTest::newRow("net 0, 65535") << O << 1 << Texts{{F::Teonet, "0"}, {F::Iste2, "65535"}} << Indexes{}
                                  << true;
    QTest::newRow("net 0, 65536") << O << 1 << Texts{{F::Teonet, "0"}, {F::Iste1, "65536"}} << Indexes{}
                                  << false;

    const GroupId S = GroupId::Serial;
    QTest::newRow("indir 0") << S << 1 << Texts{{F::Indir, "0"}} << Indexes{} << false;
    QTest::newRow("indir empty") << S << 1 << Texts{{F::Indir, ""}} << Indexes{} << false;
    QTest::newRow("indir 1") << S << 1 << Texts{{F::Indir, "1"}} << Indexes{} << true;
    QTest::newRow("slave, 7 bits") << S << 1 << Texts{} << Indexes{{F::ModSer, 4}, {F::DatiCom1, 0}} << true;
    QTest::newRow("modbus, 7 bits") << S << 1 << Texts{} << Indexes{{F::ModSer, 5}, {F::DatiCom1, 5}}
                                    << false;
    QTest::newRow("modbus, N-8-2") << S << 1 << Texts{} << Indexes{{F::ModSer, 5}, {F::DatiCom1, 6}} << true;
    QTest::newRow("modbus, Profibus")
        << S << 1 << Texts{} << Indexes{{F::ModSer, 5}, {F::DatiCom1, 8}, {F::ProtoCom2, 1}} << false;
    QTest::newRow("model 2 modbus, 7 bits")
        << S << 2 << Texts{} << Indexes{{F::ModSer, 1}, {F::DatiCom1, 5}} << false;
    QTest::newRow("model 2 modbus, O-8-1")
        << S << 2 << Texts{} << Indexes{{F::ModSer, 1}, {F::DatiCom1, 8}} << true;
    QTest::newRow("model 2 continuous, 7 bits")
        << S << 2 << Texts{} << Indexes{{F::ModSer, 0}, {F::DatiCom1, 0}} << true;
    QTest::newRow("model 2 modbus, hidden Com2")
        << S << 2 << Texts{} << Indexes{{F::ModSer, 1}, {F::DatiCom1, 7}, {F::ProtoCom2, 1}} << true;

    const GroupId A = GroupId::Analog;
    QTest::newRow("zero > full scale")
        << A << 1 << Texts{{F::FsAna, "  50.0"}, {F::RifZero, "   50.5"}} << Indexes{} << false;
    QTest::newRow("zero = full scale")
        << A << 1 << Texts{{F::FsAna, "50"}, {F::RifZero, "50"}} << Indexes{} << true;

    QTest::newRow("division has no check")
        << GroupId::Division << 1 << Texts{} << Indexes{{F::ValDiv, 14}} << true;
    QTest::newRow("set points have no check")
        << GroupId::SetPoints << 1 << Texts{{F::Set1, "999999"}, {F::Capac, "10"}} << Indexes{} << true;
}

void TestRules::groupChecks() {
    QFETCH(GroupId, group);
    QFETCH(int, model);
    QFETCH(Texts, texts);
    QFETCH(Indexes, indexes);
    QFETCH(bool, valid);
    Fixture f(model, texts, indexes);
    QCOMPARE(CheckGroup(group, f.set), valid);
}

void TestRules::leaveChecks_data() {
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("capac");
    QTest::addColumn<bool>("mayLeave");
    using F = Field;
    QTest::newRow("Stabilita 5") << F::Stabilita << "5"
                                 << "0" << false;
    QTest::newRow("Stabilita 4") << F::Stabilita << "4"
                                 << "0" << true;
    QTest::newRow("Inseguimento 5") << F::Inseguimento << "5"
                                    << "0" << false;
    QTest::newRow("Filtro has no check") << F::Filtro << "9"
                                         << "0" << true;
    QTest::newRow("Autozero 10.0") << F::Autozero << "10.0"
                                   << "0" << true;
    QTest::newRow("Autozero 10.1") << F::Autozero << "10.1"
                                   << "0" << false;
    QTest::newRow("Sensib 4.0000") << F::Sensib << " 4.0000"
                                   << "0" << true;
    QTest::newRow("Sensib 4.1") << F::Sensib << "4.1"
                                << "0" << false;
    QTest::newRow("ZeroBand 200") << F::ZeroBand << "200"
                                  << "0" << true;
    QTest::newRow("ZeroBand 201") << F::ZeroBand << "201"
                                  << "0" << false;
    QTest::newRow("ZeroBand empty") << F::ZeroBand << ""
                                    << "0" << true;
    QTest::newRow("Indir 0") << F::Indir << "0"
                             << "0" << false;
    QTest::newRow("Indir 33") << F::Indir << "33"
                              << "0" << false;
    QTest::newRow("Indir 1") << F::Indir << "1"
                             << "0" << true;
    QTest::newRow("Indir 32") << F::Indir << "32"
                              << "0" << true;
    QTest::newRow("Indir empty") << F::Indir << ""
                                 << "0" << false;
    QTest::newRow("Indir blanks") << F::Indir << "  "
                                  << "0" << false;
    QTest::newRow("RiRis 100") << F::RiRis << "100"
                               << "0" << true;
    QTest::newRow("RiRis 101") << F::RiRis << "101"
                               << "0" << false;
    QTest::newRow("RiRis empty") << F::RiRis << ""
                                 << "0" << false;
    QTest::newRow("AddrCom2 0") << F::AddrCom2 << "0"
                                << "0" << false;
    QTest::newRow("AddrCom2 1") << F::AddrCom2 << "  1"
                                << "0" << true;
    QTest::newRow("AddrCom2 126") << F::AddrCom2 << "126"
                                  << "0" << true;
    QTest::newRow("AddrCom2 127") << F::AddrCom2 << "127"
                                  << "0" << false;
    QTest::newRow("Iste1 600, Capac 500") << F::Iste1 << "600"
                                          << "500" << false;
    QTest::newRow("Iste1 600, Capac 0") << F::Iste1 << "600"
                                        << "      0" << true;
    QTest::newRow("Iste2 600, Capac empty") << F::Iste2 << "600"
                                            << "" << true;
    QTest::newRow("Iste2 500, Capac 500") << F::Iste2 << "500"
                                          << "    500" << true;
    QTest::newRow("Set1 500.5, Capac 500") << F::Set1 << "500.5"
                                           << "500" << false;
    QTest::newRow("Set2 above") << F::Set2 << "  501"
                                << "500" << false;
    QTest::newRow("FsAna above") << F::FsAna << "1000"
                                 << "999" << false;
    QTest::newRow("RifZero equal") << F::RifZero << "999"
                                   << "999" << true;
    QTest::newRow("Capac is the calibration's") << F::Capac << "900000"
                                                << "900000" << true;
}

void TestRules::leaveChecks() {
    QFETCH(Field, field);
    QFETCH(QString, text);
    QFETCH(QString, capac);
    QFETCH(bool, mayLeave);
    Fixture f(1, {{Field::Capac, capac}, {field, text}});
    QCOMPARE(MayLeave(field, f.set), mayLeave);
}

// A field takes a number of its kind only, and no value its register cannot hold at the division it is
// encoded with (the instrument's; offline the one ValDiv shows).
void TestRules::fieldTexts_data() {
    QTest::addColumn<Field>("field");
    QTest::addColumn<int>("division"); // code; offline ValDiv's, the instrument then in whole units
    QTest::addColumn<bool>("offline");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("mayLeave");
    QTest::addColumn<QString>("largest");
    using F = Field;
    QTest::newRow("two points") << F::Set1 << 3 << false << "1..5" << false << "655.35";
    QTest::newRow("lone minus") << F::FsAna << 9 << false << "-" << false << "65535";
    QTest::newRow("point, whole number") << F::Iste1 << 9 << false << "1.5" << false << "65535";
    QTest::newRow("one point, blanks") << F::Autozero << 9 << false << " 1 .5" << true << "";
    QTest::newRow("0.001: 65.535") << F::Set1 << 0 << false << "65.535" << true << "65.535";
    QTest::newRow("0.001: 65.536") << F::Set2 << 0 << false << "65.536" << false << "65.535";
    QTest::newRow("step 50: 3276800") << F::RifZero << 14 << false << "3276800" << false << "3276750";
    QTest::newRow("hysteresis 65535") << F::Iste1 << 0 << false << "65535" << true << "65535";
    QTest::newRow("hysteresis 65536") << F::Iste2 << 0 << false << "65536" << false << "65535";
    QTest::newRow("offline, ValDiv 0.001: 65.536") << F::Set1 << 0 << true << "65.536" << false << "65.535";
}

void TestRules::fieldTexts() {
    QFETCH(Field, field);
    QFETCH(int, division);
    QFETCH(bool, offline);
    QFETCH(QString, text);
    Fixture f(1, {{Field::Capac, ""}, {field, text}}, {{Field::ValDiv, offline ? division : 9}});
    SetDivisionFromCode(f.m, f.m.DeviceAddress, offline ? 9 : division);
    f.m.OfflineEdit = offline;
    QTEST(MayLeave(field, f.set), "mayLeave");
    QTEST(LargestValue(field, WeightDivision(f.set)), "largest");
}

void TestRules::keyRule_data() {
    QTest::addColumn<Field>("field");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    using F = Field;
    QTest::newRow("digit") << F::Filtro << int('7') << int('7');
    QTest::newRow("0") << F::Indir << int('0') << int('0');
    QTest::newRow("9") << F::Capac << int('9') << int('9');
    QTest::newRow("backspace") << F::Filtro << 8 << 8;
    QTest::newRow("space") << F::Filtro << 32 << 32;
    QTest::newRow("letter") << F::Filtro << int('a') << 0;
    QTest::newRow("minus") << F::Filtro << int('-') << 0;
    QTest::newRow("minus, decimal kind") << F::Set1 << int('-') << 0;
    QTest::newRow("point, digits kind") << F::Filtro << int('.') << 0;
    QTest::newRow("point, Autozero") << F::Autozero << int('.') << int('.');
    QTest::newRow("point, Sensib") << F::Sensib << int('.') << int('.');
    QTest::newRow("comma, decimal kind") << F::FsAna << int(',') << 0;
    QTest::newRow("point, Capac") << F::Capac << int('.') << 0;
    QTest::newRow("enter") << F::RiRis << 13 << 0;
}

void TestRules::keyRule() {
    QFETCH(Field, field);
    QFETCH(int, key);
    QFETCH(int, result);
    QCOMPARE(FilterKey(field, key), result);
}

void TestRules::typedCharacters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shortcut");
    QTest::addColumn<bool>("typed");
    QTest::newRow("digit") << "7" << false << true;
    QTest::newRow("letter") << "a" << false << true;
    QTest::newRow("minus") << "-" << false << true;
    QTest::newRow("space") << " " << false << true;
    QTest::newRow("AltGr character") << "@" << false << true;
    QTest::newRow("Ctrl+V") << "v" << true << false;
    QTest::newRow("Ctrl+V as control character") << "\x16" << false << false;
    QTest::newRow("Tab") << "\t" << false << false;
    QTest::newRow("Enter") << "\r" << false << false;
    QTest::newRow("Escape") << "\x1b" << false << false;
    QTest::newRow("Backspace") << "\b" << false << false;
    QTest::newRow("Delete, xcb") << "\x7f" << false << false;
    QTest::newRow("arrow") << "" << false << false;
}

void TestRules::typedCharacters() {
    QFETCH(QString, text);
    QFETCH(bool, shortcut);
    QFETCH(bool, typed);
    QCOMPARE(TypesCharacter(text, shortcut), typed);
}

void TestRules::takeEdit_data() {
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("taken");
    QTest::addColumn<int>("cursor");
    using F = Field;
    QTest::newRow("minus pasted over all") << F::Set1 << "   1000"
                                           << "-5"
                                           << "5" << 1;
    QTest::newRow("too long pasted over all") << F::Set1 << "   1000"
                                              << "123456789"
                                              << "1234567" << 7;
    QTest::newRow("pasted at the end, one place left") << F::Set1 << "   300"
                                                       << "   300123"
                                                       << "   3001" << 7;
    QTest::newRow("nothing taken keeps the selection's text") << F::Set1 << "   300"
                                                              << "abc"
                                                              << "   300" << 0;
    QTest::newRow("inside the text") << F::ZeroBand << "12"
                                     << "1a32"
                                     << "132" << 2;
    QTest::newRow("field full") << F::Filtro << "5"
                                << "57"
                                << "5" << 1;
    QTest::newRow("longer program value shortened") << F::Filtro << " 12"
                                                    << " 1"
                                                    << " 1" << 2;
    QTest::newRow("deleted") << F::Set1 << "   1000"
                             << "   100"
                             << "   100" << 6;
    QTest::newRow("point, digits kind") << F::Iste1 << ""
                                        << "1.5"
                                        << "15" << 2;
    QTest::newRow("point, decimal kind") << F::Autozero << ""
                                         << "2.5%"
                                         << "2.5" << 3;
    QTest::newRow("line end") << F::Filtro << ""
                              << "7\r\n"
                              << "7" << 1;
    QTest::newRow("no key rule, no limit") << F::OffZero << "0"
                                           << "-12abc"
                                           << "-12abc" << 6;
}

void TestRules::takeEdit() {
    QFETCH(Field, field);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, taken);
    QFETCH(int, cursor);
    int at = -1;
    QCOMPARE(TakeEdit(field, before, after, &at), taken);
    QCOMPARE(at, cursor);
}

// A refused field keeps the focus; the focus leaving another field on its way back is not checked.
void TestRules::leaveGuard() {
    Fixture f(1, {{Field::Capac, "500"}, {Field::Set1, "1000"}, {Field::Set2, "2000"}});
    LeaveGuard guard;
    QVERIFY(guard.MaySend(std::nullopt, f.set));
    QVERIFY(!guard.MaySend(Field::Set1, f.set)); // the focus in a refused field
    QVERIFY(guard.MaySend(Field::Filtro, f.set));
    // The user leaves Set1 for Set2: refused, Set1 is held.
    QVERIFY(guard.Leaving(Field::Set1, f.set));
    QCOMPARE(guard.Held(), std::optional<Field>(Field::Set1));
    QVERIFY(!guard.MaySend(std::nullopt, f.set));
    guard.Entered(Field::Set2);
    QCOMPARE(guard.Held(), std::optional<Field>(Field::Set1));
    // The focus goes back: leaving Set2 now is not checked, although Set2 is refused too.
    QVERIFY(!guard.Leaving(Field::Set2, f.set));
    guard.Entered(Field::Set1);
    QCOMPARE(guard.Held(), std::nullopt);
    // The user tries again: refused again, once.
    QVERIFY(guard.Leaving(Field::Set1, f.set));
    guard.Release();
    QCOMPARE(guard.Held(), std::nullopt);
    // A value that may leave lets the focus go.
    f.set.setText(Field::Set1, "400");
    QVERIFY(!guard.Leaving(Field::Set1, f.set));
    QCOMPARE(guard.Held(), std::nullopt);
    QVERIFY(guard.MaySend(Field::Set1, f.set));
    // A field refused by the calibration's own check is held the same way.
    guard.Hold(Field::Capac);
    QVERIFY(!guard.Leaving(Field::Set2, f.set));
    guard.Entered(Field::Capac);
    QCOMPARE(guard.Held(), std::nullopt);
}

void TestRules::marker() {
    Modulo1 m;
    for (const ParameterGroup& g : Groups()) {
        QVERIFY2(!GroupIsRead(g.id, m), g.name);
    }
    m.TabRead[3] = 1;
    QVERIFY(GroupIsRead(GroupId::WeightParameters, m));
    QVERIFY(ShowsMarker(GroupId::WeightParameters, m));
    QVERIFY(!GroupIsRead(GroupId::Outputs, m));
    m.TabRead[1] = 1;
    QVERIFY(GroupIsRead(GroupId::OperatingMode, m));
    QVERIFY(GroupIsRead(GroupId::WeightConstants, m));
    QVERIFY(!GroupIsRead(GroupId::Division, m)); // the division needs its step, not the tab
    m.CurrentStep() = 5;
    QVERIFY(GroupIsRead(GroupId::Division, m));
    m.SetpointsRead = 1;
    QVERIFY(GroupIsRead(GroupId::SetPoints, m));
    m.OfflineEdit = true;
    for (const ParameterGroup& g : Groups()) {
        QVERIFY2(!ShowsMarker(g.id, m), g.name);
    }
}

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
