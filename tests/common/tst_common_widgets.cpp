#include "TestSupport.h"

#include "common/BalloonHint.h"
#include "common/HlsColor.h"
#include "common/Registry.h"
#include "common/Settings.h"
#include "common/ShadedRoundRect.h"
#include "common/StyleStep.h"
#include "common/SwedishDialogs.h"
#include "common/WidgetPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;
using namespace zelk;

namespace {

HlsColor hlsOf(QRgb pixel)
{
    return colorToHls(QColor(pixel));
}

// A base colour and the HLS figures the drawing starts from (the RGB round trip can move hue
// and saturation by a unit; luminance is checked by the caller).
struct Base
{
    QColor color;
    HlsColor hls;
};
Base baseColor(int h, int l, int s)
{
    const QColor color = hlsToColor({h, l, s});
    return {color, colorToHls(color)};
}

// What DrawShadedRoundRect left: the colours down the middle column, from the top edge of the
// rectangle to its centre, the whole picture and the painter's pen and brush afterwards.
struct Shaded
{
    QList<QRgb> column;
    QImage image;
    QPen pen;
    QBrush brush;
};

// Draws on a white image with the given pen and the base colour as brush.
Shaded shaded(const QColor &base, const QRect &r, const QPen &pen = QPen(Qt::black))
{
    Shaded out;
    out.image = QImage(r.right() + 10, r.bottom() + 10, QImage::Format_RGB32);
    out.image.fill(Qt::white);
    {
        QPainter p(&out.image);
        p.setPen(pen);
        p.setBrush(base);
        DrawShadedRoundRect(p, r, 10, 10);
        out.pen = p.pen();
        out.brush = p.brush();
    }
    const int x = r.center().x();
    for (int y = r.top(); y <= r.top() + r.height() / 2; ++y)
        out.column.append(out.image.pixel(x, y));
    return out;
}

// Closes the next modal box by clicking the button with the given text, recording the box.
struct BoxCloser
{
    QString caption;
    QString text;
    QStringList buttons;
    QString defaultButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;

    void closeWith(const QString &buttonText, QObject *context)
    {
        QTimer::singleShot(0, context, [this, buttonText, context] { closeNow(buttonText, context); });
    }
    void closeNow(const QString &buttonText, QObject *context)
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            closeWith(buttonText, context); // not up yet
            return;
        }
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        const auto all = box->buttons();
        for (QAbstractButton *b : all) {
            buttons.append(b->text());
            if (auto *push = qobject_cast<QPushButton *>(b); push && push->isDefault())
                defaultButton = b->text();
        }
        std::sort(buttons.begin(), buttons.end());
        if (buttonText.isEmpty()) {
            box->reject(); // closed without a choice
            return;
        }
        for (QAbstractButton *b : all) {
            if (b->text() == buttonText)
                b->click();
        }
    }
};

} // namespace

class TestCommonWidgets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hlsConversion_data()
    {
        QTest::addColumn<QColor>("rgb");
        QTest::addColumn<int>("hue");
        QTest::addColumn<int>("luminance");
        QTest::addColumn<int>("saturation");
        QTest::addColumn<QColor>("back");
        QTest::newRow("red") << QColor(255, 0, 0) << 0 << 120 << 240 << QColor(255, 0, 0);
        QTest::newRow("green") << QColor(0, 255, 0) << 80 << 120 << 240 << QColor(0, 255, 0);
        QTest::newRow("blue") << QColor(0, 0, 255) << 160 << 120 << 240 << QColor(0, 0, 255);
        QTest::newRow("white") << QColor(255, 255, 255) << 160 << 240 << 0 << QColor(255, 255, 255);
        QTest::newRow("black") << QColor(0, 0, 0) << 160 << 0 << 0 << QColor(0, 0, 0);
        QTest::newRow("navy") << QColor(0, 0, 128) << 160 << 60 << 240 << QColor(0, 0, 128);
        QTest::newRow("called face green") << QColor(0, 128, 0) << 80 << 60 << 240 << QColor(0, 128, 0);
        // The 0..240 scale cannot hold every grey: 128 comes back as 127.
        QTest::newRow("grey") << QColor(128, 128, 128) << 160 << 120 << 0 << QColor(127, 127, 127);
    }

    void hlsConversion()
    {
        QFETCH(QColor, rgb);
        QFETCH(int, hue);
        QFETCH(int, luminance);
        QFETCH(int, saturation);
        QFETCH(QColor, back);
        const HlsColor want{hue, luminance, saturation};
        const HlsColor hls = rgbToHls(colorRef(rgb.red(), rgb.green(), rgb.blue()));
        QCOMPARE(hls, want);
        const quint32 ref = hlsToRgb(hls);
        QCOMPARE(QColor(redOf(ref), greenOf(ref), blueOf(ref)), back);
        // The painter-colour forms agree with the colour-value ones.
        QCOMPARE(colorToHls(rgb), want);
        QCOMPARE(hlsToColor(hls), back);
    }

    void shadedRectRings_data()
    {
        QTest::addColumn<int>("hue");
        QTest::addColumn<int>("luminance");
        QTest::addColumn<int>("saturation");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("step");  // luminance change per ring
        QTest::addColumn<int>("rings");
        // Dark colours lighten towards the middle, one ring per three pixels of height.
        QTest::newRow("dark, 8 high: one ring") << 100 << 50 << 190 << 8 << 1 << 1;
        QTest::newRow("dark, 40 high: 13 rings") << 100 << 50 << 190 << 40 << 1 << 13;
        QTest::newRow("dark grey, 40 high") << 160 << 50 << 0 << 40 << 1 << 13;
        QTest::newRow("luminance 100 counts as dark") << 40 << 100 << 120 << 40 << 1 << 13;
        QTest::newRow("grey 100 counts as dark") << 160 << 100 << 0 << 40 << 1 << 13;
        QTest::newRow("luminance 101 counts as light") << 40 << 101 << 120 << 40 << -1 << 13;
        QTest::newRow("grey 101 counts as light") << 160 << 101 << 0 << 40 << -1 << 13;
    }

    void shadedRectRings()
    {
        QFETCH(int, hue);
        QFETCH(int, luminance);
        QFETCH(int, saturation);
        QFETCH(int, height);
        QFETCH(int, step);
        QFETCH(int, rings);
        const Base base = baseColor(hue, luminance, saturation);
        QCOMPARE(base.hls.luminance, luminance);
        const auto ring = [&](int k) {
            return hlsToColor({base.hls.hue, luminance + step * k, base.hls.saturation});
        };
        const Shaded out = shaded(base.color, QRect(10, 10, 120, height));
        QCOMPARE(QColor(out.column.at(0)), QColor(Qt::black)); // outline in the pen's colour
        for (int k = 1; k <= rings; ++k)
            QCOMPARE(QColor(out.column.at(k)), ring(k));
        for (int row = rings + 1; row < out.column.size(); ++row)
            QCOMPARE(QColor(out.column.at(row)), ring(rings));
        if (base.hls.saturation != 0) // greys lose a unit of luminance on the way back
            QCOMPARE(hlsOf(out.column.at(rings)).luminance, luminance + step * rings);
        // The painter keeps the innermost ring's colour as fill and pen, with pen width 1.
        QCOMPARE(out.brush.color(), ring(rings));
        QCOMPARE(out.pen.color(), ring(rings));
        QCOMPARE(out.pen.width(), 1);
    }

    void shadedRectLuminanceThenSaturation_data()
    {
        QTest::addColumn<QColor>("base");
        QTest::newRow("green") << QColor(11, 95, 11);
        QTest::newRow("red, hue 0") << QColor(95, 11, 11);
    }

    void shadedRectLuminanceThenSaturation()
    {
        // 20 steps of luminance (50 -> 70), then saturation up to its limit 200, then constant.
        QFETCH(QColor, base);
        const HlsColor start = colorToHls(base);
        QCOMPARE(start.luminance, 50);
        QCOMPARE(start.saturation, 190);
        const int h = start.hue;
        const Shaded out = shaded(base, QRect(5, 5, 160, 140));
        QCOMPARE(out.column.size(), 71);
        for (int ring = 1; ring <= 20; ++ring)
            QCOMPARE(QColor(out.column.at(ring)), hlsToColor({h, 50 + ring, 190}));
        for (int ring = 21; ring <= 30; ++ring)
            QCOMPARE(QColor(out.column.at(ring)), hlsToColor({h, 70, 190 + ring - 20}));
        for (int ring = 31; ring < out.column.size(); ++ring)
            QCOMPARE(QColor(out.column.at(ring)), hlsToColor({h, 70, 200}));
    }

    void shadedRectStopsAtNarrowWidth()
    {
        // 9 wide: after one ring the inside is 5 wide, so only one ring is drawn.
        const Base base = baseColor(100, 50, 190);
        const QColor ring = hlsToColor({base.hls.hue, 51, base.hls.saturation});
        const Shaded out = shaded(base.color, QRect(10, 10, 9, 60));
        QCOMPARE(QColor(out.image.pixel(14, 12)), ring);
        QCOMPARE(QColor(out.image.pixel(14, 40)), ring);
    }

    void shadedRectTinyStaysInside_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::newRow("2 high") << QRect(10, 10, 60, 2);
        QTest::newRow("1 high") << QRect(10, 10, 60, 1);
        QTest::newRow("2 wide") << QRect(10, 10, 2, 30);
        QTest::newRow("1 wide") << QRect(10, 10, 1, 30);
    }

    void shadedRectTinyStaysInside()
    {
        // Too small for a ring: only the outline is drawn, nothing outside the rectangle, and
        // the painter keeps the base colour with a 1 pixel pen.
        QFETCH(QRect, rect);
        const QColor base = hlsToColor({100, 50, 190});
        const Shaded out = shaded(base, rect, QPen(Qt::black, 0));
        for (int y = 0; y < out.image.height(); ++y)
            for (int x = 0; x < out.image.width(); ++x)
                if (!rect.contains(x, y))
                    QVERIFY2(out.image.pixel(x, y) == qRgb(255, 255, 255),
                             qPrintable(u"%1,%2"_s.arg(x).arg(y)));
        QCOMPARE(out.brush.color(), base);
        QCOMPARE(out.pen.width(), 1);
    }

    void shadedRectKeepsPenStyle()
    {
        // Only the pen's width and colour follow the rings; a hollow pen stays hollow.
        const Base base = baseColor(100, 50, 190);
        const Shaded out = shaded(base.color, QRect(10, 10, 120, 40), QPen(Qt::NoPen));
        QCOMPARE(out.pen.style(), Qt::NoPen);
        QCOMPARE(out.pen.width(), 1);
        QCOMPARE(out.brush.color(), hlsToColor({base.hls.hue, 63, base.hls.saturation}));
        QCOMPARE(QColor(out.column.at(1)), hlsToColor({base.hls.hue, 51, base.hls.saturation}));
    }

    void showErrorIsSwedishInformationBox()
    {
        WidgetPrompts prompts;
        BoxCloser closer;
        closer.closeWith(u"OK"_s, this);
        prompts.showError(u"Rad ett\nRad två"_s);
        QCOMPARE(closer.caption, u"Information"_s);
        QCOMPARE(closer.icon, QMessageBox::Information);
        QCOMPARE(closer.text, u"Rad ett\nRad två"_s);
        QCOMPARE(closer.buttons, QStringList{u"OK"_s});
        QCOMPARE(closer.defaultButton, u"OK"_s);
    }

    void askYesNo_data()
    {
        QTest::addColumn<QString>("click");
        QTest::addColumn<int>("expected");
        QTest::newRow("Ja") << u"Ja"_s << kAnswerYes;
        QTest::newRow("Nej") << u"Nej"_s << kAnswerNo;
        QTest::newRow("closed") << QString() << kAnswerNo;
    }

    void askYesNo()
    {
        QFETCH(QString, click);
        QFETCH(int, expected);
        WidgetPrompts prompts;
        setUserPrompts(&prompts);
        BoxCloser closer;
        closer.closeWith(click, this);
        QCOMPARE(AskYesNo(u"Vill du spara?"_s), expected);
        QCOMPARE(closer.caption, u"Fråga"_s);
        QCOMPARE(closer.icon, QMessageBox::Question);
        QCOMPARE(closer.buttons, (QStringList{u"Ja"_s, u"Nej"_s}));
        QCOMPARE(closer.defaultButton, u"Ja"_s);
        setUserPrompts(nullptr);
    }

    void swedishCaptionsAndButtons()
    {
        QCOMPARE(swedishCaption(QMessageBox::Warning), u"Varning"_s);
        QCOMPARE(swedishCaption(QMessageBox::Critical), u"Fel"_s);
        QCOMPARE(swedishCaption(QMessageBox::Information), u"Information"_s);
        QCOMPARE(swedishCaption(QMessageBox::Question), u"Fråga"_s);
        BoxCloser closer;
        closer.closeWith(u"Avbryt"_s, this);
        const auto answer = showSwedishMessageBox(nullptr, QMessageBox::Warning, u"Varning!"_s,
                                                  QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
        QCOMPARE(answer, QMessageBox::Cancel);
        QCOMPARE(closer.caption, u"Varning"_s);
        QCOMPARE(closer.buttons, (QStringList{u"Avbryt"_s, u"OK"_s}));
    }

    void qtTranslationsLoad()
    {
        // The program's own catalogue lies beside the executable (build/bin here).
        QVERIFY(installSwedishTranslations(*qApp));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Avbryt"_s);
        QCOMPARE(QCoreApplication::translate("QColorDialog", "&Pick Screen Color"),
                 u"&Hämta färg från skärmen"_s);
    }

    void balloonReplacesAndHides()
    {
        WidgetPrompts prompts;
        QVERIFY(!prompts.balloon());
        prompts.showPointBalloon(u"Första"_s, QPoint(100, 100));
        BalloonHint *first = prompts.balloon();
        QVERIFY(first);
        prompts.showPointBalloon(u"Andra"_s, QPoint(120, 120));
        QCOMPARE(prompts.balloon(), first); // one shared hint
        QVERIFY(first->isVisible());
        QCOMPARE(first->title(), u"Information"_s);
        QCOMPARE(first->text(), u"Andra"_s);
        QCOMPARE(first->image(), BalloonHint::Image::Information);
        QCOMPARE(first->hideAfterMs(), 5000);
        const auto hints = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(hints.begin(), hints.end(),
                               [](QWidget *w) { return qobject_cast<BalloonHint *>(w) && w->isVisible(); }),
                 1);

        prompts.PrepareBalloon(u"Information"_s, u"Kort"_s, 2, 30).showAtPoint(QPoint(10, 10));
        QVERIFY(first->isVisible());
        QTRY_VERIFY(!first->isVisible());
    }

    void balloonAtWindow()
    {
        WidgetPrompts prompts;
        QWidget window;
        window.setGeometry(200, 200, 400, 300);
        window.show();
        prompts.showFormBalloon(u"Ansluten"_s, &window);
        QVERIFY(prompts.balloon()->isVisible());
        QCOMPARE(prompts.balloon()->text(), u"Ansluten"_s);
    }

    void balloonImages_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("image");
        QTest::newRow("1 error") << 1 << int(BalloonHint::Image::Error);
        QTest::newRow("2 information") << 2 << int(BalloonHint::Image::Information);
        QTest::newRow("3 question") << 3 << int(BalloonHint::Image::Question);
        QTest::newRow("other") << 7 << int(BalloonHint::Image::Information);
    }

    void balloonImages()
    {
        QFETCH(int, kind);
        QFETCH(int, image);
        QCOMPARE(int(BalloonHint::imageForKind(kind)), image);
        const QImage picture = BalloonHint::imagePixmap(BalloonHint::Image(image)).toImage();
        QCOMPARE(picture.size(), QSize(32, 32));
        const QColor disc = picture.pixelColor(6, 16);
        if (BalloonHint::Image(image) == BalloonHint::Image::Error)
            QVERIFY(disc.red() > disc.blue());
        else
            QVERIFY(disc.blue() > disc.red());
    }

    void styleStep()
    {
        QTemporaryDir registry;
        qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(registry.path()));
        resetRegistryHives();
        RegistryFolderKey = u"_work_zelk\\"_s;
        RecordingPrompts recorder;
        setUserPrompts(&recorder);

        const QString before = QApplication::style()->name();
        QVERIFY(!applyStyleSetting()); // "ERROR": nothing stored
        WriteSetting(keys::Style, u"NoSuchStyle"_s);
        QVERIFY(!applyStyleSetting());
        QCOMPARE(QApplication::style()->name(), before);

        WriteSetting(keys::Style, u"Fusion"_s);
        QVERIFY(applyStyleSetting());
        QCOMPARE(QApplication::style()->name().toLower(), u"fusion"_s);
        QVERIFY(recorder.errors.isEmpty());

        setUserPrompts(nullptr);
        resetRegistryHives();
    }
};

QTEST_MAIN(TestCommonWidgets)
#include "tst_common_widgets.moc"
