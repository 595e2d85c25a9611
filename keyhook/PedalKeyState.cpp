#include "keyhook/PedalKeyState.h"

namespace zelk {

namespace {

unsigned modifierBit(HookKeyRole role)
{
    switch (role) {
    case HookKeyRole::Shift:
        return PedalShift;
    case HookKeyRole::Control:
        return PedalControl;
    case HookKeyRole::Alt:
        return PedalAlt;
    case HookKeyRole::F12:
    case HookKeyRole::F10:
    case HookKeyRole::Other:
        break;
    }
    return PedalNoModifier;
}

bool isPedalKey(HookKeyRole role)
{
    return role == HookKeyRole::F12 || role == HookKeyRole::F10 || role == HookKeyRole::Alt;
}

} // namespace

unsigned reportedModifiers(const PedalKeyChange &change)
{
    return change.modifiersBefore ^ modifierBit(change.role);
}

void PedalKeyState::setKeyRole(unsigned keycode, HookKeyRole role)
{
    if (keycode < KeycodeCount)
        m_roles[keycode] = role;
}

HookKeyRole PedalKeyState::role(unsigned keycode) const
{
    return keycode < KeycodeCount ? m_roles[keycode] : HookKeyRole::Other;
}

void PedalKeyState::clearKeyRoles()
{
    m_roles.fill(HookKeyRole::Other);
}

void PedalKeyState::setDown(unsigned keycode, bool down)
{
    if (keycode < KeycodeCount)
        m_down.set(keycode, down);
}

void PedalKeyState::clearDown()
{
    m_down.reset();
}

std::optional<PedalKeyChange> PedalKeyState::decode(unsigned keycode, bool press)
{
    if (keycode >= KeycodeCount || m_down.test(keycode) == press)
        return std::nullopt; // out of range, or a repeat of the state we already have

    PedalKeyChange change;
    change.press = press;
    change.role = m_roles[keycode];
    change.keycode = keycode;
    change.modifiersBefore = modifiers();
    m_down.set(keycode, press);

    if (!isPedalKey(change.role))
        return std::nullopt;
    return change;
}

bool PedalKeyState::isDown(unsigned keycode) const
{
    return keycode < KeycodeCount && m_down.test(keycode);
}

bool PedalKeyState::anyDown(HookKeyRole role) const
{
    for (std::size_t keycode = 0; keycode < KeycodeCount; ++keycode) {
        if (m_roles[keycode] == role && m_down.test(keycode))
            return true;
    }
    return false;
}

unsigned PedalKeyState::modifiers() const
{
    unsigned result = PedalNoModifier;
    if (anyDown(HookKeyRole::Shift))
        result |= PedalShift;
    if (anyDown(HookKeyRole::Control))
        result |= PedalControl;
    if (anyDown(HookKeyRole::Alt))
        result |= PedalAlt;
    return result;
}

} // namespace zelk
