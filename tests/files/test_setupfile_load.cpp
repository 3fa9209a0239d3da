// Loading and saving setup files against a simulated instrument over a pseudo-terminal, without a
// screen: the group writes on the wire in the order of the file, what the instrument holds afterwards,
// a group that fails, the files that are refused before any field changes, offline editing, and the
// save's failures.

#include "configrig.h"
#include "scriptedfileactions.h"
#include "setupfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace setupfile;

namespace {

// A configuration different from the simulator's defaults in every group.
const QStringList LoadedValues = {
    "   1000", "   3000", "  20000", " 2.5000", "  15000", "    100", "2",  "10", "7",      "3",
    "1.5",     "1",       "150",     "2",       "1",       "0",       "1",  "4",  "10",     "20",
    "1",       "0",       "1",       "0",       "6",       "30",      "40", "2",  "5",      "1",
    "12",      "7",       "0",       "9",       "2",       "  10000", "1",  "2",  "    200"};

QByteArray SetupBytes(const QStringList& values) {
    QByteArray out;
    for (int i = 0; i < values.size(); ++i) {
        out += "key " + QByteArray::number(i + 1) + " = \t" + values[i].toLatin1() + "\r\n";
    }
    return out;
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every field as text (list fields as their index), to compare before and after.
QStringList Snapshot(const ParameterSet& set) {
    QStringList out;
    for (const ParameterDef& p : Parameters()) {
        out << (p.kind == FieldKind::Text ? set.text(p.field) : QString::number(set.index(p.field)));
    }
    return out;
}

// Function and register of each request: "101000", "031050", ...
QList<QByteArray> Tags(const QList<QByteArray>& frames) {
    QList<QByteArray> tags;
    for (const QByteArray& f : frames) {
        tags << f.mid(3, 6);
    }
    return tags;
}

struct FileRig : rig::Rig {
    ScriptedFileActions actions;
    SetupFiles files{*session, *writer, *reader, actions};
    QTemporaryDir dir;
    explicit FileRig(int model) : rig::Rig(model) { m.LanguageIndex = 1; }
    QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    SetupFiles::LoadReport Load(const QString& path) {
        SetupFiles::LoadReport report;
        [[maybe_unused]] const bool ended =
            Run([&]() -> QCoro::Task<> { report = co_await files.Load(path); });
        return report;
    }
};

} // namespace

class TestSetupFileLoad : public QObject {
    Q_OBJECT
private slots:
    void loadWritesGroupsInOrder_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("modSer");
        QTest::addColumn<quint16>("modSerRegister");
        QTest::newRow("model 1") << 1 << "5" << quint16(5);
        QTest::newRow("model 2, outputs and analog included") << 2 << "1" << quint16(1);
    }
    void loadWritesGroupsInOrder() {
        QFETCH(int, model);
        QFETCH(QString, modSer);
        FileRig r(model);
        QVERIFY(r.Open());
        QStringList values = LoadedValues;
        values[28] = modSer;
        QVERIFY(Write(r.Path("a.stp"), SetupBytes(values)));
        QVERIFY(Write(r.Path("a.typ"), "Select Instrument = \t" + QByteArray::number(model) + "\r\n"));
        // The analog output's trimming, which the file does not hold.
        if (model == 1) {
            r.inst->setHolding(0x1050, 15);
            r.inst->setHolding(0x4003, 123);
            r.inst->setHolding(0x4004, 65500);
        }

        const SetupFiles::LoadReport report = r.Load(r.Path("a.stp"));
        QCOMPARE(int(report.outcome), int(SetupFiles::LoadOutcome::Loaded));
        QVERIFY2(r.actions.messages.isEmpty(), qPrintable(r.actions.messages.value(0).text));
        // A VXA's analog block first (its trimming is written back as it is), then the constants, mode,
        // division, its read-back, set points, weight parameters, outputs, serial (after the normal
        // mode), analog (after the normal mode).
        QList<QByteArray> wire = {"101000", "061010", "061050", "031050", "100110", "101100",
                                  "102000", "060802", "103000", "060802", "104000"};
        if (model == 1) {
            // Only its offsets are taken, whatever the division code says (15: none in the table).
            wire = QList<QByteArray>{"034000"} + wire;
        }
        QCOMPARE(Tags(r.Wire()), wire);
        QCOMPARE(report.groups.size(), GroupCount);
        for (const SetupFiles::GroupResult& g : report.groups) {
            QVERIFY(g.confirmed);
        }
        // What the instrument holds now.
        SimInstrument* i = r.inst;
        const QList<std::pair<quint16, quint16>> held = {
            {0x1000, 0},     {0x1001, 20000}, {0x1002, 25000}, {0x1003, 0},
            {0x1004, 15000}, {0x1005, 0},     {0x1006, 100},   {0x1050, 10},
            {0x0110, 500},   {0x0111, 1500},  {0x1100, 7},     {0x1101, 3},
            {0x1102, 15},    {0x1103, 1},     {0x3000, 2},     {0x3001, quint16(modSer.toInt())},
            {0x3002, 1},     {0x3003, 12}};
        for (auto [reg, value] : held) {
            QVERIFY2(i->holding(reg) == value, qPrintable(QStringLiteral("register %1: %2, expected %3")
                                                              .arg(reg, 4, 16, QLatin1Char('0'))
                                                              .arg(i->holding(reg))
                                                              .arg(value)));
        }
        if (model == 1) {
            const QList<std::pair<quint16, quint16>> vxa = {
                {0x1010, 2},  {0x1104, 150}, {0x2000, 22},  {0x2001, 4},   {0x2002, 10},
                {0x2003, 20}, {0x2004, 9},   {0x2005, 6},   {0x2006, 30},  {0x2007, 40},
                {0x3004, 7},  {0x3005, 0},   {0x3006, 9},   {0x3007, 2},   {0x4000, 5000},
                {0x4001, 1},  {0x4002, 2},   {0x4005, 100}, {0x4003, 123}, {0x4004, 65500}};
            for (auto [reg, value] : vxa) {
                QVERIFY2(i->holding(reg) == value,
                         qPrintable(QStringLiteral("register %1").arg(reg, 4, 16, QLatin1Char('0'))));
            }
        } else {
            // The second model's blocks are four registers: the zero band and Com2 stay as they were.
            QCOMPARE(i->holding(0x1104), quint16(100));
            QCOMPARE(i->holding(0x3004), quint16(6));
        }
    }

    void failingOperatingModeWrite() {
        FileRig r(1);
        QVERIFY(r.Open());
        QVERIFY(Write(r.Path("a.stp"), SetupBytes(LoadedValues)));
        // The operating-mode write is answered with an exception five times, then the line is good again.
        int modeWrites = 0;
        connect(&r.sim, &Simulator::requestReceived, &r.sim, [&](int, const QByteArray& frame) {
            if (frame.mid(3, 6) == "101000") {
                r.sim.setFault(1, SimFault::exception(4));
            } else if (frame.mid(3, 6) == "061010" && ++modeWrites == 5) {
                r.sim.clearFaults();
            }
        });
        const SetupFiles::LoadReport report = r.Load(r.Path("a.stp"));
        QCOMPARE(int(report.outcome), int(SetupFiles::LoadOutcome::Loaded));
        QCOMPARE(modeWrites, 5);
        QCOMPARE(r.actions.messages.size(), 1);
        QCOMPARE(r.actions.messages[0].title, QStringLiteral("Pesometra"));
        QCOMPARE(r.actions.messages[0].text,
                 QStringLiteral("An error occurs during the writing of operating mode"));
        QCOMPARE(int(r.actions.messages[0].icon), int(FileActions::Icon::None));
        QList<GroupId> failed;
        for (const auto& g : report.groups) {
            if (!g.confirmed) {
                failed << g.group;
            }
        }
        QCOMPARE(failed, QList<GroupId>{GroupId::OperatingMode});
        // The loading went on: division, set points and the rest reached the instrument; the failed
        // write is not sent again.
        QCOMPARE(r.inst->holding(0x1050), quint16(10));
        QCOMPARE(r.inst->holding(0x0110), quint16(500));
        QCOMPARE(r.inst->holding(0x4005), quint16(100));
        QCOMPARE(r.m.PendingWriteA, QByteArray());
        QVERIFY(!r.m.WritePending);
    }

    void handlerReplacesTheGroupOnTheWire() {
        // While the constants write waits in vain for its echo, the user sends the set points: the queue
        // drops the constants for the newer request, whose echo must not pass for the constants'.
        FileRig r(1);
        QVERIFY(r.Open());
        QVERIFY(Write(r.Path("a.stp"), SetupBytes(LoadedValues)));
        r.m.TabRead[6] = 1; // the analog tab has been read: no read before the writes
        r.sim.setFault(1, SimFault::mute());
        bool clicked = false;
        connect(&r.sim, &Simulator::requestReceived, &r.sim, [&](int, const QByteArray& frame) {
            if (frame.mid(3, 6) == "101000" && !clicked) {
                clicked = true;
                r.writer->Command17_Click();
                r.sim.clearFaults();
            }
        });
        const SetupFiles::LoadReport report = r.Load(r.Path("a.stp"));
        QVERIFY(clicked);
        QVERIFY(!report.groups.first().confirmed);
        QCOMPARE(r.actions.messages.size(), 1);
        QCOMPARE(r.actions.messages[0].text,
                 QStringLiteral("An error occurs during the writing of Parameters"));
        QCOMPARE(Tags(r.Wire()).mid(0, 3), (QList<QByteArray>{"101000", "100110", "061010"}));
    }

    void unreadTrimmingIsNotOverwritten() {
        // The analog block cannot be read before the writes: the analog group is not written (its
        // trimming would go out as zero) and its message shows.
        FileRig r(1);
        QVERIFY(r.Open());
        QVERIFY(Write(r.Path("a.stp"), SetupBytes(LoadedValues)));
        r.sim.setFault(1, SimFault::mute());
        const SetupFiles::LoadReport report = r.Load(r.Path("a.stp"));
        QVERIFY(!Tags(r.Wire()).contains("104000"));
        QCOMPARE(Tags(r.Wire()).mid(0, ConfigReader::ReadAllAttempts),
                 QList<QByteArray>(ConfigReader::ReadAllAttempts, "034000"));
        QVERIFY(!report.groups.last().confirmed);
        QCOMPARE(r.actions.messages.last().text,
                 QStringLiteral("An error occurs during the writing of analog output configuration"));
    }

    void refusedGroupGoesOn() {
        // Constants the group's check refuses (capacity above 500000): its message, nothing queued for
        // it, no wait, and the other groups still go out.
        FileRig r(1);
        QVERIFY(r.Open());
        QStringList values = LoadedValues;
        values[2] = "600000";
        QVERIFY(Write(r.Path("a.stp"), SetupBytes(values)));
        r.m.TabRead[6] = 1; // the analog tab has been read: no read before the writes
        const SetupFiles::LoadReport report = r.Load(r.Path("a.stp"));
        QCOMPARE(r.actions.messages.size(), 1);
        QCOMPARE(r.actions.messages[0].text,
                 QStringLiteral("An error occurs during the writing of Parameters"));
        QCOMPARE(Tags(r.Wire()).first(), QByteArray("061010"));
        QVERIFY(!report.groups.first().confirmed);
        QCOMPARE(report.groups.size(), GroupCount);
    }

    void refusedFilesChangeNothing_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QByteArray>("setup");     // empty: no setup file
        QTest::addColumn<QByteArray>("modelFile"); // "none": no model file
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message"); // its start
        const QByteArray good = SetupBytes(LoadedValues);
        QByteArray big = good + QByteArray(MaxFileBytes + 1 - good.size(), ' ');
        using O = SetupFiles::LoadOutcome;
        QTest::newRow("65001 bytes, refused before the model check")
            << 1 << big << QByteArray("x = \t2") << int(O::TooLong) << "The file is too long to be open.";
        QTest::newRow("model file names model 2") << 1 << good << QByteArray("Select Instrument = \t2\r\n")
                                                  << int(O::ModelMismatch) << "The file: ";
        QTest::newRow("empty model file")
            << 1 << good << QByteArray() << int(O::ModelMismatch) << "The file: ";
        QTest::newRow("model file without a number")
            << 1 << good << QByteArray("x = \tVXA\r\n") << int(O::ModelMismatch) << "The file: ";
        QTest::newRow("no model file on model 2")
            << 2 << good << QByteArray("none") << int(O::ModelMismatch) << "The file: ";
        QTest::newRow("setup file cannot be opened")
            << 1 << QByteArray() << QByteArray("none") << int(O::CannotOpen) << "Impossible to open file: ";
        QTest::newRow("38 lines") << 1 << SetupBytes(LoadedValues.mid(0, 38)) << QByteArray("none")
                                  << int(O::Incomplete) << "The file: ";
        // Not the program's own kind of text: refused before anything is sent.
        const QString text = QString::fromLatin1(good);
        QStringEncoder le(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        QStringEncoder leNoBom(QStringConverter::Utf16LE);
        const QString notText =
            "is not a setup file (it holds characters that are no text, e.g. Unicode UTF-16): "
            "no value was loaded";
        QTest::newRow("UTF-16 with BOM")
            << 1 << QByteArray(le.encode(text)) << QByteArray("none") << int(O::Refused) << notText;
        QTest::newRow("UTF-16 without BOM") << 2 << QByteArray(leNoBom.encode(text))
                                            << QByteArray("x = \t2\r\n") << int(O::Refused) << notText;
        QStringList nul = LoadedValues;
        nul[20] = QStringLiteral("1") + QChar(0);
        QTest::newRow("a NUL byte in one value")
            << 1 << SetupBytes(nul) << QByteArray("none") << int(O::Refused) << notText;
        QStringList abc = LoadedValues;
        abc[4] = QStringLiteral("abc");
        QTest::newRow("abc in a numeric line")
            << 1 << SetupBytes(abc) << QByteArray("none") << int(O::Refused)
            << ", line 5 (Net weight (value)): the value \"abc\" is not a number: no value was loaded";
        QStringList typo = LoadedValues;
        typo[38] = QStringLiteral("2OO");
        QTest::newRow("a typo in the last line, model 2")
            << 2 << SetupBytes(typo) << QByteArray("x = \t2\r\n") << int(O::Refused)
            << ", line 39 (No load zero input value): the value \"2OO\" is not a number: no value was loaded";
        QStringList wrap = LoadedValues; // judged at the file's own division, 0.001
        wrap[7] = "0";
        wrap[0] = "1000.00";
        QTest::newRow("1000.00 at 0.001")
            << 1 << SetupBytes(wrap) << QByteArray("none") << int(O::Refused)
            << ", line 1 (Setpoint 1 value): the value \"1000.00\" cannot be held "
               "at the file's division (at most 65.535): no value was loaded";
    }
    void refusedFilesChangeNothing() {
        QFETCH(int, model);
        QFETCH(QByteArray, setup);
        QFETCH(QByteArray, modelFile);
        QFETCH(QString, message);
        FileRig r(model);
        QVERIFY(r.Open());
        if (!setup.isEmpty()) {
            QVERIFY(Write(r.Path("a.stp"), setup));
        }
        if (modelFile != "none") {
            QVERIFY(Write(r.Path("a.typ"), modelFile));
        }
        const QStringList before = Snapshot(*r.set);
        QSignalSpy changes(r.set.get(), &ParameterSet::changed);
        const SetupFiles::LoadReport report = r.Load(r.Path("a.stp"));
        QTEST(int(report.outcome), "outcome");
        QCOMPARE(r.actions.messages.size(), 1);
        QVERIFY2(r.actions.messages[0].text.contains(message), qPrintable(r.actions.messages[0].text));
        QCOMPARE(Snapshot(*r.set), before);
        QCOMPARE(changes.size(), 0);
        QVERIFY(r.Wire().isEmpty());
    }

    // Every file the program writes loads, and so does the same file re-encoded as UTF-8 with a
    // byte-order mark (the keys are not read; the values are plain digits).
    void ownFilesLoad_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("utf8");
        for (const bool utf8 : {false, true}) {
            const char* tag = utf8 ? ", UTF-8 with BOM" : "";
            QTest::addRow("vxa_en%s", tag) << "vxa_en" << 1 << utf8;
            QTest::addRow("vxa_it%s", tag) << "vxa_it" << 1 << utf8;
            QTest::addRow("vxb_en_continuous%s", tag) << "vxb_en_continuous" << 2 << utf8;
            QTest::addRow("vxb_it_modbus%s", tag) << "vxb_it_modbus" << 2 << utf8;
        }
    }
    void ownFilesLoad() {
        QFETCH(QString, name);
        QFETCH(int, model);
        QFETCH(bool, utf8);
        FileRig r(model);
        r.m.OfflineEdit = true;
        QFile in(QStringLiteral(FILES_DATA_DIR "/") + name + ".stp");
        QVERIFY(in.open(QIODevice::ReadOnly));
        QByteArray bytes = in.readAll();
        if (utf8) {
            bytes = "\xEF\xBB\xBF" + DecodeCp1252(bytes).toUtf8();
        }
        QVERIFY(Write(r.Path("a.stp"), bytes));
        QVERIFY(QFile::copy(QStringLiteral(FILES_DATA_DIR "/") + name + ".typ", r.Path("a.typ")));
        const SetupFiles::LoadReport report = r.Load(r.Path("a.stp"));
        QCOMPARE(int(report.outcome), int(SetupFiles::LoadOutcome::Loaded));
        QVERIFY2(r.actions.messages.isEmpty(), qPrintable(r.actions.messages.value(0).text));
        // Saved again, the file is the reference byte for byte (keys in the reference's language).
        r.m.LanguageIndex = name.contains("_en") ? 1 : 0;
        in.seek(0);
        QCOMPARE(BuildSetupFile(*r.set, r.m.LanguageIndex, model), in.readAll());
    }

    void offlineLoadAndSave_data() {
        QTest::addColumn<QByteArray>("modelFile");
        QTest::addColumn<int>("padding"); // blanks added at the end of the file
        QTest::newRow("no model file is model 1") << QByteArray("none") << 0;
        QTest::newRow("65000 bytes load") << QByteArray("Select Instrument = \t1\r\n") << -1;
    }
    void offlineLoadAndSave() {
        QFETCH(QByteArray, modelFile);
        QFETCH(int, padding);
        FileRig r(1);
        QVERIFY(r.Open());
        r.m.OfflineEdit = true;
        QByteArray bytes = SetupBytes(LoadedValues);
        if (padding < 0) {
            bytes += QByteArray(MaxFileBytes - bytes.size(), ' ');
            QCOMPARE(bytes.size(), MaxFileBytes);
        }
        QVERIFY(Write(r.Path("a.stp"), bytes));
        if (modelFile != "none") {
            QVERIFY(Write(r.Path("a.typ"), modelFile));
        }
        QSignalSpy changes(r.set.get(), &ParameterSet::changed);
        const SetupFiles::LoadReport report = r.Load(r.Path("a.stp"));
        QCOMPARE(int(report.outcome), int(SetupFiles::LoadOutcome::Loaded));
        QCOMPARE(changes.size(), LineCount); // every field, as an edit would
        QCOMPARE(r.set->text(Field::Capac), QStringLiteral("  20000"));
        QCOMPARE(r.set->index(Field::ValDiv), 10);
        QVERIFY(report.groups.isEmpty());
        QVERIFY(r.Wire().isEmpty()); // loading sent nothing
        // Offline editing shows no marker.
        for (int g = 0; g < GroupCount; ++g) {
            QVERIFY(!r.marks.Marker(GroupId(g)));
        }

        // Saving takes the fields as they are: no read.
        r.actions.saveAnswers << r.Path("b.stp");
        SetupFiles::SaveOutcome saved{};
        QVERIFY(r.Run([&]() -> QCoro::Task<> { saved = co_await r.files.Save(); }));
        QCOMPARE(int(saved), int(SetupFiles::SaveOutcome::Saved));
        QCOMPARE(r.actions.proposed, QStringList{QStringLiteral("File_Setup1")});
        QVERIFY(r.Wire().isEmpty());
        QFile b(r.Path("b.stp"));
        QVERIFY(b.open(QIODevice::ReadOnly));
        QCOMPARE(ParseSetupFile(b.readAll()).values, LoadedValues);
    }

    void cancelledDialogsDoNothingFurther() {
        FileRig r(1);
        QVERIFY(r.Open());
        const QStringList before = Snapshot(*r.set);
        SetupFiles::LoadReport loaded;
        QVERIFY(r.Run([&]() -> QCoro::Task<> { loaded = co_await r.files.FOpenProc(); }));
        QCOMPARE(int(loaded.outcome), int(SetupFiles::LoadOutcome::Cancelled));
        QCOMPARE(Snapshot(*r.set), before);
        QVERIFY(r.Wire().isEmpty());
        // The on-line save has read the configuration again before its dialog was cancelled.
        SetupFiles::SaveOutcome saved{};
        QVERIFY(r.Run([&]() -> QCoro::Task<> { saved = co_await r.files.Save(); }));
        QCOMPARE(int(saved), int(SetupFiles::SaveOutcome::Cancelled));
        QCOMPARE(r.actions.dialogs, 2);
        QVERIFY(r.actions.messages.isEmpty());
        QVERIFY(r.m.ReadAllOk);
        QVERIFY(Tags(r.Wire()).contains("034000"));
        QVERIFY(QDir(r.dir.path()).entryList(QDir::Files).isEmpty());
        QVERIFY(!r.actions.busy);
    }

    void roundTripInTheOtherLanguage() {
        // Leading blanks survive saving and loading, and English keys load in Italian.
        FileRig r(1);
        r.m.OfflineEdit = true;
        QVERIFY(rig::Apply(*r.set, {"Set1=  12", "Capac=     7", "Filtro= 3", "Iste2=   1", "RifZero=  0",
                                    "Baud#-1", "ModSer#6", "BRCom2#2"}));
        const QStringList saved = Snapshot(*r.set);
        bool ok = false;
        QVERIFY(r.Run([&]() -> QCoro::Task<> { ok = co_await r.files.SaveFileAs(r.Path("en.stp")); }));
        QVERIFY(ok);
        r.set->reset();
        QVERIFY(Snapshot(*r.set) != saved);
        r.m.LanguageIndex = 0;
        r.Load(r.Path("en.stp"));
        QCOMPARE(Snapshot(*r.set), saved);
        QVERIFY(r.actions.messages.isEmpty());
    }

    void saveFailureNamesThePath_data() {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("read-only folder") << true;
        QTest::newRow("folder that is gone") << false;
    }
    void saveFailureNamesThePath() {
        QFETCH(bool, readOnly);
        FileRig r(1);
        r.m.OfflineEdit = true;
        const QString sub = r.Path("ro");
        if (readOnly) {
            QVERIFY(QDir().mkdir(sub));
            QVERIFY(QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner));
            if (QFileInfo(sub).isWritable()) {
                QSKIP("running with rights that write into a read-only folder");
            }
        }
        r.actions.saveAnswers << sub + QStringLiteral("/a.stp");
        SetupFiles::SaveOutcome saved{};
        QVERIFY(r.Run([&]() -> QCoro::Task<> { saved = co_await r.files.Save(); }));
        QCOMPARE(int(saved), int(SetupFiles::SaveOutcome::WriteFailed));
        QCOMPARE(r.actions.messages.size(), 1);
        QCOMPARE(r.actions.messages[0].title, QStringLiteral("Attention !!"));
        QCOMPARE(r.actions.messages[0].text, QStringLiteral("Impossible to save file: ") +
                                                 QDir::toNativeSeparators(sub + QStringLiteral("/a.typ")));
        QVERIFY(!r.actions.busy);
        QVERIFY(QDir(sub).entryList(QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSetupFileLoad)
#include "test_setupfile_load.moc"
