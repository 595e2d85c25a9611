#pragma once

#include <QAbstractNativeEventFilter>

namespace zelk {

// Turns the keys KV_HookKeyboard.dll posts to the hooked window (HookMessage_win.h) into the
// PedalKeyEvent the calling window takes, posted to that window's QWindow: not an input
// event, so a modal box does not hold it back, as on X11. At a hooked window the system's own
// copies of F12, F10 and Alt (the window has the focus) are dropped: the hook has posted each
// of them already, in order with the others.
class PedalKeyFilter final : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
};

// Installs the filter on the application, once; the client's start does it when the
// application object is created (Q_COREAPP_STARTUP_FUNCTION in PedalKeyFilter_win.cpp).
void installPedalKeyFilter();

} // namespace zelk
