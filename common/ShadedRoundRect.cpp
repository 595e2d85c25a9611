#include "common/ShadedRoundRect.h"

#include "common/HlsColor.h"

#include <QPainter>

namespace zelk {

namespace {

constexpr int kMaxSteps = 20;     // steps of luminance, then of saturation
constexpr int kLightAbove = 100;  // luminance above which a colour counts as light
constexpr int kLowerLimit = 20;
constexpr int kUpperLimit = 200;

// Covers the same pixels as the Windows RoundRect of r: Qt's outline adds one pixel on the
// right and at the bottom.
void roundRect(QPainter &painter, const QRect &r, int cornerWidth, int cornerHeight)
{
    painter.drawRoundedRect(QRect(r.left(), r.top(), r.width() - 1, r.height() - 1),
                            cornerWidth / 2.0, cornerHeight / 2.0, Qt::AbsoluteSize);
}

} // namespace

void DrawShadedRoundRect(QPainter &surface, const QRect &r, int cornerWidth, int cornerHeight)
{
    const QColor base = surface.brush().color();
    QRect inner = r.adjusted(1, 1, -1, -1);
    roundRect(surface, r, cornerWidth, cornerHeight);

    // Only the pen's width and colour change, as on a Windows canvas: a hollow or dashed pen
    // stays hollow or dashed for the rings.
    QPen pen = surface.pen();
    pen.setWidth(1);
    surface.setPen(pen);

    HlsColor hls = colorToHls(base);
    const int l0 = hls.luminance;
    const int s0 = hls.saturation;
    const bool light = l0 > kLightAbove;

    int count = inner.height() / 3;
    // A rectangle of one or two pixels has no inside to shade (a ring there would be drawn
    // turned inside out, partly outside the rectangle).
    if (count < 0 || inner.isEmpty())
        return;
    ++count;
    for (;;) {
        if (light) {
            if (l0 - hls.luminance < kMaxSteps && hls.luminance > kLowerLimit)
                --hls.luminance;
            else if (s0 - hls.saturation < kMaxSteps && hls.saturation > kLowerLimit)
                --hls.saturation;
        } else {
            if (hls.luminance - l0 < kMaxSteps && hls.luminance < kUpperLimit)
                ++hls.luminance;
            else if (hls.saturation - s0 < kMaxSteps && hls.saturation < kUpperLimit)
                ++hls.saturation;
        }
        const QColor ring = hlsToColor(hls);
        surface.setBrush(ring);
        pen.setColor(ring);
        surface.setPen(pen);
        roundRect(surface, inner, cornerWidth, cornerHeight);

        inner.adjust(1, 1, -1, -1);
        if (inner.width() <= 5 || inner.height() <= 5)
            break;
        if (--count == 0)
            break;
    }
}

} // namespace zelk
