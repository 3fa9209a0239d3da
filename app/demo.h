#pragma once

// The simulated line of --demo: a simulator on a pseudo-terminal in this process, with a VXA at
// address 1 and a VXB at address 2 whose weights move a little, answering at the pace of 19200 baud.

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class Simulator;

class DemoLine : public QObject {
    Q_OBJECT
public:
    static constexpr int VxaAddress = 1;
    static constexpr int VxbAddress = 2;

    explicit DemoLine(QObject* parent = nullptr);
    ~DemoLine() override;

    // Opens the terminal and sets up the instruments. False (see ErrorString) when no terminal can be had.
    bool Start();
    QString DevicePath() const;
    QString ErrorString() const;
    Simulator* simulator() const { return sim_.get(); }

    // Writes Strum.ini with addresses 1 and 2 ticked into `dir` when it has none yet.
    static bool PrepareSettings(const QString& dir);

private:
    void Drift();

    std::unique_ptr<Simulator> sim_;
    QTimer drift_;
    int step_ = 0;
};
