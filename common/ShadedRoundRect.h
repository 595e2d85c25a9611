#pragma once

#include <QRect>

class QPainter;

namespace zelk {

// A rounded rectangle with the painter's pen and brush, filled with concentric rings that step
// one unit of luminance (then of saturation) towards the middle: dark colours lighten, light
// ones darken. R is given as on Windows: rect.width() x rect.height() pixels are covered.
// The painter keeps the innermost ring's colour as pen and brush, with pen width 1.
void DrawShadedRoundRect(QPainter &surface, const QRect &r, int cornerWidth, int cornerHeight);

} // namespace zelk
