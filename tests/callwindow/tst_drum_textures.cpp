#include "callwindow/drum/DrumTextures.h"
#include "common/HlsColor.h"

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

// Rows holding text ink: pixels where the text colour's channel stands well above the others
// (the backgrounds and frames are grey, green or yellow).
std::pair<int, int> inkRows(const QImage &image, bool redText)
{
    int top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const bool ink = redText ? c.red() - c.green() > 60 && c.red() - c.blue() > 60
                                     : c.blue() - c.red() > 60 && c.blue() - c.green() > 60;
            if (ink) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    return {top, bottom};
}

} // namespace

class TestDrumTextures : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void faceFont();
    void fitFontSize_data();
    void fitFontSize();
    void oneLetterOverflowsHeight();
    void centredText();
    void plainFaces();
    void pictureBackgrounds_data();
    void pictureBackgrounds();
    void emptyList();
    void wholeLettersOnShortNames_data();
    void wholeLettersOnShortNames();
};

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
    QTest::newRow("one letter") << u"Å"_s << 8;
    QTest::newRow("just fits") << u"Ö"_s << 450;
    QTest::newRow("far too large") << u"Björn Ängström, läkare"_s << 400;
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

    // The same answer as trying every size from the start on, which the quicker search
    // replaces.
    FaceCanvas reference(bitmap);
    int expected = start;
    if (startWidth > rect.width()) {
        for (int s = start; s >= 1; --s) {
            reference.setFontSize(s);
            if (reference.textWidth(text) < rect.width()) {
                expected = s;
                break;
            }
        }
    } else {
        for (int s = start; s <= kMaxFontSize; ++s) {
            reference.setFontSize(s);
            if (reference.textWidth(text) > rect.width()) {
                expected = s - 1;
                break;
            }
        }
    }
    QCOMPARE(size, expected);

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
    QCOMPARE(n.pixelColor(2, 128), hlsToColor({160, 2, 0}));
    QCOMPARE(n.pixelColor(5, 128), hlsToColor({160, 5, 0}));
    const QColor inner = n.pixelColor(40, 40);
    QVERIFY(inner.value() > 0 && inner.value() < 80);
    QVERIFY(hasColor(n, QRect(100, 60, 312, 136), QColor(0, 128, 255)));

    // Called: yellow frame two pixels deep, green ground, red name.
    for (const QPoint &pt : {QPoint(0, 0), QPoint(1, 1), QPoint(510, 254), QPoint(256, 1)})
        QCOMPARE(c.pixelColor(pt), yellow);
    // Inside it the green ground (hue 80, luminance 60) gets one step lighter per ring.
    QCOMPARE(c.pixelColor(2, 128), hlsToColor({80, 62, 240}));
    QCOMPARE(c.pixelColor(5, 128), hlsToColor({80, 65, 240}));
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

void TestDrumTextures::wholeLettersOnShortNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("ring above a capital") << u"Åsa"_s;
    QTest::newRow("dots above a capital, a descender") << u"Öberg"_s;
    QTest::newRow("ring and descender") << u"Åg"_s;
}

// A short name grows to the width of the face; its accents and descenders must still lie
// wholly inside the face, clear of the frame.
void TestDrumTextures::wholeLettersOnShortNames()
{
    QFETCH(QString, name);
    TZELKCallListItem item = entry(name, 0x00FF0000); // blue text on the neutral face
    BuildEntryTextures(item, {});
    const struct {
        const QImage &image;
        bool redText;
    } faces[] = {{item.Texture, false}, {item.CallTexture, true}};
    for (const auto &face : faces) {
        const auto [top, bottom] = inkRows(face.image, face.redText);
        const int height = face.image.height();
        QVERIFY2(bottom > top, qPrintable(name));
        QVERIFY2(top >= 3 && bottom <= height - 4,
                 qPrintable(u"%1: ink rows %2..%3 of %4"_s.arg(name).arg(top).arg(bottom).arg(height)));
        // Still a large name, not shrunk to nothing.
        QVERIFY2(bottom - top > height / 2, qPrintable(u"%1: %2"_s.arg(name).arg(bottom - top)));
    }
}

QTEST_MAIN(TestDrumTextures)
#include "tst_drum_textures.moc"
