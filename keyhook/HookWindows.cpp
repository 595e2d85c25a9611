#include "keyhook/HookWindows.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace zelk {

QWindow *findWindowById(WId id)
{
    const auto windows = QGuiApplication::allWindows();
    for (QWindow *window : windows) {
        if (window->handle() && window->winId() == id)
            return window;
    }
    return nullptr;
}

HookTarget::HookTarget(WId id)
    : m_id(id)
    , m_window(findWindowById(id))
{
}

QWindow *HookTarget::window()
{
    if (!m_window || !m_window->handle() || m_window->winId() != m_id)
        m_window = findWindowById(m_id);
    return m_window;
}

void HookTarget::deliver(const HookKeyEvent &event)
{
    QWindow *target = window();
    if (!target || QGuiApplication::focusWindow() == target)
        return;
    QCoreApplication::postEvent(target, makeKeyEvent(event).release());
}

} // namespace zelk
