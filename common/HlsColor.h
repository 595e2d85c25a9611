#pragma once

#include <QtGlobal>

class QColor;

namespace zelk {

// Hue, luminance and saturation, each 0..240, as the Windows colour functions count them.
struct HlsColor
{
    int hue = 0;
    int luminance = 0;
    int saturation = 0;
    bool operator==(const HlsColor &) const = default;
};

// The integer conversions of the Windows colour dialog (ColorRGBToHLS/ColorHLSToRGB),
// so that shaded pictures look the same as on Windows. Colours are 0x00BBGGRR.
HlsColor rgbToHls(quint32 colorRef);
quint32 hlsToRgb(const HlsColor &hls);

inline constexpr quint32 colorRef(int red, int green, int blue)
{
    return quint32(red & 0xFF) | (quint32(green & 0xFF) << 8) | (quint32(blue & 0xFF) << 16);
}
inline constexpr int redOf(quint32 c) { return int(c & 0xFF); }
inline constexpr int greenOf(quint32 c) { return int((c >> 8) & 0xFF); }
inline constexpr int blueOf(quint32 c) { return int((c >> 16) & 0xFF); }

// The same conversions for painters' colours (alpha is ignored and comes back opaque). They
// live in zelk_common_drawing, which links Qt Gui, so zelk_common itself stays without it.
HlsColor colorToHls(const QColor &color);
QColor hlsToColor(const HlsColor &hls);

} // namespace zelk
