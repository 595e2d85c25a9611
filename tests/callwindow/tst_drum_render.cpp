#include "callwindow/drum/DrumFrame.h"
#include "callwindow/drum/DrumRenderer.h"
#include "callwindow/drum/DrumTextures.h"
#include "callwindow/drum/DrumTick.h"
#include "callwindow/drum/SoftwareDrumRenderer.h"

#include <QApplication>
#include <QtTest>

using namespace zelk;
using namespace Qt::StringLiterals;

namespace {

const QSize kSurface(750, 420);

QColor entryColor(int i)
{
    static const QColor colors[] = {{200, 30, 30}, {30, 200, 30}, {30, 30, 200}, {200, 200, 30},
                                    {200, 30, 200}, {30, 200, 200}, {120, 60, 10}, {10, 60, 120}};
    return colors[i];
}

QImage solid(const QColor &c)
{
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(c);
    return image;
}

// Eight entries with one plain colour each, face f showing entry f - 1.
struct Fixture
{
    TZELKCallList list;
    FaceMap map{};
    DrumOverlayState overlay;

    Fixture()
    {
        for (int i = 0; i < kDrumFaces; ++i) {
            TZELKCallListItem item;
            item.CallNamn = u"Rum %1"_s.arg(i + 1);
            item.Texture = solid(entryColor(i));
            item.CallTexture = solid(QColor(250, 250, 250));
            list << item;
        }
        for (int f = 1; f <= kDrumFaces; ++f)
            map[size_t(f)] = f - 1;
    }

    QImage render(double angle)
    {
        DrumScene scene;
        scene.DXDrawInitializeSurface(kSurface);
        QImage image(kSurface, QImage::Format_RGB32);
        RenderDrumFrame(image, scene, MakeDrumFrame(list, map, angle, overlay));
        return image;
    }
};

bool contains(const QImage &image, const QColor &c)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == c)
                return true;
    return false;
}

int countWhite(const QImage &image, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.pixelColor(x, y) == Qt::white;
    return n;
}

class RecordingHost : public DrumTickHost
{
public:
    bool canDraw = true;
    bool announce = false;
    double nextFramPos = 0.0;
    double framPos = 0.0;
    double lastFrame = -1.0;
    QStringList calls;

    bool drumCanDraw() const override { return canDraw; }
    bool AdvanceSelection() override
    {
        calls << u"advance"_s;
        framPos = nextFramPos;
        return announce;
    }
    double FramPos() const override { return framPos; }
    double LastFrame() const override { return lastFrame; }
    void setLastFrame(double angle) override { lastFrame = angle; }
    void drawDrumFrame(double angle) override { calls << u"draw %1"_s.arg(angle); }
    void AnnounceFace() override { calls << u"announce"_s; }
};

} // namespace

class TestDrumRender : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void frontFaceAtRest();
    void turnedOneStep();
    void backFacesNeverDrawn();
    void calledFace();
    void perspectiveMatchesProjectiveMap();
    void faceWithoutEntrySkipped();
    void overlayDot_data();
    void overlayDot();
    void overlayInfoLine();
    void softwareRendererWidget();
    void chooseDevice_data();
    void chooseDevice();
    void tickOrder_data();
    void tickOrder();
    void frameTimer();
};

void TestDrumRender::frontFaceAtRest()
{
    Fixture fx;
    const QImage image = fx.render(0.0);
    DrumScene scene;
    scene.DXDrawInitializeSurface(kSurface);
    const DrumFaceQuad q = scene.faceQuad(1);
    // The quad the matrices give: about 216 x 121 pixels either side of the centre.
    const int left = int(std::ceil(q.topLeft.x()));
    const int right = int(std::floor(q.topRight.x()));
    const int top = int(std::ceil(q.topLeft.y()));
    const int bottom = int(std::floor(q.bottomLeft.y()));
    QCOMPARE(left, 159);
    QCOMPARE(right, 591);
    QCOMPARE(top, 89);
    QCOMPARE(bottom, 331);
    const QColor front = entryColor(0);
    QCOMPARE(image.pixelColor(375, 210), front);
    QCOMPARE(image.pixelColor(left + 1, top + 1), front);
    QCOMPARE(image.pixelColor(right - 1, bottom - 1), front);
    QCOMPARE(image.pixelColor(left + 1, bottom - 1), front);
    // Just above and below: nothing. Just left and right: the neighbouring faces 2 and 8.
    QCOMPARE(image.pixelColor(375, top - 2), QColor(Qt::black));
    QCOMPARE(image.pixelColor(375, bottom + 2), QColor(Qt::black));
    QCOMPARE(image.pixelColor(left - 2, 210), entryColor(1));
    QCOMPARE(image.pixelColor(right + 2, 210), entryColor(7));
    // Faces 3 and 7 stand side-on to the viewer at rest: their colours appear nowhere.
    QVERIFY(!contains(image, entryColor(2)));
    QVERIFY(!contains(image, entryColor(6)));
}

void TestDrumRender::turnedOneStep()
{
    Fixture fx;
    const QImage image = fx.render(FaceStep);
    QCOMPARE(image.pixelColor(375, 210), entryColor(1));
    QCOMPARE(image.pixelColor(375 - 225, 210), entryColor(2));
    QCOMPARE(image.pixelColor(375 + 225, 210), entryColor(0));
}

void TestDrumRender::backFacesNeverDrawn()
{
    Fixture fx;
    // Face 5 is opposite face 1: it cannot show while any of faces 8, 1 and 2 is in front.
    for (int step = 0; step <= 16; ++step) {
        const double angle = step * FaceStep / 8 - FaceStep;
        const QImage image = fx.render(angle);
        QVERIFY2(!contains(image, entryColor(4)), qPrintable(QString::number(angle)));
    }
}

void TestDrumRender::calledFace()
{
    Fixture fx;
    fx.list[0].IsCalled = true;
    const QImage image = fx.render(0.0);
    QCOMPARE(image.pixelColor(375, 210), QColor(250, 250, 250));
    QCOMPARE(image.pixelColor(140, 210), entryColor(1));
}

void TestDrumRender::perspectiveMatchesProjectiveMap()
{
    // A texture whose red grows with x and green with y; a face at a slant must show, at each
    // pixel, the texel that the exact projective map of the face's plane puts there.
    QImage gradient(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            gradient.setPixel(x, y, qRgb(x, y, 0));
    Fixture fx;
    fx.list[1].Texture = gradient;
    const double angle = 0.45;
    const QImage image = fx.render(angle);

    DrumScene scene;
    scene.DXDrawInitializeSurface(kSurface);
    scene.SetDrumAngle(angle);
    const DrumFaceQuad q = scene.faceQuad(2);
    QVERIFY(q.visible);
    QTransform toScreen;
    QVERIFY(QTransform::quadToQuad(
        QPolygonF({QPointF(0, 0), QPointF(256, 0), QPointF(256, 256), QPointF(0, 256)}),
        QPolygonF({q.topLeft, q.topRight, q.bottomRight, q.bottomLeft}), toScreen));
    bool invertible = false;
    const QTransform toTexture = toScreen.inverted(&invertible);
    QVERIFY(invertible);
    int checked = 0;
    for (int y = int(q.topRight.y()) + 4; y < int(q.bottomRight.y()) - 4; y += 7)
        for (int x = int(q.topLeft.x()) + 3; x < int(q.topRight.x()) - 3; x += 5) {
            const QPointF t = toTexture.map(QPointF(x + 0.5, y + 0.5));
            if (t.x() < 1 || t.x() > 255 || t.y() < 1 || t.y() > 255)
                continue;
            const QColor c = image.pixelColor(x, y);
            QVERIFY2(std::abs(c.red() - (t.x() - 0.5)) <= 2.0 && std::abs(c.green() - (t.y() - 0.5)) <= 2.0,
                     qPrintable(u"(%1,%2): %3,%4 vs %5,%6"_s.arg(x).arg(y).arg(c.red())
                                    .arg(c.green()).arg(t.x()).arg(t.y())));
            ++checked;
        }
    QVERIFY(checked > 200);
}

void TestDrumRender::faceWithoutEntrySkipped()
{
    Fixture fx;
    fx.map[1] = 42; // a map left over from a longer list
    const QImage image = fx.render(0.0);
    QCOMPARE(image.pixelColor(375, 210), QColor(Qt::black));
    QCOMPARE(image.pixelColor(140, 210), entryColor(1));
}

void TestDrumRender::overlayDot_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QColor>("dot");
    QTest::newRow("connected") << true << QColor(0, 128, 0);
    QTest::newRow("not connected") << false << QColor(255, 0, 0);
}

void TestDrumRender::overlayDot()
{
    QFETCH(bool, connected);
    QFETCH(QColor, dot);
    Fixture fx;
    fx.overlay.connected = connected;
    const QImage image = fx.render(0.0);
    const int h = kSurface.height();
    QCOMPARE(image.pixelColor(17, h - 18), dot);
    QCOMPARE(image.pixelColor(5, h - 18), QColor(Qt::white)); // outline
    QCOMPARE(image.pixelColor(3, h - 18), QColor(Qt::black));
}

void TestDrumRender::overlayInfoLine()
{
    Fixture fx;
    fx.overlay.Label1Caption = u"Ansluten till server"_s;
    const QRect info(0, 0, 160, 32);
    const QRect caption(45, kSurface.height() - 30, 300, 26);
    QImage image = fx.render(0.0);
    QCOMPARE(countWhite(image, info), 0);
    QVERIFY(countWhite(image, caption) > 20);

    fx.overlay.ZELKShowDirectXInfo = true;
    fx.overlay.frameRate = 60;
    image = fx.render(0.0);
    QVERIFY(countWhite(image, info) > 20);
    // Nothing of the two lines reaches below them.
    QCOMPARE(countWhite(image, QRect(0, 40, 160, 20)), 0);
}

void TestDrumRender::softwareRendererWidget()
{
    QWidget window;
    DrumRenderer *renderer = CreateDrumRenderer(DrumDevice::Software, &window);
    QCOMPARE(renderer->widget()->parent(), &window);
    QVERIFY(!renderer->isHardware());
    QVERIFY(!renderer->surfaceInitialized());
    renderer->initializeSurface(kSurface);
    QVERIFY(renderer->surfaceInitialized());
    QCOMPARE(renderer->surfaceSize(), kSurface);

    Fixture fx;
    fx.overlay.hardware = true; // the device itself decides what the overlay says
    fx.overlay.ZELKShowDirectXInfo = true;
    renderer->renderFrame(MakeDrumFrame(fx.list, fx.map, 0.0, fx.overlay));
    const QImage frame = renderer->grabFrame();
    QCOMPARE(frame.size(), kSurface);
    QCOMPARE(frame.pixelColor(375, 210), entryColor(0));

    fx.overlay.hardware = false;
    QCOMPARE(frame, fx.render(0.0));

    // Presented stretched to the widget.
    renderer->widget()->resize(kSurface / 2);
    const QImage shown = renderer->widget()->grab().toImage();
    QCOMPARE(shown.pixelColor(187, 105), entryColor(0));
}

void TestDrumRender::chooseDevice_data()
{
    QTest::addColumn<QString>("forced");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("gl");
    QTest::addColumn<QString>("renderer");
    QTest::addColumn<bool>("probed");
    QTest::addColumn<int>("device");
    const int sw = int(DrumDevice::Software), hw = int(DrumDevice::Hardware);
    const QString gpu = u"Mesa Intel(R) UHD Graphics 620 (KBL GT2)"_s;
    const QString llvmpipe = u"llvmpipe (LLVM 15.0.6, 256 bits)"_s;
    QTest::newRow("xcb with hardware OpenGL") << QString() << u"xcb"_s << true << gpu << true << hw;
    QTest::newRow("xcb without OpenGL") << QString() << u"xcb"_s << false << QString() << true << sw;
    QTest::newRow("offscreen never tries") << QString() << u"offscreen"_s << true << gpu << false << sw;
    QTest::newRow("forced hardware offscreen") << u"hardware"_s << u"offscreen"_s << true << gpu
                                               << false << sw;
    QTest::newRow("forced hardware, no context") << u"hardware"_s << u"xcb"_s << false << QString()
                                                 << true << sw;
    QTest::newRow("forced software") << u"Software"_s << u"xcb"_s << true << gpu << false << sw;
    QTest::newRow("unknown value") << u"direct3d"_s << u"wayland"_s << true << gpu << true << hw;
    QTest::newRow("llvmpipe") << QString() << u"xcb"_s << true << llvmpipe << true << sw;
    QTest::newRow("softpipe") << QString() << u"xcb"_s << true << u"softpipe"_s << true << sw;
    QTest::newRow("swrast") << QString() << u"xcb"_s << true << u"Mesa swrast"_s << true << sw;
    QTest::newRow("software rasterizer") << QString() << u"xcb"_s << true
                                         << u"Software Rasterizer"_s << true << sw;
    QTest::newRow("llvmpipe, hardware asked for") << u"hardware"_s << u"xcb"_s << true << llvmpipe
                                                  << true << hw;
    QTest::newRow("unknown value, llvmpipe") << u"direct3d"_s << u"xcb"_s << true << llvmpipe
                                             << true << sw;
}

void TestDrumRender::chooseDevice()
{
    QFETCH(QString, forced);
    QFETCH(QString, platform);
    QFETCH(bool, gl);
    QFETCH(QString, renderer);
    QFETCH(bool, probed);
    QFETCH(int, device);
    bool asked = false;
    const DrumDevice d = ChooseDrumDevice(forced, platform, [&] {
        asked = true;
        return OpenGLProbeResult{gl, renderer};
    });
    QCOMPARE(int(d), device);
    QCOMPARE(asked, probed);
}

void TestDrumRender::tickOrder_data()
{
    QTest::addColumn<bool>("canDraw");
    QTest::addColumn<bool>("announce");
    QTest::addColumn<double>("lastFrame");
    QTest::addColumn<double>("framPos");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<int>("result");
    QTest::newRow("empty list or no surface") << false << true << -1.0 << 0.5 << QStringList()
                                              << int(DrumTickResult::Skipped);
    QTest::newRow("first frame") << true << false << -1.0 << 0.0
                                 << QStringList{u"advance"_s, u"draw 0"_s}
                                 << int(DrumTickResult::Drawn);
    QTest::newRow("pause: no redraw, no announcement")
        << true << true << 0.5 << 0.5 << QStringList{u"advance"_s}
        << int(DrumTickResult::Unchanged);
    QTest::newRow("announce after the frame")
        << true << true << 0.0 << 0.5 << QStringList{u"advance"_s, u"draw 0.5"_s, u"announce"_s}
        << int(DrumTickResult::Drawn);
}

void TestDrumRender::tickOrder()
{
    QFETCH(bool, canDraw);
    QFETCH(bool, announce);
    QFETCH(double, lastFrame);
    QFETCH(double, framPos);
    QFETCH(QStringList, calls);
    QFETCH(int, result);
    RecordingHost host;
    host.canDraw = canDraw;
    host.announce = announce;
    host.lastFrame = lastFrame;
    host.nextFramPos = framPos;
    QCOMPARE(int(DXTimerTimer(host)), result);
    QCOMPARE(host.calls, calls);
    if (result == int(DrumTickResult::Drawn))
        QCOMPARE(host.lastFrame, framPos);
}

void TestDrumRender::frameTimer()
{
    DrumFrameTimer timer;
    timer.setRefreshPeriod(16);
    timer.setInterval(1);
    QCOMPARE(timer.effectiveInterval(), 16);
    timer.setInterval(100); // remote sessions
    QCOMPARE(timer.effectiveInterval(), 100);
    timer.setRefreshPeriod(0);
    timer.setInterval(1);
    QCOMPARE(timer.effectiveInterval(), 1);

    // Each reading of the injected clock is 10 ms later: 100 frames per second.
    qint64 now = 0;
    timer.setClock([&] { return now += 10; });
    int ticks = 0;
    connect(&timer, &DrumFrameTimer::timeout, this, [&] {
        if (++ticks == 150)
            timer.stop();
    });
    QVERIFY(!timer.isEnabled());
    timer.start();
    QVERIFY(timer.isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!timer.isEnabled(), 10000);
    QCOMPARE(ticks, 150);
    QCOMPARE(timer.frameRate(), 100);
}

QTEST_MAIN(TestDrumRender)
#include "tst_drum_render.moc"
