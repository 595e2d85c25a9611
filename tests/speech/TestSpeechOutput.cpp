#include "speech/BlockingSpeechEngine.h"
#include "speech/RecordingSpeechEngine.h"
#include "speech/SpeechGlobals.h"
#include "speech/SpeechOutput.h"

#include <QElapsedTimer>

#include <atomic>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace zelk;

class TestSpeechOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void waitingSay_returnsWhenSpoken();
    void asyncSay_returnsAtOnce();
    void repeatRule_data();
    void repeatRule();
    void speechUnavailable_saysNothing();
    void nameWhileConfirming_queuesBehindIt();
    void waitingSay_queuesBehindEarlierTexts();
    void waitingSay_isBoundedWhenEngineNeverFinishes();
    void stuckEngine_doesNotHoldUpTheQueue();
    void skip_dropsQueueAndEndsWait();
    void destroyedWhileWaiting_returnsSafely();
    void stuckStop_loopRunsAndEngineIsReplacedThenGivenUp();
    void stuckStart_countsAsFailedAndEndsTheWait();
    void slowStart_isNotTakenForStuck();
    void waitingWhileStarting_boundedAndSpokenInOrder();

private:
    void makeOutput(int finishAfterMs);

    std::unique_ptr<SpeechOutput> m_output;
    // Created and owned on the engine thread; its record is safe to read from here.
    std::atomic<RecordingSpeechEngine *> m_engine = nullptr;
};

void TestSpeechOutput::init()
{
    SpeechAvailable = true;
    LastSpokenText.clear();
}

void TestSpeechOutput::cleanup()
{
    m_output.reset();
    m_engine = nullptr;
    SpeechAvailable = false;
}

void TestSpeechOutput::makeOutput(int finishAfterMs)
{
    m_output = std::make_unique<SpeechOutput>([this, finishAfterMs] {
        auto engine = std::make_unique<RecordingSpeechEngine>();
        engine->setFinishAfter(finishAfterMs);
        m_engine = engine.get();
        return engine;
    });
    QTRY_VERIFY(m_output->engineHost()->isReady());
}

void TestSpeechOutput::waitingSay_returnsWhenSpoken()
{
    makeOutput(30);
    // The event loop keeps running during the wait.
    bool timerRan = false;
    QTimer::singleShot(5, this, [&timerRan] { timerRan = true; });

    m_output->say(u"Kallar på Åsa"_s, kSpeakWait);

    QCOMPARE(m_engine.load()->spokenTexts(), QStringList{u"Kallar på Åsa"_s});
    QVERIFY(m_engine.load()->utterances().first().finished);
    QVERIFY(timerRan);
    QCOMPARE(LastSpokenText, u"Kallar på Åsa"_s);
}

void TestSpeechOutput::asyncSay_returnsAtOnce()
{
    makeOutput(30);
    m_output->say(u"Anna"_s, kSpeakAsync);
    QVERIFY(!m_output->queue()->isIdle());
    QTRY_COMPARE(m_engine.load()->spokenTexts(), QStringList{u"Anna"_s});
    QTRY_VERIFY(m_engine.load()->utterances().first().finished);
}

void TestSpeechOutput::repeatRule_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QStringList>("spoken");
    QTest::addColumn<bool>("secondWaited");

    QTest::newRow("same text twice") << u"Anna"_s << u"Anna"_s
                                     << QStringList{u"Anna"_s, u"Anna"_s} << false;
    QTest::newRow("same after rewriting") << u"Bo-Göran"_s << u"Bo Göran"_s
                                          << QStringList{u"Bo Göran"_s, u"Bo Göran"_s} << false;
    QTest::newRow("different texts") << u"Anna"_s << u"Bo"_s
                                     << QStringList{u"Anna"_s, u"Bo"_s} << true;
    QTest::newRow("empty after a name") << u"Anna"_s << QString()
                                        << QStringList{u"Anna"_s} << false;
}

void TestSpeechOutput::repeatRule()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QStringList, spoken);
    QFETCH(bool, secondWaited);

    makeOutput(20);
    m_output->say(first, kSpeakWait);
    QVERIFY(m_engine.load()->utterances().first().finished);
    m_output->say(second, kSpeakWait);
    // A call that waited leaves nothing behind; one that did not still has its text queued.
    if (spoken.size() == 2)
        QCOMPARE(m_output->queue()->isIdle(), secondWaited);

    QTRY_VERIFY(m_output->queue()->isIdle());
    QCOMPARE(m_engine.load()->spokenTexts(), spoken);
    QVERIFY(m_engine.load()->utterances().last().finished);
}

void TestSpeechOutput::speechUnavailable_saysNothing()
{
    makeOutput(0);
    SpeechAvailable = false;
    m_output->say(u"Anna"_s, kSpeakWait);
    m_output->say(u"Bo"_s, kSpeakAsync);
    QVERIFY(m_engine.load()->utterances().isEmpty());
    QVERIFY(LastSpokenText.isEmpty());
}

void TestSpeechOutput::nameWhileConfirming_queuesBehindIt()
{
    makeOutput(RecordingSpeechEngine::kNeverFinish);
    m_output->say(u"Kallar på Anna"_s, kSpeakAsync);
    m_output->say(u"Bo"_s, kSpeakAsync);
    m_output->say(u"Cecilia"_s, kSpeakAsync);

    // Only the confirmation has reached the engine; nothing was cut off.
    RecordingSpeechEngine *engine = m_engine;
    QTRY_COMPARE(engine->spokenTexts(), QStringList{u"Kallar på Anna"_s});
    QTest::qWait(20);
    QCOMPARE(engine->spokenTexts(), QStringList{u"Kallar på Anna"_s});
    engine->finishCurrent();
    QTRY_COMPARE(engine->spokenTexts(), (QStringList{u"Kallar på Anna"_s, u"Bo"_s}));
    engine->finishCurrent();
    QTRY_COMPARE(engine->spokenTexts().size(), 3);
    engine->finishCurrent();
    QTRY_VERIFY(m_output->queue()->isIdle());

    QCOMPARE(m_engine.load()->spokenTexts(), (QStringList{u"Kallar på Anna"_s, u"Bo"_s, u"Cecilia"_s}));
    for (const auto &utterance : m_engine.load()->utterances())
        QVERIFY2(utterance.finished && !utterance.stopped, qPrintable(utterance.text));
    QCOMPARE(m_engine.load()->stopCalls(), 0);
}

void TestSpeechOutput::waitingSay_queuesBehindEarlierTexts()
{
    makeOutput(20);
    m_output->say(u"Anna"_s, kSpeakAsync);
    m_output->say(u"Bo kallad"_s, kSpeakWait);

    QCOMPARE(m_engine.load()->spokenTexts(), (QStringList{u"Anna"_s, u"Bo kallad"_s}));
    QVERIFY(m_engine.load()->utterances().at(0).finished);
    QVERIFY(m_engine.load()->utterances().at(1).finished);
    QCOMPARE(m_engine.load()->stopCalls(), 0);
}

void TestSpeechOutput::waitingSay_isBoundedWhenEngineNeverFinishes()
{
    makeOutput(RecordingSpeechEngine::kNeverFinish);
    m_output->queue()->setTimeLimit(60, 0);

    QElapsedTimer clock;
    clock.start();
    m_output->say(u"Anna"_s, kSpeakWait);

    // It waited for the limit and gave up on the utterance, cutting it off.
    QVERIFY(clock.elapsed() >= 50);
    QCOMPARE(m_engine.load()->spokenTexts(), QStringList{u"Anna"_s});
    QTRY_VERIFY(m_engine.load()->utterances().first().stopped);
    QVERIFY(m_output->queue()->isIdle());
}

void TestSpeechOutput::stuckEngine_doesNotHoldUpTheQueue()
{
    makeOutput(RecordingSpeechEngine::kNeverFinish);
    m_output->queue()->setTimeLimit(10, 1);
    m_output->say(u"Anna"_s, kSpeakAsync);
    m_output->say(u"Bo"_s, kSpeakAsync);
    QTRY_COMPARE(m_engine.load()->spokenTexts(), (QStringList{u"Anna"_s, u"Bo"_s}));
    QTRY_VERIFY(m_output->queue()->isIdle());
}

void TestSpeechOutput::skip_dropsQueueAndEndsWait()
{
    makeOutput(RecordingSpeechEngine::kNeverFinish);
    m_output->say(u"Anna"_s, kSpeakAsync);
    m_output->say(u"Bo"_s, kSpeakAsync);
    // The stop button pressed while a waiting call is held up behind both.
    QTimer::singleShot(10, this, [this] { m_output->skip(); });
    m_output->say(u"Cecilia"_s, kSpeakWait);

    QCOMPARE(m_engine.load()->spokenTexts(), QStringList{u"Anna"_s});
    QTRY_VERIFY(m_engine.load()->utterances().first().stopped);
    QVERIFY(m_output->queue()->isIdle());

    // Speaking goes on normally afterwards.
    m_engine.load()->setFinishAfter(0);
    m_output->say(u"David"_s, kSpeakWait);
    QCOMPARE(m_engine.load()->spokenTexts(), (QStringList{u"Anna"_s, u"David"_s}));
}

void TestSpeechOutput::destroyedWhileWaiting_returnsSafely()
{
    makeOutput(RecordingSpeechEngine::kNeverFinish);
    QPointer<SpeechOutput> output = m_output.get();
    QTimer::singleShot(10, this, [this] { m_output.reset(); });
    output->say(u"Anna"_s, kSpeakWait);
    QVERIFY(output.isNull());
}

void TestSpeechOutput::stuckStop_loopRunsAndEngineIsReplacedThenGivenUp()
{
    // As speech-dispatcher without audio: utterances never end and stop() never returns.
    auto gate = std::make_shared<SpeechEngineGate>(); // never released
    std::atomic<int> created = 0;
    SpeechOutput output([gate, &created] {
        ++created;
        return std::make_unique<BlockingSpeechEngine>(BlockingSpeechEngine::Stop, gate);
    });
    output.engineHost()->setTimeLimits(std::chrono::milliseconds(150), std::chrono::seconds(60));
    output.queue()->setTimeLimit(30, 0);
    QTRY_VERIFY(output.engineHost()->isReady());

    int ticksWhileHeld = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        if (gate->heldNow() > 0)
            ++ticksWhileHeld;
    });
    ticker.start(5);

    // The time limit ends the wait and calls stop(), which holds the engine thread.
    output.say(u"Anna"_s, kSpeakWait);
    QVERIFY(output.queue()->isIdle());
    QTRY_COMPARE(gate->heldNow(), 1);
    QTRY_VERIFY(ticksWhileHeld >= 5);
    // Abandoned and replaced by a fresh engine, which speaks the next text.
    QTRY_COMPARE(output.engineHost()->abandonedEngines(), 1);
    QTRY_VERIFY(output.engineHost()->isReady());
    QCOMPARE(created.load(), 2);
    output.say(u"Bo"_s, kSpeakWait);
    // Its stop blocks as well: speech is given up, and nothing waits any more.
    QTRY_COMPARE(output.engineHost()->state(), SpeechEngineHost::State::Unavailable);
    QCOMPARE(gate->heldNow(), 2);
    output.say(u"Cecilia"_s, kSpeakWait);
    output.say(u"David"_s, kSpeakAsync);
    QVERIFY(output.queue()->isIdle());
    QCOMPARE(created.load(), 2);
}

void TestSpeechOutput::stuckStart_countsAsFailedAndEndsTheWait()
{
    auto gate = std::make_shared<SpeechEngineGate>();
    SpeechOutput output(
        [gate] { return std::make_unique<BlockingSpeechEngine>(BlockingSpeechEngine::Start, gate); });
    output.engineHost()->setTimeLimits(std::chrono::seconds(5), std::chrono::milliseconds(100));
    output.queue()->setTimeLimit(5000, 0); // the start is given up first
    QSignalSpy started(output.engineHost(), &SpeechEngineHost::started);
    QTRY_COMPARE(gate->heldNow(), 1);

    // Said while the engine starts: it waits, and the wait ends when the start is given up.
    output.say(u"Anna"_s, kSpeakWait);
    QCOMPARE(started.size(), 1);
    QVERIFY(!started.first().first().value<SpeechStartResult>().ok);
    QCOMPARE(output.engineHost()->state(), SpeechEngineHost::State::Unavailable);
    QVERIFY(output.queue()->isIdle());
    gate->release(); // this thread may end now
}

void TestSpeechOutput::slowStart_isNotTakenForStuck()
{
    // Listing thousands of voices takes longer than any other call may: the start has a
    // limit of its own.
    auto gate = std::make_shared<SpeechEngineGate>();
    SpeechOutput output([this, gate] {
        gate->hold();
        auto engine = std::make_unique<RecordingSpeechEngine>();
        m_engine = engine.get();
        return engine;
    });
    output.engineHost()->setTimeLimits(std::chrono::milliseconds(20), std::chrono::seconds(30));
    QTRY_COMPARE(gate->heldNow(), 1);
    QTest::qWait(100);
    gate->release();
    QTRY_VERIFY(output.engineHost()->isReady());
    QCOMPARE(output.engineHost()->abandonedEngines(), 0);
    output.say(u"Anna"_s, kSpeakWait);
    QCOMPARE(m_engine.load()->spokenTexts(), QStringList{u"Anna"_s});
}

void TestSpeechOutput::waitingWhileStarting_boundedAndSpokenInOrder()
{
    auto gate = std::make_shared<SpeechEngineGate>();
    SpeechOutput output([this, gate] {
        gate->hold();
        auto engine = std::make_unique<RecordingSpeechEngine>();
        m_engine = engine.get();
        return engine;
    });
    QTRY_COMPARE(gate->heldNow(), 1);
    QStringList said;
    for (int i = 0; i < SpeechQueue::kMaxWaiting + 4; ++i) {
        said.append(u"Namn %1"_s.arg(i));
        output.say(said.last(), kSpeakAsync);
    }
    // The oldest gave way; the rest is spoken in order once the engine is there.
    QCOMPARE(output.queue()->waitingCount(), SpeechQueue::kMaxWaiting);
    gate->release();
    QTRY_VERIFY(output.queue()->isIdle());
    QCOMPARE(m_engine.load()->spokenTexts(), said.mid(4));
}

QTEST_GUILESS_MAIN(TestSpeechOutput)
#include "TestSpeechOutput.moc"
