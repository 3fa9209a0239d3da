// The main setup screen at the keyboard and the mouse, driven with real key presses and clicks: the
// focus keys in text fields, two refused fields side by side, pasted text, a send clicked while the
// field being left holds a refused value, and where the focus goes once a send is confirmed.

#include "mainrig.h"

#include "uitestsupport.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QPushButton>
#include <QSignalSpy>

namespace {

// Clicks into a field as the user does and lets its deferred selection happen.
void ClickInto(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2));
    uitest::RunFor(20);
}

QWidget* Focused() {
    return QApplication::focusWidget();
}

QString Name(QWidget* w) {
    return w ? w->objectName() : QStringLiteral("<none>");
}

// Sends a key press and release whose text the test chooses (window systems differ in the text they
// give the same key).
void KeyWithText(QWidget* w, Qt::Key key, const QString& text, Qt::KeyboardModifiers modifiers = {}) {
    QTest::sendKeyEvent(QTest::Press, w, key, text, modifiers);
    QTest::sendKeyEvent(QTest::Release, w, key, text, modifiers);
}

// Puts the screen into setup mode on `tab` with the mouse.
void OpenTab(MainRig& rig, int tab) {
    if (!rig.m.Fl_setup) {
        QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
    }
    rig.ChooseTab(tab);
}

} // namespace

class TestForm1Keyboard : public QObject {
    Q_OBJECT
private slots:
    // --- Focus and editing keys keep their meaning in a text field -----------------------------------
    void focusAndEditingKeys_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("keyText"); // what the window system puts in the event
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("after"); // the field's text afterwards; the cursor starts at 2
        QTest::addColumn<bool>("leaves");   // the focus goes to another control
        QTest::newRow("Tab in Set1") << "Set1" << int(Qt::Key_Tab) << "\t" << 0 << "   500" << true;
        QTest::newRow("Shift+Tab in Set2")
            << "Set2" << int(Qt::Key_Backtab) << "\t" << int(Qt::ShiftModifier) << "   500" << true;
        QTest::newRow("Tab in Filtro") << "Filtro" << int(Qt::Key_Tab) << "\t" << 0 << "   500" << true;
        QTest::newRow("Tab in Disab1") << "Disab1" << int(Qt::Key_Tab) << "\t" << 0 << "   500" << true;
        QTest::newRow("Delete without text") << "Set1" << int(Qt::Key_Delete) << "" << 0 << "  500" << false;
        QTest::newRow("Delete as DEL") << "Set1" << int(Qt::Key_Delete) << "\x7f" << 0 << "  500" << false;
        QTest::newRow("Backspace") << "Set1" << int(Qt::Key_Backspace) << "\b" << 0 << "  500" << false;
        QTest::newRow("Home, then a digit") << "Set1" << int(Qt::Key_Home) << "" << 0 << "7   500" << false;
        QTest::newRow("Left, then a digit") << "Set1" << int(Qt::Key_Left) << "" << 0 << " 7  500" << false;
        QTest::newRow("Escape") << "Set1" << int(Qt::Key_Escape) << "\x1b" << 0 << "   500" << false;
    }
    void focusAndEditingKeys() {
        QFETCH(QString, field);
        QFETCH(int, key);
        QFETCH(QString, keyText);
        QFETCH(int, modifiers);
        QFETCH(QString, after);
        QFETCH(bool, leaves);
        MainRig rig;
        const Field f = *FieldByControlName(field);
        const int tab = Group(Parameter(f).group).tab;
        if (tab >= 0) {
            OpenTab(rig, tab);
        }
        QLineEdit* edit = rig.Edit(f);
        rig.form->Parameters().setText(f, QStringLiteral("   500"));
        ClickInto(edit);
        QCOMPARE(Name(Focused()), field);
        edit->deselect();
        edit->setCursorPosition(2);
        KeyWithText(edit, Qt::Key(key), keyText, Qt::KeyboardModifiers(modifiers));
        if (key == Qt::Key_Home || key == Qt::Key_Left) {
            QTest::keyClick(Focused(), '7');
        }
        uitest::RunFor(20);
        QCOMPARE(edit->text(), after);
        QCOMPARE(rig.form->Parameters().text(f), after);
        QCOMPARE(Focused() != edit, leaves);
    }

    // --- Two refused fields never pull the focus from each other ----------------------------------------
    void refusedFieldsKeepTheFocusCalm_data() {
        QTest::addColumn<QString>("how"); // how the user tries to leave Set1
        QTest::newRow("click into Set2") << "click";
        QTest::newRow("Tab") << "tab";
        QTest::newRow("click into Set2 twice") << "twice";
    }
    void refusedFieldsKeepTheFocusCalm() {
        QFETCH(QString, how);
        MainRig rig;
        ParameterSet& set = rig.form->Parameters();
        set.setText(Field::Capac, QStringLiteral("    500"));
        set.setText(Field::Set1, QStringLiteral("   1000"));
        set.setText(Field::Set2, QStringLiteral("   2000"));
        QLineEdit* set1 = rig.Edit(Field::Set1);
        QLineEdit* set2 = rig.Edit(Field::Set2);
        ClickInto(set1);
        QCOMPARE(Focused(), set1);

        QSignalSpy changes(qApp, &QApplication::focusChanged);
        const int tries = how == "twice" ? 2 : 1;
        for (int i = 0; i < tries; ++i) {
            if (how == "tab") {
                QTest::keyClick(set1, Qt::Key_Tab);
            } else {
                ClickInto(set2);
            }
            uitest::RunFor(150);
        }
        // The focus went to Set2 and came back to Set1 once per try, and nothing more.
        QVERIFY2(changes.count() <= 2 * tries, qPrintable(QString::number(changes.count())));
        QCOMPARE(Focused(), set1);
        // What the user types lands in Set1.
        QTest::keyClick(Focused(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Focused(), "400");
        QCOMPARE(set1->text(), QString("400"));
        QCOMPARE(set2->text(), QString("   2000"));
        // Now Set1 may be left; Set2 is checked when the user leaves it.
        ClickInto(set2);
        uitest::RunFor(50);
        QCOMPARE(Focused(), set2);
    }

    // A refused sample weight on the calibration tab and a refused set point do not bounce either.
    void refusedSampleWeightAndSetPoint() {
        MainRig rig;
        OpenTab(rig, 1);
        rig.form->Parameters().setText(Field::Capac, QStringLiteral("    500"));
        rig.form->Parameters().setText(Field::Set1, QStringLiteral("   1000"));
        auto* campione = rig.Get<QLineEdit>("Campione");
        ClickInto(campione);
        QCOMPARE(Focused(), campione);
        QTest::keyClick(campione, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(campione, "1000");
        QSignalSpy changes(qApp, &QApplication::focusChanged);
        ClickInto(rig.Edit(Field::Set1));
        uitest::RunFor(200);
        QVERIFY2(changes.count() <= 4, qPrintable(QString::number(changes.count())));
        QVERIFY(Focused() == campione || Focused() == rig.Edit(Field::Set1));
    }

    // --- Pasted text goes through the key rule and the maximum length ---------------------------------
    void pasteTakesWhatTypingTakes_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("how"); // ctrl+v, shift+insert, paste (the context menu's action)
        QTest::addColumn<bool>("selectAll");
        QTest::addColumn<QString>("after");
        const QString before = "   300";
        for (const char* how : {"ctrl+v", "shift+insert", "paste"}) {
            QTest::addRow("minus, %s", how) << "Set1"
                                            << "-5" << how << true << "5";
            QTest::addRow("too long, %s", how) << "Set1"
                                               << "123456789" << how << true << "1234567";
            QTest::addRow("too long at the end, %s", how) << "Set1"
                                                          << "123456789" << how << false << "   3001";
            QTest::addRow("letters only, %s", how) << "Set1"
                                                   << "abc" << how << true << before;
            QTest::addRow("dot in digits field, %s", how) << "Iste1"
                                                          << "1.5" << how << true << "15";
            QTest::addRow("line end, %s", how) << "Filtro"
                                               << "7\n"
                                               << how << true << "7";
        }
        QTest::newRow("decimal keeps its dot") << "Autozero"
                                               << "2.5%"
                                               << "ctrl+v" << true << "2.5";
        QTest::newRow("one digit field") << "Filtro"
                                         << "89"
                                         << "paste" << true << "8";
    }
    void pasteTakesWhatTypingTakes() {
        QFETCH(QString, field);
        QFETCH(QString, clipboard);
        QFETCH(QString, how);
        QFETCH(bool, selectAll);
        QFETCH(QString, after);
        MainRig rig;
        const Field f = *FieldByControlName(field);
        const int tab = Group(Parameter(f).group).tab;
        if (tab >= 0) {
            OpenTab(rig, tab);
        }
        QLineEdit* edit = rig.Edit(f);
        rig.form->Parameters().setText(f, QStringLiteral("   300"));
        ClickInto(edit);
        QCOMPARE(Focused(), edit);
        if (selectAll) {
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        } else {
            QTest::keyClick(edit, Qt::Key_End);
        }
        QGuiApplication::clipboard()->setText(clipboard);
        if (how == "ctrl+v") {
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        } else if (how == "shift+insert") {
            QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
        } else {
            edit->paste();
        }
        QCOMPARE(edit->text(), after);
        QCOMPARE(rig.form->Parameters().text(f), after);
    }

    // A pasted "-5" never reaches the instrument as a negative set point.
    void pastedMinusIsNotSent() {
        MainRig rig;
        rig.m.SetpointsRead = 1;
        QLineEdit* set1 = rig.Edit(Field::Set1);
        ClickInto(set1);
        QTest::keyClick(set1, Qt::Key_A, Qt::ControlModifier);
        QGuiApplication::clipboard()->setText(QStringLiteral("-5"));
        QTest::keyClick(set1, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(set1->text(), QString("5"));
        QTest::mouseClick(rig.Get<QAbstractButton>("Command17"), Qt::LeftButton);
        QVERIFY(rig.m.WritePending);
        // Registers 0x0110..0x0111, four bytes: set point 1 is 5.
        QVERIFY(rig.m.PendingWriteA.startsWith(":0110011000020400050000"));
    }

    // --- A send clicked while the field being left holds a refused value sends nothing -----------------
    void sendChecksTheFieldBeingLeft_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("queued");
        QTest::newRow("Set1 600 over Capac 500") << "Set1"
                                                 << "600"
                                                 << "Command17" << false;
        QTest::newRow("Set1 500, Capac 500") << "Set1"
                                             << "500"
                                             << "Command17" << true;
        QTest::newRow("Set2 501 over Capac 500") << "Set2"
                                                 << "501"
                                                 << "Command17" << false;
        QTest::newRow("Iste1 600 over Capac 500") << "Iste1"
                                                  << "600"
                                                  << "Command14" << false;
        QTest::newRow("Iste1 500, Capac 500") << "Iste1"
                                              << "500"
                                              << "Command14" << true;
        QTest::newRow("Stabilità 4") << "Stabilità"
                                     << "4"
                                     << "Command13" << true;
        QTest::newRow("Indir 33") << "Indir"
                                  << "33"
                                  << "Command15" << false;
        QTest::newRow("Indir 32") << "Indir"
                                  << "32"
                                  << "Command15" << true;
    }
    void sendChecksTheFieldBeingLeft() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, button);
        QFETCH(bool, queued);
        MainRig rig;
        const Field f = *FieldByControlName(field);
        const GroupId group = Parameter(f).group;
        const int tab = Group(group).tab;
        if (tab >= 0) {
            OpenTab(rig, tab);
        }
        // The group counts as read, so that a change enables its send button.
        rig.m.SetpointsRead = 1;
        rig.m.TabRead.fill(1);
        rig.form->Parameters().setText(Field::Capac, QStringLiteral("    500"));
        QLineEdit* edit = rig.Edit(f);
        ClickInto(edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), typed);
        auto* send = rig.Get<QAbstractButton>(button.toUtf8().constData());
        QVERIFY(send->isEnabled());

        QTest::mouseClick(send, Qt::LeftButton);
        const QByteArray& slot =
            Group(group).slot == WriteSlot::A ? rig.m.PendingWriteA : rig.m.PendingWriteB;
        QCOMPARE(!slot.isEmpty(), queued);
        QCOMPARE(rig.m.WritePending, queued);
        if (!queued) {
            // The focus is back in the field, and the user carries on typing there.
            WAIT_COMPARE(Name(Focused()), field, 1000);
            QVERIFY(send->isEnabled());
        }
    }

    // --- After a confirmed send the focus stays with the group ---------------------------------------
    void focusAfterSend_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("focus");
        QTest::newRow("set points") << "Set2"
                                    << "1500"
                                    << "Command17"
                                    << "Set1";
        QTest::newRow("weight parameters") << "Autozero"
                                           << "2.0"
                                           << "Command13"
                                           << "Filtro";
        QTest::newRow("serial") << "RiRis"
                                << "25"
                                << "Command15"
                                << "Baud";
    }
    void focusAfterSend() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, button);
        QFETCH(QString, focus);
        MainRig rig;
        const Field f = *FieldByControlName(field);
        const GroupId group = Parameter(f).group;
        rig.Run();
        const int tab = Group(group).tab;
        if (tab >= 0) {
            OpenTab(rig, tab);
        }
        WAIT_VERIFY(group == GroupId::SetPoints ? rig.m.SetpointsRead == 1
                                                : rig.m.TabRead[size_t(tab + 1)] == 1,
                    5000);
        QLineEdit* edit = rig.Edit(f);
        ClickInto(edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, typed);
        auto* send = rig.Get<QAbstractButton>(button.toUtf8().constData());
        QVERIFY(send->isEnabled());
        QTest::mouseClick(send, Qt::LeftButton);
        QVERIFY(rig.m.WritePending);
        WAIT_VERIFY(!send->isEnabled(), 5000);
        uitest::RunFor(20);
        QCOMPARE(Name(Focused()), focus);
    }
};

QTEST_MAIN(TestForm1Keyboard)
#include "test_form1_keyboard.moc"
