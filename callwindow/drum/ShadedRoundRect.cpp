#include "callwindow/drum/ShadedRoundRect.h"

#include <QPainter>

#include <algorithm>

namespace zelk {

namespace {

constexpr int kHlsMax = 240;
constexpr int kRgbMax = 255;

int convertHue(int hue, int mid1, int mid2)
{
    if (hue > kHlsMax)
        hue -= kHlsMax;
    else if (hue < 0)
        hue += kHlsMax;
    if (hue < 40)
        return mid1 + ((mid2 - mid1) * hue + 20) / 40;
    if (hue < 120)
        return mid2;
    if (hue < 160)
        return mid1 + ((mid2 - mid1) * (160 - hue) + 20) / 40;
    return mid1;
}

// A rounded rectangle covering the pixels of r, outlined with the current pen.
void roundRect(QPainter &p, const QRect &r, int cw, int ch)
{
    p.drawRoundedRect(QRect(r.x(), r.y(), r.width() - 1, r.height() - 1), cw / 2.0, ch / 2.0);
}

} // namespace

HlsColor ColorRGBToHLS(const QColor &rgb)
{
    const int r = rgb.red(), g = rgb.green(), b = rgb.blue();
    const int cmax = std::max({r, g, b});
    const int cmin = std::min({r, g, b});
    HlsColor hls;
    hls.luminance = ((cmax + cmin) * kHlsMax + kRgbMax) / (2 * kRgbMax);
    if (cmax == cmin) {
        hls.hue = 160;
        hls.saturation = 0;
        return hls;
    }
    const int delta = cmax - cmin;
    if (hls.luminance <= kHlsMax / 2)
        hls.saturation = ((cmax + cmin) / 2 + delta * kHlsMax) / (cmax + cmin);
    else
        hls.saturation = ((2 * kRgbMax - cmax - cmin) / 2 + delta * kHlsMax)
                         / (2 * kRgbMax - cmax - cmin);
    const int rn = (delta / 2 + cmax * 40 - r * 40) / delta;
    const int gn = (delta / 2 + cmax * 40 - g * 40) / delta;
    const int bn = (delta / 2 + cmax * 40 - b * 40) / delta;
    int hue;
    if (r == cmax)
        hue = bn - gn;
    else if (g == cmax)
        hue = 80 + rn - bn;
    else
        hue = 160 + gn - rn;
    if (hue < 0)
        hue += kHlsMax;
    else if (hue > kHlsMax)
        hue -= kHlsMax;
    hls.hue = hue;
    return hls;
}

QColor ColorHLSToRGB(const HlsColor &hls)
{
    const int h = hls.hue, l = hls.luminance, s = hls.saturation;
    if (s == 0) {
        const int v = l * kRgbMax / kHlsMax;
        return QColor(v, v, v);
    }
    const int mid2 = l > kHlsMax / 2 ? s + l - (s * l + kHlsMax / 2) / kHlsMax
                                     : ((s + kHlsMax) * l + kHlsMax / 2) / kHlsMax;
    const int mid1 = l * 2 - mid2;
    auto channel = [&](int offset) {
        return std::clamp((convertHue(h + offset, mid1, mid2) * kRgbMax + kHlsMax / 2) / kHlsMax,
                          0, 255);
    };
    return QColor(channel(80), channel(0), channel(-80));
}

void DrawShadedRoundRect(QPainter &surface, const QRect &r, int cw, int ch)
{
    const QColor base = surface.brush().color();
    QRect inner = r.adjusted(1, 1, -1, -1);
    roundRect(surface, r, cw, ch);

    QPen pen = surface.pen();
    pen.setWidth(1);
    surface.setPen(pen);

    const HlsColor start = ColorRGBToHLS(base);
    HlsColor c = start;
    const bool light = start.luminance > 100;

    int count = inner.height() / 3;
    if (count < 0)
        return;
    ++count;
    for (;;) {
        if (light) {
            if (start.luminance - c.luminance < 20 && c.luminance > 20)
                --c.luminance;
            else if (start.saturation - c.saturation < 20 && c.saturation > 20)
                --c.saturation;
        } else {
            if (c.luminance - start.luminance < 20 && c.luminance < 200)
                ++c.luminance;
            else if (c.saturation - start.saturation < 20 && c.saturation < 200)
                ++c.saturation;
        }
        const QColor ring = ColorHLSToRGB(c);
        surface.setBrush(ring);
        surface.setPen(QPen(ring, 1));
        roundRect(surface, inner, cw, ch);
        inner.adjust(1, 1, -1, -1);
        if (inner.width() <= 5 || inner.height() <= 5)
            break;
        if (--count == 0)
            break;
    }
}

} // namespace zelk
