#pragma once

#include "speech/SpeechEngine.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QSlider;
class QToolButton;

namespace zelk {

class SpeechOutput;

// The hidden speech form: holds the voice, the list of installed voices and the rate
// slider, and speaks through say(). The voice tab of the administration dialog mirrors and
// drives its voice list and rate. Created only when speech is enabled; when the engine
// cannot start, SpeechAvailable stays false and every say() is silent.
class TfrmSAPI51 : public QWidget
{
    Q_OBJECT

public:
    // Without an engine, the installed speech-engine factory supplies one.
    explicit TfrmSAPI51(QWidget *parent = nullptr, std::unique_ptr<SpeechEngine> engine = {});
    ~TfrmSAPI51() override;

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

private:
    void FormCreate();
    void buildControls();
};

// The one speech form of the program; empty while none exists.
extern QPointer<TfrmSAPI51> frmSAPI51;

// Discards the speech form, if any, and creates a new one owned by owner. SpeechAvailable
// says whether it works.
TfrmSAPI51 *CreateSpeechForm(QWidget *owner);

// What start-up and the first connection do: re-read the chosen voice, clear
// SpeechAvailable and, when "UseSAPI5" is exactly "1", create the speech form anew.
void LoadSpeechSettings(QWidget *owner);

// say() on the speech form when there is one; silent otherwise.
void say(const QString &sayString, int flags);

// The question shown when speech could not be started, unless the user turned it off.
void AskSpeechFailureQuestion();

} // namespace zelk
