// The send handlers of the eight groups (their checks, frames, slots and extra steps), the error
// labels and Timer2, and the follow-ups of the command and mode echoes, against a scripted line.

#include "../support/scripteddevice.h"
#include "configrig.h"

#include "frame.h"
#include "registers.h"

using rig::Apply;
using rig::Frame;
using rig::Rig;

Q_DECLARE_METATYPE(GroupId)

namespace {
const QByteArray NormalMode = Frame("01 06 0802 0000");

// A rig whose line answers every request with `reply`.
struct ScriptedRig : Rig {
    QByteArray reply;
    ScriptedDevice port{[this](const QByteArray&) { return QList<QByteArray>{reply}; }};
    ScriptedRig() { link.UseDevice(&port); }
    bool ServiceA() {
        return Run([this] { return queue.ServiceWriteQueueA(); });
    }
};

void SetAllModified(Rig& r) {
    for (int g = 0; g < GroupCount; ++g) {
        r.marks.SetModified(GroupId(g), true);
    }
}
} // namespace

class TestConfigWriter : public QObject {
    Q_OBJECT
private slots:
    void requestOfEachGroup_data() {
        QTest::addColumn<GroupId>("group");
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("divisionCode");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QByteArray>("slotA");
        QTest::addColumn<QByteArray>("slotB");
        using G = GroupId;
        const QStringList constants{"Capac=  70000", "Sensib= 2.5000", "Teonet=  50000", "Teotara=   1000"};
        QTest::newRow("weight constants")
            << G::WeightConstants << 1 << 1 << 9 << constants
            << Frame("01 10 1000 0007 0E 0001 1170 61A8 0000 C350 0000 03E8") << QByteArray();
        QTest::newRow("weight constants, model 2")
            << G::WeightConstants << 2 << 1 << 9
            << QStringList{"Capac=   1000", "Sensib=0", "Teonet=      0", "Teotara=      0"}
            << Frame("01 10 1000 0007 0E 0000 03E8 0000 0000 0000 0000 0000") << QByteArray();
        QTest::newRow("operating mode") << G::OperatingMode << 1 << 1 << 9 << QStringList{"OpMode#2"}
                                        << Frame("01 06 1010 0002") << QByteArray();
        QTest::newRow("division") << G::Division << 1 << 1 << 9 << QStringList{"ValDiv#11"}
                                  << Frame("01 06 1050 000B") << QByteArray();
        QTest::newRow("division, model 2") << G::Division << 2 << 1 << 9 << QStringList{"ValDiv#0"}
                                           << Frame("01 06 1050 0000") << QByteArray();
        QTest::newRow("set points, step 2")
            << G::SetPoints << 1 << 1 << 10 << QStringList{"Set1=    150", "Set2=   3000"}
            << Frame("01 10 0110 0002 04 004B 05DC") << QByteArray();
        QTest::newRow("set points, 0.02")
            << G::SetPoints << 1 << 1 << 4 << QStringList{"Set1=   1.50", "Set2=  30.00"}
            << Frame("01 10 0110 0002 04 004B 05DC") << QByteArray();
        const QStringList weighing{"Filtro=7", "Stabilità=3", "Autozero=2.5", "Inseguimento=1",
                                   "ZeroBand=150"};
        QTest::newRow("weight parameters, address 12")
            << G::WeightParameters << 1 << 12 << 9 << weighing
            << Frame("0C 10 1100 0005 0A 0007 0003 0019 0001 0096") << QByteArray();
        QTest::newRow("weight parameters, model 2")
            << G::WeightParameters << 2 << 1 << 9 << weighing
            << Frame("01 10 1100 0004 08 0007 0003 0019 0001") << QByteArray();
        QTest::newRow("outputs") << G::Outputs << 1 << 1 << 9
                                 << QStringList{"NeLor1#2", "ApCh1#1",   "PoNe1#0",  "NoSta1#1",
                                                "Iste1=5",  "Disab1=10", "RiEcc1=3", "NeLor2#1",
                                                "ApCh2#1",  "PoNe2#1",   "NoSta2#1", "Iste2=     2",
                                                "Disab2=0", "RiEcc2=0"}
                                 << Frame("01 10 2000 0008 10 0016 0005 000A 0003 001D 0002 0000 0000")
                                 << QByteArray();
        QTest::newRow("serial") << G::Serial << 1 << 1 << 9
                                << QStringList{"Baud#2",     "ModSer#5",    "Indir=7",    "RiRis=10",
                                               "DatiCom1#6", "ProtoCom2#0", "AddrCom2=5", "BRCom2#1"}
                                << NormalMode
                                << Frame("01 10 3000 0008 10 0002 0005 0007 000A 0006 0000 0005 0001");
        QTest::newRow("serial, model 2, MODBUS")
            << G::Serial << 2 << 1 << 9
            << QStringList{"Baud#1", "ModSer#1", "Indir=3", "RiRis=0", "DatiCom1#7", "AddrCom2=9"}
            << NormalMode << Frame("01 10 3000 0004 08 0001 0005 0003 0000");
        QTest::newRow("serial, model 2, continuous")
            << G::Serial << 2 << 1 << 9 << QStringList{"Baud#0", "ModSer#0", "Indir=32", "RiRis=100"}
            << NormalMode << Frame("01 10 3000 0004 08 0000 0001 0020 0064");
        // Six registers also with an offset of 0: four would put RifZero into the zero adjustment.
        QTest::newRow("analog, zero offset 0")
            << G::Analog << 1 << 1 << 9 << QStringList{"FsAna=  10000", "TipoAna#1",   "CampoAna#2",
                                                       "OffZero=0",     "OffFS=64000", "RifZero=    100"}
            << NormalMode << Frame("01 10 4000 0006 0C 2710 0001 0002 0000 FA00 0064");
    }
    void requestOfEachGroup() {
        QFETCH(GroupId, group);
        QFETCH(int, model);
        QFETCH(int, address);
        QFETCH(int, divisionCode);
        QFETCH(QStringList, edits);
        QFETCH(QByteArray, slotA);
        QFETCH(QByteArray, slotB);
        Rig r(model);
        r.m.DeviceAddress = uint8_t(address);
        SetDivisionFromCode(r.m, address, divisionCode);
        r.m.TabRead.fill(1);
        r.m.AnalogAdjustMode = 3;
        QVERIFY(Apply(*r.set, edits));
        SetAllModified(r);

        r.writer->Send(group);
        QCOMPARE(r.m.PendingWriteA, slotA);
        QCOMPARE(r.m.PendingWriteB, slotB);
        QVERIFY(r.m.WritePending);
        QVERIFY(!r.marks.ErrorShown(group));
        QVERIFY(!r.writer->Timer2.isActive());
        // Extra steps of the click.
        QCOMPARE(r.marks.Marker(GroupId::Division), group != GroupId::Division);
        QCOMPARE(r.marks.SendEnabled(GroupId::Division), group != GroupId::Division);
        QCOMPARE(r.marks.Marker(group), group != GroupId::Division); // confirmed only by the echo
        const bool constants = group == GroupId::WeightConstants;
        QCOMPARE(r.m.TabRead, (std::array<uint8_t, 8>{1, 1, 1, uint8_t(constants ? 0 : 1), 1, 1,
                                                      uint8_t(constants ? 0 : 1), 1}));
        QCOMPARE(r.m.AnalogAdjustMode, uint8_t(group == GroupId::Analog ? 0 : 3));
    }

    void clicksRunTheirGroup() {
        const QList<QPair<void (ConfigWriter::*)(), QByteArray>> buttons{
            {&ConfigWriter::Command12_Click, "101000"}, {&ConfigWriter::Command27_Click, "061010"},
            {&ConfigWriter::Command26_Click, "061050"}, {&ConfigWriter::Command17_Click, "100110"},
            {&ConfigWriter::Command13_Click, "101100"}, {&ConfigWriter::Command14_Click, "102000"},
            {&ConfigWriter::Command15_Click, "103000"}, {&ConfigWriter::Command16_Click, "104000"}};
        for (const auto& [click, echo] : buttons) {
            Rig r;
            (r.writer.get()->*click)();
            const QByteArray queued = r.m.PendingWriteB.isEmpty() ? r.m.PendingWriteA : r.m.PendingWriteB;
            QCOMPARE(WriteQueue::EchoOf(queued), echo);
        }
    }

    // A setup-file load sends a model-2 instrument the same group writes as a model-1 one, the groups
    // that model lacks included (its screen hides their buttons, so only the load sends them); their
    // checks apply as on model 1.
    void modelTwoWritesGroupsItLacksLikeModelOne_data() {
        QTest::addColumn<GroupId>("group");
        QTest::newRow("operating mode") << GroupId::OperatingMode;
        QTest::newRow("set points") << GroupId::SetPoints;
        QTest::newRow("outputs") << GroupId::Outputs;
        QTest::newRow("analog") << GroupId::Analog;
    }
    void modelTwoWritesGroupsItLacksLikeModelOne() {
        QFETCH(GroupId, group);
        Rig one(1);
        Rig two(2);
        one.writer->Send(group);
        two.writer->Send(group);
        QVERIFY(two.m.WritePending);
        QCOMPARE(two.m.PendingWriteA, one.m.PendingWriteA);
        QCOMPARE(two.m.PendingWriteB, one.m.PendingWriteB);
        QVERIFY(!two.m.PendingWriteA.isEmpty());
    }

    void checkOfEachGroup_data() {
        QTest::addColumn<GroupId>("group");
        QTest::addColumn<int>("model");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<bool>("accepted");
        using G = GroupId;
        const G W = G::WeightConstants;
        QTest::newRow("capacity above 10 x net")
            << W << 1 << QStringList{"Capac=1001", "Teonet=100", "Teotara=0"} << false;
        QTest::newRow("net 0") << W << 1 << QStringList{"Capac=1000", "Teonet=0", "Teotara=0"} << true;
        QTest::newRow("capacity below net + tare")
            << W << 1 << QStringList{"Capac=1000", "Teonet=600", "Teotara=401"} << false;
        QTest::newRow("capacity above 500000") << W << 2 << QStringList{"Capac=500001"} << false;
        QTest::newRow("sensitivity 2.5") << W << 1 << QStringList{"Sensib=2.5"} << false;
        QTest::newRow("sensitivity 2.5000") << W << 1 << QStringList{"Sensib=2.5000"} << true;
        const G P = G::WeightParameters;
        QTest::newRow("motion band 5") << P << 1 << QStringList{"Stabilità=5"} << false;
        QTest::newRow("auto-zero 10.1") << P << 2 << QStringList{"Autozero=10.1"} << false;
        QTest::newRow("zero band 201") << P << 1 << QStringList{"ZeroBand=201"} << false;
        QTest::newRow("zero band 201, model 2 (not sent)") << P << 2 << QStringList{"ZeroBand=201"} << true;
        QTest::newRow("zero band 200") << P << 1 << QStringList{"ZeroBand=200"} << true;
        const G O = G::Outputs;
        QTest::newRow("hysteresis above net") << O << 1 << QStringList{"Teonet=500", "Iste1=600"} << false;
        QTest::newRow("hysteresis = net") << O << 1 << QStringList{"Teonet=500", "Iste2=500"} << true;
        QTest::newRow("net 0, hysteresis 65536") << O << 1 << QStringList{"Iste2=65536"} << false;
        QTest::newRow("net 0, hysteresis 65535") << O << 1 << QStringList{"Iste1=65535"} << true;
        const G S = G::Serial;
        QTest::newRow("address 0") << S << 1 << QStringList{"Indir=0"} << false;
        QTest::newRow("MODBUS with 7 data bits") << S << 1 << QStringList{"ModSer#5", "DatiCom1#5"} << false;
        QTest::newRow("MODBUS with a Com2 protocol")
            << S << 1 << QStringList{"ModSer#5", "DatiCom1#6", "ProtoCom2#1"} << false;
        QTest::newRow("MODBUS, N-8-2") << S << 1 << QStringList{"ModSer#5", "DatiCom1#6"} << true;
        QTest::newRow("slave with 7 data bits") << S << 1 << QStringList{"ModSer#4", "DatiCom1#0"} << true;
        QTest::newRow("model 2, MODBUS with 7 data bits")
            << S << 2 << QStringList{"ModSer#1", "DatiCom1#5"} << false;
        const G A = G::Analog;
        QTest::newRow("analog zero above full scale")
            << A << 1 << QStringList{"FsAna=100", "RifZero=101"} << false;
        QTest::newRow("analog zero = full scale")
            << A << 1 << QStringList{"FsAna=100", "RifZero=100"} << true;
    }
    void checkOfEachGroup() {
        QFETCH(GroupId, group);
        QFETCH(int, model);
        QFETCH(QStringList, edits);
        QFETCH(bool, accepted);
        Rig r(model);
        SetDivisionFromCode(r.m, 1, 9);
        QVERIFY(Apply(*r.set, edits));
        r.marks.SetModified(group, true);
        r.writer->Send(group);
        QCOMPARE(r.m.WritePending, accepted);
        const QByteArray queued = r.m.PendingWriteB.isEmpty() ? r.m.PendingWriteA : r.m.PendingWriteB;
        QCOMPARE(WriteQueue::EchoOf(queued), accepted ? QByteArray(Group(group).echo) : QByteArray());
        QCOMPARE(r.marks.ErrorShown(group), !accepted);
        QCOMPARE(r.writer->Timer2.isActive(), !accepted);
        if (!accepted) {
            QCOMPARE(r.writer->Timer2.interval(), ConfigWriter::ErrorLabelMs);
            QVERIFY(r.writer->Timer2.isSingleShot());
        }
        // Refused or queued, the group stays modified until its echo.
        QVERIFY(r.marks.Marker(group));
        QVERIFY(r.marks.SendEnabled(group));
    }

    void timer2HidesOnlyItsLabels() {
        Rig r;
        r.set->setText(Field::Capac, "600000");
        r.set->setText(Field::Filtro, "12");
        r.set->setText(Field::Teonet, "10");
        r.set->setText(Field::Iste1, "11");
        r.set->setText(Field::Indir, "0");
        r.set->setText(Field::RifZero, "1");
        const QList<GroupId> refused{GroupId::WeightConstants, GroupId::WeightParameters, GroupId::Outputs,
                                     GroupId::Serial, GroupId::Analog};
        for (const GroupId g : refused) {
            r.writer->Send(g);
            QVERIFY(r.marks.ErrorShown(g));
        }
        QVERIFY(!r.m.WritePending);
        QTRY_VERIFY_WITH_TIMEOUT(!r.writer->Timer2.isActive(), 3 * ConfigWriter::ErrorLabelMs);
        QCOMPARE(r.writer->Timer2.interval(), 0);
        QVERIFY(!r.marks.ErrorShown(GroupId::WeightConstants));
        QVERIFY(!r.marks.ErrorShown(GroupId::Serial));
        QVERIFY(!r.marks.ErrorShown(GroupId::Analog));
        // Label60 and Label58 stay until their group's next valid send.
        QVERIFY(r.marks.ErrorShown(GroupId::WeightParameters));
        QVERIFY(r.marks.ErrorShown(GroupId::Outputs));
        r.set->setText(Field::Filtro, "2");
        r.writer->Command13_Click();
        QVERIFY(!r.marks.ErrorShown(GroupId::WeightParameters));
        QVERIFY(r.marks.ErrorShown(GroupId::Outputs));
        r.set->setText(Field::Iste1, "10");
        r.writer->Command14_Click();
        QVERIFY(!r.marks.ErrorShown(GroupId::Outputs));
    }

    void echoOwners() {
        Rig r;
        for (const char* echo :
             {Echo::WeightConstants, Echo::OperatingMode, Echo::DivisionCode, Echo::SetPoints,
              Echo::WeightParameters, Echo::Outputs, Echo::Mode, Echo::Command, Echo::MemoryReset}) {
            QVERIFY2(r.queue.Knows(WriteSlot::A, echo), echo);
            QVERIFY2(!r.queue.Knows(WriteSlot::B, echo), echo);
        }
        for (const char* echo : {Echo::Serial, Echo::Analog}) {
            QVERIFY2(r.queue.Knows(WriteSlot::B, echo), echo);
            QVERIFY2(!r.queue.Knows(WriteSlot::A, echo), echo);
        }
        // The calibration and the tests own the others.
        for (const char* echo : {Echo::SampleWeight}) {
            QVERIFY(!r.queue.Knows(WriteSlot::A, echo));
        }
        for (const char* echo :
             {Echo::Command, Echo::SampleWeight, Echo::ForcedOutputs, Echo::AnalogTestLevel,
              Echo::AnalogZeroAdjust, Echo::AnalogFullScaleAdjust}) {
            QVERIFY(!r.queue.Knows(WriteSlot::B, echo));
        }
    }

    void normalModeRequest() {
        Rig r;
        r.m.DeviceAddress = 5;
        r.commands->QueueNormalMode();
        QCOMPARE(r.m.PendingWriteA, Frame("05 06 0802 0000"));
        QVERIFY(r.m.PendingWriteB.isEmpty());
        QVERIFY(r.m.WritePending);
    }

    void modeEcho_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("setupOn");
        QTest::addColumn<QByteArray>("slotB");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<bool>("slotAEmpty");
        QTest::addColumn<bool>("optionsMenu");
        const QByteArray serial = Frame("01 10 3000 0004 08 0001 0005 0003 0000");
        const QByteArray analog = Frame("01 10 4000 0006 0C 2710 0001 0002 0000 FA00 0064");
        const QByteArray zeroAdjust = Frame("01 06 4003 1900");
        QTest::newRow("normal, setup off") << NormalMode << false << QByteArray() << false << true << true;
        QTest::newRow("normal, setup on") << NormalMode << true << QByteArray() << false << true << false;
        QTest::newRow("normal, serial block waits") << NormalMode << false << serial << true << true << false;
        QTest::newRow("normal, analog block waits") << NormalMode << true << analog << true << true << false;
        // The queue stays pending while slot B still holds a request.
        QTest::newRow("normal, other write in B")
            << NormalMode << false << zeroAdjust << true << true << true;
        for (const char* mode : {"0003", "0004", "0005", "0006"}) {
            QTest::addRow("mode %s", mode)
                << Frame(QByteArray("01 06 0802 ") + mode) << false << zeroAdjust << true << true << false;
            // Nothing in slot B yet (the relay test waits for its first click): the reads still pause,
            // for the next pass only.
            QTest::addRow("mode %s, slot B empty", mode)
                << Frame(QByteArray("01 06 0802 ") + mode) << true << QByteArray() << true << true << false;
        }
        QTest::newRow("mode 0007") << Frame("01 06 0802 0007") << false << QByteArray() << false << true
                                   << false;
        // 13 characters: no value to look at, a failed attempt.
        QTest::newRow("short echo") << Frame("01 06 0802") << false << QByteArray() << true << false << false;
    }
    void modeEcho() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, setupOn);
        QFETCH(QByteArray, slotB);
        QFETCH(bool, pending);
        QFETCH(bool, slotAEmpty);
        QFETCH(bool, optionsMenu);
        ScriptedRig r;
        r.reply = reply;
        r.m.Fl_setup = setupOn;
        r.commands->QueueNormalMode();
        r.m.PendingWriteB = slotB;
        QVERIFY(r.ServiceA());
        QCOMPARE(r.port.requests, QList<QByteArray>{NormalMode});
        QCOMPARE(r.m.WritePending, pending);
        QCOMPARE(r.m.PendingWriteA.isEmpty(), slotAEmpty);
        QCOMPARE(r.m.OptionsMenuPending, optionsMenu);
        QCOMPARE(r.m.PendingWriteB, slotB);
        QCOMPARE(r.m.WriteRetries, uint8_t(slotAEmpty ? 0 : 1));
        if (pending && slotAEmpty && slotB.isEmpty()) {
            // The pass after: nothing to send, and the reads go on.
            QVERIFY(r.ServiceA());
            QCOMPARE(r.port.requests.size(), 1);
            QVERIFY(!r.m.WritePending);
        }
    }

    void commandEcho_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("opModeWritten");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<bool>("divisionCleared");
        QTest::addColumn<int>("restartRequest");
        QTest::newRow("zero") << Frame("01 06 0800 0010") << false << false << false << 0;
        QTest::newRow("store") << Frame("01 06 0800 0020") << false << false << true << 0;
        QTest::newRow("store after an operating-mode write")
            << Frame("01 06 0800 0020") << true << true << true << 1;
        QTest::newRow("restart") << Frame("01 06 0800 0021") << true << false << false << 0;
    }
    void commandEcho() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, opModeWritten);
        QFETCH(bool, pending);
        QFETCH(bool, divisionCleared);
        QFETCH(int, restartRequest);
        ScriptedRig r;
        r.reply = reply;
        r.m.OpModeWritten = opModeWritten;
        r.m.SetpointsRead = 1;
        SetDivisionFromCode(r.m, 1, 4);
        r.queue.QueueWrite(WriteSlot::A, reply);
        QVERIFY(r.ServiceA());
        QCOMPARE(r.m.WritePending, pending);
        QCOMPARE(r.m.SetpointsRead, uint8_t(0));
        QCOMPARE(r.m.CurrentStep(), uint8_t(divisionCleared ? 0 : 2));
        QCOMPARE(r.m.CurrentDecimals(), uint8_t(divisionCleared ? 0 : 2));
        QCOMPARE(int(r.m.RestartRequest), restartRequest);
        // The command is done: it is not sent again.
        QVERIFY(r.m.PendingWriteA.isEmpty());
        QCOMPARE(r.m.WriteRetries, uint8_t(0));
    }

    void memoryResetEcho() {
        ScriptedRig r;
        r.reply = Frame("01 10 0800 0002");
        r.queue.QueueWrite(WriteSlot::A, Frame("01 10 0800 0002 04 0018 9F0E"));
        QVERIFY(r.ServiceA());
        QVERIFY(!r.m.WritePending);
        QVERIFY(r.m.PendingWriteA.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConfigWriter)
#include "test_configwriter.moc"
