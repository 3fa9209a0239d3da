// The main setup screen's status bar against the simulator over a pseudo-terminal, in both languages:
// a send the instrument confirms, one it leaves unconfirmed, a setup file's load while it runs and at
// its end, and the line-health indicator's counts.

#include "../files/filemenu.h"
#include "../support/setupbytes.h"
#include "mainrig.h"

#include "setupfile.h"
#include "statusline.h"
#include "uitestsupport.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

using Exchanges = QList<QPair<qint64, bool>>; // time in ms, answered

namespace {

QWidget* Focused() {
    return QApplication::focusWidget();
}

// The user types `typed` into the field and sends its group with Enter on the send button.
void TypeAndSend(MainRig& rig, Field field, const QString& typed, const char* button) {
    QLineEdit* edit = rig.Edit(field);
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, typed);
    auto* send = rig.Get<QAbstractButton>(button);
    send->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Focused(), Qt::Key_Return);
}

} // namespace

class TestForm1Status : public QObject {
    Q_OBJECT
private slots:
    void init() { QApplication::restoreOverrideCursor(); }

    // The counts of the last minute, in whole seconds: an exchange counts until the clock reaches the
    // same second a minute later.
    void lineHealthCounts_data() {
        QTest::addColumn<Exchanges>("exchanges");
        QTest::addColumn<qint64>("now");
        QTest::addColumn<int>("answers");
        QTest::addColumn<int>("failures");
        using Events = Exchanges;
        QTest::newRow("none") << Events{} << qint64(5000) << 0 << 0;
        QTest::newRow("an answer, last millisecond inside") << Events{{0, true}} << qint64(59999) << 1 << 0;
        QTest::newRow("an answer, a minute on") << Events{{0, true}} << qint64(60000) << 0 << 0;
        QTest::newRow("answers and a failure")
            << Events{{1000, true}, {1500, false}, {2000, true}} << qint64(2000) << 2 << 1;
        QTest::newRow("the same second's bucket a minute on")
            << Events{{0, true}, {60000, false}} << qint64(60000) << 0 << 1;
        QTest::newRow("half gone") << Events{{0, true}, {30000, false}} << qint64(89999) << 0 << 1;
        QTest::newRow("all gone after a quiet minute")
            << Events{{0, true}, {30000, false}} << qint64(90000) << 0 << 0;
    }
    void lineHealthCounts() {
        QFETCH(Exchanges, exchanges);
        QFETCH(qint64, now);
        LineHealthCounts counts;
        for (const auto& [at, answered] : exchanges) {
            counts.Add(at, answered);
        }
        counts.Advance(now);
        QTEST(counts.Answers(), "answers");
        QTEST(counts.Failures(), "failures");
    }

    void sendOutcome_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Italian, written") << 0 << true << "Parametri peso: scritto";
        QTest::newRow("English, written") << 1 << true << "Weight parameters: written";
        QTest::newRow("Italian, not confirmed")
            << 0 << false << "Parametri peso: non confermato dallo strumento";
        QTest::newRow("English, not confirmed")
            << 1 << false << "Weight parameters: not confirmed by the instrument";
    }
    void sendOutcome() {
        QFETCH(int, language);
        QFETCH(bool, answers);
        QFETCH(QString, expected);
        MainRig rig(1, language);
        rig.Run();
        QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
        rig.ChooseTab(2);
        WAIT_VERIFY(rig.m.TabRead[3] == 1, 5000);
        if (!answers) {
            rig.sim.setFault(1, SimFault::mute());
        }
        TypeAndSend(rig, Field::Filtro, "7", "Command13");
        QVERIFY(rig.m.WritePending);
        // Until the echo: the range of the field typed into, which the status bar named on entering it.
        QCOMPARE(rig.form->statusBar()->currentMessage(), rig.Edit(Field::Filtro)->toolTip());
        WAIT_COMPARE(rig.form->statusBar()->currentMessage(), expected, 10000);
        if (answers) {
            QCOMPARE(rig.instrument->holding(0x1100), quint16(7));
        }
        // The line's health tells the same story.
        const LineHealthCounts& counts = rig.form->Status().Counts();
        QVERIFY(counts.Answers() > 0);
        QCOMPARE(counts.Failures() > WriteQueue::MaxRetries, !answers);
        // Requests keep going out; replies come only from an instrument that answers.
        WAIT_COMPARE(rig.form->Status().RequestLight()->FillStyle(), int(Shape::Solid), 3000);
        WAIT_COMPARE(rig.form->Status().ReplyLight()->FillStyle(),
                     int(answers ? Shape::Solid : Shape::Transparent), 3000);
    }

    // A refused send queues nothing and the status bar says nothing (the error label does).
    void refusedSendSaysNothing() {
        MainRig rig;
        QTest::mouseClick(rig.form->Command1, Qt::LeftButton);
        rig.ChooseTab(2);
        rig.m.TabRead.fill(1);
        rig.form->Parameters().setText(Field::Autozero, QStringLiteral("12.0"));
        auto* send = rig.Get<QAbstractButton>("Command13");
        rig.form->Marks().SetModified(GroupId::WeightParameters, true);
        send->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Focused(), Qt::Key_Return);
        QVERIFY(rig.form->Marks().ErrorShown(GroupId::WeightParameters));
        QVERIFY(rig.m.PendingWriteA.isEmpty());
        QCOMPARE(rig.form->statusBar()->currentMessage(), QString());
    }

    // A setup file saved (Ctrl+S, on line: after the full read) and the report written as a PDF file
    // when there is no printer (Ctrl+P while editing offline): the status bar names the file.
    void savedFiles_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("pdf");
        QTest::newRow("Italian") << 0 << "File di impostazioni salvato: %1"
                                 << "Configurazione salvata in PDF: %1";
        QTest::newRow("English") << 1 << "Setup file saved: %1"
                                 << "Configuration saved as PDF: %1";
    }
    void savedFiles() {
        QFETCH(int, language);
        QFETCH(QString, saved);
        QFETCH(QString, pdf);
        MainRig rig(1, language);
        QTemporaryDir dir;
        const QString stp = dir.filePath(QStringLiteral("c.stp"));
        const QString report = dir.filePath(QStringLiteral("c.pdf"));
        rig.Run();
        WAIT_VERIFY(rig.form->PassCount() > 0, 5000);
        rig.prompter.QueueDialogScript(filemenu::Choose(stp));
        QTest::mouseClick(rig.Edit(Field::Set1), Qt::LeftButton);
        QTest::keyClick(Focused(), Qt::Key_S, Qt::ControlModifier);
        WAIT_COMPARE(rig.form->statusBar()->currentMessage(), saved.arg(QDir::toNativeSeparators(stp)),
                     15000);
        QVERIFY(QFile::exists(stp));

        rig.form->PrintTarget = [](const QList<ReportLine>&, int) {
            return ReportOutcome{false, "no printer"};
        };
        rig.form->Econf->trigger();
        rig.prompter.QueueMessageAnswer(QMessageBox::Yes);
        rig.prompter.QueueFileAnswer(report);
        QTest::keyClick(rig.form.get(), Qt::Key_P, Qt::ControlModifier);
        WAIT_COMPARE(rig.form->statusBar()->currentMessage(), pdf.arg(QDir::toNativeSeparators(report)),
                     5000);
        QVERIFY(QFile::exists(report));
    }

    void loadProgress_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("progress"); // %1 of 8
        QTest::addColumn<QString>("end");      // %1 the file
        QTest::newRow("Italian") << 0 << "Caricamento del file di impostazioni: gruppo %1 di 8"
                                 << "File di impostazioni caricato: %1";
        QTest::newRow("English") << 1 << "Loading the setup file: group %1 of 8"
                                 << "Setup file loaded: %1";
    }
    void loadProgress() {
        QFETCH(int, language);
        QFETCH(QString, progress);
        QFETCH(QString, end);
        MainRig rig(1, language);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("b.stp"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(SetupBytes(LoadedValues));
        file.close();
        QStringList messages;
        connect(rig.form->statusBar(), &QStatusBar::messageChanged, this,
                [&messages](const QString& text) { messages << text; });
        rig.Run();
        WAIT_VERIFY(rig.form->PassCount() > 0, 5000);
        rig.prompter.QueueDialogScript(filemenu::Choose(path));
        QTest::mouseClick(rig.Edit(Field::Set1), Qt::LeftButton);
        QTest::keyClick(Focused(), Qt::Key_O, Qt::ControlModifier);
        WAIT_COMPARE(rig.form->statusBar()->currentMessage(), end.arg(QDir::toNativeSeparators(path)), 15000);
        QStringList expected;
        for (int i = 1; i <= 8; ++i) {
            expected << progress.arg(i);
        }
        expected << end.arg(QDir::toNativeSeparators(path));
        QCOMPARE(messages, expected);
        QCOMPARE(rig.prompter.MessageCount(), 0);
        // The load's end does not outlive the mode it was given in: setup mode entered clears it.
        rig.form->Command1->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Focused(), Qt::Key_Return);
        QCOMPARE(rig.form->statusBar()->currentMessage(), QString());
    }
};

QTEST_MAIN(TestForm1Status)
#include "test_form1_status.moc"
