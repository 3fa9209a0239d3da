// The simulator as seen from the line: standard replies of every function, exceptions, silence on bad
// frames, fault injection, the request record, working and stored copies, commands and address change.
// Every exchange goes over the simulator's real pseudo-terminal with hand-written frames.

#include "lineclient.h"
#include "simulator.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Probe sent after a request that must stay unanswered: the instrument at 2 (VXB) reports its status.
const QByteArray ProbeRequest = mbFrame("0207");
const QByteArray ProbeReply = mbFrame("020704");

} // namespace

class TestSimProtocol : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<LineClient> line;
    SimInstrument* vxa = nullptr; // address 1
    SimInstrument* vxb = nullptr; // address 2

    // Sends `request`, then the probe; true when nothing but the probe's reply came back.
    bool unanswered(const QByteArray& request) {
        line->clear();
        line->send(request);
        QSignalSpy got(sim.get(), &Simulator::requestReceived);
        if (!got.wait(3000))
            return false;
        line->send(ProbeRequest);
        if (!line->waitEndsWith(ProbeReply))
            return false;
        return line->received == ProbeReply;
    }

private slots:
    void init() {
        sim = std::make_unique<Simulator>();
        QVERIFY2(sim->open(), qPrintable(sim->errorString()));
        vxa = sim->addInstrument(1, SimInstrument::VXA);
        vxb = sim->addInstrument(2, SimInstrument::VXB);
        sim->addInstrument(26, SimInstrument::VXA);
        QVERIFY(vxa && vxb);
        vxa->setWeight(-120, 300);
        vxa->setSignal(-1234);
        vxa->setInternalPoints(0x001FFB70);
        vxa->setInputs(2);
        vxa->setRelays(1);
        vxa->setPeak(77);
        line = std::make_unique<LineClient>();
        QVERIFY(line->open(sim->devicePath()));
    }

    void cleanup() {
        line.reset();
        sim.reset();
    }

    void replies_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");

        // Known frames of the utility.
        QTest::newRow("03 division code")
            << QByteArray(":0103105000019B\r\n") << QByteArray(":0103020009F1\r\n");
        QTest::newRow("07 status") << QByteArray(":0107F8\r\n") << QByteArray(":01070DEB\r\n");
        QTest::newRow("04 weight at 26") << QByteArray(":1A0400000001E1\r\n") << mbFrame("1A04020000");
        // Lower-case requests are taken; replies stay upper case.
        QTest::newRow("lower-case request")
            << QByteArray(":0103105000019b\r\n") << QByteArray(":0103020009F1\r\n");
        QTest::newRow("lower-case address") << QByteArray(":1a0400000001e1\r\n") << mbFrame("1A04020000");

        QTest::newRow("04 five inputs") << mbFrame("010400000005") << mbFrame("01040A0078012C001FFB7004D2");
        QTest::newRow("04 version") << mbFrame("010400050001") << mbFrame("0104020020");
        QTest::newRow("03 weight constants") << mbFrame("010310000007")
                                             << mbFrame("01030E000027104E20000027100000"
                                                        "0000");
        QTest::newRow("03 set-points") << mbFrame("010301100002") << mbFrame("01030403E807D0");
        QTest::newRow("03 peak") << mbFrame("010302000001") << mbFrame("010302004D");
        QTest::newRow("03 operating mode") << mbFrame("010310100001") << mbFrame("0103020000");
        QTest::newRow("03 weighing parameters VXB")
            << mbFrame("020311000005") << mbFrame("02030A00050002000000020064");
        QTest::newRow("03 serial VXA") << mbFrame("010330000008")
                                       << mbFrame("0103100001000500010000000600000001"
                                                  "0000");
        QTest::newRow("03 serial address VXB") << mbFrame("020330020001") << mbFrame("0203020002");
        QTest::newRow("03 relay outputs")
            << mbFrame("010320000008") << mbFrame("01031000000002000000000000000200000000");
        QTest::newRow("03 analog") << mbFrame("010340000006")
                                   << mbFrame("01030C27100000000119"
                                              "00E1000000");
        QTest::newRow("01 coils") << mbFrame("010100000002") << mbFrame("01010101");
        QTest::newRow("01 second coil") << mbFrame("010100010001") << mbFrame("01010100");
        QTest::newRow("02 inputs") << mbFrame("010200000002") << mbFrame("01020102");
        QTest::newRow("06 echo") << mbFrame("010610500007") << mbFrame("010610500007");
        QTest::newRow("06 command echo") << mbFrame("010608000020") << mbFrame("010608000020");
        QTest::newRow("10 block") << mbFrame("0110110000050A00070001000300010032") << mbFrame("011011000005");
        QTest::newRow("10 reset with code") << mbFrame("01100800000204"
                                                       "00189F0E")
                                            << mbFrame("011008000002");
        QTest::newRow("0F coils") << mbFrame("010F000000020103") << mbFrame("010F00000002");

        // Exceptions: registers the model does not have, reads over a block end, bad values.
        QTest::newRow("VXB 0x1010") << mbFrame("020310100001") << mbFrame("028302");
        QTest::newRow("VXB 0x2000") << mbFrame("020320000008") << mbFrame("028302");
        QTest::newRow("VXB 0x4000") << mbFrame("020340000006") << mbFrame("028302");
        QTest::newRow("VXB write 0x4003") << mbFrame("020640030010") << mbFrame("028602");
        QTest::newRow("VXB write 0x2000 block, confirmed and ignored") << mbFrame("02102000000102"
                                                                                  "0000")
                                                                       << mbFrame("021020000001");
        QTest::newRow("VXB write 0x1010, confirmed and ignored")
            << mbFrame("020610100002") << mbFrame("020610100002");
        QTest::newRow("VXB write 0x4000 block, confirmed and ignored")
            << mbFrame("0210400000020400010002") << mbFrame("021040000002");
        QTest::newRow("VXB write 0x2001 alone") << mbFrame("020620010002") << mbFrame("028602");
        QTest::newRow("unknown register") << mbFrame("010300000001") << mbFrame("018302");
        QTest::newRow("read over block end") << mbFrame("010310000008") << mbFrame("018302");
        QTest::newRow("block write over end") << mbFrame("011011040002040001"
                                                         "0002")
                                              << mbFrame("019002");
        QTest::newRow("peak is read only") << mbFrame("010602000005") << mbFrame("018602");
        QTest::newRow("input past 5") << mbFrame("010400000007") << mbFrame("018402");
        QTest::newRow("coils past 2") << mbFrame("010100000003") << mbFrame("018102");
        QTest::newRow("read of no register") << mbFrame("010310500000") << mbFrame("018303");
        QTest::newRow("illegal function 05") << mbFrame("01050000FF00") << mbFrame("018501");
        QTest::newRow("illegal function 2B") << mbFrame("012B0E0100") << mbFrame("01AB01");
        QTest::newRow("illegal mode") << mbFrame("010608020001") << mbFrame("018603");
        QTest::newRow("byte count not 2 x count") << mbFrame("01101100000203000100") << mbFrame("019003");
        QTest::newRow("address 0") << mbFrame("010630020000") << mbFrame("018603");
        QTest::newRow("address taken") << mbFrame("010630020002") << mbFrame("018603");
    }

    void replies() {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QCOMPARE(line->exchange(request), reply);
        QCOMPARE(line->received, reply); // nothing more than the one frame
    }

    void unansweredRequests_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("bad LRC") << QByteArray(":0103105000019C\r\n");
        QTest::newRow("no instrument at 3") << mbFrame("0307");
        QTest::newRow("broadcast write") << mbFrame("000611000007");
        QTest::newRow("broadcast read") << mbFrame("000310500001");
        QTest::newRow("odd number of digits") << QByteArray(":0103105000019\r\n");
        QTest::newRow("not hex") << QByteArray(":01031050000G9B\r\n");
        QTest::newRow("LF without CR") << QByteArray(":0103105000019B\n");
        QTest::newRow("06 too short") << mbFrame("0106105000");
        QTest::newRow("07 with data") << mbFrame("010700");
        QTest::newRow("10 data shorter than byte count") << mbFrame("0110110000010400"
                                                                    "07");
        QTest::newRow("frame restarted by a colon") << QByteArray(":0103:") + mbFrame("0307");
    }

    void unansweredRequests() {
        QFETCH(QByteArray, request);
        QVERIFY(unanswered(request));
    }

    void broadcastWriteActsOnAll() {
        QVERIFY(unanswered(mbFrame("000611000007")));
        QCOMPARE(vxa->holding(0x1100), quint16(7));
        QCOMPARE(vxb->holding(0x1100), quint16(7));
        QCOMPARE(sim->instrument(26)->holding(0x1100), quint16(7));
    }

    void writesReachTheRegisters() {
        QCOMPARE(line->exchange(mbFrame("0110110000050A00070001000300010032")), mbFrame("011011000005"));
        QCOMPARE(line->exchange(mbFrame("010311000005")), mbFrame("01030A00070001000300010032"));
        QCOMPARE(line->exchange(mbFrame("010610500007")), mbFrame("010610500007"));
        QCOMPARE(vxa->holding(0x1050), quint16(7));
        QCOMPARE(vxa->holding(0x1104), quint16(0x32));
        QVERIFY(vxa->setupActive());
        // A refused block write changes nothing.
        QCOMPARE(line->exchange(mbFrame("01101104000204000900"
                                        "08")),
                 mbFrame("019002"));
        QCOMPARE(vxa->holding(0x1104), quint16(0x32));
    }

    void faults_data() {
        QTest::addColumn<SimFault>("fault");
        QTest::addColumn<QByteArray>("expected"); // everything the line carries for the status request
        QTest::addColumn<int>("minDelayMs");      // the reply must not be complete earlier

        const QByteArray ok = ":01070DEB\r\n";
        SimFault combined;
        combined.lowerCase = true;
        combined.wrongLrc = true;
        combined.noise = "xx";
        QTest::newRow("none") << SimFault{} << ok << 0;
        QTest::newRow("wrong LRC") << SimFault::badLrc() << QByteArray(":01070DEC\r\n") << 0;
        QTest::newRow("lower case") << SimFault::lower() << QByteArray(":01070deb\r\n") << 0;
        QTest::newRow("lower-case LRC") << SimFault::lowerLrc() << QByteArray(":01070Deb\r\n") << 0;
        QTest::newRow("echo of the request") << SimFault::echo() << QByteArray(":0107F8\r\n") << 0;
        QTest::newRow("noise LF") << SimFault::withNoise("\n") << "\n" + ok << 0;
        QTest::newRow("noise xx") << SimFault::withNoise("xx") << "xx" + ok << 0;
        QTest::newRow("exception") << SimFault::exception(4) << mbFrame("018704") << 0;
        QTest::newRow("CR in data") << SimFault::crInside() << QByteArray(":0107\r0DEB\r\n") << 0;
        QTest::newRow("cut after 5") << SimFault::cut(5) << QByteArray(":0107") << 0;
        QTest::newRow("cut to nothing") << SimFault::cut(0) << QByteArray() << 0;
        QTest::newRow("late 300 ms") << SimFault::late(300) << ok << 300;
        QTest::newRow("split in 3, 60 ms") << SimFault::split(3, 60) << ok << 120;
        QTest::newRow("lower, wrong LRC, noise") << combined << QByteArray("xx:01070dec\r\n") << 0;
    }

    void faults() {
        QFETCH(SimFault, fault);
        QFETCH(QByteArray, expected);
        QFETCH(int, minDelayMs);

        sim->setFault(1, fault);
        QSignalSpy written(sim.get(), &Simulator::replyWritten);
        line->clear();
        const qint64 sentAt = line->elapsedMs();
        line->send(mbFrame("0107"));
        QVERIFY(written.wait(3000));
        QVERIFY(line->elapsedMs() - sentAt >= minDelayMs);
        QCOMPARE(written.at(0).at(0).toInt(), 1);
        QCOMPARE(written.at(0).at(1).toByteArray(), expected);
        line->send(ProbeRequest);
        QVERIFY(line->waitEndsWith(ProbeReply));
        QCOMPARE(line->received, expected + ProbeReply);
        if (fault.splitPieces >= 2) {
            // The pieces arrived one by one (the last one may share a read with the probe's reply).
            QVERIFY(line->chunks.size() >= 3);
            QCOMPARE(line->chunks.at(0), expected.left(3));
            QCOMPARE(line->chunks.at(1), expected.mid(3, 4));
        }
    }

    void exceptionFaultDoesNotAct() {
        sim->setFault(1, SimFault::exception(6));
        QCOMPARE(line->exchange(mbFrame("010611000009")), mbFrame("018606"));
        QCOMPARE(vxa->holding(0x1100), quint16(5));
    }

    void echoDoesNotAct() {
        sim->setFault(1, SimFault::echo());
        QCOMPARE(line->exchange(mbFrame("010611000009")), mbFrame("010611000009"));
        QCOMPARE(vxa->holding(0x1100), quint16(5));
    }

    void cutReplyStillActs() {
        sim->setFault(1, SimFault::cut(0));
        QVERIFY(unanswered(mbFrame("010611000009")));
        QCOMPARE(vxa->holding(0x1100), quint16(9));
    }

    void silentInstrumentNeitherAnswersNorActs() {
        sim->setFault(1, SimFault::mute());
        QVERIFY(unanswered(mbFrame("010611000009")));
        QCOMPARE(vxa->holding(0x1100), quint16(5));
        QCOMPARE(sim->requestsTo(1).size(), 1);
        sim->setFault(1, SimFault::none());
        QCOMPARE(line->exchange(mbFrame("0107")), mbFrame("01070D"));
    }

    void silentLine() {
        sim->setLineSilent(true);
        line->send(mbFrame("0107"));
        line->send(mbFrame("0207"));
        QSignalSpy got(sim.get(), &Simulator::requestReceived);
        QTRY_COMPARE_WITH_TIMEOUT(sim->requestCount(), qint64(2), 3000);
        sim->setLineSilent(false);
        line->send(ProbeRequest);
        QVERIFY(line->waitEndsWith(ProbeReply));
        QCOMPARE(line->received, ProbeReply);
    }

    void requestRecord() {
        QSignalSpy got(sim.get(), &Simulator::requestReceived);
        const qint64 before = Simulator::nowNs();
        QVERIFY(!line->exchange(mbFrame("0107")).isEmpty());
        line->send("xx" + QByteArray(":0103105000019C\r\n"));
        QVERIFY(!line->exchange(":1a0400000001e1\r\n").isEmpty());
        const qint64 after = Simulator::nowNs();
        QCOMPARE(got.size(), 3);
        QCOMPARE(got.at(1).at(0).toInt(), 1);
        QCOMPARE(got.at(1).at(1).toByteArray(), QByteArray(":0103105000019C\r\n"));

        const QList<SimRequest> record = sim->requests();
        QCOMPARE(record.size(), 3);
        QCOMPARE(record[0].frame, mbFrame("0107"));
        QCOMPARE(record[0].address, 1);
        QCOMPARE(record[0].function, 7);
        QVERIFY(record[0].valid);
        QCOMPARE(record[1].frame, QByteArray(":0103105000019C\r\n")); // noise in front is not part of it
        QVERIFY(!record[1].valid);
        QCOMPARE(record[1].function, 3);
        QCOMPARE(record[2].address, 26);
        QCOMPARE(record[2].frame, QByteArray(":1a0400000001e1\r\n"));
        QVERIFY(record[0].timeNs >= before);
        QVERIFY(record[0].timeNs <= record[1].timeNs && record[1].timeNs <= record[2].timeNs);
        QVERIFY(record[2].timeNs <= after);
        QCOMPARE(sim->requestsTo(26).size(), 1);
        QCOMPARE(sim->frames().at(2), record[2].frame);

        sim->clearRequests();
        QVERIFY(sim->requests().isEmpty());
        QCOMPARE(sim->requestCount(), qint64(3));
        sim->setRecordLimit(2);
        for (int i = 0; i < 3; ++i)
            QVERIFY(!line->exchange(mbFrame("0207")).isEmpty());
        QCOMPARE(sim->requests().size(), 2);
        QCOMPARE(sim->requestCount(), qint64(6));
    }

    // 0x0020 keeps the working values, 0x0021 goes back to the stored ones after a silent restart.
    void storeAndDiscard() {
        vxa->setRestartMs(150);
        QCOMPARE(line->exchange(mbFrame("010611000009")), mbFrame("010611000009"));
        QCOMPARE(vxa->holding(0x1100), quint16(9));
        QCOMPARE(vxa->stored(0x1100), quint16(5));

        // Discard: the echo comes, then the instrument is silent for a while and comes back with 5.
        QCOMPARE(line->exchange(mbFrame("010608000021")), mbFrame("010608000021"));
        QCOMPARE(vxa->restartCount(), 1);
        QVERIFY(vxa->restarting());
        QVERIFY(unanswered(mbFrame("0107")));
        QTRY_VERIFY_WITH_TIMEOUT(!vxa->restarting(), 3000);
        QCOMPARE(line->exchange(mbFrame("010311000001")), mbFrame("0103020005"));
        QVERIFY(!vxa->setupActive());

        // Store: the new value survives a restart.
        QCOMPARE(line->exchange(mbFrame("010611000009")), mbFrame("010611000009"));
        QCOMPARE(line->exchange(mbFrame("010608000020")), mbFrame("010608000020"));
        QCOMPARE(vxa->stored(0x1100), quint16(9));
        QCOMPARE(vxa->storeCount(), 1);
        QVERIFY(!vxa->restarting());
        QCOMPARE(line->exchange(mbFrame("010608000021")), mbFrame("010608000021"));
        QTRY_VERIFY_WITH_TIMEOUT(!vxa->restarting(), 3000);
        QCOMPARE(line->exchange(mbFrame("010311000001")), mbFrame("0103020009"));
    }

    void memoryReset_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("40718") << QByteArray("9F0E") << true;
        QTest::newRow("4071") << QByteArray("0FE7") << false;
        QTest::newRow("40719") << QByteArray("9F0F") << false;
    }

    void memoryReset() {
        QFETCH(QByteArray, code);
        QFETCH(bool, accepted);
        vxa->setRestartMs(0);
        QCOMPARE(line->exchange(mbFrame("010611000009")), mbFrame("010611000009"));
        QCOMPARE(line->exchange(mbFrame("010608000020")), mbFrame("010608000020"));
        QCOMPARE(line->exchange(mbFrame("0110080000020400"
                                        "18" +
                                        code)),
                 mbFrame("011008000002"));
        QCOMPARE(vxa->memoryResetCount(), accepted ? 1 : 0);
        QCOMPARE(vxa->refusedResetCount(), accepted ? 0 : 1);
        QCOMPARE(vxa->holding(0x1100), quint16(accepted ? 5 : 9));
        QCOMPARE(vxa->stored(0x1100), quint16(accepted ? 5 : 9));
        QCOMPARE(vxa->holding(0x3002), quint16(1)); // the address is kept
        QCOMPARE(line->exchange(mbFrame("010311000001")), mbFrame(accepted ? "0103020005" : "0103020009"));
    }

    void memoryResetChecksRegister0801() {
        // The instrument checks whatever 0x0801 holds when 0x0018 arrives.
        vxa->setRestartMs(0);
        QCOMPARE(line->exchange(mbFrame("010608010001")), mbFrame("010608010001"));
        QCOMPARE(line->exchange(mbFrame("010608000018")), mbFrame("010608000018"));
        QCOMPARE(vxa->memoryResetCount(), 0);
        QCOMPARE(vxa->refusedResetCount(), 1);
        QCOMPARE(line->exchange(mbFrame("010608019F0E")), mbFrame("010608019F0E"));
        QCOMPARE(line->exchange(mbFrame("010608000018")), mbFrame("010608000018"));
        QCOMPARE(vxa->memoryResetCount(), 1);
    }

    void addressChange() {
        vxa->setRestartMs(0);
        // The echo still comes from address 1; from then on the instrument answers at 5.
        QCOMPARE(line->exchange(mbFrame("010630020005")), mbFrame("010630020005"));
        QTRY_VERIFY_WITH_TIMEOUT(sim->instrument(5) == vxa, 3000);
        QCOMPARE(vxa->address(), 5);
        QVERIFY(!sim->instrument(1));
        QVERIFY(unanswered(mbFrame("0107")));
        QCOMPARE(line->exchange(mbFrame("0507")), mbFrame("05070D"));
        // Discarding the change brings it back to its stored address.
        QCOMPARE(line->exchange(mbFrame("050608000021")), mbFrame("050608000021"));
        QTRY_VERIFY_WITH_TIMEOUT(sim->instrument(1) == vxa, 3000);
        QCOMPARE(line->exchange(mbFrame("0107")), mbFrame("01070D"));
        // Through the serial block and a store it stays.
        QCOMPARE(line->exchange(mbFrame("01103000000408000200050007"
                                        "0000")),
                 mbFrame("011030000004"));
        QTRY_VERIFY_WITH_TIMEOUT(sim->instrument(7) == vxa, 3000);
        QCOMPARE(line->exchange(mbFrame("070608000020")), mbFrame("070608000020"));
        QCOMPARE(vxa->stored(0x3002), quint16(7));
    }

    void calibrationCommands() {
        // Span: sample weight 500 divisions in 0x0801, then 0x0011.
        QCOMPARE(line->exchange(mbFrame("0106080101F4")), mbFrame("0106080101F4"));
        QCOMPARE(line->exchange(mbFrame("010608000011")), mbFrame("010608000011"));
        QCOMPARE(vxa->spanCount(), 1);
        QCOMPARE(line->exchange(mbFrame("010400000002")), mbFrame("01040401F401F4"));
        QCOMPARE(vxa->statusByte() & (SimInstrument::NetNegative | SimInstrument::GrossNegative), 0);
        // Zero.
        QCOMPARE(line->exchange(mbFrame("010608000010")), mbFrame("010608000010"));
        QCOMPARE(vxa->zeroCount(), 1);
        QCOMPARE(line->exchange(mbFrame("010400000002")), mbFrame("01040400000000"));
    }

    void relayTestAndAnalogLevel() {
        // Outside the relay test the coils show the relays; forced states count only in mode 5.
        QCOMPARE(line->exchange(mbFrame("010F000000020102")), mbFrame("010F00000002"));
        QCOMPARE(line->exchange(mbFrame("010100000002")), mbFrame("01010101"));
        QCOMPARE(line->exchange(mbFrame("010608020005")), mbFrame("010608020005"));
        QCOMPARE(line->exchange(mbFrame("010F000000020103")), mbFrame("010F00000002"));
        QCOMPARE(line->exchange(mbFrame("010100000002")), mbFrame("01010103"));
        // Both on, one coil read: the data byte holds that coil alone, in its lowest bit.
        QCOMPARE(line->exchange(mbFrame("010100000001")), mbFrame("01010101"));
        QCOMPARE(line->exchange(mbFrame("010100010001")), mbFrame("01010101"));
        QCOMPARE(vxa->forcedCoils(), quint8(3));
        QCOMPARE(line->exchange(mbFrame("010608020000")), mbFrame("010608020000"));
        QCOMPARE(line->exchange(mbFrame("010100000002")), mbFrame("01010101"));
        QCOMPARE(vxa->forcedCoils(), quint8(0));
        // The same with both relays on outside the test.
        vxa->setRelays(3);
        QCOMPARE(line->exchange(mbFrame("010100000001")), mbFrame("01010101"));
        QCOMPARE(line->exchange(mbFrame("010100010001")), mbFrame("01010101"));
        QCOMPARE(line->exchange(mbFrame("010100000002")), mbFrame("01010103"));
        vxa->setRelays(1);
        // Analog test mode and level.
        QCOMPARE(line->exchange(mbFrame("010608020006")), mbFrame("010608020006"));
        QCOMPARE(line->exchange(mbFrame("01060803FA00")), mbFrame("01060803FA00"));
        QCOMPARE(vxa->mode(), quint16(6));
        QCOMPARE(vxa->analogLevel(), quint16(64000));
        QCOMPARE(line->exchange(mbFrame("010308020002")), mbFrame("0103040006FA00"));
    }

    void statusBits_data() {
        QTest::addColumn<int>("net");
        QTest::addColumn<int>("gross");
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("stable");
        QTest::addColumn<int>("extra");
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("inputs");
        QTest::newRow("all positive, stable")
            << 10 << 20 << 30 << true << 0 << QByteArray("04") << QByteArray("000A0014001FFB80001E");
        QTest::newRow("net negative")
            << -10 << 20 << 30 << false << 0 << QByteArray("01") << QByteArray("000A0014001FFB80001E");
        QTest::newRow("gross negative")
            << 10 << -20 << 30 << false << 0 << QByteArray("02") << QByteArray("000A0014001FFB80001E");
        QTest::newRow("signal negative")
            << 0 << 0 << -1 << true << 0 << QByteArray("0C") << QByteArray("00000000001FFB800001");
        QTest::newRow("underscores") << 0 << 0 << 0 << false << 0x10 << QByteArray("10")
                                     << QByteArray("00000000001FFB800000");
        QTest::newRow("dashes and overload")
            << 0 << 0 << 0 << true << 0x60 << QByteArray("64") << QByteArray("00000000001FFB800000");
        QTest::newRow("magnitude capped")
            << -70000 << 70000 << 0 << true << 0 << QByteArray("05") << QByteArray("FFFFFFFF001FFB800000");
    }

    void statusBits() {
        QFETCH(int, net);
        QFETCH(int, gross);
        QFETCH(int, signal);
        QFETCH(bool, stable);
        QFETCH(int, extra);
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, inputs);
        SimInstrument* i = sim->instrument(26);
        i->setWeight(net, gross);
        i->setSignal(signal);
        i->setStable(stable);
        i->setStatusBits(quint8(extra), true);
        QCOMPARE(line->exchange(mbFrame("1A07")), mbFrame("1A07" + status));
        QCOMPARE(line->exchange(mbFrame("1A0400000005")), mbFrame("1A040A" + inputs));
    }

    void wireTime() {
        sim->setWireTime(true);
        QCOMPARE(sim->charTimeNs(), qint64(520833));
        const QByteArray request = mbFrame("010330000008");
        const QByteArray reply = mbFrame("0103100001000500010000000600000001"
                                         "0000");
        const qint64 wireMs = (request.size() + reply.size()) * 10 * 1000 / 19200; // rounded down
        line->clear();
        const qint64 sentAt = line->elapsedMs();
        QSignalSpy written(sim.get(), &Simulator::replyWritten);
        line->send(request);
        QVERIFY(written.wait(3000)); // runs the event loop, so each chunk is read as it comes
        QVERIFY(line->waitEndsWith(reply));
        QCOMPARE(line->received, reply);
        QVERIFY2(line->elapsedMs() - sentAt >= wireMs,
                 qPrintable(QString::number(line->elapsedMs() - sentAt)));
        QVERIFY(line->chunks.size() >= 2); // paced, not in one burst
        // Each chunk lands no earlier than its characters could have crossed the wire.
        qsizetype chars = request.size();
        for (int i = 0; i < line->chunks.size(); ++i) {
            chars += line->chunks[i].size();
            QVERIFY(line->chunkTimesMs[i] - sentAt >= chars * 10 * 1000 / 19200);
        }
    }
};

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "tst_sim_protocol.moc"
