// The main setup screen under the offscreen platform, against the simulator over a pseudo-terminal:
// the model-2 screen, the setup-mode switch, leaving the analog and test tabs, the texts of both
// languages, and the typical edit of a group from the read to the instrument holding the new value.

#include "expected_form1_texts.h"
#include "mainrig.h"

#include "applytexts.h"

#include "frame.h"
#include "registers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {
QByteArray NormalModeFrame(int address) {
    return BuildRequest(address, Fn::WriteSingleRegister, WriteSingleBody(Reg::Mode, Hex4(Mode::Normal)));
}

// The text a control shows under the key of a text table.
QString Shown(Form1& form, const TextKey& key) {
    const QString name = key.index >= 0 && key.name != QLatin1String("SSTab1")
                             ? QStringLiteral("%1(%2)").arg(key.name).arg(key.index)
                             : key.name;
    if (name == QLatin1String("Form1")) {
        return form.windowTitle();
    }
    if (key.name == QLatin1String("SSTab1")) {
        return form.SSTab1->tabText(key.index);
    }
    // Menus carry their access-key marker; the caption is the table's text.
    if (auto* menu = form.findChild<QMenu*>(name)) {
        return WithoutMnemonic(menu->title());
    }
    if (auto* action = form.findChild<QAction*>(name)) {
        return WithoutMnemonic(action->text());
    }
    QWidget* w = form.findChild<QWidget*>(name);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        return button->text();
    }
    if (auto* box = qobject_cast<QGroupBox*>(w)) {
        return box->title();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        return edit->text();
    }
    return QStringLiteral("<no control %1>").arg(name);
}

QStringList Items(QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}
} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void secondModelScreenIsCutDown_data() {
        QTest::addColumn<int>("model");
        QTest::newRow("VXA") << 1;
        QTest::newRow("VXB") << 2;
    }
    void secondModelScreenIsCutDown() {
        QFETCH(int, model);
        MainRig rig(model);
        const bool full = model == 1;
        for (const char* name :
             {"Frame2",    "Shape1",    "Shape2",  "Shape3",    "Label2",    "Label7",  "Label8",
              "Label5",    "Label6",    "Label24", "Label54",   "Set1",      "Set2",    "Ingresso1",
              "Ingresso2", "Command17", "Label56", "OpMode",    "Command27", "Label66", "ZeroBand",
              "Label63",   "Label64",   "Label65", "ProtoCom2", "AddrCom2",  "BRCom2"}) {
            QWidget* w = rig.Get(name);
            QVERIFY2(w, name);
            QVERIFY2(w->isHidden() != full, name);
        }
        // The tabs of the outputs, the analog output and the tests cannot be chosen on the second model.
        rig.form->Command1_Click();
        for (int tab : {3, 5, 6}) {
            rig.ChooseTab(0);
            rig.ChooseTab(tab);
            QCOMPARE(rig.form->SSTab1->currentIndex(), full ? tab : 0);
        }
        rig.ChooseTab(4);
        QCOMPARE(rig.form->SSTab1->currentIndex(), 4);
        QCOMPARE(Items(rig.List(Field::ModSer)), full ? QStringList({"Nessuno", "Continua", "Manuale",
                                                                     "Automatica", "Slave", "Modbus", "BCD"})
                                                      : QStringList({"Continua", "Modbus"}));
    }

    void setupModeSwitch_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("Italian") << 0;
        QTest::newRow("English") << 1;
    }
    void setupModeSwitch() {
        QFETCH(int, language);
        MainRig rig(1, language);
        Form1& f = *rig.form;
        const bool en = language == 1;
        QCOMPARE(f.Command1->text(), en ? QString("Setup") : QString("Setup Strumento"));
        QVERIFY(f.SSTab1->isHidden());
        QVERIFY(!f.MenuRuleEnabled(f.SConf));
        // Every item of the menus follows its rule.
        const auto menusFollowRules = [&f] {
            for (const QAction* item : {f.Ap, f.Sal, f.Econf, f.Nota, f.SConf}) {
                if (item->isEnabled() != f.MenuRuleEnabled(item)) {
                    return false;
                }
            }
            return true;
        };
        QVERIFY(menusFollowRules());
        QVERIFY(f.Econf->isEnabled() && f.Nota->isEnabled());
        // The setup files go with the menu opz.
        QVERIFY(f.Ap->isEnabled() && f.Sal->isEnabled() && f.opz->isEnabled());

        f.Command1_Click();
        QVERIFY(menusFollowRules());
        QVERIFY(rig.m.Fl_setup);
        QVERIFY(!f.SSTab1->isHidden());
        QCOMPARE(f.Command1->text(), en ? QString("Exit Setup") : QString("Esci dal Setup"));
        QVERIFY(!f.opz->isEnabled());
        QVERIFY(!f.MenuRuleEnabled(f.Econf));
        QVERIFY(f.MenuRuleEnabled(f.SConf));
        QCOMPARE(f.SSTab1->currentIndex(), 0);

        // Tabs read during this period, then setup is left and entered again on another tab.
        rig.ChooseTab(2);
        rig.m.TabRead.fill(1);
        f.Command1_Click();
        QVERIFY(!rig.m.Fl_setup);
        QVERIFY(f.SSTab1->isHidden());
        QCOMPARE(f.Command1->text(), en ? QString("Setup") : QString("Setup Strumento"));
        QVERIFY(f.MenuRuleEnabled(f.Econf));
        QVERIFY(!f.MenuRuleEnabled(f.SConf));
        QVERIFY(menusFollowRules());
        QCOMPARE(rig.m.PendingWriteA, NormalModeFrame(1));
        QVERIFY(rig.m.WritePending);
        QVERIFY(rig.m.OptionsMenuPending);

        f.Command1_Click();
        QCOMPARE(f.SSTab1->currentIndex(), 0);
        for (int i = 0; i < int(rig.m.TabRead.size()); ++i) {
            QCOMPARE(rig.m.TabRead[i], uint8_t(0));
        }
    }

    void leavingTheAnalogOrTestTabAsksForNormalMode_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("normalMode");
        QTest::newRow("analog") << 5 << true;
        QTest::newRow("test") << 6 << true;
        QTest::newRow("parameters") << 2 << false;
        QTest::newRow("serial") << 4 << false;
    }
    void leavingTheAnalogOrTestTabAsksForNormalMode() {
        QFETCH(int, tab);
        QFETCH(bool, normalMode);
        MainRig rig;
        rig.form->Command1_Click();
        rig.ChooseTab(tab);
        rig.m.PendingWriteA.clear();
        rig.m.WritePending = false;
        rig.m.AnalogAdjustMode = 2;
        rig.Get<QWidget>("Command23")->setVisible(true);

        rig.ChooseTab(0);
        QCOMPARE(rig.m.PendingWriteA, normalMode ? NormalModeFrame(1) : QByteArray());
        QCOMPARE(rig.m.WritePending, normalMode);
        QCOMPARE(rig.m.AnalogAdjustMode, uint8_t(tab == 5 ? 0 : 2));
        if (tab == 6) {
            QVERIFY(rig.Get("Command23")->isHidden());
            QVERIFY(rig.Get<QAbstractButton>("U1off")->isChecked());
            QVERIFY(rig.Get<QAbstractButton>("U2off")->isChecked());
        }
    }

    void captionsOfTheLoadedScreen_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("model");
        QTest::newRow("Italian VXA") << 0 << 1;
        QTest::newRow("English VXA") << 1 << 1;
        QTest::newRow("Italian VXB") << 0 << 2;
        QTest::newRow("English VXB") << 1 << 2;
    }
    void captionsOfTheLoadedScreen() {
        QFETCH(int, language);
        QFETCH(int, model);
        MainRig rig(model, language);
        Form1& f = *rig.form;
        const bool en = language == 1;
        int checked = 0;
        for (const ExpectedText& row : ExpectedMainScreenTexts()) {
            const TextKey key = ParseTextKey(QString::fromUtf8(row.control));
            QVERIFY2(key.valid, row.control);
            const QString expected = (en ? row.english : row.italian).toString();
            if (key.state.isEmpty()) {
                if (key.name == QLatin1String("Label36") && model == 2) {
                    continue; // the second model's text is checked below
                }
                QCOMPARE(Shown(f, key), expected);
            } else if (key.state == QLatin1String("off")) {
                QCOMPARE(f.Command1->text(), expected);
            } else if (key.state == QLatin1String("model2")) {
                if (model == 2) {
                    QCOMPARE(Shown(f, TextKey{true, key.name, -1, {}}), expected);
                }
            }
            ++checked;
        }
        QVERIFY(checked > 150);
        // The captions that change while the screen is open.
        const std::pair<QAbstractButton*, const char*> views[] = {
            {f.Option1, "Label1.net"}, {f.Option4, "Label1.peak"}, {f.Option2, "Label1.gross"}};
        for (auto [option, key] : views) {
            option->click();
            for (const ExpectedText& row : ExpectedMainScreenTexts()) {
                if (QByteArray(row.control) == key) {
                    QCOMPARE(f.Label1->text(), (en ? row.english : row.italian).toString());
                }
            }
        }
    }

    void listsInBothLanguages_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("items");
        const QStringList netIt{"Netto", "Lordo", "Picco"};
        const QStringList same[] = {
            {"2400", "9600", "19200", "38400", "115200"},
            {"N-7-2", "E-7-1", "E-7-2", "O-7-1", "O-7-2", "N-8-1", "N-8-2", "E-8-1", "O-8-1"},
            {"125", "250", "500"},
            {"0-20mA", "4-20mA", "0-10V", "0-5V"},
            {"0.001", "0.002", "0.005", "0.01", "0.02", "0.05", "0.1", "0.2", "0.5", "1", "2", "5", "10",
             "20", "50"}};
        const char* sameFields[] = {"Baud", "DatiCom1", "BRCom2", "CampoAna", "ValDiv"};
        for (int language : {0, 1}) {
            const bool en = language == 1;
            auto row = [&](const char* field, const QStringList& items) {
                QTest::addRow("%s %s", en ? "en" : "it", field) << language << QString(field) << items;
            };
            row("ProtoCom2", en ? QStringList{"None", "Profibus", "DeviceNet"}
                                : QStringList{"Nessuno", "Profibus", "DeviceNet"});
            row("OpMode", en ? QStringList{"Net", "Gross", "Peak"} : netIt);
            for (const char* f : {"NeLor1", "NeLor2", "TipoAna"}) {
                row(f, en ? QStringList{"Net", "Gross", "Peak H"} : netIt);
            }
            for (const char* f : {"ApCh1", "ApCh2"}) {
                row(f, en ? QStringList{"N.Open", "N.Closed"} : QStringList{"N.Aperta", "N.Chiusa"});
            }
            for (const char* f : {"PoNe1", "PoNe2"}) {
                row(f, en ? QStringList{"Positive", "Negative"} : QStringList{"Positivo", "Negativo"});
            }
            for (const char* f : {"NoSta1", "NoSta2"}) {
                row(f, en ? QStringList{"Immediate", "After stab."} : QStringList{"Normale", "Stabile"});
            }
            row("ModSer",
                en ? QStringList{"None", "Continuous", "Demand", "Automatic", "Slave", "Modbus", "BCD"}
                   : QStringList{"Nessuno", "Continua", "Manuale", "Automatica", "Slave", "Modbus", "BCD"});
            for (int i = 0; i < 5; ++i) {
                row(sameFields[i], same[i]);
            }
        }
    }
    void listsInBothLanguages() {
        QFETCH(int, language);
        QFETCH(QString, field);
        QFETCH(QStringList, items);
        MainRig rig(1, language);
        rig.Unread();
        auto* list = rig.form->findChild<QComboBox*>(field);
        QVERIFY(list);
        QCOMPARE(Items(list), items);
        // The set holds the initial entry; the index, not the text, is what is stored and sent. Until
        // the instrument gives the value, the list shows none.
        const int initial = field == "Baud" ? 1 : field == "ValDiv" ? 9 : 0;
        QCOMPARE(rig.form->Parameters().index(*FieldByControlName(field)), initial);
        QCOMPARE(list->currentIndex(), -1);
    }

    // Offline editing: a pass shows " Edit " and asks the instrument nothing, and it does not spin.
    void offlinePassSendsNothing() {
        MainRig rig;
        rig.Run();
        QTRY_VERIFY(rig.form->PassCount() >= 1);
        rig.m.OfflineEdit = true;
        QSignalSpy passes(rig.form.get(), &Form1::PassCompleted);
        QVERIFY(passes.wait(2000)); // the pass under way when offline editing was switched on
        rig.sim.clearRequests();
        QTRY_VERIFY(passes.size() >= 4);
        QCOMPARE(rig.form->Peso->text(), QString(" Edit "));
        QCOMPARE(rig.sim.frames(), QList<QByteArray>());
        // Passes that send nothing wait for events: a few per second, not thousands.
        const qsizetype before = passes.size();
        QTest::qWait(3 * Form1::IdleTickMs);
        QVERIFY(passes.size() - before <= 4);
    }

    // The technician's edit of the weight parameters, from the read to the instrument holding it.
    void typicalEdit() {
        MainRig rig;
        rig.Run();
        Form1& f = *rig.form;
        f.Command1_Click();
        rig.ChooseTab(2);
        // The block of tab 2 is read: holding registers 0x1100..0x1104.
        QTRY_VERIFY(rig.Sent(":010311000005E6\r\n"));
        QTRY_COMPARE(rig.m.TabRead[3], uint8_t(1));
        QCOMPARE(rig.Edit(Field::Filtro)->text(), QString("5"));
        auto* marker = rig.Get("Shape10");
        auto* send = rig.Get("Command13");
        QVERIFY(marker->isHidden());
        QVERIFY(!send->isEnabled());

        rig.Type(Field::Filtro, "7");
        QCOMPARE(rig.Edit(Field::Filtro)->text(), QString("7"));
        QVERIFY(!marker->isHidden());
        QVERIFY(send->isEnabled());

        const SimInstrument& i = *rig.instrument;
        const QByteArray body = "01101100000"
                                "50A"
                                "0007" +
                                Hex4(i.holding(0x1101)) + Hex4(i.holding(0x1102)) + Hex4(i.holding(0x1103)) +
                                Hex4(i.holding(0x1104));
        const QByteArray expected = ":" + body + ComputeLrc(body) + "\r\n";
        const QByteArray read = ":010311000005E6\r\n";
        const qsizetype readsBefore = rig.sim.frames().count(read);
        QTest::mouseClick(qobject_cast<QAbstractButton*>(send), Qt::LeftButton);
        QCOMPARE(rig.m.PendingWriteA, expected);
        QVERIFY(rig.m.WritePending);

        QTRY_VERIFY(rig.Sent(expected));
        QTRY_VERIFY(marker->isHidden());
        QVERIFY(!send->isEnabled());
        QCOMPARE(rig.instrument->holding(Reg::WeightParameters), quint16(7));
        // The next pass reads the block again and shows what the instrument holds.
        QTRY_VERIFY(rig.sim.frames().count(read) > readsBefore);
        QTRY_COMPARE(rig.m.TabRead[3], uint8_t(1));
        QCOMPARE(rig.Edit(Field::Filtro)->text(), QString("7"));
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
