// The start-up screen driven for real under the offscreen platform, against the instrument simulator
// on a pseudo-terminal: what it shows per address, the error text and its recovery, the pause between
// instruments, the double-click, an invalid port number, the menus, and Strum.ini.

#include "uitestsupport.h"

#include "applytexts.h"
#include "registers.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace uitest;

namespace {

// Requests arriving for `address` since `from` (simulator clock).
QList<SimRequest> RequestsTo(const Simulator& sim, int address, qint64 from = 0) {
    QList<SimRequest> out;
    for (const SimRequest& r : sim.requests()) {
        if (r.address == address && r.timeNs >= from) {
            out << r;
        }
    }
    return out;
}

double Ms(qint64 ns) {
    return double(ns) / 1e6;
}

// Should a reader ever open a FIFO for reading again, it would wait for a writer for ever: this one
// comes after a few seconds, so that such a fault fails the test instead of hanging it.
class FifoUnblocker {
public:
    explicit FifoUnblocker(const QString& path) : path_(QFile::encodeName(path)) {
        thread_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (!cv_.wait_for(lock, std::chrono::seconds(3), [this] { return done_; })) {
                const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        });
    }
    ~FifoUnblocker() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_one();
        thread_.join();
    }

private:
    QByteArray path_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

// Should a reader ever read an endless device to its end again, it would eat the machine's memory:
// this caps the address space of the test at what it uses now plus 1 GiB, so that it fails alone.
// (Not under AddressSanitizer, whose shadow memory needs the whole address space.)
class MemoryCap {
public:
    MemoryCap() {
#if !defined(__SANITIZE_ADDRESS__)
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (!statm.open(QIODevice::ReadOnly) || ::getrlimit(RLIMIT_AS, &old_) != 0) {
            return;
        }
        const qint64 pages = statm.readAll().split(' ').value(0).toLongLong();
        rlimit capped = old_;
        capped.rlim_cur = rlim_t(pages * ::sysconf(_SC_PAGESIZE) + (qint64(1) << 30));
        active_ = capped.rlim_cur < old_.rlim_cur && ::setrlimit(RLIMIT_AS, &capped) == 0;
#endif
    }
    ~MemoryCap() {
        if (active_) {
            ::setrlimit(RLIMIT_AS, &old_);
        }
    }

private:
    rlimit old_{};
    bool active_ = false;
};

} // namespace

class TestForm2 : public QObject {
    Q_OBJECT
private slots:
    // Every ticked address shows its weight with its own division, or the text of its state.
    void showsWeightOrStatePerAddress_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("divisionCode");
        QTest::addColumn<int>("net");
        QTest::addColumn<int>("extraStatus");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0.01 steps") << 1 << 3 << 12345 << 0 << " 123.45";
        QTest::newRow("negative") << 1 << 3 << -250 << 0 << "  -2.50";
        QTest::newRow("step 5, whole units") << 1 << 11 << 40 << 0 << "    200";
        QTest::newRow("step 2, 3 decimals") << 2 << 1 << 1500 << 0 << "  3.000";
        QTest::newRow("step 50") << 2 << 14 << 3 << 0 << "    150";
        QTest::newRow("zero with the sign bit: no minus")
            << 1 << 9 << 0 << int(SimInstrument::NetNegative) << "      0";
        QTest::newRow("bit 4") << 1 << 9 << 77 << int(SimInstrument::ShowUnderscores) << "_______";
        QTest::newRow("bit 5") << 2 << 9 << 77 << int(SimInstrument::ShowDashes) << "-------";
        QTest::newRow("bit 6") << 1 << 9 << 77 << int(SimInstrument::Overload) << " O - L ";
        QTest::newRow("bit 4 wins over 5 and 6")
            << 1 << 9 << 77
            << int(SimInstrument::ShowUnderscores | SimInstrument::Overload | SimInstrument::ShowDashes)
            << "_______";
        QTest::newRow("bit 5 wins over 6")
            << 1 << 9 << 77 << int(SimInstrument::ShowDashes | SimInstrument::Overload) << "-------";
    }
    void showsWeightOrStatePerAddress() {
        QFETCH(int, model);
        QFETCH(int, divisionCode);
        QFETCH(int, net);
        QFETCH(int, extraStatus);
        QFETCH(QString, expected);
        Bench bench;
        QVERIFY(bench.Open());
        const int address = 9;
        SimInstrument* inst = bench.sim.addInstrument(address, model);
        inst->setHolding(Reg::DivisionCode, quint16(divisionCode));
        inst->setNet(net);
        inst->setStatusBits(quint8(extraStatus), true);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({address}));

        StartScreen screen(bench);
        screen.m.ErrorCount[address] = 7; // a fresh screen starts every address at 0
        screen.Run();
        QVERIFY(screen.WaitPasses(2));
        QCOMPARE(screen.Weight(address), expected);
        QCOMPARE(screen.WeightColour(address), screen.form->NormalWeightColour());
        QCOMPARE(int(screen.m.ErrorCount[address]), 0);
        QVERIFY(screen.form->Icona[address]->isVisible());
        QVERIFY(screen.form->Peso[address]->isVisible());
        QVERIFY(!screen.form->Peso[address + 1]->isVisible());
    }

    // The division code is read once; then each pass reads the status byte, and the weight register
    // only when the status allows a weight.
    void requestsOnTheWire() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(4, SimInstrument::VXA)->setNet(10);
        SimInstrument* busy = bench.sim.addInstrument(5, SimInstrument::VXB);
        busy->setStatusBits(SimInstrument::Overload, true);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({4, 5}));
        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(3));
        screen.Finish();
        const QList<QByteArray> to4 = [&] {
            QList<QByteArray> frames;
            for (const SimRequest& r : RequestsTo(bench.sim, 4)) {
                frames << r.frame;
            }
            return frames;
        }();
        QVERIFY(to4.size() >= 7);
        QCOMPARE(to4.at(0), QByteArray(":04031050000198\r\n"));
        QCOMPARE(to4.at(1), QByteArray(":0407F5\r\n"));
        QCOMPARE(to4.at(2), QByteArray(":040400000001F7\r\n"));
        QCOMPARE(to4.at(3), QByteArray(":0407F5\r\n"));
        QCOMPARE(to4.at(4), QByteArray(":040400000001F7\r\n"));
        QCOMPARE(to4.count(QByteArray(":04031050000198\r\n")), 1);
        // Address 5 shows " O - L ": its weight register is never read.
        for (const SimRequest& r : RequestsTo(bench.sim, 5)) {
            QVERIFY2(r.function != Fn::ReadInputRegisters, r.frame.constData());
        }
        for (const SimRequest& r : bench.sim.requests()) {
            QVERIFY(r.valid);
            QVERIFY(r.address == 4 || r.address == 5);
        }
    }

    // After 10 failed passes in a row the error text shows in red; a good reply brings the weight back
    // in the normal colour.
    void errorTextAfterTenFailuresAndRecovery_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("errorText");
        QTest::newRow("Italian") << 0 << " ERRORE";
        QTest::newRow("English") << 1 << " ERROR";
    }
    void errorTextAfterTenFailuresAndRecovery() {
        QFETCH(int, language);
        QFETCH(QString, errorText);
        Bench bench;
        QVERIFY(bench.Open());
        const int address = 3;
        SimInstrument* inst = bench.sim.addInstrument(address, SimInstrument::VXA);
        inst->setNet(42);
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, language)));
        QVERIFY(bench.WriteStrum({address}));
        StartScreen screen(bench);

        // What each pass leaves on the screen.
        struct Seen {
            int errors;
            QString text;
            bool red;
        };
        QList<Seen> seen;
        screen.Load();
        connect(screen.form.get(), &Form2::PassCompleted, this, [&] {
            seen.append({screen.m.ErrorCount[address], screen.Weight(address),
                         screen.WeightColour(address) == Form2::ErrorColour()});
        });
        screen.Activate();
        QVERIFY(screen.WaitPasses(2));
        QCOMPARE(screen.Weight(address), QString("     42"));

        bench.sim.setFault(address, SimFault::mute());
        const int before = int(seen.size());
        WAIT_VERIFY(seen.size() >= before + 12, 10000);
        // A pass may have been under way when the instrument fell silent; count from the first failure.
        int first = before;
        while (seen.at(first).errors == 0) {
            ++first;
        }
        for (int k = 0; k < 9; ++k) {
            QCOMPARE(seen.at(first + k).errors, k + 1);
            QCOMPARE(seen.at(first + k).text, QString("     42"));
            QVERIFY(!seen.at(first + k).red);
        }
        QCOMPARE(seen.at(first + 9).errors, 10);
        QCOMPARE(seen.at(first + 9).text, errorText);
        QVERIFY(seen.at(first + 9).red);

        inst->setNet(43);
        bench.sim.setFault(address, SimFault::none());
        WAIT_COMPARE(screen.Weight(address), QString("     43"), 5000);
        QCOMPARE(screen.WeightColour(address), screen.form->NormalWeightColour());
        QCOMPARE(int(screen.m.ErrorCount[address]), 0);
    }

    // One ticked box: the polls follow each other without the pause, whatever prog.ini says.
    void oneTickedBoxNoPause() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(6, SimInstrument::VXA);
        const int pauseMs = 600;
        QVERIFY(bench.WriteProgIni(ProgIni(pauseMs)));
        QVERIFY(bench.WriteStrum({6}));
        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(6));
        screen.Finish();
        const QList<SimRequest> requests = RequestsTo(bench.sim, 6);
        QVERIFY(requests.size() >= 12);
        // Skip the first request (after the start-up swallow of the line).
        for (int k = 2; k < requests.size(); ++k) {
            const double gap = Ms(requests.at(k).timeNs - requests.at(k - 1).timeNs);
            QVERIFY2(gap < pauseMs / 2, qPrintable(QString("gap %1 ms before request %2").arg(gap).arg(k)));
        }
    }

    // Two ticked boxes: every poll is preceded by the pause; the requests within a poll are not.
    void twoTickedBoxesPauseBeforeEachPoll() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(1, SimInstrument::VXA)->setNet(100);
        bench.sim.addInstrument(2, SimInstrument::VXB)->setNet(200);
        const int pauseMs = 300;
        QVERIFY(bench.WriteProgIni(ProgIni(pauseMs)));
        QVERIFY(bench.WriteStrum({1, 2}));
        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(3));
        QCOMPARE(screen.Weight(1), QString("    100"));
        QCOMPARE(screen.Weight(2), QString("    200"));
        screen.Finish();

        const QList<SimRequest> requests = bench.sim.requests();
        QVERIFY(requests.size() >= 10);
        int polls = 0;
        for (int k = 1; k < requests.size(); ++k) {
            const double gap = Ms(requests.at(k).timeNs - requests.at(k - 1).timeNs);
            if (requests.at(k).address != requests.at(k - 1).address) {
                // A new poll: the pause lies before it (a little slack for the timer's resolution).
                ++polls;
                QVERIFY2(gap >= pauseMs - 5, qPrintable(QString("pause of only %1 ms").arg(gap)));
                QVERIFY2(gap < pauseMs + 400, qPrintable(QString("pause of %1 ms").arg(gap)));
            } else {
                QVERIFY2(gap < pauseMs / 2, qPrintable(QString("%1 ms inside a poll").arg(gap)));
            }
        }
        QVERIFY(polls >= 4);
    }

    // A double-click on address 7 while address 12 is being polled: the poll of 12 finishes, then the
    // loop ends asking for the main setup screen for address 7.
    void doubleClickWhileAnotherAddressIsPolled() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(7, SimInstrument::VXA);
        bench.sim.addInstrument(12, SimInstrument::VXA);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({7, 12}));
        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(1));
        bench.sim.setFault(12, SimFault::late(60)); // the poll of 12 takes a while

        qint64 clickedNs = 0;
        connect(&bench.sim, &Simulator::requestReceived, this, [&](int address, const QByteArray&) {
            if (address == 12 && clickedNs == 0) {
                QTest::mouseDClick(screen.form->Icona[7], Qt::LeftButton);
                clickedNs = Simulator::nowNs();
            }
        });
        WAIT_VERIFY(screen.Ended(), 5000);
        QCOMPARE(**screen.outcome, StartScreenOutcome::OpenMain);
        QCOMPARE(int(screen.m.DeviceAddress), 7);
        QCOMPARE(screen.form->SelectedInstrument, 7);
        QVERIFY(!screen.form->flag_cambio_maschera);
        for (int n = 1; n <= 32; ++n) {
            QCOMPARE(int(screen.m.ErrorCount[n]), 0);
        }
        // Nothing but the rest of the poll of 12 went out after the double-click.
        for (const SimRequest& r : bench.sim.requests()) {
            if (r.timeNs > clickedNs) {
                QCOMPARE(r.address, 12);
            }
        }
        QCOMPARE(bench.StrumOnDisk(), (QList<int>{7, 12})); // saved by the double-click
    }

    // Port number outside 1..6: the message, Flag_errore, every ticked instrument in error after 10
    // passes, and double-clicks (and Enter on a picture) ignored.
    void invalidPortNumber_data() {
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("errorText");
        QTest::newRow("0, Italian") << QByteArray("0") << 0 << "Attenzione !!"
                                    << "Il numero della porta seriale é errato"
                                    << " ERRORE";
        QTest::newRow("7, English") << QByteArray("7") << 1 << "Attention !!"
                                    << "The number of serial port is wrong"
                                    << " ERROR";
        QTest::newRow("10 reads as 0") << QByteArray("10") << 0 << "Attenzione !!"
                                       << "Il numero della porta seriale é errato"
                                       << " ERRORE";
    }
    void invalidPortNumber() {
        QFETCH(QByteArray, port);
        QFETCH(int, language);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, errorText);
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(3, SimInstrument::VXA);
        QVERIFY(bench.WriteProgIni(ProgIni(0, port, 0, language)));
        QVERIFY(bench.WriteStrum({3}));
        StartScreen screen(bench);
        screen.Run();
        QCOMPARE(screen.form->Flag_errore, uint8_t(1));
        QVERIFY(!screen.form->MSComm1->IsOpen());
        WAIT_COMPARE(screen.prompter.MessageCount(), 1, 5000);
        const ScriptedPrompter::Record& message = screen.prompter.records.first();
        QCOMPARE(message.title, title);
        QCOMPARE(message.text, text);
        QCOMPARE(message.icon, MessageIcon::Exclamation);

        WAIT_COMPARE(screen.Weight(3), errorText, 10000);
        QTest::mouseDClick(screen.form->Icona[3], Qt::LeftButton);
        QVERIFY(!screen.form->flag_cambio_maschera);
        QTest::keyClick(screen.form->Icona[3], Qt::Key_Return); // Enter on the picture: the same
        QVERIFY(!screen.form->flag_cambio_maschera);
        QVERIFY(screen.WaitPasses(2));
        QVERIFY(!screen.Ended());
        QCOMPARE(bench.sim.requests().size(), 0); // nothing can be sent
        QCOMPARE(screen.prompter.MessageCount(), 1);
    }

    // No box ticked: the loop waits for events rather than spinning; ticking a box wakes it.
    void idleLoopWaitsAndWakesOnATick() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(20, SimInstrument::VXA)->setNet(7);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        // No Strum.ini: every box stays unticked.
        StartScreen screen(bench);
        screen.Run();
        for (int n = 1; n <= 32; ++n) {
            QVERIFY(!screen.form->Check1[n]->isChecked());
            QVERIFY(!screen.form->Icona[n]->isVisible());
        }
        QElapsedTimer clock;
        clock.start();
        RunFor(600);
        const double passesPerSecond = double(screen.form->PassCount()) * 1000.0 / double(clock.elapsed());
        QVERIFY2(passesPerSecond <= 1000.0 / Form2::IdleTickMs + 2,
                 qPrintable(QString::number(passesPerSecond)));

        QTest::mouseClick(screen.form->Check1[20], Qt::LeftButton, {},
                          QPoint(6, screen.form->Check1[20]->height() / 2));
        QVERIFY(screen.form->Check1[20]->isChecked());
        WAIT_COMPARE(screen.Weight(20), QString("      7"), 3000);
        QCOMPARE(bench.sim.requests().first().address, 20);
    }

    void checkBoxShowsAndHidesItsEntry() {
        Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({}));
        StartScreen screen(bench);
        screen.Run();
        Form2& form = *screen.form;
        auto captionColour = [&](int n) { return form.Check1[n]->palette().color(QPalette::WindowText); };
        QCOMPARE(captionColour(15), Form2::UntickedColour());
        QCOMPARE(form.Check1[15]->text(), QString("Addr. 15"));
        form.Check1[15]->click();
        QVERIFY(form.Icona[15]->isVisible());
        QVERIFY(form.Peso[15]->isVisible());
        QCOMPARE(captionColour(15), Form2::TickedColour());
        form.Check1[15]->click();
        QVERIFY(!form.Icona[15]->isVisible());
        QVERIFY(!form.Peso[15]->isVisible());
        QCOMPARE(captionColour(15), Form2::UntickedColour());
        // The grid: 7 columns, address 8 starts the second row, 29 the fifth.
        auto cell = [&](int n) { return form.Check1[n]->parentWidget()->geometry(); };
        QCOMPARE(cell(8).left(), cell(1).left());
        QVERIFY(cell(8).top() > cell(1).top());
        QCOMPARE(cell(7).top(), cell(1).top());
        QVERIFY(cell(7).left() > cell(6).left());
        QCOMPARE(cell(29).left(), cell(1).left());
        QCOMPARE(cell(32).top(), cell(29).top());
    }

    // Quit and the close box both save the ticked boxes and end the loop.
    void quitSavesTheInstrumentList_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Command1") << false;
        QTest::newRow("close box") << true;
    }
    void quitSavesTheInstrumentList() {
        QFETCH(bool, closeBox);
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(1, SimInstrument::VXA);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({1, 30}));
        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(1));
        screen.form->Check1[30]->click();
        screen.form->Check1[4]->click();
        screen.form->Check1[32]->click();
        QCOMPARE(bench.StrumOnDisk(), (QList<int>{1, 30})); // clicks alone save nothing
        if (closeBox) {
            screen.form->close();
        } else {
            QTest::mouseClick(screen.form->Command1, Qt::LeftButton);
        }
        WAIT_VERIFY(screen.Ended(), 3000);
        QCOMPARE(**screen.outcome, StartScreenOutcome::Quit);
        QCOMPARE(bench.StrumOnDisk(), (QList<int>{1, 4, 32}));
    }

    // Quit ends a receive that is waiting for a slow instrument at once.
    void quitDoesNotWaitForTheTimeOut() {
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(1, SimInstrument::VXA);
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, 0, 30000)));
        QVERIFY(bench.WriteStrum({1}));
        StartScreen screen(bench);
        screen.Run();
        WAIT_VERIFY(screen.form->MSComm1->Busy(), 5000); // the swallow of the line
        QElapsedTimer clock;
        clock.start();
        screen.form->Command1_Click();
        WAIT_VERIFY(screen.Ended(), 5000);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(bench.sim.requests().size(), 0);
    }

    // The serial-port and language menus save Strum.ini, then the loop shows the dialog between two
    // exchanges and ends for a reload.
    void menusOpenTheirDialogBetweenExchanges_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("pse") << "pse"
                             << "Comm";
        QTest::newRow("Lin") << "Lin"
                             << "Ling";
    }
    void menusOpenTheirDialogBetweenExchanges() {
        QFETCH(QString, menu);
        QFETCH(QString, dialog);
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(1, SimInstrument::VXA);
        bench.sim.setFault(1, SimFault::late(40));
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({1}));
        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(1));
        screen.form->Check1[9]->click();

        bool busyWhileShown = true;
        QList<int> strumWhileShown;
        int requestsWhileShown = -1;
        screen.prompter.onPrompt = [&](const ScriptedPrompter::Record&) {
            busyWhileShown = screen.form->MSComm1->Busy();
            strumWhileShown = bench.StrumOnDisk();
            requestsWhileShown = int(bench.sim.requests().size());
        };
        WAIT_VERIFY(screen.form->MSComm1->Busy(), 5000); // an exchange is under way when the menu is used
        screen.form->findChild<QAction*>(menu)->trigger();
        QCOMPARE(bench.StrumOnDisk(), (QList<int>{1, 9}));
        WAIT_VERIFY(screen.Ended(), 3000);
        QCOMPARE(**screen.outcome, StartScreenOutcome::Reload);
        QCOMPARE(screen.prompter.DialogCount(), 1);
        QCOMPARE(screen.prompter.records.first().objectName, dialog);
        QVERIFY(!busyWhileShown);
        QCOMPARE(strumWhileShown, (QList<int>{1, 9}));
        QCOMPARE(int(bench.sim.requests().size()), requestsWhileShown); // nothing sent while it was up
        QCOMPARE(bench.ProgIniOnDisk(), ProgIni());                     // cancelled: unchanged
    }

    // Menu sel: the model and its check mark; the model lives in the shared state across reloads.
    void instrumentModelMenu() {
        Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(ProgIni()));
        Modulo1 shared;
        {
            StartScreen screen(bench);
            screen.Run();
            QCOMPARE(screen.m.InstrumentModel, int16_t(1));
            QVERIFY(screen.form->vxa->isChecked());
            QVERIFY(!screen.form->vxb->isChecked());
            screen.form->vxb->trigger();
            QCOMPARE(screen.m.InstrumentModel, int16_t(2));
            QVERIFY(!screen.form->vxa->isChecked());
            QVERIFY(screen.form->vxb->isChecked());
            screen.form->vxb->trigger(); // again: stays ticked
            QVERIFY(screen.form->vxb->isChecked());
            shared = screen.m;
        }
        StartScreen again(bench);
        again.m = shared;
        again.Run();
        QVERIFY(again.form->vxb->isChecked());
        QVERIFY(!again.form->vxa->isChecked());
        again.form->vxa->trigger();
        QCOMPARE(again.m.InstrumentModel, int16_t(1));
        StartScreen odd(bench);
        odd.m.InstrumentModel = 5;
        odd.Run();
        QCOMPARE(odd.m.InstrumentModel, int16_t(1));
        QVERIFY(odd.form->vxa->isChecked());
    }

    // With no instrument ticked, one line says how to tick one and what finds them; it goes with the
    // first tick and comes back when the last one goes.
    void firstStartHint_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("hint");
        QTest::newRow("Italian")
            << 0
            << "Spuntare l'indirizzo di ogni strumento da interrogare; \"quartel-cli scan\" "
               "trova gli strumenti sulla linea.";
        QTest::newRow("English")
            << 1
            << "Tick the address of each instrument to poll; \"quartel-cli scan\" finds the "
               "instruments on the line.";
    }
    void firstStartHint() {
        QFETCH(int, language);
        QFETCH(QString, hint);
        Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", 0, language)));
        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(1));
        QCOMPARE(screen.form->StartHint->text(), hint);
        QVERIFY(screen.form->StartHint->isVisible());
        QTest::mouseClick(screen.form->Check1[5], Qt::LeftButton);
        QVERIFY(!screen.form->StartHint->isVisible());
        QTest::mouseClick(screen.form->Check1[5], Qt::LeftButton);
        QVERIFY(screen.form->StartHint->isVisible());
    }

    // Captions in the language of prog.ini (1 English, anything else Italian), the hidden language
    // menu, and the model menu caption kept for the setup files.
    void captionsFollowTheLanguage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("hide");
        QTest::addColumn<QStringList>("captions"); // form, Command1, opz, pse, Lin, sel
        const QStringList italian{"Programma di Comunicazione Seriale e Setup Strumento Quartel",
                                  "Esci dall'Applicazione",
                                  "Opzioni",
                                  "Porta Seriale",
                                  "Lingua",
                                  "Selezione Strumento"};
        const QStringList english{"PESOMETRA Configuration utility",
                                  "Quit",
                                  "Option",
                                  "Serial Port",
                                  "Language",
                                  "Select Instrument"};
        QTest::newRow("0 Italian") << 0 << 0 << italian;
        QTest::newRow("1 English") << 1 << 0 << english;
        QTest::newRow("2 Italian") << 2 << 0 << italian;
        QTest::newRow("9 Italian, menu hidden") << 9 << 1 << italian;
        QTest::newRow("English, menu hidden") << 1 << 1 << english;
        QTest::newRow("hide 2 shows the menu") << 1 << 2 << english;
    }
    void captionsFollowTheLanguage() {
        QFETCH(int, language);
        QFETCH(int, hide);
        QFETCH(QStringList, captions);
        Bench bench;
        QVERIFY(bench.Open());
        QVERIFY(bench.WriteProgIni(ProgIni(0, "1", hide, language)));
        StartScreen screen(bench);
        screen.Run();
        const Form2& form = *screen.form;
        QCOMPARE(form.windowTitle(), captions[0]);
        QCOMPARE(form.Command1->text(), captions[1]);
        // The menus show their access keys; the captions stay the table's texts.
        QCOMPARE(WithoutMnemonic(form.opz->title()), captions[2]);
        QCOMPARE(WithoutMnemonic(form.pse->text()), captions[3]);
        QCOMPARE(WithoutMnemonic(form.Lin->text()), captions[4]);
        QCOMPARE(WithoutMnemonic(form.sel->title()), captions[5]);
        QVERIFY(form.sel->title().contains('&'));
        QCOMPARE(form.vxa->text(), QString("VX&A"));
        QCOMPARE(form.vxb->text(), QString("VX&B"));
        // What the model file keeps carries no marker.
        QCOMPARE(screen.m.InstrumentMenuCaption, captions[5]);
        QCOMPARE(form.Lin->isVisible(), hide != 1);
        QVERIFY(form.pse->isVisible());
    }

    // A poll changes the screen only where its answer differs: a new weight repaints its own label
    // alone and asks for no layout pass; a weight that stays the same repaints nothing.
    void pollsRedrawOnlyWhatChanged() {
        Bench bench;
        QVERIFY(bench.Open());
        const int address = 5;
        SimInstrument* inst = bench.sim.addInstrument(address, SimInstrument::VXA);
        inst->setNet(100);
        QVERIFY(bench.WriteProgIni(ProgIni()));
        QVERIFY(bench.WriteStrum({address}));
        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(2));
        RunFor(50); // the first paint of the window

        struct Counter : QObject {
            QWidget* window = nullptr;
            QWidget* weight = nullptr;
            int layouts = 0;
            int weightPaints = 0;
            int otherPaints = 0;
            bool eventFilter(QObject* o, QEvent* e) override {
                auto* w = qobject_cast<QWidget*>(o);
                if (!w || w->window() != window) {
                    return false;
                }
                if (e->type() == QEvent::LayoutRequest) {
                    ++layouts;
                } else if (e->type() == QEvent::Paint) {
                    ++(w == weight ? weightPaints : otherPaints);
                }
                return false;
            }
        } counter;
        counter.window = screen.form.get();
        counter.weight = screen.form->Peso[address];
        qApp->installEventFilter(&counter);

        // A new weight at every pass: 100, 1000, 10000, ... as wide as the label takes.
        int net = 100;
        connect(screen.form.get(), &Form2::PassCompleted, &counter, [&] {
            net = net >= 1000000 ? 7 : net * 10;
            inst->setNet(net);
        });
        QVERIFY(screen.WaitPasses(6));
        RunFor(50);
        QCOMPARE(counter.layouts, 0);
        QVERIFY(counter.weightPaints > 0);
        QCOMPARE(counter.otherPaints, 0); // the label paints its own background

        // The weight stands still: nothing is repainted.
        disconnect(screen.form.get(), &Form2::PassCompleted, &counter, nullptr);
        QVERIFY(screen.WaitPasses(2));
        RunFor(50);
        counter.weightPaints = counter.otherPaints = counter.layouts = 0;
        QVERIFY(screen.WaitPasses(4));
        RunFor(50);
        QCOMPARE(counter.weightPaints, 0);
        QCOMPARE(counter.otherPaints, 0);
        QCOMPARE(counter.layouts, 0);
        qApp->removeEventFilter(&counter);
    }

    // A settings file that cannot be written is told to the user, which file and why, in the language
    // of the screen; the screen then goes on as it would have. The settings folder lies below a
    // regular file, so that every write fails whoever runs the test: permission bits would not do,
    // since root ignores them (and the tests run as root in CI).
    void unwritableSettingsAreReported_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("dialogClicks");
        // The prompts in order: "dialog NAME", or "FILE LANGUAGE" for a message (LANGUAGE 0 or 1).
        QTest::addColumn<QStringList>("prompts");
        QTest::addColumn<int>("outcome");
        QTest::newRow("Quit") << "Command1" << QStringList() << QStringList{"Strum.ini 0"}
                              << int(StartScreenOutcome::Quit);
        QTest::newRow("double-click")
            << "Icona" << QStringList() << QStringList{"Strum.ini 0"} << int(StartScreenOutcome::OpenMain);
        QTest::newRow("port dialog OK")
            << "pse" << QStringList{"Option3", "OKButton"}
            << QStringList{"Strum.ini 0", "dialog Comm", "prog.ini 0"} << int(StartScreenOutcome::Reload);
        QTest::newRow("language dialog OK, English")
            << "Lin" << QStringList{"Option2", "OKButton"}
            << QStringList{"Strum.ini 0", "dialog Ling", "prog.ini 1"} << int(StartScreenOutcome::Reload);
        QTest::newRow("language dialog cancelled")
            << "Lin" << QStringList{"Option2", "CancelButton"} << QStringList{"Strum.ini 0", "dialog Ling"}
            << int(StartScreenOutcome::Reload);
    }
    void unwritableSettingsAreReported() {
        QFETCH(QString, action);
        QFETCH(QStringList, dialogClicks);
        QFETCH(QStringList, prompts);
        QFETCH(int, outcome);
        Bench bench;
        QVERIFY(bench.Open());
        bench.sim.addInstrument(1, SimInstrument::VXA);
        QVERIFY(WriteFile(bench.Path("blocker"), "a file, not a folder\r\n"));
        StartScreen screen(bench);
        screen.settingsDir = bench.Path("blocker") + QStringLiteral("/settings");
        if (!dialogClicks.isEmpty()) {
            screen.prompter.QueueDialogScript(ScriptedPrompter::Click(dialogClicks));
        }
        screen.Run();
        WAIT_VERIFY(screen.form->LoopRunning(), 3000);
        screen.form->Check1[1]->click();
        WAIT_VERIFY(screen.Weight(1).trimmed() == QLatin1String("0"), 5000);
        if (action == QLatin1String("Command1")) {
            QTest::mouseClick(screen.form->Command1, Qt::LeftButton);
        } else if (action == QLatin1String("Icona")) {
            QTest::mouseDClick(screen.form->Icona[1], Qt::LeftButton);
        } else {
            screen.form->findChild<QAction*>(action)->trigger();
        }
        WAIT_VERIFY(screen.Ended(), 5000);
        QCOMPARE(int(**screen.outcome), outcome);

        QCOMPARE(screen.prompter.records.size(), prompts.size());
        for (int i = 0; i < prompts.size(); ++i) {
            const ScriptedPrompter::Record& r = screen.prompter.records.at(i);
            const QStringList want = prompts.at(i).split(u' ');
            if (want[0] == QLatin1String("dialog")) {
                QCOMPARE(r.kind, ScriptedPrompter::Record::ModalDialog);
                QCOMPARE(r.objectName, want[1]);
                continue;
            }
            const bool english = want[1] == QLatin1String("1");
            const QString path = screen.settingsDir + u'/' + want[0];
            QCOMPARE(r.kind, ScriptedPrompter::Record::MessageBox);
            QCOMPARE(r.title, english ? QString("Attention !!") : QString("Attenzione !!"));
            QCOMPARE(r.icon, MessageIcon::Exclamation);
            const QString head = english ? QStringLiteral("The file %1 could not be written:\n").arg(path)
                                         : QStringLiteral("Impossibile scrivere il file %1:\n").arg(path);
            QVERIFY2(r.text.startsWith(head) && r.text.size() > head.size(), qPrintable(r.text));
        }
        QVERIFY(!QFileInfo::exists(screen.settingsDir));
    }

    // A settings file that is not a plain file of at most 64 KiB is not read (and nothing waits on it):
    // the screen starts with the defaults and says so once in its status line.
    void hostileSettingsFilesCountAsMissing_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason"); // empty: the file is read
        const QString notRegular = QStringLiteral("non è un file normale");
        const QString tooLarge = QStringLiteral("più grande di 64 KiB");
        for (const char* file : {"prog.ini", "Strum.ini"}) {
            QTest::addRow("%s FIFO", file) << file << "fifo" << notRegular;
            QTest::addRow("%s link to /dev/zero", file) << file << "zero" << notRegular;
            QTest::addRow("%s directory", file) << file << "dir" << notRegular;
            QTest::addRow("%s 64 KiB + 1", file) << file << "large" << tooLarge;
            QTest::addRow("%s 64 KiB", file) << file << "exact" << QString();
            QTest::addRow("%s link to a file", file) << file << "link" << QString();
        }
    }
    void hostileSettingsFilesCountAsMissing() {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        Bench bench;
        QVERIFY(bench.Open());
        const bool prog = file == QLatin1String("prog.ini");
        const QString path = bench.dir.filePath(file);
        // The good content: English, and box 5 ticked.
        QByteArray good = prog ? ProgIni(0, "1", 0, 1) : StrumIni({5});
        if (prog) {
            QVERIFY(bench.WriteStrum({}));
        } else {
            QVERIFY(bench.WriteProgIni(ProgIni()));
        }
        std::unique_ptr<FifoUnblocker> unblocker;
        std::unique_ptr<MemoryCap> cap;
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            unblocker = std::make_unique<FifoUnblocker>(path);
        } else if (kind == QLatin1String("zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
            cap = std::make_unique<MemoryCap>();
        } else if (kind == QLatin1String("dir")) {
            QVERIFY(QDir(bench.dir.path()).mkdir(file));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(WriteFile(bench.Path("elsewhere.ini"), good));
            QVERIFY(QFile::link(bench.Path("elsewhere.ini"), path));
        } else {
            // Padded with a long last line to exactly 64 KiB, or one byte more.
            const qsizetype size = 64 * 1024 + (kind == QLatin1String("large") ? 1 : 0);
            good += QByteArray(size - good.size() - 2, '#') + "\r\n";
            QCOMPARE(good.size(), size);
            QVERIFY(WriteFile(path, good));
        }

        StartScreen screen(bench);
        screen.Run();
        QVERIFY(screen.WaitPasses(2));
        unblocker.reset();
        cap.reset();
        const Form2& form = *screen.form;
        if (reason.isEmpty()) {
            QVERIFY(form.SettingsLabel->isHidden());
            QCOMPARE(screen.m.LanguageIndex, uint8_t(prog ? 1 : 0));
            QCOMPARE(form.Check1[5]->isChecked(), !prog);
            return;
        }
        // Defaults: Italian, port 1, the default time-outs; no box ticked.
        QCOMPARE(screen.m.LanguageIndex, uint8_t(0));
        QCOMPARE(screen.m.CommPortNumber, uint8_t(1));
        if (prog) {
            QCOMPARE(int(screen.m.StartReplyTimeoutMs), DefaultReplyTimeoutMs);
        }
        for (int n = 1; n <= Form2::AddressCount; ++n) {
            QVERIFY(!form.Check1[n]->isChecked());
        }
        QVERIFY(form.SettingsLabel->isVisible());
        QCOMPARE(form.SettingsLabel->text(),
                 QStringLiteral("%1 ignorato (%2): valori predefiniti").arg(path, reason));
        QCOMPARE(screen.prompter.records.size(), 0); // said in the status line, not in a message box
    }
};

QTEST_MAIN(TestForm2)
#include "test_form2.moc"
