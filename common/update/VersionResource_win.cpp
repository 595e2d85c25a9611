#include "common/update/VersionResource_win.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace zelk::win32 {

namespace {

VersionResource unavailable()
{
    VersionResource result;
    result.strings.fill(kInfoNotAvailable);
    result.fileVersion.fill(kInfoNotAvailable);
    return result;
}

} // namespace

std::array<std::wstring, 4> splitFileVersion(const std::wstring &fileVersion)
{
    std::array<std::wstring, 4> parts;
    const wchar_t separator = fileVersion.find(L'.') != std::wstring::npos ? L'.' : L',';
    if (fileVersion.find(separator) == std::wstring::npos) {
        parts.fill(kInfoNotAvailable);
        return parts;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i < parts.size() && start <= fileVersion.size(); ++i) {
        const std::size_t end = fileVersion.find(separator, start);
        parts[i] = fileVersion.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return parts;
}

VersionResource readVersionResource(const std::wstring &file)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0)
        return unavailable();
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data()))
        return unavailable();

    struct Translation
    {
        WORD language;
        WORD codePage;
    };
    Translation *translations = nullptr;
    UINT translationBytes = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translations),
                        &translationBytes)
        || translationBytes < sizeof(Translation))
        return unavailable();

    VersionResource result;
    result.available = true;
    wchar_t block[64];
    std::swprintf(block, 64, L"\\StringFileInfo\\%.4x%.4x\\", translations[0].language, translations[0].codePage);
    for (std::size_t i = 0; i < kVersionStringNames.size(); ++i) {
        const std::wstring query = std::wstring(block) + kVersionStringNames[i];
        wchar_t *value = nullptr;
        UINT length = 0;
        if (VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void **>(&value), &length) && value
            && length > 0)
            result.strings[i] = std::wstring(value, wcsnlen(value, length));
    }
    result.fileVersion = splitFileVersion(result.strings[2]);
    return result;
}

std::wstring ownModuleFile()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ownModuleFile), &module);
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return std::wstring(path.data(), length);
        path.resize(path.size() * 2);
    }
}

} // namespace zelk::win32
