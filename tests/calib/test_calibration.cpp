// The rules of the calibration and of the output adjustment, table by table: the shown weight and its
// rounding, when a zero setting asks about the datasheet calibration, which sample weights fit their
// register, the step arithmetic of the analog offsets and of the analog test level, the capacity
// fields' leave rules, and what the datasheet answer queues pass after pass.

#include "../config/configrig.h"

#include "calibration.h"
#include "frame.h"
#include "livemonitor.h"
#include "outputtests.h"
#include "registers.h"

#include <QtTest>

namespace {

StepButton ButtonNamed(const QString& name) {
    if (name == "<<") {
        return StepButton::FastDown;
    }
    if (name == "<") {
        return StepButton::Down;
    }
    if (name == ">") {
        return StepButton::Up;
    }
    return StepButton::FastUp;
}

// The calibration logic on an unopened line: what it queues is looked at in the slots.
struct Logic {
    rig::Rig rig;
    MonitorDisplay display;
    Calibration calib{*rig.session, *rig.writer, display};

    Logic() {
        // A read tab 0, so that the weight constants are sent when valid.
        rig::Apply(*rig.set, {"Capac=  10000", "Sensib= 2.0000", "Teonet=  10000", "Teotara=    100"});
        rig.m.TabRead[1] = 1;
        rig.m.DivisionStep[1] = 1;
    }
    void Show(const QString& peso) { display.setText(MonitorDisplay::Text::Peso, peso); }
    QByteArray Zero() const { return rig::Frame("01 06 0800 0010"); }
};

} // namespace

class TestCalibration : public QObject {
    Q_OBJECT
private slots:
    void shownWeight_data() {
        QTest::addColumn<QString>("peso");
        QTest::addColumn<double>("weight");
        QTest::newRow("12") << "     12" << 12.0;
        QTest::newRow("12.5 to the even 12") << "   12.5" << 12.0;
        QTest::newRow("13.5 to the even 14") << "   13.5" << 14.0;
        QTest::newRow("12.51 up") << "  12.51" << 13.0;
        QTest::newRow("0.5 to 0") << "    0.5" << 0.0;
        QTest::newRow("1.5 to 2") << "    1.5" << 2.0;
        QTest::newRow("-12.5 to -12") << "  -12.5" << -12.0;
        QTest::newRow("-13.5 to -14") << "  -13.5" << -14.0;
        QTest::newRow("ERROR") << "ERROR" << 0.0;
        QTest::newRow("ERRORE") << "ERRORE" << 0.0;
        QTest::newRow("overload") << " O - L " << 0.0;
        QTest::newRow("dashes") << "-------" << 0.0;
        QTest::newRow("RESET") << "RESET" << 0.0;
        QTest::newRow("offline") << " Edit " << 0.0;
        QTest::newRow("empty") << "" << 0.0;
    }
    void shownWeight() {
        QFETCH(QString, peso);
        QFETCH(double, weight);
        QCOMPARE(Calibration::ShownWeight(peso), weight);
    }

    void datasheetQuestion_data() {
        QTest::addColumn<double>("weight");
        QTest::addColumn<double>("deadLoad");
        QTest::addColumn<bool>("asks");
        QTest::newRow("12 on 100") << 12.0 << 100.0 << true;
        QTest::newRow("1 on 0") << 1.0 << 0.0 << true;
        QTest::newRow("0") << 0.0 << 100.0 << false;
        QTest::newRow("-50 on 100") << -50.0 << 100.0 << true;
        QTest::newRow("-100 on 100: w + T = 0") << -100.0 << 100.0 << true;
        QTest::newRow("-101 on 100: w + T < 0") << -101.0 << 100.0 << false;
        QTest::newRow("-1 on 0") << -1.0 << 0.0 << false;
    }
    void datasheetQuestion() {
        QFETCH(double, weight);
        QFETCH(double, deadLoad);
        QFETCH(bool, asks);
        QCOMPARE(Calibration::AsksDatasheetQuestion(weight, deadLoad), asks);
    }

    // The count of divisions must be a whole number 0..65535: the encoder would send the low 16 bits
    // of anything larger.
    void sampleWeightFits_data() {
        QTest::addColumn<int>("divisionCode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fits");
        QTest::newRow("step 1: 0") << 9 << "0" << true;
        QTest::newRow("step 1: empty") << 9 << "" << true;
        QTest::newRow("step 1: 65535") << 9 << "65535" << true;
        QTest::newRow("step 1: 65536") << 9 << "65536" << false;
        QTest::newRow("step 1: 131072 (0000 once cut)") << 9 << "131072" << false;
        QTest::newRow("step 2: 131070") << 10 << "131070" << true;
        QTest::newRow("step 2: 131069 rounds to 65534") << 10 << "131069" << true;
        QTest::newRow("step 2: 131071 rounds to 65536") << 10 << "131071" << false;
        QTest::newRow("3 decimals: 65.535") << 0 << "65.535" << true;
        QTest::newRow("3 decimals: 65.5359 cut") << 0 << "65.5359" << true;
        QTest::newRow("3 decimals: 65.536") << 0 << "65.536" << false;
        QTest::newRow("3 decimals: 70") << 0 << "70" << false;
        QTest::newRow("step 50: 3276750") << 14 << "3276750" << true;
        QTest::newRow("step 50: 3276800") << 14 << "3276800" << false;
        QTest::newRow("blanks: ' 65 535'") << 9 << " 65 535" << true;
    }
    void sampleWeightFits() {
        QFETCH(int, divisionCode);
        QFETCH(QString, text);
        QFETCH(bool, fits);
        Modulo1 m;
        SetDivisionFromCode(m, m.DeviceAddress, divisionCode);
        QCOMPARE(Calibration::SampleWeightFits(text, m), fits);
    }

    void offsetStep_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::newRow("< at 0") << 0 << "<" << 0;
        QTest::newRow("< at 1") << 1 << "<" << 0;
        QTest::newRow("> at 63999") << 63999 << ">" << 64000;
        QTest::newRow("> at 64000") << 64000 << ">" << 64000;
        QTest::newRow("> above 64000") << 65000 << ">" << 65000;
        QTest::newRow("< above 64000") << 65000 << "<" << 64999;
        QTest::newRow("<< at 19") << 19 << "<<" << 0;
        QTest::newRow("<< at 20") << 20 << "<<" << 0;
        QTest::newRow("<< at 21") << 21 << "<<" << 1;
        QTest::newRow("<< at 0") << 0 << "<<" << 0;
        QTest::newRow(">> at 0") << 0 << ">>" << 20;
        QTest::newRow(">> at 63080") << 63080 << ">>" << 63100;
        QTest::newRow(">> at 63081") << 63081 << ">>" << 64000;
        QTest::newRow(">> at 64000") << 64000 << ">>" << 64000;
        QTest::newRow(">> above 64000") << 65000 << ">>" << 64000;
    }
    void offsetStep() {
        QFETCH(int, value);
        QFETCH(QString, button);
        QFETCH(int, result);
        QCOMPARE(outputs::StepOffset(value, ButtonNamed(button)), result);
    }

    void percentStep_data() {
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("text");
        QTest::newRow("< at 0") << 0 << "<"
                                << "  0";
        QTest::newRow("< at 1") << 1 << "<"
                                << "  0";
        QTest::newRow("< at 2") << 2 << "<"
                                << "  1";
        QTest::newRow("> at 99") << 99 << ">"
                                 << "100";
        QTest::newRow("> at 100") << 100 << ">"
                                  << "100";
        QTest::newRow("> above 100") << 150 << ">"
                                     << "100";
        QTest::newRow("< above 100") << 150 << "<"
                                     << "100";
        QTest::newRow("<< above 100") << 150 << "<<"
                                      << "100";
        QTest::newRow("< at 101") << 101 << "<"
                                  << "100";
        QTest::newRow("<< at 999") << 999 << "<<"
                                   << "100";
        QTest::newRow("<< at 9") << 9 << "<<"
                                 << "  0";
        QTest::newRow("<< at 10") << 10 << "<<"
                                  << "  0";
        QTest::newRow("<< at 11") << 11 << "<<"
                                  << "  1";
        QTest::newRow(">> at 40") << 40 << ">>"
                                  << " 50";
        QTest::newRow(">> at 89") << 89 << ">>"
                                  << " 99";
        QTest::newRow(">> at 90") << 90 << ">>"
                                  << "100";
        QTest::newRow(">> at 95") << 95 << ">>"
                                  << "100";
    }
    void percentStep() {
        QFETCH(int, percent);
        QFETCH(QString, button);
        QFETCH(QString, text);
        QCOMPARE(outputs::PercentText(outputs::StepPercent(percent, ButtonNamed(button))), text);
    }

    void percentLeave_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("mayLeave");
        QTest::newRow("100") << "100" << true;
        QTest::newRow("101") << "101" << false;
        QTest::newRow("  0") << "  0" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("  05") << "  05" << true;
    }
    void percentLeave() {
        QFETCH(QString, text);
        QFETCH(bool, mayLeave);
        QCOMPARE(outputs::PercentMayLeave(text), mayLeave);
    }

    // The requests as the instrument must receive them, for each value of the relay states and the
    // analog test level.
    void requests_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("slotA");
        QTest::addColumn<QByteArray>("slotB");
        QTest::newRow("relays 00") << "relays 0 0" << QByteArray() << rig::Frame("01 0F 0000 0002 01 00");
        QTest::newRow("relays 01") << "relays 1 0" << QByteArray() << rig::Frame("01 0F 0000 0002 01 01");
        QTest::newRow("relays 02") << "relays 0 1" << QByteArray() << rig::Frame("01 0F 0000 0002 01 02");
        QTest::newRow("relays 03") << "relays 1 1" << QByteArray() << rig::Frame("01 0F 0000 0002 01 03");
        QTest::newRow("analog test start")
            << "start analog" << rig::Frame("01 06 0802 0006") << rig::Frame("01 06 0803 0000");
        QTest::newRow("level 50 %") << "level  50" << QByteArray() << rig::Frame("01 06 0803 7D00");
        QTest::newRow("level 100 %") << "level 100" << QByteArray() << rig::Frame("01 06 0803 FA00");
        QTest::newRow("relay test start") << "start relays" << rig::Frame("01 06 0802 0005") << QByteArray();
        QTest::newRow("span 500") << "span 500" << rig::Frame("01 06 0801 01F4")
                                  << rig::Frame("01 06 0800 0011");
        QTest::newRow("span 65536: nothing") << "span 65536" << QByteArray() << QByteArray();
        QTest::newRow("zero") << "zero" << rig::Frame("01 06 0800 0010") << QByteArray();
    }
    void requests() {
        QFETCH(QString, action);
        QFETCH(QByteArray, slotA);
        QFETCH(QByteArray, slotB);
        Logic l;
        OutputTests out(*l.rig.session, l.rig.marks, *l.rig.commands);
        const QStringList words = action.split(' ', Qt::SkipEmptyParts);
        if (words[0] == "relays") {
            out.QueueRelayOutputs(words[1] == "1", words[2] == "1");
        } else if (action == "start analog") {
            QCOMPARE(out.StartAnalogTest(), QStringLiteral("  0"));
        } else if (words[0] == "level") {
            out.QueueAnalogTestValue(action.mid(6));
        } else if (action == "start relays") {
            out.StartRelayTest();
        } else if (words[0] == "span") {
            QCOMPARE(l.calib.Command3_Click(words[1]), !slotA.isEmpty());
        } else {
            l.calib.Command2_Click();
        }
        QCOMPARE(l.rig.m.PendingWriteA, slotA);
        QCOMPARE(l.rig.m.PendingWriteB, slotB);
        QCOMPARE(l.rig.m.WritePending, !slotA.isEmpty() || !slotB.isEmpty());
    }

    // A trimming step: the first click on a row queues its mode (without WritePending of its own) and
    // the value; the next click on the same row only the value; the other row its own mode first.
    void trimmingSteps() {
        Logic l;
        OutputTests out(*l.rig.session, l.rig.marks, *l.rig.commands);
        l.rig.set->setText(Field::OffZero, "1234");
        out.Trim(TrimRow::Zero, StepButton::Up);
        QCOMPARE(l.rig.m.AnalogAdjustMode, uint8_t(1));
        QCOMPARE(l.rig.m.PendingWriteA, rig::Frame("01 06 0802 0003"));
        QCOMPARE(l.rig.m.PendingWriteB, rig::Frame("01 06 4003 04D3"));
        QCOMPARE(l.rig.set->text(Field::OffZero), QStringLiteral("1235"));
        QVERIFY(l.rig.marks.Marker(GroupId::Analog));
        QVERIFY(l.rig.marks.SendEnabled(GroupId::Analog));
        l.rig.m.PendingWriteA.clear();
        out.Trim(TrimRow::Zero, StepButton::Up);
        QVERIFY(l.rig.m.PendingWriteA.isEmpty());
        QCOMPARE(l.rig.m.PendingWriteB, rig::Frame("01 06 4003 04D4"));
        out.Trim(TrimRow::FullScale, StepButton::FastDown);
        QCOMPARE(l.rig.m.AnalogAdjustMode, uint8_t(2));
        QCOMPARE(l.rig.m.PendingWriteA, rig::Frame("01 06 0802 0004"));
        QCOMPARE(l.rig.m.PendingWriteB, rig::Frame("01 06 4004 0000"));
    }

    // DatasheetAnswer pass after pass: what each pass's ApplyDatasheetAnswer leaves in slot A (the
    // queue is emptied after each pass, as if every request had been confirmed).
    void datasheetAnswer_data() {
        QTest::addColumn<QString>("peso");
        QTest::addColumn<int>("answer"); // 10 OK, 1 NO, 0 closed
        QTest::addColumn<QString>("sensib");
        QTest::addColumn<QString>("passes"); // per pass: Z zero, C constants, - nothing
        QTest::addColumn<QString>("teotara");
        QTest::addColumn<QString>("teonet");
        QTest::newRow("OK") << "     12" << 10 << " 2.0000"
                            << "C--------Z--"
                            << "112"
                            << "9888";
        QTest::newRow("OK, -50") << "    -50" << 10 << " 2.0000"
                                 << "C--------Z--"
                                 << "50"
                                 << "9950";
        QTest::newRow("NO") << "     12" << 1 << " 2.0000"
                            << "Z-----------"
                            << "    100"
                            << "  10000";
        QTest::newRow("closed") << "     12" << 0 << " 2.0000"
                                << "Z-----------"
                                << "    100"
                                << "  10000";
        // The constants are refused: the zero request the click stored stays and goes out, and the
        // countdown queues it once more.
        QTest::newRow("OK, constants refused") << "     12" << 10 << " 0.5000"
                                               << "Z--------Z--"
                                               << "112"
                                               << "9888";
    }
    void datasheetAnswer() {
        QFETCH(QString, peso);
        QFETCH(int, answer);
        QFETCH(QString, sensib);
        QFETCH(QString, passes);
        QFETCH(QString, teotara);
        QFETCH(QString, teonet);
        Logic l;
        l.rig.set->setText(Field::Sensib, sensib);
        l.Show(peso);
        l.calib.Command2_Click();
        QVERIFY(l.calib.QuestionPending());
        QVERIFY(l.rig.m.PendingWriteA.isEmpty());
        l.calib.Command2_Click(); // a second click before the question is asked changes nothing
        l.calib.DatasheetAnswered(uint8_t(answer));
        QVERIFY(!l.calib.QuestionPending());
        QString seen;
        for (int pass = 0; pass < passes.size(); ++pass) {
            l.calib.ApplyDatasheetAnswer();
            const QByteArray a = l.rig.m.PendingWriteA;
            seen += a.isEmpty() ? '-' : a == l.Zero() ? 'Z' : a.startsWith(":01101000") ? 'C' : '?';
            l.rig.m.PendingWriteA.clear();
        }
        QCOMPARE(seen, passes);
        QCOMPARE(l.rig.set->text(Field::Teotara), teotara);
        QCOMPARE(l.rig.set->text(Field::Teonet), teonet);
        QCOMPARE(l.rig.m.DatasheetAnswer, uint8_t(0));
    }

    // While the countdown runs, a zero setting asks nothing and is queued at once.
    void zeroDuringCountdown() {
        Logic l;
        l.Show("     12");
        l.rig.m.DatasheetAnswer = 5;
        l.calib.Command2_Click();
        QVERIFY(!l.calib.QuestionPending());
        QCOMPARE(l.rig.m.PendingWriteA, l.Zero());
    }

    void capacLeave_data() {
        QTest::addColumn<QString>("before"); // on getting the focus
        QTest::addColumn<QString>("after");  // on leaving
        QTest::addColumn<int>("outcome");    // Calibration::CapacLeave
        using L = Calibration::CapacLeave;
        QTest::newRow("500000") << "  10000"
                                << "500000" << int(L::Changed);
        QTest::newRow("500001") << "  10000"
                                << "500001" << int(L::Refused);
        QTest::newRow("unchanged") << "  10000"
                                   << "10000" << int(L::Unchanged);
        QTest::newRow("cleared, was 0") << "0"
                                        << "" << int(L::Unchanged);
        QTest::newRow("cleared") << "  10000"
                                 << "" << int(L::Changed);
    }
    void capacLeave() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, outcome);
        Logic l;
        l.rig.set->setText(Field::Capac, before);
        l.calib.Capac_GotFocus();
        l.rig.set->setText(Field::Capac, after);
        QCOMPARE(int(l.calib.Capac_LostFocus()), outcome);
    }

    void campioneLeave_data() {
        QTest::addColumn<QString>("capac");
        QTest::addColumn<QString>("campione");
        QTest::addColumn<bool>("mayLeave");
        QTest::newRow("at Capac") << "1000"
                                  << "1000" << true;
        QTest::newRow("above Capac") << "1000"
                                     << "1001" << false;
        QTest::newRow("Capac 0") << "0"
                                 << "60000" << true;
        QTest::newRow("Capac 0, beyond the register") << "0"
                                                      << "65536" << false;
        QTest::newRow("below Capac, beyond the register") << "500000"
                                                          << "70000" << false;
        QTest::newRow("two points") << "0"
                                    << "1..5" << false;
    }
    void campioneLeave() {
        QFETCH(QString, capac);
        QFETCH(QString, campione);
        QFETCH(bool, mayLeave);
        Logic l;
        l.rig.set->setText(Field::Capac, capac);
        QCOMPARE(l.calib.Campione_MayLeave(campione), mayLeave);
    }

    // The pair Teonet/Teotara: a sum above Capac holds the field left; while one is held, leaving the
    // other is not checked and the other selects nothing on getting the focus.
    void netAndDeadLoad_data() {
        QTest::addColumn<QString>("steps"); // "Field=text" sets, "Field-" leaves (expect +/!), "Field?" focus
        QTest::newRow("fits") << "Teonet=90 Teotara=10 Teonet-+ Teotara-+";
        QTest::newRow("net too large, dead load not checked on the way back")
            << "Teonet=95 Teotara=10 Teonet-! Teotara-+ Teotara?! Teonet?+ Teonet=90 Teonet-+ Teotara-+";
        QTest::newRow("dead load too large") << "Teonet=95 Teotara=10 Teotara-! Teonet-+ Teonet?! Teotara?+";
        QTest::newRow("sum equal to Capac") << "Teonet=50 Teotara=50 Teonet-+ Teotara-+";
    }
    void netAndDeadLoad() {
        QFETCH(QString, steps);
        Logic l;
        l.rig.set->setText(Field::Capac, "100");
        for (const QString& step : steps.split(' ')) {
            const Field f = step.startsWith("Teonet") ? Field::Teonet : Field::Teotara;
            const QString rest = step.mid(f == Field::Teonet ? 6 : 7);
            if (rest.startsWith('=')) {
                l.rig.set->setText(f, rest.mid(1));
            } else if (rest.startsWith('-')) {
                const bool left =
                    f == Field::Teonet ? l.calib.Teonet_LostFocus() : l.calib.Teotara_LostFocus();
                QVERIFY2(left == (rest[1] == '+'), qPrintable(step));
            } else {
                const bool selects =
                    f == Field::Teonet ? l.calib.Teonet_GotFocus() : l.calib.Teotara_GotFocus();
                QVERIFY2(selects == (rest[1] == '+'), qPrintable(step));
            }
        }
    }

    void plainNumber_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("112") << 112.0 << "112";
        QTest::newRow("-5") << -5.0 << "-5";
        QTest::newRow("1000000") << 1000000.0 << "1000000";
        QTest::newRow("12.5") << 12.5 << "12.5";
        QTest::newRow("0") << 0.0 << "0";
    }
    void plainNumber() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(Calibration::PlainNumber(value), text);
    }
};

QTEST_GUILESS_MAIN(TestCalibration)
#include "test_calibration.moc"
