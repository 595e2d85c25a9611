#include "common/HlsColor.h"

#include <QColor>

namespace zelk {

HlsColor colorToHls(const QColor &color)
{
    return rgbToHls(colorRef(color.red(), color.green(), color.blue()));
}

QColor hlsToColor(const HlsColor &hls)
{
    const quint32 c = hlsToRgb(hls);
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

} // namespace zelk
