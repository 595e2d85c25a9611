#include "speech/RecordingSpeechEngine.h"
#include "speech/SpeechGlobals.h"
#include "speech/SpeechOutput.h"

#include <QElapsedTimer>
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

private:
    void makeOutput(int finishAfterMs);

    std::unique_ptr<SpeechOutput> m_output;
    RecordingSpeechEngine *m_engine = nullptr; // owned by m_output
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
    auto engine = std::make_unique<RecordingSpeechEngine>();
    engine->setFinishAfter(finishAfterMs);
    m_engine = engine.get();
    m_output = std::make_unique<SpeechOutput>(std::move(engine));
}

void TestSpeechOutput::waitingSay_returnsWhenSpoken()
{
    makeOutput(30);
    // The event loop keeps running during the wait.
    bool timerRan = false;
    QTimer::singleShot(5, this, [&timerRan] { timerRan = true; });

    m_output->say(u"Kallar på Åsa"_s, kSpeakWait);

    QCOMPARE(m_engine->spokenTexts(), QStringList{u"Kallar på Åsa"_s});
    QVERIFY(m_engine->utterances().first().finished);
    QVERIFY(timerRan);
    QCOMPARE(LastSpokenText, u"Kallar på Åsa"_s);
}

void TestSpeechOutput::asyncSay_returnsAtOnce()
{
    makeOutput(30);
    m_output->say(u"Anna"_s, kSpeakAsync);
    QCOMPARE(m_engine->spokenTexts(), QStringList{u"Anna"_s});
    QVERIFY(!m_engine->utterances().first().finished);
    QTRY_VERIFY(m_engine->utterances().first().finished);
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
    QVERIFY(m_engine->utterances().first().finished);
    m_output->say(second, kSpeakWait);

    QCOMPARE(m_engine->spokenTexts(), spoken);
    if (spoken.size() == 2)
        QCOMPARE(m_engine->utterances().last().finished, secondWaited);
    QTRY_VERIFY(m_output->queue()->isIdle());
}

void TestSpeechOutput::speechUnavailable_saysNothing()
{
    makeOutput(0);
    SpeechAvailable = false;
    m_output->say(u"Anna"_s, kSpeakWait);
    m_output->say(u"Bo"_s, kSpeakAsync);
    QVERIFY(m_engine->utterances().isEmpty());
    QVERIFY(LastSpokenText.isEmpty());
}

void TestSpeechOutput::nameWhileConfirming_queuesBehindIt()
{
    makeOutput(RecordingSpeechEngine::kNeverFinish);
    m_output->say(u"Kallar på Anna"_s, kSpeakAsync);
    m_output->say(u"Bo"_s, kSpeakAsync);
    m_output->say(u"Cecilia"_s, kSpeakAsync);

    // Only the confirmation has reached the engine; nothing was cut off.
    QCOMPARE(m_engine->spokenTexts(), QStringList{u"Kallar på Anna"_s});
    m_engine->finishCurrent();
    QCOMPARE(m_engine->spokenTexts(), (QStringList{u"Kallar på Anna"_s, u"Bo"_s}));
    m_engine->finishCurrent();
    m_engine->finishCurrent();

    QCOMPARE(m_engine->spokenTexts(), (QStringList{u"Kallar på Anna"_s, u"Bo"_s, u"Cecilia"_s}));
    for (const auto &utterance : m_engine->utterances())
        QVERIFY2(utterance.finished && !utterance.stopped, qPrintable(utterance.text));
    QCOMPARE(m_engine->stopCalls(), 0);
}

void TestSpeechOutput::waitingSay_queuesBehindEarlierTexts()
{
    makeOutput(20);
    m_output->say(u"Anna"_s, kSpeakAsync);
    m_output->say(u"Bo kallad"_s, kSpeakWait);

    QCOMPARE(m_engine->spokenTexts(), (QStringList{u"Anna"_s, u"Bo kallad"_s}));
    QVERIFY(m_engine->utterances().at(0).finished);
    QVERIFY(m_engine->utterances().at(1).finished);
    QCOMPARE(m_engine->stopCalls(), 0);
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
    QCOMPARE(m_engine->spokenTexts(), QStringList{u"Anna"_s});
    QVERIFY(m_engine->utterances().first().stopped);
    QVERIFY(m_output->queue()->isIdle());
}

void TestSpeechOutput::stuckEngine_doesNotHoldUpTheQueue()
{
    makeOutput(RecordingSpeechEngine::kNeverFinish);
    m_output->queue()->setTimeLimit(10, 1);
    m_output->say(u"Anna"_s, kSpeakAsync);
    m_output->say(u"Bo"_s, kSpeakAsync);
    QTRY_COMPARE(m_engine->spokenTexts(), (QStringList{u"Anna"_s, u"Bo"_s}));
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

    QCOMPARE(m_engine->spokenTexts(), QStringList{u"Anna"_s});
    QVERIFY(m_engine->utterances().first().stopped);
    QVERIFY(m_output->queue()->isIdle());

    // Speaking goes on normally afterwards.
    m_engine->setFinishAfter(0);
    m_output->say(u"David"_s, kSpeakWait);
    QCOMPARE(m_engine->spokenTexts(), (QStringList{u"Anna"_s, u"David"_s}));
}

void TestSpeechOutput::destroyedWhileWaiting_returnsSafely()
{
    makeOutput(RecordingSpeechEngine::kNeverFinish);
    QPointer<SpeechOutput> output = m_output.get();
    QTimer::singleShot(10, this, [this] { m_output.reset(); });
    output->say(u"Anna"_s, kSpeakWait);
    QVERIFY(output.isNull());
}

QTEST_GUILESS_MAIN(TestSpeechOutput)
#include "TestSpeechOutput.moc"
