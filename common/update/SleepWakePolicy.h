#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace zelk {

// The power notifications the policy understands, numbered as the system's power broadcast.
inline constexpr int PBT_APMSUSPEND = 4;       // the system is about to sleep
inline constexpr int PBT_APMRESUMESUSPEND = 7; // the system woke up after a sleep

// What the main connection does around the system's sleep: it is closed before the system
// sleeps, and some time after waking (10 s, while the network comes back) it is opened anew as
// a fresh registration. The wait is a timer, so the window stays responsive meanwhile.
class SleepWakePolicy final : public QObject
{
    Q_OBJECT

public:
    explicit SleepWakePolicy(QObject *parent = nullptr);

    // Opens the main connection anew (not as a periodic renewal).
    void setReopen(std::function<void()> reopen) { m_reopen = std::move(reopen); }
    void setResumeDelay(std::chrono::milliseconds delay) { m_resumeTimer.setInterval(delay); }
    std::chrono::milliseconds resumeDelay() const { return m_resumeTimer.intervalAsDuration(); }
    bool resumePending() const { return m_resumeTimer.isActive(); }

public Q_SLOTS:
    // One power notification; others than suspend and resume are ignored.
    void WMPowerBroadcast(int event);
    // The login manager's form: true before sleeping, false after waking.
    void prepareForSleep(bool sleeping);

private:
    void ResumeTimerTimer();

    QTimer m_resumeTimer;
    std::function<void()> m_reopen;
};

} // namespace zelk
