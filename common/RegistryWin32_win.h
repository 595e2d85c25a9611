#pragma once

// The registry calls of the settings store, plain Win32: one string value read, one written.
// The Qt side (Registry_win.cpp) puts them behind RegReadString and RegWriteString.

#include <windows.h>

#include <string>

namespace zelk::win32 {

// Characters a value may have; the read buffer holds one more (1025 UTF-16 characters).
inline constexpr std::size_t kRegistryMaxLength = 1024;

// The value under root\path, name (empty: the key's default value); empty when the key or
// value is missing, or does not fit into 1025 characters. Opened with KEY_READ | extraAccess.
std::wstring regReadString(HKEY root, const std::wstring &path, const std::wstring &name, DWORD extraAccess = 0);

// Creates the key as needed and stores the value as REG_SZ; true when it was stored. Under
// HKEY_LOCAL_MACHINE the key gets an open security descriptor (a null DACL), so every account
// may read and write it. Path, name or value longer than 1024 characters are refused. On a
// failure *error receives the system's text for it.
bool regWriteString(HKEY root, const std::wstring &path, const std::wstring &name, const std::wstring &value,
                    std::wstring *error);

// The system's message text for an error code (at most 1025 characters, line breaks trimmed).
std::wstring systemErrorText(DWORD code);

} // namespace zelk::win32
