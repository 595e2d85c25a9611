#pragma once

#include "speech/SpeechEngine.h"
#include "speech/SpeechEngineFactory.h"

#include <QObject>
#include <QStringList>

#include <memory>

namespace zelk {

// What the engine thread reports once the engine has started (or failed to).
struct SpeechStartResult
{
    bool ok = false;
    QString errorText;
    QList<SpeechVoice> voices;      // in the engine's order
    QStringList sortedDescriptions; // as the voice list shows them
};

// Lives on the engine thread and owns the engine there: the engine is created, used and
// destroyed on that thread only, since every call into it may block for ever. The host
// reaches it through queued calls; each call is acknowledged once the engine has returned,
// which is how the host tells a stuck engine from a busy one.
class SpeechEngineWorker final : public QObject
{
    Q_OBJECT

public:
    // An empty factory takes the one installed with setSpeechEngineFactory().
    explicit SpeechEngineWorker(SpeechEngineFactory factory);
    ~SpeechEngineWorker() override;

    void start(quint64 command);
    void setVoice(quint64 command, qsizetype index);
    void setRate(quint64 command, double rate);
    void speak(quint64 command, quint64 utterance, const QString &text);
    void stop(quint64 command);

Q_SIGNALS:
    void acknowledged(quint64 command);
    void started(quint64 command, const zelk::SpeechStartResult &result);
    void utteranceFinished(quint64 utterance);

private:
    void engineFinished();

    SpeechEngineFactory m_factory;
    std::unique_ptr<SpeechEngine> m_engine;
    quint64 m_utterance = 0; // the one being spoken, 0 when none
};

} // namespace zelk
