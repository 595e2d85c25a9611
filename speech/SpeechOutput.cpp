#include "speech/SpeechOutput.h"

#include "speech/SpeechGlobals.h"
#include "speech/SpeechText.h"

#include <QEventLoop>
#include <QTimer>

namespace zelk {

QString SelectedVoice;
bool SpeechAvailable = false;
QString LastSpokenText;

SpeechOutput::SpeechOutput(SpeechEngineFactory factory, QObject *parent)
    : QObject(parent)
    , m_host(std::move(factory))
    , m_queue(&m_host)
{
    m_host.start();
}

SpeechOutput::~SpeechOutput()
{
    Q_EMIT aboutToBeDestroyed();
}

void SpeechOutput::say(const QString &sayString, int flags)
{
    // While the engine starts, SpeechAvailable is not yet set, but texts wait for it.
    if (!SpeechAvailable && !m_host.isStarting())
        return;
    if (m_host.state() == SpeechEngineHost::State::Unavailable)
        return;

    const QString text = rewriteForSpeech(sayString);
    if (text != LastSpokenText) {
        LastSpokenText = text;
        const quint64 ticket = m_queue.enqueue(text);
        if ((flags & kSpeakAsync) == 0)
            waitFor(ticket, m_queue.timeLimitFor(text));
    } else if (!text.isEmpty()) {
        // A repeated text never holds the caller up.
        m_queue.enqueue(text);
    }
}

void SpeechOutput::skip()
{
    m_queue.skipAll();
}

void SpeechOutput::waitFor(quint64 ticket, int patienceMs)
{
    if (m_queue.isDone(ticket))
        return;
    // While no engine is ready (still starting, or a stuck one being replaced, which may
    // take minutes), the caller waits no longer than the text's own time limit; the text
    // stays queued and is spoken in the background once the engine is there.
    QTimer patience;
    patience.setSingleShot(true);
    patience.setInterval(patienceMs);
    const auto watchEngine = [this, &patience] {
        if (m_host.isReady())
            patience.stop();
        else if (!patience.isActive())
            patience.start();
    };
    connect(&m_host, &SpeechEngineHost::ready, &patience, watchEngine);
    connect(&m_host, &SpeechEngineHost::lost, &patience, watchEngine);
    watchEngine();
    // Timers and socket events go on while the text is spoken; every queued utterance has
    // a time limit and a failing engine drops the queue, so the wait always ends.
    QEventLoop loop;
    connect(&m_queue, &SpeechQueue::done, &loop, [this, &loop, ticket] {
        if (m_queue.isDone(ticket))
            loop.quit();
    });
    connect(this, &SpeechOutput::aboutToBeDestroyed, &loop, &QEventLoop::quit);
    connect(&patience, &QTimer::timeout, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace zelk
