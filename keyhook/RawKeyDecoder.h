#pragma once

#include <QtGlobal>
#include <QKeyEvent>

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>

namespace zelk {

// What a keycode means to the hook: the three keys it hands on, and the modifiers whose
// state those keys carry.
enum class HookKeyRole : quint8 { Other, F12, F10, Alt, Shift, Control };

// The role of an X keysym (the first keysym of a keycode), Other for every other key.
HookKeyRole roleForKeysym(quint32 keysym);

// One key press or release to hand to the window. `modifiers` is the modifier state from
// before the event, as the X server reports it with real key events; QKeyEvent flips a
// modifier key's own bit, so Alt's own press reads as Alt and its release does not.
struct HookKeyEvent
{
    bool press = false;
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers;
    quint32 keycode = 0;
    quint32 keysym = 0;
    quint32 nativeState = 0; // X state mask: Shift 0x1, Control 0x4, Mod1 (Alt) 0x8
};

// The key event the window receives for a decoded key.
std::unique_ptr<QKeyEvent> makeKeyEvent(const HookKeyEvent &event);

// Turns the raw key stream of the X server (keycode, down or up, no auto-repeat) into the
// press and release events of F12, F10 and Alt. It keeps the down state of every keycode,
// so a release of a key that is not down (xdotool repeats Alt's release) and a second press
// of a key already down are dropped, and Alt held before the hook came up still counts once
// the initial keymap is given.
class RawKeyDecoder
{
public:
    static constexpr int KeycodeCount = 256;

    void setKeyRole(quint32 keycode, HookKeyRole role, quint32 keysym);
    void clearKeyRoles();

    // The 32-byte key vector of XQueryKeymap: bit (keycode % 8) of byte (keycode / 8).
    void setInitialKeymap(const std::array<char, 32> &keymap);

    std::optional<HookKeyEvent> decode(quint32 keycode, bool press);

    bool isDown(quint32 keycode) const;
    Qt::KeyboardModifiers modifiers() const;

private:
    quint32 nativeState() const;
    bool anyDown(HookKeyRole role) const;

    std::bitset<KeycodeCount> m_down;
    std::array<HookKeyRole, KeycodeCount> m_roles{};
    std::array<quint32, KeycodeCount> m_keysyms{};
};

} // namespace zelk
