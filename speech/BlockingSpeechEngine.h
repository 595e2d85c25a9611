#pragma once

#include "speech/SpeechEngine.h"

#include <QMutex>
#include <QWaitCondition>

#include <memory>

namespace zelk {

// Holds the engine thread inside a call of a BlockingSpeechEngine until released (which a
// test may never do: the call then blocks for the life of the process, as a
// speech-dispatcher without audio does). Shared between the test and the engines it
// blocks; safe from any thread.
class SpeechEngineGate
{
public:
    // Lets every held call return, and every later one pass.
    void release();
    // Calls held at this moment, and calls held in all.
    int heldNow() const;
    int heldInAll() const;
    // Blocks the calling thread until released.
    void hold();

private:
    mutable QMutex m_mutex;
    QWaitCondition m_released;
    bool m_open = false;
    int m_heldNow = 0;
    int m_heldInAll = 0;
};

// Test double of an engine whose calls never return: the chosen calls really block the
// engine thread on the gate (blocking calls, not slow replies). Utterances it does not
// block on never finish either. It offers one Swedish and one English voice.
class BlockingSpeechEngine final : public SpeechEngine
{
    Q_OBJECT

public:
    enum Call { Start = 0x1, Speak = 0x2, Stop = 0x4 };
    Q_DECLARE_FLAGS(Calls, Call)

    explicit BlockingSpeechEngine(Calls blocking, std::shared_ptr<SpeechEngineGate> gate, QObject *parent = nullptr);

    bool start(QString *errorText) override;
    QList<SpeechVoice> voices() const override;
    void setVoice(qsizetype) override {}
    void setRate(double) override {}
    void speak(const QString &text) override;
    void stop() override;

private:
    Calls m_blocking;
    std::shared_ptr<SpeechEngineGate> m_gate;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(BlockingSpeechEngine::Calls)

} // namespace zelk
