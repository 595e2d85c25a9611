#include "speech/RecordingSpeechEngine.h"

#include <QThread>

using namespace Qt::StringLiterals;

namespace zelk {

RecordingSpeechEngine::RecordingSpeechEngine(QObject *parent)
    : SpeechEngine(parent)
{
    m_finishTimer.setSingleShot(true);
    connect(&m_finishTimer, &QTimer::timeout, this, &RecordingSpeechEngine::finishCurrent);
}

void RecordingSpeechEngine::setVoices(const QList<SpeechVoice> &voices)
{
    const QMutexLocker lock(&m_mutex);
    m_voices = voices;
}

void RecordingSpeechEngine::finishCurrent()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, &RecordingSpeechEngine::finishCurrent, Qt::QueuedConnection);
        return;
    }
    {
        const QMutexLocker lock(&m_mutex);
        if (!m_speaking)
            return;
        m_finishTimer.stop();
        m_speaking = false;
        m_utterances.last().finished = true;
    }
    Q_EMIT finished();
}

QList<RecordingSpeechEngine::Utterance> RecordingSpeechEngine::utterances() const
{
    const QMutexLocker lock(&m_mutex);
    return m_utterances;
}

QStringList RecordingSpeechEngine::spokenTexts() const
{
    const QMutexLocker lock(&m_mutex);
    QStringList texts;
    for (const Utterance &u : m_utterances)
        texts.append(u.text);
    return texts;
}

bool RecordingSpeechEngine::isSpeaking() const
{
    const QMutexLocker lock(&m_mutex);
    return m_speaking;
}

QString RecordingSpeechEngine::currentVoice() const
{
    const QMutexLocker lock(&m_mutex);
    return currentVoiceLocked();
}

QString RecordingSpeechEngine::currentVoiceLocked() const
{
    return m_voiceIndex >= 0 ? m_voices.at(m_voiceIndex).description : QString();
}

qsizetype RecordingSpeechEngine::currentVoiceIndex() const
{
    const QMutexLocker lock(&m_mutex);
    return m_voiceIndex;
}

double RecordingSpeechEngine::currentRate() const
{
    const QMutexLocker lock(&m_mutex);
    return m_rate;
}

bool RecordingSpeechEngine::start(QString *errorText)
{
    ++m_startCalls;
    if (m_startFails && errorText)
        *errorText = u"speech engine unavailable"_s;
    return !m_startFails;
}

QList<SpeechVoice> RecordingSpeechEngine::voices() const
{
    const QMutexLocker lock(&m_mutex);
    return m_voices;
}

void RecordingSpeechEngine::setVoice(qsizetype index)
{
    const QMutexLocker lock(&m_mutex);
    if (index >= 0 && index < m_voices.size())
        m_voiceIndex = index;
}

void RecordingSpeechEngine::setRate(double rate)
{
    const QMutexLocker lock(&m_mutex);
    m_rate = rate;
}

void RecordingSpeechEngine::speak(const QString &text)
{
    // The real engine interrupts; the speech output must never let that happen.
    if (isSpeaking())
        stop();
    {
        const QMutexLocker lock(&m_mutex);
        m_utterances.append({text, currentVoiceLocked(), m_rate, false, false});
        m_speaking = true;
    }
    if (m_finishAfterMs >= 0)
        m_finishTimer.start(m_finishAfterMs);
}

void RecordingSpeechEngine::stop()
{
    ++m_stopCalls;
    m_finishTimer.stop();
    const QMutexLocker lock(&m_mutex);
    if (m_speaking) {
        m_speaking = false;
        m_utterances.last().stopped = true;
    }
}

} // namespace zelk
