// The setup commands as the simulated instrument carries them out, seen from the line: store, discard
// and restart, memory reset with its access code, zero and span, the test and trimming modes and the
// forced relay coils. Every step is a hand-written frame over the simulator's pseudo-terminal.

#include "lineclient.h"
#include "simulator.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

constexpr int RestartMs = 250;

// The instrument at 2 (a VXB) answers this while the one at 1 may not.
const QByteArray ProbeRequest = mbFrame("0207");
const QByteArray ProbeReply = mbFrame("020704");

} // namespace

class TestSimCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<LineClient> line;
    qint64 lastAnswerMs = 0;

    // Sends `request`, then the probe; true when only the probe was answered.
    bool unanswered(const QByteArray& request) {
        line->clear();
        line->send(request);
        line->send(ProbeRequest);
        return line->waitEndsWith(ProbeReply) && line->received == ProbeReply;
    }

    // Sends `request` until the instrument answers (each try waits for the probe behind it).
    QByteArray firstAnswer(const QByteArray& request, int timeoutMs = 3000) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            line->clear();
            line->send(request);
            line->send(ProbeRequest);
            if (!line->waitEndsWith(ProbeReply))
                return {};
            if (line->received != ProbeReply)
                return line->received.left(line->received.size() - ProbeReply.size());
            QTest::qWait(20); // the instrument is restarting: ask again a little later
        }
        return {};
    }

private slots:
    void init() {
        sim = std::make_unique<Simulator>();
        QVERIFY2(sim->open(), qPrintable(sim->errorString()));
        SimInstrument* vxa = sim->addInstrument(1, SimInstrument::VXA);
        QVERIFY(sim->addInstrument(2, SimInstrument::VXB));
        vxa->setWeight(-120, 300);
        vxa->setRelays(1);
        vxa->setRestartMs(RestartMs);
        line = std::make_unique<LineClient>();
        QVERIFY(line->open(sim->devicePath()));
    }

    void cleanup() {
        line.reset();
        sim.reset();
    }

    void setupCommands_data() {
        // Each step is "request > reply" (the reply must come at once), "request > -" (the instrument
        // is restarting and stays silent) or "request >> reply" (asked until it answers, which it does
        // only once its restart time has passed since the last answer). Requests and replies are
        // address + function + data; the frames add ":" and LRC and CR LF.
        QTest::addColumn<QStringList>("steps");

        const QString write1100 = QStringLiteral("010611000009 > 010611000009");
        QTest::newRow("store keeps the working values through a restart")
            << QStringList{write1100,
                           "010608000020 > 010608000020",
                           "010311000001 > 0103020009",
                           "010608000021 > 010608000021",
                           "0107 > -",
                           "010311000001 >> 0103020009"};
        QTest::newRow("discard restarts silently with the stored values")
            << QStringList{write1100,
                           "010311000001 > 0103020009",
                           "010608000021 > 010608000021",
                           "0107 > -",
                           "010311000001 > -",
                           "0107 >> 010705",
                           "010311000001 > 0103020005"};
        QTest::newRow("discard ends the modes and releases the coils") << QStringList{
            "010608020005 > 010608020005", "010F000000020103 > 010F00000002", "010100000002 > 01010103",
            "010608000021 > 010608000021", "010308020002 >> 01030400000000",  "010100000002 > 01010101"};
        QTest::newRow("memory reset with the right code: defaults, stored too")
            << QStringList{write1100,
                           "010611040007 > 010611040007",
                           "010608000020 > 010608000020",
                           "0110080000020400189F0E > 011008000002",
                           "0107 > -",
                           "010311000005 >> 01030A00050002000000020064",
                           "010330020001 > 0103020001", // the address is kept
                           "010608000021 > 010608000021",
                           "010311000001 >> 0103020005"};
        QTest::newRow("memory reset with the code already in 0x0801")
            << QStringList{write1100, "010608019F0E > 010608019F0E", "010608000018 > 010608000018",
                           "0107 > -", "010311000001 >> 0103020005"};
        for (const auto& [name, code] : {std::pair{"40717", "9F0D"}, {"40719", "9F0F"}, {"4071", "0FE7"}}) {
            QTest::addRow("memory reset with the wrong code %s does nothing", name) << QStringList{
                write1100, QStringLiteral("011008000002040018%1 > 011008000002").arg(QLatin1String(code)),
                "010311000001 > 0103020009", "010608000021 > 010608000021", "010311000001 >> 0103020005"};
        }
        QTest::newRow("zero clears net and gross")
            << QStringList{"0107 > 010705",
                           "010400000002 > 010404"
                           "0078012C",
                           "010608000010 > 010608000010", "010400000002 > 01040400000000", "0107 > 010704"};
        QTest::newRow("span puts the sample weight on the scale")
            << QStringList{"0106080101F4 > 0106080101F4", "010608000011 > 010608000011",
                           "010400000002 > 01040401F401F4", "0107 > 010704"};
        for (const int mode : {3, 4, 5, 6}) {
            const QString m = QString::number(mode).rightJustified(4, QLatin1Char('0'));
            QTest::addRow("mode %d entered and left", mode)
                << QStringList{QStringLiteral("01060802%1 > 01060802%1").arg(m),
                               QStringLiteral("010308020001 > 010302%1").arg(m),
                               "010608020000 > 010608020000", "010308020001 > 0103020000"};
        }
        for (const char* refused : {"0001", "0002", "0007", "FFFF"}) {
            QTest::addRow("mode %s refused", refused)
                << QStringList{QStringLiteral("01060802%1 > 018603").arg(QLatin1String(refused)),
                               "010308020001 > 0103020000"};
        }
        QTest::newRow("the VXB has no test or trimming modes")
            << QStringList{"020608020003 > 028603", "020608020006 > 028603", "020608020000 > 020608020000"};
        QTest::newRow("coils are forced only in the relay test, released on leaving")
            << QStringList{"010F000000020102 > 010F00000002", // not in the test: answered, no effect
                           "010100000002 > 01010101",
                           "010608020005 > 010608020005",
                           "010100000002 > 01010100", // entering the test releases the relays
                           "010F000000020103 > 010F00000002",
                           "010100000002 > 01010103",
                           "010F000000020102 > 010F00000002",
                           "010100000002 > 01010102",
                           "010608020000 > 010608020000",
                           "010100000002 > 01010101",
                           "010608020005 > 010608020005",
                           "010100000002 > 01010100"}; // not remembered from the last test
        QTest::newRow("analog test level")
            << QStringList{"010608020006 > 010608020006", "01060803FA00 > 01060803FA00",
                           "010308020002 > 0103040006FA00", "010608020000 > 010608020000"};
    }

    void setupCommands() {
        QFETCH(QStringList, steps);
        lastAnswerMs = line->elapsedMs();
        for (const QString& step : steps) {
            const bool waits = step.contains(QLatin1String(" >> "));
            const QStringList parts = step.split(waits ? QStringLiteral(" >> ") : QStringLiteral(" > "));
            QCOMPARE(parts.size(), 2);
            const QByteArray request = mbFrame(parts[0].toLatin1());
            if (parts[1] == QLatin1String("-")) {
                QVERIFY2(unanswered(request), qPrintable(step));
                continue;
            }
            const QByteArray reply = mbFrame(parts[1].toLatin1());
            if (waits) {
                QCOMPARE(firstAnswer(request), reply);
                // The restart began when the last answer (the command's echo) went out.
                const qint64 silentMs = line->elapsedMs() - lastAnswerMs;
                QVERIFY2(silentMs >= RestartMs - 50, qPrintable(QString::number(silentMs)));
            } else {
                QCOMPARE(line->exchange(request), reply);
            }
            lastAnswerMs = line->elapsedMs();
        }
        // Whatever the steps did, the instrument ends up answering.
        QVERIFY(!firstAnswer(mbFrame("0107")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimCommands)
#include "tst_sim_commands.moc"
