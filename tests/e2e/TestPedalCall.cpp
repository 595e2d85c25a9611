#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// A nurse's call end to end: the pedal (xdotool on a private Xvfb display) reaches the
// hidden client through the keyboard hook, and the demo server receives the call.
class TestPedalCall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void pedalCallsTheFirstResource();

private:
    bool waitForLog(const QString &pattern, int timeoutMs);
    void pedal(int holdMs);

    QString m_bin;
    QString m_display;
    QTemporaryDir m_home;
    QProcess m_xvfb;
    QProcess m_server;
    QProcess m_client;
    QString m_serverLog;
};

void TestPedalCall::initTestCase()
{
    m_bin = qEnvironmentVariable("ZELK_BIN_DIR");
    if (QStandardPaths::findExecutable(u"Xvfb"_s).isEmpty() || QStandardPaths::findExecutable(u"xdotool"_s).isEmpty())
        QSKIP("Xvfb and xdotool are needed for the pedal test");
    QVERIFY(m_home.isValid());

    // Xvfb picks a free display and writes its number to the given descriptor (stdout).
    m_xvfb.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1024x768x24"_s, u"-nolisten"_s, u"tcp"_s});
    QVERIFY(m_xvfb.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_xvfb.canReadLine(), 15000);
    m_display = u':' + QString::fromLatin1(m_xvfb.readLine()).trimmed();

    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start(m_bin + u"/zelk-server"_s, {u"--port"_s, u"0"_s, u"--no-stdin"_s});
    QVERIFY(m_server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_server.canReadLine(), 10000);
    const QString first = QString::fromUtf8(m_server.readLine());
    const auto match = QRegularExpression(u":(\\d+)"_s).match(first);
    QVERIFY2(match.hasMatch(), qPrintable(first));
    const QString port = match.captured(1);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, m_display);
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    env.insert(u"ZELK_REGISTRY_DIR"_s, m_home.path());
    env.insert(u"XDG_RUNTIME_DIR"_s, m_home.path());
    env.insert(u"XDG_DATA_HOME"_s, m_home.path());
    env.insert(u"ZELK_RENDERER"_s, u"software"_s);
    m_client.setProcessEnvironment(env);
    // The client looks for its hook library in its working folder.
    m_client.setWorkingDirectory(m_bin);
    m_client.start(m_bin + u"/ZELK_WCallClient"_s, {u"SERVERNAME=127.0.0.1"_s, u"SERVERPORT="_s + port});
    QVERIFY(m_client.waitForStarted());
    QVERIFY2(waitForLog(u"<- ¤GETCALLLIST:"_s, 30000), qPrintable(m_serverLog));
    QVERIFY(waitForLog(u"RETCALLLIST~"_s, 10000));
}

void TestPedalCall::cleanupTestCase()
{
    for (QProcess *p : {&m_client, &m_server, &m_xvfb}) {
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
            p->waitForFinished(5000);
        }
    }
}

bool TestPedalCall::waitForLog(const QString &pattern, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        m_server.waitForReadyRead(100);
        m_serverLog += QString::fromUtf8(m_server.readAllStandardError());
        if (m_serverLog.contains(pattern))
            return true;
    }
    return false;
}

void TestPedalCall::pedal(int holdMs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, m_display);
    QProcess xdotool;
    xdotool.setProcessEnvironment(env);
    xdotool.start(u"xdotool"_s, {u"keydown"_s, u"alt"_s, u"keydown"_s, u"F12"_s});
    QVERIFY(xdotool.waitForFinished(10000));
    QTest::qWait(holdMs);
    xdotool.start(u"xdotool"_s, {u"keyup"_s, u"F12"_s, u"keyup"_s, u"alt"_s});
    QVERIFY(xdotool.waitForFinished(10000));
}

void TestPedalCall::pedalCallsTheFirstResource()
{
    const auto name = QRegularExpression(u"<- ¤GETCALLLIST:([^:]+):0:GETCALLLIST¤"_s).match(m_serverLog);
    QVERIFY(name.hasMatch());
    const QString calling = u"<- ¤CALLING:1:"_s + name.captured(1) + u":CALLING¤"_s;

    // The window hid itself after the call list came; the pedal reaches it anyway. Released
    // within the pause on the first face, the first resource is called.
    m_serverLog.clear();
    pedal(700);
    QVERIFY2(waitForLog(calling, 15000), qPrintable(m_serverLog));
    // The server pushes the changed list, with the resource called.
    QVERIFY2(waitForLog(u"-> #DATASTART#¤RETCALLLIST~Åsa~1~Åsa Öberg"_s, 10000), qPrintable(m_serverLog));

    // Again while the window is still in front: the call is withdrawn.
    m_serverLog.clear();
    pedal(700);
    QVERIFY2(waitForLog(calling, 15000), qPrintable(m_serverLog));
    QVERIFY(m_client.state() == QProcess::Running);
}

QTEST_GUILESS_MAIN(TestPedalCall)
#include "TestPedalCall.moc"
