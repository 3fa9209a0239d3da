// The field rules of the main setup screen driven with real key presses and focus changes (key
// filter, typed length, selection on focus, the leave check that keeps the focus), the marker rule
// against the reads of a simulated instrument, and a technician's session on both models: every
// group edited and sent, then the line pulled in the middle of a write and plugged back in.
//
// Register numbers below are the instrument's own, as the simulator holds them.

#include "mainrig.h"

#include "writequeue.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

namespace {

Field FieldNamed(const QString& name) {
    const std::optional<Field> f = FieldByControlName(name);
    if (!f) {
        qFatal("no field %s", qPrintable(name));
    }
    return *f;
}

// Lets every event posted until now run: the screen defers its selections and its focus returns to
// the next turn of events, and posted events run in order.
bool Settle() {
    QObject context;
    bool done = false;
    QTimer::singleShot(0, &context, [&done] { done = true; });
    return QTest::qWaitFor([&done] { return done; }, 2000);
}

// Puts the field on the screen: setup mode and the field's tab (the set points are in the upper
// band). Capac is enabled as "Nuova Configurazione" does.
void Show(MainRig& rig, Field f) {
    const int tab = Group(Parameter(f).group).tab;
    if (!rig.m.Fl_setup) {
        rig.form->Command1_Click();
    }
    if (tab >= 0) {
        rig.ChooseTab(tab);
    }
    if (f == Field::Capac) {
        rig.form->FieldWidget(f)->setEnabled(true);
    }
}

// Gives the field the focus as a click does and lets its deferred selection happen.
bool Focus(QWidget* w) {
    w->setFocus(Qt::MouseFocusReason);
    return w->hasFocus() && Settle();
}

void KeyClicks(QLineEdit* edit, const QString& keys) {
    for (const QChar c : keys) {
        QTest::keyClick(edit, c.toLatin1()); // '\b' is Backspace
    }
}

bool Hidden(MainRig& rig, const char* name) {
    return rig.Get(name)->isHidden();
}

bool Enabled(MainRig& rig, const char* name) {
    return rig.Get(name)->isEnabled();
}

// Looks at the screen at the end of every pass of its loop and keeps the first pass after which
// `condition` held (0: none yet). Passes against the simulator can be far shorter than a test's
// polling interval, so a pass count read after a wait says little.
class PassWatch : public QObject {
public:
    PassWatch(Form1& form, std::function<bool()> condition) {
        connect(&form, &Form1::PassCompleted, this, [this, condition](quint64 pass) {
            if (first == 0 && condition()) {
                first = pass;
            }
        });
    }
    quint64 first = 0;
};

// One edit of the technician's session: the field changed (typed text, or the list entry picked)
// and the register that must hold the new value afterwards.
struct GroupEdit {
    GroupId group;
    const char* field;
    QString typed;
    int pick;
    quint16 reg;
    quint16 value;
};

QList<GroupEdit> SessionEdits(int model) {
    const GroupEdit weightConstants{GroupId::WeightConstants, "Sensib", "2.5000", -1, 0x1002, 25000};
    const GroupEdit weightParameters{GroupId::WeightParameters, "Filtro", "7", -1, 0x1100, 7};
    // The instrument keeps its address (a new Indir would move it): the reply delay changes.
    const GroupEdit serial{GroupId::Serial, "RiRis", "25", -1, 0x3003, 25};
    // Last: the new division rescales every weight shown afterwards.
    const GroupEdit division{GroupId::Division, "ValDiv", {}, 10, 0x1050, 10};
    if (model == 2) {
        return {weightConstants, weightParameters, serial, division};
    }
    return {weightConstants,
            {GroupId::OperatingMode, "OpMode", {}, 1, 0x1010, 1},
            {GroupId::SetPoints, "Set1", "1500", -1, 0x0110, 1500},
            weightParameters,
            {GroupId::Outputs, "Disab1", "15", -1, 0x2002, 15},
            serial,
            {GroupId::Analog, "CampoAna", {}, 2, 0x4002, 2},
            division};
}

// Whether the screen holds the group as read from the instrument, so that a change is an edit.
bool GroupRead(const Modulo1& m, GroupId id) {
    switch (id) {
    case GroupId::SetPoints:
        return m.SetpointsRead == 1;
    case GroupId::Division:
        return m.CurrentStep() != 0 && m.TabRead[1] == 1;
    default:
        return m.TabRead[static_cast<size_t>(Group(id).tab + 1)] == 1;
    }
}

} // namespace

class TestForm1Session : public QObject {
    Q_OBJECT
private slots:
    // --- Key rule: what typed keys do to a text field ---------------------------------------------------
    void keyRule_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("before"); // put in by the program
        QTest::addColumn<bool>("selectAll"); // else the cursor stands at the end
        QTest::addColumn<QString>("keys");   // '\b' is Backspace
        QTest::addColumn<QString>("after");
        QTest::newRow("letter into Filtro") << "Filtro"
                                            << "" << false << "a"
                                            << "";
        QTest::newRow("minus into Filtro") << "Filtro"
                                           << "" << false << "-"
                                           << "";
        QTest::newRow("dot into Filtro") << "Filtro"
                                         << "" << false << "."
                                         << "";
        QTest::newRow("digit into Filtro") << "Filtro"
                                           << "" << false << "7"
                                           << "7";
        QTest::newRow("dot into Autozero") << "Autozero"
                                           << "1" << false << "."
                                           << "1.";
        QTest::newRow("minus into Autozero") << "Autozero"
                                             << "1.5" << false << "-"
                                             << "1.5";
        QTest::newRow("letters into Set1") << "Set1"
                                           << "" << false << "1x2.5e"
                                           << "12.5";
        QTest::newRow("dot into Indir") << "Indir"
                                        << "" << false << "1."
                                        << "1";
        QTest::newRow("Backspace in Filtro") << "Filtro"
                                             << "5" << false << "\b"
                                             << "";
        QTest::newRow("Space in Filtro") << "Filtro"
                                         << "" << false << " "
                                         << " ";
        QTest::newRow("Space in ZeroBand") << "ZeroBand"
                                           << "12" << false << " "
                                           << "12 ";
        QTest::newRow("Filtro takes 1") << "Filtro"
                                        << "" << false << "78"
                                        << "7";
        QTest::newRow("ZeroBand takes 3") << "ZeroBand"
                                          << "" << false << "1234"
                                          << "123";
        QTest::newRow("Indir takes 2") << "Indir"
                                       << "" << false << "123"
                                       << "12";
        QTest::newRow("Sensib full") << "Sensib"
                                     << " 2.0000" << false << "5"
                                     << " 2.0000";
        QTest::newRow("typed over the selection") << "ZeroBand"
                                                  << "100" << true << "42"
                                                  << "42";
        QTest::newRow("longer program value kept") << "Filtro"
                                                   << " 12" << false << "3"
                                                   << " 12";
        QTest::newRow("longer program value, Backspace") << "Filtro"
                                                         << " 12" << false << "\b"
                                                         << " 1";
    }
    void keyRule() {
        QFETCH(QString, field);
        QFETCH(QString, before);
        QFETCH(bool, selectAll);
        QFETCH(QString, keys);
        QFETCH(QString, after);
        MainRig rig;
        SetDivisionFromCode(rig.m, rig.m.DeviceAddress, 0);
        const Field f = FieldNamed(field);
        Show(rig, f);
        QLineEdit* edit = rig.Edit(f);
        rig.form->Parameters().setText(f, before);
        QCOMPARE(edit->text(), before); // a value put in by the program is never cut to the typed limit
        QVERIFY(Focus(edit));
        if (selectAll) {
            edit->selectAll();
        } else {
            edit->deselect();
            edit->end(false);
        }
        KeyClicks(edit, keys);
        QCOMPARE(edit->text(), after);
        QCOMPARE(rig.form->Parameters().text(f), after);
    }

    // --- Selection rule: what getting the focus selects ------------------------------------------------
    void selectionOnFocus_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start"); // -1: nothing is selected
        QTest::addColumn<QString>("selected");
        QTest::newRow("Capac") << "Capac"
                               << "  10000" << 1 << " 10000";
        QTest::newRow("Sensib") << "Sensib"
                                << " 2.0000" << 1 << "2.0000";
        QTest::newRow("Teonet") << "Teonet"
                                << "  10000" << 1 << " 10000";
        QTest::newRow("Teotara") << "Teotara"
                                 << "      0" << 1 << "     0";
        QTest::newRow("Set1") << "Set1"
                              << "   1000" << 1 << "  1000";
        QTest::newRow("Set2") << "Set2"
                              << "   2000" << 1 << "  2000";
        QTest::newRow("Filtro") << "Filtro"
                                << "5" << 0 << "5";
        QTest::newRow("Filtro longer than 1") << "Filtro"
                                              << " 12" << 0 << " ";
        QTest::newRow("Stabilità") << "Stabilità"
                                   << "2" << 0 << "2";
        QTest::newRow("Autozero") << "Autozero"
                                  << "10.0" << 0 << "10.0";
        QTest::newRow("Inseguimento") << "Inseguimento"
                                      << "2" << 0 << "2";
        QTest::newRow("ZeroBand longer than 3") << "ZeroBand"
                                                << "  100" << 0 << "  1";
        QTest::newRow("Iste1") << "Iste1"
                               << "     2" << 0 << "     2";
        QTest::newRow("RiEcc2") << "RiEcc2"
                                << "  0" << 0 << "  0";
        QTest::newRow("Indir") << "Indir"
                               << "12" << 0 << "12";
        QTest::newRow("RiRis") << "RiRis"
                               << " 15" << 0 << " 15";
        QTest::newRow("AddrCom2") << "AddrCom2"
                                  << "  1" << 0 << "  1";
        QTest::newRow("FsAna") << "FsAna"
                               << "  10000" << 0 << "  10000";
        QTest::newRow("RifZero selects nothing") << "RifZero"
                                                 << "      0" << -1 << "";
    }
    void selectionOnFocus() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(QString, selected);
        MainRig rig;
        const Field f = FieldNamed(field);
        Show(rig, f);
        rig.form->Parameters().setText(f, text);
        QLineEdit* edit = rig.Edit(f);
        edit->deselect();
        QVERIFY(Focus(edit));
        QTRY_COMPARE(edit->selectedText(), selected);
        if (start >= 0) {
            QCOMPARE(edit->selectionStart(), start);
        } else {
            QVERIFY(!edit->hasSelectedText());
        }
    }

    // --- Leave rule: a refused value keeps the focus ---------------------------------------------------
    void leaveRule_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("capac"); // empty: as loaded
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("other"); // where the user goes next
        QTest::addColumn<bool>("kept");
        QTest::newRow("Stabilità 5") << "Stabilità"
                                     << ""
                                     << "5"
                                     << "Filtro" << true;
        QTest::newRow("Stabilità 4") << "Stabilità"
                                     << ""
                                     << "4"
                                     << "Filtro" << false;
        QTest::newRow("Indir 0") << "Indir"
                                 << ""
                                 << "0"
                                 << "Baud" << true;
        QTest::newRow("Indir 33") << "Indir"
                                  << ""
                                  << "33"
                                  << "Baud" << true;
        QTest::newRow("Indir 1") << "Indir"
                                 << ""
                                 << "1"
                                 << "Baud" << false;
        QTest::newRow("Indir 32") << "Indir"
                                  << ""
                                  << "32"
                                  << "Baud" << false;
        QTest::newRow("Iste1 600, Capac 500") << "Iste1"
                                              << "    500"
                                              << "600"
                                              << "Disab1" << true;
        QTest::newRow("Iste1 500, Capac 500") << "Iste1"
                                              << "    500"
                                              << "500"
                                              << "Disab1" << false;
        QTest::newRow("Iste1 600, Capac 0") << "Iste1"
                                            << "      0"
                                            << "600"
                                            << "Disab1" << false;
        QTest::newRow("Set1 600, Capac 500") << "Set1"
                                             << "    500"
                                             << "600"
                                             << "Set2" << true;
        QTest::newRow("RiRis 101") << "RiRis"
                                   << ""
                                   << "101"
                                   << "Baud" << true;
        QTest::newRow("RiRis 100") << "RiRis"
                                   << ""
                                   << "100"
                                   << "Baud" << false;
        QTest::newRow("AddrCom2 0") << "AddrCom2"
                                    << ""
                                    << "0"
                                    << "Baud" << true;
        QTest::newRow("AddrCom2 127") << "AddrCom2"
                                      << ""
                                      << "127"
                                      << "Baud" << true;
        QTest::newRow("AddrCom2 126") << "AddrCom2"
                                      << ""
                                      << "126"
                                      << "Baud" << false;
        QTest::newRow("Autozero 10.5") << "Autozero"
                                       << ""
                                       << "10.5"
                                       << "Filtro" << true;
        QTest::newRow("Autozero 10.0") << "Autozero"
                                       << ""
                                       << "10.0"
                                       << "Filtro" << false;
        QTest::newRow("ZeroBand 201") << "ZeroBand"
                                      << ""
                                      << "201"
                                      << "Filtro" << true;
        QTest::newRow("Sensib 4.5") << "Sensib"
                                    << ""
                                    << "4.5"
                                    << "Teonet" << true;
        // At a division of 0.001 (the rig's): 65,535 divisions at most, and a number of the field's kind.
        QTest::newRow("Set1 1000.00") << "Set1"
                                      << ""
                                      << "1000.00"
                                      << "Set2" << true;
        QTest::newRow("Set2 65.535") << "Set2"
                                     << ""
                                     << "65.535"
                                     << "Set1" << false;
        QTest::newRow("FsAna 1..5") << "FsAna"
                                    << ""
                                    << "1..5"
                                    << "RifZero" << true;
    }
    void leaveRule() {
        QFETCH(QString, field);
        QFETCH(QString, capac);
        QFETCH(QString, typed);
        QFETCH(QString, other);
        QFETCH(bool, kept);
        MainRig rig;
        SetDivisionFromCode(rig.m, rig.m.DeviceAddress, 0); // 0.001
        const Field f = FieldNamed(field);
        Show(rig, f);
        if (!capac.isEmpty()) {
            rig.form->Parameters().setText(Field::Capac, capac);
        }
        QLineEdit* edit = rig.Edit(f);
        QWidget* next = rig.form->FieldWidget(FieldNamed(other));
        QVERIFY(Focus(edit));
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), typed);

        next->setFocus(Qt::MouseFocusReason);
        QVERIFY(next->hasFocus()); // the focus did leave ...
        if (kept) {
            QTRY_VERIFY(edit->hasFocus()); // ... and comes back at once
            QVERIFY(Settle());
            QVERIFY(edit->hasFocus());
            QCOMPARE(edit->text(), typed);
        } else {
            QVERIFY(Settle());
            QVERIFY(next->hasFocus());
        }
    }

    // --- Marker rule ---------------------------------------------------------------------------------

    // A change after the block was read is an edit; with offline editing on it is none.
    void markerAfterTheRead() {
        MainRig rig;
        QLineEdit* filtro = rig.Edit(Field::Filtro);
        rig.form->Command1_Click();
        rig.ChooseTab(2);
        // Not read yet: typing is no edit.
        rig.Type(Field::Filtro, "3");
        QCOMPARE(filtro->text(), QString("3"));
        QVERIFY(Hidden(rig, "Shape10"));
        QVERIFY(!Enabled(rig, "Command13"));

        rig.Run();
        QTRY_COMPARE(rig.m.TabRead[3], uint8_t(1));
        QCOMPARE(filtro->text(), QString("5")); // what the instrument holds, put in by the read: no edit
        QVERIFY(Hidden(rig, "Shape10"));
        QVERIFY(!Enabled(rig, "Command13"));

        rig.Type(Field::Filtro, "7");
        QVERIFY(!Hidden(rig, "Shape10"));
        QVERIFY(Enabled(rig, "Command13"));

        rig.m.OfflineEdit = true;
        rig.Type(Field::Filtro, "8");
        QCOMPARE(filtro->text(), QString("8"));
        QVERIFY(Hidden(rig, "Shape10"));
        QVERIFY(!Enabled(rig, "Command13"));
        QTRY_COMPARE(rig.form->Peso->text(), QString(" Edit "));
        rig.Type(Field::Stabilita, "3");
        QVERIFY(Hidden(rig, "Shape10"));
        QVERIFY(!Enabled(rig, "Command13"));
    }

    // No value the serial read puts into Indir is an edit; IndStr keeps the address the screen talks to.
    void serialReadFillsIndStrWithoutMarker() {
        MainRig rig;
        // The address register says 7 (the instrument still answers at 1).
        QVERIFY(rig.instrument->setHolding(0x3002, 7));
        struct Seen {
            QString indir;
            QString indStr;
            uint8_t tabRead;
            bool marker;
            bool send;
        };
        QList<Seen> seen;
        connect(&rig.form->Parameters(), &ParameterSet::changed, this, [&](Field f) {
            if (f == Field::Indir) {
                seen << Seen{rig.Edit(Field::Indir)->text(), rig.form->IndStr->text(), rig.m.TabRead[5],
                             !Hidden(rig, "Shape4"), Enabled(rig, "Command15")};
            }
        });
        rig.Run();
        rig.form->Command1_Click();
        rig.ChooseTab(4);
        QTRY_COMPARE(rig.m.TabRead[5], uint8_t(1));
        QCOMPARE(seen.size(), 1);
        for (const Seen& s : seen) {
            QCOMPARE(s.indStr, QString("1"));
            QCOMPARE(s.indir.trimmed(), QString("7"));
            QCOMPARE(s.tabRead, uint8_t(0));
            QVERIFY(!s.marker);
            QVERIFY(!s.send);
        }
        QCOMPARE(rig.form->IndStr->text(), QString("1"));
        QVERIFY(Hidden(rig, "Shape4"));
        QVERIFY(!Enabled(rig, "Command15"));

        // The user's change after the read is an edit; IndStr changes only once it is written.
        rig.Type(Field::Indir, "9");
        QCOMPARE(rig.form->IndStr->text(), QString("1"));
        QVERIFY(!Hidden(rig, "Shape4"));
        QVERIFY(Enabled(rig, "Command15"));
    }

    // The division counts as read only once DivisionStep is known.
    void divisionMarker_data() {
        QTest::addColumn<int>("step");
        QTest::newRow("never read") << 0;
        QTest::newRow("read") << 1;
    }
    void divisionMarker() {
        QFETCH(int, step);
        MainRig rig;
        rig.m.DivisionStep[1] = uint8_t(step);
        rig.form->Command1_Click();
        rig.Pick(Field::ValDiv, 11);
        QCOMPARE(Hidden(rig, "Shape9"), step == 0);
        QCOMPARE(Enabled(rig, "Command26"), step != 0);
    }

    // The division register stays silent at first: a change is no edit until the division is read,
    // and the read itself shows no marker.
    void divisionSilentAtFirst() {
        MainRig rig;
        rig.sim.setFault(1, SimFault::mute());
        QSignalSpy passes(rig.form.get(), &Form1::PassCompleted);
        rig.Run();
        rig.form->Command1_Click();
        QTRY_VERIFY(passes.count() >= 2);
        QCOMPARE(rig.m.DivisionStep[1], uint8_t(0));
        rig.Pick(Field::ValDiv, 11);
        QVERIFY(Hidden(rig, "Shape9"));
        QVERIFY(!Enabled(rig, "Command26"));

        rig.sim.clearFaults();
        QTRY_VERIFY(rig.m.DivisionStep[1] != 0);
        QCOMPARE(rig.List(Field::ValDiv)->currentIndex(), 9); // the instrument's code 9
        QVERIFY(Hidden(rig, "Shape9"));
        QVERIFY(!Enabled(rig, "Command26"));
        rig.Pick(Field::ValDiv, 11);
        QVERIFY(!Hidden(rig, "Shape9"));
        QVERIFY(Enabled(rig, "Command26"));
    }

    // --- A technician's session --------------------------------------------------------------------------
    void technicianSession_data() {
        QTest::addColumn<int>("model");
        QTest::newRow("VXA") << 1;
        QTest::newRow("VXB") << 2;
    }
    void technicianSession() {
        QFETCH(int, model);
        MainRig rig(model);
        Form1& f = *rig.form;
        SimInstrument& instrument = *rig.instrument;
        QSignalSpy passes(&f, &Form1::PassCompleted);
        // The screen is never stuck: every phase sees the loop pass again.
        auto keepsPassing = [&passes] {
            const qsizetype before = passes.count();
            return QTest::qWaitFor([&] { return passes.count() >= before + 2; }, 10000);
        };
        rig.Run();
        f.Command1_Click();

        for (const GroupEdit& e : SessionEdits(model)) {
            const ParameterGroup& g = Group(e.group);
            const QByteArray name = g.name;
            const Field field = FieldNamed(QString::fromUtf8(e.field));
            if (g.tab >= 0) {
                rig.ChooseTab(g.tab);
            }
            QVERIFY2(QTest::qWaitFor([&] { return GroupRead(rig.m, e.group); }, 10000), name);
            auto* marker = rig.Get(g.marker);
            auto* send = rig.Get<QAbstractButton>(g.sendButton);
            QVERIFY2(marker->isHidden() && !send->isEnabled(), name);
            QVERIFY2(instrument.holding(e.reg) != e.value, name);

            if (e.typed.isEmpty()) {
                rig.Pick(field, e.pick);
            } else {
                rig.Type(field, e.typed);
                QCOMPARE(rig.Edit(field)->text(), e.typed);
            }
            QVERIFY2(!marker->isHidden(), name);
            QVERIFY2(send->isEnabled(), name);

            QTest::mouseClick(send, Qt::LeftButton);
            QVERIFY2(QTest::qWaitFor([&] { return marker->isHidden() && !send->isEnabled(); }, 10000), name);
            QVERIFY2(QTest::qWaitFor([&] { return instrument.holding(e.reg) == e.value; }, 10000), name);
            if (e.group == GroupId::Analog) {
                // The whole block went out: the trimming offsets are what the instrument had.
                QCOMPARE(instrument.holding(0x4003), quint16(6400));
                QCOMPARE(instrument.holding(0x4004), quint16(57600));
            }
            QCOMPARE(instrument.address(), 1);
        }
        QVERIFY(keepsPassing());

        // The line is pulled in the middle of a write.
        rig.ChooseTab(2);
        QTRY_COMPARE_WITH_TIMEOUT(rig.m.TabRead[3], uint8_t(1), 10000);
        auto* marker = rig.Get("Shape10");
        auto* send = rig.Get<QAbstractButton>("Command13");
        rig.Type(Field::Filtro, "8");
        QVERIFY(!marker->isHidden());
        QTest::mouseClick(send, Qt::LeftButton);
        rig.sim.setLineSilent(true);
        const QByteArray write = rig.m.PendingWriteA;
        QVERIFY(write.startsWith(":01101100"));
        PassWatch dropped(f, [&] { return !rig.m.WritePending && rig.m.PendingWriteA.isEmpty(); });
        PassWatch linkError(f, [&] { return f.Peso->text() == "ERRORE" && f.Versione->text() == "ERR"; });
        PassWatch markerLost(f, [&] { return marker->isHidden() || !send->isEnabled(); });

        // Sent once a pass, then dropped; the reads go on and after three failed ones the link error
        // shows.
        QTRY_VERIFY_WITH_TIMEOUT(dropped.first != 0, 10000);
        QCOMPARE(rig.sim.frames().count(write), qsizetype(1 + WriteQueue::MaxRetries));
        QTRY_VERIFY_WITH_TIMEOUT(linkError.first != 0, 10000);
        // The read in flight when the line was pulled may count as the first of the three.
        QVERIFY(linkError.first > dropped.first);
        QVERIFY2(linkError.first <= dropped.first + 3,
                 qPrintable(QString::number(linkError.first - dropped.first)));
        QVERIFY(keepsPassing());
        QCOMPARE(f.Peso->text(), QString("ERRORE"));

        // Plugged back in: weight and version come back by themselves within the next whole pass.
        instrument.setGross(1234);
        const QString weight = QString::number(1234 * 2); // division "2"
        PassWatch recovered(
            f, [&] { return f.Peso->text().trimmed() == weight && f.Versione->text() == "3.2"; });
        const quint64 back = f.PassCount();
        rig.sim.setLineSilent(false);
        QTRY_VERIFY_WITH_TIMEOUT(recovered.first != 0, 10000);
        QVERIFY2(recovered.first <= back + 2, qPrintable(QString::number(recovered.first - back)));
        QVERIFY(keepsPassing());
        // The unsent edit kept its marker and its send button all along.
        QCOMPARE(markerLost.first, quint64(0));
        QVERIFY(!marker->isHidden());
        QVERIFY(send->isEnabled());
        QCOMPARE(rig.Edit(Field::Filtro)->text(), QString("8"));
        QVERIFY(instrument.holding(0x1100) != 8);

        // Sending again now succeeds.
        QTest::mouseClick(send, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(marker->isHidden() && !send->isEnabled(), 10000);
        QTRY_COMPARE(instrument.holding(0x1100), quint16(8));
        QVERIFY(keepsPassing());
        QCOMPARE(f.Peso->text().trimmed(), weight);
    }
};

QTEST_MAIN(TestForm1Session)
#include "test_form1_session.moc"
