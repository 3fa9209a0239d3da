// The simulated line: frames in, replies out, faults and wire timing.

#include "simulator.h"

#include "pty.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QStringList>

#include <algorithm>
#include <unistd.h>

namespace {

constexpr int MaxFrameChars = 600; // longer than any MODBUS ASCII frame (513)

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Decodes pairs of hex digits (either case). False on an odd length or a non-hex character.
bool decodeHex(const QByteArray& text, QByteArray& bytes) {
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    bytes.reserve(text.size() / 2);
    for (qsizetype i = 0; i < text.size(); i += 2) {
        const int hi = hexDigit(text[i]);
        const int lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.append(char(hi * 16 + lo));
    }
    return true;
}

QByteArray encodeHexUpper(const QByteArray& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    QByteArray text;
    text.reserve(bytes.size() * 2);
    for (const char b : bytes) {
        text.append(digits[(quint8(b) >> 4) & 0xF]);
        text.append(digits[quint8(b) & 0xF]);
    }
    return text;
}

quint8 lrcOf(const QByteArray& bytes) {
    quint8 sum = 0;
    for (const char b : bytes)
        sum = quint8(sum + quint8(b));
    return quint8(-sum);
}

bool isWriteFunction(int function) {
    return function == 0x05 || function == 0x06 || function == 0x0F || function == 0x10;
}

} // namespace

// ---- SimFault ----------------------------------------------------------------------------------------

bool SimFault::isNone() const {
    return !silent && lateMs == 0 && !wrongLrc && !lowerCase && noise.isEmpty() && splitPieces < 2 &&
           exceptionCode == 0 && !crInData && cutAfter < 0 && !lowerCaseLrc && !echoRequest;
}

SimFault SimFault::mute() {
    SimFault f;
    f.silent = true;
    return f;
}

SimFault SimFault::late(int ms) {
    SimFault f;
    f.lateMs = ms;
    return f;
}

SimFault SimFault::badLrc() {
    SimFault f;
    f.wrongLrc = true;
    return f;
}

SimFault SimFault::lower() {
    SimFault f;
    f.lowerCase = true;
    return f;
}

SimFault SimFault::withNoise(const QByteArray& noise) {
    SimFault f;
    f.noise = noise;
    return f;
}

SimFault SimFault::split(int pieces, int pauseMs) {
    SimFault f;
    f.splitPieces = pieces;
    f.splitPauseMs = pauseMs;
    return f;
}

SimFault SimFault::exception(int code) {
    SimFault f;
    f.exceptionCode = code;
    return f;
}

SimFault SimFault::cut(int chars) {
    SimFault f;
    f.cutAfter = chars;
    return f;
}

SimFault SimFault::crInside() {
    SimFault f;
    f.crInData = true;
    return f;
}

SimFault SimFault::lowerLrc() {
    SimFault f;
    f.lowerCaseLrc = true;
    return f;
}

SimFault SimFault::echo() {
    SimFault f;
    f.echoRequest = true;
    return f;
}

namespace {

// Noise text with \n, \r, \xHH and \\ escapes. False on a bad escape.
bool unescape(const QString& text, QByteArray& out) {
    const QByteArray in = text.toLatin1();
    out.clear();
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out.append(in[i]);
            continue;
        }
        if (++i >= in.size())
            return false;
        switch (in[i]) {
        case 'n':
            out.append('\n');
            break;
        case 'r':
            out.append('\r');
            break;
        case '\\':
            out.append('\\');
            break;
        case 'x': {
            const int hi = i + 1 < in.size() ? hexDigit(in[i + 1]) : -1;
            const int lo = i + 2 < in.size() ? hexDigit(in[i + 2]) : -1;
            if (hi < 0 || lo < 0)
                return false;
            out.append(char(hi * 16 + lo));
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

// A whole number in [min, max].
bool numberIn(const QString& text, int min, int max, int& value) {
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= min && value <= max;
}

} // namespace

bool SimFault::parse(const QString& text, SimFault& fault, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    SimFault f;
    const QStringList words = text.split(QLatin1Char('+'));
    for (const QString& word : words) {
        const qsizetype eq = word.indexOf(QLatin1Char('='));
        const QString name = (eq < 0 ? word : word.left(eq)).trimmed().toLower();
        const bool hasValue = eq >= 0;
        const QString value = hasValue ? word.mid(eq + 1) : QString();
        const auto bad = [&] { return fail(QStringLiteral("bad value in \"%1\"").arg(word)); };
        int n = 0;
        if (name == QLatin1String("none") && !hasValue) {
            f = SimFault{};
        } else if (name == QLatin1String("silent") && !hasValue) {
            f.silent = true;
        } else if (name == QLatin1String("late")) {
            if (!numberIn(value, 1, 600000, n))
                return bad();
            f.lateMs = n;
        } else if (name == QLatin1String("wrong-lrc") && !hasValue) {
            f.wrongLrc = true;
        } else if (name == QLatin1String("lower-case") && !hasValue) {
            f.lowerCase = true;
        } else if (name == QLatin1String("lower-lrc") && !hasValue) {
            f.lowerCaseLrc = true;
        } else if (name == QLatin1String("noise")) {
            if (!hasValue) {
                f.noise = "xx";
            } else if (!unescape(value, f.noise) || f.noise.isEmpty() || f.noise.contains(':')) {
                return bad();
            }
        } else if (name == QLatin1String("split")) {
            const QStringList parts = value.split(QLatin1Char('/'));
            int pause = 20;
            if (parts.size() > 2 || !numberIn(parts[0], 2, 100, n) ||
                (parts.size() == 2 && !numberIn(parts[1], 0, 60000, pause)))
                return bad();
            f.splitPieces = n;
            f.splitPauseMs = pause;
        } else if (name == QLatin1String("exception")) {
            if (!numberIn(value, 1, 255, n))
                return bad();
            f.exceptionCode = n;
        } else if (name == QLatin1String("echo") && !hasValue) {
            f.echoRequest = true;
        } else if (name == QLatin1String("cut")) {
            if (!numberIn(value, 0, 1000, n))
                return bad();
            f.cutAfter = n;
        } else if (name == QLatin1String("cr-in-data") && !hasValue) {
            f.crInData = true;
        } else {
            return fail(QStringLiteral("unknown fault \"%1\"").arg(word));
        }
    }
    fault = f;
    return true;
}

QString SimFault::syntaxHelp() {
    return QStringLiteral("none             no fault (lifts the faults of the address)\n"
                          "silent           no reply and no action, as if switched off\n"
                          "late=MS          the reply leaves MS milliseconds late\n"
                          "wrong-lrc        the LRC of the reply is off by one\n"
                          "lower-case       the whole reply in lower-case hex\n"
                          "lower-lrc        only the LRC in lower-case hex\n"
                          "noise=TEXT       TEXT before the \":\" (\\n \\r \\xHH escapes; default xx)\n"
                          "split=N[/MS]     the reply in N pieces, MS ms apart (default 20)\n"
                          "exception=CODE   an exception reply with CODE, not acted on\n"
                          "echo             the request comes back instead of a reply, not acted on\n"
                          "cut=CHARS        only the first CHARS characters of the reply\n"
                          "cr-in-data       a CR inside the reply\n"
                          "Join several with \"+\", e.g. late=300+split=3/50.");
}

// ---- Simulator ---------------------------------------------------------------------------------------

Simulator::Simulator(QObject* parent) : QObject(parent) {
    pty_ = new SimPseudoTerminal(this);
    timer_ = new SimDeadlineTimer(this);
    connect(pty_, &SimPseudoTerminal::received, this, &Simulator::onReceived);
    connect(pty_, &SimPseudoTerminal::written, this, &Simulator::checkMarkers);
    connect(timer_, &SimDeadlineTimer::fired, this, &Simulator::dispatchDue);
}

Simulator::~Simulator() {
    if (!linkPath_.isEmpty()) {
        const QFileInfo info(linkPath_);
        if (info.isSymLink() && info.symLinkTarget() == QFileInfo(devicePath()).absoluteFilePath())
            QFile::remove(linkPath_);
    }
    timer_->disarm();
    pty_->close();
}

bool Simulator::open() {
    return pty_->open();
}

bool Simulator::isOpen() const {
    return pty_->isOpen();
}

QString Simulator::errorString() const {
    return pty_->errorString();
}

QString Simulator::devicePath() const {
    return pty_->slavePath();
}

bool Simulator::makeLink(const QString& path) {
    if (!isOpen() || path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (info.isSymLink())
        QFile::remove(path);
    else if (info.exists())
        return false;
    if (::symlink(QFile::encodeName(devicePath()).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    linkPath_ = path;
    return true;
}

qint64 Simulator::nowNs() {
    return simNowNs();
}

SimInstrument* Simulator::addInstrument(int address, int model) {
    if (address < 1 || address > 247 || (model != SimInstrument::VXA && model != SimInstrument::VXB))
        return nullptr;
    auto& slot = instruments_[address];
    slot = std::make_unique<SimInstrument>(address, model);
    return slot.get();
}

void Simulator::removeInstrument(int address) {
    instruments_.erase(address);
}

SimInstrument* Simulator::instrument(int address) const {
    const auto it = instruments_.find(address);
    return it == instruments_.end() ? nullptr : it->second.get();
}

QList<int> Simulator::addresses() const {
    QList<int> list;
    for (const auto& [address, inst] : instruments_)
        list.append(address);
    return list;
}

void Simulator::setFault(int address, const SimFault& fault) {
    if (SimInstrument* inst = instrument(address))
        inst->fault = fault;
}

SimFault Simulator::fault(int address) const {
    const SimInstrument* inst = instrument(address);
    return inst ? inst->fault : SimFault{};
}

void Simulator::clearFaults() {
    for (auto& [address, inst] : instruments_)
        inst->fault = SimFault{};
    lineSilent_ = false;
}

void Simulator::setWireTime(bool on, int baud) {
    wireTime_ = on && baud > 0;
    charTimeNs_ = wireTime_ ? 10LL * 1000000000LL / baud : 0;
}

// ---- record --------------------------------------------------------------------------------------------

void Simulator::record(const SimRequest& r) {
    QMutexLocker lock(&recordMutex_);
    ++requestCount_;
    record_.push_back(r);
    while (int(record_.size()) > recordLimit_)
        record_.pop_front();
}

QList<SimRequest> Simulator::requests() const {
    QMutexLocker lock(&recordMutex_);
    return QList<SimRequest>(record_.begin(), record_.end());
}

QList<SimRequest> Simulator::requestsTo(int address) const {
    QMutexLocker lock(&recordMutex_);
    QList<SimRequest> list;
    for (const SimRequest& r : record_) {
        if (r.address == address)
            list.append(r);
    }
    return list;
}

QList<QByteArray> Simulator::frames() const {
    QMutexLocker lock(&recordMutex_);
    QList<QByteArray> list;
    list.reserve(qsizetype(record_.size()));
    for (const SimRequest& r : record_)
        list.append(r.frame);
    return list;
}

void Simulator::clearRequests() {
    QMutexLocker lock(&recordMutex_);
    record_.clear();
}

qint64 Simulator::requestCount() const {
    QMutexLocker lock(&recordMutex_);
    return requestCount_;
}

void Simulator::setRecordLimit(int limit) {
    QMutexLocker lock(&recordMutex_);
    recordLimit_ = qMax(1, limit);
    while (int(record_.size()) > recordLimit_)
        record_.pop_front();
}

int Simulator::recordLimit() const {
    QMutexLocker lock(&recordMutex_);
    return recordLimit_;
}

bool Simulator::replyPending() const {
    return !schedule_.empty() || pty_->writtenTotal() < pty_->queuedTotal();
}

// ---- receiving ------------------------------------------------------------------------------------------

void Simulator::onReceived(const QByteArray& bytes, qint64 nowNs) {
    for (const char c : bytes) {
        if (c == ':') {
            // A ":" always starts a new frame; an unfinished one before it is dropped.
            inFrame_ = QByteArray(1, ':');
            inFrameStartNs_ = nowNs;
            inFrameActive_ = true;
            continue;
        }
        if (!inFrameActive_)
            continue; // noise between frames
        inFrame_.append(c);
        if (c == '\n') {
            inFrameActive_ = false;
            handleFrame(inFrame_, inFrameStartNs_);
            if (!isOpen())
                return;
        } else if (inFrame_.size() > MaxFrameChars) {
            inFrameActive_ = false;
        }
    }
}

void Simulator::handleFrame(const QByteArray& frame, qint64 arrivalNs) {
    SimRequest req;
    req.timeNs = arrivalNs;
    req.frame = frame;

    // ":" + hex + CR LF, at least address, function and LRC.
    QByteArray bytes;
    const bool framed = frame.size() >= 9 && frame.endsWith("\r\n");
    const QByteArray hex = framed ? frame.mid(1, frame.size() - 3) : frame.mid(1);
    if (hex.size() >= 2 && hexDigit(hex[0]) >= 0 && hexDigit(hex[1]) >= 0)
        req.address = hexDigit(hex[0]) * 16 + hexDigit(hex[1]);
    if (hex.size() >= 4 && hexDigit(hex[2]) >= 0 && hexDigit(hex[3]) >= 0)
        req.function = hexDigit(hex[2]) * 16 + hexDigit(hex[3]);
    req.valid = framed && decodeHex(hex, bytes) && bytes.size() >= 3 && lrcOf(bytes) == 0;
    record(req);

    const auto finish = [&] { emit requestReceived(req.address, req.frame); };
    if (lineSilent_)
        return finish();
    if (localEcho_) {
        // The adapter hands the frame back while it goes out: it starts with the request's ":", so
        // any reply comes after it.
        schedule(req.address, frame, SimFault{}, arrivalNs, {});
    }
    if (!req.valid)
        return finish();

    const int address = req.address;
    const int function = req.function;
    const QByteArray data = bytes.mid(2, bytes.size() - 3);
    const qint64 requestEndNs = wireTime_ ? arrivalNs + frame.size() * charTimeNs_ : simNowNs();

    if (address == 0) {
        // Broadcast: every instrument that listens acts on a write; nobody answers.
        if (isWriteFunction(function)) {
            std::vector<SimInstrument*> all;
            for (auto& [a, inst] : instruments_)
                all.push_back(inst.get());
            for (SimInstrument* inst : all) {
                if (inst->fault.silent || inst->fault.exceptionCode != 0 || inst->restarting())
                    continue;
                const auto out = inst->handle(function, data, [this, inst](int a) {
                    const SimInstrument* other = instrument(a);
                    return other && other != inst;
                });
                if (out.restart)
                    inst->silentUntilNs_ = requestEndNs + qint64(inst->restartMs_) * 1000000;
                if (out.moveTo)
                    moveInstrument(inst, out.moveTo);
            }
        }
        return finish();
    }

    SimInstrument* inst = instrument(address);
    if (!inst || inst->fault.silent || inst->restarting())
        return finish();

    const SimFault fault = inst->fault;
    if (fault.echoRequest) {
        // The request comes back as it is; the instrument never sees it.
        QByteArray text = frame;
        if (fault.cutAfter >= 0)
            text = text.left(fault.cutAfter);
        text.prepend(fault.noise);
        schedule(address, text, fault, requestEndNs, {});
        return finish();
    }
    const SimInstrument::Outcome out = fault.exceptionCode != 0
                                           ? inst->exception(function, fault.exceptionCode)
                                           : inst->handle(function, data, [this, inst](int a) {
                                                 const SimInstrument* other = instrument(a);
                                                 return other && other != inst;
                                             });
    if (!out.reply)
        return finish();

    // The reply frame, then the faults that change its text.
    QByteArray replyBytes;
    replyBytes.append(char(address));
    replyBytes.append(out.pdu);
    quint8 lrc = lrcOf(replyBytes);
    if (fault.wrongLrc)
        lrc = quint8(lrc + 1);
    QByteArray text = ":" + encodeHexUpper(replyBytes) + encodeHexUpper(QByteArray(1, char(lrc))) + "\r\n";
    if (fault.crInData)
        text.insert(5, '\r');
    if (fault.lowerCase)
        text = text.toLower();
    else if (fault.lowerCaseLrc)
        text.replace(text.size() - 4, 2, text.mid(text.size() - 4, 2).toLower());
    if (fault.cutAfter >= 0)
        text = text.left(fault.cutAfter);
    text.prepend(fault.noise);

    std::function<void()> after;
    if (out.restart || out.moveTo) {
        const bool restart = out.restart;
        const int moveTo = out.moveTo;
        after = [this, inst, restart, moveTo] {
            // The instrument may have been removed meanwhile.
            bool alive = false;
            for (const auto& [a, p] : instruments_)
                alive = alive || p.get() == inst;
            if (!alive)
                return;
            if (restart)
                inst->silentUntilNs_ = simNowNs() + qint64(inst->restartMs_) * 1000000;
            if (moveTo)
                moveInstrument(inst, moveTo);
        };
    }
    schedule(address, text, fault, requestEndNs, std::move(after));
    finish();
}

void Simulator::moveInstrument(SimInstrument* inst, int newAddress) {
    if (newAddress < 1 || newAddress > 247 || newAddress == inst->address_)
        return;
    if (instruments_.count(newAddress))
        return; // somebody answers there already
    auto it = instruments_.find(inst->address_);
    if (it == instruments_.end() || it->second.get() != inst)
        return;
    std::unique_ptr<SimInstrument> owned = std::move(it->second);
    instruments_.erase(it);
    owned->address_ = newAddress;
    instruments_[newAddress] = std::move(owned);
}

// ---- sending --------------------------------------------------------------------------------------------

void Simulator::schedule(int address, const QByteArray& text, const SimFault& fault, qint64 requestEndNs,
                         std::function<void()> after) {
    const int id = nextReplyId_++;
    replies_[id] = PendingReply{address, text, std::move(after)};

    // Pieces: the split fault, else the whole text.
    QList<QByteArray> pieces;
    const int n =
        fault.splitPieces >= 2 ? int(qMin<qsizetype>(fault.splitPieces, qMax<qsizetype>(1, text.size()))) : 1;
    if (n <= 1) {
        pieces.append(text);
    } else {
        qsizetype pos = 0;
        for (int i = 0; i < n; ++i) {
            const qsizetype len = (text.size() - pos) / (n - i);
            pieces.append(text.mid(pos, len));
            pos += len;
        }
    }

    std::vector<OutItem> items;
    qint64 t = requestEndNs + qint64(qMax(0, fault.lateMs)) * 1000000;
    for (int i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            t += qint64(qMax(0, fault.splitPauseMs)) * 1000000;
        const QByteArray& piece = pieces[i];
        if (!wireTime_ || piece.isEmpty()) {
            items.push_back(OutItem{t, piece, id, false});
            continue;
        }
        for (qsizetype pos = 0; pos < piece.size(); pos += chunkChars_) {
            const QByteArray chunk = piece.mid(pos, chunkChars_);
            t += chunk.size() * charTimeNs_; // the chunk is complete on the wire at t
            items.push_back(OutItem{t, chunk, id, false});
        }
    }
    items.back().last = true;

    for (OutItem& item : items) {
        // Keep the schedule ordered by time; equal times keep their order.
        const auto pos = std::upper_bound(schedule_.begin(), schedule_.end(), item.dueNs,
                                          [](qint64 due, const OutItem& o) { return due < o.dueNs; });
        schedule_.insert(pos, std::move(item));
    }
    dispatchDue();
}

void Simulator::dispatchDue() {
    const qint64 now = simNowNs();
    while (!schedule_.empty() && schedule_.front().dueNs <= now) {
        OutItem item = std::move(schedule_.front());
        schedule_.pop_front();
        pty_->write(item.bytes);
        if (item.last)
            markers_.push_back(Marker{pty_->queuedTotal(), item.replyId});
    }
    if (schedule_.empty())
        timer_->disarm();
    else
        timer_->arm(schedule_.front().dueNs);
    checkMarkers();
}

void Simulator::checkMarkers() {
    while (!markers_.empty() && markers_.front().endOffset <= pty_->writtenTotal()) {
        const int id = markers_.front().replyId;
        markers_.pop_front();
        const auto it = replies_.find(id);
        if (it == replies_.end())
            continue;
        PendingReply reply = std::move(it->second);
        replies_.erase(it);
        if (reply.after)
            reply.after();
        emit replyWritten(reply.address, reply.bytes);
    }
}

// ---- SimThread ------------------------------------------------------------------------------------------

SimThread::SimThread(QObject* parent) : QObject(parent) {
    thread_.setObjectName(QStringLiteral("simulator"));
}

SimThread::~SimThread() {
    stop();
}

bool SimThread::start(const std::function<void(Simulator&)>& setup) {
    if (sim_)
        return true;
    thread_.start();
    context_ = new QObject;
    context_->moveToThread(&thread_);
    bool ok = false;
    QMetaObject::invokeMethod(
        context_,
        [&] {
            sim_ = new Simulator;
            ok = sim_->open();
            if (ok && setup)
                setup(*sim_);
            devicePath_ = sim_->devicePath();
        },
        Qt::BlockingQueuedConnection);
    if (!ok)
        stop();
    return ok;
}

void SimThread::stop() {
    if (!thread_.isRunning())
        return;
    QMetaObject::invokeMethod(
        context_,
        [this] {
            delete sim_;
            sim_ = nullptr;
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delete context_;
    context_ = nullptr;
}

void SimThread::run(const std::function<void(Simulator&)>& f) {
    if (!sim_)
        return;
    if (QThread::currentThread() == &thread_) {
        f(*sim_);
        return;
    }
    QMetaObject::invokeMethod(
        context_, [&] { f(*sim_); }, Qt::BlockingQueuedConnection);
}
