#include "callwindow/drum/DrumTick.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace zelk {

QSize InitialSurfaceSize(QSize desktop)
{
    // A desktop smaller than the margin would give the device an empty or negative surface.
    return {std::clamp(desktop.width() - 100, 1, kMaxSurfaceWidth),
            std::max(desktop.height() - 100, 1)};
}

QSize ResizedSurfaceSize(QSize control)
{
    return {std::clamp(control.width(), 1, kMaxSurfaceWidth), std::max(control.height(), 1)};
}

DrumTickResult DXTimerTimer(DrumTickHost &host)
{
    if (!host.drumCanDraw())
        return DrumTickResult::Skipped;
    const bool announce = host.AdvanceSelection();
    const double angle = host.FramPos();
    if (angle == host.LastFrame())
        return DrumTickResult::Unchanged;
    host.setLastFrame(angle);
    host.drawDrumFrame(angle);
    if (announce)
        host.AnnounceFace();
    return DrumTickResult::Drawn;
}

DrumFrameTimer::DrumFrameTimer(QObject *parent)
    : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_elapsed.start();
    m_clock = [this] { return m_elapsed.elapsed(); };
    m_refreshPeriod = primaryScreenRefreshPeriod();
    m_timer.setInterval(effectiveInterval());
    connect(&m_timer, &QTimer::timeout, this, &DrumFrameTimer::onTick);
}

void DrumFrameTimer::setInterval(int ms)
{
    m_requested = std::max(ms, 0);
    m_timer.setInterval(effectiveInterval());
}

void DrumFrameTimer::setRefreshPeriod(int ms)
{
    m_refreshPeriod = std::max(ms, 0);
    m_timer.setInterval(effectiveInterval());
}

int DrumFrameTimer::effectiveInterval() const
{
    return std::max(m_requested, m_refreshPeriod);
}

void DrumFrameTimer::setEnabled(bool enabled)
{
    if (enabled == m_timer.isActive())
        return;
    if (enabled) {
        m_frames = 0;
        m_windowStart = m_clock();
        m_timer.start();
    } else {
        m_timer.stop();
    }
}

void DrumFrameTimer::setClock(Clock clock)
{
    m_clock = std::move(clock);
    m_windowStart = m_clock();
    m_frames = 0;
}

int DrumFrameTimer::primaryScreenRefreshPeriod()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double hz = screen ? screen->refreshRate() : 0.0;
    if (!(hz >= 1.0))
        return 16;
    return std::max(1, int(std::floor(1000.0 / hz)));
}

void DrumFrameTimer::onTick()
{
    ++m_frames;
    const qint64 now = m_clock();
    const qint64 span = now - m_windowStart;
    if (span >= 1000) {
        m_frameRate = int(m_frames * 1000 / span);
        m_frames = 0;
        m_windowStart = now;
    }
    Q_EMIT timeout();
}

} // namespace zelk
