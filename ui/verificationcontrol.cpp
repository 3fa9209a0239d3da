#include "verificationcontrol.h"

#include "reportprint.h"
#include "parameterset.h"
#include "prompter.h"
#include "texts_verify.h"
#include "verificationwindow.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSaveFile>

namespace {

QString Word(const char* key, int language) {
    return TextOf(texts::Verification(), QString::fromLatin1(key), language);
}

} // namespace

VerificationControl::VerificationControl(Modulo1& m, const LiveMonitor& monitor,
                                         const MonitorDisplay& display, const ParameterSet& set,
                                         Prompter& prompter, QMenu* menu, QAction* before, QWidget* screen)
    : QObject(screen), m_(m), monitor_(monitor), display_(display), set_(set), prompter_(prompter),
      screen_(screen) {
    VerifyItem = new QAction(menu);
    VerifyItem->setObjectName(QStringLiteral("verifyItem"));
    menu->insertAction(before, VerifyItem);
    VerifyItem->setEnabled(false); // until the first pass says the instrument weighs
    connect(VerifyItem, &QAction::triggered, this, &VerificationControl::VerifyItem_Triggered);
    ApplyLanguage(m_.LanguageIndex);
}

VerificationWindow* VerificationControl::Window() const {
    return window_;
}

void VerificationControl::ApplyLanguage(int languageIndex) {
    VerifyItem->setText(Word("verifyItem", languageIndex));
}

bool VerificationControl::CanWeigh() const {
    const uint8_t a = m_.DeviceAddress;
    return !m_.Fl_setup && !m_.OfflineEdit && m_.DivisionStep[a] != 0 && m_.ErrorCount[a] == 0;
}

void VerificationControl::VerifyItem_Triggered() {
    if (window_) {
        window_->raise();
        window_->activateWindow();
        return;
    }
    const uint8_t a = m_.DeviceAddress;
    InstrumentSummary inst;
    inst.model = m_.InstrumentModel;
    inst.address = a;
    inst.version = display_.text(MonitorDisplay::Text::Versione);
    const int decimals = m_.DecimalCount[a];
    const double e = m_.DivisionStep[a] / std::pow(10.0, decimals);
    inst.division = QString::number(e, 'f', decimals);
    // The weight constants are read in setup mode only: a capacity never read is left for the user.
    if (set_.known(GroupId::WeightConstants)) {
        inst.capacity = set_.text(Field::Capac).trimmed();
        inst.sensitivity = set_.text(Field::Sensib).trimmed();
    }
    verify::Scale scale;
    scale.e = e;
    scale.decimals = decimals;
    scale.max = inst.capacity.toDouble();
    window_ = new VerificationWindow(inst, scale, m_.LanguageIndex, screen_);
    window_->setAttribute(Qt::WA_DeleteOnClose);
    window_->setWindowFlag(Qt::Window);
    connect(window_, &VerificationWindow::ReadRequested, this,
            [this] { wait_.Ask(passes_, QDateTime::currentMSecsSinceEpoch(), StableTimeoutS * 1000); });
    connect(window_, &VerificationWindow::SaveRequested, this, [this] { SaveCertificate(); });
    connect(window_, &VerificationWindow::PrintRequested, this, [this] { PrintCertificateNow(); });
    connect(window_, &QObject::destroyed, this, [this] { wait_.Cancel(); });
    window_->SetReadAllowed(CanWeigh());
    window_->show();
}

void VerificationControl::AfterPass(quint64 pass) {
    passes_ = pass;
    const bool weighs = CanWeigh();
    // Outside setup mode only; the instrument must answer (the item waits for the division).
    VerifyItem->setEnabled(!m_.Fl_setup && !m_.OfflineEdit && (weighs || window_));
    if (!window_) {
        wait_.Cancel();
        return;
    }
    window_->SetReadAllowed(weighs);
    double indication = 0;
    switch (wait_.AfterPass(pass, QDateTime::currentMSecsSinceEpoch(), monitor_, m_, &indication)) {
    case StableWait::Result::Taken:
        window_->TakeReading(indication);
        break;
    case StableWait::Result::TimedOut:
        window_->ReadTimedOut(StableTimeoutS);
        break;
    case StableWait::Result::Waiting:
    case StableWait::Result::Idle:
        break;
    }
}

QCoro::Task<> VerificationControl::SaveCertificate() {
    QPointer<VerificationWindow> window = window_;
    if (!window) {
        co_return;
    }
    const int language = m_.LanguageIndex;
    const VerificationRecord rec = window->Record();
    const QString path = co_await prompter_.SaveFileName(
        window, Word("SaveButton", language).remove(QStringLiteral("...")),
        CertificateFileName(rec.instrument.address, rec.date, language), Word("PdfFilter", language));
    if (path.isEmpty() || !window) {
        co_return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ReportOutcome saved = SaveCertificatePdf(rec, path, language);
    if (saved.ok) {
        // The readings beside it, as CSV.
        const QFileInfo info(path);
        QSaveFile csv(info.dir().filePath(info.completeBaseName() + QStringLiteral(".csv")));
        if (!csv.open(QIODevice::WriteOnly) || csv.write(CertificateCsv(rec).toUtf8()) < 0 || !csv.commit()) {
            saved = {false, csv.errorString()};
        }
    }
    QApplication::restoreOverrideCursor();
    if (!saved.ok && window) {
        co_await prompter_.Message(
            window, Word("MessageTitle", language),
            Word("SaveFailed", language).arg(QDir::toNativeSeparators(path), saved.reason),
            MessageIcon::Exclamation);
    }
}

QCoro::Task<> VerificationControl::PrintCertificateNow() {
    QPointer<VerificationWindow> window = window_;
    if (!window) {
        co_return;
    }
    const int language = m_.LanguageIndex;
    const ReportOutcome printed = PrintCertificate(window->Record(), language);
    if (!printed.ok && window) {
        co_await prompter_.Message(window, Word("MessageTitle", language), printed.reason,
                                   MessageIcon::Exclamation);
    }
}
