#include "form2.h"

#include "applytexts.h"
#include "dialogs.h"
#include "echohint.h"
#include "frame.h"
#include "pictures.h"
#include "portsettings.h"
#include "prompter.h"
#include "shortcuts.h"
#include "texts.h"
#include "texts_help.h"
#include "texts_traffic.h"
#include "trafficwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr char IndexProperty[] = "quartelIndex";

void SetTextColour(QWidget* widget, const QColor& colour) {
    const QPalette& current = widget->palette();
    if (current.color(QPalette::WindowText) == colour && current.color(QPalette::ButtonText) == colour &&
        current.color(QPalette::Text) == colour) {
        return; // a palette set again would repaint the widget for nothing
    }
    QPalette palette = current;
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void RetainSpaceWhenHidden(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

// Marks the loop as running for as long as the activation coroutine lives.
struct RunningFlag {
    bool& flag;
    explicit RunningFlag(bool& f) : flag(f) { flag = true; }
    ~RunningFlag() { flag = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;
};

} // namespace

Form2::Form2(const ScreenContext& context, QWidget* parent)
    : QMainWindow(parent), MSComm1(new SerialLink(context.m, this)), Timer1(MSComm1->Timer1),
      context_(context), poll_(context.m, *MSComm1, [this] { return quitRequested_; }) {
    setObjectName(QStringLiteral("Form2"));
    MSComm1->SetTraffic(context.traffic);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer2.setSingleShot(true);
    Timer2.setTimerType(Qt::PreciseTimer);
    Timer2.setInterval(0);
    connect(&Timer2, &QTimer::timeout, this, &Form2::Timer2_Timer);
    BuildControls();
    ApplyTexts(this, texts::Form2(), 0); // design captions
    ApplyTexts(this, texts::Traffic(), 0);
}

Form2::~Form2() {
    if (loopRunning_) {
        qWarning("Form2 destroyed while its loop was still running");
    }
}

void Form2::BuildControls() {
    // Menus.
    opz = menuBar()->addMenu(QString());
    opz->setObjectName(QStringLiteral("opz"));
    pse = opz->addAction(QString());
    pse->setObjectName(QStringLiteral("pse"));
    Lin = opz->addAction(QString());
    Lin->setObjectName(QStringLiteral("Lin"));
    sel = menuBar()->addMenu(QString());
    sel->setObjectName(QStringLiteral("sel"));
    vxa = sel->addAction(QString());
    vxa->setObjectName(QStringLiteral("vxa"));
    vxa->setCheckable(true);
    vxb = sel->addAction(QString());
    vxb->setObjectName(QStringLiteral("vxb"));
    vxb->setCheckable(true);
    traf = AddTrafficMenu(this, context_, vis);
    ApplyShortcuts(this); // those of the setup screen's items that this screen has too
    connect(pse, &QAction::triggered, this, &Form2::pse_Click);
    connect(Lin, &QAction::triggered, this, &Form2::Lin_Click);
    connect(vxa, &QAction::triggered, this, &Form2::vxa_Click);
    connect(vxb, &QAction::triggered, this, &Form2::vxb_Click);

    // The 32 entries, 7 to a row: check box, picture, weight.
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Grid"));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    const QPixmap picture = TransmitterPicture();
    QFont weightFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    weightFont.setBold(true);
    weightFont.setPointSizeF(qMax(weightFont.pointSizeF(), 10.0) * 1.15);
    const int weightWidth = QFontMetrics(weightFont).horizontalAdvance(QStringLiteral("-------0")) + 8;
    const QString prefix = TextOf(texts::StartMessages(), u"AddressPrefix", 0);

    for (int n = 1; n <= AddressCount; ++n) {
        auto* cell = new QWidget(central);
        cell->setObjectName(QStringLiteral("Entry(%1)").arg(n));
        auto* column = new QVBoxLayout(cell);
        column->setContentsMargins(4, 2, 4, 2);
        column->setSpacing(3);

        Check1[n] = new QCheckBox(prefix + QString::number(n), cell);
        Check1[n]->setObjectName(QStringLiteral("Check1(%1)").arg(n));
        SetTextColour(Check1[n], UntickedColour());
        connect(Check1[n], &QCheckBox::clicked, this, [this, n] { Check1_Click(n); });

        Icona[n] = new QLabel(cell);
        Icona[n]->setObjectName(QStringLiteral("Icona(%1)").arg(n));
        Icona[n]->setPixmap(picture);
        Icona[n]->setAlignment(Qt::AlignCenter);
        Icona[n]->setProperty(IndexProperty, n);
        Icona[n]->setCursor(Qt::PointingHandCursor);
        // The picture takes the focus (Tab, the arrow keys) and shows it with a frame; Enter opens it.
        Icona[n]->setFocusPolicy(Qt::StrongFocus);
        Icona[n]->setStyleSheet(QStringLiteral("QLabel { border: 2px solid transparent; }"
                                               "QLabel:focus { border: 2px solid palette(highlight); }"));
        Icona[n]->installEventFilter(this);
        Icona[n]->hide();
        RetainSpaceWhenHidden(Icona[n]);

        Peso[n] = new QLabel(cell);
        Peso[n]->setObjectName(QStringLiteral("Peso(%1)").arg(n));
        Peso[n]->setFont(weightFont);
        Peso[n]->setAlignment(Qt::AlignCenter);
        Peso[n]->setMinimumWidth(weightWidth);
        Peso[n]->setFrameShape(QFrame::StyledPanel);
        Peso[n]->setFrameShadow(QFrame::Sunken);
        Peso[n]->setTextFormat(Qt::PlainText);
        // A fixed size and a background of its own: a new weight repaints the label alone and asks for
        // no layout pass.
        Peso[n]->setAutoFillBackground(true);
        Peso[n]->setText(QStringLiteral("-------0"));
        Peso[n]->setFixedSize(qMax(weightWidth, Peso[n]->sizeHint().width()), Peso[n]->sizeHint().height());
        Peso[n]->clear();
        Peso[n]->hide();
        RetainSpaceWhenHidden(Peso[n]);

        column->addWidget(Check1[n], 0, Qt::AlignHCenter);
        column->addWidget(Icona[n], 0, Qt::AlignHCenter);
        column->addWidget(Peso[n], 0, Qt::AlignHCenter);
        grid->addWidget(cell, (n - 1) / Columns, (n - 1) % Columns);
    }
    normalWeightColour_ = palette().color(QPalette::WindowText);

    Command1 = new QPushButton(central);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setMinimumWidth(180);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(14, 12, 14, 12);
    StartHint = new QLabel(central);
    StartHint->setObjectName(QStringLiteral("StartHint"));
    StartHint->setVisible(false);
    RetainSpaceWhenHidden(StartHint);
    layout->addWidget(StartHint);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setCentralWidget(central);

    PortLabel = new QLabel(this);
    PortLabel->setObjectName(QStringLiteral("PortLabel"));
    statusBar()->addWidget(PortLabel, 1);
    SettingsLabel = new QLabel(this);
    SettingsLabel->setObjectName(QStringLiteral("SettingsLabel"));
    SettingsLabel->setVisible(false);
    statusBar()->addWidget(SettingsLabel, 1);
}

QColor Form2::TickedColour() {
    return QColor(0, 0, 255);
}

QColor Form2::UntickedColour() {
    return QColor(128, 128, 255);
}

QColor Form2::ErrorColour() {
    return QColor(255, 0, 0);
}

// --- Load -------------------------------------------------------------------------------------------

void Form2::LoadStartScreen() {
    Modulo1& m = context_.m;
    // 1. Check mark of the instrument model (kept in the shared state across reloads).
    if (m.InstrumentModel != 1 && m.InstrumentModel != 2) {
        m.InstrumentModel = 1;
    }
    vxa->setChecked(m.InstrumentModel == 1);
    vxb->setChecked(m.InstrumentModel == 2);
    // 2.
    Flag_errore = 0;
    // 3. A prog.ini that is not a plain file of a sensible size gives the defaults, and says so.
    settings::FileProblem refused;
    if (!settings::ReadProgIni(m, context_.settingsDir, &refused) && !refused.path.isEmpty()) {
        NoteIgnoredFile(refused);
    }
    // The device chosen in the port dialog and the local-echo setting (port.ini).
    settings::FileProblem portRefused;
    if (!settings::ReadPortIni(m, context_.settingsDir, &portRefused) && !portRefused.path.isEmpty()) {
        NoteIgnoredFile(portRefused);
    }
    // 4.
    const QString device = PortDevice(context_, m.CommPortNumber);
    MSComm1->SetLocalEcho(LineEcho(context_));
    const OpenResult opened = MSComm1->OpenPort(device);
    const TextTable messages = texts::StartMessages();
    if (opened == OpenResult::InvalidPortNumber) {
        portMessagePending_ = true;
        Flag_errore = 1;
        PortLabel->setText(TextOf(messages, u"PortInvalid", m.LanguageIndex));
    } else if (!context_.deviceOverride.isEmpty() || !m.ChosenDevice.isEmpty()) {
        // A device named as it is (a path, tcp://...), not by a port number it does not come from.
        const auto key = opened == OpenResult::Ok ? u"PortChosen" : u"PortChosenMissing";
        PortLabel->setText(TextOf(messages, key, m.LanguageIndex).arg(device));
    } else {
        const auto key = opened == OpenResult::Ok ? u"PortStatus" : u"PortMissing";
        PortLabel->setText(TextOf(messages, key, m.LanguageIndex).arg(m.CommPortNumber).arg(device));
    }
    AddEchoHint(this, MSComm1, m.LanguageIndex);
    // A device server that refuses or drops the connection is told after the device, until it answers.
    const QString portText = PortLabel->text();
    connect(MSComm1, &SerialLink::ConnectionProblemChanged, PortLabel, [this, portText, device] {
        const int language = context_.m.LanguageIndex;
        const QString problem = ConnectionProblemText(*MSComm1, language);
        PortLabel->setText(problem.isEmpty()
                               ? portText
                               : TextOf(texts::StartMessages(), u"PortProblem", language).arg(device, problem));
    });
    // 5.
    flag_cambio_maschera = false;
    // 6.
    UseQtTexts(m.LanguageIndex);
    ApplyTexts(this, texts::Form2(), m.LanguageIndex);
    ApplyTexts(this, texts::Traffic(), m.LanguageIndex);
    ApplyMnemonics(this, texts::Mnemonics(), m.LanguageIndex);
    StartHint->setText(TextOf(texts::Help(), u"FirstStartHint", m.LanguageIndex));
    // 7. The caption as the table spells it, without the menu's access-key marker.
    m.InstrumentMenuCaption = WithoutMnemonic(sel->title());
    // 8.
    Lin->setVisible(m.HideLanguageMenu != 1);
}

// --- The loop ---------------------------------------------------------------------------------------

QCoro::Task<StartScreenOutcome> Form2::ActivateStartScreen() {
    RunningFlag running(loopRunning_);
    Modulo1& m = context_.m;
    if (portMessagePending_) {
        portMessagePending_ = false;
        const TextTable messages = texts::StartMessages();
        co_await context_.prompter.Message(this, TextOf(messages, u"AttentionTitle", m.LanguageIndex),
                                           TextOf(messages, u"PortNumberWrong", m.LanguageIndex),
                                           MessageIcon::Exclamation);
    }
    co_await LoadInstrumentList();

    for (;;) {
        if (StopRequested()) {
            co_return co_await CarryOutStopRequest();
        }
        Num_Strumenti = 0;
        for (int n = 1; n <= AddressCount; ++n) {
            Num_Strumenti += Check1[n]->isChecked() ? 1 : 0;
        }
        StartHint->setVisible(Num_Strumenti == 0);
        for (int n = 1; n <= AddressCount; ++n) {
            m.DeviceAddress = uint8_t(n);
            if (Check1[n]->isChecked()) {
                if (Num_Strumenti > 1) {
                    co_await PauseBeforePoll();
                }
                if (StopRequested()) {
                    co_return co_await CarryOutStopRequest();
                }
                co_await PollDivisionCode();
                co_await PollInstrumentWeight();
                if (co_await OpenMainIfRequested()) {
                    co_return StartScreenOutcome::OpenMain;
                }
                // The user's events run between two instruments; an address not ticked costs nothing.
                co_await waker_.LetEventsRun();
                if (StopRequested()) {
                    co_return co_await CarryOutStopRequest();
                }
            }
        }
        ShowInstrumentErrors();
        ++passCount_;
        emit PassCompleted(passCount_);
        if (Num_Strumenti == 0) {
            // Nothing to poll: wait for a box to be ticked, a menu or the next tick, without spinning.
            co_await waker_.WaitFor(IdleTickMs);
        }
    }
}

QCoro::Task<StartScreenOutcome> Form2::CarryOutStopRequest() {
    // Quit and both menus saved Strum.ini first; a failure is told before anything else happens.
    co_await ReportUnwrittenFile();
    if (quitRequested_) {
        co_return StartScreenOutcome::Quit;
    }
    std::unique_ptr<QDialog> dialog;
    const std::optional<settings::FileProblem>* writeProblem = nullptr;
    if (dialogRequest_ == DialogRequest::Comm) {
        auto comm = std::make_unique<Comm>(context_, this);
        comm->Form_Load();
        writeProblem = &comm->WriteProblem();
        dialog = std::move(comm);
    } else {
        auto ling = std::make_unique<Ling>(context_, this);
        ling->Form_Load();
        writeProblem = &ling->WriteProblem();
        dialog = std::move(ling);
    }
    // The loop holds here, between two exchanges, until the dialog is closed. OK has written prog.ini;
    // either way the screen is loaded afresh, which rereads prog.ini and reopens the port. When OK could
    // not write it, the choice is lost with the reload: the user is told which file and why.
    co_await context_.prompter.Dialog(*dialog);
    const std::optional<settings::FileProblem> notWritten = *writeProblem;
    dialog.reset();
    if (notWritten) {
        co_await ReportFileNotWritten(*notWritten);
    }
    co_await ReportUnwrittenFile();
    dialogRequest_ = DialogRequest::None;
    co_return quitRequested_ ? StartScreenOutcome::Quit : StartScreenOutcome::Reload;
}

QCoro::Task<> Form2::PauseBeforePoll() {
    t_delay = 0;
    if (context_.m.PollDelayMs <= 0) {
        co_return;
    }
    Timer2.setInterval(context_.m.PollDelayMs);
    Timer2.start();
    while (t_delay != 1 && !StopRequested()) {
        co_await waker_.Wait();
    }
    Timer2.stop();
    Timer2.setInterval(0);
}

QCoro::Task<> Form2::LoadInstrumentList() {
    Modulo1& m = context_.m;
    settings::FileProblem refused;
    const std::optional<settings::InstrumentList> list =
        settings::LoadInstrumentList(context_.settingsDir, &refused);
    if (!list && !refused.path.isEmpty()) {
        NoteIgnoredFile(refused);
    }
    // Every address learns its division again and starts without failures.
    for (int n = 1; n <= AddressCount; ++n) {
        m.ErrorCount[n] = 0;
        m.DivisionStep[n] = 0;
        m.DecimalCount[n] = 0;
    }
    if (!list) {
        listLoaded_ = true;
        co_return; // no Strum.ini: every box stays unticked
    }
    for (int n = 1; n <= AddressCount; ++n) {
        Check1[n]->setChecked((*list)[n]);
        Check1_Click(n);
    }
    listLoaded_ = true;
    // Whatever is still arriving on the line (the last reply to the screen before) is swallowed.
    co_await MSComm1->ReceiveReply(m.StartReplyTimeoutMs);
}

QCoro::Task<> Form2::PollDivisionCode() {
    if (flag_cambio_maschera || quitRequested_) {
        co_return;
    }
    co_await poll_.PollDivisionCode();
}

QCoro::Task<> Form2::PollInstrumentWeight() {
    if (flag_cambio_maschera || quitRequested_) {
        co_return;
    }
    const int a = context_.m.DeviceAddress;
    const StartPollResult result = co_await poll_.PollInstrumentWeight();
    if (!result.text.isEmpty()) {
        ShowWeight(a, result.text);
    }
}

QCoro::Task<bool> Form2::OpenMainIfRequested() {
    if (!flag_cambio_maschera) {
        co_return false;
    }
    Modulo1& m = context_.m;
    flag_cambio_maschera = false;
    // Anything still arriving on the line is swallowed (a quiet line costs one time-out).
    co_await MSComm1->ReceiveReply(m.StartReplyTimeoutMs);
    if (quitRequested_) {
        co_return false;
    }
    // The double-click saved Strum.ini; a failure is told before the main setup screen opens.
    co_await ReportUnwrittenFile();
    m.DeviceAddress = uint8_t(SelectedInstrument);
    for (int n = 1; n <= AddressCount; ++n) {
        m.ErrorCount[n] = 0;
    }
    co_return true;
}

void Form2::ShowInstrumentErrors() {
    Modulo1& m = context_.m;
    const QString error = TextOf(texts::StartMessages(), u"InstrumentError", m.LanguageIndex);
    for (int n = 1; n <= AddressCount; ++n) {
        if (!Check1[n]->isChecked()) {
            continue;
        }
        if (m.ErrorCount[n] >= 100) {
            m.ErrorCount[n] = ErrorThreshold; // the count never overflows
        }
        if (m.ErrorCount[n] >= ErrorThreshold) {
            SetTextColour(Peso[n], ErrorColour());
            Peso[n]->setText(error);
        }
    }
}

void Form2::ShowWeight(int address, const QString& text) {
    // An instrument that answers again shows its weight in the normal colour: a valid weight in the
    // error colour would mislead.
    SetTextColour(Peso[address], normalWeightColour_);
    Peso[address]->setText(text);
}

QColor Form2::NormalWeightColour() const {
    return normalWeightColour_;
}

settings::InstrumentList Form2::TickedAddresses() const {
    settings::InstrumentList list{};
    for (int n = 1; n <= AddressCount; ++n) {
        list[n] = Check1[n]->isChecked();
    }
    return list;
}

void Form2::SaveInstrumentList() {
    // Before the list is loaded (while the invalid-port message is up) the boxes do not show the
    // file yet, and writing them would wipe it.
    if (!listLoaded_) {
        return;
    }
    // A handler cannot show a message: the loop tells the user at its next stop.
    settings::FileProblem problem;
    if (!settings::SaveInstrumentList(context_.settingsDir, TickedAddresses(), &problem)) {
        unwritten_ = problem;
    }
}

QString Form2::ProblemReason(const settings::FileProblem& problem) const {
    const TextTable messages = texts::StartMessages();
    switch (problem.reason) {
    case settings::FileProblem::NotRegularFile:
        return TextOf(messages, u"NotRegularFile", context_.m.LanguageIndex);
    case settings::FileProblem::TooLarge:
        return TextOf(messages, u"FileTooLarge", context_.m.LanguageIndex);
    case settings::FileProblem::System:
        break;
    }
    return problem.systemText;
}

void Form2::NoteIgnoredFile(const settings::FileProblem& problem) {
    const QString notice = TextOf(texts::StartMessages(), u"SettingsIgnored", context_.m.LanguageIndex)
                               .arg(QDir::toNativeSeparators(problem.path), ProblemReason(problem));
    const QString shown = SettingsLabel->text();
    SettingsLabel->setText(shown.isEmpty() ? notice : shown + QStringLiteral("; ") + notice);
    SettingsLabel->setVisible(true);
}

QCoro::Task<> Form2::ReportUnwrittenFile() {
    if (!unwritten_) {
        co_return;
    }
    const settings::FileProblem problem = *unwritten_;
    unwritten_.reset();
    co_await ReportFileNotWritten(problem);
}

QCoro::Task<> Form2::ReportFileNotWritten(settings::FileProblem problem) {
    const TextTable messages = texts::StartMessages();
    const int language = context_.m.LanguageIndex;
    const QString text = TextOf(messages, u"SettingsNotWritten", language)
                             .arg(QDir::toNativeSeparators(problem.path), ProblemReason(problem));
    co_await context_.prompter.Message(this, TextOf(messages, u"AttentionTitle", language), text,
                                       MessageIcon::Exclamation);
}

// --- Handlers -----------------------------------------------------------------------------------------

void Form2::Check1_Click(int index) {
    const bool ticked = Check1[index]->isChecked();
    Icona[index]->setVisible(ticked);
    Peso[index]->setVisible(ticked);
    SetTextColour(Check1[index], ticked ? TickedColour() : UntickedColour());
    StartHint->setVisible(
        std::none_of(Check1.begin() + 1, Check1.end(), [](QCheckBox* c) { return c->isChecked(); }));
    waker_.Notify(); // an idle loop picks the change up at once
}

void Form2::Icona_DblClick(int index) {
    if (Flag_errore != 0 || !Check1[index]->isChecked()) {
        return;
    }
    SelectedInstrument = index;
    flag_cambio_maschera = true;
    SaveInstrumentList();
}

void Form2::Command1_Click() {
    SaveInstrumentList();
    quitRequested_ = true;
    MSComm1->CancelWait();
    waker_.Notify();
}

void Form2::vxa_Click() {
    context_.m.InstrumentModel = 1;
    vxa->setChecked(true);
    vxb->setChecked(false);
}

void Form2::vxb_Click() {
    context_.m.InstrumentModel = 2;
    vxa->setChecked(false);
    vxb->setChecked(true);
}

void Form2::pse_Click() {
    SaveInstrumentList();
    if (dialogRequest_ == DialogRequest::None) {
        dialogRequest_ = DialogRequest::Comm;
    }
    waker_.Notify();
}

void Form2::Lin_Click() {
    SaveInstrumentList();
    if (dialogRequest_ == DialogRequest::None) {
        dialogRequest_ = DialogRequest::Ling;
    }
    waker_.Notify();
}

bool Form2::MoveIconFocus(int from, int step) {
    // The next picture on show that way (a ticked instrument); at the edge the focus stays.
    for (int n = from + step; n >= 1 && n <= AddressCount; n += step) {
        if (Icona[n]->isVisible()) {
            Icona[n]->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    return true;
}

void Form2::Timer2_Timer() {
    t_delay = 1;
    waker_.Notify();
}

void Form2::closeEvent(QCloseEvent* event) {
    // The close box takes the path of the Quit button; the Application closes the window.
    event->ignore();
    if (!quitRequested_) {
        Command1_Click();
    }
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    const QVariant index = watched->property(IndexProperty);
    if (index.isValid() && event->type() == QEvent::MouseButtonDblClick) {
        Icona_DblClick(index.toInt());
        return true;
    }
    if (index.isValid() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            return QMainWindow::eventFilter(watched, event);
        }
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter opens the instrument as the double-click does, under the same conditions.
            if (!key->isAutoRepeat()) {
                Icona_DblClick(index.toInt());
            }
            return true;
        case Qt::Key_Left:
            return MoveIconFocus(index.toInt(), -1);
        case Qt::Key_Right:
            return MoveIconFocus(index.toInt(), 1);
        case Qt::Key_Up:
            return MoveIconFocus(index.toInt(), -Columns);
        case Qt::Key_Down:
            return MoveIconFocus(index.toInt(), Columns);
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
