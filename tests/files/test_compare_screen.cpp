// The comparison with a setup file from the main setup screen's menu, against the simulator over a
// pseudo-terminal: a parameter changed over the line after a save is listed under its tab with the
// instrument's and the file's value; the window's load button writes the file's groups in the order of
// the open item; its print button prints the list; the item follows the menu's rule.

#include "applytexts.h"
#include "filemenu.h"
#include "mainrig.h"
#include "setupfile.h"

#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace {

using filemenu::Choose;

// What the compare window lists, one text per row: a tab's heading alone, a parameter as
// "caption | instrument | file"; then it clicks `button`.
ScriptedPrompter::DialogScript ReadWindow(QStringList* rows, const char* button) {
    return [rows, button](QDialog& dialog) {
        if (dialog.objectName() != QLatin1String("CompareWindow")) {
            qWarning("not the compare window: %s", qPrintable(dialog.objectName()));
            return;
        }
        auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("Differences"));
        for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* tab = list->topLevelItem(i);
            *rows << tab->text(0);
            for (int j = 0; j < tab->childCount(); ++j) {
                const QTreeWidgetItem* row = tab->child(j);
                *rows << row->text(0) + " | " + row->text(1) + " | " + row->text(2);
            }
        }
        if (auto* b = dialog.findChild<QPushButton*>(QString::fromLatin1(button))) {
            QTest::mouseClick(b, Qt::LeftButton);
        }
    };
}

// The screen saves the instrument's configuration to `path`, then the user changes the digital filter
// to 7 over the line and leaves setup mode.
void SaveThenChangeFilter(MainRig& rig, const QString& path) {
    rig.Run();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Set1)->text(), QStringLiteral("   1000"), 5000);
    rig.prompter.QueueDialogScript(Choose(path));
    QVERIFY(Choose(rig.form->Sal));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 10000);
    QTRY_COMPARE(rig.m.PendingFileAction, uint8_t(0));

    auto* setup = rig.Get<QAbstractButton>("Command1");
    QTest::mouseClick(setup, Qt::LeftButton);
    // In setup mode the menu of open, save and compare is off.
    QVERIFY(!Choose(rig.form->Conf));
    rig.ChooseTab(2);
    QTRY_COMPARE_WITH_TIMEOUT(rig.m.TabRead[3], uint8_t(1), 5000);
    QCOMPARE(rig.Edit(Field::Filtro)->text(), QStringLiteral("5"));
    rig.Type(Field::Filtro, QStringLiteral("7"));
    QTest::mouseClick(rig.Get<QAbstractButton>("Command13"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(rig.instrument->holding(0x1100), quint16(7), 5000);
    QTest::mouseClick(setup, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(rig.form->opz->isEnabled(), 5000);
}

} // namespace

class TestCompareScreen : public QObject {
    Q_OBJECT
private slots:
    void init() { QApplication::restoreOverrideCursor(); }

    void listsTheChangeAndLoadsTheFile() {
        MainRig rig(1, 1);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.stp"));
        SaveThenChangeFilter(rig, path);
        QCOMPARE(WithoutMnemonic(rig.form->Conf->text()), QStringLiteral("Compare with setup file"));

        QStringList rows;
        rig.sim.clearRequests();
        rig.prompter.QueueDialogScript(Choose(path));
        rig.prompter.QueueDialogScript(ReadWindow(&rows, "LoadButton"));
        QVERIFY(Choose(rig.form->Conf));
        QTRY_COMPARE_WITH_TIMEOUT(rig.instrument->holding(0x1100), quint16(5), 10000);
        QTRY_COMPARE(rig.m.PendingFileAction, uint8_t(0));
        QTRY_VERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rows, (QStringList{"Parameters", "Digital filter value | 7 | 5"}));
        QCOMPARE(rig.prompter.MessageCount(), 0);
        QCOMPARE(rig.Edit(Field::Filtro)->text(), QStringLiteral("5"));

        // The full read first, then the load's group writes in the order of the open item.
        const QList<QByteArray> frames = rig.sim.frames();
        QList<QByteArray> writes;
        qsizetype firstWrite = -1;
        for (qsizetype i = 0; i < frames.size(); ++i) {
            const QByteArray function = frames[i].mid(3, 2);
            if ((function == "06" || function == "10") && frames[i].mid(3, 6) != "060802") {
                writes << frames[i].mid(3, 6);
                firstWrite = firstWrite < 0 ? i : firstWrite;
            }
        }
        QCOMPARE(writes.mid(0, 8), (QList<QByteArray>{"101000", "061010", "061050", "100110", "101100",
                                                      "102000", "103000", "104000"}));
        QVERIFY(frames.mid(0, firstWrite).contains(":010311000005E6\r\n"));
        QTRY_VERIFY(rig.Edit(Field::Set1)->hasFocus());
    }

    void printsTheListThenCloses() {
        MainRig rig(1, 0);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("b.stp"));
        SaveThenChangeFilter(rig, path);
        QStringList printed;
        rig.form->PrintTarget = [&printed](const QList<ReportLine>& lines, int) {
            printed = ReportText(lines).split(QLatin1Char('\n'));
            return ReportOutcome{true, {}};
        };
        QStringList first;
        QStringList second;
        rig.sim.clearRequests();
        rig.prompter.QueueDialogScript(Choose(path));
        rig.prompter.QueueDialogScript(ReadWindow(&first, "PrintButton"));
        rig.prompter.QueueDialogScript(ReadWindow(&second, "CloseButton"));
        QVERIFY(Choose(rig.form->Conf));
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.DialogCount(), 4,
                                  10000); // the two file dialogs, the window twice
        QTRY_COMPARE(rig.m.PendingFileAction, uint8_t(0));
        const QStringList expected{"Param. Peso", "Parametro di filtro peso | 7 | 5"};
        QCOMPARE(first, expected);
        QCOMPARE(second, expected);
        QVERIFY2(printed.contains(QStringLiteral("      Param. Peso")), qPrintable(printed.join('\n')));
        QVERIFY2(printed.contains(QStringLiteral("      Parametro di filtro peso") + QString(27, ' ') +
                                  QStringLiteral("7               5")),
                 qPrintable(printed.join('\n')));
        QVERIFY(printed.contains(QStringLiteral("      Parametri diversi: 1")));
        // Closed: nothing written.
        for (const QByteArray& f : rig.sim.frames()) {
            QVERIFY2(f.mid(3, 2) != "10" || f.mid(3, 6) == "101100", f.constData());
        }
        QCOMPARE(rig.instrument->holding(0x1100), quint16(7));
    }

    // The user leaves the screen while the compare's full read is on the wire: no message, no dialog,
    // the loop ends through the exit procedure.
    void leavingDuringTheRead() {
        MainRig rig(1, 1);
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Set1)->text(), QStringLiteral("   1000"), 5000);
        connect(&rig.sim, &Simulator::requestReceived, rig.form.get(), [&](int, const QByteArray& frame) {
            if (frame.mid(3, 6) == "031100") {
                rig.form->Esc_Click();
            }
        });
        QVERIFY(Choose(rig.form->Conf));
        QTRY_VERIFY_WITH_TIMEOUT(rig.loop.done(), 10000);
        QCOMPARE(rig.prompter.MessageCount(), 0);
        QCOMPARE(rig.prompter.FileDialogCount() + rig.prompter.DialogCount(), 1); // the exit question
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void silentInstrumentNothingCompared() {
        MainRig rig(1, 1);
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Set1)->text(), QStringLiteral("   1000"), 5000);
        rig.sim.setLineSilent(true);
        QVERIFY(Choose(rig.form->Conf));
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.MessageCount(), 1, 10000);
        QCOMPARE(rig.prompter.records.first().text,
                 QStringLiteral("Communication error !\nImpossible to compare !\nValues not read from the "
                                "instrument: Weight constants, Operating mode, Division, Weight parameters, "
                                "Outputs, Serial port, Analog output"));
        QCOMPARE(rig.prompter.DialogCount(), 0);
        QTRY_VERIFY(QApplication::overrideCursor() == nullptr);
    }
};

QTEST_MAIN(TestCompareScreen)
#include "test_compare_screen.moc"
