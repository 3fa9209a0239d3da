#pragma once

// The notes window of the configuration report: one line of free text without a length limit. OK keeps
// the text in ReportNotes; closing the window any other way keeps the notes as they were.

#include "modulo1.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class Note : public QDialog {
    Q_OBJECT
public:
    explicit Note(Modulo1& m, QWidget* parent = nullptr);

    // The notes as last confirmed, and the caption of the language.
    void Form_Load();

    QLabel* Label1 = nullptr; // the prompt over the field
    QLineEdit* Text1 = nullptr;
    QPushButton* OKButton = nullptr;

    void OKButton_Click();

private:
    Modulo1& m_;
};
