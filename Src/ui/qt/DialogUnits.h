#pragma once

// Dialog units: a template's coordinates are in quarters of the dialog
// font's average character width and eighths of its height, so a window
// keeps its proportions at any font size or screen scale.

#include <QFont>
#include <QRect>

namespace ui {

struct DialogBaseUnits
{
    int cx;  // average character width, pixels
    int cy;  // character height, pixels
};

// The dialog font of a template: "MS Shell Dlg" (and an empty face) stand
// for the platform's default sans-serif font; any other face is asked for by
// name.
QFont DialogFont(const char* face, int pointSize);

// Base units of a font: the width of the 52 letters A-Z a-z divided by 52,
// rounded, and the font's height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// x * cx / 4 and y * cy / 8, rounded as the platform's MulDiv rounds.
int DluToPixelsX(int x, const DialogBaseUnits& units);
int DluToPixelsY(int y, const DialogBaseUnits& units);
QRect MapDialogRect(int x, int y, int cx, int cy, const DialogBaseUnits& units);

} // namespace ui
