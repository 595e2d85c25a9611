#pragma once

#include "keyhook/HookWindows.h"
#include "keyhook/RawKeyDecoder.h"

#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;
typedef struct _XDisplay Display;

namespace zelk {

// Watches F12, F10 and Alt on the whole X display and hands them to one window. It reads
// XInput 2 raw key events of the master devices from the root window over a display
// connection of its own, which a socket notifier on the user-interface thread drains; raw
// events are copies, so other programs still get their keys.
class X11KeyboardHook : public QObject
{
    Q_OBJECT
public:
    // The hook for the window, or nullptr with the reason in `error`.
    static X11KeyboardHook *create(WId window, QString *error, QObject *parent);
    ~X11KeyboardHook() override;

private:
    X11KeyboardHook(Display *display, int xiOpcode, WId window, QObject *parent);
    void loadKeyRoles();
    void readEvents();

    Display *m_display;
    int m_xiOpcode;
    HookTarget m_target;
    RawKeyDecoder m_decoder;
    QSocketNotifier *m_notifier = nullptr;
};

// Finishes bringing a window to the front on the X side, once the window is mapped: through
// the window manager's _NET_ACTIVE_WINDOW request when one runs, else by raising the window
// and giving it the input focus. Gives up after about a second; deletes itself when done.
class X11WindowActivator : public QObject
{
    Q_OBJECT
public:
    static constexpr int PollIntervalMs = 10;
    static constexpr int MaxAttempts = 100;

    // nullptr when no display connection can be opened.
    static X11WindowActivator *create(WId window, QObject *parent);
    ~X11WindowActivator() override;

private:
    X11WindowActivator(Display *display, WId window, QObject *parent);
    void poll();
    bool windowManagerActivates();
    void finish();

    Display *m_display;
    WId m_window;
    int m_attempts = 0;
    QTimer *m_timer;
};

} // namespace zelk
