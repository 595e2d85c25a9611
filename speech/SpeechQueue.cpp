#include "speech/SpeechQueue.h"

#include "speech/SpeechEngine.h"

namespace zelk {

SpeechQueue::SpeechQueue(SpeechEngine *engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
{
    m_limitTimer.setSingleShot(true);
    connect(&m_limitTimer, &QTimer::timeout, this, &SpeechQueue::timeLimitReached);
    if (m_engine)
        connect(m_engine, &SpeechEngine::finished, this, &SpeechQueue::engineFinished);
}

SpeechQueue::~SpeechQueue() = default;

quint64 SpeechQueue::enqueue(const QString &text)
{
    const quint64 ticket = m_nextTicket++;
    if (text.trimmed().isEmpty() && m_current == 0 && m_waiting.isEmpty()) {
        m_lastDone = ticket;
        Q_EMIT done(ticket);
        return ticket;
    }
    m_waiting.enqueue({ticket, text});
    if (m_current == 0)
        startNext();
    return ticket;
}

bool SpeechQueue::isDone(quint64 ticket) const
{
    return ticket <= m_lastDone;
}

bool SpeechQueue::isIdle() const
{
    return m_current == 0 && m_waiting.isEmpty();
}

void SpeechQueue::skipAll()
{
    m_limitTimer.stop();
    const bool wasSpeaking = m_current != 0;
    if (!m_waiting.isEmpty())
        m_lastDone = m_waiting.last().ticket;
    else if (wasSpeaking)
        m_lastDone = m_current;
    m_waiting.clear();
    m_current = 0;
    if (wasSpeaking && m_engine)
        m_engine->stop();
    Q_EMIT done(m_lastDone);
}

void SpeechQueue::setTimeLimit(int baseMs, int perCharacterMs)
{
    m_baseLimitMs = qMax(0, baseMs);
    m_perCharacterLimitMs = qMax(0, perCharacterMs);
}

int SpeechQueue::timeLimitFor(const QString &text) const
{
    const qint64 limit = m_baseLimitMs + qint64(m_perCharacterLimitMs) * text.size();
    return int(qMin<qint64>(limit, 120000));
}

void SpeechQueue::startNext()
{
    while (!m_waiting.isEmpty()) {
        const Item item = m_waiting.dequeue();
        if (item.text.trimmed().isEmpty() || !m_engine) {
            m_lastDone = item.ticket;
            Q_EMIT done(item.ticket);
            continue;
        }
        m_current = item.ticket;
        m_limitTimer.start(timeLimitFor(item.text));
        m_engine->speak(item.text);
        return;
    }
}

void SpeechQueue::finishCurrent()
{
    m_limitTimer.stop();
    const quint64 ticket = m_current;
    m_current = 0;
    m_lastDone = ticket;
    Q_EMIT done(ticket);
    // A receiver of done() may have queued or skipped in the meantime.
    if (m_current == 0)
        startNext();
}

void SpeechQueue::engineFinished()
{
    if (m_current != 0)
        finishCurrent();
}

void SpeechQueue::timeLimitReached()
{
    if (m_current == 0)
        return;
    if (m_engine)
        m_engine->stop();
    finishCurrent();
}

} // namespace zelk
