// Runs the utility on its demo line and saves the start-up screen, the main setup screen in setup mode,
// its calibration tab and the traffic window, in Italian and in English, as PNG files: the README's
// pictures. On the way it checks the main setup screen's layout on a laptop's 1024x720 and on 1920x1080
// (every tab: captions next to their fields, nothing outside the window, no caption cut short, the
// window no larger than the screen) and fails when it is not sound. The setup screen with its weight
// trend is also taken as the whole 1024x768 screen of a small laptop, both windows where they are. The first
// page of the configuration report of the VXA, with every tab read, goes there too: the report as the
// program writes it to PDF, turned into a picture by poppler's pdftoppm. Last the compare window,
// against a setup file in which the filter and the baud rate were changed, and the verification window
// with the first page of its certificate.
//
//   QT_QPA_PLATFORM=offscreen build/tools/quartel-screenshots docs

#include "application.h"
#include "comparewindow.h"
#include "form1.h"
#include "form2.h"
#include "layoutcheck.h"
#include "prompter.h"
#include "reportrender.h"
#include "settings.h"
#include "trafficwindow.h"
#include "trendcontrol.h"
#include "trendpanel.h"
#include "certificaterender.h"
#include "verificationwindow.h"

#include <QApplication>
#include <QCoro/QCoroTask>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

bool Shoot(QWidget* w, const QString& path) {
    w->resize(w->sizeHint().expandedTo(QSize(760, 560)));
    QTest::qWait(300);
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}

// The first page of the screen's report as `png` (a PNG file, 100 dpi).
// The verification window after a run over a scale with a linearity error of 0.02 % (every reading as
// the simulator gives it), and the first page of its certificate.
void ShootVerification(Form1* main, const QString& scratch, const QString& outDir, const QString& suffix) {
    const Modulo1& m = main->Parameters().modulo1();
    const InstrumentSummary inst{1, 1, QStringLiteral("3.2"), QStringLiteral("10000"), QStringLiteral("1"),
                                 QStringLiteral("2.0000")};
    verify::Scale scale;
    scale.max = 10000;
    VerificationWindow window(inst, scale, m.LanguageIndex, main);
    window.resize(900, 820);
    window.show();
    const QStringList header{QStringLiteral("Mulino Rossi S.r.l."), QStringLiteral("Cremona"),
                             QStringLiteral("Pesa a ponte 2"), QStringLiteral("M1 10 t"),
                             QStringLiteral("LAT 123/24"), QStringLiteral("18 °C"), QStringLiteral("A. Bianchi")};
    const char* const names[] = {"Customer", "Site", "ScaleId", "Weights", "WeightsCertificate", "Temperature",
                                 "Technician"};
    for (int i = 0; i < header.size(); ++i) {
        if (auto* edit = window.findChild<QLineEdit*>(QString::fromLatin1(names[i]))) {
            edit->setText(header[i]);
        }
    }
    const QList<verify::Step> plan = window.Record().plan;
    const auto readUpTo = [&](qsizetype end) {
        for (qsizetype i = window.CurrentStep(); i < end; ++i) {
            window.findChild<QPushButton*>(QStringLiteral("ReadButton"))->click();
            window.TakeReading(plan[i].load + std::round(plan[i].load * 0.0002));
        }
    };
    // The window with the last three steps still to read, then the certificate of the whole run.
    readUpTo(plan.size() - 3);
    QTest::qWait(300);
    const QString path = QDir(outDir).filePath(QStringLiteral("verification-%1.png").arg(suffix));
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    readUpTo(plan.size());
    const QString pdf = QDir(scratch).filePath(QStringLiteral("verification.pdf"));
    if (SaveCertificatePdf(window.Record(), pdf, m.LanguageIndex).ok) {
        const QString png = QDir(outDir).filePath(QStringLiteral("certificate-%1").arg(suffix));
        QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"),
                                                       QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                                       QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, png});
        std::printf("saved %s.png\n", qPrintable(png));
    }
}

bool ShootReport(Form1* main, const QString& scratch, const QString& png) {
    const QString pdf = QDir(scratch).filePath(QStringLiteral("report.pdf"));
    const int language = main->Parameters().modulo1().LanguageIndex;
    if (!SaveReportPdf(main->Report(), pdf, language).ok) {
        return false;
    }
    QString base = png;
    base.chop(4); // pdftoppm adds ".png"
    const int status = QProcess::execute(QStringLiteral("pdftoppm"),
                                         {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("100"),
                                          QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                          QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, base});
    std::printf("%s %s\n", status == 0 ? "saved" : "could not save (pdftoppm)", qPrintable(png));
    return status == 0;
}

// Waits for the dialog `name` of the screen to show, then clicks its `button`.
void Answer(QWidget* screen, const char* name, const char* button) {
    QPointer<QDialog> dialog;
    WaitUntil([&] {
        dialog = screen->findChild<QDialog*>(QString::fromLatin1(name));
        return dialog && dialog->isVisible();
    });
    if (dialog) {
        if (auto* b = dialog->findChild<QPushButton*>(QString::fromLatin1(button))) {
            b->click();
        }
    }
}

// The main setup screen on the screens it must fit, every tab: the captions next to their fields, no
// button too narrow (the faults are printed). The window comes back to its own size afterwards.
bool CheckLayouts(Form1* main, const QString& suffix) {
    const QSize own = main->size();
    const int shown = main->SSTab1->currentIndex();
    bool sound = true;
    for (QSize screen : {Form1::ScreenRoomMin, QSize(1920, 1080)}) {
        main->resize(main->size().boundedTo(screen));
        for (int tab = 0; tab < Form1::TabCount; ++tab) {
            if (!main->SSTab1->isTabEnabled(tab)) {
                continue;
            }
            main->SSTab1->setCurrentIndex(tab);
            QTest::qWait(50);
            const QStringList faults = LayoutFaults(*main) + WindowFaults(*main, screen);
            for (const QString& fault : faults) {
                std::printf("layout %s %dx%d tab %d: %s\n", qPrintable(suffix), screen.width(),
                            screen.height(), tab, qPrintable(fault));
            }
            sound = sound && faults.isEmpty();
        }
        std::printf("layout %s %dx%d: %s\n", qPrintable(suffix), screen.width(), screen.height(),
                    sound ? "sound" : "faults");
    }
    main->SSTab1->setCurrentIndex(shown);
    main->resize(own);
    return sound;
}

// The whole screen of a 1024x768 laptop: the setup screen at its top left under a panel's height and
// the trend floating where the screen put it. Few colours, so the file stays small.
bool ShootLaptop(Form1* main, const QString& path) {
    QImage screen(1024, 768, QImage::Format_RGB32);
    screen.fill(QColor(58, 68, 80));
    {
        QPainter painter(&screen);
        const int top = 768 - Form1::ScreenRoomMin.height();
        painter.drawPixmap(0, top, main->grab());
        if (main->TrendDock->isVisible() && main->TrendDock->isFloating()) {
            const int y = std::min(main->height(), 768 - top - main->TrendDock->height());
            painter.drawPixmap(0, top + std::max(0, y), main->TrendDock->grab());
        }
    }
    const bool ok = screen.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither)
                        .save(path, "PNG", 0);
    std::printf("%s %s\n", ok ? "saved" : "could not save", qPrintable(path));
    return ok;
}

bool Run(const QString& outDir, int language) {
    QTemporaryDir scratch;
    Modulo1 defaults;
    settings::ReadProgIni(defaults, scratch.path()); // the defaults of a missing file
    defaults.LanguageIndex = uint8_t(language);
    settings::WriteProgIni(defaults, scratch.path());

    ApplicationOptions options;
    options.demo = true;
    options.showWelcome = false;
    options.settingsDir = scratch.path();
    Application app(options, std::make_unique<WidgetPrompter>());
    bool ended = false;
    [](Application* a, bool* done) -> QCoro::Task<> {
        co_await a->Run();
        *done = true;
    }(&app, &ended);

    const QString suffix = language == 1 ? QStringLiteral("en") : QStringLiteral("it");
    if (!WaitUntil([&] { return app.StartScreen() && app.StartScreen()->PassCount() >= 3; })) {
        return false;
    }
    Shoot(app.StartScreen(), QDir(outDir).filePath(QStringLiteral("start-screen-%1.png").arg(suffix)));
    // The traffic window, opened from the start-up screen's menu, follows both screens.
    app.StartScreen()->traf->trigger();

    QTest::mouseDClick(app.StartScreen()->Icona[1], Qt::LeftButton);
    if (!WaitUntil([&] { return app.MainScreen() && app.MainScreen()->PassCount() >= 2; })) {
        return false;
    }
    Form1* main = app.MainScreen();
    main->Command1_Click();
    if (!WaitUntil([&] { return app.State().TabRead[1] == 1; })) {
        return false;
    }
    WaitUntil([&] { return main->PassCount() >= 8; });
    const bool layoutsSound = CheckLayouts(main, suffix);
    Shoot(main, QDir(outDir).filePath(QStringLiteral("main-setup-%1.png").arg(suffix)));
    if (TrafficWindow* traffic = app.TrafficView()) {
        traffic->resize(1180, 460);
        QTest::qWait(2 * TrafficWindow::RepaintIntervalMs);
        const QString path = QDir(outDir).filePath(QStringLiteral("traffic-%1.png").arg(suffix));
        const bool saved = traffic->grab().save(path);
        std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
        traffic->close();
    }
    // The calibration tab, with a sample weight typed in.
    main->SSTab1->setCurrentIndex(1);
    if (auto* campione = main->findChild<QLineEdit*>(QStringLiteral("Campione"))) {
        campione->setText(QStringLiteral("500"));
    }
    WaitUntil([&, target = main->PassCount() + 3] { return main->PassCount() >= target; });
    Shoot(main, QDir(outDir).filePath(QStringLiteral("calibration-%1.png").arg(suffix)));
    // The weight trend over one minute during a zero setting ("NO" to the datasheet question): the
    // demo's load swings, the zero is marked, the weight then swings about 0.
    main->Trend().TrendItem->trigger();
    main->Trend().Panel()->SetWindowMinutes(1);
    QTest::qWait(20000);
    if (auto* zero = main->findChild<QPushButton*>(QStringLiteral("Command2"))) {
        zero->click();
    }
    Answer(main, "modteor", "CancelButton");
    QTest::qWait(20000);
    main->Trend().Panel()->Refresh();
    {
        const QString path = QDir(outDir).filePath(QStringLiteral("trend-%1.png").arg(suffix));
        const bool saved = main->TrendDock->grab().save(path);
        std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    }
    ShootLaptop(main, QDir(outDir).filePath(QStringLiteral("laptop-%1.png").arg(suffix)));
    main->Trend().TrendItem->trigger();
    // Every configuration tab read, then the report with a line of notes.
    for (int tab : {2, 3, 4, 5, 0}) {
        main->SSTab1->setCurrentIndex(tab);
        WaitUntil([&] { return app.State().TabRead[size_t(tab) + 1] == 1; });
    }
    app.State().ReportNotes = language == 1 ? QStringLiteral("Line 2, hopper scale")
                                            : QStringLiteral("Linea 2, bilancia a tramoggia");
    ShootReport(main, scratch.path(), QDir(outDir).filePath(QStringLiteral("report-%1.png").arg(suffix)));

    {
        const int model = app.State().InstrumentModel;
        const QStringList held = setupdiff::ValuesOf(main->Parameters(), model);
        QStringList file = held;
        file[8] = QStringLiteral("3");  // digital filter
        file[27] = QStringLiteral("3"); // baud rate
        CompareWindow window(setupdiff::Compare(held, file, model, language),
                             QStringLiteral("quartel-01.stp"), language, main);
        window.resize(760, 300);
        window.show();
        QTest::qWait(300);
        const QString path = QDir(outDir).filePath(QStringLiteral("compare-%1.png").arg(suffix));
        const bool saved = window.grab().save(path);
        std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    }

    ShootVerification(main, scratch.path(), outDir, suffix);

    main->Command1_Click();
    main->Esc_Click();
    // The exit procedure asks whether to save the changes: OK.
    Answer(main, "DialogA", "OKButton");
    if (!WaitUntil([&] { return app.StartScreen() != nullptr; })) {
        return false;
    }
    app.StartScreen()->Command1_Click();
    return WaitUntil([&] { return ended; }) && layoutsSound;
}

} // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(outDir);
    bool ok = true;
    QTimer::singleShot(0, [&] {
        ok = Run(outDir, 0) && Run(outDir, 1);
        qapp.quit();
    });
    qapp.exec();
    return ok ? 0 : 1;
}
