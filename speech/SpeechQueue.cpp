#include "speech/SpeechQueue.h"

#include "speech/SpeechEngineHost.h"

#include <algorithm>

namespace zelk {

SpeechQueue::SpeechQueue(SpeechEngineHost *engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
{
    m_limitTimer.setSingleShot(true);
    connect(&m_limitTimer, &QTimer::timeout, this, &SpeechQueue::timeLimitReached);
    if (m_engine) {
        connect(m_engine, &SpeechEngineHost::utteranceFinished, this, &SpeechQueue::engineFinished);
        connect(m_engine, &SpeechEngineHost::ready, this, [this] {
            if (m_current == 0)
                startNext();
        });
        connect(m_engine, &SpeechEngineHost::lost, this, &SpeechQueue::engineLost);
        connect(m_engine, &SpeechEngineHost::unavailable, this, &SpeechQueue::dropAll);
    }
}

SpeechQueue::~SpeechQueue() = default;

quint64 SpeechQueue::enqueue(const QString &text)
{
    const quint64 ticket = m_nextTicket++;
    if (text.trimmed().isEmpty() && isIdle()) {
        Q_EMIT done(ticket);
        return ticket;
    }
    m_waiting.enqueue({ticket, text});
    if (m_waiting.size() > kMaxWaiting) {
        const quint64 dropped = m_waiting.dequeue().ticket;
        Q_EMIT done(dropped);
    }
    if (m_current == 0)
        startNext();
    return ticket;
}

bool SpeechQueue::isDone(quint64 ticket) const
{
    if (ticket >= m_nextTicket || ticket == m_current)
        return false;
    return std::none_of(m_waiting.cbegin(), m_waiting.cend(),
                        [ticket](const Item &item) { return item.ticket == ticket; });
}

bool SpeechQueue::isIdle() const
{
    return m_current == 0 && m_waiting.isEmpty();
}

void SpeechQueue::skipAll()
{
    const bool wasSpeaking = m_current != 0;
    dropAll();
    if (wasSpeaking && m_engine)
        m_engine->stop();
}

void SpeechQueue::dropAll()
{
    m_limitTimer.stop();
    quint64 last = m_current;
    if (!m_waiting.isEmpty())
        last = m_waiting.last().ticket;
    m_waiting.clear();
    m_current = 0;
    m_currentUtterance = 0;
    if (last != 0)
        Q_EMIT done(last);
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
        if (!m_engine) {
            dropAll();
            return;
        }
        if (!m_engine->isReady())
            return; // the texts wait for ready() or go with unavailable()
        const Item item = m_waiting.dequeue();
        if (item.text.trimmed().isEmpty()) {
            Q_EMIT done(item.ticket);
            continue;
        }
        m_current = item.ticket;
        m_currentUtterance = m_engine->speak(item.text);
        m_limitTimer.start(timeLimitFor(item.text));
        return;
    }
}

void SpeechQueue::finishCurrent()
{
    m_limitTimer.stop();
    const quint64 ticket = m_current;
    m_current = 0;
    m_currentUtterance = 0;
    Q_EMIT done(ticket);
    // A receiver of done() may have queued or skipped in the meantime.
    if (m_current == 0)
        startNext();
}

void SpeechQueue::engineFinished(quint64 utterance)
{
    if (m_current != 0 && utterance == m_currentUtterance)
        finishCurrent();
}

void SpeechQueue::engineLost()
{
    // What the abandoned engine was saying never ends; the rest waits for its successor.
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
