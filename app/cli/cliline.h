#pragma once

// The line quartel-cli talks to and the logic of the main setup screen for one instrument on it,
// without the screens: the settings read as the start-up screen reads them, the device of the port
// number (or --device, or the demo line), the serial link, and for each instrument the write queue,
// the parameter set, the reader, the writer, the setup commands and the live monitor.

#include "cliargs.h"
#include "cliio.h"

#include "configreader.h"
#include "configwriter.h"
#include "groupmarks.h"
#include "livemonitor.h"
#include "modulo1.h"
#include "parameterset.h"
#include "serial.h"
#include "session.h"
#include "setupcommands.h"
#include "writequeue.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <memory>

class DemoLine;
class QTemporaryDir;

class CliLine {
public:
    CliLine(const CliOptions& options, CliIo& io);
    ~CliLine();

    // Reads the settings (a refused file gives the defaults, with a note), applies the options, and opens
    // the device: --device, else port.ini's, else the one of prog.ini's port number. A device server
    // (tcp://) must take the connection before anything is sent. False, with the reason told, when there
    // is no device or it cannot be opened or reached.
    QCoro::Task<bool> Open();
    // Reads prog.ini and port.ini and applies the options only (a setup file without a line).
    void ReadSettings();

    Modulo1& m() { return m_; }
    SerialLink& link() { return *link_; }
    QString Device() const { return device_; }
    QString SettingsDir() const { return settingsDir_; }
    const CliOptions& options() const { return options_; }

    // The model of the instrument at `address` as --model says, or asked of the instrument with
    // ProbeModel. 0 when it could not be told.
    QCoro::Task<int> ModelOf(int address);
    // ModelOf, telling "no reply from address N" when the model could not be told.
    QCoro::Task<int> AnsweringModel(int address);

    // Reads the operating-mode register, which only model 1 has: a valid answer says model 1, the
    // exception "no such function" or "no such register" (01, 02) model 2. 0 when the instrument did not
    // answer either way or gave another exception.
    QCoro::Task<int> ProbeModel(int address);

    // How long a device server may take to accept the connection.
    static constexpr int ConnectTimeoutMs = 5000;

private:
    QCoro::Task<bool> Connected();

    const CliOptions& options_;
    CliIo& io_;
    Modulo1 m_;
    std::unique_ptr<QTemporaryDir> scratch_;
    std::unique_ptr<DemoLine> demo_;
    std::unique_ptr<SerialLink> link_;
    QString settingsDir_;
    QString device_;
    bool settingsRead_ = false;
    int closeOnEnd_ = 0; // the cleanup that closes the port when the run is ended early
};

// The main setup screen's logic for the instrument at one address, as the screen builds it.
struct CliInstrument {
    Modulo1& m;
    SerialLink& link;
    WriteQueue queue;
    ParameterSet set;
    Session session;
    GroupMarks marks;
    SetupCommands commands;
    ConfigWriter writer;
    int tab = 0; // the tab "on show" for the reader
    ConfigReader reader;
    MonitorDisplay display;
    LiveMonitor monitor;

    CliInstrument(Modulo1& m, SerialLink& link);

    // The main setup screen's load for `address` and `model`: the initial values of every field, the
    // address, nothing read, nothing queued, the gross view.
    void Load(int address, int model);

    // One pass of the main setup screen's loop outside setup mode: the readers of the upper band in the
    // screen's order (division, version, weight, inputs, set-points while not read, peak in the peak
    // view, link state, outputs).
    QCoro::Task<> MonitorPass();

    // The setup-file save's reading: the division, the set-points and the full read of every tab, each
    // with up to five attempts. False, with `failed` naming what was not read, when any of it failed.
    QCoro::Task<bool> ReadForSave(QString& failed);
};

// "VXA" for 1, "VXB" for 2, "?" otherwise.
QString ModelName(int model);
// The division of the address as its text: step 2 with one decimal gives "0.2".
QString DivisionText(const Modulo1& m, int address);
