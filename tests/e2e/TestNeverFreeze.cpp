// The client never goes dead for the pedal: with a box or the dialog open, with a call list
// pushed under the user's foot, with an update that is refused, and without asking the
// server at every frame. The real client against the demo server on a private Xvfb display.
#include "tests/e2e/E2eFixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace zelk::test;

namespace {

const QString kCallingWindow = u"Kallelseklient"_s;
const QString kBox = u"^Information$"_s;

} // namespace

class TestNeverFreeze : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void pedalCallsWhileAnErrorBoxIsOpen();
    void pedalCallsWhileTheDialogIsOpen();
    void listPushedDuringAPauseLeavesTheDrumInFront();
    void refusedUpdateLetsTheClientWork();
    void pedalHoldAsksTheServerLittle();

private:
    // Starts server and client and waits until the client has its call list; the client's name.
    QString startClient(const QStringList &serverArguments = {});
    QString callingMessage(const QString &clientName, int resource) const
    {
        return u"<- ¤CALLING:%1:%2:CALLING¤"_s.arg(resource).arg(clientName);
    }

    E2eDisplay m_display;
    std::unique_ptr<E2eServer> m_server;
    std::unique_ptr<E2eClient> m_client;
};

void TestNeverFreeze::initTestCase()
{
    QString reason;
    if (!m_display.start(&reason))
        QSKIP(qPrintable(reason));
}

void TestNeverFreeze::cleanup()
{
    m_client.reset();
    m_server.reset();
}

QString TestNeverFreeze::startClient(const QStringList &serverArguments)
{
    if (!m_server) {
        m_server = std::make_unique<E2eServer>();
        if (!m_server->start(serverArguments))
            return {};
    }
    if (!m_client)
        m_client = std::make_unique<E2eClient>();
    if (!m_client->start(m_display, *m_server))
        return {};
    if (!m_server->waitForLog(u"RETCALLLIST~"_s, 30000))
        return {};
    const auto name = QRegularExpression(u"<- ¤GETCALLLIST:([^:]+):0:GETCALLLIST¤"_s).match(m_server->log());
    return name.hasMatch() ? name.captured(1) : QString();
}

void TestNeverFreeze::pedalCallsWhileAnErrorBoxIsOpen()
{
    const QString name = startClient();
    QVERIFY2(!name.isEmpty(), qPrintable(m_server->log() + m_client->output()));
    QTRY_VERIFY_WITH_TIMEOUT(!m_display.windowVisible(kCallingWindow), 10000);

    QVERIFY(m_server->control(u"send * ERROR: 005 testfel"_s).startsWith(u"ok"));
    QTRY_VERIFY_WITH_TIMEOUT(m_display.windowVisible(kBox), 10000);

    m_server->clearLog();
    m_display.pedalDown();
    QTRY_VERIFY_WITH_TIMEOUT(m_display.windowVisible(kCallingWindow), 5000); // in front for the call
    QTest::qWait(300);
    m_display.pedalUp();
    QVERIFY2(m_server->waitForLog(callingMessage(name, 1), 10000), qPrintable(m_server->log()));
    QVERIFY(m_display.windowVisible(kBox)); // still waiting for the user
    QTRY_VERIFY_WITH_TIMEOUT(!m_display.windowVisible(kCallingWindow), 10000);
}

void TestNeverFreeze::pedalCallsWhileTheDialogIsOpen()
{
    const QString name = startClient();
    QVERIFY2(!name.isEmpty(), qPrintable(m_server->log() + m_client->output()));
    m_display.xdotool({u"key"_s, u"F10"_s});
    QTRY_VERIFY_WITH_TIMEOUT(m_display.windowVisible(u"^Systemregister$"_s), 10000);

    m_server->clearLog();
    m_display.pedalDown();
    QTest::qWait(700);
    m_display.pedalUp();
    QVERIFY2(m_server->waitForLog(callingMessage(name, 1), 10000), qPrintable(m_server->log()));
    // F10 once more changes nothing; the dialog stays open where it was.
    m_display.xdotool({u"key"_s, u"F10"_s});
    QTest::qWait(300);
    QVERIFY(m_display.windowVisible(u"^Systemregister$"_s));
    QVERIFY(m_client->process().state() == QProcess::Running);
}

void TestNeverFreeze::listPushedDuringAPauseLeavesTheDrumInFront()
{
    m_client = std::make_unique<E2eClient>();
    // A long rest on each face, so the push falls into the rest on the first one.
    m_client->setSetting(u"ZELK"_s, u"SelectNameTimerIntervall"_s, u"6000"_s);
    const QString name = startClient();
    QVERIFY2(!name.isEmpty(), qPrintable(m_server->log() + m_client->output()));
    QTRY_VERIFY_WITH_TIMEOUT(!m_display.windowVisible(kCallingWindow), 10000);

    m_display.pedalDown();
    QTRY_VERIFY_WITH_TIMEOUT(m_display.windowVisible(kCallingWindow), 5000);
    QTest::qWait(500);
    m_server->clearLog();
    QVERIFY(m_server->control(u"call 3"_s).startsWith(u"ok"));
    QVERIFY2(m_server->waitForLog(u"-> #DATASTART#¤RETCALLLIST~"_s, 5000), qPrintable(m_server->log()));
    // A list at rest hides the window a second later; under the user's foot it must not.
    QTest::qWait(1800);
    QVERIFY(m_display.windowVisible(kCallingWindow));
    m_server->clearLog();
    m_display.pedalUp();
    QVERIFY2(m_server->waitForLog(callingMessage(name, 1), 10000), qPrintable(m_server->log()));
    QTRY_VERIFY_WITH_TIMEOUT(!m_display.windowVisible(kCallingWindow), 10000);
}

void TestNeverFreeze::refusedUpdateLetsTheClientWork()
{
    // A "newer client" that is no program at all: it has no version record, so it is refused.
    QTemporaryDir updates;
    QFile served(updates.filePath(u"ZELK_WCallClient"_s));
    QVERIFY(served.open(QIODevice::WriteOnly));
    served.write(QByteArray(4096, 'x'));
    served.close();
    m_server = std::make_unique<E2eServer>();
    QVERIFY(m_server->start({u"--update-dir"_s, updates.path(), u"--update-version"_s, u"1.10.5"_s,
                             u"--update-pause"_s, u"20"_s}));
    m_client = std::make_unique<E2eClient>();
    QVERIFY(m_client->start(m_display, *m_server));
    QVERIFY2(m_server->waitForLog(u"<- ¤GETNEWCLIENT:"_s, 30000), qPrintable(m_server->log()));
    QElapsedTimer sinceDownload;
    sinceDownload.start();
    QVERIFY2(m_server->waitForLog(u"<- ¤GETCALLLIST:"_s, 10000), qPrintable(m_server->log()));
    QVERIFY2(sinceDownload.elapsed() < 2000, qPrintable(QString::number(sinceDownload.elapsed())));
    // The refusal waits for the user meanwhile.
    QTRY_VERIFY_WITH_TIMEOUT(m_display.windowVisible(kBox), 5000);
    QVERIFY(!QFile::exists(m_client->path(u"data/Kestrova/ZELK/ZELK_WCallClient"_s)));
}

void TestNeverFreeze::pedalHoldAsksTheServerLittle()
{
    // No selection settings stored anywhere but on the server's defaults: each read of one
    // asks the server twice. The switches are read per press, never per frame.
    const QString name = startClient();
    QVERIFY2(!name.isEmpty(), qPrintable(m_server->log() + m_client->output()));
    QTest::qWait(500);
    m_server->clearLog();
    m_display.pedalDown();
    QTest::qWait(3000);
    const qsizetype queries = m_server->count(u"<- ¤GETINITEXT:"_s);
    m_display.pedalUp();
    QVERIFY2(queries <= 20, qPrintable(QString::number(queries)));
    qInfo("settings queries during a 3 s pedal hold: %lld", static_cast<long long>(queries));
}

QTEST_GUILESS_MAIN(TestNeverFreeze)
#include "TestNeverFreeze.moc"
