#pragma once

#include "speech/SpeechQueue.h"

#include <QObject>
#include <QString>

#include <memory>

namespace zelk {

class SpeechEngine;

// The speak flags callers pass to say(); only the asynchronous bit has a meaning here.
inline constexpr int kSpeakWait = 0;
inline constexpr int kSpeakAsync = 1;

// `say` without the form around it: rewrites the text, applies the repeat rule with
// LastSpokenText, queues the utterance and, for a waiting call, keeps the event loop
// running until it has been spoken (or its time limit ran out).
class SpeechOutput : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of the engine.
    explicit SpeechOutput(std::unique_ptr<SpeechEngine> engine, QObject *parent = nullptr);
    ~SpeechOutput() override;

    SpeechEngine *engine() const { return m_engine; }
    SpeechQueue *queue() { return &m_queue; }

    void say(const QString &sayString, int flags);
    // Skips everything queued and the utterance in progress.
    void skip();

Q_SIGNALS:
    // Ends the waits of nested say() calls when this object goes away under them.
    void aboutToBeDestroyed();

private:
    void waitFor(quint64 ticket);

    SpeechEngine *m_engine = nullptr; // child of this object
    SpeechQueue m_queue;
};

} // namespace zelk
