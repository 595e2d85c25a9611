#include "callwindow/drum/DrumTextures.h"

#include "common/ShadedRoundRect.h"

#include <QFontDatabase>
#include <QFontMetrics>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

constexpr int kCornerSize = 10;
const QColor kNeutralFrame(128, 128, 128);
const QColor kCalledFrame(255, 255, 0);
const QColor kCalledFill(0, 128, 0);
const QColor kCalledText(255, 0, 0);

} // namespace

QColor FromWindowsColor(qint32 color)
{
    const auto c = static_cast<quint32>(color);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

int PointsToPixels(int points)
{
    return (points * 96 + 36) / 72;
}

void EnsureFaceFontSubstitution()
{
    static const bool done = [] {
        const QString face = u"Times New Roman"_s;
        if (!QFontDatabase::hasFamily(face))
            QFont::insertSubstitution(face, u"Liberation Serif"_s);
        return true;
    }();
    Q_UNUSED(done);
}

QFont FaceFont(int points)
{
    EnsureFaceFontSubstitution();
    QFont font(u"Times New Roman"_s);
    font.setPixelSize(std::max(1, PointsToPixels(points)));
    return font;
}

FaceCanvas::FaceCanvas(QImage &bitmap)
    : m_painter(&bitmap)
    , m_size(bitmap.size())
    , m_font(FaceFont(kFaceStartFontSize))
{
    m_painter.setFont(m_font);
}

void FaceCanvas::setFontSize(int points)
{
    m_points = points;
    m_font.setPixelSize(std::max(1, PointsToPixels(points)));
    m_painter.setFont(m_font);
}

int FaceCanvas::textWidth(const QString &text) const
{
    return QFontMetrics(m_font).horizontalAdvance(text);
}

int FaceCanvas::textHeight(const QString &text) const
{
    Q_UNUSED(text);
    return QFontMetrics(m_font).height();
}

namespace {

// Where the fitting size lies, from the width at the start size: text widths grow in
// proportion to the font size, so the answer is found a step or two from here instead of by
// trying every size from the start on (hundreds of font loads for a short name).
int EstimatedSize(int start, int startWidth, int width)
{
    if (startWidth <= 0)
        return start;
    return static_cast<int>(qint64(start) * width / startWidth);
}

bool Narrower(FaceCanvas &canvas, const QString &text, int size, int width)
{
    canvas.setFontSize(size);
    return canvas.textWidth(text) < width;
}

bool Wider(FaceCanvas &canvas, const QString &text, int size, int width)
{
    canvas.setFontSize(size);
    return canvas.textWidth(text) > width;
}

} // namespace

int FitFontSize(FaceCanvas &canvas, const QRect &rect, const QString &text)
{
    // rect is in the Windows sense: right is one past the last pixel.
    const int width = rect.width();
    const int start = canvas.fontSize();
    const int startWidth = canvas.textWidth(text);
    if (startWidth > width) {
        // The first size, going down from the start, at which the text is narrower.
        int size = std::clamp(EstimatedSize(start, startWidth, width), 1, start);
        if (Narrower(canvas, text, size, width)) {
            while (size < start && Narrower(canvas, text, size + 1, width))
                ++size;
            canvas.setFontSize(size);
            return size;
        }
        while (size > 1) {
            if (Narrower(canvas, text, --size, width))
                return size;
        }
        return start;
    }
    // The first size, going up from the start, at which the text is wider, less one.
    int size = std::clamp(EstimatedSize(start, startWidth, width), start, kMaxFontSize);
    if (Wider(canvas, text, size, width)) {
        while (size - 1 > start && Wider(canvas, text, size - 1, width))
            --size;
        canvas.setFontSize(size);
        return size - 1;
    }
    while (size < kMaxFontSize) {
        if (Wider(canvas, text, ++size, width))
            return size - 1;
    }
    return start;
}

namespace {

// Whether the ink of text at the canvas's size, placed as DrawCenteredText places it, stays
// inside the vertical margins.
bool InkFitsHeight(const FaceCanvas &canvas, const QString &text)
{
    const QFont font = FaceFont(canvas.fontSize());
    const QFontMetrics metrics(font);
    const int height = canvas.size().height();
    const int baseline = height / 2 - metrics.height() / 2 + metrics.ascent();
    const QRect ink = metrics.boundingRect(text).translated(0, baseline);
    return ink.top() >= kFaceTextVerticalMargin && ink.bottom() < height - kFaceTextVerticalMargin;
}

} // namespace

int LimitFontSizeToHeight(FaceCanvas &canvas, const QString &text, int size)
{
    canvas.setFontSize(size);
    if (size <= 1 || InkFitsHeight(canvas, text))
        return size;
    // The largest size below that fits: smaller type never reaches further out, so halving
    // the range finds it in a few font loads.
    int fits = 1;
    int tooLarge = size;
    while (tooLarge - fits > 1) {
        const int middle = fits + (tooLarge - fits) / 2;
        canvas.setFontSize(middle);
        if (InkFitsHeight(canvas, text))
            fits = middle;
        else
            tooLarge = middle;
    }
    canvas.setFontSize(fits);
    return fits;
}

void DrawCenteredText(FaceCanvas &canvas, const QString &text, const QColor &color, int size)
{
    canvas.setFontSize(size);
    QPainter &p = canvas.painter();
    p.setPen(color);
    // Integer halves, truncating toward zero, as the layout of the faces has always had it.
    const int x = canvas.size().width() / 2 - canvas.textWidth(text) / 2;
    const int y = canvas.size().height() / 2 - canvas.textHeight(text) / 2;
    p.setBackgroundMode(Qt::TransparentMode);
    p.drawText(QPoint(x, y + QFontMetrics(p.font()).ascent()), text);
}

void DrawFaceFrame(QPainter &painter, QSize size, const QColor &color, int penWidth)
{
    const int t = (penWidth + 1) / 2;
    const int w = size.width(), h = size.height();
    painter.fillRect(0, 0, w, t, color);
    painter.fillRect(0, h - t, w, t, color);
    painter.fillRect(0, 0, t, h, color);
    painter.fillRect(w - t, 0, t, h, color);
}

void BuildEntryTextures(TZELKCallListItem &item, const QList<QImage> &pictures)
{
    const QSize size = pictures.isEmpty() ? QSize(kDefaultFaceWidth, kDefaultFaceHeight)
                                          : pictures.first().size();
    // The software device reads these directly, so keep them in its native pixel format.
    QImage bitmap(size, QImage::Format_RGB32);
    bitmap.fill(Qt::black);
    const QRect whole(0, 0, size.width(), size.height());
    const QRect textRect(0, 0, size.width() - kFaceTextMargin, size.height());
    {
        FaceCanvas canvas(bitmap);
        QPainter &p = canvas.painter();

        if (!pictures.isEmpty()) {
            p.drawImage(QPoint(0, 0), pictures.first());
        } else {
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(Qt::black);
            DrawShadedRoundRect(p, whole, kCornerSize, kCornerSize);
        }
        DrawFaceFrame(p, size, kNeutralFrame, 2);
        int fontSize = FitFontSize(canvas, textRect, item.CallNamn);
        fontSize = LimitFontSizeToHeight(canvas, item.CallNamn, fontSize);
        DrawCenteredText(canvas, item.CallNamn, FromWindowsColor(item.CallColor), fontSize);
        item.Texture = bitmap.copy();

        p.setPen(QPen(kCalledFrame, 3));
        if (pictures.size() >= 2) {
            p.drawImage(QPoint(0, 0), pictures.at(1));
        } else {
            p.fillRect(whole, kCalledFill);
            p.setBrush(kCalledFill);
            DrawShadedRoundRect(p, whole, kCornerSize, kCornerSize);
        }
        DrawFaceFrame(p, size, kCalledFrame, 3);
        fontSize = FitFontSize(canvas, textRect, item.CallNamn);
        fontSize = LimitFontSizeToHeight(canvas, item.CallNamn, fontSize);
        DrawCenteredText(canvas, item.CallNamn, kCalledText, fontSize);
    }
    item.CallTexture = bitmap;
}

bool BuildNameTextures(TZELKCallList &list, const QList<QImage> &pictures)
{
    if (list.isEmpty())
        return false;
    for (TZELKCallListItem &item : list)
        BuildEntryTextures(item, pictures);
    return true;
}

QString EmptyCallListMessage()
{
    return u"Det finns inga resurser att kalla i listan!"_s + u'\n'
           + u"Gå till Systemregistret, fyll i önskade resurser och tryck på Spara."_s;
}

} // namespace zelk
