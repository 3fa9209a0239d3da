#pragma once

// The instrument configuration as data.
//
// One table holds every parameter (its field on the screen, encoding, range, list entries, editing
// properties, mnemonic, caption and design text), one table holds the eight parameter groups (tab,
// registers, send button, marker, error label, read flag and the register layout in order). The
// reading, the writing, the field rules, the setup files and the report all iterate these tables.
//
// `ParameterSet` holds the values: the text of a text field, the list index of a list field. The
// screen's fields are bound to it; nothing else keeps a second copy of the configuration.

#include "modulo1.h"
#include "writequeue.h" // WriteSlot

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// Every parameter field, in the order of the parameter table.
enum class Field : uint8_t {
    Capac,
    Sensib,
    Teonet,
    Teotara,
    OpMode,
    ValDiv,
    Set1,
    Set2,
    Filtro,
    Stabilita,
    Autozero,
    Inseguimento,
    ZeroBand,
    NeLor1,
    ApCh1,
    PoNe1,
    NoSta1,
    Iste1,
    Disab1,
    RiEcc1,
    NeLor2,
    ApCh2,
    PoNe2,
    NoSta2,
    Iste2,
    Disab2,
    RiEcc2,
    Baud,
    ModSer,
    Indir,
    RiRis,
    DatiCom1,
    ProtoCom2,
    AddrCom2,
    BRCom2,
    FsAna,
    TipoAna,
    CampoAna,
    OffZero,
    OffFS,
    RifZero,
};
inline constexpr int FieldCount = static_cast<int>(Field::RifZero) + 1;

// How a field's value travels in its register(s).
//   Integer      signed decimal, no fill                     <-> EncodeValue
//   Integer32    two unsigned words (high first) as one number, right-justified to 7
//                                                            <-> high = value / 65536, low = value % 65536
//   Sensitivity  " d.dddd" from the unsigned value            <-> every "." removed, EncodeValue
//   Tenths       signed tenths, "." before the last digit     <-> EncodeOneDecimal
//   Weight       unsigned divisions x DivisionStep, DecodeValue <-> EncodeScaled
//   Unsigned     unsigned decimal                            <-> EncodeValue
//   List         list index (register value, or the model-2 mapping of ModSer)
enum class Encoding { Integer, Integer32, Sensitivity, Tenths, Weight, Unsigned, List };

enum class GroupId {
    WeightConstants,
    OperatingMode,
    Division,
    SetPoints,
    WeightParameters,
    Outputs,
    Serial,
    Analog
};
inline constexpr int GroupCount = static_cast<int>(GroupId::Analog) + 1;

enum class FieldKind { Text, List };

// Keys a text field accepts besides Backspace and Space: digits, or digits and ".".
// None: the field takes no typed input (lists, the analog offsets).
enum class KeyKind { None, Digits, Decimal };

// The language of list entries and captions; LanguageIndex 1 is English, any other value Italian.
enum class Language { Italian, English };
Language LanguageFromIndex(int languageIndex);

struct ValueRange {
    double min = 0;
    double max = 0;
};

struct ParameterDef {
    Field field;
    const char* controlName; // objectName of the field's control (UTF-8: "Stabilità")
    GroupId group;
    Encoding encoding;
    FieldKind kind;
    KeyKind keys = KeyKind::None;
    int maxLength = 0;       // characters the user may type; 0 = no limit
    int selectionStart = -1; // start of the selection made on getting the focus; -1 = none
    std::optional<ValueRange> range = std::nullopt;
    // List entries in index order. The model-2 lists are given only where they differ; then
    // registerValuesModel2 holds the register value of each model-2 index.
    std::span<const char* const> itemsItalian = {};
    std::span<const char* const> itemsEnglish = {};
    std::span<const char* const> itemsItalianModel2 = {};
    std::span<const char* const> itemsEnglishModel2 = {};
    std::span<const uint16_t> registerValuesModel2 = {};
    int mnemonicIndex = -1;             // element of lblAddText; -1 = none
    const char* labelControl = nullptr; // the label that carries the field's caption
    const char* initialText = "";       // text fields: the design text
    int initialIndex = 0;               // list fields: the entry selected at load
    bool hiddenModel2 = false;          // the model-2 screen hides the field
};

// One entry of a group's register layout: a field (two registers for Integer32) or the mode word of
// a relay output, named by its NeLor field.
struct BlockItem {
    Field field;
    bool modeWord = false;
};

// The four list fields packed into the mode word of a relay output:
// word = NeLor + 4 x ApCh + 8 x PoNe + 16 x NoSta; reading takes word % 4 and bits 2, 3, 4.
struct ModeWordDef {
    Field neLor;
    Field apCh;
    Field poNe;
    Field noSta;
};

struct ParameterGroup {
    GroupId id;
    const char* name;
    int tab; // tab of SSTab1 holding the group; -1 = the main area (set points)
    uint16_t startRegister;
    std::array<uint16_t, 2> writeCount; // registers written for instrument model 1 and model 2
    uint8_t function;                   // function of the write (06 or 10)
    const char* sendButton;
    const char* marker;
    const char* errorLabel;            // nullptr: the group has no error label
    int tabReadElement;                // element of TabRead that tells the group was read; -1 = none
    const char* echo;                  // echo that confirms the write
    WriteSlot slot;                    // write-queue slot of the write
    bool model2;                       // edited and shown on the model-2 screen
    std::span<const BlockItem> layout; // registers in order, as read
};

// --- The tables ----------------------------------------------------------------------------------

std::span<const ParameterDef> Parameters(); // in Field order
const ParameterDef& Parameter(Field field);
std::span<const ParameterGroup> Groups(); // in GroupId order
const ParameterGroup& Group(GroupId id);
const std::array<ModeWordDef, 2>& ModeWords(); // output 1, output 2
// The 30 captions of lblAddText, index 0..29.
std::span<const char* const> Mnemonics();

// The group whose block the configuration read of a tab fetches: 0, 2, 3, 4, 5; none for 1 and 6.
std::optional<GroupId> GroupOfTab(int tab);
std::optional<Field> FieldByControlName(QStringView name);

// Registers one field takes (2 for Integer32, else 1).
int RegisterWidth(Encoding encoding);
// Registers of a group's block as read (independent of the model).
int ReadCount(GroupId id);
// Registers the group's write sends for the instrument model.
int WriteCount(GroupId id, int model);
// The (first) register of a field; the fields of a mode word share its register.
uint16_t RegisterOf(Field field);
// The mode word containing `field`, if it is one of the eight output list fields.
std::optional<ModeWordDef> ModeWordOf(Field field);

QString ControlName(Field field);
QString LabelControl(Field field);
QString MnemonicText(Field field); // empty when the field has none
QString InitialText(Field field);

// List entries for the language and instrument model (empty for text fields).
QStringList ListItems(Field field, Language language, int model);
int ListCount(Field field, int model);
// The list index a register value selects; nullopt when the value leaves the list as it was.
std::optional<int> ListIndexFromRegister(Field field, unsigned value, int model);
// The register value of a list index. A list with nothing selected (-1) is sent as its first entry.
unsigned RegisterFromListIndex(Field field, int index, int model);

// --- Values --------------------------------------------------------------------------------------

class ParameterSet : public QObject {
    Q_OBJECT
public:
    // `m` gives the instrument model (list sizes, ModSer mapping); it must outlive the set.
    explicit ParameterSet(const Modulo1& m, QObject* parent = nullptr);

    const Modulo1& modulo1() const { return m_; }
    int model() const { return m_.InstrumentModel; }

    // Text of a text field (empty for a list field).
    QString text(Field field) const;
    // Selected index of a list field, -1 when nothing is selected (-1 for a text field).
    int index(Field field) const;
    // The value as a number: the text read with ReadNumber (blanks ignored, no number gives 0),
    // or the list index.
    double number(Field field) const;

    // Puts a value into the field and raises changed(field), also when the value is the same (a read
    // and a file load raise the change notification exactly as an edit does). setText on a list
    // field and setIndex on a text field change nothing and return false; setIndex outside
    // -1..ListCount-1 leaves the list unchanged and returns false (no notification).
    bool setText(Field field, const QString& text);
    bool setIndex(Field field, int index);

    // Every field back to its design text or initial list entry (Baud 1, ValDiv 9, others 0),
    // each raising changed().
    void reset();

    // Whether the group's fields hold values that came from somewhere: a read of the instrument, a
    // setup file, or the user while editing offline. A new set holds its design values as known; a
    // screen that talks to an instrument marks every group unknown until its read succeeds, so that
    // nothing it did not say is shown, sent, saved or printed as if it had.
    bool known(GroupId id) const { return known_[static_cast<size_t>(id)]; }
    // Raises knownChanged(id) when the state changes.
    void setKnown(GroupId id, bool known);
    void setAllKnown(bool known);
    // The groups not known among those the instrument model has (model 2: no set points, operating
    // mode, outputs or analog output), in group order.
    QList<GroupId> unknownGroups() const;

signals:
    void changed(Field field);
    void knownChanged(GroupId id);

private:
    const Modulo1& m_;
    std::array<QString, FieldCount> texts_;
    std::array<int, FieldCount> indices_{};
    std::array<bool, GroupCount> known_{};
};

// What the screen shows for the field: its text, or the text of the selected list entry (empty when
// nothing is selected).
QString DisplayText(const ParameterSet& set, Field field, Language language);

// --- Encodings -----------------------------------------------------------------------------------

// Register(s) -> field text for the text encodings. `second` is the low word of an Integer32 and
// is ignored by the others. Weight needs the division of the instrument in use.
QString DecodeText(Encoding encoding, uint16_t first, uint16_t second, const Modulo1& m);
// Field text -> 4-digit register value(s): two for Integer32, else one.
QList<QByteArray> EncodeText(Encoding encoding, const QString& text, const Modulo1& m);

uint16_t ComposeModeWord(const ParameterSet& set, int output); // output 1 or 2
void DecomposeModeWord(uint16_t word, ParameterSet& set, int output);

// Puts the registers of a read reply into the group's fields in register order (a register missing
// from a short reply decodes as 0). List values outside the list leave it as it was. The division
// code (group Division) also sets DivisionStep and DecimalCount of DeviceAddress, after ValDiv.
void DecodeBlock(GroupId id, const QByteArray& reply, ParameterSet& set, Modulo1& m);
// The same by tab of SSTab1; false (nothing decoded) for the tabs without a block (1, 6).
bool DecodeTabBlock(int tab, const QByteArray& reply, ParameterSet& set, Modulo1& m);

// The 4-digit values that the group's write sends, in register order, as many as WriteCount for the
// instrument model. The analog group always sends its six registers.
QList<QByteArray> EncodeGroup(GroupId id, const ParameterSet& set, const Modulo1& m);
// The complete write request of the group for DeviceAddress (function 06 or 10).
QByteArray BuildGroupRequest(GroupId id, const ParameterSet& set, const Modulo1& m);
