#pragma once

#include "speech/SpeechEngine.h"

#include <QList>
#include <QTimer>

namespace zelk {

// Test double of the speech engine: keeps what would have been spoken, in order, with the
// voice and rate in force at that moment and whether the utterance was allowed to finish.
// It finishes utterances by itself after a set time, or only when told.
class RecordingSpeechEngine final : public SpeechEngine
{
    Q_OBJECT

public:
    struct Utterance
    {
        QString text;
        QString voice; // description of the voice set, empty for the engine's default
        double rate = 0.0;
        bool finished = false; // spoken to the end (not cut off, not still speaking)
        bool stopped = false;  // cut off by stop()
    };

    static constexpr int kNeverFinish = -1;

    explicit RecordingSpeechEngine(QObject *parent = nullptr);

    // Test set-up.
    void setVoices(const QList<SpeechVoice> &voices) { m_voices = voices; }
    void setStartFails(bool fails) { m_startFails = fails; }
    // Milliseconds until a started utterance finishes by itself; kNeverFinish for an
    // engine that never reports the end.
    void setFinishAfter(int ms) { m_finishAfterMs = ms; }
    // Finishes the utterance in progress now.
    void finishCurrent();

    // What happened.
    const QList<Utterance> &utterances() const { return m_utterances; }
    QStringList spokenTexts() const;
    bool isSpeaking() const { return m_speaking; }
    int startCalls() const { return m_startCalls; }
    int stopCalls() const { return m_stopCalls; }
    QString currentVoice() const;
    qsizetype currentVoiceIndex() const { return m_voiceIndex; }
    double currentRate() const { return m_rate; }

    bool start(QString *errorText) override;
    QList<SpeechVoice> voices() const override { return m_voices; }
    void setVoice(qsizetype index) override;
    void setRate(double rate) override { m_rate = rate; }
    void speak(const QString &text) override;
    void stop() override;

private:
    QList<SpeechVoice> m_voices;
    QList<Utterance> m_utterances;
    QTimer m_finishTimer;
    qsizetype m_voiceIndex = -1;
    double m_rate = 0.0;
    int m_finishAfterMs = 0;
    int m_startCalls = 0;
    int m_stopCalls = 0;
    bool m_startFails = false;
    bool m_speaking = false;
};

} // namespace zelk
