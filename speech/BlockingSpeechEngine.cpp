#include "speech/BlockingSpeechEngine.h"

using namespace Qt::StringLiterals;

namespace zelk {

void SpeechEngineGate::release()
{
    const QMutexLocker lock(&m_mutex);
    m_open = true;
    m_released.wakeAll();
}

int SpeechEngineGate::heldNow() const
{
    const QMutexLocker lock(&m_mutex);
    return m_heldNow;
}

int SpeechEngineGate::heldInAll() const
{
    const QMutexLocker lock(&m_mutex);
    return m_heldInAll;
}

void SpeechEngineGate::hold()
{
    QMutexLocker lock(&m_mutex);
    if (m_open)
        return;
    ++m_heldNow;
    ++m_heldInAll;
    while (!m_open)
        m_released.wait(&m_mutex);
    --m_heldNow;
}

BlockingSpeechEngine::BlockingSpeechEngine(Calls blocking, std::shared_ptr<SpeechEngineGate> gate, QObject *parent)
    : SpeechEngine(parent)
    , m_blocking(blocking)
    , m_gate(gate ? std::move(gate) : std::make_shared<SpeechEngineGate>())
{
}

bool BlockingSpeechEngine::start(QString *)
{
    if (m_blocking.testFlag(Start))
        m_gate->hold();
    return true;
}

QList<SpeechVoice> BlockingSpeechEngine::voices() const
{
    return {{u"English"_s, QLocale(QLocale::English, QLocale::UnitedKingdom)},
            {u"Swedish"_s, QLocale(QLocale::Swedish, QLocale::Sweden)}};
}

void BlockingSpeechEngine::speak(const QString &)
{
    if (m_blocking.testFlag(Speak))
        m_gate->hold();
}

void BlockingSpeechEngine::stop()
{
    if (m_blocking.testFlag(Stop))
        m_gate->hold();
}

} // namespace zelk
