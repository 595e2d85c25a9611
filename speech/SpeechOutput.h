#pragma once

#include "speech/SpeechEngineFactory.h"
#include "speech/SpeechEngineHost.h"
#include "speech/SpeechQueue.h"

#include <QObject>
#include <QString>

namespace zelk {

// The speak flags callers pass to say(); only the asynchronous bit has a meaning here.
inline constexpr int kSpeakWait = 0;
inline constexpr int kSpeakAsync = 1;

// `say` without the form around it: rewrites the text, applies the repeat rule with
// LastSpokenText, queues the utterance and, for a waiting call, keeps the event loop
// running until it has been spoken (or its time limit ran out, or speech was given up).
// The engine runs on its own thread behind engineHost(); its start begins at once, and
// texts said meanwhile wait in the queue.
class SpeechOutput : public QObject
{
    Q_OBJECT

public:
    // An empty factory takes the installed one; it is called on the engine thread.
    explicit SpeechOutput(SpeechEngineFactory factory = {}, QObject *parent = nullptr);
    ~SpeechOutput() override;

    SpeechEngineHost *engineHost() { return &m_host; }
    SpeechQueue *queue() { return &m_queue; }

    void say(const QString &sayString, int flags);
    // Skips everything queued and the utterance in progress.
    void skip();

Q_SIGNALS:
    // Ends the waits of nested say() calls when this object goes away under them.
    void aboutToBeDestroyed();

private:
    void waitFor(quint64 ticket, int patienceMs);

    SpeechEngineHost m_host;
    SpeechQueue m_queue;
};

} // namespace zelk
