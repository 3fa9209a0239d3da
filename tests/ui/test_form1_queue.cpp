// The write queue of the main setup screen as the user meets it: a group written while another
// group's block is on the wire reaches the instrument too.

#include "mainrig.h"

#include <QAbstractButton>
#include <QPushButton>

class TestForm1Queue : public QObject {
    Q_OBJECT
private slots:
    // The serial group goes out in slot B; while its block is on the wire the user edits and sends the
    // weight parameters (slot A). Both groups reach the instrument and both markers clear.
    void groupSentWhileAnotherIsOnTheWire() {
        MainRig rig;
        Form1& f = *rig.form;
        const int weightTab = Group(GroupId::WeightParameters).tab;
        const int serialTab = Group(GroupId::Serial).tab;
        rig.Run();
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        rig.ChooseTab(weightTab);
        QTRY_COMPARE_WITH_TIMEOUT(rig.m.TabRead[weightTab + 1], uint8_t(1), 10000);
        rig.ChooseTab(serialTab);
        QTRY_COMPARE_WITH_TIMEOUT(rig.m.TabRead[serialTab + 1], uint8_t(1), 10000);

        auto* serialMarker = rig.Get("Shape4");
        auto* weightMarker = rig.Get("Shape10");
        auto* sendWeight = rig.Get<QAbstractButton>("Command13");
        rig.Type(Field::RiRis, "7");
        QVERIFY(!serialMarker->isHidden());

        bool clicked = false;
        QObject context;
        connect(&rig.sim, &Simulator::requestReceived, &context, [&](int, const QByteArray& frame) {
            if (clicked || !frame.startsWith(":01103000")) {
                return;
            }
            clicked = true;
            // The serial block is on the wire: the user goes to the weight parameters and sends them.
            rig.ChooseTab(weightTab);
            rig.Type(Field::Filtro, "8");
            QTest::mouseClick(sendWeight, Qt::LeftButton);
        });
        QTest::mouseClick(rig.Get<QAbstractButton>("Command15"), Qt::LeftButton);

        QTRY_VERIFY_WITH_TIMEOUT(clicked, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(serialMarker->isHidden() && weightMarker->isHidden(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.instrument->holding(0x1100), quint16(8), 10000);
        QCOMPARE(rig.instrument->holding(0x3003), quint16(7));
        QVERIFY(!sendWeight->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.m.WritePending, 10000);
        QVERIFY(rig.m.PendingWriteA.isEmpty() && rig.m.PendingWriteB.isEmpty());
        const auto writes = [&rig](const char* start) {
            int n = 0;
            for (const QByteArray& frame : rig.sim.frames()) {
                n += frame.startsWith(start) ? 1 : 0;
            }
            return n;
        };
        QCOMPARE(writes(":01101100"), 1);
        QCOMPARE(writes(":01103000"), 1);
    }
};

QTEST_MAIN(TestForm1Queue)
#include "test_form1_queue.moc"
