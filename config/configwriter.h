#pragma once

// Writing the configuration group by group: each send handler checks its group, builds the group's
// write request and queues it; the echo of the instrument confirms it, hides the group's marker,
// disables its send button and marks what the instrument may have recomputed for reading again.
// Handlers never talk to the port.

#include "groupmarks.h"
#include "session.h"
#include "setupcommands.h"

#include <QTimer>

class ConfigWriter : public QObject {
    Q_OBJECT
public:
    // How long a refused group's error label stays (Label9, Label53, Label61; Label60 and Label58 stay
    // until the next valid send).
    static constexpr int ErrorLabelMs = 2000;

    // Registers the echo follow-ups of the eight groups with the session's write queue.
    ConfigWriter(Session& session, GroupMarks& marks, SetupCommands& commands, QObject* parent = nullptr);

    // The send handlers of the eight groups.
    void Command12_Click(); // WeightConstants
    void Command27_Click(); // OperatingMode
    void Command26_Click(); // Division
    void Command17_Click(); // SetPoints
    void Command13_Click(); // WeightParameters
    void Command14_Click(); // Outputs
    void Command15_Click(); // Serial
    void Command16_Click(); // Analog
    // The same by group.
    void Send(GroupId id);

    // The error-label timer of the main setup screen: a one-shot of 2000 ms whose tick hides Label9,
    // Label53 and Label61.
    QTimer Timer2;

private:
    void Refuse(GroupId id);
    void Timer2_Timer();

    Session& s_;
    GroupMarks& marks_;
    SetupCommands& commands_;
};
