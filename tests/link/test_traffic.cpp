// The traffic record of the link: what each exchange leaves in the log, word for word, the decoding of
// every function the program uses, the outcome of a reply, the bounded ring with its counters and the
// trace file.

#include "../support/coro.h"
#include "../support/scripteddevice.h"

#include "frame.h"
#include "registers.h"
#include "serial.h"
#include "traffic.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QtTest>

using Pieces = QList<QByteArray>;

namespace {

// A frame from its hex text: ":" + text + LRC + CR LF.
QByteArray Frame(const QByteArray& hex) {
    return ":" + hex + ComputeLrc(hex) + "\r\n";
}

// 15:04:05.123 today, local time: every line below starts with it.
qint64 FixedTime() {
    return QDateTime(QDate::currentDate(), QTime(15, 4, 5, 123)).toMSecsSinceEpoch();
}

TrafficRecord Record(qint64 timeMs, TrafficOutcome outcome, qint64 turnaroundUs = 1000,
                     QByteArray reply = {}) {
    TrafficRecord r;
    r.timeMs = timeMs;
    r.request = Frame("0107");
    r.reply = std::move(reply);
    r.received = r.reply;
    r.outcome = outcome;
    r.turnaroundUs = turnaroundUs;
    return r;
}

} // namespace

class TestTraffic : public QObject {
    Q_OBJECT

    static constexpr int TimeoutMs = 120;

private slots:
    // --- What an exchange over the link leaves in the log, word for word ------------------------------
    void recordedLine_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<Pieces>("pieces");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("line");
        const QByteArray division = BuildRequest(1, Fn::ReadHoldingRegisters, ReadBody(Reg::DivisionCode, 1));
        const QByteArray status = BuildRequest(1, Fn::ReadExceptionStatus, {});
        QTest::newRow("good exchange")
            << division << Pieces{":0103020007F3\r\n"} << 1
            << "15:04:05.123  ok  8.2 ms  @01 03 read holding 1050 x1 (division code): 7"
               "  > :0103105000019B  < :0103020007F3";
        QTest::newRow("good exchange in pieces, Italian")
            << status << Pieces{":01", "0704", "F4\r\n"} << 0
            << "15:04:05.123  ok  8.2 ms  @01 07 leggi stato: 04  > :0107F8  < :010704F4";
        QTest::newRow("time-out")
            << division << Pieces{} << 1
            << "15:04:05.123  time-out  8.2 ms  @01 03 read holding 1050 x1 (division code)"
               "  > :0103105000019B  <";
        QTest::newRow("time-out after noise and a cut frame")
            << division << Pieces{"\n", ":010302"} << 1
            << "15:04:05.123  time-out  8.2 ms  @01 03 read holding 1050 x1 (division code)"
               "  > :0103105000019B  < <0A>:010302";
        QTest::newRow("bad LRC")
            << division << Pieces{":0103020007F4\r\n"} << 1
            << "15:04:05.123  bad LRC  8.2 ms  @01 03 read holding 1050 x1 (division code)"
               "  > :0103105000019B  < :0103020007F4";
        QTest::newRow("lower-case LRC")
            << status << Pieces{":010704f4\r\n"} << 1
            << "15:04:05.123  bad LRC  8.2 ms  @01 07 read status  > :0107F8  < :010704f4";
        QTest::newRow("exception")
            << division << Pieces{":0183027A\r\n"} << 1
            << "15:04:05.123  exception 02 illegal data address  8.2 ms  @01 03 read holding "
               "1050 x1 (division code)  > :0103105000019B  < :0183027A";
        QTest::newRow("exception, Italian")
            << division << Pieces{":0183027A\r\n"} << 0
            << "15:04:05.123  eccezione 02 indirizzo dati non ammesso  8.2 ms  @01 03 leggi holding 1050 x1 "
               "(divisione)  > :0103105000019B  < :0183027A";
        QTest::newRow("wrong address") << division << Pieces{":0203020007F2\r\n"} << 1
                                       << "15:04:05.123  wrong address  8.2 ms  @01 03 read holding 1050 x1 "
                                          "(division code)  > :0103105000019B  < :0203020007F2";
    }
    void recordedLine() {
        QFETCH(QByteArray, request);
        QFETCH(Pieces, pieces);
        QFETCH(int, language);
        QFETCH(QString, line);
        Modulo1 m;
        m.LanguageIndex = uint8_t(language);
        TrafficLog log;
        log.AddWatcher();
        SerialLink link(m);
        link.SetTraffic(&log);
        ScriptedDevice port([&](const QByteArray&) { return pieces; });
        link.UseDevice(&port);
        m.FrameBuffer = request;
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        auto run = Start([&]() { return link.ExchangeFrame(TimeoutMs); });
        QTRY_VERIFY(run.done());
        QCOMPARE(log.Size(), 1);
        TrafficRecord r = log.At(0);
        QCOMPARE(r.request, request);
        QVERIFY(r.timeMs >= before && r.timeMs <= QDateTime::currentMSecsSinceEpoch());
        if (r.outcome == TrafficOutcome::TimeOut) {
            QVERIFY2(r.turnaroundUs >= (TimeoutMs - 5) * 1000, qPrintable(QString::number(r.turnaroundUs)));
        }
        // The clock's figures vary from run to run; the rest is the link's own.
        r.timeMs = FixedTime();
        r.turnaroundUs = 8200;
        QCOMPARE(TrafficLine(r, language), line);
    }

    // An exchange that does not go out: the port is closed, or another one is on the wire; and one the
    // screen ends while it waits.
    void exchangesThatDoNotHappen() {
        Modulo1 m;
        m.LanguageIndex = 1;
        TrafficLog log;
        log.AddWatcher();
        SerialLink link(m);
        link.SetTraffic(&log);
        const QByteArray status = BuildRequest(1, Fn::ReadExceptionStatus, {});
        m.FrameBuffer = status;
        auto closed = Start([&]() { return link.ExchangeFrame(20); });
        QTRY_VERIFY(closed.done());
        QCOMPARE(log.Size(), 1);
        TrafficRecord r = log.At(0);
        r.timeMs = FixedTime();
        QCOMPARE(TrafficLine(r, 1),
                 QString("15:04:05.123  port closed, not sent  -  @01 07 read status  > :0107F8  <"));

        ScriptedDevice port([&](const QByteArray&) { return Pieces{}; });
        link.UseDevice(&port);
        m.FrameBuffer = status;
        auto first = Start([&]() { return link.ExchangeFrame(5000); });
        QVERIFY(link.Busy());
        m.FrameBuffer = BuildRequest(2, Fn::ReadExceptionStatus, {});
        auto second = Start([&]() { return link.ExchangeFrame(5000); });
        QVERIFY(second.done());
        QCOMPARE(log.Size(), 2);
        r = log.At(1);
        r.timeMs = FixedTime();
        QCOMPARE(TrafficLine(r, 1),
                 QString("15:04:05.123  refused, exchange in progress  -  @02 07 read status  > :0207F7  <"));
        link.CancelWait();
        QTRY_VERIFY(first.done());
        QCOMPARE(log.Size(), 3);
        QCOMPARE(log.At(2).outcome, TrafficOutcome::Cancelled);
        QCOMPARE(log.Exchanges(), quint64(3));
        QCOMPARE(log.Failures(), quint64(3));
        QCOMPARE(port.requests, QList<QByteArray>{status});
    }

    // Nobody listens: the exchange goes as before and nothing is recorded; once someone listens, it is.
    void recordsOnlyWhileSomeoneListens() {
        Modulo1 m;
        TrafficLog log;
        SerialLink link(m);
        link.SetTraffic(&log);
        ScriptedDevice port([&](const QByteArray&) { return Pieces{":010704F4\r\n"}; });
        link.UseDevice(&port);
        const auto exchange = [&] {
            m.FrameBuffer = BuildRequest(1, Fn::ReadExceptionStatus, {});
            auto run = Start([&]() { return link.ExchangeFrame(TimeoutMs); });
            QTRY_VERIFY(run.done());
            QCOMPARE(m.FrameBuffer, QByteArray(":010704F4\r\n"));
        };
        exchange();
        QCOMPARE(log.Sequence(), quint64(0));
        log.AddWatcher();
        exchange();
        QCOMPARE(log.Sequence(), quint64(1));
        log.RemoveWatcher();
        log.RemoveWatcher(); // one too many changes nothing
        QVERIFY(!log.Listening());
        exchange();
        QCOMPARE(log.Sequence(), quint64(1));
        QTemporaryDir dir;
        QVERIFY(log.OpenTrace(dir.filePath("trace.txt")));
        QVERIFY(log.Listening());
        exchange();
        QCOMPARE(log.Sequence(), quint64(2));
    }

    // --- Decoding of every function the program uses ---------------------------------------------------
    void decoding_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("text");
        QTest::newRow("01 relay outputs (first register name)")
            << BuildRequest(1, Fn::ReadCoils, ReadBody(Reg::Coils, Reg::CoilCount)) << Frame("01010102") << 1
            << "@01 01 read coils 0000 x2 (relay outputs): 0 1";
        QTest::newRow("02 inputs") << BuildRequest(1, Fn::ReadDiscreteInputs,
                                                   ReadBody(Reg::Inputs, Reg::InputCount))
                                   << Frame("01020101") << 1
                                   << "@01 02 read inputs 0000 x2 (digital inputs): 1 0";
        QTest::newRow("03 block") << BuildRequest(26, Fn::ReadHoldingRegisters,
                                                  ReadBody(Reg::WeightParameters, 5))
                                  << Frame("1A030A00010002000300040005") << 1
                                  << "@1A 03 read holding 1100 x5 (weighing parameters): 1 2 3 4 5";
        QTest::newRow("03 unnamed register")
            << BuildRequest(1, Fn::ReadHoldingRegisters, ReadBody(0x9999, 1)) << Frame("010302FFFF") << 1
            << "@01 03 read holding 9999 x1: 65535";
        QTest::newRow("04 weight block")
            << BuildRequest(1, Fn::ReadInputRegisters, ReadBody(Reg::WeightBlock, 5))
            << Frame("01040A0078FFFF00000D80000C") << 1
            << "@01 04 read input 0000 x5 (weight): 120 65535 0 3456 12";
        QTest::newRow("04 version, Italian")
            << BuildRequest(1, Fn::ReadInputRegisters, ReadBody(Reg::Version, 1)) << Frame("0104020020") << 0
            << "@01 04 leggi input 0005 x1 (versione): 32";
        QTest::newRow("06 command") << BuildRequest(1, Fn::WriteSingleRegister,
                                                    WriteSingleBody(Reg::Command, "0020"))
                                    << Frame("010608000020") << 1 << "@01 06 write 0800 (command): 32";
        QTest::newRow("06 analog full scale (last register name)")
            << BuildRequest(1, Fn::WriteSingleRegister, WriteSingleBody(Reg::AnalogFullScaleAdjust, "03E8"))
            << Frame("0106400403E8") << 1 << "@01 06 write 4004 (analog full scale): 1000";
        QTest::newRow("07 status") << BuildRequest(1, Fn::ReadExceptionStatus, {}) << Frame("010744") << 1
                                   << "@01 07 read status: 44";
        QTest::newRow("0F forced outputs")
            << BuildRequest(1, Fn::WriteMultipleCoils, WriteCoilsBody(Reg::Coils, 2, {0x02}))
            << Frame("010F00000002") << 1 << "@01 0F write coils 0000 x2 (relay outputs): 0 1";
        QTest::newRow("10 memory reset")
            << BuildRequest(1, Fn::WriteMultipleRegisters, WriteMultipleBody(Reg::Command, {"0018", "9F0E"}))
            << Frame("011008000002") << 1 << "@01 10 write 0800 x2 (command): 24 40718";
        QTest::newRow("10 block, Italian")
            << BuildRequest(1, Fn::WriteMultipleRegisters,
                            WriteMultipleBody(Reg::WeightParameters, {"0001", "0002", "0003", "0004"}))
            << Frame("011011000004") << 0 << "@01 10 scrivi 1100 x4 (parametri di pesata): 1 2 3 4";
        QTest::newRow("exception reply: no values read")
            << BuildRequest(1, Fn::ReadHoldingRegisters, ReadBody(Reg::DivisionCode, 1)) << Frame("018302")
            << 1 << "@01 03 read holding 1050 x1 (division code)";
        QTest::newRow("write shows its values without a reply")
            << BuildRequest(1, Fn::WriteSingleRegister, WriteSingleBody(Reg::Mode, "0005")) << QByteArray()
            << 1 << "@01 06 write 0802 (mode): 5";
        QTest::newRow("not a request") << QByteArray("garbage") << QByteArray() << 1 << "bad request";
    }
    void decoding() {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QFETCH(int, language);
        QFETCH(QString, text);
        uint8_t code = 0;
        const TrafficOutcome outcome =
            reply.isEmpty() ? TrafficOutcome::TimeOut : ClassifyReply(request, reply, &code);
        QCOMPARE(DecodedText(DecodeExchange(request, reply, outcome), language), text);
    }

    // --- What becomes of a whole reply ----------------------------------------------------------------
    void outcome_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<TrafficOutcome>("outcome");
        QTest::addColumn<int>("exceptionCode");
        const QByteArray division = BuildRequest(1, Fn::ReadHoldingRegisters, ReadBody(Reg::DivisionCode, 1));
        const QByteArray block = BuildRequest(1, Fn::ReadInputRegisters, ReadBody(Reg::WeightBlock, 5));
        const QByteArray write =
            BuildRequest(1, Fn::WriteSingleRegister, WriteSingleBody(Reg::Command, "0020"));
        QTest::newRow("ok") << division << Frame("0103020007") << TrafficOutcome::Ok << 0;
        QTest::newRow("echo of a write is ok") << write << write << TrafficOutcome::Ok << 0;
        QTest::newRow("bad LRC") << division << QByteArray(":0103020007F4\r\n") << TrafficOutcome::BadLrc
                                 << 0;
        QTest::newRow("exception 01 (first meaning)")
            << division << Frame("018301") << TrafficOutcome::Exception << 1;
        QTest::newRow("exception 0B (last meaning)")
            << division << Frame("01830B") << TrafficOutcome::Exception << 0x0B;
        QTest::newRow("exception with extra data")
            << division << Frame("01830200") << TrafficOutcome::WrongLength << 2;
        QTest::newRow("wrong address")
            << division << Frame("0203020007") << TrafficOutcome::WrongAddress << 0;
        QTest::newRow("wrong function")
            << division << Frame("0104020007") << TrafficOutcome::WrongFunction << 0;
        QTest::newRow("byte count too small")
            << block << Frame("0104020007") << TrafficOutcome::WrongLength << 0;
        QTest::newRow("byte count and data disagree")
            << division << Frame("01030200") << TrafficOutcome::WrongLength << 0;
        QTest::newRow("write answered short")
            << write << Frame("01060800") << TrafficOutcome::WrongLength << 0;
        QTest::newRow("status with two bytes") << BuildRequest(1, Fn::ReadExceptionStatus, {})
                                               << Frame("01070404") << TrafficOutcome::WrongLength << 0;
        QTest::newRow("not hex") << division << QByteArray(":01G3020007F3\r\n") << TrafficOutcome::BadFrame
                                 << 0;
        QTest::newRow("odd length") << division << QByteArray(":0103020007F\r\n") << TrafficOutcome::BadFrame
                                    << 0;
        QTest::newRow("too short") << division << QByteArray(":01\r\n") << TrafficOutcome::BadFrame << 0;
    }
    void outcome() {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QFETCH(int, exceptionCode);
        uint8_t code = 0;
        QTEST(ClassifyReply(request, reply, &code), "outcome");
        QCOMPARE(int(code), exceptionCode);
    }

    void exceptionMeaning_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("italian");
        QTest::newRow("01 first") << 0x01 << "illegal function"
                                  << "funzione non ammessa";
        QTest::newRow("02") << 0x02 << "illegal data address"
                            << "indirizzo dati non ammesso";
        QTest::newRow("0B last") << 0x0B << "gateway target failed to respond"
                                 << "nessuna risposta dietro il gateway";
        QTest::newRow("07 not a MODBUS exception") << 0x07 << "unknown exception"
                                                   << "eccezione sconosciuta";
        QTest::newRow("00") << 0x00 << "unknown exception"
                            << "eccezione sconosciuta";
    }
    void exceptionMeaning() {
        QFETCH(int, code);
        QTEST(ExceptionMeaning(uint8_t(code), 1), "english");
        QTEST(ExceptionMeaning(uint8_t(code), 0), "italian");
    }

    // Every outcome has a text in both languages, and only Ok is not a failure.
    void everyOutcomeHasItsText() {
        for (int i = 0; i < int(TrafficOutcome::Count); ++i) {
            const auto outcome = TrafficOutcome(i);
            QVERIFY(!TrafficOutcomeText(outcome, 2, 0).isEmpty());
            QVERIFY(!TrafficOutcomeText(outcome, 2, 1).isEmpty());
            QCOMPARE(IsFailure(outcome), outcome != TrafficOutcome::Ok);
        }
    }

    void frameText_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole frame") << QByteArray(":0107F8\r\n") << ":0107F8";
        QTest::newRow("CR without LF") << QByteArray(":0107F8\r") << ":0107F8<0D>";
        QTest::newRow("CR inside") << QByteArray(":01\r07F8\r\n") << ":01<0D>07F8";
        QTest::newRow("two frames") << QByteArray(":0107F8\r\n:0107F8\r\n") << ":0107F8<0D><0A>:0107F8";
        QTest::newRow("byte above 7E") << QByteArray("\xff:") << "<FF>:";
        QTest::newRow("nothing") << QByteArray() << "";
    }
    void frameText() {
        QFETCH(QByteArray, frame);
        QTEST(FrameText(frame), "text");
    }

    // --- The ring and its counters ----------------------------------------------------------------------
    void ringIsBounded_data() {
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("size");
        QTest::addColumn<qint64>("oldest");
        QTest::addColumn<int>("sinceTwo"); // records kept from number 2 on
        QTest::newRow("empty") << 0 << 0 << qint64(-1) << 0;
        QTest::newRow("one") << 1 << 1 << qint64(1) << 0;
        QTest::newRow("just full") << 3 << 3 << qint64(1) << 1;
        QTest::newRow("one over") << 4 << 3 << qint64(2) << 2;
        QTest::newRow("many over") << 10 << 3 << qint64(8) << 3;
    }
    void ringIsBounded() {
        QFETCH(int, added);
        QFETCH(int, size);
        QFETCH(qint64, oldest);
        QFETCH(int, sinceTwo);
        TrafficLog log(3);
        for (int i = 1; i <= added; ++i) {
            // Every third exchange times out; the others are answered after i ms.
            const bool timedOut = i % 3 == 0;
            log.Add(Record(i, timedOut ? TrafficOutcome::TimeOut : TrafficOutcome::Ok, i * 1000,
                           timedOut ? QByteArray() : Frame("010704")),
                    1);
        }
        QCOMPARE(log.Size(), size);
        QCOMPARE(log.Sequence(), quint64(added));
        QCOMPARE(log.Exchanges(), quint64(added));
        QCOMPARE(log.Failures(), quint64(added / 3));
        if (size > 0) {
            QCOMPARE(log.At(0).timeMs, oldest);
            QCOMPARE(log.At(size - 1).timeMs, qint64(added));
        }
        const QList<TrafficRecord> since = log.Since(2);
        QCOMPARE(since.size(), sinceTwo);
        if (!since.isEmpty()) {
            QCOMPARE(since.last().timeMs, qint64(added));
        }
        QVERIFY(log.Since(log.Sequence()).isEmpty());
        // The mean of the answered turnarounds (i ms for each i not a multiple of 3).
        double sum = 0;
        int answered = 0;
        for (int i = 1; i <= added; ++i) {
            if (i % 3 != 0) {
                sum += i;
                ++answered;
            }
        }
        QCOMPARE(log.MeanTurnaroundMs(), answered ? sum / answered : 0.0);
        log.Clear();
        QCOMPARE(log.Size(), 0);
        QCOMPARE(log.Exchanges(), quint64(0));
        QCOMPARE(log.Failures(), quint64(0));
        QCOMPARE(log.MeanTurnaroundMs(), 0.0);
        QCOMPARE(log.Sequence(), quint64(added)); // numbers go on after a clear
        log.Add(Record(100, TrafficOutcome::Ok), 1);
        QCOMPARE(log.Since(0).size(), 1);
        QCOMPARE(log.At(0).timeMs, qint64(100));
    }

    void defaultCapacityIsTenThousand() {
        TrafficLog log;
        QCOMPARE(log.Capacity(), 10000);
        for (int i = 0; i < 10001; ++i) {
            log.Add(Record(i, TrafficOutcome::Ok), 1);
        }
        QCOMPARE(log.Size(), 10000);
        QCOMPARE(log.At(0).timeMs, qint64(1));
        QCOMPARE(log.At(9999).timeMs, qint64(10000));
    }

    // --- The trace file ------------------------------------------------------------------------------------
    void traceFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("trace.txt");
        QVERIFY(QFile(path).open(QIODevice::WriteOnly)); // an old file is overwritten
        QFile::resize(path, 5);
        TrafficLog log;
        QString error;
        QVERIFY(log.OpenTrace(path, &error));
        QCOMPARE(log.TracePath(), path);
        TrafficRecord good = Record(FixedTime(), TrafficOutcome::Ok, 8200, Frame("010704"));
        TrafficRecord lost = Record(FixedTime(), TrafficOutcome::TimeOut, 100000);
        log.Add(good, 1);
        log.Add(lost, 0);
        // Written without being closed, within the flush interval.
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(path).size() > 5, true, 5 * TrafficLog::FlushIntervalMs);
        log.Add(good, 1);
        log.CloseTrace();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray goodLine =
            "15:04:05.123  ok  8.2 ms  @01 07 read status: 04  > :0107F8  < :010704F4\r\n";
        QCOMPARE(file.readAll(),
                 goodLine + "15:04:05.123  time-out  100.0 ms  @01 07 leggi stato  > :0107F8  <\r\n" +
                     goodLine);
        QVERIFY(!log.Listening());
    }

    void traceFileThatCannotBeOpened() {
        QTemporaryDir dir;
        TrafficLog log;
        QString error;
        QVERIFY(!log.OpenTrace(dir.filePath("no/such/folder/trace.txt"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!log.Listening());
    }
};

QTEST_GUILESS_MAIN(TestTraffic)
#include "test_traffic.moc"
