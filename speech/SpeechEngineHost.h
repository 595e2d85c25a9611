#pragma once

#include "speech/SpeechEngineFactory.h"
#include "speech/SpeechEngineWorker.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>

class QThread;

namespace zelk {

// The user-interface side of the speech engine. The engine runs on a thread of its own (a
// speech-dispatcher without audio never answers a stop, and listing its voices takes
// seconds); this object forwards commands to it through queued calls and never waits for
// it. Every command must be acknowledged within a time limit (the start within a much
// longer one); an engine that misses it is stuck and is abandoned, never waited for: its
// thread is told to quit and cleans up after itself should the engine ever return. A lost
// engine is recreated once; when that one fails too, speech is given up for the run.
class SpeechEngineHost final : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Starting, Ready, Unavailable };

    static constexpr std::chrono::milliseconds kDefaultCommandLimit{5000};
    // Listing the voices of speech-dispatcher takes seconds, minutes under the sanitizers.
    static constexpr std::chrono::milliseconds kDefaultStartLimit{180000};
    static constexpr int kMaxRecreations = 1;

    // An empty factory takes the installed one; either is called on the engine thread.
    explicit SpeechEngineHost(SpeechEngineFactory factory = {}, QObject *parent = nullptr);
    // Returns at once, also when the engine is stuck.
    ~SpeechEngineHost() override;

    // Also applies to a start under way (counted from now). The defaults hold for hosts
    // created afterwards, in the whole process (a test build of the program shortens them).
    void setTimeLimits(std::chrono::milliseconds command, std::chrono::milliseconds start);
    static void setDefaultTimeLimits(std::chrono::milliseconds command, std::chrono::milliseconds start);

    // Starts the engine thread; started() reports the outcome.
    void start();
    State state() const { return m_state; }
    bool isReady() const { return m_state == State::Ready; }
    // Not ready yet, but it may become so (the first start or a recreation is under way).
    bool isStarting() const { return m_state == State::Starting || m_state == State::Idle; }
    int abandonedEngines() const { return m_abandoned; }

    // Hands a text to the engine; utteranceFinished() with the returned number follows
    // when the engine reports its end. 0 (nothing sent) unless ready.
    quint64 speak(const QString &text);
    void stop();
    // Kept and sent again to a recreated engine.
    void setVoice(qsizetype index);
    void setRate(double rate);

Q_SIGNALS:
    // The outcome of the first start (a start that never returns counts as failed).
    void started(const zelk::SpeechStartResult &result);
    // The engine accepts texts (after the first start, or after a recreation).
    void ready();
    // The engine was abandoned; an utterance it was speaking will never finish.
    void lost();
    // Speech does not work and will not for the rest of this host's life.
    void unavailable();
    void utteranceFinished(quint64 utterance);

private:
    struct Pending
    {
        quint64 command;
        QDeadlineTimer deadline;
    };

    void launchThread();
    void abandonThread(bool stuck);
    quint64 nextCommand(std::chrono::milliseconds limit);
    void armWatchdog();
    void workerAcknowledged(quint64 command);
    void workerStarted(quint64 command, const SpeechStartResult &result);
    void workerFinished(quint64 utterance);
    void watchdogExpired();
    void engineStuck();
    void becomeUnavailable();

    SpeechEngineFactory m_factory;
    QPointer<QThread> m_thread; // deletes itself once finished
    SpeechEngineWorker *m_worker = nullptr; // lives on m_thread, deleted when it finishes
    QList<Pending> m_pending;
    QTimer m_watchdog;
    std::chrono::milliseconds m_commandLimit;
    std::chrono::milliseconds m_startLimit;
    State m_state = State::Idle;
    quint64 m_lastCommand = 0;
    quint64 m_lastUtterance = 0;
    qsizetype m_voiceIndex = -1;
    double m_rate = 0.0;
    bool m_rateSet = false;
    bool m_firstStartReported = false;
    int m_recreations = 0;
    int m_abandoned = 0;
};

} // namespace zelk
