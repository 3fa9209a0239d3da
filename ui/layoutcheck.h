#pragma once

// What the main setup screen's layout does to the user at its present size, for the layout test and
// the screenshot tool: captions that end far from their fields (or run into them), and buttons too
// narrow for their captions. Only controls on the screen count (the tab on show, the upper band).

#include <QSize>
#include <QStringList>

class Form1;
class QWidget;

// One line per fault; empty when the layout is sound. `maxGap`: the most room, in pixels, allowed
// between the end of a caption's text and its field.
QStringList LayoutFaults(const Form1& form, int maxGap = 24);

// What any window shows cut short at its present size: the window larger than `room` (the screen it
// must fit), a control that lies outside its parent (and so outside the window), and a caption cut
// short: a label, button or box title whose text needs more room than the control has (a caption that
// wraps: more lines than its height holds, or a word wider than the label). Only controls the program
// names and that are on show count.
QStringList WindowFaults(const QWidget& window, QSize room);
