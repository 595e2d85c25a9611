#include "keyhook/KV_HookKeyboard.h"

#include "keyhook/HookWindows.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QPointer>
#include <QString>
#include <QThread>

#include <exception>

#if defined(ZELK_KEYHOOK_X11)
#include "keyhook/HookKeyboard_x11.h"
#endif

using namespace Qt::StringLiterals;

namespace {

// Owned by the application object, so they go with it even if nobody unhooks.
QPointer<QObject> s_hook;
QPointer<QObject> s_activator;

void warn(const QString &text)
{
    qWarning("KV_HookKeyboard: %s", qUtf8Printable(text));
}

bool onApplicationThread(const char *function)
{
    if (!qGuiApp) {
        qWarning("KV_HookKeyboard: %s needs a QGuiApplication", function);
        return false;
    }
    if (QThread::currentThread() != qGuiApp->thread()) {
        qWarning("KV_HookKeyboard: %s must be called on the application thread", function);
        return false;
    }
    return true;
}

bool isX11()
{
    return QGuiApplication::platformName() == "xcb"_L1;
}

bool isWaylandSession()
{
    return QGuiApplication::platformName().startsWith("wayland"_L1)
           || qEnvironmentVariable("XDG_SESSION_TYPE") == "wayland"_L1;
}

bool installHook(KVWindowHandle window)
{
    const auto id = static_cast<WId>(window);
    if (!zelk::findWindowById(id)) {
        warn(u"no window of this program has the id 0x%1; keyboard hook not installed"_s.arg(id, 0, 16));
        return false;
    }
#if defined(ZELK_KEYHOOK_X11)
    if (isX11()) {
        QString error;
        s_hook = zelk::X11KeyboardHook::create(id, &error, qGuiApp);
        if (!s_hook) {
            warn(error + u"; keyboard hook not installed, keys reach the window only while it has the focus"_s);
            return false;
        }
        return true;
    }
#endif
    if (isWaylandSession()) {
        warn(u"Wayland session: keys of other programs cannot be watched; keyboard hook not installed, "
             u"keys reach the window only while it has the focus"_s);
    } else {
        warn(u"no X11 display (Qt platform \"%1\"); keyboard hook not installed, keys reach the window "
             u"only while it has the focus"_s.arg(QGuiApplication::platformName()));
    }
    return false;
}

bool bringToFront(KVWindowHandle window)
{
    const auto id = static_cast<WId>(window);
    QWindow *target = zelk::findWindowById(id);
    if (!target)
        return false;

    // Through Qt first, so that its idea of the window's state stays right; a maximised window
    // stays maximised.
    const Qt::WindowStates states = target->windowStates();
    if (states.testFlag(Qt::WindowMinimized))
        target->setWindowStates(states & ~Qt::WindowMinimized);
    if (!target->isVisible())
        target->setVisible(true);
    target->raise();
    target->requestActivate();

#if defined(ZELK_KEYHOOK_X11)
    // Qt's own activation does not take the focus from another program; the window manager
    // is asked directly once the window is mapped.
    if (isX11()) {
        delete s_activator.data();
        s_activator = zelk::X11WindowActivator::create(id, qGuiApp);
    }
#endif
    return true;
}

} // namespace

extern "C" {

bool HookKeyboard(KVWindowHandle window)
{
    try {
        if (!onApplicationThread("HookKeyboard"))
            return false;
        delete s_hook.data();
        return installHook(window);
    } catch (const std::exception &e) {
        warn(u"keyboard hook not installed: %1"_s.arg(QString::fromLocal8Bit(e.what())));
        return false;
    }
}

void UnHookKeyboard(void)
{
    if (!qGuiApp || QThread::currentThread() != qGuiApp->thread())
        return;
    delete s_hook.data();
    delete s_activator.data();
}

bool KVSetForeGroundWindow(KVWindowHandle window)
{
    try {
        if (!onApplicationThread("KVSetForeGroundWindow"))
            return false;
        return bringToFront(window);
    } catch (const std::exception &e) {
        warn(u"bringing the window to the front failed: %1"_s.arg(QString::fromLocal8Bit(e.what())));
        return false;
    }
}

} // extern "C"
