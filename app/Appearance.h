#pragma once

#include "window/Control.h"

#include <QColor>
#include <QFont>

// Application-wide look: the widget style, and the installed fonts that stand in for the design's fonts where
// those are missing ("Arial", "Comic Sans MS").
void applyAppearance();

// The font of a control's design, at its size in points times `scale`.
QFont designFont(const FontDesign& design, double scale = 1.0);

QColor toColor(Rgb rgb);

// Pixels (at 96 dpi) for a length in twips, drawn `scale` times its size.
int twipsToPixels(int twips, double scale = 1.0);
