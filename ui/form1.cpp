#include "form1.h"

#include "applytexts.h"
#include "echohint.h"
#include "note.h"
#include "offline.h"
#include "prompter.h"
#include "rules.h"
#include "setupdialogs.h"
#include "texts.h"
#include "texts_form1.h"
#include "texts_report.h"
#include "texts_traffic.h"
#include "trafficwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>
#include <functional>

namespace {
constexpr int TabCount = 7;
constexpr int AnalogTab = 5;
constexpr int TestTab = 6;

const QColor LampColour(0, 200, 0);
const QColor MarkerColour(255, 0, 0);

QFont FixedFont(int pointSize = 0) {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (pointSize > 0) {
        f.setPointSize(pointSize);
    }
    return f;
}

// A caption on one line, never cut: the layout gives it the room its text needs.
QLabel* MakeLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    return label;
}

// A button as wide as its caption needs.
QPushButton* MakeButton(const char* name, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return button;
}

// Keeps the room of a control that comes and goes, so that nothing beside it moves.
void RetainSpaceWhenHidden(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

QLineEdit* MakeDisplay(const char* name, QWidget* parent, int chars = 8) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    edit->setReadOnly(true);
    edit->setFont(FixedFont());
    edit->setMaximumWidth(QFontMetrics(edit->font()).horizontalAdvance(QString(chars + 2, 'X')));
    // The display fills its own background with the window colour, which its frame's corners show
    // anyway: a new value then repaints the display alone, not the window and the band beneath it.
    edit->setBackgroundRole(QPalette::Window);
    edit->setAutoFillBackground(true);
    return edit;
}

QFrame* MakeLine(int index, QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line7(%1)").arg(index));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// Puts every change of a text field's text through the field's own check (paste, drop, the middle
// button, an input method: ways in that no key press passes).
class FieldValidator : public QValidator {
public:
    using Check = std::function<void(QString& input, int& pos)>;
    FieldValidator(Check check, QObject* parent) : QValidator(parent), check_(std::move(check)) {}
    State validate(QString& input, int& pos) const override {
        check_(input, pos);
        return Acceptable;
    }

private:
    Check check_;
};

// The fields of a tab's groups, in the order of the parameter table.
QList<Field> FieldsOfTab(int tab) {
    QList<Field> fields;
    for (const ParameterDef& p : Parameters()) {
        if (Group(p.group).tab == tab) {
            fields << p.field;
        }
    }
    return fields;
}
} // namespace

// --- Shape ------------------------------------------------------------------------------------------

Shape::Shape(const QString& name, const QColor& colour, int size, QWidget* parent)
    : QFrame(parent), colour_(colour) {
    setObjectName(name);
    setFixedSize(size, size);
}

void Shape::SetFillStyle(int style) {
    if (style == fillStyle_) {
        return;
    }
    fillStyle_ = style;
    update();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(fillStyle_ == Solid ? QBrush(colour_) : QBrush(Qt::NoBrush));
    p.drawEllipse(rect().adjusted(1, 1, -1, -1));
}

// --- Form1 ------------------------------------------------------------------------------------------

Form1::Form1(const ScreenContext& context, QWidget* parent)
    : QMainWindow(parent), MSComm1(new SerialLink(context.m, this)), context_(context), m_(context.m),
      link_(MSComm1), queue_(m_, *link_, [this] { return int(m_.MainReplyTimeoutMs); }),
      set_(m_), session_{m_, *link_, queue_, set_}, commands_(session_), writer_(session_, marks_, commands_),
      reader_(
          session_, [this] { return SSTab1 ? SSTab1->currentIndex() : 0; },
          [this](int tab) {
              if (SSTab1) {
                  SSTab1->setCurrentIndex(tab);
              }
          }),
      monitor_(session_, reader_, display_), calib_(session_, writer_, display_),
      outputs_(session_, marks_, commands_), Timer1(MSComm1->Timer1), Timer2(writer_.Timer2) {
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    MSComm1->SetTraffic(context.traffic);
    BuildControls();
    WireCalibration();
    WireFiles();

    connect(&set_, &ParameterSet::changed, this, [this](Field f) {
        ShowField(f);
        MarkerRule(f);
    });
    connect(&marks_, &GroupMarks::changed, this, &Form1::ShowGroupMarks);
    connect(&display_, &MonitorDisplay::textChanged, this, &Form1::ShowText);
    connect(&display_, &MonitorDisplay::lampChanged, this, &Form1::ShowLamp);
}

Form1::~Form1() {
    // The fields' validators and handlers call back into the screen: the child widgets go while the
    // screen is still whole, not from the base class's destructor.
    QList<QPointer<QWidget>> children;
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        children << child;
    }
    for (const QPointer<QWidget>& child : children) {
        delete child.data();
    }
}

QWidget* Form1::Named(const char* name) const {
    return findChild<QWidget*>(QString::fromUtf8(name));
}

void Form1::SetVisible(std::initializer_list<const char*> names, bool visible) {
    for (const char* name : names) {
        if (QWidget* w = Named(name)) {
            w->setVisible(visible);
        }
    }
}

void Form1::SetEnabled(std::initializer_list<const char*> names, bool enabled) {
    for (const char* name : names) {
        if (QWidget* w = Named(name)) {
            w->setEnabled(enabled);
        }
    }
}

QString Form1::Text(const char* key) const {
    return TextOf(texts::MainScreen(), QString::fromUtf8(key), m_.LanguageIndex);
}

// --- Building the controls -------------------------------------------------------------------------------

QWidget* Form1::MakeField(Field field, QWidget* parent) {
    const ParameterDef& def = Parameter(field);
    QWidget* w = nullptr;
    if (def.kind == FieldKind::List) {
        auto* combo = new QComboBox(parent);
        connect(combo, &QComboBox::activated, this, [this, field](int index) {
            if (!updatingField_) {
                set_.setIndex(field, index);
            }
        });
        w = combo;
    } else {
        auto* edit = new QLineEdit(parent);
        edit->setFont(FixedFont());
        const int chars = qMax(def.maxLength, 7);
        edit->setMaximumWidth(QFontMetrics(edit->font()).horizontalAdvance(QString(chars + 2, 'X')));
        connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
            if (!updatingField_) {
                set_.setText(field, text);
            }
        });
        // Text that comes in other than by a typed key goes through the key rule and the maximum
        // length as typed text does; values put in by the program are taken as they are.
        edit->setValidator(new FieldValidator(
            [this, field](QString& input, int& pos) {
                if (updatingField_) {
                    return;
                }
                int cursor = pos;
                const QString taken = TakeEdit(field, set_.text(field), input, &cursor);
                if (taken != input) {
                    input = taken;
                    pos = cursor;
                }
            },
            edit));
        edit->installEventFilter(this);
        w = edit;
    }
    w->setObjectName(QString::fromUtf8(def.controlName));
    fields_[static_cast<int>(field)] = w;
    return w;
}

Shape* Form1::MakeMarker(GroupId id, QWidget* parent) {
    auto* shape = new Shape(QString::fromUtf8(Group(id).marker), MarkerColour, 12, parent);
    shape->setVisible(false);
    RetainSpaceWhenHidden(shape);
    return shape;
}

QPushButton* Form1::MakeSendButton(GroupId id, QWidget* parent) {
    auto* button = MakeButton(Group(id).sendButton, parent);
    button->setEnabled(false);
    connect(button, &QPushButton::clicked, this, [this, id] {
        // The value of the field being left is checked first: a refused one stops the send.
        if (SendAllowed()) {
            writer_.Send(id);
        }
    });
    return button;
}

QLabel* Form1::MakeErrorLabel(GroupId id, QWidget* parent) {
    auto* label = MakeLabel(Group(id).errorLabel, parent);
    label->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    label->setVisible(false);
    RetainSpaceWhenHidden(label);
    return label;
}

void Form1::BuildControls() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    // The upper band keeps its own height; in setup mode the tab control takes the rest.
    layout->addWidget(BuildUpperBand(), 0, Qt::AlignTop);

    SSTab1 = new QTabWidget(central);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    for (int tab = 0; tab < TabCount; ++tab) {
        SSTab1->addTab(tab == TestTab ? BuildTestTab() : BuildTab(tab), QString());
    }
    SSTab1->setVisible(false);
    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int index) {
        const int left = currentTab_;
        currentTab_ = index;
        if (left != index) {
            SSTab1_Click(left);
        }
    });
    layout->addWidget(SSTab1, 1);
    setCentralWidget(central);

    // The mnemonics of the instrument's own menu, never shown.
    for (int i = 0; i < int(lblAddText.size()); ++i) {
        lblAddText[i] = new QLabel(central);
        lblAddText[i]->setObjectName(QStringLiteral("lblAddText(%1)").arg(i));
        lblAddText[i]->setVisible(false);
    }

    opz = menuBar()->addMenu(QString());
    opz->setObjectName(QStringLiteral("opz"));
    Ap = opz->addAction(QString());
    Sal = opz->addAction(QString());
    Reset = opz->addAction(QString());
    Esc = opz->addAction(QString());
    Edit = menuBar()->addMenu(QString());
    Edit->setObjectName(QStringLiteral("Edit"));
    Econf = Edit->addAction(QString());
    Nota = Edit->addAction(QString());
    SConf = Edit->addAction(QString());
    const std::pair<QAction*, const char*> actions[] = {{Ap, "Ap"},      {Sal, "Sal"},     {Reset, "Reset"},
                                                        {Esc, "Esc"},    {Econf, "Econf"}, {Nota, "Nota"},
                                                        {SConf, "SConf"}};
    for (auto [action, name] : actions) {
        action->setObjectName(QString::fromUtf8(name));
    }
    traf = AddTrafficMenu(this, context_, vis);
    connect(Esc, &QAction::triggered, this, &Form1::Esc_Click);
    connect(Reset, &QAction::triggered, this, &Form1::Reset_Click);
    connect(Ap, &QAction::triggered, this, &Form1::Ap_Click);
    connect(Sal, &QAction::triggered, this, &Form1::Sal_Click);
    Econf->setCheckable(true);
    connect(Econf, &QAction::triggered, this, &Form1::Econf_Click);
    connect(Nota, &QAction::triggered, this, &Form1::Nota_Click);
    connect(SConf, &QAction::triggered, this, &Form1::SConf_Click);
    for (QAction* item : {Ap, Sal, Econf, Nota, SConf}) {
        EnableMenu(item, true);
    }
}

void Form1::EnableMenu(QAction* action, bool enabled) {
    menuRule_[action] = enabled;
    action->setEnabled(enabled);
}

bool Form1::MenuRuleEnabled(const QAction* action) const {
    return menuRule_.value(action, action->isEnabled());
}

QWidget* Form1::BuildUpperBand() {
    auto* band = new QWidget(this);
    auto* grid = new QGridLayout(band);

    auto* weightBox = new QVBoxLayout;
    Label1 = MakeLabel("Label1", band);
    // The weight changes at every poll of a loaded scale. The style's rounded frame of a text field
    // costs more to draw than the rest of a pass, so the weight is a frameless field on a sunken
    // panel: a new weight repaints the text alone, the panel is drawn only with the window.
    auto* pesoPanel = new QFrame(band);
    pesoPanel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    pesoPanel->setBackgroundRole(QPalette::Base);
    pesoPanel->setAutoFillBackground(true);
    pesoPanel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* pesoBox = new QHBoxLayout(pesoPanel);
    const int frame = pesoPanel->frameWidth();
    pesoBox->setContentsMargins(frame, frame, frame, frame);
    Peso = MakeDisplay("Peso", pesoPanel, 9);
    Peso->setFrame(false);
    Peso->setBackgroundRole(QPalette::Base);
    Peso->setFont(FixedFont(24));
    Peso->setMaximumWidth(QWIDGETSIZE_MAX);
    Peso->setMinimumWidth(QFontMetrics(Peso->font()).horizontalAdvance(QString(9, 'X')));
    Peso->setAlignment(Qt::AlignRight);
    pesoBox->addWidget(Peso);
    weightBox->addWidget(Label1);
    weightBox->addWidget(pesoPanel);
    grid->addLayout(weightBox, 0, 0, 2, 1);

    Frame2 = new QGroupBox(band);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto* views = new QVBoxLayout(Frame2);
    Option1 = new QRadioButton(Frame2);
    Option2 = new QRadioButton(Frame2);
    Option4 = new QRadioButton(Frame2);
    const std::pair<QRadioButton*, int> options[] = {{Option1, 1}, {Option2, 2}, {Option4, 3}};
    for (auto [option, view] : options) {
        option->setObjectName(QStringLiteral("Option%1").arg(view == 3 ? 4 : view));
        views->addWidget(option);
        connect(option, &QRadioButton::clicked, this, [this, v = view] { Option_Click(v); });
    }
    grid->addWidget(Frame2, 0, 1, 2, 1);

    Frame1 = new QGroupBox(band);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* lampGrid = new QGridLayout(Frame1);
    // By MonitorDisplay::Lamp: output 1, output 2, net, stable.
    const std::tuple<const char*, const char*, int> lamps[] = {
        {"Shape1", "Label2", 3}, {"Shape2", "Label7", 2}, {"Shape3", "Label8", 1}, {"Shape5", "Label10", 0}};
    for (int i = 0; i < 4; ++i) {
        auto [shape, label, row] = lamps[i];
        lamps_[i] = new Shape(QString::fromUtf8(shape), LampColour, 16, Frame1);
        lamps_[i]->SetFillStyle(Shape::Transparent);
        lampGrid->addWidget(lamps_[i], row, 0);
        lampGrid->addWidget(MakeLabel(label, Frame1), row, 1);
    }
    grid->addWidget(Frame1, 0, 2, 2, 1);

    auto* values = new QGridLayout;
    int row = 0;
    auto addRow = [&](const char* label, QWidget* value, QWidget* extra1 = nullptr,
                      QWidget* extra2 = nullptr) {
        values->addWidget(MakeLabel(label, band), row, 0);
        values->addWidget(value, row, 1);
        if (extra1) {
            values->addWidget(extra1, row, 2);
        }
        if (extra2) {
            values->addWidget(extra2, row, 3);
        }
        ++row;
    };
    IndStr = MakeDisplay("IndStr", band, 3);
    addRow("Label4", IndStr);
    addRow("Label5", MakeField(Field::Set1, band), MakeSendButton(GroupId::SetPoints, band),
           MakeMarker(GroupId::SetPoints, band));
    addRow("Label6", MakeField(Field::Set2, band));
    Ingresso1 = MakeDisplay("Ingresso1", band, 2);
    Ingresso2 = MakeDisplay("Ingresso2", band, 2);
    Ingresso1->installEventFilter(this);
    Ingresso2->installEventFilter(this);
    addRow("Label24", Ingresso1);
    addRow("Label54", Ingresso2);
    Versione = MakeDisplay("Versione", band, 5);
    Versione->setFont(QApplication::font());
    addRow("Label55", Versione);
    grid->addLayout(values, 0, 3, 2, 1);

    Command1 = MakeButton("Command1", band);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    grid->addWidget(Command1, 1, 4, Qt::AlignBottom);
    grid->setColumnStretch(0, 1);
    return band;
}

QWidget* Form1::BuildTab(int tab) {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    int row = 0;
    const std::optional<GroupId> group = GroupOfTab(tab);

    if (tab == 1) {
        // Zero and full-scale calibration.
        auto* frame3 = new QGroupBox(page);
        frame3->setObjectName(QStringLiteral("Frame3"));
        auto* zero = new QHBoxLayout(frame3);
        zero->addWidget(MakeLabel("Label16", frame3));
        zero->addWidget(MakeButton("Command2", frame3));
        zero->addWidget(MakeLabel("Label17", frame3));
        zero->addStretch(1);
        auto* frame4 = new QGroupBox(page);
        frame4->setObjectName(QStringLiteral("Frame4"));
        auto* span = new QHBoxLayout(frame4);
        span->addWidget(MakeLabel("Label18", frame4));
        auto* campione = new QLineEdit(frame4);
        campione->setObjectName(QStringLiteral("Campione"));
        campione->setFont(FixedFont());
        campione->setMaximumWidth(QFontMetrics(campione->font()).horizontalAdvance(QString(9, 'X')));
        span->addWidget(campione);
        span->addWidget(MakeLabel("Label19", frame4));
        span->addWidget(MakeButton("Command3", frame4));
        span->addStretch(1);
        grid->addWidget(frame3, 0, 0);
        grid->addWidget(frame4, 1, 0);
        grid->setRowStretch(2, 1);
        return page;
    }

    if (tab == 3) {
        // Two columns, one per relay output; the rows share their labels.
        grid->addWidget(MakeLabel("Label29", page), row, 1);
        grid->addWidget(MakeLabel("Label30", page), row, 2);
        ++row;
        const std::pair<Field, Field> rows[] = {
            {Field::NeLor1, Field::NeLor2}, {Field::ApCh1, Field::ApCh2}, {Field::PoNe1, Field::PoNe2},
            {Field::NoSta1, Field::NoSta2}, {Field::Iste1, Field::Iste2}, {Field::Disab1, Field::Disab2},
            {Field::RiEcc1, Field::RiEcc2}};
        int line = 0;
        for (auto [first, second] : rows) {
            grid->addWidget(MakeLabel(Parameter(first).labelControl, page), row, 0);
            grid->addWidget(MakeField(first, page), row, 1);
            grid->addWidget(MakeField(second, page), row, 2);
            ++row;
            if (line < 6) {
                Line7[line] = MakeLine(line, page);
                grid->addWidget(Line7[line], row++, 0, 1, 3);
                ++line;
            }
        }
    } else if (tab == AnalogTab) {
        int line = 6;
        for (Field f : {Field::FsAna, Field::TipoAna, Field::CampoAna, Field::RifZero}) {
            grid->addWidget(MakeLabel(Parameter(f).labelControl, page), row, 0);
            grid->addWidget(MakeField(f, page), row, 1);
            ++row;
            Line7[line] = MakeLine(line, page);
            grid->addWidget(Line7[line], row++, 0, 1, 6);
            ++line;
        }
        // The trimming rows: "-" <<  <  >  >> "+".
        const std::tuple<Field, const char*, const char*, std::array<const char*, 4>> trims[] = {
            {Field::OffZero, "Label46", "Label48", {"Command18", "Command4", "Command5", "Command19"}},
            {Field::OffFS, "Label47", "Label49", {"Command20", "Command6", "Command7", "Command21"}}};
        for (auto [field, minus, plus, buttons] : trims) {
            auto* rowBox = new QHBoxLayout;
            rowBox->addWidget(MakeLabel(minus, page));
            for (const char* b : buttons) {
                rowBox->addWidget(MakeButton(b, page));
            }
            rowBox->addWidget(MakeLabel(plus, page));
            QWidget* offset = MakeField(field, page);
            offset->setVisible(false); // the offsets are never shown
            grid->addWidget(MakeLabel(Parameter(field).labelControl, page), row, 0);
            grid->addLayout(rowBox, row, 1, 1, 5);
            ++row;
            Line7[line] = MakeLine(line, page);
            grid->addWidget(Line7[line], row++, 0, 1, 6);
            ++line;
        }
    } else {
        for (Field f : FieldsOfTab(tab)) {
            const ParameterDef& def = Parameter(f);
            if (def.group != *group) {
                continue; // the division and operating mode come below with their own buttons
            }
            grid->addWidget(MakeLabel(def.labelControl, page), row, 0);
            grid->addWidget(MakeField(f, page), row, 1);
            if (f == Field::Autozero) {
                grid->addWidget(MakeLabel("Label57", page), row, 2);
            }
            ++row;
        }
    }

    // The group's send button, marker and error label.
    if (group) {
        auto* send = new QHBoxLayout;
        send->addWidget(MakeSendButton(*group, page));
        send->addWidget(MakeMarker(*group, page));
        send->addStretch();
        grid->addLayout(send, row++, 1);
        grid->addWidget(MakeErrorLabel(*group, page), row++, 0, 1, 3);
    }

    if (tab == 0) {
        for (auto [field, id] :
             {std::pair{Field::ValDiv, GroupId::Division}, {Field::OpMode, GroupId::OperatingMode}}) {
            grid->addWidget(MakeLabel(Parameter(field).labelControl, page), row, 0);
            grid->addWidget(MakeField(field, page), row, 1);
            grid->addWidget(MakeSendButton(id, page), row, 2);
            grid->addWidget(MakeMarker(id, page), row, 3);
            ++row;
        }
        MilliV = MakeDisplay("MilliV", page);
        Punti = MakeDisplay("Punti", page);
        grid->addWidget(MakeLabel("Label15", page), row, 0);
        grid->addWidget(MilliV, row++, 1);
        grid->addWidget(MakeLabel("Label44", page), row, 0);
        grid->addWidget(Punti, row++, 1);
        grid->addWidget(MakeButton("Command28", page), row++, 1);
        if (QWidget* capac = FieldWidget(Field::Capac)) {
            capac->setEnabled(false); // until "Nuova Configurazione"
        }
    }
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(0, 1);
    return page;
}

QWidget* Form1::BuildTestTab() {
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);

    auto* frame5 = new QGroupBox(page);
    frame5->setObjectName(QStringLiteral("Frame5"));
    auto* analog = new QGridLayout(frame5);
    analog->addWidget(MakeButton("Command8", frame5), 0, 0);
    analog->addWidget(MakeButton("Command11", frame5), 0, 1);
    analog->addWidget(MakeLabel("Label42", frame5), 1, 0, 1, 6);
    auto* steps = new QHBoxLayout;
    steps->addWidget(MakeLabel("Label51", frame5));
    for (const char* b : {"Command24", "Command10"}) {
        steps->addWidget(MakeButton(b, frame5));
    }
    auto* perc = new QLineEdit(frame5);
    perc->setObjectName(QStringLiteral("PercAna"));
    perc->setFont(FixedFont());
    perc->setMaximumWidth(QFontMetrics(perc->font()).horizontalAdvance(QStringLiteral("XXXXX")));
    steps->addWidget(perc);
    steps->addWidget(MakeLabel("Label52", frame5));
    for (const char* b : {"Command9", "Command25"}) {
        steps->addWidget(MakeButton(b, frame5));
    }
    steps->addWidget(MakeLabel("Label50", frame5));
    analog->addLayout(steps, 2, 0, 1, 6);
    analog->setRowStretch(3, 1);

    auto* frame6 = new QGroupBox(page);
    frame6->setObjectName(QStringLiteral("Frame6"));
    auto* relays = new QGridLayout(frame6);
    relays->addWidget(MakeButton("Command22", frame6), 0, 0);
    relays->addWidget(MakeButton("Command23", frame6), 0, 1);
    relays->addWidget(MakeLabel("Label45", frame6), 1, 0, 1, 2);
    int column = 0;
    for (auto [frame, on, off] :
         {std::tuple{"Frame7", "U1on", "U1off"}, std::tuple{"Frame8", "U2on", "U2off"}}) {
        auto* box = new QGroupBox(frame6);
        box->setObjectName(QString::fromUtf8(frame));
        auto* v = new QVBoxLayout(box);
        for (const char* name : {on, off}) {
            auto* option = new QRadioButton(box);
            option->setObjectName(QString::fromUtf8(name));
            v->addWidget(option);
        }
        relays->addWidget(box, 2, column++);
    }
    relays->setRowStretch(3, 1);

    layout->addWidget(frame5);
    layout->addWidget(frame6);
    return page;
}

// --- Loading ---------------------------------------------------------------------------------------------

void Form1::Form_Load() {
    // 1. The second model has no set-point outputs, no analog output and no operating-mode choice.
    if (m_.InstrumentModel == 2) {
        SetVisible({"Frame2", "Shape1", "Shape2", "Shape3", "Label2", "Label7", "Label8", "Label5", "Label6",
                    "Label24", "Label54", "Set1", "Set2", "Ingresso1", "Ingresso2", "Shape6", "Command17"},
                   false);
        for (int tab : {3, AnalogTab, TestTab}) {
            SSTab1->setTabEnabled(tab, false);
        }
        SetVisible({"Label56", "OpMode", "Shape7", "Command27", "Label66", "ZeroBand", "Label63", "Label64",
                    "Label65", "ProtoCom2", "AddrCom2", "BRCom2"},
                   false);
    }
    // 2. The screen's own port.
    link_->SetLocalEcho(LineEcho(context_));
    link_->OpenPort(PortDevice(context_, m_.CommPortNumber));
    AddEchoHint(this, link_, m_.LanguageIndex);
    // 3. Monitoring mode, gross view.
    m_.Fl_setup = false;
    Option2->setChecked(true);
    Option_Click(2);
    // 4. Grid lines.
    for (QFrame* line : Line7) {
        if (line) {
            line->setVisible(true);
        }
    }
    // 5. Texts of the language.
    ApplyLanguage();
    // 6-8. Lists and their first selections.
    FillLists();
    // 9. Address, set points, offsets, tabs to read.
    set_.setText(Field::Indir, QString::number(m_.DeviceAddress));
    IndStr->setText(QString::number(m_.DeviceAddress));
    m_.SetpointsRead = 0;
    m_.AnalogAdjustMode = 0;
    set_.setText(Field::OffZero, QStringLiteral("0"));
    set_.setText(Field::OffFS, QStringLiteral("0"));
    for (int i = 1; i < int(m_.TabRead.size()); ++i) {
        m_.TabRead[i] = 0;
    }
    // 10. Lamps off.
    for (int i = 0; i < MonitorDisplay::LampCount; ++i) {
        display_.setLamp(static_cast<MonitorDisplay::Lamp>(i), false);
        ShowLamp(static_cast<MonitorDisplay::Lamp>(i)); // lamp and caption alike, from the start
    }
    // 11. Nothing queued.
    m_.PendingWriteA.clear();
    m_.PendingWriteB.clear();
    m_.WritePending = false;
    // 12. Test panels idle.
    SetVisible({"Frame8", "Frame7", "Label45", "Command23"}, false);
    SetEnabled({"Command8"}, true);
    SetVisible({"Command22"}, true);
    for (const char* off : {"U1off", "U2off"}) {
        if (auto* option = Named<QRadioButton>(off)) {
            option->setChecked(true);
        }
    }
    TestPanelsIdle(true);
    // 13. No file action, restart or reset pending.
    m_.PendingFileAction = 0;
    m_.RestartRequest = 0;
    m_.ResetInProgress = 0;
    m_.OptionsMenuPending = false;
    // 14. Nothing modified.
    marks_.Clear();
    for (int i = 0; i < GroupCount; ++i) {
        ShowGroupMarks(static_cast<GroupId>(i));
    }
    // 15. Online, no notes, nothing to print yet.
    m_.OfflineEdit = false;
    m_.DatasheetAnswer = 0;
    calib_.Reset(); // Old_Capac, Net_Tara
    m_.ReportNotes.clear();
    EnableMenu(SConf, false);
    Econf->setChecked(false);
    FitWindow();
}

void Form1::FitWindow() {
    if (isMaximized() || isFullScreen()) {
        return;
    }
    centralWidget()->layout()->activate();
    layout()->activate();
    // As wide as the wider of the upper band and the tab control in both modes, so that nothing moves
    // sideways when setup mode is switched; as high as the mode needs, the upper band alone when
    // monitoring. A setup window made higher by the user keeps that height the next time.
    const QMargins margins = centralWidget()->layout()->contentsMargins();
    const int w = std::max(
        {width(), sizeHint().width(), SSTab1->sizeHint().width() + margins.left() + margins.right()});
    const int h = m_.Fl_setup ? qMax(sizeHint().height(), setupHeight_) : sizeHint().height();
    resize(w, h);
}

void Form1::ApplyLanguage() {
    UseQtTexts(m_.LanguageIndex);
    ApplyTexts(this, texts::MainScreen(), m_.LanguageIndex);
    ApplyTexts(this, texts::Traffic(), m_.LanguageIndex);
    for (int tab = 0; tab < TabCount; ++tab) {
        SSTab1->setTabText(tab, Text(QStringLiteral("SSTab1(%1)").arg(tab).toUtf8().constData()));
    }
    // The setup switch keeps its size with either caption, so that it stays where it was clicked.
    Command1->setText(Text("Command1.on"));
    const int setupCaptionWidth = Command1->sizeHint().width();
    Command1->setText(Text("Command1.off"));
    Command1->setMinimumWidth(std::max(setupCaptionWidth, Command1->sizeHint().width()));
    if (m_.InstrumentModel == 2) {
        if (QLabel* label36 = Named<QLabel>("Label36")) {
            label36->setText(Text("Label36.model2"));
        }
    }
    setWindowTitle(Text("Form1"));
}

void Form1::FillLists() {
    const Language language = LanguageFromIndex(m_.LanguageIndex);
    updatingField_ = true;
    for (const ParameterDef& def : ::Parameters()) {
        if (def.kind != FieldKind::List) {
            continue;
        }
        auto* combo = qobject_cast<QComboBox*>(FieldWidget(def.field));
        combo->clear();
        combo->addItems(ListItems(def.field, language, m_.InstrumentModel));
    }
    updatingField_ = false;
    // The initial texts and selections (Baud "9600", ValDiv "1", every other list its first entry).
    set_.reset();
}

// --- Binding of the fields ---------------------------------------------------------------------------------

void Form1::ShowField(Field field) {
    QWidget* w = FieldWidget(field);
    if (!w) {
        return;
    }
    updatingField_ = true;
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setCurrentIndex(set_.index(field));
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (edit->text() != set_.text(field)) {
            edit->setText(set_.text(field));
        }
    }
    updatingField_ = false;
    if (field == Field::Indir) {
        IndStr->setText(set_.text(Field::Indir));
    }
}

void Form1::MarkerRule(Field field) {
    const GroupId group = Parameter(field).group;
    marks_.SetModified(group, ShowsMarker(group, m_));
}

void Form1::ShowGroupMarks(GroupId id) {
    const ParameterGroup& g = Group(id);
    const GroupMarks::State& s = marks_.state(id);
    if (QWidget* marker = Named(g.marker)) {
        marker->setVisible(s.marker && !(m_.InstrumentModel == 2 && !g.model2));
    }
    if (QWidget* send = Named(g.sendButton)) {
        if (!s.sendEnabled && focusWidget() == send) {
            // The focus stays with the group rather than wander off to the next control.
            FocusFirstField(id);
        }
        send->setEnabled(s.sendEnabled);
    }
    if (g.errorLabel) {
        if (QWidget* error = Named(g.errorLabel)) {
            error->setVisible(s.errorShown);
        }
    }
}

void Form1::HoldFocus(Field field, QLineEdit* edit) {
    guard_.Hold(field);
    QTimer::singleShot(0, edit, [this, edit, field] {
        if (guard_.Held() != field) {
            return;
        }
        edit->setFocus(Qt::OtherFocusReason);
        if (guard_.Held() == field) {
            guard_.Release(); // out of sight or disabled meanwhile: nothing to hold any more
        }
    });
}

std::optional<Field> Form1::FieldOf(const QWidget* w) const {
    for (int i = 0; i < FieldCount; ++i) {
        if (w && fields_[i] == w) {
            return static_cast<Field>(i);
        }
    }
    return std::nullopt;
}

bool Form1::SendAllowed() {
    return guard_.MaySend(FieldOf(focusWidget()), set_);
}

void Form1::FocusFirstField(GroupId id) {
    for (const ParameterDef& def : ::Parameters()) {
        QWidget* w = def.group == id ? FieldWidget(def.field) : nullptr;
        if (w && w->isVisible() && w->isEnabled()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void Form1::ShowText(MonitorDisplay::Text t) {
    const QString text = display_.text(t);
    switch (t) {
    case MonitorDisplay::Text::Peso:
        Peso->setText(text);
        break;
    case MonitorDisplay::Text::Punti:
        Punti->setText(text);
        break;
    case MonitorDisplay::Text::MilliV:
        MilliV->setText(text);
        break;
    case MonitorDisplay::Text::Versione:
        Versione->setText(text);
        break;
    case MonitorDisplay::Text::Ingresso1:
        Ingresso1->setText(text);
        break;
    case MonitorDisplay::Text::Ingresso2:
        Ingresso2->setText(text);
        break;
    }
}

void Form1::ShowLamp(MonitorDisplay::Lamp l) {
    static const char* const labels[] = {"Label2", "Label7", "Label8", "Label10"};
    const int i = static_cast<int>(l);
    const bool on = display_.lamp(l);
    lamps_[i]->SetFillStyle(on ? Shape::Solid : Shape::Transparent);
    if (QWidget* label = Named(labels[i])) {
        label->setEnabled(on);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit) {
        return QMainWindow::eventFilter(watched, event);
    }
    if (edit == Ingresso1 || edit == Ingresso2) {
        // The input states are selected from their second character.
        if (event->type() == QEvent::FocusIn) {
            QTimer::singleShot(0, edit, [edit] { edit->setSelection(1, edit->maxLength()); });
        }
        return false;
    }
    const std::optional<Field> field = FieldByControlName(edit->objectName());
    if (!field) {
        return false;
    }
    const ParameterDef& def = Parameter(*field);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers held =
            key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
        const bool shortcut =
            held == Qt::ControlModifier || held == (Qt::ControlModifier | Qt::ShiftModifier);
        const QString typed = key->text();
        if (!TypesCharacter(typed, shortcut)) {
            return false; // focus, editing and shortcut keys keep their meaning
        }
        // The field's own limit on typed characters (values put in by the program may be longer).
        const int room =
            def.maxLength > 0
                ? int(qMax<qsizetype>(0, def.maxLength - edit->text().size() + edit->selectedText().size()))
                : -1;
        // A key that the rule drops, or that finds no room, changes nothing, the selection included.
        return FilterTyped(*field, typed, room) != typed;
    }
    case QEvent::FocusIn:
        guard_.Entered(*field);
        // Fields without a selection start (RifZero) have no selection rule.
        if (CalibrationFocusIn(*field) && def.selectionStart >= 0) {
            const int start = def.selectionStart;
            const int length = def.maxLength > 0 ? def.maxLength : int(edit->text().size());
            QTimer::singleShot(0, edit, [edit, start, length] {
                // A text shorter than the start (an empty field) gets the cursor at its end.
                edit->setSelection(qMin(start, int(edit->text().size())), length);
            });
        }
        return false;
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
            return false; // another window or a menu: the focus stays in the field
        }
        if (guard_.Held() && *guard_.Held() != *field) {
            return false; // the focus is on its way back into another refused field: no check
        }
        if (IsCalibrationField(*field)) {
            CalibrationFocusOut(*field, edit, reason);
            return false;
        }
        if (guard_.Leaving(*field, set_)) {
            // The value may not leave the field: the focus goes back at once, without a message.
            HoldFocus(*field, edit);
        }
        return false;
    }
    default:
        return false;
    }
}

// --- Handlers
// ------------------------------------------------------------------------------------------------

void Form1::Option_Click(int view) {
    m_.WeightView = uint8_t(view);
    static const char* const keys[] = {"Label1.net", "Label1.gross", "Label1.peak"};
    Label1->setText(Text(keys[view - 1]));
}

void Form1::Command1_Click() {
    if (!m_.Fl_setup) {
        // Entering setup: every tab is read again when it is shown, starting on tab 0.
        m_.Fl_setup = true;
        m_.TabRead.fill(0);
        SSTab1->setVisible(true);
        EnableMenu(SConf, true);
        Command1->setText(Text("Command1.on"));
        if (SSTab1->currentIndex() != 0) {
            SSTab1->setCurrentIndex(0); // counts as leaving the tab shown last
        }
        opz->setEnabled(false);
        EnableMenu(Econf, false);
        marks_.SetError(GroupId::WeightParameters, false);
        m_.OpModeWritten = false;
        FitWindow();
    } else {
        m_.WritePending = true;
        m_.Fl_setup = false;
        setupHeight_ = height();
        SSTab1->setVisible(false);
        FitWindow();
        Command1->setText(Text("Command1.off"));
        EnableMenu(Econf, true);
        if (m_.OfflineEdit) {
            opz->setEnabled(true);
        } else {
            commands_.QueueNormalMode();
            EnableMenu(SConf, false);
        }
        TestPanelsIdle(!m_.OfflineEdit);
        m_.OptionsMenuPending = true;
    }
    waker_.Notify();
}

void Form1::SSTab1_Click(int previousTab) {
    if (previousTab == AnalogTab) {
        commands_.QueueNormalMode();
        m_.AnalogAdjustMode = 0;
    } else if (previousTab == TestTab) {
        commands_.QueueNormalMode();
        TestPanelsIdle(!m_.OfflineEdit);
    }
    waker_.Notify();
}

void Form1::TestPanelsIdle(bool showStartButtons) {
    SetVisible({"Frame8", "Frame7", "Label45"}, false);
    if (showStartButtons) {
        SetEnabled({"Command8", "Command22"}, true);
        SetVisible({"Command8", "Command22"}, true);
        SetVisible({"Command23"}, false);
        for (const char* off : {"U1off", "U2off"}) {
            if (auto* option = Named<QRadioButton>(off)) {
                option->setChecked(true);
            }
        }
        SetVisible({"Label42", "Label50", "Label51", "Label52", "PercAna", "Command9", "Command10",
                    "Command11", "Command24", "Command25"},
                   false);
    }
}

void Form1::Esc_Click() {
    // The exit procedure talks to the instrument: the loop carries it out between two exchanges, once
    // the exchange on the wire (if any) has ended. A second request changes nothing.
    exitRequested_ = true;
    session_.leaving = true;
    waker_.Notify();
}

void Form1::Econf_Click() {
    const OfflineSwitch s = SwitchOfflineEdit(m_);
    EnableMenu(SConf, s.on);
    Econf->setChecked(s.on);
    for (const QString& name : OfflineDisabledControls()) {
        if (QWidget* w = findChild<QWidget*>(name)) {
            w->setEnabled(s.controlsEnabled);
        }
    }
    if (s.clearMarks) {
        for (int i = 0; i < GroupCount; ++i) {
            marks_.SetModified(static_cast<GroupId>(i), false);
        }
    }
    if (s.blankWeight) {
        display_.setText(MonitorDisplay::Text::Peso, PesoBlank);
    }
    waker_.Notify();
}

void Form1::Nota_Click() {
    if (!exitRequested_) {
        notesRequested_ = true;
        waker_.Notify();
    }
}

void Form1::SConf_Click() {
    // The fields as they are shown at the click; the loop hands the report to the printer between two
    // exchanges.
    if (!exitRequested_) {
        reportToPrint_ = Report();
        waker_.Notify();
    }
}

void Form1::Reset_Click() {
    if (!exitRequested_) {
        accessCodeRequested_ = true;
        waker_.Notify();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    // The close box takes the way of the menu Esc: the loop ends, then the Application closes the screen.
    if (loopRunning_) {
        event->ignore();
        Esc_Click();
        return;
    }
    QMainWindow::closeEvent(event);
}

QCoro::Task<> Form1::AskAccessCode() {
    accessCodeRequested_ = false;
    Dialog_passw dialog(m_, context_.prompter, this);
    dialog.Form_Load();
    co_await context_.prompter.Dialog(dialog);
}

QCoro::Task<> Form1::AskNotes() {
    notesRequested_ = false;
    Note dialog(m_, this);
    dialog.Form_Load();
    co_await context_.prompter.Dialog(dialog);
}

QList<ReportLine> Form1::Report() const {
    const ReportScreen screen{IndStr->text(),   Ingresso1->text(), Ingresso2->text(),
                              Versione->text(), MilliV->text(),    Punti->text()};
    return BuildReport(set_, m_.LanguageIndex, screen, m_.ReportNotes);
}

QCoro::Task<> Form1::PrintConfiguration() {
    const QList<ReportLine> report = std::move(*reportToPrint_);
    reportToPrint_.reset();
    const int language = m_.LanguageIndex;
    const auto say = [language](const char* key) {
        return TextOf(texts::Report(), QString::fromLatin1(key), language);
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ReportOutcome printed = PrintTarget(report, language);
    QApplication::restoreOverrideCursor();
    if (printed.ok) {
        co_return;
    }
    // The screen may be gone by the time a box is closed.
    QPointer<Form1> self(this);
    Prompter& prompter = context_.prompter;
    const int answer =
        co_await prompter.Message(this, say("PrintFailedTitle"), say("PrintFailed").arg(printed.reason),
                                  MessageIcon::Exclamation, QMessageBox::Yes | QMessageBox::No);
    if (!self || answer != QMessageBox::Yes) {
        co_return;
    }
    const QString proposed =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(say("PdfName"));
    const QString path = co_await prompter.SaveFileName(this, say("PdfTitle"), proposed, say("PdfFilter"));
    if (!self || path.isEmpty()) {
        co_return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ReportOutcome saved = SaveReportPdf(report, path, language);
    QApplication::restoreOverrideCursor();
    if (!saved.ok) {
        co_await prompter.Message(this, say("PrintFailedTitle"),
                                  say("PdfFailed").arg(QDir::toNativeSeparators(path), saved.reason),
                                  MessageIcon::Exclamation);
    }
}

QCoro::Task<> Form1::AskSaveChanges() {
    DialogA dialog(m_, this);
    dialog.Form_Load();
    co_await context_.prompter.Dialog(dialog);
}

// --- The main loop
// -------------------------------------------------------------------------------------------

QCoro::Task<> Form1::Form_Activate() {
    if (m_.InstrumentModel != 2) {
        if (QWidget* set1 = FieldWidget(Field::Set1)) {
            set1->setFocus(Qt::OtherFocusReason);
        }
    }
    loopRunning_ = true;
    for (;;) {
        if (accessCodeRequested_ && !exitRequested_) {
            // The access code is asked between two exchanges; the memory reset is queued in this pass.
            co_await AskAccessCode();
        }
        if (notesRequested_ && !exitRequested_) {
            co_await AskNotes();
        }
        if (reportToPrint_ && !exitRequested_) {
            co_await PrintConfiguration();
        }
        if (exitRequested_) {
            break;
        }
        const quint64 exchangesBefore = link_->ExchangeCount();
        co_await RunPass();
        if (exitRequested_) {
            break;
        }
        // A load or save asked for by the menu, between two passes.
        co_await RunPendingFileAction();
        if (exitRequested_) {
            break;
        }
        ++passCount_;
        emit PassCompleted(passCount_);
        // Let the user's events run; a pass that asked the instrument nothing waits for one.
        if (link_->ExchangeCount() == exchangesBefore) {
            co_await waker_.WaitFor(IdleTickMs);
        } else {
            co_await waker_.LetEventsRun();
        }
    }
    // The exit procedure, between two exchanges; then the Application closes the screen.
    co_await commands_.ExitProcedure([this] { return AskSaveChanges(); });
    loopRunning_ = false;
}

QCoro::Task<> Form1::RunPass() {
    if (m_.OfflineEdit) {
        display_.setText(MonitorDisplay::Text::Peso,
                         TextOf(texts::MainMessages(), u"OfflineWeight", m_.LanguageIndex));
        co_return;
    }
    // Once the user asks to leave, the rest of the pass is skipped: the exit procedure goes next.
    co_await reader_.ReadDivisionCode();
    if (PassCut()) {
        co_return;
    }
    co_await monitor_.ReadVersion();
    if (PassCut()) {
        co_return;
    }
    co_await monitor_.ReadWeight();
    if (PassCut()) {
        co_return;
    }
    co_await monitor_.ReadInputs();
    if (PassCut()) {
        co_return;
    }
    if (m_.SetpointsRead == 0) {
        co_await monitor_.ReadSetpoints();
        if (PassCut()) {
            co_return;
        }
    }
    if (m_.Fl_setup) {
        co_await reader_.ReadTabBlock();
        if (PassCut()) {
            co_return;
        }
    }
    if (m_.WeightView == 3) {
        co_await monitor_.ReadPeak();
        if (PassCut()) {
            co_return;
        }
    }
    co_await monitor_.ShowLinkState();
    if (PassCut()) {
        co_return;
    }
    co_await monitor_.ReadOutputs();
    if (PassCut()) {
        co_return;
    }
    if (m_.OptionsMenuPending) {
        m_.OptionsMenuPending = false;
        opz->setEnabled(true);
    }
    if (commands_.QueueSaveOrRestart()) {
        opz->setEnabled(true);
    }
    commands_.QueueMemoryReset();
    // The datasheet question of a zero setting, then its answer, before slot A goes out.
    co_await AskDatasheetQuestion();
    calib_.ApplyDatasheetAnswer();
    if (m_.OfflineEdit) {
        co_return; // switched on meanwhile: nothing goes out any more
    }
    // Queued writes go out even when the user asks to leave meanwhile: the exit procedure sends what
    // is left before its own commands.
    co_await queue_.ServiceWriteQueueA();
    if (PassCut()) {
        co_return;
    }
    co_await queue_.ServiceWriteQueueB();
}
