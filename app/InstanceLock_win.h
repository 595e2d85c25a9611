#pragma once

// One calling client per desktop, plain Win32: the named mutex "ZELK_WCallClient", created
// with initial ownership by the instance that starts, and the hidden application window of
// class "TApplication" titled "ZELK Windows CallClient" through which a second start finds
// the running instance and brings it to the front. The Qt side is SingleInstance_win.cpp.

#include <windows.h>

#include <functional>

namespace zelk::win32 {

inline constexpr const wchar_t *kInstanceMutexName = L"ZELK_WCallClient";
inline constexpr const wchar_t *kApplicationWindowClass = L"TApplication";
inline constexpr const wchar_t *kApplicationTitle = L"ZELK Windows CallClient";

// The single-instance mutex; the handle is kept for the whole run and closed at the end.
class InstanceMutex
{
public:
    explicit InstanceMutex(const wchar_t *name = kInstanceMutexName);
    ~InstanceMutex();
    InstanceMutex(const InstanceMutex &) = delete;
    InstanceMutex &operator=(const InstanceMutex &) = delete;

    bool created() const { return m_handle != nullptr; }
    bool alreadyExisted() const { return m_alreadyExisted; }
    // Created here and not there before. A mutex that cannot be created at all counts as
    // another instance running.
    bool isFirst() const { return created() && !m_alreadyExisted; }

private:
    HANDLE m_handle = nullptr;
    bool m_alreadyExisted = false;
};

// Whether this instance may start: it is the first, or it was started by the self-update
// (RESTARTING=1) while the old instance is still closing.
bool mayStart(const InstanceMutex &mutex, bool restarting);

// Finds the running instance's application window and restores it (OpenIcon) when it is
// minimised, else brings it to the top (BringWindowToTop); false when there is none.
bool activateRunningInstance(const wchar_t *windowClass = kApplicationWindowClass,
                             const wchar_t *title = kApplicationTitle);

// The running instance's application window, minimised and of no size. It reports a second
// start's request to come to the front: OpenIcon's WM_QUERYOPEN (and BringWindowToTop's change
// of the z-order, should it ever be restored).
class ApplicationWindow
{
public:
    explicit ApplicationWindow(std::function<void()> activationRequested,
                               const wchar_t *windowClass = kApplicationWindowClass,
                               const wchar_t *title = kApplicationTitle);
    ~ApplicationWindow();
    ApplicationWindow(const ApplicationWindow &) = delete;
    ApplicationWindow &operator=(const ApplicationWindow &) = delete;

    HWND handle() const { return m_window; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::function<void()> m_activationRequested;
    HWND m_window = nullptr;
};

} // namespace zelk::win32
