#pragma once

#include "session/CallList.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QRect>
#include <QString>

namespace zelk {

// Size of a face picture when the picture list is empty.
inline constexpr int kDefaultFaceWidth = 512;
inline constexpr int kDefaultFaceHeight = 256;
// Font size a new bitmap starts with, in points.
inline constexpr int kFaceStartFontSize = 8;
// FitFontSize leaves this much of the width free.
inline constexpr int kFaceTextMargin = 40;
inline constexpr int kMaxFontSize = 2000;
// Glyphs keep this many pixels free above and below, clear of the 3-pixel frame.
inline constexpr int kFaceTextVerticalMargin = 4;

// Colours travel as Windows colour values, 0x00BBGGRR.
QColor FromWindowsColor(qint32 color);

// Font sizes are points on a 96 dpi surface, rounded to whole pixels as the Windows font
// mapper does.
int PointsToPixels(int points);

// The face font, "Times New Roman". Where that face is missing a metric-compatible serif
// (Liberation Serif) stands in, so names are fitted to the same widths.
QFont FaceFont(int points);
void EnsureFaceFontSubstitution();

// A bitmap being painted, with its current font, as the face builder uses it.
class FaceCanvas
{
public:
    explicit FaceCanvas(QImage &bitmap);

    QPainter &painter() { return m_painter; }
    QSize size() const { return m_size; }
    int fontSize() const { return m_points; }
    void setFontSize(int points);
    int textWidth(const QString &text) const;
    int textHeight(const QString &text) const;

private:
    QPainter m_painter;
    QSize m_size;
    QFont m_font;
    int m_points = kFaceStartFontSize;
};

// The font size at which text just fits the width of rect, searched from the canvas's current
// size one point at a time; the canvas is left at the last size tried.
int FitFontSize(FaceCanvas &canvas, const QRect &rect, const QString &text);
// The largest size, from size down, at which text drawn by DrawCenteredText keeps every glyph
// (the rings and dots above capitals, the descenders) at least kFaceTextVerticalMargin pixels
// inside the bitmap's top and bottom edge; FitFontSize fits the width only, and a short name
// would otherwise grow taller than the face. The canvas is left at the result.
int LimitFontSizeToHeight(FaceCanvas &canvas, const QString &text, int size);
// Text centred on the whole bitmap, over what is there.
void DrawCenteredText(FaceCanvas &canvas, const QString &text, const QColor &color, int size);
// A hollow rectangle over the bitmap's border drawn with a pen of penWidth pixels centred on
// the border, so the part inside the bitmap is (penWidth + 1) / 2 pixels wide.
void DrawFaceFrame(QPainter &painter, QSize size, const QColor &color, int penWidth);

// The neutral and called pictures of one entry. pictures is the window's picture list
// (DXImageList): the first is the neutral background, the second the called one.
void BuildEntryTextures(TZELKCallListItem &item, const QList<QImage> &pictures);

// Makes Texture and CallTexture for every entry. Returns false, and changes nothing, for an
// empty list: the caller then shows EmptyCallListMessage() and opens the administration
// dialog on its client tab.
bool BuildNameTextures(TZELKCallList &list, const QList<QImage> &pictures);

QString EmptyCallListMessage();

} // namespace zelk
