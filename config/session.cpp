#include "session.h"

#include "frame.h"
#include "registers.h"

QCoro::Task<std::optional<QByteArray>> Session::Read(uint8_t function, uint16_t start, uint16_t count,
                                                     const char* prefix) {
    if (leaving) {
        co_return std::nullopt;
    }
    m.FrameBuffer = BuildRequest(m.DeviceAddress, function, ReadBody(start, count));
    co_await link.ExchangeFrame(ReplyTimeoutMs());
    if (!CheckReply(m.FrameBuffer, prefix)) {
        co_return std::nullopt;
    }
    // A copy: QCoro's promise moves from an lvalue handed to co_return, which would empty the buffer.
    co_return QByteArray(m.FrameBuffer);
}

QCoro::Task<std::optional<QByteArray>> Session::ReadStatus() {
    if (leaving) {
        co_return std::nullopt;
    }
    m.FrameBuffer = BuildRequest(m.DeviceAddress, Fn::ReadExceptionStatus, {});
    co_await link.ExchangeFrame(ReplyTimeoutMs());
    if (!CheckReply(m.FrameBuffer, Prefix::Status)) {
        co_return std::nullopt;
    }
    // A copy: QCoro's promise moves from an lvalue handed to co_return, which would empty the buffer.
    co_return QByteArray(m.FrameBuffer);
}

QCoro::Task<int> Session::ProbeModel(bool* answered) {
    if (answered) {
        *answered = false;
    }
    if (leaving) {
        co_return 0;
    }
    co_return co_await ::ProbeModel(m, link, m.DeviceAddress, ReplyTimeoutMs(), answered);
}

QCoro::Task<int> ProbeModel(Modulo1& m, SerialLink& link, uint8_t address, int replyTimeoutMs,
                            bool* answered) {
    m.FrameBuffer = BuildRequest(address, Fn::ReadHoldingRegisters, ReadBody(Reg::OperatingMode, 1));
    co_await link.ExchangeFrame(replyTimeoutMs);
    const QByteArray exception = Hex2(Fn::ReadHoldingRegisters | Fn::ExceptionFlag);
    if (answered) {
        *answered = CheckReply(m.FrameBuffer, Prefix::OperatingMode) || CheckReply(m.FrameBuffer, exception);
    }
    if (CheckReply(m.FrameBuffer, Prefix::OperatingMode)) {
        co_return 1;
    }
    // The second model has no operating-mode choice: it answers that the register (01: the function,
    // 02: the address) does not exist. Any other exception (busy, a device failure) tells no model.
    for (const uint8_t code : {Exc::IllegalFunction, Exc::IllegalAddress}) {
        if (CheckReply(m.FrameBuffer, exception + Hex2(code))) {
            co_return 2;
        }
    }
    co_return 0;
}
