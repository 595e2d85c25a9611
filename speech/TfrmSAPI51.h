#pragma once

#include "speech/SpeechEngine.h"
#include "speech/SpeechEngineFactory.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QStringListModel;
class QLabel;
class QSlider;
class QToolButton;

namespace zelk {

class SpeechOutput;
struct SpeechStartResult;

// The hidden speech form: holds the voice, the list of installed voices and the rate
// slider, and speaks through say(). The voice tab of the administration dialog mirrors and
// drives its voice list and rate. Created only when speech is enabled; when the engine
// cannot start, SpeechAvailable stays false and every say() is silent.
//
// The engine starts on its own thread: the form returns at once, the voice list, the voice
// and the rate follow when the engine reports back (startFinished()), and texts said
// meanwhile wait for it. Destroying the form never waits for the engine.
class TfrmSAPI51 : public QWidget
{
    Q_OBJECT

public:
    // Without a factory, the installed speech-engine factory supplies the engine.
    explicit TfrmSAPI51(QWidget *parent = nullptr, SpeechEngineFactory factory = {});
    ~TfrmSAPI51() override;

    // True until the engine has reported whether it works.
    bool isStarting() const { return m_starting; }
    // The voice descriptions as cbVoices lists them (sorted), for the voice tab.
    QStringList voiceDescriptions() const;

    void say(const QString &sayString, int flags);

    // Makes the voice whose description is selected in cbVoices the voice of SpVoice.
    void cbVoicesChange();
    // Runs on every change of the slider position.
    void tbRateChange();
    // Skips everything queued.
    void btnStopClick();

    // The voice tab sets the rate of the voice without moving this form's slider.
    void setVoiceRate(int position);

    SpeechOutput *SpVoice = nullptr;
    QList<SpeechVoice> SOTokens; // the installed voices in the engine's order
    QComboBox *cbVoices = nullptr;
    QSlider *tbRate = nullptr;
    QLabel *lblRate = nullptr;
    QToolButton *btnStop = nullptr;

Q_SIGNALS:
    // The engine has started (SpeechAvailable set, voices listed) or failed.
    void startFinished(bool ok);

private:
    void FormCreate();
    void engineStarted(const SpeechStartResult &result);
    void engineUnavailable();
    bool isCurrentForm() const;
    void buildControls();

    QStringListModel *m_voiceModel = nullptr;
    quint64 m_availabilityEpoch = 0;
    bool m_starting = true;
};

// The one speech form of the program; empty while none exists.
extern QPointer<TfrmSAPI51> frmSAPI51;

// Discards the speech form, if any, and creates a new one owned by owner. Returns at once;
// SpeechAvailable says whether it works once its startFinished() has come.
TfrmSAPI51 *CreateSpeechForm(QWidget *owner);

// What start-up and the first connection do: re-read the chosen voice, clear
// SpeechAvailable and, when "UseSAPI5" is exactly "1", create the speech form anew.
void LoadSpeechSettings(QWidget *owner);

// say() on the speech form when there is one; silent otherwise.
void say(const QString &sayString, int flags);

// The question shown when speech could not be started, unless the user turned it off.
// Returns at once; the answer is stored when it comes.
void AskSpeechFailureQuestion();

} // namespace zelk
