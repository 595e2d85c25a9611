#include "app/InstanceLock_win.h"

namespace zelk::win32 {

InstanceMutex::InstanceMutex(const wchar_t *name)
{
    m_handle = CreateMutexW(nullptr, TRUE, name);
    m_alreadyExisted = GetLastError() == ERROR_ALREADY_EXISTS;
}

InstanceMutex::~InstanceMutex()
{
    if (m_handle)
        CloseHandle(m_handle);
}

bool mayStart(const InstanceMutex &mutex, bool restarting)
{
    return mutex.isFirst() || restarting;
}

bool activateRunningInstance(const wchar_t *windowClass, const wchar_t *title)
{
    HWND window = FindWindowW(windowClass, title);
    if (!window)
        return false;
    if (IsIconic(window))
        OpenIcon(window);
    else
        BringWindowToTop(window);
    return true;
}

ApplicationWindow::ApplicationWindow(std::function<void()> activationRequested, const wchar_t *windowClass,
                                     const wchar_t *title)
    : m_activationRequested(std::move(activationRequested))
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW description{};
    if (!GetClassInfoW(instance, windowClass, &description)) {
        description.lpfnWndProc = &ApplicationWindow::windowProc;
        description.hInstance = instance;
        description.lpszClassName = windowClass;
        RegisterClassW(&description);
    }
    // A minimised tool window of no size: no taskbar button, nothing on screen, and a second
    // start restores it with OpenIcon, which it refuses (WM_QUERYOPEN) after passing the
    // request on, so it stays minimised for the next start.
    m_window = CreateWindowExW(WS_EX_TOOLWINDOW, windowClass, title, WS_POPUP | WS_MINIMIZE, 0, 0, 0, 0, nullptr,
                               nullptr, instance, this);
    if (m_window)
        ShowWindow(m_window, SW_SHOWMINNOACTIVE);
}

ApplicationWindow::~ApplicationWindow()
{
    if (m_window)
        DestroyWindow(m_window);
}

LRESULT CALLBACK ApplicationWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto *self = reinterpret_cast<ApplicationWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const bool activation =
        message == WM_QUERYOPEN
        || (message == WM_WINDOWPOSCHANGED
            && !(reinterpret_cast<const WINDOWPOS *>(lParam)->flags & SWP_NOZORDER));
    if (activation && self && self->m_activationRequested)
        self->m_activationRequested();
    if (message == WM_QUERYOPEN)
        return FALSE;
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace zelk::win32
