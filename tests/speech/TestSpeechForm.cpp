#include "common/Prompts.h"
#include "common/Registry.h"
#include "common/Settings.h"
#include "speech/BlockingSpeechEngine.h"
#include "speech/RecordingSpeechEngine.h"
#include "speech/SpeechEngineFactory.h"
#include "speech/SpeechGlobals.h"
#include "speech/SpeechOutput.h"
#include "speech/TfrmSAPI51.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMutex>
#include <QSlider>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace zelk;

namespace {

class RecordingPrompts final : public UserPrompts
{
public:
    QStringList questions;
    int answer = kAnswerNo;
    bool holdAnswers = false; // the user has not answered yet
    std::function<void(int)> pendingAnswer;

    void showError(const QString &) override {}
    int askYesNo(const QString &text) override
    {
        questions.append(text);
        return answer;
    }
    void askYesNoNoWait(const QString &text, std::function<void(int)> answered) override
    {
        if (!holdAnswers) {
            UserPrompts::askYesNoNoWait(text, std::move(answered));
            return;
        }
        questions.append(text);
        pendingAnswer = std::move(answered);
    }
    void showFormBalloon(const QString &, QWidget *) override {}
    void showPointBalloon(const QString &, QPoint) override {}
};

const QString kFailureQuestion =
    u"Det gick inte att initiera Text-To-Speech funktionen!\n"
    u"Kontrollera att Microsoft Text-To-Speech Engine SAPI 5.1 är installerad korrekt!\n\n"
    u"Text-To-Speech funktionen är bortkopplad!\n\n"
    u"Vill du se detta meddelande igen?"_s;

// The engine's order as speech-dispatcher gives it: an unrelated default first, and the same
// description from two synthesiser modules.
QList<SpeechVoice> installedVoices()
{
    return {
        {u"Bishnupriya Manipuri"_s, QLocale::c()},
        {u"English (Great Britain)"_s, QLocale(QLocale::English, QLocale::UnitedKingdom)},
        {u"Swedish"_s, QLocale(QLocale::Swedish, QLocale::Sweden)},
        {u"Swedish+Adam"_s, QLocale(QLocale::Swedish, QLocale::Sweden)},
        {u"Swedish"_s, QLocale(QLocale::Swedish, QLocale::Sweden)},
    };
}

} // namespace

class TestSpeechForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void formCreate_fillsSortedListAndStartsSpeech();
    void voiceSelection_data();
    void voiceSelection();
    void storedRate_data();
    void storedRate();
    void rateChange_skipsAndSetsRate();
    void stopButton_skipsEverythingQueued();
    void failure_askedOnceAndNoStoresZero();
    void failure_yesKeepsAsking();
    void failure_questionDoesNotWaitForTheAnswer();
    void useSapi5_data();
    void useSapi5();
    void recreatedWhileWaiting_oldWaitEnds();
    void formCreate_returnsBeforeTheEngineStarted();
    void textsSaidWhileStarting_spokenOnceReady();
    void stuckEngine_givenUpSilentlyAndFormGoesAtOnce();

private:
    // Creates the form and lets its engine start; nullptr when the start did not end.
    TfrmSAPI51 *createForm(bool startFails = false);
    // The engines the factory handed out (created on the engine thread).
    QList<RecordingSpeechEngine *> engines() const;
    RecordingSpeechEngine *firstEngine() const { return engines().value(0); }

    QTemporaryDir m_registry;
    RecordingPrompts m_prompts;
    mutable QMutex m_mutex; // the factory runs on the engine thread
    QList<RecordingSpeechEngine *> m_engines;
    std::shared_ptr<SpeechEngineGate> m_startGate; // holds the factory while set
    bool m_blockingEngine = false;
    bool m_startFails = false;
    int m_finishAfter = RecordingSpeechEngine::kNeverFinish;
    QWidget m_owner;
};

void TestSpeechForm::initTestCase()
{
    QVERIFY(m_registry.isValid());
    qputenv("ZELK_REGISTRY_DIR", m_registry.path().toLocal8Bit());
    resetRegistryHives();
    PrepareFolders();
    setUserPrompts(&m_prompts);
    setSpeechEngineFactory([this]() -> std::unique_ptr<SpeechEngine> {
        std::shared_ptr<SpeechEngineGate> gate;
        {
            const QMutexLocker lock(&m_mutex);
            gate = m_startGate;
            if (m_blockingEngine)
                return std::make_unique<BlockingSpeechEngine>(BlockingSpeechEngine::Speak, gate);
        }
        if (gate)
            gate->hold();
        auto engine = std::make_unique<RecordingSpeechEngine>();
        engine->setVoices(installedVoices());
        const QMutexLocker lock(&m_mutex);
        engine->setStartFails(m_startFails);
        engine->setFinishAfter(m_finishAfter);
        m_engines.append(engine.get());
        return engine;
    });
}

QList<RecordingSpeechEngine *> TestSpeechForm::engines() const
{
    const QMutexLocker lock(&m_mutex);
    return m_engines;
}

void TestSpeechForm::init()
{
    QFile::remove(registryHiveFile(RegistryRoot::CurrentUser));
    QFile::remove(registryHiveFile(RegistryRoot::LocalMachine));
    resetRegistryHives();
    m_prompts.questions.clear();
    m_prompts.answer = kAnswerNo;
    m_prompts.holdAnswers = false;
    m_prompts.pendingAnswer = nullptr;
    const QMutexLocker lock(&m_mutex);
    m_engines.clear();
    m_startGate.reset();
    m_blockingEngine = false;
    m_finishAfter = RecordingSpeechEngine::kNeverFinish;
    m_startFails = false;
    SelectedVoice = u"ERROR"_s;
    SpeechAvailable = false;
    LastSpokenText.clear();
}

void TestSpeechForm::cleanup()
{
    delete frmSAPI51.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TfrmSAPI51 *TestSpeechForm::createForm(bool startFails)
{
    {
        const QMutexLocker lock(&m_mutex);
        m_startFails = startFails;
    }
    TfrmSAPI51 *form = CreateSpeechForm(&m_owner);
    return QTest::qWaitFor([form] { return !form->isStarting(); }, 10000) ? form : nullptr;
}

void TestSpeechForm::formCreate_fillsSortedListAndStartsSpeech()
{
    TfrmSAPI51 *form = createForm();
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), u"SAPI 5.1"_s);
    QVERIFY(!form->isVisible());
    QVERIFY(SpeechAvailable);
    QCOMPARE(form->cbVoices->count(), 5);
    QStringList listed;
    for (int i = 0; i < form->cbVoices->count(); ++i)
        listed.append(form->cbVoices->itemText(i));
    QCOMPARE(listed, (QStringList{u"Bishnupriya Manipuri"_s, u"English (Great Britain)"_s,
                                  u"Swedish"_s, u"Swedish"_s, u"Swedish+Adam"_s}));
    QCOMPARE(form->tbRate->minimum(), -10);
    QCOMPARE(form->tbRate->maximum(), 10);
    QCOMPARE(form->lblRate->text(), u"0"_s);
    QVERIFY(m_prompts.questions.isEmpty());

    QCOMPARE(form->voiceDescriptions(), listed);

    say(u"Anna 451224-5678"_s, kSpeakAsync);
    QTRY_COMPARE(firstEngine()->spokenTexts(), QStringList{u"Anna 45 12 24, 56 78"_s});
}

void TestSpeechForm::voiceSelection_data()
{
    QTest::addColumn<QString>("selectedVoice");
    QTest::addColumn<QString>("listSelection"); // empty: nothing selected
    QTest::addColumn<int>("engineVoice");

    QTest::newRow("exact match") << u"Swedish+Adam"_s << u"Swedish+Adam"_s << 3;
    QTest::newRow("first of equal descriptions") << u"Swedish"_s << u"Swedish"_s << 2;
    QTest::newRow("another language as chosen") << u"English (Great Britain)"_s
                                                << u"English (Great Britain)"_s << 1;
    QTest::newRow("letter case differs: Swedish instead") << u"swedish+adam"_s << QString() << 2;
    QTest::newRow("not stored: Swedish instead") << u"ERROR"_s << QString() << 2;
    QTest::newRow("uninstalled voice: Swedish instead") << u"Microsoft Anna"_s << QString() << 2;
}

void TestSpeechForm::voiceSelection()
{
    QFETCH(QString, selectedVoice);
    QFETCH(QString, listSelection);
    QFETCH(int, engineVoice);

    SelectedVoice = selectedVoice;
    TfrmSAPI51 *form = createForm();
    QVERIFY(form);
    QVERIFY(SpeechAvailable);
    if (listSelection.isEmpty())
        QCOMPARE(form->cbVoices->currentIndex(), -1);
    else
        QCOMPARE(form->cbVoices->currentText(), listSelection);
    QTRY_COMPARE(firstEngine()->currentVoiceIndex(), engineVoice);

    say(u"Kallar på Åsa"_s, kSpeakAsync);
    QTRY_COMPARE(firstEngine()->utterances().size(), 1);
    QCOMPARE(firstEngine()->utterances().first().voice, installedVoices().at(engineVoice).description);
}

void TestSpeechForm::storedRate_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("position");
    QTest::newRow("within range") << u"-4"_s << -4;
    QTest::newRow("above range") << u"15"_s << 10;
    QTest::newRow("below range") << u"-30"_s << -10;
    QTest::newRow("not a number") << u"fort"_s << 0;
    QTest::newRow("absent") << QString() << 0;
}

void TestSpeechForm::storedRate()
{
    QFETCH(QString, stored);
    QFETCH(int, position);
    if (!stored.isNull())
        WriteSetting(keys::SpeedSAPI51, stored);

    TfrmSAPI51 *form = createForm();
    QVERIFY(form);
    QCOMPARE(form->tbRate->value(), position);
    QCOMPARE(form->lblRate->text(), QString::number(position));
    QTRY_COMPARE(firstEngine()->currentRate(), position / 10.0);
}

void TestSpeechForm::rateChange_skipsAndSetsRate()
{
    TfrmSAPI51 *form = createForm();
    QVERIFY(form);
    RecordingSpeechEngine *engine = firstEngine();
    say(u"Anna"_s, kSpeakAsync);
    say(u"Bo"_s, kSpeakAsync);

    form->tbRate->setValue(5);
    QCOMPARE(form->lblRate->text(), u"5"_s);
    QVERIFY(form->SpVoice->queue()->isIdle());
    QTRY_COMPARE(engine->currentRate(), 0.5);
    QCOMPARE(engine->spokenTexts(), QStringList{u"Anna"_s});
    QVERIFY(engine->utterances().first().stopped);

    // The voice tab drives the rate without moving this slider.
    form->setVoiceRate(-10);
    QTRY_COMPARE(engine->currentRate(), -1.0);
    QCOMPARE(form->tbRate->value(), 5);
}

void TestSpeechForm::stopButton_skipsEverythingQueued()
{
    TfrmSAPI51 *form = createForm();
    QVERIFY(form);
    say(u"Anna"_s, kSpeakAsync);
    say(u"Bo"_s, kSpeakAsync);
    say(u"Cecilia"_s, kSpeakAsync);
    form->btnStop->click();
    QVERIFY(form->SpVoice->queue()->isIdle());
    QTRY_COMPARE(firstEngine()->stopCalls(), 1);
    QCOMPARE(firstEngine()->spokenTexts(), QStringList{u"Anna"_s});
    QVERIFY(firstEngine()->utterances().first().stopped);
}

void TestSpeechForm::failure_askedOnceAndNoStoresZero()
{
    QVERIFY(createForm(true));
    QVERIFY(!SpeechAvailable);
    QCOMPARE(m_prompts.questions, QStringList{kFailureQuestion});
    QCOMPARE(ReadSetting(keys::ShowErrorMsg2), u"0"_s);

    // Silent from now on, also in the next run, and nothing is spoken.
    say(u"Anna"_s, kSpeakWait);
    // (The failed engine is gone with its thread; nothing was queued for it.)
    QVERIFY(frmSAPI51->SpVoice->queue()->isIdle());
    QVERIFY(LastSpokenText.isEmpty());
    QVERIFY(createForm(true));
    QCOMPARE(m_prompts.questions.size(), 1);
}

void TestSpeechForm::failure_yesKeepsAsking()
{
    m_prompts.answer = kAnswerYes;
    QVERIFY(createForm(true));
    QCOMPARE(ReadSetting(keys::ShowErrorMsg2), u"ERROR"_s);
    QVERIFY(createForm(true));
    QCOMPARE(m_prompts.questions.size(), 2);
}

void TestSpeechForm::failure_questionDoesNotWaitForTheAnswer()
{
    m_prompts.holdAnswers = true;
    QVERIFY(createForm(true));
    QCOMPARE(m_prompts.questions, QStringList{kFailureQuestion});
    // The question is open, and the program goes on: timers run, say() returns.
    bool timerRan = false;
    QTimer::singleShot(0, this, [&timerRan] { timerRan = true; });
    QTRY_VERIFY(timerRan);
    say(u"Anna"_s, kSpeakWait);
    QCOMPARE(ReadSetting(keys::ShowErrorMsg2), u"ERROR"_s);

    QVERIFY(m_prompts.pendingAnswer);
    m_prompts.pendingAnswer(kAnswerNo);
    QCOMPARE(ReadSetting(keys::ShowErrorMsg2), u"0"_s);
}

void TestSpeechForm::useSapi5_data()
{
    QTest::addColumn<QString>("useSapi5");
    QTest::addColumn<bool>("created");
    QTest::newRow("on") << u"1"_s << true;
    QTest::newRow("off") << u"0"_s << false;
    QTest::newRow("boolean true is not on") << u"-1"_s << false;
    QTest::newRow("absent") << QString() << false;
}

void TestSpeechForm::useSapi5()
{
    QFETCH(QString, useSapi5);
    QFETCH(bool, created);
    if (!useSapi5.isNull())
        WriteSetting(keys::UseSAPI5, useSapi5);
    WriteSetting(keys::VoiceSAPI51, u"Swedish+Adam"_s);
    m_startFails = !created; // a form made although speech is off would ask the question

    LoadSpeechSettings(&m_owner);
    QCOMPARE(SelectedVoice, u"Swedish+Adam"_s);
    QCOMPARE(!frmSAPI51.isNull(), created);
    if (created)
        QTRY_VERIFY(!frmSAPI51->isStarting());
    QCOMPARE(SpeechAvailable, created);
    QCOMPARE(engines().size(), created ? 1 : 0);
    QVERIFY(m_prompts.questions.isEmpty());

    say(u"Anna"_s, kSpeakAsync);
    QCOMPARE(LastSpokenText.isEmpty(), !created);
    if (created) {
        QTRY_COMPARE(firstEngine()->utterances().size(), 1);
        QCOMPARE(firstEngine()->utterances().first().voice, u"Swedish+Adam"_s);
    }
}

void TestSpeechForm::recreatedWhileWaiting_oldWaitEnds()
{
    WriteSetting(keys::UseSAPI5, u"1"_s);
    LoadSpeechSettings(&m_owner);
    QPointer<TfrmSAPI51> first = frmSAPI51;
    QTRY_VERIFY(SpeechAvailable);
    // A connection made while a waiting text is spoken discards and recreates the form.
    QTimer::singleShot(10, this, [this] { LoadSpeechSettings(&m_owner); });
    say(u"Anna kallad"_s, kSpeakWait);

    QVERIFY(frmSAPI51 && frmSAPI51 != first);
    QTRY_VERIFY(SpeechAvailable);
    QTRY_VERIFY(first.isNull());
    QCOMPARE(engines().size(), 2);
}

void TestSpeechForm::formCreate_returnsBeforeTheEngineStarted()
{
    m_startGate = std::make_shared<SpeechEngineGate>();
    TfrmSAPI51 *form = CreateSpeechForm(&m_owner);
    // The engine thread is held inside the engine's creation, and the form is there.
    QTRY_COMPARE(m_startGate->heldNow(), 1);
    QVERIFY(form->isStarting());
    QVERIFY(!SpeechAvailable);
    QCOMPARE(form->cbVoices->count(), 0);

    QSignalSpy finished(form, &TfrmSAPI51::startFinished);
    m_startGate->release();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
    QVERIFY(SpeechAvailable);
    QCOMPARE(form->cbVoices->count(), 5);
}

void TestSpeechForm::textsSaidWhileStarting_spokenOnceReady()
{
    m_startGate = std::make_shared<SpeechEngineGate>();
    m_finishAfter = 0;
    WriteSetting(keys::SpeedSAPI51, u"3"_s);
    TfrmSAPI51 *form = CreateSpeechForm(&m_owner);
    QTRY_COMPARE(m_startGate->heldNow(), 1);

    say(u"Anna"_s, kSpeakAsync);
    say(u"Bo"_s, kSpeakAsync);
    QCOMPARE(form->SpVoice->queue()->waitingCount(), 2);
    // The waiting call keeps the loop running until its text, the last, has been spoken.
    QTimer::singleShot(20, this, [this] { m_startGate->release(); });
    say(u"Cecilia kallad"_s, kSpeakWait);

    const QList<RecordingSpeechEngine::Utterance> spoken = firstEngine()->utterances();
    QCOMPARE(spoken.size(), 3);
    QStringList texts;
    for (const auto &utterance : spoken) {
        texts.append(utterance.text);
        // With the voice and rate chosen at the start, before the first word.
        QCOMPARE(utterance.voice, u"Swedish"_s);
        QCOMPARE(utterance.rate, 0.3);
        QVERIFY(utterance.finished);
    }
    QCOMPARE(texts, (QStringList{u"Anna"_s, u"Bo"_s, u"Cecilia kallad"_s}));
}

void TestSpeechForm::stuckEngine_givenUpSilentlyAndFormGoesAtOnce()
{
    m_blockingEngine = true;
    m_startGate = std::make_shared<SpeechEngineGate>(); // never released
    QPointer<TfrmSAPI51> form = createForm();
    QVERIFY(form);
    QVERIFY(SpeechAvailable);
    form->SpVoice->engineHost()->setTimeLimits(std::chrono::milliseconds(100), std::chrono::seconds(60));
    form->SpVoice->queue()->setTimeLimit(50, 0);

    // speak() blocks the engine thread; the waiting call still ends with its time limit.
    say(u"Anna"_s, kSpeakWait);
    QTRY_COMPARE(m_startGate->heldNow(), 1);
    // The engine is abandoned, its successor blocks as well, and speech is given up.
    QTRY_COMPARE(form->SpVoice->engineHost()->abandonedEngines(), 1);
    QTRY_VERIFY(form->SpVoice->engineHost()->isReady());
    QVERIFY(SpeechAvailable);
    say(u"Bo"_s, kSpeakAsync);
    QTRY_VERIFY(!SpeechAvailable);
    QTRY_COMPARE(m_startGate->heldNow(), 2);
    QCOMPARE(form->SpVoice->engineHost()->abandonedEngines(), 2);
    QVERIFY(m_prompts.questions.isEmpty());
    QVERIFY(form->SpVoice->queue()->isIdle());

    say(u"Cecilia"_s, kSpeakWait);
    QVERIFY(form->SpVoice->queue()->isIdle());
    // The form goes at once, leaving both blocked threads behind.
    delete form.data();
    QCOMPARE(m_startGate->heldNow(), 2);
}

QTEST_MAIN(TestSpeechForm)
#include "TestSpeechForm.moc"
