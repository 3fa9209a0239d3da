#pragma once

// A main setup screen for tests: the screen of the instrument at address 1 of a simulated line on a
// pseudo-terminal, with scripted dialogs, short reply time-outs, and the user's ways of editing it.

#include "../support/coro.h"
#include "../support/testline.h"

#include "form1.h"
#include "prompter.h"
#include "screencontext.h"
#include "simulator.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

// Short reply time-outs keep the tests fast.
inline constexpr int TimeoutMs = 100;

// A main setup screen for the instrument at address 1 of a simulated line.
struct MainRig {
    Simulator sim;
    TestLine line; // the pseudo-terminal, or what QUARTEL_TEST_LINE asks for
    Modulo1 m;
    ScriptedPrompter prompter;
    SimInstrument* instrument = nullptr;
    std::unique_ptr<Form1> form;
    Started loop;
    bool running = false;

    explicit MainRig(int model = 1, int language = 0, const QString& lineKind = TestLine::FromEnvironment()) {
        if (!sim.open()) {
            qFatal("no pseudo-terminal");
        }
        const QString device = line.Device(sim, lineKind);
        instrument = sim.addInstrument(1, model);
        m.InstrumentModel = int16_t(model);
        m.LanguageIndex = uint8_t(language);
        m.MainReplyTimeoutMs = TimeoutMs;
        m.DeviceAddress = 1;
        m.CommPortNumber = 1;
        form = std::make_unique<Form1>(
            ScreenContext{m, prompter, QString(), device, nullptr, {}, line.echo, {}});
        form->Form_Load();
        // Most suites put values into the fields as a read would: the fields show them. Suites about
        // what was not read call Unread().
        form->Parameters().setAllKnown(true);
        form->show();
        QApplication::setActiveWindow(form.get());
    }
    // Back to the state of a screen just loaded: no group given by the instrument yet.
    void Unread() { form->Parameters().setAllKnown(false); }
    ~MainRig() {
        if (running && !loop.done()) {
            form->Esc_Click();
            [[maybe_unused]] const bool ended = QTest::qWaitFor([this] { return loop.done(); }, 5000);
        }
    }
    void Run() {
        running = true;
        loop = Start([this] { return form->Form_Activate(); });
    }
    template <typename T = QWidget> T* Get(const char* name) const {
        return form->findChild<T*>(QString::fromUtf8(name));
    }
    QLineEdit* Edit(Field f) const { return qobject_cast<QLineEdit*>(form->FieldWidget(f)); }
    QComboBox* List(Field f) const { return qobject_cast<QComboBox*>(form->FieldWidget(f)); }
    bool Sent(const QByteArray& frame) const { return sim.frames().contains(frame); }
    // Types `text` into a text field the way a user does: focus, the selection rule, the keys.
    void Type(Field f, const QString& text) {
        QLineEdit* edit = Edit(f);
        edit->setFocus(Qt::MouseFocusReason);
        [[maybe_unused]] const bool selected =
            QTest::qWaitFor([edit] { return edit->hasSelectedText() || edit->text().isEmpty(); }, 1000);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    // Picks an entry of a list the way a user does.
    void Pick(Field f, int index) {
        QComboBox* list = List(f);
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    void ChooseTab(int tab) {
        QTabBar* bar = form->SSTab1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
    }
};
