#include "callwindow/drum/DrumFrame.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zelk {

namespace {

// A pixel spread over 64 bits, blue, red and green each with 8 bits of headroom above it, so
// one multiplication weighs all three channels.
inline quint64 spread(quint32 p)
{
    return (p & 0x00FF00FFu) | (quint64(p & 0x0000FF00u) << 24);
}

// Blend of two spread pixels, weight f of b on the scale 0..256, back as an opaque pixel.
inline quint32 lerpSpread(quint64 a, quint64 b, quint32 f)
{
    const quint64 e = ((a * (256 - f) + b * f) >> 8) & 0x000000FF00FF00FFull;
    return 0xFF000000u | quint32(e & 0x00FF00FFu) | quint32((e >> 24) & 0x0000FF00u);
}

// Blend of two opaque 32-bit pixels, weight f of b on the scale 0..256.
inline quint32 lerpPixel(quint32 a, quint32 b, quint32 f)
{
    const quint32 g = 256 - f;
    const quint32 rb = (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
    const quint32 gg = (((a & 0x0000FF00u) * g + (b & 0x0000FF00u) * f) >> 8) & 0x0000FF00u;
    return 0xFF000000u | rb | gg;
}

// Screen columns are set up a strip at a time and then written row by row, so the writes of
// neighbouring columns share cache lines and pages.
constexpr int kStripWidth = 32;

void drawFace(QImage &target, const DrumFaceQuad &q, const QImage &texture,
              std::vector<quint64> &columns)
{
    const int tw = texture.width();
    const int th = texture.height();
    if (tw <= 0 || th <= 0)
        return;
    const double xl = (q.topLeft.x() + q.bottomLeft.x()) / 2.0;
    const double xr = (q.topRight.x() + q.bottomRight.x()) / 2.0;
    if (!(xr > xl) || q.leftDepth <= 0.0 || q.rightDepth <= 0.0)
        return;
    const double wl = 1.0 / q.leftDepth;
    const double wr = 1.0 / q.rightDepth;

    const int width = target.width();
    const int height = target.height();
    // Pixel centres at i + 0.5 inside [xl, xr).
    const int first = std::max(0, int(std::ceil(xl - 0.5)));
    const int last = std::min(width, int(std::ceil(xr - 0.5)));

    // Each column buffer holds the blended texture column with its end texels repeated once
    // above and below, so the vertical blend needs no clamping: sampling stays within half a
    // texel of the texture.
    const size_t columnSize = size_t(th) + 2;
    columns.resize(columnSize * kStripWidth);
    const qsizetype stride = target.bytesPerLine() / 4;
    auto *pixels = reinterpret_cast<quint32 *>(target.bits());
    const qsizetype texStride = texture.bytesPerLine() / 4;
    const auto *texels = reinterpret_cast<const quint32 *>(texture.constBits());

    int rowFirst[kStripWidth];
    int rowLast[kStripWidth]; // one past
    qint64 pos[kStripWidth];  // texture row + 1 in 16.16 fixed point, at the current row
    qint64 step[kStripWidth];

    for (int stripStart = first; stripStart < last; stripStart += kStripWidth) {
        const int count = std::min(kStripWidth, last - stripStart);
        int stripTop = height, stripBottom = 0; // rows any column covers
        int fullTop = 0, fullBottom = height;   // rows every column covers
        for (int c = 0; c < count; ++c) {
            const int i = stripStart + c;
            const double s = (i + 0.5 - xl) / (xr - xl);
            const double u = (s * wr) / ((1.0 - s) * wl + s * wr);
            const double top = q.topLeft.y() + (q.topRight.y() - q.topLeft.y()) * s;
            const double bottom = q.bottomLeft.y() + (q.bottomRight.y() - q.bottomLeft.y()) * s;
            rowFirst[c] = rowLast[c] = 0;
            pos[c] = step[c] = 0;
            if (bottom > top) {
                rowFirst[c] = std::max(0, int(std::ceil(top - 0.5)));
                rowLast[c] = std::max(rowFirst[c], std::min(height, int(std::ceil(bottom - 0.5))));
            }
            fullTop = std::max(fullTop, rowFirst[c]);
            fullBottom = std::min(fullBottom, rowLast[c]);
            if (rowFirst[c] >= rowLast[c])
                continue;
            stripTop = std::min(stripTop, rowFirst[c]);
            stripBottom = std::max(stripBottom, rowLast[c]);

            // The texture column at u, blended horizontally once for the whole screen column.
            const double tx = std::clamp(u * tw - 0.5, 0.0, double(tw - 1));
            const int x0 = int(tx);
            const int x1 = std::min(x0 + 1, tw - 1);
            const auto fx = quint32((tx - x0) * 256.0);
            quint64 *column = columns.data() + columnSize * size_t(c);
            const quint32 *src = texels;
            for (int k = 1; k <= th; ++k, src += texStride)
                column[k] = spread(lerpPixel(src[x0], src[x1], fx));
            column[0] = column[1];
            column[th + 1] = column[th];

            // The column is a linear vertical scaling of the texture column.
            const double scale = th / (bottom - top);
            const double ty0 = (rowFirst[c] + 0.5 - top) * scale - 0.5;
            pos[c] = qint64(std::llround((ty0 + 1.0) * 65536.0));
            step[c] = qint64(std::llround(scale * 65536.0));
        }
        const qint64 maxPos = qint64(th) << 16;
        auto sample = [&](int c) {
            const qint64 p = std::clamp<qint64>(pos[c], 0, maxPos);
            pos[c] += step[c];
            const quint64 *column = columns.data() + columnSize * size_t(c);
            const auto y0 = size_t(p >> 16);
            return lerpSpread(column[y0], column[y0 + 1], quint32((p >> 8) & 0xFF));
        };
        for (int j = stripTop; j < stripBottom; ++j) {
            quint32 *row = pixels + qsizetype(j) * stride + stripStart;
            if (j >= fullTop && j < fullBottom) {
                for (int c = 0; c < count; ++c) {
                    const qint64 p = pos[c];
                    pos[c] += step[c];
                    const quint64 *column = columns.data() + columnSize * size_t(c);
                    const auto y0 = size_t(p >> 16);
                    row[c] = lerpSpread(column[y0], column[y0 + 1], quint32((p >> 8) & 0xFF));
                }
            } else {
                for (int c = 0; c < count; ++c)
                    if (j >= rowFirst[c] && j < rowLast[c])
                        row[c] = sample(c);
            }
        }
    }
}

bool directlyReadable(const QImage &image)
{
    const auto f = image.format();
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32
           || f == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

DrumFrame MakeDrumFrame(const TZELKCallList &list, const FaceMap &ytkoppling, double angle,
                        const DrumOverlayState &overlay)
{
    DrumFrame frame;
    frame.angle = angle;
    frame.overlay = overlay;
    for (int f = 1; f <= kDrumFaces; ++f)
        if (const QImage *picture = FaceTexture(list, ytkoppling, f))
            frame.faces[size_t(f - 1)] = *picture;
    return frame;
}

void DrawDrumFaces(QImage &target, const DrumScene &scene, const DrumFrame &frame)
{
    if (!directlyReadable(target) || target.size() != scene.surfaceSize())
        return;
    std::vector<quint64> column;
    for (const DrumFaceQuad &q : scene.faceQuads()) {
        if (!q.visible)
            continue;
        const QImage &picture = frame.faces[size_t(q.face - 1)];
        if (picture.isNull())
            continue;
        if (directlyReadable(picture) && picture.hasAlphaChannel() == false)
            drawFace(target, q, picture, column);
        else
            drawFace(target, q, picture.convertToFormat(QImage::Format_RGB32), column);
    }
}

void RenderDrumFrame(QImage &backBuffer, DrumScene &scene, const DrumFrame &frame)
{
    scene.SetDrumAngle(frame.angle);
    backBuffer.fill(0xFF000000u);
    DrawDrumFaces(backBuffer, scene, frame);
    QPainter painter(&backBuffer);
    DrawDrumOverlay(painter, backBuffer.size(), frame.overlay);
}

} // namespace zelk
