#pragma once

// The two small windows of the setup-mode commands: the access-code dialog Dialog_passw of the memory
// reset and the save-changes question DialogA of the exit procedure. Both are shown through the
// Prompter by the main setup screen's loop, between two exchanges.

#include "modulo1.h"

#include <QDialog>

class Prompter;
class QLabel;
class QLineEdit;
class QPushButton;

// Access-code dialog. OK keeps the typed text in ResetCodeText; a right code sets MemoryResetRequest and
// closes the dialog, a wrong one shows "Password errata" / "Incorrect password" and the dialog stays
// open. Cancel closes it and nothing else.
class Dialog_passw : public QDialog {
    Q_OBJECT
public:
    static constexpr int CodeMaxLength = 6;

    Dialog_passw(Modulo1& m, Prompter& prompter, QWidget* parent = nullptr);

    // Captions of the language.
    void Form_Load();

    QLabel* Label1 = nullptr;
    QLineEdit* dato_pass = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void OKButton_Click();
    void CancelButton_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Modulo1& m_;
    Prompter& prompter_;
};

// Save-changes question. OK leaves only ExitSaveRequested set, "NO (Reset)" only ExitResetRequested;
// closing it any other way (close box, Escape) leaves both flags as they were.
class DialogA : public QDialog {
    Q_OBJECT
public:
    explicit DialogA(Modulo1& m, QWidget* parent = nullptr);

    // Captions of the language.
    void Form_Load();

    QLabel* Label1 = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void OKButton_Click();
    void CancelButton_Click();

private:
    Modulo1& m_;
};
