#include "common/HlsColor.h"

#include <algorithm>

namespace zelk {

namespace {

constexpr int kHlsMax = 240;
constexpr int kRgbMax = 255;
constexpr int kUndefinedHue = kHlsMax * 2 / 3; // what Windows reports for greys

int hueToRgb(int n1, int n2, int hue)
{
    if (hue < 0)
        hue += kHlsMax;
    if (hue > kHlsMax)
        hue -= kHlsMax;
    if (hue < kHlsMax / 6)
        return n1 + (((n2 - n1) * hue + kHlsMax / 12) / (kHlsMax / 6));
    if (hue < kHlsMax / 2)
        return n2;
    if (hue < kHlsMax * 2 / 3)
        return n1 + (((n2 - n1) * (kHlsMax * 2 / 3 - hue) + kHlsMax / 12) / (kHlsMax / 6));
    return n1;
}

int toByte(int value)
{
    return std::clamp((value * kRgbMax + kHlsMax / 2) / kHlsMax, 0, kRgbMax);
}

} // namespace

HlsColor rgbToHls(quint32 c)
{
    const int r = redOf(c);
    const int g = greenOf(c);
    const int b = blueOf(c);
    const int cMax = std::max({r, g, b});
    const int cMin = std::min({r, g, b});
    HlsColor hls;
    hls.luminance = ((cMax + cMin) * kHlsMax + kRgbMax) / (2 * kRgbMax);
    if (cMax == cMin) {
        hls.saturation = 0;
        hls.hue = kUndefinedHue;
        return hls;
    }
    const int delta = cMax - cMin;
    if (hls.luminance <= kHlsMax / 2)
        hls.saturation = (delta * kHlsMax + (cMax + cMin) / 2) / (cMax + cMin);
    else
        hls.saturation = (delta * kHlsMax + (2 * kRgbMax - cMax - cMin) / 2) / (2 * kRgbMax - cMax - cMin);
    const int rDelta = ((cMax - r) * (kHlsMax / 6) + delta / 2) / delta;
    const int gDelta = ((cMax - g) * (kHlsMax / 6) + delta / 2) / delta;
    const int bDelta = ((cMax - b) * (kHlsMax / 6) + delta / 2) / delta;
    if (r == cMax)
        hls.hue = bDelta - gDelta;
    else if (g == cMax)
        hls.hue = kHlsMax / 3 + rDelta - bDelta;
    else
        hls.hue = kHlsMax * 2 / 3 + gDelta - rDelta;
    if (hls.hue < 0)
        hls.hue += kHlsMax;
    if (hls.hue > kHlsMax)
        hls.hue -= kHlsMax;
    return hls;
}

quint32 hlsToRgb(const HlsColor &hls)
{
    const int lum = hls.luminance;
    const int sat = hls.saturation;
    if (sat == 0) {
        const int grey = std::clamp(lum * kRgbMax / kHlsMax, 0, kRgbMax);
        return colorRef(grey, grey, grey);
    }
    const int magic2 = lum <= kHlsMax / 2 ? (lum * (kHlsMax + sat) + kHlsMax / 2) / kHlsMax
                                          : lum + sat - ((lum * sat) + kHlsMax / 2) / kHlsMax;
    const int magic1 = 2 * lum - magic2;
    return colorRef(toByte(hueToRgb(magic1, magic2, hls.hue + kHlsMax / 3)),
                    toByte(hueToRgb(magic1, magic2, hls.hue)),
                    toByte(hueToRgb(magic1, magic2, hls.hue - kHlsMax / 3)));
}

} // namespace zelk
