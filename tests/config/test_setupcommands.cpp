// The setup-mode commands against the simulator: the access code of the memory reset as typed and as
// sent, and the store or restart step of the loop.

#include "configrig.h"

#include "frame.h"
#include "registers.h"

using rig::Frame;
using rig::Rig;

class TestSetupCommands : public QObject {
    Q_OBJECT
private slots:
    // Typed text -> accepted?; an accepted code always goes out as the number 40718 (9F0E).
    void accessCode_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("the code") << "40718" << true;
        QTest::newRow("blanks and letters") << "  40718abc" << true;
        QTest::newRow("design blank first") << " 40718" << true;
        QTest::newRow("trailing blank") << "40718 " << true;
        QTest::newRow("leading zero") << "040718" << true;
        // The raw text would send 407180: only the number goes out.
        QTest::newRow("decimal point") << "40718.0" << true;
        QTest::newRow("exponent") << "4.0718e4" << true;
        QTest::newRow("last digit missing") << "4071" << false;
        QTest::newRow("a blank inside") << "4071 8" << false;
        QTest::newRow("one more") << "40719" << false;
        QTest::newRow("negative") << "-40718" << false;
        QTest::newRow("letters first") << "abc40718" << false;
        QTest::newRow("design text") << "     0" << false;
        QTest::newRow("empty") << "" << false;
    }
    void accessCode() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        Rig r;
        QVERIFY(r.Open());
        QCOMPARE(SetupCommands::AcceptAccessCode(r.m, typed), accepted);
        QCOMPARE(r.m.ResetCodeText, typed);
        QCOMPARE(r.m.MemoryResetRequest, uint8_t(accepted ? 1 : 0));

        r.commands->QueueMemoryReset();
        QCOMPARE(r.m.MemoryResetRequest, uint8_t(0));
        if (!accepted) {
            QVERIFY(r.m.PendingWriteA.isEmpty());
            QVERIFY(!r.m.WritePending);
            QCOMPARE(r.m.ResetInProgress, uint8_t(0));
            return;
        }
        const QByteArray frame = Frame("01 10 0800 0002 04 0018 9F0E");
        QCOMPARE(r.m.PendingWriteA, frame);
        QVERIFY(r.m.WritePending);
        QCOMPARE(r.m.ResetInProgress, uint8_t(1));
        QVERIFY(r.Pass());
        QCOMPARE(r.Wire(), QList<QByteArray>{frame});
        QCOMPARE(r.inst->memoryResetCount(), 1);
        // Echo "100800": done.
        QVERIFY(!r.m.WritePending);
        QVERIFY(r.m.PendingWriteA.isEmpty());
    }

    void queueSaveOrRestart_data() {
        QTest::addColumn<int>("request");
        QTest::addColumn<bool>("pending");
        QTest::addColumn<QByteArray>("slotA");
        QTest::addColumn<int>("resetInProgress");
        QTest::newRow("none") << 0 << false << QByteArray() << 0;
        QTest::newRow("restart") << 1 << true << Frame("01 06 0800 0021") << 1;
        QTest::newRow("restart, queue idle") << 1 << false << Frame("01 06 0800 0021") << 1;
        QTest::newRow("store") << 2 << true << Frame("01 06 0800 0020") << 0;
    }
    void queueSaveOrRestart() {
        QFETCH(int, request);
        QFETCH(bool, pending);
        QFETCH(QByteArray, slotA);
        QFETCH(int, resetInProgress);
        Rig r;
        r.m.RestartRequest = uint8_t(request);
        r.m.WritePending = pending;
        QCOMPARE(r.commands->QueueSaveOrRestart(), request != 0);
        QCOMPARE(r.m.PendingWriteA, slotA);
        QCOMPARE(r.m.RestartRequest, uint8_t(0));
        QCOMPARE(int(r.m.ResetInProgress), resetInProgress);
        QCOMPARE(r.m.WritePending, pending); // left as it was
    }
};

QTEST_GUILESS_MAIN(TestSetupCommands)
#include "test_setupcommands.moc"
