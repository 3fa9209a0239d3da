#pragma once

// The analog output trimming (tab 5) and the output tests (tab 6) of the main setup screen.
//
// Each of them first puts the instrument into a special working mode (register 0x0802, slot A) and
// then sends its values in slot B: the analog zero and full-scale offsets (0x4003, 0x4004), the
// analog test level (0x0803, per cent x 640) or the forced relay outputs (function 0F, coils 0-1).
// Ending a test or leaving its tab sends the normal mode. The screen shows and hides the test controls;
// this class decides the values and queues the requests.

#include "groupmarks.h"
#include "session.h"
#include "setupcommands.h"

#include <QString>

#include <cstdint>

// The four step buttons of a row: "<<", "<", ">", ">>".
enum class StepButton { FastDown, Down, Up, FastUp };
// The two trimming rows of tab 5.
enum class TrimRow { Zero, FullScale };

namespace outputs {
inline constexpr int MaxOffset = 64000;
// From here up, one ">>" jumps straight to MaxOffset.
inline constexpr int FastUpLimit = 63081;
inline constexpr int FastStep = 20;
inline constexpr int MaxPercent = 100;
inline constexpr int FastPercentStep = 10;

// An offset after one step: "<" and ">" by 1 within 0..64000 (a value outside is left alone), "<<"
// by 20 down to 0 (19 or less gives 0), ">>" by 20, 63081 or more giving 64000.
int StepOffset(int value, StepButton button);
// The analog test level after one step: by 1 or 10 within 0..100 (a level typed above 100 gives 100
// at most, so that no level beyond the register's 64000 is ever sent).
int StepPercent(int percent, StepButton button);
// The test level as PercAna shows it: decimal, right-aligned in three characters ("  0", " 50", "100").
QString PercentText(int percent);
// Leave rule of PercAna: refused above 100.
bool PercentMayLeave(const QString& text);
// The relay data byte of the forced outputs: bit 0 output 1, bit 1 output 2.
uint8_t RelayDataByte(bool output1On, bool output2On);
} // namespace outputs

class OutputTests {
public:
    // Registers the echo follow-ups of the slot-B requests: "060803", "064003", "064004", "0F0000".
    OutputTests(Session& session, GroupMarks& marks, SetupCommands& commands);

    // --- Tab 5, trimming -------------------------------------------------------------------------------
    // One of the eight step buttons: marks the analog group modified, enters the row's trimming mode
    // unless it is on already, steps the row's offset and queues it.
    void Trim(TrimRow row, StepButton button);
    // Place the trimming mode request in slot A and set AnalogAdjustMode; WritePending is left to the
    // offset request that always follows in the same click.
    void EnterAnalogZeroAdjust();
    void EnterAnalogFullScaleAdjust();
    // Set WritePending and place the offset in slot B.
    void QueueAnalogZeroOffset();
    void QueueAnalogFullScaleOffset();

    // --- Tab 6, analog test ----------------------------------------------------------------------------
    // Command8 "Inizio Test": the analog test mode in slot A and the level 0 in slot B. Returns the text
    // PercAna then shows ("  0").
    QString StartAnalogTest();
    // Command24 "<<", Command10 "<", Command9 ">", Command25 ">>": the new text of PercAna, whose level
    // is queued.
    QString StepAnalogTest(const QString& percAna, StepButton button);
    // Sets WritePending and places the level of `percAna` (its number x 640) in slot B.
    void QueueAnalogTestValue(const QString& percAna);
    // Command11 "Fine Test": the normal mode.
    void EndAnalogTest();

    // --- Tab 6, relay test -----------------------------------------------------------------------------
    // Command22 "Inizio Test": sets WritePending and places the relay test mode in slot A.
    void StartRelayTest();
    // A click on U1on, U1off, U2on or U2off: sets WritePending and places the relay states in slot B.
    void QueueRelayOutputs(bool output1On, bool output2On);
    // Command23 "Fine Test", after the screen selected U1off and U2off: the normal mode.
    void EndRelayTest();

private:
    void QueueMode(uint16_t mode, bool setPending);
    void QueueOffset(Field field, uint16_t reg);

    Session& s_;
    GroupMarks& marks_;
    SetupCommands& commands_;
};
