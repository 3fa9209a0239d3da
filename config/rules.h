#pragma once

// The dependencies between parameters as checkable rules: the checks a group must pass before it is
// sent, the checks a value must pass before it may leave its field, the key filter of the text
// fields and the condition under which a change shows the group's modification marker. Pure
// functions over the ParameterSet and the shared state; numbers are read from the field texts with
// ReadNumber (blanks ignored, no number reads as 0) unless a rule says otherwise.

#include "frame.h" // DivisionInfo
#include "parameterset.h"

#include <optional>

// --- Checks made when a group is sent (true = valid, the group may be sent) ----------------------

// Refused when Capac < Teonet + Teotara, Capac > 500000, Teonet != 0 and Capac > 10 x Teonet, or the
// digits of Sensib (every "." removed) form a number that is neither 0 nor within 10000..40000.
bool CheckWeightConstants(const ParameterSet& set);
// Refused when Filtro, Stabilita, Autozero, Inseguimento or ZeroBand lie outside their ranges
// (0..9, 0..4, 0..10.0, 0..4, 0..200). The model-2 check leaves ZeroBand out: that model hides the
// field and its write does not send it.
bool TestParPesoData(const ParameterSet& set);
// Refused when a hysteresis exceeds Teonet, or 65535 when Teonet is 0.
bool CheckOutputs(const ParameterSet& set);
// Refused when Indir < 1, or MODBUS is selected in ModSer and DatiCom1 is below index 6 ("N-8-2")
// or (model 1 only: model 2 hides the Com2 fields and does not send them) ProtoCom2 is not "None".
bool TestSerialData(const ParameterSet& set);
// Refused when RifZero > FsAna.
bool CheckAnalog(const ParameterSet& set);
// The check of the group; groups without one (operating mode, division, set points) always pass.
bool CheckGroup(GroupId id, const ParameterSet& set);

// MODBUS on the first serial port: list index 5 for model 1, index 1 for model 2 (register value 5
// in both models).
bool ModbusSelected(const ParameterSet& set);

// --- Checks made when the focus leaves a field ----------------------------------------------------

enum class LeaveRule {
    None,        // no check
    AtMost,      // refuse > max
    Within,      // refuse < min or > max
    NotZero,     // refuse exactly 0 or > max (Indir)
    AtMostCapac, // refuse > Capac when Capac > 0 (Capac 0 or empty accepts anything)
    Calibration, // Capac, Teonet, Teotara: decided by the calibration tab, not here
};

struct LeaveCheck {
    Field field;
    LeaveRule rule;
    double min = 0;
    double max = 0;
    // The text is converted strictly: a text with no digit at all (empty, blanks only) is refused,
    // since no address or delay can be made of it.
    bool strict = false;
};

// The leave check of a field (fields not in the table have LeaveRule::None).
LeaveCheck LeaveCheckOf(Field field);
// Whether the field's current value may leave the field (false: the focus goes back to it). Besides the
// check of the table, every text field refuses a text that is no number of its kind (IsFieldNumber) and
// a value its register cannot hold (FitsRegister).
bool MayLeave(Field field, const ParameterSet& set);

// --- What a register holds ----------------------------------------------------------------------

// The largest count a register takes: divisions of a weight, or a whole number such as a hysteresis.
inline constexpr double MaxRegisterCount = 65535;
// The division the set's weights are encoded with: the instrument's, or, with none known (offline
// editing, or not read yet), the one ValDiv shows.
DivisionInfo WeightDivision(const ParameterSet& set);
// Whether a weight text is at most 65,535 divisions at `division`, as EncodeScaled counts them.
bool WeightFits(const QString& text, DivisionInfo division);
// The largest weight at `division`, with its decimals ("655.35" at 0.01).
QString LargestWeight(DivisionInfo division);
// Whether the field's text reaches its register whole: a weight within WeightFits, a whole number of
// at most 65535. The other encodings are kept small by their lengths and checks.
bool FitsRegister(Field field, const QString& text, DivisionInfo division);
// The largest value of a field that FitsRegister limits; empty for the others.
QString LargestValue(Field field, DivisionInfo division);

// --- Key rule ------------------------------------------------------------------------------------

inline constexpr int KeyBackspace = 8;
inline constexpr int KeySpace = 32;

// Backspace, Space and "0".."9" pass; "." passes for the decimal kind only. A field that takes no
// typed input (KeyKind::None) lets every key pass: it has no key rule.
bool KeyPasses(KeyKind kind, int keyCode);
// The key code after the field's key rule: unchanged when it passes, 0 (dropped) otherwise.
int FilterKey(Field field, int keyCode);

// Whether a key press with the text `text` types a character, so that the key rule applies to it.
// Only a printable character does, and not as part of a shortcut (`shortcut`: Ctrl or Ctrl+Shift
// held, without Alt). Focus and editing keys keep their own meaning: Tab ("\t"), Enter ("\r"),
// Escape, Backspace ("\b"), Delete (no text, or "\x7f" on some window systems) and the arrows.
bool TypesCharacter(const QString& text, bool shortcut);

// The characters of `text` that the field takes as if they were typed one after the other into a
// field that has room for `room` more characters (negative: no limit): each goes through the key
// rule, and none is taken once the room is used up. Characters that no key types (line ends, tabs)
// are dropped.
QString FilterTyped(Field field, const QString& text, int room);

// The text a field holds after an edit that turned `before` into `after` by any way other than a
// key press (paste, drop, the middle button, an input method): the inserted part goes through the
// key rule and the field's maximum length as typed text does, the rest stays. When nothing of the
// inserted part is taken, the field keeps `before` whole. `cursor` (may be null) receives the
// position after the taken characters.
QString TakeEdit(Field field, const QString& before, const QString& after, int* cursor = nullptr);

// --- Keeping the focus in a refused field ------------------------------------------------------

// The leave rule of a whole screen. A field whose value is refused keeps the focus: the screen puts
// the focus back into it. While it does so, the focus leaves whatever field it had reached in the
// meantime; that is no choice of the user and is not checked, so two refused fields can never pull
// the focus from each other.
class LeaveGuard {
public:
    // The focus leaves `field` for another control of the screen. True: the value may not leave, the
    // focus is to go back into the field.
    bool Leaving(Field field, const ParameterSet& set);
    // A field refused by a check of its own (the calibration's): the focus is to go back into it.
    void Hold(Field field) { held_ = field; }
    // The focus has arrived in `field`.
    void Entered(Field field);
    // The focus could not be put back (the field is out of sight or disabled).
    void Release() { held_.reset(); }
    // The refused field whose focus is being put back, if any.
    std::optional<Field> Held() const { return held_; }
    // Whether a send handler may go ahead while the focus is in `focused` (none: in no field): not
    // while a refused field is getting its focus back, nor while the focused field holds a value that
    // may not leave it.
    bool MaySend(std::optional<Field> focused, const ParameterSet& set) const;

private:
    std::optional<Field> held_;
};

// --- Marker rule ---------------------------------------------------------------------------------

// Whether the group counts as read, so that a change is a modification: TabRead of the group's
// element is 1, for the division DivisionStep of DeviceAddress is not 0, for the set points
// SetpointsRead is 1.
bool GroupIsRead(GroupId id, const Modulo1& m);
// Marker shown and send button enabled after a change: the group was read and offline editing is off.
bool ShowsMarker(GroupId id, const Modulo1& m);
