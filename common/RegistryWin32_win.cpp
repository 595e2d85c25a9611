#include "common/RegistryWin32_win.h"

#include <cstdio>

namespace zelk::win32 {

namespace {

constexpr DWORD kKeyWriteAccess = 0x2001F; // KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY
constexpr DWORD kReadBufferChars = 1025;

std::wstring formatted(const wchar_t *format, DWORD code)
{
    wchar_t text[128];
    std::swprintf(text, 128, format, static_cast<int>(code));
    return text;
}

} // namespace

std::wstring systemErrorText(DWORD code)
{
    wchar_t buffer[1026] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        buffer, 1025, nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    if (text.empty())
        text = formatted(L"Windows error=%d", code);
    return text;
}

std::wstring regReadString(HKEY root, const std::wstring &path, const std::wstring &name, DWORD extraAccess)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | extraAccess, &key) != ERROR_SUCCESS)
        return {};
    // One character more than the 1025 the value may fill, always zero: a value stored
    // without its terminating zero still ends inside the buffer.
    wchar_t buffer[kReadBufferChars + 1] = {};
    DWORD bytes = kReadBufferChars * sizeof(wchar_t);
    const LSTATUS status =
        RegQueryValueExW(key, name.empty() ? nullptr : name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE *>(buffer), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return {};
    return buffer;
}

bool regWriteString(HKEY root, const std::wstring &path, const std::wstring &name, const std::wstring &value,
                    std::wstring *error)
{
    auto fail = [error](std::wstring text) {
        if (error)
            *error = std::move(text);
        return false;
    };
    if (path.size() > kRegistryMaxLength || name.size() > kRegistryMaxLength || value.size() > kRegistryMaxLength)
        return fail(L"The registry value is longer than 1024 characters.");

    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes{};
    SECURITY_ATTRIBUTES *security = nullptr;
    if (root == HKEY_LOCAL_MACHINE) {
        if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION))
            return fail(formatted(L"Unable to initialize security descriptor. Windows error=%d", GetLastError()));
        if (!SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE))
            return fail(formatted(L"Unable to set security descriptor dacl. Windows error=%d", GetLastError()));
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = &descriptor;
        attributes.bInheritHandle = TRUE;
        security = &attributes;
    }

    HKEY key = nullptr;
    wchar_t emptyClass[] = L"";
    LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, emptyClass, 0, kKeyWriteAccess, security, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        if (error)
            *error = systemErrorText(static_cast<DWORD>(status));
        // Once more without the descriptor: the key may exist with rights of its own.
        status = RegCreateKeyExW(root, path.c_str(), 0, emptyClass, 0, kKeyWriteAccess, nullptr, &key, nullptr);
        if (status != ERROR_SUCCESS)
            return false;
    }
    status = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return fail(systemErrorText(static_cast<DWORD>(status)));
    return true;
}

} // namespace zelk::win32
