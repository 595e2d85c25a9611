#include "callwindow/drum/DrumOverlay.h"

#include "callwindow/drum/DrumTextures.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace zelk {

void DrawDrumOverlay(QPainter &painter, QSize surface, const DrumOverlayState &state)
{
    painter.save();
    const int h = surface.height();
    QFont font = QGuiApplication::font();
    font.setPixelSize(PointsToPixels(12));
    painter.setFont(font);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::white);
    const QFontMetrics fm(font);

    if (state.ZELKShowDirectXInfo) {
        painter.drawText(QPoint(0, fm.ascent()), u"FPS: "_s + QString::number(state.frameRate));
        painter.drawText(QPoint(0, 14 + fm.ascent()),
                         state.hardware ? u"Device: Hardware"_s : u"Device: Software"_s);
    }

    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(state.connected ? QColor(0, 128, 0) : QColor(255, 0, 0));
    // The box (5, H-30)-(30, H-5), right and bottom exclusive.
    painter.drawEllipse(QRect(5, h - 30, 24, 24));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::white);
    painter.drawText(QPoint(45, h - 5 - fm.height() + fm.ascent()), state.Label1Caption);
    painter.restore();
}

} // namespace zelk
