#include "prompter.h"

#include <QAbstractButton>
#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTimer>
#include <QDialog>
#include <QFileDialog>
#include <QPointer>

#include <chrono>

namespace {

QMessageBox::Icon ToBoxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Lets the handler that finished the dialog return before the waiting coroutine goes on.
QCoro::Task<> BackToEventLoop() {
    co_await QCoro::sleepFor(std::chrono::milliseconds(0));
}

} // namespace

QCoro::Task<int> WidgetPrompter::Message(QWidget* parent, const QString& title, const QString& text,
                                         MessageIcon icon, int buttons) {
    QPointer<QMessageBox> box =
        new QMessageBox(ToBoxIcon(icon), title, text, QMessageBox::StandardButtons(buttons), parent);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->open();
    co_await qCoro(box.data(), &QDialog::finished);
    co_await BackToEventLoop();
    int answer = QMessageBox::Ok;
    if (box) {
        if (QAbstractButton* clicked = box->clickedButton()) {
            answer = box->standardButton(clicked);
        }
        box->deleteLater();
    }
    co_return answer;
}

QCoro::Task<int> WidgetPrompter::Dialog(QDialog& dialog) {
    QPointer<QDialog> guard = &dialog;
    dialog.setWindowModality(dialog.parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    dialog.open();
    const int result = co_await qCoro(&dialog, &QDialog::finished);
    co_await BackToEventLoop();
    co_return guard ? guard->result() : result;
}

QCoro::Task<QString> WidgetPrompter::SaveFileName(QWidget* parent, const QString& title,
                                                  const QString& proposed, const QString& filter) {
    QPointer<QFileDialog> dialog = new QFileDialog(parent, title, proposed, filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->open();
    const int result = co_await qCoro(dialog.data(), &QDialog::finished);
    co_await BackToEventLoop();
    QString path;
    if (dialog) {
        if (result == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
            path = dialog->selectedFiles().constFirst();
        }
        dialog->deleteLater();
    }
    co_return path;
}

ScriptedPrompter::DialogScript ScriptedPrompter::Click(const QStringList& objectNames) {
    return [objectNames](QDialog& dialog) {
        for (const QString& name : objectNames) {
            if (auto* button = dialog.findChild<QAbstractButton*>(name)) {
                button->click();
            } else {
                qWarning("ScriptedPrompter: dialog %s has no button %s", qPrintable(dialog.objectName()),
                         qPrintable(name));
            }
        }
    };
}

int ScriptedPrompter::MessageCount() const {
    return int(std::count_if(records.begin(), records.end(),
                             [](const Record& r) { return r.kind == Record::MessageBox; }));
}

int ScriptedPrompter::DialogCount() const {
    return int(std::count_if(records.begin(), records.end(),
                             [](const Record& r) { return r.kind == Record::ModalDialog; }));
}

int ScriptedPrompter::FileDialogCount() const {
    return int(std::count_if(records.begin(), records.end(),
                             [](const Record& r) { return r.kind == Record::FileDialog; }));
}

QCoro::Task<int> ScriptedPrompter::Message(QWidget*, const QString& title, const QString& text,
                                           MessageIcon icon, int) {
    Record record{Record::MessageBox, title, text, icon, {}};
    records.append(record);
    if (onPrompt) {
        onPrompt(record);
    }
    int answer = QMessageBox::Ok;
    if (!messageAnswers_.empty()) {
        answer = messageAnswers_.front();
        messageAnswers_.pop_front();
    }
    // The box is "up" for one turn of the event loop, as a real one would be.
    co_await BackToEventLoop();
    co_return answer;
}

QCoro::Task<int> ScriptedPrompter::Dialog(QDialog& dialog) {
    QPointer<QDialog> guard = &dialog;
    Record record{Record::ModalDialog, dialog.windowTitle(), {}, MessageIcon::None, dialog.objectName()};
    records.append(record);
    if (onPrompt) {
        onPrompt(record);
    }
    dialog.setResult(QDialog::Rejected);
    if (!dialogScripts_.empty()) {
        DialogScript script = std::move(dialogScripts_.front());
        dialogScripts_.pop_front();
        script(dialog);
    }
    co_await BackToEventLoop();
    co_return guard ? guard->result() : int(QDialog::Rejected);
}

QCoro::Task<QString> ScriptedPrompter::SaveFileName(QWidget*, const QString& title, const QString& proposed,
                                                    const QString&) {
    Record record{Record::FileDialog, title, proposed, MessageIcon::None, {}};
    records.append(record);
    if (onPrompt) {
        onPrompt(record);
    }
    QString path;
    if (!fileAnswers_.empty()) {
        path = fileAnswers_.front();
        fileAnswers_.pop_front();
    }
    co_await BackToEventLoop();
    co_return path;
}
