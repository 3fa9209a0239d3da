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
    co_return m.FrameBuffer;
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
    co_return m.FrameBuffer;
}
