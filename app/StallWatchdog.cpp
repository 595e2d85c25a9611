#include "app/StallWatchdog.h"

#include <QFile>
#include <QMetaObject>
#include <QSaveFile>

#include <algorithm>
#include <chrono>

using namespace Qt::StringLiterals;

namespace zelk {

StallWatchdog::StallWatchdog(QString reportPath, QObject *parent)
    : QObject(parent), m_reportPath(std::move(reportPath))
{
    m_clock.start();
    m_thread = std::thread([this] { run(); });
}

StallWatchdog::~StallWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
    writeReport();
}

std::unique_ptr<StallWatchdog> StallWatchdog::fromEnvironment()
{
    const QString path = qEnvironmentVariable("ZELK_STALL_REPORT");
    if (path.isEmpty())
        return nullptr;
    return std::make_unique<StallWatchdog>(path);
}

qint64 StallWatchdog::longestStallMs() const
{
    std::lock_guard lock(m_mutex);
    return m_longestMs;
}

void StallWatchdog::run()
{
    std::unique_lock lock(m_mutex);
    qint64 lastWriteMs = 0;
    while (!m_stopping) {
        const qint64 now = m_clock.elapsed();
        if (!m_pingPending) {
            m_pingPending = true;
            m_pendingSinceMs = now;
            QMetaObject::invokeMethod(this, [this, now] { pingArrived(now); }, Qt::QueuedConnection);
        } else if (now - m_pendingSinceMs > m_longestMs) {
            // Still waiting: the user-interface thread is stuck right now.
            m_longestMs = now - m_pendingSinceMs;
            m_changed = true;
        }
        if (m_changed && now - lastWriteMs >= 1000) {
            const QString text = reportText();
            m_changed = false;
            lastWriteMs = now;
            lock.unlock();
            QSaveFile file(m_reportPath);
            if (file.open(QIODevice::WriteOnly)) {
                file.write(text.toUtf8());
                file.commit();
            }
            lock.lock();
            continue;
        }
        m_wake.wait_for(lock, std::chrono::milliseconds(kPingIntervalMs));
    }
}

void StallWatchdog::pingArrived(qint64 postedAtMs)
{
    std::lock_guard lock(m_mutex);
    m_pingPending = false;
    ++m_pings;
    noteStall(postedAtMs, m_clock.elapsed() - postedAtMs);
}

void StallWatchdog::noteStall(qint64 atMs, qint64 delayMs)
{
    if (delayMs > m_longestMs)
        m_longestMs = delayMs;
    if (m_worst.size() == kWorstKept && delayMs <= m_worst.last().delayMs)
        return;
    m_worst.append({atMs, delayMs});
    std::stable_sort(m_worst.begin(), m_worst.end(),
                     [](const Stall &a, const Stall &b) { return a.delayMs > b.delayMs; });
    if (m_worst.size() > kWorstKept)
        m_worst.removeLast();
    m_changed = true;
}

QString StallWatchdog::reportText() const
{
    QString text = u"longest_stall_ms %1\npings %2\n"_s.arg(m_longestMs).arg(m_pings);
    for (const Stall &stall : m_worst)
        text += u"stall %1 ms at %2 ms\n"_s.arg(stall.delayMs).arg(stall.atMs);
    return text;
}

void StallWatchdog::writeReport()
{
    QString text;
    {
        std::lock_guard lock(m_mutex);
        text = reportText();
    }
    QSaveFile file(m_reportPath);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text.toUtf8());
        file.commit();
    }
}

} // namespace zelk
