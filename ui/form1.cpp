#include "form1.h"

#include "applytexts.h"
#include "echohint.h"
#include "note.h"
#include "offline.h"
#include "prompter.h"
#include "rules.h"
#include "setupdialogs.h"
#include "statusline.h"
#include "texts.h"
#include "texts_compare.h"
#include "texts_form1.h"
#include "texts_report.h"
#include "texts_traffic.h"
#include "trafficwindow.h"
#include "trendcontrol.h"
#include "verificationcontrol.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

// --- Loading ---------------------------------------------------------------------------------------------

void Form1::Form_Load() {
    // 0. Offline editing belongs to the screen that switched it on: this one starts on-line, before any
    // field shows a value.
    m_.OfflineEdit = false;
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
    // 15. No notes, nothing to print yet.
    m_.DatasheetAnswer = 0;
    calib_.Reset(); // Old_Capac, Net_Tara
    m_.ReportNotes.clear();
    EnableMenu(SConf, false);
    Econf->setChecked(false);
    FitWindow();
}

QSize Form1::ScreenRoom() const {
    const QScreen* shownOn = screen();
    return (shownOn ? shownOn->availableGeometry().size() : QSize()).expandedTo(ScreenRoomMin);
}

void Form1::FitWindow() {
    if (isMaximized() || isFullScreen()) {
        return;
    }
    const QSize room = ScreenRoom();
    centralWidget()->layout()->activate();
    layout()->activate();
    // The trend docked under a screen that would then be taller than the screen floats instead, as a
    // window of its own under the screen (or at the screen's bottom edge).
    if (trend_->TrendItem->isChecked() && !TrendDock->isFloating() &&
        minimumSizeHint().height() > room.height()) {
        TrendDock->setFloating(true);
        layout()->activate();
        const QSize dock = TrendDock->sizeHint().boundedTo(room);
        const int top = std::min(frameGeometry().bottom() + 1, room.height() - dock.height());
        TrendDock->setGeometry(QRect(QPoint(x(), std::max(0, top)),
                                     QSize(std::max(dock.width(), width()), dock.height()).boundedTo(room)));
    }
    // As wide as the wider of the upper band and the tab control in both modes, so that nothing moves
    // sideways when setup mode is switched; as high as the mode needs, the upper band alone when
    // monitoring. A setup window made higher by the user keeps that height the next time. Never larger
    // than the screen.
    const QMargins margins = centralWidget()->layout()->contentsMargins();
    const int w = std::max(
        {width(), sizeHint().width(), SSTab1->sizeHint().width() + margins.left() + margins.right()});
    const int h = m_.Fl_setup ? qMax(sizeHint().height(), setupHeight_) : sizeHint().height();
    resize(QSize(w, h).boundedTo(room));
}

void Form1::ApplyLanguage() {
    UseQtTexts(m_.LanguageIndex);
    ApplyTexts(this, texts::MainScreen(), m_.LanguageIndex);
    ApplyTexts(this, texts::Traffic(), m_.LanguageIndex);
    ApplyTexts(this, texts::Compare(), m_.LanguageIndex);
    trend_->ApplyLanguage(m_.LanguageIndex);
    verification_->ApplyLanguage(m_.LanguageIndex);
    TrendDock->setWindowTitle(WithoutMnemonic(trend_->TrendItem->text()));
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
    WrapLongCaptions();
    EqualiseTestControls();
    setWindowTitle(Text("Form1"));
    ApplyKeyTexts();
    Status().ApplyLanguage();
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
    // None of them is the instrument's: the fields stay blank until their groups are read.
    set_.setAllKnown(false);
}

// --- Binding of the fields ---------------------------------------------------------------------------------

void Form1::ShowField(Field field) {
    QWidget* w = FieldWidget(field);
    if (!w) {
        return;
    }
    // A value the instrument did not give is not shown, and none can be typed in its place.
    const bool shown = ValueShown(field);
    updatingField_ = true;
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setCurrentIndex(shown ? set_.index(field) : -1);
        combo->setEnabled(shown);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        const QString text = shown ? set_.text(field) : QString();
        if (edit->text() != text) {
            edit->setText(text);
        }
        edit->setReadOnly(!shown);
    }
    updatingField_ = false;
    if (field == Field::Indir) {
        ShowDeviceAddress();
    }
}

void Form1::ShowDeviceAddress() {
    // The address the screen talks to, not the field's: a typed or loaded address is the instrument's
    // only once its serial write is confirmed.
    const QString address = QString::number(m_.DeviceAddress);
    if (IndStr->text() != address) {
        IndStr->setText(address);
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
    case QEvent::ToolTip:
        // The largest value the field takes at the division it is encoded with at this moment.
        edit->setToolTip(RegisterLimitTip(edit, def.maxLength > 4 ? LargestValue(*field, WeightDivision(set_))
                                                                  : QString()));
        return false;
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
        statusLine_->ModeChanged();
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
        statusLine_->ModeChanged();
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
    // Offline every field is the user's; on line again, only what the instrument gave shows.
    ShowAllFields();
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
    if (saved.ok) {
        Status().PdfWritten(path);
    } else {
        co_await prompter.Message(this, say("PrintFailedTitle"),
                                  say("PdfFailed").arg(QDir::toNativeSeparators(path), saved.reason),
                                  MessageIcon::Exclamation);
    }
}

QCoro::Task<> Form1::AskSaveChanges() {
    statusLine_->ModeChanged();
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
        if (!modelKnown_ && !exitRequested_ && !m_.OfflineEdit && !co_await CheckInstrumentModel()) {
            break;
        }
        if (accessCodeRequested_ && !exitRequested_) {
            // The access code is asked between two exchanges; the memory reset is queued in this pass.
            co_await AskAccessCode();
        }
        if (notesRequested_ && !exitRequested_) {
            co_await AskNotes();
        }
        if (capacityWarningRequested_ && !exitRequested_) {
            co_await WarnCapacity();
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
        if (monitor_.ShowsLinkError()) {
            modelKnown_ = false; // asked again once the link is back
        }
        ShowDeviceAddress(); // a confirmed serial write moves the screen to its new address
        // A load or save asked for by the menu, between two passes.
        co_await RunPendingFileAction();
        if (exitRequested_) {
            break;
        }
        ShowDeviceAddress();
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
    if (!quietExit_) {
        co_await commands_.ExitProcedure([this] { return AskSaveChanges(); });
    }
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
