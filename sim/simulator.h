#pragma once

// Quartel instrument simulator: the instruments' side of the serial line.
//
// A Simulator opens a pseudo-terminal and answers MODBUS ASCII requests on it for any number of
// simulated instruments (addresses 1..247, model 1 "VXA" or model 2 "VXB"). The client (the utility,
// a test, a benchmark) opens devicePath() like any serial port, with QSerialPort or open().
//
// The simulator parses requests and builds replies with its own code; it shares nothing with the
// utility's encoders, so that a fault in the utility's framing shows up as a missing or wrong reply.
//
// Typical use in a test (same thread, event-driven):
//
//     Simulator sim;
//     QVERIFY(sim.open());
//     SimInstrument* a = sim.addInstrument(1, SimInstrument::VXA);
//     a->setNet(-120);                       // register 0 = 120, status bit 0 set
//     QSignalSpy req(&sim, &Simulator::requestReceived);
//     ... client opens sim.devicePath(), sends ":0107F8\r\n" ...
//     QVERIFY(req.wait());
//     sim.setFault(1, SimFault::late(800));  // replies 800 ms late from now on
//
// Everything runs on the thread that owns the Simulator, driven by socket notifiers and timers: no
// thread of its own, no busy loop. To keep its work away from a measured client, run it in a SimThread.

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>

#include <deque>
#include <functional>
#include <map>
#include <memory>

class SimPseudoTerminal;
class SimDeadlineTimer;
class Simulator;

// Misbehaviour of one address. Several fields may be set at once; they combine in this order when a
// reply is built: echo or exception instead of the normal reply, wrong LRC, CR inside the data, lower
// case (all or only the LRC), cut, noise in front; then the delivery: late, split into pieces (and wire
// pacing, when on).
struct SimFault {
    // No reply and no action at all, as if the instrument were switched off. (For "acted, but the reply
    // was lost", use cutAfter = 0.)
    bool silent = false;
    // The reply leaves this many milliseconds after the request arrived (or after the request's wire
    // time, with wire-time emulation on).
    int lateMs = 0;
    // The LRC of the reply is off by one.
    bool wrongLrc = false;
    // The whole reply, LRC included, in lower-case hex.
    bool lowerCase = false;
    // Characters sent in front of the ":" (for example "\n" or "xx").
    QByteArray noise;
    // The reply is written in this many pieces (values below 2: in one piece), with splitPauseMs
    // between two pieces.
    int splitPieces = 0;
    int splitPauseMs = 0;
    // Nonzero: every request is answered with an exception reply (function | 0x80) carrying this code,
    // and not acted on.
    int exceptionCode = 0;
    // A CR is placed in the data, right after the function code (the frame still ends with CR LF).
    bool crInData = false;
    // 0 or more: only the first cutAfter characters of the reply are sent (noise not counted). The
    // request is still acted on. -1: the whole reply.
    int cutAfter = -1;
    // Only the two LRC digits in lower-case hex (a reply whose LRC has no letter looks right).
    bool lowerCaseLrc = false;
    // The request comes back as it was sent, in place of the reply, and is not acted on (a line that
    // echoes what the PC sends). For a single-register write it looks like the right answer.
    bool echoRequest = false;

    bool isNone() const;

    static SimFault none() { return {}; }
    static SimFault mute();
    static SimFault late(int ms);
    static SimFault badLrc();
    static SimFault lower();
    static SimFault withNoise(const QByteArray& noise);
    static SimFault split(int pieces, int pauseMs);
    static SimFault exception(int code);
    static SimFault cut(int chars);
    static SimFault crInside();
    static SimFault lowerLrc();
    static SimFault echo();

    // Reads a fault from text, as quartel-sim takes it: one or more of the words below joined by "+",
    // for example "late=300+split=3/50":
    //   none  silent  late=MS  wrong-lrc  lower-case  lower-lrc  noise=TEXT  split=PIECES[/PAUSE_MS]
    //   exception=CODE  echo  cut=CHARS  cr-in-data
    // TEXT may use \n, \r, \xHH and \\ (noise alone means "xx"); PAUSE_MS defaults to 20. False, with
    // `error` set, for anything else.
    static bool parse(const QString& text, SimFault& fault, QString* error = nullptr);
    // The words parse() takes, with what they do, one per line (for a help text).
    static QString syntaxHelp();
};
Q_DECLARE_METATYPE(SimFault) // usable in QTest data tables

// One request as it arrived on the line.
struct SimRequest {
    qint64 timeNs = 0;  // arrival of its ":" (read time), monotonic clock (Simulator::nowNs(); on Linux
                        // the clock of QElapsedTimer: msecsSinceReference() * 1000000 compares)
    int address = -1;   // as parsed; -1 when the frame could not be parsed at all
    int function = -1;  // as parsed; -1 when unknown
    bool valid = false; // well-formed hex with a right LRC
    QByteArray frame;   // raw, from ":" through LF
};

// One simulated instrument.
//
// Holding registers (function 03; writes with 06 / 10 go to the working copy):
//   0x0110-0x0111 set-points (1000, 2000)        0x0200 peak (read only, setPeak)
//   0x1000-0x1006 capacity 10000, sensitivity 20000, theoretical net 10000, dead load 0
//   0x1010 operating mode 0 (VXA only)           0x1050 division code 9
//   0x1100-0x1104 filter 5, motion 2, auto-zero 0, tracking 2, zero band 100
//   0x2000-0x2007 relay outputs: mode words 0, hysteresis 2, times 0 (VXA only)
//   0x3000-0x3007 baud 1, mode 5 (MODBUS), address = own address, delay 0, format 6, Com2 0 / 1 / 0
//   0x4000-0x4005 full scale 10000, source 0, range 1, offsets 6400 / 57600, zero 0 (VXA only)
//   0x0800 command, 0x0801 sample weight / access code, 0x0802 mode (0, 3, 4, 5, 6; others refused
//   with exception 03, and so are 3..6 on a VXB), 0x0803 analog test level; these read back as last
//   written. Modes: 3 analog zero trimming, 4 full-scale trimming, 5 relay test, 6 analog test.
// Coils written with 0F are forced only in the relay test (mode 5): entering or leaving it releases
// them; outside it the write is answered with its echo and has no effect.
// Commands written to 0x0800 (06, or 10 together with 0x0801; a block write runs the command after all
// its registers are in):
//   0x0010 zero: net and gross become 0.   0x0011 span: net and gross become the value of 0x0801.
//   0x0018 memory reset when 0x0801 holds 40718: defaults (the address is kept), then a restart;
//          with another code nothing happens but the echo.
//   0x0020 store: working copy -> stored copy, setup ends.
//   0x0021 discard: stored copy -> working copy, then a restart (back at the stored address).
//   A restart keeps the instrument silent for restartMs() after its echo (the utility shows "RESET"
//   meanwhile), then it answers with the stored values; mode 0, forced coils off, test level 0.
// Writing 0x3002 moves the instrument to the new address once the echo has gone out (a value outside
// 1..247 or taken by another instrument is refused with exception 03). A division code change rescales
// nothing. Input registers (04): 0 net, 1 gross (magnitudes in divisions), 2-3 internal points (high
// word first, default 2096000 = "0" points), 4 signal in µV (magnitude), 5 version (32). Status byte
// (07): bits as StatusBit, default Stable. Discrete inputs (02) and coils (01, 0F): 2 each.
// Any register the model lacks, or a read running past a block, gets exception 02; other functions
// exception 01. The one exception: a VXB confirms a write of the blocks it lacks as a whole (0x1010
// with 06, 0x2000 and 0x4000 from their first register with 10) with the usual echo and keeps nothing
// of it, so that the group writes of a setup file go to both models alike; reading them stays refused.
//
// Owned by its Simulator; the pointer stays valid while the instrument exists, also across an address
// change. Not thread-safe: use it on the Simulator's thread.
class SimInstrument {
public:
    enum Model { VXA = 1, VXB = 2 };

    // Status byte bits (function 07).
    enum StatusBit : quint8 {
        NetNegative = 0x01,
        GrossNegative = 0x02,
        Stable = 0x04,
        SignalNegative = 0x08,
        ShowUnderscores = 0x10, // display "_______"
        ShowDashes = 0x20,      // display "-------"
        Overload = 0x40,        // display " O - L "
    };

    // The access code that command 0x0018 needs in register 0x0801.
    static constexpr quint16 ResetAccessCode = 40718;

    SimInstrument(int address, int model);

    int address() const { return address_; }
    int model() const { return model_; }

    // --- live values (scripted by tests) ---------------------------------------------------------
    // Net and gross weight in divisions; the sign goes to status bits 0 / 1, the magnitude (at most
    // 65535) to input registers 0 / 1.
    void setNet(qint32 divisions);
    void setGross(qint32 divisions);
    void setWeight(qint32 netDivisions, qint32 grossDivisions);
    // The load on the scale as the load cell sees it, in divisions of the factory calibration (the
    // demo's moving load). What is shown is that load through the instrument's own calibration: a zero
    // command takes the load on the scale as the new zero, a full-scale command with a sample weight
    // makes the load on the scale read the sample. Once a load is set, the commands act on it.
    void setLoad(qint32 netDivisions, qint32 grossDivisions);
    void setStable(bool stable);
    // Load-cell signal in thousandths of a millivolt; sign to status bit 3, magnitude to register 4.
    void setSignal(qint32 microvolts);
    // Sets or clears status bits (any of StatusBit).
    void setStatusBits(quint8 mask, bool on);
    // Replaces the whole status byte (the sign bits are then whatever `status` says).
    void setStatusByte(quint8 status) { status_ = status; }
    // Internal points, 32 bits, input registers 2 (high word) and 3.
    void setInternalPoints(quint32 points);
    // Software version, input register 5 (32 shows as "3.2").
    void setVersion(quint16 version) { input_[5] = version; }
    // Peak weight in divisions, holding register 0x0200.
    void setPeak(quint16 divisions);
    // Digital inputs, function 02: bit 0 input 1, bit 1 input 2.
    void setInputs(quint8 bits) { inputs_ = bits & 3; }
    // Relay outputs as the instrument drives them (function 01 outside relay test mode).
    void setRelays(quint8 bits) { relays_ = bits & 3; }
    // How long the instrument stays silent after a restart (0x0021, memory reset). Default 500 ms.
    void setRestartMs(int ms) { restartMs_ = ms; }

    quint8 statusByte() const { return status_; }
    quint16 inputRegister(int index) const; // 0..5; 0 outside
    quint8 inputs() const { return inputs_; }
    quint8 relays() const { return relays_; }
    // What function 01 reads: the forced coils while in relay test mode (0x0802 = 5), else relays().
    quint8 coils() const;
    quint8 forcedCoils() const { return forced_; }
    int restartMs() const { return restartMs_; }

    // --- holding registers -------------------------------------------------------------------------
    // True when the model has the holding register (configuration, set-points, peak, commands).
    bool hasHolding(quint16 reg) const;
    // The working copy (what function 03 reads). Command registers 0x0800..0x0803 read as last written.
    quint16 holding(quint16 reg) const;
    // The stored copy (what survives a restart). Equals holding() for registers without one.
    quint16 stored(quint16 reg) const;
    // Sets a register directly, with no command side effects. setHolding changes the working copy,
    // setStored the stored copy; both return false for a register the model does not have.
    bool setHolding(quint16 reg, quint16 value);
    bool setStored(quint16 reg, quint16 value);
    // Puts every configuration register, working and stored, back to its default.
    void resetToDefaults();
    static quint16 defaultValue(quint16 reg, int address);

    // Mode register 0x0802, analog test level 0x0803, last command written to 0x0800, 0x0801.
    quint16 mode() const { return mode_; }
    quint16 analogLevel() const { return analogLevel_; }
    quint16 lastCommand() const { return command_; }
    quint16 parameter() const { return parameter_; }

    // True from the first configuration write until the store (0x0020) or discard (0x0021) command.
    bool setupActive() const { return setupActive_; }
    // True while restarting (silent).
    bool restarting() const;

    // How often each command was carried out.
    int zeroCount() const { return zeroCount_; }                 // 0x0010
    int spanCount() const { return spanCount_; }                 // 0x0011
    int storeCount() const { return storeCount_; }               // 0x0020
    int restartCount() const { return restartCount_; }           // 0x0021 and memory resets
    int memoryResetCount() const { return memoryResetCount_; }   // 0x0018 with the right code
    int refusedResetCount() const { return refusedResetCount_; } // 0x0018 with a wrong code

    // Misbehaviour of this instrument (see SimFault). Set at any time; applies to the next request.
    SimFault fault;

    // --- a scale that fails its verification -------------------------------------------------------
    // Weighing errors, in divisions of the shown weight: a linearity error proportional to the load,
    // a hysteresis added to a load placed after a heavier one, an offset off the centre of the scale.
    struct ScaleErrors {
        double linearPercent = 0; // "linear:0.02%": the load reads 0.02 % heavy
        qint32 hysteresis = 0;    // "hysteresis:2": 2 divisions more on the way down
        qint32 eccentric = 0;     // "eccentric:3": 3 divisions more at positions 1..4
        // One or more of those words joined by "," ("none" for no error). False, with `error` set, on
        // a bad text.
        static bool parse(const QString& text, ScaleErrors& out, QString* error = nullptr);
    };
    ScaleErrors errors;
    // A test load of `divisions` placed at `position` (0 the centre, 1..4 over the points of support):
    // the load on the scale becomes that load through the errors above. For settleMs() the weight
    // swings (halfway between the last load and this one, the stable bit clear) before it settles.
    void placeLoad(qint32 divisions, int position = 0);
    void setSettleMs(int ms) { settleMs_ = ms; }
    int settleMs() const { return settleMs_; }

private:
    friend class Simulator;

    // The outcome of one request: a PDU (function + data) to send back, or none.
    struct Outcome {
        QByteArray pdu;
        bool reply = false;
        int moveTo = 0;       // move to this address after the reply is out
        bool restart = false; // fall silent for restartMs after the reply is out
    };
    // `occupied(address)` tells whether another instrument answers there (for 0x3002).
    Outcome handle(int function, const QByteArray& data, const std::function<bool(int)>& occupied);
    Outcome exception(int function, int code) const;
    bool isStorable(quint16 reg) const;
    bool isWritable(quint16 reg) const;
    // A VXB write of a block it lacks: confirmed with its echo, nothing kept.
    bool ignoredWrite(int function, quint16 start, int count) const;
    int checkWrite(quint16 reg, quint16 value, const std::function<bool(int)>& occupied) const;
    void writeRegister(quint16 reg, quint16 value, Outcome& out);
    void runCommand(quint16 code, Outcome& out);
    void restartNow();

    int address_;
    int model_;
    std::map<quint16, quint16> working_;
    std::map<quint16, quint16> stored_;
    quint16 input_[6] = {};
    quint8 status_ = Stable;
    quint8 inputs_ = 0;
    quint8 relays_ = 0;
    quint8 forced_ = 0;
    quint16 peak_ = 0;
    quint16 command_ = 0;
    quint16 parameter_ = 0;
    // The load set by setLoad and the calibration applied to it (zero load and span factor).
    bool loadSet_ = false;
    qint32 loadNet_ = 0;
    qint32 loadGross_ = 0;
    qint32 zeroNet_ = 0;
    qint32 zeroGross_ = 0;
    double span_ = 1.0;
    void showLoad();
    quint16 mode_ = 0;
    quint16 analogLevel_ = 0;
    bool setupActive_ = false;
    int restartMs_ = 500;
    int settleMs_ = 300;
    qint64 unstableUntilNs_ = 0;
    bool settling_ = false;
    qint32 settledLoad_ = 0;
    void settle(); // the placed load once its time to settle is over
    bool placed_ = false;
    qint32 lastPlaced_ = 0;
    qint64 silentUntilNs_ = 0;
    int zeroCount_ = 0;
    int spanCount_ = 0;
    int storeCount_ = 0;
    int restartCount_ = 0;
    int memoryResetCount_ = 0;
    int refusedResetCount_ = 0;
};

// The line and its instruments.
class Simulator : public QObject {
    Q_OBJECT
public:
    explicit Simulator(QObject* parent = nullptr);
    ~Simulator() override;

    // Opens the pseudo-terminal. False (see errorString()) when the system refuses one.
    bool open();
    bool isOpen() const;
    QString errorString() const;
    // The slave side for the client, e.g. "/dev/pts/5". Empty before open().
    QString devicePath() const;
    // Creates a symbolic link `path` to the slave (an old link there is replaced; any other file is
    // left alone and the call fails). The link is removed when the Simulator is destroyed.
    bool makeLink(const QString& path);
    QString linkPath() const { return linkPath_; }
    // Takes `bytes` as if they had just arrived on the line (the fuzzer feeds the request parser so).
    void feed(const QByteArray& bytes) { onReceived(bytes, nowNs()); }

    // --- instruments ---------------------------------------------------------------------------------
    // Adds an instrument at `address` (1..247) of `model` (1 or 2), with default registers; replaces an
    // instrument already there. Returns nullptr for an invalid address or model.
    SimInstrument* addInstrument(int address, int model);
    void removeInstrument(int address);
    // The instrument answering at `address` now, or nullptr.
    SimInstrument* instrument(int address) const;
    QList<int> addresses() const;

    // --- faults --------------------------------------------------------------------------------------
    // Sets the fault of the instrument at `address` (no effect without an instrument there).
    void setFault(int address, const SimFault& fault);
    SimFault fault(int address) const;
    void clearFaults();
    // A pulled cable: nothing on the line is answered or acted on (requests are still recorded).
    void setLineSilent(bool silent) { lineSilent_ = silent; }
    bool lineSilent() const { return lineSilent_; }
    // An adapter without echo suppression: every frame sent to the line comes back to the sender as
    // it was sent, before any reply (also for frames nobody answers). Reported by replyWritten with
    // the request's address, like a reply.
    void setLocalEcho(bool on) { localEcho_ = on; }
    bool localEcho() const { return localEcho_; }

    // --- wire time -------------------------------------------------------------------------------------
    // With wire time on, a reply is not complete before (request chars + reply chars) × 10 bits / baud
    // after the request's ":" arrived, and it is delivered at that pace in chunks of chunkChars.
    void setWireTime(bool on, int baud = 19200);
    bool wireTime() const { return wireTime_; }
    qint64 charTimeNs() const { return charTimeNs_; }
    void setWireChunkChars(int chars) { chunkChars_ = qMax(1, chars); }

    // --- record of requests (thread-safe accessors) ---------------------------------------------------
    // Every complete frame (":" .. LF) that arrived, valid or not, in order; the oldest entries are
    // dropped beyond recordLimit() (default 10000) so that long runs keep a flat memory.
    QList<SimRequest> requests() const;
    // The requests received for one address.
    QList<SimRequest> requestsTo(int address) const;
    // Only the raw frames, in order.
    QList<QByteArray> frames() const;
    void clearRequests();
    // Frames received since open (not reduced by the limit or clearRequests()).
    qint64 requestCount() const;
    void setRecordLimit(int limit);
    int recordLimit() const;

    // Replies still waiting for their time (late, split, paced) or in the output buffer.
    bool replyPending() const;

    // The simulator's clock: monotonic nanoseconds (CLOCK_MONOTONIC).
    static qint64 nowNs();

signals:
    // A complete frame arrived (after it was acted on). `address` is -1 for an unparseable frame.
    void requestReceived(int address, const QByteArray& frame);
    // A reply has been written to the line completely (the bytes as sent, faults included).
    void replyWritten(int address, const QByteArray& reply);

private:
    struct PendingReply {
        int address = 0;
        QByteArray bytes;
        std::function<void()> after;
    };
    struct OutItem {
        qint64 dueNs = 0;
        QByteArray bytes;
        int replyId = 0;
        bool last = false;
    };
    struct Marker {
        qint64 endOffset = 0; // reply complete once this many bytes were written
        int replyId = 0;
    };

    void onReceived(const QByteArray& bytes, qint64 nowNs);
    void handleFrame(const QByteArray& frame, qint64 arrivalNs);
    void schedule(int address, const QByteArray& frame, const SimFault& fault, qint64 requestEndNs,
                  std::function<void()> after);
    void dispatchDue();
    void checkMarkers();
    void moveInstrument(SimInstrument* inst, int newAddress);
    void record(const SimRequest& r);

    SimPseudoTerminal* pty_ = nullptr;
    SimDeadlineTimer* timer_ = nullptr;
    std::map<int, std::unique_ptr<SimInstrument>> instruments_;
    bool lineSilent_ = false;
    bool localEcho_ = false;
    bool wireTime_ = false;
    qint64 charTimeNs_ = 0;
    int chunkChars_ = 8;
    QString linkPath_;

    QByteArray inFrame_; // frame being collected, from ":"
    qint64 inFrameStartNs_ = 0;
    bool inFrameActive_ = false;

    std::deque<OutItem> schedule_; // by due time
    std::map<int, PendingReply> replies_;
    std::deque<Marker> markers_;
    int nextReplyId_ = 1;

    mutable QMutex recordMutex_;
    std::deque<SimRequest> record_;
    qint64 requestCount_ = 0;
    int recordLimit_ = 10000;
};

// Runs a Simulator in a thread of its own (benchmarks, the utility's demo mode), so that its work does
// not count against the client being measured.
//
//     SimThread t;
//     QVERIFY(t.start([](Simulator& s) { s.addInstrument(1, 1); s.setWireTime(true); }));
//     port.setPortName(t.devicePath());
//     t.run([](Simulator& s) { s.instrument(1)->setNet(50); });
//     int n = t.call([](Simulator& s) { return int(s.requestCount()); });
//
// Connect to simulator()'s signals with queued connections (the default across threads). The record
// accessors of the Simulator are thread-safe; everything else goes through run() / call().
class SimThread : public QObject {
    Q_OBJECT
public:
    explicit SimThread(QObject* parent = nullptr);
    ~SimThread() override; // stops the thread and destroys the simulator in it

    // Starts the thread, creates and opens the Simulator there and runs `setup` on it. False when the
    // terminal could not be opened.
    bool start(const std::function<void(Simulator&)>& setup = {});
    void stop();
    Simulator* simulator() const { return sim_; }
    QString devicePath() const { return devicePath_; }

    // Runs `f` on the simulator's thread and waits for it.
    void run(const std::function<void(Simulator&)>& f);
    template <typename F> auto call(F f) -> decltype(f(std::declval<Simulator&>())) {
        using R = decltype(f(std::declval<Simulator&>()));
        R result{};
        run([&](Simulator& s) { result = f(s); });
        return result;
    }

private:
    QThread thread_;
    QObject* context_ = nullptr; // lives in thread_
    Simulator* sim_ = nullptr;
    QString devicePath_;
};
