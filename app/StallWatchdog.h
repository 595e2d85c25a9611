#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace zelk {

// Measures how long the user-interface thread keeps events waiting, for tests and for a
// workstation that seems slow. A thread of its own posts a ping to the user-interface thread
// every 50 ms and notes how late each one runs; the longest delays go to a report file, at
// the end and, while something changes, once a second (so a hang is on record too).
// Made only when ZELK_STALL_REPORT names the file; without it nothing runs at all.
class StallWatchdog final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPingIntervalMs = 50;
    static constexpr int kWorstKept = 5;

    // Lives on the user-interface thread; the pings run there.
    explicit StallWatchdog(QString reportPath, QObject *parent = nullptr);
    ~StallWatchdog() override;

    // Nothing when the variable is not set.
    static std::unique_ptr<StallWatchdog> fromEnvironment();

    qint64 longestStallMs() const;
    void writeReport();

private:
    struct Stall
    {
        qint64 atMs;    // since the watchdog started
        qint64 delayMs; // how late the ping ran
    };

    void run();
    void pingArrived(qint64 postedAtMs);
    void noteStall(qint64 atMs, qint64 delayMs);
    QString reportText() const; // m_mutex held

    QString m_reportPath;
    QElapsedTimer m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    bool m_pingPending = false;
    qint64 m_pendingSinceMs = 0;
    qint64 m_pings = 0;
    qint64 m_longestMs = 0;
    bool m_changed = false;
    QList<Stall> m_worst;
    std::thread m_thread;
};

} // namespace zelk
