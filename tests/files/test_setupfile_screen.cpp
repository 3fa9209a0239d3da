// Setup files from the main setup screen's menu against the simulator over a pseudo-terminal: the
// on-line save after the full read gives the reference files byte for byte, a silent instrument gives
// the save-failure message and no dialog, a load through the menu fills the screen and writes the
// instrument, and offline editing loads and saves without a word on the line.

#include "../support/setupbytes.h"
#include "filemenu.h"
#include "mainrig.h"
#include "setupfile.h"

#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

using filemenu::Choose;

} // namespace

class TestSetupFileScreen : public QObject {
    Q_OBJECT
private slots:
    void init() { QApplication::restoreOverrideCursor(); }

    void onlineSaveGivesTheReference_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("language");
        QTest::addColumn<quint16>("modSer");
        QTest::addColumn<QString>("reference");
        QTest::newRow("model 1 English") << 1 << 1 << quint16(5) << "vxa_en";
        QTest::newRow("model 1 Italian") << 1 << 0 << quint16(5) << "vxa_it";
        QTest::newRow("model 2 English, ModSer 1") << 2 << 1 << quint16(1) << "vxb_en_continuous";
        QTest::newRow("model 2 Italian, ModSer 5") << 2 << 0 << quint16(5) << "vxb_it_modbus";
    }
    void onlineSaveGivesTheReference() {
        QFETCH(int, model);
        QFETCH(int, language);
        QFETCH(quint16, modSer);
        QFETCH(QString, reference);
        MainRig rig(model, language);
        rig.m.InstrumentMenuCaption = language == 1 ? "Select Instrument" : "Selezione Strumento";
        // The instrument's own values where they differ from its defaults.
        rig.instrument->setHolding(0x1102, 7);
        rig.instrument->setHolding(0x3001, modSer);
        if (model == 1) {
            rig.instrument->setHolding(0x2000, 0x001D);
            rig.instrument->setHolding(0x2004, 0x0002);
            rig.instrument->setHolding(0x4001, 2);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.stp"));
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Set1)->text(), QStringLiteral("   1000"), 5000);

        rig.prompter.QueueDialogScript(Choose(path));
        QVERIFY(Choose(rig.form->Sal));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 10000);
        QTRY_VERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rig.prompter.DialogCount(), 1);
        QCOMPARE(rig.prompter.MessageCount(), 0);
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("a.typ"))),
                 ReadAll(QStringLiteral(FILES_DATA_DIR "/") + reference + ".typ"));
        QCOMPARE(ReadAll(path), ReadAll(QStringLiteral(FILES_DATA_DIR "/") + reference + ".stp"));
    }

    void silentInstrumentNothingSaved() {
        MainRig rig(1, 0);
        QTemporaryDir dir;
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Set1)->text(), QStringLiteral("   1000"), 5000);
        rig.sim.setLineSilent(true);
        QVERIFY(Choose(rig.form->Sal));
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.MessageCount(), 1, 10000);
        const ScriptedPrompter::Record& shown = rig.prompter.records.first();
        QCOMPARE(shown.title, QStringLiteral("Attenzione !!"));
        // The groups the instrument did not give are named: every one it has, tab 0 included, and the
        // division read with it (the one read before the line went silent does not count).
        QCOMPARE(
            shown.text,
            QStringLiteral(
                "Errore di comunicazione con lo Strumento !\nOperazione di salvataggio impossibile !\n"
                "Dati non letti dallo strumento: Costanti Peso, Modo di funzionamento, Valore divisione, "
                "Parametri peso, Configurazione uscite, Porta seriale, Uscita analogica"));
        QCOMPARE(int(shown.icon), int(MessageIcon::Exclamation));
        QCOMPARE(rig.prompter.DialogCount(), 0);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
        QTRY_VERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rig.m.PendingFileAction, uint8_t(0));
    }

    void loadThroughTheMenu() {
        MainRig rig(1, 1);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("b.stp"));
        QVERIFY(Write(path, SetupBytes(LoadedValues)));
        QVERIFY(Write(dir.filePath(QStringLiteral("b.typ")), "Selezione Strumento = \t1\r\n"));
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Set1)->text(), QStringLiteral("   1000"), 5000);
        rig.Get<QLineEdit>("Capac")->setFocus(); // somewhere else than Set1
        rig.sim.clearRequests();
        rig.prompter.QueueDialogScript(Choose(path));
        QVERIFY(Choose(rig.form->Ap));
        QTRY_COMPARE_WITH_TIMEOUT(rig.instrument->holding(0x4005), quint16(100), 10000);
        QTRY_COMPARE(rig.m.PendingFileAction, uint8_t(0));
        QTRY_VERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(rig.prompter.MessageCount(), 0);
        // The screen shows the file's values; the instrument holds them.
        QCOMPARE(rig.Edit(Field::Capac)->text(), QStringLiteral("  20000"));
        QCOMPARE(rig.Edit(Field::Autozero)->text(), QStringLiteral("1.5"));
        QCOMPARE(rig.List(Field::ValDiv)->currentIndex(), 10);
        QCOMPARE(rig.List(Field::NeLor1)->currentIndex(), 2);
        QCOMPARE(rig.instrument->holding(0x1001), quint16(20000));
        QCOMPARE(rig.instrument->holding(0x2000), quint16(22));
        // Every group was confirmed: no marker, no send button left on.
        for (int g = 0; g < GroupCount; ++g) {
            QVERIFY(!rig.form->Marks().Marker(GroupId(g)));
        }
        QTRY_VERIFY(rig.Edit(Field::Set1)->hasFocus());
        // The load's requests went out in the file's order, between two passes.
        QList<QByteArray> writes;
        for (const QByteArray& f : rig.sim.frames()) {
            if (f.mid(3, 2) != "03" && f.mid(3, 2) != "04" && f.mid(3, 2) != "07" && f.mid(3, 2) != "02" &&
                f.mid(3, 2) != "01") {
                writes << f.mid(3, 6);
            }
        }
        QCOMPARE(writes.mid(0, 10), (QList<QByteArray>{"101000", "061010", "061050", "100110", "101100",
                                                       "102000", "060802", "103000", "060802", "104000"}));
    }

    // A file that is not the program's own kind of text: a message naming why, nothing written, the
    // screen as it was.
    void refusedFileThroughTheMenu_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message"); // %1: the path
        const QString text = QString::fromLatin1(SetupBytes(LoadedValues));
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        QTest::newRow("UTF-16, Italian")
            << 0 << QByteArray(utf16.encode(text))
            << QStringLiteral(
                   "Il file : %1 non è un file di impostazioni (contiene caratteri che non sono testo, "
                   "ad esempio Unicode UTF-16): nessun valore è stato caricato");
        QStringList abc = LoadedValues;
        abc[1] = QStringLiteral("abc");
        QTest::newRow("abc, Italian")
            << 0 << SetupBytes(abc)
            << QStringLiteral("Il file : %1, riga 2 (Valore Setpoint 2): il valore \"abc\" "
                              "non è un numero: nessun valore è stato caricato");
        QTest::newRow("abc, English")
            << 1 << SetupBytes(abc)
            << QStringLiteral("The file: %1, line 2 (Setpoint 2 value): the value \"abc\" "
                              "is not a number: no value was loaded");
    }
    void refusedFileThroughTheMenu() {
        QFETCH(int, language);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        MainRig rig(1, language);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("b.stp"));
        QVERIFY(Write(path, bytes));
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Set1)->text(), QStringLiteral("   1000"), 5000);
        const QString capac = rig.Edit(Field::Capac)->text();
        rig.sim.clearRequests();
        rig.prompter.QueueDialogScript(Choose(path));
        QVERIFY(Choose(rig.form->Ap));
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.MessageCount(), 1, 5000);
        QCOMPARE(rig.prompter.records.last().text, message.arg(QDir::toNativeSeparators(path)));
        QCOMPARE(rig.Edit(Field::Capac)->text(), capac);
        QTRY_COMPARE(rig.m.PendingFileAction, uint8_t(0));
        for (const QByteArray& f : rig.sim.frames()) {
            QVERIFY2(f.mid(3, 2) != "06" && f.mid(3, 2) != "10", f.constData());
        }
    }

    // The top address is the one the screen talks to, not a file's whose serial write did not go out.
    void addressAfterARefusedSerialWrite() {
        MainRig rig(1, 1);
        QTemporaryDir dir;
        QStringList values = LoadedValues;
        values[29] = "2";
        values[31] = "0"; // MODBUS with a 7-bit format: the serial check refuses it
        QVERIFY(Write(dir.filePath("b.stp"), SetupBytes(values)));
        rig.Run();
        rig.prompter.QueueDialogScript(Choose(dir.filePath("b.stp")));
        QVERIFY(Choose(rig.form->Ap));
        QTRY_COMPARE_WITH_TIMEOUT(rig.instrument->holding(0x4005), quint16(100), 10000);
        const quint64 passes = rig.form->PassCount() + 2;
        QTRY_VERIFY_WITH_TIMEOUT(rig.form->PassCount() >= passes, 5000);
        QCOMPARE(rig.Edit(Field::Indir)->text(), QStringLiteral("2"));
        QCOMPARE(rig.form->IndStr->text(), QStringLiteral("1"));
    }

    void leavingDuringALoad() {
        // The user leaves the screen while the load waits for an echo: the rest of the file is not
        // written, nothing crashes, the loop ends through the exit procedure.
        MainRig rig(1, 1);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("c.stp"));
        QVERIFY(Write(path, SetupBytes(LoadedValues)));
        rig.instrument->setHolding(0x1002, 20000);
        rig.Run();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::Set1)->text(), QStringLiteral("   1000"), 5000);
        connect(&rig.sim, &Simulator::requestReceived, rig.form.get(), [&](int, const QByteArray& frame) {
            if (frame.mid(3, 6) == "061050") {
                rig.form->Esc_Click();
            }
        });
        rig.prompter.QueueDialogScript(Choose(path));
        QVERIFY(Choose(rig.form->Ap));
        QTRY_VERIFY_WITH_TIMEOUT(rig.loop.done(), 10000);
        for (const QByteArray& f : rig.sim.frames()) {
            QVERIFY2(f.mid(3, 6) != "102000" && f.mid(3, 6) != "104000", f.constData());
        }
        QCOMPARE(rig.prompter.MessageCount(), 0);
    }

    void offlineLoadAndSave() {
        MainRig rig(1, 1);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("d.stp"));
        QVERIFY(Write(path, SetupBytes(LoadedValues)));
        rig.m.OfflineEdit = true;
        rig.Run();
        QTRY_VERIFY(rig.form->PassCount() > 0);
        rig.sim.clearRequests();
        rig.prompter.QueueDialogScript(Choose(path));
        QVERIFY(Choose(rig.form->Ap));
        QTRY_COMPARE_WITH_TIMEOUT(rig.Edit(Field::RifZero)->text(), QStringLiteral("    200"), 5000);
        QCOMPARE(rig.Edit(Field::Set2)->text(), QStringLiteral("   3000"));
        QCOMPARE(rig.List(Field::BRCom2)->currentIndex(), 2);
        // Nothing may be sent: the send buttons stay disabled.
        for (const char* send : {"Command12", "Command13", "Command14", "Command15", "Command16", "Command17",
                                 "Command26", "Command27"}) {
            QVERIFY2(!rig.Get<QPushButton>(send)->isEnabled(), send);
        }
        const QString saved = dir.filePath(QStringLiteral("e.stp"));
        rig.prompter.QueueDialogScript(Choose(saved));
        QVERIFY(Choose(rig.form->Sal));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(saved), 5000);
        QCOMPARE(setupfile::ParseSetupFile(ReadAll(saved)).values, LoadedValues);
        QVERIFY(rig.sim.frames().isEmpty());
        QCOMPARE(rig.prompter.MessageCount(), 0);
    }
};

QTEST_MAIN(TestSetupFileScreen)
#include "test_setupfile_screen.moc"
