// The main setup screen's calibration tab (1), analog trimming tab (5) and output test tab (6): the
// wiring of their buttons and fields to Calibration and OutputTests, and what they show and hide.

#include "form1.h"

#include "modteor.h"
#include "prompter.h"
#include "rules.h"
#include "texts.h"
#include "texts_form1.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>
#include <utility>

namespace {

// Longest sample weight the user may type (a weight text is 7 characters).
constexpr int CampioneMaxLength = 7;
// The sample weight and the dead load keep the first character (the blank of a right-justified
// text) out of the selection made on getting the focus.
constexpr int SelectionStart = 1;

// Hands the events of one field to a function; true from it drops the event.
class FieldEvents : public QObject {
public:
    FieldEvents(QObject* parent, std::function<bool(QEvent*)> handler)
        : QObject(parent), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override { return handler_(event); }

private:
    std::function<bool(QEvent*)> handler_;
};

// The character a key press types (Backspace included), or 0 for navigation, editing and shortcut
// keys (Tab, Enter, Delete, arrows, Ctrl+...), which the key rules leave alone.
int TypedCode(const QKeyEvent* key) {
    const QString typed = key->text();
    if (typed.size() != 1 || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        return 0;
    }
    const int code = typed.at(0).unicode();
    return code == KeyBackspace || (code >= KeySpace && code != 0x7F) ? code : 0;
}

// Focus that moves to another window (a message box, another program) is no leaving of the field.
bool LeavesField(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

void KeepFocus(QLineEdit* edit) {
    QTimer::singleShot(0, edit, [edit] { edit->setFocus(Qt::OtherFocusReason); });
}

void SelectFrom(QLineEdit* edit, int start, int length) {
    QTimer::singleShot(0, edit, [edit, start, length] {
        edit->setSelection(qMin(start, int(edit->text().size())), length);
    });
}

} // namespace

void Form1::WireCalibration() {
    // --- Tab 1 ---
    if (auto* button = Named<QPushButton>("Command2")) {
        connect(button, &QPushButton::clicked, this, &Form1::Command2_Click);
    }
    if (auto* button = Named<QPushButton>("Command3")) {
        connect(button, &QPushButton::clicked, this, &Form1::Command3_Click);
    }
    if (auto* button = Named<QPushButton>("Command28")) {
        connect(button, &QPushButton::clicked, this, &Form1::Command28_Click);
    }
    if (auto* campione = Named<QLineEdit>("Campione")) {
        campione->setMaxLength(CampioneMaxLength);
        campione->installEventFilter(new FieldEvents(campione, [this, campione](QEvent* event) {
            switch (event->type()) {
            case QEvent::KeyPress: {
                const int code = TypedCode(static_cast<QKeyEvent*>(event));
                return code != 0 && !KeyPasses(KeyKind::Decimal, code);
            }
            case QEvent::FocusIn:
                SelectFrom(campione, SelectionStart, campione->maxLength());
                return false;
            case QEvent::ToolTip:
                campione->setToolTip(
                    RegisterLimitTip(campione, LargestWeight({m_.CurrentStep(), m_.CurrentDecimals()})));
                return false;
            case QEvent::FocusOut:
                // No check while the focus is on its way back into a refused field.
                if (LeavesField(static_cast<QFocusEvent*>(event)->reason()) && !guard_.Held() &&
                    !calib_.Campione_MayLeave(campione->text())) {
                    KeepFocus(campione);
                }
                return false;
            default:
                return false;
            }
        }));
    }

    // --- Tab 5 ---
    const std::tuple<const char*, TrimRow, StepButton> trims[] = {
        {"Command18", TrimRow::Zero, StepButton::FastDown},
        {"Command4", TrimRow::Zero, StepButton::Down},
        {"Command5", TrimRow::Zero, StepButton::Up},
        {"Command19", TrimRow::Zero, StepButton::FastUp},
        {"Command20", TrimRow::FullScale, StepButton::FastDown},
        {"Command6", TrimRow::FullScale, StepButton::Down},
        {"Command7", TrimRow::FullScale, StepButton::Up},
        {"Command21", TrimRow::FullScale, StepButton::FastUp},
    };
    for (auto [name, row, step] : trims) {
        if (auto* button = Named<QPushButton>(name)) {
            connect(button, &QPushButton::clicked, this, [this, row, step] { Trim_Click(row, step); });
        }
    }

    // --- Tab 6 ---
    const std::pair<const char*, void (Form1::*)()> starts[] = {{"Command8", &Form1::Command8_Click},
                                                                {"Command11", &Form1::Command11_Click},
                                                                {"Command22", &Form1::Command22_Click},
                                                                {"Command23", &Form1::Command23_Click}};
    for (auto [name, handler] : starts) {
        if (auto* button = Named<QPushButton>(name)) {
            connect(button, &QPushButton::clicked, this, handler);
        }
    }
    const std::pair<const char*, StepButton> steps[] = {{"Command24", StepButton::FastDown},
                                                        {"Command10", StepButton::Down},
                                                        {"Command9", StepButton::Up},
                                                        {"Command25", StepButton::FastUp}};
    for (auto [name, step] : steps) {
        if (auto* button = Named<QPushButton>(name)) {
            connect(button, &QPushButton::clicked, this, [this, step] { AnalogTestStep_Click(step); });
        }
    }
    if (auto* perc = Named<QLineEdit>("PercAna")) {
        perc->installEventFilter(new FieldEvents(perc, [this, perc](QEvent* event) {
            switch (event->type()) {
            case QEvent::KeyPress: {
                // Digits only: Backspace is dropped too.
                const int code = TypedCode(static_cast<QKeyEvent*>(event));
                return code != 0 && !(code >= '0' && code <= '9');
            }
            case QEvent::FocusOut:
                if (LeavesField(static_cast<QFocusEvent*>(event)->reason()) && !guard_.Held() &&
                    !outputs::PercentMayLeave(perc->text())) {
                    KeepFocus(perc);
                }
                return false;
            default:
                return false;
            }
        }));
    }
    // The outputs start OFF; from now on every change of the selection is a click that sends it.
    for (const char* name : {"U1off", "U2off"}) {
        if (auto* option = Named<QRadioButton>(name)) {
            option->setChecked(true);
        }
    }
    for (const char* name : {"U1on", "U1off", "U2on", "U2off"}) {
        if (auto* option = Named<QRadioButton>(name)) {
            connect(option, &QRadioButton::toggled, this, [this](bool on) {
                if (on) {
                    RelayOption_Click();
                }
            });
        }
    }
}

// --- Tab 1 -------------------------------------------------------------------------------------------

void Form1::Command2_Click() {
    calib_.Command2_Click();
    waker_.Notify();
}

QCoro::Task<> Form1::AskDatasheetQuestion() {
    if (!calib_.QuestionPending()) {
        co_return;
    }
    modteor dialog(this);
    dialog.Form_Load(m_.LanguageIndex);
    co_await context_.prompter.Dialog(dialog);
    calib_.DatasheetAnswered(dialog.Answer());
}

void Form1::Command3_Click() {
    if (auto* campione = Named<QLineEdit>("Campione")) {
        calib_.Command3_Click(campione->text());
    }
    waker_.Notify();
}

void Form1::Command28_Click() {
    calib_.Command28_Click();
    QWidget* capac = FieldWidget(Field::Capac);
    capac->setEnabled(true);
    SetEnabled({"Command28"}, false);
    capac->setFocus(Qt::OtherFocusReason);
}

void Form1::LockCapac() {
    FieldWidget(Field::Capac)->setEnabled(false);
    SetEnabled({"Command28"}, true);
}

bool Form1::IsCalibrationField(Field field) const {
    return field == Field::Capac || field == Field::Teonet || field == Field::Teotara;
}

bool Form1::CalibrationFocusIn(Field field) {
    switch (field) {
    case Field::Capac:
        calib_.Capac_GotFocus();
        return true;
    case Field::Teonet:
        return calib_.Teonet_GotFocus();
    case Field::Teotara:
        return calib_.Teotara_GotFocus();
    default:
        return true;
    }
}

void Form1::CalibrationFocusOut(Field field, QLineEdit* edit, Qt::FocusReason reason) {
    if (!LeavesField(reason)) {
        return;
    }
    if (field == Field::Teonet || field == Field::Teotara) {
        const bool mayLeave = field == Field::Teonet ? calib_.Teonet_LostFocus() : calib_.Teotara_LostFocus();
        if (!mayLeave) {
            HoldFocus(field, edit);
        }
        return;
    }
    switch (calib_.Capac_LostFocus()) {
    case Calibration::CapacLeave::Refused:
        HoldFocus(field, edit);
        return;
    case Calibration::CapacLeave::Unchanged:
        LockCapac();
        return;
    case Calibration::CapacLeave::Changed:
        break;
    }
    // The warning first, then the lock: the loop shows it between two exchanges, and holds while it
    // is up, as for every modal box.
    capacityWarningRequested_ = true;
    waker_.Notify();
}

QCoro::Task<> Form1::WarnCapacity() {
    capacityWarningRequested_ = false;
    const TextTable messages = texts::MainMessages();
    const int language = m_.LanguageIndex;
    co_await context_.prompter.Message(this, TextOf(messages, u"CapacityWarningTitle", language),
                                       TextOf(messages, u"CapacityWarning", language),
                                       MessageIcon::Exclamation);
    LockCapac();
}

// --- Tab 5 -------------------------------------------------------------------------------------------

void Form1::Trim_Click(TrimRow row, StepButton button) {
    outputs_.Trim(row, button);
    waker_.Notify();
}

// --- Tab 6 -------------------------------------------------------------------------------------------

void Form1::Command8_Click() {
    SetVisible({"Label42", "Label50", "Label51", "Label52", "PercAna", "Command9", "Command10", "Command11",
                "Command24", "Command25"},
               true);
    SetVisible({"Command8"}, false);
    SetEnabled({"Command22"}, false); // no relay test meanwhile
    const QString text = outputs_.StartAnalogTest();
    if (auto* perc = Named<QLineEdit>("PercAna")) {
        perc->setText(text);
    }
    waker_.Notify();
}

void Form1::AnalogTestStep_Click(StepButton button) {
    if (auto* perc = Named<QLineEdit>("PercAna")) {
        perc->setText(outputs_.StepAnalogTest(perc->text(), button));
    }
    waker_.Notify();
}

void Form1::Command11_Click() {
    SetVisible({"Label42", "Label50", "Label51", "Label52", "PercAna", "Command9", "Command10", "Command11",
                "Command24", "Command25"},
               false);
    SetVisible({"Command8"}, true);
    SetEnabled({"Command22"}, true);
    outputs_.EndAnalogTest();
    waker_.Notify();
}

void Form1::Command22_Click() {
    SetVisible({"Frame8", "Frame7", "Label45"}, true);
    SetEnabled({"Command8"}, false); // no analog test meanwhile
    SetVisible({"Command22"}, false);
    SetVisible({"Command23"}, true);
    outputs_.StartRelayTest();
    waker_.Notify();
}

void Form1::RelayOption_Click() {
    auto* u1on = Named<QRadioButton>("U1on");
    auto* u2on = Named<QRadioButton>("U2on");
    outputs_.QueueRelayOutputs(u1on && u1on->isChecked(), u2on && u2on->isChecked());
    waker_.Notify();
}

void Form1::Command23_Click() {
    SetVisible({"Frame8", "Frame7", "Label45"}, false);
    SetEnabled({"Command8"}, true);
    SetVisible({"Command22"}, true);
    SetVisible({"Command23"}, false);
    // Each change of the selection sends the relay states: a relay that was on is switched off.
    for (const char* off : {"U1off", "U2off"}) {
        if (auto* option = Named<QRadioButton>(off)) {
            option->setChecked(true);
        }
    }
    outputs_.EndRelayTest();
    waker_.Notify();
}
