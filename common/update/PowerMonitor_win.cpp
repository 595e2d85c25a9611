// The system's sleep and wake on Windows: WM_POWERBROADCAST with PBT_APMSUSPEND (about to
// sleep) and PBT_APMRESUMESUSPEND (woke up after a sleep), seen by a native event filter on
// Qt's windows, announced as prepareForSleep(true/false) as on Linux; SleepWakePolicy closes
// the main connection and opens it again. Takes the place of PowerMonitor_linux.cpp in a
// Windows build. There is no login manager on Windows: the bus argument is not used.
#include "common/update/PowerMonitor.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QPointer>

#include <windows.h>

namespace zelk {

namespace {

class PowerBroadcastFilter final : public QAbstractNativeEventFilter
{
public:
    explicit PowerBroadcastFilter(PowerMonitor *monitor) : m_monitor(monitor) {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override
    {
        Q_UNUSED(result);
        if (eventType != "windows_generic_MSG" || !m_monitor)
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_POWERBROADCAST)
            return false;
        // Every top-level window gets the broadcast; one announcement per change is enough.
        const int event = static_cast<int>(msg->wParam);
        if (event == PBT_APMSUSPEND && !m_sleeping) {
            m_sleeping = true;
            QMetaObject::invokeMethod(m_monitor, "onPrepareForSleep", Qt::QueuedConnection, Q_ARG(bool, true));
        } else if (event == PBT_APMRESUMESUSPEND && m_sleeping) {
            m_sleeping = false;
            QMetaObject::invokeMethod(m_monitor, "onPrepareForSleep", Qt::QueuedConnection, Q_ARG(bool, false));
        }
        return false; // the default handling answers the broadcast
    }

private:
    QPointer<PowerMonitor> m_monitor;
    bool m_sleeping = false;
};

} // namespace

PowerMonitor::PowerMonitor(QObject *parent) : QObject(parent)
{
    auto *filter = new PowerBroadcastFilter(this);
    QCoreApplication::instance()->installNativeEventFilter(filter);
    // The filter goes with the monitor.
    connect(this, &QObject::destroyed, qApp, [filter] {
        if (QCoreApplication *app = QCoreApplication::instance())
            app->removeNativeEventFilter(filter);
        delete filter;
    });
    m_listening = true;
}

PowerMonitor::PowerMonitor(const QDBusConnection &bus, QObject *parent) : PowerMonitor(parent)
{
    Q_UNUSED(bus);
}

void PowerMonitor::onPrepareForSleep(bool sleeping)
{
    Q_EMIT prepareForSleep(sleeping);
}

} // namespace zelk
