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
#include "trendcontrol.h"
#include "verificationcontrol.h"
#include "trendpanel.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
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

// The captions of the grid's first column end next to their fields, whatever the window's width: they
// are aligned to the right, and the room to spare goes to an empty column after the last one.
void KeepCaptionsByFields(QGridLayout* grid) {
    for (int i = 0; i < grid->count(); ++i) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        if (auto* label = qobject_cast<QLabel*>(grid->itemAt(i)->widget());
            label && column == 0 && columnSpan == 1) {
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    grid->setColumnStretch(grid->columnCount(), 1);
}

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
    WireKeys();
    WireStatus();

    connect(&set_, &ParameterSet::changed, this, [this](Field f) {
        ShowField(f);
        MarkerRule(f);
    });
    connect(&set_, &ParameterSet::knownChanged, this, &Form1::ShowKnown);
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
            NoteSend(id);
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
    trend_ = new TrendControl(m_, monitor_, display_, context_.prompter, context_.settingsDir, vis, this);
    // The trend lives in a dock under the screen, or floats as a window of its own where docked it
    // would make the screen taller than the screen it is on (FitWindow).
    TrendDock = new QDockWidget(this);
    TrendDock->setObjectName(QStringLiteral("TrendDock"));
    TrendDock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    TrendDock->setAllowedAreas(Qt::BottomDockWidgetArea);
    TrendDock->setWidget(trend_->Panel());
    addDockWidget(Qt::BottomDockWidgetArea, TrendDock);
    TrendDock->setVisible(trend_->TrendItem->isChecked());
    connect(this, &Form1::PassCompleted, trend_, &TrendControl::AfterPass);
    verification_ = new VerificationControl(m_, monitor_, display_, set_, context_.prompter, opz, Esc, this);
    connect(this, &Form1::PassCompleted, verification_, &VerificationControl::AfterPass);
    connect(trend_->TrendItem, &QAction::toggled, this, [this](bool shown) {
        TrendDock->setVisible(shown);
        FitWindow();
    });
    calib_.CommandQueued = [this](bool fullScale) {
        trend_->Mark(fullScale ? TrendMarkKind::FullScale : TrendMarkKind::Zero);
    };
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
    grid->addLayout(weightBox, 0, 0);

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
    KeepCaptionsByFields(values);
    grid->addLayout(values, 0, 3, 2, 1);

    Command1 = MakeButton("Command1", band);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    // Under the weight, so that the band is no wider than the blocks beside the weight.
    grid->addWidget(Command1, 1, 0, Qt::AlignLeft | Qt::AlignBottom);
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
    KeepCaptionsByFields(grid);
    return page;
}

QWidget* Form1::BuildTestTab() {
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);

    auto* frame5 = new QGroupBox(page);
    frame5->setObjectName(QStringLiteral("Frame5"));
    auto* analog = new QGridLayout(frame5);
    // Start and end share one place: the button under the pointer does not move when pressed.
    analog->addWidget(MakeButton("Command8", frame5), 0, 0, Qt::AlignLeft);
    analog->addWidget(MakeButton("Command11", frame5), 0, 0, Qt::AlignLeft);
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
    relays->addWidget(MakeButton("Command22", frame6), 0, 0, Qt::AlignLeft);
    relays->addWidget(MakeButton("Command23", frame6), 0, 0, Qt::AlignLeft);
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

    // What comes and goes with a test keeps its room, so that nothing moves when a test starts or ends;
    // the two boxes share the width equally.
    for (QGroupBox* frame : {frame5, frame6}) {
        for (QWidget* w : frame->findChildren<QWidget*>()) {
            RetainSpaceWhenHidden(w);
        }
        layout->addWidget(frame, 1);
    }
    return page;
}

void Form1::WrapLongCaptions() {
    for (QLabel* label : SSTab1->findChildren<QLabel*>()) {
        const QFontMetrics metrics = label->fontMetrics();
        const int width = metrics.horizontalAdvance(label->text());
        if (width <= metrics.averageCharWidth() * 44) {
            continue;
        }
        // Two lines of about half the caption each, at least as wide as its longest word; the label
        // keeps that width and the height of its lines, whatever room the window has.
        int widest = 0;
        for (const QString& word : label->text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            widest = std::max(widest, metrics.horizontalAdvance(word));
        }
        label->setWordWrap(true);
        const QMargins margins = label->contentsMargins();
        int wrapped = std::max(widest, width / 2 + 3 * metrics.averageCharWidth());
        // Wider until the words fall onto two lines.
        while (wrapped < width &&
               label->heightForWidth(wrapped + margins.left() + margins.right()) > 2 * metrics.lineSpacing() + margins.top() + margins.bottom()) {
            wrapped += metrics.averageCharWidth();
        }
        label->setFixedWidth(wrapped + margins.left() + margins.right());
        label->setMinimumHeight(label->heightForWidth(label->width()));
        // A caption aligned to the right (one before its field) stays against the field.
        if (QLayout* layout = label->parentWidget()->layout();
            layout && (label->alignment() & Qt::AlignRight)) {
            layout->setAlignment(label, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
}

void Form1::EqualiseTestControls() {
    // The arrow buttons of the trimming and of the analog test no wider than their arrows need.
    for (const char* name : {"Command18", "Command4", "Command5", "Command19", "Command20", "Command6",
                             "Command7", "Command21", "Command24", "Command10", "Command9", "Command25"}) {
        if (auto* button = Named<QPushButton>(name)) {
            const QFontMetrics metrics = button->fontMetrics();
            button->setFixedWidth(
                std::max(button->sizeHint().height(),
                         metrics.horizontalAdvance(button->text()) + 4 * metrics.averageCharWidth()));
        }
    }
    // A start button and the end button in its place are equally wide in either language.
    for (auto [start, end] : {std::pair{"Command8", "Command11"}, std::pair{"Command22", "Command23"}}) {
        QWidget* first = Named(start);
        QWidget* second = Named(end);
        if (first && second) {
            const int width = std::max(first->sizeHint().width(), second->sizeHint().width());
            first->setFixedWidth(width);
            second->setFixedWidth(width);
        }
    }
    QWidget* frame5 = Named("Frame5");
    QWidget* frame6 = Named("Frame6");
    if (frame5 && frame6) {
        const int width = std::max(frame5->sizeHint().width(), frame6->sizeHint().width());
        frame5->setMinimumWidth(width);
        frame6->setMinimumWidth(width);
    }
}
