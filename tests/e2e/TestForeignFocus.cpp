// The pedal while another program has the focus, under a real window manager: the calling
// window comes to the front over it, the call goes out, and the other program never sees
// the pedal's F12 (xev prints every key event it receives).
#include "tests/e2e/E2eFixture.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk::test;

class TestForeignFocus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pedalOverAFocusedProgram();

private:
    QProcess m_windowManager;
    QProcess m_xev;
};

void TestForeignFocus::pedalOverAFocusedProgram()
{
    for (const QString &tool : {u"openbox"_s, u"xev"_s}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(tool + u" is needed"_s));
    }
    E2eDisplay display;
    QString reason;
    if (!display.start(&reason))
        QSKIP(qPrintable(reason));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, display.name());
    m_windowManager.setProcessEnvironment(env);
    m_windowManager.start(u"openbox"_s, {u"--sm-disable"_s});
    QVERIFY(m_windowManager.waitForStarted());
    QTest::qWait(500);

    E2eServer server;
    QVERIFY(server.start());
    E2eClient client;
    QVERIFY(client.start(display, server));
    QVERIFY2(server.waitForLog(u"RETCALLLIST~"_s, 30000), qPrintable(server.log() + client.output()));
    const auto name = QRegularExpression(u"<- ¤GETCALLLIST:([^:]+):0:GETCALLLIST¤"_s).match(server.log());
    QVERIFY(name.hasMatch());
    QTRY_VERIFY_WITH_TIMEOUT(!display.windowVisible(u"Kallelseklient"_s), 10000);

    m_xev.setProcessEnvironment(env);
    m_xev.start(u"xev"_s, {u"-event"_s, u"keyboard"_s, u"-name"_s, u"foreign"_s});
    QVERIFY(m_xev.waitForStarted());
    const QString xevWindow = display.xdotool({u"search"_s, u"--sync"_s, u"--name"_s, u"^foreign$"_s});
    QVERIFY(!xevWindow.isEmpty());
    display.xdotool({u"windowactivate"_s, u"--sync"_s, xevWindow.section(u'\n', 0, 0)});
    QTRY_COMPARE_WITH_TIMEOUT(display.xdotool({u"getactivewindow"_s}), xevWindow.section(u'\n', 0, 0), 5000);
    m_xev.readAllStandardOutput();

    server.clearLog();
    display.pedalDown();
    const QString calling = display.xdotool({u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--name"_s,
                                             u"Kallelseklient"_s});
    QVERIFY(!calling.isEmpty());
    // In front of the other program: the window manager made it the active window.
    QTRY_VERIFY_WITH_TIMEOUT(calling.split(u'\n').contains(display.xdotool({u"getactivewindow"_s})), 5000);
    QTest::qWait(300);
    display.pedalUp();
    QVERIFY2(server.waitForLog(u"<- ¤CALLING:1:"_s + name.captured(1) + u":CALLING¤"_s, 10000), qPrintable(server.log()));

    QTest::qWait(300);
    const QString seen = QString::fromLocal8Bit(m_xev.readAllStandardOutput());
    // It did get keys (Alt is not the hook's to take), but not the pedal's F12.
    QVERIFY2(seen.contains(u"Alt_L"_s), qPrintable(seen));
    QVERIFY2(!seen.contains(u"F12"_s), qPrintable(seen));

    m_xev.kill();
    m_xev.waitForFinished();
    m_windowManager.kill();
    m_windowManager.waitForFinished();
}

QTEST_GUILESS_MAIN(TestForeignFocus)
#include "TestForeignFocus.moc"
