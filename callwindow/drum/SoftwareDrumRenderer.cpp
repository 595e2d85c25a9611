#include "callwindow/drum/SoftwareDrumRenderer.h"

#include <QPainter>

namespace zelk {

SoftwareDrumRenderer::SoftwareDrumRenderer(QWidget *parent)
    : QWidget(parent)
{
    // Every pixel is painted from the back buffer; nothing underneath needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void SoftwareDrumRenderer::initializeSurface(QSize surface)
{
    m_backBuffer = QImage(surface, QImage::Format_RGB32);
    m_backBuffer.fill(0xFF000000u);
    m_scene.DXDrawInitializeSurface(surface);
    update();
}

void SoftwareDrumRenderer::renderFrame(const DrumFrame &frame)
{
    if (m_backBuffer.isNull())
        return;
    DrumFrame shown = frame;
    shown.overlay.hardware = false;
    RenderDrumFrame(m_backBuffer, m_scene, shown);
    update();
}

void SoftwareDrumRenderer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_backBuffer.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (m_backBuffer.size() == size()) {
        painter.drawImage(QPoint(0, 0), m_backBuffer);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), m_backBuffer);
    }
}

} // namespace zelk
