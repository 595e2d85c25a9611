// The real engine, speech-dispatcher with espeak-ng, on its engine thread: a private
// dispatcher with a WAV file for a sound device (utterances end), and one without a
// working sound device (it stays "speaking" for ever and may never answer a stop).
#include "common/Registry.h"
#include "common/Settings.h"
#include "speech/SpeechEngineHost.h"
#include "speech/SpeechEngineWorker.h"
#include "speech/SpeechGlobals.h"
#include "speech/SpeechOutput.h"
#include "speech/SpeechVoices.h"
#include "speech/TfrmSAPI51.h"
#include "tests/speech/PrivateSpeechDispatcher.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <memory>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace zelk;
using namespace zelk::speechtest;

namespace {

// Counts the ticks of a 10 ms timer and the longest gap between two: a user-interface
// thread that blocks shows as a gap as long as the block.
class LoopWatch
{
public:
    LoopWatch()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            m_longestGapMs = qMax(m_longestGapMs, m_sinceLast.restart());
            ++m_ticks;
        });
        m_sinceLast.start();
        m_timer.start();
    }
    int ticks() const { return m_ticks; }
    qint64 longestGapMs() const { return m_longestGapMs; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_longestGapMs = 0;
    int m_ticks = 0;
};

} // namespace

class TestSpeechEngineSpeechd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void wavDevice_formComesUpAtOnceAndSpeaks();
    void noAudioDevice_sayAndStopNeverStallTheLoop();
    void allVoices_formAndVoiceListTimes();
    void dispatcherSpawnedWhileEnginesConnect_everyEngineStarts();
    void dispatcherGoesAway_theProgramLivesOn();

private:
    bool startDispatcher(PrivateSpeechDispatcher &dispatcher);

    QTemporaryDir m_registry;
    QWidget m_owner;
};

void TestSpeechEngineSpeechd::initTestCase()
{
    const QString missing = PrivateSpeechDispatcher::missingPrerequisite();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY(m_registry.isValid());
    qputenv("ZELK_REGISTRY_DIR", m_registry.path().toLocal8Bit());
    resetRegistryHives();
    PrepareFolders();
    // Qt's speech-dispatcher plugin starts with a voice of the default locale and fails
    // when there is none; the small voice list has no voice for the C locale.
    QLocale::setDefault(QLocale(QLocale::Swedish, QLocale::Sweden));
}

void TestSpeechEngineSpeechd::cleanup()
{
    delete frmSAPI51.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SpeechAvailable = false;
    LastSpokenText.clear();
}

bool TestSpeechEngineSpeechd::startDispatcher(PrivateSpeechDispatcher &dispatcher)
{
    QString whyNot;
    if (!dispatcher.start(&whyNot)) {
        qWarning("%s", qPrintable(whyNot));
        return false;
    }
    dispatcher.useInThisProcess();
    return true;
}

void TestSpeechEngineSpeechd::wavDevice_formComesUpAtOnceAndSpeaks()
{
    PrivateSpeechDispatcher dispatcher(PrivateSpeechDispatcher::Audio::WavFile);
    if (!startDispatcher(dispatcher))
        QSKIP("no private speech-dispatcher here");
    WriteSetting(keys::UseSAPI5, u"1"_s);
    LoopWatch watch;

    QElapsedTimer clock;
    clock.start();
    LoadSpeechSettings(&m_owner);
    qInfo("creating the speech form took %lld ms on this thread", clock.elapsed());
    QVERIFY(frmSAPI51 && frmSAPI51->isStarting());
    QTRY_VERIFY_WITH_TIMEOUT(!frmSAPI51->isStarting(), 60000);
    if (!SpeechAvailable)
        QSKIP("speech-dispatcher does not answer");
    qInfo("voices listed after %lld ms: %d", clock.elapsed(), int(frmSAPI51->SOTokens.size()));
    if (findSwedishVoice(frmSAPI51->SOTokens) < 0)
        QSKIP("no Swedish voice installed (espeak-ng via speech-dispatcher)");

    SpeechEngineHost *host = frmSAPI51->SpVoice->engineHost();
    frmSAPI51->SpVoice->queue()->setTimeLimit(20000, 0);
    QSignalSpy finished(host, &SpeechEngineHost::utteranceFinished);
    // Ends because the engine reported the end, well inside the time limit.
    say(u"Kallar på Åsa 451224-5678"_s, kSpeakWait);
    QCOMPARE(finished.size(), 1);
    // Two texts in a row are both spoken to the end, neither cut off.
    say(u"Anna"_s, kSpeakAsync);
    say(u"Bo-Göran"_s, kSpeakAsync);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 3, 20000);
    QCOMPARE(host->abandonedEngines(), 0);
    // Audio reached the file device (its header shows no length until the device closes).
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dispatcher.wavFile()).size() > 10000, 5000);
    qInfo("longest stall of the loop: %lld ms", watch.longestGapMs());
    QVERIFY(watch.ticks() > 0);
}

void TestSpeechEngineSpeechd::noAudioDevice_sayAndStopNeverStallTheLoop()
{
    PrivateSpeechDispatcher dispatcher(PrivateSpeechDispatcher::Audio::None);
    if (!startDispatcher(dispatcher))
        QSKIP("no private speech-dispatcher here");
    WriteSetting(keys::UseSAPI5, u"1"_s);
    QElapsedTimer clock;
    clock.start();
    LoadSpeechSettings(&m_owner);
    QTRY_VERIFY_WITH_TIMEOUT(!frmSAPI51->isStarting(), 60000);
    qInfo("started after %lld ms", clock.elapsed());
    if (!SpeechAvailable)
        QSKIP("speech-dispatcher does not answer");
    SpeechEngineHost *host = frmSAPI51->SpVoice->engineHost();
    host->setTimeLimits(std::chrono::milliseconds(1000), std::chrono::seconds(60));
    frmSAPI51->SpVoice->queue()->setTimeLimit(500, 0);
    QSignalSpy finished(host, &SpeechEngineHost::utteranceFinished);
    LoopWatch watch;

    // Never reported as spoken: the time limit ends the wait and calls stop().
    clock.restart();
    say(u"Kallar på Åsa"_s, kSpeakWait);
    qInfo("the waiting say() returned after %lld ms", clock.elapsed());
    say(u"Anna"_s, kSpeakAsync);
    say(u"Bo kallad"_s, kSpeakWait);
    // Whatever the engine does with the stops, the loop runs and nothing piles up.
    QTest::qWait(3000);
    say(u"Cecilia"_s, kSpeakWait);
    // Texts may wait for a replacement engine, never more than the queue holds.
    QVERIFY(frmSAPI51->SpVoice->queue()->waitingCount() <= SpeechQueue::kMaxWaiting);
    qInfo("utterances reported finished: %d, engines abandoned: %d, state %d, longest stall %lld ms",
          int(finished.size()), host->abandonedEngines(), int(host->state()), watch.longestGapMs());
    QVERIFY(watch.ticks() > 100);
    // Going away never waits for an engine that may be stuck.
    clock.restart();
    delete frmSAPI51.data();
    qInfo("destroying the form took %lld ms", clock.elapsed());
}

// With every installed voice (some 27000): the figures that matter for the start of the
// program. Takes seconds; set ZELK_SPEECH_ALL_VOICES=1 to run it.
void TestSpeechEngineSpeechd::allVoices_formAndVoiceListTimes()
{
    if (qEnvironmentVariableIntValue("ZELK_SPEECH_ALL_VOICES") != 1)
        QSKIP("set ZELK_SPEECH_ALL_VOICES=1 to list every installed voice");
    PrivateSpeechDispatcher dispatcher(PrivateSpeechDispatcher::Audio::WavFile,
                                       PrivateSpeechDispatcher::Voices::AllInstalled);
    if (!startDispatcher(dispatcher))
        QSKIP("no private speech-dispatcher here");
    WriteSetting(keys::UseSAPI5, u"1"_s);
    WriteSetting(keys::VoiceSAPI51, u"Swedish"_s);
    // Under the sanitizers the listing takes longer than a start may take in the program.
    SpeechEngineHost::setDefaultTimeLimits(SpeechEngineHost::kDefaultCommandLimit, std::chrono::minutes(10));
    const auto restoreLimits = qScopeGuard([] {
        SpeechEngineHost::setDefaultTimeLimits(SpeechEngineHost::kDefaultCommandLimit,
                                               SpeechEngineHost::kDefaultStartLimit);
    });
    LoopWatch watch;

    QElapsedTimer clock;
    clock.start();
    LoadSpeechSettings(&m_owner);
    const qint64 createMs = clock.elapsed();
    TfrmSAPI51 *form = frmSAPI51;
    QTRY_VERIFY_WITH_TIMEOUT(!form->isStarting(), 600000);
    const qint64 readyMs = clock.elapsed();
    QVERIFY(SpeechAvailable);
    QVERIFY(form->cbVoices->count() > 1000);
    QCOMPARE(form->cbVoices->currentText(), u"Swedish"_s);

    // What filling a voice list costs this thread, done as the form and the voice tab do.
    const QStringList descriptions = form->voiceDescriptions();
    clock.restart();
    QComboBox list;
    QStringListModel model;
    list.setModel(&model);
    list.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    model.setStringList(descriptions);
    list.setCurrentIndex(int(descriptions.indexOf(u"Swedish"_s)));
    const qint64 fillMs = clock.elapsed();
    QCOMPARE(list.count(), form->cbVoices->count());
    qInfo("all voices: form created in %lld ms, %d voices ready after %lld ms, a voice list filled in "
          "%lld ms, longest stall of the loop %lld ms",
          createMs, form->cbVoices->count(), readyMs, fillMs, watch.longestGapMs());
    say(u"Anna"_s, kSpeakWait);
}

// No dispatcher running yet, as at login: the first engine to connect spawns one, and
// engines connecting while it is still coming up (the speech form is made anew at the
// first connection; other programs start at login too) must have speech all the same.
void TestSpeechEngineSpeechd::dispatcherSpawnedWhileEnginesConnect_everyEngineStarts()
{
    PrivateSpeechDispatcher dispatcher(PrivateSpeechDispatcher::Audio::WavFile);
    QString whyNot;
    if (!dispatcher.leaveToBeSpawned(&whyNot))
        QSKIP(qPrintable(whyNot));

    std::vector<std::unique_ptr<SpeechEngineHost>> hosts;
    std::vector<std::unique_ptr<QSignalSpy>> outcomes;
    for (int i = 0; i < 3; ++i) {
        hosts.push_back(std::make_unique<SpeechEngineHost>());
        outcomes.push_back(std::make_unique<QSignalSpy>(hosts.back().get(), &SpeechEngineHost::started));
    }
    for (const auto &host : hosts)
        host->start();
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        QTRY_COMPARE_WITH_TIMEOUT(outcomes[i]->size(), 1, 60000);
        const auto result = outcomes[i]->first().first().value<SpeechStartResult>();
        QVERIFY2(result.ok, qPrintable(u"engine %1: %2"_s.arg(i).arg(result.errorText)));
        QVERIFY(!result.voices.isEmpty());
    }

    QSignalSpy finished(hosts.back().get(), &SpeechEngineHost::utteranceFinished);
    QVERIFY(hosts.back()->speak(u"Kallar på Åsa"_s) != 0);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    // The engines go before the dispatcher, or they would spawn it again.
    hosts.clear();
}

// The dispatcher goes away under a working engine (it crashed, or the session restarted it):
// texts said then return within their time limit, and the form and its engine go away
// without harm. libspeechd notices a closed socket and stops writing, but a command sent
// in the moment the dispatcher closes is written to a socket without a reader: that must
// be an error of the write, not a SIGPIPE that ends the program.
void TestSpeechEngineSpeechd::dispatcherGoesAway_theProgramLivesOn()
{
    PrivateSpeechDispatcher dispatcher(PrivateSpeechDispatcher::Audio::WavFile);
    if (!startDispatcher(dispatcher))
        QSKIP("no private speech-dispatcher here");
    WriteSetting(keys::UseSAPI5, u"1"_s);
    LoadSpeechSettings(&m_owner);
    QTRY_VERIFY_WITH_TIMEOUT(!frmSAPI51->isStarting(), 60000);
    if (!SpeechAvailable)
        QSKIP("speech-dispatcher does not answer");
    frmSAPI51->SpVoice->queue()->setTimeLimit(2000, 0);
    say(u"Anna"_s, kSpeakWait);

    dispatcher.stop();
    QElapsedTimer clock;
    clock.start();
    say(u"Kallar på Åsa"_s, kSpeakWait);
    say(u"Bo"_s, kSpeakWait);
    QVERIFY2(clock.elapsed() < 10000, qPrintable(u"%1 ms"_s.arg(clock.elapsed())));
    delete frmSAPI51.data();
    // The engine thread closes its connection to the dispatcher meanwhile.
    QTest::qWait(1000);

    int sockets[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    ::close(sockets[1]);
    const char command[] = "QUIT\r\n";
    QCOMPARE(::write(sockets[0], command, sizeof command - 1), ssize_t(-1));
    QCOMPARE(errno, EPIPE);
    ::close(sockets[0]);
}

QTEST_MAIN(TestSpeechEngineSpeechd)
#include "TestSpeechEngineSpeechd.moc"
