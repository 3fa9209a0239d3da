#include "dialogs.h"

#include "applytexts.h"
#include "pictures.h"
#include "portsettings.h"
#include "settings.h"
#include "texts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// OK and Annulla side by side at the bottom right of a dialog.
QHBoxLayout* ButtonRow(QPushButton* ok, QPushButton* cancel) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

QRadioButton* NewOption(QWidget* parent, int index) {
    auto* option = new QRadioButton(parent);
    option->setObjectName(QStringLiteral("Option%1").arg(index));
    return option;
}

QPushButton* NewButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

// --- Comm ---------------------------------------------------------------------------------------------

Comm::Comm(const ScreenContext& context, QWidget* parent) : QDialog(parent), context_(context) {
    setObjectName(QStringLiteral("Comm"));
    auto* group = new QButtonGroup(this);
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(18);
    for (int k = 1; k <= 6; ++k) {
        Option[k] = NewOption(this, k);
        group->addButton(Option[k], k);
        DeviceOf[k] = new QLabel(this);
        DeviceOf[k]->setObjectName(QStringLiteral("Device%1").arg(k));
        DeviceOf[k]->setForegroundRole(QPalette::PlaceholderText);
        grid->addWidget(Option[k], k - 1, 0);
        grid->addWidget(DeviceOf[k], k - 1, 1);
        connect(Option[k], &QRadioButton::toggled, this, [this, k](bool on) {
            if (on) {
                Option_Click(k);
            }
        });
    }
    OptionDevice = new QRadioButton(this);
    OptionDevice->setObjectName(QStringLiteral("OptionDevice"));
    group->addButton(OptionDevice, 7);
    DeviceEdit = new QLineEdit(this);
    DeviceEdit->setObjectName(QStringLiteral("DeviceEdit"));
    DeviceEdit->setMinimumWidth(360);
    grid->addWidget(OptionDevice, 6, 0);
    grid->addWidget(DeviceEdit, 6, 1);
    connect(OptionDevice, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            OptionDevice_Click();
        }
        UpdateOk();
    });
    connect(DeviceEdit, &QLineEdit::textEdited, this, [this] {
        if (!OptionDevice->isChecked()) {
            OptionDevice->setChecked(true); // runs OptionDevice_Click
        } else {
            OptionDevice_Click();
        }
        UpdateOk();
    });

    PortListLabel = new QLabel(this);
    PortListLabel->setObjectName(QStringLiteral("PortListLabel"));
    PortList = new QTreeWidget(this);
    PortList->setObjectName(QStringLiteral("PortList"));
    PortList->setRootIsDecorated(false);
    PortList->setColumnCount(4);
    PortList->setMinimumHeight(110);
    connect(PortList, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { PortList_Click(PortList->indexOfTopLevelItem(item)); });
    DeviceHint = new QLabel(this);
    DeviceHint->setObjectName(QStringLiteral("DeviceHint"));
    DeviceHint->setForegroundRole(QPalette::PlaceholderText);
    LocalEcho = new QCheckBox(this);
    LocalEcho->setObjectName(QStringLiteral("LocalEcho"));
    connect(LocalEcho, &QCheckBox::toggled, this, [this](bool on) {
        if (!context_.localEcho) {
            context_.m.LocalEcho = on;
        }
    });
    CommandLineNote = new QLabel(this);
    CommandLineNote->setObjectName(QStringLiteral("CommandLineNote"));
    CommandLineNote->setWordWrap(true);
    CommandLineNote->hide();

    OKButton = NewButton(this, "OKButton");
    OKButton->setDefault(true);
    CancelButton = NewButton(this, "CancelButton");
    connect(OKButton, &QPushButton::clicked, this, &Comm::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Comm::CancelButton_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(PortListLabel);
    layout->addWidget(PortList);
    layout->addWidget(DeviceHint);
    layout->addSpacing(4);
    layout->addWidget(LocalEcho);
    layout->addWidget(CommandLineNote);
    layout->addSpacing(8);
    layout->addLayout(ButtonRow(OKButton, CancelButton));
    ApplyTexts(this, texts::Comm(), 0); // design texts
}

void Comm::Form_Load() {
    Modulo1& m = context_.m;
    const int language = m.LanguageIndex;
    ApplyTexts(this, texts::Comm(), language);
    const TextTable messages = texts::StartMessages();
    const QString present = TextOf(messages, u"DevicePresent", language);
    const QString absent = TextOf(messages, u"DeviceAbsent", language);
    for (int k = 1; k <= 6; ++k) {
        const QString device = PortDevice(context_.deviceOverride, k);
        DeviceOf[k]->setText(
            QStringLiteral("→ %1  (%2)").arg(device, DeviceExists(device) ? present : absent));
    }
    PortList->setHeaderLabels(
        {TextOf(messages, u"ColumnPort", language), TextOf(messages, u"ColumnStableName", language),
         TextOf(messages, u"ColumnDescription", language), TextOf(messages, u"ColumnUsb", language)});
    ports_ = context_.portSource ? context_.portSource() : SystemPortList();
    PortList->clear();
    for (const PortEntry& e : ports_) {
        auto* item = new QTreeWidgetItem(PortList, {e.systemLocation, e.stableName, e.description, e.usbId});
        item->setToolTip(1, e.stableName);
    }
    for (int column = 0; column < PortList->columnCount(); ++column) {
        PortList->resizeColumnToContents(column);
    }

    // The command line chooses the device: the choice here would do nothing.
    const bool commandLine = !context_.deviceOverride.isEmpty();
    CommandLineNote->setVisible(commandLine);
    CommandLineNote->setText(
        TextOf(messages, u"DeviceFromCommandLine", language).arg(context_.deviceOverride));
    for (QWidget* w :
         std::initializer_list<QWidget*>{OptionDevice, DeviceEdit, PortListLabel, PortList, DeviceHint}) {
        w->setEnabled(!commandLine);
    }
    LocalEcho->setChecked(LineEcho(context_));
    LocalEcho->setEnabled(!context_.localEcho); // --local-echo holds it on

    const int port = m.CommPortNumber;
    const int selected = port >= 1 && port <= 6 ? port : 1;
    if (!m.ChosenDevice.isEmpty() && !commandLine) {
        m.CommPortNumber = uint8_t(selected);
        DeviceEdit->setText(m.ChosenDevice);
        OptionDevice->setChecked(true);
    } else {
        const QString chosen = m.ChosenDevice;
        if (Option[selected]->isChecked()) {
            Option_Click(selected);
        } else {
            Option[selected]->setChecked(true); // runs Option_Click
        }
        // Under --device the choice of port.ini is kept for the runs without it.
        m.ChosenDevice = chosen;
    }
    UpdateOk();
}

void Comm::Option_Click(int index) {
    context_.m.CommPortNumber = uint8_t(index);
    context_.m.ChosenDevice.clear(); // the number chooses the device
    UpdateOk();
}

void Comm::OptionDevice_Click() {
    context_.m.ChosenDevice = DeviceEdit->text().trimmed();
}

void Comm::PortList_Click(int row) {
    if (row < 0 || row >= ports_.size() || !PortList->isEnabled()) {
        return;
    }
    DeviceEdit->setText(ports_.at(row).device);
    if (!OptionDevice->isChecked()) {
        OptionDevice->setChecked(true); // runs OptionDevice_Click
    } else {
        OptionDevice_Click();
    }
    UpdateOk();
}

void Comm::UpdateOk() {
    if (!OKButton || !OptionDevice->isChecked()) {
        if (OKButton) {
            OKButton->setEnabled(true);
        }
        return;
    }
    const QString device = DeviceEdit->text().trimmed();
    QString host;
    quint16 port = 0;
    OKButton->setEnabled(!device.isEmpty() && (!IsTcpDevice(device) || ParseTcpDevice(device, host, port)));
}

void Comm::OKButton_Click() {
    settings::FileProblem problem;
    saved_ = settings::WriteProgIni(context_.m, context_.settingsDir, &problem) &&
             settings::WritePortIni(context_.m, context_.settingsDir, &problem);
    writeProblem_ = saved_ ? std::nullopt : std::optional(problem);
    accept();
}

void Comm::CancelButton_Click() {
    reject();
}

// --- Ling ---------------------------------------------------------------------------------------------

Ling::Ling(const ScreenContext& context, QWidget* parent) : QDialog(parent), context_(context) {
    setObjectName(QStringLiteral("Ling"));
    auto* group = new QButtonGroup(this);
    Option1 = NewOption(this, 1);
    Option2 = NewOption(this, 2);
    group->addButton(Option1, 1);
    group->addButton(Option2, 2);
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            Option1_Click();
        }
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            Option2_Click();
        }
    });
    OKButton = NewButton(this, "OKButton");
    OKButton->setDefault(true);
    CancelButton = NewButton(this, "CancelButton");
    connect(OKButton, &QPushButton::clicked, this, &Ling::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Ling::CancelButton_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Option1);
    layout->addWidget(Option2);
    layout->addSpacing(8);
    layout->addLayout(ButtonRow(OKButton, CancelButton));
    setMinimumWidth(240);
    ApplyTexts(this, texts::Ling(), 0);
}

void Ling::Form_Load() {
    ApplyTexts(this, texts::Ling(), context_.m.LanguageIndex);
    QRadioButton* selected = context_.m.LanguageIndex == 1 ? Option2 : Option1;
    if (selected->isChecked()) {
        selected == Option1 ? Option1_Click() : Option2_Click();
    } else {
        selected->setChecked(true);
    }
}

void Ling::Option1_Click() {
    context_.m.LanguageIndex = 0;
}

void Ling::Option2_Click() {
    context_.m.LanguageIndex = 1;
}

void Ling::OKButton_Click() {
    settings::FileProblem problem;
    saved_ = settings::WriteProgIni(context_.m, context_.settingsDir, &problem);
    writeProblem_ = saved_ ? std::nullopt : std::optional(problem);
    accept();
}

void Ling::CancelButton_Click() {
    reject();
}

// --- frmAbout -----------------------------------------------------------------------------------------

FrmAbout::FrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Version = new QLabel(this);
    Version->setObjectName(QStringLiteral("Version"));
    QFont big = Label1->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    Label1->setFont(big);
    Label1->setAlignment(Qt::AlignCenter);
    QFont medium = Label2->font();
    medium.setPointSizeF(medium.pointSizeF() * 1.2);
    Label2->setFont(medium);
    Label2->setAlignment(Qt::AlignCenter);
    Version->setAlignment(Qt::AlignCenter);

    auto* pictures = new QHBoxLayout;
    const QPixmap images[3] = {LoadCellPicture(120, 80), TransmitterPicture(100, 80), ScalePicture(120, 80)};
    for (int i = 0; i < 3; ++i) {
        Image[i] = new QLabel(this);
        Image[i]->setObjectName(QStringLiteral("Image%1").arg(i + 1));
        Image[i]->setPixmap(images[i]);
        Image[i]->setAlignment(Qt::AlignCenter);
        pictures->addWidget(Image[i]);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 22, 28, 22);
    layout->setSpacing(14);
    layout->addWidget(Label1);
    layout->addLayout(pictures);
    layout->addWidget(Label2);
    layout->addWidget(Version);
    ApplyTexts(this, texts::FrmAbout(), 0);
    // The design text of the version label; the version of this program is set on activation.
    Version->setText(QStringLiteral("PC Software Version 2.2"));

    Timer1.setSingleShot(true);
    Timer1.setInterval(WelcomeTimeMs);
    connect(&Timer1, &QTimer::timeout, this, &FrmAbout::Timer1_Timer);
}

void FrmAbout::Form_Activate() {
    Version->setText(TextOf(texts::FrmAbout(), u"Version", 0));
    Timer1.start();
}

void FrmAbout::Form_Click() {
    Unload();
}

void FrmAbout::Timer1_Timer() {
    Unload();
}

void FrmAbout::Unload() {
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    Timer1.stop();
    hide();
    QMetaObject::invokeMethod(this, &FrmAbout::Unloaded, Qt::QueuedConnection);
}

void FrmAbout::done(int) {
    Unload();
}

void FrmAbout::mousePressEvent(QMouseEvent* event) {
    event->accept();
    Form_Click();
}

void FrmAbout::closeEvent(QCloseEvent* event) {
    event->ignore();
    Unload();
}

void FrmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!unloaded_ && !Timer1.isActive()) {
        Form_Activate();
    }
}
