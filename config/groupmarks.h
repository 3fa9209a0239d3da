#pragma once

// What the screen shows of each parameter group besides its fields: the modification marker, whether
// the send button is enabled, and the error label of a refused send. The screen mirrors this state;
// the field rules and the group writers change it.

#include "parameterset.h"

#include <QObject>

#include <array>

class GroupMarks : public QObject {
    Q_OBJECT
public:
    struct State {
        bool marker = false;      // the group's Shape is shown
        bool sendEnabled = false; // the group's send button is enabled
        bool errorShown = false;  // the group's error label is shown
    };

    using QObject::QObject;

    const State& state(GroupId id) const { return states_[static_cast<int>(id)]; }
    bool Marker(GroupId id) const { return state(id).marker; }
    bool SendEnabled(GroupId id) const { return state(id).sendEnabled; }
    bool ErrorShown(GroupId id) const { return state(id).errorShown; }

    // Marker shown and send button enabled together (a change after the group was read), or both off.
    void SetModified(GroupId id, bool modified);
    void SetMarker(GroupId id, bool shown);
    void SetSendEnabled(GroupId id, bool enabled);
    void SetError(GroupId id, bool shown);
    // Nothing modified, no error shown (the screen's load).
    void Clear();

signals:
    void changed(GroupId id);

private:
    void Set(GroupId id, const State& s);
    std::array<State, GroupCount> states_{};
};
