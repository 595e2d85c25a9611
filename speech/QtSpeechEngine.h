#pragma once

#include "speech/SpeechEngine.h"

#include <QList>
#include <QVoice>

#include <chrono>

class QTextToSpeech;

namespace zelk {

// The engine over Qt's text-to-speech (speech-dispatcher with espeak-ng on Linux, SAPI on
// Windows). A voice is described by its name; the list holds the voices of every locale the
// engine offers, in the engine's order.
class QtSpeechEngine final : public SpeechEngine
{
    Q_OBJECT

public:
    // An empty engine name takes speech-dispatcher where it is installed, else Qt's default.
    explicit QtSpeechEngine(const QString &engineName = QString(), QObject *parent = nullptr);
    ~QtSpeechEngine() override;

    bool start(QString *errorText) override;
    QList<SpeechVoice> voices() const override;
    void setVoice(qsizetype index) override;
    void setRate(double rate) override;
    void speak(const QString &text) override;
    void stop() override;

    // The state of the underlying engine (QTextToSpeech::State), for diagnostics and tests.
    int engineState() const;

    // How often start() connects before it gives up, and the pause between two tries.
    static constexpr int kConnectAttempts = 10;
    static constexpr std::chrono::milliseconds kConnectPause{500};

Q_SIGNALS:
    void engineStateChanged(int state);

private:
    void stateChanged(int state);

    QString m_engineName;
    QTextToSpeech *m_tts = nullptr; // child of this object
    QList<QVoice> m_voices;
    bool m_speaking = false;
    bool m_sawSpeaking = false;
};

} // namespace zelk
