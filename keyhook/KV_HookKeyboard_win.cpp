// KV_HookKeyboard.dll: the keyboard-hook library of the calling client on Windows. Plain Win32.
//
// A low-level keyboard hook (WH_KEYBOARD_LL) sees every key of the desktop, whichever program
// has the focus. It runs on a thread of its own with its own message loop: the system calls a
// low-level hook on the thread that installed it and skips (and in the end removes) a hook
// that does not answer in time, and the client's user-interface thread may be busy, e.g.
// speaking a name. The hook posts the pedal keys to the hooked window (HookMessage_win.h), so
// they arrive while that window is hidden, minimised or behind other programs; what it takes
// from other programs and what it passes on is decided by LowLevelKeyRouter.
#include "keyhook/KV_HookKeyboard.h"

#include "keyhook/HookMessage_win.h"
#include "keyhook/LowLevelKeyRouter_win.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace {

HINSTANCE g_module = nullptr;

// Owned by the hook thread while it runs.
zelk::LowLevelKeyRouter *g_router = nullptr;
std::atomic<HWND> g_target{nullptr};

// The hook thread; changed only under g_lifecycle.
std::mutex g_lifecycle;
HANDLE g_thread = nullptr;
DWORD g_threadId = 0;

struct HookStart
{
    HANDLE ready = nullptr;
    bool installed = false;
};

LRESULT CALLBACK lowLevelKeyboard(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && g_router) {
        const auto *info = reinterpret_cast<const KBDLLHOOKSTRUCT *>(lParam);
        const zelk::LowLevelKeyDecision decision =
            g_router->route(info->vkCode, info->scanCode, (info->flags & LLKHF_EXTENDED) != 0,
                            (info->flags & LLKHF_UP) != 0);
        if (decision.post) {
            if (HWND target = g_target.load())
                PostMessageW(target, decision.post->message, decision.post->virtualKey, decision.post->lParam);
        }
        if (decision.take)
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool keyIsDown(int virtualKey)
{
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

DWORD WINAPI hookThread(void *parameter)
{
    auto *start = static_cast<HookStart *>(parameter);
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // the thread's queue, for WM_QUIT

    zelk::LowLevelKeyRouter router;
    // Keys held before the hook came up still count (Alt held, then the hook, then F12).
    for (int key : {VK_LMENU, VK_RMENU, VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_F12, VK_F10})
        router.setInitiallyDown(static_cast<unsigned>(key), keyIsDown(key));
    g_router = &router;

    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, lowLevelKeyboard, g_module, 0);
    start->installed = hook != nullptr;
    SetEvent(start->ready); // `start` is gone after this
    if (!hook) {
        g_router = nullptr;
        return 1;
    }
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    UnhookWindowsHookEx(hook);
    g_router = nullptr;
    return 0;
}

// Ends the hook thread; the caller holds g_lifecycle.
void stopHook()
{
    if (g_thread) {
        PostThreadMessageW(g_threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(g_thread, INFINITE);
        CloseHandle(g_thread);
        g_thread = nullptr;
        g_threadId = 0;
    }
    if (HWND target = g_target.exchange(nullptr))
        RemovePropW(target, zelk::hookmessage::kHookTargetProperty);
}

HWND toWindow(KVWindowHandle window)
{
    return reinterpret_cast<HWND>(window);
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}

bool HookKeyboard(KVWindowHandle window)
{
    const std::lock_guard lock(g_lifecycle);
    stopHook(); // a second call moves the hook to the new window
    HWND target = toWindow(window);
    if (!IsWindow(target))
        return false;

    g_target = target;
    SetPropW(target, zelk::hookmessage::kHookTargetProperty, reinterpret_cast<HANDLE>(1));
    HookStart start;
    start.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!start.ready) {
        stopHook();
        return false;
    }
    g_thread = CreateThread(nullptr, 0, hookThread, &start, 0, &g_threadId);
    if (g_thread)
        WaitForSingleObject(start.ready, INFINITE);
    CloseHandle(start.ready);
    if (!g_thread || !start.installed) {
        stopHook();
        return false;
    }
    return true;
}

void UnHookKeyboard(void)
{
    const std::lock_guard lock(g_lifecycle);
    stopHook();
}

// A process in the background may not normally take the foreground. The window's thread joins
// the input state of the foreground window's thread for the moment of the switch
// (AttachThreadInput): the request then comes from the input state the user works in, which
// the system allows. While Alt is down (the pedal holds it when a selection starts) the
// system allows the switch anyway. Nothing is typed on the user's behalf (the Alt-key trick
// would send a stray Alt to the focused program) and no system setting is changed.
bool KVSetForeGroundWindow(KVWindowHandle window)
{
    HWND target = toWindow(window);
    if (!IsWindow(target))
        return false;
    if (IsIconic(target))
        ShowWindow(target, SW_RESTORE);
    if (GetForegroundWindow() == target)
        return true;

    const DWORD windowThread = GetWindowThreadProcessId(target, nullptr);
    HWND foreground = GetForegroundWindow();
    const DWORD foregroundThread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const bool attached = foregroundThread != 0 && foregroundThread != windowThread
                          && AttachThreadInput(windowThread, foregroundThread, TRUE);
    BringWindowToTop(target);
    SetForegroundWindow(target);
    if (attached)
        AttachThreadInput(windowThread, foregroundThread, FALSE);
    return true;
}

} // extern "C"
