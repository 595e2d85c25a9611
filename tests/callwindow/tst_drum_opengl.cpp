#include "callwindow/drum/DrumFrame.h"
#include "callwindow/drum/DrumRenderer.h"
#include "callwindow/drum/DrumTextures.h"
#include "callwindow/drum/OpenGLDrumRenderer.h"

#include <QApplication>
#include <QtTest>

using namespace zelk;
using namespace Qt::StringLiterals;

// The Hardware device against the Software one. Needs an OpenGL context (Xvfb with Mesa);
// elsewhere it skips, unless ZELK_REQUIRE_OPENGL says a context must come up.
class TestDrumOpenGL : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void sameFrameAsSoftware_data();
    void sameFrameAsSoftware();
    void probeHelper_findsTheSameRenderer();
};

void TestDrumOpenGL::initTestCase()
{
    const QString platform = QGuiApplication::platformName();
    const bool available = ChooseDrumDevice(u"hardware"_s, platform, &ProbeOpenGLInProcess)
                           == DrumDevice::Hardware;
    if (!available) {
        if (qEnvironmentVariableIntValue("ZELK_REQUIRE_OPENGL"))
            QFAIL(qPrintable(u"no OpenGL context on platform "_s + platform));
        QSKIP("no OpenGL context here (offscreen platform or no driver)");
    }
}

void TestDrumOpenGL::sameFrameAsSoftware_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<bool>("called");
    QTest::newRow("rest") << 0.0 << false;
    QTest::newRow("turning") << 0.3 << false;
    QTest::newRow("called front face") << FaceStep << true;
}

void TestDrumOpenGL::sameFrameAsSoftware()
{
    QFETCH(double, angle);
    QFETCH(bool, called);
    const QSize surface(640, 360);
    TZELKCallList list;
    const char *names[] = {"Rum 1", "Lab", "Röntgen", "Akuten", "Expedition"};
    for (int i = 0; i < 5; ++i) {
        TZELKCallListItem item;
        item.CallNamn = QString::fromUtf8(names[i]);
        item.CallColor = 0x0000FFFF - i * 0x1020;
        item.IsCalled = called && i == 1;
        list << item;
    }
    QVERIFY(BuildNameTextures(list, {}));
    FaceMap map{};
    for (int f = 1; f <= kDrumFaces; ++f)
        map[size_t(f)] = (f - 1) % int(list.size());
    DrumOverlayState overlay;
    overlay.connected = true;
    const DrumFrame frame = MakeDrumFrame(list, map, angle, overlay);

    QWidget window;
    window.resize(surface);
    DrumRenderer *gl = CreateDrumRenderer(DrumDevice::Hardware, &window);
    QVERIFY(gl->isHardware());
    gl->widget()->setGeometry(QRect(QPoint(0, 0), surface));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    gl->initializeSurface(surface);
    gl->renderFrame(frame);
    const QImage hardware = gl->grabFrame();
    QCOMPARE(hardware.size(), surface);

    DrumScene scene;
    scene.DXDrawInitializeSurface(surface);
    QImage software(surface, QImage::Format_RGB32);
    RenderDrumFrame(software, scene, frame);

    if (const QString dir = qEnvironmentVariable("ZELK_DUMP_DIR"); !dir.isEmpty()) {
        hardware.save(dir + u"/hardware-"_s + QString::fromLatin1(QTest::currentDataTag()) + u".png"_s);
        software.save(dir + u"/software-"_s + QString::fromLatin1(QTest::currentDataTag()) + u".png"_s);
    }
    // Faces only: the overlay's text is drawn by two different paint engines.
    int differing = 0, compared = 0;
    for (int y = 0; y < surface.height() - 40; ++y)
        for (int x = 0; x < surface.width(); ++x) {
            const QRgb a = hardware.pixel(x, y), b = software.pixel(x, y);
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b))});
            ++compared;
            differing += d > 24;
        }
    // Edges may fall on the other side of a pixel; the pictures themselves must agree.
    QVERIFY2(differing < compared / 200,
             qPrintable(u"%1 of %2 pixels differ"_s.arg(differing).arg(compared)));
    // The overlay dot is drawn by the shared code on both.
    QCOMPARE(QColor(hardware.pixel(17, surface.height() - 18)), QColor(0, 128, 0));
}

// The client asks the helper beside it, so that it loads no GL driver of its own; the helper
// must see what an in-process probe sees.
void TestDrumOpenGL::probeHelper_findsTheSameRenderer()
{
    QVERIFY(QFileInfo(QCoreApplication::applicationDirPath() + u"/zelk-glprobe"_s).isExecutable());
    const OpenGLProbeResult inProcess = ProbeOpenGLInProcess();
    const OpenGLProbeResult helper = ProbeOpenGL();
    QVERIFY(helper.available);
    QCOMPARE(helper.renderer, inProcess.renderer);
    QVERIFY(!helper.renderer.isEmpty());
}

QTEST_MAIN(TestDrumOpenGL)
#include "tst_drum_opengl.moc"
