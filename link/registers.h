#pragma once

// Everything the utility addresses in the instrument: function codes, registers and blocks with their
// register counts, command and mode codes, the reply prefixes of the reads, the echoes of the writes
// and the bits of the status byte. No other file spells a register address or a code as a number.

#include <array>
#include <cstdint>

// MODBUS function codes.
namespace Fn {
inline constexpr uint8_t ReadCoils = 0x01;              // state of the two relay outputs
inline constexpr uint8_t ReadDiscreteInputs = 0x02;     // state of the two digital inputs
inline constexpr uint8_t ReadHoldingRegisters = 0x03;   // configuration, set-points, peak, division
inline constexpr uint8_t ReadInputRegisters = 0x04;     // weights, points, signal, version
inline constexpr uint8_t WriteSingleRegister = 0x06;    // commands, single settings, adjustments
inline constexpr uint8_t ReadExceptionStatus = 0x07;    // the status byte
inline constexpr uint8_t WriteMultipleCoils = 0x0F;     // relay outputs forced during the output test
inline constexpr uint8_t WriteMultipleRegisters = 0x10; // blocks, set-points, memory reset
// An exception reply carries the function code with this bit set; it never matches a prefix.
inline constexpr uint8_t ExceptionFlag = 0x80;
} // namespace Fn

// Exception codes of an exception reply (the byte after the function code).
namespace Exc {
inline constexpr uint8_t IllegalFunction = 0x01; // the instrument has no such function
inline constexpr uint8_t IllegalAddress = 0x02;  // nor such a register
} // namespace Exc

namespace Reg {
// --- Input registers (function 04) ------------------------------------------------------------
inline constexpr uint16_t Weight = 0x0000;      // start-up screen: register 0 alone
inline constexpr uint16_t WeightBlock = 0x0000; // net, gross, points high, points low, signal
inline constexpr uint16_t WeightBlockCount = 5;
inline constexpr uint16_t NetWeight = 0x0000;   // in divisions, magnitude (sign in the status)
inline constexpr uint16_t GrossWeight = 0x0001; // in divisions, magnitude
inline constexpr uint16_t PointsHigh = 0x0002;  // internal points, 32 bits, high word first
inline constexpr uint16_t PointsLow = 0x0003;
inline constexpr uint16_t Signal = 0x0004;  // load-cell signal, thousandths of a mV, magnitude
inline constexpr uint16_t Version = 0x0005; // software version, two decimal digits
// Position of each value inside the weight block reply (register n of the reply).
inline constexpr int NetWeightIndex = 0;
inline constexpr int GrossWeightIndex = 1;
inline constexpr int PointsIndex = 2; // 32-bit, registers 2 and 3
inline constexpr int SignalIndex = 4;

// --- Discrete inputs (function 02) and coils (functions 01, 0F) ----------------------------------
inline constexpr uint16_t Inputs = 0x0000; // bit 0 input 1, bit 1 input 2
inline constexpr uint16_t InputCount = 2;
inline constexpr uint16_t Coils = 0x0000; // bit 0 output 1, bit 1 output 2
inline constexpr uint16_t CoilCount = 2;

// --- Holding registers (functions 03, 06, 10) ----------------------------------------------------
inline constexpr uint16_t SetPoints = 0x0110; // set-point 1 and 2, in divisions
inline constexpr uint16_t SetPoint1 = 0x0110;
inline constexpr uint16_t SetPoint2 = 0x0111;
inline constexpr uint16_t SetPointsCount = 2;
inline constexpr uint16_t Peak = 0x0200; // peak weight in divisions

inline constexpr uint16_t Command = 0x0800;          // one-shot commands (Cmd)
inline constexpr uint16_t CommandParameter = 0x0801; // sample weight of the span, or the access code
inline constexpr uint16_t SampleWeight = 0x0801;
inline constexpr uint16_t AccessCode = 0x0801;
inline constexpr uint16_t MemoryResetCount = 2;            // command and access code written together
inline constexpr uint16_t Mode = 0x0802;                   // working mode (Mode)
inline constexpr uint16_t AnalogTestLevel = 0x0803;        // percentage x AnalogTestLevelPerPercent
inline constexpr uint16_t AnalogTestLevelPerPercent = 640; // 100 % is 64000

inline constexpr uint16_t WeightConstants = 0x1000; // capacity, sensitivity, net, tare
inline constexpr uint16_t WeightConstantsCount = 7;
inline constexpr uint16_t OperatingMode = 0x1010;    // 0..2
inline constexpr uint16_t DivisionCode = 0x1050;     // 0..14
inline constexpr uint16_t WeightParameters = 0x1100; // filter, stability, auto-zero, tracking, zero band
inline constexpr uint16_t WeightParametersCount = 5;
inline constexpr uint16_t WeightParametersCountModel2 = 4; // written without the zero band
inline constexpr uint16_t Outputs = 0x2000;                // four registers per relay output
inline constexpr uint16_t OutputsCount = 8;
inline constexpr uint16_t Serial = 0x3000;
inline constexpr uint16_t SerialCount = 8;
inline constexpr uint16_t SerialCountModel2 = 4; // written without the Com2 registers
inline constexpr uint16_t Analog = 0x4000;
inline constexpr uint16_t AnalogCount = 6;
inline constexpr uint16_t AnalogCountModel2 = 4;
inline constexpr uint16_t AnalogZeroAdjust = 0x4003;      // register 3 of the analog block
inline constexpr uint16_t AnalogFullScaleAdjust = 0x4004; // register 4 of the analog block

// Registers written by a block write for instrument model 1 or 2 (all are read in both cases).
constexpr uint16_t WeightParametersWriteCount(int model) {
    return model == 2 ? WeightParametersCountModel2 : WeightParametersCount;
}
constexpr uint16_t SerialWriteCount(int model) {
    return model == 2 ? SerialCountModel2 : SerialCount;
}
constexpr uint16_t AnalogWriteCount(int model) {
    return model == 2 ? AnalogCountModel2 : AnalogCount;
}
} // namespace Reg

// Command codes written to Reg::Command.
namespace Cmd {
inline constexpr uint16_t ZeroAcquire = 0x0010;       // acquire the zero of the scale
inline constexpr uint16_t SpanStore = 0x0011;         // store the span with the sample weight
inline constexpr uint16_t MemoryReset = 0x0018;       // clear the memory (with the access code)
inline constexpr uint16_t StoreAndEnd = 0x0020;       // end setup mode keeping the changes
inline constexpr uint16_t DiscardAndRestart = 0x0021; // end setup mode, discard, restart
// The access code the user must type for a memory reset.
inline constexpr int AccessCode = 40718;
} // namespace Cmd

// Working modes written to Reg::Mode.
namespace Mode {
inline constexpr uint16_t Normal = 0x0000;
inline constexpr uint16_t AnalogZeroAdjust = 0x0003;
inline constexpr uint16_t AnalogFullScaleAdjust = 0x0004;
inline constexpr uint16_t OutputTest = 0x0005; // relay outputs under test control
inline constexpr uint16_t AnalogTest = 0x0006; // analog output level from Reg::AnalogTestLevel
} // namespace Mode

// Prefixes a reply must carry from its 4th character (function code and, for reads, byte count).
namespace Prefix {
inline constexpr char Weight[] = "0402";      // input register 0 alone
inline constexpr char WeightBlock[] = "040A"; // five input registers
inline constexpr char Version[] = "0402";
inline constexpr char Status[] = "07";
inline constexpr char Inputs[] = "0201";    // one data byte
inline constexpr char Coils[] = "0101";     // one data byte
inline constexpr char SetPoints[] = "0304"; // two holding registers
inline constexpr char Peak[] = "0302";      // one holding register
inline constexpr char DivisionCode[] = "0302";
inline constexpr char OperatingMode[] = "0302";
inline constexpr char Block[] = "03"; // configuration blocks: function code only
} // namespace Prefix

// Echoes of the writes: function code and register of the request, the 6 characters from the 4th
// character of the reply.
namespace Echo {
inline constexpr char SetPoints[] = "100110";
inline constexpr char WeightConstants[] = "101000";
inline constexpr char Command[] = "060800";
inline constexpr char SampleWeight[] = "060801";
inline constexpr char MemoryReset[] = "100800"; // command 0x0018 with the access code
inline constexpr char OperatingMode[] = "061010";
inline constexpr char DivisionCode[] = "061050";
inline constexpr char WeightParameters[] = "101100";
inline constexpr char Outputs[] = "102000";
inline constexpr char Mode[] = "060802";
inline constexpr char ForcedOutputs[] = "0F0000";
inline constexpr char AnalogTestLevel[] = "060803";
inline constexpr char AnalogFullScaleAdjust[] = "064004";
inline constexpr char AnalogZeroAdjust[] = "064003";
inline constexpr char Serial[] = "103000";
inline constexpr char Analog[] = "104000";

// The echoes each slot of the write queue knows.
inline constexpr std::array<const char*, 10> SlotA{
    SetPoints,     WeightConstants, Command,          SampleWeight, MemoryReset,
    OperatingMode, DivisionCode,    WeightParameters, Outputs,      Mode};
inline constexpr std::array<const char*, 8> SlotB{
    Command,          SampleWeight, ForcedOutputs, AnalogTestLevel, AnalogFullScaleAdjust,
    AnalogZeroAdjust, Serial,       Analog};
} // namespace Echo

// Bits of the status byte (function 07).
namespace Status {
inline constexpr uint8_t NetNegative = 0x01;     // input register 0 is negative
inline constexpr uint8_t GrossNegative = 0x02;   // input register 1 is negative
inline constexpr uint8_t Stable = 0x04;          // weight stable
inline constexpr uint8_t SignalNegative = 0x08;  // input register 4 is negative
inline constexpr uint8_t ShowUnderscores = 0x10; // weight shown as "_______" (wins over the others)
inline constexpr uint8_t ShowDashes = 0x20;      // weight shown as "-------"
inline constexpr uint8_t Overload = 0x40;        // weight shown as " O - L "
// While any of these is set no weight value is shown.
inline constexpr uint8_t NoWeightMask = ShowUnderscores | ShowDashes | Overload;
} // namespace Status
