#pragma once

#include "keyhook/HookWindows.h"
#include "keyhook/RawKeyDecoder.h"

#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;
typedef struct _XDisplay Display;

namespace zelk {

// Watches F12, F10 and Alt on the whole X display and hands them to one window. It reads
// XInput 2 raw key events of the master devices from the root window over a display
// connection of its own, which a socket notifier on the user-interface thread drains; raw
// events are copies, so other programs still get those keys. The pedal's own combination,
// Alt+F12, is taken from the other programs as well (a passive grab on the root window), so
// that the pedal never triggers whatever Alt+F12 does in the program that has the focus.
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
    // Grabs Alt+F12 with every lock-key variant, on a display connection of its own: the X
    // server sends a grabbing client no raw events while its grab is active, and the raw
    // events are what the pedal is read from. False when another program holds it.
    bool grabPedalCombination();
    void ungrabPedalCombination();
    void discardGrabbedKeys();

    Display *m_display;
    int m_xiOpcode;
    HookTarget m_target;
    RawKeyDecoder m_decoder;
    QSocketNotifier *m_notifier = nullptr;
    QList<quint32> m_grabbedKeycodes;
    Display *m_grabDisplay = nullptr;
    QSocketNotifier *m_grabNotifier = nullptr;
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
