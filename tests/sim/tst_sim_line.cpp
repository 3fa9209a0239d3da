// The simulator's terminal as a client sees it: QSerialPort opens it, clients come and go, the link
// path leads to it, it runs in its own thread, and quartel-sim serves it as a separate process.

#include "lineclient.h"
#include "simulator.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

namespace {

// Sends a frame on an open QSerialPort and returns what came back up to CR LF (empty on time-out).
QByteArray serialExchange(QSerialPort& port, const QByteArray& request) {
    QByteArray in;
    port.write(request);
    const bool ok = QTest::qWaitFor(
        [&] {
            in += port.readAll();
            return in.contains("\r\n");
        },
        3000);
    return ok ? in : QByteArray();
}

bool openSerial(QSerialPort& port, const QString& path) {
    port.setPortName(path);
    port.setBaudRate(QSerialPort::Baud19200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return port.open(QIODevice::ReadWrite);
}

} // namespace

class TestSimLine : public QObject {
    Q_OBJECT

private slots:
    void serialPortExchanges() {
        Simulator sim;
        QVERIFY(sim.open());
        sim.addInstrument(1, SimInstrument::VXA);
        QVERIFY(sim.devicePath().startsWith(QLatin1String("/dev/")));
        for (int round = 0; round < 3; ++round) { // the terminal serves client after client
            QSerialPort port;
            QVERIFY2(openSerial(port, sim.devicePath()), qPrintable(port.errorString()));
            QCOMPARE(serialExchange(port, ":0107F8\r\n"), QByteArray(":010704F4\r\n"));
            QCOMPARE(serialExchange(port, ":0103105000019B\r\n"), QByteArray(":0103020009F1\r\n"));
            port.close();
        }
        // A plain client after QSerialPort clients.
        LineClient line;
        QVERIFY(line.open(sim.devicePath()));
        QCOMPARE(line.exchange(":0107F8\r\n"), QByteArray(":010704F4\r\n"));
    }

    void clientClosingMidReply() {
        // A client that goes away before reading its late reply must not break the line.
        Simulator sim;
        QVERIFY(sim.open());
        sim.addInstrument(1, SimInstrument::VXA);
        sim.setFault(1, SimFault::late(50));
        QSignalSpy written(&sim, &Simulator::replyWritten);
        {
            LineClient first;
            QVERIFY(first.open(sim.devicePath()));
            first.send(":0107F8\r\n");
            QSignalSpy got(&sim, &Simulator::requestReceived);
            QVERIFY(got.wait(3000));
        }
        QVERIFY(written.wait(3000));
        sim.setFault(1, SimFault::none());
        LineClient second;
        QVERIFY(second.open(sim.devicePath()));
        second.clear();
        second.send(":0103105000019B\r\n");
        QVERIFY(second.waitEndsWith(":0103020009F1\r\n"));
    }

    void linkLeadsToTerminal() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath(QStringLiteral("line"));
        const QString plain = dir.filePath(QStringLiteral("plain"));
        {
            QFile f(plain);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        {
            Simulator sim;
            QVERIFY(!sim.makeLink(link)); // not open yet
            QVERIFY(sim.open());
            sim.addInstrument(2, SimInstrument::VXB);
            QVERIFY(!sim.makeLink(plain)); // a real file is left alone
            QVERIFY(QFileInfo(plain).isFile());
            QVERIFY(QFile::link(QStringLiteral("/nonexistent"), link));
            QVERIFY(sim.makeLink(link)); // an old link is replaced
            QCOMPARE(QFileInfo(link).symLinkTarget(), sim.devicePath());
            QSerialPort port;
            QVERIFY2(openSerial(port, link), qPrintable(port.errorString()));
            QCOMPARE(serialExchange(port, ":0207F7\r\n"), QByteArray(":020704F3\r\n"));
        }
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
        QVERIFY(QFileInfo(plain).isFile());
    }

    void runsInItsOwnThread() {
        SimThread t;
        QVERIFY(t.start([](Simulator& s) {
            s.addInstrument(1, SimInstrument::VXA);
            s.addInstrument(2, SimInstrument::VXB);
            s.setWireTime(true);
        }));
        QVERIFY(!t.devicePath().isEmpty());
        QVERIFY(t.simulator()->thread() != QThread::currentThread());
        int received = 0;
        QObject::connect(t.simulator(), &Simulator::requestReceived, this, [&](int) { ++received; });

        QSerialPort port;
        QVERIFY2(openSerial(port, t.devicePath()), qPrintable(port.errorString()));
        QCOMPARE(serialExchange(port, ":0107F8\r\n"), QByteArray(":010704F4\r\n"));
        t.run([](Simulator& s) { s.instrument(1)->setNet(-5); });
        QCOMPARE(serialExchange(port, ":0107F8\r\n"), QByteArray(":010705F3\r\n"));
        QCOMPARE(serialExchange(port, ":020310100001DA\r\n"), QByteArray(":02830279\r\n"));
        QCOMPARE(t.call([](Simulator& s) { return int(s.requestCount()); }), 3);
        QCOMPARE(t.simulator()->requests().size(), 3); // the record is readable from here
        QTRY_COMPARE(received, 3);
        t.stop();
        QVERIFY(!t.simulator());
    }

    void executable() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath(QStringLiteral("line"));
        QProcess proc;
        proc.start(QStringLiteral(QUARTEL_SIM_EXE),
                   {QStringLiteral("--vxa"), QStringLiteral("3,5"), QStringLiteral("--vxb"),
                    QStringLiteral("4"), QStringLiteral("--link"), link});
        QVERIFY(proc.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return proc.canReadLine(); }, 5000));
        const QString path = QString::fromLocal8Bit(proc.readLine()).trimmed();
        QVERIFY(path.startsWith(QLatin1String("/dev/")));
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);

        LineClient line;
        QVERIFY(line.open(link));
        QCOMPARE(line.exchange(mbFrame("0307")), mbFrame("030704"));
        QCOMPARE(line.exchange(mbFrame("0507")), mbFrame("050704"));
        QCOMPARE(line.exchange(mbFrame("040310100001")), mbFrame("048302")); // VXB
        QCOMPARE(line.exchange(mbFrame("030310100001")), mbFrame("0303020000"));
        // Nobody at 1 in this line-up: the next thing on the line is the answer of 3.
        line.clear();
        line.send(mbFrame("0107"));
        line.send(mbFrame("0307"));
        QVERIFY(line.waitEndsWith(mbFrame("030704")));
        QCOMPARE(line.received, mbFrame("030704"));
        line.close();

        proc.terminate(); // SIGTERM
        QVERIFY(proc.waitForFinished(5000));
        QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(proc.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void executableDefaults() {
        QProcess proc;
        proc.start(QStringLiteral(QUARTEL_SIM_EXE), {QStringLiteral("--wire-time")});
        QVERIFY(proc.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return proc.canReadLine(); }, 5000));
        const QString path = QString::fromLocal8Bit(proc.readLine()).trimmed();
        LineClient line;
        QVERIFY(line.open(path));
        QCOMPARE(line.exchange(mbFrame("010310100001")), mbFrame("0103020000")); // VXA at 1
        QCOMPARE(line.exchange(mbFrame("020310100001")), mbFrame("028302"));     // VXB at 2
        line.close();
        ::kill(pid_t(proc.processId()), SIGINT);
        QVERIFY(proc.waitForFinished(5000));
        QCOMPARE(proc.exitCode(), 0);
    }

    // Each fault option of quartel-sim as the line shows it, and lifted again through its command input.
    void executableFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("expected"); // everything the line carries for the request
        QTest::addColumn<int>("minDelayMs");      // the reply must not be complete earlier
        QTest::addColumn<int>("minChunks");       // the reply arrives in at least this many pieces

        // Set-point 1 of the VXA at 1 (1000): a reply with letters in its data and in its LRC.
        const QByteArray reply = ":01030203E80F\r\n";
        QTest::newRow("silent") << "1:silent" << QByteArray() << 0 << 0;
        QTest::newRow("late reply") << "1:late=300" << reply << 300 << 1;
        QTest::newRow("wrong LRC") << "1:wrong-lrc" << QByteArray(":01030203E810\r\n") << 0 << 1;
        QTest::newRow("lower-case LRC") << "1:lower-lrc" << QByteArray(":01030203E80f\r\n") << 0 << 1;
        QTest::newRow("lower case") << "1:lower-case" << QByteArray(":01030203e80f\r\n") << 0 << 1;
        QTest::newRow("noise LF") << "1:noise=\\n"
                                  << "\n" + reply << 0 << 1;
        QTest::newRow("noise, default") << "1:noise"
                                        << "xx" + reply << 0 << 1;
        QTest::newRow("noise in hex") << "1:noise=\\x00\\xFF" << QByteArray("\x00\xFF", 2) + reply << 0 << 1;
        QTest::newRow("split reply") << "1:split=3/60" << reply << 120 << 3;
        QTest::newRow("exception code") << "1:exception=4" << mbFrame("018304") << 0 << 1;
        QTest::newRow("exception code 255") << "1:exception=255" << mbFrame("0183FF") << 0 << 1;
        QTest::newRow("echo of the request") << "1:echo" << mbFrame("010301100001") << 0 << 1;
        QTest::newRow("late and lower-case LRC")
            << "1:late=100+lower-lrc" << QByteArray(":01030203E80f\r\n") << 100 << 1;
    }
    void executableFaults() {
        QFETCH(QString, fault);
        QFETCH(QByteArray, expected);
        QFETCH(int, minDelayMs);
        QFETCH(int, minChunks);
        const QByteArray request = mbFrame("010301100001");
        const QByteArray probe = mbFrame("0207"); // the VXB at 2 has no fault
        const QByteArray probeReply = mbFrame("020704");

        QProcess proc;
        proc.start(QStringLiteral(QUARTEL_SIM_EXE),
                   {QStringLiteral("--vxa"), QStringLiteral("1"), QStringLiteral("--vxb"),
                    QStringLiteral("2"), QStringLiteral("--fault"), fault, QStringLiteral("--commands")});
        QVERIFY(proc.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return proc.canReadLine(); }, 5000));
        const QString path = QString::fromLocal8Bit(proc.readLine()).trimmed();
        LineClient line;
        QVERIFY(line.open(path));

        line.clear();
        const qint64 sentAt = line.elapsedMs();
        line.send(request);
        if (!expected.isEmpty()) {
            QVERIFY2(line.waitEndsWith(expected), line.received.toHex().constData());
            QVERIFY(line.elapsedMs() - sentAt >= minDelayMs);
            QVERIFY(line.chunks.size() >= minChunks);
        }
        // Nothing else comes for the request: next on the line is the answer of the other instrument.
        line.send(probe);
        QVERIFY(line.waitEndsWith(probeReply));
        QCOMPARE(line.received, expected + probeReply);

        // Lifted through the command input, the instrument answers normally again.
        proc.write("fault 1:none\n");
        QVERIFY(QTest::qWaitFor([&] { return proc.canReadLine(); }, 5000));
        QCOMPARE(proc.readLine(), QByteArray("ok\n"));
        QCOMPARE(line.exchange(request), QByteArray(":01030203E80F\r\n"));
        line.close();
        proc.terminate();
        QVERIFY(proc.waitForFinished(5000));
        QCOMPARE(proc.exitCode(), 0);
    }

    void executableRejectsBadFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("unknown word") << "1:nonsense";
        QTest::newRow("no colon") << "1";
        QTest::newRow("no instrument there") << "9:silent";
        QTest::newRow("address past 247") << "248:silent";
        QTest::newRow("late 0") << "1:late=0";
        QTest::newRow("exception 0") << "1:exception=0";
        QTest::newRow("exception 256") << "1:exception=256";
        QTest::newRow("split in 1") << "1:split=1";
        QTest::newRow("bad escape") << "1:noise=\\q";
        QTest::newRow("colon in the noise") << "1:noise=a:b";
        QTest::newRow("value on a plain word") << "1:silent=1";
    }
    void executableRejectsBadFaults() {
        QFETCH(QString, fault);
        QProcess proc;
        proc.start(QStringLiteral(QUARTEL_SIM_EXE), {QStringLiteral("--fault"), fault});
        QVERIFY(proc.waitForFinished(5000));
        QCOMPARE(proc.exitCode(), 2);
        QVERIFY(proc.readAllStandardOutput().isEmpty());
        QVERIFY(proc.readAllStandardError().startsWith("quartel-sim: "));
    }

    void executableHelpListsTheFaults() {
        QProcess proc;
        proc.start(QStringLiteral(QUARTEL_SIM_EXE), {QStringLiteral("--help")});
        QVERIFY(proc.waitForFinished(5000));
        const QByteArray help = proc.readAllStandardOutput();
        for (const char* word : {"--fault", "--commands", "silent", "late=", "wrong-lrc", "lower-lrc",
                                 "lower-case", "noise=", "split=", "exception=", "echo", "none"}) {
            QVERIFY2(help.contains(word), word);
        }
    }

    void executableRejectsBadAddresses() {
        QProcess proc;
        proc.start(QStringLiteral(QUARTEL_SIM_EXE), {QStringLiteral("--vxa"), QStringLiteral("1,300")});
        QVERIFY(proc.waitForFinished(5000));
        QCOMPARE(proc.exitCode(), 2);
        QVERIFY(proc.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_sim_line.moc"
