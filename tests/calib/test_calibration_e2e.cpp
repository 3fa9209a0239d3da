// The calibration tab, the analog trimming tab and the output test tab of the main setup screen,
// driven with the user's clicks and keys against a simulated instrument over a pseudo-terminal. What
// counts is what reaches the line (the simulator's record, with the pass of the screen's loop in which
// each request arrived) and what the instrument then holds.

#include "../config/configrig.h"
#include "../ui/mainrig.h"
#include "../ui/uitestsupport.h"

#include "calibration.h"
#include "frame.h"
#include "registers.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

using rig::Frame;

constexpr int WaitMs = 20000;
// Registers of the simulated instrument.
constexpr quint16 CapacityHigh = 0x1000;
constexpr quint16 CapacityLow = 0x1001;
constexpr quint16 Sensitivity = 0x1002;
constexpr quint16 DeadLoadLow = 0x1006;
constexpr quint16 NetLow = 0x1004;

// Lets every event posted until now run (deferred selections and focus returns).
bool Settle() {
    QObject context;
    bool done = false;
    QTimer::singleShot(0, &context, [&done] { done = true; });
    return uitest::WaitUntil([&done] { return done; }, 2000);
}

// Every request the simulator receives, with the pass of the screen's loop it arrived in.
class Wire : public QObject {
public:
    struct Request {
        QByteArray frame;
        quint64 pass;
    };
    explicit Wire(MainRig& rig) {
        connect(&rig.sim, &Simulator::requestReceived, this, [this, &rig](int, const QByteArray& frame) {
            seen.append({frame, rig.form->PassCount() + 1});
        });
    }
    QList<Request> seen;

    QList<quint64> PassesOf(const QByteArray& frame) const {
        QList<quint64> passes;
        for (const Request& r : seen) {
            if (r.frame == frame) {
                passes << r.pass;
            }
        }
        return passes;
    }
    QList<quint64> PassesStartingWith(const QByteArray& start) const {
        QList<quint64> passes;
        for (const Request& r : seen) {
            if (r.frame.startsWith(start)) {
                passes << r.pass;
            }
        }
        return passes;
    }
    int IndexOf(const QByteArray& frame) const {
        for (int i = 0; i < seen.size(); ++i) {
            if (seen[i].frame == frame) {
                return i;
            }
        }
        return -1;
    }
    // The writes only (functions 06, 0F and 10), in order.
    QList<QByteArray> Writes() const {
        QList<QByteArray> writes;
        for (const Request& r : seen) {
            const QByteArray function = r.frame.mid(3, 2);
            if (function == "06" || function == "0F" || function == "10") {
                writes << r.frame;
            }
        }
        return writes;
    }
};

bool Click(MainRig& rig, const char* name) {
    auto* button = rig.Get<QAbstractButton>(name);
    if (!button || !button->isVisible() || !button->isEnabled()) {
        qWarning("%s cannot be clicked", name);
        return false;
    }
    if (qobject_cast<QRadioButton*>(button)) {
        // On the indicator: a radio button takes clicks on its indicator and its text only.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    } else {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    return true;
}

bool WaitPasses(MainRig& rig, int count) {
    const quint64 target = rig.form->PassCount() + quint64(count);
    return uitest::WaitUntil([&] { return rig.form->PassCount() >= target; }, WaitMs);
}

// Setup mode on, tab 0 read.
bool EnterSetup(MainRig& rig) {
    if (!Click(rig, "Command1")) {
        return false;
    }
    return uitest::WaitUntil([&] { return rig.m.TabRead[1] == 1; }, WaitMs);
}

// Nothing queued any more, and a whole pass ran since.
bool QueueSettled(MainRig& rig) {
    if (!uitest::WaitUntil([&] { return rig.m.PendingWriteA.isEmpty() && rig.m.PendingWriteB.isEmpty(); },
                           WaitMs)) {
        return false;
    }
    return WaitPasses(rig, 2);
}

QByteArray ModeRequest(int mode) {
    return Frame("01 06 0802 " + QByteArray::number(mode, 16).rightJustified(4, '0'));
}
QByteArray Single(const char* reg, unsigned value) {
    return Frame(QByteArray("01 06 ") + reg + " " +
                 QByteArray::number(value, 16).toUpper().rightJustified(4, '0'));
}
QByteArray Relays(int dataByte) {
    return Frame("01 0F 0000 0002 01 " + QByteArray::number(dataByte).rightJustified(2, '0'));
}
const QByteArray ZeroRequest = Frame("01 06 0800 0010");
const QByteArray SpanRequest = Frame("01 06 0800 0011");
const QByteArray NormalMode = Frame("01 06 0802 0000");

} // namespace

class TestCalibrationE2e : public QObject {
    Q_OBJECT
private slots:
    // --- Zero setting and the datasheet question ---------------------------------------------------
    void zeroSetting_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("divisionCode");
        QTest::addColumn<int>("gross");        // divisions
        QTest::addColumn<int>("sensitivity");  // register value
        QTest::addColumn<bool>("silentLine");  // the weight shows the link error
        QTest::addColumn<QString>("answer");   // "OK", "NO", "Esc", or empty: no question expected
        QTest::addColumn<QString>("teotara");  // afterwards
        QTest::addColumn<QString>("teonet");   // afterwards
        QTest::addColumn<QList<int>>("zeros"); // passes of the zero requests, counted from the click
        QTest::addColumn<bool>("constants");   // the weight constants go out in the pass of the question
        QTest::addColumn<int>("lateMs");       // every reply this late: the click lands while one waits

        // The instrument holds capacity 10000, net 10000 and a dead load of 100.
        QTest::newRow("12, OK") << 1 << 0 << 9 << 12 << 20000 << false << "OK"
                                << "112"
                                << "9888" << QList<int>{9} << true << 0;
        QTest::newRow("12, OK, English") << 1 << 1 << 9 << 12 << 20000 << false << "OK"
                                         << "112"
                                         << "9888" << QList<int>{9} << true << 0;
        QTest::newRow("12, NO") << 1 << 0 << 9 << 12 << 20000 << false << "NO"
                                << "    100"
                                << "  10000" << QList<int>{0} << false << 0;
        // Esc answers NO: the zero alone, the constants untouched.
        QTest::newRow("12, Esc") << 1 << 1 << 9 << 12 << 20000 << false << "Esc"
                                 << "    100"
                                 << "  10000" << QList<int>{0} << false << 0;
        QTest::newRow("model 2, 12, Esc") << 2 << 0 << 9 << 12 << 20000 << false << "Esc"
                                          << "    100"
                                          << "  10000" << QList<int>{0} << false << 0;
        QTest::newRow("0: no question") << 1 << 0 << 9 << 0 << 20000 << false << ""
                                        << "    100"
                                        << "  10000" << QList<int>{0} << false << 0;
        QTest::newRow("ERROR: no question") << 1 << 1 << 9 << 12 << 20000 << true << ""
                                            << "    100"
                                            << "  10000" << QList<int>{0} << false << 0;
        QTest::newRow("-150 on 100: no question") << 1 << 0 << 9 << -150 << 20000 << false << ""
                                                  << "    100"
                                                  << "  10000" << QList<int>{0} << false << 0;
        QTest::newRow("-50 on 100, OK") << 1 << 0 << 9 << -50 << 20000 << false << "OK"
                                        << "50"
                                        << "9950" << QList<int>{9} << true << 0;
        QTest::newRow("12.5 carried as 12") << 1 << 0 << 6 << 125 << 20000 << false << "OK"
                                            << "112"
                                            << "9888" << QList<int>{9} << true << 0;
        QTest::newRow("13.5 carried as 14") << 1 << 0 << 6 << 135 << 20000 << false << "OK"
                                            << "114"
                                            << "9886" << QList<int>{9} << true << 0;
        // Sensitivity 0.5000 mV/V: the constants are refused, the zero request goes out at once and once
        // more at the end of the countdown.
        QTest::newRow("OK, constants refused") << 1 << 0 << 9 << 12 << 5000 << false << "OK"
                                               << "112"
                                               << "9888" << QList<int>{0, 9} << false << 0;
        QTest::newRow("model 2, 12, OK") << 2 << 0 << 9 << 12 << 20000 << false << "OK"
                                         << "112"
                                         << "9888" << QList<int>{9} << true << 0;
        QTest::newRow("model 2, 12, NO") << 2 << 0 << 9 << 12 << 20000 << false << "NO"
                                         << "    100"
                                         << "  10000" << QList<int>{0} << false << 0;
        QTest::newRow("12, OK, clicked while a read waits") << 1 << 0 << 9 << 12 << 20000 << false << "OK"
                                                            << "112"
                                                            << "9888" << QList<int>{9} << true << 30;
        QTest::newRow("12, NO, clicked while a read waits") << 1 << 0 << 9 << 12 << 20000 << false << "NO"
                                                            << "    100"
                                                            << "  10000" << QList<int>{0} << false << 30;
    }
    void zeroSetting() {
        QFETCH(int, model);
        QFETCH(int, language);
        QFETCH(int, divisionCode);
        QFETCH(int, gross);
        QFETCH(int, sensitivity);
        QFETCH(bool, silentLine);
        QFETCH(QString, answer);
        QFETCH(QString, teotara);
        QFETCH(QString, teonet);
        QFETCH(QList<int>, zeros);
        QFETCH(bool, constants);
        QFETCH(int, lateMs);

        MainRig rig(model, language);
        SimInstrument& inst = *rig.instrument;
        inst.setHolding(Reg::DivisionCode, quint16(divisionCode));
        inst.setHolding(DeadLoadLow, 100);
        inst.setHolding(Sensitivity, quint16(sensitivity));
        inst.setGross(gross);
        rig.Run();
        QVERIFY(EnterSetup(rig));
        rig.ChooseTab(1);
        const QString shown = DecodeValue(QString::number(gross), divisionCode == 6 ? 1 : 0);
        WAIT_COMPARE(rig.form->Peso->text(), shown, WaitMs);
        QCOMPARE(rig.Edit(Field::Teotara)->text(), QStringLiteral("    100"));
        if (silentLine) {
            rig.sim.setLineSilent(true);
            WAIT_VERIFY(rig.form->Peso->text().contains("ERROR"), WaitMs);
        }

        quint64 questionPass = 0;
        QString dialogText;
        rig.prompter.onPrompt = [&](const ScriptedPrompter::Record&) {
            questionPass = rig.form->PassCount() + 1;
        };
        if (!answer.isEmpty()) {
            rig.prompter.QueueDialogScript([&](QDialog& dialog) {
                dialogText = dialog.findChild<QLabel*>("Label1")->text();
                if (answer == "Esc") {
                    dialog.show();
                    QTest::keyClick(&dialog, Qt::Key_Escape);
                    QVERIFY(!dialog.isVisible());
                    return;
                }
                ScriptedPrompter::Click({answer == "OK" ? "OKButton" : "CancelButton"})(dialog);
            });
        }
        Wire wire(rig);
        bool refusedShown = false; // the error label of the weight constants, after any pass
        connect(rig.form.get(), &Form1::PassCompleted, &wire, [&] {
            refusedShown = refusedShown || rig.form->Marks().ErrorShown(GroupId::WeightConstants);
        });
        if (lateMs > 0) {
            rig.sim.setFault(1, SimFault::late(lateMs));
            QVERIFY(uitest::WaitUntil([&] { return rig.form->MSComm1->Busy(); }, WaitMs));
        }
        const quint64 clickPass = rig.form->PassCount() + 1;
        QVERIFY(Click(rig, "Command2"));
        rig.sim.setLineSilent(false);
        rig.sim.clearFaults(); // the reply on its way still comes late
        QVERIFY(uitest::WaitUntil([&] { return rig.form->PassCount() >= clickPass + 12; }, WaitMs));

        if (answer.isEmpty()) {
            QCOMPARE(rig.prompter.DialogCount(), 0);
        } else {
            QCOMPARE(rig.prompter.DialogCount(), 1);
            const ScriptedPrompter::Record& r = rig.prompter.records.first();
            QCOMPARE(r.objectName, QStringLiteral("modteor"));
            QCOMPARE(r.title,
                     language == 1 ? QStringLiteral("Attention !!") : QStringLiteral("Attenzione !!"));
            QCOMPARE(dialogText, language == 1 ? QStringLiteral("Datasheet calibration will be modified!")
                                               : QStringLiteral("Vuoi modificare la taratura teorica?"));
            QCOMPARE(questionPass, clickPass); // asked in the pass of the click, between two exchanges
        }
        QList<quint64> expectedZeros;
        for (int offset : zeros) {
            expectedZeros << clickPass + quint64(offset);
        }
        QCOMPARE(wire.PassesOf(ZeroRequest), expectedZeros);
        QCOMPARE(inst.zeroCount(), int(zeros.size()));
        const QList<quint64> constantPasses = wire.PassesStartingWith(":01101000");
        QCOMPARE(constantPasses, constants ? QList<quint64>{clickPass} : QList<quint64>{});
        if (constants) {
            QCOMPARE(inst.holding(DeadLoadLow), quint16(teotara.toUInt()));
            QCOMPARE(inst.holding(NetLow), quint16(teonet.toUInt()));
        }
        QCOMPARE(refusedShown, answer == "OK" && !constants);
        // The edited constants stay on the screen until tab 0 is read again.
        QCOMPARE(rig.Edit(Field::Teotara)->text(), teotara);
        QCOMPARE(rig.Edit(Field::Teonet)->text(), teonet);
        QCOMPARE(rig.m.DatasheetAnswer, uint8_t(0));
        // The instrument took its zero.
        WAIT_COMPARE(rig.form->Peso->text().trimmed(),
                     divisionCode == 6 ? QStringLiteral("0.0") : QStringLiteral("0"), WaitMs);
    }

    // --- Full-scale setting ----------------------------------------------------------------------------
    void spanSetting_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("divisionCode");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("sample");
        QTest::addColumn<int>("lateMs");      // every reply this late: the click lands while one waits
        QTest::addColumn<bool>("lostEchoes"); // the sample weight is never confirmed
        QTest::addColumn<QString>("shown");   // the weight afterwards
        QTest::newRow("500") << 1 << 9 << "500" << Single("0801", 500) << 0 << false << "    500";
        QTest::newRow("12.5 at step 0.5")
            << 1 << 8 << "12.5" << Single("0801", 25) << 0 << false << "   12.5";
        QTest::newRow("clicked while a read waits")
            << 1 << 9 << "500" << Single("0801", 500) << 30 << false << "    500";
        QTest::newRow("sample weight never confirmed")
            << 1 << 9 << "500" << Single("0801", 500) << 0 << true << "      0";
        QTest::newRow("model 2, 500") << 2 << 9 << "500" << Single("0801", 500) << 0 << false << "    500";
    }
    void spanSetting() {
        QFETCH(int, model);
        QFETCH(int, divisionCode);
        QFETCH(QString, typed);
        QFETCH(QByteArray, sample);
        QFETCH(int, lateMs);
        QFETCH(bool, lostEchoes);
        QFETCH(QString, shown);

        MainRig rig(model);
        SimInstrument& inst = *rig.instrument;
        inst.setHolding(Reg::DivisionCode, quint16(divisionCode));
        rig.Run();
        QVERIFY(EnterSetup(rig));
        rig.ChooseTab(1);
        auto* campione = rig.Get<QLineEdit>("Campione");
        QTest::mouseClick(campione, Qt::LeftButton);
        QVERIFY(Settle());
        QTest::keyClicks(campione, typed);
        QCOMPARE(campione->text(), typed);
        if (lateMs > 0) {
            rig.sim.setFault(1, SimFault::late(lateMs));
            QVERIFY(uitest::WaitUntil([&] { return rig.form->MSComm1->Busy(); }, WaitMs));
        }
        if (lostEchoes) {
            rig.sim.setFault(1, SimFault::cut(0));
        }
        Wire wire(rig);
        QVERIFY(Click(rig, "Command3"));
        if (lostEchoes) {
            QVERIFY(uitest::WaitUntil([&] { return wire.PassesOf(sample).size() >= 6; }, WaitMs));
            rig.sim.clearFaults();
            QVERIFY(QueueSettled(rig));
            QCOMPARE(wire.PassesOf(sample).size(), 6);
            QVERIFY(wire.PassesOf(SpanRequest).isEmpty()); // never without its sample weight
            QCOMPARE(inst.spanCount(), 0);
            return;
        }
        QVERIFY(uitest::WaitUntil([&] { return wire.IndexOf(SpanRequest) >= 0; }, WaitMs));
        rig.sim.clearFaults();
        const int at = wire.IndexOf(sample);
        QVERIFY(at >= 0);
        QCOMPARE(wire.IndexOf(SpanRequest), at + 1);          // right after the sample weight
        QCOMPARE(wire.seen[at + 1].pass, wire.seen[at].pass); // in the same pass
        QCOMPARE(wire.PassesOf(sample).size(), 1);
        QCOMPARE(inst.spanCount(), 1);
        WAIT_COMPARE(rig.form->Peso->text(), shown, WaitMs);
    }

    // A sample weight whose count of divisions does not fit register 0x0801 never leaves: the field
    // keeps the focus and the button queues nothing. Its neighbour that fits goes out.
    void sampleWeightRange_data() {
        QTest::addColumn<int>("divisionCode");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("focusKept");
        QTest::addColumn<int>("count"); // -1: nothing sent
        QTest::newRow("step 1: 65535") << 9 << 500000 << "65535" << false << 65535;
        QTest::newRow("step 1: 65536") << 9 << 500000 << "65536" << true << -1;
        QTest::newRow("step 2: 131070") << 10 << 500000 << "131070" << false << 65535;
        QTest::newRow("step 2: 131071 rounds to 65536") << 10 << 500000 << "131071" << true << -1;
        QTest::newRow("3 decimals: 65.535") << 0 << 10000 << "65.535" << false << 65535;
        QTest::newRow("3 decimals: 70, below Capac") << 0 << 10000 << "70" << true << -1;
        QTest::newRow("at Capac") << 9 << 10000 << "10000" << false << 10000;
        // Above Capac only the field's leave rule refuses it: the button sends what the field holds.
        QTest::newRow("above Capac") << 9 << 10000 << "10001" << true << 10001;
    }
    void sampleWeightRange() {
        QFETCH(int, divisionCode);
        QFETCH(int, capacity);
        QFETCH(QString, typed);
        QFETCH(bool, focusKept);
        QFETCH(int, count);

        MainRig rig;
        SimInstrument& inst = *rig.instrument;
        inst.setHolding(Reg::DivisionCode, quint16(divisionCode));
        inst.setHolding(CapacityHigh, quint16(capacity >> 16));
        inst.setHolding(CapacityLow, quint16(capacity & 0xFFFF));
        rig.Run();
        QVERIFY(EnterSetup(rig));
        QCOMPARE(rig.form->Parameters().number(Field::Capac), double(capacity));
        rig.ChooseTab(1);
        auto* campione = rig.Get<QLineEdit>("Campione");
        QTest::mouseClick(campione, Qt::LeftButton);
        QVERIFY(Settle());
        QTest::keyClicks(campione, typed);
        Wire wire(rig);
        QVERIFY(Click(rig, "Command3"));
        QVERIFY(Settle());
        QCOMPARE(campione->hasFocus(), focusKept);
        if (count < 0) {
            QVERIFY(WaitPasses(rig, 3));
            QVERIFY(wire.Writes().isEmpty());
            QCOMPARE(inst.spanCount(), 0);
        } else {
            QVERIFY(uitest::WaitUntil([&] { return inst.spanCount() == 1; }, WaitMs));
            QCOMPARE(wire.Writes(), (QList<QByteArray>{Single("0801", unsigned(count)), SpanRequest}));
        }
    }

    // --- Capacity lock ---------------------------------------------------------------------------------
    void capacityLock_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("typed"); // over the selection from the second character
        QTest::addColumn<bool>("message");
        QTest::addColumn<bool>("locked");
        QTest::newRow("500000") << 0 << "500000" << true << true;
        QTest::newRow("500000, English") << 1 << "500000" << true << true;
        QTest::newRow("500001 keeps the focus") << 0 << "500001" << false << false;
        QTest::newRow("unchanged: no message, locked") << 0 << "" << false << true;
    }
    void capacityLock() {
        QFETCH(int, language);
        QFETCH(QString, typed);
        QFETCH(bool, message);
        QFETCH(bool, locked);

        MainRig rig(1, language);
        rig.Run();
        QVERIFY(EnterSetup(rig));
        QLineEdit* capac = rig.Edit(Field::Capac);
        QVERIFY(!capac->isEnabled());
        QVERIFY(Click(rig, "Command28"));
        QVERIFY(Settle());
        QVERIFY(capac->isEnabled());
        QVERIFY(capac->hasFocus());
        QVERIFY(!rig.Get("Command28")->isEnabled());
        QCOMPARE(rig.Edit(Field::Teonet)->text(), QStringLiteral("0"));
        QCOMPARE(rig.Edit(Field::Teotara)->text(), QStringLiteral("0"));
        if (!typed.isEmpty()) {
            QTest::keyClicks(capac, typed);
        }
        // While the warning is up the loop holds: no exchange on the wire, none started.
        bool wireQuiet = false;
        rig.prompter.onPrompt = [&](const ScriptedPrompter::Record&) {
            const qsizetype before = rig.sim.frames().size();
            const bool busy = rig.form->MSComm1->Busy();
            wireQuiet = !busy && !QTest::qWaitFor([&] { return rig.sim.frames().size() > before; }, 300);
        };
        QTest::mouseClick(rig.Edit(Field::Sensib), Qt::LeftButton); // the user leaves the field
        QVERIFY(Settle());
        WAIT_COMPARE(!capac->isEnabled(), locked, 2000);
        QCOMPARE(rig.Get("Command28")->isEnabled(), locked);
        QCOMPARE(capac->hasFocus(), !locked);
        QCOMPARE(rig.prompter.MessageCount(), message ? 1 : 0);
        if (message) {
            QVERIFY(wireQuiet);
            const ScriptedPrompter::Record& r = rig.prompter.records.first();
            QCOMPARE(r.icon, MessageIcon::Exclamation);
            QCOMPARE(r.title, language == 1 ? QStringLiteral("Warning !!") : QStringLiteral("Attenzione !!"));
            QCOMPARE(r.text,
                     language == 1
                         ? QStringLiteral("Warning. Other parameters depend on this setting. Be sure they "
                                          "are compatible")
                         : QStringLiteral("Attenzione. Altri parametri dipendono da questa impostazione. "
                                          "Accertarsi della loro compatibilità"));
        }
    }

    // Net capacity and dead load: a sum above Capac holds the field left; on the way back the other
    // field is not checked.
    void netCapacityHeld() {
        MainRig rig;
        rig.Run();
        QVERIFY(EnterSetup(rig)); // capacity 10000, net 10000, dead load 0
        QLineEdit* teonet = rig.Edit(Field::Teonet);
        QLineEdit* teotara = rig.Edit(Field::Teotara);
        QTest::mouseClick(teonet, Qt::LeftButton);
        QVERIFY(Settle());
        QTest::keyClicks(teonet, "9950"); // over the selection from the second character
        QCOMPARE(teonet->text(), QStringLiteral(" 9950"));
        QTest::mouseClick(teotara, Qt::LeftButton);
        QVERIFY(Settle());
        QVERIFY(teotara->hasFocus()); // 9950 + 0 fits
        QTest::keyClicks(teotara, "100");
        QCOMPARE(teotara->text(), QStringLiteral(" 100"));
        // 9950 + 100 > 10000: the dead load keeps the focus; leaving the net capacity on the way back is
        // not checked (it would hold the focus too).
        QTest::mouseClick(teonet, Qt::LeftButton);
        QVERIFY(Settle());
        QVERIFY(Settle());
        QVERIFY(teotara->hasFocus());
        QCOMPARE(rig.form->Calib().Net_Tara, Calibration::TeotaraHeld);
        QCOMPARE(teotara->selectedText(), QStringLiteral("100"));
        QTest::keyClicks(teotara, "50");
        QTest::mouseClick(teonet, Qt::LeftButton);
        QVERIFY(Settle());
        QVERIFY(Settle());
        QVERIFY(teonet->hasFocus());
        QCOMPARE(rig.form->Calib().Net_Tara, Calibration::PairConsistent);
    }

    // --- Tabs 5 and 6 ----------------------------------------------------------------------------------
    void trimmingStep_data() {
        QTest::addColumn<bool>("zeroRow");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::newRow(">> at 63081") << true << 63081 << "Command19" << 64000;
        QTest::newRow(">> at 63080") << true << 63080 << "Command19" << 63100;
        QTest::newRow("<< at 19") << true << 19 << "Command18" << 0;
        QTest::newRow("<< at 20") << true << 20 << "Command18" << 0;
        QTest::newRow("<< at 21") << true << 21 << "Command18" << 1;
        QTest::newRow("< at 0 sends 0 again") << true << 0 << "Command4" << 0;
        QTest::newRow("> at 64000 sends 64000 again") << true << 64000 << "Command5" << 64000;
        QTest::newRow("full scale >> at 63081") << false << 63081 << "Command21" << 64000;
        QTest::newRow("full scale < at 1") << false << 1 << "Command6" << 0;
        QTest::newRow("full scale > at 57600") << false << 57600 << "Command7" << 57601;
        QTest::newRow("full scale << at 21") << false << 21 << "Command20" << 1;
    }
    void trimmingStep() {
        QFETCH(bool, zeroRow);
        QFETCH(int, start);
        QFETCH(QString, button);
        QFETCH(int, result);

        MainRig rig;
        SimInstrument& inst = *rig.instrument;
        const quint16 reg = zeroRow ? Reg::AnalogZeroAdjust : Reg::AnalogFullScaleAdjust;
        inst.setHolding(reg, quint16(start));
        rig.Run();
        QVERIFY(EnterSetup(rig));
        rig.ChooseTab(5);
        QVERIFY(uitest::WaitUntil([&] { return rig.m.TabRead[6] == 1; }, WaitMs));
        QCOMPARE(rig.form->Parameters().text(zeroRow ? Field::OffZero : Field::OffFS),
                 QString::number(start));
        QVERIFY(!rig.Get("Command16")->isEnabled());
        Wire wire(rig);
        QVERIFY(Click(rig, button.toLatin1().constData()));
        QVERIFY(QueueSettled(rig));
        const QByteArray mode = ModeRequest(zeroRow ? 3 : 4);
        const QByteArray value = Single(zeroRow ? "4003" : "4004", unsigned(result));
        QCOMPARE(wire.Writes(), (QList<QByteArray>{mode, value}));
        QCOMPARE(wire.PassesOf(mode), wire.PassesOf(value)); // one pass, the mode first
        QCOMPARE(inst.mode(), quint16(zeroRow ? 3 : 4));
        QCOMPARE(inst.holding(reg), quint16(result));
        QCOMPARE(rig.m.AnalogAdjustMode, uint8_t(zeroRow ? 1 : 2));
        QVERIFY(rig.Get("Shape12")->isVisible());
        QVERIFY(rig.Get("Command16")->isEnabled());
    }

    // What reaches the line, in order, for a sequence of the user's actions on tabs 5 and 6 and the way
    // out of them. Each action is followed by a settled queue.
    void outputScenario_data() {
        QTest::addColumn<QStringList>("actions"); // "tab:N", a control name to click, "setup" (Command1)
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<quint16>("mode");    // the instrument's mode afterwards
        QTest::addColumn<int>("coils");       // forced relay outputs afterwards
        QTest::addColumn<QString>("percent"); // PercAna afterwards (empty: not looked at)

        QTest::newRow("leave tab 5 without a click")
            << QStringList{"tab:5", "tab:4"} << QList<QByteArray>{NormalMode} << quint16(0) << 0 << QString();
        QTest::newRow("trimming: a row twice, the other row, leave")
            << QStringList{"tab:5", "Command5", "Command5", "Command6", "tab:4"}
            << QList<QByteArray>{ModeRequest(3), Single("4003", 6401),  Single("4003", 6402),
                                 ModeRequest(4), Single("4004", 57599), NormalMode}
            << quint16(0) << 0 << QString();
        QTest::newRow("trimming: leave setup")
            << QStringList{"tab:5", "Command19", "setup"}
            << QList<QByteArray>{ModeRequest(3), Single("4003", 6420), NormalMode} << quint16(0) << 0
            << QString();
        QList<QByteArray> tenSteps{ModeRequest(6), Single("0803", 0)};
        QStringList tenClicks{"tab:6", "Command8"};
        for (int p = 10; p <= 100; p += 10) {
            tenSteps << Single("0803", unsigned(p * 640));
            tenClicks << "Command25";
        }
        QTest::newRow("analog test: start, ten >>") << tenClicks << tenSteps << quint16(6) << 0 << "100";
        QTest::newRow("analog test: >, <, <<, end")
            << QStringList{"tab:6",     "Command8",  "Command9", "Command10",
                           "Command10", "Command24", "Command11"}
            << QList<QByteArray>{ModeRequest(6),    Single("0803", 0), Single("0803", 640), Single("0803", 0),
                                 Single("0803", 0), Single("0803", 0), NormalMode}
            << quint16(0) << 0 << QString();
        QTest::newRow("analog test: leave tab 6")
            << QStringList{"tab:6", "Command8", "Command25", "tab:0"}
            << QList<QByteArray>{ModeRequest(6), Single("0803", 0), Single("0803", 6400), NormalMode}
            << quint16(0) << 0 << QString();
        QTest::newRow("relay test: U1on, U2on, end with both on")
            << QStringList{"tab:6", "Command22", "U1on", "U2on", "Command23"}
            << QList<QByteArray>{ModeRequest(5), Relays(1), Relays(3), NormalMode, Relays(0)} << quint16(0)
            << 0 << QString();
        QTest::newRow("relay test: U2on, U2off, end")
            << QStringList{"tab:6", "Command22", "U2on", "U2off", "Command23"}
            << QList<QByteArray>{ModeRequest(5), Relays(2), Relays(0), NormalMode} << quint16(0) << 0
            << QString();
        QTest::newRow("relay test: U1on, leave tab 6")
            << QStringList{"tab:6", "Command22", "U1on", "tab:5"}
            << QList<QByteArray>{ModeRequest(5), Relays(1), NormalMode, Relays(0)} << quint16(0) << 0
            << QString();
        QTest::newRow("relay test: U1on, leave setup")
            << QStringList{"tab:6", "Command22", "U1on", "setup"}
            << QList<QByteArray>{ModeRequest(5), Relays(1), NormalMode, Relays(0)} << quint16(0) << 0
            << QString();
        QTest::newRow("relay test running")
            << QStringList{"tab:6", "Command22", "U1on"} << QList<QByteArray>{ModeRequest(5), Relays(1)}
            << quint16(5) << 1 << QString();
        QTest::newRow("leave tab 6 without a test")
            << QStringList{"tab:6", "tab:0"} << QList<QByteArray>{NormalMode} << quint16(0) << 0 << QString();
    }
    void outputScenario() {
        QFETCH(QStringList, actions);
        QFETCH(QList<QByteArray>, writes);
        QFETCH(quint16, mode);
        QFETCH(int, coils);
        QFETCH(QString, percent);

        MainRig rig;
        SimInstrument& inst = *rig.instrument;
        rig.Run();
        QVERIFY(EnterSetup(rig));
        Wire wire(rig);
        for (const QString& action : actions) {
            if (action.startsWith("tab:")) {
                rig.ChooseTab(action.mid(4).toInt());
                QCOMPARE(rig.form->SSTab1->currentIndex(), action.mid(4).toInt());
                // The tab's block is read before anything is clicked on it.
                const int element = action.mid(4).toInt() + 1;
                if (element != 2 && element != 7) {
                    QVERIFY(uitest::WaitUntil([&] { return rig.m.TabRead[size_t(element)] == 1; }, WaitMs));
                }
            } else if (action == "setup") {
                QVERIFY(Click(rig, "Command1"));
            } else {
                QVERIFY2(Click(rig, action.toLatin1().constData()), qPrintable(action));
            }
            QVERIFY2(QueueSettled(rig), qPrintable(action));
        }
        QCOMPARE(wire.Writes(), writes);
        QCOMPARE(inst.mode(), mode);
        QCOMPARE(int(inst.forcedCoils()), coils);
        if (!percent.isEmpty()) {
            QCOMPARE(rig.Get<QLineEdit>("PercAna")->text(), percent);
            QCOMPARE(inst.analogLevel(), quint16(0xFA00));
        }
    }

    // What the test tab shows and lets the user click, test by test.
    void testPanels_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<QStringList>("enabled");
        QTest::addColumn<QStringList>("disabled");
        const QStringList analogControls{"Label42",  "Label50",   "Label51",   "Label52",   "PercAna",
                                         "Command9", "Command10", "Command11", "Command24", "Command25"};
        const QStringList relayControls{"Frame8", "Frame7", "Label45", "Command23"};
        QTest::newRow("idle") << QStringList{} << QStringList{"Command8", "Command22"}
                              << analogControls + relayControls << QStringList{"Command8", "Command22"}
                              << QStringList{};
        QTest::newRow("analog test") << QStringList{"Command8"} << analogControls
                                     << QStringList{"Command8"} + relayControls << QStringList{"Command11"}
                                     << QStringList{"Command22"};
        QTest::newRow("analog test ended")
            << QStringList{"Command8", "Command11"} << QStringList{"Command8", "Command22"}
            << analogControls + relayControls << QStringList{"Command8", "Command22"} << QStringList{};
        QTest::newRow("relay test") << QStringList{"Command22"}
                                    << QStringList{"Frame8", "Frame7", "Label45", "Command23", "Command8"}
                                    << QStringList{"Command22"} + analogControls << QStringList{"Command23"}
                                    << QStringList{"Command8"};
        QTest::newRow("relay test ended")
            << QStringList{"Command22", "U1on", "Command23"} << QStringList{"Command8", "Command22"}
            << analogControls + relayControls << QStringList{"Command8", "Command22"} << QStringList{};
    }
    void testPanels() {
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        QFETCH(QStringList, enabled);
        QFETCH(QStringList, disabled);
        MainRig rig;
        rig.Run();
        QVERIFY(EnterSetup(rig));
        rig.ChooseTab(6);
        for (const QString& name : clicks) {
            QVERIFY2(Click(rig, name.toLatin1().constData()), qPrintable(name));
        }
        for (const QString& name : shown) {
            QVERIFY2(rig.Get(name.toLatin1().constData())->isVisible(), qPrintable(name));
        }
        for (const QString& name : hidden) {
            QVERIFY2(rig.Get(name.toLatin1().constData())->isHidden(), qPrintable(name));
        }
        for (const QString& name : enabled) {
            QVERIFY2(rig.Get(name.toLatin1().constData())->isEnabled(), qPrintable(name));
        }
        for (const QString& name : disabled) {
            QVERIFY2(!rig.Get(name.toLatin1().constData())->isEnabled(), qPrintable(name));
        }
        QVERIFY(rig.Get<QRadioButton>("U1off")->isChecked());
        QVERIFY(rig.Get<QRadioButton>("U2off")->isChecked());
    }

    // PercAna takes digits only (Backspace is dropped too) and refuses to be left above 100; a typed
    // value is the starting point of the next step button, whose level alone is sent.
    void analogTestTyped_data() {
        QTest::addColumn<QString>("keys"); // typed over the whole text; '\b' is Backspace
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("typedText");
        QTest::addColumn<bool>("focusKept");
        QTest::addColumn<QString>("text"); // after the button
        QTest::addColumn<int>("percent");  // level sent
        QTest::newRow("7, then >") << "7"
                                   << "Command9"
                                   << "7" << false << "  8" << 8;
        QTest::newRow("letters and Backspace dropped") << "x5\b-"
                                                       << "Command9"
                                                       << "5" << false << "  6" << 6;
        QTest::newRow("100, then >") << "100"
                                     << "Command9"
                                     << "100" << false << "100" << 100;
        QTest::newRow("150 held, then <") << "150"
                                          << "Command10"
                                          << "150" << true << "100" << 100;
        QTest::newRow("150 held, then <<") << "150"
                                           << "Command24"
                                           << "150" << true << "100" << 100;
        QTest::newRow("55, then <<") << "55"
                                     << "Command24"
                                     << "55" << false << " 45" << 45;
    }
    void analogTestTyped() {
        QFETCH(QString, keys);
        QFETCH(QString, button);
        QFETCH(QString, typedText);
        QFETCH(bool, focusKept);
        QFETCH(QString, text);
        QFETCH(int, percent);
        MainRig rig;
        SimInstrument& inst = *rig.instrument;
        rig.Run();
        QVERIFY(EnterSetup(rig));
        rig.ChooseTab(6);
        QVERIFY(Click(rig, "Command8"));
        QVERIFY(QueueSettled(rig));
        auto* perc = rig.Get<QLineEdit>("PercAna");
        QTest::mouseClick(perc, Qt::LeftButton);
        QVERIFY(Settle());
        perc->selectAll();
        for (const QChar c : keys) {
            QTest::keyClick(perc, c.toLatin1());
        }
        QCOMPARE(perc->text(), typedText);
        Wire wire(rig);
        QVERIFY(Click(rig, button.toLatin1().constData()));
        QVERIFY(Settle());
        QCOMPARE(perc->hasFocus(), focusKept);
        QCOMPARE(perc->text(), text);
        QVERIFY(QueueSettled(rig));
        QCOMPARE(wire.Writes(), QList<QByteArray>{Single("0803", unsigned(percent * 640))});
        QCOMPARE(inst.analogLevel(), quint16(percent * 640));
    }

    // The second model has no analog output and no set-point outputs: tabs 5 and 6 cannot be chosen.
    void model2HasNoOutputTabs() {
        MainRig rig(2);
        rig.Run();
        QVERIFY(EnterSetup(rig));
        for (int tab : {5, 6}) {
            QVERIFY(!rig.form->SSTab1->isTabEnabled(tab));
            rig.ChooseTab(tab);
            QCOMPARE(rig.form->SSTab1->currentIndex(), 0);
        }
        QVERIFY(WaitPasses(rig, 2));
        QVERIFY(rig.sim.requestsTo(1).size() > 0);
        for (const QByteArray& frame : rig.sim.frames()) {
            QVERIFY2(!frame.startsWith(":01060802"), frame.constData());
        }
    }
};

QTEST_MAIN(TestCalibrationE2e)
#include "test_calibration_e2e.moc"
