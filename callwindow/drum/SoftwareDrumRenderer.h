#pragma once

#include "callwindow/drum/DrumRenderer.h"

#include <QWidget>

namespace zelk {

// The "Software" device: frames are drawn on a raster back buffer and painted onto the widget.
class SoftwareDrumRenderer final : public QWidget, public DrumRenderer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SoftwareDrumRenderer)
public:
    explicit SoftwareDrumRenderer(QWidget *parent = nullptr);

    QWidget *widget() override { return this; }
    DrumDevice device() const override { return DrumDevice::Software; }
    void initializeSurface(QSize surface) override;
    QSize surfaceSize() const override { return m_backBuffer.size(); }
    bool surfaceInitialized() const override { return !m_backBuffer.isNull(); }
    void renderFrame(const DrumFrame &frame) override;
    QImage grabFrame() override { return m_backBuffer; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    DrumScene m_scene;
    QImage m_backBuffer;
};

} // namespace zelk
