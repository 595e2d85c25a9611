#pragma once

// The version resource of an executable file, plain Win32 (GetFileVersionInfoSizeW,
// GetFileVersionInfoW, VerQueryValueW). The Qt side (VersionInfo_win.cpp) fills
// TCEVersionInfo from it.

#include <array>
#include <string>

namespace zelk::win32 {

// The eleven standard strings, in this order.
inline constexpr std::array<const wchar_t *, 11> kVersionStringNames = {
    L"CompanyName",  L"FileDescription", L"FileVersion",    L"InternalName", L"LegalCopyright", L"LegalTrademarks",
    L"OriginalFilename", L"ProductName", L"ProductVersion", L"Comments",     L"SpecialBuild"};

inline constexpr const wchar_t *kInfoNotAvailable = L"<info not available>";

struct VersionResource
{
    bool available = false;                 // false: every field is "<info not available>"
    std::array<std::wstring, 11> strings;   // as kVersionStringNames; a missing string is empty
    std::array<std::wstring, 4> fileVersion; // major, minor, release, build
};

// Reads the strings of the first translation of the file's version resource.
VersionResource readVersionResource(const std::wstring &file);
// The four parts of a file version, split at "." or, without one, at ","; "<info not
// available>" four times when there is neither.
std::array<std::wstring, 4> splitFileVersion(const std::wstring &fileVersion);
// The file the running module (executable or DLL) was loaded from.
std::wstring ownModuleFile();

} // namespace zelk::win32
