// The live monitor against the instrument simulator over a pseudo-terminal: what the upper band of the
// main setup screen shows for the instrument's weights, status, points, signal, version, inputs,
// set-points and outputs, the link error after three failed passes and its recovery, the "RESET" text,
// and the readers standing still while a write waits for its echo.

#include "../support/coro.h"

#include "configreader.h"
#include "livemonitor.h"
#include "modulo1.h"
#include "parameterset.h"
#include "serial.h"
#include "session.h"
#include "simulator.h"
#include "writequeue.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>

using Text = MonitorDisplay::Text;
using Lamp = MonitorDisplay::Lamp;

namespace {

// The requests of the monitor for address 1, as they must appear on the line.
const QByteArray DivisionRequest = ":0103105000019B\r\n";
const QByteArray VersionRequest = ":010400050001F5\r\n";
const QByteArray StatusRequest = ":0107F8\r\n";
const QByteArray WeightBlockRequest = ":010400000005F6\r\n";
const QByteArray InputsRequest = ":010200000002FB\r\n";
const QByteArray SetPointsRequest = ":010301100002E9\r\n";
const QByteArray PeakRequest = ":010302000001F9\r\n";
const QByteArray CoilsRequest = ":010100000002FC\r\n";

// Holding registers of the simulated instrument that the tests script.
constexpr quint16 DivisionCodeRegister = 0x1050;
constexpr quint16 SetPoint1Register = 0x0110;
constexpr quint16 SetPoint2Register = 0x0111;

constexpr int ReplyTimeoutMs = 100;
constexpr int PassDeadlineMs = 10000;

// One instrument on a simulated line, with the screen's link, queue, parameter set and monitor.
struct Bench {
    Simulator sim;
    Modulo1 m;
    SerialLink link{m};
    WriteQueue queue{m, link, [this] { return int(m.MainReplyTimeoutMs); }};
    ParameterSet set{m};
    Session session{m, link, queue, set};
    ConfigReader reader{session, [] { return 0; }, [](int) {}};
    MonitorDisplay display;
    LiveMonitor monitor{session, reader, display};
    SimInstrument* vxa = nullptr;

    // Opens the line with an instrument at address 1 whose division code is `divisionCode`.
    bool Open(int divisionCode = 7) {
        m.MainReplyTimeoutMs = ReplyTimeoutMs;
        m.DeviceAddress = 1;
        if (!sim.open()) {
            return false;
        }
        vxa = sim.addInstrument(1, SimInstrument::VXA);
        vxa->setHolding(DivisionCodeRegister, quint16(divisionCode));
        return link.OpenPort(sim.devicePath()) == OpenResult::Ok;
    }

    // Runs one coroutine to its end.
    bool Run(const std::function<QCoro::Task<>()>& step) {
        auto run = Start(step);
        return QTest::qWaitFor([&] { return run.done(); }, PassDeadlineMs);
    }

    // The monitor's share of one main-loop pass, in the loop's order and with its conditions.
    bool Pass() {
        return Run([this]() -> QCoro::Task<> { co_await monitor.Pass(); });
    }

    int Count(const QByteArray& request) const { return int(sim.frames().count(request)); }
};

} // namespace

class TestLiveMonitor : public QObject {
    Q_OBJECT
private slots:
    // --- What one pass shows for the weight, the points and the signal ----------------------------
    void weightPointsAndSignal_data() {
        QTest::addColumn<int>("view");
        QTest::addColumn<int>("divisionCode");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("net");   // input register 0
        QTest::addColumn<int>("gross"); // input register 1
        QTest::addColumn<quint32>("points");
        QTest::addColumn<int>("signal"); // input register 4
        QTest::addColumn<QString>("peso");
        QTest::addColumn<QString>("punti");
        QTest::addColumn<QString>("milliV");

        const int netNeg = SimInstrument::NetNegative;
        const int grossNeg = SimInstrument::GrossNegative;
        const int signalNeg = SimInstrument::SignalNegative;
        const int under = SimInstrument::ShowUnderscores;
        const int dashes = SimInstrument::ShowDashes;
        const int overload = SimInstrument::Overload;

        // Code 7: step 2, one decimal. Code 4: step 2, two decimals. Code 9: step 1, no decimals.
        QTest::newRow("net -24.0") << 1 << 7 << netNeg << 120 << 0 << 0x001FFB80u << 1234 << "  -24.0"
                                   << "      0"
                                   << "  1.234";
        QTest::newRow("net 0 ignores the sign bit")
            << 1 << 7 << netNeg << 0 << 500 << 0x001FFB80u << 5 << "    0.0"
            << "      0"
            << "  0.005";
        QTest::newRow("net view ignores the gross sign")
            << 1 << 9 << grossNeg << 42 << 7 << 0x001FFB80u << 0 << "     42"
            << "      0"
            << "  0.000";
        QTest::newRow("gross with its sign")
            << 2 << 4 << grossNeg << 9 << 150 << 0x001FFB80u << 0 << "  -3.00"
            << "      0"
            << "  0.000";
        QTest::newRow("gross view ignores the net sign")
            << 2 << 4 << netNeg << 9 << 150 << 0x001FFB80u << 0 << "   3.00"
            << "      0"
            << "  0.000";
        QTest::newRow("points 001F FB70 are -1") << 2 << 9 << 0 << 0 << 1 << 0x001FFB70u << 0 << "      1"
                                                 << "     -1"
                                                 << "  0.000";
        QTest::newRow("points 0 are -131000") << 2 << 9 << 0 << 0 << 1 << 0u << 0 << "      1"
                                              << "-131000"
                                              << "  0.000";
        QTest::newRow("negative points round down") << 2 << 9 << 0 << 0 << 1 << 0xFFFFFFFFu << 0 << "      1"
                                                    << "-131001"
                                                    << "  0.000";
        QTest::newRow("signal -0.012") << 2 << 9 << signalNeg << 0 << 1 << 0x001FFB80u << 12 << "      1"
                                       << "      0"
                                       << " -0.012";
        QTest::newRow("signal 0 has no sign")
            << 2 << 9 << signalNeg << 0 << 1 << 0x001FFB80u << 0 << "      1"
            << "      0"
            << "  0.000";
        // The instrument's own states replace the weight; points and signal keep updating.
        QTest::newRow("underscores") << 2 << 7 << under << 120 << 120 << 0x001FFB70u << 12 << "_______"
                                     << "     -1"
                                     << "  0.012";
        QTest::newRow("dashes in the gross view")
            << 2 << 7 << dashes << 120 << 120 << 0x00200000u << 1234 << "-------"
            << "     72"
            << "  1.234";
        QTest::newRow("overload in the net view")
            << 1 << 7 << overload << 120 << 120 << 0x001FFB80u << 5 << " O - L "
            << "      0"
            << "  0.005";
        QTest::newRow("underscores win")
            << 1 << 7 << (under | dashes | overload) << 1 << 1 << 0x001FFB80u << 5 << "_______"
            << "      0"
            << "  0.005";
        QTest::newRow("dashes beat overload")
            << 1 << 7 << (dashes | overload) << 1 << 1 << 0x001FFB80u << 5 << "-------"
            << "      0"
            << "  0.005";
        QTest::newRow("state with a negative signal")
            << 2 << 7 << (dashes | signalNeg) << 1 << 1 << 0x001FFB80u << 12 << "-------"
            << "      0"
            << " -0.012";
    }
    void weightPointsAndSignal() {
        QFETCH(int, view);
        QFETCH(int, divisionCode);
        QFETCH(int, status);
        QFETCH(int, net);
        QFETCH(int, gross);
        QFETCH(quint32, points);
        QFETCH(int, signal);
        QFETCH(QString, peso);
        QFETCH(QString, punti);
        QFETCH(QString, milliV);

        Bench b;
        QVERIFY(b.Open(divisionCode));
        b.m.WeightView = uint8_t(view);
        b.vxa->setWeight(net, gross);
        b.vxa->setSignal(signal);
        b.vxa->setInternalPoints(points);
        b.vxa->setStatusByte(quint8(status));
        b.m.ErrorCount[1] = 2; // a good reading clears the count, a state text too

        QVERIFY(b.Pass());
        QCOMPARE(b.display.text(Text::Peso), peso);
        QCOMPARE(b.display.text(Text::Punti), punti);
        QCOMPARE(b.display.text(Text::MilliV), milliV);
        QCOMPARE(b.m.StatusByte, uint8_t(status));
        QCOMPARE(b.m.ErrorCount[1], uint8_t(0));
        QCOMPARE(b.Count(WeightBlockRequest), 1);
    }

    // --- Peak view: the weight step leaves Peso alone, the peak step fills it ------------------------
    void peakView_data() {
        QTest::addColumn<int>("status");
        QTest::newRow("normal") << int(SimInstrument::Stable);
        QTest::newRow("dashes are not shown") << int(SimInstrument::ShowDashes);
    }
    void peakView() {
        QFETCH(int, status);
        Bench b;
        QVERIFY(b.Open(7));
        b.m.DivisionStep[1] = 2;
        b.m.DecimalCount[1] = 1;
        b.m.WeightView = 3;
        b.vxa->setWeight(120, 130);
        b.vxa->setPeak(25);
        b.vxa->setStatusByte(quint8(status));
        b.display.setText(Text::Peso, QStringLiteral("before"));

        QVERIFY(b.Run([&]() { return b.monitor.ReadWeight(); }));
        QCOMPARE(b.display.text(Text::Peso), QStringLiteral("before"));
        QCOMPARE(b.sim.frames(), (QList<QByteArray>{StatusRequest, WeightBlockRequest}));

        QVERIFY(b.Run([&]() { return b.monitor.ReadPeak(); }));
        QCOMPARE(b.display.text(Text::Peso), QStringLiteral("    5.0"));
        QCOMPARE(b.Count(PeakRequest), 1);

        // Outside the peak view the peak is not asked for.
        b.m.WeightView = 2;
        QVERIFY(b.Run([&]() { return b.monitor.ReadPeak(); }));
        QCOMPARE(b.Count(PeakRequest), 1);
    }

    // --- Version: read while the field reads as 0 ---------------------------------------------------
    void version_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("requestsInThreePasses");
        QTest::newRow("5 is 0.5") << 5 << "0.5" << 1;
        QTest::newRow("32 is 3.2") << 32 << "3.2" << 1;
        QTest::newRow("0 is 0.0, read every pass") << 0 << "0.0" << 3;
    }
    void version() {
        QFETCH(int, value);
        QFETCH(QString, shown);
        QFETCH(int, requestsInThreePasses);
        Bench b;
        QVERIFY(b.Open());
        b.vxa->setVersion(quint16(value));
        for (int pass = 0; pass < 3; ++pass) {
            QVERIFY(b.Pass());
            QCOMPARE(b.display.text(Text::Versione), shown);
        }
        QCOMPARE(b.Count(VersionRequest), requestsInThreePasses);
    }

    // --- Inputs and set-points -------------------------------------------------------------------------
    void inputs_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("input1");
        QTest::addColumn<QString>("input2");
        QTest::newRow("none") << 0 << "0"
                              << "0";
        QTest::newRow("input 1") << 1 << "1"
                                 << "0";
        QTest::newRow("input 2") << 2 << "0"
                                 << "1";
        QTest::newRow("both") << 3 << "1"
                              << "1";
    }
    void inputs() {
        QFETCH(int, bits);
        QFETCH(QString, input1);
        QFETCH(QString, input2);
        Bench b;
        QVERIFY(b.Open());
        b.vxa->setInputs(quint8(bits));
        QVERIFY(b.Run([&]() { return b.monitor.ReadInputs(); }));
        QCOMPARE(b.sim.frames(), QList<QByteArray>{InputsRequest});
        QCOMPARE(b.display.text(Text::Ingresso1), input1);
        QCOMPARE(b.display.text(Text::Ingresso2), input2);
    }

    void setpointsAreReadOnce() {
        Bench b;
        QVERIFY(b.Open(7)); // step 2, one decimal
        b.vxa->setHolding(SetPoint1Register, 125);
        b.vxa->setHolding(SetPoint2Register, 0);
        QVERIFY(b.Pass());
        QCOMPARE(b.set.text(Field::Set1), QStringLiteral("   25.0"));
        QCOMPARE(b.set.text(Field::Set2), QStringLiteral("    0.0"));
        QCOMPARE(b.m.SetpointsRead, uint8_t(1));

        b.vxa->setHolding(SetPoint1Register, 1);
        QVERIFY(b.Pass());
        QVERIFY(b.Run([&]() { return b.monitor.ReadSetpoints(); })); // also when called directly
        QCOMPARE(b.Count(SetPointsRequest), 1);
        QCOMPARE(b.set.text(Field::Set1), QStringLiteral("   25.0"));

        // A failed read leaves the flag down, so the next pass asks again.
        b.m.SetpointsRead = 0;
        b.sim.setLineSilent(true);
        QVERIFY(b.Run([&]() { return b.monitor.ReadSetpoints(); }));
        QCOMPARE(b.m.SetpointsRead, uint8_t(0));
        QCOMPARE(b.set.text(Field::Set1), QStringLiteral("   25.0"));
        b.sim.setLineSilent(false);
        QVERIFY(b.Pass());
        QCOMPARE(b.set.text(Field::Set1), QStringLiteral("    0.2"));
        QCOMPARE(b.m.SetpointsRead, uint8_t(1));
    }

    // A confirmed weight-constants or division write forgets the division and asks for the set-points
    // again. When the division read of the next pass fails, the set-points wait for it: decoded with an
    // unknown division they would show (and keep) 0, and a later Set2 edit would write Set1 = 0.
    void setpointsWaitForTheDivision() {
        Bench b;
        QVERIFY(b.Open(7)); // step 2, one decimal
        b.vxa->setHolding(SetPoint1Register, 125);
        QVERIFY(b.Pass());
        QCOMPARE(b.set.text(Field::Set1), QStringLiteral("   25.0"));

        b.m.CurrentStep() = 0; // what the echo "101000" or "061050" does
        b.m.SetpointsRead = 0;
        b.sim.setFault(1, SimFault::mute());
        QVERIFY(b.Run([&]() { return b.reader.ReadDivisionCode(); }));
        b.sim.setFault(1, SimFault::none());
        QCOMPARE(b.m.CurrentStep(), uint8_t(0));
        QVERIFY(b.Run([&]() { return b.monitor.ReadSetpoints(); }));
        QCOMPARE(b.m.SetpointsRead, uint8_t(0));
        QCOMPARE(b.set.text(Field::Set1), QStringLiteral("   25.0"));
        QCOMPARE(b.Count(SetPointsRequest), 1);

        QVERIFY(b.Pass()); // the division is back: the set-points are read with it
        QCOMPARE(b.m.SetpointsRead, uint8_t(1));
        QCOMPARE(b.set.text(Field::Set1), QStringLiteral("   25.0"));
        QCOMPARE(b.Count(SetPointsRequest), 2);
    }

    // --- The link error and its recovery ---------------------------------------------------------------
    void linkErrorAndRecovery_data() {
        QTest::addColumn<int>("languageIndex");
        QTest::addColumn<QString>("errorText");
        QTest::newRow("Italian") << 0 << "ERRORE";
        QTest::newRow("English") << 1 << "ERROR";
    }
    void linkErrorAndRecovery() {
        QFETCH(int, languageIndex);
        QFETCH(QString, errorText);
        Bench b;
        QVERIFY(b.Open(7));
        b.m.LanguageIndex = uint8_t(languageIndex);
        b.vxa->setVersion(32);
        b.vxa->setNet(-120);
        b.vxa->setHolding(SetPoint1Register, 125);
        b.m.WeightView = 1;
        QVERIFY(b.Pass());
        QCOMPARE(b.display.text(Text::Peso), QStringLiteral("  -24.0"));
        QCOMPARE(b.display.text(Text::Versione), QStringLiteral("3.2"));
        QCOMPARE(b.set.text(Field::Set1), QStringLiteral("   25.0"));

        // Switched off: two failed passes leave the display as it was.
        b.sim.setLineSilent(true);
        for (int failures = 1; failures <= 2; ++failures) {
            QVERIFY(b.Pass());
            QCOMPARE(b.m.ErrorCount[1], uint8_t(failures));
            QCOMPARE(b.display.text(Text::Peso), QStringLiteral("  -24.0"));
            QCOMPARE(b.display.text(Text::Versione), QStringLiteral("3.2"));
        }
        // The third shows the error and asks for division and version at once.
        b.sim.clearRequests();
        QVERIFY(b.Pass());
        QCOMPARE(b.display.text(Text::Peso), errorText);
        QCOMPARE(b.display.text(Text::Versione), QStringLiteral("ERR"));
        QCOMPARE(b.m.DivisionStep[1], uint8_t(0));
        QCOMPARE(b.sim.frames(), (QList<QByteArray>{StatusRequest, InputsRequest, DivisionRequest,
                                                    VersionRequest, CoilsRequest}));
        // While the line stays down each pass repeats it; the unknown division counts as a failure.
        QVERIFY(b.Pass());
        QCOMPARE(b.m.ErrorCount[1], uint8_t(4));
        QCOMPARE(b.display.text(Text::Peso), errorText);

        // Switched on again: division, version and weight come back within one pass; the set-points
        // keep their display and are not read again.
        b.vxa->setVersion(33);
        b.vxa->setNet(-121);
        b.vxa->setHolding(SetPoint1Register, 1);
        b.sim.setLineSilent(false);
        b.sim.clearRequests();
        QVERIFY(b.Pass());
        QCOMPARE(b.m.DivisionStep[1], uint8_t(2));
        QCOMPARE(b.m.DecimalCount[1], uint8_t(1));
        QCOMPARE(b.display.text(Text::Versione), QStringLiteral("3.3"));
        QCOMPARE(b.display.text(Text::Peso), QStringLiteral("  -24.2"));
        QCOMPARE(b.m.ErrorCount[1], uint8_t(0));
        QCOMPARE(b.Count(SetPointsRequest), 0);
        QCOMPARE(b.set.text(Field::Set1), QStringLiteral("   25.0"));
    }

    void errorCountIsCappedAt100() {
        Bench b;
        QVERIFY(b.Open());
        b.sim.setLineSilent(true);
        b.m.DivisionStep[1] = 1;
        b.m.ErrorCount[1] = 100;
        QVERIFY(b.Run([&]() { return b.monitor.ShowLinkState(); }));
        QCOMPARE(b.m.ErrorCount[1], uint8_t(3));
        QCOMPARE(b.display.text(Text::Peso), QStringLiteral("ERRORE"));

        // Below the cap the count stays; a long outage never wraps it back to no error.
        b.m.ErrorCount[1] = 99;
        QVERIFY(b.Run([&]() { return b.monitor.ShowLinkState(); }));
        QCOMPARE(b.m.ErrorCount[1], uint8_t(99));
        b.m.ErrorCount[1] = 255;
        b.m.DivisionStep[1] = 0;
        QVERIFY(b.Run([&]() { return b.monitor.ReadWeight(); }));
        QCOMPARE(b.m.ErrorCount[1], uint8_t(255));
    }

    // --- Reset in progress -----------------------------------------------------------------------------
    void resetShowsResetUntilTheInstrumentAnswers() {
        Bench b;
        QVERIFY(b.Open(7));
        b.vxa->setNet(50);
        b.m.WeightView = 1;
        QVERIFY(b.Pass());
        QCOMPARE(b.display.text(Text::Peso), QStringLiteral("   10.0"));
        QCOMPARE(b.m.SetpointsRead, uint8_t(1));

        b.m.ResetInProgress = 1;
        b.sim.setLineSilent(true);
        for (int pass = 0; pass < 4; ++pass) { // more than three failures: still no link error
            QVERIFY(b.Pass());
            QCOMPARE(b.display.text(Text::Peso), QStringLiteral("RESET"));
            QCOMPARE(b.m.DivisionStep[1], uint8_t(0));
            QCOMPARE(b.m.DecimalCount[1], uint8_t(0));
            QCOMPARE(b.m.SetpointsRead, uint8_t(0));
            QCOMPARE(b.m.ResetInProgress, uint8_t(1));
        }
        QVERIFY(b.display.text(Text::Versione) != QStringLiteral("ERR"));

        // The instrument answers again: division, weight and set-points are read, RESET is gone.
        b.sim.setLineSilent(false);
        b.sim.clearRequests();
        QVERIFY(b.Pass());
        QCOMPARE(b.m.ResetInProgress, uint8_t(0));
        QCOMPARE(b.m.DivisionStep[1], uint8_t(2));
        QCOMPARE(b.display.text(Text::Peso), QStringLiteral("   10.0"));
        QCOMPARE(b.Count(DivisionRequest), 1);
        QCOMPARE(b.Count(SetPointsRequest), 1);
        QCOMPARE(b.m.SetpointsRead, uint8_t(1));
    }

    // --- A queued write stops every reader -------------------------------------------------------------
    void readersStandStillWhileAWriteIsPending() {
        Bench b;
        QVERIFY(b.Open(7));
        b.m.DivisionStep[1] = 2;
        b.m.DecimalCount[1] = 1;
        b.m.WeightView = 3;
        b.m.WritePending = true;
        b.m.ErrorCount[1] = 3; // the link error shows, but division and version are not asked for
        QVERIFY(b.Pass());
        QVERIFY(b.Run([&]() { return b.monitor.ReadSetpoints(); }));
        QVERIFY(b.Run([&]() { return b.monitor.ReadPeak(); }));
        QCOMPARE(b.sim.frames(), QList<QByteArray>{});
        QCOMPARE(b.display.text(Text::Versione), QStringLiteral("ERR"));
        QCOMPARE(b.m.SetpointsRead, uint8_t(0));
        for (int l = 0; l < MonitorDisplay::LampCount; ++l) {
            QCOMPARE(b.display.lampPaints(Lamp(l)), 0);
        }

        // An unknown division is a failure whatever the queue says; nothing is sent for it.
        QCOMPARE(b.m.DivisionStep[1], uint8_t(0));
        b.m.ErrorCount[1] = 0;
        QVERIFY(b.Run([&]() { return b.monitor.ReadWeight(); }));
        QCOMPARE(b.m.ErrorCount[1], uint8_t(1));
        QCOMPARE(b.sim.frames(), QList<QByteArray>{});
    }

    // --- Lamps ------------------------------------------------------------------------------------------
    void lampsAreRepaintedOnlyOnChange() {
        Bench b;
        QVERIFY(b.Open());
        QSignalSpy changes(&b.display, &MonitorDisplay::lampChanged);
        b.vxa->setStable(true);
        b.vxa->setRelays(0);
        b.m.WeightView = 2;

        struct Expect {
            bool out1, out2, net, stable;
            int paints1, paints2, paintsNet, paintsStable;
        };
        const auto check = [&](const Expect& e) {
            QCOMPARE(b.display.lamp(Lamp::Output1), e.out1);
            QCOMPARE(b.display.lamp(Lamp::Output2), e.out2);
            QCOMPARE(b.display.lamp(Lamp::Net), e.net);
            QCOMPARE(b.display.lamp(Lamp::Stable), e.stable);
            QCOMPARE(b.display.lampPaints(Lamp::Output1), e.paints1);
            QCOMPARE(b.display.lampPaints(Lamp::Output2), e.paints2);
            QCOMPARE(b.display.lampPaints(Lamp::Net), e.paintsNet);
            QCOMPARE(b.display.lampPaints(Lamp::Stable), e.paintsStable);
        };

        QVERIFY(b.Pass());
        check({false, false, false, true, 0, 0, 0, 1});
        QVERIFY(b.Pass()); // nothing changed, nothing repainted
        check({false, false, false, true, 0, 0, 0, 1});
        b.vxa->setRelays(1);
        QVERIFY(b.Pass());
        check({true, false, false, true, 1, 0, 0, 1});
        b.vxa->setRelays(2);
        QVERIFY(b.Pass());
        check({false, true, false, true, 2, 1, 0, 1});
        b.m.WeightView = 1;
        b.vxa->setStable(false);
        QVERIFY(b.Pass());
        check({false, true, true, false, 2, 1, 1, 2});
        QVERIFY(b.Pass());
        check({false, true, true, false, 2, 1, 1, 2});
        QCOMPARE(changes.count(), 6);
    }

    void outputsReplyMustBeValid_data() {
        QTest::addColumn<SimFault>("fault");
        QTest::newRow("wrong LRC") << SimFault::badLrc();
        QTest::newRow("exception") << SimFault::exception(2);
        QTest::newRow("cut") << SimFault::cut(9);
        QTest::newRow("no reply") << SimFault::mute();
    }
    void outputsReplyMustBeValid() {
        QFETCH(SimFault, fault);
        Bench b;
        QVERIFY(b.Open());
        b.vxa->setRelays(0);
        b.vxa->setStable(false);
        QVERIFY(b.Pass());

        // A reply that is not accepted switches no lamp, not even those that do not depend on it.
        b.vxa->setRelays(3);
        b.monitor.stabile = 1;
        b.m.WeightView = 1;
        b.sim.setFault(1, fault);
        QVERIFY(b.Run([&]() { return b.monitor.ReadOutputs(); }));
        QCOMPARE(b.sim.frames().constLast(), CoilsRequest);
        for (int l = 0; l < MonitorDisplay::LampCount; ++l) {
            QCOMPARE(b.display.lamp(Lamp(l)), false);
            QCOMPARE(b.display.lampPaints(Lamp(l)), 0);
        }

        b.sim.clearFaults();
        QVERIFY(b.Run([&]() { return b.monitor.ReadOutputs(); }));
        for (int l = 0; l < MonitorDisplay::LampCount; ++l) {
            QCOMPARE(b.display.lamp(Lamp(l)), true);
        }
    }
};

QTEST_GUILESS_MAIN(TestLiveMonitor)
#include "test_livemonitor.moc"
