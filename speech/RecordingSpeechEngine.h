#pragma once

#include "speech/SpeechEngine.h"

#include <QList>
#include <QMutex>
#include <QTimer>

#include <atomic>

namespace zelk {

// Test double of the speech engine: keeps what would have been spoken, in order, with the
// voice and rate in force at that moment and whether the utterance was allowed to finish.
// It finishes utterances by itself after a set time, or only when told.
//
// It runs on the speech engine thread like the real engine; what it recorded can be read
// from any thread, and finishCurrent() may be called from any thread (it then takes effect
// on the engine thread a moment later).
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
    void setVoices(const QList<SpeechVoice> &voices);
    void setStartFails(bool fails) { m_startFails = fails; }
    // Milliseconds until a started utterance finishes by itself; kNeverFinish for an
    // engine that never reports the end.
    void setFinishAfter(int ms) { m_finishAfterMs = ms; }
    // Finishes the utterance in progress now.
    void finishCurrent();

    // What happened.
    QList<Utterance> utterances() const;
    QStringList spokenTexts() const;
    bool isSpeaking() const;
    int startCalls() const { return m_startCalls; }
    int stopCalls() const { return m_stopCalls; }
    QString currentVoice() const;
    qsizetype currentVoiceIndex() const;
    double currentRate() const;

    bool start(QString *errorText) override;
    QList<SpeechVoice> voices() const override;
    void setVoice(qsizetype index) override;
    void setRate(double rate) override;
    void speak(const QString &text) override;
    void stop() override;

private:
    QString currentVoiceLocked() const;

    mutable QMutex m_mutex; // guards everything the test thread reads
    QList<SpeechVoice> m_voices;
    QList<Utterance> m_utterances;
    qsizetype m_voiceIndex = -1;
    double m_rate = 0.0;
    bool m_speaking = false;
    QTimer m_finishTimer; // engine thread only
    std::atomic<int> m_finishAfterMs = 0;
    std::atomic<int> m_startCalls = 0;
    std::atomic<int> m_stopCalls = 0;
    std::atomic<bool> m_startFails = false;
};

} // namespace zelk
