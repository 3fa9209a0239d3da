// The main setup screen at the keyboard, with real key presses: Enter and keypad Enter on a focused send
// button (through the leave check of the field being left, also when the keys come faster than the
// focus goes back), the shortcuts of the menu items and their enable rules, the menus' access keys in
// both languages, and the tooltips that name each field's range.

#include "mainrig.h"

#include "applytexts.h"
#include "uitestsupport.h"

#include <QAbstractButton>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>

namespace {

QWidget* Focused() {
    return QApplication::focusWidget();
}

QString Name(QWidget* w) {
    return w ? w->objectName() : QStringLiteral("<none>");
}

void OpenTab(MainRig& rig, int tab) {
    if (!rig.m.Fl_setup) {
        QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
    }
    rig.ChooseTab(tab);
}

QAction* Action(MainRig& rig, const QString& name) {
    return rig.form->findChild<QAction*>(name);
}

// What a shortcut of the help does.
enum Effect { OpenFile, SaveFile, Print, Traffic, Log, Leave, Help, NextTab, PreviousTab };

} // namespace

class TestForm1Keys : public QObject {
    Q_OBJECT
private slots:
    // --- Enter on a focused send button -------------------------------------------------------------
    void enterSendsTheFocusedGroup_data() {
        QTest::addColumn<QString>("typed"); // into ZeroBand, the last field before Command13
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QByteArray>("zeroBand"); // the value sent, empty: nothing queued
        QTest::newRow("200, Return") << "200" << int(Qt::Key_Return) << 0 << QByteArray("00C8");
        QTest::newRow("200, keypad Enter")
            << "200" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << QByteArray("00C8");
        QTest::newRow("0, keypad Enter")
            << "0" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << QByteArray("0000");
        QTest::newRow("201, Return") << "201" << int(Qt::Key_Return) << 0 << QByteArray();
        QTest::newRow("201, keypad Enter")
            << "201" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << QByteArray();
    }
    void enterSendsTheFocusedGroup() {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QByteArray, zeroBand);
        MainRig rig;
        OpenTab(rig, 2);
        rig.m.TabRead.fill(1);
        QLineEdit* edit = rig.Edit(Field::ZeroBand);
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, typed);
        auto* send = rig.Get<QAbstractButton>("Command13");
        QVERIFY(send->isEnabled());
        // Tab, then Enter at once, before any other event runs: the focus is on the send button even
        // when the value is refused and on its way back into the field.
        QTest::keyClick(Focused(), Qt::Key_Tab);
        QCOMPARE(Name(Focused()), QString("Command13"));
        QTest::keyClick(Focused(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        if (zeroBand.isEmpty()) {
            QVERIFY(rig.m.PendingWriteA.isEmpty());
            QVERIFY(!rig.m.WritePending);
            WAIT_COMPARE(Name(Focused()), QString("ZeroBand"), 1000);
            // Enter in the field is dropped: nothing is sent, the value stays, no message.
            QTest::keyClick(Focused(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            QVERIFY(rig.m.PendingWriteA.isEmpty());
            QCOMPARE(edit->text(), typed);
        } else {
            // Registers 0x1100..0x1104, ten bytes; ZeroBand is the fifth value.
            QVERIFY(rig.m.PendingWriteA.startsWith(":0110110000050A"));
            QCOMPARE(rig.m.PendingWriteA.mid(31, 4), zeroBand);
        }
        QCOMPARE(rig.prompter.MessageCount(), 0);
    }

    // Space keeps its meaning, and Enter presses the other buttons too (the setup switch here).
    void enterPressesAnyButton() {
        MainRig rig;
        rig.form->Command1->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Focused(), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(rig.m.Fl_setup);
        rig.form->Command1->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Focused(), Qt::Key_Space);
        QVERIFY(!rig.m.Fl_setup);
        QTest::keyClick(Focused(), Qt::Key_Return);
        QVERIFY(rig.m.Fl_setup);
    }

    // Holding Enter down presses the focused button once: the keyboard's auto-repeat neither toggles
    // setup mode back and forth nor queues a group again.
    void holdingEnterPressesOnce_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::newRow("setup switch, Return") << "Command1" << int(Qt::Key_Return);
        QTest::newRow("send of the weight parameters, keypad Enter") << "Command13" << int(Qt::Key_Enter);
    }
    void holdingEnterPressesOnce() {
        QFETCH(QString, button);
        QFETCH(int, key);
        MainRig rig;
        OpenTab(rig, 2);
        rig.m.TabRead.fill(1);
        auto* target = rig.Get<QAbstractButton>(qPrintable(button));
        if (!target->isEnabled()) {
            // A send button comes alive with an edit of its group.
            QLineEdit* edit = rig.Edit(Field::ZeroBand);
            QTest::mouseClick(edit, Qt::LeftButton);
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(edit, QStringLiteral("200"));
            QTest::keyClick(edit, Qt::Key_Tab);
        }
        target->setFocus(Qt::TabFocusReason);
        QSignalSpy clicks(target, &QAbstractButton::clicked);
        const auto modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
        for (int i = 0; i < 6; ++i) {
            QKeyEvent press(QEvent::KeyPress, key, modifiers, QStringLiteral("\r"), /*autorep=*/i > 0);
            QApplication::sendEvent(Focused(), &press);
        }
        QTest::keyRelease(Focused(), Qt::Key(key), modifiers);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(rig.m.Fl_setup, button != QLatin1String("Command1"));
    }

    // --- Shortcuts -------------------------------------------------------------------------------------
    void shortcutsFollowTheirItems_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("setup");
        QTest::addColumn<bool>("triggers");
        const int ctrl = int(Qt::CTRL);
        QTest::newRow("Ctrl+O monitoring") << "Ap" << (ctrl | Qt::Key_O) << false << true;
        QTest::newRow("Ctrl+O setup") << "Ap" << (ctrl | Qt::Key_O) << true << false;
        QTest::newRow("Ctrl+S monitoring") << "Sal" << (ctrl | Qt::Key_S) << false << true;
        QTest::newRow("Ctrl+S setup") << "Sal" << (ctrl | Qt::Key_S) << true << false;
        QTest::newRow("Ctrl+Q monitoring") << "Esc" << (ctrl | Qt::Key_Q) << false << true;
        QTest::newRow("Ctrl+Q setup") << "Esc" << (ctrl | Qt::Key_Q) << true << false;
        QTest::newRow("Ctrl+P monitoring") << "SConf" << (ctrl | Qt::Key_P) << false << false;
        QTest::newRow("Ctrl+P setup") << "SConf" << (ctrl | Qt::Key_P) << true << true;
        QTest::newRow("F1 monitoring") << "guida" << int(Qt::Key_F1) << false << true;
        QTest::newRow("F1 setup") << "guida" << int(Qt::Key_F1) << true << true;
        // This screen has nothing that opens the traffic window: its item is disabled.
        QTest::newRow("Ctrl+T without a traffic window") << "traf" << (ctrl | Qt::Key_T) << false << false;
    }
    void shortcutsFollowTheirItems() {
        QFETCH(QString, item);
        QFETCH(int, key);
        QFETCH(bool, setup);
        QFETCH(bool, triggers);
        MainRig rig;
        if (setup) {
            QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
        }
        QAction* action = Action(rig, item);
        QVERIFY(action);
        QSignalSpy spy(action, &QAction::triggered);
        // Typed with the focus in a field, as the user does.
        QLineEdit* field = rig.Edit(setup ? Field::Sensib : Field::Set1);
        QTest::mouseClick(field, Qt::LeftButton);
        const QKeyCombination combination = QKeyCombination::fromCombined(key);
        const QString before = field->text();
        QTest::keyClick(Focused(), combination.key(), combination.keyboardModifiers());
        QCOMPARE(spy.count(), triggers ? 1 : 0);
        QCOMPARE(field->text(), before); // the key typed nothing
        // The shortcut is shown with the item.
        QCOMPARE(action->property("quartelShortcut").value<QKeySequence>(), QKeySequence(key));
    }

    // Every shortcut the short help (F1) lists does what its line says, and no shortcut of the screen
    // is missing from it.
    void eachShortcutOfTheHelpDoesWhatItSays_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("setup");
        QTest::addColumn<QString>("line"); // the help's line, as the user reads it
        QTest::addColumn<int>("effect");
        const int ctrl = int(Qt::CTRL);
        QTest::newRow("Ctrl+O") << 1 << (ctrl | Qt::Key_O) << false << "Ctrl+O  Open file setup"
                                << int(OpenFile);
        QTest::newRow("Ctrl+S") << 0 << (ctrl | Qt::Key_S) << false << "Ctrl+S  Salva File di Impostazioni"
                                << int(SaveFile);
        QTest::newRow("Ctrl+P") << 1 << (ctrl | Qt::Key_P) << true << "Ctrl+P  Print Configuration"
                                << int(Print);
        QTest::newRow("Ctrl+T") << 1 << (ctrl | Qt::Key_T) << false << "Ctrl+T  Line traffic" << int(Traffic);
        QTest::newRow("Ctrl+L") << 1 << (ctrl | Qt::Key_L) << false << "Ctrl+L  Log the weight to a file..."
                                << int(Log);
        QTest::newRow("Ctrl+Q") << 0 << (ctrl | Qt::Key_Q) << false << "Ctrl+Q  Esci" << int(Leave);
        QTest::newRow("F1") << 1 << int(Qt::Key_F1) << true << "F1      Quick help" << int(Help);
        QTest::newRow("Ctrl+Tab") << 1 << (ctrl | Qt::Key_Tab) << true << "Ctrl+Tab  next tab (in setup mode)"
                                  << int(NextTab);
        QTest::newRow("Ctrl+Shift+Tab") << 0 << (ctrl | int(Qt::SHIFT) | Qt::Key_Backtab) << true
                                        << "Ctrl+Shift+Tab  scheda precedente (in setup)" << int(PreviousTab);
    }
    void eachShortcutOfTheHelpDoesWhatItSays() {
        QFETCH(int, language);
        QFETCH(int, key);
        QFETCH(bool, setup);
        QFETCH(QString, line);
        QFETCH(int, effect);
        MainRig rig(1, language);
        rig.form->traf->setEnabled(true); // as when the Application can open the traffic window
        QSignalSpy traffic(rig.form->traf, &QAction::triggered);
        QSignalSpy print(rig.form->SConf, &QAction::triggered);
        rig.form->Command1->setFocus(Qt::TabFocusReason);
        if (setup) {
            QTest::keyClick(Focused(), Qt::Key_Return);
            QVERIFY(rig.m.Fl_setup);
        }
        QTest::keyClick(Focused(), Qt::Key_F1);
        QCOMPARE(rig.prompter.MessageCount(), 1);
        const QStringList help = rig.prompter.records.last().text.split('\n');
        QVERIFY2(help.contains(line), qPrintable(help.join('|')));
        // Every shortcut on a menu item of the screen is in the help.
        for (QAction* action : rig.form->findChildren<QAction*>()) {
            if (!action->property("quartelShortcut").isNull()) {
                const QString shown = action->property("quartelShortcut")
                                          .value<QKeySequence>()
                                          .toString(QKeySequence::PortableText);
                QVERIFY2(std::any_of(help.begin(), help.end(),
                                     [&](const QString& l) { return l.startsWith(shown + ' '); }),
                         qPrintable(shown));
            }
        }
        rig.prompter.QueueFileAnswer(QString()); // the log's file dialog: cancelled
        const QKeyCombination combination = QKeyCombination::fromCombined(key);
        QTest::keyClick(Focused(), combination.key(), combination.keyboardModifiers());
        QCOMPARE(rig.m.PendingFileAction, uint8_t(effect == OpenFile ? 1 : effect == SaveFile ? 2 : 0));
        QCOMPARE(print.count(), effect == Print ? 1 : 0);
        QCOMPARE(traffic.count(), effect == Traffic ? 1 : 0);
        QCOMPARE(rig.prompter.FileDialogCount(), effect == Log ? 1 : 0);
        QCOMPARE(rig.form->ExitRequested(), effect == Leave);
        QCOMPARE(rig.prompter.MessageCount(), effect == Help ? 2 : 1);
        QCOMPARE(rig.form->SSTab1->currentIndex(), effect == NextTab ? 1 : effect == PreviousTab ? 6 : 0);
    }

    // The Help menu's boxes, chosen with the mouse: the short help names the shortcuts, the About box
    // the version, what the program is for and where the settings live.
    void helpAndAbout_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("help");
        QTest::addColumn<QStringList>("about");
        QTest::newRow("Italian") << 0 << QStringList{"Guida rapida", "Ctrl+O", "Ctrl+S", "Ctrl+P",
                                                     "Ctrl+T",       "Ctrl+Q", "F1",     "Ctrl+L"}
                                 << QStringList{"Informazioni su Quartel Setup", "Quartel Setup 3.2",
                                                "PESOMETRA", "Impostazioni (prog.ini, Strum.ini): "};
        QTest::newRow("English") << 1 << QStringList{"Quick help", "Ctrl+O", "Ctrl+S", "Ctrl+P",
                                                     "Ctrl+T",     "Ctrl+Q", "F1",     "Ctrl+L"}
                                 << QStringList{"About Quartel Setup", "Quartel Setup 3.2", "PESOMETRA",
                                                "Settings (prog.ini, Strum.ini): "};
    }
    void helpAndAbout() {
        QFETCH(int, language);
        QFETCH(QStringList, help);
        QFETCH(QStringList, about);
        QCoreApplication::setApplicationVersion(QStringLiteral("3.2"));
        MainRig rig(1, language);
        uitest::ChooseMenuItem(rig.form.get(), rig.form->aiuto, rig.form->guida);
        QCOMPARE(rig.prompter.MessageCount(), 1);
        uitest::ChooseMenuItem(rig.form.get(), rig.form->aiuto, rig.form->about);
        QCOMPARE(rig.prompter.MessageCount(), 2);
        const auto& helpBox = rig.prompter.records[0];
        const auto& aboutBox = rig.prompter.records[1];
        QCOMPARE(helpBox.title, help[0]);
        for (const QString& part : help.mid(1)) {
            QVERIFY2(helpBox.text.contains(part), qPrintable(part));
        }
        QCOMPARE(aboutBox.title, about[0]);
        for (const QString& part : about.mid(1)) {
            QVERIFY2(aboutBox.text.contains(part), qPrintable(part));
        }
    }

    // The traffic window's item, once something can open it, answers Ctrl+T.
    void ctrlTOpensTheTrafficWindow() {
        MainRig rig;
        rig.form->traf->setEnabled(true);
        QSignalSpy spy(rig.form->traf, &QAction::triggered);
        QTest::keyClick(rig.form.get(), Qt::Key_T, Qt::ControlModifier);
        QCOMPARE(spy.count(), 1);
    }

    // --- Access keys -------------------------------------------------------------------------------------
    void altOpensEachMenu_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("caption"); // the caption without the marker: the table's text
        QTest::newRow("Italian Opzioni") << 0 << "opz" << int(Qt::Key_O) << "Opzioni";
        QTest::newRow("Italian Edit") << 0 << "Edit" << int(Qt::Key_E) << "Edit";
        QTest::newRow("Italian Visualizza") << 0 << "vis" << int(Qt::Key_V) << "Visualizza";
        QTest::newRow("Italian Aiuto") << 0 << "aiuto" << int(Qt::Key_A) << "Aiuto";
        QTest::newRow("English Option") << 1 << "opz" << int(Qt::Key_O) << "Option";
        QTest::newRow("English Edit") << 1 << "Edit" << int(Qt::Key_E) << "Edit";
        QTest::newRow("English View") << 1 << "vis" << int(Qt::Key_V) << "View";
        QTest::newRow("English Help") << 1 << "aiuto" << int(Qt::Key_H) << "Help";
    }
    void altOpensEachMenu() {
        QFETCH(int, language);
        QFETCH(QString, menu);
        QFETCH(int, key);
        QFETCH(QString, caption);
        MainRig rig(1, language);
        auto* shown = rig.form->findChild<QMenu*>(menu);
        QVERIFY(shown);
        QCOMPARE(WithoutMnemonic(shown->title()), caption);
        QVERIFY(!shown->isVisible());
        QTest::keyClick(rig.form.get(), Qt::Key(key), Qt::AltModifier);
        WAIT_VERIFY(shown->isVisible(), 2000);
        QTest::keyClick(shown, Qt::Key_Escape);
        WAIT_VERIFY(!shown->isVisible(), 2000);
    }

    // Each item of a menu has its own access key, and its caption stays the table's.
    void itemsHaveDistinctAccessKeys_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("Italian") << 0;
        QTest::newRow("English") << 1;
    }
    void itemsHaveDistinctAccessKeys() {
        QFETCH(int, language);
        MainRig rig(1, language);
        const QList<QMenu*> menus = {rig.form->opz, rig.form->Edit, rig.form->vis, rig.form->aiuto};
        QSet<QChar> barKeys;
        for (QMenu* menu : menus) {
            const qsizetype at = menu->title().indexOf('&');
            QVERIFY2(at >= 0, qPrintable(menu->title()));
            barKeys.insert(menu->title().at(at + 1).toLower());
            QSet<QChar> keys;
            for (QAction* item : menu->actions()) {
                const qsizetype mark = item->text().indexOf('&');
                if (mark >= 0) {
                    QVERIFY2(!keys.contains(item->text().at(mark + 1).toLower()), qPrintable(item->text()));
                    keys.insert(item->text().at(mark + 1).toLower());
                }
            }
        }
        QCOMPARE(barKeys.size(), menus.size());
        for (const char* name : {"Ap", "Sal", "Conf", "Reset", "Esc", "Econf", "Nota", "SConf", "traf",
                                 "trend", "logFile", "guida", "about"}) {
            QAction* item = Action(rig, QString::fromLatin1(name));
            QVERIFY2(item && item->text().contains('&'), name);
        }
        QCOMPARE(WithoutMnemonic(rig.form->Ap->text()),
                 language == 1 ? QString("Open file setup") : QString("Apri File di Impostazioni"));
        QCOMPARE(WithoutMnemonic(rig.form->SConf->text()),
                 language == 1 ? QString("Print Configuration") : QString("Stampa Configurazione"));
    }

    // --- Tooltips ------------------------------------------------------------------------------------------
    void everyFieldNamesItsRange_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("italian"); // what the tooltip names
        QTest::addColumn<QStringList>("english");
        const QStringList capacityIt = {"0", "Portata Totale"};
        const QStringList capacityEn = {"0", "total capacity"};
        QTest::newRow("Capac") << "Capac" << QStringList{"0", "500000"} << QStringList{"0", "500000"};
        QTest::newRow("Sensib") << "Sensib" << QStringList{"0", "4.0"} << QStringList{"0", "4.0"};
        QTest::newRow("Teonet") << "Teonet" << capacityIt << capacityEn;
        QTest::newRow("Teotara") << "Teotara" << capacityIt << capacityEn;
        QTest::newRow("Set1") << "Set1" << capacityIt << capacityEn;
        QTest::newRow("Set2") << "Set2" << capacityIt << capacityEn;
        QTest::newRow("Filtro") << "Filtro" << QStringList{"0", "9"} << QStringList{"0", "9"};
        QTest::newRow("Stabilità") << "Stabilità" << QStringList{"0", "4"} << QStringList{"0", "4"};
        QTest::newRow("Autozero") << "Autozero" << QStringList{"0", "10.0"} << QStringList{"0", "10.0"};
        QTest::newRow("Inseguimento") << "Inseguimento" << QStringList{"0", "4"} << QStringList{"0", "4"};
        QTest::newRow("ZeroBand") << "ZeroBand" << QStringList{"0", "200"} << QStringList{"0", "200"};
        QTest::newRow("Iste1") << "Iste1" << capacityIt << capacityEn;
        QTest::newRow("Iste2") << "Iste2" << capacityIt << capacityEn;
        for (const char* f : {"Disab1", "Disab2", "RiEcc1", "RiEcc2"}) {
            QTest::newRow(f) << f << QStringList{"0", "999"} << QStringList{"0", "999"};
        }
        QTest::newRow("Indir") << "Indir" << QStringList{"1", "32"} << QStringList{"1", "32"};
        QTest::newRow("RiRis") << "RiRis" << QStringList{"0", "100"} << QStringList{"0", "100"};
        QTest::newRow("AddrCom2") << "AddrCom2" << QStringList{"1", "126"} << QStringList{"1", "126"};
        QTest::newRow("FsAna") << "FsAna" << capacityIt << capacityEn;
        QTest::newRow("RifZero") << "RifZero" << capacityIt << capacityEn;
        for (const char* f :
             {"OpMode", "ValDiv", "NeLor1", "NeLor2", "ApCh1", "ApCh2", "PoNe1", "PoNe2", "NoSta1", "NoSta2",
              "Baud", "ModSer", "DatiCom1", "ProtoCom2", "BRCom2", "TipoAna", "CampoAna"}) {
            QTest::newRow(f) << f << QStringList{"lista"} << QStringList{"list"};
        }
    }
    void everyFieldNamesItsRange() {
        QFETCH(QString, field);
        QFETCH(QStringList, italian);
        QFETCH(QStringList, english);
        QString tips[2];
        for (int language : {0, 1}) {
            MainRig rig(1, language);
            QWidget* w = rig.form->FieldWidget(*FieldByControlName(field));
            QVERIFY(w);
            tips[language] = w->toolTip();
            for (const QString& part : language == 1 ? english : italian) {
                QVERIFY2(tips[language].contains(part), qPrintable(tips[language] + " lacks " + part));
            }
        }
        QVERIFY(tips[0] != tips[1]);
    }

    // No field that the user can edit is left without one (the table above is complete).
    void noFieldWithoutTooltip() {
        MainRig rig;
        int fields = 0;
        for (const ParameterDef& def : ::Parameters()) {
            QWidget* w = rig.form->FieldWidget(def.field);
            if (!w || def.field == Field::OffZero || def.field == Field::OffFS) {
                continue; // the trimming offsets are never shown
            }
            ++fields;
            QVERIFY2(!w->toolTip().isEmpty(), def.controlName);
        }
        QCOMPARE(fields, 39);
    }
};

QTEST_MAIN(TestForm1Keys)
#include "test_form1_keys.moc"
