#pragma once

// The datasheet calibration question of the main setup screen: a zero setting is about to be done
// while a weight is shown; may that weight be carried over into the dead load? "OK" answers yes,
// "NO" no; closing the window any other way answers neither.

#include <QDialog>

#include <cstdint>

class QLabel;
class QPushButton;

class modteor : public QDialog {
    Q_OBJECT
public:
    explicit modteor(QWidget* parent = nullptr);

    // Texts of the language (LanguageIndex 1 English, any other value Italian).
    void Form_Load(int languageIndex);

    QLabel* Label1 = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void OKButton_Click();
    void CancelButton_Click();

    // The value for DatasheetAnswer: 10 after "OK", 1 after "NO", 0 when closed otherwise.
    uint8_t Answer() const { return answer_; }

private:
    uint8_t answer_ = 0;
};
