#pragma once

#include "keyhook/RawKeyDecoder.h"

#include <QPointer>
#include <QWindow>

namespace zelk {

// The window of this process whose native id is `id`; windows without a platform window
// are skipped rather than created.
QWindow *findWindowById(WId id);

// The window that hooked keys go to. It is found by id once and followed through a guarded
// pointer; when the QWindow is gone it is looked up by id again.
class HookTarget
{
public:
    explicit HookTarget(WId id);

    WId id() const { return m_id; }
    QWindow *window();

    // Posts the key to the window on its thread as a PedalKeyEvent, which modal boxes do not
    // block; nothing when the window no longer exists.
    void deliver(const HookKeyEvent &event);

private:
    WId m_id;
    QPointer<QWindow> m_window;
};

} // namespace zelk
