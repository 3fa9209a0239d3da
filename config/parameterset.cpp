#include "parameterset.h"

#include "frame.h"
#include "registers.h"

#include <algorithm>
#include <cmath>

namespace {

// --- List entries (index order) ------------------------------------------------------------------

constexpr const char* OpModeIt[] = {"Netto", "Lordo", "Picco"};
constexpr const char* OpModeEn[] = {"Net", "Gross", "Peak"};
constexpr const char* ValDivItems[] = {"0.001", "0.002", "0.005", "0.01", "0.02", "0.05", "0.1", "0.2",
                                       "0.5",   "1",     "2",     "5",    "10",   "20",   "50"};
// Value the set point is compared with, and the source of the analog output.
constexpr const char* SourceIt[] = {"Netto", "Lordo", "Picco"};
constexpr const char* SourceEn[] = {"Net", "Gross", "Peak H"};
constexpr const char* ApChIt[] = {"N.Aperta", "N.Chiusa"};
constexpr const char* ApChEn[] = {"N.Open", "N.Closed"};
constexpr const char* PoNeIt[] = {"Positivo", "Negativo"};
constexpr const char* PoNeEn[] = {"Positive", "Negative"};
constexpr const char* NoStaIt[] = {"Normale", "Stabile"};
constexpr const char* NoStaEn[] = {"Immediate", "After stab."};
constexpr const char* BaudItems[] = {"2400", "9600", "19200", "38400", "115200"};
constexpr const char* ModSerIt[] = {"Nessuno", "Continua", "Manuale", "Automatica", "Slave", "Modbus", "BCD"};
constexpr const char* ModSerEn[] = {"None", "Continuous", "Demand", "Automatic", "Slave", "Modbus", "BCD"};
constexpr const char* ModSerIt2[] = {"Continua", "Modbus"};
constexpr const char* ModSerEn2[] = {"Continuous", "Modbus"};
// Model 2 offers continuous transmission (mode 1) and MODBUS (mode 5) only.
constexpr uint16_t ModSerValues2[] = {1, 5};
constexpr const char* DatiCom1Items[] = {"N-7-2", "E-7-1", "E-7-2", "O-7-1", "O-7-2",
                                         "N-8-1", "N-8-2", "E-8-1", "O-8-1"};
constexpr const char* ProtoCom2It[] = {"Nessuno", "Profibus", "DeviceNet"};
constexpr const char* ProtoCom2En[] = {"None", "Profibus", "DeviceNet"};
constexpr const char* BRCom2Items[] = {"125", "250", "500"};
constexpr const char* CampoAnaItems[] = {"0-20mA", "4-20mA", "0-10V", "0-5V"};

// --- Design texts -------------------------------------------------------------------------------

constexpr const char* ZeroWeight = "      0"; // weights right-justified to 7
constexpr const char* Two = " 2";
constexpr const char* Hysteresis = "     2";
constexpr const char* Tenths0 = "   0";

constexpr const char* MnemonicTable[] = {
    "(CAPAC)",   "(SENSIT)", "(NET)",    "(DEAD L)", "(DSPDIV)", "(SIGNAL)", "(COUNTS)", "(OPMODE)",
    "(FILTER)",  "(MOTION)", "(AUTO 0)", "(0 TRAC)", "(0 BAND)", "(MODE)",   "(HYST)",   "(TIMER)",
    "(DELAY)",   "(BAUD R)", "(PROT-1)", "(ADDRES)", "(DELAY)",  "(DATA F)", "(PROT-2)", "(PR/DN ADD)",
    "(BAUD 2R)", "(F-SCAL)", "(MODE)",   "(RANGE)",  "(ANZERO)", "(OFFSET)"};
static_assert(std::size(MnemonicTable) == 30);

using enum Field;
using G = GroupId;
using E = Encoding;
constexpr FieldKind Text = FieldKind::Text;
constexpr FieldKind List = FieldKind::List;
constexpr KeyKind Digits = KeyKind::Digits;
constexpr KeyKind Decimal = KeyKind::Decimal;

// --- The parameter table (Field order) ----------------------------------------------------------

constexpr ParameterDef ParameterTable[] = {
    // Weight constants, tab 0
    {.field = Capac,
     .controlName = "Capac",
     .group = G::WeightConstants,
     .encoding = E::Integer32,
     .kind = Text,
     .keys = Digits,
     .maxLength = 7,
     .selectionStart = 1,
     .mnemonicIndex = 0,
     .labelControl = "Label3",
     .initialText = ZeroWeight},
    {.field = Sensib,
     .controlName = "Sensib",
     .group = G::WeightConstants,
     .encoding = E::Sensitivity,
     .kind = Text,
     .keys = Decimal,
     .maxLength = 7,
     .selectionStart = 1,
     .mnemonicIndex = 1,
     .labelControl = "Label11",
     .initialText = " 2.0000"},
    {.field = Teonet,
     .controlName = "Teonet",
     .group = G::WeightConstants,
     .encoding = E::Integer32,
     .kind = Text,
     .keys = Digits,
     .maxLength = 7,
     .selectionStart = 1,
     .mnemonicIndex = 2,
     .labelControl = "Label12",
     .initialText = ZeroWeight},
    {.field = Teotara,
     .controlName = "Teotara",
     .group = G::WeightConstants,
     .encoding = E::Integer32,
     .kind = Text,
     .keys = Digits,
     .maxLength = 7,
     .selectionStart = 1,
     .mnemonicIndex = 3,
     .labelControl = "Label13",
     .initialText = ZeroWeight},
    // Operating mode and division, tab 0
    {.field = OpMode,
     .controlName = "OpMode",
     .group = G::OperatingMode,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = OpModeIt,
     .itemsEnglish = OpModeEn,
     .mnemonicIndex = 7,
     .labelControl = "Label56",
     .initialIndex = 0,
     .hiddenModel2 = true},
    {.field = ValDiv,
     .controlName = "ValDiv",
     .group = G::Division,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = ValDivItems,
     .itemsEnglish = ValDivItems,
     .mnemonicIndex = 4,
     .labelControl = "Label14",
     .initialIndex = 9},
    // Set points, main area
    {.field = Set1,
     .controlName = "Set1",
     .group = G::SetPoints,
     .encoding = E::Weight,
     .kind = Text,
     .keys = Decimal,
     .maxLength = 7,
     .selectionStart = 1,
     .labelControl = "Label5",
     .initialText = ZeroWeight,
     .hiddenModel2 = true},
    {.field = Set2,
     .controlName = "Set2",
     .group = G::SetPoints,
     .encoding = E::Weight,
     .kind = Text,
     .keys = Decimal,
     .maxLength = 7,
     .selectionStart = 1,
     .labelControl = "Label6",
     .initialText = ZeroWeight,
     .hiddenModel2 = true},
    // Weight parameters, tab 2
    {.field = Filtro,
     .controlName = "Filtro",
     .group = G::WeightParameters,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 1,
     .selectionStart = 0,
     .range = ValueRange{0, 9},
     .mnemonicIndex = 8,
     .labelControl = "Label20",
     .initialText = Two},
    {.field = Stabilita,
     .controlName = "Stabilità",
     .group = G::WeightParameters,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 1,
     .selectionStart = 0,
     .range = ValueRange{0, 4},
     .mnemonicIndex = 9,
     .labelControl = "Label21",
     .initialText = Two},
    {.field = Autozero,
     .controlName = "Autozero",
     .group = G::WeightParameters,
     .encoding = E::Tenths,
     .kind = Text,
     .keys = Decimal,
     .maxLength = 4,
     .selectionStart = 0,
     .range = ValueRange{0, 10.0},
     .mnemonicIndex = 10,
     .labelControl = "Label22",
     .initialText = "  0.0"},
    {.field = Inseguimento,
     .controlName = "Inseguimento",
     .group = G::WeightParameters,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 1,
     .selectionStart = 0,
     .range = ValueRange{0, 4},
     .mnemonicIndex = 11,
     .labelControl = "Label23",
     .initialText = Two},
    {.field = ZeroBand,
     .controlName = "ZeroBand",
     .group = G::WeightParameters,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 3,
     .selectionStart = 0,
     .range = ValueRange{0, 200},
     .mnemonicIndex = 12,
     .labelControl = "Label66",
     .initialText = "",
     .hiddenModel2 = true},
    // Relay output 1, tab 3
    {.field = NeLor1,
     .controlName = "NeLor1",
     .group = G::Outputs,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = SourceIt,
     .itemsEnglish = SourceEn,
     .mnemonicIndex = 13,
     .labelControl = "Label25"},
    {.field = ApCh1,
     .controlName = "ApCh1",
     .group = G::Outputs,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = ApChIt,
     .itemsEnglish = ApChEn,
     .labelControl = "Label31"},
    {.field = PoNe1,
     .controlName = "PoNe1",
     .group = G::Outputs,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = PoNeIt,
     .itemsEnglish = PoNeEn,
     .labelControl = "Label43"},
    {.field = NoSta1,
     .controlName = "NoSta1",
     .group = G::Outputs,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = NoStaIt,
     .itemsEnglish = NoStaEn,
     .labelControl = "Label32"},
    {.field = Iste1,
     .controlName = "Iste1",
     .group = G::Outputs,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 6,
     .selectionStart = 0,
     .mnemonicIndex = 14,
     .labelControl = "Label26",
     .initialText = Hysteresis},
    {.field = Disab1,
     .controlName = "Disab1",
     .group = G::Outputs,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 3,
     .selectionStart = 0,
     .mnemonicIndex = 15,
     .labelControl = "Label27",
     .initialText = Tenths0},
    {.field = RiEcc1,
     .controlName = "RiEcc1",
     .group = G::Outputs,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 3,
     .selectionStart = 0,
     .mnemonicIndex = 16,
     .labelControl = "Label28",
     .initialText = Tenths0},
    // Relay output 2, tab 3 (same labels as output 1)
    {.field = NeLor2,
     .controlName = "NeLor2",
     .group = G::Outputs,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = SourceIt,
     .itemsEnglish = SourceEn,
     .mnemonicIndex = 13,
     .labelControl = "Label25"},
    {.field = ApCh2,
     .controlName = "ApCh2",
     .group = G::Outputs,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = ApChIt,
     .itemsEnglish = ApChEn,
     .labelControl = "Label31"},
    {.field = PoNe2,
     .controlName = "PoNe2",
     .group = G::Outputs,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = PoNeIt,
     .itemsEnglish = PoNeEn,
     .labelControl = "Label43"},
    {.field = NoSta2,
     .controlName = "NoSta2",
     .group = G::Outputs,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = NoStaIt,
     .itemsEnglish = NoStaEn,
     .labelControl = "Label32"},
    {.field = Iste2,
     .controlName = "Iste2",
     .group = G::Outputs,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 6,
     .selectionStart = 0,
     .mnemonicIndex = 14,
     .labelControl = "Label26",
     .initialText = Hysteresis},
    {.field = Disab2,
     .controlName = "Disab2",
     .group = G::Outputs,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 3,
     .selectionStart = 0,
     .mnemonicIndex = 15,
     .labelControl = "Label27",
     .initialText = Tenths0},
    {.field = RiEcc2,
     .controlName = "RiEcc2",
     .group = G::Outputs,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 3,
     .selectionStart = 0,
     .mnemonicIndex = 16,
     .labelControl = "Label28",
     .initialText = Tenths0},
    // Serial ports, tab 4
    {.field = Baud,
     .controlName = "Baud",
     .group = G::Serial,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = BaudItems,
     .itemsEnglish = BaudItems,
     .mnemonicIndex = 17,
     .labelControl = "Label33",
     .initialIndex = 1},
    {.field = ModSer,
     .controlName = "ModSer",
     .group = G::Serial,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = ModSerIt,
     .itemsEnglish = ModSerEn,
     .itemsItalianModel2 = ModSerIt2,
     .itemsEnglishModel2 = ModSerEn2,
     .registerValuesModel2 = ModSerValues2,
     .mnemonicIndex = 18,
     .labelControl = "Label34"},
    {.field = Indir,
     .controlName = "Indir",
     .group = G::Serial,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 2,
     .selectionStart = 0,
     .range = ValueRange{1, 32},
     .mnemonicIndex = 19,
     .labelControl = "Label35",
     .initialText = "15"},
    {.field = RiRis,
     .controlName = "RiRis",
     .group = G::Serial,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 3,
     .selectionStart = 0,
     .range = ValueRange{0, 100},
     .mnemonicIndex = 20,
     .labelControl = "Label36",
     .initialText = "  0"},
    {.field = DatiCom1,
     .controlName = "DatiCom1",
     .group = G::Serial,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = DatiCom1Items,
     .itemsEnglish = DatiCom1Items,
     .mnemonicIndex = 21,
     .labelControl = "Label62"},
    {.field = ProtoCom2,
     .controlName = "ProtoCom2",
     .group = G::Serial,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = ProtoCom2It,
     .itemsEnglish = ProtoCom2En,
     .mnemonicIndex = 22,
     .labelControl = "Label63",
     .hiddenModel2 = true},
    {.field = AddrCom2,
     .controlName = "AddrCom2",
     .group = G::Serial,
     .encoding = E::Integer,
     .kind = Text,
     .keys = Digits,
     .maxLength = 3,
     .selectionStart = 0,
     .range = ValueRange{1, 126},
     .mnemonicIndex = 23,
     .labelControl = "Label64",
     .initialText = "  1",
     .hiddenModel2 = true},
    {.field = BRCom2,
     .controlName = "BRCom2",
     .group = G::Serial,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = BRCom2Items,
     .itemsEnglish = BRCom2Items,
     .mnemonicIndex = 24,
     .labelControl = "Label65",
     .hiddenModel2 = true},
    // Analog output, tab 5
    {.field = FsAna,
     .controlName = "FsAna",
     .group = G::Analog,
     .encoding = E::Weight,
     .kind = Text,
     .keys = Decimal,
     .maxLength = 7,
     .selectionStart = 0,
     .mnemonicIndex = 25,
     .labelControl = "Label37",
     .initialText = ZeroWeight},
    {.field = TipoAna,
     .controlName = "TipoAna",
     .group = G::Analog,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = SourceIt,
     .itemsEnglish = SourceEn,
     .mnemonicIndex = 26,
     .labelControl = "Label38"},
    {.field = CampoAna,
     .controlName = "CampoAna",
     .group = G::Analog,
     .encoding = E::List,
     .kind = List,
     .itemsItalian = CampoAnaItems,
     .itemsEnglish = CampoAnaItems,
     .mnemonicIndex = 27,
     .labelControl = "Label39"},
    // The two offsets are set by the analog adjustment, never typed.
    {.field = OffZero,
     .controlName = "OffZero",
     .group = G::Analog,
     .encoding = E::Unsigned,
     .kind = Text,
     .mnemonicIndex = 29,
     .labelControl = "Label40",
     .initialText = "0"},
    {.field = OffFS,
     .controlName = "OffFS",
     .group = G::Analog,
     .encoding = E::Unsigned,
     .kind = Text,
     .mnemonicIndex = 29,
     .labelControl = "Label41",
     .initialText = "0"},
    {.field = RifZero,
     .controlName = "RifZero",
     .group = G::Analog,
     .encoding = E::Weight,
     .kind = Text,
     .keys = Decimal,
     .maxLength = 7,
     .mnemonicIndex = 28,
     .labelControl = "Label59",
     .initialText = ZeroWeight},
};

// --- Register layouts, in register order --------------------------------------------------------

constexpr BlockItem WeightConstantsLayout[] = {{Capac}, {Sensib}, {Teonet}, {Teotara}};
constexpr BlockItem OperatingModeLayout[] = {{OpMode}};
constexpr BlockItem DivisionLayout[] = {{ValDiv}};
constexpr BlockItem SetPointsLayout[] = {{Set1}, {Set2}};
constexpr BlockItem WeightParametersLayout[] = {
    {Filtro}, {Stabilita}, {Autozero}, {Inseguimento}, {ZeroBand}};
constexpr BlockItem OutputsLayout[] = {{NeLor1, true}, {Iste1}, {Disab1}, {RiEcc1},
                                       {NeLor2, true}, {Iste2}, {Disab2}, {RiEcc2}};
constexpr BlockItem SerialLayout[] = {{Baud},     {ModSer},    {Indir},    {RiRis},
                                      {DatiCom1}, {ProtoCom2}, {AddrCom2}, {BRCom2}};
constexpr BlockItem AnalogLayout[] = {{FsAna}, {TipoAna}, {CampoAna}, {OffZero}, {OffFS}, {RifZero}};

constexpr std::array<ModeWordDef, 2> ModeWordTable{{
    {NeLor1, ApCh1, PoNe1, NoSta1},
    {NeLor2, ApCh2, PoNe2, NoSta2},
}};

// --- The group table (GroupId order) -------------------------------------------------------------

constexpr ParameterGroup GroupTable[] = {
    {G::WeightConstants,
     "WeightConstants",
     0,
     Reg::WeightConstants,
     {Reg::WeightConstantsCount, Reg::WeightConstantsCount},
     Fn::WriteMultipleRegisters,
     "Command12",
     "Shape8",
     "Label9",
     1,
     Echo::WeightConstants,
     WriteSlot::A,
     true,
     WeightConstantsLayout},
    {G::OperatingMode,
     "OperatingMode",
     0,
     Reg::OperatingMode,
     {1, 1},
     Fn::WriteSingleRegister,
     "Command27",
     "Shape7",
     nullptr,
     1,
     Echo::OperatingMode,
     WriteSlot::A,
     false,
     OperatingModeLayout},
    {G::Division,
     "Division",
     0,
     Reg::DivisionCode,
     {1, 1},
     Fn::WriteSingleRegister,
     "Command26",
     "Shape9",
     nullptr,
     -1,
     Echo::DivisionCode,
     WriteSlot::A,
     true,
     DivisionLayout},
    {G::SetPoints,
     "SetPoints",
     -1,
     Reg::SetPoints,
     {Reg::SetPointsCount, Reg::SetPointsCount},
     Fn::WriteMultipleRegisters,
     "Command17",
     "Shape6",
     nullptr,
     -1,
     Echo::SetPoints,
     WriteSlot::A,
     false,
     SetPointsLayout},
    {G::WeightParameters,
     "WeightParameters",
     2,
     Reg::WeightParameters,
     {Reg::WeightParametersWriteCount(1), Reg::WeightParametersWriteCount(2)},
     Fn::WriteMultipleRegisters,
     "Command13",
     "Shape10",
     "Label60",
     3,
     Echo::WeightParameters,
     WriteSlot::A,
     true,
     WeightParametersLayout},
    {G::Outputs,
     "Outputs",
     3,
     Reg::Outputs,
     {Reg::OutputsCount, Reg::OutputsCount},
     Fn::WriteMultipleRegisters,
     "Command14",
     "Shape11",
     "Label58",
     4,
     Echo::Outputs,
     WriteSlot::A,
     false,
     OutputsLayout},
    {G::Serial,
     "Serial",
     4,
     Reg::Serial,
     {Reg::SerialWriteCount(1), Reg::SerialWriteCount(2)},
     Fn::WriteMultipleRegisters,
     "Command15",
     "Shape4",
     "Label53",
     5,
     Echo::Serial,
     WriteSlot::B,
     true,
     SerialLayout},
    // Always the six registers: four would put RifZero into the zero adjustment register.
    {G::Analog,
     "Analog",
     5,
     Reg::Analog,
     {Reg::AnalogCount, Reg::AnalogCount},
     Fn::WriteMultipleRegisters,
     "Command16",
     "Shape12",
     "Label61",
     6,
     Echo::Analog,
     WriteSlot::B,
     false,
     AnalogLayout},
};

// --- Consistency of the tables, checked when compiling -----------------------------------------

constexpr int Width(Encoding e) {
    return e == Encoding::Integer32 ? 2 : 1;
}

constexpr int LayoutRegisters(std::span<const BlockItem> layout) {
    int n = 0;
    for (const BlockItem& item : layout) {
        n += item.modeWord ? 1 : Width(ParameterTable[static_cast<int>(item.field)].encoding);
    }
    return n;
}

constexpr bool TablesInOrder() {
    for (int i = 0; i < FieldCount; ++i) {
        if (static_cast<int>(ParameterTable[i].field) != i) {
            return false;
        }
    }
    for (int i = 0; i < GroupCount; ++i) {
        const ParameterGroup& g = GroupTable[i];
        if (static_cast<int>(g.id) != i) {
            return false;
        }
        // Every field of a layout belongs to the group, and no group writes more than it reads.
        for (const BlockItem& item : g.layout) {
            if (ParameterTable[static_cast<int>(item.field)].group != g.id) {
                return false;
            }
        }
        if (g.writeCount[0] > LayoutRegisters(g.layout) || g.writeCount[1] > LayoutRegisters(g.layout)) {
            return false;
        }
    }
    return true;
}
static_assert(std::size(ParameterTable) == FieldCount);
static_assert(std::size(GroupTable) == GroupCount);
static_assert(TablesInOrder());
static_assert(LayoutRegisters(WeightConstantsLayout) == Reg::WeightConstantsCount);
static_assert(LayoutRegisters(WeightParametersLayout) == Reg::WeightParametersCount);
static_assert(LayoutRegisters(OutputsLayout) == Reg::OutputsCount);
static_assert(LayoutRegisters(SerialLayout) == Reg::SerialCount);
static_assert(LayoutRegisters(AnalogLayout) == Reg::AnalogCount);
static_assert(LayoutRegisters(SetPointsLayout) == Reg::SetPointsCount);

QString Utf8(const char* text) {
    return text == nullptr ? QString() : QString::fromUtf8(text);
}

bool IsText(Field field) {
    return Parameter(field).kind == FieldKind::Text;
}

bool UsesModel2List(const ParameterDef& p, int model) {
    return model == 2 && !p.itemsItalianModel2.empty();
}

} // namespace

// --- Table access ----------------------------------------------------------------------------------

Language LanguageFromIndex(int languageIndex) {
    return languageIndex == 1 ? Language::English : Language::Italian;
}

std::span<const ParameterDef> Parameters() {
    return ParameterTable;
}

const ParameterDef& Parameter(Field field) {
    return ParameterTable[static_cast<int>(field)];
}

std::span<const ParameterGroup> Groups() {
    return GroupTable;
}

const ParameterGroup& Group(GroupId id) {
    return GroupTable[static_cast<int>(id)];
}

const std::array<ModeWordDef, 2>& ModeWords() {
    return ModeWordTable;
}

std::span<const char* const> Mnemonics() {
    return MnemonicTable;
}

std::optional<GroupId> GroupOfTab(int tab) {
    // The tab-0 read fetches the weight constants; operating mode and division have readers of
    // their own.
    if (tab == 0) {
        return GroupId::WeightConstants;
    }
    for (const ParameterGroup& g : GroupTable) {
        if (g.tab == tab && tab > 0) {
            return g.id;
        }
    }
    return std::nullopt;
}

std::optional<Field> FieldByControlName(QStringView name) {
    for (const ParameterDef& p : ParameterTable) {
        if (name == QString::fromUtf8(p.controlName)) {
            return p.field;
        }
    }
    return std::nullopt;
}

int RegisterWidth(Encoding encoding) {
    return Width(encoding);
}

int ReadCount(GroupId id) {
    return LayoutRegisters(Group(id).layout);
}

int WriteCount(GroupId id, int model) {
    return Group(id).writeCount[model == 2 ? 1 : 0];
}

uint16_t RegisterOf(Field field) {
    const ParameterGroup& g = Group(Parameter(field).group);
    int offset = 0;
    for (const BlockItem& item : g.layout) {
        if (item.field == field) {
            return static_cast<uint16_t>(g.startRegister + offset);
        }
        if (item.modeWord) {
            const ModeWordDef w = *ModeWordOf(item.field);
            if (field == w.apCh || field == w.poNe || field == w.noSta) {
                return static_cast<uint16_t>(g.startRegister + offset);
            }
        }
        offset += item.modeWord ? 1 : Width(Parameter(item.field).encoding);
    }
    return g.startRegister; // not reached: every field is in its group's layout
}

std::optional<ModeWordDef> ModeWordOf(Field field) {
    for (const ModeWordDef& w : ModeWordTable) {
        if (field == w.neLor || field == w.apCh || field == w.poNe || field == w.noSta) {
            return w;
        }
    }
    return std::nullopt;
}

QString ControlName(Field field) {
    return Utf8(Parameter(field).controlName);
}

QString LabelControl(Field field) {
    return Utf8(Parameter(field).labelControl);
}

QString MnemonicText(Field field) {
    const int index = Parameter(field).mnemonicIndex;
    return index < 0 ? QString() : Utf8(MnemonicTable[index]);
}

QString InitialText(Field field) {
    return Utf8(Parameter(field).initialText);
}

QStringList ListItems(Field field, Language language, int model) {
    const ParameterDef& p = Parameter(field);
    const bool english = language == Language::English;
    const std::span<const char* const> items = UsesModel2List(p, model)
                                                   ? (english ? p.itemsEnglishModel2 : p.itemsItalianModel2)
                                                   : (english ? p.itemsEnglish : p.itemsItalian);
    QStringList out;
    out.reserve(static_cast<qsizetype>(items.size()));
    for (const char* item : items) {
        out.append(Utf8(item));
    }
    return out;
}

int ListCount(Field field, int model) {
    const ParameterDef& p = Parameter(field);
    return static_cast<int>(UsesModel2List(p, model) ? p.itemsItalianModel2.size() : p.itemsItalian.size());
}

std::optional<int> ListIndexFromRegister(Field field, unsigned value, int model) {
    const ParameterDef& p = Parameter(field);
    if (UsesModel2List(p, model)) {
        const auto& values = p.registerValuesModel2;
        const auto it = std::find(values.begin(), values.end(), value);
        if (it == values.end()) {
            return std::nullopt;
        }
        return static_cast<int>(it - values.begin());
    }
    if (value < static_cast<unsigned>(ListCount(field, model))) {
        return static_cast<int>(value);
    }
    return std::nullopt;
}

unsigned RegisterFromListIndex(Field field, int index, int model) {
    const ParameterDef& p = Parameter(field);
    const int i = std::max(index, 0);
    if (UsesModel2List(p, model)) {
        const auto& values = p.registerValuesModel2;
        return values[static_cast<size_t>(i) < values.size() ? static_cast<size_t>(i) : 0];
    }
    return static_cast<unsigned>(i);
}

// --- ParameterSet ------------------------------------------------------------------------------------

ParameterSet::ParameterSet(const Modulo1& m, QObject* parent) : QObject(parent), m_(m) {
    for (const ParameterDef& p : ParameterTable) {
        const auto i = static_cast<size_t>(p.field);
        texts_[i] = p.kind == FieldKind::Text ? Utf8(p.initialText) : QString();
        indices_[i] = p.kind == FieldKind::List ? p.initialIndex : -1;
    }
    known_.fill(true);
}

void ParameterSet::setKnown(GroupId id, bool known) {
    bool& k = known_[static_cast<size_t>(id)];
    if (k != known) {
        k = known;
        emit knownChanged(id);
    }
}

void ParameterSet::setAllKnown(bool known) {
    for (int g = 0; g < GroupCount; ++g) {
        setKnown(static_cast<GroupId>(g), known);
    }
}

QList<GroupId> ParameterSet::unknownGroups() const {
    QList<GroupId> unknown;
    for (const ParameterGroup& g : Groups()) {
        if (!known(g.id) && (model() != 2 || g.model2)) {
            unknown << g.id;
        }
    }
    return unknown;
}

QString ParameterSet::text(Field field) const {
    return texts_[static_cast<size_t>(field)];
}

int ParameterSet::index(Field field) const {
    return indices_[static_cast<size_t>(field)];
}

double ParameterSet::number(Field field) const {
    return IsText(field) ? ReadNumber(text(field)) : static_cast<double>(index(field));
}

bool ParameterSet::setText(Field field, const QString& text) {
    if (!IsText(field)) {
        return false;
    }
    texts_[static_cast<size_t>(field)] = text;
    emit changed(field);
    return true;
}

bool ParameterSet::setIndex(Field field, int index) {
    if (IsText(field) || index < -1 || index >= ListCount(field, model())) {
        return false;
    }
    indices_[static_cast<size_t>(field)] = index;
    emit changed(field);
    return true;
}

void ParameterSet::reset() {
    for (const ParameterDef& p : ParameterTable) {
        if (p.kind == FieldKind::Text) {
            setText(p.field, Utf8(p.initialText));
        } else {
            setIndex(p.field, p.initialIndex);
        }
    }
}

QString DisplayText(const ParameterSet& set, Field field, Language language) {
    if (IsText(field)) {
        return set.text(field);
    }
    const QStringList items = ListItems(field, language, set.model());
    const int i = set.index(field);
    return i >= 0 && i < items.size() ? items[i] : QString();
}

// --- Encodings ---------------------------------------------------------------------------------------

QString DecodeText(Encoding encoding, uint16_t first, uint16_t second, const Modulo1& m) {
    switch (encoding) {
    case Encoding::Integer:
        return QString::number(static_cast<int16_t>(first));
    case Encoding::Integer32:
        return QString::number((static_cast<uint32_t>(first) << 16) | second).rightJustified(7, u' ');
    case Encoding::Sensitivity: {
        // 20000 -> " 2.0000": one blank, the first digit, ".", the other four.
        const QString digits = QString::number(first).rightJustified(5, u'0');
        return u' ' + digits.left(1) + u'.' + digits.mid(1);
    }
    case Encoding::Tenths: {
        // 7 -> "0.7", 100 -> "10.0"; a negative value keeps its sign in front (-5 -> "-0.5").
        const int value = static_cast<int16_t>(first);
        QString digits = QString::number(std::abs(value)).rightJustified(2, u'0');
        digits.insert(digits.size() - 1, u'.');
        return value < 0 ? u'-' + digits : digits;
    }
    case Encoding::Weight:
        return DecodeValue(QString::number(static_cast<qulonglong>(first) * m.CurrentStep()), m);
    case Encoding::Unsigned:
    case Encoding::List:
        return QString::number(first);
    }
    return {};
}

QList<QByteArray> EncodeText(Encoding encoding, const QString& text, const Modulo1& m) {
    switch (encoding) {
    case Encoding::Integer:
    case Encoding::Unsigned:
    case Encoding::Sensitivity: // " 2.0000" -> 20000: EncodeValue drops every "."
    case Encoding::List:
        return {EncodeValue(text)};
    case Encoding::Integer32: {
        // high = whole part of value / 65536, low = value modulo 65536, each through EncodeValue.
        // The value is taken as a whole number modulo 2^32 (the two words hold no more).
        const double value = ReadNumber(text);
        if (!std::isfinite(value)) {
            return {EncodeValue(QString()), EncodeValue(QString())};
        }
        double whole = std::fmod(RoundHalfEven(value), 4294967296.0);
        if (whole < 0) {
            whole += 4294967296.0;
        }
        const auto count = static_cast<uint32_t>(whole);
        return {EncodeValue(QString::number(count / 65536u)), EncodeValue(QString::number(count % 65536u))};
    }
    case Encoding::Tenths:
        return {EncodeOneDecimal(text)};
    case Encoding::Weight:
        return {EncodeScaled(text, m)};
    }
    return {};
}

uint16_t ComposeModeWord(const ParameterSet& set, int output) {
    const ModeWordDef& w = ModeWordTable[output == 2 ? 1 : 0];
    // A list with nothing selected counts as its first entry.
    auto bits = [&](Field f) { return static_cast<unsigned>(std::max(set.index(f), 0)); };
    return static_cast<uint16_t>(bits(w.neLor) + 4 * bits(w.apCh) + 8 * bits(w.poNe) + 16 * bits(w.noSta));
}

void DecomposeModeWord(uint16_t word, ParameterSet& set, int output) {
    const ModeWordDef& w = ModeWordTable[output == 2 ? 1 : 0];
    const int model = set.model();
    // Bits 5..15 are ignored; a NeLor value of 3 is no entry of its list and leaves it as it was.
    const unsigned parts[] = {word % 4u, (word >> 2) & 1u, (word >> 3) & 1u, (word >> 4) & 1u};
    const Field fields[] = {w.neLor, w.apCh, w.poNe, w.noSta};
    for (int i = 0; i < 4; ++i) {
        if (const auto index = ListIndexFromRegister(fields[i], parts[i], model)) {
            set.setIndex(fields[i], *index);
        }
    }
}

void DecodeBlock(GroupId id, const QByteArray& reply, ParameterSet& set, Modulo1& m) {
    const ParameterGroup& g = Group(id);
    int n = 0; // register of the reply
    int output = 0;
    for (const BlockItem& item : g.layout) {
        if (item.modeWord) {
            DecomposeModeWord(ReadRegisterUnsigned(reply, n), set, ++output);
            n += 1;
            continue;
        }
        const ParameterDef& p = Parameter(item.field);
        if (p.kind == FieldKind::List) {
            if (const auto index =
                    ListIndexFromRegister(p.field, ReadRegisterUnsigned(reply, n), m.InstrumentModel)) {
                set.setIndex(p.field, *index);
            }
            if (p.field == Field::ValDiv) {
                // The division code also gives the step and decimals of every weight; it is set
                // after the list, so the list's change never counts as an edit.
                SetDivisionFromCode(m, m.DeviceAddress, ReadRegisterSigned(reply, n));
            }
        } else {
            const uint16_t first = ReadRegisterUnsigned(reply, n);
            const uint16_t second =
                p.encoding == Encoding::Integer32 ? ReadRegisterUnsigned(reply, n + 1) : 0;
            set.setText(p.field, DecodeText(p.encoding, first, second, m));
        }
        n += Width(p.encoding);
    }
    set.setKnown(id, true);
}

bool DecodeTabBlock(int tab, const QByteArray& reply, ParameterSet& set, Modulo1& m) {
    const std::optional<GroupId> id = GroupOfTab(tab);
    if (!id) {
        return false;
    }
    DecodeBlock(*id, reply, set, m);
    return true;
}

QList<QByteArray> EncodeGroup(GroupId id, const ParameterSet& set, const Modulo1& m) {
    const ParameterGroup& g = Group(id);
    QList<QByteArray> values;
    int output = 0;
    for (const BlockItem& item : g.layout) {
        if (item.modeWord) {
            values.append(Hex4(ComposeModeWord(set, ++output)));
            continue;
        }
        const ParameterDef& p = Parameter(item.field);
        if (p.kind == FieldKind::List) {
            values.append(Hex4(RegisterFromListIndex(p.field, set.index(p.field), m.InstrumentModel)));
        } else {
            values.append(EncodeText(p.encoding, set.text(p.field), m));
        }
    }
    values.resize(WriteCount(id, m.InstrumentModel));
    return values;
}

QByteArray BuildGroupRequest(GroupId id, const ParameterSet& set, const Modulo1& m) {
    const ParameterGroup& g = Group(id);
    const QList<QByteArray> values = EncodeGroup(id, set, m);
    const QByteArray body = g.function == Fn::WriteSingleRegister
                                ? WriteSingleBody(g.startRegister, values.value(0))
                                : WriteMultipleBody(g.startRegister, values);
    return BuildRequest(m.DeviceAddress, g.function, body);
}
