#include "traffic.h"

#include "frame.h"
#include "registers.h"

#include <QDateTime>

#include <algorithm>

namespace {

// The bytes of a frame ":" + hex pairs + CR LF, the LRC byte last. False when the text is not such a
// frame.
bool FrameBytes(const QByteArray& frame, QByteArray* bytes) {
    if (frame.size() < 3 || frame.front() != ':' || !frame.endsWith("\r\n")) {
        return false;
    }
    const qsizetype hexChars = frame.size() - 3;
    if (hexChars % 2 != 0) {
        return false;
    }
    bytes->clear();
    bytes->reserve(hexChars / 2);
    for (qsizetype i = 1; i + 1 < frame.size() - 2; i += 2) {
        const int high = HexDigitValue(frame.at(i));
        const int low = HexDigitValue(frame.at(i + 1));
        if (high < 0 || low < 0) {
            return false;
        }
        bytes->append(char(high * 16 + low));
    }
    return true;
}

unsigned Byte(const QByteArray& bytes, qsizetype i) {
    return i < bytes.size() ? uint8_t(bytes.at(i)) : 0u;
}

unsigned Word(const QByteArray& bytes, qsizetype i) {
    return Byte(bytes, i) * 256 + Byte(bytes, i + 1);
}

bool IsReadOfRegisters(int function) {
    return function == Fn::ReadHoldingRegisters || function == Fn::ReadInputRegisters;
}

bool IsReadOfBits(int function) {
    return function == Fn::ReadCoils || function == Fn::ReadDiscreteInputs;
}

QString Pick(int languageIndex, const char* italian, const char* english) {
    return QString::fromUtf8(languageIndex == 1 ? english : italian);
}

// Where a function's register number points.
enum class Space { None, Coils, Inputs, InputRegisters, Holding };

Space SpaceOf(int function) {
    switch (function) {
    case Fn::ReadCoils:
    case Fn::WriteMultipleCoils:
        return Space::Coils;
    case Fn::ReadDiscreteInputs:
        return Space::Inputs;
    case Fn::ReadInputRegisters:
        return Space::InputRegisters;
    case Fn::ReadHoldingRegisters:
    case Fn::WriteSingleRegister:
    case Fn::WriteMultipleRegisters:
        return Space::Holding;
    default:
        return Space::None;
    }
}

struct RegisterName {
    Space space;
    uint16_t reg;
    const char* italian;
    const char* english;
};

// The registers the program addresses, by the first register of a request.
constexpr RegisterName RegisterNames[] = {
    {Space::Coils, Reg::Coils, "uscite relè", "relay outputs"},
    {Space::Inputs, Reg::Inputs, "ingressi", "digital inputs"},
    {Space::InputRegisters, Reg::Weight, "peso", "weight"},
    {Space::InputRegisters, Reg::Version, "versione", "version"},
    {Space::Holding, Reg::SetPoints, "set-point", "set-points"},
    {Space::Holding, Reg::Peak, "picco", "peak"},
    {Space::Holding, Reg::Command, "comando", "command"},
    {Space::Holding, Reg::CommandParameter, "peso campione o codice", "sample weight or access code"},
    {Space::Holding, Reg::Mode, "modo", "mode"},
    {Space::Holding, Reg::AnalogTestLevel, "livello test analogico", "analog test level"},
    {Space::Holding, Reg::WeightConstants, "costanti di pesata", "weighing constants"},
    {Space::Holding, Reg::OperatingMode, "modo operativo", "operating mode"},
    {Space::Holding, Reg::DivisionCode, "divisione", "division code"},
    {Space::Holding, Reg::WeightParameters, "parametri di pesata", "weighing parameters"},
    {Space::Holding, Reg::Outputs, "uscite", "relay outputs block"},
    {Space::Holding, Reg::Serial, "porte seriali", "serial ports"},
    {Space::Holding, Reg::Analog, "uscita analogica", "analog output"},
    {Space::Holding, Reg::AnalogZeroAdjust, "zero analogico", "analog zero"},
    {Space::Holding, Reg::AnalogFullScaleAdjust, "fondo scala analogico", "analog full scale"},
};

QString NameOfRegister(int function, int reg, int languageIndex) {
    const Space space = SpaceOf(function);
    for (const RegisterName& row : RegisterNames) {
        if (row.space == space && row.reg == reg) {
            return Pick(languageIndex, row.italian, row.english);
        }
    }
    return {};
}

QString NameOfFunction(int function, int languageIndex) {
    switch (function) {
    case Fn::ReadCoils:
        return Pick(languageIndex, "leggi coil", "read coils");
    case Fn::ReadDiscreteInputs:
        return Pick(languageIndex, "leggi ingressi", "read inputs");
    case Fn::ReadHoldingRegisters:
        return Pick(languageIndex, "leggi holding", "read holding");
    case Fn::ReadInputRegisters:
        return Pick(languageIndex, "leggi input", "read input");
    case Fn::WriteSingleRegister:
    case Fn::WriteMultipleRegisters:
        return Pick(languageIndex, "scrivi", "write");
    case Fn::ReadExceptionStatus:
        return Pick(languageIndex, "leggi stato", "read status");
    case Fn::WriteMultipleCoils:
        return Pick(languageIndex, "scrivi coil", "write coils");
    default:
        return Pick(languageIndex, "funzione", "function");
    }
}

QString Hex(unsigned value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

} // namespace

TrafficOutcome ClassifyReply(const QByteArray& request, const QByteArray& reply, uint8_t* exceptionCode) {
    QByteArray asked;
    QByteArray got;
    if (!FrameBytes(reply, &got) || got.size() < 3) {
        return TrafficOutcome::BadFrame;
    }
    // The LRC is compared as text, as the program's own check does: lower-case hex fails.
    const QByteArray body = reply.mid(1, reply.size() - 5);
    if (ComputeLrc(body) != reply.mid(reply.size() - 4, 2)) {
        return TrafficOutcome::BadLrc;
    }
    if (!FrameBytes(request, &asked) || asked.size() < 3) {
        return TrafficOutcome::Ok; // nothing to compare with
    }
    if (Byte(got, 0) != Byte(asked, 0)) {
        return TrafficOutcome::WrongAddress;
    }
    const unsigned function = Byte(asked, 1);
    const qsizetype data = got.size() - 3; // bytes between the function code and the LRC
    if (Byte(got, 1) == (function | Fn::ExceptionFlag)) {
        if (exceptionCode) {
            *exceptionCode = uint8_t(Byte(got, 2));
        }
        return data == 1 ? TrafficOutcome::Exception : TrafficOutcome::WrongLength;
    }
    if (Byte(got, 1) != function) {
        return TrafficOutcome::WrongFunction;
    }
    const unsigned count = Word(asked, 4);
    bool fits = true;
    if (IsReadOfRegisters(int(function))) {
        fits = data >= 1 && Byte(got, 2) == 2 * count && data == 1 + qsizetype(Byte(got, 2));
    } else if (IsReadOfBits(int(function))) {
        fits = data >= 1 && Byte(got, 2) == (count + 7) / 8 && data == 1 + qsizetype(Byte(got, 2));
    } else if (function == Fn::ReadExceptionStatus) {
        fits = data == 1;
    } else if (function == Fn::WriteSingleRegister || function == Fn::WriteMultipleRegisters ||
               function == Fn::WriteMultipleCoils) {
        fits = data == 4;
    }
    return fits ? TrafficOutcome::Ok : TrafficOutcome::WrongLength;
}

bool IsFailure(TrafficOutcome outcome) {
    switch (outcome) {
    case TrafficOutcome::Ok:
        return false;
    case TrafficOutcome::TimeOut:
    case TrafficOutcome::BadLrc:
    case TrafficOutcome::Exception:
    case TrafficOutcome::WrongAddress:
    case TrafficOutcome::WrongFunction:
    case TrafficOutcome::WrongLength:
    case TrafficOutcome::BadFrame:
    case TrafficOutcome::NotSent:
    case TrafficOutcome::Refused:
    case TrafficOutcome::Cancelled:
    case TrafficOutcome::Echo:
    case TrafficOutcome::Count:
        return true;
    }
    return true;
}

DecodedExchange DecodeExchange(const QByteArray& request, const QByteArray& reply, TrafficOutcome outcome) {
    DecodedExchange d;
    QByteArray asked;
    if (!FrameBytes(request, &asked) || asked.size() < 3) {
        return d;
    }
    d.address = int(Byte(asked, 0));
    d.function = int(Byte(asked, 1));
    const qsizetype dataEnd = asked.size() - 1; // the LRC is not data
    QByteArray got;
    const bool answered = outcome == TrafficOutcome::Ok && FrameBytes(reply, &got);
    switch (d.function) {
    case Fn::ReadCoils:
    case Fn::ReadDiscreteInputs:
    case Fn::ReadHoldingRegisters:
    case Fn::ReadInputRegisters:
        d.start = int(Word(asked, 2));
        d.count = int(Word(asked, 4));
        if (answered) {
            for (int i = 0; i < d.count; ++i) {
                if (IsReadOfRegisters(d.function)) {
                    d.values.append(uint16_t(Word(got, 3 + 2 * i)));
                } else {
                    d.values.append(uint16_t((Byte(got, 3 + i / 8) >> (i % 8)) & 1u));
                }
            }
        }
        break;
    case Fn::WriteSingleRegister:
        d.start = int(Word(asked, 2));
        d.count = 1;
        d.values.append(uint16_t(Word(asked, 4)));
        break;
    case Fn::WriteMultipleRegisters:
        d.start = int(Word(asked, 2));
        d.count = int(Word(asked, 4));
        for (int i = 0; i < d.count && 7 + 2 * i + 1 < dataEnd; ++i) {
            d.values.append(uint16_t(Word(asked, 7 + 2 * i)));
        }
        break;
    case Fn::WriteMultipleCoils:
        d.start = int(Word(asked, 2));
        d.count = int(Word(asked, 4));
        for (int i = 0; i < d.count && 7 + i / 8 < dataEnd; ++i) {
            d.values.append(uint16_t((Byte(asked, 7 + i / 8) >> (i % 8)) & 1u));
        }
        break;
    case Fn::ReadExceptionStatus:
        if (answered) {
            d.values.append(uint16_t(Byte(got, 2)));
        }
        break;
    default:
        break;
    }
    return d;
}

QString ExceptionMeaning(uint8_t code, int languageIndex) {
    switch (code) {
    case 0x01:
        return Pick(languageIndex, "funzione non ammessa", "illegal function");
    case 0x02:
        return Pick(languageIndex, "indirizzo dati non ammesso", "illegal data address");
    case 0x03:
        return Pick(languageIndex, "valore dati non ammesso", "illegal data value");
    case 0x04:
        return Pick(languageIndex, "guasto dello strumento", "server device failure");
    case 0x05:
        return Pick(languageIndex, "richiesta accettata, in corso", "acknowledge");
    case 0x06:
        return Pick(languageIndex, "strumento occupato", "server device busy");
    case 0x08:
        return Pick(languageIndex, "errore di parità della memoria", "memory parity error");
    case 0x0A:
        return Pick(languageIndex, "percorso del gateway non disponibile", "gateway path unavailable");
    case 0x0B:
        return Pick(languageIndex, "nessuna risposta dietro il gateway", "gateway target failed to respond");
    default:
        return Pick(languageIndex, "eccezione sconosciuta", "unknown exception");
    }
}

QString TrafficOutcomeText(TrafficOutcome outcome, uint8_t exceptionCode, int languageIndex) {
    switch (outcome) {
    case TrafficOutcome::Ok:
        return QStringLiteral("ok");
    case TrafficOutcome::TimeOut:
        return QStringLiteral("time-out");
    case TrafficOutcome::BadLrc:
        return Pick(languageIndex, "LRC errato", "bad LRC");
    case TrafficOutcome::Exception:
        return Pick(languageIndex, "eccezione", "exception") + QLatin1Char(' ') + Hex(exceptionCode, 2) +
               QLatin1Char(' ') + ExceptionMeaning(exceptionCode, languageIndex);
    case TrafficOutcome::WrongAddress:
        return Pick(languageIndex, "indirizzo errato", "wrong address");
    case TrafficOutcome::WrongFunction:
        return Pick(languageIndex, "funzione errata", "wrong function");
    case TrafficOutcome::WrongLength:
        return Pick(languageIndex, "lunghezza errata", "wrong length");
    case TrafficOutcome::BadFrame:
        return Pick(languageIndex, "trama non valida", "bad frame");
    case TrafficOutcome::NotSent:
        return Pick(languageIndex, "porta chiusa, non inviato", "port closed, not sent");
    case TrafficOutcome::Refused:
        return Pick(languageIndex, "rifiutato, scambio in corso", "refused, exchange in progress");
    case TrafficOutcome::Cancelled:
        return Pick(languageIndex, "annullato", "cancelled");
    case TrafficOutcome::Echo:
        return Pick(
            languageIndex,
            "l'adattatore sembra restituire l'eco: attivare \"Eco locale\" in Opzioni > Porta Seriale",
            "the adapter seems to echo: switch on \"Local echo\" in Option > Serial Port");
    case TrafficOutcome::Count:
        break;
    }
    return {};
}

QString DecodedText(const DecodedExchange& d, int languageIndex) {
    if (d.address < 0) {
        return Pick(languageIndex, "richiesta non valida", "bad request");
    }
    QString text = QLatin1Char('@') + Hex(unsigned(d.address), 2) + QLatin1Char(' ') +
                   Hex(unsigned(d.function), 2) + QLatin1Char(' ') +
                   NameOfFunction(d.function, languageIndex);
    if (d.start >= 0) {
        text += QLatin1Char(' ') + Hex(unsigned(d.start), 4);
        if (d.function != Fn::WriteSingleRegister) {
            text += QStringLiteral(" x") + QString::number(d.count);
        }
        const QString name = NameOfRegister(d.function, d.start, languageIndex);
        if (!name.isEmpty()) {
            text += QStringLiteral(" (") + name + QLatin1Char(')');
        }
    }
    if (!d.values.isEmpty()) {
        text += QLatin1Char(':');
        for (uint16_t v : d.values) {
            text +=
                QLatin1Char(' ') + (d.function == Fn::ReadExceptionStatus ? Hex(v, 2) : QString::number(v));
        }
    }
    return text;
}

QString FrameText(const QByteArray& frame) {
    QByteArrayView view(frame);
    if (view.endsWith("\r\n")) {
        view.chop(2);
    }
    QString text;
    text.reserve(view.size());
    for (char c : view) {
        if (c >= 0x20 && c < 0x7F) {
            text += QLatin1Char(c);
        } else {
            text += QLatin1Char('<') + Hex(uint8_t(c), 2) + QLatin1Char('>');
        }
    }
    return text;
}

QString TrafficLine(const TrafficRecord& r, int languageIndex) {
    const QString time = QDateTime::fromMSecsSinceEpoch(r.timeMs).toString(QStringLiteral("hh:mm:ss.zzz"));
    const bool sent = r.outcome != TrafficOutcome::NotSent && r.outcome != TrafficOutcome::Refused;
    const QString turnaround =
        sent ? QString::number(double(r.turnaroundUs) / 1000.0, 'f', 1) + QStringLiteral(" ms")
             : QStringLiteral("-");
    QString line = time + QStringLiteral("  ") +
                   TrafficOutcomeText(r.outcome, r.exceptionCode, languageIndex) + QStringLiteral("  ") +
                   turnaround + QStringLiteral("  ") +
                   DecodedText(DecodeExchange(r.request, r.reply, r.outcome), languageIndex) +
                   QStringLiteral("  > ") + FrameText(r.request) + QStringLiteral("  <");
    if (!r.received.isEmpty()) {
        line += QLatin1Char(' ') + FrameText(r.received);
    }
    return line;
}

// --- TrafficLog
// ----------------------------------------------------------------------------------------------

TrafficLog::TrafficLog(int capacity, QObject* parent) : QObject(parent), capacity_(std::max(1, capacity)) {
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(FlushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, &TrafficLog::FlushTrace);
}

TrafficLog::~TrafficLog() {
    CloseTrace();
}

bool TrafficLog::OpenTrace(const QString& path, QString* error) {
    CloseTrace();
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error) {
            *error = file->errorString();
        }
        return false;
    }
    trace_ = std::move(file);
    return true;
}

void TrafficLog::CloseTrace() {
    flushTimer_.stop();
    if (trace_) {
        trace_->close(); // flushes
        trace_.reset();
    }
}

QString TrafficLog::TracePath() const {
    return trace_ ? trace_->fileName() : QString();
}

void TrafficLog::FlushTrace() {
    flushTimer_.stop();
    if (trace_) {
        trace_->flush();
    }
}

void TrafficLog::Add(TrafficRecord record, int languageIndex) {
    ++exchanges_;
    if (IsFailure(record.outcome)) {
        ++failures_;
    }
    if (!record.reply.isEmpty()) {
        ++answered_;
        turnaroundSumUs_ += record.turnaroundUs;
    }
    if (trace_) {
        trace_->write(TrafficLine(record, languageIndex).toUtf8() + "\r\n");
        if (!flushTimer_.isActive()) {
            flushTimer_.start();
        }
    }
    if (ring_.size() < size_t(capacity_)) {
        ring_.push_back(std::move(record));
    } else {
        ring_[size_t(head_)] = std::move(record);
        head_ = (head_ + 1) % capacity_;
    }
    ++sequence_;
}

void TrafficLog::Clear() {
    ring_.clear();
    head_ = 0;
    exchanges_ = 0;
    failures_ = 0;
    answered_ = 0;
    turnaroundSumUs_ = 0;
    emit Cleared();
}

const TrafficRecord& TrafficLog::At(int i) const {
    return ring_[size_t((head_ + i) % qsizetype(ring_.size()))];
}

QList<TrafficRecord> TrafficLog::Since(quint64 since) const {
    const quint64 firstKept = sequence_ - ring_.size();
    QList<TrafficRecord> records;
    const quint64 from = std::max(since, firstKept);
    records.reserve(qsizetype(sequence_ - std::min(from, sequence_)));
    for (quint64 n = from; n < sequence_; ++n) {
        records.append(At(int(n - firstKept)));
    }
    return records;
}

double TrafficLog::MeanTurnaroundMs() const {
    return answered_ == 0 ? 0.0 : double(turnaroundSumUs_) / double(answered_) / 1000.0;
}
