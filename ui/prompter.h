#pragma once

// Every message box and modal dialog of the utility goes through a Prompter. The production one shows
// the real QMessageBox / QDialog window-modal over its parent and suspends the calling coroutine until
// it is closed (no nested event loop: the Qt event loop keeps running everything else). Tests use the
// scripted one, which records what would have been shown and answers with queued choices.

#include <QCoro/QCoroTask>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

class QDialog;
class QWidget;

enum class MessageIcon { None, Information, Exclamation, Critical, Question };

class Prompter {
public:
    virtual ~Prompter() = default;

    // A message box over `parent` with the given buttons (QMessageBox::StandardButtons, OK alone by
    // default). Returns the button that closed it (a QMessageBox::StandardButton).
    virtual QCoro::Task<int> Message(QWidget* parent, const QString& title, const QString& text,
                                     MessageIcon icon, int buttons = QMessageBox::Ok) = 0;

    // Shows `dialog` window-modal over its parent and returns its result code (QDialog::Accepted or
    // Rejected) once it is finished. The dialog stays owned by the caller; it is hidden, not deleted.
    // The caller resumes from the event loop, never from inside the dialog's own button handler, so
    // it may delete the dialog and its parent right away.
    virtual QCoro::Task<int> Dialog(QDialog& dialog) = 0;

    // A dialog that asks where to save a file, over `parent`, proposing `proposedPath`, listing the
    // files that match `filter` (e.g. "Text (*.txt)"). Returns the path chosen, empty when cancelled.
    virtual QCoro::Task<QString> SaveFileName(QWidget* parent, const QString& title,
                                              const QString& proposedPath, const QString& filter) = 0;
};

// Shows real widgets.
class WidgetPrompter final : public Prompter {
public:
    QCoro::Task<int> Message(QWidget* parent, const QString& title, const QString& text, MessageIcon icon,
                             int buttons = QMessageBox::Ok) override;
    QCoro::Task<int> Dialog(QDialog& dialog) override;
    QCoro::Task<QString> SaveFileName(QWidget* parent, const QString& title, const QString& proposedPath,
                                      const QString& filter) override;
};

// Records every prompt and answers from queues. A message is answered with the next queued button
// (OK when the queue is empty). A dialog is handed to the next queued script, which acts on it the way
// a user would (clicks its option buttons, then OK or Cancel); a dialog without a script is cancelled.
// A file dialog is answered with the next queued path (cancelled when none is queued).
class ScriptedPrompter final : public Prompter {
public:
    struct Record {
        enum Kind { MessageBox, ModalDialog, FileDialog };
        Kind kind = MessageBox;
        QString title; // message title, or the dialog's window title
        QString text;  // message text, or the path a file dialog proposes (empty for a dialog)
        MessageIcon icon = MessageIcon::None;
        QString objectName; // the dialog's object name (empty for a message)
    };
    using DialogScript = std::function<void(QDialog&)>;

    QList<Record> records;
    // Called with each record as it is made (before the answer), e.g. to look at the screen behind.
    std::function<void(const Record&)> onPrompt;

    void QueueMessageAnswer(int button) { messageAnswers_.push_back(button); }
    void QueueDialogScript(DialogScript script) { dialogScripts_.push_back(std::move(script)); }
    // The path the next file dialog answers; an empty path cancels it.
    void QueueFileAnswer(const QString& path) { fileAnswers_.push_back(path); }
    // A script that clicks the named buttons of the dialog in order (e.g. {"Option2", "CancelButton"}).
    static DialogScript Click(const QStringList& objectNames);

    int MessageCount() const;
    int DialogCount() const;

    QCoro::Task<int> Message(QWidget* parent, const QString& title, const QString& text, MessageIcon icon,
                             int buttons = QMessageBox::Ok) override;
    QCoro::Task<int> Dialog(QDialog& dialog) override;
    QCoro::Task<QString> SaveFileName(QWidget* parent, const QString& title, const QString& proposedPath,
                                      const QString& filter) override;

private:
    std::deque<int> messageAnswers_;
    std::deque<QString> fileAnswers_;
    std::deque<DialogScript> dialogScripts_;
};
