#include "speech/SpeechEngineHost.h"

#include <QCoreApplication>
#include <QThread>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

// Engine threads still alive, for the end of the process. The user-interface thread alone
// touches this list.
QList<QPointer<QThread>> &engineThreads()
{
    static QList<QPointer<QThread>> threads;
    return threads;
}

const char *const kStuckProperty = "zelkEngineStuck";

std::chrono::milliseconds defaultCommandLimit = SpeechEngineHost::kDefaultCommandLimit;
std::chrono::milliseconds defaultStartLimit = SpeechEngineHost::kDefaultStartLimit;

// At the end of the process an engine thread that is merely finishing (closing its
// connection to speech-dispatcher) gets a moment to do so before the libraries go away;
// a stuck one is left behind.
void waitForEngineThreadsAtExit()
{
    QDeadlineTimer deadline(1500);
    for (const QPointer<QThread> &thread : std::as_const(engineThreads())) {
        if (thread && !thread->property(kStuckProperty).toBool())
            thread->wait(deadline);
    }
    engineThreads().clear();
}

void registerEngineThread(QThread *thread)
{
    static const bool registered = [] {
        qAddPostRoutine(waitForEngineThreadsAtExit);
        return true;
    }();
    Q_UNUSED(registered);
    QList<QPointer<QThread>> &threads = engineThreads();
    threads.removeAll(nullptr);
    threads.append(thread);
}

} // namespace

SpeechEngineHost::SpeechEngineHost(SpeechEngineFactory factory, QObject *parent)
    : QObject(parent)
    , m_factory(std::move(factory))
    , m_commandLimit(defaultCommandLimit)
    , m_startLimit(defaultStartLimit)
{
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &SpeechEngineHost::watchdogExpired);
}

SpeechEngineHost::~SpeechEngineHost()
{
    abandonThread(!m_pending.isEmpty() && m_pending.first().deadline.hasExpired());
}

void SpeechEngineHost::setTimeLimits(std::chrono::milliseconds command, std::chrono::milliseconds start)
{
    m_commandLimit = command;
    m_startLimit = start;
    if (isStarting() && !m_pending.isEmpty()) {
        m_pending.first().deadline = QDeadlineTimer(start);
        armWatchdog();
    }
}

void SpeechEngineHost::setDefaultTimeLimits(std::chrono::milliseconds command, std::chrono::milliseconds start)
{
    defaultCommandLimit = command;
    defaultStartLimit = start;
}

void SpeechEngineHost::start()
{
    if (m_state != State::Idle)
        return;
    m_state = State::Starting;
    launchThread();
}

void SpeechEngineHost::launchThread()
{
    auto *thread = new QThread; // deletes itself when finished, see below
    thread->setObjectName(u"SpeechEngine"_s);
    auto *worker = new SpeechEngineWorker(m_factory);
    worker->moveToThread(thread);
    // Whoever ends the thread, the worker (and the engine with it) is destroyed on it.
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(worker, &SpeechEngineWorker::acknowledged, this, &SpeechEngineHost::workerAcknowledged,
            Qt::QueuedConnection);
    connect(worker, &SpeechEngineWorker::started, this, &SpeechEngineHost::workerStarted,
            Qt::QueuedConnection);
    connect(worker, &SpeechEngineWorker::utteranceFinished, this, &SpeechEngineHost::workerFinished,
            Qt::QueuedConnection);
    m_thread = thread;
    m_worker = worker;
    registerEngineThread(thread);
    thread->start();

    const quint64 command = nextCommand(m_startLimit);
    QMetaObject::invokeMethod(worker, [worker, command] { worker->start(command); }, Qt::QueuedConnection);
}

void SpeechEngineHost::abandonThread(bool stuck)
{
    m_pending.clear();
    m_watchdog.stop();
    if (!m_worker)
        return;
    disconnect(m_worker, nullptr, this, nullptr);
    if (m_thread) {
        if (stuck)
            m_thread->setProperty(kStuckProperty, true);
        // Takes effect when the engine returns, if ever; the thread then deletes the
        // worker and itself. Destroying or waiting for a running thread is what we must not do.
        m_thread->quit();
    }
    m_thread = nullptr;
    m_worker = nullptr;
}

quint64 SpeechEngineHost::nextCommand(std::chrono::milliseconds limit)
{
    const quint64 command = ++m_lastCommand;
    m_pending.append({command, QDeadlineTimer(limit)});
    if (m_pending.size() == 1)
        armWatchdog();
    return command;
}

void SpeechEngineHost::armWatchdog()
{
    if (m_pending.isEmpty()) {
        m_watchdog.stop();
        return;
    }
    m_watchdog.start(std::chrono::milliseconds(qMax<qint64>(0, m_pending.first().deadline.remainingTime())));
}

void SpeechEngineHost::workerAcknowledged(quint64 command)
{
    // Commands are carried out in order.
    while (!m_pending.isEmpty() && m_pending.first().command <= command)
        m_pending.removeFirst();
    armWatchdog();
}

void SpeechEngineHost::watchdogExpired()
{
    if (m_pending.isEmpty())
        return;
    if (!m_pending.first().deadline.hasExpired()) {
        armWatchdog();
        return;
    }
    engineStuck();
}

void SpeechEngineHost::engineStuck()
{
    abandonThread(true);
    ++m_abandoned;
    if (!m_firstStartReported) {
        m_firstStartReported = true;
        SpeechStartResult result;
        result.errorText = u"The speech engine did not answer"_s;
        m_state = State::Unavailable;
        Q_EMIT started(result);
        Q_EMIT unavailable();
        return;
    }
    const bool wasReady = m_state == State::Ready;
    if (m_recreations >= kMaxRecreations) {
        becomeUnavailable();
        return;
    }
    ++m_recreations;
    m_state = State::Starting;
    if (wasReady)
        Q_EMIT lost();
    launchThread();
}

void SpeechEngineHost::becomeUnavailable()
{
    const bool wasReady = m_state == State::Ready;
    m_state = State::Unavailable;
    if (wasReady)
        Q_EMIT lost();
    Q_EMIT unavailable();
}

void SpeechEngineHost::workerStarted(quint64, const SpeechStartResult &result)
{
    if (!m_firstStartReported) {
        m_firstStartReported = true;
        m_state = result.ok ? State::Ready : State::Unavailable;
        if (!result.ok)
            abandonThread(false);
        Q_EMIT started(result);
        if (result.ok)
            Q_EMIT ready();
        else
            Q_EMIT unavailable();
        return;
    }
    // A recreated engine: it gets the voice and rate in force, silently.
    if (!result.ok) {
        abandonThread(false);
        becomeUnavailable();
        return;
    }
    m_state = State::Ready;
    if (m_voiceIndex >= 0)
        setVoice(m_voiceIndex);
    if (m_rateSet)
        setRate(m_rate);
    Q_EMIT ready();
}

void SpeechEngineHost::workerFinished(quint64 utterance)
{
    Q_EMIT utteranceFinished(utterance);
}

quint64 SpeechEngineHost::speak(const QString &text)
{
    if (!isReady() || !m_worker)
        return 0;
    const quint64 utterance = ++m_lastUtterance;
    const quint64 command = nextCommand(m_commandLimit);
    SpeechEngineWorker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, command, utterance, text] { worker->speak(command, utterance, text); },
                              Qt::QueuedConnection);
    return utterance;
}

void SpeechEngineHost::stop()
{
    if (!isReady() || !m_worker)
        return;
    const quint64 command = nextCommand(m_commandLimit);
    SpeechEngineWorker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, command] { worker->stop(command); }, Qt::QueuedConnection);
}

void SpeechEngineHost::setVoice(qsizetype index)
{
    m_voiceIndex = index;
    if (!isReady() || !m_worker)
        return;
    const quint64 command = nextCommand(m_commandLimit);
    SpeechEngineWorker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, command, index] { worker->setVoice(command, index); },
                              Qt::QueuedConnection);
}

void SpeechEngineHost::setRate(double rate)
{
    m_rate = rate;
    m_rateSet = true;
    if (!isReady() || !m_worker)
        return;
    const quint64 command = nextCommand(m_commandLimit);
    SpeechEngineWorker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, command, rate] { worker->setRate(command, rate); },
                              Qt::QueuedConnection);
}

} // namespace zelk
