#include "outputtests.h"

#include "frame.h"
#include "registers.h"

#include <cmath>

namespace outputs {

int StepOffset(int value, StepButton button) {
    switch (button) {
    case StepButton::Down:
        return value > 0 ? value - 1 : value;
    case StepButton::Up:
        return value < MaxOffset ? value + 1 : value;
    case StepButton::FastDown:
        return value <= FastStep - 1 ? 0 : value - FastStep;
    case StepButton::FastUp:
        return value >= FastUpLimit ? MaxOffset : value + FastStep;
    }
    return value;
}

int StepPercent(int percent, StepButton button) {
    int stepped = percent;
    switch (button) {
    case StepButton::Down:
        stepped = percent > 1 ? percent - 1 : 0;
        break;
    case StepButton::Up:
        stepped = percent < MaxPercent ? percent + 1 : MaxPercent;
        break;
    case StepButton::FastDown:
        stepped = percent > FastPercentStep - 1 ? percent - FastPercentStep : 0;
        break;
    case StepButton::FastUp:
        stepped = percent < MaxPercent - FastPercentStep ? percent + FastPercentStep : MaxPercent;
        break;
    }
    // A typed value above 100 (refused by the field, but still in it when a button is clicked) steps
    // down to 100 at most: 149 % would be 95360, of which the register keeps 29824 (46.6 %).
    return qBound(0, stepped, MaxPercent);
}

QString PercentText(int percent) {
    return QString::number(percent).rightJustified(3, u' ');
}

bool PercentMayLeave(const QString& text) {
    return ReadNumber(text) <= MaxPercent;
}

uint8_t RelayDataByte(bool output1On, bool output2On) {
    return static_cast<uint8_t>((output1On ? 1 : 0) | (output2On ? 2 : 0));
}

} // namespace outputs

namespace {
// A field's number as the whole number the buttons step (values are whole numbers in practice).
int WholeNumber(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    return static_cast<int>(RoundHalfEven(qBound(-1e9, value, 1e9)));
}
} // namespace

OutputTests::OutputTests(Session& session, GroupMarks& marks, SetupCommands& commands)
    : s_(session), marks_(marks), commands_(commands) {
    Modulo1& m = s_.m;
    for (const char* echo :
         {Echo::AnalogTestLevel, Echo::AnalogZeroAdjust, Echo::AnalogFullScaleAdjust, Echo::ForcedOutputs}) {
        s_.queue.RegisterEcho(WriteSlot::B, echo, [&m](const QByteArray&) {
            m.WritePending = false;
            return true;
        });
    }
}

void OutputTests::QueueMode(uint16_t mode, bool setPending) {
    s_.queue.QueueWrite(
        WriteSlot::A,
        BuildRequest(s_.m.DeviceAddress, Fn::WriteSingleRegister, WriteSingleBody(Reg::Mode, Hex4(mode))),
        setPending);
}

// --- Tab 5 -------------------------------------------------------------------------------------------

void OutputTests::EnterAnalogZeroAdjust() {
    QueueMode(Mode::AnalogZeroAdjust, false);
    s_.m.AnalogAdjustMode = 1;
}

void OutputTests::EnterAnalogFullScaleAdjust() {
    QueueMode(Mode::AnalogFullScaleAdjust, false);
    s_.m.AnalogAdjustMode = 2;
}

void OutputTests::QueueOffset(Field field, uint16_t reg) {
    s_.queue.QueueWrite(WriteSlot::B, BuildRequest(s_.m.DeviceAddress, Fn::WriteSingleRegister,
                                                   WriteSingleBody(reg, EncodeValue(s_.set.text(field)))));
}

void OutputTests::QueueAnalogZeroOffset() {
    QueueOffset(Field::OffZero, Reg::AnalogZeroAdjust);
}

void OutputTests::QueueAnalogFullScaleOffset() {
    QueueOffset(Field::OffFS, Reg::AnalogFullScaleAdjust);
}

void OutputTests::Trim(TrimRow row, StepButton button) {
    const bool zero = row == TrimRow::Zero;
    const uint8_t rowMode = zero ? 1 : 2;
    const Field field = zero ? Field::OffZero : Field::OffFS;
    if (s_.m.AnalogAdjustMode != rowMode) {
        if (zero) {
            EnterAnalogZeroAdjust();
        } else {
            EnterAnalogFullScaleAdjust();
        }
    }
    const int value = outputs::StepOffset(WholeNumber(s_.set.number(field)), button);
    s_.set.setText(field, QString::number(value));
    // The offsets have no marker rule of their own: the step marks the analog group modified (after the
    // new value is in, so that the change of the field does not take the mark back).
    marks_.SetModified(GroupId::Analog, true);
    if (zero) {
        QueueAnalogZeroOffset();
    } else {
        QueueAnalogFullScaleOffset();
    }
}

// --- Tab 6 -------------------------------------------------------------------------------------------

QString OutputTests::StartAnalogTest() {
    s_.m.WritePending = true;
    QueueMode(Mode::AnalogTest, true);
    const QString text = outputs::PercentText(0);
    QueueAnalogTestValue(text);
    return text;
}

QString OutputTests::StepAnalogTest(const QString& percAna, StepButton button) {
    const QString text = outputs::PercentText(outputs::StepPercent(WholeNumber(ReadNumber(percAna)), button));
    QueueAnalogTestValue(text);
    return text;
}

void OutputTests::QueueAnalogTestValue(const QString& percAna) {
    const double level = ReadNumber(percAna) * Reg::AnalogTestLevelPerPercent;
    s_.queue.QueueWrite(
        WriteSlot::B,
        BuildRequest(s_.m.DeviceAddress, Fn::WriteSingleRegister,
                     WriteSingleBody(Reg::AnalogTestLevel, EncodeValue(QString::number(level, 'f', 0)))));
}

void OutputTests::EndAnalogTest() {
    commands_.QueueNormalMode();
}

void OutputTests::StartRelayTest() {
    QueueMode(Mode::OutputTest, true);
}

void OutputTests::QueueRelayOutputs(bool output1On, bool output2On) {
    s_.queue.QueueWrite(WriteSlot::B,
                        BuildRequest(s_.m.DeviceAddress, Fn::WriteMultipleCoils,
                                     WriteCoilsBody(Reg::Coils, Reg::CoilCount,
                                                    {outputs::RelayDataByte(output1On, output2On)})));
}

void OutputTests::EndRelayTest() {
    commands_.QueueNormalMode();
}
