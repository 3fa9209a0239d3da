#include "offline.h"

const QStringList& OfflineDisabledControls() {
    static const QStringList controls = {
        "Label16",   "Label17",   "Label18",   "Label19",  "Command2",  "Command3",
        "Campione",  "Command4",  "Command5",  "Command6", "Command7",  "Command18",
        "Command19", "Command20", "Command21", "Command8", "Command22",
    };
    return controls;
}

OfflineSwitch SwitchOfflineEdit(Modulo1& m) {
    OfflineSwitch s;
    m.OfflineEdit = !m.OfflineEdit;
    s.on = m.OfflineEdit;
    s.controlsEnabled = !s.on;
    // Nothing can be sent while offline: a send button left enabled by an earlier edit would queue a
    // write that waits for the end of offline editing and then goes out unasked.
    s.clearMarks = s.on;
    s.blankWeight = !s.on;
    return s;
}
