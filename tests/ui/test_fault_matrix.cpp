// The start-up screen against the quartel-sim process, one fault at a time on the VXB at address 2 of
// a line that also holds a VXA at address 1: the sound instrument keeps its weight, the faulty one
// shows its error text once its count of failed polls is reached (or keeps its weight when the fault
// is one the link copes with), it recovers once the fault is lifted, and no file is written meanwhile.

#include "uitestsupport.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>

using namespace uitest;

namespace {

// What the faulty instrument shows once its count of failed polls could be reached.
enum Shown { Error, Weight, Either };

// Every file below `dir` with its size and time of last change.
QStringList Snapshot(const QString& dir) {
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        files << QStringLiteral("%1 %2 %3")
                     .arg(info.fileName())
                     .arg(info.size())
                     .arg(info.lastModified().toMSecsSinceEpoch());
    }
    files.sort();
    return files;
}

} // namespace

class TestFaultMatrix : public QObject {
    Q_OBJECT
private slots:
    void oneFaultyInstrument_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("shown");
        QTest::newRow("silent") << "silent" << int(Error);
        // A reply later than the time-out is dropped when the next request goes out, or taken by a
        // later request of the same kind to the same instrument, whose prefix and LRC it fits (the line
        // carries no transaction numbers): the instrument shows a weight some polls and fails others.
        QTest::newRow("late beyond the time-out") << "late=300" << int(Either);
        QTest::newRow("wrong LRC") << "wrong-lrc" << int(Error);
        QTest::newRow("lower-case reply") << "lower-case" << int(Error);
        QTest::newRow("lower-case LRC") << "lower-lrc" << int(Error);
        QTest::newRow("exception") << "exception=4" << int(Error);
        QTest::newRow("echo of the request") << "echo" << int(Error);
        QTest::newRow("cut reply") << "cut=7" << int(Error);
        QTest::newRow("CR in the data") << "cr-in-data" << int(Error);
        // Faults the link copes with: the reply is still taken.
        QTest::newRow("noise before the frame") << "noise=\\n\\x7fxx" << int(Weight);
        QTest::newRow("split reply") << "split=3/20" << int(Weight);
        QTest::newRow("late within the time-out") << "late=30" << int(Weight);
    }
    void oneFaultyInstrument() {
        QFETCH(QString, fault);
        QFETCH(int, shown);
        QProcess sim;
        sim.start(QStringLiteral(QUARTEL_SIM_EXE),
                  {"--vxa", "1", "--vxb", "2", "--fault", "2:" + fault, "--commands"});
        QVERIFY(sim.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000));
        const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath("prog.ini"), ProgIni()));
        QVERIFY(WriteFile(dir.filePath("Strum.ini"), StrumIni({1, 2})));
        const QStringList files = Snapshot(dir.path());
        Modulo1 m;
        ScriptedPrompter prompter;
        Form2 form(ScreenContext{m, prompter, dir.path(), device});
        form.LoadStartScreen();
        form.show();
        auto outcome = std::make_shared<std::optional<StartScreenOutcome>>();
        [](Form2* f, std::shared_ptr<std::optional<StartScreenOutcome>> out) -> QCoro::Task<> {
            *out = co_await f->ActivateStartScreen();
        }(&form, outcome);

        const QString error = QStringLiteral(" ERRORE"); // the Italian screen's error text
        const auto sound = [&form, error] {
            return !form.Peso[1]->text().isEmpty() && form.Peso[1]->text() != error;
        };
        const auto waitPasses = [&form](int passes) {
            const quint64 target = form.PassCount() + quint64(passes);
            return WaitUntil([&] { return form.PassCount() >= target; }, 20000);
        };
        QVERIFY(waitPasses(Form2::ErrorThreshold + 2));
        const QString soundWeight = form.Peso[1]->text();
        QVERIFY(sound());
        if (shown == Error) {
            QCOMPARE(form.Peso[2]->text(), error);
            QVERIFY(m.ErrorCount[2] >= Form2::ErrorThreshold);
        } else if (shown == Weight) {
            QVERIFY(!form.Peso[2]->text().isEmpty() && form.Peso[2]->text() != error);
            QCOMPARE(m.ErrorCount[2], uint8_t(0));
        }

        sim.write("fault 2:none\n");
        QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000));
        QCOMPARE(sim.readLine(), QByteArray("ok\n"));
        QVERIFY(waitPasses(3));
        QVERIFY(!form.Peso[2]->text().isEmpty() && form.Peso[2]->text() != error);
        QCOMPARE(m.ErrorCount[2], uint8_t(0));
        QCOMPARE(form.Peso[1]->text(), soundWeight);
        QCOMPARE(Snapshot(dir.path()), files);

        form.Command1_Click(); // Quit
        QVERIFY(WaitUntil([&] { return outcome->has_value(); }, 5000));
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "test_fault_matrix.moc"
