#include "modteor.h"

#include "calibration.h"
#include "applytexts.h"
#include "texts.h"
#include "texts_form1.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

modteor::modteor(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("modteor"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    OKButton = new QPushButton(this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    connect(OKButton, &QPushButton::clicked, this, &modteor::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &modteor::CancelButton_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
}

void modteor::Form_Load(int languageIndex) {
    ApplyTexts(this, texts::DatasheetQuestion(), languageIndex);
}

void modteor::OKButton_Click() {
    answer_ = Calibration::CarryOver;
    accept();
}

void modteor::CancelButton_Click() {
    answer_ = Calibration::ZeroDue;
    reject();
}
