// Speech that never finishes does not freeze the client: with an engine whose calls block
// for good, and with the real speech-dispatcher on a machine without sound, the pedal calls
// again and again, the event loop never stalls, and the end of the session still ends the
// program. Speech does not hold back the first connection either.
#include "tests/e2e/E2eFixture.h"
#include "tests/speech/PrivateSpeechDispatcher.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace zelk::test;
using zelk::speechtest::PrivateSpeechDispatcher;

namespace {

const QString kCallingWindow = u"Kallelseklient"_s;

void speechOn(E2eClient &client)
{
    client.setSetting(u"Text2Speech"_s, u"UseSAPI5"_s, u"1"_s);
    client.setSetting(u"ZELK"_s, u"SayCallingInfo"_s, u"-1"_s);
    client.setSetting(u"ZELK"_s, u"SayCallingName"_s, u"-1"_s);
}

void useDispatcher(E2eClient &client, const PrivateSpeechDispatcher &dispatcher)
{
    const QProcessEnvironment env = dispatcher.clientEnvironment();
    for (const QString &key : env.keys())
        client.setEnvironment(key, env.value(key));
}

qint64 longestStall(const QString &report)
{
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString first = QString::fromUtf8(file.readLine());
    return first.startsWith(u"longest_stall_ms ") ? first.sliced(17).trimmed().toLongLong() : -1;
}

} // namespace

class TestSpeechNeverFreezes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void stuckEngine_pedalCallsAndTheSessionEnds();
    void speechdWithoutSound_pedalCallsAndTheSessionEnds();
    void speechDoesNotDelayTheFirstConnection();

private:
    // Two calls in a row, the second after the speech time limit has tried to stop the
    // stuck utterance; then SIGTERM. The longest stall of the client's event loop.
    void callTwiceThenEnd(E2eClient &client, const QString &executable = QString());
    // Milliseconds from the client's start to its first GETSERVERVERSION.
    qint64 timeToFirstVersionRequest(E2eClient &client);

    E2eDisplay m_display;
    E2eServer m_server;
};

void TestSpeechNeverFreezes::initTestCase()
{
    QString reason;
    if (!m_display.start(&reason))
        QSKIP(qPrintable(reason));
    QVERIFY(m_server.start());
}

void TestSpeechNeverFreezes::callTwiceThenEnd(E2eClient &client, const QString &executable)
{
    const QString report = client.path(u"stalls.txt"_s);
    client.setEnvironment(u"ZELK_STALL_REPORT"_s, report);
    m_server.clearLog();
    QVERIFY(client.start(m_display, m_server, executable));
    QVERIFY2(m_server.waitForLog(u"RETCALLLIST~"_s, 30000), qPrintable(m_server.log() + client.output()));
    const auto name = QRegularExpression(u"<- ¤GETCALLLIST:([^:]+):0:GETCALLLIST¤"_s).match(m_server.log());
    QVERIFY(name.hasMatch());
    const QString calling = u"<- ¤CALLING:1:"_s + name.captured(1) + u":CALLING¤"_s;

    for (int call = 0; call < 2; ++call) {
        QTRY_VERIFY_WITH_TIMEOUT(!m_display.windowVisible(kCallingWindow), 10000);
        m_server.clearLog();
        m_display.pedalDown();
        QTest::qWait(700);
        m_display.pedalUp();
        QVERIFY2(m_server.waitForLog(calling, 10000), qPrintable(m_server.log() + client.output()));
        // The utterance's time limit runs out meanwhile and stop() is tried on the engine.
        QTest::qWait(6000);
    }
    QCOMPARE(client.terminate(5000), 1);
    const qint64 stall = longestStall(report);
    qInfo("longest stall of the event loop: %lld ms", static_cast<long long>(stall));
    QVERIFY2(stall >= 0, "no stall report");
#if !defined(ZELK_SANITIZED) // the sanitizers slow every step down several times
    QVERIFY2(stall <= 250, qPrintable(QString::number(stall)));
#endif
}

void TestSpeechNeverFreezes::stuckEngine_pedalCallsAndTheSessionEnds()
{
    E2eClient client;
    speechOn(client);
    callTwiceThenEnd(client, binDir() + u"/zelk-client-stuck-speech"_s);
}

void TestSpeechNeverFreezes::speechdWithoutSound_pedalCallsAndTheSessionEnds()
{
    const QString missing = PrivateSpeechDispatcher::missingPrerequisite();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    PrivateSpeechDispatcher dispatcher(PrivateSpeechDispatcher::Audio::None);
    QString why;
    QVERIFY2(dispatcher.start(&why), qPrintable(why));
    E2eClient client;
    speechOn(client);
    useDispatcher(client, dispatcher);
    callTwiceThenEnd(client);
}

qint64 TestSpeechNeverFreezes::timeToFirstVersionRequest(E2eClient &client)
{
    m_server.clearLog();
    QElapsedTimer timer;
    timer.start();
    if (!client.start(m_display, m_server))
        return -1;
    if (!m_server.waitForLog(u"<- ¤GETSERVERVERSION:"_s, 30000))
        return -1;
    const qint64 elapsed = timer.elapsed();
    client.terminate(5000);
    return elapsed;
}

void TestSpeechNeverFreezes::speechDoesNotDelayTheFirstConnection()
{
#if defined(ZELK_SANITIZED)
    QSKIP("timings of a program slowed down by the sanitizers say nothing");
#endif
    const QString missing = PrivateSpeechDispatcher::missingPrerequisite();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    // All installed voices, as on a workstation: listing them takes seconds.
    PrivateSpeechDispatcher dispatcher(PrivateSpeechDispatcher::Audio::WavFile,
                                       PrivateSpeechDispatcher::Voices::AllInstalled);
    QString why;
    QVERIFY2(dispatcher.start(&why), qPrintable(why));

    // The best of three each way, alternating, so that a busy moment of the machine does not
    // decide it.
    QList<qint64> without;
    QList<qint64> with;
    for (int round = 0; round < 3; ++round) {
        E2eClient plain;
        without << timeToFirstVersionRequest(plain);
        E2eClient speaking;
        speechOn(speaking);
        useDispatcher(speaking, dispatcher);
        with << timeToFirstVersionRequest(speaking);
    }
    QVERIFY(!without.contains(-1) && !with.contains(-1));
    const qint64 bestWithout = *std::min_element(without.begin(), without.end());
    const qint64 bestWith = *std::min_element(with.begin(), with.end());
    qInfo("start to the first GETSERVERVERSION: %lld ms without speech, %lld ms with speech",
          static_cast<long long>(bestWithout), static_cast<long long>(bestWith));
    QVERIFY2(bestWith - bestWithout <= 300, qPrintable(u"%1 ms against %2 ms"_s.arg(bestWith).arg(bestWithout)));
}

QTEST_GUILESS_MAIN(TestSpeechNeverFreezes)
#include "TestSpeechNeverFreezes.moc"
