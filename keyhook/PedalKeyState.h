#pragma once

// The platform-free part of the keyboard hook, shared by the X11 library and the Windows DLL:
// which keys matter, the down state of every key code, and the modifier state each key event
// carries. Plain C++ without Qt or system headers, so the Windows DLL builds it as it is.

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>

namespace zelk {

// What a key code means to the hook: the three keys it hands on, and the modifiers whose
// state those keys carry.
enum class HookKeyRole : std::uint8_t { Other, F12, F10, Alt, Shift, Control };

// Modifier bits of a decoded key.
enum PedalModifier : unsigned {
    PedalNoModifier = 0,
    PedalShift = 1u << 0,
    PedalControl = 1u << 1,
    PedalAlt = 1u << 2,
};

// One press or release of F12, F10 or Alt.
struct PedalKeyChange
{
    bool press = false;
    HookKeyRole role = HookKeyRole::Other;
    unsigned keycode = 0;
    unsigned modifiersBefore = PedalNoModifier; // the modifier keys held before this event
};

// The modifiers as the platforms report them with the key itself: a modifier key's own bit is
// flipped, so Alt's press carries Alt and its release does not (Qt's modifiers, Windows'
// context code); every other key carries the state from before it.
unsigned reportedModifiers(const PedalKeyChange &change);

// Turns a stream of key codes (down or up) into the presses and releases of F12, F10 and Alt.
// It keeps the down state of every key code, so a release of a key that is not down (xdotool
// repeats Alt's release) and a second press of a key already down (auto-repeat) are dropped.
class PedalKeyState
{
public:
    static constexpr int KeycodeCount = 256;

    void setKeyRole(unsigned keycode, HookKeyRole role);
    HookKeyRole role(unsigned keycode) const;
    void clearKeyRoles();

    // The keys already down when the hook comes up, so Alt held before still counts.
    void setDown(unsigned keycode, bool down);
    void clearDown();

    // The change for a pedal key, nothing for a repeat, an unknown key code or another key.
    // Every key code's down state is kept, whatever its role.
    std::optional<PedalKeyChange> decode(unsigned keycode, bool press);

    bool isDown(unsigned keycode) const;
    // The modifier keys held now.
    unsigned modifiers() const;

private:
    bool anyDown(HookKeyRole role) const;

    std::bitset<KeycodeCount> m_down;
    std::array<HookKeyRole, KeycodeCount> m_roles{};
};

} // namespace zelk
