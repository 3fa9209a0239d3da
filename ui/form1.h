#pragma once

// The main setup screen for the instrument at DeviceAddress. The upper band always shows the
// instrument's live state; the tab control SSTab1, shown in setup mode, holds the whole configuration,
// the calibration and the output tests. The screen's fields are bound to the ParameterSet: a change of
// a field is a change of the configuration, and a value put into the configuration (a read, a file)
// shows in the field.
//
// The screen's loop (Form_Activate) is a coroutine that runs one pass after the other: the readers of
// the live monitor and of the configuration, then the write queue. Handlers only change the model or
// queue a request; the loop does all the talking to the instrument.

#include "calibration.h"
#include "configreader.h"
#include "configwriter.h"
#include "groupmarks.h"
#include "livemonitor.h"
#include "loopwait.h"
#include "outputtests.h"
#include "parameterset.h"
#include "report.h"
#include "reportprint.h"
#include "rules.h"
#include "screencontext.h"
#include "serial.h"
#include "session.h"
#include "setupcommands.h"
#include "setupfile.h"
#include "writequeue.h"

#include <QCoro/QCoroTask>
#include <QFrame>
#include <QHash>
#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QDockWidget;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class TrendControl;
class VerificationControl;
class StatusLine;

// A shape used as a status lamp (solid or transparent fill) or as a group's modification marker.
class Shape : public QFrame {
    Q_OBJECT
public:
    static constexpr int Solid = 0;
    static constexpr int Transparent = 1;

    Shape(const QString& name, const QColor& colour, int size, QWidget* parent);
    int FillStyle() const { return fillStyle_; }
    void SetFillStyle(int style);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
    int fillStyle_ = Solid;
};

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    // How long a pass that sent nothing (offline editing, no instrument to ask) waits for an event
    // before the next pass.
    static constexpr int IdleTickMs = 100;
    // The tabs of the setup screen: seven, the analog output's and the output test's last.
    static constexpr int TabCount = 7;
    static constexpr int AnalogTab = 5;
    static constexpr int TestTab = 6;

    explicit Form1(const ScreenContext& context, QWidget* parent = nullptr);
    ~Form1() override;

    // Prepares the screen in fifteen steps; a step that fails does not stop the others.
    void Form_Load();
    // The main loop: one pass after the other until the screen is to end.
    QCoro::Task<> Form_Activate();

    // --- handlers ---
    void Command1_Click();              // setup mode on / off
    void SSTab1_Click(int previousTab); // a tab was left
    void Esc_Click();                   // asks the loop to leave the screen (the exit procedure)
    void Reset_Click();                 // asks the loop for the access code of a memory reset
    void Option_Click(int view);        // weight view 1 net, 2 gross, 3 peak
    void Econf_Click();                 // offline editing on / off
    void Nota_Click();                  // asks the loop for the notes window
    void SConf_Click();                 // the report of the fields as shown, to the printer

    // --- tab 1 calibration, tab 5 trimming, tab 6 output tests ---
    void Command2_Click();                           // zero setting
    void Command3_Click();                           // full-scale setting with the sample weight
    void Command28_Click();                          // unlocks Capac for a new datasheet calibration
    void Trim_Click(TrimRow row, StepButton button); // the eight step buttons of tab 5
    void Command8_Click();                           // analog test: start
    void AnalogTestStep_Click(StepButton button);    // Command24, Command10, Command9, Command25
    void Command11_Click();                          // analog test: end
    void Command22_Click();                          // relay test: start
    void RelayOption_Click();                        // U1on, U1off, U2on, U2off
    void Command23_Click();                          // relay test: end

    // --- setup files (menu opz): the clicks only record the request, the loop carries it out ---
    void Ap_Click();  // PendingFileAction = 1 (load)
    void Sal_Click(); // PendingFileAction = 2 (save)
    // The comparison with a setup file (menu opz, beside Ap and Sal): the loop reads the instrument, asks
    // for the file and shows the compare window.
    static constexpr uint8_t PendingCompare = 3;
    void Conf_Click(); // PendingFileAction = PendingCompare
    // Main-loop step after the pass: the pending load or save, then the focus back to Set1 after a load.
    QCoro::Task<> RunPendingFileAction();
    QCoro::Task<> FOpenProc();
    QCoro::Task<QString> GetFileName(const QString& Filename);
    QCoro::Task<bool> SaveFileAs(const QString& Filename);
    QCoro::Task<> OpenFile(const QString& Filename);

    // --- the model behind the screen ---
    ParameterSet& Parameters() { return set_; }
    GroupMarks& Marks() { return marks_; }
    MonitorDisplay& Display() { return display_; }
    WriteQueue& Queue() { return queue_; }
    ConfigWriter& Writer() { return writer_; }
    SetupCommands& Commands() { return commands_; }
    Calibration& Calib() { return calib_; }
    OutputTests& Outputs() { return outputs_; }
    // The weight trend panel and the weight log (menu "vis").
    TrendControl& Trend() { return *trend_; }
    VerificationControl& Verification() { return *verification_; }
    SetupFiles& Files() { return *files_; }

    // The control of a field.
    QWidget* FieldWidget(Field field) const { return fields_[static_cast<int>(field)]; }

    // --- controls used by the code (every control also carries its name as objectName) ---
    QLabel* Label1 = nullptr;
    QLineEdit* Peso = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option4 = nullptr;
    QLineEdit* IndStr = nullptr;
    QLineEdit* Ingresso1 = nullptr;
    QLineEdit* Ingresso2 = nullptr;
    QLineEdit* Versione = nullptr;
    QLineEdit* MilliV = nullptr;
    QLineEdit* Punti = nullptr;
    QPushButton* Command1 = nullptr;
    QTabWidget* SSTab1 = nullptr;
    QDockWidget* TrendDock = nullptr; // holds the trend panel: under the screen, or floating
    QMenu* opz = nullptr;
    QAction* Ap = nullptr;
    QAction* Sal = nullptr;
    QAction* Conf = nullptr; // compare with a setup file
    QAction* Reset = nullptr;
    QAction* Esc = nullptr;
    QMenu* Edit = nullptr;
    QAction* Econf = nullptr;
    QAction* Nota = nullptr;
    QAction* SConf = nullptr;
    QMenu* vis = nullptr;
    QAction* traf = nullptr; // opens the traffic window (usable in setup mode too)
    QMenu* aiuto = nullptr;  // Help: the short help (F1) and the About box
    QAction* guida = nullptr;
    QAction* about = nullptr;
    std::array<QLabel*, 30> lblAddText{};
    std::array<QFrame*, 12> Line7{};
    SerialLink* MSComm1 = nullptr;

    // The room the screen may take: the screen's own, but never less than the smallest screen the
    // program is made for (1024x768 less a panel and a title bar: ScreenRoomMin).
    static constexpr QSize ScreenRoomMin{1024, 720};
    QSize ScreenRoom() const;

    // What the enable rules of the screen say of a menu item. The items of setup files stay disabled
    // whatever the rules say until they are built.
    bool MenuRuleEnabled(const QAction* action) const;

    // The configuration report of the fields as they are shown now.
    QList<ReportLine> Report() const;
    // Where SConf sends the report: the system's default printer (tests put a fake one here).
    std::function<ReportOutcome(const QList<ReportLine>&, int languageIndex)> PrintTarget = PrintReport;

    // The Help menu's boxes (form1_keys.cpp).
    void Guida_Click();
    void About_Click();
    // Ctrl+Tab (1) and Ctrl+Shift+Tab (-1) in setup mode: the next or previous tab that can be chosen.
    void StepTab(int step);
    // The status bar's messages and the line-health indicator (form1_status.cpp).
    StatusLine& Status() const { return *statusLine_; }

    // Passes of the main loop completed (tests and benchmarks).
    quint64 PassCount() const { return passCount_; }
    bool LoopRunning() const { return loopRunning_; }
    bool ExitRequested() const { return exitRequested_; }
    // The model the instrument answered as when it was not the one selected and the user chose to open
    // its screen instead; 0 otherwise. The screen then ends without the exit procedure: it sent nothing.
    int ReopenAsModel() const { return reopenAsModel_; }
    // Whether the field shows a value: its group's values came from the instrument, a setup file or the
    // user editing offline. Otherwise it is blank and takes no input.
    bool ValueShown(Field field) const;

signals:
    void PassCompleted(quint64 pass);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    // Enter on buttons, shortcuts, the Help menu; their captions, access keys and the fields' tooltips.
    void WireKeys();
    void ApplyKeyTexts();
    // The status bar; what a send button queued, and a setup-file action (1 load, 2 save) before and
    // after it ran.
    void WireStatus();
    void NoteSend(GroupId id);
    void NoteFileAction(int action, bool ended);
    void EnableMenu(QAction* action, bool enabled);
    QWidget* BuildUpperBand();
    QWidget* BuildTab(int tab);
    QWidget* BuildTestTab();
    QWidget* MakeField(Field field, QWidget* parent);
    Shape* MakeMarker(GroupId id, QWidget* parent);
    QPushButton* MakeSendButton(GroupId id, QWidget* parent);
    QLabel* MakeErrorLabel(GroupId id, QWidget* parent);
    QWidget* Named(const char* name) const;
    template <typename T> T* Named(const char* name) const { return qobject_cast<T*>(Named(name)); }
    void SetVisible(std::initializer_list<const char*> names, bool visible);
    void SetEnabled(std::initializer_list<const char*> names, bool enabled);

    void ApplyLanguage();
    // The long captions of the tabs break onto two lines (their texts stay as they are), so that the
    // screen fits a small laptop's screen.
    void WrapLongCaptions();
    // The test tab's start and end buttons as wide as each other, and its two boxes alike.
    void EqualiseTestControls();
    // The window's size for the mode it is in, never larger than the screen; the trend floats where
    // docked it would not fit.
    void FitWindow();
    void FillLists();
    void ShowField(Field field);
    // Every field of the group, after its values became known or unknown.
    void ShowKnown(GroupId id);
    void ShowAllFields();
    // Tells the model the instrument answers as (the operating-mode read, which only the first model
    // answers); on a mismatch with the selection asks whether to open the screen of the model found
    // or go back to the start-up screen, and ends the loop quietly either way. Until the instrument
    // answers either way the selected model stands. False when the screen is to end.
    QCoro::Task<bool> CheckInstrumentModel();
    void MarkerRule(Field field);
    void ShowGroupMarks(GroupId id);
    std::optional<Field> FieldOf(const QWidget* w) const;
    // The focus goes back into a field whose value was refused, at once and without a message; until
    // it is there, the focus leaving other fields is not checked.
    void HoldFocus(Field field, QLineEdit* edit);
    // Whether a send handler may go ahead: the field being left holds a value that may leave it.
    bool SendAllowed();
    // The focus into the group's first field that can take it.
    void FocusFirstField(GroupId id);
    void ShowText(MonitorDisplay::Text t);
    void ShowLamp(MonitorDisplay::Lamp l);
    void TestPanelsIdle(bool showStartButtons);
    // Tabs 1, 5 and 6: the handlers of their buttons and fields, connected once the controls exist.
    void WireCalibration();
    // The setup files: their actions and what they show through the prompter.
    void WireFiles();
    // Capac, Teonet and Teotara: whether the field selects its text on getting the focus (false only
    // while the other one of Teonet and Teotara is held), and their leave rules.
    bool CalibrationFocusIn(Field field);
    // IndStr: the address the screen talks to (DeviceAddress).
    void ShowDeviceAddress();
    // The tooltip of a field: its range, then the largest value its register takes (when `largest` is
    // not empty) at the division of this moment.
    QString RegisterLimitTip(const QWidget* field, const QString& largest) const;
    bool IsCalibrationField(Field field) const;
    void CalibrationFocusOut(Field field, QLineEdit* edit, Qt::FocusReason reason);
    void LockCapac();
    // Main-loop step: the datasheet question of a zero setting, asked between two exchanges.
    QCoro::Task<> AskDatasheetQuestion();
    // Main-loop step: the warning after a new capacity was typed, then the lock of the field.
    QCoro::Task<> WarnCapacity();
    QString Text(const char* key) const;

    // One pass of the loop; it ends early once the user has asked to leave.
    QCoro::Task<> RunPass();
    // Asks for the access code (Dialog_passw); the loop holds until the dialog is closed.
    QCoro::Task<> AskAccessCode();
    // The save-changes question (DialogA) of the exit procedure.
    QCoro::Task<> AskSaveChanges();
    // The notes window (Note); the loop holds until it is closed.
    QCoro::Task<> AskNotes();
    // Hands the report of SConf to the printer; when there is none, or it refuses the job, offers to
    // save it as a PDF file instead.
    QCoro::Task<> PrintConfiguration();
    void WireCompare();
    QCoro::Task<> RunCompare();
    // Whether the rest of the pass is to be skipped: the user asked to leave, or switched offline
    // editing on while the pass was under way.
    bool PassCut() const { return exitRequested_ || m_.OfflineEdit; }

    ScreenContext context_;
    Modulo1& m_;
    LoopWaker waker_;
    SerialLink* link_;
    WriteQueue queue_;
    ParameterSet set_;
    Session session_;
    GroupMarks marks_;
    SetupCommands commands_;
    ConfigWriter writer_;
    ConfigReader reader_;
    MonitorDisplay display_;
    LiveMonitor monitor_;
    Calibration calib_;
    OutputTests outputs_;
    std::unique_ptr<FileActions> fileActions_; // message boxes and CMDialog1 through the prompter
    std::unique_ptr<SetupFiles> files_;
    TrendControl* trend_ = nullptr; // a child of the screen
    VerificationControl* verification_ = nullptr; // a child of the screen
    StatusLine* statusLine_ = nullptr;

    std::array<QWidget*, FieldCount> fields_{};
    LeaveGuard guard_;
    QHash<const QAction*, bool> menuRule_; // the enable rules' state of the menu items
    std::array<Shape*, 4> lamps_{};        // by MonitorDisplay::Lamp
    int currentTab_ = 0;
    int setupHeight_ = 0; // the window's height when setup mode was last left
    bool updatingField_ = false;
    bool exitRequested_ = false;
    bool accessCodeRequested_ = false;
    bool notesRequested_ = false;
    bool capacityWarningRequested_ = false;
    std::optional<QList<ReportLine>> reportToPrint_; // SConf's report, printed by the loop
    bool loopRunning_ = false;
    quint64 passCount_ = 0;
    bool modelKnown_ = false; // the instrument has told its model
    bool quietExit_ = false;  // leave without the exit procedure (nothing was sent)
    int reopenAsModel_ = 0;

public:
    // Declared after the link and the writer they belong to, so that each is bound to a built object.
    QTimer& Timer1; // reply time-out (MSComm1's)
    QTimer& Timer2; // the error labels' 2000 ms timer
};
