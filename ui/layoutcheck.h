#pragma once

// What the main setup screen's layout does to the user at its present size, for the layout test and
// the screenshot tool: captions that end far from their fields (or run into them), and buttons too
// narrow for their captions. Only controls on the screen count (the tab on show, the upper band).

#include <QStringList>

class Form1;

// One line per fault; empty when the layout is sound. `maxGap`: the most room, in pixels, allowed
// between the end of a caption's text and its field.
QStringList LayoutFaults(const Form1& form, int maxGap = 24);
