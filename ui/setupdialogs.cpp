#include "setupdialogs.h"

#include "prompter.h"
#include "setupcommands.h"
#include "applytexts.h"
#include "texts.h"
#include "texts_form1.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPushButton* MakeButton(const char* name, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromUtf8(name));
    return button;
}

QLabel* MakeLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("Label1"));
    label->setWordWrap(true);
    return label;
}

// The row of OKButton (the default button) and CancelButton at the bottom right of a dialog.
void AddButtonRow(QVBoxLayout* layout, QDialog* dialog, QPushButton*& ok, QPushButton*& cancel) {
    auto* buttons = new QHBoxLayout;
    ok = MakeButton("OKButton", dialog);
    cancel = MakeButton("CancelButton", dialog);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    ok->setDefault(true);
}

// Shows the wrong-code message over the dialog. The dialog stays open behind it.
QCoro::Task<> ShowWrongCode(Prompter& prompter, QPointer<QWidget> parent, QString title, QString text) {
    co_await prompter.Message(parent.data(), title, text, MessageIcon::None);
}

} // namespace

// --- Dialog_passw ------------------------------------------------------------------------------------

Dialog_passw::Dialog_passw(Modulo1& m, Prompter& prompter, QWidget* parent)
    : QDialog(parent), m_(m), prompter_(prompter) {
    setObjectName(QStringLiteral("Dialog_passw"));
    auto* layout = new QVBoxLayout(this);
    Label1 = MakeLabel(this);
    layout->addWidget(Label1);
    dato_pass = new QLineEdit(this);
    dato_pass->setObjectName(QStringLiteral("dato_pass"));
    dato_pass->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    dato_pass->setMaxLength(CodeMaxLength);
    dato_pass->installEventFilter(this);
    layout->addWidget(dato_pass);
    // Enter in the field sends, as the default button does.
    AddButtonRow(layout, this, OKButton, CancelButton);
    connect(OKButton, &QPushButton::clicked, this, &Dialog_passw::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Dialog_passw::CancelButton_Click);
}

void Dialog_passw::Form_Load() {
    // The field's design text ("     0") comes with the captions.
    ApplyTexts(this, texts::PasswordDialog(), m_.LanguageIndex);
}

bool Dialog_passw::eventFilter(QObject* watched, QEvent* event) {
    if (watched == dato_pass && event->type() == QEvent::FocusIn) {
        // Selected from the second character: the first one (a blank of the design text) stays.
        QPointer<QLineEdit> edit = dato_pass;
        QTimer::singleShot(0, this, [edit] {
            if (edit) {
                edit->setSelection(qMin(1, int(edit->text().size())), edit->maxLength());
            }
        });
    }
    return QDialog::eventFilter(watched, event);
}

void Dialog_passw::OKButton_Click() {
    if (SetupCommands::AcceptAccessCode(m_, dato_pass->text())) {
        accept();
        return;
    }
    const TextTable messages = texts::MainMessages();
    ShowWrongCode(prompter_, this, TextOf(messages, u"PasswordWrongTitle", m_.LanguageIndex),
                  TextOf(messages, u"PasswordWrong", m_.LanguageIndex));
}

void Dialog_passw::CancelButton_Click() {
    reject();
}

// --- DialogA ------------------------------------------------------------------------------------------

DialogA::DialogA(Modulo1& m, QWidget* parent) : QDialog(parent), m_(m) {
    setObjectName(QStringLiteral("DialogA"));
    auto* layout = new QVBoxLayout(this);
    Label1 = MakeLabel(this);
    layout->addWidget(Label1);
    AddButtonRow(layout, this, OKButton, CancelButton);
    connect(OKButton, &QPushButton::clicked, this, &DialogA::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &DialogA::CancelButton_Click);
}

void DialogA::Form_Load() {
    ApplyTexts(this, texts::SaveQuestion(), m_.LanguageIndex);
}

void DialogA::OKButton_Click() {
    m_.ExitSaveRequested = true;
    m_.ExitResetRequested = false;
    accept();
}

void DialogA::CancelButton_Click() {
    m_.ExitSaveRequested = false;
    m_.ExitResetRequested = true;
    reject();
}
