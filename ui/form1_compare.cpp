// The main setup screen's comparison with a setup file: the menu item beside open and save, and the step
// of the loop that reads the instrument, asks for the file, shows the compare window and, when the user
// asks for it there, loads the file as the open item does or prints the list.

#include "form1.h"

#include "comparewindow.h"
#include "prompter.h"
#include "setupdiff.h"
#include "texts_compare.h"

#include <QMenu>

void Form1::WireCompare() {
    // Beside open and save, so that it shares their menu's enable rule.
    Conf = new QAction(opz);
    Conf->setObjectName(QStringLiteral("Conf"));
    opz->insertAction(Reset, Conf);
    connect(Conf, &QAction::triggered, this, &Form1::Conf_Click);
}

void Form1::Conf_Click() {
    m_.PendingFileAction = PendingCompare;
    waker_.Notify();
}

QCoro::Task<> Form1::RunCompare() {
    const int language = m_.LanguageIndex;
    const int model = m_.InstrumentModel;
    const auto say = [language](const char* key) {
        return TextOf(texts::Compare(), QString::fromLatin1(key), language);
    };
    fileActions_->Busy(true);
    co_await fileActions_->LetEventsRun();
    if (!m_.OfflineEdit) {
        // What is compared is what the instrument holds now, read as a save reads it.
        co_await reader_.ReadAllConfiguration();
        if (exitRequested_) {
            // The user left meanwhile: the exit procedure goes next, with no message in its way.
            fileActions_->Busy(false);
            co_return;
        }
        if (!m_.ReadAllOk) {
            fileActions_->Busy(false);
            co_await fileActions_->Message(setupfile::MessageTitle(setupfile::Message::ReadFailed, language),
                                           say("ReadFailed") + QLatin1Char('\r') +
                                               setupfile::NotReadText(reader_.FailedGroups(), language),
                                           FileActions::Icon::Exclamation);
            co_return;
        }
    }
    const QString path = co_await fileActions_->AskOpenFile();
    if (path.isEmpty() || exitRequested_) {
        fileActions_->Busy(false);
        co_return;
    }
    // The file is read with the load's own rules: what the compare takes, a load takes.
    const SetupFiles::FileCheck check = SetupFiles::CheckFile(path, model, language, true);
    fileActions_->Busy(false);
    // A line the instrument cannot hold is shown as such in the comparison.
    if (check.outcome != SetupFiles::LoadOutcome::Loaded && check.unheldLine == 0) {
        co_await fileActions_->Message(check.title, check.text, check.icon);
        co_return;
    }
    const setupdiff::Comparison comparison =
        setupdiff::Compare(setupdiff::ValuesOf(set_, model), check.parsed.values, model, language);
    for (;;) {
        CompareWindow window(comparison, path, language, this);
        const int result = co_await context_.prompter.Dialog(window);
        if (exitRequested_) {
            co_return;
        }
        if (result == CompareWindow::PrintResult) {
            reportToPrint_ = setupdiff::ReportOf(comparison, language, say("Instrument"), say("File"));
            co_await PrintConfiguration();
            if (exitRequested_) {
                co_return;
            }
            continue; // back to the list
        }
        if (result == CompareWindow::LoadResult) {
            co_await files_->Load(path);
            fileActions_->Busy(false);
            if (!exitRequested_ && model != 2) {
                // As after the open item: the focus goes to Set1.
                if (QWidget* set1 = FieldWidget(Field::Set1)) {
                    set1->setFocus(Qt::OtherFocusReason);
                }
            }
        }
        co_return;
    }
}
