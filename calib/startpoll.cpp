#include "startpoll.h"

#include "frame.h"
#include "registers.h"

StartPoll::StartPoll(Modulo1& m, SerialLink& link, std::function<bool()> abandon)
    : m_(m), link_(link), abandon_(std::move(abandon)) {}

QCoro::Task<> StartPoll::PollDivisionCode() {
    const int a = m_.DeviceAddress;
    if (m_.DivisionStep[a] != 0) {
        co_return;
    }
    m_.FrameBuffer = BuildRequest(a, Fn::ReadHoldingRegisters, ReadBody(Reg::DivisionCode, 1));
    co_await link_.ExchangeFrame(m_.StartReplyTimeoutMs);
    if (CheckReply(m_.FrameBuffer, Prefix::DivisionCode)) {
        SetDivisionFromCode(m_, a, ReadRegisterSigned(m_.FrameBuffer, 0));
    }
}

QCoro::Task<StartPollResult> StartPoll::PollInstrumentWeight() {
    using Outcome = StartPollResult::Outcome;
    const int a = m_.DeviceAddress;
    // 1. Without its division the weight cannot be shown.
    if (m_.DivisionStep[a] == 0) {
        ++m_.ErrorCount[a];
        co_return StartPollResult{Outcome::NoDivision, {}};
    }
    // 2. Status byte.
    m_.FrameBuffer = BuildRequest(a, Fn::ReadExceptionStatus, QByteArray());
    co_await link_.ExchangeFrame(m_.StartReplyTimeoutMs);
    if (!CheckReply(m_.FrameBuffer, Prefix::Status)) {
        ++m_.ErrorCount[a];
        co_return StartPollResult{Outcome::NoStatus, {}};
    }
    m_.StatusByte = ReadStatusByte(m_.FrameBuffer);
    // 3. The instrument shows a state instead of a weight.
    if (m_.StatusByte & Status::NoWeightMask) {
        m_.ErrorCount[a] = 0;
        co_return StartPollResult{Outcome::StatusText, StatusWeightText(m_.StatusByte)};
    }
    if (abandon_ && abandon_()) {
        co_return StartPollResult{Outcome::Abandoned, {}};
    }
    // 4. Weight register.
    m_.FrameBuffer = BuildRequest(a, Fn::ReadInputRegisters, ReadBody(Reg::Weight, 1));
    co_await link_.ExchangeFrame(m_.StartReplyTimeoutMs);
    if (!CheckReply(m_.FrameBuffer, Prefix::Weight)) {
        ++m_.ErrorCount[a];
        co_return StartPollResult{Outcome::NoWeight, {}};
    }
    // 5.
    m_.ErrorCount[a] = 0;
    const quint64 weight = quint64(ReadRegisterUnsigned(m_.FrameBuffer, 0)) * m_.DivisionStep[a];
    QString count = QString::number(weight);
    if (weight != 0 && (m_.StatusByte & Status::NetNegative)) {
        count.prepend(u'-');
    }
    co_return StartPollResult{Outcome::Weight, DecodeValue(count, m_.DecimalCount[a])};
}
