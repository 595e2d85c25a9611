#include "common/SessionQuery_win.h"

#include <windows.h>
#include <wtsapi32.h>

namespace zelk::win32 {

namespace {

constexpr int kClientNameClass = 10; // WTSClientName, and Citrix's WFClientName

using WFQuerySessionInformationW_t = BOOL(WINAPI *)(HANDLE, DWORD, int, LPWSTR *, DWORD *);
using WFFreeMemory_t = void(WINAPI *)(PVOID);

struct CitrixLibrary
{
    HMODULE module = nullptr;
    WFQuerySessionInformationW_t query = nullptr;
    FARPROC queryAnsi = nullptr;
    WFFreeMemory_t freeMemory = nullptr;
};

CitrixLibrary &citrix()
{
    static CitrixLibrary library;
    return library;
}

} // namespace

bool isRemoteSession()
{
    return GetSystemMetrics(SM_REMOTESESSION) != 0;
}

std::wstring computerName()
{
    wchar_t buffer[16] = {};
    DWORD size = 16;
    if (!GetComputerNameW(buffer, &size))
        return {};
    return std::wstring(buffer, size);
}

bool loadCitrixLibrary(std::wstring *error)
{
    CitrixLibrary &library = citrix();
    if (library.module)
        return true;
    HMODULE module = LoadLibraryW(L"wfapi.dll");
    if (!module) {
        if (error)
            *error = L"An error occurred while trying to load WFAPI.dll!";
        return false;
    }
    auto query = reinterpret_cast<WFQuerySessionInformationW_t>(
        reinterpret_cast<void *>(GetProcAddress(module, "WFQuerySessionInformationW")));
    FARPROC queryAnsi = GetProcAddress(module, "WFQuerySessionInformationA");
    if (!query || !queryAnsi) {
        FreeLibrary(module);
        return false;
    }
    library.module = module;
    library.query = query;
    library.queryAnsi = queryAnsi;
    // Citrix's own allocation is given back to Citrix; the library's free routine is optional.
    library.freeMemory =
        reinterpret_cast<WFFreeMemory_t>(reinterpret_cast<void *>(GetProcAddress(module, "WFFreeMemory")));
    return true;
}

SessionAnswer citrixClientName()
{
    SessionAnswer answer;
    if (!loadCitrixLibrary(&answer.error))
        return answer;
    const CitrixLibrary &library = citrix();
    LPWSTR buffer = nullptr;
    DWORD bytes = 260;
    if (library.query(nullptr, static_cast<DWORD>(-1), kClientNameClass, &buffer, &bytes) && buffer) {
        answer.name = buffer;
        if (library.freeMemory)
            library.freeMemory(buffer);
        else
            WTSFreeMemory(buffer);
    }
    return answer;
}

SessionAnswer terminalClientName()
{
    SessionAnswer answer;
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    if (WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSClientName, &buffer, &bytes)
        && buffer) {
        answer.name = buffer;
        WTSFreeMemory(buffer);
    }
    return answer;
}

} // namespace zelk::win32
