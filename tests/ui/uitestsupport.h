#pragma once

// Shared by the start-up screen and application tests: settings files in a scratch directory and a
// start-up screen run against the simulator over a pseudo-terminal.

#include "../support/testline.h"

#include "form2.h"
#include "prompter.h"
#include "screencontext.h"
#include "settings.h"
#include "simulator.h"

#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace uitest {

// Chooses a menu item as the user does: a click on the menu's title, then on the item.
inline void ChooseMenuItem(QMainWindow* window, QMenu* menu, QAction* item) {
    QMenuBar* bar = window->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QVERIFY2(menu->isVisible(), "the menu did not open");
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

// Runs the event loop until `condition` holds or `timeoutMs` have passed. Unlike QTRY_VERIFY and
// QTest::qWait, which sleep 10 ms between two rounds of events, the loop here runs every event as it
// comes, so the screen's timing under test is the timing it has in the program.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(int(std::min<qint64>(left, 2)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Lets the program run for `ms` milliseconds.
inline void RunFor(int ms) {
    WaitUntil([] { return false; }, ms);
}

#define WAIT_VERIFY(condition, ms)                                                                           \
    QVERIFY2(uitest::WaitUntil([&] { return bool(condition); }, ms), #condition)
#define WAIT_COMPARE(actual, expected, ms)                                                                   \
    do {                                                                                                     \
        uitest::WaitUntil([&] { return (actual) == (expected); }, ms);                                       \
        QCOMPARE(actual, expected);                                                                          \
    } while (false)

// Short reply time-outs keep the tests fast.
inline constexpr int ReplyTimeoutMs = 100;

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// prog.ini with the given values; `portLine` is the whole of line 4's value text (e.g. "10").
inline QByteArray ProgIni(int delayMs = 0, const QByteArray& portText = "1", int hide = 0, int language = 0,
                          int timeoutMs = ReplyTimeoutMs) {
    return "Start-up reply time-out (ms) = " + QByteArray::number(timeoutMs) + "\r\n" +
           "Main reply time-out (ms) = " + QByteArray::number(timeoutMs) + "\r\n" +
           "Pause between instruments (ms) = " + QByteArray::number(delayMs) + "\r\n" +
           "COMM Number = " + portText + "\r\n" +
           "Language Type (0=Italian 1=English) = " + QByteArray::number(hide) + "\r\n" +
           "Language (0=Italian 1=English) = " + QByteArray::number(language) + "\r\n";
}

inline QByteArray StrumIni(const QList<int>& ticked) {
    settings::InstrumentList list{};
    for (int n : ticked) {
        list[n] = true;
    }
    return settings::FormatInstrumentList(list);
}

inline QList<int> TickedIn(const QByteArray& strum) {
    const settings::InstrumentList list = settings::ParseInstrumentList(strum);
    QList<int> ticked;
    for (int n = 1; n <= settings::InstrumentCount; ++n) {
        if (list[n]) {
            ticked << n;
        }
    }
    return ticked;
}

// A scratch settings directory and a simulated line.
struct Bench {
    QTemporaryDir dir;
    Simulator sim;
    TestLine line;
    QString device; // what the screens open (see TestLine), set by Open()

    bool Open(const QString& lineKind = TestLine::FromEnvironment()) {
        if (!dir.isValid() || !sim.open()) {
            return false;
        }
        device = line.Device(sim, lineKind);
        return true;
    }
    QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    bool WriteProgIni(const QByteArray& content) { return WriteFile(Path("prog.ini"), content); }
    bool WriteStrum(const QList<int>& ticked) { return WriteFile(Path("Strum.ini"), StrumIni(ticked)); }
    QByteArray ProgIniOnDisk() const { return ReadFile(Path("prog.ini")); }
    QList<int> StrumOnDisk() const { return TickedIn(ReadFile(Path("Strum.ini"))); }
};

// One start-up screen, loaded and activated, its loop running until Finish().
struct StartScreen {
    Bench& bench;
    Modulo1 m;
    ScriptedPrompter prompter;
    std::unique_ptr<Form2> form;
    std::shared_ptr<std::optional<StartScreenOutcome>> outcome =
        std::make_shared<std::optional<StartScreenOutcome>>();

    explicit StartScreen(Bench& b) : bench(b) {}
    ~StartScreen() { Finish(); }

    QString settingsDir;           // empty: the bench's scratch directory
    PortSource portSource;         // the port dialog's list (empty: the system's)
    bool commandLineDevice = true; // the bench's line given as --device (else prog.ini and port.ini choose)

    ScreenContext Context() {
        return ScreenContext{m,
                             prompter,
                             settingsDir.isEmpty() ? bench.dir.path() : settingsDir,
                             commandLineDevice ? bench.device : QString(),
                             nullptr,
                             {},
                             bench.line.echo,
                             portSource};
    }

    void Load() {
        form = std::make_unique<Form2>(Context());
        form->LoadStartScreen();
        form->show();
    }
    void Activate() {
        [](Form2* f, std::shared_ptr<std::optional<StartScreenOutcome>> out) -> QCoro::Task<> {
            *out = co_await f->ActivateStartScreen();
        }(form.get(), outcome);
    }
    void Run() {
        Load();
        Activate();
    }
    bool Ended() const { return outcome->has_value(); }
    // Quits the screen (if its loop still runs) and waits for the loop to end before closing it.
    void Finish() {
        if (!form) {
            return;
        }
        if (!Ended()) {
            form->Command1_Click();
            WAIT_VERIFY(Ended(), 5000);
        }
        form.reset();
    }
    QString Weight(int n) const { return form->Peso[n]->text(); }
    QColor WeightColour(int n) const { return form->Peso[n]->palette().color(QPalette::WindowText); }
    // Waits for `count` more passes of the loop.
    bool WaitPasses(int count, int timeoutMs = 10000) {
        const quint64 target = form->PassCount() + quint64(count);
        return WaitUntil([&] { return form->PassCount() >= target; }, timeoutMs);
    }
};

} // namespace uitest
