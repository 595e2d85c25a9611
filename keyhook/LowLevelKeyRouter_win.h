#pragma once

#include "keyhook/PedalKeyState.h"

#include <windows.h>

#include <optional>

namespace zelk {

// The role of a virtual key as the low-level hook reports it (left and right keys apart).
HookKeyRole roleForVirtualKey(unsigned virtualKey);

// A keyboard message for the hooked window.
struct PostedKeyMessage
{
    UINT message = 0;
    WPARAM virtualKey = 0;
    LPARAM lParam = 0;
};

// What the hook does with one low-level key event: whether it takes the key from the program
// that has the focus, and what it posts to the hooked window.
struct LowLevelKeyDecision
{
    bool take = false;
    std::optional<PostedKeyMessage> post;
};

// The decisions of KV_HookKeyboard.dll's low-level hook, apart from the hook itself. It keeps
// the down state of the keys itself (Wine's hook does not set LLKHF_ALTDOWN) and:
// - posts every press and release of F12, F10 and Alt (VK_MENU for either Alt key), repeats
//   dropped, as the keyboard message Windows would send (HookMessage_win.h);
// - takes F12 while Alt is down (the pedal's Alt+F12), with the release of an F12 it took,
//   so the focused program never sees the pedal; F12 then Alt, F10 and every other key pass.
class LowLevelKeyRouter
{
public:
    LowLevelKeyRouter();

    // A key already down when the hook comes up (GetAsyncKeyState).
    void setInitiallyDown(unsigned virtualKey, bool down);

    LowLevelKeyDecision route(unsigned virtualKey, unsigned scanCode, bool extended, bool release);

    bool altDown() const;

private:
    PedalKeyState m_keys;
    bool m_f12Taken = false;
};

} // namespace zelk
