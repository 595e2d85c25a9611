#include "keyhook/RawKeyDecoder.h"

#include <QStringList>
#include <QTest>

using namespace Qt::StringLiterals;
using zelk::HookKeyRole;
using zelk::RawKeyDecoder;

namespace {

// Keycodes of a standard evdev keyboard.
constexpr quint32 kShiftL = 50;
constexpr quint32 kControlL = 37;
constexpr quint32 kAltL = 64;
constexpr quint32 kAltR = 108;
constexpr quint32 kF10 = 76;
constexpr quint32 kF12 = 96;
constexpr quint32 kA = 38;

quint32 keycodeOf(QStringView name)
{
    if (name == u"Shift")
        return kShiftL;
    if (name == u"Control")
        return kControlL;
    if (name == u"Alt")
        return kAltL;
    if (name == u"AltGr")
        return kAltR;
    if (name == u"F10")
        return kF10;
    if (name == u"F12")
        return kF12;
    if (name == u"a")
        return kA;
    if (name == u"big")
        return 300; // beyond any X keycode
    return 0;
}

RawKeyDecoder standardDecoder()
{
    RawKeyDecoder decoder;
    decoder.setKeyRole(kShiftL, HookKeyRole::Shift, 0xffe1);
    decoder.setKeyRole(kControlL, HookKeyRole::Control, 0xffe3);
    decoder.setKeyRole(kAltL, HookKeyRole::Alt, 0xffe9);
    decoder.setKeyRole(kAltR, HookKeyRole::Alt, 0xffea);
    decoder.setKeyRole(kF10, HookKeyRole::F10, 0xffc7);
    decoder.setKeyRole(kF12, HookKeyRole::F12, 0xffc9);
    decoder.setKeyRole(kA, HookKeyRole::Other, 0x61);
    return decoder;
}

// One delivered key as the window sees it: "press F12 Alt", "release Alt -".
QString describe(const QKeyEvent &event)
{
    QString key;
    switch (event.key()) {
    case Qt::Key_F12:
        key = u"F12"_s;
        break;
    case Qt::Key_F10:
        key = u"F10"_s;
        break;
    case Qt::Key_Alt:
        key = u"Alt"_s;
        break;
    default:
        key = u"other"_s;
    }
    QStringList modifiers;
    if (event.modifiers().testFlag(Qt::ShiftModifier))
        modifiers << u"Shift"_s;
    if (event.modifiers().testFlag(Qt::ControlModifier))
        modifiers << u"Control"_s;
    if (event.modifiers().testFlag(Qt::AltModifier))
        modifiers << u"Alt"_s;
    return (event.type() == QEvent::KeyPress ? u"press "_s : u"release "_s) + key + u' '
           + (modifiers.isEmpty() ? u"-"_s : modifiers.join(u'+'));
}

} // namespace

class TestKeyhookDecoder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decodesRawKeys_data();
    void decodesRawKeys();
    void nativeFieldsFollowTheKey();
    void rolesOfKeysyms_data();
    void rolesOfKeysyms();
};

void TestKeyhookDecoder::decodesRawKeys_data()
{
    QTest::addColumn<QStringList>("heldAtHook"); // keys down in the initial keymap
    QTest::addColumn<QString>("raw");            // "+Alt" key down, "-Alt" key up
    QTest::addColumn<QStringList>("delivered");

    QTest::newRow("pedal alt+F12") << QStringList() << u"+Alt +F12 -F12 -Alt"_s
                                   << QStringList{u"press Alt Alt"_s, u"press F12 Alt"_s, u"release F12 Alt"_s,
                                                  u"release Alt -"_s};
    QTest::newRow("F12 then Alt") << QStringList() << u"+F12 +Alt -F12 -Alt"_s
                                  << QStringList{u"press F12 -"_s, u"press Alt Alt"_s, u"release F12 Alt"_s,
                                                 u"release Alt -"_s};
    QTest::newRow("F12 alone") << QStringList() << u"+F12 -F12"_s
                               << QStringList{u"press F12 -"_s, u"release F12 -"_s};
    QTest::newRow("F10 with Control keeps the shift state")
        << QStringList() << u"+Control +F10 -F10 -Control"_s
        << QStringList{u"press F10 Control"_s, u"release F10 Control"_s};
    QTest::newRow("Shift+F10") << QStringList() << u"+Shift +F10 -F10 -Shift"_s
                               << QStringList{u"press F10 Shift"_s, u"release F10 Shift"_s};
    QTest::newRow("duplicate Alt release dropped")
        << QStringList() << u"+Alt -Alt -Alt"_s << QStringList{u"press Alt Alt"_s, u"release Alt -"_s};
    QTest::newRow("release of a key never down dropped") << QStringList() << u"-F12 -Alt"_s << QStringList();
    QTest::newRow("second press of a held key dropped")
        << QStringList() << u"+F12 +F12 -F12"_s << QStringList{u"press F12 -"_s, u"release F12 -"_s};
    QTest::newRow("Alt held before the hook counts")
        << QStringList{u"Alt"_s} << u"+F12 -F12 -Alt"_s
        << QStringList{u"press F12 Alt"_s, u"release F12 Alt"_s, u"release Alt -"_s};
    QTest::newRow("F12 held before the hook is released") << QStringList{u"F12"_s} << u"-F12"_s
                                                           << QStringList{u"release F12 -"_s};
    QTest::newRow("right Alt is Alt") << QStringList() << u"+AltGr +F12 -F12 -AltGr"_s
                                      << QStringList{u"press Alt Alt"_s, u"press F12 Alt"_s, u"release F12 Alt"_s,
                                                     u"release Alt -"_s};
    QTest::newRow("other keys pass unseen but Alt still counts")
        << QStringList() << u"+a +Alt -a +F12"_s << QStringList{u"press Alt Alt"_s, u"press F12 Alt"_s};
    QTest::newRow("keycode out of range ignored") << QStringList() << u"+big -big +F12"_s
                                                  << QStringList{u"press F12 -"_s};
}

void TestKeyhookDecoder::decodesRawKeys()
{
    QFETCH(QStringList, heldAtHook);
    QFETCH(QString, raw);
    QFETCH(QStringList, delivered);

    RawKeyDecoder decoder = standardDecoder();
    std::array<char, 32> keymap{};
    for (const QString &name : heldAtHook) {
        const quint32 keycode = keycodeOf(name);
        keymap[keycode / 8] = static_cast<char>(keymap[keycode / 8] | (1 << (keycode % 8)));
    }
    decoder.setInitialKeymap(keymap);

    QStringList seen;
    const auto steps = raw.split(u' ', Qt::SkipEmptyParts);
    for (const QString &step : steps) {
        const quint32 keycode = keycodeOf(QStringView(step).mid(1));
        QVERIFY2(keycode != 0, qPrintable(step));
        if (const auto event = decoder.decode(keycode, step.startsWith(u'+')))
            seen << describe(*zelk::makeKeyEvent(*event));
    }
    QCOMPARE(seen, delivered);
}

void TestKeyhookDecoder::nativeFieldsFollowTheKey()
{
    RawKeyDecoder decoder = standardDecoder();
    QVERIFY(decoder.decode(kAltL, true));
    const auto event = decoder.decode(kF12, true);
    QVERIFY(event);
    const auto keyEvent = zelk::makeKeyEvent(*event);
    QCOMPARE(keyEvent->type(), QEvent::KeyPress);
    QCOMPARE(keyEvent->nativeScanCode(), kF12);
    QCOMPARE(keyEvent->nativeVirtualKey(), 0xffc9u);
    QCOMPARE(keyEvent->nativeModifiers(), 0x8u); // Mod1
    QVERIFY(!keyEvent->isAutoRepeat());
    QVERIFY(keyEvent->text().isEmpty());
    QVERIFY(decoder.isDown(kAltL));
    QCOMPARE(decoder.modifiers(), Qt::KeyboardModifiers(Qt::AltModifier));
}

void TestKeyhookDecoder::rolesOfKeysyms_data()
{
    QTest::addColumn<quint32>("keysym");
    QTest::addColumn<HookKeyRole>("role");
    QTest::newRow("F12") << 0xffc9u << HookKeyRole::F12;
    QTest::newRow("F10") << 0xffc7u << HookKeyRole::F10;
    QTest::newRow("F11") << 0xffc8u << HookKeyRole::Other;
    QTest::newRow("Alt_L") << 0xffe9u << HookKeyRole::Alt;
    QTest::newRow("Alt_R") << 0xffeau << HookKeyRole::Alt;
    QTest::newRow("ISO_Level3_Shift (AltGr)") << 0xfe03u << HookKeyRole::Other;
    QTest::newRow("Shift_R") << 0xffe2u << HookKeyRole::Shift;
    QTest::newRow("Control_L") << 0xffe3u << HookKeyRole::Control;
    QTest::newRow("a") << 0x61u << HookKeyRole::Other;
}

void TestKeyhookDecoder::rolesOfKeysyms()
{
    QFETCH(quint32, keysym);
    QFETCH(HookKeyRole, role);
    QCOMPARE(zelk::roleForKeysym(keysym), role);
}

QTEST_GUILESS_MAIN(TestKeyhookDecoder)
#include "tst_keyhook_decoder.moc"
