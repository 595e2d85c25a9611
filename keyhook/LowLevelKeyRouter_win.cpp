#include "keyhook/LowLevelKeyRouter_win.h"

#include "keyhook/HookMessage_win.h"

namespace zelk {

namespace {

WPARAM postedVirtualKey(HookKeyRole role)
{
    switch (role) {
    case HookKeyRole::F12:
        return VK_F12;
    case HookKeyRole::F10:
        return VK_F10;
    case HookKeyRole::Alt:
        return VK_MENU;
    case HookKeyRole::Shift:
    case HookKeyRole::Control:
    case HookKeyRole::Other:
        break;
    }
    return 0;
}

PostedKeyMessage keyMessage(const PedalKeyChange &change, unsigned scanCode, bool extended)
{
    using namespace hookmessage;
    const unsigned modifiers = reportedModifiers(change);
    const bool alt = (modifiers & PedalAlt) != 0;
    // As Windows does: with Alt down (and Control up) and for F10 the message is a system key.
    const bool system = (alt && !(modifiers & PedalControl)) || change.role == HookKeyRole::F10;

    PostedKeyMessage posted;
    posted.message = change.press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    posted.virtualKey = postedVirtualKey(change.role);
    unsigned bits = 1u | ((scanCode & 0xffu) << kScanCodeShift) | kPostedBit;
    if (extended)
        bits |= kExtendedBit;
    if (alt)
        bits |= kContextBit;
    if (!change.press)
        bits |= kPreviousStateBit | kTransitionBit;
    if (modifiers & PedalShift)
        bits |= kShiftBit;
    if (modifiers & PedalControl)
        bits |= kControlBit;
    posted.lParam = static_cast<LPARAM>(bits); // a 32-bit value, zero-extended as Windows does
    return posted;
}

} // namespace

HookKeyRole roleForVirtualKey(unsigned virtualKey)
{
    switch (virtualKey) {
    case VK_F12:
        return HookKeyRole::F12;
    case VK_F10:
        return HookKeyRole::F10;
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
        return HookKeyRole::Alt;
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
        return HookKeyRole::Shift;
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
        return HookKeyRole::Control;
    default:
        return HookKeyRole::Other;
    }
}

LowLevelKeyRouter::LowLevelKeyRouter()
{
    for (unsigned key = 0; key < PedalKeyState::KeycodeCount; ++key)
        m_keys.setKeyRole(key, roleForVirtualKey(key));
}

void LowLevelKeyRouter::setInitiallyDown(unsigned virtualKey, bool down)
{
    m_keys.setDown(virtualKey, down);
}

bool LowLevelKeyRouter::altDown() const
{
    return (m_keys.modifiers() & PedalAlt) != 0;
}

LowLevelKeyDecision LowLevelKeyRouter::route(unsigned virtualKey, unsigned scanCode, bool extended, bool release)
{
    LowLevelKeyDecision decision;
    if (roleForVirtualKey(virtualKey) == HookKeyRole::F12) {
        if (release) {
            decision.take = m_f12Taken;
            m_f12Taken = false;
        } else {
            // Decided at the first press; its repeats and its release go the same way, so
            // no program sees half of a key.
            if (!m_keys.isDown(virtualKey))
                m_f12Taken = altDown();
            decision.take = m_f12Taken;
        }
    }
    if (const auto change = m_keys.decode(virtualKey, !release))
        decision.post = keyMessage(*change, scanCode, extended);
    return decision;
}

} // namespace zelk
