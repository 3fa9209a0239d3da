// Group writes against a simulated instrument: the frames of each pass, the follow-up of every echo
// (markers, read flags, division, set points, operating mode, address) and the values the instrument
// holds afterwards.

#include "configrig.h"

#include "frame.h"
#include "registers.h"

using rig::Apply;
using rig::Frame;
using rig::Rig;

Q_DECLARE_METATYPE(GroupId)

namespace {
const QByteArray NormalMode = Frame("01 06 0802 0000");

// "1100=7" -> register 0x1100 holds 7.
bool Holds(const SimInstrument& inst, const QStringList& expected) {
    bool ok = true;
    for (const QString& e : expected) {
        const QStringList parts = e.split('=');
        const quint16 reg = quint16(parts.value(0).toUInt(nullptr, 16));
        const quint16 value = quint16(parts.value(1).toUInt());
        if (inst.holding(reg) != value) {
            qWarning() << "register" << parts.value(0) << "holds" << inst.holding(reg) << "expected" << value;
            ok = false;
        }
    }
    return ok;
}
} // namespace

class TestConfigWriteE2E : public QObject {
    Q_OBJECT
private slots:
    void echoFollowUps_data() {
        QTest::addColumn<GroupId>("group");
        QTest::addColumn<int>("model");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QList<QByteArray>>("wire");
        QTest::addColumn<QList<int>>("tabsToRead"); // TabRead elements 0 afterwards
        QTest::addColumn<bool>("divisionCleared");
        QTest::addColumn<bool>("setpointsCleared");
        QTest::addColumn<bool>("opModeWritten");
        QTest::addColumn<QStringList>("holds");
        using G = GroupId;
        using W = QList<QByteArray>;
        QTest::newRow("weight constants")
            << G::WeightConstants << 1
            << QStringList{"Capac=  70000", "Sensib= 2.5000", "Teonet=  50000", "Teotara=   1000"}
            << W{Frame("01 10 1000 0007 0E 0001 1170 61A8 0000 C350 0000 03E8")} << QList<int>{1, 3, 6}
            << true << true << false
            << QStringList{"1000=1", "1001=4464", "1002=25000", "1004=50000", "1006=1000"};
        QTest::newRow("operating mode")
            << G::OperatingMode << 1 << QStringList{"OpMode#2"} << W{Frame("01 06 1010 0002")} << QList<int>{}
            << false << false << true << QStringList{"1010=2"};
        QTest::newRow("division") << G::Division << 1 << QStringList{"ValDiv#11"}
                                  << W{Frame("01 06 1050 000B")} << QList<int>{} << true << true << false
                                  << QStringList{"1050=11"};
        QTest::newRow("set points") << G::SetPoints << 1 << QStringList{"Set1=    150", "Set2=    300"}
                                    << W{Frame("01 10 0110 0002 04 0096 012C")} << QList<int>{} << false
                                    << true << false << QStringList{"0110=150", "0111=300"};
        const QStringList weighing{"Filtro=7", "Stabilità=3", "Autozero=2.5", "Inseguimento=1",
                                   "ZeroBand=150"};
        QTest::newRow("weight parameters")
            << G::WeightParameters << 1 << weighing << W{Frame("01 10 1100 0005 0A 0007 0003 0019 0001 0096")}
            << QList<int>{3} << false << false << false
            << QStringList{"1100=7", "1101=3", "1102=25", "1103=1", "1104=150"};
        QTest::newRow("weight parameters, model 2")
            << G::WeightParameters << 2 << weighing << W{Frame("01 10 1100 0004 08 0007 0003 0019 0001")}
            << QList<int>{3} << false << false << false << QStringList{"1100=7", "1104=100"};
        QTest::newRow("outputs") << G::Outputs << 1
                                 << QStringList{"NeLor1#2", "ApCh1#1", "NoSta1#1", "Iste1=5", "Disab2=7"}
                                 << W{Frame("01 10 2000 0008 10 0016 0005 0000 0000 0000 0002 0007 0000")}
                                 << QList<int>{4} << false << false << false
                                 << QStringList{"2000=22", "2001=5", "2006=7"};
        QTest::newRow("serial") << G::Serial << 1
                                << QStringList{"Baud#2",     "ModSer#5",   "Indir=1", "RiRis=10",
                                               "DatiCom1#7", "AddrCom2=5", "BRCom2#2"}
                                << W{NormalMode,
                                     Frame("01 10 3000 0008 10 0002 0005 0001 000A 0007 0000 0005 0002")}
                                << QList<int>{5} << false << false << false
                                << QStringList{"3000=2", "3003=10", "3004=7", "3006=5", "3007=2", "0802=0"};
        QTest::newRow("serial, model 2")
            << G::Serial << 2 << QStringList{"Baud#0", "ModSer#0", "Indir=1", "RiRis=20", "AddrCom2=5"}
            << W{NormalMode, Frame("01 10 3000 0004 08 0000 0001 0001 0014")} << QList<int>{5} << false
            << false << false << QStringList{"3000=0", "3001=1", "3003=20", "3006=1"};
        QTest::newRow("analog") << G::Analog << 1
                                << QStringList{"FsAna=   5000", "TipoAna#2",     "CampoAna#3",
                                               "OffZero=0",     "OffFS=  64000", "RifZero=     50"}
                                << W{NormalMode, Frame("01 10 4000 0006 0C 1388 0002 0003 0000 FA00 0032")}
                                << QList<int>{6} << false << false << false
                                << QStringList{"4000=5000", "4001=2",     "4002=3",
                                               "4003=0",    "4004=64000", "4005=50"};
    }
    void echoFollowUps() {
        QFETCH(GroupId, group);
        QFETCH(int, model);
        QFETCH(QStringList, edits);
        QFETCH(QList<QByteArray>, wire);
        QFETCH(QList<int>, tabsToRead);
        QFETCH(bool, divisionCleared);
        QFETCH(bool, setpointsCleared);
        QFETCH(bool, opModeWritten);
        QFETCH(QStringList, holds);
        Rig r(model);
        QVERIFY(r.Open());
        // Everything read, as after a visit of every tab.
        r.m.TabRead.fill(1);
        r.m.SetpointsRead = 1;
        SetDivisionFromCode(r.m, 1, 9);
        QVERIFY(Apply(*r.set, edits));
        QVERIFY(r.marks.Marker(group) || group == GroupId::Division);
        r.marks.SetModified(group, true);

        r.writer->Send(group);
        QVERIFY(r.m.WritePending);
        QVERIFY(r.Pass());
        QCOMPARE(r.Wire(), wire);
        QVERIFY(!r.m.WritePending);
        QVERIFY(r.m.PendingWriteA.isEmpty());
        QVERIFY(r.m.PendingWriteB.isEmpty());
        QVERIFY(!r.marks.Marker(group));
        QVERIFY(!r.marks.SendEnabled(group));
        for (size_t element = 1; element <= 6; ++element) {
            QCOMPARE(r.m.TabRead[element], uint8_t(tabsToRead.contains(int(element)) ? 0 : 1));
        }
        QCOMPARE(r.m.CurrentStep(), uint8_t(divisionCleared ? 0 : 1));
        QCOMPARE(r.m.SetpointsRead, uint8_t(setpointsCleared ? 0 : 1));
        QCOMPARE(r.m.OpModeWritten, opModeWritten);
        QCOMPARE(r.m.DeviceAddress, uint8_t(1));
        QVERIFY(Holds(*r.inst, holds));
        QVERIFY(r.inst->setupActive());
    }

    // The serial block moves the instrument to the address typed, down to 1 and up to 32; the user
    // typing another address while the block is on the wire changes nothing.
    void serialWriteMovesTheInstrument_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("1 to 7") << 1 << 7;
        QTest::newRow("7 to 1") << 7 << 1;
        QTest::newRow("1 to 32") << 1 << 32;
    }
    void serialWriteMovesTheInstrument() {
        QFETCH(int, from);
        QFETCH(int, to);
        Rig r;
        QVERIFY(r.Open());
        if (from != 1) {
            r.sim.removeInstrument(1);
            r.inst = r.sim.addInstrument(from, SimInstrument::VXA);
            r.m.DeviceAddress = uint8_t(from);
        }
        const QByteArray here = QByteArray::number(from, 16).rightJustified(2, '0').toUpper();
        const QByteArray there = QByteArray::number(to, 16).rightJustified(2, '0').toUpper();
        r.m.Fl_setup = true;
        r.tab = 4;
        QVERIFY(r.Read());
        r.set->setText(Field::Indir, QString::number(to));
        QVERIFY(r.marks.Marker(GroupId::Serial));

        // What the queue holds when the block reaches the instrument.
        bool pendingAtBlock = false;
        QByteArray slotAAtBlock = "unset";
        QObject::connect(&r.sim, &Simulator::requestReceived, &r.sim, [&](int, const QByteArray& frame) {
            if (WriteQueue::EchoOf(frame) == Echo::Serial) {
                pendingAtBlock = r.m.WritePending;
                slotAAtBlock = r.m.PendingWriteA;
                // The user types another address while the block is on the wire.
                r.set->setText(Field::Indir, "9");
            }
        });
        r.ClearWire();
        r.writer->Command15_Click();
        QVERIFY(r.Pass());
        QCOMPARE(r.Wire(), (QList<QByteArray>{Frame(here + " 06 0802 0000"),
                                              Frame(here + " 10 3000 0008 10 0001 0005 00" + there +
                                                    " 0000 0006 0000 0001 0000")}));
        QVERIFY(pendingAtBlock);
        QVERIFY(slotAAtBlock.isEmpty());
        QVERIFY(!r.m.WritePending);
        QCOMPARE(r.m.DeviceAddress, uint8_t(to));
        QVERIFY(!r.marks.Marker(GroupId::Serial));
        QCOMPARE(r.m.TabRead[5], uint8_t(0));
        QTRY_COMPARE(r.sim.instrument(to), r.inst);
        QVERIFY(!r.sim.instrument(from));

        // The next request goes to the new address and is answered there.
        r.ClearWire();
        QVERIFY(r.Read());
        QCOMPARE(r.Wire(), QList<QByteArray>{Frame(there + " 03 3000 0008")});
        QCOMPARE(r.m.TabRead[5], uint8_t(1));
        QCOMPARE(r.set->text(Field::Indir), QString::number(to));
        QVERIFY(!r.marks.Marker(GroupId::Serial));
    }

    void editReadBack() {
        // Tab 2 read, 7 typed into Filtro, sent, confirmed, read again.
        Rig r;
        QVERIFY(r.Open());
        r.tab = 2;
        QVERIFY(r.Read());
        QCOMPARE(r.set->text(Field::Filtro), QString("5"));
        r.set->setText(Field::Filtro, "7");
        QVERIFY(r.marks.SendEnabled(GroupId::WeightParameters));
        r.writer->Command13_Click();
        QVERIFY(r.Read()); // skipped: a write is pending
        QVERIFY(r.Pass());
        QVERIFY(!r.marks.Marker(GroupId::WeightParameters));
        QVERIFY(r.Read());
        QCOMPARE(r.Wire(), (QList<QByteArray>{Frame("01 03 1100 0005"),
                                              Frame("01 10 1100 0005 0A 0007 0002 0000 0002 0064"),
                                              Frame("01 03 1100 0005")}));
        QCOMPARE(r.set->text(Field::Filtro), QString("7"));
        QCOMPARE(r.inst->holding(Reg::WeightParameters), quint16(7));
        QVERIFY(!r.marks.Marker(GroupId::WeightParameters));
    }

    void storeAfterAnOperatingModeWriteAsksForARestart() {
        Rig r;
        QVERIFY(r.Open());
        r.m.TabRead.fill(1);
        r.set->setIndex(Field::OpMode, 1);
        r.writer->Command27_Click();
        QVERIFY(r.Pass());
        QVERIFY(r.m.OpModeWritten);
        SetDivisionFromCode(r.m, 1, 9);
        r.queue.QueueWrite(WriteSlot::A, Frame("01 06 0800 0020"));
        QVERIFY(r.Pass());
        QCOMPARE(r.inst->storeCount(), 1);
        QCOMPARE(r.inst->stored(Reg::OperatingMode), quint16(1));
        QCOMPARE(r.m.RestartRequest, uint8_t(1));
        QVERIFY(r.m.WritePending);
        QCOMPARE(r.m.CurrentStep(), uint8_t(0));
        // Nothing goes out again until the restart is queued.
        r.ClearWire();
        QVERIFY(r.Pass());
        QCOMPARE(r.Wire(), QList<QByteArray>{});
        QVERIFY(!r.m.WritePending);
    }

    void unansweredWriteKeepsTheMarker() {
        Rig r;
        QVERIFY(r.Open());
        r.m.TabRead.fill(1);
        r.set->setText(Field::Filtro, "8");
        QVERIFY(r.marks.Marker(GroupId::WeightParameters));
        r.writer->Command13_Click();
        r.sim.setLineSilent(true);
        for (int pass = 0; pass < 6; ++pass) {
            QVERIFY(r.m.WritePending);
            QVERIFY(r.Pass());
        }
        QCOMPARE(r.Wire().size(), 6);
        QVERIFY(!r.m.WritePending);
        QVERIFY(r.m.PendingWriteA.isEmpty());
        QVERIFY(r.marks.Marker(GroupId::WeightParameters));
        QVERIFY(r.marks.SendEnabled(GroupId::WeightParameters));
        QCOMPARE(r.m.TabRead[3], uint8_t(1));
        // Line back: the same click goes through.
        r.sim.setLineSilent(false);
        r.writer->Command13_Click();
        QVERIFY(r.Pass());
        QVERIFY(!r.marks.Marker(GroupId::WeightParameters));
        QCOMPARE(r.inst->holding(Reg::WeightParameters), quint16(8));
    }

    void serialBlockDroppedWhenUnanswered() {
        Rig r;
        QVERIFY(r.Open());
        r.m.TabRead.fill(1);
        r.set->setText(Field::RiRis, "50");
        r.writer->Command15_Click();
        // The mode write is answered, the block is not.
        QObject::connect(&r.sim, &Simulator::requestReceived, &r.sim, [&](int, const QByteArray& frame) {
            if (WriteQueue::EchoOf(frame) == Echo::Mode) {
                r.sim.setFault(1, SimFault::mute());
            }
        });
        int passes = 0;
        while (r.m.WritePending && passes < 10) {
            QVERIFY(r.Pass());
            ++passes;
        }
        QCOMPARE(passes, 6);
        QCOMPARE(r.Wire().size(), 1 + 6);
        QVERIFY(r.m.PendingWriteB.isEmpty());
        QVERIFY(r.marks.Marker(GroupId::Serial));
        QCOMPARE(r.m.DeviceAddress, uint8_t(1));
    }
};

QTEST_GUILESS_MAIN(TestConfigWriteE2E)
#include "test_configwrite_e2e.moc"
