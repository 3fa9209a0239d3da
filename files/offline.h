#pragma once

// Offline editing: the main setup screen stops talking to the instrument, so that a configuration can
// be edited, loaded, saved and printed with no instrument answering. What switching it on and off does
// is decided here; the screen applies it to its controls.

#include "modulo1.h"

#include <QString>
#include <QStringList>

// The controls that offline editing disables (and that switching it off enables again, whatever
// their state was before): the calibration instructions and buttons, the sample weight, the step
// buttons of the analog trimming and the start buttons of the two output tests.
const QStringList& OfflineDisabledControls();

// What the screen does after a click on Econf.
struct OfflineSwitch {
    bool on = false;              // OfflineEdit after the click: Econf's check mark, SConf enabled
    bool controlsEnabled = false; // the state of OfflineDisabledControls()
    bool clearMarks = false;      // every group's marker hidden and send button disabled
    bool blankWeight = false;     // Peso shows PesoBlank
};

// Six blanks: what the weight display shows once offline editing is switched off, until the next
// reading.
inline const QString PesoBlank = QStringLiteral("      ");

// The click on Econf: switches OfflineEdit and says what the screen is to show.
OfflineSwitch SwitchOfflineEdit(Modulo1& m);
