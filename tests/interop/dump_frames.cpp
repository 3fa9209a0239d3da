// dump_frames: prints every kind of request frame the utility sends, built with the link layer's own
// frame builders and register constants, for an address below 16 (1) and one above it (26).
//
// One frame a line, three fields separated by a TAB:
//
//     ADDRESS <TAB> NAME <TAB> FRAME
//
// ADDRESS is decimal; NAME says what the frame is meant to do and is the key under which
// modbus_interop.py keeps what the frame must decode to; FRAME is the frame exactly as sent, except
// that its closing CR LF is written as the four characters "\r\n" (backslash, r, backslash, n), so that
// each frame stays on one line. A frame never holds a backslash of its own.
//
// The values written are the ones the screens would send for typical entries, encoded with the same
// encoders (EncodeValue, EncodeScaled, Hex4) the program uses.

#include "frame.h"
#include "registers.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <initializer_list>

namespace {

QList<QByteArray> Values(std::initializer_list<unsigned> numbers) {
    QList<QByteArray> out;
    for (const unsigned n : numbers) {
        out.append(Hex4(n));
    }
    return out;
}

void Print(int address, const char* name, const QByteArray& frame) {
    QByteArray shown = frame;
    shown.replace("\r", "\\r").replace("\n", "\\n");
    std::printf("%d\t%s\t%s\n", address, name, shown.constData());
}

void Read(int a, const char* name, uint8_t function, uint16_t start, uint16_t count) {
    Print(a, name, BuildRequest(a, function, ReadBody(start, count)));
}

void WriteSingle(int a, const char* name, uint16_t reg, const QByteArray& value4) {
    Print(a, name, BuildRequest(a, Fn::WriteSingleRegister, WriteSingleBody(reg, value4)));
}

// A block write of the first `count` values (the model-2 writes leave out the tail of the block).
void WriteBlock(int a, const char* name, uint16_t start, QList<QByteArray> values, qsizetype count) {
    values.resize(count);
    Print(a, name, BuildRequest(a, Fn::WriteMultipleRegisters, WriteMultipleBody(start, values)));
}

void DumpAll(int a) {
    // --- reads: the start-up screen, the configuration reader and the live monitor ------------------
    Read(a, "read division code", Fn::ReadHoldingRegisters, Reg::DivisionCode, 1);
    Read(a, "read operating mode", Fn::ReadHoldingRegisters, Reg::OperatingMode, 1);
    Read(a, "read weight constants", Fn::ReadHoldingRegisters, Reg::WeightConstants,
         Reg::WeightConstantsCount);
    Read(a, "read set-points", Fn::ReadHoldingRegisters, Reg::SetPoints, Reg::SetPointsCount);
    Read(a, "read peak", Fn::ReadHoldingRegisters, Reg::Peak, 1);
    Read(a, "read weight parameters", Fn::ReadHoldingRegisters, Reg::WeightParameters,
         Reg::WeightParametersCount);
    Read(a, "read outputs", Fn::ReadHoldingRegisters, Reg::Outputs, Reg::OutputsCount);
    Read(a, "read serial", Fn::ReadHoldingRegisters, Reg::Serial, Reg::SerialCount);
    Read(a, "read analog", Fn::ReadHoldingRegisters, Reg::Analog, Reg::AnalogCount);
    Read(a, "read weight", Fn::ReadInputRegisters, Reg::Weight, 1);
    Read(a, "read weight block", Fn::ReadInputRegisters, Reg::WeightBlock, Reg::WeightBlockCount);
    Read(a, "read version", Fn::ReadInputRegisters, Reg::Version, 1);
    Print(a, "read status", BuildRequest(a, Fn::ReadExceptionStatus, QByteArray()));
    Read(a, "read inputs", Fn::ReadDiscreteInputs, Reg::Inputs, Reg::InputCount);
    Read(a, "read coils", Fn::ReadCoils, Reg::Coils, Reg::CoilCount);

    // --- single writes: commands, modes, single settings, adjustments --------------------------------
    WriteSingle(a, "command zero", Reg::Command, Hex4(Cmd::ZeroAcquire));
    WriteSingle(a, "command span", Reg::Command, Hex4(Cmd::SpanStore));
    WriteSingle(a, "command store", Reg::Command, Hex4(Cmd::StoreAndEnd));
    WriteSingle(a, "command discard", Reg::Command, Hex4(Cmd::DiscardAndRestart));
    WriteSingle(a, "sample weight", Reg::SampleWeight, EncodeScaled(QStringLiteral("2500"), 0, 1));
    WriteSingle(a, "mode normal", Reg::Mode, Hex4(Mode::Normal));
    WriteSingle(a, "mode analog zero adjust", Reg::Mode, Hex4(Mode::AnalogZeroAdjust));
    WriteSingle(a, "mode analog full-scale adjust", Reg::Mode, Hex4(Mode::AnalogFullScaleAdjust));
    WriteSingle(a, "mode output test", Reg::Mode, Hex4(Mode::OutputTest));
    WriteSingle(a, "mode analog test", Reg::Mode, Hex4(Mode::AnalogTest));
    WriteSingle(a, "analog test level 50%", Reg::AnalogTestLevel,
                EncodeValue(QString::number(50 * Reg::AnalogTestLevelPerPercent)));
    WriteSingle(a, "analog test level 100%", Reg::AnalogTestLevel,
                EncodeValue(QString::number(100 * Reg::AnalogTestLevelPerPercent)));
    WriteSingle(a, "analog zero adjust", Reg::AnalogZeroAdjust, EncodeValue(QStringLiteral("1234")));
    WriteSingle(a, "analog full-scale adjust", Reg::AnalogFullScaleAdjust,
                EncodeValue(QStringLiteral("57600")));
    WriteSingle(a, "write operating mode", Reg::OperatingMode, Hex4(2));
    WriteSingle(a, "write division code", Reg::DivisionCode, Hex4(14));

    // --- block writes, with the register counts of model 1 and model 2 -------------------------------
    // Weight constants: capacity 15000 and theoretical net 70000 as 32-bit pairs (high word first),
    // sensitivity 1.9876, dead load 250.
    const QList<QByteArray> constants = Values({0, 15000, 19876, 1, 4464, 0, 250});
    WriteBlock(a, "write weight constants", Reg::WeightConstants, constants, Reg::WeightConstantsCount);
    // Set-points 1500 and -1 (FFFF).
    const QList<QByteArray> setPoints = {EncodeScaled(QStringLiteral("1500"), 0, 1),
                                         EncodeValue(QStringLiteral("-1"))};
    WriteBlock(a, "write set-points", Reg::SetPoints, setPoints, Reg::SetPointsCount);
    const QList<QByteArray> weightParameters = Values({7, 3, 1, 2, 250});
    WriteBlock(a, "write weight parameters model 1", Reg::WeightParameters, weightParameters,
               Reg::WeightParametersWriteCount(1));
    WriteBlock(a, "write weight parameters model 2", Reg::WeightParameters, weightParameters,
               Reg::WeightParametersWriteCount(2));
    const QList<QByteArray> outputs = Values({0xC001, 2, 15, 30, 0x0002, 4, 0, 99});
    WriteBlock(a, "write outputs", Reg::Outputs, outputs, Reg::OutputsCount);
    const QList<QByteArray> serial = Values({2, 5, 7, 10, 6, 1, 3, 2});
    WriteBlock(a, "write serial model 1", Reg::Serial, serial, Reg::SerialWriteCount(1));
    WriteBlock(a, "write serial model 2", Reg::Serial, serial, Reg::SerialWriteCount(2));
    // The analog block always goes out whole (the configuration writer never sends a shorter one).
    WriteBlock(a, "write analog", Reg::Analog, Values({12000, 1, 2, 6400, 57600, 100}), Reg::AnalogCount);
    // Memory reset: the command and the typed access code together.
    WriteBlock(a, "memory reset", Reg::Command,
               {Hex4(Cmd::MemoryReset), EncodeValue(QString::number(Cmd::AccessCode))},
               Reg::MemoryResetCount);

    // --- forced relay outputs during the output test ------------------------------------------------
    const char* const coilNames[] = {"force coils 00", "force coils 01", "force coils 02", "force coils 03"};
    for (uint8_t bits = 0; bits < 4; ++bits) {
        Print(a, coilNames[bits],
              BuildRequest(a, Fn::WriteMultipleCoils, WriteCoilsBody(Reg::Coils, Reg::CoilCount, {bits})));
    }
}

} // namespace

int main() {
    for (const int address : {1, 26}) {
        DumpAll(address);
    }
    return 0;
}
