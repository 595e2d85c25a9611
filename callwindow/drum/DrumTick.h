#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSize>
#include <QTimer>

#include <functional>

namespace zelk {

// Largest back-buffer width the drum uses.
inline constexpr int kMaxSurfaceWidth = 2048;

// FormActivate, first activation: the desktop less 100 pixels each way, width at most 2048.
QSize InitialSurfaceSize(QSize desktop);
// FormResize: the drawing control's size, width at most 2048.
QSize ResizedSurfaceSize(QSize control);

// What one frame tick works on; the window implements it.
class DrumTickHost
{
public:
    virtual ~DrumTickHost() = default;
    // The surface is initialised and can draw, and the call list is not empty.
    virtual bool drumCanDraw() const = 0;
    // The selection step; true when AnnounceFace is due after the frame.
    virtual bool AdvanceSelection() = 0;
    virtual double FramPos() const = 0;
    virtual double LastFrame() const = 0;
    virtual void setLastFrame(double angle) = 0;
    // SetDrumAngle, clear, faces, overlay and present, at the given angle.
    virtual void drawDrumFrame(double angle) = 0;
    virtual void AnnounceFace() = 0;
};

enum class DrumTickResult { Skipped, Unchanged, Drawn };

// DXTimerTimer: the selection step, then a frame only when the angle changed, then the
// announcement of the face that frame shows.
DrumTickResult DXTimerTimer(DrumTickHost &host);

// The frame timer DXTimer. The drum asks for a tick every millisecond, but a frame cannot be
// shown faster than the display refreshes, so the timer runs at the larger of the requested
// interval and the refresh period: one tick per refresh while a selection runs, none at all
// while it is stopped. It measures the frame rate the overlay shows.
class DrumFrameTimer : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<qint64()>; // milliseconds, monotonic

    explicit DrumFrameTimer(QObject *parent = nullptr);

    // The requested interval in milliseconds (1, or 100 in remote mode).
    void setInterval(int ms);
    int interval() const { return m_requested; }
    // The display's refresh period in milliseconds; 0 means no pacing by the display.
    void setRefreshPeriod(int ms);
    int effectiveInterval() const;

    void setEnabled(bool enabled);
    bool isEnabled() const { return m_timer.isActive(); }
    void start() { setEnabled(true); }
    void stop() { setEnabled(false); }

    // Frames per second over the last whole second of ticks.
    int frameRate() const { return m_frameRate; }
    void setClock(Clock clock);

    // Refresh period of the primary screen, rounded down so the timer never lags the display.
    static int primaryScreenRefreshPeriod();

Q_SIGNALS:
    void timeout();

private:
    void onTick();

    QTimer m_timer;
    Clock m_clock;
    QElapsedTimer m_elapsed;
    int m_requested = 1;
    int m_refreshPeriod = 0;
    int m_frameRate = 0;
    int m_frames = 0;
    qint64 m_windowStart = 0;
};

} // namespace zelk
