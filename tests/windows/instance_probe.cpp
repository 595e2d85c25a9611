// A stand-in for the client's start, for tst_single_instance_win: the single-instance mutex
// and the application window, as the program entry uses them.
//   instance_probe [hold] [RESTARTING=1]
// Exit codes: 0 started and ended; 3 another instance runs and was activated; 4 another
// instance runs but its window was not found; 10 held until a second start activated it;
// 11 held, never activated; 12 the application window is not minimised.
#include "app/InstanceLock_win.h"

#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t **argv)
{
    bool restarting = false;
    bool hold = false;
    for (int i = 1; i < argc; ++i) {
        restarting = restarting || _wcsicmp(argv[i], L"RESTARTING=1") == 0;
        hold = hold || std::wcscmp(argv[i], L"hold") == 0;
    }

    zelk::win32::InstanceMutex mutex;
    if (!zelk::win32::mayStart(mutex, restarting))
        return zelk::win32::activateRunningInstance() ? 3 : 4;
    if (!hold)
        return 0;

    bool activated = false;
    zelk::win32::ApplicationWindow application([&activated] { activated = true; });
    if (!IsIconic(application.handle()))
        return 12;
    if (HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"ZELK_instance_probe_ready")) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    const DWORD end = GetTickCount() + 20000;
    while (!activated && static_cast<int>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return activated ? 10 : 11;
}
