#pragma once

#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QTimer>

namespace zelk {

class SpeechEngine;

// Utterances waiting for the engine, spoken one after another. A name announced while the
// drum turns must queue behind the call confirmation instead of cutting it off, as the
// engine would if handed a second text while still speaking.
//
// An engine that never reports the end (speech-dispatcher without an audio device stays
// "speaking" for ever) must not hold up the queue: each utterance gets a time limit after
// which it counts as spoken and the next one starts.
class SpeechQueue : public QObject
{
    Q_OBJECT

public:
    explicit SpeechQueue(SpeechEngine *engine, QObject *parent = nullptr);
    ~SpeechQueue() override;

    // Queues a text and returns its ticket. Empty texts are done at once.
    quint64 enqueue(const QString &text);
    // True once the ticket's text has been spoken, skipped or timed out.
    bool isDone(quint64 ticket) const;
    // Drops everything queued and cuts off the utterance in progress.
    void skipAll();
    bool isIdle() const;

    // Time limit of one utterance: base plus a share per character (tests shorten it).
    void setTimeLimit(int baseMs, int perCharacterMs);
    int timeLimitFor(const QString &text) const;

Q_SIGNALS:
    // Every ticket up to and including this one is done.
    void done(quint64 ticket);

private:
    struct Item
    {
        quint64 ticket;
        QString text;
    };

    void startNext();
    void finishCurrent();
    void engineFinished();
    void timeLimitReached();

    QPointer<SpeechEngine> m_engine;
    QQueue<Item> m_waiting;
    QTimer m_limitTimer;
    quint64 m_nextTicket = 1;
    quint64 m_current = 0;      // ticket being spoken, 0 when idle
    quint64 m_lastDone = 0;     // tickets are done in order
    int m_baseLimitMs = 3000;
    int m_perCharacterLimitMs = 200;
};

} // namespace zelk
