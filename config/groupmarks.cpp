#include "groupmarks.h"

void GroupMarks::Set(GroupId id, const State& s) {
    State& current = states_[static_cast<int>(id)];
    if (current.marker == s.marker && current.sendEnabled == s.sendEnabled &&
        current.errorShown == s.errorShown) {
        return;
    }
    current = s;
    emit changed(id);
}

void GroupMarks::SetModified(GroupId id, bool modified) {
    State s = state(id);
    s.marker = modified;
    s.sendEnabled = modified;
    Set(id, s);
}

void GroupMarks::SetMarker(GroupId id, bool shown) {
    State s = state(id);
    s.marker = shown;
    Set(id, s);
}

void GroupMarks::SetSendEnabled(GroupId id, bool enabled) {
    State s = state(id);
    s.sendEnabled = enabled;
    Set(id, s);
}

void GroupMarks::SetError(GroupId id, bool shown) {
    State s = state(id);
    s.errorShown = shown;
    Set(id, s);
}

void GroupMarks::Clear() {
    for (int i = 0; i < GroupCount; ++i) {
        Set(static_cast<GroupId>(i), State{});
    }
}
