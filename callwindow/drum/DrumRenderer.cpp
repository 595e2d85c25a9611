#include "callwindow/drum/DrumRenderer.h"

#include "callwindow/drum/OpenGLDrumRenderer.h"
#include "callwindow/drum/SoftwareDrumRenderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QProcess>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

constexpr int kProbeTimeoutMs = 5000;

QString helperPath()
{
    return QCoreApplication::applicationDirPath() + u"/zelk-glprobe"_s;
}

} // namespace

bool IsSoftwareRasterizer(const QString &renderer)
{
    const QString r = renderer.toLower();
    for (const auto *name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"}) {
        if (r.contains(QLatin1StringView(name)))
            return true;
    }
    return false;
}

DrumDevice ChooseDrumDevice(const QString &forced, const QString &platform,
                            const std::function<OpenGLProbeResult()> &probe)
{
    const QString choice = forced.trimmed().toLower();
    if (choice == u"software"_s)
        return DrumDevice::Software;
    if (platform == u"offscreen"_s || platform == u"minimal"_s)
        return DrumDevice::Software;
    const OpenGLProbeResult found = probe ? probe() : OpenGLProbeResult{};
    if (!found.available)
        return DrumDevice::Software;
    if (choice != u"hardware"_s && IsSoftwareRasterizer(found.renderer))
        return DrumDevice::Software;
    return DrumDevice::Hardware;
}

OpenGLProbeResult ProbeOpenGLInProcess()
{
    if (!QGuiApplication::instance())
        return {};
    QOpenGLContext context;
    if (!context.create())
        return {};
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return {};
    OpenGLProbeResult result;
    result.available = context.isOpenGLES() || context.format().majorVersion() >= 2;
    const auto *renderer = context.functions()->glGetString(GL_RENDERER);
    result.renderer = QString::fromLatin1(reinterpret_cast<const char *>(renderer));
    context.doneCurrent();
    return result;
}

bool MayHaveGraphicsHardware()
{
#if defined(Q_OS_LINUX)
    // Without a DRM device node the Mesa driver can only rasterise in software.
    const QDir devices(u"/dev/dri"_s);
    return !devices.entryList({u"card*"_s, u"renderD*"_s}, QDir::System).isEmpty();
#else
    return true;
#endif
}

OpenGLProbeResult ProbeOpenGL()
{
    if (!QFileInfo(helperPath()).isExecutable())
        return ProbeOpenGLInProcess();
    QProcess helper;
    helper.setProcessChannelMode(QProcess::SeparateChannels);
    helper.start(helperPath(), {u"-platform"_s, QGuiApplication::platformName()});
    if (!helper.waitForFinished(kProbeTimeoutMs)) {
        helper.kill();
        helper.waitForFinished(1000);
        std::fprintf(stderr, "ZELK: the OpenGL probe did not answer; the drum uses the Software device.\n");
        return {};
    }
    OpenGLProbeResult result;
    result.available = helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0;
    result.renderer = QString::fromUtf8(helper.readAllStandardOutput()).trimmed();
    return result;
}

int RunOpenGLProbeHelper()
{
    const OpenGLProbeResult result = ProbeOpenGLInProcess();
    std::printf("%s\n", qPrintable(result.renderer));
    return result.available ? 0 : 1;
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
    const bool asked = forced.trimmed().toLower() == u"hardware"_s;
    const DrumDevice device = ChooseDrumDevice(forced, platform, [asked]() -> OpenGLProbeResult {
        // Without a graphics device only a software rasterizer can answer: no need to wait for
        // the probe, which costs the start-up most of a second.
        if (!asked && !MayHaveGraphicsHardware())
            return {true, u"no graphics device (software rasterizer)"_s};
        return ProbeOpenGL();
    });
    if (device == DrumDevice::Software && forced.trimmed().toLower() == u"hardware"_s)
        std::fprintf(stderr, "ZELK: no OpenGL context on platform \"%s\"; the drum uses the "
                             "Software device.\n",
                     qPrintable(platform));
    return CreateDrumRenderer(device, parent);
}

} // namespace zelk
