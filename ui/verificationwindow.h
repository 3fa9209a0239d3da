#pragma once

// The verification window: the certificate's header fields, the scale (class, kind of inspection, unit,
// e and Max prefilled from the instrument, all editable), the plan as a table of steps (load, position,
// ΔL editable), the prompt of the step on hand with its Read button (Enter reads), the plot of the
// errors with the ±MPE envelope, the verdict, and the buttons that save or print the certificate.
//
// The window never talks to the instrument: Read only raises ReadRequested; the screen's polling loop
// takes the reading (StableWait) and hands it over with TakeReading or ReadTimedOut.

#include "certificate.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class VerificationWindow : public QDialog {
    Q_OBJECT
public:
    VerificationWindow(const InstrumentSummary& instrument, const verify::Scale& scale, int languageIndex,
                       QWidget* parent = nullptr);

    // The reading of the step on hand, in the unit; the window moves on to the next step not read.
    void TakeReading(double indication);
    void ReadTimedOut(int seconds);
    // False while the instrument cannot weigh (setup mode, offline editing, a link error).
    void SetReadAllowed(bool allowed);
    bool Waiting() const { return waiting_; }
    int CurrentStep() const { return current_; }

    VerificationRecord Record() const;
    verify::Outcome Judged() const;

signals:
    void ReadRequested();
    void SaveRequested();
    void PrintRequested();

private:
    QString Text(const char* key) const;
    void ScaleEdited();
    void NewPlan();
    void FillTable();
    void FillRow(int row);
    void CellEdited(int row, int column);
    void ShowStep();
    void Read_Click();

    int language_;
    InstrumentSummary instrument_;
    verify::Scale scale_;
    QList<verify::Step> plan_;
    QList<verify::Reading> readings_;
    int current_ = 0;
    bool waiting_ = false;
    bool readAllowed_ = true;
    bool filling_ = false;

    QList<QLineEdit*> header_;
    QComboBox* classBox_ = nullptr;
    QComboBox* inspectionBox_ = nullptr;
    QComboBox* unitBox_ = nullptr;
    QLineEdit* eEdit_ = nullptr;
    QLineEdit* maxEdit_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* prompt_ = nullptr;
    QLabel* state_ = nullptr;
    QPushButton* read_ = nullptr;
    QWidget* plot_ = nullptr;
    QLabel* verdict_ = nullptr;
};
