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

// What an OpenGL probe found: whether a 2.0 (or ES 2.0) context came up, and its
// GL_RENDERER text.
struct OpenGLProbeResult
{
    bool available = false;
    QString renderer;
};

// Mesa's llvmpipe, softpipe and swrast (and other "software rasterizer"s) draw on the CPU:
// the Software device does the same job without loading a GL driver.
bool IsSoftwareRasterizer(const QString &renderer);

// Which device to use. forced is the value of ZELK_RENDERER ("software" or "hardware",
// anything else counts as unset); platform the Qt platform name; probe tells whether an
// OpenGL context really comes up and which renderer it has. OpenGL is never tried where it
// cannot work: under the offscreen and minimal platforms a QOpenGLWidget crashes instead of
// failing. A software rasterizer is used only when the hardware device is asked for.
DrumDevice ChooseDrumDevice(const QString &forced, const QString &platform,
                            const std::function<OpenGLProbeResult()> &probe);

// Probes for an OpenGL context on a hidden surface, in this process: the GL driver stays
// loaded afterwards (Mesa's llvmpipe alone keeps about 100 MB resident).
OpenGLProbeResult ProbeOpenGLInProcess();
// Probes in the helper program zelk-glprobe beside the executable, so that this process
// loads no GL driver unless it then uses the hardware device; in this process when the helper
// is missing. The wait is bounded (a probe that hangs counts as no OpenGL).
OpenGLProbeResult ProbeOpenGL();
// Whether the machine has a graphics device node at all (always true where it cannot tell).
bool MayHaveGraphicsHardware();

// The helper's whole work: the result of an in-process probe as its output lines and exit
// code (0 available, 1 not).
int RunOpenGLProbeHelper();

// Creates the renderer chosen by ChooseDrumDevice from the environment, as a child of parent.
DrumRenderer *CreateDrumRenderer(QWidget *parent);
DrumRenderer *CreateDrumRenderer(DrumDevice device, QWidget *parent);

} // namespace zelk
