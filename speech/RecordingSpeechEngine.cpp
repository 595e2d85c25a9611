#include "speech/RecordingSpeechEngine.h"

using namespace Qt::StringLiterals;

namespace zelk {

RecordingSpeechEngine::RecordingSpeechEngine(QObject *parent)
    : SpeechEngine(parent)
{
    m_finishTimer.setSingleShot(true);
    connect(&m_finishTimer, &QTimer::timeout, this, &RecordingSpeechEngine::finishCurrent);
}

void RecordingSpeechEngine::finishCurrent()
{
    if (!m_speaking)
        return;
    m_finishTimer.stop();
    m_speaking = false;
    m_utterances.last().finished = true;
    Q_EMIT finished();
}

QStringList RecordingSpeechEngine::spokenTexts() const
{
    QStringList texts;
    for (const Utterance &u : m_utterances)
        texts.append(u.text);
    return texts;
}

QString RecordingSpeechEngine::currentVoice() const
{
    return m_voiceIndex >= 0 ? m_voices.at(m_voiceIndex).description : QString();
}

bool RecordingSpeechEngine::start(QString *errorText)
{
    ++m_startCalls;
    if (m_startFails && errorText)
        *errorText = u"speech engine unavailable"_s;
    return !m_startFails;
}

void RecordingSpeechEngine::setVoice(qsizetype index)
{
    if (index >= 0 && index < m_voices.size())
        m_voiceIndex = index;
}

void RecordingSpeechEngine::speak(const QString &text)
{
    // The real engine interrupts; the speech output must never let that happen.
    if (m_speaking)
        stop();
    m_utterances.append({text, currentVoice(), m_rate, false, false});
    m_speaking = true;
    if (m_finishAfterMs >= 0)
        m_finishTimer.start(m_finishAfterMs);
}

void RecordingSpeechEngine::stop()
{
    ++m_stopCalls;
    m_finishTimer.stop();
    if (m_speaking) {
        m_speaking = false;
        m_utterances.last().stopped = true;
    }
}

} // namespace zelk
