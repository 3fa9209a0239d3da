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

QCoro::Task<int> Session::ProbeModel() {
    if (leaving) {
        co_return 0;
    }
    co_return co_await ::ProbeModel(m, link, m.DeviceAddress, ReplyTimeoutMs());
}

QCoro::Task<int> ProbeModel(Modulo1& m, SerialLink& link, uint8_t address, int replyTimeoutMs) {
    m.FrameBuffer = BuildRequest(address, Fn::ReadHoldingRegisters, ReadBody(Reg::OperatingMode, 1));
    co_await link.ExchangeFrame(replyTimeoutMs);
    if (CheckReply(m.FrameBuffer, Prefix::OperatingMode)) {
        co_return 1;
    }
    // The second model has no operating-mode choice: it answers with an exception.
    if (CheckReply(m.FrameBuffer, Hex2(Fn::ReadHoldingRegisters | Fn::ExceptionFlag))) {
        co_return 2;
    }
    co_return 0;
}
