#include "speech/SpeechOutput.h"

#include "speech/SpeechEngine.h"
#include "speech/SpeechGlobals.h"
#include "speech/SpeechText.h"

#include <QEventLoop>
#include <QPointer>

namespace zelk {

QString SelectedVoice;
bool SpeechAvailable = false;
QString LastSpokenText;

SpeechOutput::SpeechOutput(std::unique_ptr<SpeechEngine> engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine.release())
    , m_queue(m_engine)
{
    if (m_engine)
        m_engine->setParent(this);
}

SpeechOutput::~SpeechOutput()
{
    Q_EMIT aboutToBeDestroyed();
}

void SpeechOutput::say(const QString &sayString, int flags)
{
    if (!SpeechAvailable)
        return;

    const QString text = rewriteForSpeech(sayString);
    if (text != LastSpokenText) {
        LastSpokenText = text;
        const quint64 ticket = m_queue.enqueue(text);
        if ((flags & kSpeakAsync) == 0)
            waitFor(ticket);
    } else if (!text.isEmpty()) {
        // A repeated text never holds the caller up.
        m_queue.enqueue(text);
    }
}

void SpeechOutput::skip()
{
    m_queue.skipAll();
}

void SpeechOutput::waitFor(quint64 ticket)
{
    if (m_queue.isDone(ticket))
        return;
    // Timers and socket events go on while the text is spoken; every queued utterance has
    // a time limit, so the wait ends even when the engine never reports the end.
    QEventLoop loop;
    connect(&m_queue, &SpeechQueue::done, &loop, [&loop, ticket](quint64 doneTicket) {
        if (doneTicket >= ticket)
            loop.quit();
    });
    connect(this, &SpeechOutput::aboutToBeDestroyed, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace zelk
