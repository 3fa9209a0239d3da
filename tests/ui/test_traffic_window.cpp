// The traffic window on its own, fed by a log: its captions, the batched lines, Pause, Clear and Save as
// text driven with real clicks, the save dialog answered by the scripted prompter, and that it listens
// only while it is on show.

#include "frame.h"
#include "prompter.h"
#include "traffic.h"
#include "trafficwindow.h"
#include "uitestsupport.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QtTest>

using namespace uitest;

namespace {

TrafficRecord Exchange(int n) {
    TrafficRecord r;
    r.timeMs = QDateTime(QDate::currentDate(), QTime(10, 0, 0, n)).toMSecsSinceEpoch();
    r.request = BuildRequest(n, 7, {});
    r.reply = ":" + QByteArray::number(n, 16).rightJustified(2, '0').toUpper() + "0704";
    r.reply += ComputeLrc(r.reply.mid(1)) + "\r\n";
    r.received = r.reply;
    r.turnaroundUs = 1000 * n;
    return r;
}

struct WindowRig {
    Modulo1 m;
    TrafficLog log;
    ScriptedPrompter prompter;
    std::unique_ptr<TrafficWindow> window;

    explicit WindowRig(int language = 1, int capacity = TrafficLog::DefaultCapacity) : log(capacity) {
        m.LanguageIndex = uint8_t(language);
        window = std::make_unique<TrafficWindow>(log, m, prompter);
        window->show();
    }
    // Adds exchanges n = first..last to the log, as the link does.
    void Add(int first, int last) {
        for (int n = first; n <= last; ++n) {
            log.Add(Exchange(n), m.LanguageIndex);
        }
    }
    QStringList Shown() const { return window->ShownLines(); }
    QString Counters() const { return window->Counters->text(); }
    QStringList Expected(int first, int last) const {
        QStringList lines;
        for (int n = first; n <= last; ++n) {
            lines << TrafficLine(Exchange(n), m.LanguageIndex);
        }
        return lines;
    }
};

} // namespace

class TestTrafficWindow : public QObject {
    Q_OBJECT
private slots:
    void captions_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("counters");
        QTest::newRow("Italian") << 0 << "Traffico sulla linea"
                                 << QStringList{"Pausa", "Cancella", "Salva come testo...", "Chiudi"}
                                 << "Scambi 0    Errori 0    Tempo medio di risposta 0.0 ms";
        QTest::newRow("English") << 1 << "Line traffic"
                                 << QStringList{"Pause", "Clear", "Save as text...", "Close"}
                                 << "Exchanges 0    Failures 0    Mean turnaround 0.0 ms";
    }
    void captions() {
        QFETCH(int, language);
        WindowRig rig(language);
        QTEST(rig.window->windowTitle(), "title");
        QTEST((QStringList{rig.window->TrafficPause->text(), rig.window->TrafficClear->text(),
                           rig.window->TrafficSave->text(), rig.window->TrafficClose->text()}),
              "buttons");
        QTEST(rig.Counters(), "counters");
        // The language changes while the window is open (the start-up screen's language dialog): the
        // captions follow at the next refresh.
        rig.m.LanguageIndex = uint8_t(1 - language);
        WAIT_COMPARE(rig.window->TrafficClear->text(), QString(language == 1 ? "Cancella" : "Clear"), 2000);
    }

    // Esc and the Close button hide the window; it stops listening.
    void escAndCloseHide_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Esc") << true;
        QTest::newRow("Close") << false;
    }
    void escAndCloseHide() {
        QFETCH(bool, escape);
        WindowRig rig;
        QVERIFY(rig.window->isVisible());
        QCOMPARE(rig.log.Watchers(), 1);
        if (escape) {
            QTest::keyClick(rig.window->Lines, Qt::Key_Escape);
        } else {
            rig.window->TrafficClose->setFocus(Qt::TabFocusReason);
            QTest::keyClick(rig.window->TrafficClose, Qt::Key_Space);
        }
        QVERIFY(!rig.window->isVisible());
        QCOMPARE(rig.log.Watchers(), 0);
    }

    // Lines come in batches at the repaint tick, never one by one while the link works.
    void linesArriveInBatches() {
        WindowRig rig;
        rig.Add(1, 3);
        QVERIFY(rig.Shown().isEmpty()); // nothing painted inside the link's call
        WAIT_COMPARE(rig.Shown(), rig.Expected(1, 3), 2000);
        QCOMPARE(rig.Counters(), QString("Exchanges 3    Failures 0    Mean turnaround 2.0 ms"));
        rig.Add(4, 4);
        WAIT_COMPARE(rig.Shown(), rig.Expected(1, 4), 2000);
    }

    // The view holds no more lines than the log keeps.
    void viewIsBounded() {
        WindowRig rig(1, 5);
        rig.Add(1, 3);
        WAIT_COMPARE(rig.Shown().size(), 3, 2000);
        rig.Add(4, 9);
        WAIT_COMPARE(rig.Shown(), rig.Expected(5, 9), 2000);
    }

    void pauseStopsAppending() {
        WindowRig rig;
        rig.Add(1, 2);
        WAIT_COMPARE(rig.Shown().size(), 2, 2000);
        QTest::mouseClick(rig.window->TrafficPause, Qt::LeftButton);
        QVERIFY(rig.window->Paused());
        rig.Add(3, 5);
        // The counters go on: once they show the new exchanges, the tick that would have added the lines
        // has run.
        WAIT_COMPARE(rig.Counters(), QString("Exchanges 5    Failures 0    Mean turnaround 3.0 ms"), 2000);
        QCOMPARE(rig.Shown(), rig.Expected(1, 2));
        // Released, the lines that came meanwhile follow at once.
        QTest::mouseClick(rig.window->TrafficPause, Qt::LeftButton);
        QVERIFY(!rig.window->Paused());
        QCOMPARE(rig.Shown(), rig.Expected(1, 5));
    }

    void clearEmptiesTheViewAndTheCounters() {
        WindowRig rig;
        rig.Add(1, 3);
        WAIT_COMPARE(rig.Shown().size(), 3, 2000);
        QTest::mouseClick(rig.window->TrafficClear, Qt::LeftButton);
        QVERIFY(rig.Shown().isEmpty());
        QCOMPARE(rig.log.Size(), 0);
        QCOMPARE(rig.Counters(), QString("Exchanges 0    Failures 0    Mean turnaround 0.0 ms"));
        rig.Add(4, 4);
        WAIT_COMPARE(rig.Shown(), rig.Expected(4, 4), 2000);
        QCOMPARE(rig.Counters(), QString("Exchanges 1    Failures 0    Mean turnaround 4.0 ms"));
    }

    void saveAsText_data() {
        QTest::addColumn<QString>("answer"); // the path the save dialog answers; "" cancels it
        QTest::addColumn<bool>("written");
        QTest::addColumn<int>("messages");
        QTest::newRow("saved") << "traffic.txt" << true << 0;
        QTest::newRow("cancelled") << "" << false << 0;
        QTest::newRow("folder missing") << "no/such/folder/traffic.txt" << false << 1;
    }
    void saveAsText() {
        QFETCH(QString, answer);
        QFETCH(bool, written);
        QFETCH(int, messages);
        QTemporaryDir dir;
        WindowRig rig;
        rig.Add(1, 3);
        WAIT_COMPARE(rig.Shown().size(), 3, 2000);
        const QString path = answer.isEmpty() ? QString() : dir.filePath(answer);
        rig.prompter.QueueFileAnswer(path);
        QSignalSpy finished(rig.window.get(), &TrafficWindow::SaveFinished);
        QTest::mouseClick(rig.window->TrafficSave, Qt::LeftButton);
        QVERIFY(finished.wait(2000));
        QCOMPARE(finished.first().first().toString(), written ? path : QString());
        QCOMPARE(rig.prompter.records.size(), 1 + messages);
        QCOMPARE(rig.prompter.records.first().kind, ScriptedPrompter::Record::FileDialog);
        QCOMPARE(rig.prompter.records.first().title, QString("Save the line traffic"));
        QVERIFY(rig.prompter.records.first().text.endsWith("traffic.txt"));
        if (written) {
            QCOMPARE(QString::fromUtf8(ReadFile(path)), rig.Expected(1, 3).join("\r\n") + "\r\n");
        } else if (!path.isEmpty()) {
            QVERIFY(!QFile::exists(path));
        }
        if (messages) {
            const ScriptedPrompter::Record& box = rig.prompter.records.last();
            QCOMPARE(box.title, QString("Attention !!"));
            QVERIFY2(box.text.startsWith("The file " + path + " was not written: "), qPrintable(box.text));
        }
        QVERIFY(!rig.window->Saving());
        QVERIFY(rig.window->TrafficSave->isEnabled());
    }

    // Closed, the window does not listen and the link records nothing; built again, shown, it does.
    void listensOnlyWhileOnShow() {
        WindowRig rig;
        QVERIFY(rig.log.Listening());
        rig.window->close();
        QVERIFY(!rig.log.Listening());
        rig.window->show();
        QCOMPARE(rig.log.Watchers(), 1);
        rig.window.reset();
        QCOMPARE(rig.log.Watchers(), 0);
    }

    // The window goes while its save dialog is up: the dialog's answer finds no window and nothing
    // happens.
    void windowGoesWhileSaving() {
        WindowRig rig;
        rig.Add(1, 1);
        QTemporaryDir dir;
        rig.prompter.QueueFileAnswer(dir.filePath("late.txt"));
        QTest::mouseClick(rig.window->TrafficSave, Qt::LeftButton);
        QVERIFY(rig.window->Saving()); // the dialog is up
        QVERIFY(!rig.window->TrafficSave->isEnabled());
        rig.window.reset();
        RunFor(50);
        QVERIFY(!QFile::exists(dir.filePath("late.txt")));
        QCOMPARE(rig.log.Watchers(), 0);
    }
};

QTEST_MAIN(TestTrafficWindow)
#include "test_traffic_window.moc"
