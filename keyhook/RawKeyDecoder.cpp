#include "keyhook/RawKeyDecoder.h"

#include <QString>

namespace zelk {

namespace {

// X keysyms of the keys we care about (X11/keysymdef.h); spelt out here so the decoder
// builds and runs without X headers.
constexpr quint32 XK_F10 = 0xffc7;
constexpr quint32 XK_F12 = 0xffc9;
constexpr quint32 XK_Shift_L = 0xffe1;
constexpr quint32 XK_Shift_R = 0xffe2;
constexpr quint32 XK_Control_L = 0xffe3;
constexpr quint32 XK_Control_R = 0xffe4;
constexpr quint32 XK_Alt_L = 0xffe9;
constexpr quint32 XK_Alt_R = 0xffea;

constexpr quint32 ShiftMask = 0x1;
constexpr quint32 ControlMask = 0x4;
constexpr quint32 Mod1Mask = 0x8;

Qt::Key qtKeyFor(HookKeyRole role)
{
    switch (role) {
    case HookKeyRole::F12:
        return Qt::Key_F12;
    case HookKeyRole::F10:
        return Qt::Key_F10;
    case HookKeyRole::Alt:
        return Qt::Key_Alt;
    case HookKeyRole::Shift:
    case HookKeyRole::Control:
    case HookKeyRole::Other:
        break;
    }
    return Qt::Key_unknown;
}

} // namespace

HookKeyRole roleForKeysym(quint32 keysym)
{
    switch (keysym) {
    case XK_F12:
        return HookKeyRole::F12;
    case XK_F10:
        return HookKeyRole::F10;
    case XK_Alt_L:
    case XK_Alt_R:
        return HookKeyRole::Alt;
    case XK_Shift_L:
    case XK_Shift_R:
        return HookKeyRole::Shift;
    case XK_Control_L:
    case XK_Control_R:
        return HookKeyRole::Control;
    default:
        return HookKeyRole::Other;
    }
}

std::unique_ptr<QKeyEvent> makeKeyEvent(const HookKeyEvent &event)
{
    return std::make_unique<QKeyEvent>(event.press ? QEvent::KeyPress : QEvent::KeyRelease, event.key,
                                       event.modifiers, event.keycode, event.keysym, event.nativeState,
                                       QString(), false, 1);
}

void RawKeyDecoder::setKeyRole(quint32 keycode, HookKeyRole role, quint32 keysym)
{
    if (keycode >= KeycodeCount)
        return;
    m_roles[keycode] = role;
    m_keysyms[keycode] = keysym;
}

void RawKeyDecoder::clearKeyRoles()
{
    m_roles.fill(HookKeyRole::Other);
    m_keysyms.fill(0);
}

void RawKeyDecoder::setInitialKeymap(const std::array<char, 32> &keymap)
{
    m_down.reset();
    for (int keycode = 0; keycode < KeycodeCount; ++keycode) {
        const auto byte = static_cast<unsigned char>(keymap[static_cast<std::size_t>(keycode / 8)]);
        if (byte & (1u << (keycode % 8)))
            m_down.set(static_cast<std::size_t>(keycode));
    }
}

std::optional<HookKeyEvent> RawKeyDecoder::decode(quint32 keycode, bool press)
{
    if (keycode >= KeycodeCount)
        return std::nullopt;
    if (m_down.test(keycode) == press)
        return std::nullopt; // a repeat of the state we already have

    HookKeyEvent event;
    event.press = press;
    event.modifiers = modifiers();
    event.nativeState = nativeState();
    event.keycode = keycode;
    event.keysym = m_keysyms[keycode];
    event.key = qtKeyFor(m_roles[keycode]);

    m_down.set(keycode, press);

    if (event.key == Qt::Key_unknown)
        return std::nullopt;
    return event;
}

bool RawKeyDecoder::isDown(quint32 keycode) const
{
    return keycode < KeycodeCount && m_down.test(keycode);
}

bool RawKeyDecoder::anyDown(HookKeyRole role) const
{
    for (std::size_t keycode = 0; keycode < KeycodeCount; ++keycode) {
        if (m_roles[keycode] == role && m_down.test(keycode))
            return true;
    }
    return false;
}

Qt::KeyboardModifiers RawKeyDecoder::modifiers() const
{
    Qt::KeyboardModifiers result;
    if (anyDown(HookKeyRole::Shift))
        result |= Qt::ShiftModifier;
    if (anyDown(HookKeyRole::Control))
        result |= Qt::ControlModifier;
    if (anyDown(HookKeyRole::Alt))
        result |= Qt::AltModifier;
    return result;
}

quint32 RawKeyDecoder::nativeState() const
{
    quint32 state = 0;
    if (anyDown(HookKeyRole::Shift))
        state |= ShiftMask;
    if (anyDown(HookKeyRole::Control))
        state |= ControlMask;
    if (anyDown(HookKeyRole::Alt))
        state |= Mod1Mask;
    return state;
}

} // namespace zelk
