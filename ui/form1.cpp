#include "form1.h"

#include "texts.h"

#include <QAction>
#include <QCloseEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

Form1::Form1(const ScreenContext& context, QWidget* parent)
    : QMainWindow(parent), MSComm1(new SerialLink(context.m, this)), Timer1(MSComm1->Timer1),
      context_(context) {
    setObjectName(QStringLiteral("Form1"));
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    Timer1.setObjectName(QStringLiteral("Timer1"));

    opz = menuBar()->addMenu(QString());
    opz->setObjectName(QStringLiteral("opz"));
    Esc = opz->addAction(QString());
    Esc->setObjectName(QStringLiteral("Esc"));
    connect(Esc, &QAction::triggered, this, &Form1::Esc_Click);

    auto* central = new QWidget(this);
    auto* form = new QFormLayout(central);
    form->setContentsMargins(20, 20, 20, 20);
    Label4 = new QLabel(central);
    Label4->setObjectName(QStringLiteral("Label4"));
    IndStr = new QLineEdit(central);
    IndStr->setObjectName(QStringLiteral("IndStr"));
    IndStr->setReadOnly(true);
    IndStr->setMaximumWidth(80);
    form->addRow(Label4, IndStr);
    setCentralWidget(central);
    resize(640, 420);
    ApplyTexts(this, texts::Form1(), 0);
}

Form1::~Form1() {
    if (loopRunning_) {
        qWarning("Form1 destroyed while its loop was still running");
    }
}

void Form1::Form_Load() {
    const Modulo1& m = context_.m;
    MSComm1->OpenPort(PortDevice(context_, m.CommPortNumber));
    ApplyTexts(this, texts::Form1(), m.LanguageIndex);
    IndStr->setText(QString::number(m.DeviceAddress));
}

QCoro::Task<> Form1::Form_Activate() {
    loopRunning_ = true;
    while (!exitRequested_) {
        co_await waker_.Wait();
    }
    loopRunning_ = false;
}

void Form1::Esc_Click() {
    exitRequested_ = true;
    MSComm1->CancelWait();
    waker_.Notify();
}

void Form1::closeEvent(QCloseEvent* event) {
    // The close box takes the path of the exit menu; the Application closes the window.
    event->ignore();
    Esc_Click();
}
