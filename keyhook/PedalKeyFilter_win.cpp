#include "keyhook/PedalKeyFilter_win.h"

#include "keyhook/HookMessage_win.h"
#include "keyhook/PedalKeyEvent.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

namespace zelk {

namespace {

QWindow *windowOf(HWND handle)
{
    const auto windows = QGuiApplication::allWindows();
    for (QWindow *window : windows) {
        if (window->handle() && reinterpret_cast<HWND>(window->winId()) == handle)
            return window;
    }
    return nullptr;
}

int qtKey(WPARAM virtualKey)
{
    switch (virtualKey) {
    case VK_F12:
        return Qt::Key_F12;
    case VK_F10:
        return Qt::Key_F10;
    default:
        return Qt::Key_Alt;
    }
}

Qt::KeyboardModifiers modifiersOf(LPARAM lParam)
{
    const auto bits = static_cast<unsigned>(lParam);
    Qt::KeyboardModifiers modifiers;
    if (bits & hookmessage::kContextBit)
        modifiers |= Qt::AltModifier;
    if (bits & hookmessage::kShiftBit)
        modifiers |= Qt::ShiftModifier;
    if (bits & hookmessage::kControlBit)
        modifiers |= Qt::ControlModifier;
    return modifiers;
}

} // namespace

bool PedalKeyFilter::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result)
{
    if (eventType != "windows_generic_MSG")
        return false;
    const MSG *msg = static_cast<const MSG *>(message);
    if (!hookmessage::isKeyMessage(msg->message) || !hookmessage::isPedalVirtualKey(msg->wParam))
        return false;
    if (!GetPropW(msg->hwnd, hookmessage::kHookTargetProperty))
        return false; // not the hooked window: an ordinary key
    *result = 0;
    if (!hookmessage::isPostedByHook(msg->lParam))
        return true; // the system's copy of a key the hook has posted
    if (QWindow *window = windowOf(msg->hwnd)) {
        QCoreApplication::postEvent(window, new PedalKeyEvent(hookmessage::isKeyDown(msg->message),
                                                              qtKey(msg->wParam), modifiersOf(msg->lParam)));
    }
    return true;
}

void installPedalKeyFilter()
{
    static PedalKeyFilter filter;
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    QCoreApplication::instance()->installNativeEventFilter(&filter);
    installed = true;
}

} // namespace zelk

// The calling window needs no call of its own: the filter is there as soon as the application is.
static void installPedalKeyFilterAtStart()
{
    zelk::installPedalKeyFilter();
}
Q_COREAPP_STARTUP_FUNCTION(installPedalKeyFilterAtStart)
