#pragma once

// The pictures of the screens, drawn at run time (no image files to ship).

#include <QPixmap>

// A weighing transmitter: a DIN-rail housing with its display and two keys.
QPixmap TransmitterPicture(int width = 56, int height = 44);
// A load cell (bending beam) with its cable.
QPixmap LoadCellPicture(int width = 96, int height = 64);
// A platform scale.
QPixmap ScalePicture(int width = 96, int height = 64);
