#pragma once

// The start-up screen: the 32 addresses of the line in a grid of 7 columns, each with its check box
// (Check1), instrument picture (Icona) and weight label (Peso). Its loop polls every ticked address
// (division code, status byte, weight) and shows which instruments answer; a double-click on a picture
// chooses the instrument to set up.
//
// The loop is a coroutine that ends with an outcome for the Application, which then closes this
// screen (its port closes with it) and opens the next one: the main setup screen for DeviceAddress,
// this screen afresh after a dialog, or nothing (Quit). Handlers only record requests; the loop
// carries them out between two exchanges.

#include "loopwait.h"
#include "screencontext.h"
#include "serial.h"
#include "settings.h"
#include "startpoll.h"

#include <QColor>
#include <QCoro/QCoroTask>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;

enum class StartScreenOutcome {
    OpenMain, // open the main setup screen for DeviceAddress
    Reload,   // a dialog closed: load the start-up screen afresh
    Quit,     // end the program
};

class Form2 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int AddressCount = settings::InstrumentCount;
    static constexpr int Columns = 7;
    // Failed polls in a row after which an instrument shows its error text.
    static constexpr int ErrorThreshold = 10;
    // How long a pass with no ticked box waits for an event before it starts again.
    static constexpr int IdleTickMs = 250;

    explicit Form2(const ScreenContext& context, QWidget* parent = nullptr);
    ~Form2() override;

    // Load handler: model check mark, prog.ini, port, captions. An invalid port number is reported by
    // a message box when the screen is activated (the box needs the screen on show).
    void LoadStartScreen();
    // Activation handler: the instrument list, then the polling loop until the screen has to go.
    QCoro::Task<StartScreenOutcome> ActivateStartScreen();

    // --- controls (index 1..32) ---
    std::array<QCheckBox*, AddressCount + 1> Check1{};
    std::array<QLabel*, AddressCount + 1> Icona{};
    std::array<QLabel*, AddressCount + 1> Peso{};
    QPushButton* Command1 = nullptr;
    QMenu* opz = nullptr;
    QAction* pse = nullptr;
    QAction* Lin = nullptr;
    QMenu* sel = nullptr;
    QAction* vxa = nullptr;
    QAction* vxb = nullptr;
    QMenu* vis = nullptr;
    QAction* traf = nullptr;         // opens the traffic window
    SerialLink* MSComm1 = nullptr;   // the screen's serial port
    QTimer& Timer1;                  // the reply time-out (MSComm1's)
    QTimer Timer2;                   // the pause between instruments
    QLabel* PortLabel = nullptr;     // status line: the port and the device it leads to
    QLabel* SettingsLabel = nullptr; // status line: a settings file that was not read (hidden otherwise)
    QLabel* StartHint = nullptr;     // one line over the entries while no instrument is ticked

    // --- form variables ---
    int16_t t_delay = 0;
    bool flag_cambio_maschera = false;
    uint8_t Num_Strumenti = 0;
    uint8_t Flag_errore = 0;
    int SelectedInstrument = 0;

    // --- steps of the loop ---
    QCoro::Task<> LoadInstrumentList();
    QCoro::Task<> PollDivisionCode();
    QCoro::Task<> PollInstrumentWeight();
    QCoro::Task<bool> OpenMainIfRequested();
    void ShowInstrumentErrors();
    // Writes Strum.ini from the 32 check boxes.
    void SaveInstrumentList();

    // --- handlers ---
    void Check1_Click(int index);
    void Icona_DblClick(int index);
    void Command1_Click();
    void vxa_Click();
    void vxb_Click();
    void pse_Click();
    void Lin_Click();
    void Timer2_Timer();

    // The colours of the check box captions and of the weight labels.
    static QColor TickedColour();
    static QColor UntickedColour();
    static QColor ErrorColour();
    QColor NormalWeightColour() const;

    bool LoopRunning() const { return loopRunning_; }
    // Passes of the loop completed since activation (for tests and benchmarks).
    quint64 PassCount() const { return passCount_; }

signals:
    // A pass of the loop ended (after ShowInstrumentErrors).
    void PassCompleted(quint64 pass);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class DialogRequest { None, Comm, Ling };

    void BuildControls();
    // The arrow keys on a picture: the focus to the next picture on show `step` entries away.
    bool MoveIconFocus(int from, int step);
    void ShowWeight(int address, const QString& text);
    bool StopRequested() const { return quitRequested_ || dialogRequest_ != DialogRequest::None; }
    // Carries out the quit or dialog request that StopRequested() found.
    QCoro::Task<StartScreenOutcome> CarryOutStopRequest();
    QCoro::Task<> PauseBeforePoll();
    settings::InstrumentList TickedAddresses() const;
    // The reason of a settings-file problem in the language of the screen.
    QString ProblemReason(const settings::FileProblem& problem) const;
    // Says in the status line that a settings file was not read and the defaults are in use.
    void NoteIgnoredFile(const settings::FileProblem& problem);
    // Tells the user, once, that a handler could not write a settings file (unwritten_).
    QCoro::Task<> ReportUnwrittenFile();
    // Tells the user which settings file could not be written and why.
    QCoro::Task<> ReportFileNotWritten(settings::FileProblem problem);

    ScreenContext context_;
    StartPoll poll_; // the reads of one address and the texts they give
    LoopWaker waker_;
    bool portMessagePending_ = false;
    bool listLoaded_ = false; // Strum.ini is written only once the boxes show what it held
    std::optional<settings::FileProblem> unwritten_; // a settings file a handler could not write
    bool quitRequested_ = false;
    DialogRequest dialogRequest_ = DialogRequest::None;
    bool loopRunning_ = false;
    quint64 passCount_ = 0;
    QColor normalWeightColour_;
};
