#pragma once

#include "keyhook/PedalKeyState.h"

#include <QtGlobal>
#include <QKeyEvent>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace zelk {

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
// press and release events of F12, F10 and Alt. The down state of every keycode is kept by
// the shared PedalKeyState, so a release of a key that is not down (xdotool repeats Alt's
// release) and a second press of a key already down are dropped, and Alt held before the
// hook came up still counts once the initial keymap is given. This class adds what is X's:
// keysyms and the X state mask.
class RawKeyDecoder
{
public:
    static constexpr int KeycodeCount = PedalKeyState::KeycodeCount;

    void setKeyRole(quint32 keycode, HookKeyRole role, quint32 keysym);
    void clearKeyRoles();

    // The 32-byte key vector of XQueryKeymap: bit (keycode % 8) of byte (keycode / 8).
    void setInitialKeymap(const std::array<char, 32> &keymap);

    std::optional<HookKeyEvent> decode(quint32 keycode, bool press);

    bool isDown(quint32 keycode) const;
    Qt::KeyboardModifiers modifiers() const;

private:
    static quint32 nativeState(unsigned modifiers);

    PedalKeyState m_keys;
    std::array<quint32, KeycodeCount> m_keysyms{};
};

} // namespace zelk
