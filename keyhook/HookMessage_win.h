#pragma once

// How KV_HookKeyboard.dll hands a key to the hooked window, shared by the DLL and the client's
// Qt side. Plain Win32.
//
// The key arrives as the keyboard message Windows itself would send (WM_KEYDOWN, WM_KEYUP,
// WM_SYSKEYDOWN, WM_SYSKEYUP) with the virtual key VK_F12, VK_F10 or VK_MENU (either Alt key)
// in wParam, and lParam laid out as Windows lays it out: repeat count 1, the scan code, the
// extended-key bit, the context code (bit 29: Alt is down; Alt's own press carries it, its
// release does not), the previous key state and the transition state. In bits that Windows
// leaves reserved the DLL adds what a posted message cannot otherwise tell: that it was posted
// by the hook, and the Shift and Control state.

#include <windows.h>

namespace zelk::hookmessage {

inline constexpr unsigned kRepeatCountMask = 0xffffu;
inline constexpr unsigned kScanCodeShift = 16;
inline constexpr unsigned kExtendedBit = 1u << 24;
inline constexpr unsigned kShiftBit = 1u << 25;   // reserved by Windows; ours: Shift is down
inline constexpr unsigned kControlBit = 1u << 26; // reserved by Windows; ours: Control is down
inline constexpr unsigned kPostedBit = 1u << 28;  // reserved by Windows; ours: posted by the hook
inline constexpr unsigned kContextBit = 1u << 29; // Alt is down
inline constexpr unsigned kPreviousStateBit = 1u << 30;
inline constexpr unsigned kTransitionBit = 1u << 31;

// The window property the DLL sets on the hooked window while the hook is installed: the
// client's Qt side drops the system's own copies of the pedal keys at that window then, since
// the hook has posted them already.
inline constexpr const wchar_t *kHookTargetProperty = L"KV_HookKeyboard.Target";

inline bool isKeyMessage(UINT message)
{
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

inline bool isKeyDown(UINT message)
{
    return message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
}

inline bool isPostedByHook(LPARAM lParam)
{
    return (static_cast<unsigned>(lParam) & kPostedBit) != 0;
}

inline bool isPedalVirtualKey(WPARAM virtualKey)
{
    return virtualKey == VK_F12 || virtualKey == VK_F10 || virtualKey == VK_MENU || virtualKey == VK_LMENU
           || virtualKey == VK_RMENU;
}

} // namespace zelk::hookmessage
