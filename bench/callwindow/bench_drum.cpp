// Cost of one drum frame and of making the face pictures. The Hardware device is measured
// only where an OpenGL context comes up (run under Xvfb with QT_QPA_PLATFORM=xcb).
#include "callwindow/drum/DrumFrame.h"
#include "callwindow/drum/DrumRenderer.h"
#include "callwindow/drum/DrumTextures.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include <benchmark/benchmark.h>

using namespace zelk;
using namespace Qt::StringLiterals;

namespace {

const QSize kFullHd(1920, 1080);

TZELKCallList sampleList(int n)
{
    static const char *const names[] = {"Rum 1", "Laboratoriet", "Röntgen", "Akuten",
                                        "Expeditionen", "Dr Lindqvist", "Tandhygienist",
                                        "Behandlingsrum 12"};
    TZELKCallList list;
    for (int i = 0; i < n; ++i) {
        TZELKCallListItem item;
        item.CallNamn = QString::fromUtf8(names[i % 8]);
        item.CallColor = 0x00FFFFFF;
        list << item;
    }
    return list;
}

struct Scene
{
    TZELKCallList list = sampleList(8);
    FaceMap map{};
    DrumOverlayState overlay;
    Scene()
    {
        BuildNameTextures(list, {});
        for (int f = 1; f <= kDrumFaces; ++f)
            map[size_t(f)] = f - 1;
        overlay.connected = true;
        overlay.ZELKShowDirectXInfo = true;
        overlay.Label1Caption = u"Ansluten till server"_s;
    }
};

// Three faces are visible at rest (the front face and its two neighbours).
void BM_SoftwareFrame(benchmark::State &state)
{
    Scene s;
    DrumScene scene;
    scene.DXDrawInitializeSurface(kFullHd);
    QImage backBuffer(kFullHd, QImage::Format_RGB32);
    double angle = 0.0;
    for (auto _ : state) {
        RenderDrumFrame(backBuffer, scene, MakeDrumFrame(s.list, s.map, angle, s.overlay));
        angle = angle == 0.0 ? 0.005 : 0.0; // a turning drum: a new angle every frame
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SoftwareFrame)->Unit(benchmark::kMillisecond);

void BM_SoftwareFacesOnly(benchmark::State &state)
{
    Scene s;
    DrumScene scene;
    scene.DXDrawInitializeSurface(kFullHd);
    QImage backBuffer(kFullHd, QImage::Format_RGB32);
    const DrumFrame frame = MakeDrumFrame(s.list, s.map, 0.0, s.overlay);
    for (auto _ : state) {
        DrawDrumFaces(backBuffer, scene, frame);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SoftwareFacesOnly)->Unit(benchmark::kMillisecond);

// For comparison: the same faces through general perspective QTransforms.
void BM_QTransformFacesReference(benchmark::State &state)
{
    Scene s;
    DrumScene scene;
    scene.DXDrawInitializeSurface(kFullHd);
    QImage backBuffer(kFullHd, QImage::Format_RGB32);
    const DrumFrame frame = MakeDrumFrame(s.list, s.map, 0.0, s.overlay);
    for (auto _ : state) {
        backBuffer.fill(0xFF000000u);
        QPainter p(&backBuffer);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        for (const DrumFaceQuad &q : scene.faceQuads()) {
            const QImage &tex = frame.faces[size_t(q.face - 1)];
            if (!q.visible || tex.isNull())
                continue;
            QTransform t;
            const qreal w = tex.width(), h = tex.height();
            if (QTransform::quadToQuad(
                    QPolygonF({QPointF(0, 0), QPointF(w, 0), QPointF(w, h), QPointF(0, h)}),
                    QPolygonF({q.topLeft, q.topRight, q.bottomRight, q.bottomLeft}), t)) {
                p.setTransform(t);
                p.drawImage(QPointF(0, 0), tex);
            }
        }
    }
}
BENCHMARK(BM_QTransformFacesReference)->Unit(benchmark::kMillisecond);

void BM_BuildNameTextures(benchmark::State &state)
{
    TZELKCallList list = sampleList(int(state.range(0)));
    for (auto _ : state)
        BuildNameTextures(list, {});
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildNameTextures)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_HardwareFrame(benchmark::State &state)
{
    if (ChooseDrumDevice(u"hardware"_s, QGuiApplication::platformName(), &ProbeOpenGLInProcess)
        != DrumDevice::Hardware) {
        state.SkipWithError("no OpenGL context (run under Xvfb with QT_QPA_PLATFORM=xcb)");
        return;
    }
    Scene s;
    QWidget window;
    window.resize(kFullHd);
    DrumRenderer *gl = CreateDrumRenderer(DrumDevice::Hardware, &window);
    gl->widget()->setGeometry(QRect(QPoint(0, 0), kFullHd));
    window.show();
    QCoreApplication::processEvents();
    gl->initializeSurface(kFullHd);
    double angle = 0.0;
    for (auto _ : state) {
        gl->renderFrame(MakeDrumFrame(s.list, s.map, angle, s.overlay));
        gl->widget()->repaint();
        angle = angle == 0.0 ? 0.005 : 0.0;
    }
}
BENCHMARK(BM_HardwareFrame)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
