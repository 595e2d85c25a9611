#include "common/update/PowerMonitor.h"

using namespace Qt::StringLiterals;

namespace zelk {

PowerMonitor::PowerMonitor(QObject *parent) : PowerMonitor(QDBusConnection::systemBus(), parent)
{
}

PowerMonitor::PowerMonitor(const QDBusConnection &bus, QObject *parent) : QObject(parent)
{
    if (!bus.isConnected())
        return;
    // Qt D-Bus subscribes to signals by slot signature only.
    QDBusConnection connection(bus);
    m_listening = connection.connect(u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s,
                                     u"org.freedesktop.login1.Manager"_s, u"PrepareForSleep"_s, this,
                                     SLOT(onPrepareForSleep(bool)));
}

void PowerMonitor::onPrepareForSleep(bool sleeping)
{
    Q_EMIT prepareForSleep(sleeping);
}

} // namespace zelk
