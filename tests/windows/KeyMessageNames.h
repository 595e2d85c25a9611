#pragma once

// Readable names of the keyboard messages and keys the hook tests compare, e.g. "SYSKEYDOWN F12".

#include <windows.h>

#include <string>

namespace wintest {

inline const char *messageName(UINT message)
{
    switch (message) {
    case WM_KEYDOWN:
        return "KEYDOWN";
    case WM_KEYUP:
        return "KEYUP";
    case WM_SYSKEYDOWN:
        return "SYSKEYDOWN";
    case WM_SYSKEYUP:
        return "SYSKEYUP";
    }
    return "?";
}

inline std::string keyName(WPARAM key)
{
    switch (key) {
    case VK_F12:
        return "F12";
    case VK_F10:
        return "F10";
    case VK_MENU:
        return "MENU";
    }
    if (key >= 'A' && key <= 'Z')
        return std::string(1, static_cast<char>(key));
    return "vk" + std::to_string(key);
}

} // namespace wintest
