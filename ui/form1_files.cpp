// The main setup screen's setup files: the menu items Ap and Sal, the step of the loop that carries
// out their request, and the message boxes and file dialog CMDialog1 that the actions show.

#include "form1.h"

#include "prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>

namespace {

// "Setup Files (*.stp)|*.stp|All Files (*.*)|*.*" as the dialog's name filters. "*.*" means any file,
// with or without a dot in its name.
QStringList NameFilters() {
    const QStringList parts = QString::fromLatin1(setupfile::DialogFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(QLatin1String("*.*"), QLatin1String("*"));
        const qsizetype open = parts[i].indexOf(QLatin1Char('('));
        filters << parts[i].left(open < 0 ? parts[i].size() : open).trimmed() + QLatin1String(" (") +
                       pattern + QLatin1Char(')');
    }
    return filters;
}

class ScreenFileActions final : public FileActions {
public:
    ScreenFileActions(Form1& form, Prompter& prompter, LoopWaker& waker)
        : form_(form), prompter_(prompter), waker_(waker) {}
    ~ScreenFileActions() override { Busy(false); }

    QCoro::Task<> Message(const QString& title, const QString& text, Icon icon) override {
        // The pointer is the default one while the user reads a message.
        const bool wasBusy = busy_;
        Busy(false);
        // A CR in a message text is its line break.
        QString shown = text;
        shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        co_await prompter_.Message(&form_, title, shown,
                                   icon == Icon::Exclamation ? MessageIcon::Exclamation : MessageIcon::None);
        Busy(wasBusy);
    }
    QCoro::Task<QString> AskOpenFile() override {
        co_return co_await Ask(QFileDialog::AcceptOpen, QString());
    }
    QCoro::Task<QString> AskSaveFile(const QString& proposedName) override {
        co_return co_await Ask(QFileDialog::AcceptSave, proposedName);
    }
    void Busy(bool busy) override {
        if (busy == busy_) {
            return;
        }
        busy_ = busy;
        if (busy) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    }
    QCoro::Task<> LetEventsRun() override { co_await waker_.LetEventsRun(); }

private:
    QCoro::Task<QString> Ask(QFileDialog::AcceptMode mode, const QString& proposedName) {
        const bool wasBusy = busy_;
        Busy(false);
        QFileDialog dialog(&form_);
        dialog.setObjectName(QStringLiteral("CMDialog1"));
        dialog.setAcceptMode(mode);
        dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
        dialog.setNameFilters(NameFilters());
        dialog.setDefaultSuffix(QStringLiteral("stp"));
        // Open: the name is cleared; save: the proposed name.
        dialog.selectFile(proposedName);
        const int result = co_await prompter_.Dialog(dialog);
        Busy(wasBusy);
        if (result != QDialog::Accepted) {
            co_return QString(); // cancelled: no error for the user
        }
        co_return dialog.selectedFiles().value(0);
    }

    Form1& form_;
    Prompter& prompter_;
    LoopWaker& waker_;
    bool busy_ = false;
};

} // namespace

void Form1::WireFiles() {
    fileActions_ = std::make_unique<ScreenFileActions>(*this, context_.prompter, waker_);
    files_ = std::make_unique<SetupFiles>(session_, writer_, reader_, *fileActions_);
    WireCompare();
}

void Form1::Ap_Click() {
    m_.PendingFileAction = 1;
    waker_.Notify();
}

void Form1::Sal_Click() {
    m_.PendingFileAction = 2;
    waker_.Notify();
}

QCoro::Task<> Form1::RunPendingFileAction() {
    if (m_.PendingFileAction == PendingCompare) {
        m_.PendingFileAction = 0;
        co_await RunCompare();
        co_return;
    }
    const int action = m_.PendingFileAction;
    const bool load = action == 1;
    NoteFileAction(action, false);
    co_await files_->RunPendingFileAction();
    NoteFileAction(action, true);
    if (load && !exitRequested_ && m_.InstrumentModel != 2) {
        // As on activation: the focus goes to Set1.
        if (QWidget* set1 = FieldWidget(Field::Set1)) {
            set1->setFocus(Qt::OtherFocusReason);
        }
    }
}

QCoro::Task<> Form1::FOpenProc() {
    co_await files_->FOpenProc();
}

QCoro::Task<QString> Form1::GetFileName(const QString& Filename) {
    co_return co_await files_->GetFileName(Filename);
}

QCoro::Task<bool> Form1::SaveFileAs(const QString& Filename) {
    co_return co_await files_->SaveFileAs(Filename);
}

QCoro::Task<> Form1::OpenFile(const QString& Filename) {
    co_await files_->OpenFile(Filename);
}
