// The port and language dialogs and the welcome box, on their own.

#include "dialogs.h"
#include "ports.h"
#include "prompter.h"
#include "settings.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Setup {
    QTemporaryDir dir;
    Modulo1 m;
    ScriptedPrompter prompter;
    ScreenContext Context(const QString& device = {}) {
        return ScreenContext{m, prompter, dir.path(), device};
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

    // Beside each number the device it leads to: the platform's rule, or the --device override.
    void commShowsTheDevices() {
        Setup s;
        {
            Comm comm(s.Context());
            comm.Form_Load();
            for (int k = 1; k <= 6; ++k) {
                QVERIFY(!PortDeviceName(k).isEmpty());
                QVERIFY2(comm.DeviceOf[k]->text().endsWith(PortDeviceName(k)),
                         qPrintable(comm.DeviceOf[k]->text()));
            }
        }
        Comm comm(s.Context("/dev/pts/77"));
        comm.Form_Load();
        for (int k = 1; k <= 6; ++k) {
            QVERIFY(comm.DeviceOf[k]->text().endsWith("/dev/pts/77"));
        }
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
