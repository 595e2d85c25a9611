#include "callwindow/drum/DrumTextures.h"
#include "callwindow/drum/ShadedRoundRect.h"

#include <QFontInfo>
#include <QtTest>

using namespace zelk;
using namespace Qt::StringLiterals;

namespace {

bool hasColor(const QImage &image, const QRect &area, const QColor &color)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}

QImage solid(QSize size, const QColor &c)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(c);
    return image;
}

TZELKCallListItem entry(const QString &name, qint32 color = 0x00FFFFFF)
{
    TZELKCallListItem item;
    item.CallNamn = name;
    item.CallColor = color;
    return item;
}

} // namespace

class TestDrumTextures : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hlsConversion_data();
    void hlsConversion();
    void shadedRings_data();
    void shadedRings();
    void shadedSaturationAfterLuminance();
    void faceFont();
    void fitFontSize_data();
    void fitFontSize();
    void oneLetterOverflowsHeight();
    void centredText();
    void plainFaces();
    void pictureBackgrounds_data();
    void pictureBackgrounds();
    void emptyList();
};

void TestDrumTextures::hlsConversion_data()
{
    QTest::addColumn<QColor>("rgb");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("l");
    QTest::addColumn<int>("s");
    QTest::addColumn<bool>("roundTrip");
    QTest::newRow("black") << QColor(0, 0, 0) << 160 << 0 << 0 << true;
    QTest::newRow("white") << QColor(255, 255, 255) << 160 << 240 << 0 << true;
    QTest::newRow("red") << QColor(255, 0, 0) << 0 << 120 << 240 << true;
    QTest::newRow("drum green") << QColor(0, 128, 0) << 80 << 60 << 240 << true;
    QTest::newRow("blue") << QColor(0, 0, 255) << 160 << 120 << 240 << true;
    // The 0..240 scale cannot hold every grey: 128 comes back as 127.
    QTest::newRow("grey") << QColor(128, 128, 128) << 160 << 120 << 0 << false;
}

void TestDrumTextures::hlsConversion()
{
    QFETCH(QColor, rgb);
    QFETCH(int, h);
    QFETCH(int, l);
    QFETCH(int, s);
    QFETCH(bool, roundTrip);
    const HlsColor hls = ColorRGBToHLS(rgb);
    QCOMPARE(hls.hue, h);
    QCOMPARE(hls.luminance, l);
    QCOMPARE(hls.saturation, s);
    QCOMPARE(ColorHLSToRGB(hls) == rgb, roundTrip);
}

void TestDrumTextures::shadedRings_data()
{
    QTest::addColumn<QColor>("base");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("centreLuminance");
    // Luminance 50 is dark: 13 rings on a 40 pixel rectangle, each one step lighter.
    QTest::newRow("dark, 40 high") << ColorHLSToRGB({160, 50, 0}) << 40 << 63;
    // The outer rectangle and one ring.
    QTest::newRow("dark, 8 high") << ColorHLSToRGB({160, 50, 0}) << 8 << 51;
    QTest::newRow("luminance 100 counts as dark") << ColorHLSToRGB({160, 100, 0}) << 40 << 113;
    QTest::newRow("luminance 101 counts as light") << ColorHLSToRGB({160, 101, 0}) << 40 << 88;
}

void TestDrumTextures::shadedRings()
{
    QFETCH(QColor, base);
    QFETCH(int, height);
    QFETCH(int, centreLuminance);
    QImage image(200, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setPen(QPen(base, 1));
    p.setBrush(base);
    DrawShadedRoundRect(p, image.rect(), 10, 10);
    const QColor last = p.brush().color();
    QCOMPARE(p.pen().color(), last);
    QCOMPARE(p.pen().width(), 1);
    p.end();
    HlsColor want = ColorRGBToHLS(base);
    want.luminance = centreLuminance;
    QCOMPARE(last, ColorHLSToRGB(want));
    QCOMPARE(image.pixelColor(100, height / 2), ColorHLSToRGB(want));
    // The outermost pixel row in the middle is the base colour's own outline.
    QCOMPARE(image.pixelColor(100, 0), base);
}

void TestDrumTextures::shadedSaturationAfterLuminance()
{
    // Dark base, luminance 50, saturation 190: 20 rings raise luminance to 70, then 10 raise
    // saturation to 200, after which the rings keep that colour.
    const QColor base(95, 11, 11);
    const HlsColor start = ColorRGBToHLS(base);
    QCOMPARE(start.luminance, 50);
    QCOMPARE(start.saturation, 190);
    QImage image(400, 200, QImage::Format_RGB32);
    QPainter p(&image);
    p.setBrush(base);
    DrawShadedRoundRect(p, image.rect(), 10, 10);
    p.end();
    // Ring k is the outline k pixels in from the edge.
    auto ringAt = [&](int ring) { return image.pixelColor(200, ring); };
    QCOMPARE(ringAt(1), ColorHLSToRGB({start.hue, 51, 190}));
    QCOMPARE(ringAt(20), ColorHLSToRGB({start.hue, 70, 190}));
    QCOMPARE(ringAt(21), ColorHLSToRGB({start.hue, 70, 191}));
    QCOMPARE(ringAt(30), ColorHLSToRGB({start.hue, 70, 200}));
    QCOMPARE(ringAt(60), ColorHLSToRGB({start.hue, 70, 200}));
}

void TestDrumTextures::faceFont()
{
    const QFont font = FaceFont(12);
    QCOMPARE(font.pixelSize(), 16);
    QCOMPARE(PointsToPixels(8), 11);
    // Times New Roman itself, or the metric-compatible serif that stands in for it.
    const QString family = QFontInfo(font).family();
    QVERIFY2(family == u"Times New Roman"_s || family == u"Liberation Serif"_s,
             qPrintable(family));
}

void TestDrumTextures::fitFontSize_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::newRow("grows") << u"Rum 12"_s << 8;
    QTest::newRow("long name shrinks") << u"Akutmottagningens läkarexpedition, plan 4 öst"_s << 60;
    QTest::newRow("starts from the neutral size") << u"Tandhygienist"_s << 90;
}

void TestDrumTextures::fitFontSize()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QImage bitmap(512, 256, QImage::Format_RGB32);
    FaceCanvas canvas(bitmap);
    canvas.setFontSize(start);
    const QRect rect(0, 0, 512 - 40, 256);
    const int startWidth = canvas.textWidth(text);
    const int size = FitFontSize(canvas, rect, text);

    FaceCanvas probe(bitmap);
    probe.setFontSize(size);
    const int at = probe.textWidth(text);
    probe.setFontSize(size + 1);
    const int above = probe.textWidth(text);
    if (startWidth > rect.width()) {
        QVERIFY(size < start);
        QVERIFY(at < rect.width());
        QVERIFY(above >= rect.width());
    } else {
        QVERIFY(size >= start);
        QVERIFY(at <= rect.width());
        QVERIFY(above > rect.width());
        // The canvas is left at the last size tried, one above the result.
        QCOMPARE(canvas.fontSize(), size + 1);
    }
}

void TestDrumTextures::oneLetterOverflowsHeight()
{
    QImage bitmap(512, 256, QImage::Format_RGB32);
    FaceCanvas canvas(bitmap);
    const int size = FitFontSize(canvas, QRect(0, 0, 472, 256), u"A"_s);
    canvas.setFontSize(size);
    QVERIFY(canvas.textWidth(u"A"_s) <= 472);
    QVERIFY2(canvas.textHeight(u"A"_s) > 256, qPrintable(QString::number(size)));
}

void TestDrumTextures::centredText()
{
    QImage bitmap(512, 256, QImage::Format_RGB32);
    bitmap.fill(Qt::black);
    {
        FaceCanvas canvas(bitmap);
        canvas.painter().setRenderHint(QPainter::TextAntialiasing, false);
        DrawCenteredText(canvas, u"HHHH"_s, Qt::white, 40);
    }
    int left = 512, right = -1, top = 256, bottom = -1;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x)
            if (bitmap.pixelColor(x, y) == Qt::white) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    QVERIFY(right > left);
    QVERIFY(std::abs((left + right) / 2 - 256) <= 4);
    QVERIFY(std::abs((top + bottom) / 2 - 128) <= 12);
}

void TestDrumTextures::plainFaces()
{
    TZELKCallListItem item = entry(u"Rum 3"_s, 0x00FF8000); // blue 255, green 128, red 0
    BuildEntryTextures(item, {});
    const QImage &n = item.Texture;
    const QImage &c = item.CallTexture;
    QCOMPARE(n.size(), QSize(512, 256));
    QCOMPARE(c.size(), QSize(512, 256));
    QVERIFY(n.cacheKey() != c.cacheKey());

    const QColor grey(128, 128, 128), yellow(255, 255, 0);
    // Neutral: grey frame, black ground shading lighter inwards, name in its own colour.
    for (const QPoint &pt : {QPoint(0, 0), QPoint(511, 255), QPoint(256, 0), QPoint(0, 128)})
        QCOMPARE(n.pixelColor(pt), grey);
    // Inside the frame the black ground gets one step lighter per ring.
    QCOMPARE(n.pixelColor(2, 128), ColorHLSToRGB({160, 2, 0}));
    QCOMPARE(n.pixelColor(5, 128), ColorHLSToRGB({160, 5, 0}));
    const QColor inner = n.pixelColor(40, 40);
    QVERIFY(inner.value() > 0 && inner.value() < 80);
    QVERIFY(hasColor(n, QRect(100, 60, 312, 136), QColor(0, 128, 255)));

    // Called: yellow frame two pixels deep, green ground, red name.
    for (const QPoint &pt : {QPoint(0, 0), QPoint(1, 1), QPoint(510, 254), QPoint(256, 1)})
        QCOMPARE(c.pixelColor(pt), yellow);
    QVERIFY(c.pixelColor(2, 128) != yellow);
    const QColor ground = c.pixelColor(4, 128);
    QVERIFY(ground.green() > ground.red() && ground.green() > ground.blue());
    QVERIFY(hasColor(c, QRect(100, 60, 312, 136), QColor(255, 0, 0)));
    QVERIFY(!hasColor(c, QRect(100, 60, 312, 136), QColor(0, 128, 255)));
}

void TestDrumTextures::pictureBackgrounds_data()
{
    QTest::addColumn<int>("pictures");
    QTest::addColumn<QColor>("neutralGround");
    QTest::addColumn<bool>("calledGreen");
    // With one picture it serves as the neutral background and the called face is green.
    QTest::newRow("one picture") << 1 << QColor(200, 0, 200) << true;
    QTest::newRow("two pictures") << 2 << QColor(200, 0, 200) << false;
}

void TestDrumTextures::pictureBackgrounds()
{
    QFETCH(int, pictures);
    QFETCH(QColor, neutralGround);
    QFETCH(bool, calledGreen);
    QList<QImage> list{solid(QSize(300, 120), neutralGround)};
    if (pictures == 2)
        list << solid(QSize(300, 120), QColor(0, 0, 200));
    TZELKCallListItem item = entry(u"Lab"_s);
    BuildEntryTextures(item, list);
    QCOMPARE(item.Texture.size(), QSize(300, 120));
    QCOMPARE(item.Texture.pixelColor(5, 5), neutralGround);
    QCOMPARE(item.Texture.pixelColor(0, 0), QColor(128, 128, 128));
    const QColor called = item.CallTexture.pixelColor(5, 60);
    if (calledGreen)
        QVERIFY(called.green() > 100 && called.red() < 60 && called.blue() < 60);
    else
        QCOMPARE(called, QColor(0, 0, 200));
    QCOMPARE(item.CallTexture.pixelColor(0, 0), QColor(255, 255, 0));
}

void TestDrumTextures::emptyList()
{
    TZELKCallList list;
    QVERIFY(!BuildNameTextures(list, {}));
    QCOMPARE(EmptyCallListMessage(),
             u"Det finns inga resurser att kalla i listan!\nGå till Systemregistret, fyll i "
             u"önskade resurser och tryck på Spara."_s);

    list << entry(u"A"_s) << entry(u"B"_s);
    QVERIFY(BuildNameTextures(list, {}));
    for (const auto &item : list) {
        QVERIFY(!item.Texture.isNull());
        QVERIFY(!item.CallTexture.isNull());
    }
}

QTEST_MAIN(TestDrumTextures)
#include "tst_drum_textures.moc"
