#pragma once

#include <QColor>
#include <QRect>

class QPainter;

namespace zelk {

// Hue, luminance and saturation on the 0..240 scale of the Windows colour dialogs. Grey has
// hue 160 and saturation 0, as the platform's conversion reports it.
struct HlsColor
{
    int hue = 0;
    int luminance = 0;
    int saturation = 0;
};

HlsColor ColorRGBToHLS(const QColor &rgb);
QColor ColorHLSToRGB(const HlsColor &hls);

// A rounded rectangle with shaded rings: starting from the painter's fill colour each ring
// one step lighter (dark colours) or darker (light colours) towards the middle. r covers the
// pixels r.left()..r.right(); the corners are ellipses of cw x ch. The painter is left with
// the innermost ring's colour as pen and fill colour and a pen width of 1.
void DrawShadedRoundRect(QPainter &surface, const QRect &r, int cw, int ch);

} // namespace zelk
