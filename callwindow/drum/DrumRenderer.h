#pragma once

#include "callwindow/drum/DrumFrame.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;

namespace zelk {

enum class DrumDevice { Software, Hardware };

// The drawing surface DXDraw: one device that shows frames of the drum. The window owns the
// widget (parent ownership); the renderer is that widget.
class DrumRenderer
{
public:
    virtual ~DrumRenderer() = default;

    virtual QWidget *widget() = 0;
    virtual DrumDevice device() const = 0;
    bool isHardware() const { return device() == DrumDevice::Hardware; }

    // DXDrawInitializeSurface: a back buffer of this size, presented stretched to the widget.
    virtual void initializeSurface(QSize surface) = 0;
    virtual QSize surfaceSize() const = 0;
    virtual bool surfaceInitialized() const = 0;
    // Draws one frame (clear, faces, overlay) and presents it.
    virtual void renderFrame(const DrumFrame &frame) = 0;
    // The last presented frame, at surface size; for tests and screenshots.
    virtual QImage grabFrame() = 0;
};

// Which device to use. forced is the value of ZELK_RENDERER ("software" or "hardware",
// anything else counts as unset); platform the Qt platform name; canUseOpenGL tells whether
// an OpenGL context really comes up. OpenGL is never tried where it cannot work: under the
// offscreen and minimal platforms a QOpenGLWidget crashes instead of failing.
DrumDevice ChooseDrumDevice(const QString &forced, const QString &platform,
                            const std::function<bool()> &canUseOpenGL);

// Probes for an OpenGL 2.0 (or ES 2.0) context on a hidden surface.
bool OpenGLContextAvailable();

// Creates the renderer chosen by ChooseDrumDevice from the environment, as a child of parent.
DrumRenderer *CreateDrumRenderer(QWidget *parent);
DrumRenderer *CreateDrumRenderer(DrumDevice device, QWidget *parent);

} // namespace zelk
