// KV_HookKeyboard.dll end to end, under Wine and an X server: a hidden target window and a
// focused window of this program; xdotool presses the keys. After HookKeyboard(target) the
// pedal keys arrive at the target as keyboard messages with the right virtual keys and Alt
// state, the focused window does not see Alt+F12 but sees everything else, and after
// UnHookKeyboard() nothing more arrives at the target.
#include "keyhook/HookMessage_win.h"
#include "keyhook/KV_HookKeyboard.h"
#include "KeyMessageNames.h"
#include "WinTest.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Received
{
    HWND window;
    UINT message;
    WPARAM key;
    LPARAM lParam;
};

std::vector<Received> g_received;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (zelk::hookmessage::isKeyMessage(message)) {
        g_received.push_back({window, message, wParam, lParam});
        return 0; // no menu mode for F10 or a lone Alt
    }
    if (message == WM_SYSCHAR || message == WM_CHAR)
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createWindow(const wchar_t *title, bool visible)
{
    HWND window = CreateWindowExW(0, L"ZelkHookTest", title, WS_OVERLAPPEDWINDOW, 40, 40, 320, 200, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (visible)
        ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

void pump(DWORD milliseconds)
{
    const DWORD end = GetTickCount() + milliseconds;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD now = GetTickCount();
        if (static_cast<int>(end - now) <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    }
}

// The keys come from xdotool, run by the driving script (scripts/test-windows.sh): a Windows
// program under Wine cannot wait for a host program it starts. The two meet through files in
// $ZELK_SYNC_DIR: this program writes <step>.ready and keeps its messages flowing (the X
// events of the focused window are read by this thread) until the script, having sent the
// keys of that step, writes <step>.done.
std::wstring syncFile(const char *step, const char *suffix)
{
    const char *dir = std::getenv("ZELK_SYNC_DIR");
    std::wstring path = L"Z:";
    for (const char *c = dir ? dir : "/tmp"; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    path += L'\\';
    for (const char *c = step; *c; ++c)
        path += static_cast<wchar_t>(*c);
    for (const char *c = suffix; *c; ++c)
        path += static_cast<wchar_t>(*c);
    return path;
}

bool keysSent(const char *step)
{
    HANDLE ready = CreateFileW(syncFile(step, ".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(ready);
    const std::wstring done = syncFile(step, ".done");
    const DWORD end = GetTickCount() + 30000;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        pump(50);
        if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) {
            pump(400); // the last keys' messages
            return true;
        }
    }
    std::printf("  no keys for step %s within 30 s\n", step);
    return false;
}

// "SYSKEYDOWN F12 alt" for every message one window received, in order.
std::vector<std::string> messagesOf(HWND window)
{
    std::vector<std::string> out;
    for (const Received &r : g_received) {
        if (r.window != window)
            continue;
        std::string text = std::string(wintest::messageName(r.message)) + " " + wintest::keyName(r.key);
        if (static_cast<unsigned>(r.lParam) & zelk::hookmessage::kContextBit)
            text += " alt";
        out.push_back(text);
    }
    return out;
}

void printAll(const char *title, const std::vector<std::string> &messages)
{
    std::printf("  %s:\n", title);
    for (const std::string &m : messages)
        std::printf("    %s\n", m.c_str());
}

bool contains(const std::vector<std::string> &messages, const std::string &message)
{
    for (const std::string &m : messages) {
        if (m == message)
            return true;
    }
    return false;
}

} // namespace

int main()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = recordingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZelkHookTest";
    RegisterClassW(&windowClass);

    HWND target = createWindow(L"ZELK hook target", false);
    HWND focus = createWindow(L"ZELK hook focus", true);
    WCHECK(target && focus);
    SetForegroundWindow(focus);
    SetFocus(focus);
    pump(300);

    WCHECK(HookKeyboard(reinterpret_cast<KVWindowHandle>(target)));
    WCHECK(GetPropW(target, zelk::hookmessage::kHookTargetProperty) != nullptr);
    g_received.clear();

    // The script gives the X focus to "ZELK hook focus" (there is no window manager) and
    // sends the pedal (Alt+F12), F12 followed by Alt, F10, and another key.
    WCHECK(keysSent("hooked"));

    const std::vector<std::string> atTarget = messagesOf(target);
    const std::vector<std::string> expectedAtTarget = {
        // Alt+F12
        "SYSKEYDOWN MENU alt", "SYSKEYDOWN F12 alt", "SYSKEYUP F12 alt", "KEYUP MENU",
        // F12, then Alt
        "KEYDOWN F12", "SYSKEYDOWN MENU alt", "SYSKEYUP F12 alt", "KEYUP MENU",
        // F10
        "SYSKEYDOWN F10", "SYSKEYUP F10"};
    if (!WCHECK(atTarget == expectedAtTarget)) {
        printAll("the target received", atTarget);
        printAll("the focused window received", messagesOf(focus));
    }
    // Everything at the target was posted by the hook.
    for (const Received &r : g_received) {
        if (r.window == target)
            WCHECK(zelk::hookmessage::isPostedByHook(r.lParam));
    }

    const std::vector<std::string> atFocus = messagesOf(focus);
    // The pedal's F12 never reached the focused program; the F12 pressed before Alt did, and
    // so did Alt, F10 and the other key.
    int f12AtFocus = 0;
    for (const std::string &m : atFocus)
        f12AtFocus += m.find(" F12") != std::string::npos ? 1 : 0;
    if (!WCHECK_EQ(f12AtFocus, 2))
        printAll("the focused window received", atFocus);
    WCHECK(!atFocus.empty() && atFocus.front() == "SYSKEYDOWN MENU alt");
    WCHECK(atFocus.size() > 2 && atFocus[1] != "SYSKEYDOWN F12 alt");
    WCHECK(contains(atFocus, "KEYDOWN F12"));
    WCHECK(contains(atFocus, "SYSKEYDOWN F10"));
    WCHECK(contains(atFocus, "KEYDOWN A"));
    WCHECK(contains(atFocus, "KEYUP A"));

    // Bringing a window in front of the focused one.
    HWND other = createWindow(L"ZELK hook other", true);
    SetForegroundWindow(focus);
    pump(200);
    WCHECK(KVSetForeGroundWindow(reinterpret_cast<KVWindowHandle>(other)));
    pump(200);
    WCHECK(GetForegroundWindow() == other);
    WCHECK(!KVSetForeGroundWindow(0));
    DestroyWindow(other);
    SetForegroundWindow(focus);
    pump(200);

    // After UnHookKeyboard the target hears nothing more, and the focused program gets the
    // pedal's F12 again.
    UnHookKeyboard();
    WCHECK(GetPropW(target, zelk::hookmessage::kHookTargetProperty) == nullptr);
    g_received.clear();
    // The script focuses "ZELK hook focus" again and sends Alt+F12 and F10.
    WCHECK(keysSent("unhooked"));
    const std::vector<std::string> afterTarget = messagesOf(target);
    if (!WCHECK(afterTarget.empty()))
        printAll("the target received after UnHookKeyboard", afterTarget);
    const std::vector<std::string> afterFocus = messagesOf(focus);
    if (!WCHECK(contains(afterFocus, "SYSKEYDOWN F12 alt")))
        printAll("the focused window received after UnHookKeyboard", afterFocus);
    UnHookKeyboard(); // harmless twice

    DestroyWindow(focus);
    DestroyWindow(target);
    return wintest::finish("tst_keyhook_xvfb");
}
