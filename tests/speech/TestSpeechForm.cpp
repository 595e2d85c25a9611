#include "common/Prompts.h"
#include "common/Registry.h"
#include "common/Settings.h"
#include "speech/RecordingSpeechEngine.h"
#include "speech/SpeechEngineFactory.h"
#include "speech/SpeechGlobals.h"
#include "speech/SpeechOutput.h"
#include "speech/TfrmSAPI51.h"

#include <QComboBox>
#include <QLabel>
#include <QSlider>
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

    void showError(const QString &) override {}
    int askYesNo(const QString &text) override
    {
        questions.append(text);
        return answer;
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
    void useSapi5_data();
    void useSapi5();
    void recreatedWhileWaiting_oldWaitEnds();

private:
    TfrmSAPI51 *createForm(bool startFails = false);

    QTemporaryDir m_registry;
    RecordingPrompts m_prompts;
    QList<QPointer<RecordingSpeechEngine>> m_engines; // every engine the factory handed out
    QWidget m_owner;
    bool m_startFails = false;
};

void TestSpeechForm::initTestCase()
{
    QVERIFY(m_registry.isValid());
    qputenv("ZELK_REGISTRY_DIR", m_registry.path().toLocal8Bit());
    resetRegistryHives();
    PrepareFolders();
    setUserPrompts(&m_prompts);
    setSpeechEngineFactory([this] {
        auto engine = std::make_unique<RecordingSpeechEngine>();
        engine->setVoices(installedVoices());
        engine->setStartFails(m_startFails);
        engine->setFinishAfter(RecordingSpeechEngine::kNeverFinish);
        m_engines.append(engine.get());
        return engine;
    });
}

void TestSpeechForm::init()
{
    QFile::remove(registryHiveFile(RegistryRoot::CurrentUser));
    QFile::remove(registryHiveFile(RegistryRoot::LocalMachine));
    resetRegistryHives();
    m_prompts.questions.clear();
    m_prompts.answer = kAnswerNo;
    m_engines.clear();
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
    m_startFails = startFails;
    return CreateSpeechForm(&m_owner);
}

void TestSpeechForm::formCreate_fillsSortedListAndStartsSpeech()
{
    TfrmSAPI51 *form = createForm();
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

    say(u"Anna 451224-5678"_s, kSpeakAsync);
    QCOMPARE(m_engines.first()->spokenTexts(), QStringList{u"Anna 45 12 24, 56 78"_s});
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
    QVERIFY(SpeechAvailable);
    if (listSelection.isEmpty())
        QCOMPARE(form->cbVoices->currentIndex(), -1);
    else
        QCOMPARE(form->cbVoices->currentText(), listSelection);
    QCOMPARE(m_engines.first()->currentVoiceIndex(), engineVoice);

    say(u"Kallar på Åsa"_s, kSpeakAsync);
    QCOMPARE(m_engines.first()->utterances().first().voice, installedVoices().at(engineVoice).description);
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
    QCOMPARE(form->tbRate->value(), position);
    QCOMPARE(form->lblRate->text(), QString::number(position));
    QCOMPARE(m_engines.first()->currentRate(), position / 10.0);
}

void TestSpeechForm::rateChange_skipsAndSetsRate()
{
    TfrmSAPI51 *form = createForm();
    RecordingSpeechEngine *engine = m_engines.first();
    say(u"Anna"_s, kSpeakAsync);
    say(u"Bo"_s, kSpeakAsync);

    form->tbRate->setValue(5);
    QCOMPARE(form->lblRate->text(), u"5"_s);
    QCOMPARE(engine->currentRate(), 0.5);
    QVERIFY(engine->utterances().first().stopped);
    QVERIFY(form->SpVoice->queue()->isIdle());

    // The voice tab drives the rate without moving this slider.
    form->setVoiceRate(-10);
    QCOMPARE(engine->currentRate(), -1.0);
    QCOMPARE(form->tbRate->value(), 5);
}

void TestSpeechForm::stopButton_skipsEverythingQueued()
{
    TfrmSAPI51 *form = createForm();
    say(u"Anna"_s, kSpeakAsync);
    say(u"Bo"_s, kSpeakAsync);
    say(u"Cecilia"_s, kSpeakAsync);
    form->btnStop->click();
    QVERIFY(form->SpVoice->queue()->isIdle());
    QCOMPARE(m_engines.first()->spokenTexts(), QStringList{u"Anna"_s});
    QVERIFY(m_engines.first()->utterances().first().stopped);
}

void TestSpeechForm::failure_askedOnceAndNoStoresZero()
{
    createForm(true);
    QVERIFY(!SpeechAvailable);
    QCOMPARE(m_prompts.questions, QStringList{kFailureQuestion});
    QCOMPARE(ReadSetting(keys::ShowErrorMsg2), u"0"_s);

    // Silent from now on, also in the next run, and nothing is spoken.
    say(u"Anna"_s, kSpeakWait);
    QVERIFY(m_engines.first()->utterances().isEmpty());
    createForm(true);
    QCOMPARE(m_prompts.questions.size(), 1);
}

void TestSpeechForm::failure_yesKeepsAsking()
{
    m_prompts.answer = kAnswerYes;
    createForm(true);
    QCOMPARE(ReadSetting(keys::ShowErrorMsg2), u"ERROR"_s);
    createForm(true);
    QCOMPARE(m_prompts.questions.size(), 2);
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
    QCOMPARE(SpeechAvailable, created);
    QCOMPARE(m_engines.size(), created ? 1 : 0);
    QVERIFY(m_prompts.questions.isEmpty());

    say(u"Anna"_s, kSpeakAsync);
    QCOMPARE(LastSpokenText.isEmpty(), !created);
    if (created)
        QCOMPARE(m_engines.first()->utterances().first().voice, u"Swedish+Adam"_s);
}

void TestSpeechForm::recreatedWhileWaiting_oldWaitEnds()
{
    WriteSetting(keys::UseSAPI5, u"1"_s);
    LoadSpeechSettings(&m_owner);
    QPointer<TfrmSAPI51> first = frmSAPI51;
    // A connection made while a waiting text is spoken discards and recreates the form.
    QTimer::singleShot(10, this, [this] { LoadSpeechSettings(&m_owner); });
    say(u"Anna kallad"_s, kSpeakWait);

    QVERIFY(frmSAPI51 && frmSAPI51 != first);
    QVERIFY(SpeechAvailable);
    QTRY_VERIFY(first.isNull());
    QCOMPARE(m_engines.size(), 2);
}

QTEST_MAIN(TestSpeechForm)
#include "TestSpeechForm.moc"
