#include "callwindow/drum/DrumGeometry.h"
#include "callwindow/drum/DrumTick.h"

#include <QImage>
#include <QtTest>

#include <cmath>
#include <set>

using namespace zelk;
using namespace Qt::StringLiterals;

namespace {

constexpr float A = kDrumApothem;

QString facesText(const std::set<int> &faces)
{
    QStringList parts;
    for (int f : faces)
        parts << QString::number(f);
    return parts.join(u',');
}

std::set<int> visibleFaces(const DrumScene &scene)
{
    std::set<int> r;
    for (const DrumFaceQuad &q : scene.faceQuads())
        if (q.visible)
            r.insert(q.face);
    return r;
}

} // namespace

class TestDrumGeometry : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void vertices_data();
    void vertices();
    void normalsPointOutwards();
    void matrices();
    void projectedFrontFace();
    void visibleFaces_data();
    void visibleFaces();
    void cullingAgreesWithFacingDirection();
    void frontFaceFollowsAngle();
    void texturesUprightAndUnmirrored();
    void faceTexture();
    void surfaceSizing_data();
    void surfaceSizing();
};

void TestDrumGeometry::vertices_data()
{
    QTest::addColumn<int>("face");
    // x, y, z, tu, tv of the four strip vertices
    QTest::addColumn<QList<float>>("expected");
    auto row = [](int face, QList<float> v) {
        QTest::addRow("face %d", face) << face << v;
    };
    row(1, {-1, 1, -A, 0, 0, 1, 1, -A, 1, 0, -1, -1, -A, 0, 1, 1, -1, -A, 1, 1});
    row(2, {-1, 1, -A, 1, 0, -1, -1, -A, 1, 1, -A, 1, -1, 0, 0, -A, -1, -1, 0, 1});
    row(3, {-A, 1, -1, 1, 0, -A, -1, -1, 1, 1, -A, 1, 1, 0, 0, -A, -1, 1, 0, 1});
    row(4, {-A, 1, 1, 1, 0, -A, -1, 1, 1, 1, -1, 1, A, 0, 0, -1, -1, A, 0, 1});
    row(5, {-1, 1, A, 1, 0, -1, -1, A, 1, 1, 1, 1, A, 0, 0, 1, -1, A, 0, 1});
    row(6, {1, 1, A, 1, 0, 1, -1, A, 1, 1, A, 1, 1, 0, 0, A, -1, 1, 0, 1});
    row(7, {A, 1, -1, 0, 0, A, 1, 1, 1, 0, A, -1, -1, 0, 1, A, -1, 1, 1, 1});
    row(8, {A, 1, -1, 1, 0, A, -1, -1, 1, 1, 1, 1, -A, 0, 0, 1, -1, -A, 0, 1});
}

void TestDrumGeometry::vertices()
{
    QFETCH(int, face);
    QFETCH(QList<float>, expected);
    const DrumVertices v = BuildDrumVertices();
    for (int k = 0; k < 4; ++k) {
        const DrumVertex &d = v[size_t(4 * (face - 1) + k)];
        const float *e = expected.constData() + 5 * k;
        QCOMPARE(d.x, e[0]);
        QCOMPARE(d.y, e[1]);
        QCOMPARE(d.z, e[2]);
        QCOMPARE(d.tu, e[3]);
        QCOMPARE(d.tv, e[4]);
    }
}

void TestDrumGeometry::normalsPointOutwards()
{
    for (const DrumVertex &d : BuildDrumVertices()) {
        QCOMPARE(d.ny, 0.0f);
        QVERIFY(std::abs(std::hypot(d.nx, d.nz) - 1.0f) < 1e-5f);
        QVERIFY(d.nx * d.x + d.nz * d.z > 0.0f);
    }
}

void TestDrumGeometry::matrices()
{
    const DrumMatrix p = DrumProjectionMatrix();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float want = 0.0f;
            if ((r == 0 && c == 0) || (r == 1 && c == 1))
                want = 2.0f;
            else if ((r == 2 && c == 2) || (r == 2 && c == 3))
                want = 1.0f;
            else if (r == 3 && c == 2)
                want = -1.0f;
            QCOMPARE(p.m[size_t(r)][size_t(c)], want);
        }
    const DrumMatrix v = DrumViewMatrix();
    QCOMPARE(v.m[3][2], 5.8842f);
    QCOMPARE(v.m[0][0], 1.0f);
    QCOMPARE(v.m[3][3], 1.0f);

    const double angle = 0.3;
    const DrumMatrix w = DrumWorldMatrix(angle);
    QCOMPARE(w.m[0][0], float(std::cos(angle)));
    QCOMPARE(w.m[0][2], float(std::sin(angle)));
    QCOMPARE(w.m[2][0], -float(std::sin(angle)));
    QCOMPARE(w.m[2][2], float(std::cos(angle)));
    QCOMPARE(w.m[1][1], 1.0f);
    QCOMPARE(w.m[3][3], 1.0f);
    QCOMPARE(w.m[1][0], 0.0f);

    // Row vectors: a point at depth z in front of the viewer lands at x = 2x/z, depth 1 - 1/z.
    const auto clip = (DrumViewMatrix() * DrumProjectionMatrix()).transform(1.0f, 0.5f, 0.0f);
    QCOMPARE(clip[3], 5.8842f);
    QVERIFY(std::abs(clip[0] / clip[3] - 2.0f / 5.8842f) < 1e-6f);
    QVERIFY(std::abs(clip[1] / clip[3] - 1.0f / 5.8842f) < 1e-6f);
    QVERIFY(std::abs(clip[2] / clip[3] - (1.0f - 1.0f / 5.8842f)) < 1e-6f);
}

void TestDrumGeometry::projectedFrontFace()
{
    DrumScene scene;
    scene.DXDrawInitializeSurface(QSize(1000, 600));
    scene.SetDrumAngle(0.0);
    const DrumFaceQuad q = scene.faceQuad(1);
    const double z = 5.8842 - 2.4142; // the nearest face stands 3.47 units away
    const double half = 2.0 / z;        // its half width and half height in the unit square
    const double eps = 1e-3;
    QVERIFY(std::abs(q.topLeft.x() - (1 - half) * 500) < eps);
    QVERIFY(std::abs(q.topRight.x() - (1 + half) * 500) < eps);
    QVERIFY(std::abs(q.topLeft.y() - (1 - half) * 300) < eps);
    QVERIFY(std::abs(q.bottomLeft.y() - (1 + half) * 300) < eps);
    QVERIFY(std::abs(q.leftDepth - z) < 1e-4);
    QVERIFY(std::abs(q.rightDepth - z) < 1e-4);
    QVERIFY(q.visible);
}

void TestDrumGeometry::visibleFaces_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<QString>("faces");
    // Face 3 and face 7 stand left and right of the front face, but at rest the viewer looks
    // along their planes from inside: only the front face and its two neighbours show.
    QTest::newRow("rest on face 1") << 0.0 << u"1,2,8"_s;
    QTest::newRow("half way to face 2") << FaceStep / 2 << u"1,2"_s;
    QTest::newRow("rest on face 2") << FaceStep << u"1,2,3"_s;
    QTest::newRow("rest on face 5") << 4 * FaceStep << u"4,5,6"_s;
    QTest::newRow("rest on face 8") << 7 * FaceStep << u"1,7,8"_s;
}

void TestDrumGeometry::visibleFaces()
{
    QFETCH(double, angle);
    QFETCH(QString, faces);
    DrumScene scene;
    scene.SetDrumAngle(angle);
    QCOMPARE(facesText(::visibleFaces(scene)), faces);
}

void TestDrumGeometry::cullingAgreesWithFacingDirection()
{
    // The screen winding test and the 3D test (does the outward normal point towards the
    // viewer?) must agree wherever a face is not seen edge-on.
    DrumScene scene;
    const DrumVertices v = BuildDrumVertices();
    for (int step = 0; step < 360; ++step) {
        const double angle = step * (2 * M_PI / 360);
        scene.SetDrumAngle(angle);
        const DrumMatrix w = DrumWorldMatrix(angle);
        for (int f = 1; f <= kDrumFaces; ++f) {
            const DrumVertex &c = v[size_t(4 * (f - 1))];
            const auto p = w.transform(c.x, c.y, c.z);
            const auto n = w.transform(c.nx, c.ny, c.nz); // no translation in w
            const double toward = -(p[0] * n[0] + (p[2] + kDrumViewDistance) * n[2]);
            if (std::abs(toward) < 1e-3)
                continue;
            QVERIFY2(scene.faceQuad(f).visible == (toward > 0),
                     qPrintable(u"face %1 at step %2"_s.arg(f).arg(step)));
        }
    }
}

void TestDrumGeometry::frontFaceFollowsAngle()
{
    DrumScene scene;
    for (int face = 1; face <= kDrumFaces; ++face) {
        scene.SetDrumAngle((face - 1) * FaceStep);
        const DrumFaceQuad q = scene.faceQuad(face);
        QVERIFY(q.visible);
        QVERIFY(std::abs(q.leftDepth - 3.47) < 1e-3);
        QVERIFY(std::abs((q.topLeft.x() + q.topRight.x()) / 2 - 375.0) < 0.05);
    }
    // As the angle grows the faces pass the front from the viewer's left to the right.
    scene.SetDrumAngle(0.0);
    const double before = scene.faceQuad(1).topLeft.x();
    scene.SetDrumAngle(0.1);
    QVERIFY(scene.faceQuad(1).topLeft.x() > before);
}

void TestDrumGeometry::texturesUprightAndUnmirrored()
{
    DrumScene scene;
    for (int step = 0; step < 64; ++step) {
        scene.SetDrumAngle(step * 0.1);
        for (const DrumFaceQuad &q : scene.faceQuads()) {
            if (!q.visible)
                continue;
            QVERIFY(q.topLeft.x() < q.topRight.x());
            QVERIFY(q.topLeft.y() < q.bottomLeft.y());
            // Vertical edges stay vertical: the drum turns about its vertical axis.
            QVERIFY(std::abs(q.topLeft.x() - q.bottomLeft.x()) < 1e-3);
        }
    }
}

void TestDrumGeometry::faceTexture()
{
    TZELKCallList list(3);
    for (int i = 0; i < 3; ++i) {
        list[i].Texture = QImage(4, 4, QImage::Format_RGB32);
        list[i].CallTexture = QImage(4, 4, QImage::Format_RGB32);
    }
    list[1].IsCalled = true;
    FaceMap map{};
    for (int f = 1; f <= kDrumFaces; ++f)
        map[size_t(f)] = (f - 1) % 3;
    QCOMPARE(FaceTexture(list, map, 1), &list[0].Texture);
    QCOMPARE(FaceTexture(list, map, 2), &list[1].CallTexture);
    QCOMPARE(FaceTexture(list, map, 4), &list[0].Texture);
    // A map left from a longer list, or a face outside 1..8, shows nothing instead of crashing.
    map[3] = 7;
    QCOMPARE(FaceTexture(list, map, 3), nullptr);
    map[3] = -1;
    QCOMPARE(FaceTexture(list, map, 3), nullptr);
    QCOMPARE(FaceTexture(list, map, 0), nullptr);
    QCOMPARE(FaceTexture(list, map, 9), nullptr);
    // An entry without pictures yet is skipped too.
    list[2].Texture = QImage();
    QCOMPARE(FaceTexture(list, map, 6), nullptr);
}

void TestDrumGeometry::surfaceSizing_data()
{
    QTest::addColumn<bool>("initial");
    QTest::addColumn<QSize>("input");
    QTest::addColumn<QSize>("surface");
    QTest::newRow("first activation") << true << QSize(1920, 1080) << QSize(1820, 980);
    QTest::newRow("wide desktop") << true << QSize(3840, 2160) << QSize(2048, 2060);
    QTest::newRow("tiny desktop") << true << QSize(80, 60) << QSize(1, 1);
    QTest::newRow("resize") << false << QSize(1200, 700) << QSize(1200, 700);
    QTest::newRow("resize wide, height not limited") << false << QSize(2600, 2500)
                                                     << QSize(2048, 2500);
    QTest::newRow("resize to nothing") << false << QSize(0, 0) << QSize(1, 1);
}

void TestDrumGeometry::surfaceSizing()
{
    QFETCH(bool, initial);
    QFETCH(QSize, input);
    QFETCH(QSize, surface);
    QCOMPARE(initial ? InitialSurfaceSize(input) : ResizedSurfaceSize(input), surface);
}

QTEST_GUILESS_MAIN(TestDrumGeometry)
#include "tst_drum_geometry.moc"
