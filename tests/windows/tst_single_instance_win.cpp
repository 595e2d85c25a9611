// Two starts of a program with the single-instance mutex (instance_probe): the second finds
// the first's application window, activates it and ends; RESTARTING=1 starts regardless of
// the mutex. Needs an X server (Wine creates no windows without one).
#include "WinTest.h"

#include <windows.h>

#include <string>

namespace {

std::wstring probePath()
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"instance_probe.exe";
}

HANDLE start(const std::wstring &arguments)
{
    std::wstring commandLine = L"\"" + probePath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

DWORD exitCodeOf(HANDLE process, DWORD timeoutMs = 20000)
{
    if (!process)
        return 1000;
    DWORD code = 1001;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    else
        TerminateProcess(process, 1002);
    CloseHandle(process);
    return code;
}

// Starts a first instance that holds the mutex and waits to be activated.
HANDLE startFirst(const wchar_t *mode, HANDLE ready)
{
    ResetEvent(ready);
    HANDLE first = start(mode);
    if (first && WaitForSingleObject(ready, 20000) != WAIT_OBJECT_0) {
        std::printf("  the first instance did not come up\n");
        TerminateProcess(first, 1);
    }
    return first;
}

} // namespace

int main()
{
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"ZELK_instance_probe_ready");
    WCHECK(ready != nullptr);

    // Alone, the probe starts.
    WCHECK_EQ(exitCodeOf(start(L"")), 0ul);

    // A second start activates the first (its minimised application window is asked to open)
    // and ends itself.
    {
        HANDLE first = startFirst(L"hold", ready);
        WCHECK_EQ(exitCodeOf(start(L"")), 3ul);
        WCHECK_EQ(exitCodeOf(first), 10ul);
    }

    // RESTARTING=1 (in any letter case) starts although the first still runs; RESTARTING=0 does not.
    {
        HANDLE first = startFirst(L"hold", ready);
        WCHECK_EQ(exitCodeOf(start(L"RESTARTING=1")), 0ul);
        WCHECK_EQ(exitCodeOf(start(L"restarting=1")), 0ul);
        WCHECK_EQ(exitCodeOf(start(L"RESTARTING=0")), 3ul); // and activates the first
        WCHECK_EQ(exitCodeOf(first), 10ul);
    }

    // The mutex lives as long as an instance holds it: once the first has ended, a start is
    // the first again.
    WCHECK_EQ(exitCodeOf(start(L"")), 0ul);

    CloseHandle(ready);
    return wintest::finish("tst_single_instance_win");
}
