// Started by tst_win32_standins through ShellExecuteW: writes its arguments, split as
// Windows splits them, and its working folder to arguments.txt in that folder.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t **argv)
{
    std::wstring text;
    for (int i = 1; i < argc; ++i)
        text += std::wstring(argv[i]) + L'|';
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    text += std::wstring(L"in ") + folder;
    HANDLE file = CreateFileW(L"arguments.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return 0;
}
