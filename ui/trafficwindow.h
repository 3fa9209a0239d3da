#pragma once

// The traffic window: one line per exchange on the line, the counters of exchanges, failures and the
// mean turnaround, and Pause, Clear and Save as text. One window serves both screens: it reads the
// Application's TrafficLog only, never a screen or its port, so screens come and go under it.
//
// It never slows the polling: while it is on show the link records into the bounded log, and the
// window takes what arrived in one batch every RepaintIntervalMs. The lines are plain strings in a list
// model as bounded as the log; the view lays out only the rows on show, so neither its time nor its
// memory grows with the lines kept. Hidden, it does not listen and the link records nothing.

#include "modulo1.h"

#include <QCoro/QCoroTask>
#include <QTimer>
#include <QWidget>

class Prompter;
class QAction;
class QMainWindow;
class QMenu;
struct ScreenContext;
class QLabel;
class QListView;
class QPushButton;
class TrafficLines;
class TrafficLog;

class TrafficWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int RepaintIntervalMs = 250;

    TrafficWindow(TrafficLog& log, const Modulo1& m, Prompter& prompter, QWidget* parent = nullptr);
    ~TrafficWindow() override;

    // Captions in the language of the program (LanguageIndex).
    void ApplyLanguage();

    QListView* Lines = nullptr; // one row per exchange, the newest last
    QLabel* Counters = nullptr;
    QPushButton* TrafficPause = nullptr; // checkable: while down no line is added
    QPushButton* TrafficClear = nullptr;
    QPushButton* TrafficSave = nullptr;
    QPushButton* TrafficClose = nullptr; // hides the window, as Esc does

    bool Paused() const;
    // The lines the window holds, the oldest first (what Save as text writes).
    QStringList ShownLines() const;
    // Lines added since the window was built (cleared lines included).
    quint64 LinesShown() const { return shownLines_; }
    // A save dialog or the writing of a file is under way.
    bool Saving() const { return saving_; }

    // Adds the lines the log got since the last refresh (unless paused) and updates the counters.
    void Refresh();

signals:
    // A Save as text ended: the path written, empty when cancelled or not written.
    void SaveFinished(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Clear_Click();
    void Save_Click();
    QCoro::Task<> SaveAsText();
    QString Text(const char* key) const;
    void ShowCounters();
    void Listen(bool on);

    TrafficLog& log_;
    const Modulo1& m_;
    Prompter& prompter_;
    TrafficLines* model_;
    QTimer repaint_;
    quint64 next_ = 0; // sequence number of the first record not shown yet
    quint64 shownLines_ = 0;
    bool listening_ = false;
    bool saving_ = false;
    uint8_t language_ = 0; // the language of the captions
};

// Puts the menu "vis" with its item "traf" on the screen's menu bar (both are returned): the item opens
// the traffic window through the screen's context, and is disabled when nothing can open it.
QAction* AddTrafficMenu(QMainWindow* screen, const ScreenContext& context, QMenu*& menu);
