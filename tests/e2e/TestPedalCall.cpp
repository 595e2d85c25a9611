#include "tests/e2e/E2eFixture.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk::test;

// A nurse's call end to end: the pedal (xdotool on a private Xvfb display) reaches the
// hidden client through the keyboard hook, and the demo server receives the call.
class TestPedalCall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pedalCallsTheFirstResource();

private:
    void pedal(int holdMs);

    E2eDisplay m_display;
    E2eServer m_server;
    E2eClient m_client;
};

void TestPedalCall::initTestCase()
{
    QString reason;
    if (!m_display.start(&reason))
        QSKIP(qPrintable(reason));
    QVERIFY(m_server.start());
    QVERIFY(m_client.start(m_display, m_server));
    QVERIFY2(m_server.waitForLog(u"<- ¤GETCALLLIST:"_s, 30000), qPrintable(m_server.log() + m_client.output()));
    QVERIFY(m_server.waitForLog(u"RETCALLLIST~"_s, 10000));
}

void TestPedalCall::pedal(int holdMs)
{
    m_display.pedalDown();
    QTest::qWait(holdMs);
    m_display.pedalUp();
}

void TestPedalCall::pedalCallsTheFirstResource()
{
    const auto name = QRegularExpression(u"<- ¤GETCALLLIST:([^:]+):0:GETCALLLIST¤"_s).match(m_server.log());
    QVERIFY(name.hasMatch());
    const QString calling = u"<- ¤CALLING:1:"_s + name.captured(1) + u":CALLING¤"_s;

    // The window hid itself after the call list came; the pedal reaches it anyway. Released
    // within the pause on the first face, the first resource is called.
    m_server.clearLog();
    pedal(700);
    QVERIFY2(m_server.waitForLog(calling, 15000), qPrintable(m_server.log()));
    // The server pushes the changed list, with the resource called.
    QVERIFY2(m_server.waitForLog(u"-> #DATASTART#¤RETCALLLIST~Åsa~1~Åsa Öberg"_s, 10000), qPrintable(m_server.log()));

    // Again while the window is still in front: the call is withdrawn.
    m_server.clearLog();
    pedal(700);
    QVERIFY2(m_server.waitForLog(calling, 15000), qPrintable(m_server.log()));
    QVERIFY(m_client.process().state() == QProcess::Running);
}

QTEST_GUILESS_MAIN(TestPedalCall)
#include "TestPedalCall.moc"
