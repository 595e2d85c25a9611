#include "speech/SpeechEngineWorker.h"

#include "speech/SpeechVoices.h"

using namespace Qt::StringLiterals;

namespace zelk {

SpeechEngineWorker::SpeechEngineWorker(SpeechEngineFactory factory)
    : m_factory(std::move(factory))
{
}

SpeechEngineWorker::~SpeechEngineWorker() = default;

void SpeechEngineWorker::start(quint64 command)
{
    SpeechStartResult result;
    m_engine = m_factory ? m_factory() : createSpeechEngine();
    if (!m_engine) {
        result.errorText = u"No speech engine"_s;
    } else {
        m_engine->setParent(nullptr);
        connect(m_engine.get(), &SpeechEngine::finished, this, &SpeechEngineWorker::engineFinished);
        result.ok = m_engine->start(&result.errorText);
    }
    if (result.ok) {
        result.voices = m_engine->voices();
        // Sorting some 27000 descriptions is work the user-interface thread is spared.
        result.sortedDescriptions = sortedVoiceDescriptions(result.voices);
    } else {
        m_engine.reset();
    }
    Q_EMIT started(command, result);
    Q_EMIT acknowledged(command);
}

void SpeechEngineWorker::setVoice(quint64 command, qsizetype index)
{
    if (m_engine)
        m_engine->setVoice(index);
    Q_EMIT acknowledged(command);
}

void SpeechEngineWorker::setRate(quint64 command, double rate)
{
    if (m_engine)
        m_engine->setRate(rate);
    Q_EMIT acknowledged(command);
}

void SpeechEngineWorker::speak(quint64 command, quint64 utterance, const QString &text)
{
    m_utterance = utterance;
    if (m_engine)
        m_engine->speak(text);
    else
        engineFinished();
    Q_EMIT acknowledged(command);
}

void SpeechEngineWorker::stop(quint64 command)
{
    m_utterance = 0;
    if (m_engine)
        m_engine->stop();
    Q_EMIT acknowledged(command);
}

void SpeechEngineWorker::engineFinished()
{
    if (m_utterance == 0)
        return;
    const quint64 utterance = m_utterance;
    m_utterance = 0;
    Q_EMIT utteranceFinished(utterance);
}

} // namespace zelk
