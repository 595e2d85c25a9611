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
    return rgbToHls(colorRef(qRed(pixel), qGreen(pixel), qBlue(pixel)));
}

QColor fromHls(int h, int l, int s)
{
    const quint32 c = hlsToRgb({h, l, s});
    return QColor(redOf(c), greenOf(c), blueOf(c));
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
    const QColor color = fromHls(h, l, s);
    return {color, hlsOf(color.rgb())};
}

// Draws on a white image and returns the colours down the middle column, from the top edge
// of the rectangle to its centre.
QList<QRgb> shadedColumn(const QColor &base, const QRect &r, QImage *out = nullptr)
{
    QImage image(r.right() + 10, r.bottom() + 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setPen(Qt::black);
        p.setBrush(base);
        DrawShadedRoundRect(p, r, 10, 10);
        // The painter keeps the innermost ring's colour.
        if (out)
            *out = image;
        const QColor last = p.brush().color();
        if (p.pen().color() != last || p.pen().width() != 1)
            return {};
    }
    QList<QRgb> column;
    const int x = r.center().x();
    for (int y = r.top(); y <= r.top() + r.height() / 2; ++y)
        column.append(image.pixel(x, y));
    return column;
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
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("blue");
        QTest::addColumn<int>("hue");
        QTest::addColumn<int>("luminance");
        QTest::addColumn<int>("saturation");
        QTest::newRow("red") << 255 << 0 << 0 << 0 << 120 << 240;
        QTest::newRow("green") << 0 << 255 << 0 << 80 << 120 << 240;
        QTest::newRow("blue") << 0 << 0 << 255 << 160 << 120 << 240;
        QTest::newRow("white") << 255 << 255 << 255 << 160 << 240 << 0;
        QTest::newRow("black") << 0 << 0 << 0 << 160 << 0 << 0;
        QTest::newRow("navy") << 0 << 0 << 128 << 160 << 60 << 240;
    }

    void hlsConversion()
    {
        QFETCH(int, red);
        QFETCH(int, green);
        QFETCH(int, blue);
        QFETCH(int, hue);
        QFETCH(int, luminance);
        QFETCH(int, saturation);
        const HlsColor hls = rgbToHls(colorRef(red, green, blue));
        QCOMPARE(hls, (HlsColor{hue, luminance, saturation}));
        const quint32 back = hlsToRgb(hls);
        QCOMPARE(redOf(back), red);
        QCOMPARE(greenOf(back), green);
        QCOMPARE(blueOf(back), blue);
    }

    void shadedRectEightHighHasOneRing()
    {
        const Base base = baseColor(100, 50, 190);
        QCOMPARE(base.hls.luminance, 50);
        const QList<QRgb> column = shadedColumn(base.color, QRect(10, 10, 60, 8));
        QVERIFY(!column.isEmpty());
        QCOMPARE(QColor(column.at(0)), QColor(Qt::black)); // outline in the pen's colour
        const QColor ring = fromHls(base.hls.hue, 51, base.hls.saturation);
        for (int i = 1; i < column.size(); ++i)
            QCOMPARE(QColor(column.at(i)), ring);
    }

    void shadedRectDarkBaseLightens()
    {
        // 40 high: 13 rings, one step of luminance each, the innermost at 63.
        const Base base = baseColor(100, 50, 190);
        QCOMPARE(base.hls.luminance, 50);
        const int h = base.hls.hue;
        const int s = base.hls.saturation;
        const QList<QRgb> column = shadedColumn(base.color, QRect(10, 10, 120, 40));
        QVERIFY(!column.isEmpty());
        for (int ring = 1; ring <= 13; ++ring)
            QCOMPARE(QColor(column.at(ring)), fromHls(h, 50 + ring, s));
        for (int row = 14; row < column.size(); ++row)
            QCOMPARE(QColor(column.at(row)), fromHls(h, 63, s));
        QCOMPARE(hlsOf(column.at(13)).luminance, 63);
    }

    void shadedRectLuminanceThenSaturation()
    {
        // 20 steps of luminance (50 -> 70), then saturation up to its limit 200, then constant.
        const Base base{QColor(11, 95, 11), hlsOf(qRgb(11, 95, 11))};
        QCOMPARE(base.hls.luminance, 50);
        QCOMPARE(base.hls.saturation, 190);
        const int h = base.hls.hue;
        const QList<QRgb> column = shadedColumn(base.color, QRect(5, 5, 160, 140));
        QVERIFY(column.size() > 40);
        for (int ring = 1; ring <= 20; ++ring)
            QCOMPARE(QColor(column.at(ring)), fromHls(h, 50 + ring, 190));
        for (int ring = 21; ring <= 30; ++ring)
            QCOMPARE(QColor(column.at(ring)), fromHls(h, 70, 190 + ring - 20));
        for (int ring = 31; ring < 40; ++ring)
            QCOMPARE(QColor(column.at(ring)), fromHls(h, 70, 200));
    }

    void shadedRectLightnessThreshold_data()
    {
        QTest::addColumn<int>("luminance");
        QTest::addColumn<int>("firstRing");
        QTest::newRow("100 is dark") << 100 << 101;
        QTest::newRow("101 is light") << 101 << 100;
    }

    void shadedRectLightnessThreshold()
    {
        QFETCH(int, luminance);
        QFETCH(int, firstRing);
        const Base base = baseColor(40, luminance, 120);
        QCOMPARE(base.hls.luminance, luminance);
        const QList<QRgb> column = shadedColumn(base.color, QRect(0, 0, 50, 30));
        QVERIFY(column.size() > 2);
        QCOMPARE(QColor(column.at(1)), fromHls(base.hls.hue, firstRing, base.hls.saturation));
    }

    void shadedRectStopsAtNarrowWidth()
    {
        // 9 wide: after one ring the inside is 5 wide, so only one ring is drawn.
        const Base base = baseColor(100, 50, 190);
        const QColor ring = fromHls(base.hls.hue, 51, base.hls.saturation);
        QImage image;
        shadedColumn(base.color, QRect(10, 10, 9, 60), &image);
        QCOMPARE(QColor(image.pixel(14, 12)), ring);
        QCOMPARE(QColor(image.pixel(14, 40)), ring);
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
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!QFile::exists(folder + u"/qt_sv.qm"_s) && !QFile::exists(folder + u"/qtbase_sv.qm"_s))
            QSKIP("Qt's Swedish translations are not installed");
        QVERIFY(installSwedishTranslations(*qApp));
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
