#pragma once

// The main setup screen for the instrument at DeviceAddress. For now it shows the address and runs a
// loop that waits until the user leaves the screen (menu Esc or the close box); the Application then
// closes it (its port closes) and loads the start-up screen afresh.

#include "loopwait.h"
#include "screencontext.h"
#include "serial.h"

#include <QCoro/QCoroTask>
#include <QMainWindow>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(const ScreenContext& context, QWidget* parent = nullptr);
    ~Form1() override;

    // Opens the screen's own port and shows the address in the language's texts.
    void Form_Load();
    // The screen's loop: runs until the exit is asked for.
    QCoro::Task<> Form_Activate();

    QMenu* opz = nullptr;
    QAction* Esc = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* IndStr = nullptr;
    SerialLink* MSComm1 = nullptr;
    QTimer& Timer1;

    // Menu Esc: ends the screen's loop.
    void Esc_Click();
    bool ExitRequested() const { return exitRequested_; }
    bool LoopRunning() const { return loopRunning_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ScreenContext context_;
    LoopWaker waker_;
    bool exitRequested_ = false;
    bool loopRunning_ = false;
};
