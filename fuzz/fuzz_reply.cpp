// A reply frame from the line, whatever it holds: the reply check with every prefix the utility
// expects, the register readers, the status readers, and the write queue's echo check.

#include "frame.h"
#include "writequeue.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), qsizetype(size));
    static const QByteArray prefixes[] = {"", "03", "04", "07", "01", "02", "030E", "0302", "101100",
                                          "060802", "0F0000"};
    for (const QByteArray& prefix : prefixes) {
        (void)CheckReply(reply, prefix);
    }
    for (int n = -1; n < 12; ++n) {
        (void)ReadRegisterUnsigned(reply, n);
        (void)ReadRegisterSigned(reply, n);
        (void)ReadRegister32(reply, n);
        (void)ReadRequestValue(reply, n);
    }
    (void)ReadRegister32(reply, 0x7FFFFFFF);
    (void)ReadDataByte(reply);
    const uint8_t status = ReadStatusByte(reply);
    (void)StatusWeightText(status);
    (void)WriteQueue::EchoOf(reply);
    (void)WriteQueue::ConfirmsRequest(reply, ":011011000001020007D4\r\n");
    (void)WriteQueue::ConfirmsRequest(reply, reply);
    return 0;
}
