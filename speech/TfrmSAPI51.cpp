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
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace zelk {

QPointer<TfrmSAPI51> frmSAPI51;

TfrmSAPI51::TfrmSAPI51(QWidget *parent, std::unique_ptr<SpeechEngine> engine)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(u"SAPI 5.1"_s);
    buildControls();
    SpVoice = new SpeechOutput(engine ? std::move(engine) : createSpeechEngine(), this);
    FormCreate();
}

TfrmSAPI51::~TfrmSAPI51() = default;

void TfrmSAPI51::buildControls()
{
    auto *voicesLabel = new QLabel(u"&Speech engines"_s, this);
    cbVoices = new QComboBox(this);
    cbVoices->setObjectName(u"cbVoices"_s);
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
    QString errorText;
    if (!SpVoice->engine() || !SpVoice->engine()->start(&errorText)) {
        SpeechAvailable = false;
        AskSpeechFailureQuestion();
        return;
    }
    SOTokens = SpVoice->engine()->voices();
    cbVoices->clear();
    cbVoices->addItems(sortedVoiceDescriptions(SOTokens));

    cbVoices->setCurrentIndex(cbVoices->findText(SelectedVoice, Qt::MatchExactly | Qt::MatchCaseSensitive));
    if (cbVoices->currentIndex() >= 0) {
        cbVoicesChange();
    } else {
        // Nothing selected in the list, but the engine's default voice may speak any
        // language, and everything this program says is Swedish.
        const qsizetype swedish = findSwedishVoice(SOTokens);
        if (swedish >= 0)
            SpVoice->engine()->setVoice(swedish);
    }

    // The slider limits a stored rate to its range; text that is no number counts as 0.
    tbRate->setValue(clampRatePosition(readIntSetting(keys::SpeedSAPI51, defaults::SpeedSAPI51)));
    SpVoice->engine()->setRate(engineRateForPosition(tbRate->value()));
    SpeechAvailable = true;
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
    if (index >= 0 && SpVoice->engine())
        SpVoice->engine()->setVoice(index);
}

void TfrmSAPI51::tbRateChange()
{
    btnStopClick();
    if (SpVoice->engine())
        SpVoice->engine()->setRate(engineRateForPosition(tbRate->value()));
    lblRate->setText(QString::number(tbRate->value()));
}

void TfrmSAPI51::btnStopClick()
{
    SpVoice->skip();
}

void TfrmSAPI51::setVoiceRate(int position)
{
    if (SpVoice->engine())
        SpVoice->engine()->setRate(engineRateForPosition(position));
}

TfrmSAPI51 *CreateSpeechForm(QWidget *owner)
{
    SpeechAvailable = false;
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
    SpeechAvailable = false;
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
    if (AskYesNo(question) != kAnswerYes)
        WriteSetting(keys::ShowErrorMsg2, u"0"_s);
}

} // namespace zelk
