#pragma once

#include "window/Control.h"

#include <QColor>
#include <QFont>

// Application-wide look: the widget style, and the installed fonts that stand in for the design's fonts where
// those are missing ("Arial", "Comic Sans MS").
void applyAppearance();

// The font of a control's design, at its size in points.
QFont designFont(const FontDesign& design);

QColor toColor(Rgb rgb);

// Pixels (at 96 dpi) for a length in twips.
int twipsToPixels(int twips);
