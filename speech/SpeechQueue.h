#pragma once

#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QTimer>

namespace zelk {

class SpeechEngineHost;

// Utterances waiting for the engine, spoken one after another. A name announced while the
// drum turns must queue behind the call confirmation instead of cutting it off, as the
// engine would if handed a second text while still speaking.
//
// An engine that never reports the end (speech-dispatcher without an audio device stays
// "speaking" for ever) must not hold up the queue: each utterance gets a time limit, counted
// from when it is handed to the engine, after which it counts as spoken and the next one
// starts. Texts wait while the engine starts; at most kMaxWaiting of them, the oldest
// giving way, and all of them are dropped when the engine turns out not to work.
class SpeechQueue : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxWaiting = 16;

    explicit SpeechQueue(SpeechEngineHost *engine, QObject *parent = nullptr);
    ~SpeechQueue() override;

    // Queues a text and returns its ticket. Empty texts are done at once.
    quint64 enqueue(const QString &text);
    // True once the ticket's text has been spoken, skipped, dropped or timed out.
    bool isDone(quint64 ticket) const;
    // Drops everything queued and cuts off the utterance in progress.
    void skipAll();
    bool isIdle() const;
    qsizetype waitingCount() const { return m_waiting.size(); }

    // Time limit of one utterance: base plus a share per character (tests shorten it).
    void setTimeLimit(int baseMs, int perCharacterMs);
    int timeLimitFor(const QString &text) const;

Q_SIGNALS:
    // Some tickets are done, this one among them; isDone() tells about the others.
    void done(quint64 ticket);

private:
    struct Item
    {
        quint64 ticket;
        QString text;
    };

    void startNext();
    void finishCurrent();
    void engineFinished(quint64 utterance);
    void engineLost();
    void dropAll();
    void timeLimitReached();

    QPointer<SpeechEngineHost> m_engine;
    QQueue<Item> m_waiting;
    QTimer m_limitTimer;
    quint64 m_nextTicket = 1;
    quint64 m_current = 0;          // ticket being spoken, 0 when idle
    quint64 m_currentUtterance = 0; // the engine's number for it
    int m_baseLimitMs = 3000;
    int m_perCharacterLimitMs = 200;
};

} // namespace zelk
