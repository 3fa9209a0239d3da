// The port and language dialogs and the welcome box, on their own.

#include "dialogs.h"
#include "ports.h"
#include "portsettings.h"
#include "prompter.h"
#include "settings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ClickRow(QTreeWidget* list, int row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

struct Setup {
    QTemporaryDir dir;
    Modulo1 m;
    ScriptedPrompter prompter;
    ScreenContext Context(const QString& device = {}, bool localEcho = false) {
        ScreenContext context{m, prompter, dir.path(), device};
        context.localEcho = localEcho;
        context.portSource = [] { return FakePorts(); };
        return context;
    }
    QByteArray PortIni() const { return ReadFile(dir.filePath("port.ini")); }
    // The ports the system has now, as the dialog gets them.
    static QList<PortEntry> FakePorts() {
        return {
            {"/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0", "/dev/ttyUSB3",
             "/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0", "FT232R USB UART, FTDI", "0403:6001"},
            {"/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", "/dev/ttyUSB4",
             "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", "USB Serial", "1a86:7523"},
            {"/dev/ttyS0", "/dev/ttyS0", "", "", ""},
        };
    }
    QByteArray ProgIni() const { return ReadFile(dir.filePath("prog.ini")); }
};

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    // On load the button of the port number is selected, which counts as a click: a number outside
    // 1..6 becomes 1 at once.
    void commSelectsThePortOnLoad_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("selected");
        for (int port = 1; port <= 6; ++port) {
            QTest::addRow("port %d", port) << port << port;
        }
        QTest::newRow("port 0") << 0 << 1;
        QTest::newRow("port 7") << 7 << 1;
        QTest::newRow("port 255") << 255 << 1;
    }
    void commSelectsThePortOnLoad() {
        QFETCH(int, port);
        QFETCH(int, selected);
        Setup s;
        s.m.CommPortNumber = uint8_t(port);
        Comm comm(s.Context());
        comm.Form_Load();
        for (int k = 1; k <= 6; ++k) {
            QCOMPARE(comm.Option[k]->isChecked(), k == selected);
            QCOMPARE(comm.Option[k]->objectName(), QString("Option%1").arg(k));
            QCOMPARE(comm.Option[k]->text(), QString("COM%1").arg(k));
        }
        QCOMPARE(int(s.m.CommPortNumber), selected);
        QVERIFY(s.ProgIni().isEmpty()); // nothing written before OK
    }

    void commOkWritesCancelDoesNot() {
        Setup s;
        settings::ParseProgIni("A = 150\r\nB = 250\r\nC = 0\r\nCOMM Number = 2\r\nx = 0\r\ny = 1\r\n", s.m);
        {
            Comm comm(s.Context());
            comm.Form_Load();
            comm.Option[5]->click();
            QCOMPARE(int(s.m.CommPortNumber), 5); // at once
            comm.CancelButton->click();
            QCOMPARE(comm.result(), int(QDialog::Rejected));
            QVERIFY(s.ProgIni().isEmpty());
        }
        Comm comm(s.Context());
        comm.Form_Load();
        QVERIFY(comm.Option[5]->isChecked());
        comm.Option[4]->click();
        comm.OKButton->click();
        QCOMPARE(comm.result(), int(QDialog::Accepted));
        QVERIFY(comm.Saved());
        QCOMPARE(s.ProgIni(), QByteArray("A = 150\r\nB = 250\r\nC = 0\r\nCOMM Number = 4\r\n"
                                         "Language Type (0=Italian 1=English) = 0\r\n"
                                         "Language (0=Italian 1=English) = 1\r\n"));
    }

    // Beside each number the device it leads to and whether it is there now: the platform's rule, or
    // the --device override.
    void commShowsTheDevices() {
        Setup s;
        {
            Comm comm(s.Context());
            comm.Form_Load();
            for (int k = 1; k <= 6; ++k) {
                QVERIFY(!PortDeviceName(k).isEmpty());
                const QString state = QFileInfo::exists(PortDeviceName(k)) ? "presente" : "assente";
                QCOMPARE(comm.DeviceOf[k]->text(), QString("→ %1  (%2)").arg(PortDeviceName(k), state));
            }
            QVERIFY(comm.CommandLineNote->isHidden());
        }
        QTemporaryDir other;
        const QString there = other.filePath("line");
        QVERIFY(QFile(there).open(QIODevice::WriteOnly));
        s.m.LanguageIndex = 1;
        for (const QString& device : {there, other.filePath("gone")}) {
            Comm comm(s.Context(device));
            comm.Form_Load();
            const QString state = device == there ? "present" : "not present";
            for (int k = 1; k <= 6; ++k) {
                QCOMPARE(comm.DeviceOf[k]->text(), QString("→ %1  (%2)").arg(device, state));
            }
        }
    }

    // Below the numbers, the ports the system has now; a click on one chooses its device (the stable
    // name when there is one), or a device is typed (tcp://HOST:PORT for a device server). OK writes
    // the choice and local echo to port.ini and leaves prog.ini its six lines; the dialog opened again
    // shows the choice.
    void commChoosesAnotherDevice_data() {
        QTest::addColumn<int>("row");        // -1: typed
        QTest::addColumn<QString>("typed");  // typed into DeviceEdit
        QTest::addColumn<bool>("localEcho"); // ticked
        QTest::addColumn<QString>("device"); // chosen; empty: OK stays disabled
        QTest::newRow("first entry: its stable name")
            << 0 << "" << false << "/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0";
        QTest::newRow("last entry, no stable name, local echo") << 2 << "" << true << "/dev/ttyS0";
        QTest::newRow("device server typed") << -1 << "tcp://10.0.0.7:4001" << true << "tcp://10.0.0.7:4001";
        QTest::newRow("odd path typed") << -1 << "/dev/ttyXR0" << false << "/dev/ttyXR0";
        QTest::newRow("device server without a port") << -1 << "tcp://10.0.0.7" << false << "";
        QTest::newRow("device server, port 0") << -1 << "tcp://10.0.0.7:0" << false << "";
        QTest::newRow("blanks only") << -1 << "   " << false << "";
    }
    void commChoosesAnotherDevice() {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(bool, localEcho);
        QFETCH(QString, device);
        Setup s;
        settings::ParseProgIni("A = 150\r\nB = 250\r\nC = 0\r\nCOMM Number = 2\r\nx = 0\r\ny = 0\r\n", s.m);
        {
            Comm comm(s.Context());
            comm.show();
            comm.Form_Load();
            QCOMPARE(comm.PortList->topLevelItemCount(), 3);
            const QStringList first{
                comm.PortList->topLevelItem(0)->text(0), comm.PortList->topLevelItem(0)->text(1),
                comm.PortList->topLevelItem(0)->text(2), comm.PortList->topLevelItem(0)->text(3)};
            QCOMPARE(first,
                     (QStringList{"/dev/ttyUSB3", "/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0",
                                  "FT232R USB UART, FTDI", "0403:6001"}));
            QCOMPARE(comm.PortList->headerItem()->text(1), QString("Nome stabile"));
            QVERIFY(comm.Option[2]->isChecked());
            QVERIFY(comm.OKButton->isEnabled());
            if (row >= 0) {
                ClickRow(comm.PortList, row);
            } else {
                QTest::keyClicks(comm.DeviceEdit, typed);
            }
            QVERIFY(comm.OptionDevice->isChecked());
            QVERIFY(!comm.Option[2]->isChecked());
            if (localEcho) {
                QTest::mouseClick(comm.LocalEcho, Qt::LeftButton, {},
                                  QPoint(6, comm.LocalEcho->height() / 2));
            }
            QCOMPARE(comm.OKButton->isEnabled(), !device.isEmpty());
            if (device.isEmpty()) {
                comm.CancelButton->click();
                QVERIFY(s.PortIni().isEmpty());
                return;
            }
            QTest::mouseClick(comm.OKButton, Qt::LeftButton);
            QVERIFY(comm.Saved());
        }
        QCOMPARE(s.PortIni(), "Device = " + device.toUtf8() +
                                  "\r\nLocal echo (0=off 1=on) = " + (localEcho ? "1" : "0") + "\r\n");
        QCOMPARE(s.ProgIni().count("\r\n"), 6);
        QVERIFY(s.ProgIni().contains("COMM Number = 2\r\n"));

        // Read back as the start-up screen does when it loads, and shown again.
        Modulo1 fresh;
        QVERIFY(settings::ReadPortIni(fresh, s.dir.path()));
        QCOMPARE(fresh.ChosenDevice, device);
        QCOMPARE(fresh.LocalEcho, localEcho);
        s.m.ChosenDevice = fresh.ChosenDevice;
        s.m.LocalEcho = fresh.LocalEcho;
        Comm again(s.Context());
        again.Form_Load();
        QVERIFY(again.OptionDevice->isChecked());
        QCOMPARE(again.DeviceEdit->text(), device);
        QCOMPARE(again.LocalEcho->isChecked(), localEcho);
        // A number chosen again: the number's device, the echo setting kept.
        again.Option[5]->click();
        again.OKButton->click();
        QCOMPARE(s.PortIni(),
                 QByteArray("Device = \r\nLocal echo (0=off 1=on) = ") + (localEcho ? "1" : "0") + "\r\n");
        QVERIFY(s.ProgIni().contains("COMM Number = 5\r\n"));
    }

    // Under --device the dialog says that the command line chooses the device; the device choice is
    // disabled and the one of port.ini is kept. --local-echo holds the echo setting on.
    void commUnderTheCommandLine_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("note");
        QTest::newRow("Italian")
            << 0 << "Il dispositivo è scelto dalla riga di comando: --device tcp://plant:4001";
        QTest::newRow("English") << 1 << "The command line chooses the device: --device tcp://plant:4001";
    }
    void commUnderTheCommandLine() {
        QFETCH(int, language);
        QFETCH(QString, note);
        Setup s;
        s.m.LanguageIndex = uint8_t(language);
        s.m.CommPortNumber = 3;
        s.m.ChosenDevice = "/dev/ttyS0";
        Comm comm(s.Context("tcp://plant:4001", true));
        comm.show();
        comm.Form_Load();
        QVERIFY(comm.CommandLineNote->isVisible());
        QCOMPARE(comm.CommandLineNote->text(), note);
        QVERIFY(!comm.OptionDevice->isEnabled());
        QVERIFY(!comm.DeviceEdit->isEnabled());
        QVERIFY(!comm.PortList->isEnabled());
        QVERIFY(comm.Option[3]->isChecked());
        QVERIFY(comm.LocalEcho->isChecked());
        QVERIFY(!comm.LocalEcho->isEnabled());
        ClickRow(comm.PortList, 0);
        QVERIFY(comm.DeviceEdit->text().isEmpty());
        comm.OKButton->click();
        QCOMPARE(s.PortIni(), QByteArray("Device = /dev/ttyS0\r\nLocal echo (0=off 1=on) = 0\r\n"));
    }

    // port.ini read back: the device and the echo, blanks dropped, unknown lines ignored, defaults.
    void portIniReadBack_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("echo");
        QTest::newRow("empty") << QByteArray() << "" << false;
        QTest::newRow("both") << QByteArray("Device = tcp://h:1\r\nLocal echo (0=off 1=on) = 1\r\n")
                              << "tcp://h:1" << true;
        QTest::newRow("LF, blanks, order, other lines")
            << QByteArray("# note\nLocal echo (0=off 1=on)=1\n  Device   =   /dev/ttyS1  \n") << "/dev/ttyS1"
            << true;
        QTest::newRow("echo 2 is off") << QByteArray("Local echo (0=off 1=on) = 2\r\n") << "" << false;
    }
    void portIniReadBack() {
        QFETCH(QByteArray, content);
        QFETCH(QString, device);
        QFETCH(bool, echo);
        Modulo1 m;
        m.ChosenDevice = "old";
        m.LocalEcho = true;
        settings::ParsePortIni(content, m);
        QCOMPARE(m.ChosenDevice, device);
        QCOMPARE(m.LocalEcho, echo);
        Modulo1 again;
        settings::ParsePortIni(settings::FormatPortIni(m), again);
        QCOMPARE(again.ChosenDevice, device);
        QCOMPARE(again.LocalEcho, echo);
    }

    void captionsInBothLanguages_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("comm"); // caption, OK, Cancel
        QTest::addColumn<QStringList>("ling"); // caption, Option1, Option2, OK, Cancel
        QTest::newRow("Italian") << 0 << QStringList{"Impostazione Numero COMM", "OK", "Annulla"}
                                 << QStringList{"Lingua", "Italiano", "Inglese", "OK", "Annulla"};
        QTest::newRow("English") << 1 << QStringList{"COMM Number", "OK", "Cancel"}
                                 << QStringList{"Language", "Italian", "English", "OK", "Cancel"};
        QTest::newRow("3 is Italian") << 3 << QStringList{"Impostazione Numero COMM", "OK", "Annulla"}
                                      << QStringList{"Lingua", "Italiano", "Inglese", "OK", "Annulla"};
    }
    void captionsInBothLanguages() {
        QFETCH(int, language);
        QFETCH(QStringList, comm);
        QFETCH(QStringList, ling);
        Setup s;
        s.m.LanguageIndex = uint8_t(language);
        Comm c(s.Context());
        c.Form_Load();
        QCOMPARE(c.windowTitle(), comm[0]);
        QCOMPARE(c.OKButton->text(), comm[1]);
        QCOMPARE(c.CancelButton->text(), comm[2]);
        s.m.LanguageIndex = uint8_t(language);
        Ling l(s.Context());
        l.Form_Load();
        QCOMPARE(l.windowTitle(), ling[0]);
        QCOMPARE(l.Option1->text(), ling[1]);
        QCOMPARE(l.Option2->text(), ling[2]);
        QCOMPARE(l.OKButton->text(), ling[3]);
        QCOMPARE(l.CancelButton->text(), ling[4]);
    }

    void lingSelectsAndSetsTheLanguage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("english");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("1") << 1 << true;
        QTest::newRow("4 selects Italian and becomes 0") << 4 << false;
    }
    void lingSelectsAndSetsTheLanguage() {
        QFETCH(int, language);
        QFETCH(bool, english);
        Setup s;
        s.m.LanguageIndex = uint8_t(language);
        Ling ling(s.Context());
        ling.Form_Load();
        QCOMPARE(ling.Option2->isChecked(), english);
        QCOMPARE(ling.Option1->isChecked(), !english);
        QCOMPARE(int(s.m.LanguageIndex), english ? 1 : 0);
        (english ? ling.Option1 : ling.Option2)->click();
        QCOMPARE(int(s.m.LanguageIndex), english ? 0 : 1);
        ling.OKButton->click();
        QVERIFY(ling.Saved());
        Modulo1 back;
        settings::ParseProgIni(s.ProgIni(), back);
        QCOMPARE(int(back.LanguageIndex), english ? 0 : 1);
    }

    // The scripted prompter drives a dialog the way a user would.
    void scriptedPrompterAnswersDialogs() {
        Setup s;
        Ling ling(s.Context());
        ling.Form_Load();
        s.prompter.QueueDialogScript(ScriptedPrompter::Click({"Option2", "OKButton"}));
        bool done = false;
        int result = -1;
        [](Prompter& p, QDialog& d, int& r, bool& finished) -> QCoro::Task<> {
            r = co_await p.Dialog(d);
            finished = true;
        }(s.prompter, ling, result, done);
        QTRY_VERIFY(done);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(int(s.m.LanguageIndex), 1);
        QCOMPARE(s.prompter.DialogCount(), 1);
        QCOMPARE(s.prompter.records.first().objectName, QString("Ling"));
        QCOMPARE(s.prompter.records.first().title, QString("Lingua"));
    }

    // The real prompter shows the dialog window-modal and resumes its caller once it is finished,
    // from the event loop.
    void widgetPrompterAwaitsTheDialog() {
        Setup s;
        QWidget parent;
        parent.show();
        auto* comm = new Comm(s.Context(), &parent);
        comm->Form_Load();
        WidgetPrompter prompter;
        bool done = false;
        int result = -1;
        [](Prompter& p, QDialog& d, int& r, bool& finished) -> QCoro::Task<> {
            r = co_await p.Dialog(d);
            finished = true;
        }(prompter, *comm, result, done);
        QVERIFY(comm->isVisible());
        QCOMPARE(comm->windowModality(), Qt::WindowModal);
        QVERIFY(!done);
        comm->Option[3]->click();
        comm->OKButton->click();
        QVERIFY(!done); // not inside the button's handler
        QTRY_VERIFY(done);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(int(s.m.CommPortNumber), 3);
        delete comm;
    }

    void widgetPrompterAwaitsTheMessageBox() {
        QWidget parent;
        parent.show();
        WidgetPrompter prompter;
        bool done = false;
        int answer = -1;
        [](Prompter& p, QWidget* w, int& a, bool& finished) -> QCoro::Task<> {
            a = co_await p.Message(w, "Attention !!", "The number of serial port is wrong",
                                   MessageIcon::Exclamation);
            finished = true;
        }(prompter, &parent, answer, done);
        QMessageBox* box = nullptr;
        QTRY_VERIFY((box = parent.findChild<QMessageBox*>()) != nullptr);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowTitle(), QString("Attention !!"));
        QCOMPARE(box->text(), QString("The number of serial port is wrong"));
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QVERIFY(!done);
        box->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(done);
        QCOMPARE(answer, int(QMessageBox::Ok));
    }

    void welcomeBox() {
        FrmAbout about;
        QCOMPARE(about.windowTitle(), QString("PESOMETRA"));
        QCOMPARE(about.Label1->text(), QString(" WELCOME TO PESOMETRA™  !"));
        QCOMPARE(about.Label2->text(), QString("Configuration utility for the \"Quartel™\" Transmitters"));
        QCOMPARE(about.Version->text(), QString("PC Software Version 2.2"));
        QVERIFY(!about.Timer1.isActive());
        QSignalSpy unloaded(&about, &FrmAbout::Unloaded);
        about.show();
        QCOMPARE(about.Version->text(), QString("PC Software Version 3.2"));
        QVERIFY(about.Timer1.isActive());
        QCOMPARE(about.Timer1.interval(), 8000);
        QTest::mouseClick(about.Label2, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(unloaded.size(), 0); // from the event loop, not inside the click
        QVERIFY(unloaded.wait(1000));
        QCOMPARE(unloaded.size(), 1);
        about.Timer1_Timer();
        QTest::qWait(20);
        QCOMPARE(unloaded.size(), 1); // once only

        FrmAbout timed;
        QSignalSpy timedOut(&timed, &FrmAbout::Unloaded);
        timed.show();
        timed.Timer1.setInterval(10); // the tick, without waiting 8 s
        timed.Timer1.start();
        QVERIFY(timedOut.wait(2000));
        QVERIFY(!timed.isVisible());
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
