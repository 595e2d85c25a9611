#include "speech/QtSpeechEngine.h"

#include "speech/SpeechEnginePlatform.h"

#include <QTextToSpeech>
#include <QThread>

using namespace Qt::StringLiterals;

namespace zelk {

QtSpeechEngine::QtSpeechEngine(const QString &engineName, QObject *parent)
    : SpeechEngine(parent)
    , m_engineName(engineName)
{
}

QtSpeechEngine::~QtSpeechEngine() = default;

bool QtSpeechEngine::start(QString *errorText)
{
    const QStringList engines = QTextToSpeech::availableEngines();
    if (engines.isEmpty()) {
        if (errorText)
            *errorText = u"No text-to-speech engine is installed"_s;
        return false;
    }
    QString name = m_engineName;
    if (const QString platformEngine = defaultSpeechEngineName(); name.isEmpty() && engines.contains(platformEngine))
        name = platformEngine;
    if (!name.isEmpty() && !engines.contains(name)) {
        if (errorText)
            *errorText = u"Text-to-speech engine %1 is not installed"_s.arg(name);
        return false;
    }

    prepareProcessForSpeechEngine();
    // speech-dispatcher is started by the first program that connects. A second one
    // connecting while that dispatcher is still coming up (at login, or this program's own
    // speech form made anew at the first connection) is told the connection failed; the
    // dispatcher is there a moment later. This runs on the engine thread, so the waits
    // hold up nothing else.
    for (int attempt = 1;; ++attempt) {
        delete m_tts;
        m_tts = name.isEmpty() ? new QTextToSpeech(this) : new QTextToSpeech(name, this);
        if (m_tts->state() != QTextToSpeech::Error)
            break;
        if (attempt == kConnectAttempts) {
            if (errorText)
                *errorText = m_tts->errorString();
            delete m_tts;
            m_tts = nullptr;
            return false;
        }
        QThread::msleep(static_cast<unsigned long>(kConnectPause.count()));
    }
    connect(m_tts, &QTextToSpeech::stateChanged, this,
            [this](QTextToSpeech::State state) { stateChanged(int(state)); });

    // Qt lists the voices of the current locale only; walk every locale for the whole list
    // and then return to where the engine started.
    const QLocale startLocale = m_tts->locale();
    const QVoice startVoice = m_tts->voice();
    m_voices.clear();
    const QList<QLocale> locales = m_tts->availableLocales();
    for (const QLocale &locale : locales) {
        m_tts->setLocale(locale);
        m_voices.append(m_tts->availableVoices());
    }
    m_tts->setLocale(startLocale);
    if (!startVoice.name().isEmpty())
        m_tts->setVoice(startVoice);
    return true;
}

QList<SpeechVoice> QtSpeechEngine::voices() const
{
    QList<SpeechVoice> result;
    result.reserve(m_voices.size());
    for (const QVoice &voice : m_voices)
        result.append({voice.name(), voice.locale()});
    return result;
}

void QtSpeechEngine::setVoice(qsizetype index)
{
    if (!m_tts || index < 0 || index >= m_voices.size())
        return;
    const QVoice &voice = m_voices.at(index);
    // The voice's language decides the pronunciation; setting the locale first keeps the
    // engine from switching back to a voice of its own choosing.
    if (m_tts->locale() != voice.locale())
        m_tts->setLocale(voice.locale());
    m_tts->setVoice(voice);
}

void QtSpeechEngine::setRate(double rate)
{
    if (m_tts)
        m_tts->setRate(qBound(-1.0, rate, 1.0));
}

void QtSpeechEngine::speak(const QString &text)
{
    if (!m_tts) {
        Q_EMIT finished();
        return;
    }
    m_speaking = true;
    m_sawSpeaking = false;
    m_tts->say(text);
}

void QtSpeechEngine::stop()
{
    m_speaking = false;
    if (m_tts)
        m_tts->stop();
}

int QtSpeechEngine::engineState() const
{
    return m_tts ? int(m_tts->state()) : int(QTextToSpeech::Error);
}

void QtSpeechEngine::stateChanged(int state)
{
    Q_EMIT engineStateChanged(state);
    if (!m_speaking)
        return;
    // The engine reports "ready" asynchronously after say(), and a cancelled utterance may
    // still report "ready" late: only a return to ready after this utterance began counts.
    switch (QTextToSpeech::State(state)) {
    case QTextToSpeech::Speaking:
        m_sawSpeaking = true;
        break;
    case QTextToSpeech::Ready:
        if (!m_sawSpeaking)
            break;
        m_speaking = false;
        Q_EMIT finished();
        break;
    case QTextToSpeech::Error:
        m_speaking = false;
        Q_EMIT finished();
        break;
    case QTextToSpeech::Paused:
        break;
    }
}

} // namespace zelk
