// Reading the configuration from a simulated instrument: the lazy read of the tab on show, the three
// requests of a tab-0 read, the division and operating-mode readers and the full read with retries.

#include "configrig.h"

#include "frame.h"
#include "registers.h"

using rig::Frame;
using rig::Rig;

namespace {
// Decides, request by request, the fault of the simulated instrument: the fault of request n (0 based)
// is set when request n - 1 has been received.
struct FaultScript {
    FaultScript(Simulator& sim, QList<SimFault> faults) : sim_(sim), faults_(std::move(faults)) {
        sim_.setFault(1, faults_.value(0));
        QObject::connect(&sim_, &Simulator::requestReceived, &sim_, [this](int, const QByteArray&) {
            ++received_;
            sim_.setFault(1, faults_.value(received_));
        });
    }
    Simulator& sim_;
    QList<SimFault> faults_;
    int received_ = 0;
};

QByteArray ReadRequest(const char* startAndCount) {
    return Frame(QByteArray("0103") + startAndCount);
}
} // namespace

class TestConfigReader : public QObject {
    Q_OBJECT
private slots:
    void eachTabReadsItsBlockOnceInSetup_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QList<QByteArray>>("requests");
        QTest::newRow("tab 1 has no block") << 1 << QList<QByteArray>{};
        QTest::newRow("tab 2") << 2 << QList<QByteArray>{ReadRequest("1100 0005")};
        QTest::newRow("tab 3") << 3 << QList<QByteArray>{ReadRequest("2000 0008")};
        QTest::newRow("tab 4") << 4 << QList<QByteArray>{ReadRequest("3000 0008")};
        // Its weights are counts of divisions: the division, not known yet, is read first.
        QTest::newRow("tab 5") << 5 << QList<QByteArray>{ReadRequest("1050 0001"), ReadRequest("4000 0006")};
        QTest::newRow("tab 6 has no block") << 6 << QList<QByteArray>{};
    }
    void eachTabReadsItsBlockOnceInSetup() {
        QFETCH(int, tab);
        QFETCH(QList<QByteArray>, requests);
        Rig r;
        QVERIFY(r.Open());
        r.tab = tab;
        for (int pass = 0; pass < 3; ++pass) {
            QVERIFY(r.Read());
        }
        QCOMPARE(r.Wire(), requests);
        if (!requests.isEmpty()) {
            QCOMPARE(r.m.TabRead[size_t(tab + 1)], uint8_t(1));
        }
        // The read raised the change of its fields, but before TabRead was set: no marker.
        for (int g = 0; g < GroupCount; ++g) {
            QVERIFY(!r.marks.Marker(GroupId(g)));
        }
    }

    void decodedValuesAndFirstEditAfterTheRead() {
        Rig r;
        QVERIFY(r.Open());
        r.inst->setHolding(Reg::WeightParameters + 0, 3);
        r.inst->setHolding(Reg::WeightParameters + 2, 75);
        r.inst->setHolding(Reg::WeightParameters + 4, 150);
        r.tab = 2;
        QVERIFY(r.Read());
        QCOMPARE(r.set->text(Field::Filtro), QString("3"));
        QCOMPARE(r.set->text(Field::Autozero), QString("7.5"));
        QCOMPARE(r.set->text(Field::ZeroBand), QString("150"));
        QVERIFY(!r.marks.Marker(GroupId::WeightParameters));
        r.set->setText(Field::Filtro, "7");
        QVERIFY(r.marks.Marker(GroupId::WeightParameters));
        QVERIFY(r.marks.SendEnabled(GroupId::WeightParameters));
    }

    // A read hands back the reply and leaves it in the frame buffer too, as every exchange does.
    void readKeepsTheReplyInTheFrameBuffer() {
        Rig r;
        QVERIFY(r.Open());
        std::optional<QByteArray> reply;
        QVERIFY(r.Run([&]() -> QCoro::Task<> {
            reply = co_await r.session->Read(Fn::ReadHoldingRegisters, Reg::DivisionCode, 1,
                                             Prefix::DivisionCode);
        }));
        QVERIFY(reply.has_value());
        QVERIFY(reply->startsWith(":01030200"));
        QCOMPARE(r.m.FrameBuffer, *reply);
        std::optional<QByteArray> status;
        QVERIFY(r.Run([&]() -> QCoro::Task<> { status = co_await r.session->ReadStatus(); }));
        QVERIFY(status.has_value());
        QCOMPARE(r.m.FrameBuffer, *status);
    }

    void nothingIsReadWhileAWriteIsPending() {
        Rig r;
        QVERIFY(r.Open());
        r.m.WritePending = true;
        for (const int tab : {0, 2, 3, 4, 5}) {
            r.tab = tab;
            QVERIFY(r.Read());
        }
        QVERIFY(r.Run([&] { return r.reader->ReadDivisionCode(); }));
        QVERIFY(r.Run([&] { return r.reader->ReadOperatingMode(); }));
        QCOMPARE(r.Wire(), QList<QByteArray>{});
        QCOMPARE(r.m.TabRead, (std::array<uint8_t, 8>{}));
        QVERIFY(r.m.WritePending);
    }

    void tabZeroSendsThreeRequests() {
        Rig r;
        QVERIFY(r.Open());
        r.inst->setHolding(Reg::WeightConstants + 0, 1); // 70000 = 0x0001 1170
        r.inst->setHolding(Reg::WeightConstants + 1, 0x1170);
        r.inst->setHolding(Reg::WeightConstants + 2, 25000);
        r.inst->setHolding(Reg::DivisionCode, 4); // 0.02: step 2, 2 decimals
        r.inst->setHolding(Reg::OperatingMode, 2);
        r.m.CurrentStep() = 5; // known before: the tab-0 read forgets it
        r.tab = 0;
        QVERIFY(r.Read());
        QCOMPARE(r.Wire(), (QList<QByteArray>{ReadRequest("1000 0007"), ReadRequest("1050 0001"),
                                              ReadRequest("1010 0001")}));
        QCOMPARE(r.set->text(Field::Capac), QString("  70000"));
        QCOMPARE(r.set->text(Field::Sensib), QString(" 2.5000"));
        QCOMPARE(r.set->index(Field::ValDiv), 4);
        QCOMPARE(r.m.CurrentStep(), uint8_t(2));
        QCOMPARE(r.m.CurrentDecimals(), uint8_t(2));
        QCOMPARE(r.set->index(Field::OpMode), 2);
        QCOMPARE(r.m.TabRead[1], uint8_t(1));
        // Neither the operating mode nor the division put in by the read is an edit.
        QVERIFY(!r.marks.Marker(GroupId::OperatingMode));
        QVERIFY(!r.marks.Marker(GroupId::Division));
        QVERIFY(!r.marks.Marker(GroupId::WeightConstants));
    }

    void tabZeroWithAFailedDivisionRead() {
        Rig r;
        QVERIFY(r.Open());
        r.inst->setHolding(Reg::WeightConstants + 1, 20000);
        r.set->setIndex(Field::OpMode, 0);
        r.inst->setHolding(Reg::OperatingMode, 1);
        FaultScript faults(r.sim, {SimFault::none(), SimFault::badLrc(), SimFault::none()});
        r.tab = 0;
        QVERIFY(r.Read());
        QCOMPARE(r.Wire().size(), 3);
        QCOMPARE(r.set->text(Field::Capac), QString("  20000")); // the block values stay
        QCOMPARE(r.m.CurrentStep(), uint8_t(0));
        QCOMPARE(r.set->index(Field::OpMode), 1);

        // The next pass asks for the division again, and only for it.
        r.ClearWire();
        QVERIFY(r.Read());
        QVERIFY(r.Run([&] { return r.reader->ReadDivisionCode(); }));
        QCOMPARE(r.Wire(), QList<QByteArray>{ReadRequest("1050 0001")});
        QCOMPARE(r.m.CurrentStep(), uint8_t(1));
        // Known now: no further request.
        QVERIFY(r.Run([&] { return r.reader->ReadDivisionCode(); }));
        QCOMPARE(r.Wire().size(), 1);
    }

    void failedBlockReadIsAskedAgain_data() {
        QTest::addColumn<SimFault>("fault");
        QTest::newRow("no reply") << SimFault::mute();
        QTest::newRow("wrong LRC") << SimFault::badLrc();
        QTest::newRow("exception") << SimFault::exception(2);
    }
    void failedBlockReadIsAskedAgain() {
        QFETCH(SimFault, fault);
        Rig r;
        QVERIFY(r.Open());
        r.sim.setFault(1, fault);
        r.tab = 4;
        QVERIFY(r.Read());
        QCOMPARE(r.m.TabRead[5], uint8_t(0));
        QCOMPARE(r.set->text(Field::Indir), QString("15")); // design text, untouched
        r.sim.clearFaults();
        QVERIFY(r.Read());
        QCOMPARE(r.Wire().size(), 2);
        QCOMPARE(r.m.TabRead[5], uint8_t(1));
        QCOMPARE(r.set->text(Field::Indir), QString("1"));
    }

    void divisionCode_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("index"); // ValDiv was 3 before
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("decimals");
        QTest::newRow("0: 0.001, first entry") << 0 << 0 << 1 << 3;
        QTest::newRow("9: 1") << 9 << 9 << 1 << 0;
        QTest::newRow("2: 0.005") << 2 << 2 << 5 << 3;
        QTest::newRow("14: 50") << 14 << 14 << 50 << 0;
        QTest::newRow("15: unknown") << 15 << 3 << 0 << 0;
        QTest::newRow("20: unknown") << 20 << 3 << 0 << 0;
        QTest::newRow("-1: unknown") << 0xFFFF << 3 << 0 << 0;
        QTest::newRow("256: unknown") << 0x0100 << 3 << 0 << 0;
    }
    void divisionCode() {
        QFETCH(int, code);
        QFETCH(int, index);
        QFETCH(int, step);
        QFETCH(int, decimals);
        Rig r;
        QVERIFY(r.Open());
        r.inst->setHolding(Reg::DivisionCode, quint16(code));
        r.set->setIndex(Field::ValDiv, 3);
        r.m.CurrentDecimals() = 2;
        QVERIFY(r.Run([&] { return r.reader->ReadDivisionCode(); }));
        QCOMPARE(r.Wire(), QList<QByteArray>{ReadRequest("1050 0001")});
        QCOMPARE(r.set->index(Field::ValDiv), index);
        QCOMPARE(int(r.m.CurrentStep()), step);
        QCOMPARE(int(r.m.CurrentDecimals()), decimals);
        QVERIFY(!r.marks.Marker(GroupId::Division));
    }

    void operatingMode_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("index"); // OpMode was 1 before
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("2") << 2 << 2;
        QTest::newRow("3 leaves the list") << 3 << 1;
        QTest::newRow("-1 leaves the list") << 0xFFFF << 1;
    }
    void operatingMode() {
        QFETCH(int, value);
        QFETCH(int, index);
        Rig r;
        QVERIFY(r.Open());
        r.inst->setHolding(Reg::OperatingMode, quint16(value));
        r.set->setIndex(Field::OpMode, 1);
        QVERIFY(r.Run([&] { return r.reader->ReadOperatingMode(); }));
        QCOMPARE(r.Wire(), QList<QByteArray>{ReadRequest("1010 0001")});
        QCOMPARE(r.set->index(Field::OpMode), index);
    }

    void readAllAgainstASilentInstrument() {
        Rig r;
        QVERIFY(r.Open());
        r.sim.setLineSilent(true);
        r.m.TabRead.fill(1);
        QVERIFY(r.Run([&] { return r.reader->ReadAllConfiguration(); }));
        QList<QByteArray> expected;
        // The analog block holds weights: with no division known, each attempt asks for the division.
        for (const char* block : {"1000 0007", "1100 0005", "2000 0008", "3000 0008", "1050 0001"}) {
            for (int attempt = 0; attempt < 5; ++attempt) {
                expected << ReadRequest(block);
            }
        }
        QCOMPARE(r.Wire(), expected);
        QVERIFY(!r.m.ReadAllOk);
        QCOMPARE(r.tabsShown, (QList<int>{0, 2, 3, 4, 5}));
        for (size_t element = 1; element <= 6; ++element) {
            QCOMPARE(r.m.TabRead[element], uint8_t(0));
        }
    }

    void readAllRetriesAFlakyTab() {
        Rig r;
        QVERIFY(r.Open());
        // Tab 0 (three requests) reads; tab 2 fails twice, then reads; the rest reads at once.
        FaultScript faults(r.sim, {{}, {}, {}, SimFault::mute(), SimFault::badLrc()});
        r.m.WritePending = true; // a write waiting in the queue does not stop the full read
        QVERIFY(r.Run([&] { return r.reader->ReadAllConfiguration(); }));
        QVERIFY(r.m.ReadAllOk);
        QCOMPARE(r.Wire().size(), 3 + 3 + 1 + 1 + 1);
        QCOMPARE(r.m.TabRead, (std::array<uint8_t, 8>{0, 1, 0, 1, 1, 1, 1, 0}));
        QCOMPARE(r.tab, 5);
        QCOMPARE(r.set->text(Field::FsAna), QString("  10000"));
    }

    void readAllFailsOnAFailedTabZero() {
        // A save after it would write the design values of tab 0 as if the instrument held them.
        Rig r;
        QVERIFY(r.Open());
        QList<SimFault> faults(5, SimFault::mute());
        FaultScript script(r.sim, faults);
        QVERIFY(r.Run([&] { return r.reader->ReadAllConfiguration(); }));
        QCOMPARE(r.m.TabRead[1], uint8_t(0));
        QVERIFY(!r.m.ReadAllOk);
        // The division, which the analog block needs, was read for it.
        QCOMPARE(r.reader->FailedGroups(),
                 (QList<GroupId>{GroupId::WeightConstants, GroupId::OperatingMode}));
    }

    void readAllFailsOnAFailedOperatingMode() {
        // Tab 0's block and division answer, the operating mode of the first model does not.
        Rig r;
        QVERIFY(r.Open());
        FaultScript script(r.sim, {{}, {}, SimFault::mute()});
        QVERIFY(r.Run([&] { return r.reader->ReadAllConfiguration(); }));
        QCOMPARE(r.m.TabRead[1], uint8_t(1));
        QVERIFY(!r.m.ReadAllOk);
        QCOMPARE(r.reader->FailedGroups(), QList<GroupId>{GroupId::OperatingMode});
    }

    void readAllOnModelTwo() {
        Rig r(2);
        QVERIFY(r.Open());
        r.inst->setHolding(Reg::Serial + 1, 5); // MODBUS: the second entry of the model-2 list
        QVERIFY(r.Run([&] { return r.reader->ReadAllConfiguration(); }));
        const QList<QByteArray> wire = r.Wire();
        // Tab 0 with its division and operating mode (the model has no operating mode: refused),
        // then tabs 2 and 4.
        QCOMPARE(wire, (QList<QByteArray>{ReadRequest("1000 0007"), ReadRequest("1050 0001"),
                                          ReadRequest("1010 0001"), ReadRequest("1100 0005"),
                                          ReadRequest("3000 0008")}));
        QVERIFY(r.m.ReadAllOk);
        QVERIFY(r.reader->FailedGroups().isEmpty());
        QCOMPARE(r.tabsShown, (QList<int>{0, 2, 4}));
        QCOMPARE(r.tab, 4);
        QCOMPARE(r.m.TabRead, (std::array<uint8_t, 8>{0, 1, 0, 1, 1, 1, 1, 0}));
        QCOMPARE(r.set->index(Field::ModSer), 1);
        QCOMPARE(r.set->text(Field::ZeroBand), QString("100"));
    }
};

QTEST_GUILESS_MAIN(TestConfigReader)
#include "test_configreader.moc"
