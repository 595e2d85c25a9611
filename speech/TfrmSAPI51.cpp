#include "speech/TfrmSAPI51.h"

#include "common/Prompts.h"
#include "common/Settings.h"
#include "speech/SpeechEngineFactory.h"
#include "speech/SpeechGlobals.h"
#include "speech/SpeechOutput.h"
#include "speech/SpeechVoices.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStringListModel>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace zelk {

QPointer<TfrmSAPI51> frmSAPI51;

namespace {
// Counts every clearing of SpeechAvailable by a (re)load of the speech settings: a form
// whose engine reports back after that has been superseded and leaves SpeechAvailable be.
quint64 availabilityEpoch = 0;

void clearSpeechAvailable()
{
    SpeechAvailable = false;
    ++availabilityEpoch;
}
} // namespace

TfrmSAPI51::TfrmSAPI51(QWidget *parent, SpeechEngineFactory factory)
    : QWidget(parent, Qt::Window)
    , m_availabilityEpoch(availabilityEpoch)
{
    setWindowTitle(u"SAPI 5.1"_s);
    buildControls();
    SpVoice = new SpeechOutput(std::move(factory), this);
    FormCreate();
}

TfrmSAPI51::~TfrmSAPI51() = default;

QStringList TfrmSAPI51::voiceDescriptions() const
{
    return m_voiceModel->stringList();
}

bool TfrmSAPI51::isCurrentForm() const
{
    return m_availabilityEpoch == availabilityEpoch;
}

void TfrmSAPI51::buildControls()
{
    auto *voicesLabel = new QLabel(u"&Speech engines"_s, this);
    cbVoices = new QComboBox(this);
    cbVoices->setObjectName(u"cbVoices"_s);
    // Some 27000 voices: a list model filled in one go, and a width that does not measure
    // every entry.
    m_voiceModel = new QStringListModel(this);
    cbVoices->setModel(m_voiceModel);
    cbVoices->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbVoices->setMinimumContentsLength(30);
    voicesLabel->setBuddy(cbVoices);

    auto *attributes = new QGroupBox(u" &Attributes "_s, this);
    auto *rateLabel = new QLabel(u"R&ate:"_s, attributes);
    tbRate = new QSlider(Qt::Horizontal, attributes);
    tbRate->setObjectName(u"tbRate"_s);
    tbRate->setRange(kRateMin, kRateMax);
    tbRate->setValue(0);
    rateLabel->setBuddy(tbRate);
    lblRate = new QLabel(u"0"_s, attributes);
    lblRate->setObjectName(u"lblRate"_s);
    btnStop = new QToolButton(this);
    btnStop->setObjectName(u"btnStop"_s);
    btnStop->setText(u"Stop"_s);

    auto *rateRow = new QHBoxLayout;
    rateRow->addWidget(rateLabel);
    rateRow->addWidget(new QLabel(u"-10"_s, attributes));
    rateRow->addWidget(tbRate, 1);
    rateRow->addWidget(new QLabel(u"10"_s, attributes));
    rateRow->addWidget(lblRate);
    attributes->setLayout(rateRow);

    auto *voiceRow = new QHBoxLayout;
    voiceRow->addWidget(cbVoices, 1);
    voiceRow->addWidget(btnStop);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(voicesLabel);
    layout->addLayout(voiceRow);
    layout->addWidget(attributes);

    // Only a user's choice runs the handler; programmatic selections call it themselves.
    connect(cbVoices, &QComboBox::activated, this, &TfrmSAPI51::cbVoicesChange);
    connect(tbRate, &QSlider::valueChanged, this, &TfrmSAPI51::tbRateChange);
    connect(btnStop, &QToolButton::clicked, this, &TfrmSAPI51::btnStopClick);
}

void TfrmSAPI51::FormCreate()
{
    // The engine thread is already starting; the outcome comes back through these.
    SpeechEngineHost *host = SpVoice->engineHost();
    connect(host, &SpeechEngineHost::started, this, &TfrmSAPI51::engineStarted);
    connect(host, &SpeechEngineHost::unavailable, this, &TfrmSAPI51::engineUnavailable);
}

void TfrmSAPI51::engineStarted(const SpeechStartResult &result)
{
    m_starting = false;
    if (!result.ok) {
        if (isCurrentForm()) {
            SpeechAvailable = false;
            AskSpeechFailureQuestion();
        }
        Q_EMIT startFinished(false);
        return;
    }
    SOTokens = result.voices;
    m_voiceModel->setStringList(result.sortedDescriptions);

    // The first entry in sorted order that equals the stored description exactly.
    cbVoices->setCurrentIndex(int(result.sortedDescriptions.indexOf(SelectedVoice)));
    if (cbVoices->currentIndex() >= 0) {
        cbVoicesChange();
    } else {
        // Nothing selected in the list, but the engine's default voice may speak any
        // language, and everything this program says is Swedish.
        const qsizetype swedish = findSwedishVoice(SOTokens);
        if (swedish >= 0)
            SpVoice->engineHost()->setVoice(swedish);
    }

    // The slider limits a stored rate to its range; text that is no number counts as 0.
    // Its change handler would skip the texts said while the engine started: done by hand.
    const QSignalBlocker noSkip(tbRate);
    tbRate->setValue(clampRatePosition(readIntSetting(keys::SpeedSAPI51, defaults::SpeedSAPI51)));
    lblRate->setText(QString::number(tbRate->value()));
    SpVoice->engineHost()->setRate(engineRateForPosition(tbRate->value()));
    if (isCurrentForm())
        SpeechAvailable = true;
    else
        SpVoice->skip(); // superseded while starting: what was said meanwhile stays unsaid
    Q_EMIT startFinished(true);
}

void TfrmSAPI51::engineUnavailable()
{
    m_starting = false;
    // Given up for the rest of the run (the queue has already let go of its texts);
    // speech errors stay silent.
    if (isCurrentForm())
        SpeechAvailable = false;
}

void TfrmSAPI51::say(const QString &sayString, int flags)
{
    SpVoice->say(sayString, flags);
}

void TfrmSAPI51::cbVoicesChange()
{
    const QString description = cbVoices->currentText();
    if (cbVoices->currentIndex() < 0)
        return;
    const qsizetype index = findVoiceByDescription(SOTokens, description);
    if (index >= 0)
        SpVoice->engineHost()->setVoice(index);
}

void TfrmSAPI51::tbRateChange()
{
    btnStopClick();
    SpVoice->engineHost()->setRate(engineRateForPosition(tbRate->value()));
    lblRate->setText(QString::number(tbRate->value()));
}

void TfrmSAPI51::btnStopClick()
{
    SpVoice->skip();
}

void TfrmSAPI51::setVoiceRate(int position)
{
    SpVoice->engineHost()->setRate(engineRateForPosition(position));
}

TfrmSAPI51 *CreateSpeechForm(QWidget *owner)
{
    clearSpeechAvailable();
    if (frmSAPI51) {
        // A waiting say() of the old form may be on the stack below us (a connection can
        // be made while a text is spoken), so the old form goes away later, not here.
        TfrmSAPI51 *old = frmSAPI51;
        frmSAPI51 = nullptr;
        old->SpVoice->skip();
        old->deleteLater();
    }
    frmSAPI51 = new TfrmSAPI51(owner);
    return frmSAPI51;
}

void LoadSpeechSettings(QWidget *owner)
{
    SelectedVoice = ReadSetting(keys::VoiceSAPI51);
    clearSpeechAvailable();
    if (ReadSetting(keys::UseSAPI5) == u"1")
        CreateSpeechForm(owner);
}

void say(const QString &sayString, int flags)
{
    if (frmSAPI51)
        frmSAPI51->say(sayString, flags);
}

void AskSpeechFailureQuestion()
{
    if (ReadSetting(keys::ShowErrorMsg2) == u"0")
        return;
    const QString question = u"Det gick inte att initiera Text-To-Speech funktionen!\n"
                             u"Kontrollera att Microsoft Text-To-Speech Engine SAPI 5.1 är installerad korrekt!\n\n"
                             u"Text-To-Speech funktionen är bortkopplad!\n\n"
                             u"Vill du se detta meddelande igen?"_s;
    // Nothing waits for the answer: connections and the pedal go on meanwhile.
    AskYesNoNoWait(question, [](int answer) {
        if (answer != kAnswerYes)
            WriteSetting(keys::ShowErrorMsg2, u"0"_s);
    });
}

} // namespace zelk
