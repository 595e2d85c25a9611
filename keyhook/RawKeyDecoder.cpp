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

Qt::KeyboardModifiers qtModifiers(unsigned modifiers)
{
    Qt::KeyboardModifiers result;
    if (modifiers & PedalShift)
        result |= Qt::ShiftModifier;
    if (modifiers & PedalControl)
        result |= Qt::ControlModifier;
    if (modifiers & PedalAlt)
        result |= Qt::AltModifier;
    return result;
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
    m_keys.setKeyRole(keycode, role);
    m_keysyms[keycode] = keysym;
}

void RawKeyDecoder::clearKeyRoles()
{
    m_keys.clearKeyRoles();
    m_keysyms.fill(0);
}

void RawKeyDecoder::setInitialKeymap(const std::array<char, 32> &keymap)
{
    m_keys.clearDown();
    for (unsigned keycode = 0; keycode < KeycodeCount; ++keycode) {
        const auto byte = static_cast<unsigned char>(keymap[keycode / 8]);
        if (byte & (1u << (keycode % 8)))
            m_keys.setDown(keycode, true);
    }
}

std::optional<HookKeyEvent> RawKeyDecoder::decode(quint32 keycode, bool press)
{
    const std::optional<PedalKeyChange> change = m_keys.decode(keycode, press);
    if (!change)
        return std::nullopt;

    HookKeyEvent event;
    event.press = press;
    event.modifiers = qtModifiers(change->modifiersBefore);
    event.nativeState = nativeState(change->modifiersBefore);
    event.keycode = keycode;
    event.keysym = m_keysyms[keycode];
    event.key = qtKeyFor(change->role);
    return event;
}

bool RawKeyDecoder::isDown(quint32 keycode) const
{
    return m_keys.isDown(keycode);
}

Qt::KeyboardModifiers RawKeyDecoder::modifiers() const
{
    return qtModifiers(m_keys.modifiers());
}

quint32 RawKeyDecoder::nativeState(unsigned modifiers)
{
    quint32 state = 0;
    if (modifiers & PedalShift)
        state |= ShiftMask;
    if (modifiers & PedalControl)
        state |= ControlMask;
    if (modifiers & PedalAlt)
        state |= Mod1Mask;
    return state;
}

} // namespace zelk
