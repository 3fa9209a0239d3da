#pragma once

// The small windows of the start-up screen: the port dialog Comm, the language dialog Ling and the
// welcome box frmAbout.

#include "screencontext.h"
#include "settings.h"

#include <QDialog>
#include <QTimer>

#include <array>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// Port dialog. Option button k sets CommPortNumber to k at once; beside each number it shows the
// device the number leads to and whether it is there now. Below, OptionDevice chooses another device
// instead: one typed into DeviceEdit (a device path or tcp://HOST:PORT) or picked from PortList, the
// serial ports the system has now. LocalEcho says that the adapter hands back every request. OK writes
// prog.ini (the number) and port.ini (the device and local echo). Under --device the dialog says that
// the command line chooses the device, and the device choice is disabled.
class Comm : public QDialog {
    Q_OBJECT
public:
    explicit Comm(const ScreenContext& context, QWidget* parent = nullptr);

    // Texts of the language, then selects the button of CommPortNumber (1..6; any other number selects
    // Option1), which counts as a click on it, or OptionDevice when port.ini chose a device (the
    // number still becomes 1 when it is outside 1..6). Fills the port list.
    void Form_Load();

    std::array<QRadioButton*, 7> Option{}; // index 1..6: "Option1" .. "Option6"
    std::array<QLabel*, 7> DeviceOf{};     // index 1..6: "Device1" .. "Device6"
    QRadioButton* OptionDevice = nullptr;
    QLineEdit* DeviceEdit = nullptr;
    QLabel* PortListLabel = nullptr;
    QTreeWidget* PortList = nullptr; // columns: port, stable name, description, USB vendor:product
    QLabel* DeviceHint = nullptr;
    QCheckBox* LocalEcho = nullptr;
    QLabel* CommandLineNote = nullptr; // visible under --device
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void Option_Click(int index);
    void OptionDevice_Click();
    // A row of PortList chosen: its device (the stable name when there is one) goes to DeviceEdit.
    void PortList_Click(int row);
    void OKButton_Click();
    void CancelButton_Click();

    // The entries PortList shows (in its order).
    const QList<PortEntry>& Ports() const { return ports_; }

    // False when OK could not write prog.ini or port.ini.
    bool Saved() const { return saved_; }
    // Why OK could not write a settings file (the screen that showed the dialog tells the user).
    const std::optional<settings::FileProblem>& WriteProblem() const { return writeProblem_; }

private:
    // OK is enabled unless OptionDevice is chosen without a usable device.
    void UpdateOk();

    ScreenContext context_;
    QList<PortEntry> ports_;
    bool saved_ = false;
    std::optional<settings::FileProblem> writeProblem_;
};

// Language dialog. Option1 (Italian) sets LanguageIndex 0, Option2 (English) 1; OK writes prog.ini.
class Ling : public QDialog {
    Q_OBJECT
public:
    explicit Ling(const ScreenContext& context, QWidget* parent = nullptr);

    // Texts of the language, then selects Option2 for LanguageIndex 1 and Option1 otherwise, which
    // counts as a click on it.
    void Form_Load();

    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void Option1_Click();
    void Option2_Click();
    void OKButton_Click();
    void CancelButton_Click();

    bool Saved() const { return saved_; }
    const std::optional<settings::FileProblem>& WriteProblem() const { return writeProblem_; }

private:
    ScreenContext context_;
    bool saved_ = false;
    std::optional<settings::FileProblem> writeProblem_;
};

// Welcome box, shown when the program starts. A click on it, its close box or the tick of Timer1
// (8000 ms) unloads it.
class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent = nullptr);

    // Sets Version to "PC Software Version 3.2" and enables Timer1.
    void Form_Activate();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Version = nullptr;
    std::array<QLabel*, 3> Image{};
    QTimer Timer1;

    void Form_Click();
    void Timer1_Timer();
    bool IsUnloaded() const { return unloaded_; }

    static constexpr int WelcomeTimeMs = 8000;

signals:
    // Emitted once, from the event loop, when the box is unloaded (hidden; the owner deletes it).
    void Unloaded();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

public:
    // Escape or any other way of finishing the box unloads it.
    void done(int result) override;

private:
    void Unload();
    bool unloaded_ = false;
};
