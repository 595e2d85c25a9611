#include "callwindow/drum/DrumRenderer.h"

#include "callwindow/drum/OpenGLDrumRenderer.h"
#include "callwindow/drum/SoftwareDrumRenderer.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace zelk {

DrumDevice ChooseDrumDevice(const QString &forced, const QString &platform,
                            const std::function<bool()> &canUseOpenGL)
{
    const QString choice = forced.trimmed().toLower();
    if (choice == u"software"_s)
        return DrumDevice::Software;
    if (platform == u"offscreen"_s || platform == u"minimal"_s)
        return DrumDevice::Software;
    return canUseOpenGL && canUseOpenGL() ? DrumDevice::Hardware : DrumDevice::Software;
}

bool OpenGLContextAvailable()
{
    if (!QGuiApplication::instance())
        return false;
    QOpenGLContext context;
    if (!context.create())
        return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return false;
    const bool usable = context.isOpenGLES() || context.format().majorVersion() >= 2;
    context.doneCurrent();
    return usable;
}

DrumRenderer *CreateDrumRenderer(DrumDevice device, QWidget *parent)
{
    if (device == DrumDevice::Hardware)
        return new OpenGLDrumRenderer(parent);
    return new SoftwareDrumRenderer(parent);
}

DrumRenderer *CreateDrumRenderer(QWidget *parent)
{
    const QString forced = qEnvironmentVariable("ZELK_RENDERER");
    const QString platform = QGuiApplication::platformName();
    const DrumDevice device = ChooseDrumDevice(forced, platform, &OpenGLContextAvailable);
    if (device == DrumDevice::Software && forced.trimmed().toLower() == u"hardware"_s)
        std::fprintf(stderr, "ZELK: no OpenGL context on platform \"%s\"; the drum uses the "
                             "Software device.\n",
                     qPrintable(platform));
    return CreateDrumRenderer(device, parent);
}

} // namespace zelk
