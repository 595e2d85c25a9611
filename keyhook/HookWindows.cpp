#include "keyhook/HookWindows.h"

#include "keyhook/PedalKeyEvent.h"

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
    if (!target || event.key == Qt::Key_unknown)
        return;
    // Always, focused or not: the window takes these keys from the hook alone, and a key the
    // hook takes from the other programs never reaches the window as a real key either.
    // The state from before the event, with Alt's own key applied as Qt shows it for real keys.
    Qt::KeyboardModifiers modifiers = event.modifiers;
    if (event.key == Qt::Key_Alt)
        modifiers.setFlag(Qt::AltModifier, event.press);
    QCoreApplication::postEvent(target, new PedalKeyEvent(event.press, event.key, modifiers));
}

} // namespace zelk
