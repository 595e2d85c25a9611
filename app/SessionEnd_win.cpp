// The end of the Windows session: WM_QUERYENDSESSION is answered with yes, and WM_ENDSESSION
// with a non-zero wParam (the session really ends) is the end. Both reach every top-level
// window of the program; a native event filter sees them for Qt's windows. Takes the place of
// SessionEnd_linux.cpp in a Windows build.
#include "app/SessionEnd.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>

namespace zelk {

namespace {

class SessionEndFilter final : public QAbstractNativeEventFilter
{
public:
    explicit SessionEndFilter(SessionEnd *owner) : m_owner(owner) {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_QUERYENDSESSION) {
            *result = TRUE; // the session may end
            return true;
        }
        if (msg->message == WM_ENDSESSION && msg->wParam != 0 && !m_ended) {
            // Once, although every top-level window gets the message; then on to the default
            // handling.
            m_ended = true;
            Q_EMIT m_owner->sessionEnding();
        }
        return false;
    }

private:
    SessionEnd *m_owner;
    bool m_ended = false;
};

SessionEndFilter *g_filter = nullptr;

} // namespace

SessionEnd::SessionEnd(QObject *parent) : QObject(parent)
{
    g_filter = new SessionEndFilter(this);
    QCoreApplication::instance()->installNativeEventFilter(g_filter);
}

SessionEnd::~SessionEnd()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(g_filter);
    delete g_filter;
    g_filter = nullptr;
}

} // namespace zelk
