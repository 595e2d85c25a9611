#include "common/update/SleepWakePolicy.h"

#include "common/Settings.h"

namespace zelk {

namespace {

bool mainSocketActive()
{
    return MainSocket && MainSocket->state() != QAbstractSocket::UnconnectedState;
}

} // namespace

SleepWakePolicy::SleepWakePolicy(QObject *parent) : QObject(parent)
{
    m_resumeTimer.setSingleShot(true);
    m_resumeTimer.setInterval(std::chrono::milliseconds(10000));
    connect(&m_resumeTimer, &QTimer::timeout, this, &SleepWakePolicy::ResumeTimerTimer);
}

void SleepWakePolicy::WMPowerBroadcast(int event)
{
    if (event == PBT_APMSUSPEND) {
        // Going to sleep again before the reopen came due: that reopen would find no network.
        m_resumeTimer.stop();
        if (mainSocketActive())
            MainSocket->close();
    } else if (event == PBT_APMRESUMESUSPEND) {
        m_resumeTimer.start();
    }
}

void SleepWakePolicy::prepareForSleep(bool sleeping)
{
    WMPowerBroadcast(sleeping ? PBT_APMSUSPEND : PBT_APMRESUMESUSPEND);
}

void SleepWakePolicy::ResumeTimerTimer()
{
    // Only a connection that existed before is reopened; the first one is the window's to make.
    if (!MainSocket)
        return;
    if (mainSocketActive())
        MainSocket->close();
    if (m_reopen)
        m_reopen();
}

} // namespace zelk
